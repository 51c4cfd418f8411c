// The mathematical and statistical functions.

#include "formula/BuiltinSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace formula
{

namespace
{

constexpr double kPi = 3.14159265358979;

// The format of a floating result computed from an argument: the argument's own when it is a floating number.
int FloatFormat(const CParsevalToken& a)
{
    return a.GetValueType() == VALUE_DOUBLE ? a.GetFormatId() : -1;
}

// The argument checks of the functions of one number.
bool IsSignedType(EValueType t)
{
    return t == VALUE_INTEGER || t == VALUE_DOUBLE || t == VALUE_TIMESPAN;
}
int OwnFormat(const CParsevalToken& a)
{
    return a.GetFormatId();
}
int IntegerFormat(const CParsevalToken& a)
{
    return a.GetValueType() == VALUE_INTEGER ? a.GetFormatId() : -1;
}
constexpr SOneArgument kNumberToDouble{IsNumberType, VALUE_DOUBLE, VALUE_DOUBLE, FloatFormat};
constexpr SOneArgument kNumberToInteger{IsNumberType, VALUE_INTEGER, VALUE_INTEGER, nullptr};
constexpr SOneArgument kNumberToWhole{IsNumberType, VALUE_INTEGER, VALUE_INTEGER, IntegerFormat};
constexpr SOneArgument kSignedToItself{IsSignedType, VALUE_INTEGER, VALUE_UNKNOWN, OwnFormat};

// A function of one number giving a floating number; NaN or infinity from f make the result undefined.
template <double (*f)(double)>
int Unary(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kNumberToDouble, a, n, r, check))
        return *status;
    SetNumberResult(r, f(a[0]->GetNumber()));
    return PARSEVAL_OK;
}

double Acos(double x)
{
    return x < -1 || x > 1 ? NAN : std::acos(x);
}
double Asin(double x)
{
    return x < -1 || x > 1 ? NAN : std::asin(x);
}
double Atan(double x)
{
    return std::atan(x);
}
double Cos(double x)
{
    return std::cos(x);
}
double Sin(double x)
{
    return std::sin(x);
}
double Tan(double x)
{
    return std::tan(x);
}
double Degrees(double x)
{
    return x * 180 / kPi;
}
double Exp(double x)
{
    return std::exp(x);
}
double Ln(double x)
{
    return x <= 0 ? NAN : std::log(x);
}
double Log10(double x)
{
    return x <= 0 ? NAN : std::log10(x);
}
double Sqrt(double x)
{
    return x < 0 ? NAN : std::sqrt(x);
}
double Fract(double x)
{
    const double fraction = x - std::trunc(x);
    const double magnitude = std::fabs(x);
    const int e = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
    if (e > 0)
        return e >= 14 ? 0.0 : RoundToPrecision(fraction, 14 - e);
    return fraction;
}

int Abs(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kSignedToItself, a, n, r, check))
        return *status;
    r.SetNumber(std::fabs(a[0]->GetNumber()));
    return PARSEVAL_OK;
}

int Atan2(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!IsNumberType(a[0]->GetValueType()) || !IsNumberType(a[1]->GetValueType()))
        return Reject(check, r, VALUE_DOUBLE);
    r.SetType(VALUE_DOUBLE, a[0]->GetValueType() == VALUE_DOUBLE ? a[0]->GetFormatId() : FloatFormat(*a[1]));
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid())
        return r.SetUndefined(), PARSEVAL_OK;
    const double x = a[0]->GetNumber(), y = a[1]->GetNumber();
    if (x == 0 && y == 0)
        return r.SetUndefined(), PARSEVAL_OK;
    SetNumberResult(r, std::atan2(y, x));
    return PARSEVAL_OK;
}

// Two numbers (the listed types) giving an integer.
int Combin(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    if (a[0]->GetValueType() != VALUE_INTEGER || !IsNumberType(a[1]->GetValueType()))
        return Reject(check, r, VALUE_INTEGER);
    r.SetType(VALUE_INTEGER, -1);
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid())
        return r.SetUndefined(), PARSEVAL_OK;
    const double nn = a[0]->GetNumber(), k = std::trunc(a[1]->GetNumber());
    if (k < 0 || nn < 0 || k > nn)
        return r.SetUndefined(), PARSEVAL_OK;
    const double kk = std::min(k, nn - k);
    double product = 1;
    for (double i = 1; i <= kk; ++i)
    {
        product = product * (nn - kk + i) / i;
        if (!std::isfinite(product))
            return r.SetUndefined(), PARSEVAL_OK;
    }
    SetNumberResult(r, std::floor(product + 0.5));
    return PARSEVAL_OK;
}

int Fact(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kNumberToInteger, a, n, r, check))
        return *status;
    if (a[0]->GetNumber() < 0)
        return r.SetUndefined(), PARSEVAL_OK;
    const double m = std::trunc(a[0]->GetNumber());
    double product = 1;
    for (double i = 2; i <= m && std::isfinite(product); ++i)
        product *= i;
    SetNumberResult(r, product);
    return PARSEVAL_OK;
}

int Mod(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    if (a[0]->GetValueType() != VALUE_INTEGER || a[1]->GetValueType() != VALUE_INTEGER)
        return Reject(check, r, VALUE_INTEGER);
    r.SetType(VALUE_INTEGER, a[0]->GetFormatId());
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid() || a[1]->GetNumber() == 0)
        return r.SetUndefined(), PARSEVAL_OK;
    SetNumberResult(r, std::fmod(a[0]->GetNumber(), a[1]->GetNumber()));
    return PARSEVAL_OK;
}

int Trunc(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kNumberToWhole, a, n, r, check))
        return *status;
    const double t = std::trunc(a[0]->GetNumber());
    SetNumberResult(r, t == 0 ? 0.0 : t);
    return PARSEVAL_OK;
}

} // namespace

// The decimal digit of x at the position 10^-d of its 14-digit form (0 .. 9), or -1 when it has none there.
static int DecimalDigitAt(double x, int d)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13e", std::fabs(x));
    // buffer: "D.DDDDDDDDDDDDDe+XX"
    const int exponent = std::atoi(buffer + 16);
    const int index = exponent + d; // digits after the leading one
    if (index < 0 || index > 13)
        return -1;
    return buffer[index == 0 ? 0 : index + 1] - '0';
}

double RoundDoubleValue(double x, int d)
{
    const double s = x < 0 ? -1 : 1;
    const double p = std::pow(10.0, d);
    const double a = std::fabs(x) * p;
    const double whole = std::floor(a);
    const double fraction = a - whole;
    double result = 0;
    if (fraction < 0.5)
    {
        result = whole;
        if (fraction > 0.4 && DecimalDigitAt(x, d + 1) == 5)
            result = whole + 1;
    }
    else
        result = whole + 1;
    result = s * result / p;
    return result == 0 ? 0.0 : result;
}

namespace
{

int Round(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!IsNumberType(a[0]->GetValueType()) || a[1]->GetValueType() != VALUE_INTEGER)
        return Reject(check, r, VALUE_DOUBLE);
    r.SetType(VALUE_DOUBLE, FloatFormat(*a[0]));
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid())
        return r.SetUndefined(), PARSEVAL_OK;
    const double digits = a[1]->GetNumber();
    if (digits < -308 || digits > 308)
        return r.SetUndefined(), PARSEVAL_OK;
    SetNumberResult(r, RoundDoubleValue(RoundToMaxDoublePrecision(a[0]->GetNumber()), static_cast<int>(digits)));
    return PARSEVAL_OK;
}

// ---- statistics ----

// The type of a numeric argument combination that AVERAGE, MAX and MIN accept: all numbers (integer when all are
// integers, else floating), or all of one date or time family with numbers; VALUE_UNKNOWN when not accepted.
EValueType CommonNumericType(Args a, int n)
{
    EValueType common = VALUE_UNKNOWN;
    for (int i = 0; i < n; ++i)
    {
        const EValueType t = a[i]->GetValueType();
        if (!IsNumericType(t))
            return VALUE_UNKNOWN;
        if (common == VALUE_UNKNOWN)
            common = t;
        else if (IsNumberType(common) && IsNumberType(t))
            common = common == VALUE_INTEGER && t == VALUE_INTEGER ? VALUE_INTEGER : VALUE_DOUBLE;
        else if (common != t && !(IsNumberType(t)))
        {
            // dates with date-times count as date-times; other mixtures of the date and time family do not mix
            if (IsDateType(common) && IsDateType(t))
                common = VALUE_DATETIME;
            else if (!IsNumberType(common))
                return VALUE_UNKNOWN;
            else
                common = t;
        }
    }
    return common;
}

int Average(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n < 1)
        return PARSEVAL_ARGUMENT_COUNT;
    if (CommonNumericType(a, n) == VALUE_UNKNOWN)
        return Reject(check, r, VALUE_DOUBLE);
    EValueType type = a[0]->GetValueType();
    if (type == VALUE_INTEGER)
        type = VALUE_DOUBLE; // a mean of integers is rarely whole
    int format = -1;
    for (int i = 0; i < n && format < 0; ++i)
        format = FormatFor(*a[i], type);
    r.SetType(type, format);
    if (check)
        return PARSEVAL_OK;
    double sum = 0;
    for (int i = 0; i < n; ++i)
    {
        if (!a[i]->IsDefinedAndValid())
            return r.SetUndefined(), PARSEVAL_OK;
        sum += a[i]->GetNumber() / n;
    }
    SetNumberResult(r, sum);
    return PARSEVAL_OK;
}

template <bool isMax>
int Extreme(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n < 1)
        return PARSEVAL_ARGUMENT_COUNT;
    bool texts = true;
    for (int i = 0; i < n; ++i)
        texts = texts && a[i]->IsText();
    const EValueType common = texts ? VALUE_TEXT : CommonNumericType(a, n);
    if (common == VALUE_UNKNOWN)
        return Reject(check, r, VALUE_DOUBLE);
    if (check)
    {
        // the result has the type of the argument chosen; the check gives the common type
        int format = -1;
        for (int i = 0; i < n && format < 0; ++i)
            format = FormatFor(*a[i], common);
        r.SetType(common, common == VALUE_TEXT ? 0 : format);
        return PARSEVAL_OK;
    }
    const CParsevalToken* best = nullptr;
    thread_local KString sa, sb;
    for (int i = 0; i < n; ++i)
    {
        if (!a[i]->IsDefinedAndValid())
            return r.SetUndefined(), PARSEVAL_OK;
        if (!best)
        {
            best = a[i];
            continue;
        }
        int c = 0;
        if (texts)
            c = CompareTexts(TextOf(*a[i], formats, sa), TextOf(*best, formats, sb));
        else
            c = a[i]->GetNumber() < best->GetNumber() ? -1 : (a[i]->GetNumber() > best->GetNumber() ? 1 : 0);
        if (isMax ? c > 0 : c < 0)
            best = a[i];
    }
    const EValueType type = r.GetValueType();
    const int format = r.GetFormatId();
    r = *best;
    if (!texts)
    {
        // keep the checked type (an integer among floating numbers is a floating number)
        r.SetType(type, format);
        r.Text().clear();
    }
    return PARSEVAL_OK;
}

} // namespace

void AppendMathFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupMath;
    out.push_back(Function(u"ABS", Abs, 2760, "abs_.html", g, u"ABS(-3)", u"3"));
    out.push_back(Function(u"ACOS", Unary<Acos>, 2761, "acos_.html", g, u"ACOS(1)", u"0"));
    out.push_back(Function(u"ASIN", Unary<Asin>, 2762, "asin_.html", g, u"ASIN(2)", u"(undefined)"));
    out.push_back(Function(u"ATAN", Unary<Atan>, 2763, "atan_.html", g, u"ROUND(ATAN(1) * 4, 5)", u"3.14159"));
    out.push_back(Function(u"ATAN2", Atan2, 2764, "atan2_.html", g, u"ROUND(DEGREES(ATAN2(1, 1)), 6)", u"45"));
    out.push_back(Function(u"COMBIN", Combin, 2765, "combin_.html", g, u"COMBIN(49, 6)", u"13983816"));
    out.push_back(Function(u"COS", Unary<Cos>, 2766, "cos_.html", g, u"COS(0)", u"1"));
    out.push_back(Function(u"SIN", Unary<Sin>, 2767, "sin_.html", g, u"SIN(0)", u"0"));
    out.push_back(Function(u"TAN", Unary<Tan>, 2768, "tan_.html", g, u"TAN(0)", u"0"));
    out.push_back(Function(u"DEGREES", Unary<Degrees>, 2769, "degrees_.html", g, u"ROUND(DEGREES(3.14159265358979), 9)", u"180"));
    out.push_back(Function(u"EXP", Unary<Exp>, 2771, "exp_.html", g, u"ROUND(EXP(1), 6)", u"2.718282"));
    out.push_back(Function(u"FACT", Fact, 2773, "fact_.html", g, u"FACT(5)", u"120"));
    out.push_back(Function(u"FRACT", Unary<Fract>, 2813, "fract_.html", g, u"FRACT(12.25)", u"0.25"));
    out.push_back(Function(u"LN", Unary<Ln>, 2814, "ln_.html", g, u"LN(0)", u"(undefined)"));
    out.push_back(Function(u"LOG10", Unary<Log10>, 2815, "log10_.html", g, u"LOG10(1000)", u"3"));
    out.push_back(Function(u"MOD", Mod, 2816, "mod_.html", g, u"MOD(-7, 3)", u"-1"));
    out.push_back(Function(u"ROUND", Round, 2817, "round_.html", g, u"ROUND(1.005, 2)", u"1.01"));
    out.push_back(Function(u"SQRT", Unary<Sqrt>, 2818, "sqrt_.html", g, u"SQRT(16)", u"4"));
    out.push_back(Function(u"TRUNC", Trunc, 2819, "trunc_.html", g, u"TRUNC(-2.7)", u"-2"));
}

void AppendStatisticalFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupStatistics;
    out.push_back(Function(u"AVERAGE", Average, 2770, "average_.html", g, u"AVERAGE(1, 2, 4.5)", u"2.5"));
    out.push_back(Function(u"MAX", Extreme<true>, 2822, "max_.html", g, u"MAX(3, 7.5, -1)", u"7.5"));
    out.push_back(Function(u"MIN", Extreme<false>, 2826, "min_.html", g, u"MIN(\"pear\", \"apple\")", u"apple"));
}

} // namespace formula
