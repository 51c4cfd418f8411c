// libFuzzer target: a delimited or fixed-width text file read through the importer. The first eight bytes of the
// input choose the import settings (delimiter, quote, encoding and code page, names line, first data line,
// record limit, orientation, fixed widths, bars, the legacy flag, and whether the read goes as an explicit
// import that looks for a byte-order mark and checks the proposed delimiter); the rest is the file. The read
// either succeeds, after which the table is dumped, or throws one of the engine's exceptions; anything else
// (a crash, a sanitizer report, a hang, memory without bound) is a fault.

#include "engine/Table.h"
#include "exchange/DelimiterProposal.h"
#include "exchange/TableJson.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextImporter.h"
#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string_view>

namespace
{

CImportSettings SettingsFrom(const uint8_t* head)
{
    static constexpr char16_t kDelimiters[] = {u',', u';', u'\t', u' ', u'|', 0, u'a', u'"'};
    static constexpr char16_t kQuotes[] = {u'"', u'\'', 0, u','};
    static constexpr int32_t kCodePages[] = {CODE_PAGE_UTF8, 1252, 1250, 437, 932, 1200, 12345, 0};
    CImportSettings s;
    s.m_cDelimiter = kDelimiters[head[0] % 8];
    s.m_cQuote = kQuotes[head[0] / 8 % 4];
    s.m_nEncoding = head[1] % 6;
    s.m_nCodePage = kCodePages[head[1] / 8 % 8];
    const uint8_t flags = head[2];
    s.m_bAttributeNames = (flags & 1) != 0;
    s.m_bTransposed = (flags & 2) == 0;
    s.m_bFixedWidth = (flags & 4) != 0;
    s.m_bReplaceBars = (flags & 8) != 0;
    // Line numbers 0 (out of range) to 4 and 5, or the largest there is; widths -1 to 13, or the largest.
    constexpr int32_t kLargest = std::numeric_limits<int32_t>::max();
    s.m_nAttributeNameLine = head[3] >= 250 ? kLargest : head[3] % 5;
    s.m_nFirstDataLine = head[3] >= 240 ? kLargest : head[3] / 5 % 6;
    s.m_nMaxRecords = static_cast<int8_t>(head[4]) < 0 ? -1 : head[4] == 127 ? kLargest : head[4] % 20;
    for (int i = 0; i < head[5] % 5; ++i)
    {
        const int nibble = head[6 + i % 2] >> (i % 2 == 0 ? 0 : 4) & 0x0F;
        s.m_vColumnWidths.push_back(nibble == 15 ? kLargest : nibble - 1);
    }
    s.m_bSettingsGiven = (flags & 16) != 0;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    CImportSettings settings = SettingsFrom(data);
    const uint8_t flags = data[2];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 8), size - 8);
    exchange::SReadOptions options;
    options.m_bLegacy = (flags & 32) != 0;
    CTable table;
    try
    {
        if ((flags & 64) != 0)
        {
            // As an explicit import: the mark wins, and the proposed delimiter is checked on the text's head.
            const exchange::SByteOrderMark mark = exchange::DetectByteOrderMark(bytes);
            if (mark.m_nEncoding >= 0)
            {
                settings.m_nEncoding = mark.m_nEncoding;
                settings.m_bBOMFound = true;
            }
            CImportSettings probe = settings;
            exchange::CUtf16Buffer text;
            exchange::DecodeText(bytes, probe, false, text, nullptr);
            settings.m_cDelimiter = exchange::ChooseDelimiter(text.View(), u',', settings.m_cQuote).m_cDelimiter;
        }
        exchange::CTextImporter(table).ReadBytes(bytes, u"fuzz.csv", settings, options);
    }
    catch (const CKorvalinException&)
    {
        return 0;
    }
    std::ostringstream dump;
    exchange::WriteTableJson(table, dump, false);
    return 0;
}
