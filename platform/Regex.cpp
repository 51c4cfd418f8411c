#include "platform/Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform
{

namespace
{

// How far one match may go before it counts as no match: calls of the matcher's inner function (the interpreter and
// the JIT count them alike), remembered backtracking points, their memory in KiB, and the JIT's own stack. A
// pattern such as {a*}*b on a long row of a's ends here within milliseconds instead of running for years.
constexpr uint32_t kMatchLimit = 1'000'000;
constexpr uint32_t kDepthLimit = 100'000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 1024 * 1024;

bool IsHighSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Builds the PCRE2 pattern while it reads the dialect, one item at a time.
class CTranslator
{
public:
    explicit CTranslator(std::u16string_view pattern) : m_pattern(pattern) { m_vFrames.push_back(SFrame{}); }

    SRegexTranslation Run()
    {
        while (m_nPos < m_pattern.size() && m_result.Ok())
            Step();
        if (m_result.Ok())
        {
            CloseNegations();
            if (m_vFrames.back().m_nWaitingNots != 0)
                Fail("'!' at the end of the pattern has nothing to negate");
            else if (m_vFrames.size() > 1)
                Fail(m_vFrames.back().m_chCloser == u'}' ? "'{' is never closed" : "'(' is never closed",
                     m_vFrames.back().m_nOpenedAt);
        }
        if (m_result.Ok())
            m_result.m_strPattern = std::move(m_out);
        m_result.m_nGroups = m_nGroupsOpened;
        return std::move(m_result);
    }

private:
    // One level of nesting: the whole pattern, or a group.
    struct SFrame
    {
        char16_t m_chCloser = 0;   // '}' or ')' that ends the group; 0 for the whole pattern
        size_t m_nOpenedAt = 0;    // position of the opening bracket
        int m_nAttachedNots = 0;   // negations that the group as a whole is the operand of
        int m_nWaitingNots = 0;    // '!' read whose operand has not begun
        int m_nNotsToClose = 0;    // negations whose operand is complete but may still take a repetition
        bool m_bCanRepeat = false; // the last thing written is an item that ?, + or * may follow
        bool m_bRepeated = false;  // the last thing written is a repetition (a '?' after it makes it lazy)
    };

    void Fail(const char* what, size_t at)
    {
        if (!m_result.Ok())
            return;
        m_result.m_strError = what;
        m_result.m_nErrorOffset = at;
    }
    void Fail(const char* what) { Fail(what, m_nPos); }

    SFrame& Frame() { return m_vFrames.back(); }

    // Ends the negations whose operand is complete; called before anything that is not a repetition.
    void CloseNegations()
    {
        for (; Frame().m_nNotsToClose > 0; --Frame().m_nNotsToClose)
            m_out += u')';
    }

    // A new item begins: it is the operand of the '!' read before it.
    int BeginItem()
    {
        CloseNegations();
        const int attached = Frame().m_nWaitingNots;
        Frame().m_nWaitingNots = 0;
        return attached;
    }

    // An item is complete; its negations close after its repetition.
    void EndItem(int attachedNots)
    {
        Frame().m_nNotsToClose = attachedNots;
        Frame().m_bCanRepeat = true;
        Frame().m_bRepeated = false;
    }

    // The code point at m_nPos, or -1 when the pattern is not valid UTF-16 there; advances past it.
    int32_t ReadCodePoint()
    {
        const char32_t c = m_pattern[m_nPos];
        if (IsHighSurrogate(c) && m_nPos + 1 < m_pattern.size() && IsLowSurrogate(m_pattern[m_nPos + 1]))
        {
            const char32_t low = m_pattern[m_nPos + 1];
            m_nPos += 2;
            return static_cast<int32_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        }
        if (IsHighSurrogate(c) || IsLowSurrogate(c))
        {
            Fail("the pattern is not valid UTF-16 (a lone surrogate)");
            return -1;
        }
        ++m_nPos;
        return static_cast<int32_t>(c);
    }

    void AppendAscii(const char* text)
    {
        for (; *text != 0; ++text)
            m_out += static_cast<char16_t>(*text);
    }

    void AppendHex(int32_t code)
    {
        static const char digits[] = "0123456789abcdef";
        AppendAscii("\\x{");
        std::u16string hex;
        do
        {
            hex.insert(hex.begin(), static_cast<char16_t>(digits[code & 0xF]));
            code >>= 4;
        } while (code != 0);
        m_out += hex;
        m_out += u'}';
    }

    // A character that stands for itself.
    void AppendLiteral(int32_t code)
    {
        if (code < 0x20 || code == 0x7F)
            AppendHex(code);
        else if (code < 0x80 &&
                 std::u16string_view(u"\\^$.[]|()?*+{}").find(static_cast<char16_t>(code)) != std::u16string_view::npos)
        {
            m_out += u'\\';
            m_out += static_cast<char16_t>(code);
        }
        else if (code >= 0x10000)
        {
            m_out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            m_out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
        else
            m_out += static_cast<char16_t>(code);
    }

    void Repeat(char16_t quantifier)
    {
        if (Frame().m_bRepeated && quantifier == u'?')
        {
            m_out += u'?'; // lazy: ??, +?, *?
            Frame().m_bRepeated = false;
            Frame().m_bCanRepeat = false;
            return;
        }
        if (!Frame().m_bCanRepeat)
        {
            Fail(Frame().m_bRepeated ? "a repetition follows a repetition" : "a repetition has nothing to repeat");
            return;
        }
        m_out += quantifier;
        Frame().m_bCanRepeat = false;
        Frame().m_bRepeated = true;
    }

    // An abbreviation \x outside a class as a PCRE2 item; false when x is not one.
    bool AppendAbbreviation(char16_t letter)
    {
        static constexpr std::pair<char16_t, const char*> kAbbreviations[] = {
            {u'a', "[\\p{L}0-9]"}, {u'b', "[ \\t]"},       {u'c', "\\p{L}"},
            {u'd', "[0-9]"},       {u'h', "[0-9a-fA-F]"},  {u'n', "(?:\\r\\n?|\\n)"},
            {u'q', "(?:\"[^\"]*\"|'[^']*')"},          {u'w', "(?:\\p{L}+)"},
            {u'z', "(?:[0-9]+)"},
        };
        for (const auto& [abbreviation, item] : kAbbreviations)
        {
            if (abbreviation == letter)
                return AppendAscii(item), true;
        }
        return false;
    }

    void Escape()
    {
        const size_t at = m_nPos;
        ++m_nPos; // the backslash
        if (m_nPos == m_pattern.size())
        {
            Fail("a backslash ends the pattern", at);
            return;
        }
        const int attached = BeginItem();
        const char16_t next = m_pattern[m_nPos];
        if (next >= u'0' && next <= u'9')
        {
            const int group = next - u'0';
            if (group >= m_nGroupsOpened)
            {
                Fail("a back reference names a match group that the pattern has not opened before it", at);
                return;
            }
            ++m_nPos;
            AppendAscii(("\\g{" + std::to_string(group + 1) + "}").c_str()); // PCRE2 numbers groups from 1
        }
        else if (AppendAbbreviation(next))
            ++m_nPos;
        else
        {
            const int32_t code = ReadCodePoint();
            if (code < 0)
                return;
            AppendLiteral(code);
        }
        EndItem(attached);
    }

    // One member of a class: a character (escaped or not), or -1 with `set` filled for an abbreviation.
    int32_t ReadClassMember(std::string& set)
    {
        if (m_pattern[m_nPos] != u'\\')
            return ReadCodePoint();
        const size_t at = m_nPos++;
        if (m_nPos == m_pattern.size())
        {
            Fail("a class is never closed", at);
            return -1;
        }
        switch (m_pattern[m_nPos])
        {
        case u'a':
            set = "\\p{L}0-9";
            break;
        case u'b':
            set = " \\t";
            break;
        case u'c':
            set = "\\p{L}";
            break;
        case u'd':
            set = "0-9";
            break;
        case u'h':
            set = "0-9a-fA-F";
            break;
        case u'n':
            set = "\\r\\n";
            break;
        case u'q':
        case u'w':
        case u'z':
            Fail("an abbreviation for more than one character stands in a class", at);
            return -1;
        default:
            return ReadCodePoint();
        }
        ++m_nPos;
        return -1;
    }

    void Class()
    {
        const size_t at = m_nPos;
        const int attached = BeginItem();
        ++m_nPos; // [
        m_out += u'[';
        if (m_nPos < m_pattern.size() && m_pattern[m_nPos] == u'^')
        {
            m_out += u'^';
            ++m_nPos;
        }
        bool empty = true;
        while (m_result.Ok())
        {
            if (m_nPos == m_pattern.size())
            {
                Fail("a class is never closed", at);
                return;
            }
            if (m_pattern[m_nPos] == u']')
                break;
            std::string set;
            const int32_t first = ReadClassMember(set);
            if (!m_result.Ok())
                return;
            empty = false;
            if (first < 0)
            {
                AppendAscii(set.c_str());
                continue;
            }
            // A range: '-' between two characters; a '-' first or last in the class stands for itself.
            if (m_nPos + 1 < m_pattern.size() && m_pattern[m_nPos] == u'-' && m_pattern[m_nPos + 1] != u']')
            {
                const size_t dash = m_nPos++;
                std::string lastSet;
                const int32_t last = ReadClassMember(lastSet);
                if (!m_result.Ok())
                    return;
                if (last < 0)
                {
                    Fail("a range ends in an abbreviation", dash);
                    return;
                }
                if (last < first)
                {
                    Fail("a range ends before it begins", dash);
                    return;
                }
                AppendHex(first);
                m_out += u'-';
                AppendHex(last);
            }
            else
                AppendHex(first);
        }
        if (empty)
        {
            Fail("a class is empty", at);
            return;
        }
        ++m_nPos; // ]
        m_out += u']';
        EndItem(attached);
    }

    void Open(char16_t closer)
    {
        const int attached = BeginItem();
        SFrame frame;
        frame.m_chCloser = closer;
        frame.m_nOpenedAt = m_nPos++;
        frame.m_nAttachedNots = attached;
        if (closer == u'}')
        {
            m_out += u'(';
            ++m_nGroupsOpened;
        }
        else
            AppendAscii("(?:");
        m_vFrames.push_back(frame);
    }

    void Close(char16_t closer)
    {
        CloseNegations();
        if (Frame().m_nWaitingNots != 0)
        {
            Fail("'!' has nothing to negate");
            return;
        }
        if (Frame().m_chCloser != closer)
        {
            Fail(closer == u'}' ? "'}' closes nothing opened with '{'" : "')' closes nothing opened with '('");
            return;
        }
        const int attached = Frame().m_nAttachedNots;
        m_vFrames.pop_back();
        ++m_nPos;
        m_out += u')';
        EndItem(attached);
    }

    void Step()
    {
        const char16_t c = m_pattern[m_nPos];
        switch (c)
        {
        case u'?':
        case u'+':
        case u'*':
            Repeat(c);
            ++m_nPos;
            return;
        case u'\\':
            Escape();
            return;
        case u'[':
            Class();
            return;
        case u'{':
        case u'(':
            Open(c == u'{' ? u'}' : u')');
            return;
        case u'}':
        case u')':
            Close(c);
            return;
        case u'|':
            CloseNegations();
            if (Frame().m_nWaitingNots != 0)
            {
                Fail("'!' has nothing to negate");
                return;
            }
            m_out += u'|';
            Frame().m_bCanRepeat = false;
            Frame().m_bRepeated = false;
            ++m_nPos;
            return;
        case u'!':
            CloseNegations();
            AppendAscii("(?!");
            ++Frame().m_nWaitingNots;
            Frame().m_bCanRepeat = false;
            Frame().m_bRepeated = false;
            ++m_nPos;
            return;
        default:
            break;
        }
        if (c == u'^' && m_nPos == 0)
        {
            m_out += u'^';
            ++m_nPos;
            return;
        }
        if (c == u'$' && m_nPos + 1 == m_pattern.size())
        {
            CloseNegations();
            if (Frame().m_nWaitingNots != 0)
            {
                Fail("'!' has nothing to negate");
                return;
            }
            AppendAscii("\\z");
            Frame().m_bCanRepeat = false;
            Frame().m_bRepeated = false;
            ++m_nPos;
            return;
        }
        const int attached = BeginItem();
        if (c == u'.')
        {
            m_out += u'.';
            ++m_nPos;
        }
        else
        {
            const int32_t code = ReadCodePoint();
            if (code < 0)
                return;
            AppendLiteral(code);
        }
        EndItem(attached);
    }

    std::u16string_view m_pattern; // the dialect's pattern
    size_t m_nPos = 0;             // next code unit to read
    std::u16string m_out;          // the PCRE2 pattern so far
    std::vector<SFrame> m_vFrames; // the open groups, the whole pattern first; never empty
    int m_nGroupsOpened = 0;       // match groups {...} begun so far
    SRegexTranslation m_result;    // the error, once there is one
};

// The last pattern a thread compiled, with what matching it needs. Owned by the thread.
class CCompiledPattern
{
public:
    CCompiledPattern() = default;
    CCompiledPattern(const CCompiledPattern&) = delete;
    CCompiledPattern& operator=(const CCompiledPattern&) = delete;
    ~CCompiledPattern()
    {
        Release();
        pcre2_match_context_free(m_pContext);
        pcre2_jit_stack_free(m_pJitStack);
    }

    // Compiles `pattern` unless it is the one already compiled with the same case flag. False when it is no pattern.
    bool Prepare(std::u16string_view pattern, bool caseSensitive)
    {
        if (m_bPrepared && m_bCaseSensitive == caseSensitive && m_strPattern == pattern)
            return m_pCode != nullptr;
        Release();
        m_strPattern.assign(pattern);
        m_bCaseSensitive = caseSensitive;
        m_bPrepared = true;
        const SRegexTranslation translation = TranslatePattern(pattern);
        if (!translation.Ok())
            return false;
        uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_DOTALL | PCRE2_MATCH_INVALID_UTF | PCRE2_NEVER_BACKSLASH_C;
        if (!caseSensitive)
            options |= PCRE2_CASELESS;
        int error = 0;
        PCRE2_SIZE offset = 0;
        m_pCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translation.m_strPattern.data()),
                                translation.m_strPattern.size(), options, &error, &offset, nullptr);
        if (m_pCode == nullptr)
            return false;
        m_pMatchData = pcre2_match_data_create_from_pattern(m_pCode, nullptr);
        if (m_pMatchData == nullptr || !EnsureContext())
        {
            Release();
            return false;
        }
        // Without JIT support (or memory for it) the interpreter runs the pattern: slower, same results.
        pcre2_jit_compile(m_pCode, PCRE2_JIT_COMPLETE);
        return true;
    }

    // Searches the text from `start`; 1 for a match (Group gives where), 0 for none, -1 when a limit was hit.
    int Match(std::u16string_view text, size_t start, uint32_t options)
    {
        const int rc = pcre2_match(m_pCode, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start, options,
                                   m_pMatchData, m_pContext);
        if (rc >= 0)
            return 1;
        return rc == PCRE2_ERROR_NOMATCH ? 0 : -1;
    }

    // Where group n (0: the whole match) of the last match is; false when it took no part.
    bool Group(int n, size_t& begin, size_t& end) const
    {
        if (n < 0 || static_cast<uint32_t>(n) >= pcre2_get_ovector_count(m_pMatchData))
            return false;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_pMatchData);
        if (ovector[2 * n] == PCRE2_UNSET)
            return false;
        begin = ovector[2 * n];
        end = ovector[2 * n + 1];
        return true;
    }

private:
    bool EnsureContext()
    {
        if (m_pContext != nullptr)
            return true;
        m_pContext = pcre2_match_context_create(nullptr);
        if (m_pContext == nullptr)
            return false;
        pcre2_set_match_limit(m_pContext, kMatchLimit);
        pcre2_set_depth_limit(m_pContext, kDepthLimit);
        pcre2_set_heap_limit(m_pContext, kHeapLimitKiB);
        m_pJitStack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
        if (m_pJitStack != nullptr)
            pcre2_jit_stack_assign(m_pContext, nullptr, m_pJitStack);
        return true;
    }

    void Release()
    {
        pcre2_match_data_free(m_pMatchData);
        pcre2_code_free(m_pCode);
        m_pMatchData = nullptr;
        m_pCode = nullptr;
    }

    std::u16string m_strPattern;               // the pattern of the dialect last prepared
    bool m_bCaseSensitive = true;              // its case flag
    bool m_bPrepared = false;                  // m_strPattern and m_bCaseSensitive are valid
    pcre2_code* m_pCode = nullptr;             // the compiled pattern; null when it failed
    pcre2_match_data* m_pMatchData = nullptr;  // offsets of the last match; null exactly when m_pCode is
    pcre2_match_context* m_pContext = nullptr; // the limits, kept for the thread's life
    pcre2_jit_stack* m_pJitStack = nullptr;    // the JIT's stack, kept for the thread's life; may be null
};

CCompiledPattern& ThreadPattern()
{
    thread_local CCompiledPattern compiled;
    return compiled;
}

// One piece of a replacement: literal text, or the text of a match group.
struct SReplacementPiece
{
    std::u16string m_strText; // the literal text, when m_nGroup < 0
    int m_nGroup = -1;        // the dialect's group number 0 ... 9
};

std::vector<SReplacementPiece> ParseReplacement(std::u16string_view replacement)
{
    std::vector<SReplacementPiece> pieces(1);
    for (size_t i = 0; i < replacement.size(); ++i)
    {
        const char16_t c = replacement[i];
        if (c != u'\\' || i + 1 == replacement.size())
        {
            pieces.back().m_strText += c;
            continue;
        }
        const char16_t next = replacement[++i];
        if (next >= u'0' && next <= u'9')
        {
            SReplacementPiece group;
            group.m_nGroup = next - u'0';
            pieces.push_back(group);
            pieces.emplace_back();
        }
        else
            pieces.back().m_strText += next;
    }
    return pieces;
}

} // namespace

SRegexTranslation TranslatePattern(std::u16string_view pattern)
{
    return CTranslator(pattern).Run();
}

bool RegexMatches(std::u16string_view text, std::u16string_view pattern, bool caseSensitive)
{
    CCompiledPattern& compiled = ThreadPattern();
    if (!compiled.Prepare(pattern, caseSensitive))
        return false;
    return compiled.Match(text, 0, 0) == 1;
}

std::u16string RegexReplace(std::u16string_view text, std::u16string_view pattern, std::u16string_view replacement,
                            bool caseSensitive, bool replaceAll)
{
    CCompiledPattern& compiled = ThreadPattern();
    if (!compiled.Prepare(pattern, caseSensitive))
        return std::u16string(text);
    const std::vector<SReplacementPiece> pieces = ParseReplacement(replacement);
    std::u16string out;
    size_t copied = 0; // text before this is in `out`
    size_t start = 0;
    uint32_t options = 0;
    while (start <= text.size())
    {
        const int found = compiled.Match(text, start, options);
        if (found < 0)
            return std::u16string(text);
        if (found == 0)
        {
            if (options == 0)
                break;
            // No other match at the place of an empty one: go on one character further.
            const bool pair =
                start + 1 < text.size() && IsHighSurrogate(text[start]) && IsLowSurrogate(text[start + 1]);
            start += pair ? 2 : 1;
            options = 0;
            continue;
        }
        size_t begin = 0;
        size_t end = 0;
        compiled.Group(0, begin, end);
        out.append(text.substr(copied, begin - copied));
        for (const SReplacementPiece& piece : pieces)
        {
            size_t groupBegin = 0;
            size_t groupEnd = 0;
            if (piece.m_nGroup < 0)
                out += piece.m_strText;
            else if (compiled.Group(piece.m_nGroup + 1, groupBegin, groupEnd))
                out.append(text.substr(groupBegin, groupEnd - groupBegin));
        }
        copied = end;
        if (!replaceAll)
            break;
        start = end;
        // After an empty match, look for a non-empty one at the same place before moving on.
        options = begin == end ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
    }
    out.append(text.substr(copied));
    return out;
}

} // namespace platform
