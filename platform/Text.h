#pragma once
// Text types of the whole library. Internal text is UTF-16: lengths, limits and
// positions count UTF-16 code units. Conversions to UTF-8 (files, terminal) and
// to wchar_t (the flat interface) live here.

#include <cstdint>
#include <string>
#include <string_view>

using KString = std::u16string;
using KStringView = std::u16string_view;

namespace platform
{

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string ToUtf8(KStringView text);

// UTF-8 -> UTF-16. Invalid sequences become U+FFFD.
KString FromUtf8(std::string_view text);

// UTF-16 <-> the platform's wchar_t (UTF-32 on Linux).
std::wstring ToWide(KStringView text);
KString FromWide(std::wstring_view text);

// Decimal text of an integer, as UTF-16.
KString ToKString(long long value);

// Length of a zero-terminated UTF-16 string.
inline size_t Length(const char16_t* text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

} // namespace platform
