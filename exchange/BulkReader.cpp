#include "exchange/BulkReader.h"

#include "platform/Parallel.h"

#include <algorithm>

namespace exchange
{

namespace
{

// The position after the first line end at or after at (CR LF counts as one), or end.
size_t AfterNextLineEnd(const char16_t* text, size_t at, size_t end)
{
    for (size_t p = at; p < end; ++p)
    {
        if (text[p] == u'\n')
            return p + 1;
        if (text[p] == u'\r')
            return (p + 1 < end && text[p + 1] == u'\n') ? p + 2 : p + 1;
    }
    return end;
}

void ScanChunk(const char16_t* text, size_t end, const SCellRules& rules, SScannedChunk& chunk)
{
    for (size_t c = 0; c < chunk.m_nColumns; ++c)
        chunk.m_vColumns[c].Clear();
    chunk.m_nColumns = 0;
    chunk.m_vCellCounts.clear();
    chunk.m_vRecordStarts.clear();
    chunk.m_tally = SCellTally();
    chunk.m_nLineEnds = 0;
    KString scratch;
    CStopFinder stops(text, end, rules.m_cDelimiter);
    size_t p = chunk.m_nStart;
    while (p < chunk.m_nCut && p < end)
    {
        const size_t recordStart = p;
        ETerminator how = TERMINATOR_DELIMITER;
        size_t cells = 0;
        while (how == TERMINATOR_DELIMITER)
        {
            KStringView cell;
            const size_t plain = ScanPlainCell(text, p, end, rules, stops, &cell, &how);
            if (plain != SIZE_MAX)
            {
                p = plain;
                chunk.m_nLineEnds += how == TERMINATOR_LINE; // a plain cell holds no line end of its own
            }
            else
            {
                // Quoted cells may hold line ends, and whatever ends the cell is counted with them.
                const size_t at = p;
                p = ScanCell(text, at, end, rules, 0, false, false, scratch, &cell, &how, chunk.m_tally);
                chunk.m_nLineEnds += CountPhysicalLineEnds(KStringView(text + at, end - at), p - at);
            }
            if (cells == 0 && cell.empty() && how == TERMINATOR_END)
                break; // an empty last cell adds no record
            if (cells == 0)
                chunk.m_vRecordStarts.push_back(recordStart);
            if (cells == chunk.m_nColumns)
            {
                // A column the chunk has not met yet: the records before this one lack its cell.
                if (chunk.m_nColumns == chunk.m_vColumns.size())
                    chunk.m_vColumns.emplace_back();
                SScannedColumn& met = chunk.m_vColumns[chunk.m_nColumns++];
                met.Clear();
                met.m_vEnds.assign(chunk.m_vCellCounts.size(), 0);
            }
            SScannedColumn& column = chunk.m_vColumns[cells++];
            // A plain cell lies in the text: it may be copied with what follows it, up to the text's end.
            column.Append(cell, plain != SIZE_MAX ? static_cast<size_t>(text + end - (cell.data() + cell.size())) : 0);
        }
        if (cells == 0)
            continue;
        for (size_t c = cells; c < chunk.m_nColumns; ++c)
            chunk.m_vColumns[c].AppendEmpty();
        chunk.m_vCellCounts.push_back(static_cast<uint32_t>(cells));
    }
    chunk.m_nEnd = std::max(p, chunk.m_nStart);
}

} // namespace

void ScanPiece(const char16_t* text, size_t start, size_t end, size_t pieceUnits, size_t chunkUnits,
               const SCellRules& rules, bool parallel, std::vector<SScannedChunk>& chunks)
{
    const size_t pieceEnd = std::min(end, start + pieceUnits);
    size_t at = start;
    size_t count = 0;
    while (at < pieceEnd)
    {
        if (count == chunks.size())
            chunks.emplace_back();
        SScannedChunk& chunk = chunks[count++];
        chunk.m_nStart = at;
        chunk.m_nCut = std::min(pieceEnd, AfterNextLineEnd(text, std::min(at + chunkUnits, pieceEnd), end));
        if (chunk.m_nCut <= at)
            chunk.m_nCut = pieceEnd;
        at = chunk.m_nCut;
    }
    chunks.resize(count);
    if (chunks.empty())
        return;
    auto scan = [&](size_t first, size_t last)
    {
        for (size_t k = first; k < last; ++k)
            ScanChunk(text, end, rules, chunks[k]);
    };
    if (parallel && chunks.size() > 1)
        platform::ParallelFor(0, chunks.size(), 1, scan);
    else
        scan(0, chunks.size());
    // Check the guesses in order: each chunk must start where the one before really ended.
    for (size_t k = 1; k < chunks.size(); ++k)
    {
        const size_t expected = chunks[k - 1].m_nEnd;
        if (chunks[k].m_nStart == expected)
            continue;
        chunks[k].m_nStart = expected;
        ScanChunk(text, end, rules, chunks[k]);
    }
}

} // namespace exchange
