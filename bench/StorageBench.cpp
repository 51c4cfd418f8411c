// Memory and speed of the packed field array, the structure on every hot loop of the engine.

#include "engine/Allocator.h"
#include "engine/FieldArray.h"
#include "engine/Record.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

// Records numbered 0..count-1 as the record store would hand them out.
std::vector<CRecord> MakeRecords(long count)
{
    std::vector<CRecord> vRecords(static_cast<size_t>(count));
    for (long r = 0; r < count; ++r)
        vRecords[static_cast<size_t>(r)] = CRecord{nullptr, static_cast<int32_t>(r), 1, 1, 0};
    return vRecords;
}

// Bytes per record of an attribute over 1 000 000 records (5 000 000 when every record has its own value),
// value i % distinct for record i. Sized up front as an import does; "grown" lets SetAt grow the array.
void BM_FieldArrayMemory(benchmark::State& state)
{
    const long nDistinct = static_cast<long>(state.range(0));
    const bool bPresized = state.range(1) != 0;
    const long nRecords = nDistinct >= 5000000 ? 5000000 : 1000000;
    const std::vector<CRecord> vRecords = MakeRecords(nRecords);
    size_t nBytes = 0;
    int nWidth = 0;
    for (auto _ : state)
    {
        CTableAllocator allocator;
        CFieldArray field;
        field.SetTable(&allocator);
        if (bPresized)
            field.SetMaxSize(nRecords, 0, false);
        for (long r = 0; r < nRecords; ++r)
            field.SetAt(&vRecords[static_cast<size_t>(r)], r % nDistinct);
        nBytes = field.GetAllocatedMemory();
        nWidth = field.GetWidthCode();
        benchmark::DoNotOptimize(field.GetAt(nRecords - 1));
    }
    state.counters["records"] = static_cast<double>(nRecords);
    state.counters["bytes"] = static_cast<double>(nBytes);
    state.counters["bytes_per_record"] = static_cast<double>(nBytes) / static_cast<double>(nRecords);
    state.counters["width"] = nWidth;
}
BENCHMARK(BM_FieldArrayMemory)
    ->ArgNames({"distinct", "presized"})
    ->Args({2, 1})
    ->Args({50, 1})
    ->Args({70000, 1})
    ->Args({5000000, 1})
    ->Args({2, 0})
    ->Args({5000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

constexpr long s_nSpeedRecords = 10000000;

// SetAt over 10 000 000 records with values from 1000 distinct: growing as an append does (presized 0), or
// into an array sized up front (presized 1), which isolates the cost of storing from that of growing.
void BM_FieldArraySetAt(benchmark::State& state)
{
    const bool bPresized = state.range(0) != 0;
    const std::vector<CRecord> vRecords = MakeRecords(s_nSpeedRecords);
    for (auto _ : state)
    {
        CTableAllocator allocator;
        CFieldArray field;
        field.SetTable(&allocator);
        if (bPresized)
            field.SetMaxSize(s_nSpeedRecords, 1000, false);
        for (long r = 0; r < s_nSpeedRecords; ++r)
            field.SetAt(&vRecords[static_cast<size_t>(r)], (r * 7919) % 1000);
        benchmark::DoNotOptimize(field.GetAt(s_nSpeedRecords - 1));
    }
    state.counters["ns_per_value"] =
        benchmark::Counter(static_cast<double>(s_nSpeedRecords),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FieldArraySetAt)->ArgName("presized")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// GetAt over the same 10 000 000 records, summing the indices so that nothing is optimised away.
void BM_FieldArrayGetAt(benchmark::State& state)
{
    const std::vector<CRecord> vRecords = MakeRecords(s_nSpeedRecords);
    CTableAllocator allocator;
    CFieldArray field;
    field.SetTable(&allocator);
    for (long r = 0; r < s_nSpeedRecords; ++r)
        field.SetAt(&vRecords[static_cast<size_t>(r)], (r * 7919) % 1000);
    for (auto _ : state)
    {
        long long nSum = 0;
        for (long r = 0; r < s_nSpeedRecords; ++r)
            nSum += field.GetAt(r);
        benchmark::DoNotOptimize(nSum);
    }
    state.counters["ns_per_value"] =
        benchmark::Counter(static_cast<double>(s_nSpeedRecords),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FieldArrayGetAt)->Unit(benchmark::kMillisecond);

} // namespace
