// Where the memory of a read table goes: korvalin_memory_report DATA.csv reads the file as the korvalin command
// does and prints, per attribute, its distinct values and the bytes per record of each part of its storage:
//   fields   the packed value index of every record (1 to 4 bytes)
//   entries  the value array: a text pointer per distinct value, and a number beside it for numeric attributes
//   texts    the value store: the UTF-16 texts of the distinct values, in blocks
// then the records themselves, everything the table allocator holds, and the process's resident and peak
// memory (after the read, and the peak of the read itself). The first line gives the seconds of the read's
// phases.

#include "bench/ProcessMemory.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using bench::MiB;
using bench::PeakResidentBytes;
using bench::ResidentBytes;

int main(int argc, char** argv)
{
    platform::RestartWithHugePageHeap(argv); // as the korvalin command does
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: korvalin_memory_report DATA.csv\n");
        return 2;
    }
    platform::TuneHeapForLargeTables();
    try
    {
        CTable table;
        files::SOpenRequest request;
        request.m_bExplicitImport = true;
        std::vector<std::pair<std::string, double>> phaseSeconds; // a phase told twice counts once, summed
        request.m_read.m_phaseDone = [&](const char* phase, double seconds)
        {
            auto it = std::find_if(phaseSeconds.begin(), phaseSeconds.end(),
                                   [&](const auto& known) { return known.first == phase; });
            if (it == phaseSeconds.end())
                phaseSeconds.emplace_back(phase, seconds);
            else
                it->second += seconds;
        };
        const auto start = std::chrono::steady_clock::now();
        files::ReadTable(table, argv[1], request);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const size_t peak = PeakResidentBytes();
        const double records = static_cast<double>(std::max<long>(1, table.GetRecordCount()));

        std::string phases;
        for (const auto& [phase, phaseTime] : phaseSeconds)
        {
            char part[64];
            std::snprintf(part, sizeof part, "%s%s %.2f s", phases.empty() ? "" : ", ", phase.c_str(), phaseTime);
            phases += part;
        }
        std::printf("%ld records read in %.2f s (%s)\n\n", table.GetRecordCount(), seconds, phases.c_str());
        std::printf("%-12s %-7s %10s %8s %8s %8s %8s %9s\n", "attribute", "kind", "distinct", "fields", "entries",
                    "texts", "all", "MiB");
        double columns = 0;
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            if (attribute->IsHeader())
                continue;
            const CAttributeValues& values = attribute->GetValues();
            const double all = static_cast<double>(values.GetAllocatedBytes());
            const double fields = static_cast<double>(values.GetFieldArray().GetAllocatedMemory());
            const double entries =
                values.GetValueArray() ? static_cast<double>(values.GetValueArray()->GetAllocatedBytes()) : 0.0;
            const char* kind = attribute->GetFormat().IsDate() ? "date" : attribute->IsNumeric() ? "number" : "text";
            std::printf("%-12s %-7s %10ld %8.2f %8.2f %8.2f %8.2f %9.1f\n",
                        platform::ToUtf8(attribute->GetName()).c_str(), kind, values.GetNrOfValues(),
                        fields / records, entries / records, (all - fields - entries) / records, all / records,
                        MiB(all));
            columns += all;
        }
        const double allocated = static_cast<double>(table.GetAllocator().GetAllocatedBytes());
        std::printf("\ncolumns %.1f MiB, table allocator %.1f MiB (%.1f bytes per record; records and the rest "
                    "%.1f MiB)\n",
                    MiB(columns), MiB(allocated), allocated / records, MiB(allocated - columns));
        const struct mallinfo2 heap = mallinfo2();
        std::printf("resident after the read %.1f MiB, peak during the read %.1f MiB\n",
                    MiB(static_cast<double>(ResidentBytes())), MiB(static_cast<double>(peak)));
        std::printf("heap: in use %.1f MiB, free but kept %.1f MiB (of which at the top %.1f MiB), mapped "
                    "blocks %.1f MiB\n",
                    MiB(static_cast<double>(heap.uordblks)), MiB(static_cast<double>(heap.fordblks)),
                    MiB(static_cast<double>(heap.keepcost)), MiB(static_cast<double>(heap.hblkhd)));
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "korvalin_memory_report: %s\n", e.what());
        return 1;
    }
}
