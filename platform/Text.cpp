#include "Text.h"

namespace platform
{

// The code point at text[i], advancing i past a surrogate pair; an unpaired surrogate gives U+FFFD.
static uint32_t NextCodePoint(KStringView text, size_t& i)
{
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
    {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
    }
    else if (c >= 0xD800 && c <= 0xDFFF)
    {
        c = 0xFFFD;
    }
    return c;
}

std::string ToUtf8(KStringView text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        const uint32_t c = NextCodePoint(text, i);
        if (c < 0x80)
        {
            out += static_cast<char>(c);
        }
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

static void AppendCodePoint(KString& out, uint32_t c)
{
    if (c >= 0x10000)
    {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
    else
    {
        out += static_cast<char16_t>(c);
    }
}

KString FromUtf8(std::string_view text)
{
    KString out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n)
    {
        const unsigned char b = p[i];
        if (b < 0x80)
        {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        int extra = 0;
        uint32_t c = 0;
        uint32_t min = 0;
        if ((b & 0xE0) == 0xC0)
        {
            extra = 1, c = b & 0x1F, min = 0x80;
        }
        else if ((b & 0xF0) == 0xE0)
        {
            extra = 2, c = b & 0x0F, min = 0x800;
        }
        else if ((b & 0xF8) == 0xF0)
        {
            extra = 3, c = b & 0x07, min = 0x10000;
        }
        else
        {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= static_cast<size_t>(extra); ++k)
        {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                break;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (k <= static_cast<size_t>(extra) || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        {
            out += u'\uFFFD';
            i += (k > 1) ? k : 1;
            continue;
        }
        AppendCodePoint(out, c);
        i += extra + 1;
    }
    return out;
}

std::wstring ToWide(KStringView text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        out += static_cast<wchar_t>(NextCodePoint(text, i));
    return out;
}

KString FromWide(std::wstring_view text)
{
    KString out;
    out.reserve(text.size());
    for (wchar_t w : text)
    {
        const auto c = static_cast<uint32_t>(w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            out += u'\uFFFD';
        else
            AppendCodePoint(out, c);
    }
    return out;
}

KString ToKString(long long value)
{
    const std::string s = std::to_string(value);
    return KString(s.begin(), s.end());
}

} // namespace platform
