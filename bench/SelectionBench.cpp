// Benchmarks of qualification on 10 million records: re-evaluating after a new
// restriction, releasing a restriction, and counting selected records.
//
//   build/bin/selection_bench --benchmark_counters_tabular=true

#include "engine/Set.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace
{
constexpr long kRecords = 10'000'000;

// One table of 10 million records with an attribute of 1000 distinct values, shared by all benchmarks.
struct SFixture
{
    COptionSet options;
    CTable table{&options};
    CAttribute* attribute = nullptr;

    SFixture()
    {
        attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 1000, true);
        std::vector<std::u16string> names;
        for (int i = 0; i < 1000; ++i)
            names.push_back(u"v" + platform::ToKString(i));
        std::mt19937 random(9);
        for (long i = 0; i < kRecords; ++i)
            attribute->AddValue(table.AddRecord(), names[random() % 1000]);
        table.AnalyzeTable();
    }

    std::unique_ptr<CSet> Values(int count)
    {
        auto set = std::make_unique<CSet>();
        for (int i = 0; i < count; ++i)
            set->AddTail(attribute->FindValue(u"v" + platform::ToKString(i * 97 % 1000)));
        return set;
    }

    CAttributeSelection& Sel() { return CAttributeSelection::Of(attribute); }
    CQualification& Qual() { return CTableSelection::Of(table).GetQualification(); }

    void ReleaseAll()
    {
        Sel().ReleaseRestrictions();
        Qual().Reevaluate();
    }
};

SFixture& Fixture()
{
    static SFixture fixture;
    return fixture;
}

void NewRestriction(benchmark::State& state)
{
    SFixture& f = Fixture();
    f.options.m_bUseMulticores = state.range(0) != 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        f.ReleaseAll();
        f.Sel().AddRestriction(CSetAttributeCommand::MakeValueSet(f.attribute, f.Values(2)));
        state.ResumeTiming();
        f.Qual().Reevaluate(); // only the shown records are tested
    }
    state.counters["ns_per_record"] = benchmark::Counter(static_cast<double>(kRecords) * state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["qualified"] = static_cast<double>(f.table.GetNumberQualified());
    f.ReleaseAll();
}
BENCHMARK(NewRestriction)->Arg(0)->Arg(1)->ArgNames({"parallel"})->Unit(benchmark::kMillisecond)->UseRealTime();

void ReleaseRestriction(benchmark::State& state)
{
    SFixture& f = Fixture();
    f.options.m_bUseMulticores = state.range(0) != 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        f.Sel().AddRestriction(CSetAttributeCommand::MakeValueSet(f.attribute, f.Values(2)));
        f.Qual().Reevaluate();
        state.ResumeTiming();
        f.Sel().ReleaseRestrictions();
        f.Qual().Reevaluate(); // a pass over all records
    }
    state.counters["ns_per_record"] = benchmark::Counter(static_cast<double>(kRecords) * state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ReleaseRestriction)->Arg(0)->Arg(1)->ArgNames({"parallel"})->Unit(benchmark::kMillisecond)->UseRealTime();

void CountSelected(benchmark::State& state)
{
    SFixture& f = Fixture();
    f.options.m_bUseMulticores = state.range(0) != 0;
    long count = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        f.Sel().SelectValues(f.Values(10));
        state.ResumeTiming();
        f.Sel().CountSelectedRecordsIfNecessary();
        count = f.Sel().GetSelectedRecordCount();
    }
    state.counters["selected"] = static_cast<double>(count);
    state.counters["ns_per_record"] = benchmark::Counter(static_cast<double>(kRecords) * state.iterations(),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    CTableSelection::Of(f.table).DeselectAllValues();
}
BENCHMARK(CountSelected)->Arg(0)->Arg(1)->ArgNames({"parallel"})->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
