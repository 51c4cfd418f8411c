// Sorting the distinct values of an attribute into the order of CompareValueIndices.
//
// Comparing two values through the collation walks both texts character by character, a random
// memory access per value and a table lookup per character. For a million distinct values that is
// tens of millions of such walks. Instead every value gets a fixed 128-bit key built once: numbers
// their bits in numeric order, texts the weights of their next characters, each weight given by its
// rank among the weights the texts use (so a key covers eight characters at least, and twenty or so
// in a column of names). The keys are sorted as plain integers; a run of equal keys among texts is
// keyed again on the following characters, and only values that still tie after their texts ran out
// are compared in full.
// The result is exactly the order of CompareValueIndices, made total by comparing the texts by
// code units (and finally the indices) where that comparison says equal.

#include "engine/AttributeValues.h"

#include "engine/Attribute.h"
#include "engine/AttributeFormat.h"
#include "engine/Collation.h"
#include "engine/ParallelSort.h"
#include "engine/Table.h"
#include "engine/ValueArray.h"
#include "platform/Parallel.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <utility>

namespace
{

constexpr unsigned kKeyBits = 128;         // bits of a key: the characters it covers share them
constexpr size_t kTextsAhead = 12;         // entries between asking for a text and keying on it
constexpr size_t kParallelEntries = 20000; // ranges from this size on are keyed and sorted in parallel
constexpr size_t kRadixEntries = 4096;     // keys from this many on are sorted digit by digit

struct SSortEntry
{
    uint64_t m_nHigh;   // the more significant half of the key
    uint64_t m_nLow;    // the less significant half
    uint32_t m_nIndex;  // the value index
    uint32_t m_nLength; // characters of the value's text (texts only)
};

struct SKeyLess
{
    bool operator()(const SSortEntry& a, const SSortEntry& b) const
    {
        return a.m_nHigh != b.m_nHigh ? a.m_nHigh < b.m_nHigh : a.m_nLow < b.m_nLow;
    }
};

bool KeyEqual(const SSortEntry& a, const SSortEntry& b)
{
    return a.m_nHigh == b.m_nHigh && a.m_nLow == b.m_nLow;
}

// Calls body(first, count) for every run of two or more neighbours i, j that same(i, j) finds alike, first
// among count items.
template <class Same, class Body> void EachRun(size_t count, const Same& same, const Body& body)
{
    for (size_t i = 0; i < count;)
    {
        size_t j = i + 1;
        while (j < count && same(i, j))
            ++j;
        if (j - i > 1)
            body(i, j - i);
        i = j;
    }
}

// The bits of a number, as an unsigned integer that orders like the number (0 and -0 alike).
uint64_t OrderedBits(double d)
{
    if (d == 0)
        d = 0.0;
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return (u >> 63) != 0 ? ~u : u | (uint64_t(1) << 63);
}

// Sorts the value indices of one class. Owns nothing; valid while the attribute's values are.
class CClassSorter
{
public:
    CClassSorter(CAttributeValues& owner, CValueArray& values, const CCollation* collation, bool parallel)
        : m_owner(owner), m_values(values), m_pCollation(collation), m_bParallel(parallel)
    {
    }

    // Sorts the indices of numbers: by keys that order like the numbers, then runs of equal keys (numbers
    // equal as numbers but not as texts, or that share a count) by the full comparison.
    void SortNumbers(std::vector<uint32_t>& indices)
    {
        const size_t count = indices.size();
        std::vector<uint64_t> keys(count);
        for (size_t i = 0; i < count; ++i)
            keys[i] = OrderedBits(m_values.GetStoredDoubleValue(static_cast<long>(indices[i])));
        if (std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<uint64_t>()) == keys.end())
            return; // numbers that arrived in order (counters, keys)
        if (count >= kRadixEntries)
            ScaleDecimals(indices, keys);
        SortNumbersByKey(indices, keys);
        EachRun(
            count, [&](size_t i, size_t j) { return keys[i] == keys[j]; },
            [&](size_t first, size_t n)
            {
                std::sort(indices.data() + first, indices.data() + first + n,
                          [this](uint32_t a, uint32_t b) { return Less(a, b); });
            });
    }

    // Puts every value of order into its class, in the classes' order: 0 numbers of a numeric attribute without
    // lists (into numbers; classes[0] stays empty), 1 other single values (texts), 2 lists, 3 the undefined value.
    // The texts are measured on the way (their lengths and the weights they use), while each is at hand; in
    // parallel tasks where allowed.
    void Classify(const std::vector<uint32_t>& order, bool numeric, std::vector<uint32_t>& numbers,
                  std::vector<SSortEntry> (&classes)[4])
    {
        const size_t count = order.size();
        std::vector<uint8_t> classOf(count);
        std::vector<uint32_t> lengths(count);
        std::vector<uint64_t> used(65536 / 64, 0);
        size_t counts[4] = {0, 0, 0, 0};
        std::mutex lock;
        auto classify = [&](size_t from, size_t to)
        {
            std::vector<uint64_t> local(65536 / 64, 0);
            size_t localCounts[4] = {0, 0, 0, 0};
            for (size_t i = from; i < to; ++i)
            {
                const uint32_t index = order[i];
                const char16_t* text = m_values.GetValue(index);
                uint8_t cls = 1;
                if (text[0] == 0)
                    cls = 3;
                else if (CAttributeValues::IsEncodedList(text))
                    cls = 2;
                else if (numeric && !std::isnan(m_values.GetStoredDoubleValue(index)))
                    cls = 0;
                if (cls == 1)
                {
                    size_t n = 0;
                    for (; text[n] != 0; ++n)
                    {
                        const uint16_t weight = Weight(text[n]);
                        local[weight / 64] |= uint64_t{1} << (weight % 64);
                    }
                    lengths[i] = static_cast<uint32_t>(n);
                }
                classOf[i] = cls;
                ++localCounts[cls];
            }
            std::lock_guard<std::mutex> guard(lock);
            for (size_t w = 0; w < used.size(); ++w)
                used[w] |= local[w];
            for (int cls = 0; cls < 4; ++cls)
                counts[cls] += localCounts[cls];
        };
        if (m_bParallel && count >= kParallelEntries)
            platform::ParallelFor(0, count, kParallelEntries / 4, classify);
        else
            classify(0, count);
        // Counted first, so that each class is one allocation, written once (not grown by copying). Numbers are
        // sorted by their indices alone.
        numbers.reserve(counts[0]);
        for (int cls = 1; cls < 4; ++cls)
            classes[cls].reserve(counts[cls]);
        for (size_t i = 0; i < count; ++i)
        {
            if (classOf[i] == 0)
                numbers.push_back(order[i]);
            else
                classes[classOf[i]].push_back(SSortEntry{0, 0, order[i], lengths[i]});
        }
        RankWeights(used);
    }

    // The texts of Classify's class 1, in order.
    void SortTexts(std::vector<SSortEntry>& entries) { SortTextRange(entries.data(), entries.size(), 0); }

    // The full comparison, for values whose keys cannot tell them apart.
    void SortFully(SSortEntry* first, size_t count)
    {
        std::sort(first, first + count,
                  [this](const SSortEntry& a, const SSortEntry& b) { return Less(a.m_nIndex, b.m_nIndex); });
    }

private:
    bool Less(uint32_t a, uint32_t b) const
    {
        const int c = m_owner.CompareValueIndices(a, b);
        if (c != 0)
            return c < 0;
        const int ordinal = CCollation::CompareOrdinal(m_values.GetValue(a), m_values.GetValue(b));
        return ordinal != 0 ? ordinal < 0 : a < b;
    }

    uint16_t Weight(char16_t c) const { return m_pCollation ? m_pCollation->GetPrimaryWeight(c) : c; }

    // Ranks the weights the texts use: a column of names or codes uses a few dozen, so that a key covers
    // sixteen or more characters instead of eight (weights of 16 bits each), and most texts are told apart by
    // their first key. Ranks keep the order of the weights; weight 0 keeps rank 0, as a text that has ended.
    void RankWeights(const std::vector<uint64_t>& used)
    {
        m_vRank.assign(65536, 0);
        uint32_t rank = 0;
        for (uint32_t weight = 1; weight < 65536; ++weight)
        {
            if ((used[weight / 64] >> (weight % 64)) & 1)
                m_vRank[weight] = static_cast<uint16_t>(++rank);
        }
        m_nRankBits = std::max(1u, static_cast<unsigned>(std::bit_width(rank)));
        m_nCharactersPerKey = 2 * (kKeyBits / 2 / m_nRankBits); // as many in each half of a key
    }

    // Keys every entry on the characters from offset on; a text that has ended weighs 0 there,
    // which sorts it before every longer text with the same beginning.
    void FillTextKeys(SSortEntry* first, size_t count, size_t offset) const
    {
        if (m_bParallel && count >= kParallelEntries)
        {
            platform::ParallelFor(0, count, kParallelEntries / 4,
                                  [&](size_t from, size_t to) { FillKeysOfSlice(first + from, to - from, offset); });
            return;
        }
        FillKeysOfSlice(first, count, offset);
    }

    void FillKeysOfSlice(SSortEntry* first, size_t count, size_t offset) const
    {
        for (size_t i = 0; i < count; ++i)
        {
            // After the first keying the entries are in sorted order and their texts lie all over memory:
            // ask for texts a few entries ahead.
            if (i + kTextsAhead < count)
                __builtin_prefetch(m_values.GetValue(first[i + kTextsAhead].m_nIndex) + offset);
            SSortEntry& entry = first[i];
            const char16_t* text = m_values.GetValue(entry.m_nIndex);
            const size_t half = m_nCharactersPerKey / 2;
            entry.m_nHigh = HalfKey(text, entry.m_nLength, offset, half);
            entry.m_nLow = HalfKey(text, entry.m_nLength, offset + half, half);
        }
    }

    // The ranks of the characters [from, from + count) of a text of length characters, the first in the top
    // bits; characters past the end weigh 0. Each half of a key is made on its own: two chains of shifts that
    // the processor runs side by side.
    uint64_t HalfKey(const char16_t* text, size_t length, size_t from, size_t count) const
    {
        const size_t end = std::min(from + count, std::max(length, from));
        uint64_t key = 0;
        for (size_t k = from; k < end; ++k)
            key = (key << m_nRankBits) | m_vRank[Weight(text[k])];
        return end == from ? 0 : key << (64 - m_nRankBits * (end - from));
    }

    void SortTextRange(SSortEntry* first, size_t count, size_t offset)
    {
        FillTextKeys(first, count, offset);
        if (StrictlyAscending(first, count))
            return; // texts that arrived in order, told apart by their keys
        SortByKey(first, count);
        const size_t next = offset + m_nCharactersPerKey;
        ForEachRun(first, count,
                   [this, next](SSortEntry* run, size_t n)
                   {
                       const bool longer =
                           std::any_of(run, run + n, [next](const SSortEntry& e) { return e.m_nLength > next; });
                       if (longer)
                           SortTextRange(run, n, next);
                       else
                           SortFully(run, n);
                   });
    }

    // True when every key is greater than the one before: the entries are in order and no two tie.
    static bool StrictlyAscending(const SSortEntry* first, size_t count)
    {
        for (size_t i = 1; i < count; ++i)
        {
            if (!SKeyLess()(first[i - 1], first[i]))
                return false;
        }
        return true;
    }

    // Sorts by the high halves of the keys a digit at a time (passing over the digits they all share), then each
    // run of equal high halves by the low ones: a few passes over all entries instead of the many of a quicksort.
    void SortByKey(SSortEntry* first, size_t count) const
    {
        if (count < kRadixEntries)
        {
            std::sort(first, first + count, SKeyLess());
            return;
        }
        std::vector<SSortEntry> buffer(count);
        const SSortEntry* sorted =
            SortByDigits(first, buffer.data(), count, 64, [](const SSortEntry& entry) { return entry.m_nHigh; });
        if (sorted != first)
            std::copy(sorted, sorted + count, first);
        EachRun(
            count, [&](size_t i, size_t j) { return first[i].m_nHigh == first[j].m_nHigh; },
            [&](size_t at, size_t n)
            {
                if (m_bParallel && n >= kParallelEntries)
                    ParallelQuickSortInternal(first + at, 0, static_cast<long>(n) - 1, 0, SKeyLess());
                else
                    std::sort(first + at, first + at + n, SKeyLess());
            });
    }

    // When every number is a whole number of hundredths (or of another power of ten up to a millionth, or of
    // seconds of a day: times and dates with times), the keys become those counts less the smallest: numbers
    // with two decimals within a few millions need 21 bits instead of 64, and the sort passes over the digits
    // they all share. A number n counts c of 1/p when n * p lies within a few units of its last place of c:
    // a date with a time is its day plus the fraction of the day, two roundings, and often not the double
    // nearest to c / p. The counts order like the numbers (rounding never goes down as numbers go up), equal
    // numbers have equal counts, and the few different numbers that share a count are told apart as the runs
    // of equal keys are, by the full comparison.
    void ScaleDecimals(const std::vector<uint32_t>& indices, std::vector<uint64_t>& keys) const
    {
        constexpr double kLargest = 4503599627370496.0; // 2^52: counts below it round exactly
        constexpr double kNear = 4 * std::numeric_limits<double>::epsilon();
        auto count = [](double scaled) { return static_cast<long long>(scaled + (scaled < 0 ? -0.5 : 0.5)); };
        for (const double scale : {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 86400.0})
        {
            bool counts = true;
            long long smallest = std::numeric_limits<long long>::max();
            for (size_t i = 0; i < indices.size() && counts; ++i)
            {
                const double number = m_values.GetStoredDoubleValue(static_cast<long>(indices[i]));
                const double scaled = number * scale;
                counts = std::fabs(scaled) < kLargest &&
                         std::fabs(static_cast<double>(count(scaled)) - scaled) <= kNear * std::fabs(scaled);
                if (counts)
                    smallest = std::min(smallest, count(scaled));
            }
            if (!counts)
                continue;
            for (size_t i = 0; i < indices.size(); ++i)
            {
                const double number = m_values.GetStoredDoubleValue(static_cast<long>(indices[i]));
                keys[i] = static_cast<uint64_t>(count(number * scale) - smallest);
            }
            return;
        }
    }

    // Sorts indices and their keys together by the keys: from kRadixEntries on ten bits at a time from the least
    // significant ones (stable, linear in the count), in items of key and index, 8 bytes when every key fits in
    // 32 bits (counts of hundredths or of seconds, less the smallest), else 16.
    static void SortNumbersByKey(std::vector<uint32_t>& indices, std::vector<uint64_t>& keys)
    {
        const size_t count = indices.size();
        uint64_t bits = 0;
        for (const uint64_t key : keys)
            bits |= key;
        if (bits >> 32 == 0)
        {
            std::vector<uint64_t> numbers(count); // key in the upper half, index in the lower
            for (size_t i = 0; i < count; ++i)
                numbers[i] = keys[i] << 32 | indices[i];
            std::vector<uint64_t> buffer(count >= kRadixEntries ? count : 0);
            const uint64_t* sorted = numbers.data();
            if (count >= kRadixEntries)
                sorted = SortByDigits(numbers.data(), buffer.data(), count, 32, [](uint64_t n) { return n >> 32; });
            else
                std::sort(numbers.begin(), numbers.end());
            for (size_t i = 0; i < count; ++i)
            {
                keys[i] = sorted[i] >> 32;
                indices[i] = static_cast<uint32_t>(sorted[i]);
            }
            return;
        }
        struct SNumber
        {
            uint64_t m_nKey;
            uint64_t m_nIndex;
        };
        std::vector<SNumber> numbers(count);
        for (size_t i = 0; i < count; ++i)
            numbers[i] = SNumber{keys[i], indices[i]};
        std::vector<SNumber> buffer(count >= kRadixEntries ? count : 0);
        const SNumber* sorted = numbers.data();
        if (count >= kRadixEntries)
            sorted = SortByDigits(numbers.data(), buffer.data(), count, 64, [](const SNumber& n) { return n.m_nKey; });
        else
            std::sort(numbers.begin(), numbers.end(),
                      [](const SNumber& a, const SNumber& b) { return a.m_nKey < b.m_nKey; });
        for (size_t i = 0; i < count; ++i)
        {
            keys[i] = sorted[i].m_nKey;
            indices[i] = static_cast<uint32_t>(sorted[i].m_nIndex);
        }
    }

    // Sorts items stably by the low keyBits bits of key(item), a digit of ten bits at a time from the least
    // significant one, moving them between items and buffer; the digits that every key shares (the exponent of
    // numbers of one size, the low bits of whole numbers) are passed over. Returns where the sorted items are.
    template <class T, class Key> static T* SortByDigits(T* items, T* buffer, size_t count, unsigned keyBits, Key key)
    {
        constexpr unsigned kDigitBits = 10;
        constexpr size_t kBuckets = size_t{1} << kDigitBits;
        const size_t digits = (keyBits + kDigitBits - 1) / kDigitBits;
        std::vector<size_t> histograms(digits * kBuckets, 0);
        for (size_t i = 0; i < count; ++i)
        {
            const uint64_t k = key(items[i]);
            for (size_t digit = 0; digit < digits; ++digit)
                ++histograms[digit * kBuckets + ((k >> (kDigitBits * digit)) & (kBuckets - 1))];
        }
        T* from = items;
        T* to = buffer;
        for (size_t digit = 0; digit < digits; ++digit)
        {
            size_t* histogram = &histograms[digit * kBuckets];
            if (std::find(histogram, histogram + kBuckets, count) != histogram + kBuckets)
                continue; // every key has the same digit here
            size_t offset = 0;
            for (size_t b = 0; b < kBuckets; ++b)
                offset += std::exchange(histogram[b], offset);
            const unsigned shift = kDigitBits * static_cast<unsigned>(digit);
            for (size_t i = 0; i < count; ++i)
                to[histogram[(key(from[i]) >> shift) & (kBuckets - 1)]++] = from[i];
            std::swap(from, to);
        }
        return from;
    }

    // Calls body(first, count) for every run of two or more equal keys, in parallel when there are many.
    template <class Body> void ForEachRun(SSortEntry* entries, size_t count, const Body& body) const
    {
        std::vector<std::pair<size_t, size_t>> runs;
        EachRun(
            count, [&](size_t i, size_t j) { return KeyEqual(entries[i], entries[j]); },
            [&](size_t at, size_t n) { runs.emplace_back(at, n); });
        if (m_bParallel && runs.size() > 1 && count >= kParallelEntries)
        {
            platform::ParallelFor(0, runs.size(), 1,
                                  [&](size_t from, size_t to)
                                  {
                                      for (size_t r = from; r < to; ++r)
                                          body(entries + runs[r].first, runs[r].second);
                                  });
            return;
        }
        for (const auto& [at, n] : runs)
            body(entries + at, n);
    }

    CAttributeValues& m_owner;      // the values that are sorted (their comparison)
    CValueArray& m_values;          // its distinct values
    const CCollation* m_pCollation; // weights of the collation; null: code units (ordinal order)
    bool m_bParallel;               // sorts and runs may use several tasks
    std::vector<uint16_t> m_vRank;  // per weight of the texts: its rank among the weights they use, from 1
    unsigned m_nRankBits = 16;      // bits of a rank
    size_t m_nCharactersPerKey = 8; // characters a key covers
};

// True when the values of order are numbers, each greater than the one before: then order is sorted.
bool AscendingNumbers(const CValueArray& values, const std::vector<uint32_t>& order)
{
    double last = -std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < order.size(); ++i)
    {
        const char16_t* text = values.GetValue(order[i]);
        const double number = values.GetStoredDoubleValue(order[i]);
        // A text that is no number has NaN, which fails the comparison.
        if (text[0] == 0 || CAttributeValues::IsEncodedList(text) || !(number > last))
            return false;
        last = number;
    }
    return true;
}

} // namespace

void CAttributeValues::SortValueIndices(std::vector<uint32_t>& order, bool parallel)
{
    if (m_format.IsNumeric() && (!m_pValueArray->DoublesValid() || !m_pValueArray->HasDoubles()))
        RecomputeDoubleValues(); // before any task reads the numbers
    const int mode = CCollation::GetSortMode();
    if (m_attribute.IsSortByDefinitionOrder() || (mode != SORT_COLLATION && mode != SORT_ORDINAL))
    {
        auto less = [this](uint32_t a, uint32_t b) { return CompareValueIndices(a, b) < 0; };
        if (parallel)
            ParallelQuickSortInternal(order.data(), 0, static_cast<long>(order.size()) - 1, 0, less);
        else
            std::sort(order.begin(), order.end(), less);
        return;
    }

    const bool numeric = m_format.IsNumeric() && !m_bMultipleValues;
    if (numeric && AscendingNumbers(*m_pValueArray, order))
        return; // numbers that arrived in order (keys, counters, dates): nothing to sort or to key

    CClassSorter sorter(*this, *m_pValueArray, mode == SORT_COLLATION ? &m_table.GetCollation() : nullptr, parallel);
    std::vector<uint32_t> numbers;
    std::vector<SSortEntry> classes[4];
    sorter.Classify(order, numeric, numbers, classes);
    sorter.SortNumbers(numbers);
    sorter.SortTexts(classes[1]);
    sorter.SortFully(classes[2].data(), classes[2].size());
    size_t at = 0;
    for (const uint32_t index : numbers)
        order[at++] = index;
    for (const std::vector<SSortEntry>& entries : classes)
    {
        for (const SSortEntry& entry : entries)
            order[at++] = entry.m_nIndex;
    }
}
