// Benchmarks of the recompute of derived attributes over a table read from a CSV file: a chain of five
// expressions (each computed from the one before) and a classification of float1 into ten classes, recomputed
// through formula::CDerivedAttributes as a change of their input would recompute them; reported in
// milliseconds per recompute, with the table's UseMulticores option off and on.
//
//   KORVALIN_BENCH_CSV=/work/shared/bench/rows_1000000.csv build/bin/derived_bench
//   KORVALIN_ZOOM_CSV=rows_10000000.csv build/bin/derived_bench --benchmark_filter=SummaryAfterZoom
//
// The file needs the columns int1 and float1 of the peer benchmark's data; without KORVALIN_BENCH_CSV every
// benchmark stops with an error.

#include "bench/BenchTable.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "formula/DerivedAttributes.h"
#include "formula/DerivedDefinitions.h"
#include "formula/SummaryDefinition.h"
#include "selection/CommandHistory.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"
#include "options/OptionSet.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

namespace
{

// The table of KORVALIN_BENCH_CSV with the derived attributes defined, read once; null without the variable.
CTable* BenchTable()
{
    static const std::unique_ptr<CTable> table = []
    {
        const char* path = std::getenv("KORVALIN_BENCH_CSV");
        if (!path)
            return std::unique_ptr<CTable>();
        auto read = std::make_unique<CTable>();
        files::SOpenRequest request;
        request.m_bExplicitImport = true;
        files::ReadTable(*read, path, request);
        CTable& t = *read;
        auto define = [&t](const char16_t* name, std::unique_ptr<CAttributeDefinition> definition)
        {
            if (!definition)
                throw std::runtime_error("a formula does not compile: " + platform::ToUtf8(name));
            CAttribute* attribute =
                t.CreateNewAttribute(static_cast<AttributeType>(definition->GetKind()), false, name, nullptr, 16, true);
            attribute->SetDefinition(std::move(definition));
            attribute->GetDerivedState().m_bMustRecompute = true;
            // Computed at once, as the insert command does: the next formula is checked against its format.
            formula::CDerivedAttributes::Of(t).RecomputeDerivedAttributes(1, false, false);
        };
        formula::SFormulaStatus status;
        define(u"e1", formula::CExpressionDefinition::Create(t, u"[float1] * 2 + [int1]", status));
        define(u"e2", formula::CExpressionDefinition::Create(t, u"[e1] + 1", status));
        define(u"e3", formula::CExpressionDefinition::Create(t, u"[e2] / 3", status));
        define(u"e4", formula::CExpressionDefinition::Create(t, u"ROUND([e3], 1)", status));
        define(u"e5", formula::CExpressionDefinition::Create(t, u"[e4] - [float1]", status));
        CAttribute* float1 = t.FindAttribute(u"float1");
        if (!float1 || !t.FindAttribute(u"int1"))
            throw std::runtime_error("the file has no columns int1 and float1");
        std::vector<formula::CValueRange> classes;
        double low = float1->GetAbsoluteMinimum(), high = float1->GetAbsoluteMaximum();
        for (int k = 1; k < 10; ++k)
        {
            const KString bound = platform::FromUtf8(std::to_string(low + (high - low) * k / 10));
            classes.emplace_back(&t, float1, formula::RANGE_BELOW, bound, u"class " + platform::ToKString(k));
        }
        classes.emplace_back(&t, float1, formula::RANGE_ALWAYS, u"", u"class 10");
        define(u"classes", std::make_unique<formula::CClassificationDefinition>(float1, std::move(classes)));
        return read;
    }();
    return table.get();
}

// Arguments: what to recompute (0 the chain of expressions, 1 the classification), the multicore option.
void RecomputeDerived(benchmark::State& state)
{
    CTable* table = bench::TableOrSkip(state, BenchTable, "the CSV file to recompute over");
    if (!table)
        return;
    table->GetOptions().m_bUseMulticores = state.range(1) != 0;
    const bool chain = state.range(0) == 0;
    state.SetLabel(std::string(chain ? "chain of 5 expressions" : "classification into 10") +
                   (state.range(1) ? ", multicore" : ", one core"));
    formula::CDerivedAttributes& derived = formula::CDerivedAttributes::Of(*table);
    CAttribute* changed = table->FindAttribute(chain ? u"int1" : u"float1");
    for (auto _ : state)
    {
        if (chain)
            derived.InvalidateDerivedAttributes(changed, false);
        else
            table->FindAttribute(u"classes")->GetDerivedState().m_bOutdated = true;
        if (!derived.RecomputeDerivedAttributes(1, false, false))
            state.SkipWithError("nothing was recomputed");
    }
}

BENCHMARK(RecomputeDerived)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Milliseconds of processor time of the process since a std::clock() reading (the machine may be shared).
double Milliseconds(std::clock_t since)
{
    return 1000.0 * static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

// A summary after a zoom: the table of KORVALIN_ZOOM_CSV (read once; it needs region, category and float1) with
// the sum of float1 by category; North and East of region are zoomed in on through the history, which
// recomputes the summary over the records left. Reported: the zoom with its recompute, and the recompute of the
// summary alone over the zoomed records, in milliseconds of processor time (one core).
void SummaryAfterZoom(benchmark::State& state)
{
    const char* path = std::getenv("KORVALIN_ZOOM_CSV");
    if (!path)
    {
        state.SkipWithError("KORVALIN_ZOOM_CSV is not set (rows_10000000.csv of the peer benchmark)");
        return;
    }
    static COptionSet options;
    static CTable table(&options);
    static bool read = false;
    options.m_bUseMulticores = false;
    options.m_bWarnLongHistory = false;
    if (!read)
    {
        files::SOpenRequest request;
        request.m_bExplicitImport = true;
        files::ReadTable(table, path, request);
        read = true;
        formula::SSummaryDefinition definition{table.FindAttribute(u"float1"), table.FindAttribute(u"category"),
                                               formula::SUMMARY_SUM};
        if (!definition.pSummarised || !definition.pGrouping || !table.FindAttribute(u"region"))
        {
            state.SkipWithError("the file has no region, category and float1 columns");
            return;
        }
        CAttribute* summary = table.CreateNewAttribute(ATTR_SUMMARY, false, u"sum", nullptr, 64, true);
        summary->SetDefinition(std::make_unique<formula::CSummaryDefinition>(definition));
        summary->GetDerivedState().m_bMustRecompute = true;
        formula::CDerivedAttributes::Of(table).RecomputeDerivedAttributes(1, false, false);
    }
    CTableSelection& selection = CTableSelection::Of(table);
    CAttribute* region = table.FindAttribute(u"region");
    formula::CDerivedAttributes& derived = formula::CDerivedAttributes::Of(table);
    double zoom = 0, recompute = 0;
    for (auto _ : state)
    {
        selection.GetHistory().Submit(std::make_shared<CResetCommand>(&table));
        selection.DeselectAllValues();
        for (const char16_t* name : {u"North", u"East"})
            CAttributeSelection::Of(*region).SelectValue(region->FindValue(name), nullptr, true);
        std::clock_t start = std::clock();
        selection.ZoomIn();
        zoom = Milliseconds(start);
        derived.InvalidateSummaries();
        start = std::clock();
        derived.RecomputeDerivedAttributes(1, false, false);
        recompute = Milliseconds(start);
    }
    state.counters["zoom_with_recompute_ms"] = zoom;
    state.counters["summary_recompute_ms"] = recompute;
    state.counters["records_left"] = static_cast<double>(table.GetShownRecords().GetSize());
}

BENCHMARK(SummaryAfterZoom)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
