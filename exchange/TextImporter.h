#pragma once
// CTextImporter: reads a delimited or fixed-width text file into an empty table.
//
// The importer decodes the file (byte-order mark, code page through ICU, UTF-8 and UTF-16; a large UTF-8
// file a window at a time while it is read, else whole), reads it
// with one record per line (ReadRecordPerLine) or one attribute per line (ReadAttributePerLine), tells the user
// once about over-long cells, stray quotes, extra and missing values and the special characters it met,
// sets the table's data-source description and import settings, and lets the table guess formats
// (CTable::AnalyzeTable). A read that fails or is cancelled leaves the table as it was: it runs under a
// table checkpoint and throws CArchiveException naming the file and the line (CUserException for a
// cancel). Large files are split into pieces that are scanned in parallel when the table's options allow.
// Threading: the table's thread; the importer starts its own tasks and waits for them.

#include "engine/ImportSettings.h"
#include "exchange/TextEncoding.h"
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
};

// Input files. A missing or unreadable file (or a folder), and a failed read, show message 1124 through the
// table and throw CArchiveException naming the file.
// The file opened for reading.
platform::CInputFile OpenInputFile(CTable& table, const std::filesystem::path& path);
// Up to bytes bytes of the opened file from offset (fewer at its end; a pipe: from where it stands).
std::string ReadInputBytes(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path,
                           uint64_t offset, size_t bytes);
// All bytes of the opened file (a pipe: the rest of them).
std::string ReadWholeInput(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path);
// All bytes of the file at path.
std::string ReadInputFile(CTable& table, const std::filesystem::path& path);

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
              const CImportSettings& settings,
              const SReadOptions& options);

    CTable& m_table;
};

// The delimiter that the import dialog proposes for a file: TAB for ".txt" (and for ".tsv" and ".tab", which
// name tab-separated files), comma for other files.
char16_t ProposeDelimiter(const std::filesystem::path& path);

// Checks a proposed delimiter against the first lines of a file's text (up to 20 lines, quotes respected):
// when the proposal gives a single column on every line while semicolon, TAB or '|' gives one and the same
// column count above 1 on every line, that delimiter is returned; otherwise the proposal.
char16_t CheckProposedDelimiter(KStringView text, char16_t proposal, char16_t quote);

// Decodes a file's bytes as the settings say (the mark of the settings' encoding is dropped). For code page
// UTF-8 (the default) a text that is not valid UTF-8 is read as Windows-1252; *fellBack then says so and
// settings.m_nCodePage becomes 1252. *invalid (may be null) receives the count of sequences that were not
// valid in an explicitly given encoding (they became U+FFFD). Throws CKorvalinException for an unknown
// code page.
void DecodeText(std::string_view bytes, CImportSettings& settings, bool parallel, CUtf16Buffer& out, bool* fellBack,
                long* invalid = nullptr);

} // namespace exchange
