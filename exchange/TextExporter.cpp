#include "exchange/TextExporter.h"

#include "exchange/ExportLines.h"
#include "exchange/ExportRun.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "exchange/TextEncoding.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"

#include <algorithm>
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
