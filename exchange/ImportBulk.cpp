#include "exchange/ImportRun.h"

#include "platform/Error.h"
#include "platform/Resources.h"

#include <numeric>

namespace exchange
{

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

void CReadRun::MakePieceColumns(const std::vector<SScannedChunk>& chunks, const SWindow& window)
{
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
                    MakeExtraAttribute(column, recordLine, m_nRecords, report && column == m_attributes.size());
            }
            else if (cells < m_attributes.size() && !m_settings.m_counters.m_bMissingValueReported)
            {
                ReportMissingValue(m_attributes[cells], [&] { return window.LineOf(recordStart); });
            }
        }
    }
}

void CReadRun::StorePieceColumn(size_t column, const std::vector<SScannedChunk>& chunks, CRecord* const* records,
                                char& appending) const
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
        const platform::CTextPadding padding(column < chunk.m_nColumns ? SScannedColumn::kReadableAfterCells : 0);
        if (appending && !attribute->GetValues().AppendValues(records + r, cells.data(), cells.size(), padding))
            appending = 0; // a list or a long text: looked up from here on
        if (!appending)
            attribute->GetValues().AddValues(records + r, cells.data(), cells.size(), padding);
        r += cells.size();
    }
}

void CReadRun::SizeValueHashes(size_t pieceRecords, double share, std::vector<char>& appending,
                               const std::function<void(const std::function<void(size_t)>&)>& eachColumn)
{
    // Room for the records the piece foretells (and a little more); columns with many distinct values get a
    // fifth more values than the piece's share foretells, but never more than one per record.
    const double expectedRecords = static_cast<double>(pieceRecords) / share;
    eachColumn( // each attribute clears memory of its own: side by side
        [&](size_t column)
        {
            CAttribute* attribute = m_attributes[column];
            const long values = attribute->GetNrOfValues();
            const long records = static_cast<long>(pieceRecords);
            const bool many = values * 4 >= records;
            const long recordsExpected = m_table.GetRecordCount() - records + static_cast<long>(expectedRecords * 1.05);
            if (values * 2 >= records && !attribute->HasMultipleValues())
            {
                // Mostly distinct: every cell from here on is appended as a value, merged at the end.
                attribute->GetValues().BeginAppendingValues();
                appending[column] = 1;
                attribute->Reserve(recordsExpected, values + recordsExpected - m_table.GetRecordCount());
                return;
            }
            attribute->Reserve(
                recordsExpected,
                many ? static_cast<long>(std::min(static_cast<double>(values) / share * 1.2, expectedRecords)) : 0);
        });
}

void CReadRun::ReadDataLinesInBulk(long line)
{
    const KStringView whole = m_reader.GetText();
    const bool parallel = m_work.IsParallel();
    const size_t chunksPerPiece = parallel ? 2 * m_work.GetWorkers() : 1;
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
        // Store: the new columns' attributes, then the piece's records, then each column's cells.
        MakePieceColumns(chunks, window);
        size_t pieceRecords = 0;
        for (const SScannedChunk& chunk : chunks)
            pieceRecords += static_cast<size_t>(chunk.GetRecordCount());
        records.resize(pieceRecords);
        m_table.AddRecords(pieceRecords, records.data());
        m_nRecords += static_cast<long>(pieceRecords);
        appending.resize(m_attributes.size(), 0);
        // Columns with many distinct values cost most: they go first, each task taking the next column, so that
        // the cheap ones fill the gaps at the end. Columns are independent of one another.
        std::vector<size_t> columns(m_attributes.size());
        std::iota(columns.begin(), columns.end(), size_t{0});
        std::stable_sort(columns.begin(), columns.end(),
                         [&](size_t a, size_t b)
                         { return m_attributes[a]->GetNrOfValues() > m_attributes[b]->GetNrOfValues(); });
        auto eachColumn = [&](const std::function<void(size_t)>& body)
        { m_work.ForEachInOrder(columns.size(), [&](size_t i) { body(columns[i]); }); };
        auto store = [&]
        { eachColumn([&](size_t column) { StorePieceColumn(column, chunks, records.data(), appending[column]); }); };
        const size_t next = chunks.back().m_nEnd;
        // The units from this piece's start to the end of the file: the piece's share of them foretells the rest.
        const double unitsAhead =
            static_cast<double>(window.m_text.size()) + (m_pStream ? m_pStream->EstimateUnitsLeft() : 0.0);
        SWindow& following = windows[1 - current];
        // The piece's chunks run from the window's start to next: their line ends are those before next.
        long lineEnds = 0;
        for (const SScannedChunk& chunk : chunks)
            lineEnds += chunk.m_nLineEnds;
        // Scan: the next piece, beside the store of this one (after it when the work is serial, once progress
        // has been looked at).
        auto scanNext = [&]
        {
            Advance(following, window, next, windowUnits, lineEnds);
            ScanWindow(following, pieceUnits, chunkUnits, parallel, pieces[1 - current]);
        };
        if (parallel)
            m_work.Both(store, scanNext);
        else
            store();
        for (const SScannedChunk& chunk : chunks)
            AddBulkTally(chunk.m_tally, window);
        if (!hashesSized && !records.empty())
        {
            hashesSized = true;
            SizeValueHashes(records.size(), std::max(static_cast<double>(next) / std::max(unitsAhead, 1.0), 1e-6),
                            appending, eachColumn);
        }
        line += static_cast<long>(records.size());
        m_dBulkShare = m_pStream ? m_pStream->GetShareDecoded()
                                 : static_cast<double>(window.m_text.data() + next - whole.data()) /
                                       static_cast<double>(std::max<size_t>(whole.size(), 1));
        if (!CheckProgress(line))
            break;
        if (!parallel)
            scanNext();
        current = 1 - current;
    }
    m_clock.Done("lines");
    // The values that columns appended are merged into distinct ones.
    m_work.ForEachInOrder(m_attributes.size(),
                          [&](size_t column) { m_attributes[column]->GetValues().MergeEqualValues(); });
    m_clock.Done("merge");
}

} // namespace exchange
