#pragma once
// Reading hexadecimal digits, for the readers of escaped text (profiles, formula texts). Pure; any thread.

namespace platform
{

// The value of a hexadecimal digit (0-9, a-f, A-F), -1 for any other character.
inline int HexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace platform
