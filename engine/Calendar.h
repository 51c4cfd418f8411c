#pragma once
// Day numbers of the proleptic Gregorian calendar and the parts of a day.
//
// A date is a whole number of days counted from 1 January 2000 (day 0;
// 31 December 1999 is day -1). Years run from 1 to 9999. A time of day is a
// fraction of a day (24:00:00 is 1.0), a date-time the day number plus that
// fraction, a time span a signed number of days. Automation dates (the flat
// interface's dates) count from 30 December 1899 and store the time of a
// negative date as a positive fraction; the helpers here convert both ways.
//
// Threading: pure functions, callable from any thread.

#include <cstdint>
#include <optional>

namespace calendar
{

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
// Day number of 1 January of year 1 and of 31 December 9999.
constexpr int64_t kMinDay = -730119;
constexpr int64_t kMaxDay = 2921939;
constexpr int64_t kSecondsPerDay = 86400;

struct SDate
{
    int nYear = 2000; // 1 .. 9999
    int nMonth = 1;   // 1 .. 12
    int nDay = 1;     // 1 .. days of the month
};

bool IsLeapYear(int year);
// 28 .. 31; 0 for a month outside 1 .. 12.
int DaysInMonth(int year, int month);
// True when the date lies in the calendar's range and its day exists in its month.
bool IsValidDate(int year, int month, int day);

// The day number of a valid date.
int64_t DayNumber(int year, int month, int day);
// The date of a day number; nothing outside kMinDay .. kMaxDay.
std::optional<SDate> DateOfDay(int64_t day);
// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(int64_t day);

// Seconds of a time of day or span: (h*3600 + m*60 + s) / 86400 days.
double TimeFraction(int64_t hours, int minutes, int seconds);

// A value in days rounded to whole seconds (nothing when it is not finite or
// too large to count in seconds).
std::optional<int64_t> ToSeconds(double days);

// Day number (with fraction) -> automation date, and back.
double ToAutomationDate(double dayNumber);
double FromAutomationDate(double automationDate);

} // namespace calendar
