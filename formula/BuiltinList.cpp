// The list functions. A list is a text of the form "|a|b|c|": elements between bars, unique, at most 254. A text
// without a leading bar is a list of one element; the empty text is the empty list.

#include "formula/BuiltinSupport.h"

#include <algorithm>

namespace formula
{

namespace
{

constexpr size_t kMaxListElements = 254;

// The elements of a list text, unique, in order.
std::vector<KString> Elements(const KString& text)
{
    std::vector<KString> out;
    auto add = [&](KStringView part)
    {
        if (!part.empty() && std::find(out.begin(), out.end(), part) == out.end())
            out.emplace_back(part);
    };
    if (text.empty())
        return out;
    if (text[0] != u'|')
    {
        add(text);
        return out;
    }
    size_t start = 1;
    while (start <= text.size())
    {
        size_t bar = text.find(u'|', start);
        if (bar == KString::npos)
            bar = text.size();
        add(KStringView(text).substr(start, bar - start));
        start = bar + 1;
    }
    return out;
}

bool Contains(const std::vector<KString>& list, const KString& element)
{
    return std::find(list.begin(), list.end(), element) != list.end();
}

// The result list; undefined when empty, or with too many elements or characters.
void SetList(CParsevalToken& r, const std::vector<KString>& list)
{
    r.SetType(VALUE_TEXT, 0);
    if (list.empty() || list.size() > kMaxListElements)
        return r.SetUndefined();
    KString& out = r.Text();
    out = u"|";
    for (const KString& e : list)
    {
        out += e;
        out += u'|';
        if (out.size() > kMaxFormulaTextLength)
            return r.SetUndefined();
    }
}

// The checks of a list function: count in [lo, hi]; the listed positions must be integers, the flag positions
// texts. Returns true to go on with the evaluation.
bool ListArgs(Args a, int n, int lo, int hi, std::initializer_list<int> integers, std::initializer_list<int> flags,
              CParsevalToken& r, bool check, EValueType type, int& status)
{
    r.Text().clear();
    status = PARSEVAL_OK;
    if (n < lo || n > hi)
    {
        status = PARSEVAL_ARGUMENT_COUNT;
        return false;
    }
    for (int i : integers)
    {
        if (i < n && a[i]->GetValueType() != VALUE_INTEGER)
        {
            status = Reject(check, r, type);
            return false;
        }
    }
    for (int i : flags)
    {
        if (i < n && !a[i]->IsText())
        {
            status = Reject(check, r, type);
            return false;
        }
    }
    r.SetType(type, type == VALUE_TEXT ? 0 : -1);
    if (check)
        return false;
    for (int i : integers)
    {
        if (i < n && !a[i]->IsDefinedAndValid())
        {
            r.SetUndefined();
            return false;
        }
    }
    return true;
}

std::vector<KString> ListOf(const CParsevalToken& t, const CFormatRegistry& formats)
{
    KString scratch;
    return Elements(TextOf(t, formats, scratch));
}

int Count(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 1, {}, {}, r, check, VALUE_INTEGER, status))
        return status;
    r.SetNumber(static_cast<double>(ListOf(*a[0], formats).size()));
    return PARSEVAL_OK;
}

int Union(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 1000, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    std::vector<KString> out;
    for (int i = 0; i < n; ++i)
    {
        for (KString& e : ListOf(*a[i], formats))
        {
            if (!Contains(out, e))
                out.push_back(std::move(e));
            if (out.size() > kMaxListElements)
                return r.SetUndefined(), PARSEVAL_OK;
        }
    }
    SetList(r, out);
    return PARSEVAL_OK;
}

int Intersection(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 1000, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    std::vector<KString> out = ListOf(*a[0], formats);
    for (int i = 1; i < n; ++i)
    {
        const std::vector<KString> other = ListOf(*a[i], formats);
        out.erase(std::remove_if(out.begin(), out.end(), [&](const KString& e) { return !Contains(other, e); }),
                  out.end());
    }
    SetList(r, out);
    return PARSEVAL_OK;
}

int ContainsElements(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 2, 2, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    const std::vector<KString> list = ListOf(*a[0], formats);
    const std::vector<KString> wanted = ListOf(*a[1], formats);
    if (wanted.empty())
        return r.SetUndefined(), PARSEVAL_OK;
    bool all = true;
    for (const KString& e : wanted)
        all = all && Contains(list, e);
    r.SetTruth(all);
    return PARSEVAL_OK;
}

int Difference(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 2, 2, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    std::vector<KString> out = ListOf(*a[0], formats);
    const std::vector<KString> other = ListOf(*a[1], formats);
    out.erase(std::remove_if(out.begin(), out.end(), [&](const KString& e) { return Contains(other, e); }), out.end());
    SetList(r, out);
    return PARSEVAL_OK;
}

int Element(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 2, 2, {1}, {}, r, check, VALUE_TEXT, status))
        return status;
    const double index = a[1]->GetNumber();
    if (index < 1 || index > static_cast<double>(kMaxListElements))
        return r.SetUndefined(), PARSEVAL_OK;
    const std::vector<KString> list = ListOf(*a[0], formats);
    const size_t i = static_cast<size_t>(index) - 1;
    SetTextResult(r, i < list.size() ? KStringView(list[i]) : KStringView());
    return PARSEVAL_OK;
}

int Sort(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 1, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    std::vector<KString> list = ListOf(*a[0], formats);
    std::stable_sort(list.begin(), list.end(), [](const KString& x, const KString& y) { return CompareTexts(x, y) < 0; });
    SetList(r, list);
    return PARSEVAL_OK;
}

int SetEqual(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 2, 2, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    const std::vector<KString> x = ListOf(*a[0], formats), y = ListOf(*a[1], formats);
    bool equal = x.size() == y.size();
    for (const KString& e : x)
        equal = equal && Contains(y, e);
    r.SetTruth(equal);
    return PARSEVAL_OK;
}

int ReverseList(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 1, {}, {}, r, check, VALUE_TEXT, status))
        return status;
    std::vector<KString> list = ListOf(*a[0], formats);
    std::reverse(list.begin(), list.end());
    SetList(r, list);
    return PARSEVAL_OK;
}

template <bool first>
int Ends(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 1, 2, {1}, {}, r, check, VALUE_TEXT, status))
        return status;
    const double count = n > 1 ? a[1]->GetNumber() : 1;
    if (count < 1)
        return r.SetUndefined(), PARSEVAL_OK;
    std::vector<KString> list = ListOf(*a[0], formats);
    const size_t k = static_cast<size_t>(std::min<double>(count, list.size()));
    if (first)
        list.resize(k);
    else
        list.erase(list.begin(), list.end() - static_cast<std::ptrdiff_t>(k));
    SetList(r, list);
    return PARSEVAL_OK;
}

int MakeList(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    int status = 0;
    if (!ListArgs(a, n, 2, 3, {}, {2}, r, check, VALUE_TEXT, status))
        return status;
    const int trim = n > 2 ? ReadTruth(*a[2]) : 0;
    if (trim < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    KString s1, s2;
    const KString& text = TextOf(*a[0], formats, s1);
    const KString& separator = TextOf(*a[1], formats, s2);
    std::vector<KString> out;
    auto add = [&](KStringView part)
    {
        if (trim)
        {
            while (!part.empty() && (part.front() == u' ' || part.front() == u'\t'))
                part.remove_prefix(1);
            while (!part.empty() && (part.back() == u' ' || part.back() == u'\t'))
                part.remove_suffix(1);
        }
        // a bar inside an element would split it: it cannot be part of a list element
        if (!part.empty() && part.find(u'|') == KStringView::npos && std::find(out.begin(), out.end(), part) == out.end())
            out.emplace_back(part);
    };
    if (separator.empty())
        add(text);
    else
    {
        size_t start = 0;
        for (;;)
        {
            const size_t at = text.find(separator, start);
            add(KStringView(text).substr(start, at == KString::npos ? KString::npos : at - start));
            if (at == KString::npos)
                break;
            start = at + separator.size();
            if (out.size() > kMaxListElements)
                break;
        }
    }
    SetList(r, out);
    return PARSEVAL_OK;
}

} // namespace

void AppendListFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupList;
    out.push_back(Function(u"Count", Count, 3530, "count_.html", g, u"Count(\"|a|b|a|\")", u"2"));
    out.push_back(Function(u"Union", Union, 3531, "union_.html", g, u"Union(\"|a|b|\", \"|c|a|\")", u"|a|b|c|"));
    out.push_back(Function(u"Intersection", Intersection, 3532, "intersection_.html", g,
                           u"Intersection(\"|a|b|c|\", \"|c|a|\")", u"|a|c|"));
    out.push_back(Function(u"Contains", ContainsElements, 3533, "contains_.html", g,
                           u"Contains(\"|a|b|c|\", \"|c|a|\")", u"yes"));
    out.push_back(Function(u"Difference", Difference, 3534, "difference_.html", g,
                           u"Difference(\"|a|b|c|\", \"|b|\")", u"|a|c|"));
    out.push_back(Function(u"Element", Element, 3535, "element_.html", g, u"Element(\"|a|b|c|\", 2)", u"b"));
    out.push_back(Function(u"Sort", Sort, 3536, "sort_.html", g, u"Sort(\"|pear|apple|fig|\")", u"|apple|fig|pear|"));
    out.push_back(Function(u"SetEqual", SetEqual, 3537, "setequal_.html", g, u"SetEqual(\"|a|b|\", \"|b|a|\")", u"yes"));
    out.push_back(Function(u"ReverseList", ReverseList, 3538, "reverselist_.html", g, u"ReverseList(\"|a|b|c|\")",
                           u"|c|b|a|"));
    out.push_back(Function(u"First", Ends<true>, 3539, "first_.html", g, u"First(\"|a|b|c|\", 2)", u"|a|b|"));
    out.push_back(Function(u"Last", Ends<false>, 3540, "last_.html", g, u"Last(\"|a|b|c|\")", u"|c|"));
    out.push_back(Function(u"MAKELIST", MakeList, 2801, "makelist_.html", g, u"MAKELIST(\"a, b,c\", \",\", \"yes\")",
                           u"|a|b|c|"));
}

} // namespace formula
