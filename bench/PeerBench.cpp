// Korvalin as a peer of the shared benchmark harness: korvalin_peer_bench DATA.csv OUTDIR prints one JSON
// line {"peer", "version", "tasks": {"T1": s, ..., "T7": s}, "checks": {...}} as
// the other peers do, with "cpu": the processor seconds of each task (all threads; a loaded machine stretches the
// others).
//   T1  the full read: the file decoded, its cells scanned, the values stored, the formats guessed
//   T3  the number of records of every value of every attribute (undefined counted as a value), as the overview
//       draws its bars: each attribute's shown records in the order of its values, counted run by run; the
//       number of distinct values of each column is checked
//   T5  three summary attributes of float1 grouped by category: sum, average and median, each written into
//       every record (the peers make one row per group); the number of groups, the sum over the defined
//       categories and the median of "Books Basic" are checked. They are deleted again (untimed). It runs
//       before T2, while every record is qualified, as the peers aggregate over all records.
//   T2  a zoom in on the values North and East of region (through the command history); the count of the
//       qualified records is checked
//   T4  two expression attributes over all records, computed as `korvalin run expression` does:
//       d1 = [float1]*2 + [int1] and d2 = [region] + "-" + [category] (undefined where an input is); sum(d1)
//       (to two decimals) and the count of defined d2 are checked. Both are deleted again (untimed), so that
//       T7 writes the 12 columns of the file.
//   T7  the qualified records written as CSV
//   T6  all records sorted by customer (a submitted sort command, in the collation's order of values, not in
//       byte order as the peers sort); the first customer and the last defined one are checked. It runs last, so
//       that T7 writes the records in file order.
// "peak_mib" gives the process's peak resident memory after each task (the high-water mark so far, in MiB),
// "resident_mib" its resident memory right after it.
// The remaining tasks of the harness need commands that later versions add. bench/compare_peers.py runs
// this beside the peers and prints the ratios.

#include "bench/ProcessMemory.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "exchange/TextExporter.h"
#include "files/TableOpener.h"
#include "formula/ExpressionAttribute.h"
#include "formula/Summary.h"
#include "korvalin/TableExport.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "selection/TableSelection.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace
{
double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor seconds of the process (all its threads) since a reading of std::clock.
double ProcessorSeconds(std::clock_t since)
{
    return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

// T4's d2. Texts join with +; a + keeps the defined part when one side is undefined, so the undefined
// inputs are tested first ("" is the undefined text).
constexpr const char16_t* kD2 = u"IF(UNDEFINED([region]) or UNDEFINED([category]), \"\", [region] + \"-\" + [category])";

// An expression attribute named name with the values of formula for every record; throws when the formula
// does not compile (an input missing from the file).
CAttribute& AddExpression(CTable& table, const char16_t* name, const char16_t* formula)
{
    CAttribute* attribute = table.CreateNewAttribute(ATTR_EXPRESSION, false, name, nullptr, 16, true);
    const formula::SFormulaStatus status = formula::ComputeExpressionAttribute(table, *attribute, formula);
    if (!status.IsOk())
    {
        table.DeleteAttribute(attribute);
        throw std::runtime_error("T4 formula does not compile: " + platform::ToUtf8(status.strMessage));
    }
    return *attribute;
}

// A summary attribute named name of function over summarised grouped by grouping, computed.
CAttribute& AddSummary(CTable& table, const char16_t* name, int32_t function, CAttribute& summarised,
                       CAttribute& grouping)
{
    CAttribute* attribute = table.CreateNewAttribute(ATTR_SUMMARY, false, name, nullptr, 64, true);
    formula::SSummaryDefinition definition{&summarised, &grouping, function};
    attribute->SetFormatString(formula::ProposeSummaryFormat(definition));
    formula::RecomputeSummary(table, *attribute, definition);
    return *attribute;
}

// The process's resident memory now, and its peak so far, in MiB.
double ResidentMiB()
{
    return bench::MiB(static_cast<double>(bench::ResidentBytes()));
}

double PeakMiB()
{
    return bench::MiB(static_cast<double>(bench::PeakResidentBytes()));
}

// A text as a JSON string.
std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
        {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// The index of a record's value in the attribute's values, -1 when the record has none.
long ValueIndex(CAttribute& attribute, const CRecord* record)
{
    const long index = attribute.GetFieldValueIndex(record);
    return index >= 0 && index < attribute.GetNrOfValues() ? index : -1;
}
} // namespace

int main(int argc, char** argv)
{
    platform::RestartWithHugePageHeap(argv); // as the korvalin command does
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: korvalin_peer_bench DATA.csv OUTDIR\n");
        return 2;
    }
    platform::TuneHeapForLargeTables(); // as the korvalin command does
    const std::filesystem::path data = argv[1];
    const std::filesystem::path outdir = argv[2];
    std::filesystem::create_directories(outdir);
    try
    {
        CTable table;
        files::SOpenRequest request;
        request.m_bExplicitImport = true;
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        files::ReadTable(table, data, request);
        const double t1 = Seconds(start);
        const double c1 = ProcessorSeconds(cpuStart);
        const double m1 = PeakMiB();
        const double r1 = ResidentMiB();

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        std::vector<std::pair<std::string, long>> distinct; // per column: the number of value bars
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            if (attribute->IsHeader())
                continue;
            const std::vector<CRecord*>& ordered = attribute->GetSortedShownRecords();
            std::vector<long> counts; // records per bar, as the overview sizes them
            long previous = -2;
            for (const CRecord* record : ordered)
            {
                const long index = ValueIndex(*attribute, record);
                if (index != previous || counts.empty())
                    counts.push_back(0);
                ++counts.back();
                previous = index;
            }
            distinct.emplace_back(platform::ToUtf8(attribute->GetName()), static_cast<long>(counts.size()));
        }
        const double t3 = Seconds(start);
        const double c3 = ProcessorSeconds(cpuStart);
        const double m3 = PeakMiB();
        const double r3 = ResidentMiB();

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        CAttribute* float1 = table.FindAttribute(u"float1");
        CAttribute* category = table.FindAttribute(u"category");
        if (!float1 || !category)
            throw std::runtime_error("T5 needs float1 and category");
        CAttribute& sum = AddSummary(table, u"s", formula::SUMMARY_SUM, *float1, *category);
        CAttribute& average = AddSummary(table, u"a", formula::SUMMARY_AVERAGE, *float1, *category);
        CAttribute& median = AddSummary(table, u"m", formula::SUMMARY_MEDIAN, *float1, *category);
        const double t5 = Seconds(start);
        const double c5 = ProcessorSeconds(cpuStart);
        const double m5 = PeakMiB();
        const double r5 = ResidentMiB();
        // One record of each group gives the group's results.
        std::vector<const CRecord*> groupRecord(static_cast<size_t>(category->GetNrOfValues()) + 1, nullptr);
        for (long i = 0; i < table.GetRecordCount(); ++i)
        {
            const CRecord* record = table.GetRecord(i);
            const long g = ValueIndex(*category, record);
            const CRecord*& first = groupRecord[g < 0 ? groupRecord.size() - 1 : static_cast<size_t>(g)];
            if (!first)
                first = record;
        }
        long groups = 0;
        double sumDefined = 0;
        double medianBooksBasic = std::nan("");
        for (size_t g = 0; g < groupRecord.size(); ++g)
        {
            const CRecord* record = groupRecord[g];
            if (!record)
                continue;
            ++groups;
            const long k = ValueIndex(sum, record);
            const bool defined = !category->GetFieldText(record).empty();
            if (defined && k >= 0 && !std::isnan(sum.GetNumericValue(k)))
                sumDefined += sum.GetNumericValue(k);
            const long m = ValueIndex(median, record);
            if (category->GetFieldText(record) == u"Books Basic" && m >= 0)
                medianBooksBasic = median.GetNumericValue(m);
        }
        table.DeleteAttribute(&sum);
        table.DeleteAttribute(&average);
        table.DeleteAttribute(&median);

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        // As a user does it: select the two values of region and zoom in (a submitted command, evaluated).
        CAttribute* region = table.FindAttribute(u"region");
        long qualified = 0;
        if (region)
        {
            CTableSelection& selection = CTableSelection::Of(table);
            for (const char16_t* value : {u"North", u"East"})
            {
                if (const char16_t* stored = region->FindValue(value))
                    CAttributeSelection::Of(region).SelectValue(stored, nullptr, true);
            }
            if (selection.ZoomIn())
                qualified = table.GetNumberQualified();
        }
        const double t2 = Seconds(start);
        const double c2 = ProcessorSeconds(cpuStart);
        const double m2 = PeakMiB();
        const double r2 = ResidentMiB();

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        CAttribute& d1 = AddExpression(table, u"d1", u"[float1]*2 + [int1]");
        CAttribute& d2 = AddExpression(table, u"d2", kD2);
        const double t4 = Seconds(start);
        const double c4 = ProcessorSeconds(cpuStart);
        const double m4 = PeakMiB();
        const double r4 = ResidentMiB();
        double sumD1 = 0;
        long definedD2 = 0;
        const CRecordArray& all = table.GetAllRecords();
        for (long i = 0; i < all.GetSize(); ++i)
        {
            const CRecord* record = all.GetRecord(i);
            const long k1 = ValueIndex(d1, record);
            const double number = k1 < 0 ? std::nan("") : d1.GetNumericValue(k1);
            if (!std::isnan(number))
                sumD1 += number;
            const long k2 = ValueIndex(d2, record);
            const char16_t* text = k2 < 0 ? nullptr : d2.GetValue(k2);
            if (text && *text)
                ++definedD2;
        }
        table.DeleteAttribute(&d1);
        table.DeleteAttribute(&d2);

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        exchange::SExportOptions options;
        options.m_bAllRecords = false;
        const std::filesystem::path out = outdir / "t7_korvalin.csv";
        exchange::WriteExportFile(table, out, options);
        const double t7 = Seconds(start);
        const double c7 = ProcessorSeconds(cpuStart);
        const double m7 = PeakMiB();
        const double r7 = ResidentMiB();

        start = std::chrono::steady_clock::now();
        cpuStart = std::clock();
        CAttribute* customer = table.FindAttribute(u"customer");
        if (customer)
            CTableSelection::Of(table).SortRecords(customer, false);
        const double t6 = Seconds(start);
        const double c6 = ProcessorSeconds(cpuStart);
        const double m6 = PeakMiB();
        const double r6 = ResidentMiB();
        std::string first;
        std::string lastDefined;
        if (customer && table.GetRecordCount() > 0)
        {
            first = platform::ToUtf8(customer->GetFieldText(table.GetRecord(0)));
            for (long i = table.GetRecordCount() - 1; i >= 0 && lastDefined.empty(); --i)
                lastDefined = platform::ToUtf8(customer->GetFieldText(table.GetRecord(i)));
        }
        std::string t3Distinct;
        for (const auto& [name, count] : distinct)
            t3Distinct += (t3Distinct.empty() ? "" : ", ") + Json(name) + ": " + std::to_string(count);

        std::printf("{\"peer\": \"korvalin\", \"version\": \"%s\", \"tasks\": {\"T1\": %.6f, \"T2\": %.6f, "
                    "\"T3\": %.6f, \"T4\": %.6f, \"T5\": %.6f, \"T6\": %.6f, \"T7\": %.6f}, \"cpu\": {\"T1\": %.6f, "
                    "\"T2\": %.6f, \"T3\": %.6f, \"T4\": %.6f, \"T5\": %.6f, \"T6\": %.6f, \"T7\": %.6f}, \"peak_mib\": "
                    "{\"T1\": %.0f, \"T2\": %.0f, \"T3\": %.0f, \"T4\": %.0f, \"T5\": %.0f, \"T6\": %.0f, "
                    "\"T7\": %.0f}, \"resident_mib\": {\"T1\": %.0f, \"T2\": %.0f, \"T3\": %.0f, \"T4\": %.0f, "
                    "\"T5\": %.0f, \"T6\": %.0f, \"T7\": %.0f}, \"checks\": "
                    "{\"rows\": %ld, \"T2_count\": %ld, \"T3_distinct\": {%s}, \"T7_bytes\": %lld, "
                    "\"T4_sum_d1\": %.2f, \"T4_d2_defined\": %ld, \"T5_groups\": %ld, \"T5_sum_defined\": %.2f, "
                    "\"T5_median_Books_Basic\": %.2f, \"T6_first\": %s, \"T6_last_defined\": %s}}\n",
                    KORVALIN_VERSION_STRING, t1, t2, t3, t4, t5, t6, t7, c1, c2, c3, c4, c5, c6, c7, m1, m2, m3, m4,
                    m5, m6, m7, r1, r2, r3, r4, r5, r6, r7,
                    table.GetRecordCount(), qualified, t3Distinct.c_str(),
                    static_cast<long long>(std::filesystem::file_size(out)), std::round(sumD1 * 100) / 100, definedD2,
                    groups, std::round(sumDefined * 100) / 100, medianBooksBasic, Json(first).c_str(),
                    Json(lastDefined).c_str());
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "korvalin_peer_bench: %s\n", e.what());
        return 1;
    }
}
