#pragma once
// Reading many data lines at once: a piece of the decoded text is cut into chunks at line ends, the chunks
// are scanned in parallel (each as if a record started at its first character) into columns of cells, and
// then checked in order:
// a chunk whose start is not where the chunk before it really ended (a quoted cell ran across the cut) is
// scanned again from the right place. So the result is always that of one scan from the start; only the
// work is shared. Every cell is read by ScanCell, the one implementation of the cell rules (plain cells by its
// shortcut ScanPlainCell).
// Threading: ScanPiece starts its own tasks and returns when they are done; the result is the caller's.

#include "exchange/TextReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace exchange
{

// The cells of one column of a scanned chunk, copied one after the other. Storing values goes column by
// column; had each column to pick its cells out of the lines of the text, every column would read the whole
// text again from memory. A record without this cell has an empty one.
struct SScannedColumn
{
    // Every cell may be read this many units beyond its end (the last one into the room to spare).
    static constexpr size_t kReadableAfterCells = 32;

    std::vector<char16_t> m_vText; // the texts of the column's cells, one after the other, then room to spare
    size_t m_nUsed = 0;            // units of m_vText the cells take
    std::vector<uint32_t> m_vEnds; // per record of the chunk: where its cell ends in m_vText

    void Clear()
    {
        m_nUsed = 0;
        m_vEnds.clear();
    }

    // Appends a cell. spare: the units from cell.data() + cell.size() on that may be read too (they are copied
    // and then overwritten): short cells are copied in a few whole blocks, not unit by unit.
    void Append(KStringView cell, size_t spare)
    {
        constexpr size_t kBlock = kReadableAfterCells;
        const size_t n = cell.size();
        if (m_nUsed + n + kBlock > m_vText.size())
            m_vText.resize(std::max(m_vText.size() * 2, m_nUsed + n + kBlock + 4096));
        char16_t* to = m_vText.data() + m_nUsed;
        if (spare >= kBlock)
        {
            std::memcpy(to, cell.data(), kBlock * sizeof(char16_t)); // nearly every cell: one block, no loop
            for (size_t i = kBlock; i < n; i += kBlock)
                std::memcpy(to + i, cell.data() + i, kBlock * sizeof(char16_t));
        }
        else if (n > 0)
            std::memcpy(to, cell.data(), n * sizeof(char16_t));
        m_nUsed += n;
        m_vEnds.push_back(static_cast<uint32_t>(m_nUsed));
    }

    // Ends a record that lacks this cell: an empty one.
    void AppendEmpty() { m_vEnds.push_back(static_cast<uint32_t>(m_nUsed)); }

    KStringView GetCell(size_t record) const
    {
        const uint32_t begin = record == 0 ? 0 : m_vEnds[record - 1];
        return KStringView(m_vText.data() + begin, m_vEnds[record] - begin);
    }
};

// The records of one chunk.
struct SScannedChunk
{
    size_t m_nStart = 0;                    // where scanning began (a record start once checked)
    size_t m_nCut = 0;                      // records starting before this belong to the chunk
    size_t m_nEnd = 0;                      // where the next record starts
    std::vector<SScannedColumn> m_vColumns; // the first m_nColumns are the chunk's (the others kept for reuse)
    size_t m_nColumns = 0;                  // the most cells of any record of the chunk
    std::vector<uint32_t> m_vCellCounts;    // per record: its number of cells
    std::vector<size_t> m_vRecordStarts;    // per record: its offset in the text
    long m_nLineEnds = 0;                   // physical line ends (CR, LF, CR LF) from m_nStart to m_nEnd
    SCellTally m_tally;                     // what the cells met

    long GetRecordCount() const { return static_cast<long>(m_vCellCounts.size()); }
    size_t GetCellCount(long record) const { return m_vCellCounts[static_cast<size_t>(record)]; }
    // The cell of the record in the column; empty where the record has no such cell.
    KStringView GetCell(size_t column, long record) const
    {
        return column < m_nColumns ? m_vColumns[column].GetCell(static_cast<size_t>(record)) : KStringView();
    }
};

// The largest text the bulk reader takes (chunks count in 32 bits).
constexpr size_t MAX_BULK_TEXT = 0x7FFFFFFF;

// Scans the records of text[start, end) whose start lies before about start + pieceUnits, cut into chunks
// of chunkUnits at line ends. Fixed-width mode is not supported here (callers read such files one cell at a
// time). An empty first cell at the end of the text makes no record. Sets chunks to the chunks in order
// (reusing the arrays of the chunks it held, so that piece after piece fills memory already mapped); the
// last chunk's m_nEnd is where the next record starts (end when all was read). No chunks: nothing was left.
void ScanPiece(const char16_t* text, size_t start, size_t end, size_t pieceUnits, size_t chunkUnits,
               const SCellRules& rules, bool parallel, std::vector<SScannedChunk>& chunks);

} // namespace exchange
