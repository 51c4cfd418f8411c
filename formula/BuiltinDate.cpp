// The date and time functions. Day numbers count from 1 January 2000 (day 0) in the Gregorian calendar.

#include "formula/BuiltinSupport.h"

#include "engine/Calendar.h"
#include "engine/Languages.h"
#include "engine/TextFold.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace formula
{

namespace
{

// The argument checks of the functions of one date, time or number.
constexpr SOneArgument kDateToInteger{IsDateType, VALUE_INTEGER, VALUE_INTEGER, nullptr};
constexpr SOneArgument kTimeToInteger{IsTimeOfDayType, VALUE_INTEGER, VALUE_INTEGER, nullptr};
constexpr SOneArgument kNumberToDateTime{IsNumericType, VALUE_DATETIME, VALUE_DATETIME, nullptr};

// The date of a day number (its whole day); nothing outside the calendar.
std::optional<calendar::SDate> DateOf(double day)
{
    return calendar::DateOfDay(static_cast<int64_t>(std::floor(day)));
}

// Monday = 1 .. Sunday = 7.
int Weekday(double day)
{
    const int64_t d = static_cast<int64_t>(std::floor(day));
    return static_cast<int>(((d + 5) % 7 + 7) % 7) + 1;
}

// One date (or date-time) argument giving an integer computed by f from the date; f returns NaN for none.
template <double (*f)(double)>
int OfDate(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kDateToInteger, a, n, r, check))
        return *status;
    SetNumberResult(r, f(a[0]->GetNumber()));
    return PARSEVAL_OK;
}

double Year(double x)
{
    const auto d = DateOf(x);
    return d ? d->nYear : NAN;
}
double Month(double x)
{
    const auto d = DateOf(x);
    return d ? d->nMonth : NAN;
}
double Day(double x)
{
    const auto d = DateOf(x);
    return d ? d->nDay : NAN;
}
double Quarter(double x)
{
    const auto d = DateOf(x);
    return d ? (d->nMonth + 2) / 3 : NAN;
}
double DaysOfMonth(double x)
{
    const auto d = DateOf(x);
    return d ? calendar::DaysInMonth(d->nYear, d->nMonth) : NAN;
}
double DayOfYear(double x)
{
    const auto d = DateOf(x);
    return d ? static_cast<double>(static_cast<int64_t>(std::floor(x)) - calendar::DayNumber(d->nYear, 1, 1) + 1)
             : NAN;
}
int WeekNumber(double x, int& year)
{
    const auto d = DateOf(x);
    year = d ? d->nYear : 0;
    const int doy = static_cast<int>(DayOfYear(x));
    return (doy - Weekday(x) + 10) / 7;
}
double CalendarWeek(double x)
{
    if (!DateOf(x))
        return NAN;
    int year = 0;
    return WeekNumber(x, year);
}
double CalendarWeekIso(double x)
{
    if (!DateOf(x))
        return NAN;
    int year = 0;
    int week = WeekNumber(x, year);
    if (week == 53)
    {
        const int wd = Weekday(static_cast<double>(calendar::DayNumber(year, 12, 31)));
        if (wd <= 3)
            week = 1;
    }
    else if (week == 0)
    {
        if (year <= calendar::kMinYear)
            return 52 + (Weekday(static_cast<double>(calendar::kMinDay - 1)) == 4 ? 1 : 0); // before the calendar
        const int wd = Weekday(static_cast<double>(calendar::DayNumber(year - 1, 12, 31)));
        if (wd == 4)
            week = 53;
        else if (wd == 5)
            week = Weekday(static_cast<double>(calendar::DayNumber(year - 1, 1, 1))) == 4 ? 53 : 52;
        else
            week = 52;
    }
    return week;
}

// One time or date-time argument giving the part of its time of day.
template <int part>
int OfTime(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kTimeToInteger, a, n, r, check))
        return *status;
    const double x = a[0]->GetNumber();
    int64_t seconds = static_cast<int64_t>(std::floor((x - std::floor(x)) * 86400 + 0.5)) % 86400;
    const int value = part == 0 ? static_cast<int>(seconds / 3600)
                      : part == 1 ? static_cast<int>(seconds / 60 % 60)
                                  : static_cast<int>(seconds % 60);
    r.SetNumber(value);
    return PARSEVAL_OK;
}

// Three integer arguments.
bool ThreeIntegers(Args a, int n, int& status, CParsevalToken& r, bool check, EValueType type)
{
    r.Text().clear();
    if (n != 3)
    {
        status = PARSEVAL_ARGUMENT_COUNT;
        return false;
    }
    for (int i = 0; i < 3; ++i)
    {
        if (a[i]->GetValueType() != VALUE_INTEGER)
        {
            status = Reject(check, r, type);
            return false;
        }
    }
    r.SetType(type, -1);
    status = PARSEVAL_OK;
    if (check)
        return false;
    if (!a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid() || !a[2]->IsDefinedAndValid())
    {
        r.SetUndefined();
        return false;
    }
    return true;
}

int Date(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    int status = 0;
    if (!ThreeIntegers(a, n, status, r, check, VALUE_DATE))
        return status;
    const double y = a[0]->GetNumber(), m = a[1]->GetNumber(), d = a[2]->GetNumber();
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31 ||
        !calendar::IsValidDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)))
        return r.SetUndefined(), PARSEVAL_OK;
    r.SetNumber(static_cast<double>(calendar::DayNumber(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d))));
    return PARSEVAL_OK;
}

int Time(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    int status = 0;
    if (!ThreeIntegers(a, n, status, r, check, VALUE_TIME))
        return status;
    const double h = a[0]->GetNumber(), m = a[1]->GetNumber(), s = a[2]->GetNumber();
    if (h < 0 || h > 24 || m < 0 || m > 59 || s < 0 || s > 59 || (h == 24 && (m != 0 || s != 0)))
        return r.SetUndefined(), PARSEVAL_OK;
    r.SetNumber((h * 3600 + m * 60 + s) / 86400);
    return PARSEVAL_OK;
}

std::tm LocalNow(double& fraction)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    fraction = (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ms / 1000.0) / 86400.0;
    return local;
}

template <bool withTime>
int Now(Args, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.Text().clear();
    if (n != 0)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(withTime ? VALUE_DATETIME : VALUE_DATE, -1);
    if (check)
        return PARSEVAL_OK;
    double fraction = 0;
    const std::tm local = LocalNow(fraction);
    const double day =
        static_cast<double>(calendar::DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
    r.SetNumber(withTime ? day + fraction : day);
    return PARSEVAL_OK;
}

int WeekdayName(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n < 2 || n > 3)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!IsDateType(a[0]->GetValueType()) || (n > 2 && !a[2]->IsText()))
        return Reject(check, r, VALUE_TEXT);
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    const int abbreviated = n > 2 ? ReadTruth(*a[2]) : 0;
    if (!a[0]->IsDefinedAndValid() || abbreviated < 0 || a[1]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    KString scratch;
    const KString& language = TextOf(*a[1], formats, scratch);
    const int monday0 = Weekday(a[0]->GetNumber()) - 1;
    for (const CLanguage* l : CLanguage::GetLanguages())
    {
        if (text::StartsWithIgnoreCase(l->GetName(), language))
        {
            SetTextResult(r, l->GetDayName((monday0 + 1) % 7, abbreviated == 1));
            return PARSEVAL_OK;
        }
    }
    SetTextResult(r, u"");
    return PARSEVAL_OK;
}

int JdeJulian(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    if (const std::optional<int> status = StartOneArgument(kNumberToDateTime, a, n, r, check))
        return *status;
    const double x = a[0]->GetNumber();
    const double whole = std::trunc(x);
    if (std::fabs(whole) > 1e12)
        return r.SetUndefined(), PARSEVAL_OK;
    const int64_t cyyddd = static_cast<int64_t>(whole);
    const int64_t year = cyyddd / 1000 + 1900;
    const int64_t day = cyyddd % 1000;
    if (year < calendar::kMinYear || year > calendar::kMaxYear)
        return r.SetUndefined(), PARSEVAL_OK;
    SetNumberResult(r, static_cast<double>(calendar::DayNumber(static_cast<int>(year), 1, 1) + day - 1) + (x - whole));
    return PARSEVAL_OK;
}

} // namespace

void AppendDateFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupDate;
    out.push_back(Function(u"TODAY", Now<false>, 2858, "today_.html", g, u"TODAY() - TODAY()", u"0", TIME_CLOCK));
    out.push_back(Function(u"NOW", Now<true>, 2834, "now_.html", g, u"NOW() >= TODAY()", u"yes", TIME_CLOCK));
    out.push_back(Function(u"YEAR", OfDate<Year>, 2868, "year_.html", g, u"YEAR('2024-02-29')", u"2024"));
    out.push_back(Function(u"MONTH", OfDate<Month>, 2832, "month_.html", g, u"MONTH('2024-02-29')", u"2"));
    out.push_back(Function(u"DAY", OfDate<Day>, 2788, "day_.html", g, u"DAY('2024-02-29')", u"29"));
    out.push_back(Function(u"HOUR", OfTime<0>, 2806, "hour_.html", g, u"HOUR(TIME(13, 45, 30))", u"13"));
    out.push_back(Function(u"MINUTE", OfTime<1>, 2828, "minute_.html", g, u"MINUTE(TIME(13, 45, 30))", u"45"));
    out.push_back(Function(u"SECOND", OfTime<2>, 2848, "second_.html", g, u"SECOND(TIME(13, 45, 30))", u"30"));
    out.push_back(Function(u"DATE", Date, 2786, "date_.html", g, u"DATE(2024, 12, 31) - DATE(2024, 1, 1)", u"365"));
    out.push_back(Function(u"TIME", Time, 2856, "time_.html", g, u"TIME(6, 0, 0) = 0.25", u"yes"));
    out.push_back(Function(u"QUARTER", OfDate<Quarter>, 2838, "quarter_.html", g, u"QUARTER('2024-08-15')", u"3"));
    out.push_back(Function(u"DaysOfMonth", OfDate<DaysOfMonth>, 2793, "daysofmonth_.html", g,
                           u"DaysOfMonth('2024-02-10')", u"29"));
    out.push_back(Function(u"DayOfYear", OfDate<DayOfYear>, 2790, "dayofyear_.html", g, u"DayOfYear('2024-12-31')", u"366"));
    out.push_back(Function(u"CalendarWeek", OfDate<CalendarWeek>, 2772, "calendarweek_.html", g,
                           u"CalendarWeek(DATE(2021, 1, 1))", u"0"));
    out.push_back(Function(u"CalendarWeekISO", OfDate<CalendarWeekIso>, 2774, "calendarweekiso_.html", g,
                           u"CalendarWeekISO(DATE(2021, 1, 1))", u"53"));
    out.push_back(Function(u"WEEKDAY", WeekdayName, 2775, "weekday_.html", g, u"WEEKDAY('2024-12-24', \"en\")", u"Tuesday"));
    out.push_back(Function(u"JDEJulianToDate", JdeJulian, 2810, "jdejuliantodate_.html", g,
                           u"YEAR(JDEJulianToDate(124001))", u"2024"));
}

} // namespace formula
