#pragma once
// The lines of a text export, for the export run (internal to exchange/): the columns written, how a cell is
// written, and CLineWriter, which makes the lines of a run of records a block at a time in two stages: fetch
// (ExportFetch.cpp: each cell's value index and text, fetched ahead column by column) and format
// (ExportFormat.cpp: the cells and lines, while those texts are still in the cache).
// Threading: one CLineWriter per task; the columns and the format are shared read-only, the warnings are
// guarded.

#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class CAttribute;
struct CRecord;

namespace exchange
{

// One column of the file: an attribute or a "???" placeholder.
struct SExportColumn
{
    CAttribute* m_pAttribute = nullptr;  // null for a placeholder
    KString m_strName;                   // the name written on the names line
    std::vector<std::string> m_vEncoded; // encoded cell per value index, when the values are few; else empty
};

// How cells are written: the options in force, with the delimiter and the line end encoded once.
struct SExportFormat
{
    char16_t m_cDelimiter = u',';
    char16_t m_cQuote = u'"';    // 0 for none
    int32_t m_nEncoding = 1;     // 0 code page, 1 UTF-8, 2 UTF-16 big-endian, 3 UTF-16 little-endian
    int32_t m_nCodePage = 65001; // code page in force for encoding 0
    bool m_bUtf8 = false;        // the output is UTF-8 (encoding 1, or 0 with code page 65001)
    std::string m_strDelimiter;  // the delimiter, encoded
    std::string m_strLineEnd;    // CR LF, encoded
};

// What an export warns about once it is done: a value or a list that needs quotes while no quote is set.
// Any task may note; the first note of each kind is kept.
class CExportWarnings
{
public:
    void NoteUnquoted(const CAttribute* attribute, KStringView value, bool list);
    // Notes attribute's value when it needs quotes that cannot be written (no quote set).
    void CheckUnquoted(const SExportFormat& format, const CAttribute* attribute, const char16_t* value);

    bool HasValueWarning() const { return m_bValueWarning; }
    const KString& GetValueWarning() const { return m_strValueWarning; }
    const CAttribute* GetListWarning() const { return m_pListWarning; }

private:
    std::mutex m_lock;                          // guards the fields below
    bool m_bValueWarning = false;               // a value needed quotes that cannot be written
    KString m_strValueWarning;                  // that value, its control characters made visible
    const CAttribute* m_pListWarning = nullptr; // an attribute whose lists cannot be quoted
};

// Turns the control characters of a value into visible ones for a warning.
KString MakeControlsVisible(KStringView text);
// The parts of a stored list value, each a view of its stored text.
std::vector<KStringView> PartsOf(const char16_t* value);

// Encodes every value of each column with few distinct values once (SExportColumn::m_vEncoded): those whose
// attribute has at most a quarter as many values as records are written.
void EncodeFewValues(std::vector<SExportColumn>& columns, size_t records, const SExportFormat& format,
                     CExportWarnings& warnings);

// Makes the lines of records, a block of kBlock records at a time.
class CLineWriter
{
public:
    static constexpr size_t kBlock = 64; // records fetched, then formatted, at a time

    // All borrowed; they must outlive the writer.
    CLineWriter(const SExportFormat& format, const std::vector<SExportColumn>& columns, CExportWarnings& warnings);
    CLineWriter(const CLineWriter&) = delete;
    CLineWriter& operator=(const CLineWriter&) = delete;

    // Appends the lines of records[0 .. count-1] to out.
    void WriteLines(CRecord* const* records, size_t count, std::string& out);

private:
    // Fetch stage: the value index of each cell of records[0 .. n-1] (-1 undefined) and, for columns without
    // encoded values, the value's text; both fetched ahead (ExportFetch.cpp).
    void Fetch(CRecord* const* records, size_t n);
    // Format stage: the n lines whose cells were fetched.
    void Format(size_t n, std::string& out);
    // Appends the cell of a column whose value index is index; value is that value's text (null for encoded
    // columns and undefined values).
    void WriteCell(std::string& out, const SExportColumn& column, long index, const char16_t* value);
    // Appends value as it is when it is ASCII and needs no quotes (the common case in UTF-8); false when not.
    bool AppendPlainAscii(std::string& out, const char16_t* value) const;

    const SExportFormat& m_format;
    const std::vector<SExportColumn>& m_columns;
    CExportWarnings& m_warnings;
    std::vector<long> m_vIndices;           // per record of the block and column: the value index
    std::vector<const char16_t*> m_vValues; // per record of the block and column: the value's text, or null
};

} // namespace exchange
