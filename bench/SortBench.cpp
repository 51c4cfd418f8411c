// Benchmarks of sorting and of what the window does around it, on a table read from a CSV file of the peer
// benchmark's shape (1 million or 10 million records):
//   SortRecords/city, SortRecords/customer  a submitted CSortCommand (each run turns the direction round, so that
//                                           every run reorders all records): city has 1000 values, customer is
//                                           mostly distinct
//   SortColumns/city, SortColumns/customer  the same sorts without the command around them
//   ZoomInWithRefresh                       select North and East of region and zoom in (submit, evaluate); the
//                                           reset before each run is not timed
//   CompressedLayout                        the compressed table laid out for 1920 pixels (prefix sums rebuilt)
//   RecordUnderPixel                        the record under a random pixel of the compressed table
// Real and processor time are both reported (the machine may be loaded).
//
//   python3 /work/shared/bench/gen_data.py --rows 1000000
//   KORVALIN_BENCH_CSV=data/rows_1000000.csv build/bin/sort_bench --benchmark_counters_tabular=true

#include "display/TableLayout.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "selection/TableSelection.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <random>
#include <string>

namespace
{

struct SBench
{
    std::unique_ptr<CTable> table;
    std::unique_ptr<display::CTableLayout> layout;
    std::string error; // why there is no table
};

// The table of KORVALIN_BENCH_CSV and its layout, read once.
SBench& Bench()
{
    static SBench bench = []
    {
        SBench made;
        const char* path = std::getenv("KORVALIN_BENCH_CSV");
        if (!path)
        {
            made.error = "KORVALIN_BENCH_CSV is not set (a CSV file of the peer benchmark's shape)";
            return made;
        }
        try
        {
            made.table = std::make_unique<CTable>();
            files::SOpenRequest request;
            request.m_bExplicitImport = true;
            files::ReadTable(*made.table, path, request);
            made.layout = std::make_unique<display::CTableLayout>(*made.table, 32);
            made.layout->SetDataAreaWidth(1920);
        }
        catch (const std::exception& e)
        {
            made.table.reset();
            made.error = std::string("KORVALIN_BENCH_CSV cannot be read: ") + e.what();
        }
        return made;
    }();
    return bench;
}

CTable* TableOrSkip(benchmark::State& state)
{
    SBench& bench = Bench();
    if (!bench.table)
        state.SkipWithError(bench.error.c_str());
    return bench.table.get();
}

const char* const kSortAttributes[] = {"city", "customer"};

// The attribute of the run's argument (labelled with its name); null, the run skipped, without table or column.
CAttribute* SortAttributeOrSkip(benchmark::State& state)
{
    CTable* table = TableOrSkip(state);
    if (!table)
        return nullptr;
    const char* name = kSortAttributes[state.range(0)];
    CAttribute* attribute = table->FindAttribute(platform::FromUtf8(name));
    if (!attribute)
        state.SkipWithError("the file has no such column");
    else
        state.SetLabel(name);
    return attribute;
}

void SortRecords(benchmark::State& state)
{
    CAttribute* attribute = SortAttributeOrSkip(state);
    if (!attribute)
        return;
    CTable* table = attribute->GetTable();
    CTableSelection& selection = CTableSelection::Of(*table);
    bool reverse = false;
    for (auto _ : state)
    {
        if (!selection.SortRecords(attribute, reverse))
            state.SkipWithError("the sort was not executed");
        reverse = true; // every later run turns the direction round
    }
    state.counters["records"] = static_cast<double>(table->GetRecordCount());
    state.counters["values"] = static_cast<double>(attribute->GetNrOfValues());
}
BENCHMARK(SortRecords)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(6);

// The sort alone (CTableSort::SortColumns), without the command's submission and refresh around it.
void SortColumns(benchmark::State& state)
{
    CAttribute* attribute = SortAttributeOrSkip(state);
    if (!attribute)
        return;
    CTable* table = attribute->GetTable();
    for (auto _ : state)
    {
        attribute->SetReverseSort(!attribute->IsReverseSort());
        table->GetSortState().SortColumns(attribute, 2, false, false);
    }
}
BENCHMARK(SortColumns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(6);

void ZoomInWithRefresh(benchmark::State& state)
{
    CTable* table = TableOrSkip(state);
    if (!table)
        return;
    CAttribute* region = table->FindAttribute(u"region");
    if (!region)
    {
        state.SkipWithError("the file has no column region");
        return;
    }
    CTableSelection& selection = CTableSelection::Of(*table);
    for (auto _ : state)
    {
        state.PauseTiming();
        selection.SubmitReset();
        for (const char16_t* value : {u"North", u"East"})
        {
            if (const char16_t* stored = region->FindValue(value))
                CAttributeSelection::Of(region).SelectValue(stored, nullptr, true);
        }
        state.ResumeTiming();
        if (!selection.ZoomIn())
            state.SkipWithError("the zoom was not executed");
    }
    state.counters["qualified"] = static_cast<double>(table->GetNumberQualified());
}
BENCHMARK(ZoomInWithRefresh)->Unit(benchmark::kMillisecond)->Iterations(5);

display::CTableLayout* CompressedOrSkip(benchmark::State& state)
{
    if (!TableOrSkip(state))
        return nullptr;
    display::CTableLayout& layout = *Bench().layout;
    CTableSelection::Of(layout.GetTable()).SubmitReset(); // every record shown
    CTableSelection::Of(layout.GetTable()).SwitchToCompressedTable();
    layout.RecomputeGridWidth(0.0);
    return &layout;
}

void CompressedLayout(benchmark::State& state)
{
    display::CTableLayout* layout = CompressedOrSkip(state);
    if (!layout)
        return;
    for (auto _ : state)
    {
        layout->RecomputeGridWidth(0.0); // rebuilds the prefix sums
        benchmark::DoNotOptimize(layout->GetTotalGridWidth());
    }
    state.counters["shown"] = static_cast<double>(layout->GetShownCount());
}
BENCHMARK(CompressedLayout)->Unit(benchmark::kMillisecond);

void RecordUnderPixel(benchmark::State& state)
{
    display::CTableLayout* layout = CompressedOrSkip(state);
    if (!layout)
        return;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> pixel(0.0, layout->GetLineLeft(layout->GetLineCount()));
    for (auto _ : state)
        benchmark::DoNotOptimize(layout->FindRecordAt(pixel(random)));
}
BENCHMARK(RecordUnderPixel);

} // namespace
