#pragma once
// CTextReader: the cell reader of delimited and fixed-width text, over a whole file decoded to UTF-16.
//
// One reader serves one file: it holds the decoded text, the position, the active delimiter, quote and
// fixed-width mode, the terminator register that tells how the last cell ended, and what the cells met so
// far (NUL and control characters, bars, lists, cut values, the first stray quote). The rules of a cell:
// a quote as its first character opens a quoted cell in which the delimiter, CR and LF are ordinary
// characters and a doubled quote stands for one quote; outside quotes a cell ends at the delimiter, CR or
// LF; CR LF is one line end; a cell keeps at most 9 999 characters (longer ones end in "..."); NUL becomes
// U+0003; in fixed-width mode a cell ends after its width and quotes and the delimiter mean nothing.
// ScanCell is the one implementation of these rules; parallel readers call it on their own pieces, after
// ScanPlainCell, which takes the cells the rules leave as they are.
// Threading: one reader per thread; ScanCell itself is a pure function of its arguments.

#include "exchange/TextEncoding.h"
#include "platform/Text.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <string>

namespace exchange
{

// How the last cell ended.
enum ETerminator : int
{
    TERMINATOR_END = 0,       // the end of the text
    TERMINATOR_DELIMITER = 1, // the delimiter (or the end of a fixed width)
    TERMINATOR_LINE = 2,      // CR, LF or CR LF
};

// Longest cell kept, in UTF-16 units; longer cells are cut to 9 996 units and "...".
constexpr size_t MAX_CELL_LENGTH = 9999;

// The rules of one file's cells.
struct SCellRules
{
    char16_t m_cDelimiter = u'\t'; // ends an unquoted cell (ignored in fixed-width mode)
    char16_t m_cQuote = u'"';      // opens a quoted cell; 0 for none (ignored in fixed-width mode)
    bool m_bFixedWidth = false;    // cells are cut by width
    bool m_bReplaceBars = false;   // '|' is stored as U+00A6
};

// What cells met, summed over the cells of a reader or of a piece.
struct SCellTally
{
    long m_nNullCharacters = 0;
    long m_nControlCharacters = 0;
    long m_nBars = 0;
    long m_nMultipleValueCells = 0;
    long m_nCutValues = 0;
    size_t m_nFirstCutOffset = SIZE_MAX;  // offset of the first cut cell, SIZE_MAX when none
    size_t m_nFirstStrayQuote = SIZE_MAX; // offset of the first cell whose quote did not enclose it all
    KString m_strStrayQuoteText;          // that cell's text up to the stray quote, with the opening quote

    void Add(const SCellTally& other);
};

// Reads one cell of text[at, end) under rules. width > 0 ends the cell after width characters (fixed-width
// mode only); firstLine skips byte-order marks in front of the cell; trim drops leading and trailing blanks
// (fixed-width mode only). Returns the position after the cell and its terminator (a CR LF pair is consumed
// whole); the cell's text is a view into text or into scratch, valid until scratch changes.
size_t ScanCell(const char16_t* text, size_t at, size_t end, const SCellRules& rules, size_t width, bool firstLine,
                bool trim, KString& scratch, KStringView* cell, ETerminator* terminator, SCellTally& tally);

// Finds the stops of a text: the units at which an unquoted cell ends or needs the full rules (the delimiter,
// '|', and the control characters C0, DEL and C1, which include CR, LF and NUL). It marks them 64 units at a
// time, one bit each, so that the cells of a block are found with a bit scan each instead of unit by unit.
class CStopFinder
{
public:
    CStopFinder(const char16_t* text, size_t end, char16_t delimiter)
        : m_pText(text), m_nEnd(end), m_cDelimiter(delimiter)
    {
    }

    // The first stop at or after p, or the end of the text.
    size_t Next(size_t p)
    {
        if (p >= m_nBase && p - m_nBase < kBlock)
        {
            const uint64_t rest = m_nBits & (~uint64_t{0} << (p - m_nBase));
            if (rest != 0)
                return m_nBase + static_cast<size_t>(std::countr_zero(rest));
            m_nBase += kBlock;
        }
        else
            m_nBase = p;
        for (;; m_nBase += kBlock)
        {
            if (m_nBase >= m_nEnd)
                return m_nEnd;
            m_nBits = Mark(m_nBase);
            if (m_nBits != 0)
                return m_nBase + static_cast<size_t>(std::countr_zero(m_nBits));
        }
    }

private:
    static constexpr size_t kBlock = 64;

    uint64_t Mark(size_t base) const; // the stops of the block from base on, bit i for unit base + i

    const char16_t* m_pText;
    size_t m_nEnd;
    char16_t m_cDelimiter;
    size_t m_nBase = SIZE_MAX; // where the block of m_nBits starts
    uint64_t m_nBits = 0;
};

// The common case of ScanCell, for bulk loops (not fixed-width): a cell that is not quoted, holds no '|', NUL or
// other control character and is within the length limit, which ScanCell would return as it stands and count
// nothing for. Returns the position after it, or SIZE_MAX (nothing set) for any other cell: ScanCell reads those.
// stops: a finder over text, end and the rules' delimiter, kept from cell to cell.
size_t ScanPlainCell(const char16_t* text, size_t at, size_t end, const SCellRules& rules, CStopFinder& stops,
                     KStringView* cell, ETerminator* terminator);

// The control-character map of a cell for the import preview: a text of the same length in which each control
// character is shown visibly (codes 0..26 as '@' + code, 27 '+', 28 '/', 29 '-', 30 '=', 31 U+00D7, 127..152
// as code - 30, 153..159 as code - 104, surrogates as U+FFFD) and every other character is a blank; trailing
// blanks are removed.
KString MakeControlCharacterMap(KStringView cell);

// The physical line ends (CR, LF and CR LF each one) in text[0, end).
long CountPhysicalLineEnds(KStringView text, size_t end);

class CTextReader
{
public:
    // text: borrowed, must outlive the reader.
    CTextReader(KStringView text, const SCellRules& rules) : m_text(text), m_rules(rules) {}
    CTextReader(const CTextReader&) = delete;
    CTextReader& operator=(const CTextReader&) = delete;

    // Reads the next cell (see ScanCell); line is the 1-based line of the cell, used for the first-line rule.
    // The view stays valid until the next call. At the end of the text the cell is empty and the terminator 0.
    KStringView ReadCell(long line, size_t width = 0, bool trim = false);
    // Reads the rest of the line as one cell (fixed-width mode forced on, so delimiter and quote are
    // ignored). Returns false when the end of the text was reached before anything was read.
    bool ReadLine(long line, KString* out = nullptr);

    // Called when a cell reaches the end of the text while more may follow (text decoded as it is read):
    // appends text, sets the view to all of it and returns true, or returns false when nothing follows. The
    // reader then reads the cell again, so that a cell, or a CR LF pair, cut by the end is read whole.
    void SetMoreText(std::function<bool(KStringView&)> more) { m_more = std::move(more); }

    ETerminator GetTerminator() const { return m_eTerminator; }
    bool IsAtEnd() { return m_nPosition >= m_text.size() && !(m_more && m_more(m_text)); }
    size_t GetPosition() const { return m_nPosition; }
    void SetPosition(size_t position) { m_nPosition = position; }
    KStringView GetText() const { return m_text; }
    const SCellRules& GetRules() const { return m_rules; }
    SCellTally& GetTally() { return m_tally; }
    // The 1-based physical line (CR, LF and CR LF each end one) of a position of the text.
    long GetPhysicalLine(size_t position) const;

private:
    KStringView m_text;                         // the whole decoded file
    SCellRules m_rules;                         // active delimiter, quote and modes
    size_t m_nPosition = 0;                     // next unit to read, <= m_text.size()
    ETerminator m_eTerminator = TERMINATOR_END; // how the last cell ended
    std::function<bool(KStringView&)> m_more;   // more text, when it is decoded as it is read
    KString m_scratch;                          // cell text that could not stay a view of m_text
    SCellTally m_tally;                         // what the cells read so far met
};

} // namespace exchange
