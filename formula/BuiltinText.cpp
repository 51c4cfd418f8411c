// The text functions (and PARAMETER, COMPUTERID, the regular expressions and the phonetic codes).

#include "formula/BuiltinSupport.h"
#include "formula/FormulaParameters.h"

#include "engine/TextFold.h"
#include "platform/Regex.h"
#include "platform/Text.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

namespace formula
{

namespace
{

bool IsInteger(const CParsevalToken* t)
{
    return t->GetValueType() == VALUE_INTEGER;
}

// Thread-local scratch buffers for the text renderings of arguments.
KString& Scratch(int i)
{
    thread_local KString buffers[5];
    return buffers[i];
}

// The arguments of a text function: count in [lo, hi] else 13; the argument positions listed in integers must be
// integers, those in flags truth values (texts). Returns 0 to go on, or the status; on reject in evaluation mode
// the result is the undefined value of defaultType and *done is set.
int CheckArgs(Args a, int n, int lo, int hi, std::initializer_list<int> integers, std::initializer_list<int> flags,
              CParsevalToken& r, bool check, EValueType defaultType, bool& done)
{
    done = false;
    r.Text().clear();
    if (n < lo || n > hi)
        return PARSEVAL_ARGUMENT_COUNT;
    for (int i : integers)
    {
        if (i < n && !IsInteger(a[i]))
        {
            done = true;
            return Reject(check, r, defaultType);
        }
    }
    for (int i : flags)
    {
        if (i < n && !a[i]->IsText())
        {
            done = true;
            return Reject(check, r, defaultType);
        }
    }
    return PARSEVAL_OK;
}

// Whether any of the listed arguments is undefined or invalid.
bool AnyUndefined(Args a, int n, std::initializer_list<int> which)
{
    for (int i : which)
    {
        if (i < n && !a[i]->IsDefinedAndValid())
            return true;
    }
    return false;
}

// A truth flag argument (default yes when absent); -1 when it cannot be read.
int FlagOf(Args a, int n, int i)
{
    return i < n ? ReadTruth(*a[i]) : 1;
}

// Evaluator bodies: (args, count, result, formats) after the checks.
#define TEXT_FUNCTION(NAME, LO, HI, INTS, FLAGS, RESULT_TYPE, RESULT_FORMAT)                                        \
    int NAME##Body(Args a, int n, CParsevalToken& r, const CFormatRegistry& formats);                               \
    int NAME(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)                          \
    {                                                                                                               \
        bool done = false;                                                                                          \
        const int status = CheckArgs(a, n, LO, HI, INTS, FLAGS, r, check, RESULT_TYPE, done);                       \
        if (status != PARSEVAL_OK || done)                                                                          \
            return status;                                                                                          \
        r.SetType(RESULT_TYPE, RESULT_FORMAT);                                                                      \
        if (check)                                                                                                  \
            return PARSEVAL_OK;                                                                                     \
        return NAME##Body(a, n, r, formats);                                                                        \
    }                                                                                                               \
    int NAME##Body(Args a, int n, CParsevalToken& r, const CFormatRegistry& formats)

#define IDX(...) std::initializer_list<int>{__VA_ARGS__}
#define NONE IDX()

TEXT_FUNCTION(BeginsWith, 2, 3, NONE, IDX(2), VALUE_TEXT, 0)
{
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const KString& search = TextOf(*a[1], formats, Scratch(1));
    const int exact = FlagOf(a, n, 2);
    if (exact < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    if (search.size() > text.size())
        return r.SetTruth(false), PARSEVAL_OK;
    const KStringView head(text.data(), search.size());
    r.SetTruth(exact ? head == search : text::EqualsIgnoreCase(head, search));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(EndsWith, 2, 3, NONE, IDX(2), VALUE_TEXT, 0)
{
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const KString& search = TextOf(*a[1], formats, Scratch(1));
    const int exact = FlagOf(a, n, 2);
    if (exact < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    if (search.size() > text.size())
        return r.SetTruth(false), PARSEVAL_OK;
    const KStringView tail(text.data() + text.size() - search.size(), search.size());
    r.SetTruth(exact ? tail == search : text::EqualsIgnoreCase(tail, search));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Char, 1, 1, IDX(0), NONE, VALUE_TEXT, 0)
{
    if (AnyUndefined(a, n, {0}))
        return r.SetUndefined(), PARSEVAL_OK;
    const double code = a[0]->GetNumber();
    if (code < 1 || code > 65535 || (code >= 0xD800 && code <= 0xDFFF))
        return r.SetUndefined(), PARSEVAL_OK;
    r.Text().assign(1, static_cast<char16_t>(code));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Code, 1, 1, NONE, NONE, VALUE_INTEGER, -1)
{
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    if (text.empty())
        return r.SetUndefined(), PARSEVAL_OK;
    r.SetNumber(text[0]);
    return PARSEVAL_OK;
}

const KString& ComputerIdentifier()
{
    static const KString id = []
    {
        for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"})
        {
            std::ifstream in(path);
            std::string line;
            if (in && std::getline(in, line) && !line.empty())
                return platform::FromUtf8(line);
        }
        const char* host = std::getenv("HOSTNAME");
        return platform::FromUtf8(host && *host ? host : "localhost");
    }();
    return id;
}

TEXT_FUNCTION(ComputerId, 0, 0, NONE, NONE, VALUE_TEXT, 0)
{
    r.SetText(ComputerIdentifier());
    return PARSEVAL_OK;
}

int Concatenate(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n < 2)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    bool any = false;
    for (int i = 0; i < n; ++i)
    {
        any = any || !a[i]->IsUndefined();
        a[i]->AppendRendering(formats, r.Text());
        if (r.Text().size() > kMaxFormulaTextLength)
            return r.SetUndefined(), PARSEVAL_OK;
    }
    if (!any)
        r.SetUndefined();
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Exact, 2, 2, NONE, NONE, VALUE_TEXT, 0)
{
    r.SetTruth(TextOf(*a[0], formats, Scratch(0)) == TextOf(*a[1], formats, Scratch(1)));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Find, 2, 4, IDX(2, 3), NONE, VALUE_INTEGER, (n > 2 ? a[2]->GetFormatId() : -1))
{
    if (AnyUndefined(a, n, {2, 3}))
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& search = TextOf(*a[0], formats, Scratch(0));
    const KString& text = TextOf(*a[1], formats, Scratch(1));
    const double start = n > 2 ? a[2]->GetNumber() : 1;
    const double direction = n > 3 ? a[3]->GetNumber() : 1;
    const double length = static_cast<double>(text.size());
    r.SetNumber(0);
    if ((direction != 1 && direction != -1) || start < 1 || (start > length && !(start == 1 && length == 0)))
        return PARSEVAL_OK;
    if (search.empty())
        return r.SetNumber(1), PARSEVAL_OK;
    if (text.empty())
        return PARSEVAL_OK;
    const size_t s = static_cast<size_t>(start);
    size_t at = KString::npos;
    if (direction == 1)
        at = text.find(search, s - 1);
    else if (search.size() <= s)
        at = KStringView(text).substr(0, s).rfind(search);
    if (at != KString::npos)
        r.SetNumber(static_cast<double>(at + 1));
    return PARSEVAL_OK;
}

// LEFT and RIGHT: the text and how many of its characters to take (the second argument, 1 without one, at most
// all). False, the result undefined, for an undefined argument or a negative count.
bool TextAndCount(Args a, int n, CParsevalToken& r, const CFormatRegistry& formats, KStringView& text, size_t& k)
{
    const double count = n > 1 ? a[1]->GetNumber() : 1;
    if (a[0]->IsUndefined() || AnyUndefined(a, n, {1}) || count < 0)
        return r.SetUndefined(), false;
    text = TextOf(*a[0], formats, Scratch(0));
    k = static_cast<size_t>(std::min<double>(count, text.size()));
    return true;
}

TEXT_FUNCTION(Left, 1, 2, IDX(1), NONE, VALUE_TEXT, 0)
{
    KStringView text;
    size_t k = 0;
    if (TextAndCount(a, n, r, formats, text, k))
        SetTextResult(r, text.substr(0, k));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Right, 1, 2, IDX(1), NONE, VALUE_TEXT, 0)
{
    KStringView text;
    size_t k = 0;
    if (TextAndCount(a, n, r, formats, text, k))
        SetTextResult(r, text.substr(text.size() - k));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Length, 1, 1, NONE, NONE, VALUE_INTEGER, -1)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    r.SetNumber(static_cast<double>(TextOf(*a[0], formats, Scratch(0)).size()));
    return PARSEVAL_OK;
}

// The text with each code unit mapped by map (surrogates kept as they are).
void MapCodeUnits(KString& out, const KString& text, UChar32 (*map)(UChar32))
{
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = (text[i] >= 0xD800 && text[i] <= 0xDFFF) ? text[i] : static_cast<char16_t>(map(text[i]));
}

TEXT_FUNCTION(Lower, 1, 1, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    MapCodeUnits(r.Text(), TextOf(*a[0], formats, Scratch(0)), u_tolower);
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Upper, 1, 1, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    MapCodeUnits(r.Text(), TextOf(*a[0], formats, Scratch(0)), u_toupper);
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Proper, 1, 1, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    KString& out = r.Text();
    out.resize(text.size());
    bool afterLetter = false;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF)
        {
            out[i] = c;
            afterLetter = false;
            continue;
        }
        const bool letter = u_isalpha(c);
        out[i] = static_cast<char16_t>(letter && !afterLetter ? u_toupper(c) : u_tolower(c));
        afterLetter = letter;
    }
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Mid, 2, 3, IDX(1, 2), NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined() || AnyUndefined(a, n, {1, 2}))
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const double start = a[1]->GetNumber();
    const double length = static_cast<double>(text.size());
    const double count = n > 2 ? a[2]->GetNumber() : length - start + 1;
    if (start < 1 || count < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    if (start > length)
        return SetTextResult(r, u""), PARSEVAL_OK;
    const size_t s = static_cast<size_t>(start) - 1;
    SetTextResult(r, KStringView(text).substr(s, static_cast<size_t>(std::min(count, length - s))));
    return PARSEVAL_OK;
}

// Reads a number in a base 2 .. 36 as the function NUMBER does; NaN when it cannot.
double ReadInBase(KStringView text, int base)
{
    size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        sign = text[i++] == u'-' ? -1 : 1;
    double value = 0, scale = 0;
    bool digits = false;
    for (; i < text.size(); ++i)
    {
        const char16_t c = text[i];
        if (c == u' ')
            break;
        if (c == u'.')
        {
            if (scale != 0)
                return NAN;
            scale = 1;
            continue;
        }
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'z')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'Z')
            d = c - u'A' + 10;
        if (d < 0 || d >= base)
            return NAN;
        digits = true;
        if (scale == 0)
            value = value * base + d;
        else
        {
            scale /= base;
            value += d * scale;
        }
    }
    if (!digits)
        return NAN;
    return sign * value;
}

TEXT_FUNCTION(Number, 1, 2, IDX(1), NONE, VALUE_DOUBLE, -1)
{
    if (a[0]->IsUndefined() || AnyUndefined(a, n, {1}))
        return r.SetUndefined(), PARSEVAL_OK;
    const double base = n > 1 ? a[1]->GetNumber() : 10;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    double value = NAN;
    if (base == 10)
    {
        const std::string utf8 = platform::ToUtf8(text);
        const size_t start = utf8.find_first_not_of(' ');
        const size_t end = utf8.find_last_not_of(' ');
        if (start != std::string::npos)
        {
            const std::string inner = utf8.substr(start, end - start + 1);
            bool plain = true;
            for (char c : inner)
                plain = plain && (std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
                                  c == 'e' || c == 'E');
            char* stop = nullptr;
            const double v = plain ? std::strtod(inner.c_str(), &stop) : NAN;
            if (plain && stop && *stop == 0)
                value = v;
        }
    }
    else if (base >= 2 && base <= 36)
        value = ReadInBase(text, static_cast<int>(base));
    SetNumberResult(r, value);
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Replace, 4, 4, IDX(1, 2), NONE, VALUE_TEXT, 0)
{
    if (AnyUndefined(a, n, {1, 2}))
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& old = TextOf(*a[0], formats, Scratch(0));
    const KString& insert = TextOf(*a[3], formats, Scratch(1));
    const double start = a[1]->GetNumber(), count = a[2]->GetNumber();
    if (start < 1 || count < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    const size_t s = static_cast<size_t>(std::min<double>(start - 1, old.size()));
    const size_t k = static_cast<size_t>(std::min<double>(count, old.size() - s));
    if (old.size() - k + insert.size() > kMaxFormulaTextLength)
        return r.SetUndefined(), PARSEVAL_OK;
    KString& out = r.Text();
    out.assign(old, 0, s);
    out += insert;
    out.append(old, s + k, KString::npos);
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Repeat, 2, 2, IDX(1), NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined() || AnyUndefined(a, n, {1}))
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const double count = a[1]->GetNumber();
    if (count < 0 || count * static_cast<double>(text.size()) > kMaxFormulaTextLength)
        return r.SetUndefined(), PARSEVAL_OK;
    if (text.empty()) // any count of nothing, without counting to it
        return SetTextResult(r, u""), PARSEVAL_OK;
    KString& out = r.Text();
    for (double i = 0; i < count; ++i)
        out += text;
    if (out.empty())
        SetTextResult(r, u"");
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Reverse, 1, 1, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    KString& out = r.Text();
    out = TextOf(*a[0], formats, Scratch(0));
    std::reverse(out.begin(), out.end());
    // a surrogate pair keeps its order
    for (size_t i = 0; i + 1 < out.size(); ++i)
    {
        if (out[i] >= 0xDC00 && out[i] <= 0xDFFF && out[i + 1] >= 0xD800 && out[i + 1] <= 0xDBFF)
        {
            std::swap(out[i], out[i + 1]);
            ++i;
        }
    }
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Trim, 1, 1, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    size_t s = 0, e = text.size();
    while (s < e && (text[s] == u' ' || text[s] == u'\t'))
        ++s;
    while (e > s && (text[e - 1] == u' ' || text[e - 1] == u'\t'))
        --e;
    SetTextResult(r, KStringView(text).substr(s, e - s));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(Parameter, 1, 1, IDX(0), NONE, VALUE_TEXT, 0)
{
    if (AnyUndefined(a, n, {0}))
        return r.SetUndefined(), PARSEVAL_OK;
    const double number = a[0]->GetNumber();
    if (number < 0 || number > 99)
        return r.SetUndefined(), PARSEVAL_OK;
    r.SetText(GetFormulaParameter(GetCurrentTable(), static_cast<int>(number)));
    return PARSEVAL_OK;
}

std::mutex g_matchLock;   // one call of MATCHES at a time
std::mutex g_replaceLock; // one call of REPLACEMATCH at a time

TEXT_FUNCTION(Matches, 2, 3, NONE, IDX(2), VALUE_TEXT, 0)
{
    const int caseSensitive = FlagOf(a, n, 2);
    if (caseSensitive < 0 || a[1]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const KString& pattern = TextOf(*a[1], formats, Scratch(1));
    std::lock_guard<std::mutex> lock(g_matchLock);
    r.SetTruth(platform::RegexMatches(text, pattern, caseSensitive == 1));
    return PARSEVAL_OK;
}

TEXT_FUNCTION(ReplaceMatch, 3, 5, NONE, IDX(3, 4), VALUE_TEXT, 0)
{
    const int caseSensitive = FlagOf(a, n, 3);
    const int all = n > 4 ? ReadTruth(*a[4]) : 0;
    if (caseSensitive < 0 || all < 0 || a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    const KString& pattern = TextOf(*a[1], formats, Scratch(1));
    const KString& replacement = TextOf(*a[2], formats, Scratch(2));
    KString result;
    {
        std::lock_guard<std::mutex> lock(g_replaceLock);
        result = platform::RegexReplace(text, pattern, replacement, caseSensitive == 1, all == 1);
    }
    SetTextResult(r, result);
    return PARSEVAL_OK;
}

// ---- phonetic codes ----

KString SoundexEnglish(const KString& upper)
{
    static const char* const kDigits = "01230120022455012623010202";
    KString out;
    size_t i = 0;
    while (i < upper.size() && !(upper[i] >= u'A' && upper[i] <= u'Z') && !u_isupper(upper[i]))
        ++i;
    if (i >= upper.size())
        return out;
    auto digitOf = [](char16_t c) -> char16_t
    {
        if (c >= u'A' && c <= u'Z')
            return static_cast<char16_t>(kDigits[c - u'A']);
        if (c == u'\u00DF')
            return u'2';
        return u'0';
    };
    out += upper[i];
    char16_t previous = digitOf(upper[i]);
    for (++i; i < upper.size(); ++i)
    {
        const char16_t d = digitOf(upper[i]);
        if (d != u'0' && d != previous)
            out += d;
        previous = d;
    }
    return out;
}

KString SoundexGerman(const KString& upper)
{
    static const char* const kCodes = "0142034?004566014782033808";
    KString out;
    size_t i = 0;
    while (i < upper.size() && !u_isupper(upper[i]))
        ++i;
    auto isLetter = [](char16_t c) { return (c >= u'A' && c <= u'Z') || c == 0xC4 || c == 0xD6 || c == 0xDC || c == 0xDF; };
    bool wordStart = true;
    char16_t last = 0; // the last digit written in this word (0 none)
    for (; i < upper.size(); ++i)
    {
        const char16_t c = upper[i];
        const char16_t prev = i > 0 ? upper[i - 1] : 0;
        const char16_t next = i + 1 < upper.size() ? upper[i + 1] : 0;
        if (c == u' ')
        {
            if (!out.empty() && out.back() != u' ')
                out += u' ';
            wordStart = true;
            last = 0;
            continue;
        }
        if (!isLetter(c) || c == u'H')
            continue;
        KString code;
        if (c == 0xC4 || c == 0xD6 || c == 0xDC)
            code = u"0";
        else if (c == 0xDF)
            code = u"8";
        else if (c == u'P' && next == u'H')
            code = u"3";
        else if ((c == u'D' || c == u'T') && (next == u'C' || next == u'S' || next == u'Z'))
            code = u"8";
        else if (c == u'C')
        {
            if (!wordStart && (prev == u'S' || prev == u'Z'))
                code = u"8";
            else if (wordStart)
                code = KStringView(u"AHKLOQRUX").find(next) != KStringView::npos && next ? u"4" : u"8";
            else
                code = KStringView(u"AHKOQUX").find(next) != KStringView::npos && next ? u"4" : u"8";
        }
        else if (c == u'X' && !(prev == u'C' || prev == u'K' || prev == u'Q'))
            code = u"48";
        else
            code = KString(1, static_cast<char16_t>(kCodes[c - u'A']));
        for (char16_t d : code)
        {
            if (d == last)
                continue;
            if (d != u'0' || wordStart)
                out += d;
            last = d;
            wordStart = false;
        }
        wordStart = false;
    }
    while (!out.empty() && out.back() == u' ')
        out.pop_back();
    return out;
}

TEXT_FUNCTION(Soundex, 1, 2, NONE, NONE, VALUE_TEXT, 0)
{
    if (a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const KString& text = TextOf(*a[0], formats, Scratch(0));
    KString upper(text.size(), 0);
    for (size_t i = 0; i < text.size(); ++i)
        upper[i] = (text[i] >= 0xD800 && text[i] <= 0xDFFF) ? text[i] : static_cast<char16_t>(u_toupper(text[i]));
    bool german = false;
    if (n > 1)
    {
        const KString& language = TextOf(*a[1], formats, Scratch(1));
        german = text::EqualsIgnoreCase(language, u"DE");
    }
    const KString code = german ? SoundexGerman(upper) : SoundexEnglish(upper);
    if (code.empty())
        return r.SetUndefined(), PARSEVAL_OK;
    SetTextResult(r, code);
    return PARSEVAL_OK;
}

} // namespace

void AppendTextFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupText;
    out.push_back(Function(u"BEGINSWITH", BeginsWith, 2776, "beginswith_.html", g, u"BEGINSWITH(\"Korvalin\", \"kor\", \"no\")", u"yes"));
    out.push_back(Function(u"CHAR", Char, 2778, "char_.html", g, u"CHAR(65) + CHAR(228)", u"A\u00e4"));
    out.push_back(Function(u"CODE", Code, 2780, "code_.html", g, u"CODE(\"A\")", u"65"));
    out.push_back(Function(u"COMPUTERID", ComputerId, 2781, "computerid_.html", g, u"LEN(COMPUTERID()) > 0", u"yes",
                           TIME_MACHINE));
    out.push_back(Function(u"CONCATENATE", Concatenate, 2782, "concatenate_.html", g,
                           u"CONCATENATE(\"a\", 1, \"b\")", u"a1b"));
    out.push_back(Function(u"ENDSWITH", EndsWith, 2784, "endswith_.html", g, u"ENDSWITH(\"report.csv\", \".csv\")", u"yes"));
    out.push_back(Function(u"EXACT", Exact, 2785, "exact_.html", g, u"EXACT(\"a\", \"A\")", u"no"));
    out.push_back(Function(u"FIND", Find, 2787, "find_.html", g, u"FIND(\"a\", \"banana\", 6, -1)", u"6"));
    out.push_back(Function(u"LEFT", Left, 2789, "left_.html", g, u"LEFT(\"Korvalin\", 3)", u"Kor"));
    out.push_back(Function(u"LEN", Length, 2791, "len_.html", g, u"LEN(\"abc\")", u"3", TIME_INDEPENDENT, true));
    out.push_back(Function(u"LENGTH", Length, 2792, "length_.html", g, u"LENGTH(\"\u00e4bc\")", u"3"));
    out.push_back(Function(u"LOWER", Lower, 2794, "lower_.html", g, u"LOWER(\"\u00c4BC\")", u"\u00e4bc"));
    out.push_back(Function(u"MATCHES", Matches, 2795, "matches_.html", g, u"MATCHES(\"K-2024\", \"^\\\\c-\\\\d+$\")", u"yes"));
    out.push_back(Function(u"MID", Mid, 2796, "mid_.html", g, u"MID(\"abcdef\", 3, 2)", u"cd"));
    out.push_back(Function(u"NUMBER", Number, 2797, "number_.html", g, u"NUMBER(\"ff\", 16)", u"255"));
    out.push_back(Function(u"PROPER", Proper, 2798, "proper_.html", g, u"PROPER(\"hello wORLD\")", u"Hello World"));
    out.push_back(Function(u"REPLACE", Replace, 2800, "replace_.html", g, u"REPLACE(\"abcdef\", 2, 3, \"X\")", u"aXef"));
    out.push_back(Function(u"REPLACEMATCH", ReplaceMatch, 2802, "replacematch_.html", g,
                           u"REPLACEMATCH(\"a1b22c\", \"\\\\d+\", \"#\", \"yes\", \"yes\")", u"a#b#c"));
    out.push_back(Function(u"REPT", Repeat, 2803, "rept_.html", g, u"REPT(\"ab\", 3)", u"ababab", TIME_INDEPENDENT, true));
    out.push_back(Function(u"REPEAT", Repeat, 2804, "repeat_.html", g, u"REPEAT(\"-\", 4)", u"----"));
    out.push_back(Function(u"REVERSE", Reverse, 2805, "reverse_.html", g, u"REVERSE(\"abc\")", u"cba"));
    out.push_back(Function(u"RIGHT", Right, 2807, "right_.html", g, u"RIGHT(\"Korvalin\", 3)", u"lin"));
    out.push_back(Function(u"SOUNDEX", Soundex, 2809, "soundex_.html", g, u"SOUNDEX(\"Robert\")", u"R163"));
    out.push_back(Function(u"TRIM", Trim, 2811, "trim_.html", g, u"TRIM(\"  a b  \")", u"a b"));
    out.push_back(Function(u"UPPER", Upper, 2812, "upper_.html", g, u"UPPER(\"stra\u00dfe\")", u"STRA\u00dfE"));
    out.push_back(Function(u"PARAMETER", Parameter, 2331, "analyse_externe_parameter_.htm#Funktion", g,
                           u"UNDEFINED(PARAMETER(100))", u"yes", TIME_MACHINE));
}

} // namespace formula
