// Korvalin as a peer of the shared benchmark harness: korvalin_peer_bench DATA.csv OUTDIR prints one JSON
// line {"peer", "version", "tasks": {"T1": s, "T2": s, "T7": s}, "checks": {...}} as the other peers do.
//   T1  the full read: the file decoded, its cells scanned, the values stored, the formats guessed
//   T2  a zoom in on the values North and East of region (through the command history); the count of the
//       qualified records is checked
//   T7  the qualified records written as CSV
// The remaining tasks of the harness need commands that later versions add. bench/compare_peers.py runs
// this beside the peers and prints the ratios.

#include "engine/Table.h"
#include "exchange/TextExporter.h"
#include "files/TableOpener.h"
#include "korvalin/TableExport.h"
#include "platform/System.h"
#include "selection/TableSelection.h"

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
