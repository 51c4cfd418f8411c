#include "engine/Calendar.h"

#include "platform/Automation.h"

#include <cmath>

namespace calendar
{

namespace
{
// Days from 1 January 1970 of a civil date (any year), after H. Hinnant's algorithm.
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// 1 January 2000 counted from 1 January 1970.
constexpr int64_t kDay0FromUnixEpoch = 10957;
} // namespace

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day)
{
    return year >= kMinYear && year <= kMaxYear && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

int64_t DayNumber(int year, int month, int day)
{
    return DaysFromCivil(year, month, day) - kDay0FromUnixEpoch;
}

std::optional<SDate> DateOfDay(int64_t day)
{
    if (day < kMinDay || day > kMaxDay)
        return std::nullopt;
    const int64_t z = day + kDay0FromUnixEpoch + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    SDate date;
    date.nDay = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.nMonth = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.nYear = static_cast<int>(yearOfEra + era * 400 + (date.nMonth <= 2 ? 1 : 0));
    return date;
}

int DayOfWeek(int64_t day)
{
    // Day 0 was a Saturday.
    const int64_t r = (day + 6) % 7;
    return static_cast<int>(r < 0 ? r + 7 : r);
}

double TimeFraction(int64_t hours, int minutes, int seconds)
{
    return static_cast<double>(hours * 3600 + minutes * 60 + seconds) / static_cast<double>(kSecondsPerDay);
}

std::optional<int64_t> ToSeconds(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 1e12)
        return std::nullopt;
    return static_cast<int64_t>(std::llround(days * static_cast<double>(kSecondsPerDay)));
}

double ToAutomationDate(double dayNumber)
{
    return platform::AutomationDateFromDayNumber(dayNumber);
}

double FromAutomationDate(double automationDate)
{
    return platform::DayNumberFromAutomationDate(automationDate);
}

} // namespace calendar
