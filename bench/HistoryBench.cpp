// Benchmarks of going back through the history on 1 million records: a query of n zooms (n = 1 ... 20, each
// excluding one value of one of five attributes) is built, then the last zoom is gone back over. With
// checkpoints (fast=1) the state after zoom n - 1 is restored; without (fast=0) the table is reset and the
// n - 1 zooms before it are executed again.
//
//   build/bin/history_bench --benchmark_counters_tabular=true
//   KORVALIN_BENCH_CSV=data.csv build/bin/history_bench --benchmark_filter=HarnessScenario

#include "engine/Set.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "options/OptionSet.h"
#include "selection/CommandHistory.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

namespace
{
constexpr long kRecords = 1'000'000;
constexpr int kAttributes = 5;
constexpr int kValues = 10;

// One table of 1 million records with five attributes of ten values, shared by all benchmarks.
struct SFixture
{
    COptionSet options;
    CTable table{&options};
    std::vector<CAttribute*> attributes;

    SFixture()
    {
        options.m_bWarnLongHistory = false;
        options.m_bUseMulticores = false; // one thread: the CPU column is the whole work
        for (int a = 0; a < kAttributes; ++a)
            attributes.push_back(
                table.CreateNewAttribute(ATTR_NORMAL, false, u"A" + platform::ToKString(a), nullptr, kValues, true));
        std::mt19937 random(5);
        for (long i = 0; i < kRecords; ++i)
        {
            CRecord* record = table.AddRecord();
            for (CAttribute* attribute : attributes)
                attribute->AddValue(record, u"v" + platform::ToKString(static_cast<int>(random() % kValues)));
        }
        table.AnalyzeTable();
    }

    CCommandHistory& History() { return CTableSelection::Of(table).GetHistory(); }

    // A reset, then a query of n zooms: zoom i excludes value i / 5 of attribute i % 5.
    void BuildQuery(long n)
    {
        History().Submit(std::make_shared<CResetCommand>(&table));
        for (long i = 0; i < n; ++i)
        {
            CAttribute* attribute = attributes[i % kAttributes];
            auto values = std::make_unique<CSet>();
            values->AddTail(attribute->FindValue(u"v" + platform::ToKString(static_cast<int>(i / kAttributes))));
            History().Submit(CSetAttributeCommand::MakeValueSet(attribute, std::move(values), true));
        }
    }
};

SFixture& Fixture()
{
    static SFixture fixture;
    return fixture;
}

void GoBackOneStep(benchmark::State& state)
{
    SFixture& f = Fixture();
    const long n = state.range(0);
    f.History().SetFastReplay(state.range(1) != 0);
    long replayed = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        f.BuildQuery(n);
        const long before = f.History().GetReplayedCount();
        state.ResumeTiming();
        f.History().GoBack();
        state.PauseTiming();
        replayed = f.History().GetReplayedCount() - before;
        state.ResumeTiming();
    }
    state.counters["replayed"] = static_cast<double>(replayed);
    state.counters["qualified"] = static_cast<double>(f.table.GetNumberQualified());
    f.History().SetFastReplay(true);
}
BENCHMARK(GoBackOneStep)
    ->ArgsProduct({{1, 2, 5, 10, 15, 20}, {1, 0}})
    ->ArgNames({"zooms", "fast"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Submitting one zoom through the history (saving the state for a fault, evaluating, keeping the checkpoint)
// on a query of 5 zooms.
void SubmitZoom(benchmark::State& state)
{
    SFixture& f = Fixture();
    for (auto _ : state)
    {
        state.PauseTiming();
        f.BuildQuery(5);
        auto values = std::make_unique<CSet>();
        values->AddTail(f.attributes[0]->FindValue(u"v9"));
        auto zoom = CSetAttributeCommand::MakeValueSet(f.attributes[0], std::move(values), true);
        state.ResumeTiming();
        f.History().Submit(zoom);
    }
    state.counters["qualified"] = static_cast<double>(f.table.GetNumberQualified());
}
BENCHMARK(SubmitZoom)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

// The scenario of the history on a file of the shared benchmark harness (gen_data.py; KORVALIN_BENCH_CSV names
// it): zoom in on 2 of the 5 regions, then on 10 of the 50 categories, back, forward, and 20 steps back over a
// query of 20 zooms (excluding one category each). The counters are milliseconds of processor time of each step
// (all threads), which a busy machine does not inflate as it does the wall-clock time.
namespace
{
// Milliseconds of processor time of the whole process (every thread) since a std::clock() reading: the work of a
// step, whatever else the machine runs.
double Milliseconds(std::clock_t since)
{
    return 1000.0 * static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

void HarnessScenario(benchmark::State& state)
{
    const char* path = std::getenv("KORVALIN_BENCH_CSV");
    if (!path)
    {
        state.SkipWithError("set KORVALIN_BENCH_CSV to a file made by gen_data.py");
        return;
    }
    static CTable table;
    static bool read = false;
    if (!read)
    {
        files::SOpenRequest request;
        request.m_bExplicitImport = true;
        files::ReadTable(table, path, request);
        read = true;
    }
    CTableSelection& selection = CTableSelection::Of(table);
    CCommandHistory& history = selection.GetHistory();
    CAttribute* region = table.FindAttribute(u"region");
    CAttribute* category = table.FindAttribute(u"category");
    if (!region || !category || category->GetNrOfValues() < 20)
    {
        state.SkipWithError("the file has no region and category columns");
        return;
    }
    auto select = [&](CAttribute* attribute, long first, long count) {
        selection.DeselectAllValues();
        for (long i = first; i < first + count; ++i)
            CAttributeSelection::Of(attribute).SelectValue(attribute->GetValue(i), nullptr, true);
    };
    double regions = 0, categories = 0, back = 0, forward = 0, back20 = 0;
    for (auto _ : state)
    {
        history.Submit(std::make_shared<CResetCommand>(&table));
        select(region, 0, 2);
        auto start = std::clock();
        selection.ZoomIn();
        regions = Milliseconds(start);
        select(category, 0, 10);
        start = std::clock();
        selection.ZoomIn();
        categories = Milliseconds(start);
        start = std::clock();
        history.GoBack();
        back = Milliseconds(start);
        start = std::clock();
        history.GoForward();
        forward = Milliseconds(start);
        history.Submit(std::make_shared<CResetCommand>(&table));
        for (long i = 0; i < 20; ++i)
        {
            select(category, i, 1);
            selection.Exclude();
        }
        start = std::clock();
        for (long i = 0; i < 20; ++i)
            history.GoBack();
        back20 = Milliseconds(start);
    }
    state.counters["zoom_regions_ms"] = regions;
    state.counters["zoom_categories_ms"] = categories;
    state.counters["back_ms"] = back;
    state.counters["forward_ms"] = forward;
    state.counters["back_20_ms"] = back20;
}
BENCHMARK(HarnessScenario)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
} // namespace
