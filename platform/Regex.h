#pragma once
// Regular expressions of the formula functions MATCHES and REPLACEMATCH, in the classic dialect that table users
// write (the one of the Active Template Library's parser), run by PCRE2 on UTF-16 text.
//
// The dialect, as TranslatePattern reads it:
//   .          any character                    [abc] [^a-z]  a class, negated with ^, ranges with -
//   ? + *      once or not, once or more, any   ?? +? *?      the same, as few times as possible
//   ( )        a group that captures nothing     { }           a match group, numbered from 0 as it opens
//   a|b        one or the other                 !x            x does not follow here (x: the next item and
//   ^ (first)  the start of the text             $ (last)      the end of the text        its repetition)
//   \0 ... \9  the text that match group n matched             \x   any other character x as it stands
//   \a letter or digit  \b blank or tab  \c letter  \d digit 0-9  \h hex digit  \n line break (CR LF, CR or LF)
//   \q a text in double or single quotes  \w a word of letters  \z an integer of digits 0-9
// Letters are those of every script (\a, \c, \w), not only A-Z. A pattern matches when it matches any part of
// the text (^ and $ tie it to the start and the end), as the dialect's match operation searches the text.
//
// Threading: every function may be called from any thread; each thread keeps its own last compiled pattern.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform
{

// A pattern of the dialect in PCRE2's syntax (UTF-16), or why it is not a pattern.
struct SRegexTranslation
{
    std::u16string m_strPattern; // the PCRE2 pattern; empty when m_strError is set
    std::string m_strError;      // what is wrong, for developers and logs (English); empty when the pattern is good
    size_t m_nErrorOffset = 0;   // code unit of the pattern where the fault was found
    int m_nGroups = 0;           // the pattern's match groups {...}; PCRE2 numbers group n as n + 1

    bool Ok() const { return m_strError.empty(); }
};

// Translates a pattern of the dialect into PCRE2's syntax. Never throws for any input.
SRegexTranslation TranslatePattern(std::u16string_view pattern);

// Whether `text` matches `pattern`; a per-thread cache keeps the last compiled pattern and case flag.
// A pattern that fails to translate or compile, or a match that hits the engine's limits, counts as no match.
bool RegexMatches(std::u16string_view text, std::u16string_view pattern, bool caseSensitive);

// `text` with the first (or every) match replaced; unchanged when the pattern fails.
// In `replacement`, \0 ... \9 stand for what that match group matched (nothing for a group that took no part),
// \\ for one backslash, and a backslash before any other character for that character. With replaceAll an
// empty match is replaced too and the search goes on one character further. A search that hits the engine's
// limits leaves the text unchanged.
std::u16string RegexReplace(std::u16string_view text, std::u16string_view pattern, std::u16string_view replacement,
                            bool caseSensitive, bool replaceAll);

} // namespace platform
