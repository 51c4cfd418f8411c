// The distribution sort of records by the values of an attribute.

#include "engine/RecordSort.h"

#include "engine/Attribute.h"
#include "engine/RecordArray.h"
#include "engine/Table.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
constexpr size_t kParallelRecords = 200000; // arrays from this size on read their keys in parallel tasks
} // namespace

bool CRecordSort::Sort(CAttribute& attribute, CRecordArray& records, bool reverse, bool undefinedFirst)
{
    if (attribute.IsHeader() || (attribute.IsDerived() && attribute.GetSettings().IsNotSortable()))
        return false;
    const size_t n = static_cast<size_t>(records.GetSize());
    if (n < 2)
        return false;
    // Sorted values: a value's index is its rank in the order of values.
    attribute.RecomputeSortedValues();
    const uint32_t values = static_cast<uint32_t>(attribute.GetNrOfValues());
    // The empty text sorts after every other value: when present it is the last value. Records without a stored
    // value join its chain (or a chain of their own after the last value when no record holds it).
    const uint32_t undefined = values > 0 && attribute.GetValue(values - 1)[0] == 0 ? values - 1 : values;
    const uint32_t chains = values + 1;

    // 1. The chain of every record, read once. The records and their fields lie anywhere in memory (the records
    //    are in the order of the last sort): the numbers are read first, then the fields, each asked for a few
    //    steps ahead so that many reads are under way at once.
    // Not zeroed: every entry is written before it is read.
    const auto chainOf = std::make_unique_for_overwrite<uint32_t[]>(n);
    CRecord* const* data = records.GetData();
    const CFieldArray& fields = attribute.GetFieldArray();
    const int width = fields.GetWidthCode();
    const int planes = width > 0 ? CFieldArray::PlaneCount(width) : 0;
    const long stored = fields.GetSize();
    auto readBlock = [&](size_t from, size_t to)
    {
        constexpr size_t kAhead = 16;
        for (size_t i = from; i < to; ++i)
        {
            if (i + kAhead < to)
                __builtin_prefetch(data[i + kAhead]);
            chainOf[i] = static_cast<uint32_t>(data[i]->m_nRecordNumber);
        }
        for (size_t i = from; i < to; ++i)
        {
            if (i + kAhead < to && static_cast<long>(chainOf[i + kAhead]) < stored)
            {
                for (int k = 0; k < planes; ++k)
                    __builtin_prefetch(fields.GetPlane(k) + chainOf[i + kAhead]);
            }
            const long index = fields.GetAt(static_cast<long>(chainOf[i]));
            chainOf[i] = index >= 0 && static_cast<uint32_t>(index) < values ? static_cast<uint32_t>(index) : undefined;
        }
    };
    // Blocks small enough that their numbers are still in the cache when their fields are read.
    auto readChains = [&](size_t from, size_t to)
    {
        constexpr size_t kBlock = 4096;
        for (size_t block = from; block < to; block += kBlock)
            readBlock(block, std::min(to, block + kBlock));
    };
    CTable& table = *attribute.GetTable();
    if (n >= kParallelRecords && table.UseMulticores() && platform::GetProcessorCount() > 1)
        platform::ParallelFor(0, n, kParallelRecords / 4, readChains);
    else
        readChains(0, n);

    // 2. The length of every chain; fewer than two chains in use leave the order as it is.
    std::vector<uint32_t> start(chains, 0);
    for (size_t i = 0; i < n; ++i)
    {
        if (i + 16 < n)
            __builtin_prefetch(&start[chainOf[i + 16]]);
        ++start[chainOf[i]];
    }
    uint32_t used = 0;
    for (uint32_t c = 0; c < chains && used < 2; ++c)
        used += start[c] != 0;
    if (used < 2)
        return false;

    // 3. Where each chain begins, the chains taken in the order they are emitted.
    uint32_t offset = 0;
    auto place = [&](uint32_t chain)
    {
        const uint32_t count = start[chain];
        start[chain] = offset;
        offset += count;
    };
    const bool undefinedAhead = undefinedFirst && attribute.HasMultipleValues();
    if (undefinedAhead)
        place(undefined);
    for (uint32_t k = 0; k < chains; ++k)
    {
        const uint32_t chain = reverse ? chains - 1 - k : k;
        if (!(undefinedAhead && chain == undefined))
            place(chain);
    }

    // 4. Every record to its place, each chain in the records' current order.
    const auto sorted = std::make_unique_for_overwrite<CRecord*[]>(n);
    for (size_t i = 0; i < n; ++i)
    {
        if (i + 16 < n)
            __builtin_prefetch(&start[chainOf[i + 16]]);
        sorted[start[chainOf[i]]++] = data[i];
    }
    records.Reorder(sorted.get());
    return true;
}

void CAttribute::Sort(CRecordArray* records, int undefinedFirst)
{
    if (records)
        CRecordSort::Sort(*this, *records, IsReverseSort(), undefinedFirst != 0);
}
