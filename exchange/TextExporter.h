#pragma once
// Text export: a table, or the part of it that the user sees, as a delimited text file with one record per
// line and one column per attribute. Values are quoted only where their text needs it, lists of values are
// written in their bar form, and the columns can follow the layout of the file that the table was imported
// from. The file is written atomically: a failed or cancelled export leaves an existing file untouched.
// The primitives (QuotesNecessary, WriteEncoded, WriteWithDuplicateQuotes...) serve the legacy table writer.
// Threading: the table's thread; large exports encode their lines in parallel tasks.

#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class CAttribute;
struct CRecord;
class CTable;

namespace exchange
{

// The arguments of WriteExportFile.
struct SExportOptions
{
    bool m_bAllRecords = true;    // every record; false: the qualified records only (and the shown attributes)
    bool m_bImportLayout = false; // the columns, names and placeholders of the imported file
    bool m_bWriteNames = true;    // a first line with the attribute names
    char16_t m_cDelimiter = u','; // column delimiter
    char16_t m_cQuote = u'"';     // text qualifier; 0 for none
    int32_t m_nEncoding = 1;      // 0 code page, 1 UTF-8, 2 UTF-16 big-endian, 3 UTF-16 little-endian
    int32_t m_nCodePage = 65001;  // code page for encoding 0
    bool m_bWriteBOM = false;     // begin with the byte-order mark of the encoding
    // Called every 1000 lines with the share written (0..1); false cancels (CUserException).
    std::function<bool(double fraction)> m_progress;
};

// Writes the table as a text file at path. Throws CUserException when cancelled, CKorvalinException
// (CannotOpenFile) when the file cannot be written; in both cases an existing file is left as it was.
void WriteExportFile(CTable& table, const std::filesystem::path& path, const SExportOptions& options);

// The bytes WriteExportFile would write; fileName names the target in messages.
std::string MakeExportText(CTable& table, const SExportOptions& options, const KString& fileName = KString());

// The attributes to write: all (all records, or the import layout) or the shown ones; never headers. Asks
// string 2278 when fewer than all attributes result; a Cancel throws CUserException.
std::vector<CAttribute*> GetAttributesToWrite(CTable& table, bool allRecords, bool importLayout);
// The records to write in table order: all, or the qualified ones.
std::vector<CRecord*> GetRecordsToWrite(CTable& table, bool allRecords);

// True when text must be quoted: it holds the delimiter, LF, CR or (when set) the quote.
bool QuotesNecessary(KStringView text, char16_t delimiter, char16_t quote);
// True when a list value (its parts) must be quoted: the delimiter is '|' or a part needs quotes.
bool QuotesNecessaryForList(const std::vector<KStringView>& parts, char16_t delimiter, char16_t quote);
// text in quotes with inner quotes doubled when QuotesNecessary, else unchanged.
KString AddQuotesIfNecessary(KStringView text, char16_t delimiter, char16_t quote);

// Appends text in the encoding (0 code page, 1 UTF-8, 2 UTF-16 BE, 3 UTF-16 LE; others write nothing).
void WriteEncoded(std::string& out, KStringView text, int32_t encoding, int32_t codePage);
// Appends the quote when surround is set, text with every quote doubled, and the closing quote. With
// lineBreaks not null, every CR and LF of text is counted into it.
void WriteWithDuplicateQuotes(std::string& out, KStringView text, bool surround, char16_t quote, int32_t encoding,
                              int32_t codePage, long* lineBreaks = nullptr);
// WriteWithDuplicateQuotes with surround when QuotesNecessary, else WriteEncoded.
void WriteWithDuplicateQuotesIfNecessary(std::string& out, KStringView text, char16_t delimiter, char16_t quote,
                                         int32_t encoding, int32_t codePage, long* lineBreaks = nullptr);
// Appends a stored value (a list in its encoded form) as a cell: a list as |a|b| in quotes when needed.
void WriteValue(std::string& out, const char16_t* value, char16_t delimiter, char16_t quote, int32_t encoding,
                int32_t codePage);

} // namespace exchange
