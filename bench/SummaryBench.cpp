// Benchmarks of summary attributes: a summary of a numeric attribute grouped by a text attribute of 50 values
// over a table of a million records (amounts with two decimals, mostly distinct; 2 % of both undefined), made
// once, as formula::RecomputeSummary computes it for the recompute of derived attributes. Reported as
// nanoseconds per record.
//
//   build/bin/summary_bench

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "formula/Summary.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>

namespace
{

constexpr long kRecords = 1000000;

struct SBenchTable
{
    CTable table;
    CAttribute* amount = nullptr;
    CAttribute* category = nullptr;
};

SBenchTable& BenchTable()
{
    static const std::unique_ptr<SBenchTable> t = []
    {
        platform::TuneHeapForLargeTables(); // as the korvalin command does
        auto made = std::make_unique<SBenchTable>();
        CTable& table = made->table;
        CAttribute* key = table.CreateNewAttribute(ATTR_NORMAL, false, u"id", nullptr, kRecords, true);
        key->SetFormatString(u"####");
        made->amount = table.CreateNewAttribute(ATTR_NORMAL, false, u"amount", nullptr, kRecords, true);
        made->amount->SetFormatString(u"####.00");
        made->category = table.CreateNewAttribute(ATTR_NORMAL, false, u"category", nullptr, 64, true);
        std::mt19937 random(20240601);
        char buffer[32];
        for (long i = 0; i < kRecords; ++i)
        {
            CRecord* record = table.AddRecord();
            key->AddValue(record, platform::ToKString(i + 1));
            const bool undefined = random() % 50 == 0;
            std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(random() % 1000000) / 100);
            made->amount->AddValue(record, undefined ? KString() : platform::FromUtf8(buffer));
            made->category->AddValue(record, random() % 50 == 0 ? KString()
                                                                : u"category " + platform::ToKString(random() % 50));
        }
        table.AnalyzeTable();
        return made;
    }();
    return *t;
}

// Argument: the summary function.
void RecomputeSummaryOfAmountByCategory(benchmark::State& state)
{
    SBenchTable& t = BenchTable();
    const auto function = static_cast<int32_t>(state.range(0));
    formula::SSummaryDefinition definition{t.amount, t.category, function};
    state.SetLabel(formula::GetSummaryFunctionVerb(function).data());
    CAttribute* summary = t.table.CreateNewAttribute(ATTR_SUMMARY, false, u"summary", nullptr, 64, true);
    summary->SetFormatString(formula::ProposeSummaryFormat(definition));
    for (auto _ : state)
        formula::RecomputeSummary(t.table, *summary, definition);
    t.table.DeleteAttribute(summary);
    state.counters["ns/record"] = benchmark::Counter(
        static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(RecomputeSummaryOfAmountByCategory)
    ->Arg(formula::SUMMARY_SUM)
    ->Arg(formula::SUMMARY_AVERAGE)
    ->Arg(formula::SUMMARY_MEDIAN)
    ->Arg(formula::SUMMARY_LIST)
    ->Arg(formula::SUMMARY_ACCUMULATION)
    ->Arg(formula::SUMMARY_RANKING)
    ->Unit(benchmark::kMillisecond);

} // namespace
