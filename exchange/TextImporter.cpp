#include "exchange/TextImporter.h"

#include "engine/Table.h"
#include "exchange/BulkReader.h"
#include "exchange/ExchangeTexts.h"
#include "exchange/TextReader.h"
#include "exchange/TextStream.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <new>
#include <numeric>
#include <optional>

namespace exchange
{

namespace
{

constexpr long kProgressLines = 1000;       // progress, status and cancel are looked at every this many lines
constexpr long kAttributeQuestionAt = 1000; // the user is asked when this many attributes were made
constexpr size_t kBulkMinimum = 1u << 20;   // texts from this many units on read their data lines in bulk
constexpr size_t kChunkUnits = 1u << 20;    // units per chunk of a bulk piece

// Bytes decoded at a time when a file is decoded while it is read.
size_t WindowBytes(const SReadOptions& options)
{
    return std::max<size_t>(options.m_nWindowBytes, 4);
}

// Bytes decoded first when a file is decoded while it is read: an eighth of a window (1 MiB by default), enough
// for the names and the first lines (the reader asks for more when a line needs it). The bulk read copies what is
// left of it into its first window, so a small head saves copying megabytes.
size_t HeadBytes(const SReadOptions& options)
{
    return std::max<size_t>(WindowBytes(options) / 8, 4);
}

// Runs work, and beside it builds the table's collation when it sorts by one: values are compared from the
// first piece of a read on, and a first build there would hold up every column.
void BesideCollation(const CTable& table, bool parallel, const std::function<void()>& work)
{
    if (parallel && platform::GetProcessorCount() > 1)
        platform::ParallelInvoke(work, [&table] { table.PrepareCollation(); });
    else
        work();
}

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

// The state of one read: the reader, the attributes made by it, the records, the counters and messages.
class CReadRun
{
public:
    // stream, when not null, decodes the rest of the file after text, which the run then asks for.
    CReadRun(CTable& table, const KString& fileName, CImportSettings& settings, const SReadOptions& options,
             KStringView text, CUtf8FileStream* stream, std::function<bool(KStringView&)> more)
        : m_table(table), m_strFileName(fileName), m_settings(settings), m_options(options),
          m_reader(text, MakeRules(settings)), m_pStream(stream)
    {
        if (stream)
            m_reader.SetMoreText(std::move(more));
    }

    void ReadRecordPerLine();
    void ReadAttributePerLine();
    // Messages and the description after a successful read.
    void Finish();
    // The physical line at which reading stands (for errors).
    long GetCurrentLine() const { return m_nBulkLine > 0 ? m_nBulkLine : m_reader.GetPhysicalLine(m_nRecordStart); }

private:
    static SCellRules MakeRules(const CImportSettings& settings)
    {
        SCellRules rules;
        rules.m_cDelimiter = settings.m_cDelimiter != 0 ? settings.m_cDelimiter : u'\t';
        rules.m_cQuote = settings.m_cQuote;
        rules.m_bFixedWidth = settings.m_bFixedWidth;
        rules.m_bReplaceBars = settings.m_bReplaceBars;
        return rules;
    }

    const KString& TableName() const { return m_table.GetTitle(); }
    size_t WidthOf(size_t column) const
    {
        if (!m_settings.m_bFixedWidth || column >= m_settings.m_vColumnWidths.size())
            return 0;
        return static_cast<size_t>(std::max(0, m_settings.m_vColumnWidths[column]));
    }
    // Makes the attribute of a column; legacy names carry the tree markup.
    CAttribute* MakeAttribute(KStringView name);
    // Makes the attribute of a column met first on a data line; the records made so far get the undefined
    // value. report: the line is not the first data line (the user is told once).
    CAttribute* MakeExtraAttribute(size_t column, long line, bool report);
    CRecord* MakeRecord();
    // Asks the progress callback; returns false when the read stops here (records kept).
    bool CheckProgress(long line);
    // Tells once that a record (on the line that line() gives) lacks the attribute's value.
    void ReportMissingValue(const CAttribute* attribute, const std::function<long()>& line);
    // The share of the file read so far (0..1).
    double GetShareRead() const;
    // Reads the cells of the names line and makes an attribute per cell.
    void ReadNamesLine(long line);
    // The data lines, one record each, through the bulk reader when it may be used.
    void ReadDataLines(long line);
    // Reads the rest of the data lines in pieces scanned in parallel and stored column by column in parallel.
    void ReadDataLinesInBulk(long line);
    bool MayReadInBulk() const;

    // The text of one bulk piece: from the piece's first record to the end of the text, or to where decoding
    // stands when the file is decoded as it is read.
    struct SWindow
    {
        KStringView m_text;
        long m_nFirstLine = 1;   // the physical line of m_text[0]
        bool m_bComplete = true; // m_text runs to the end of the file
        CUtf16Buffer m_buffer;   // holds m_text when the file is decoded as it is read
        long LineOf(size_t offset) const { return m_nFirstLine + CountPhysicalLineEnds(m_text, offset); }
    };
    // Makes to the text of from from offset on; decoded text gets about units units. lineEnds: the physical
    // line ends of from before offset, when known (counted otherwise).
    void Advance(SWindow& to, const SWindow& from, size_t offset, size_t units, long lineEnds = -1);
    // Scans a piece of the window; decodes more first when the piece's last record may go on beyond it.
    void ScanWindow(SWindow& window, size_t pieceUnits, size_t chunkUnits, bool parallel,
                    std::vector<SScannedChunk>& chunks);
    // Adds what a piece's cells met; the first cut value and stray quote get their lines while the piece's
    // window is there.
    void AddBulkTally(const SCellTally& tally, const SWindow& window);

    CTable& m_table;
    const KString& m_strFileName; // the file, for messages and the description
    CImportSettings& m_settings;  // settings in force (stored into the table on success)
    const SReadOptions& m_options;
    CTextReader m_reader;                  // the decoded file (or its head) and its cell state
    CUtf8FileStream* m_pStream;            // decodes the rest of the file, when it is read as it is decoded
    std::vector<CAttribute*> m_attributes; // attributes of the columns, in column order (headers included)
    long m_nRunningIndent = 0;             // tree level of the next legacy attribute
    long m_nRecords = 0;                   // records made by this read
    size_t m_nRecordStart = 0;             // offset of the line being read
    bool m_bStopped = false;               // the user kept the records read so far and stopped
    // The bulk reader's: what its cells met (offsets not used), the lines of the first cut value and stray
    // quote (0: none), the line of the piece being stored (0 before the bulk read) and the share read.
    SCellTally m_bulkTally;
    long m_nFirstCutLine = 0;
    long m_nFirstQuoteLine = 0;
    long m_nBulkLine = 0;
    double m_dBulkShare = -1;
};

CAttribute* CReadRun::MakeAttribute(KStringView name)
{
    CImportCounters& counters = m_settings.m_counters;
    if (static_cast<long>(m_attributes.size()) + 1 == kAttributeQuestionAt &&
        m_table.ShowMessage(FormatResource(1000, {TableName()}), ANSWER_YES) == ANSWER_NO)
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

CAttribute* CReadRun::MakeExtraAttribute(size_t column, long line, bool report)
{
    const KString name = LoadResourceString(1036) + platform::ToKString(static_cast<long long>(column) + 1);
    CAttribute* attribute = MakeAttribute(name);
    // The records read before have the undefined value here (the record being read gets its cell next).
    for (long i = 0; i < m_nRecords; ++i)
        attribute->AddValue(m_table.GetRecord(i), KStringView());
    if (report && !m_settings.m_counters.m_bExtraValueReported)
    {
        m_settings.m_counters.m_bExtraValueReported = true;
        m_table.ShowMessage(FormatResource(2748, {TableName(), platform::ToKString(line), attribute->GetName()}));
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
    m_table.ShowMessage(FormatResource(2064, {TableName(), attribute->GetName(), platform::ToKString(line())}));
}

double CReadRun::GetShareRead() const
{
    if (m_dBulkShare >= 0)
        return m_dBulkShare;
    if (m_pStream)
        return m_pStream->GetShareDecoded();
    return m_reader.GetText().empty() ? 1.0
                                      : static_cast<double>(m_reader.GetPosition()) / m_reader.GetText().size();
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
    const int answer = m_table.ShowMessage(
        FormatResource(3052, {platform::ToKString(percent), platform::ToKString(m_nRecords)}), ANSWER_YES);
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
                MakeExtraAttribute(column, m_reader.GetPhysicalLine(m_nRecordStart), m_nRecords > 1);
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

bool CReadRun::MayReadInBulk() const
{
    if (m_settings.m_bFixedWidth || m_settings.m_nMaxRecords >= 0)
        return false;
    if (m_pStream)
        return true; // a large file: the rest is read in bulk, as it is decoded
    const size_t size = m_reader.GetText().size();
    return size - m_reader.GetPosition() >= kBulkMinimum && size <= MAX_BULK_TEXT;
}

void CReadRun::Advance(SWindow& to, const SWindow& from, size_t offset, size_t units, long lineEnds)
{
    to.m_nFirstLine = lineEnds >= 0 ? from.m_nFirstLine + lineEnds : from.LineOf(offset);
    const KStringView rest = from.m_text.substr(offset);
    if (!m_pStream)
    {
        to.m_text = rest;
        to.m_bComplete = true;
        return;
    }
    to.m_buffer.Resize(0);
    to.m_buffer.Append(rest);
    if (rest.size() < units)
        m_pStream->DecodeMore(to.m_buffer, units - rest.size());
    to.m_text = to.m_buffer.View();
    to.m_bComplete = m_pStream->AtEnd();
}

void CReadRun::ScanWindow(SWindow& window, size_t pieceUnits, size_t chunkUnits, bool parallel,
                          std::vector<SScannedChunk>& chunks)
{
    for (;;)
    {
        if (window.m_text.empty())
        {
            chunks.clear();
            return;
        }
        ScanPiece(window.m_text.data(), 0, window.m_text.size(), pieceUnits, chunkUnits, m_reader.GetRules(), parallel,
                  chunks);
        if (window.m_bComplete || chunks.empty() || chunks.back().m_nEnd < window.m_text.size())
            return;
        // The last record reached the end of the decoded text and may go on after it (a long quoted cell, a CR
        // whose LF follows): decode more and scan again.
        m_pStream->DecodeMore(window.m_buffer, std::max(window.m_text.size(), pieceUnits));
        window.m_text = window.m_buffer.View();
        window.m_bComplete = m_pStream->AtEnd();
    }
}

void CReadRun::AddBulkTally(const SCellTally& tally, const SWindow& window)
{
    m_bulkTally.Add(tally);
    if (tally.m_nFirstCutOffset != SIZE_MAX && m_nFirstCutLine == 0)
        m_nFirstCutLine = window.LineOf(tally.m_nFirstCutOffset);
    if (tally.m_nFirstStrayQuote != SIZE_MAX && m_nFirstQuoteLine == 0)
    {
        m_nFirstQuoteLine = window.LineOf(tally.m_nFirstStrayQuote);
        m_bulkTally.m_strStrayQuoteText = tally.m_strStrayQuoteText;
    }
}

void CReadRun::ReadDataLinesInBulk(long line)
{
    const KStringView whole = m_reader.GetText();
    const bool parallel = m_table.UseMulticores() && platform::GetProcessorCount() > 1;
    const size_t chunksPerPiece = parallel ? 2 * static_cast<size_t>(platform::GetProcessorCount()) : 1;
    size_t pieceUnits = chunksPerPiece * kChunkUnits;
    if (m_pStream)
        pieceUnits = std::min(pieceUnits, std::max<size_t>(m_options.m_nWindowBytes, 256));
    const size_t chunkUnits = std::max<size_t>(pieceUnits / chunksPerPiece, 1);
    const size_t windowUnits = pieceUnits + pieceUnits / 4; // room for the piece's last record
    bool hashesSized = false;
    CStatusMessageGuard status(m_table, FormatResource(2404, {platform::ToKString(line)}));
    // Each piece has a window of the text from its first record on: the piece being stored and the next one,
    // scanned meanwhile. The scan's tasks fill the gaps that the last columns of a piece leave, and each piece
    // needs one parallel step instead of two. Decoded as read, a window holds little more than its piece.
    SWindow head;
    head.m_text = whole;
    SWindow windows[2];
    std::vector<SScannedChunk> pieces[2];
    size_t current = 0;
    Advance(windows[current], head, m_reader.GetPosition(), windowUnits);
    ScanWindow(windows[current], pieceUnits, chunkUnits, parallel, pieces[current]);
    std::vector<CRecord*> records;
    // Columns whose first piece had mostly distinct values: their cells are appended, merged at the end.
    std::vector<char> appending;
    while (!pieces[current].empty())
    {
        const SWindow& window = windows[current];
        const std::vector<SScannedChunk>& chunks = pieces[current];
        m_nBulkLine = window.m_nFirstLine;
        // In record order, as one scan would meet them: columns met for the first time make their attributes
        // (before the piece's records exist), and the first record with fewer cells than attributes is told.
        for (const SScannedChunk& chunk : chunks)
        {
            for (long i = 0; i < chunk.GetRecordCount(); ++i)
            {
                const size_t cells = chunk.GetCellCount(i);
                const size_t recordStart = chunk.m_vRecordStarts[static_cast<size_t>(i)];
                if (cells > m_attributes.size())
                {
                    const long recordLine = window.LineOf(recordStart);
                    const bool report = m_nRecords > 0 || &chunk != &chunks.front() || i > 0;
                    for (size_t column = m_attributes.size(); column < cells; ++column)
                        MakeExtraAttribute(column, recordLine, report && column == m_attributes.size());
                }
                else if (cells < m_attributes.size() && !m_settings.m_counters.m_bMissingValueReported)
                {
                    ReportMissingValue(m_attributes[cells], [&] { return window.LineOf(recordStart); });
                }
            }
        }
        size_t pieceRecords = 0;
        for (const SScannedChunk& chunk : chunks)
            pieceRecords += static_cast<size_t>(chunk.GetRecordCount());
        records.resize(pieceRecords);
        m_table.AddRecords(pieceRecords, records.data());
        m_nRecords += static_cast<long>(pieceRecords);
        // Each column takes the piece's cells in record order; columns are independent of one another.
        appending.resize(m_attributes.size(), 0);
        auto fill = [&](size_t column)
        {
            CAttribute* attribute = m_attributes[column];
            std::vector<KStringView> cells;
            size_t r = 0;
            for (const SScannedChunk& chunk : chunks)
            {
                cells.clear();
                for (long i = 0; i < chunk.GetRecordCount(); ++i)
                    cells.push_back(chunk.GetCell(column, i));
                // The chunk's own cells lie in its column buffer, with room after them.
                const size_t readable = column < chunk.m_nColumns ? SScannedColumn::kReadableAfterCells : 0;
                if (appending[column] &&
                    !attribute->AppendValues(records.data() + r, cells.data(), cells.size(), readable))
                    appending[column] = 0; // a list or a long text: looked up from here on
                if (!appending[column])
                    attribute->AddValues(records.data() + r, cells.data(), cells.size(), readable);
                r += cells.size();
            }
        };
        // Columns with many distinct values cost most: they go first, each task taking the next column, so that
        // the cheap ones fill the gaps at the end.
        std::vector<size_t> columns(m_attributes.size());
        std::iota(columns.begin(), columns.end(), size_t{0});
        std::stable_sort(columns.begin(), columns.end(),
                         [&](size_t a, size_t b)
                         { return m_attributes[a]->GetNrOfValues() > m_attributes[b]->GetNrOfValues(); });
        auto eachColumn = [&](const std::function<void(size_t)>& body)
        {
            if (parallel)
                platform::ParallelInOrder(columns.size(), [&](size_t i) { body(columns[i]); });
            else
                std::for_each(columns.begin(), columns.end(), body);
        };
        const size_t next = chunks.back().m_nEnd;
        // The units from this piece's start to the end of the file: the piece's share of them foretells the rest.
        const double unitsAhead =
            static_cast<double>(window.m_text.size()) + (m_pStream ? m_pStream->EstimateUnitsLeft() : 0.0);
        SWindow& following = windows[1 - current];
        // The piece's chunks run from the window's start to next: their line ends are those before next.
        long lineEnds = 0;
        for (const SScannedChunk& chunk : chunks)
            lineEnds += chunk.m_nLineEnds;
        auto prepare = [&]
        {
            Advance(following, window, next, windowUnits, lineEnds);
            ScanWindow(following, pieceUnits, chunkUnits, parallel, pieces[1 - current]);
        };
        if (parallel)
            platform::ParallelInvoke([&] { eachColumn(fill); }, prepare);
        else
            eachColumn(fill);
        for (const SScannedChunk& chunk : chunks)
            AddBulkTally(chunk.m_tally, window);
        if (!hashesSized && !records.empty())
        {
            // Attributes with many distinct values get a value hash sized for the whole file at once.
            // Room for the records the piece foretells (and a little more); columns with many distinct values
            // get a fifth more values than the piece's share foretells, but never more than one per record.
            hashesSized = true;
            const double share = std::max(static_cast<double>(next) / std::max(unitsAhead, 1.0), 1e-6);
            const double expectedRecords = static_cast<double>(records.size()) / share;
            eachColumn( // each attribute clears memory of its own: side by side
                [&](size_t column)
                {
                    CAttribute* attribute = m_attributes[column];
                    const long values = attribute->GetNrOfValues();
                    const long pieceRecords = static_cast<long>(records.size());
                    const bool many = values * 4 >= pieceRecords;
                    const long recordsExpected =
                        m_table.GetRecordCount() - pieceRecords + static_cast<long>(expectedRecords * 1.05);
                    if (values * 2 >= pieceRecords && !attribute->HasMultipleValues())
                    {
                        // Mostly distinct: every cell from here on is appended as a value, merged at the end.
                        attribute->BeginAppendingValues();
                        appending[column] = 1;
                        attribute->Reserve(recordsExpected, values + recordsExpected - m_table.GetRecordCount());
                        return;
                    }
                    attribute->Reserve(
                        recordsExpected,
                        many ? static_cast<long>(std::min(static_cast<double>(values) / share * 1.2, expectedRecords))
                             : 0);
                });
        }
        line += static_cast<long>(records.size());
        m_dBulkShare = m_pStream ? m_pStream->GetShareDecoded()
                                 : static_cast<double>(window.m_text.data() + next - whole.data()) /
                                       static_cast<double>(std::max<size_t>(whole.size(), 1));
        if (!CheckProgress(line))
            break;
        if (!parallel)
            prepare();
        current = 1 - current;
    }
    auto merge = [&](size_t column) { m_attributes[column]->MergeEqualValues(); };
    if (parallel)
        platform::ParallelInOrder(m_attributes.size(), merge);
    else
        for (size_t column = 0; column < m_attributes.size(); ++column)
            merge(column);
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
        m_table.ShowMessage(FormatResource(2045, {TableName(), platform::ToKString(cutLine)}));
    }
    const bool headQuote = tally.m_nFirstStrayQuote != SIZE_MAX;
    const long quoteLine = headQuote ? m_reader.GetPhysicalLine(tally.m_nFirstStrayQuote) : m_nFirstQuoteLine;
    if (quoteLine > 0 && !counters.m_bQuoteReported)
    {
        counters.m_bQuoteReported = true;
        m_table.ShowMessage(FormatResource(1892, {TableName(), platform::ToKString(quoteLine),
                                                  KString(1, m_settings.m_cQuote),
                                                  headQuote ? tally.m_strStrayQuoteText
                                                            : m_bulkTally.m_strStrayQuoteText}));
    }
    if (m_attributes.empty())
    {
        const KString text = FormatResource(2150, {TableName()});
        m_table.ShowMessage(text);
        throw CArchiveException(platform::ToUtf8(m_strFileName), 0, 0, platform::ToUtf8(text));
    }
    m_settings.m_nSourceKind = SOURCE_TEXT_FILE;
    m_settings.m_strImportFileName = m_strFileName;
    m_settings.m_nImportedColumns = counters.m_nAttributeCounter;
    StampImport(m_settings);
    const KString special = DescribeSpecialCharacters(counters);
    if (!special.empty())
        m_table.ShowMessage(FormatResource(3512, {TableName(), special}));
}

KString FileNameOf(const KString& path)
{
    const size_t slash = path.find_last_of(u'/');
    return slash == KString::npos ? path : path.substr(slash + 1);
}

} // namespace

// ---- decoding ----

void DecodeText(std::string_view bytes, CImportSettings& settings, bool parallel, CUtf16Buffer& out, bool* fellBack,
                long* invalid)
{
    if (fellBack)
        *fellBack = false;
    long ignored = 0;
    long& bad = invalid ? *invalid : ignored;
    bad = 0;
    const SByteOrderMark mark = DetectByteOrderMark(bytes);
    auto withoutMark = [&](int32_t encoding)
    {
        if (mark.m_nEncoding == encoding)
            return bytes.substr(mark.m_nLength);
        return bytes;
    };
    switch (settings.m_nEncoding)
    {
    case ENCODING_UTF8:
        bad = DecodeUtf8(withoutMark(ENCODING_UTF8), out, parallel).m_nInvalidSequences;
        return;
    case ENCODING_UTF16_BE:
    case ENCODING_UTF16_LE:
        bad = DecodeUtf16(withoutMark(settings.m_nEncoding), settings.m_nEncoding == ENCODING_UTF16_BE, out)
                  .m_nInvalidSequences;
        return;
    case ENCODING_UTF32_BE:
    case ENCODING_UTF32_LE:
    {
        const std::string_view body = withoutMark(settings.m_nEncoding);
        const auto* p = reinterpret_cast<const unsigned char*>(body.data());
        const bool big = settings.m_nEncoding == ENCODING_UTF32_BE;
        KString text;
        for (size_t i = 0; i + 4 <= body.size(); i += 4)
        {
            uint32_t c = big ? (uint32_t(p[i]) << 24 | uint32_t(p[i + 1]) << 16 | uint32_t(p[i + 2]) << 8 | p[i + 3])
                             : (uint32_t(p[i + 3]) << 24 | uint32_t(p[i + 2]) << 16 | uint32_t(p[i + 1]) << 8 | p[i]);
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            {
                c = 0xFFFD;
                ++bad;
            }
            if (c >= 0x10000)
            {
                text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            else
            {
                text += static_cast<char16_t>(c);
            }
        }
        out.Append(text);
        return;
    }
    default:
        break;
    }
    if (settings.m_nCodePage <= 0)
        settings.m_nCodePage = GetDefaultCodePage();
    if (settings.m_nCodePage == CODE_PAGE_UTF8 && !IsValidUtf8(bytes, parallel))
    {
        // Not UTF-8 after all: the common 8-bit code page keeps every byte, where UTF-8 would lose some.
        settings.m_nCodePage = 1252;
        if (fellBack)
            *fellBack = true;
    }
    bad = DecodeCodePage(bytes, settings.m_nCodePage, out, parallel).m_nInvalidSequences;
}

// ---- reading ----

namespace
{
[[noreturn]] void ThrowCannotRead(CTable& table, const std::filesystem::path& path)
{
    const KString text = FormatResource(1124, {platform::FromUtf8(path.string())});
    table.ShowMessage(text);
    throw CArchiveException(path.string(), 0, 0, platform::ToUtf8(text));
}
} // namespace

platform::CInputFile OpenInputFile(CTable& table, const std::filesystem::path& path)
{
    std::optional<platform::CInputFile> file;
    try
    {
        file = platform::CInputFile::TryOpen(path);
    }
    catch (const CKorvalinException&)
    {
        file.reset();
    }
    if (!file)
        ThrowCannotRead(table, path);
    return std::move(*file);
}

std::string ReadInputBytes(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path,
                           uint64_t offset, size_t bytes)
{
    try
    {
        std::string head(bytes, '\0');
        head.resize(file.ReadAt(offset, head.data(), head.size()));
        return head;
    }
    catch (const CKorvalinException&)
    {
        ThrowCannotRead(table, path);
    }
}

std::string ReadWholeInput(CTable& table, const platform::CInputFile& file, const std::filesystem::path& path)
{
    try
    {
        return file.ReadAll();
    }
    catch (const CKorvalinException&)
    {
        ThrowCannotRead(table, path);
    }
}

std::string ReadInputFile(CTable& table, const std::filesystem::path& path)
{
    return ReadWholeInput(table, OpenInputFile(table, path), path);
}

void CTextImporter::ReadFile(const std::filesystem::path& path, const CImportSettings& settings,
                             const SReadOptions& options)
{
    ReadFile(OpenInputFile(m_table, path), platform::FromUtf8(path.string()), settings, options);
}

void CTextImporter::ReadFile(const platform::CInputFile& file, const KString& fileName,
                             const CImportSettings& settings, const SReadOptions& options)
{
    if (!ReadStreamed(file, fileName, settings, options))
        ReadOwnedBytes(ReadWholeInput(m_table, file, platform::ToUtf8(fileName)), fileName, settings, options);
}

bool CTextImporter::ReadStreamed(const platform::CInputFile& file, const KString& fileName,
                                 const CImportSettings& settings, const SReadOptions& options)
{
    // Only what one record per line reads in bulk, and only UTF-8 (other encodings are decoded whole).
    if (!file.IsRegular() || file.GetSize() < std::max<uint64_t>(options.m_nStreamBytes, 1) ||
        !settings.m_bTransposed || settings.m_bFixedWidth || settings.m_nMaxRecords >= 0)
        return false;
    char start[4] = {};
    const SByteOrderMark mark = DetectByteOrderMark(std::string_view(start, file.ReadAt(0, start, sizeof start)));
    CImportSettings used = settings;
    uint64_t first = 0;
    if (used.m_nEncoding == ENCODING_UTF8)
    {
        first = mark.m_nEncoding == ENCODING_UTF8 ? mark.m_nLength : 0;
    }
    else if (used.m_nEncoding == ENCODING_CODE_PAGE)
    {
        if (used.m_nCodePage <= 0)
            used.m_nCodePage = GetDefaultCodePage();
        if (used.m_nCodePage != CODE_PAGE_UTF8)
            return false;
    }
    else
    {
        return false;
    }
    // A file that is not UTF-8 throughout is read whole, where the fallback to Windows-1252 and the count of
    // invalid sequences are decided before the first line is read.
    const bool parallel = m_table.UseMulticores();
    bool valid = false;
    const size_t block = std::min<size_t>(WindowBytes(options) * 2, 1u << 20); // copied and checked in the cache
    BesideCollation(m_table, parallel, [&] { valid = IsValidUtf8File(file, first, block, parallel); });
    if (!valid)
        return false;
    CUtf8FileStream stream(file, first, parallel);
    Read(std::string_view(), nullptr, &stream, fileName, used, options);
    return true;
}

void CTextImporter::ReadBytes(std::string_view bytes, const KString& fileName, const CImportSettings& settings,
                              const SReadOptions& options)
{
    Read(bytes, nullptr, nullptr, fileName, settings, options);
}

void CTextImporter::ReadOwnedBytes(std::string&& bytes, const KString& fileName, const CImportSettings& settings,
                                   const SReadOptions& options)
{
    Read(bytes, &bytes, nullptr, fileName, settings, options);
}

void CTextImporter::Read(std::string_view bytes, std::string* owner, CUtf8FileStream* stream, const KString& fileName,
                         const CImportSettings& settings, const SReadOptions& options)
{
    if (m_table.GetAttributeCount() > 0 || m_table.GetRecordCount() > 0)
        throw CKorvalinException(EStatus::IllegalTableArgument, "a text file can only be read into an empty table");
    const CImportSettings previous = m_table.GetImportSettings();
    const KString previousTitle = m_table.GetTitle();
    CImportSettings used = settings;
    used.m_counters = CImportCounters();
    const bool parallel = m_table.UseMulticores();

    CUtf16Buffer text;
    bool fellBack = false;
    long invalid = 0;
    try
    {
        if (stream)
            stream->DecodeMore(text, HeadBytes(options)); // the run asks for more
        else
            BesideCollation(m_table, parallel,
                            [&] { DecodeText(bytes, used, parallel, text, &fellBack, &invalid); });
    }
    catch (const CKorvalinException& e)
    {
        throw CArchiveException(platform::ToUtf8(fileName), 0, 0, e.what());
    }
    if (owner)
    {
        std::string().swap(*owner);
        bytes = std::string_view();
    }
    m_table.SetTitle(FileNameOf(fileName));
    if (fellBack)
        m_table.ShowMessage(FormatExchangeText(TEXT_READ_AS_WINDOWS_1252, {FileNameOf(fileName)}));
    if (invalid > 0)
        m_table.ShowMessage(
            FormatExchangeText(TEXT_INVALID_SEQUENCES, {FileNameOf(fileName), platform::ToKString(invalid)}));

    m_table.CreateCheckpoint();
    auto more = [&](KStringView& view)
    {
        if (!stream->DecodeMore(text, WindowBytes(options)))
            return false;
        view = text.View();
        return true;
    };
    CReadRun run(m_table, fileName, used, options, text.View(), stream, more);
    bool textReleased = false;
    try
    {
        if (used.m_bTransposed)
            run.ReadRecordPerLine();
        else
            run.ReadAttributePerLine();
        run.Finish();
        // Every value is stored by now: the decoded text (twice the file's size) goes before the analysis
        // needs memory of its own. The run must not look at its text from here on.
        text = CUtf16Buffer();
        textReleased = true;
        m_table.QualAllRecords();
        m_table.AnalyzeTable();
        m_table.GetImportSettings() = used;
        m_table.DeleteCheckpoint();
    }
    catch (...)
    {
        m_table.RestoreCheckpoint();
        m_table.GetImportSettings() = previous;
        m_table.SetTitle(previousTitle);
        try
        {
            throw;
        }
        catch (const CUserException&)
        {
            throw;
        }
        catch (const CArchiveException&)
        {
            throw;
        }
        catch (const std::bad_alloc&)
        {
            throw CArchiveException(platform::ToUtf8(fileName), textReleased ? 0 : run.GetCurrentLine(), 0,
                                    "out of memory");
        }
        catch (const std::exception& e)
        {
            throw CArchiveException(platform::ToUtf8(fileName), textReleased ? 0 : run.GetCurrentLine(), 0, e.what());
        }
    }
}

// ---- the delimiter proposal ----

char16_t ProposeDelimiter(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Tab-separated files go by .tsv and .tab too: a comma in one of their cells must not decide.
    return extension == ".txt" || extension == ".tsv" || extension == ".tab" ? u'\t' : u',';
}

char16_t CheckProposedDelimiter(KStringView text, char16_t proposal, char16_t quote)
{
    constexpr int kLines = 20;
    auto countColumns = [&](char16_t delimiter)
    {
        SCellRules rules;
        rules.m_cDelimiter = delimiter;
        rules.m_cQuote = quote;
        CTextReader reader(text, rules);
        std::vector<long> counts;
        for (long line = 1; line <= kLines && !reader.IsAtEnd(); ++line)
        {
            long columns = 0;
            for (;;)
            {
                const KStringView cell = reader.ReadCell(line);
                if (columns == 0 && cell.empty() && reader.GetTerminator() != TERMINATOR_DELIMITER)
                    break; // an empty line says nothing
                ++columns;
                if (reader.GetTerminator() != TERMINATOR_DELIMITER)
                    break;
            }
            if (columns > 0)
                counts.push_back(columns);
        }
        return counts;
    };
    const std::vector<long> proposed = countColumns(proposal);
    if (proposed.empty() || std::any_of(proposed.begin(), proposed.end(), [](long n) { return n != 1; }))
        return proposal;
    for (char16_t candidate : {u';', u'\t', u'|'})
    {
        if (candidate == proposal)
            continue;
        const std::vector<long> counts = countColumns(candidate);
        if (!counts.empty() && counts.front() > 1 &&
            std::all_of(counts.begin(), counts.end(), [&](long n) { return n == counts.front(); }))
            return candidate;
    }
    return proposal;
}

} // namespace exchange
