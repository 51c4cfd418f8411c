#pragma once
// Automation strings and dates: the string and date forms that the flat interface exchanges with hosts. The
// calendar itself (day numbers of dates, month lengths) is engine/Calendar.h.
//
// An automation string is a zero-terminated wchar_t string allocated by the library, with its length in wchar_t
// units stored in front of the text:
//     block:  [4 bytes unused][uint32 length n][n wchar_t of text][wchar_t 0]
//     pointer handed out ------------------------^
// so that a string may contain NUL characters and its length is known without scanning. Such strings are freed
// only with FreeAutomationString.
//
// Day numbers count days with day 0 = 1 January 2000; times are fractions of a day. An automation date counts
// days from 30 December 1899, so it is the day number plus 36526; for negative automation dates the time fraction
// counts forward from the day (-1.25 is 29 December 1899, 06:00), which makes them discontinuous: they are made
// continuous before the offset is applied.
//
// Threading: every function may be called from any thread.

#include "platform/Text.h"

#include <cstdint>
#include <string_view>

namespace platform
{

// ---- automation strings ----

// A new automation string holding text. Throws COutOfMemoryException.
wchar_t* AllocAutomationString(std::wstring_view text);
// The same from internal UTF-16 text.
wchar_t* AllocAutomationString(KStringView text);
// Frees a string made by AllocAutomationString; null is ignored.
void FreeAutomationString(wchar_t* text) noexcept;
// The stored length in wchar_t units; 0 for null.
uint32_t AutomationStringLength(const wchar_t* text) noexcept;
// The text of a string made by AllocAutomationString, as UTF-16; empty for null. Reads the stored length, so
// embedded NULs survive. Not for plain zero-terminated strings.
KString FromAutomationString(const wchar_t* text);

// Days between 30 December 1899 (automation day 0) and 1 January 2000 (day number 0).
constexpr double kAutomationDateOffset = 36526.0;

// ---- automation dates ----

// The continuous form of an automation date: negative dates count their fraction forward from the day, so
// -1.25 (29 December 1899, 06:00) becomes -0.75. Dates from 0 on are unchanged.
double MakeAutomationDateContinuous(double automationDate);
// The inverse: a continuous date turned into the automation form (-0.75 becomes -1.25).
double MakeAutomationDateDiscontinuous(double continuousDate);
// Automation date -> day number (with time fraction); NaN stays NaN.
double DayNumberFromAutomationDate(double automationDate);
// Day number (with time fraction) -> automation date; NaN stays NaN.
double AutomationDateFromDayNumber(double dayNumber);

} // namespace platform
