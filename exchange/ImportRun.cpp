#include "exchange/ImportRun.h"

#include "exchange/ExchangeTexts.h"
#include "platform/Error.h"
#include "platform/Resources.h"

#include <ctime>

namespace exchange
{

namespace
{
// Date and time of now as the data-source description keeps them.
void StampImport(CImportSettings& settings)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    char time[32];
    std::strftime(date, sizeof date, "%d.%m.%Y", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    settings.m_strImportDate = platform::FromUtf8(date);
    settings.m_strImportTime = platform::FromUtf8(time);
}
} // namespace

CAttribute* CReadRun::MakeAttribute(KStringView name)
{
    CImportCounters& counters = m_settings.m_counters;
    if (static_cast<long>(m_attributes.size()) + 1 == kAttributeQuestionAt &&
        m_table.ShowMessage(1000, {TableName()}, MESSAGE_YES_NO, ANSWER_YES) == ANSWER_NO)
        throw CUserException();
    KString text(name);
    if (m_options.m_bLegacy && m_attributes.empty() && m_settings.m_bTransposed && !text.empty() && text[0] == u'/')
        text.erase(0, 1);
    const AttributeType type = m_options.m_bLegacy ? ATTR_FROM_NAME : ATTR_NORMAL;
    CAttribute* attribute = m_table.CreateNewAttribute(type, false, text, &m_nRunningIndent, 16, true);
    if (!attribute->IsHeader())
    {
        attribute->SetImportName(attribute->GetName());
        attribute->SetImportIndex(++counters.m_nAttributeCounter);
    }
    m_attributes.push_back(attribute);
    return attribute;
}

CAttribute* CReadRun::MakeExtraAttribute(size_t column, long line, long earlier, bool report)
{
    const KString name = LoadResourceString(1036) + platform::ToKString(static_cast<long long>(column) + 1);
    CAttribute* attribute = MakeAttribute(name);
    // The records read before have the undefined value here. The record being read must not get it too: its
    // cell would replace it and leave an undefined value that no record holds, which the format guess samples.
    for (long i = 0; i < earlier; ++i)
        attribute->AddValue(m_table.GetRecord(i), KStringView());
    if (report && !m_settings.m_counters.m_bExtraValueReported)
    {
        m_settings.m_counters.m_bExtraValueReported = true;
        m_table.ShowMessage(2748, {TableName(), platform::ToKString(line), attribute->GetName()});
    }
    return attribute;
}

CRecord* CReadRun::MakeRecord()
{
    CRecord* record = m_table.AddRecord();
    ++m_nRecords;
    return record;
}

void CReadRun::ReportMissingValue(const CAttribute* attribute, const std::function<long()>& line)
{
    if (m_settings.m_counters.m_bMissingValueReported || attribute->IsHeader())
        return;
    m_settings.m_counters.m_bMissingValueReported = true;
    m_table.ShowMessage(2064, {TableName(), attribute->GetName(), platform::ToKString(line())});
}

double CReadRun::GetShareRead() const
{
    if (m_dBulkShare >= 0)
        return m_dBulkShare;
    if (m_pStream)
        return m_pStream->GetShareDecoded();
    return m_reader.GetText().empty() ? 1.0 : static_cast<double>(m_reader.GetPosition()) / m_reader.GetText().size();
}

bool CReadRun::CheckProgress(long line)
{
    m_table.PopStatusMessage();
    m_table.PushStatusMessage(FormatResource(2404, {platform::ToKString(line)}));
    if (!m_options.m_progress)
        return true;
    const double fraction = GetShareRead();
    if (m_options.m_progress(fraction, m_nRecords))
        return true;
    if (m_nRecords == 0)
        throw CUserException();
    const int percent = static_cast<int>(fraction * 100);
    const int answer = m_table.ShowMessage(3052, {platform::ToKString(percent), platform::ToKString(m_nRecords)},
                                           MESSAGE_YES_NO_CANCEL, ANSWER_YES);
    if (answer == ANSWER_NO)
        throw CUserException();
    if (answer == ANSWER_YES)
    {
        m_settings.m_counters.m_bCancelled = true;
        return false;
    }
    return true; // Cancel: go on reading
}

void CReadRun::ReadNamesLine(long line)
{
    for (size_t column = 0;; ++column)
    {
        const KStringView cell = m_reader.ReadCell(line, WidthOf(column), m_settings.m_bFixedWidth);
        const ETerminator how = m_reader.GetTerminator();
        const bool beyondWidths = m_settings.m_bFixedWidth && column > 0 && column >= m_settings.m_vColumnWidths.size();
        if (cell.empty() && how == TERMINATOR_END && column == 0)
            return;
        if (!(beyondWidths && cell.empty() && how != TERMINATOR_DELIMITER))
            MakeAttribute(cell);
        if (how != TERMINATOR_DELIMITER)
            return;
    }
}

void CReadRun::ReadRecordPerLine()
{
    const long namesLine = m_settings.m_bAttributeNames ? std::max(1, m_settings.m_nAttributeNameLine) : 0;
    long firstData = std::max(1, m_settings.m_nFirstDataLine);
    if (namesLine > 0 && firstData <= namesLine)
        firstData = namesLine + 1; // the names line is never a record
    m_settings.m_nFirstDataLine = static_cast<int32_t>(firstData);
    long line = 1;
    for (; line < firstData && !m_reader.IsAtEnd(); ++line)
    {
        m_nRecordStart = m_reader.GetPosition();
        if (line == namesLine)
            ReadNamesLine(line);
        else
            m_reader.ReadLine(line);
    }
    ReadDataLines(line);
}

void CReadRun::ReadDataLines(long line)
{
    const long maxRecords = m_settings.m_nMaxRecords;
    const bool fixed = m_settings.m_bFixedWidth;
    CStatusMessageGuard status(m_table, FormatResource(2404, {platform::ToKString(line)}));
    while (!m_reader.IsAtEnd() && (maxRecords < 0 || m_nRecords < maxRecords))
    {
        if (m_nRecords > 0 && MayReadInBulk())
        {
            ReadDataLinesInBulk(line);
            return;
        }
        m_nRecordStart = m_reader.GetPosition();
        KStringView cell = m_reader.ReadCell(line, WidthOf(0), fixed);
        if (cell.empty() && m_reader.GetTerminator() == TERMINATOR_END)
            break; // an empty last cell adds no record
        CRecord* record = MakeRecord();
        size_t column = 0;
        for (;;)
        {
            if (column >= m_attributes.size())
                MakeExtraAttribute(column, m_reader.GetPhysicalLine(m_nRecordStart), m_nRecords - 1, m_nRecords > 1);
            m_attributes[column]->AddValue(record, cell);
            ++column;
            if (m_reader.GetTerminator() != TERMINATOR_DELIMITER)
                break;
            cell = m_reader.ReadCell(line, WidthOf(column), fixed);
            if (fixed && column >= m_settings.m_vColumnWidths.size() && cell.empty() &&
                m_reader.GetTerminator() != TERMINATOR_DELIMITER)
                break; // nothing beyond the last width
        }
        for (size_t k = column; k < m_attributes.size(); ++k)
        {
            m_attributes[k]->AddValue(record, KStringView());
            ReportMissingValue(m_attributes[k], [this] { return m_reader.GetPhysicalLine(m_nRecordStart); });
        }
        ++line;
        if (m_nRecords % kProgressLines == 0 && !CheckProgress(line))
            break;
    }
}

void CReadRun::ReadAttributePerLine()
{
    const long maxRecords = m_settings.m_nMaxRecords;
    CStatusMessageGuard status(m_table, FormatResource(2404, {platform::ToKString(1)}));
    for (long line = 1; !m_reader.IsAtEnd(); ++line)
    {
        m_nRecordStart = m_reader.GetPosition();
        m_table.PopStatusMessage();
        m_table.PushStatusMessage(FormatResource(2404, {platform::ToKString(line)}));
        if (m_options.m_progress &&
            !m_options.m_progress(static_cast<double>(m_nRecordStart) / m_reader.GetText().size(), m_nRecords))
        {
            m_settings.m_counters.m_bCancelled = true;
            throw CUserException();
        }
        KStringView cell = m_reader.ReadCell(line);
        if (cell.empty() && m_reader.GetTerminator() != TERMINATOR_DELIMITER)
            continue; // an empty line
        CAttribute* attribute = nullptr;
        bool valuesFollow = true;
        if (m_settings.m_bAttributeNames)
        {
            attribute = MakeAttribute(cell);
            valuesFollow = m_reader.GetTerminator() == TERMINATOR_DELIMITER;
            if (valuesFollow)
                cell = m_reader.ReadCell(line);
        }
        else
        {
            attribute = MakeAttribute(LoadResourceString(1036) + platform::ToKString(line));
        }
        long index = 0;
        while (valuesFollow)
        {
            if (maxRecords < 0 || index < maxRecords)
            {
                if (index >= m_nRecords)
                {
                    CRecord* record = MakeRecord();
                    for (CAttribute* earlier : m_attributes)
                    {
                        if (earlier != attribute)
                            earlier->AddValue(record, KStringView());
                    }
                }
                attribute->AddValue(m_table.GetRecord(index), cell);
                ++index;
            }
            if (m_reader.GetTerminator() != TERMINATOR_DELIMITER)
                break;
            cell = m_reader.ReadCell(line);
        }
        for (long k = index; k < m_nRecords; ++k)
            attribute->AddValue(m_table.GetRecord(k), KStringView());
    }
}

void CReadRun::Finish()
{
    // The cells read one at a time come before those read in bulk: their first cut value and stray quote win.
    const SCellTally& tally = m_reader.GetTally();
    CImportCounters& counters = m_settings.m_counters;
    counters.m_nCutValues = tally.m_nCutValues + m_bulkTally.m_nCutValues;
    counters.m_nNullCharacters = tally.m_nNullCharacters + m_bulkTally.m_nNullCharacters;
    counters.m_nBars = tally.m_nBars + m_bulkTally.m_nBars;
    counters.m_nMultipleValueCells = tally.m_nMultipleValueCells + m_bulkTally.m_nMultipleValueCells;
    counters.m_nControlCharacters = tally.m_nControlCharacters + m_bulkTally.m_nControlCharacters;
    const long cutLine =
        tally.m_nFirstCutOffset != SIZE_MAX ? m_reader.GetPhysicalLine(tally.m_nFirstCutOffset) : m_nFirstCutLine;
    if (cutLine > 0 && !counters.m_bCutValueReported)
    {
        counters.m_bCutValueReported = true;
        m_table.ShowMessage(2045, {TableName(), platform::ToKString(cutLine)});
    }
    const bool headQuote = tally.m_nFirstStrayQuote != SIZE_MAX;
    const long quoteLine = headQuote ? m_reader.GetPhysicalLine(tally.m_nFirstStrayQuote) : m_nFirstQuoteLine;
    if (quoteLine > 0 && !counters.m_bQuoteReported)
    {
        counters.m_bQuoteReported = true;
        m_table.ShowMessage(1892, {TableName(), platform::ToKString(quoteLine), KString(1, m_settings.m_cQuote),
                                   headQuote ? tally.m_strStrayQuoteText : m_bulkTally.m_strStrayQuoteText});
    }
    if (m_attributes.empty())
    {
        const KString text = FormatResource(2150, {TableName()});
        m_table.ShowMessage(SMessage{text, 2150});
        throw CArchiveException(platform::ToUtf8(m_strFileName), 0, 0, platform::ToUtf8(text));
    }
    m_settings.m_nSourceKind = SOURCE_TEXT_FILE;
    m_settings.m_strImportFileName = m_strFileName;
    m_settings.m_nImportedColumns = counters.m_nAttributeCounter;
    StampImport(m_settings);
    const KString special = DescribeSpecialCharacters(counters);
    if (!special.empty())
        m_table.ShowMessage(3512, {TableName(), special});
}

} // namespace exchange
