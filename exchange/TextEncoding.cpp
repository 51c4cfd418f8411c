#include "exchange/TextEncoding.h"

#include "exchange/ExchangeTexts.h"
#include "platform/Error.h"
#include "platform/Parallel.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace exchange
{

// ---- buffer ----

void CUtf16Buffer::Resize(size_t size)
{
    if (size > m_nCapacity)
    {
        const size_t capacity = std::max(size, m_nCapacity + m_nCapacity / 2);
        auto data = std::make_unique_for_overwrite<char16_t[]>(capacity);
        if (m_nSize > 0)
            std::memcpy(data.get(), m_pData.get(), m_nSize * sizeof(char16_t));
        m_pData = std::move(data);
        m_nCapacity = capacity;
    }
    m_nSize = size;
}

void CUtf16Buffer::Append(KStringView text)
{
    const size_t old = m_nSize;
    Resize(old + text.size());
    if (!text.empty())
        std::memcpy(m_pData.get() + old, text.data(), text.size() * sizeof(char16_t));
}

// ---- byte-order marks ----

SByteOrderMark DetectByteOrderMark(std::string_view bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n < 2)
        return {};
    // The UTF-32 marks first: the little-endian one, FF FE 00 00, starts with the UTF-16 little-endian mark. (A
    // UTF-16 file whose first character is U+0000 reads as UTF-32 so; it could not be told apart.)
    if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF)
        return {ENCODING_UTF32_BE, 4};
    if (n >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0)
        return {ENCODING_UTF32_LE, 4};
    if (b[0] == 0xFE && b[1] == 0xFF)
        return {ENCODING_UTF16_BE, 2};
    if (b[0] == 0xFF && b[1] == 0xFE)
        return {ENCODING_UTF16_LE, 2};
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return {ENCODING_UTF8, 3};
    return {};
}

int GetEncodingFromBOMBytes(const std::filesystem::path& path, CImportSettings& settings)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return 0;
    char head[10000];
    in.read(head, sizeof head);
    const SByteOrderMark mark = DetectByteOrderMark(std::string_view(head, static_cast<size_t>(in.gcount())));
    if (mark.m_nEncoding < 0)
        return 0;
    settings.m_nEncoding = mark.m_nEncoding;
    settings.m_bBOMFound = true;
    return 1;
}

std::string_view GetByteOrderMark(int32_t encoding)
{
    switch (encoding)
    {
    case ENCODING_UTF8:
        return "\xEF\xBB\xBF";
    case ENCODING_UTF16_BE:
        return "\xFE\xFF";
    case ENCODING_UTF16_LE:
        return "\xFF\xFE";
    default:
        return "";
    }
}

int32_t GetDefaultCodePage()
{
    return CODE_PAGE_UTF8;
}

int32_t CharSetToCodePage(int32_t charSet)
{
    switch (charSet)
    {
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 1252;
    }
}

// ---- code pages through ICU ----

namespace
{

// An ICU converter for one code page, closed with the object.
class CConverter
{
public:
    explicit CConverter(int32_t codePage)
    {
        const std::string number = std::to_string(codePage);
        for (const std::string& name : {"windows-" + number, "cp" + number, "ibm-" + number})
        {
            UErrorCode status = U_ZERO_ERROR;
            m_pConverter = ucnv_open(name.c_str(), &status);
            if (U_SUCCESS(status) && m_pConverter)
                break;
            if (m_pConverter)
                ucnv_close(m_pConverter);
            m_pConverter = nullptr;
        }
    }
    ~CConverter()
    {
        if (m_pConverter)
            ucnv_close(m_pConverter);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;
    UConverter* Get() const { return m_pConverter; }

private:
    UConverter* m_pConverter = nullptr; // null when ICU does not know the code page
};

// What is known about one code page: whether ICU knows it and, for 8-bit code pages, both directions as tables.
struct SCodePage
{
    bool m_bKnown = false;                   // ICU can convert it
    bool m_bSingleByte = false;              // every character is one byte: the tables below are filled
    std::array<char16_t, 256> m_toUnicode{}; // byte -> character; unmapped bytes keep their Latin-1 value
    std::vector<int16_t> m_fromUnicode;      // character -> byte, -1 when the code page has none (65536 entries)
};

std::mutex g_codePageLock;
std::map<int32_t, std::shared_ptr<const SCodePage>> g_codePages; // guarded by g_codePageLock

std::shared_ptr<const SCodePage> FindCodePage(int32_t codePage)
{
    std::lock_guard<std::mutex> lock(g_codePageLock);
    auto it = g_codePages.find(codePage);
    if (it != g_codePages.end())
        return it->second;
    auto page = std::make_shared<SCodePage>();
    CConverter converter(codePage);
    if (converter.Get())
    {
        page->m_bKnown = true;
        page->m_bSingleByte = ucnv_getMaxCharSize(converter.Get()) == 1;
        if (page->m_bSingleByte)
        {
            UErrorCode status = U_ZERO_ERROR;
            ucnv_setToUCallBack(converter.Get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
            page->m_fromUnicode.assign(65536, -1);
            for (int b = 0; b < 256; ++b)
            {
                const char byte = static_cast<char>(b);
                UChar out[4];
                status = U_ZERO_ERROR;
                ucnv_resetToUnicode(converter.Get());
                const int32_t n = ucnv_toUChars(converter.Get(), out, 4, &byte, 1, &status);
                // Bytes the code page leaves undefined keep their Latin-1 meaning, so no byte is ever lost.
                const char16_t c =
                    (U_SUCCESS(status) && n == 1) ? static_cast<char16_t>(out[0]) : static_cast<char16_t>(b);
                page->m_toUnicode[b] = c;
                if (page->m_fromUnicode[c] < 0)
                    page->m_fromUnicode[c] = static_cast<int16_t>(b);
            }
        }
    }
    g_codePages[codePage] = page;
    return page;
}

[[noreturn]] void ThrowUnknownCodePage(int32_t codePage)
{
    ThrowBadSetting(3546, {std::to_string(codePage)});
}

// ---- UTF-8 ----

// Decodes one UTF-8 sequence starting at p[i] (a byte >= 0x80); returns the code point or -1 for an invalid
// sequence, and the bytes taken in *length (at least 1).
int32_t DecodeSequence(const unsigned char* p, size_t i, size_t n, size_t* length)
{
    const unsigned char b = p[i];
    int extra;
    uint32_t c;
    uint32_t min;
    if ((b & 0xE0) == 0xC0)
        extra = 1, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0)
        extra = 2, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0)
        extra = 3, c = b & 0x07, min = 0x10000;
    else
    {
        *length = 1;
        return -1;
    }
    size_t k = 1;
    for (; k <= static_cast<size_t>(extra); ++k)
    {
        if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
            break;
        c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (k <= static_cast<size_t>(extra))
    {
        *length = k;
        return -1;
    }
    *length = static_cast<size_t>(extra) + 1;
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return -1;
    return static_cast<int32_t>(c);
}

// Decodes bytes into out (room for bytes.size() units); returns the units written and counts invalid sequences.
size_t DecodeUtf8Piece(std::string_view bytes, char16_t* out, long* invalid)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    char16_t* o = out;
    while (i < n)
    {
        // Eight ASCII bytes at a time.
        while (i + 8 <= n)
        {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            for (int k = 0; k < 8; ++k)
                o[k] = p[i + k];
            o += 8;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80)
        {
            *o++ = b;
            ++i;
            continue;
        }
        size_t length = 1;
        const int32_t c = DecodeSequence(p, i, n, &length);
        i += length;
        if (c < 0)
        {
            *o++ = u'\uFFFD';
            ++*invalid;
        }
        else if (c >= 0x10000)
        {
            *o++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
        {
            *o++ = static_cast<char16_t>(c);
        }
    }
    return static_cast<size_t>(o - out);
}

// Splits [0, n) into pieces of about pieceBytes whose starts are not UTF-8 continuation bytes.
std::vector<size_t> SplitUtf8(std::string_view bytes, size_t pieces)
{
    std::vector<size_t> starts{0};
    const size_t n = bytes.size();
    for (size_t k = 1; k < pieces; ++k)
    {
        size_t at = n * k / pieces;
        for (int back = 0; back < 4 && at > starts.back() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
             ++back)
            --at;
        if (at > starts.back())
            starts.push_back(at);
    }
    starts.push_back(n);
    return starts;
}

constexpr size_t kParallelBytes = 4u << 20; // inputs from this size on are decoded in parallel pieces

} // namespace

bool IsKnownCodePage(int32_t codePage)
{
    if (codePage == CODE_PAGE_UTF8)
        return true;
    return codePage > 0 && FindCodePage(codePage)->m_bKnown;
}

SDecodeResult DecodeUtf8(std::string_view bytes, CUtf16Buffer& out, bool parallel)
{
    SDecodeResult result;
    const size_t base = out.Size();
    out.Resize(base + bytes.size());
    if (!parallel || bytes.size() < kParallelBytes)
    {
        out.Resize(base + DecodeUtf8Piece(bytes, out.Data() + base, &result.m_nInvalidSequences));
        return result;
    }
    const std::vector<size_t> starts = SplitUtf8(bytes, static_cast<size_t>(platform::GetProcessorCount()) * 4);
    const size_t pieces = starts.size() - 1;
    std::vector<size_t> written(pieces);
    std::vector<long> invalid(pieces);
    char16_t* data = out.Data() + base;
    platform::ParallelFor(0, pieces, 1,
                          [&](size_t first, size_t last)
                          {
                              for (size_t k = first; k < last; ++k)
                                  written[k] = DecodeUtf8Piece(bytes.substr(starts[k], starts[k + 1] - starts[k]),
                                                               data + starts[k], &invalid[k]);
                          });
    size_t at = 0;
    for (size_t k = 0; k < pieces; ++k)
    {
        if (at != starts[k])
            std::memmove(data + at, data + starts[k], written[k] * sizeof(char16_t));
        at += written[k];
        result.m_nInvalidSequences += invalid[k];
    }
    out.Resize(base + at);
    return result;
}

bool IsValidUtf8(std::string_view bytes, bool parallel)
{
    auto check = [](std::string_view piece)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
        const size_t n = piece.size();
        size_t i = 0;
        while (i < n)
        {
            while (i + 8 <= n)
            {
                uint64_t word;
                std::memcpy(&word, p + i, 8);
                if (word & 0x8080808080808080ull)
                    break;
                i += 8;
            }
            if (i >= n)
                break;
            if (p[i] < 0x80)
            {
                ++i;
                continue;
            }
            size_t length = 1;
            if (DecodeSequence(p, i, n, &length) < 0)
                return false;
            i += length;
        }
        return true;
    };
    if (!parallel || bytes.size() < kParallelBytes)
        return check(bytes);
    const std::vector<size_t> starts = SplitUtf8(bytes, static_cast<size_t>(platform::GetProcessorCount()) * 4);
    std::vector<char> ok(starts.size() - 1, 1);
    platform::ParallelFor(0, ok.size(), 1,
                          [&](size_t first, size_t last)
                          {
                              for (size_t k = first; k < last; ++k)
                                  ok[k] = check(bytes.substr(starts[k], starts[k + 1] - starts[k]));
                          });
    return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}

SDecodeResult DecodeUtf16(std::string_view bytes, bool bigEndian, CUtf16Buffer& out)
{
    SDecodeResult result;
    const size_t units = bytes.size() / 2;
    const size_t base = out.Size();
    out.Resize(base + units + (bytes.size() % 2));
    char16_t* o = out.Data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < units; ++i)
    {
        o[i] = bigEndian ? static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1])
                         : static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
    }
    if (bytes.size() % 2)
    {
        o[units] = u'\uFFFD';
        result.m_nInvalidSequences = 1;
    }
    return result;
}

SDecodeResult DecodeCodePage(std::string_view bytes, int32_t codePage, CUtf16Buffer& out, bool parallel)
{
    if (codePage == CODE_PAGE_UTF8)
        return DecodeUtf8(bytes, out, parallel);
    if (codePage == 1200 || codePage == 1201)
        return DecodeUtf16(bytes, codePage == 1201, out);
    const std::shared_ptr<const SCodePage> page = codePage > 0 ? FindCodePage(codePage) : nullptr;
    if (!page || !page->m_bKnown)
        ThrowUnknownCodePage(codePage);
    SDecodeResult result;
    const size_t base = out.Size();
    if (page->m_bSingleByte)
    {
        out.Resize(base + bytes.size());
        char16_t* o = out.Data() + base;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        auto body = [&](size_t first, size_t last)
        {
            for (size_t i = first; i < last; ++i)
                o[i] = page->m_toUnicode[p[i]];
        };
        if (parallel && bytes.size() >= kParallelBytes)
            platform::ParallelFor(0, bytes.size(), kParallelBytes / 4, body);
        else
            body(0, bytes.size());
        return result;
    }
    CConverter converter(codePage);
    out.Resize(base + bytes.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    UChar* target = reinterpret_cast<UChar*>(out.Data() + base);
    UChar* const targetStart = target;
    const char* source = bytes.data();
    ucnv_toUnicode(converter.Get(), &target, targetStart + bytes.size() + 1, &source, bytes.data() + bytes.size(),
                   nullptr, true, &status);
    if (U_FAILURE(status))
        throw CKorvalinException(EStatus::IllegalArgumentValue,
                                 "the text cannot be converted from code page " + std::to_string(codePage));
    out.Resize(base + static_cast<size_t>(target - targetStart));
    return result;
}

// ---- encoding ----

namespace
{
void AppendUtf8(KStringView text, std::string& out)
{
    const size_t base = out.size();
    out.resize(base + text.size() * 3);
    char* o = out.data() + base;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i)
    {
        uint32_t c = text[i];
        if (c < 0x80)
        {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        else if (c >= 0xD800 && c <= 0xDFFF)
        {
            c = 0xFFFD;
        }
        if (c < 0x800)
        {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

long AppendWithConverter(KStringView text, int32_t codePage, std::string& out)
{
    CConverter converter(codePage);
    if (!converter.Get())
        ThrowUnknownCodePage(codePage);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFallback(converter.Get(), true);
    ucnv_setSubstChars(converter.Get(), "?", 1, &status);
    status = U_ZERO_ERROR;
    const size_t base = out.size();
    const size_t room = text.size() * static_cast<size_t>(ucnv_getMaxCharSize(converter.Get())) + 16;
    out.resize(base + room);
    char* target = out.data() + base;
    const UChar* source = reinterpret_cast<const UChar*>(text.data());
    ucnv_fromUnicode(converter.Get(), &target, out.data() + base + room, &source, source + text.size(), nullptr, true,
                     &status);
    out.resize(static_cast<size_t>(target - out.data()));
    return 0;
}
} // namespace

long EncodeText(KStringView text, int32_t encoding, int32_t codePage, std::string& out)
{
    switch (encoding)
    {
    case ENCODING_UTF8:
        AppendUtf8(text, out);
        return 0;
    case ENCODING_UTF16_BE:
    case ENCODING_UTF16_LE:
    {
        const size_t base = out.size();
        out.resize(base + text.size() * 2);
        char* o = out.data() + base;
        const bool big = encoding == ENCODING_UTF16_BE;
        for (char16_t c : text)
        {
            *o++ = static_cast<char>(big ? c >> 8 : c & 0xFF);
            *o++ = static_cast<char>(big ? c & 0xFF : c >> 8);
        }
        return 0;
    }
    case ENCODING_CODE_PAGE:
        break;
    default:
        return 0;
    }
    if (codePage == CODE_PAGE_UTF8)
    {
        AppendUtf8(text, out);
        return 0;
    }
    if (codePage == 1200 || codePage == 1201)
        return EncodeText(text, codePage == 1201 ? ENCODING_UTF16_BE : ENCODING_UTF16_LE, 0, out);
    const std::shared_ptr<const SCodePage> page = codePage > 0 ? FindCodePage(codePage) : nullptr;
    if (!page || !page->m_bKnown)
        ThrowUnknownCodePage(codePage);
    if (!page->m_bSingleByte)
        return AppendWithConverter(text, codePage, out);
    long substituted = 0;
    const size_t base = out.size();
    out.resize(base + text.size());
    char* o = out.data() + base;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i];
        const int16_t b = page->m_fromUnicode[c];
        if (b >= 0)
        {
            *o++ = static_cast<char>(b);
            continue;
        }
        // Not in the code page: its best fit (ICU's fallback), else '?'. A surrogate pair is one character.
        const size_t length = (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) ? 2 : 1;
        std::string fit;
        AppendWithConverter(text.substr(i, length), codePage, fit);
        *o++ = fit.size() == 1 ? fit[0] : '?';
        i += length - 1;
        ++substituted;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return substituted;
}

} // namespace exchange
