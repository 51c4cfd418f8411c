#include "exchange/TextExporter.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "exchange/TextEncoding.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string_view>

namespace exchange
{

// ---- primitives ----

bool QuotesNecessary(KStringView text, char16_t delimiter, char16_t quote)
{
    for (char16_t c : text)
    {
        if (c == delimiter || c == u'\n' || c == u'\r' || (quote != 0 && c == quote))
            return true;
    }
    return false;
}

bool QuotesNecessaryForList(const std::vector<KStringView>& parts, char16_t delimiter, char16_t quote)
{
    if (delimiter == u'|')
        return true;
    return std::any_of(parts.begin(), parts.end(),
                       [&](KStringView part) { return QuotesNecessary(part, delimiter, quote); });
}

KString AddQuotesIfNecessary(KStringView text, char16_t delimiter, char16_t quote)
{
    if (quote == 0 || !QuotesNecessary(text, delimiter, quote))
        return KString(text);
    KString out(1, quote);
    for (char16_t c : text)
    {
        out += c;
        if (c == quote)
            out += c;
    }
    out += quote;
    return out;
}

void WriteEncoded(std::string& out, KStringView text, int32_t encoding, int32_t codePage)
{
    EncodeText(text, encoding, codePage, out);
}

void WriteWithDuplicateQuotes(std::string& out, KStringView text, bool surround, char16_t quote, int32_t encoding,
                              int32_t codePage, long* lineBreaks)
{
    const KStringView quoteText(&quote, 1);
    if (surround && quote != 0)
        WriteEncoded(out, quoteText, encoding, codePage);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i];
        if (lineBreaks && (c == u'\r' || c == u'\n'))
            ++*lineBreaks;
        if (quote != 0 && c == quote)
        {
            WriteEncoded(out, text.substr(start, i + 1 - start), encoding, codePage);
            WriteEncoded(out, quoteText, encoding, codePage);
            start = i + 1;
        }
    }
    WriteEncoded(out, text.substr(start), encoding, codePage);
    if (surround && quote != 0)
        WriteEncoded(out, quoteText, encoding, codePage);
}

void WriteWithDuplicateQuotesIfNecessary(std::string& out, KStringView text, char16_t delimiter, char16_t quote,
                                         int32_t encoding, int32_t codePage, long* lineBreaks)
{
    if (quote != 0 && QuotesNecessary(text, delimiter, quote))
        WriteWithDuplicateQuotes(out, text, true, quote, encoding, codePage, lineBreaks);
    else
        WriteEncoded(out, text, encoding, codePage);
}

namespace
{
// The parts of a stored list value.
std::vector<KStringView> PartsOf(const char16_t* value)
{
    std::vector<KStringView> parts;
    for (const char16_t* part : CAttribute::GetEncodedMultipleValues(value))
        parts.emplace_back(part);
    return parts;
}
} // namespace

void WriteValue(std::string& out, const char16_t* value, char16_t delimiter, char16_t quote, int32_t encoding,
                int32_t codePage)
{
    if (value == nullptr)
        return;
    if (!CAttribute::IsEncodedList(value))
    {
        WriteWithDuplicateQuotesIfNecessary(out, KStringView(value), delimiter, quote, encoding, codePage);
        return;
    }
    const std::vector<KStringView> parts = PartsOf(value);
    const bool quoted = quote != 0 && QuotesNecessaryForList(parts, delimiter, quote);
    const char16_t bar = u'|';
    if (quoted)
        WriteEncoded(out, KStringView(&quote, 1), encoding, codePage);
    WriteEncoded(out, KStringView(&bar, 1), encoding, codePage);
    for (KStringView part : parts)
    {
        if (quoted)
            WriteWithDuplicateQuotes(out, part, false, quote, encoding, codePage);
        else
            WriteEncoded(out, part, encoding, codePage);
        WriteEncoded(out, KStringView(&bar, 1), encoding, codePage);
    }
    if (quoted)
        WriteEncoded(out, KStringView(&quote, 1), encoding, codePage);
}

// ---- choosing what to write ----

std::vector<CAttribute*> GetAttributesToWrite(CTable& table, bool allRecords, bool importLayout)
{
    std::vector<CAttribute*> attributes;
    long considered = 0;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        ++considered;
        if (!allRecords && !importLayout && (attribute->IsHidden() || !attribute->IsShown()))
            continue;
        attributes.push_back(attribute);
    }
    if (static_cast<long>(attributes.size()) < considered)
    {
        const int answer =
            table.ShowMessage(2278, {platform::ToKString(static_cast<long long>(attributes.size())),
                                     platform::ToKString(considered)},
                              MESSAGE_OK_CANCEL, ANSWER_OK);
        if (answer == ANSWER_CANCEL)
            throw CUserException();
    }
    attributes.erase(
        std::remove_if(attributes.begin(), attributes.end(), [](const CAttribute* a) { return a->IsHeader(); }),
        attributes.end());
    return attributes;
}

std::vector<CRecord*> GetRecordsToWrite(CTable& table, bool allRecords)
{
    std::vector<CRecord*> records;
    const CRecordArray& all = table.GetAllRecords();
    records.reserve(static_cast<size_t>(all.GetSize()));
    for (long i = 0; i < all.GetSize(); ++i)
    {
        CRecord* record = all.GetRecord(i);
        if (allRecords || record->m_bQualified)
            records.push_back(record);
    }
    return records;
}

namespace
{

constexpr long kProgressLines = 1000;
constexpr size_t kRecordsPerPiece = 16384; // records encoded by one parallel task

// One column of the file: an attribute or a "???" placeholder.
struct SColumn
{
    CAttribute* m_pAttribute = nullptr;  // null for a placeholder
    KString m_strName;                   // the name written on the names line
    std::vector<std::string> m_vEncoded; // encoded cell per value index, when the values are few; else empty
};

// Turns the control characters of a value into visible ones for a warning.
KString MakeControlsVisible(KStringView text)
{
    KString out;
    for (char16_t c : text)
    {
        if (c == u'\r')
            out += u"\\r";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\t')
            out += u"\\t";
        else
            out += c;
    }
    return out;
}

class CExportRun
{
public:
    CExportRun(CTable& table, const SExportOptions& options, const KString& fileName)
        : m_table(table), m_options(options), m_strFileName(fileName)
    {
        m_nCodePage = options.m_nEncoding == 0 ? (options.m_nCodePage > 0 ? options.m_nCodePage : GetDefaultCodePage())
                                               : options.m_nCodePage;
        if (options.m_nEncoding == 0 && !IsKnownCodePage(m_nCodePage))
            throw CKorvalinException(EStatus::IllegalArgumentValue, "unknown code page " + std::to_string(m_nCodePage));
        m_bUtf8 = options.m_nEncoding == 1 || (options.m_nEncoding == 0 && m_nCodePage == 65001);
        if (options.m_nEncoding < 0 || options.m_nEncoding > 3)
            throw CKorvalinException(EStatus::IllegalArgumentValue,
                                     "unknown encoding " + std::to_string(options.m_nEncoding));
    }

    // Writes the file's bytes through write, piece by piece in file order. reserve is told the size of the
    // whole file once the first pieces foretell it.
    void Run(const std::function<void(std::string_view)>& write, const std::function<void(size_t)>& reserve);

private:
    void ChooseColumns();
    // Appends the cell of a column whose value index is index (-1: undefined); value is that value's stored
    // text (null for precomputed columns and undefined values).
    void WriteCell(std::string& out, const SColumn& column, long index, const char16_t* value);
    void NoteUnquoted(const CAttribute* attribute, KStringView value, bool list);
    void WriteLineEnd(std::string& out) const { out += m_strLineEnd; }
    // Appends value as it is when it is ASCII and needs no quotes (the common case in UTF-8); false when not.
    bool AppendPlainAscii(std::string& out, const char16_t* value) const
    {
        const char16_t delimiter = m_options.m_cDelimiter;
        const char16_t quote = m_options.m_cQuote;
        if (value[0] == u'|')
            return false;
        char buffer[256];
        size_t n = 0;
        for (;; ++n)
        {
            const char16_t c = value[n];
            if (c == 0)
                break;
            if (n == sizeof buffer || c >= 0x80 || c == delimiter || c == u'\n' || c == u'\r' || c == quote)
                return false;
            buffer[n] = static_cast<char>(c);
        }
        out.append(buffer, n);
        return true;
    }

    CTable& m_table;
    const SExportOptions& m_options;
    const KString m_strFileName;
    int32_t m_nCodePage = 65001;                // code page in force for encoding 0
    bool m_bUtf8 = false;                       // the output is UTF-8 (encoding 1, or 0 with code page 65001)
    std::vector<SColumn> m_columns;             // the columns in file order
    std::string m_strDelimiter;                 // the delimiter, encoded once
    std::string m_strLineEnd;                   // CR LF, encoded once
    std::mutex m_warningLock;                   // guards the warning fields below
    bool m_bValueWarning = false;               // a value needed quotes that cannot be written
    KString m_strValueWarning;                  // that value
    const CAttribute* m_pListWarning = nullptr; // an attribute whose lists cannot be quoted
};

void CExportRun::ChooseColumns()
{
    const bool importLayout = m_options.m_bImportLayout;
    std::vector<CAttribute*> attributes = GetAttributesToWrite(m_table, m_options.m_bAllRecords, importLayout);
    if (!importLayout)
    {
        for (CAttribute* attribute : attributes)
            m_columns.push_back({attribute, attribute->GetName(), {}});
        return;
    }
    std::vector<CAttribute*> imported;
    std::vector<CAttribute*> leftOut;
    for (CAttribute* attribute : attributes)
    {
        if (attribute->GetImportIndex() > 0)
            imported.push_back(attribute);
        else if (!attribute->IsDerived())
            leftOut.push_back(attribute);
    }
    std::stable_sort(imported.begin(), imported.end(),
                     [](const CAttribute* a, const CAttribute* b)
                     { return a->GetImportIndex() < b->GetImportIndex(); });
    long next = 1;
    for (CAttribute* attribute : imported)
    {
        for (; next < attribute->GetImportIndex(); ++next)
            m_columns.push_back({nullptr, u"???", {}});
        m_columns.push_back({attribute, attribute->GetImportNameOrName(), {}});
        next = std::max(next, attribute->GetImportIndex() + 1);
    }
    for (; next <= m_table.GetImportSettings().m_nImportedColumns; ++next)
        m_columns.push_back({nullptr, u"???", {}});
    if (!leftOut.empty())
    {
        const CImportSettings& source = m_table.GetImportSettings();
        KString text = FormatResource(2196, {source.m_strImportFileName});
        for (size_t i = 0; i < leftOut.size() && i < 30; ++i)
            text += u"\r\n   - " + leftOut[i]->GetName();
        if (leftOut.size() > 30)
            text += u"\r\n   ... ";
        m_table.ShowMessage(SMessage{text, 2196});
    }
}

void CExportRun::NoteUnquoted(const CAttribute* attribute, KStringView value, bool list)
{
    std::lock_guard<std::mutex> lock(m_warningLock);
    if (list)
    {
        if (!m_pListWarning)
            m_pListWarning = attribute;
        return;
    }
    if (!m_bValueWarning)
    {
        m_bValueWarning = true;
        m_strValueWarning = MakeControlsVisible(value);
    }
}

void CExportRun::WriteCell(std::string& out, const SColumn& column, long index, const char16_t* value)
{
    if (!column.m_pAttribute || index < 0)
        return; // a placeholder, or no value: undefined
    if (!column.m_vEncoded.empty())
    {
        out += column.m_vEncoded[static_cast<size_t>(index)];
        return;
    }
    if (m_bUtf8 && AppendPlainAscii(out, value))
        return;
    if (m_options.m_cQuote == 0)
    {
        if (CAttribute::IsEncodedList(value))
        {
            if (QuotesNecessaryForList(PartsOf(value), m_options.m_cDelimiter, 0))
                NoteUnquoted(column.m_pAttribute, KStringView(), true);
        }
        else if (QuotesNecessary(value, m_options.m_cDelimiter, 0))
        {
            NoteUnquoted(column.m_pAttribute, value, false);
        }
    }
    WriteValue(out, value, m_options.m_cDelimiter, m_options.m_cQuote, m_options.m_nEncoding, m_nCodePage);
}

void CExportRun::Run(const std::function<void(std::string_view)>& write, const std::function<void(size_t)>& reserve)
{
    CStatusMessageGuard status(m_table, FormatResource(3060, {m_strFileName}));
    ChooseColumns();
    const std::vector<CRecord*> records = GetRecordsToWrite(m_table, m_options.m_bAllRecords);
    const int32_t encoding = m_options.m_nEncoding;
    const char16_t delimiter = m_options.m_cDelimiter;
    const char16_t quote = m_options.m_cQuote;
    WriteEncoded(m_strDelimiter, KStringView(&delimiter, 1), encoding, m_nCodePage);
    WriteEncoded(m_strLineEnd, u"\r\n", encoding, m_nCodePage);

    std::string out;
    if (m_options.m_bWriteBOM)
        out += GetByteOrderMark(encoding);
    if (m_options.m_bWriteNames)
    {
        bool nameWarning = false;
        KString unquotedName;
        for (size_t k = 0; k < m_columns.size(); ++k)
        {
            if (k > 0)
                out += m_strDelimiter;
            const KString& name = m_columns[k].m_strName;
            if (quote == 0 && !nameWarning && QuotesNecessary(name, delimiter, 0))
            {
                nameWarning = true;
                unquotedName = MakeControlsVisible(name);
            }
            WriteWithDuplicateQuotesIfNecessary(out, name, delimiter, quote, encoding, m_nCodePage);
        }
        WriteLineEnd(out);
        if (nameWarning)
            m_table.ShowMessage(2176, {unquotedName});
    }

    // Attributes with few distinct values get every value encoded once.
    const bool parallel = m_table.UseMulticores() && records.size() >= 2 * kRecordsPerPiece;
    for (SColumn& column : m_columns)
    {
        CAttribute* attribute = column.m_pAttribute;
        if (!attribute || attribute->GetNrOfValues() * 4 > static_cast<long>(records.size()))
            continue;
        column.m_vEncoded.resize(static_cast<size_t>(attribute->GetNrOfValues()));
        for (long i = 0; i < attribute->GetNrOfValues(); ++i)
        {
            const char16_t* value = attribute->GetValue(i);
            if (quote == 0)
            {
                const bool list = CAttribute::IsEncodedList(value);
                if (list ? QuotesNecessaryForList(PartsOf(value), delimiter, 0) : QuotesNecessary(value, delimiter, 0))
                    NoteUnquoted(attribute, list ? KStringView() : KStringView(value), list);
            }
            WriteValue(column.m_vEncoded[static_cast<size_t>(i)], value, delimiter, quote, encoding, m_nCodePage);
        }
    }

    const bool byteDelimiter = m_strDelimiter.size() == 1;
    auto writeLines = [&](size_t first, size_t last, std::string& piece)
    {
        // A block of records at a time: first the value indices and texts, column by column (the lookups are
        // independent of one another, so the memory system overlaps them, and the texts are fetched ahead),
        // then the lines, while those texts are still in the cache.
        constexpr size_t kBlock = 64;
        const size_t columns = m_columns.size();
        std::vector<long> indices(kBlock * columns);
        std::vector<const char16_t*> values(kBlock * columns);
        piece.reserve((last - first) * (16 + 12 * columns));
        for (size_t block = first; block < last; block += kBlock)
        {
            const size_t n = std::min(kBlock, last - block);
            std::fill(indices.begin(), indices.end(), -1);
            std::fill(values.begin(), values.end(), nullptr);
            // Two rounds over the columns: where each value's text is, or its encoded text (fetched ahead), then
            // the text itself.
            for (size_t k = 0; k < columns; ++k)
            {
                const SColumn& column = m_columns[k];
                if (!column.m_pAttribute || column.m_pAttribute->IsHeader())
                    continue;
                const CFieldArray& fields = column.m_pAttribute->GetFieldArray();
                const std::string* encoded = column.m_vEncoded.empty() ? nullptr : column.m_vEncoded.data();
                const char16_t* const* texts = encoded ? nullptr : column.m_pAttribute->GetValueArray()->GetValues();
                for (size_t i = 0; i < n; ++i)
                {
                    const long index = fields.GetAt(records[block + i]->m_nRecordNumber);
                    indices[i * columns + k] = index;
                    if (index >= 0)
                        __builtin_prefetch(encoded ? static_cast<const void*>(encoded + index) : texts + index);
                }
            }
            for (size_t k = 0; k < columns; ++k)
            {
                const SColumn& column = m_columns[k];
                if (!column.m_pAttribute || column.m_pAttribute->IsHeader() || !column.m_vEncoded.empty())
                    continue;
                for (size_t i = 0; i < n; ++i)
                {
                    const long index = indices[i * columns + k];
                    if (index >= 0)
                    {
                        const char16_t* value = column.m_pAttribute->GetValue(index);
                        __builtin_prefetch(value);
                        values[i * columns + k] = value;
                    }
                }
            }
            for (size_t i = 0; i < n; ++i)
            {
                for (size_t k = 0; k < columns; ++k)
                {
                    if (k > 0)
                    {
                        if (byteDelimiter)
                            piece.push_back(m_strDelimiter[0]);
                        else
                            piece += m_strDelimiter;
                    }
                    WriteCell(piece, m_columns[k], indices[i * columns + k], values[i * columns + k]);
                }
                piece += m_strLineEnd;
            }
        }
    };
    write(out);
    const size_t pieces = (records.size() + kRecordsPerPiece - 1) / kRecordsPerPiece;
    // A batch of pieces at a time, so that progress and cancel are looked at, and each batch goes to the file
    // before the next one is made (the disk writes it meanwhile). The pieces keep their memory from batch to
    // batch.
    const size_t batchPieces = parallel ? std::clamp<size_t>(2 * platform::GetProcessorCount(), 4, 16) : 1;
    std::vector<std::string> encoded(batchPieces);
    size_t done = 0;
    while (done < pieces)
    {
        const size_t batch = std::min(pieces - done, batchPieces);
        auto body = [&](size_t a, size_t b)
        {
            for (size_t p = a; p < b; ++p)
            {
                const size_t first = (done + p) * kRecordsPerPiece;
                writeLines(first, std::min(records.size(), first + kRecordsPerPiece), encoded[p]);
            }
        };
        if (parallel && batch > 1)
            platform::ParallelFor(0, batch, 1, body);
        else
            body(0, batch);
        if (done == 0)
        {
            // The whole file, judged by the first batch.
            size_t batchBytes = 0;
            for (size_t p = 0; p < batch; ++p)
                batchBytes += encoded[p].size();
            const double share = static_cast<double>(std::min(records.size(), batch * kRecordsPerPiece)) /
                                 static_cast<double>(std::max<size_t>(records.size(), 1));
            reserve(out.size() + static_cast<size_t>(static_cast<double>(batchBytes) / share * 1.05) + 64);
        }
        for (size_t p = 0; p < batch; ++p)
        {
            write(encoded[p]);
            encoded[p].clear();
        }
        done += batch;
        const size_t written = std::min(records.size(), done * kRecordsPerPiece);
        m_table.PopStatusMessage();
        m_table.PushStatusMessage(FormatResource(3058, {platform::ToKString(static_cast<long long>(written))}));
        if (m_options.m_progress && written / kProgressLines > 0 &&
            !m_options.m_progress(static_cast<double>(written) / static_cast<double>(records.size())))
            throw CUserException();
    }
    if (m_bValueWarning)
        m_table.ShowMessage(2175, {m_strValueWarning});
    if (m_pListWarning)
        m_table.ShowMessage(2177, {m_pListWarning->GetName()});
}

} // namespace

std::string MakeExportText(CTable& table, const SExportOptions& options, const KString& fileName)
{
    CExportRun run(table, options, fileName);
    std::string text;
    run.Run([&](std::string_view bytes) { text += bytes; }, [&](size_t bytes) { text.reserve(bytes); });
    return text;
}

void WriteExportFile(CTable& table, const std::filesystem::path& path, const SExportOptions& options)
{
    // The file is written as it is made: the text of a large table is never held whole.
    CExportRun run(table, options, platform::FromUtf8(path.string()));
    platform::CFileReplacement file(path);
    run.Run([&](std::string_view bytes) { file.Write(bytes); }, [](size_t) {});
    file.Commit();
}

} // namespace exchange
