#pragma once
// Case-insensitive matching of UTF-16 text for the formats (month and day
// names, format letters, yes and no words). Case folding follows Unicode's
// simple folding of single code units, independent of the process's locale.
//
// Threading: pure functions, callable from any thread.

#include "platform/Text.h"

namespace text
{

// The simple case folding of one UTF-16 code unit (surrogates stay as they are).
char16_t FoldCase(char16_t c);

bool EqualsIgnoreCase(KStringView a, KStringView b);
// True when text starts with prefix, compared without regard to case.
bool StartsWithIgnoreCase(KStringView text, KStringView prefix);
// The first position of needle in haystack without regard to case, or npos.
size_t FindIgnoreCase(KStringView haystack, KStringView needle);

} // namespace text
