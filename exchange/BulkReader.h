#pragma once
// Reading many data lines at once: a piece of the decoded text is cut into chunks at line ends, the chunks
// are scanned in parallel (each as if a record started at its first character), and then checked in order:
// a chunk whose start is not where the chunk before it really ended (a quoted cell ran across the cut) is
// scanned again from the right place. So the result is always that of one scan from the start; only the
// work is shared. Every cell is read by ScanCell, the one implementation of the cell rules.
// Threading: ScanPiece starts its own tasks and returns when they are done; the result is the caller's.

#include "exchange/TextReader.h"

#include <cstdint>
#include <vector>

namespace exchange
{

// One cell of a scanned chunk: a view into the text, or into the chunk's side text for cells that had to be
// changed (doubled quotes, NUL characters, bars replaced, the length limit).
struct SCellRef
{
    uint32_t m_nOffset; // into the text, or into the side text when m_bSide
    uint32_t m_nLength : 31;
    uint32_t m_bSide : 1;
};

// The records of one chunk.
struct SScannedChunk
{
    size_t m_nStart = 0;                 // where scanning began (a record start once checked)
    size_t m_nCut = 0;                   // records starting before this belong to the chunk
    size_t m_nEnd = 0;                   // where the next record starts
    std::vector<SCellRef> m_vCells;      // the cells of all records in order
    std::vector<uint32_t> m_vRecordEnds; // per record: the index in m_vCells after its last cell
    std::vector<size_t> m_vRecordStarts; // per record: its offset in the text
    KString m_strSide;                   // text of the changed cells
    SCellTally m_tally;                  // what the cells met

    long GetRecordCount() const { return static_cast<long>(m_vRecordEnds.size()); }
    // The cells of record i: [first, last) in m_vCells.
    uint32_t FirstCell(long i) const { return i == 0 ? 0 : m_vRecordEnds[static_cast<size_t>(i) - 1]; }
    uint32_t EndCell(long i) const { return m_vRecordEnds[static_cast<size_t>(i)]; }
    KStringView GetCell(const char16_t* text, uint32_t index) const
    {
        const SCellRef& cell = m_vCells[index];
        return KStringView((cell.m_bSide ? m_strSide.data() : text) + cell.m_nOffset, cell.m_nLength);
    }
};

// The largest text the bulk reader takes (offsets are 32-bit).
constexpr size_t MAX_BULK_TEXT = 0x7FFFFFFF;

// Scans the records of text[start, end) whose start lies before about start + pieceUnits, cut into chunks
// of chunkUnits at line ends. Fixed-width mode is not supported here (callers read such files one cell at a
// time). An empty first cell at the end of the text makes no record. Sets chunks to the chunks in order
// (reusing the arrays of the chunks it held, so that piece after piece fills memory already mapped); the
// last chunk's m_nEnd is where the next record starts (end when all was read). No chunks: nothing was left.
void ScanPiece(const char16_t* text, size_t start, size_t end, size_t pieceUnits, size_t chunkUnits,
               const SCellRules& rules, bool parallel, std::vector<SScannedChunk>& chunks);

} // namespace exchange
