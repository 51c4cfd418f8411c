#include "exchange/TextReader.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace exchange
{

void SCellTally::Add(const SCellTally& other)
{
    m_nNullCharacters += other.m_nNullCharacters;
    m_nControlCharacters += other.m_nControlCharacters;
    m_nBars += other.m_nBars;
    m_nMultipleValueCells += other.m_nMultipleValueCells;
    m_nCutValues += other.m_nCutValues;
    if (other.m_nFirstCutOffset < m_nFirstCutOffset)
        m_nFirstCutOffset = other.m_nFirstCutOffset;
    if (other.m_nFirstStrayQuote < m_nFirstStrayQuote)
    {
        m_nFirstStrayQuote = other.m_nFirstStrayQuote;
        m_strStrayQuoteText = other.m_strStrayQuoteText;
    }
}

namespace
{

constexpr char16_t kEndOfText = u'\u0003'; // stands for a NUL character in a value
constexpr char16_t kBrokenBar = u'\u00A6'; // stands for '|' when bars are replaced

bool IsControl(char16_t c)
{
    return (c < 0x20 && c != 0) || (c >= 0x7F && c <= 0x9F);
}

bool IsStop(char16_t c, char16_t delimiter)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == u'|' || c == delimiter;
}

#ifdef __SSE2__
// Marks the stops among eight units: 0xFFFF in the lanes of the delimiter, '|' and control characters.
struct SStopMarker
{
    explicit SStopMarker(char16_t delimiter) : m_delimiters(_mm_set1_epi16(static_cast<short>(delimiter))) {}

    __m128i Mark(const char16_t* at) const
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // Unsigned 16-bit: v <= 0x1F exactly when v - 0x1F saturates to 0; likewise for v - 0x7F <= 0x20.
        const __m128i c0 = _mm_cmpeq_epi16(_mm_subs_epu16(v, m_c0Top), m_zero);
        const __m128i c1 = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, m_c1First), m_c1Span), m_zero);
        return _mm_or_si128(_mm_or_si128(c0, c1),
                            _mm_or_si128(_mm_cmpeq_epi16(v, m_delimiters), _mm_cmpeq_epi16(v, m_bars)));
    }

    __m128i m_delimiters;
    __m128i m_bars = _mm_set1_epi16(static_cast<short>(u'|'));
    __m128i m_c0Top = _mm_set1_epi16(0x1F);
    __m128i m_c1First = _mm_set1_epi16(0x7F);
    __m128i m_c1Span = _mm_set1_epi16(0x9F - 0x7F);
    __m128i m_zero = _mm_setzero_si128();
};
#endif

// The first position from q on (before end) of a stop (see CStopFinder). Ordinary text is passed over eight
// units at a time where the processor allows.
size_t SkipPlainText(const char16_t* text, size_t q, size_t end, char16_t delimiter)
{
#ifdef __SSE2__
    const SStopMarker marker(delimiter);
    for (; q + 8 <= end; q += 8)
    {
        const int mask = _mm_movemask_epi8(marker.Mark(text + q));
        if (mask != 0)
            return q + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
#endif
    while (q < end && !IsStop(text[q], delimiter))
        ++q;
    return q;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// Counts what a cell's text holds and makes its final form: NUL -> U+0003, '|' -> U+00A6 when asked, the
// length limit. text may point into scratch only when it is scratch itself (then it is changed in place).
// counted: the caller has tallied the characters already and says in needsCopy whether some must change.
KStringView FinishCell(KStringView text, size_t offset, const SCellRules& rules, KString& scratch, SCellTally& tally,
                       bool counted, bool needsCopy = false)
{
    if (!counted)
    {
        for (char16_t c : text)
        {
            if (c == 0)
                ++tally.m_nNullCharacters, needsCopy = true;
            else if (c == u'|')
                ++tally.m_nBars, needsCopy |= rules.m_bReplaceBars;
            else if (IsControl(c))
                ++tally.m_nControlCharacters;
        }
    }
    const bool cut = text.size() > MAX_CELL_LENGTH;
    if (!needsCopy && !cut)
    {
        if (!text.empty() && text[0] == u'|')
            ++tally.m_nMultipleValueCells;
        return text;
    }
    const bool inScratch = text.data() == scratch.data() && !scratch.empty();
    if (!inScratch)
        scratch.assign(text);
    if (cut)
    {
        size_t keep = MAX_CELL_LENGTH - 3;
        if (scratch[keep - 1] >= 0xD800 && scratch[keep - 1] <= 0xDBFF)
            --keep; // never split a surrogate pair
        scratch.resize(keep);
        scratch += u"...";
        ++tally.m_nCutValues;
        tally.m_nFirstCutOffset = std::min(tally.m_nFirstCutOffset, offset);
    }
    for (char16_t& c : scratch)
    {
        if (c == 0)
            c = kEndOfText;
        else if (c == u'|' && rules.m_bReplaceBars)
            c = kBrokenBar;
    }
    if (!scratch.empty() && scratch[0] == u'|')
    {
        ++tally.m_nMultipleValueCells;
        if (cut)
            scratch.back() = u'|'; // keep the list closed
    }
    return scratch;
}

// Skips the LF of a CR LF pair after a CR at position p - 1.
size_t AfterLineEnd(const char16_t* text, size_t p, size_t end)
{
    if (text[p - 1] == u'\r' && p < end && text[p] == u'\n')
        ++p;
    return p;
}

} // namespace

uint64_t CStopFinder::Mark(size_t base) const
{
    const char16_t* units = m_pText + base;
#ifdef __SSE2__
    if (base + kBlock <= m_nEnd)
    {
        const SStopMarker marker(m_cDelimiter);
        uint64_t bits = 0;
        for (size_t k = 0; k < kBlock; k += 16)
        {
            // Two vectors of 16-bit marks packed into one of bytes: a bit per unit.
            const __m128i bytes = _mm_packs_epi16(marker.Mark(units + k), marker.Mark(units + k + 8));
            bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(bytes))) << k;
        }
        return bits;
    }
#endif
    uint64_t bits = 0;
    const size_t n = std::min(kBlock, m_nEnd - base);
    for (size_t i = 0; i < n; ++i)
    {
        if (IsStop(units[i], m_cDelimiter))
            bits |= uint64_t{1} << i;
    }
    return bits;
}

size_t ScanPlainCell(const char16_t* text, size_t at, size_t end, const SCellRules& rules, CStopFinder& stops,
                     KStringView* cell, ETerminator* terminator)
{
    if (at < end && text[at] == rules.m_cQuote)
        return SIZE_MAX;
    const size_t q = stops.Next(at);
    if (q - at > MAX_CELL_LENGTH)
        return SIZE_MAX;
    *cell = KStringView(text + at, q - at);
    if (q >= end)
    {
        *terminator = TERMINATOR_END;
        return end;
    }
    const char16_t c = text[q];
    if (c == rules.m_cDelimiter)
    {
        *terminator = TERMINATOR_DELIMITER;
        return q + 1;
    }
    if (c != u'\n' && c != u'\r')
        return SIZE_MAX; // a bar or a control character: to be counted, perhaps replaced
    *terminator = TERMINATOR_LINE;
    return AfterLineEnd(text, q + 1, end);
}

size_t ScanCell(const char16_t* text, size_t at, size_t end, const SCellRules& rules, size_t width, bool firstLine,
                bool trim, KString& scratch, KStringView* cell, ETerminator* terminator, SCellTally& tally)
{
    size_t p = at;
    if (firstLine)
    {
        while (p < end && (text[p] == u'\uFEFF' || text[p] == u'\uFFFE'))
            ++p;
    }
    const bool fixed = rules.m_bFixedWidth;
    const char16_t delimiter = rules.m_cDelimiter;
    const char16_t quote = fixed ? 0 : rules.m_cQuote;

    if (fixed)
    {
        // Fixed width: ends after width characters (a surrogate pair is one), at CR or LF, or at the end.
        size_t q = p;
        size_t characters = 0;
        ETerminator how = TERMINATOR_END;
        size_t next = end;
        while (q < end)
        {
            if (width > 0 && characters == width)
            {
                how = TERMINATOR_DELIMITER;
                next = q;
                break;
            }
            const char16_t c = text[q];
            if (c == u'\n' || c == u'\r')
            {
                how = TERMINATOR_LINE;
                next = AfterLineEnd(text, q + 1, end);
                break;
            }
            if (!(c >= 0xDC00 && c <= 0xDFFF && q > p && text[q - 1] >= 0xD800 && text[q - 1] <= 0xDBFF))
                ++characters;
            ++q;
        }
        if (q >= end && how == TERMINATOR_END && width > 0 && characters == width)
            next = end;
        KStringView content(text + p, q - p);
        if (trim)
        {
            while (!content.empty() && IsBlank(content.front()))
                content.remove_prefix(1);
            while (!content.empty() && IsBlank(content.back()))
                content.remove_suffix(1);
        }
        *cell = FinishCell(content, at, rules, scratch, tally, false);
        *terminator = how;
        return next;
    }

    if (quote != 0 && p < end && text[p] == quote)
    {
        ++p;
        size_t segment = p;
        bool copied = false;
        scratch.clear();
        for (;;)
        {
            size_t q = p;
            while (q < end && text[q] != quote)
                ++q;
            if (q >= end || q + 1 >= end)
            {
                // The text ends inside the quotes, or right after the closing quote.
                if (copied)
                    scratch.append(text + segment, q - segment);
                const KStringView content = copied ? KStringView(scratch) : KStringView(text + segment, q - segment);
                *cell = FinishCell(content, at, rules, scratch, tally, false);
                *terminator = TERMINATOR_END;
                return end;
            }
            const char16_t next = text[q + 1];
            if (next == quote)
            {
                scratch.append(text + segment, q + 1 - segment); // one quote stands for the two
                copied = true;
                p = q + 2;
                segment = p;
                continue;
            }
            if (next == delimiter || next == u'\n' || next == u'\r')
            {
                if (copied)
                    scratch.append(text + segment, q - segment);
                const KStringView content = copied ? KStringView(scratch) : KStringView(text + segment, q - segment);
                *cell = FinishCell(content, at, rules, scratch, tally, false);
                if (next == delimiter)
                {
                    *terminator = TERMINATOR_DELIMITER;
                    return q + 2;
                }
                *terminator = TERMINATOR_LINE;
                return AfterLineEnd(text, q + 2, end);
            }
            // The quote did not close the cell: it stays in the text, which goes on unquoted.
            scratch.append(text + segment, q + 1 - segment);
            if (tally.m_nFirstStrayQuote == SIZE_MAX || at < tally.m_nFirstStrayQuote)
            {
                tally.m_nFirstStrayQuote = at;
                tally.m_strStrayQuoteText = KString(1, quote) + scratch;
            }
            size_t r = q + 1;
            while (r < end && text[r] != delimiter && text[r] != u'\n' && text[r] != u'\r')
                ++r;
            scratch.append(text + q + 1, r - q - 1);
            *cell = FinishCell(KStringView(scratch), at, rules, scratch, tally, false);
            if (r >= end)
            {
                *terminator = TERMINATOR_END;
                return end;
            }
            *terminator = text[r] == delimiter ? TERMINATOR_DELIMITER : TERMINATOR_LINE;
            return text[r] == delimiter ? r + 1 : AfterLineEnd(text, r + 1, end);
        }
    }

    // An unquoted cell: up to the delimiter, CR, LF or the end, counting what it meets on the way.
    size_t q = p;
    long nulls = 0;
    long bars = 0;
    long controls = 0;
    for (q = SkipPlainText(text, q, end, delimiter); q < end; q = SkipPlainText(text, q + 1, end, delimiter))
    {
        const char16_t c = text[q];
        if (c == delimiter || c == u'\n' || c == u'\r')
            break;
        if (c == 0)
            ++nulls;
        else if (c == u'|')
            ++bars;
        else
            ++controls;
    }
    tally.m_nNullCharacters += nulls;
    tally.m_nBars += bars;
    tally.m_nControlCharacters += controls;
    const KStringView content(text + p, q - p);
    *cell = FinishCell(content, at, rules, scratch, tally, true, nulls > 0 || (bars > 0 && rules.m_bReplaceBars));
    if (q >= end)
    {
        *terminator = TERMINATOR_END;
        return end;
    }
    if (text[q] == delimiter)
    {
        *terminator = TERMINATOR_DELIMITER;
        return q + 1;
    }
    *terminator = TERMINATOR_LINE;
    return AfterLineEnd(text, q + 1, end);
}

KString MakeControlCharacterMap(KStringView cell)
{
    KString map(cell.size(), u' ');
    for (size_t i = 0; i < cell.size(); ++i)
    {
        const char16_t c = cell[i];
        if (c <= 26)
            map[i] = static_cast<char16_t>(64 + c);
        else if (c < 32)
            map[i] = u"+/-=\u00D7"[c - 27];
        else if (c >= 127 && c <= 152)
            map[i] = static_cast<char16_t>(c - 30);
        else if (c >= 153 && c <= 159)
            map[i] = static_cast<char16_t>(c - 104);
        else if (c >= 0xD800 && c <= 0xDFFF)
            map[i] = u'\uFFFD';
    }
    while (!map.empty() && map.back() == u' ')
        map.pop_back();
    return map;
}

KStringView CTextReader::ReadCell(long line, size_t width, bool trim)
{
    KStringView cell;
    // With more text to come, a cell is tallied once it is read whole.
    SCellTally ahead;
    SCellTally& tally = m_more ? ahead : m_tally;
    size_t next = 0;
    for (;;)
    {
        next = ScanCell(m_text.data(), m_nPosition, m_text.size(), m_rules, width, line == 1, trim, m_scratch, &cell,
                        &m_eTerminator, tally);
        if (!m_more || next < m_text.size() || !m_more(m_text))
            break;
        ahead = SCellTally(); // the cell goes on in the text just added: read it again
    }
    if (m_more)
        m_tally.Add(ahead);
    m_nPosition = next;
    return cell;
}

bool CTextReader::ReadLine(long line, KString* out)
{
    if (IsAtEnd())
    {
        m_eTerminator = TERMINATOR_END;
        if (out)
            out->clear();
        return false;
    }
    SCellRules rules = m_rules;
    rules.m_bFixedWidth = true;
    KStringView cell;
    SCellTally ignored;
    size_t next = 0;
    do
    {
        next = ScanCell(m_text.data(), m_nPosition, m_text.size(), rules, 0, line == 1, false, m_scratch, &cell,
                        &m_eTerminator, ignored);
    } while (next >= m_text.size() && m_more && m_more(m_text));
    m_nPosition = next;
    if (out)
        out->assign(cell);
    return true;
}

long CountPhysicalLineEnds(KStringView text, size_t end)
{
    end = std::min(end, text.size());
    const char16_t* p = text.data();
    long count = 0;
    size_t i = 0;
    // Eight units a step: each CR and LF counts, a CR followed by LF counts back. A lane gains at most one a
    // step, so 16-bit lanes are added up every 4096 steps.
    using Lanes = uint16_t __attribute__((vector_size(16)));
    while (i + 9 <= end)
    {
        Lanes sum = {};
        for (size_t steps = 0; steps < 4096 && i + 9 <= end; ++steps, i += 8)
        {
            Lanes here;
            Lanes next;
            std::memcpy(&here, p + i, sizeof here);
            std::memcpy(&next, p + i + 1, sizeof next);
            // Lanes compare with uint16_t, not char16_t: clang 14 crashes on the mixed comparison.
            const Lanes cr = here == uint16_t{'\r'};
            sum -= (here == uint16_t{'\n'}) | cr;
            sum += cr & (next == uint16_t{'\n'});
        }
        for (int lane = 0; lane < 8; ++lane)
            count += sum[lane];
    }
    for (; i < end; ++i)
    {
        if (p[i] == u'\n')
            ++count;
        else if (p[i] == u'\r' && !(i + 1 < text.size() && p[i + 1] == u'\n'))
            ++count;
    }
    return count;
}

long CTextReader::GetPhysicalLine(size_t position) const
{
    return 1 + CountPhysicalLineEnds(m_text, position);
}

} // namespace exchange
