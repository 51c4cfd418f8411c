// Benchmarks of the view-mode geometry on 1 million records (KORVALIN_BENCH_RECORDS to change): laying out
// the compressed table (prefix sums rebuilt), one animation frame (prefix sums kept), and finding the record
// under a pixel and the records of a pixel range, with and without a width attribute.
//
//   build/bin/display_bench --benchmark_counters_tabular=true

#include "display/TableLayout.h"
#include "engine/Table.h"
#include "options/OptionSet.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace
{

long RecordCount()
{
    const char* text = std::getenv("KORVALIN_BENCH_RECORDS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? n : 1'000'000;
}

// A table whose records are 80% qualified, 20% refused, with a numeric attribute of 1000 values.
struct SFixture
{
    COptionSet options;
    CTable table{&options};
    CAttribute* amount = nullptr;
    display::CTableLayout layout{table, 32};

    SFixture()
    {
        amount = table.CreateNewAttribute(ATTR_NORMAL, false, u"Amount", nullptr, 1000, true);
        std::mt19937 random(7);
        const long n = RecordCount();
        for (long i = 0; i < n; ++i)
        {
            CRecord* record = table.AddRecord();
            amount->AddValue(record, platform::ToKString(static_cast<long>(random() % 1000)));
            record->m_bQualified = random() % 5 != 0;
        }
        amount->SetFormat(u"####");
        table.AnalyzeTable();
        table.CountQualRecords();
        layout.SetDataAreaWidth(1920);
        layout.SetViewMode(display::VIEW_COMPRESSED, true, false);
    }
};

SFixture& Fixture()
{
    static SFixture fixture;
    return fixture;
}

void UseWidthAttribute(const benchmark::State& state)
{
    SFixture& f = Fixture();
    f.layout.SetWidthAttribute(state.range(0) ? f.amount : nullptr, 0.5);
    f.layout.RecomputeGridWidth(0.0);
}

void CompressedLayout(benchmark::State& state)
{
    UseWidthAttribute(state);
    SFixture& f = Fixture();
    for (auto _ : state)
    {
        f.layout.RecomputeGridWidth(0.0); // rebuilds the prefix sums
        benchmark::DoNotOptimize(f.layout.GetTotalGridWidth());
    }
    state.counters["records"] = static_cast<double>(f.layout.GetShownCount());
}
BENCHMARK(CompressedLayout)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void AnimationFrame(benchmark::State& state)
{
    UseWidthAttribute(state);
    SFixture& f = Fixture();
    double progress = 0.0;
    for (auto _ : state)
    {
        progress = progress >= 0.99 ? 0.01 : progress + 0.01;
        f.layout.RecomputeGridWidth(progress);
        benchmark::DoNotOptimize(f.layout.GetCompressedWidth());
    }
}
BENCHMARK(AnimationFrame)->Arg(0)->Arg(1);

void RecordUnderPixel(benchmark::State& state)
{
    UseWidthAttribute(state);
    SFixture& f = Fixture();
    std::mt19937 random(3);
    std::uniform_real_distribution<double> pixel(0.0, f.layout.GetLineLeft(f.layout.GetLineCount()));
    for (auto _ : state)
        benchmark::DoNotOptimize(f.layout.FindRecordAt(pixel(random)));
}
BENCHMARK(RecordUnderPixel)->Arg(0)->Arg(1);

void RecordsOfAPixelRange(benchmark::State& state)
{
    UseWidthAttribute(state);
    SFixture& f = Fixture();
    std::mt19937 random(4);
    std::uniform_real_distribution<double> pixel(0.0, f.layout.GetLineLeft(f.layout.GetLineCount()));
    for (auto _ : state)
    {
        const double x = pixel(random);
        benchmark::DoNotOptimize(f.layout.FindPositionsIn(x, x + 50.0));
    }
}
BENCHMARK(RecordsOfAPixelRange)->Arg(0)->Arg(1);

} // namespace
