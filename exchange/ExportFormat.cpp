// The format stage of the export's lines: cells, delimiters and line ends in the output encoding.

#include "engine/Attribute.h"
#include "exchange/ExportLines.h"
#include "exchange/TextExporter.h"

namespace exchange
{

std::vector<KStringView> PartsOf(const char16_t* value)
{
    std::vector<KStringView> parts;
    for (const char16_t* part : CAttribute::GetEncodedMultipleValues(value))
        parts.emplace_back(part);
    return parts;
}

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

void CExportWarnings::NoteUnquoted(const CAttribute* attribute, KStringView value, bool list)
{
    std::lock_guard<std::mutex> lock(m_lock);
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

void CExportWarnings::CheckUnquoted(const SExportFormat& format, const CAttribute* attribute, const char16_t* value)
{
    if (format.m_cQuote != 0)
        return;
    if (CAttribute::IsEncodedList(value))
    {
        if (QuotesNecessaryForList(PartsOf(value), format.m_cDelimiter, 0))
            NoteUnquoted(attribute, KStringView(), true);
    }
    else if (QuotesNecessary(value, format.m_cDelimiter, 0))
    {
        NoteUnquoted(attribute, value, false);
    }
}

void EncodeFewValues(std::vector<SExportColumn>& columns, size_t records, const SExportFormat& format,
                     CExportWarnings& warnings)
{
    for (SExportColumn& column : columns)
    {
        CAttribute* attribute = column.m_pAttribute;
        if (!attribute || attribute->GetNrOfValues() * 4 > static_cast<long>(records))
            continue;
        column.m_vEncoded.resize(static_cast<size_t>(attribute->GetNrOfValues()));
        for (long i = 0; i < attribute->GetNrOfValues(); ++i)
        {
            const char16_t* value = attribute->GetValue(i);
            warnings.CheckUnquoted(format, attribute, value);
            WriteValue(column.m_vEncoded[static_cast<size_t>(i)], value, format.m_cDelimiter, format.m_cQuote,
                       format.m_nEncoding, format.m_nCodePage);
        }
    }
}

CLineWriter::CLineWriter(const SExportFormat& format, const std::vector<SExportColumn>& columns,
                         CExportWarnings& warnings)
    : m_format(format), m_columns(columns), m_warnings(warnings), m_vIndices(kBlock * columns.size()),
      m_vValues(kBlock * columns.size())
{
}

bool CLineWriter::AppendPlainAscii(std::string& out, const char16_t* value) const
{
    const char16_t delimiter = m_format.m_cDelimiter;
    const char16_t quote = m_format.m_cQuote;
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

void CLineWriter::WriteCell(std::string& out, const SExportColumn& column, long index, const char16_t* value)
{
    if (!column.m_pAttribute || index < 0)
        return; // a placeholder, or no value: undefined
    if (!column.m_vEncoded.empty())
    {
        out += column.m_vEncoded[static_cast<size_t>(index)];
        return;
    }
    if (m_format.m_bUtf8 && AppendPlainAscii(out, value))
        return;
    m_warnings.CheckUnquoted(m_format, column.m_pAttribute, value);
    WriteValue(out, value, m_format.m_cDelimiter, m_format.m_cQuote, m_format.m_nEncoding, m_format.m_nCodePage);
}

void CLineWriter::Format(size_t n, std::string& out)
{
    const size_t columns = m_columns.size();
    const std::string& delimiter = m_format.m_strDelimiter;
    const bool byteDelimiter = delimiter.size() == 1;
    for (size_t i = 0; i < n; ++i)
    {
        for (size_t k = 0; k < columns; ++k)
        {
            if (k > 0)
            {
                if (byteDelimiter)
                    out.push_back(delimiter[0]);
                else
                    out += delimiter;
            }
            WriteCell(out, m_columns[k], m_vIndices[i * columns + k], m_vValues[i * columns + k]);
        }
        out += m_format.m_strLineEnd;
    }
}

void CLineWriter::WriteLines(CRecord* const* records, size_t count, std::string& out)
{
    out.reserve(out.size() + count * (16 + 12 * m_columns.size()));
    for (size_t block = 0; block < count; block += kBlock)
    {
        const size_t n = std::min(kBlock, count - block);
        Fetch(records + block, n);
        Format(n, out);
    }
}

} // namespace exchange
