// Korvalin as a peer of the shared benchmark harness: korvalin_peer_bench DATA.csv OUTDIR prints one JSON
// line {"peer", "version", "tasks": {"T1": s, "T2": s, "T7": s}, "checks": {...}} as the other peers do.
//   T1  the full read: the file decoded, its cells scanned, the values stored, the formats guessed
//   T2  the records whose region is North or East become the qualified ones; their count is checked
//   T7  the qualified records written as CSV
// The remaining tasks of the harness need commands that later versions add. bench/compare_peers.py runs
// this beside the peers and prints the ratios.

#include "engine/Table.h"
#include "exchange/TextExporter.h"
#include "files/TableOpener.h"
#include "korvalin/TableExport.h"
#include "platform/System.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
} // namespace

int main(int argc, char** argv)
{
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
        files::ReadTable(table, data, request);
        const double t1 = Seconds(start);

        start = std::chrono::steady_clock::now();
        CAttribute* region = table.FindAttribute(u"region");
        long qualified = 0;
        if (region)
        {
            std::vector<char> wanted(static_cast<size_t>(region->GetNrOfValues()), 0);
            for (long i = 0; i < region->GetNrOfValues(); ++i)
            {
                const KStringView value = region->GetValue(i);
                wanted[static_cast<size_t>(i)] = value == u"North" || value == u"East";
            }
            const CFieldArray& fields = region->GetFieldArray();
            CRecord* const* records = table.GetAllRecords().GetData();
            for (long i = 0; i < table.GetRecordCount(); ++i)
            {
                const long index = fields.GetAt(records[i]->m_nRecordNumber);
                records[i]->m_bQualified = index >= 0 && wanted[static_cast<size_t>(index)];
                qualified += records[i]->m_bQualified;
            }
        }
        const double t2 = Seconds(start);

        start = std::chrono::steady_clock::now();
        exchange::SExportOptions options;
        options.m_bAllRecords = false;
        const std::filesystem::path out = outdir / "t7_korvalin.csv";
        exchange::WriteExportFile(table, out, options);
        const double t7 = Seconds(start);

        std::printf("{\"peer\": \"korvalin\", \"version\": \"%s\", \"tasks\": {\"T1\": %.6f, \"T2\": %.6f, "
                    "\"T7\": %.6f}, \"checks\": {\"rows\": %ld, \"T2_count\": %ld, \"T7_bytes\": %lld}}\n",
                    KORVALIN_VERSION_STRING, t1, t2, t7, table.GetRecordCount(), qualified,
                    static_cast<long long>(std::filesystem::file_size(out)));
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "korvalin_peer_bench: %s\n", e.what());
        return 1;
    }
}
