#pragma once
// CTextImporter: reads a delimited or fixed-width text file into an empty table.
//
// The importer runs the stages of a read: it decodes the file (TextDecoding.h: byte-order mark, code page
// through ICU, UTF-8, UTF-16, UTF-32; a large UTF-8 file a window at a time while it is read, else whole),
// reads it (ImportRun.h) with one record per line (ReadRecordPerLine) or one attribute per line
// (ReadAttributePerLine), the data lines of large texts scanned and stored in bulk, tells the user
// once about over-long cells, stray quotes, extra and missing values and the special characters it met,
// sets the table's data-source description and import settings, and lets the table guess formats
// (CTable::AnalyzeTable). A read that fails or is cancelled leaves the table as it was: it runs under a
// table checkpoint and throws CArchiveException naming the file and the line (CUserException for a
// cancel). Large files are split into pieces that are scanned in parallel when the table's options allow.
// Threading: the table's thread; the importer starts its own tasks and waits for them.

#include "engine/ImportSettings.h"
#include "exchange/DelimiterProposal.h"
#include "exchange/TextDecoding.h"
#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

class CTable;

namespace platform
{
class CInputFile;
}

namespace exchange
{

class CUtf8FileStream;

// What a read is told besides the settings.
struct SReadOptions
{
    bool m_bLegacy = false; // a ".qtc" file: names carry the attribute tree as markup, a leading "/" is dropped
    // Called now and then with the share of the file read (0..1) and the records so far; false asks to cancel.
    std::function<bool(double fraction, long records)> m_progress;
    // UTF-8 files of at least m_nStreamBytes bytes are decoded while they are read, about m_nWindowBytes at a
    // time (an eighth of that first, for the names and first lines), instead of whole (a whole decoded file takes
    // twice its size). Memory only: the result is the same.
    uint64_t m_nStreamBytes = uint64_t{32} << 20;
    size_t m_nWindowBytes = size_t{8} << 20;
    // When set, told the name and the seconds of each phase of the read as it ends (measurements): "check" (a
    // large UTF-8 file checked beside building the collation), "lines" (decoded, scanned and stored), "merge" (the values of
    // columns appended without lookups made distinct; large files only), "lines" again (the rest), "finish",
    // "analyse" (formats guessed and checked, values sorted) and "release" (the read's passing memory returned).
    std::function<void(const char* phase, double seconds)> m_phaseDone;
};

class CTextImporter
{
public:
    // table: borrowed; must be empty (no attributes, no records) when a read starts.
    explicit CTextImporter(CTable& table) : m_table(table) {}
    CTextImporter(const CTextImporter&) = delete;
    CTextImporter& operator=(const CTextImporter&) = delete;

    // Reads the file with settings. Throws CArchiveException ("Datei '%1' nicht gefunden!" when it cannot be
    // opened, the file and line for other failures), CUserException when cancelled; the table is then as before.
    void ReadFile(const std::filesystem::path& path, const CImportSettings& settings, const SReadOptions& options);
    // The same for a file opened with OpenInputFile (at its start); fileName names it.
    void ReadFile(const platform::CInputFile& file, const KString& fileName, const CImportSettings& settings,
                  const SReadOptions& options);

    // The same for the bytes of a file already in memory; fileName names it in messages and the description.
    void ReadBytes(std::string_view bytes, const KString& fileName, const CImportSettings& settings,
                   const SReadOptions& options);
    // The same, taking the bytes over: they are freed as soon as they are decoded.
    void ReadOwnedBytes(std::string&& bytes, const KString& fileName, const CImportSettings& settings,
                        const SReadOptions& options);

private:
    // Reads a large UTF-8 file while decoding it; false (nothing done) when the file is not such a file.
    bool ReadStreamed(const platform::CInputFile& file, const KString& fileName, const CImportSettings& settings,
                      const SReadOptions& options);
    // owner, when not null, holds the bytes and is emptied once they are decoded. stream, when not null, gives
    // the text instead of bytes.
    void Read(std::string_view bytes, std::string* owner, CUtf8FileStream* stream, const KString& fileName,
              const CImportSettings& settings, const SReadOptions& options);

    CTable& m_table;
};

} // namespace exchange
