#include "files/QtcFile.h"

#include "engine/Table.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextExporter.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"

#include <algorithm>
#include <optional>

namespace files
{

namespace
{
constexpr char16_t kTab = u'\t';
constexpr char16_t kQuote = u'"';
} // namespace

KString MakeNameMarkup(const CAttribute& attribute, long nextDepth)
{
    const long depth = attribute.GetIndent();
    const long opens = attribute.IsHeader() ? 1 : 0;
    const long closes = std::max(0L, depth + opens - std::max(0L, nextDepth));
    KString markup(static_cast<size_t>(opens), u'>');
    markup.append(static_cast<size_t>(closes), u'<');
    if (attribute.IsHeader() && attribute.IsHeaderOpen())
        markup += u'+';
    if (attribute.GetNrOfLines() > 1 && !attribute.HasMultipleValues())
    {
        markup += u'[';
        markup += static_cast<char16_t>(u'0' + std::min(attribute.GetNrOfLines(), 9));
        markup += u']';
    }
    return markup;
}

std::string MakeQtcText(CTable& table, bool allRecords)
{
    CStatusMessageGuard status(table, FormatResource(3060, {table.GetTitle()}));
    std::vector<CAttribute*> attributes;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (allRecords || !attribute->IsHidden())
            attributes.push_back(attribute);
    }
    const std::vector<CRecord*> records = exchange::GetRecordsToWrite(table, allRecords);
    std::string out(exchange::GetByteOrderMark(ENCODING_UTF8));
    out += '/';
    for (size_t k = 0; k < attributes.size(); ++k)
    {
        if (k > 0)
            out += '\t';
        const long nextDepth = k + 1 < attributes.size() ? attributes[k + 1]->GetIndent() : -1;
        // A name with TAB, CR, LF or a quote is quoted together with its markup: a quote opens a quoted cell
        // only as the cell's first character.
        const KString cell = MakeNameMarkup(*attributes[k], nextDepth) + attributes[k]->GetName();
        exchange::WriteWithDuplicateQuotesIfNecessary(out, cell, kTab, kQuote, ENCODING_UTF8, 0);
    }
    out += "\r\n";
    for (CRecord* record : records)
    {
        for (size_t k = 0; k < attributes.size(); ++k)
        {
            if (k > 0)
                out += '\t';
            CAttribute* attribute = attributes[k];
            if (attribute->IsHeader())
                continue;
            const long index = attribute->GetFieldArray().GetAt(record->m_nRecordNumber);
            if (index >= 0)
                exchange::WriteValue(out, attribute->GetValue(index), kTab, kQuote, ENCODING_UTF8, 0);
        }
        out += "\r\n";
    }
    return out;
}

void WriteQtcFile(CTable& table, const std::filesystem::path& path, bool allRecords)
{
    platform::WriteFileAtomically(path, MakeQtcText(table, allRecords));
}

void ReadQtcBytes(CTable& table, std::string_view bytes, const KString& fileName, const exchange::SReadOptions& options)
{
    CImportSettings settings;
    settings.m_cDelimiter = kTab;
    settings.m_cQuote = kQuote;
    settings.m_bAttributeNames = true;
    settings.m_nAttributeNameLine = 1;
    settings.m_nFirstDataLine = 2;
    settings.m_nEncoding = ENCODING_CODE_PAGE;
    settings.m_nCodePage = exchange::GetDefaultCodePage();
    const exchange::SByteOrderMark mark = exchange::DetectByteOrderMark(bytes);
    if (mark.m_nEncoding >= 0)
    {
        settings.m_nEncoding = mark.m_nEncoding;
        settings.m_bBOMFound = true;
    }
    // The first character after the mark: "/" means one record per line.
    std::string_view body = bytes.substr(mark.m_nLength);
    bool slash = false;
    if (settings.m_nEncoding == ENCODING_UTF16_LE)
        slash = body.size() >= 2 && body[0] == '/' && body[1] == 0;
    else if (settings.m_nEncoding == ENCODING_UTF16_BE)
        slash = body.size() >= 2 && body[0] == 0 && body[1] == '/';
    else
        slash = !body.empty() && body[0] == '/';
    settings.m_bTransposed = slash;
    exchange::SReadOptions legacy = options;
    legacy.m_bLegacy = true;
    exchange::CTextImporter(table).ReadBytes(bytes, fileName, settings, legacy);
}

void ReadQtcFile(CTable& table, const std::filesystem::path& path, const exchange::SReadOptions& options)
{
    const std::string bytes = exchange::ReadInputFile(table, path);
    ReadQtcBytes(table, bytes, platform::FromUtf8(path.string()), options);
}

} // namespace files
