// Benchmarks of the table document: appending and reading values through an attribute, storing cells in bulk
// (looked up or appended), merging appended values, and sorting distinct values sequentially and in parallel.
//
//   build/bin/table_bench --benchmark_counters_tabular=true

#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{
// The heap keeps large blocks as the korvalin command's does: freed tables are not mapped afresh.
const bool g_bHeapTuned = (platform::TuneHeapForLargeTables(), true);

std::vector<std::u16string> MakeTexts(long count, uint32_t seed)
{
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<size_t>(count));
    std::mt19937 random(seed);
    for (long i = 0; i < count; ++i)
        texts.push_back(u"value-" + platform::ToKString(random() % 100000000) + u"-" + platform::ToKString(i));
    return texts;
}

// Cells one after the other in one buffer with room after the last, as a read's scan leaves them: each may be
// read kReadable units beyond its end.
struct SCellBuffer
{
    static constexpr size_t kReadable = 32;

    template <typename Texts> explicit SCellBuffer(const Texts& texts)
    {
        std::vector<size_t> ends;
        for (const auto& text : texts)
            ends.push_back((buffer += text).size());
        buffer.append(kReadable, u' ');
        for (size_t i = 0, begin = 0; i < ends.size(); begin = ends[i++])
            cells.emplace_back(buffer.data() + begin, ends[i] - begin);
    }

    std::u16string buffer;
    std::vector<KStringView> cells;
};

// A table of count records and an empty attribute "A" whose hash expects values, as a read makes them.
struct SRecordsAndColumn
{
    SRecordsAndColumn(long count, long values) : records(static_cast<size_t>(count))
    {
        table.AddRecords(records.size(), records.data());
        attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, values, true);
    }

    CTable table;
    std::vector<CRecord*> records;
    CAttribute* attribute = nullptr;
};

// 10 million values from 1000 distinct ones, in runs of equal values (as a sorted import delivers them)
// or in random order; then every record's value is read back.
void AppendAndRead(benchmark::State& state)
{
    const long records = 10'000'000;
    const bool runs = state.range(0) != 0;
    const std::vector<std::u16string> distinct = MakeTexts(1000, 1);
    std::vector<uint16_t> pick(static_cast<size_t>(records));
    std::mt19937 random(2);
    for (long i = 0; i < records; ++i)
        pick[i] = static_cast<uint16_t>(runs ? (i / (records / 1000)) % 1000 : random() % 1000);
    double appendSeconds = 0;
    double readSeconds = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        CTable table;
        for (long i = 0; i < records; ++i)
            table.AddRecord();
        CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 1000, true);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < records; ++i)
            attribute->AddValue(table.GetRecord(i), distinct[pick[i]]);
        auto middle = std::chrono::steady_clock::now();
        size_t checksum = 0;
        for (long i = 0; i < records; ++i)
            checksum += static_cast<size_t>(attribute->GetFieldValueIndex(table.GetRecord(i)));
        auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(checksum);
        appendSeconds += std::chrono::duration<double>(middle - start).count();
        readSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["append_ns_per_value"] = appendSeconds / iterations / records * 1e9;
    state.counters["read_ns_per_value"] = readSeconds / iterations / records * 1e9;
}
BENCHMARK(AppendAndRead)->Arg(1)->Arg(0)->ArgNames({"runs"})->Unit(benchmark::kMillisecond)->Iterations(1);

// Storing 1 million cells through the bulk lookup, as a read stores a column with few distinct values: the
// argument is the number of distinct texts (region names, cities, dates); the records exist already, and the
// cells lie one after the other as a read's scan leaves them.
void AddValuesInBulk(benchmark::State& state)
{
    const long records = 1'000'000;
    const long distinct = state.range(0);
    const std::vector<std::u16string> texts = MakeTexts(distinct, 9);
    std::vector<KStringView> picked(static_cast<size_t>(records));
    std::mt19937 random(10);
    for (KStringView& cell : picked)
        cell = texts[random() % static_cast<size_t>(distinct)];
    const SCellBuffer cells(picked);
    for (auto _ : state)
    {
        state.PauseTiming();
        SRecordsAndColumn made(records, distinct);
        made.attribute->Reserve(records, distinct);
        state.ResumeTiming();
        made.attribute->GetValues().AddValues(made.records.data(), cells.cells.data(), cells.cells.size(),
                                              platform::CTextPadding(SCellBuffer::kReadable));
        benchmark::DoNotOptimize(made.attribute->GetNrOfValues());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * records));
}
BENCHMARK(AddValuesInBulk)->Arg(6)->Arg(1000)->Arg(10000)->ArgNames({"distinct"})->Unit(benchmark::kMillisecond);

// Sorting 1 million distinct texts or numbers in the table's order (the sort of the distinct values alone).
void SortDistinctValues(benchmark::State& state)
{
    const bool parallel = state.range(0) != 0;
    const bool numbers = state.range(1) != 0;
    const long count = 1'000'000;
    CTable table;
    CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, count, true);
    if (numbers)
    {
        // Amounts with cents, as a column of prices or measures.
        attribute->SetFormat(u"####.##");
        std::mt19937_64 random(5);
        while (attribute->GetNrOfValues() < count)
        {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", static_cast<double>(random() % 200'000'000) / 100.0 - 1e6);
            attribute->AddValue(nullptr, platform::FromUtf8(text));
        }
    }
    else
    {
        for (const auto& text : MakeTexts(count, 3))
            attribute->AddValue(nullptr, text);
    }
    std::vector<uint32_t> order(static_cast<size_t>(count));
    for (auto _ : state)
    {
        state.PauseTiming();
        for (long i = 0; i < count; ++i)
            order[i] = static_cast<uint32_t>(i);
        state.ResumeTiming();
        attribute->GetValues().SortValueIndices(order, parallel);
        benchmark::DoNotOptimize(order.data());
    }
    state.counters["values"] = static_cast<double>(count);
}
BENCHMARK(SortDistinctValues)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"parallel", "numbers"})
    ->Unit(benchmark::kMillisecond);

// The whole resort of an attribute: sort, rebuild the value array and renumber 1 million records; the
// values distinct texts, or numbers with cents (their numbers read before, as the check at import does).
void RecomputeSortedValues(benchmark::State& state)
{
    const long count = 1'000'000;
    const bool numbers = state.range(0) != 0;
    std::vector<std::u16string> texts = MakeTexts(count, 4);
    if (numbers)
    {
        std::mt19937_64 random(6);
        for (auto& text : texts)
        {
            char digits[32];
            std::snprintf(digits, sizeof digits, "%.2f", static_cast<double>(random() % 200'000'000) / 100.0 - 1e6);
            text = platform::FromUtf8(digits);
        }
    }
    for (auto _ : state)
    {
        state.PauseTiming();
        CTable table;
        CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, count, true);
        if (numbers)
            attribute->SetFormat(u"####.##");
        for (long i = 0; i < count; ++i)
            attribute->AddValue(table.AddRecord(), texts[i]);
        if (numbers)
            (void)attribute->CheckFormat();
        state.ResumeTiming();
        attribute->RecomputeSortedValues();
    }
}
BENCHMARK(RecomputeSortedValues)->Arg(0)->Arg(1)->ArgNames({"numbers"})->Unit(benchmark::kMillisecond);

// 1 million texts of a column with mostly distinct values: shape 0 names in random order, 2 % of them repeats;
// 1 keys in ascending order; 2 amounts, 40 % repeats.
std::vector<std::u16string> MakeColumnTexts(int64_t shape)
{
    const long count = 1'000'000;
    std::vector<std::u16string> texts;
    std::mt19937 random(6);
    for (long i = 0; i < count; ++i)
    {
        const uint32_t r = random();
        switch (shape)
        {
        case 0:
            texts.push_back(u"Name " + platform::ToKString(r % 50'000'000));
            break;
        case 1:
            texts.push_back(platform::ToKString(i + 1));
            break;
        default:
            texts.push_back(platform::ToKString(r % 1'300'000 / 100.0));
        }
    }
    return texts;
}

// Appending 1 million cells as values, as a read stores a column with mostly distinct values (shapes as above);
// the records exist and the attribute has room for them, as the read's sizing gives it. The cells lie one after
// the other in one buffer with room after the last, as a read's scan leaves them.
void AppendValuesInBulk(benchmark::State& state)
{
    const SCellBuffer cells(MakeColumnTexts(state.range(0)));
    const std::vector<KStringView>& views = cells.cells;
    const long count = static_cast<long>(views.size());
    for (auto _ : state)
    {
        state.PauseTiming();
        SRecordsAndColumn made(count, count);
        made.attribute->GetValues().BeginAppendingValues();
        made.attribute->Reserve(count, count);
        state.ResumeTiming();
        made.attribute->GetValues().AppendValues(made.records.data(), views.data(), views.size(),
                                                 platform::CTextPadding(SCellBuffer::kReadable));
        benchmark::DoNotOptimize(made.attribute->GetNrOfValues());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(AppendValuesInBulk)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"shape"})->Unit(benchmark::kMillisecond);

// Merging 1 million appended values into distinct ones, as a read does with a column of mostly distinct values
// (shapes as above).
void MergeAppendedValues(benchmark::State& state)
{
    const std::vector<std::u16string> texts = MakeColumnTexts(state.range(0));
    std::vector<KStringView> views(texts.begin(), texts.end());
    const long count = static_cast<long>(views.size());
    for (auto _ : state)
    {
        state.PauseTiming();
        SRecordsAndColumn made(count, count);
        made.attribute->GetValues().BeginAppendingValues();
        made.attribute->GetValues().AppendValues(made.records.data(), views.data(), views.size());
        state.ResumeTiming();
        made.attribute->GetValues().MergeEqualValues();
        benchmark::DoNotOptimize(made.attribute->GetNrOfValues());
    }
}
BENCHMARK(MergeAppendedValues)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"shape"})->Unit(benchmark::kMillisecond);
} // namespace
