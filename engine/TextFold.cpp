#include "engine/TextFold.h"

#include <unicode/uchar.h>

namespace text
{

char16_t FoldCase(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    return folded <= 0xFFFF ? static_cast<char16_t>(folded) : c;
}

bool EqualsIgnoreCase(KStringView a, KStringView b)
{
    return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(KStringView text, KStringView prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
    {
        if (text[i] != prefix[i] && FoldCase(text[i]) != FoldCase(prefix[i]))
            return false;
    }
    return true;
}

size_t FindIgnoreCase(KStringView haystack, KStringView needle)
{
    if (needle.size() > haystack.size())
        return KStringView::npos;
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i)
    {
        if (StartsWithIgnoreCase(haystack.substr(i), needle))
            return i;
    }
    return KStringView::npos;
}

} // namespace text
