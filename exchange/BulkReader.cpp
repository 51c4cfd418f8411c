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
    chunk.m_vCells.clear();
    chunk.m_vRecordEnds.clear();
    chunk.m_vRecordStarts.clear();
    chunk.m_strSide.clear();
    chunk.m_tally = SCellTally();
    KString scratch;
    size_t p = chunk.m_nStart;
    while (p < chunk.m_nCut && p < end)
    {
        const size_t recordStart = p;
        ETerminator how = TERMINATOR_DELIMITER;
        bool first = true;
        while (how == TERMINATOR_DELIMITER)
        {
            KStringView cell;
            p = ScanCell(text, p, end, rules, 0, false, false, scratch, &cell, &how, chunk.m_tally);
            if (first && cell.empty() && how == TERMINATOR_END)
                break; // an empty last cell adds no record
            if (first)
                chunk.m_vRecordStarts.push_back(recordStart);
            first = false;
            SCellRef ref;
            const auto address = reinterpret_cast<uintptr_t>(cell.data());
            if (address >= reinterpret_cast<uintptr_t>(text) && address <= reinterpret_cast<uintptr_t>(text + end))
            {
                ref.m_nOffset = static_cast<uint32_t>(cell.data() - text);
                ref.m_bSide = 0;
            }
            else
            {
                ref.m_nOffset = static_cast<uint32_t>(chunk.m_strSide.size());
                chunk.m_strSide.append(cell);
                ref.m_bSide = 1;
            }
            ref.m_nLength = static_cast<uint32_t>(cell.size());
            chunk.m_vCells.push_back(ref);
        }
        if (!first)
            chunk.m_vRecordEnds.push_back(static_cast<uint32_t>(chunk.m_vCells.size()));
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
