// The 17 built-in operators: arithmetic with its type table, comparisons and the logical operators.

#include "formula/BuiltinSupport.h"

#include <cmath>

namespace formula
{

namespace
{

// How the value of an accepted pair is computed.
enum EArithmetic : int8_t
{
    AR_NONE = 0,    // pair not accepted
    AR_PLAIN,       // a op b
    AR_HOURS_LEFT,  // a / 24 + b (the number counts hours)
    AR_HOURS_RIGHT, // a op b / 24
    AR_FRAC_RIGHT,  // a op fractional part of b
    AR_FRAC_LEFT,   // fractional part of a + b
};

struct SRule
{
    EValueType eResult = VALUE_UNKNOWN;
    EArithmetic eKind = AR_NONE;
};

enum EOp
{
    OP_ADD,
    OP_SUB,
    OP_MUL,
    OP_DIV,
    OP_PERCENT,
    OP_POWER,
    OP_COUNT
};

// rules[op][a][b] for the numeric types 2 .. 7.
struct SRuleTable
{
    SRule rules[OP_COUNT][8][8];
    void Set(EOp op, std::initializer_list<EValueType> as, std::initializer_list<EValueType> bs, EValueType result,
             EArithmetic kind = AR_PLAIN)
    {
        for (EValueType a : as)
            for (EValueType b : bs)
                rules[op][a][b] = {result, kind};
    }
};

constexpr EValueType I = VALUE_INTEGER, F = VALUE_DOUBLE, D = VALUE_DATE, T = VALUE_TIME, DT = VALUE_DATETIME,
                     S = VALUE_TIMESPAN;

const SRuleTable& Rules()
{
    static const SRuleTable table = []
    {
        SRuleTable t;
        // +
        t.Set(OP_ADD, {I}, {I}, I);
        t.Set(OP_ADD, {I, F}, {F}, F);
        t.Set(OP_ADD, {F}, {I}, F);
        t.Set(OP_ADD, {I}, {D}, D);
        t.Set(OP_ADD, {D}, {I}, D);
        t.Set(OP_ADD, {F}, {D}, DT);
        t.Set(OP_ADD, {D}, {F}, DT);
        t.Set(OP_ADD, {I, F}, {DT}, DT);
        t.Set(OP_ADD, {DT}, {I, F}, DT);
        t.Set(OP_ADD, {I, F, S}, {S}, S);
        t.Set(OP_ADD, {S}, {I, F}, S);
        t.Set(OP_ADD, {D}, {S}, DT);
        t.Set(OP_ADD, {S}, {D}, DT);
        t.Set(OP_ADD, {T}, {S}, T);
        t.Set(OP_ADD, {S}, {T}, T);
        t.Set(OP_ADD, {DT}, {S}, DT);
        t.Set(OP_ADD, {S}, {DT}, DT);
        t.Set(OP_ADD, {I, F}, {T}, T, AR_HOURS_LEFT);
        t.Set(OP_ADD, {T}, {I, F}, T, AR_HOURS_RIGHT);
        t.Set(OP_ADD, {D, DT}, {T}, DT, AR_FRAC_RIGHT);
        t.Set(OP_ADD, {T}, {D, DT}, DT, AR_FRAC_LEFT);
        // -
        t.Set(OP_SUB, {I}, {I}, I);
        t.Set(OP_SUB, {I, F}, {F}, F);
        t.Set(OP_SUB, {F}, {I}, F);
        t.Set(OP_SUB, {D}, {D}, I);
        t.Set(OP_SUB, {D}, {DT}, S);
        t.Set(OP_SUB, {DT}, {D, DT}, S);
        t.Set(OP_SUB, {D}, {I}, D);
        t.Set(OP_SUB, {D}, {F}, DT);
        t.Set(OP_SUB, {T}, {T}, S);
        t.Set(OP_SUB, {DT}, {I, F}, DT);
        t.Set(OP_SUB, {T}, {S}, T);
        t.Set(OP_SUB, {D, DT}, {S}, DT);
        t.Set(OP_SUB, {S}, {S, I, F}, S);
        t.Set(OP_SUB, {D, DT}, {T}, DT, AR_FRAC_RIGHT);
        t.Set(OP_SUB, {T}, {I, F}, T, AR_HOURS_RIGHT);
        // *
        t.Set(OP_MUL, {I}, {I}, I);
        t.Set(OP_MUL, {I, F}, {F}, F);
        t.Set(OP_MUL, {F}, {I}, F);
        t.Set(OP_MUL, {I, F}, {S}, S);
        t.Set(OP_MUL, {S}, {I, F}, S);
        // /
        t.Set(OP_DIV, {I, F}, {I, F}, F);
        t.Set(OP_DIV, {S}, {I, F}, S);
        t.Set(OP_DIV, {S}, {S}, F);
        // %
        t.Set(OP_PERCENT, {I, F}, {I, F}, F);
        // **
        t.Set(OP_POWER, {I, F}, {I, F}, F);
        return t;
    }();
    return table;
}

double Fraction(double x)
{
    return x - std::floor(x);
}

template <EOp op>
int Arithmetic(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    const EValueType ta = a[0]->GetValueType(), tb = a[1]->GetValueType();
    if (op == OP_ADD && (ta == VALUE_TEXT || tb == VALUE_TEXT))
    {
        const int format = ta == VALUE_TEXT ? a[0]->GetFormatId() : a[1]->GetFormatId();
        r.SetType(VALUE_TEXT, format < 0 ? 0 : format);
        if (check)
            return PARSEVAL_OK;
        if (a[0]->IsUndefined() && a[1]->IsUndefined())
        {
            r.SetUndefined();
            return PARSEVAL_OK;
        }
        KString& out = r.Text();
        a[0]->AppendRendering(formats, out);
        a[1]->AppendRendering(formats, out);
        if (out.empty() || out.size() > kMaxFormulaTextLength)
            r.SetUndefined();
        return PARSEVAL_OK;
    }
    const SRule rule = (ta >= 2 && ta <= 7 && tb >= 2 && tb <= 7) ? Rules().rules[op][ta][tb] : SRule();
    if (rule.eKind == AR_NONE)
        return Reject(check, r, VALUE_DOUBLE);
    const int format = a[0]->GetValueType() == rule.eResult   ? a[0]->GetFormatId()
                       : a[1]->GetValueType() == rule.eResult ? a[1]->GetFormatId()
                                                              : -1;
    r.SetType(rule.eResult, format);
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid())
    {
        r.SetUndefined();
        return PARSEVAL_OK;
    }
    double x = a[0]->GetNumber(), y = a[1]->GetNumber();
    switch (rule.eKind)
    {
    case AR_HOURS_LEFT:
        x /= 24;
        break;
    case AR_HOURS_RIGHT:
        y /= 24;
        break;
    case AR_FRAC_RIGHT:
        y = Fraction(y);
        break;
    case AR_FRAC_LEFT:
        x = Fraction(x);
        break;
    default:
        break;
    }
    double v = 0;
    switch (op)
    {
    case OP_ADD:
        v = x + y;
        break;
    case OP_SUB:
        v = x - y;
        break;
    case OP_MUL:
        v = x * y;
        break;
    case OP_DIV:
        v = y == 0 ? NAN : x / y;
        break;
    case OP_PERCENT:
        v = x / 100 * y;
        break;
    case OP_POWER:
        v = std::pow(x, y);
        break;
    default:
        break;
    }
    SetNumberResult(r, v);
    return PARSEVAL_OK;
}

int Negate(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    const EValueType t = a[0]->GetValueType();
    if (t != VALUE_INTEGER && t != VALUE_DOUBLE && t != VALUE_TIMESPAN)
        return Reject(check, r, VALUE_DOUBLE);
    r.SetType(t, a[0]->GetFormatId());
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid())
        r.SetUndefined();
    else
        r.SetNumber(a[0]->GetNumber() == 0 ? 0.0 : -a[0]->GetNumber());
    return PARSEVAL_OK;
}

// -1 less, 0 equal, 1 greater, 2 undefined; equalOnly compares texts for equality only.
int Compare(const CParsevalToken& a, const CParsevalToken& b, const CFormatRegistry& formats, bool equalOnly)
{
    if (a.IsText() || b.IsText())
    {
        thread_local KString sa, sb;
        const KString& ta = TextOf(a, formats, sa);
        const KString& tb = TextOf(b, formats, sb);
        if (ta == tb)
            return 0;
        if (equalOnly)
            return 1;
        const int c = CompareTexts(ta, tb);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (!a.IsDefinedAndValid() || !b.IsDefinedAndValid())
        return 2;
    const double x = RoundToMaxDoublePrecision(a.GetNumber()), y = RoundToMaxDoublePrecision(b.GetNumber());
    return x < y ? -1 : (x > y ? 1 : 0);
}

enum ECompare
{
    CMP_EQ,
    CMP_NE,
    CMP_LT,
    CMP_LE,
    CMP_GT,
    CMP_GE
};

template <ECompare cmp>
int Comparison(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    const bool equalOnly = cmp == CMP_EQ || cmp == CMP_NE;
    const int c = Compare(*a[0], *a[1], formats, equalOnly);
    if (c == 2)
    {
        r.SetUndefined();
        return PARSEVAL_OK;
    }
    bool value = false;
    switch (cmp)
    {
    case CMP_EQ:
        value = c == 0;
        break;
    case CMP_NE:
        value = c != 0;
        break;
    case CMP_LT:
        value = c < 0;
        break;
    case CMP_LE:
        value = c <= 0;
        break;
    case CMP_GT:
        value = c > 0;
        break;
    case CMP_GE:
        value = c >= 0;
        break;
    }
    r.SetTruth(value);
    return PARSEVAL_OK;
}

int Not(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!a[0]->IsText())
        return Reject(check, r, VALUE_TEXT);
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    const int v = ReadTruth(*a[0]);
    if (v < 0)
        r.SetUndefined();
    else
        r.SetTruth(v == 0);
    return PARSEVAL_OK;
}

template <bool isAnd>
int Logical(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!a[0]->IsText() || !a[1]->IsText())
        return Reject(check, r, VALUE_TEXT);
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    const int x = ReadTruth(*a[0]), y = ReadTruth(*a[1]);
    if (x < 0 || y < 0)
        r.SetUndefined();
    else
        r.SetTruth(isAnd ? (x && y) : (x || y));
    return PARSEVAL_OK;
}

SBuiltin Operator(const char16_t* name, int precedence, int operands, EOperatorPosition position,
                  FParsevalEvaluator evaluator, const char* help, const char16_t* example, const char16_t* expected)
{
    SBuiltin b;
    b.bOperator = true;
    b.pName = name;
    b.pEvaluator = evaluator;
    b.pHelpPage = help;
    b.nGroupId = kGroupOperators;
    b.nPrecedence = static_cast<int16_t>(precedence);
    b.nOperands = static_cast<int16_t>(operands);
    b.ePosition = position;
    b.pExample = example;
    b.pExpected = expected;
    return b;
}

} // namespace

void AppendOperators(std::vector<SBuiltin>& out)
{
    const char* minus = "operator_Subtraktion_oder_Vorzeichen_.html";
    out.push_back(Operator(u"-", 1, 1, OPERATOR_PREFIX, Negate, minus, u"-(2 + 3)", u"-5"));
    out.push_back(Operator(u"+", 3, 2, OPERATOR_INFIX, Arithmetic<OP_ADD>, "operator_Addition_.html",
                           u"\"a\" + 1 + 2", u"a12"));
    out.push_back(Operator(u"-", 3, 2, OPERATOR_INFIX, Arithmetic<OP_SUB>, minus, u"'2024-12-31' - '2024-01-01'",
                           u"365"));
    out.push_back(Operator(u"*", 2, 2, OPERATOR_INFIX, Arithmetic<OP_MUL>, "operator_multiplikation_.html",
                           u"2 * 3 + 4 ** 2", u"22"));
    out.push_back(Operator(u"/", 2, 2, OPERATOR_INFIX, Arithmetic<OP_DIV>, "operator_Division_.html", u"7 / 2",
                           u"3.5"));
    out.push_back(
        Operator(u"%", 2, 2, OPERATOR_INFIX, Arithmetic<OP_PERCENT>, "operator_Prozent_.html", u"200 % 15", u"30"));
    out.push_back(Operator(u"**", 0, 2, OPERATOR_INFIX, Arithmetic<OP_POWER>, "operator_exponential_.html",
                           u"2 ** 3 ** 2", u"64"));
    out.push_back(
        Operator(u"=", 4, 2, OPERATOR_INFIX, Comparison<CMP_EQ>, "operator_gleich_.html", u"0.1 + 0.2 = 0.3", u"yes"));
    out.push_back(
        Operator(u"<>", 4, 2, OPERATOR_INFIX, Comparison<CMP_NE>, "operator_ungleich_.html", u"\"a\" <> \"A\"", u"yes"));
    out.push_back(Operator(u"!=", 4, 2, OPERATOR_INFIX, Comparison<CMP_NE>, "operator_ungleich_.html", u"1 != 1", u"no"));
    out.push_back(Operator(u"<", 4, 2, OPERATOR_INFIX, Comparison<CMP_LT>, "operator_kleiner_.html", u"2 < 10", u"yes"));
    out.push_back(
        Operator(u"<=", 4, 2, OPERATOR_INFIX, Comparison<CMP_LE>, "operator_kleiner_gleich_.html", u"3 <= 3", u"yes"));
    out.push_back(Operator(u">", 4, 2, OPERATOR_INFIX, Comparison<CMP_GT>, "operator_groesser_.html",
                           u"\"b\" > \"a\"", u"yes"));
    out.push_back(Operator(u">=", 4, 2, OPERATOR_INFIX, Comparison<CMP_GE>, "operator_groesser_gleich_.html",
                           u"1 >= 2", u"no"));
    out.push_back(Operator(u"not", 5, 1, OPERATOR_PREFIX, Not, "not_.html", u"not 1 = 2", u"yes"));
    out.push_back(Operator(u"and", 6, 2, OPERATOR_INFIX, Logical<true>, "and_.html", u"\"ja\" and \"yes\"", u"yes"));
    out.push_back(Operator(u"or", 7, 2, OPERATOR_INFIX, Logical<false>, "or_.html", u"\"nein\" or \"yes\"", u"yes"));
}

} // namespace formula
