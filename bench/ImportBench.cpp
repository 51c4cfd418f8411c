// Benchmarks of text import and export: the full read of a delimited file (decoding, cells, values stored,
// formats guessed by the table analysis), the scan of its cells alone, and the export of the qualified part of it.
//
//   KORVALIN_BENCH_CSV=/tmp/peer-bench/data/rows_1000000.csv build/bin/import_bench
//
// Without KORVALIN_BENCH_CSV a file of 200 000 records shaped like the peer benchmark's data (12 columns:
// ids, a few categories, names with commas and quotes, integers, decimals, dates) is made in memory.

#include "engine/Table.h"
#include "exchange/BulkReader.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextExporter.h"
#include "exchange/TextImporter.h"
#include "platform/FileSystem.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{

std::string MakeSyntheticCsv(long records)
{
    static const char* const kRegions[] = {"North", "East", "South", "West", "Central"};
    std::mt19937 random(20240601);
    std::string csv = "id,region,category,city,customer,int1,int2,float1,float2,float3,date,datetime\n";
    char line[512];
    for (long i = 1; i <= records; ++i)
    {
        const unsigned r = random();
        const char* quoteName = (r % 1000 == 0) ? "\"Al \"\"be\"\" Do\"" : ((r % 997 == 0) ? "\"Do, Al\"" : "Al Do");
        std::snprintf(line, sizeof line,
                      "%ld,%s,Cat %u,\"City, %u\",%s %u,%u,%d,%u.%02u,%d.%02u,0.%02u,20%02u-%02u-%02u,"
                      "20%02u-%02u-%02u %02u:%02u:%02u\n",
                      i, kRegions[r % 5], r % 50, r % 1000, quoteName, r % 1000000, r % 1000,
                      static_cast<int>(r % 2000001) - 1000000, r % 10000, r % 100, static_cast<int>(r % 2000) - 1000,
                      (r >> 3) % 100, (r >> 5) % 100, (r >> 7) % 25, 1 + (r >> 9) % 12, 1 + (r >> 11) % 28,
                      (r >> 13) % 25, 1 + (r >> 15) % 12, 1 + (r >> 17) % 28, (r >> 19) % 24, (r >> 21) % 60,
                      (r >> 23) % 60);
        csv += line;
    }
    return csv;
}

const std::string& BenchInput()
{
    static const std::string input = []
    {
        const char* path = std::getenv("KORVALIN_BENCH_CSV");
        return path ? platform::ReadWholeFile(path) : MakeSyntheticCsv(200000);
    }();
    return input;
}

CImportSettings CsvSettings()
{
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    return settings;
}

// The whole read: values stored and formats guessed.
void FullRead(benchmark::State& state)
{
    const std::string& input = BenchInput();
    for (auto _ : state)
    {
        CTable table;
        exchange::CTextImporter(table).ReadBytes(input, u"bench.csv", CsvSettings(), {});
        benchmark::DoNotOptimize(table.GetRecordCount());
        state.counters["records"] = static_cast<double>(table.GetRecordCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(FullRead)->Unit(benchmark::kMillisecond)->Iterations(3);

// The scan alone, on one core: the decoded text cut into cells by column, piece after piece, as the bulk read
// does before it stores anything.
void ScanCells(benchmark::State& state)
{
    exchange::CUtf16Buffer text;
    (void)exchange::DecodeUtf8(BenchInput(), text, false);
    exchange::SCellRules rules;
    rules.m_cDelimiter = u',';
    std::vector<exchange::SScannedChunk> chunks;
    size_t cells = 0;
    for (auto _ : state)
    {
        cells = 0;
        for (size_t at = 0; at < text.Size();)
        {
            exchange::ScanPiece(text.Data(), at, text.Size(), size_t{4} << 20, size_t{1} << 20, rules, false, chunks);
            if (chunks.empty())
                break;
            for (const exchange::SScannedChunk& chunk : chunks)
                cells += static_cast<size_t>(chunk.GetRecordCount()) * chunk.m_nColumns;
            at = chunks.back().m_nEnd;
        }
        benchmark::DoNotOptimize(cells);
    }
    state.counters["cells"] = static_cast<double>(cells);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.Size() * sizeof(char16_t)));
}
BENCHMARK(ScanCells)->Unit(benchmark::kMillisecond);

// Export of about half the records (those whose second column is North or East), as the peers' T7 does.
void ExportQualified(benchmark::State& state)
{
    const std::string& input = BenchInput();
    CTable table;
    exchange::CTextImporter(table).ReadBytes(input, u"bench.csv", CsvSettings(), {});
    CAttribute* region = table.FindAttributeFromIndex(1);
    long qualified = 0;
    for (long i = 0; i < table.GetRecordCount(); ++i)
    {
        CRecord* record = table.GetRecord(i);
        const KString value = region->GetFieldText(record);
        record->m_bQualified = (value == u"North" || value == u"East") ? 1 : 0;
        qualified += record->m_bQualified;
    }
    exchange::SExportOptions options;
    options.m_bAllRecords = false;
    size_t bytes = 0;
    for (auto _ : state)
    {
        const std::string text = exchange::MakeExportText(table, options);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["records"] = static_cast<double>(qualified);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(ExportQualified)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
