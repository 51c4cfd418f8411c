// Day numbers and the parts of a day (automation dates: AutomationDateTest in tests/platform).

#include "engine/Calendar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace
{
// The day number of a date by the defining formula: (y-1)*365 + (y-1)/4 - (y-1)/100 + (y-1)/400 + n - 730120.
int64_t FormulaDayNumber(int year, int month, int day)
{
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int64_t n = before[month - 1] + day + (leap && month > 2 ? 1 : 0);
    const int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + n - 730120;
}
} // namespace

TEST(Calendar, DayNumbersFollowTheFormulaInEveryYear)
{
    for (int year = calendar::kMinYear; year <= calendar::kMaxYear; ++year)
    {
        for (auto [month, day] : {std::pair{1, 1}, {2, 28}, {3, 1}, {7, 4}, {12, 31}})
        {
            const int64_t expected = FormulaDayNumber(year, month, day);
            ASSERT_EQ(calendar::DayNumber(year, month, day), expected) << year << "-" << month << "-" << day;
            const std::optional<calendar::SDate> date = calendar::DateOfDay(expected);
            ASSERT_TRUE(date.has_value());
            ASSERT_EQ(std::tuple(date->nYear, date->nMonth, date->nDay), std::tuple(year, month, day));
        }
        if (calendar::IsLeapYear(year))
        {
            ASSERT_EQ(calendar::DayNumber(year, 2, 29), FormulaDayNumber(year, 2, 29)) << year;
        }
    }
}

TEST(Calendar, EveryDayOfTheRangeFollowsTheDayBefore)
{
    calendar::SDate previous = *calendar::DateOfDay(calendar::kMinDay);
    EXPECT_EQ(std::tuple(previous.nYear, previous.nMonth, previous.nDay), std::tuple(1, 1, 1));
    for (int64_t day = calendar::kMinDay + 1; day <= calendar::kMaxDay; ++day)
    {
        const calendar::SDate date = *calendar::DateOfDay(day);
        const bool nextDay =
            date.nYear == previous.nYear && date.nMonth == previous.nMonth && date.nDay == previous.nDay + 1;
        const bool nextMonth = date.nYear == previous.nYear && date.nMonth == previous.nMonth + 1 && date.nDay == 1 &&
                               previous.nDay == calendar::DaysInMonth(previous.nYear, previous.nMonth);
        const bool nextYear = date.nYear == previous.nYear + 1 && date.nMonth == 1 && date.nDay == 1 &&
                              previous.nMonth == 12 && previous.nDay == 31;
        ASSERT_TRUE(nextDay || nextMonth || nextYear) << "day " << day;
        previous = date;
    }
    EXPECT_EQ(std::tuple(previous.nYear, previous.nMonth, previous.nDay), std::tuple(9999, 12, 31));
}

TEST(Calendar, EdgesOfTheRangeAndWellKnownDays)
{
    // The first and last day of the range: EveryDayOfTheRangeFollowsTheDayBefore.
    EXPECT_FALSE(calendar::DateOfDay(calendar::kMinDay - 1).has_value());
    EXPECT_FALSE(calendar::DateOfDay(calendar::kMaxDay + 1).has_value());
    EXPECT_EQ(calendar::DayOfWeek(0), 6);                 // a Saturday
    EXPECT_EQ(calendar::DayOfWeek(-1), 5);                // a Friday
    EXPECT_EQ(calendar::DayOfWeek(8951), 4);              // 4 July 2024, a Thursday
    EXPECT_EQ(calendar::DayOfWeek(calendar::kMinDay), 1); // 1 January 1, a Monday
}

TEST(Calendar, LeapYearsAndMonthLengths)
{
    EXPECT_TRUE(calendar::IsLeapYear(2000));
    EXPECT_FALSE(calendar::IsLeapYear(1900));
    EXPECT_TRUE(calendar::IsLeapYear(2024));
    EXPECT_FALSE(calendar::IsLeapYear(2100));
    EXPECT_TRUE(calendar::IsLeapYear(2400));
    // Month lengths within the range: EveryDayOfTheRangeFollowsTheDayBefore.
    EXPECT_EQ(calendar::DaysInMonth(2024, 13), 0);
    EXPECT_FALSE(calendar::IsValidDate(0, 1, 1));
    EXPECT_FALSE(calendar::IsValidDate(10000, 1, 1));
    EXPECT_FALSE(calendar::IsValidDate(2023, 2, 29));
    EXPECT_TRUE(calendar::IsValidDate(2024, 2, 29));
}

TEST(Calendar, PartsOfADay)
{
    EXPECT_EQ(calendar::TimeFraction(24, 0, 0), 1.0);
    EXPECT_EQ(calendar::TimeFraction(12, 0, 0), 0.5);
    EXPECT_EQ(calendar::TimeFraction(36, 0, 0), 1.5);
    EXPECT_EQ(calendar::ToSeconds(0.5), 43200);
    EXPECT_EQ(calendar::ToSeconds(-0.25), -21600);
    EXPECT_FALSE(calendar::ToSeconds(std::nan("")).has_value());
    EXPECT_FALSE(calendar::ToSeconds(HUGE_VAL).has_value());
    EXPECT_FALSE(calendar::ToSeconds(1e300).has_value());
}
