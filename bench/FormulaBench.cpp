// Benchmarks of expression attributes: the values of a formula computed for every record of a table read from
// a CSV file, as `korvalin run expression` computes them (formula::ComputeExpressionAttribute), reported as
// nanoseconds per record, once with the table's UseMulticores option off and once on.
//
//   KORVALIN_BENCH_CSV=/tmp/peer-bench/data/rows_1000000.csv build/bin/formula_bench
//
// The file needs the columns of the peer benchmark's data (region, category, city, customer, int1, float1);
// without KORVALIN_BENCH_CSV every benchmark stops with an error.

#include "bench/BenchTable.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "formula/ExpressionAttribute.h"
#include "options/OptionSet.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

namespace
{

// The formulas, by the benchmark's first argument. The second is the T4 text column of the peer benchmark:
// undefined where region or category is (a + alone keeps the defined side).
const char16_t* const kFormulas[] = {
    u"[float1]*2 + [int1]",
    u"IF(UNDEFINED([region]) or UNDEFINED([category]), \"\", [region] + \"-\" + [category])",
    u"LEFT([customer], 3) + \"-\" + UPPER([city])",
};
const char* const kLabels[] = {"float1*2+int1", "region-category", "LEFT(customer,3)-UPPER(city)"};

// The table of KORVALIN_BENCH_CSV, read once; null without the variable. Throws when the file cannot be read.
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
        return read;
    }();
    return table.get();
}

// Arguments: the formula's index, the multicore option (0 off, 1 on).
void ExpressionAttribute(benchmark::State& state)
{
    CTable* table = bench::TableOrSkip(state, BenchTable, "the CSV file to compute the formulas over");
    if (!table)
        return;
    const auto which = static_cast<size_t>(state.range(0));
    table->GetOptions().m_bUseMulticores = state.range(1) != 0;
    state.SetLabel(std::string(kLabels[which]) + (state.range(1) ? ", multicore" : ", one core"));
    const long records = table->GetRecordCount();
    double seconds = 0;
    for (auto _ : state)
    {
        CAttribute* attribute = table->CreateNewAttribute(ATTR_EXPRESSION, false, u"bench", nullptr, 16, true);
        const auto start = std::chrono::steady_clock::now();
        const formula::SFormulaStatus status = formula::ComputeExpressionAttribute(*table, *attribute, kFormulas[which]);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        benchmark::DoNotOptimize(attribute->GetNrOfValues());
        table->DeleteAttribute(attribute);
        if (!status.IsOk())
        {
            state.SkipWithError(("the formula does not compile: " + platform::ToUtf8(status.strMessage)).c_str());
            break;
        }
    }
    state.counters["records"] = static_cast<double>(records);
    if (state.iterations() > 0 && records > 0)
        state.counters["ns_per_record"] = seconds * 1e9 / (static_cast<double>(state.iterations()) * records);
    table->GetOptions().m_bUseMulticores = true;
}
BENCHMARK(ExpressionAttribute)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
