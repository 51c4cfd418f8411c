// Benchmarks of going back through the history on 1 million records: a query of n zooms (n = 1 ... 20, each
// excluding one value of one of five attributes) is built, then the last zoom is gone back over. With
// checkpoints (fast=1) the state after zoom n - 1 is restored; without (fast=0) the table is reset and the
// n - 1 zooms before it are executed again.
//
//   build/bin/history_bench --benchmark_counters_tabular=true

#include "engine/Set.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "selection/CommandHistory.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <benchmark/benchmark.h>

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
