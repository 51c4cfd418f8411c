// Benchmarks of the formats and the collation:
//  1. the format analysis of a 1-million-record table of 12 attributes (the shared benchmark data,
//     rows_1000000.csv): reading the file, loading it into a table, guessing the formats alone, checking the
//     values against them, and the whole AnalyzeTable (guess, check, sort); reading a million dates with times,
//     amounts or whole numbers with one format (no data file needed);
//  2. comparing and sorting 1 million distinct texts in the table's collation (direct weight-table calls,
//     CompareStrings) against ICU (sort keys, and the collator's own comparison).
//
//   KORVALIN_BENCH_DATA=/tmp/peer-bench/data/rows_1000000.csv build/bin/format_bench
//
// The data file is made with the shared generator (python3 gen_data.py in a copy of the shared bench folder).

#include "engine/Collation.h"
#include "engine/FormatRegistry.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{
std::string DataPath()
{
    const char* path = std::getenv("KORVALIN_BENCH_DATA");
    return path ? path : "/tmp/peer-bench/data/rows_1000000.csv";
}

// The whole file, or empty when it cannot be read.
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Calls cell(column, text) for every cell of a line and returns the position after the line. A simple split on
// commas that honours double quotes ("" inside quotes is one quote), enough for the generated data.
template <class Cell> size_t SplitLine(const std::string& data, size_t at, const Cell& cell)
{
    std::string text;
    int column = 0;
    bool quoted = false;
    while (at < data.size())
    {
        const char c = data[at++];
        if (quoted)
        {
            if (c == '"' && at < data.size() && data[at] == '"')
            {
                text += '"';
                ++at;
            }
            else if (c == '"')
            {
                quoted = false;
            }
            else
            {
                text += c;
            }
            continue;
        }
        if (c == '"')
        {
            quoted = true;
        }
        else if (c == ',')
        {
            cell(column++, text);
            text.clear();
        }
        else if (c == '\n')
        {
            break;
        }
        else
        {
            text += c;
        }
    }
    cell(column, text);
    return at;
}

// Loads the CSV into a new table: one attribute per column, one record per line.
std::unique_ptr<CTable> LoadTable(const std::string& data, COptionSet& options)
{
    auto table = std::make_unique<CTable>(&options);
    std::vector<CAttribute*> attributes;
    size_t at = SplitLine(data, 0,
                          [&](int, const std::string& name)
                          {
                              attributes.push_back(table->CreateNewAttribute(
                                  ATTR_NORMAL, false, platform::FromUtf8(name), nullptr, 1000, true));
                          });
    while (at < data.size())
    {
        CRecord* record = table->AddRecord();
        at = SplitLine(data, at,
                       [&](int column, const std::string& text)
                       {
                           if (column < static_cast<int>(attributes.size()))
                               attributes[column]->AddValue(record, platform::FromUtf8(text));
                       });
    }
    return table;
}

struct SLoadedData
{
    std::string strData;           // the file
    COptionSet options;            // English, multicores as set
    std::unique_ptr<CTable> table; // loaded once, for the guessing and checking benchmarks
};

SLoadedData& Data()
{
    static SLoadedData data = []
    {
        SLoadedData loaded;
        loaded.strData = ReadFile(DataPath());
        loaded.options.m_nLanguage = 1033;
        if (!loaded.strData.empty())
            loaded.table = LoadTable(loaded.strData, loaded.options);
        return loaded;
    }();
    return data;
}

void ReadCsvFile(benchmark::State& state)
{
    size_t bytes = 0;
    for (auto _ : state)
    {
        const std::string data = ReadFile(DataPath());
        if (data.empty())
        {
            state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
            return;
        }
        bytes = data.size();
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}
BENCHMARK(ReadCsvFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void LoadCsvIntoTable(benchmark::State& state)
{
    SLoadedData& data = Data();
    if (data.strData.empty())
    {
        state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
        return;
    }
    for (auto _ : state)
    {
        std::unique_ptr<CTable> table = LoadTable(data.strData, data.options);
        benchmark::DoNotOptimize(table.get());
        state.counters["records"] = static_cast<double>(table->GetRecordCount());
    }
}
BENCHMARK(LoadCsvIntoTable)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The guessing of all 12 attributes alone (sampling about 400 values each and trying the candidates), with the
// formats of the argument's language (1033 English, 1031 German: the German family, then English, then the others).
void GuessFormats(benchmark::State& state)
{
    SLoadedData& data = Data();
    if (!data.table)
    {
        state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
        return;
    }
    CTable& table = *data.table;
    CFormatRegistry& registry = table.GetFormatRegistry();
    const int languageId = registry.GetLanguageId();
    registry.SetLanguage(static_cast<int>(state.range(0)));
    for (auto _ : state)
    {
        for (long i = 0; i < table.GetAttributeCount(); ++i)
            table.FindAttributeFromIndex(i)->GuessFormat();
    }
    registry.SetLanguage(languageId);
    std::string formats;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
        formats += platform::ToUtf8(table.FindAttributeFromIndex(i)->GetFormatString()) + ";";
    state.SetLabel(formats);
}
BENCHMARK(GuessFormats)->Arg(1033)->Arg(1031)->Unit(benchmark::kMillisecond)->UseRealTime();

// Checking every distinct value of all 12 attributes against the guessed formats.
void CheckFormats(benchmark::State& state)
{
    SLoadedData& data = Data();
    if (!data.table)
    {
        state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
        return;
    }
    CTable& table = *data.table;
    data.options.m_bUseMulticores = state.range(0) != 0;
    long values = 0;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        table.FindAttributeFromIndex(i)->GuessFormat();
        values += table.FindAttributeFromIndex(i)->GetNrOfValues();
    }
    for (auto _ : state)
        table.CheckAllFormats(false, true);
    data.options.m_bUseMulticores = true;
    state.counters["values"] = static_cast<double>(values);
}
BENCHMARK(CheckFormats)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading a million texts with one format, as the check at import reads the values of a column: arg 0 dates
// with times ("yyyy-mm-dd hh:mm:ss"), 1 amounts with cents ("####."), 2 whole numbers ("####").
void ReadValuesOfFormat(benchmark::State& state)
{
    static const char* const kFormats[] = {"yyyy-mm-dd hh:mm:ss", "####.", "####"};
    const int kind = static_cast<int>(state.range(0));
    COptionSet options;
    options.m_nLanguage = 1033;
    CTable table(&options);
    CFormatRegistry& registry = table.GetFormatRegistry();
    const KString format = platform::FromUtf8(kFormats[kind]);
    registry.AddFormatIfNew(format);
    const int id = registry.GetFormatID(format);
    std::mt19937 random(8);
    std::vector<KString> texts;
    for (int i = 0; i < 1'000'000; ++i)
    {
        char text[40];
        const unsigned r = random();
        if (kind == 0)
            std::snprintf(text, sizeof text, "20%02u-%02u-%02u %02u:%02u:%02u", r % 25, 1 + (r >> 5) % 12,
                          1 + (r >> 9) % 28, (r >> 14) % 24, (r >> 19) % 60, (r >> 25) % 60);
        else if (kind == 1)
            std::snprintf(text, sizeof text, "%d.%02u", static_cast<int>(r % 2000000) - 1000000, (r >> 21) % 100);
        else
            std::snprintf(text, sizeof text, "%d", static_cast<int>(r % 2000000) - 1000000);
        texts.push_back(platform::FromUtf8(text));
    }
    double sum = 0;
    for (auto _ : state)
    {
        for (const KString& text : texts)
            sum += registry.ReadNumber(id, text);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}
BENCHMARK(ReadValuesOfFormat)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The whole analysis of a freshly loaded table: guess, check, compute numbers and sort every attribute.
void AnalyzeFreshTable(benchmark::State& state)
{
    SLoadedData& data = Data();
    if (data.strData.empty())
    {
        state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
        return;
    }
    for (auto _ : state)
    {
        state.PauseTiming();
        std::unique_ptr<CTable> table = LoadTable(data.strData, data.options);
        state.ResumeTiming();
        table->AnalyzeTable();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(AnalyzeFreshTable)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The same analysis in its three phases, each reported in milliseconds: guessing (sampling and candidates),
// checking (reading every distinct value's number), sorting (ordering and renumbering the distinct values).
void AnalyzePhases(benchmark::State& state)
{
    SLoadedData& data = Data();
    if (data.strData.empty())
    {
        state.SkipWithError("no data file: set KORVALIN_BENCH_DATA");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double guess = 0, check = 0, sort = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        std::unique_ptr<CTable> table = LoadTable(data.strData, data.options);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        table->CheckAllFormats(true, false);
        const auto t1 = Clock::now();
        table->CheckAllFormats(false, true);
        const auto t2 = Clock::now();
        for (long i = 0; i < table->GetAttributeCount(); ++i)
        {
            CAttribute* attribute = table->FindAttributeFromIndex(i);
            const auto start = Clock::now();
            attribute->RecomputeMultipleValueFlag();
            attribute->RecomputeSortedValues();
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            state.counters["sort_" + platform::ToUtf8(attribute->GetName())] += ms / 2;
        }
        const auto t3 = Clock::now();
        guess += std::chrono::duration<double, std::milli>(t1 - t0).count();
        check += std::chrono::duration<double, std::milli>(t2 - t1).count();
        sort += std::chrono::duration<double, std::milli>(t3 - t2).count();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["guess_ms"] = guess / n;
    state.counters["check_ms"] = check / n;
    state.counters["sort_ms"] = sort / n;
}
BENCHMARK(AnalyzePhases)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// ---- collation ----

// 1 million distinct texts: the customer names of the data file, topped up with made-up names.
const std::vector<KString>& DistinctTexts()
{
    static const std::vector<KString> texts = []
    {
        std::vector<KString> all;
        const std::string& data = Data().strData;
        size_t at = data.empty() ? 0 : SplitLine(data, 0, [](int, const std::string&) {});
        while (at < data.size())
        {
            at = SplitLine(data, at,
                           [&](int column, const std::string& text)
                           {
                               if (column == 4 && !text.empty())
                                   all.push_back(platform::FromUtf8(text));
                           });
        }
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        std::mt19937 random(7);
        const char16_t* syllables[] = {u"ka", u"L\u00f6", u"ber", u"Sch", u"\u00e4n", u"ti", u"Mo", u"ru"};
        for (long i = 0; all.size() < 1000000; ++i)
        {
            KString name;
            for (int k = 0; k < 4; ++k)
                name += syllables[random() % 8];
            all.push_back(name + u" " + platform::ToKString(i));
        }
        std::shuffle(all.begin(), all.end(), random);
        return all;
    }();
    return texts;
}

std::vector<uint32_t> RandomPartners(size_t n)
{
    std::vector<uint32_t> partners(n);
    std::iota(partners.begin(), partners.end(), 0u);
    std::shuffle(partners.begin(), partners.end(), std::mt19937(11));
    return partners;
}

struct SCollatorCloser
{
    void operator()(UCollator* collator) const { ucol_close(collator); }
};

std::unique_ptr<UCollator, SCollatorCloser> OpenGermanCollator()
{
    UErrorCode status = U_ZERO_ERROR;
    return std::unique_ptr<UCollator, SCollatorCloser>(ucol_open("de_DE", &status));
}

std::vector<std::string> IcuSortKeys(const std::vector<KString>& texts, UCollator* collator)
{
    std::vector<std::string> keys(texts.size());
    std::vector<uint8_t> buffer(512);
    for (size_t i = 0; i < texts.size(); ++i)
    {
        const KString& text = texts[i];
        const int32_t length =
            ucol_getSortKey(collator, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                            buffer.data(), static_cast<int32_t>(buffer.size()));
        keys[i].assign(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(std::max(length - 1, 0)));
    }
    return keys;
}

// One comparison of each text with a random partner, by the table's weight tables (primary, then secondary).
void CompareWithCollationTables(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const std::vector<uint32_t> partners = RandomPartners(texts.size());
    const CCollation& collation = CCollation::ForLanguage(1031);
    for (auto _ : state)
    {
        long sum = 0;
        for (size_t i = 0; i < texts.size(); ++i)
            sum += collation.Compare(texts[i].c_str(), texts[partners[i]].c_str());
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(texts.size() * state.iterations()));
}
BENCHMARK(CompareWithCollationTables)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same comparisons on ICU sort keys made beforehand (the keys' making is timed in MakeIcuSortKeys).
void CompareIcuSortKeys(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const std::vector<uint32_t> partners = RandomPartners(texts.size());
    const auto collator = OpenGermanCollator();
    const std::vector<std::string> keys = IcuSortKeys(texts, collator.get());
    for (auto _ : state)
    {
        long sum = 0;
        for (size_t i = 0; i < texts.size(); ++i)
            sum += keys[i].compare(keys[partners[i]]) < 0 ? -1 : 1;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(texts.size() * state.iterations()));
}
BENCHMARK(CompareIcuSortKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

void MakeIcuSortKeys(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const auto collator = OpenGermanCollator();
    for (auto _ : state)
        benchmark::DoNotOptimize(IcuSortKeys(texts, collator.get()).data());
    state.SetItemsProcessed(static_cast<int64_t>(texts.size() * state.iterations()));
}
BENCHMARK(MakeIcuSortKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

// The collator's own comparison of two strings, without keys.
void CompareIcuStrcoll(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const std::vector<uint32_t> partners = RandomPartners(texts.size());
    const auto collator = OpenGermanCollator();
    for (auto _ : state)
    {
        long sum = 0;
        for (size_t i = 0; i < texts.size(); ++i)
        {
            const KString& a = texts[i];
            const KString& b = texts[partners[i]];
            sum +=
                ucol_strcoll(collator.get(), reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
                             reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(texts.size() * state.iterations()));
}
BENCHMARK(CompareIcuStrcoll)->Unit(benchmark::kMillisecond)->UseRealTime();

// Sorting 1 million texts with one sequential sort: the weight tables, and ICU sort keys (made inside the timing).
void SortWithCollationTables(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const CCollation& collation = CCollation::ForLanguage(1031);
    for (auto _ : state)
    {
        std::vector<uint32_t> order(texts.size());
        std::iota(order.begin(), order.end(), 0u);
        long comparisons = 0;
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b)
                  {
                      ++comparisons;
                      return collation.Compare(texts[a].c_str(), texts[b].c_str()) < 0;
                  });
        benchmark::DoNotOptimize(order.data());
        state.counters["comparisons"] = static_cast<double>(comparisons);
    }
}
BENCHMARK(SortWithCollationTables)->Unit(benchmark::kMillisecond)->UseRealTime();

void SortWithIcuSortKeys(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    const auto collator = OpenGermanCollator();
    for (auto _ : state)
    {
        const std::vector<std::string> keys = IcuSortKeys(texts, collator.get());
        std::vector<uint32_t> order(texts.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(SortWithIcuSortKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

// The engine's own sort of an attribute's 1 million distinct values (parallel quicksort, renumbering).
void SortAttributeValues(benchmark::State& state)
{
    const std::vector<KString>& texts = DistinctTexts();
    COptionSet options;
    options.m_nLanguage = 1031;
    options.m_bUseMulticores = state.range(0) != 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        CTable table(&options);
        CAttribute* attribute =
            table.CreateNewAttribute(ATTR_NORMAL, false, u"Customer", nullptr, static_cast<long>(texts.size()), true);
        for (const KString& text : texts)
            attribute->AddValue(table.AddRecord(), text);
        table.GetCollation();
        state.ResumeTiming();
        attribute->RecomputeSortedValues();
        state.PauseTiming();
        benchmark::DoNotOptimize(attribute->GetValue(0));
        state.ResumeTiming();
    }
}
BENCHMARK(SortAttributeValues)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Building the weight tables of one language from ICU (done once per language and process).
void BuildCollationTables(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(CCollation::Build(1031).get());
}
BENCHMARK(BuildCollationTables)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
} // namespace
