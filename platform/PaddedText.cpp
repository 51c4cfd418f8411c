#include "platform/PaddedText.h"

namespace platform
{

namespace
{
// The first unit, of eight from a and b, in which they differ or a ends; 8 when there is none. A step is read
// only when the steps before were equal and went on: both texts reach its start, and it ends at most seven
// units past a terminator.
unsigned FirstDifferenceOrEnd(const char16_t* a, const char16_t* b)
{
    static_assert(kStepUnits == 8);
#if KORVALIN_SCAN_SSE2
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i same = _mm_andnot_si128(_mm_cmpeq_epi16(va, _mm_setzero_si128()), _mm_cmpeq_epi16(va, vb));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(same)) ^ 0xFFFFu;
    return mask == 0 ? 8u : static_cast<unsigned>(std::countr_zero(mask)) / 2;
#else
    unsigned i = 0;
    while (i < 8 && a[i] == b[i] && a[i] != 0)
        ++i;
    return i;
#endif
}
} // namespace

size_t MeasureText(CPaddedString text)
{
    const char16_t* p = text.Get();
#if KORVALIN_SCAN_SSE2
    for (size_t length = 0;; length += kStepUnits)
    {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + length));
        const auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_setzero_si128())));
        if (ends != 0)
            return length + static_cast<size_t>(std::countr_zero(ends)) / 2;
    }
#else
    return Length(p);
#endif
}

bool SameText(CPaddedString a, CPaddedString b)
{
    for (const char16_t *pa = a.Get(), *pb = b.Get();; pa += kStepUnits, pb += kStepUnits)
    {
        const unsigned at = FirstDifferenceOrEnd(pa, pb);
        if (at < kStepUnits)
            return pa[at] == pb[at]; // both end there
    }
}

int CompareTexts(CPaddedString a, CPaddedString b)
{
    for (const char16_t *pa = a.Get(), *pb = b.Get();; pa += kStepUnits, pb += kStepUnits)
    {
        const unsigned at = FirstDifferenceOrEnd(pa, pb);
        if (at < kStepUnits)
            return (pa[at] > pb[at]) - (pa[at] < pb[at]);
    }
}

bool EqualInSteps(CPaddedText key, CPaddedString stored)
{
    const char16_t* pStored = stored.Get();
#if KORVALIN_SCAN_SSE2
    if (key.AllowsSteps())
    {
        // A step of the stored key is read only when the steps before matched the key, which has no unit 0: the
        // stored key is as long as those steps, so its terminator lies at most kStepUnits - 1 units before the
        // step's end.
        const char16_t* pKey = key.data();
        for (size_t left = key.size();; left -= kStepUnits, pKey += kStepUnits, pStored += kStepUnits)
        {
            const int same =
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pKey)),
                                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(pStored))));
            if (left < kStepUnits)
            {
                const int needed = (1 << (2 * left)) - 1; // two bits per unit
                return (same & needed) == needed && pStored[left] == 0;
            }
            if (same != 0xFFFF)
                return false;
        }
    }
#endif
    const size_t n = key.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (pStored[i] != key.data()[i])
            return false;
    }
    return pStored[n] == 0;
}

} // namespace platform
