#pragma once
// Scanning texts a step of several units at a time: the one place for the tricks that read past the end of a
// text, and for the vector instructions (SSE2) that the engine and the text reader use on texts.
//
// A trick may read past a text's end only where the text's owner promises that those units are readable; the
// promise travels as a type, never as a bare count:
// - CTextPadding: texts may be read this many units beyond their ends (the cells of a scanned chunk, the
//   values of a value store);
// - CPaddedText: a text view with its padding (a plain KStringView converts to one without padding, which
//   promises nothing);
// - CPaddedString: a zero-terminated text that may be read kStepUnits - 1 units beyond its terminator (every
//   value of a value store; see CValueStore::Padded).
// Each helper has a plain path, compiled where the processor lacks SSE2 and when KORVALIN_PORTABLE_SCAN is set
// (the CMake option of that name), so that tests run it too.
// Threading: any thread; nothing here has state.

#include "platform/Text.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) && !defined(KORVALIN_PORTABLE_SCAN)
#define KORVALIN_SCAN_SSE2 1
#include <emmintrin.h>
#else
#define KORVALIN_SCAN_SSE2 0
#endif

namespace platform
{

// Units a step reads: a step that starts inside a text reads at most kStepUnits - 1 units past its end.
constexpr size_t kStepUnits = 8;

// The promise that texts may be read GetUnits() units beyond their ends (whatever those units hold).
class CTextPadding
{
public:
    constexpr CTextPadding() = default;
    // units: the owner of the texts guarantees that many readable units after each text's end.
    constexpr explicit CTextPadding(size_t units) : m_nUnits(units) {}

    constexpr size_t GetUnits() const { return m_nUnits; }
    // True when at least units units after the end may be read.
    constexpr bool Allows(size_t units) const { return m_nUnits >= units; }

private:
    size_t m_nUnits = 0; // readable units after each text's end
};

// A text view and the units that may be read after its end.
class CPaddedText
{
public:
    constexpr CPaddedText() = default;
    // A text without padding: no unit after its end is read.
    constexpr CPaddedText(KStringView text) : m_text(text) {} // NOLINT: promises nothing, so converts freely
    constexpr CPaddedText(KStringView text, CTextPadding padding) : m_text(text), m_padding(padding) {}

    constexpr KStringView View() const { return m_text; }
    constexpr const char16_t* data() const { return m_text.data(); }
    constexpr size_t size() const { return m_text.size(); }
    constexpr CTextPadding GetPadding() const { return m_padding; }
    // True when the text may be read in whole steps of kStepUnits units.
    constexpr bool AllowsSteps() const { return m_padding.Allows(kStepUnits - 1); }

private:
    KStringView m_text;     // the text
    CTextPadding m_padding; // readable units after it
};

// A zero-terminated text that may be read kStepUnits - 1 units beyond its terminator. Any suffix of it is one
// too (From).
class CPaddedString
{
public:
    // text: its owner guarantees the padding (a value store's texts have it).
    constexpr explicit CPaddedString(const char16_t* text) : m_pText(text) {}

    constexpr const char16_t* Get() const { return m_pText; }
    // The text from offset on; offset must not pass the terminator.
    constexpr CPaddedString From(size_t offset) const { return CPaddedString(m_pText + offset); }
    constexpr char16_t operator[](size_t i) const { return m_pText[i]; }

private:
    const char16_t* m_pText; // the text; its terminator and kStepUnits - 1 units after it are readable
};

// ---- padded strings: length, equality, order ----

// The length of the text (its units before the terminator).
size_t MeasureText(CPaddedString text);
// True when both texts hold the same units.
bool SameText(CPaddedString a, CPaddedString b);
// -1, 0 or 1 as a is before, equal to or after b by code units (a text comes before any longer text that
// begins with it).
int CompareTexts(CPaddedString a, CPaddedString b);
// True when key (which holds no unit 0 and may be read in steps) holds the units of stored.
bool EqualInSteps(CPaddedText key, CPaddedString stored);

// The number of leading decimal digits among the eight units from units on, and those units as bytes (the
// first unit lowest; a unit above 0xFF becomes 0xFF). units lies in a padded string: it may be read eight units
// on.
inline unsigned CountDigits(CPaddedString units, uint64_t& bytes)
{
    const char16_t* p = units.Get();
#if KORVALIN_SCAN_SSE2
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Unsigned 16-bit: a unit is a digit when unit - '0' <= 9, that is when it saturates to 0 after - 9 more.
    const __m128i offsets = _mm_sub_epi16(v, _mm_set1_epi16(u'0'));
    const __m128i digits = _mm_cmpeq_epi16(_mm_subs_epu16(offsets, _mm_set1_epi16(9)), _mm_setzero_si128());
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(digits, _mm_setzero_si128())));
    bytes = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v, _mm_setzero_si128())));
    return static_cast<unsigned>(std::countr_zero(~mask)); // at most 8: bits 8 and up of ~mask are set
#else
    unsigned count = 0;
    bytes = 0;
    for (unsigned i = 0; i < 8; ++i)
        bytes |= static_cast<uint64_t>(p[i] < 0x100 ? p[i] : 0xFF) << (8 * i);
    while (count < 8 && p[count] >= u'0' && p[count] <= u'9')
        ++count;
    return count;
#endif
}

// True when each of the first n units of text lies between the unit of low and the unit of high at its place
// (all three hold n units at least); eight units at a time where the processor allows.
inline bool UnitsWithin(const char16_t* text, const char16_t* low, const char16_t* high, size_t n)
{
    size_t i = 0;
#if KORVALIN_SCAN_SSE2
    for (; i + kStepUnits <= n; i += kStepUnits)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i below = _mm_subs_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low + i)), v);
        const __m128i above = _mm_subs_epu16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(high + i)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(below, above), _mm_setzero_si128())) != 0xFFFF)
            return false;
    }
#endif
    for (; i < n; ++i)
    {
        if (text[i] < low[i] || text[i] > high[i])
            return false;
    }
    return true;
}

// ---- the cell scanner's stops ----

// A stop of a cell: a control character (below U+0020 or U+007F..U+009F), '|' or the delimiter.
inline bool IsCellStop(char16_t c, char16_t delimiter)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == u'|' || c == delimiter;
}

// The first position from q on (before end) of a cell stop; ordinary text is passed over kStepUnits units at a
// time where the processor allows. Reads nothing at or after end.
inline size_t SkipToCellStop(const char16_t* text, size_t q, size_t end, char16_t delimiter);

// One bit per unit of units[0 .. n-1] (n at most 64; bit i for unit i) for the cell stops. Reads nothing at or
// after units + n.
inline uint64_t MarkCellStops(const char16_t* units, size_t n, char16_t delimiter);

#if KORVALIN_SCAN_SSE2
namespace scan_detail
{
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
} // namespace scan_detail
#endif

inline size_t SkipToCellStop(const char16_t* text, size_t q, size_t end, char16_t delimiter)
{
#if KORVALIN_SCAN_SSE2
    const scan_detail::SStopMarker marker(delimiter);
    for (; q + kStepUnits <= end; q += kStepUnits)
    {
        const int mask = _mm_movemask_epi8(marker.Mark(text + q));
        if (mask != 0)
            return q + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
#endif
    while (q < end && !IsCellStop(text[q], delimiter))
        ++q;
    return q;
}

inline uint64_t MarkCellStops(const char16_t* units, size_t n, char16_t delimiter)
{
#if KORVALIN_SCAN_SSE2
    if (n == 64)
    {
        const scan_detail::SStopMarker marker(delimiter);
        uint64_t bits = 0;
        for (size_t k = 0; k < 64; k += 16)
        {
            // Two vectors of 16-bit marks packed into one of bytes: a bit per unit.
            const __m128i bytes = _mm_packs_epi16(marker.Mark(units + k), marker.Mark(units + k + 8));
            bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(bytes))) << k;
        }
        return bits;
    }
#endif
    uint64_t bits = 0;
    for (size_t i = 0; i < n; ++i)
    {
        if (IsCellStop(units[i], delimiter))
            bits |= uint64_t{1} << i;
    }
    return bits;
}

} // namespace platform
