// libFuzzer target: the bytes of a legacy ".qtc" table file. A read either succeeds or throws one of the
// engine's exceptions; a table that was read is written as a ".qtc" file again and that is read back, so that
// the writer meets every attribute tree the reader can make. Anything else (a crash, a sanitizer report, a hang,
// memory without bound) is a fault.

#include "engine/Table.h"
#include "exchange/TableJson.h"
#include "files/QtcFile.h"
#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string written;
    {
        CTable table;
        try
        {
            files::ReadQtcBytes(table, bytes, u"fuzz.qtc");
        }
        catch (const CKorvalinException&)
        {
            return 0;
        }
        std::ostringstream dump;
        exchange::WriteTableJson(table, dump, false);
        written = files::MakeQtcText(table, true);
    }
    CTable again;
    try
    {
        files::ReadQtcBytes(again, written, u"again.qtc");
    }
    catch (const CKorvalinException&)
    {
        // What the writer made is read like any file: a limit the first read let pass may end the second one.
    }
    return 0;
}
