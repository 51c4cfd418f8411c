// The registry of built-ins and the helpers their evaluators share.

#include "formula/Builtins.h"

#include "formula/BuiltinSupport.h"

#include "engine/Languages.h"
#include "engine/Table.h"
#include "engine/TextFold.h"
#include "platform/Resources.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace formula
{

namespace
{
thread_local const CTable* t_pCurrentTable = nullptr;

struct STruthWords
{
    std::vector<KString> yes;
    std::vector<KString> no;
};

const STruthWords& TruthWords()
{
    static const STruthWords words = []
    {
        STruthWords w;
        for (const CLanguage* language : CLanguage::GetLanguages())
        {
            w.yes.push_back(language->GetYes());
            w.no.push_back(language->GetNo());
        }
        return w;
    }();
    return words;
}
} // namespace

const CTable* GetCurrentTable()
{
    return t_pCurrentTable;
}

void SetCurrentTable(const CTable* table)
{
    t_pCurrentTable = table;
}

int CompareTexts(const KString& a, const KString& b)
{
    if (t_pCurrentTable)
        return t_pCurrentTable->CompareStringValues(a.c_str(), b.c_str());
    return a < b ? -1 : (a == b ? 0 : 1);
}

const KString& TextOf(const CParsevalToken& t, const CFormatRegistry& formats, KString& scratch)
{
    static const KString empty;
    if (t.IsUndefined())
        return empty;
    if (t.IsText() || !t.GetText().empty())
        return t.GetText();
    scratch.clear();
    t.AppendRendering(formats, scratch);
    return scratch;
}

int ReadTruthText(KStringView text)
{
    if (text == u"yes")
        return 1;
    if (text == u"no")
        return 0;
    const STruthWords& words = TruthWords();
    for (const KString& w : words.yes)
    {
        if (text::EqualsIgnoreCase(text, w))
            return 1;
    }
    for (const KString& w : words.no)
    {
        if (text::EqualsIgnoreCase(text, w))
            return 0;
    }
    return -1;
}

int ReadTruth(const CParsevalToken& t)
{
    if (t.IsUndefined() || !t.IsText())
        return -1;
    return ReadTruthText(t.GetText());
}

double RoundToPrecision(double x, int digits)
{
    if (!std::isfinite(x) || x == 0)
        return x;
    if (digits < 1)
        digits = 1;
    if (digits > 17)
        digits = 17;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, x);
    return std::strtod(buffer, nullptr);
}

double RoundToMaxDoublePrecision(double x)
{
    return RoundToPrecision(x, 14);
}

KString HelpReference(const char* page)
{
    KString out = u"hlp\\kv\\all\\";
    for (const char* p = page; *p; ++p)
        out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

const std::vector<SBuiltin>& GetBuiltins()
{
    static const std::vector<SBuiltin> builtins = []
    {
        std::vector<SBuiltin> out;
        AppendOperators(out);
        AppendTextFunctions(out);
        AppendMathFunctions(out);
        AppendStatisticalFunctions(out);
        AppendLogicalFunctions(out);
        AppendDateFunctions(out);
        AppendGeographicFunctions(out);
        AppendListFunctions(out);
        return out;
    }();
    return builtins;
}

void DefineBuiltinFunctions(CParseval& engine)
{
    engine.ClearDefinitions();
    for (const SBuiltin& b : GetBuiltins())
    {
        const KString group = LoadResourceString(b.nGroupId);
        const KString help = HelpReference(b.pHelpPage);
        if (b.bOperator)
            engine.AddOperator(b.pName, b.nPrecedence, b.nOperands, b.ePosition, b.pEvaluator, help, group,
                               b.eDependency);
        else
            engine.AddFunction(b.pName, b.pEvaluator, LoadResourceString(b.nDescriptionId), help, group,
                               b.eDependency, b.bAlias);
    }
}

KString ShortestNumberText(double x)
{
    if (x == 0)
        return u"0";
    if (std::isnan(x))
        return u"NAN";
    if (std::isinf(x))
        return x > 0 ? u"INF" : u"-INF";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
    KString out;
    for (const char* p = buffer; p < result.ptr; ++p)
        out += static_cast<char16_t>(*p);
    return out;
}

KString FormatResultText(const CParsevalToken& value, const CFormatRegistry& formats)
{
    if (value.IsUndefined())
        return u"(undefined)";
    const EValueType type = value.GetValueType();
    if (type == VALUE_INTEGER || type == VALUE_DOUBLE)
        return ShortestNumberText(value.GetNumber());
    if (type == VALUE_TEXT)
        return value.GetText();
    KString text = value.Render(formats);
    return text;
}

} // namespace formula
