#include "platform/Automation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform;

namespace
{

TEST(AutomationStringTest, CarriesItsLengthAndEmbeddedNuls)
{
    const std::wstring text(L"a\0b\u00e4", 4);
    wchar_t* s = AllocAutomationString(std::wstring_view(text));
    EXPECT_EQ(AutomationStringLength(s), 4u);
    EXPECT_EQ(std::wstring(s, 4), text);
    EXPECT_EQ(s[4], L'\0');
    EXPECT_EQ(FromAutomationString(s), KString(u"a\0b\u00e4", 4));
    FreeAutomationString(s);

    wchar_t* empty = AllocAutomationString(KStringView());
    EXPECT_EQ(AutomationStringLength(empty), 0u);
    EXPECT_EQ(empty[0], L'\0');
    FreeAutomationString(empty);

    EXPECT_EQ(AutomationStringLength(nullptr), 0u);
    EXPECT_EQ(FromAutomationString(nullptr), KString());
    FreeAutomationString(nullptr); // ignored
}

TEST(AutomationStringTest, ConvertsSurrogatePairsToOneWideCharacter)
{
    wchar_t* s = AllocAutomationString(KStringView(u"x\U0001F600"));
    ASSERT_EQ(AutomationStringLength(s), 2u);
    EXPECT_EQ(static_cast<uint32_t>(s[1]), 0x1F600u);
    EXPECT_EQ(FromAutomationString(s), KString(u"x\U0001F600"));
    FreeAutomationString(s);
}

TEST(AutomationDateTest, OffsetAndNegativeContinuity)
{
    EXPECT_DOUBLE_EQ(AutomationDateFromDayNumber(0), 36526);
    EXPECT_DOUBLE_EQ(DayNumberFromAutomationDate(36526.25), 0.25);
    EXPECT_DOUBLE_EQ(DayNumberFromAutomationDate(0), -36526);

    // -1.25 is 29 December 1899, 06:00: the fraction counts forward from day -1.
    EXPECT_DOUBLE_EQ(MakeAutomationDateContinuous(-1.25), -0.75);
    EXPECT_DOUBLE_EQ(MakeAutomationDateContinuous(-2.0), -2.0);
    EXPECT_DOUBLE_EQ(MakeAutomationDateContinuous(-0.5), 0.5);
    EXPECT_DOUBLE_EQ(MakeAutomationDateContinuous(3.5), 3.5);
    EXPECT_DOUBLE_EQ(MakeAutomationDateDiscontinuous(-0.75), -1.25);
    EXPECT_DOUBLE_EQ(MakeAutomationDateDiscontinuous(-2.0), -2.0);
    EXPECT_DOUBLE_EQ(DayNumberFromAutomationDate(-1.25), -36526.75);
    EXPECT_DOUBLE_EQ(AutomationDateFromDayNumber(-36526.75), -1.25);

    for (double automation : {-700000.75, -3.5, -1.25, -1.0, 0.0, 0.25, 36526.5, 2958465.0})
        EXPECT_DOUBLE_EQ(AutomationDateFromDayNumber(DayNumberFromAutomationDate(automation)), automation);

    EXPECT_TRUE(std::isnan(DayNumberFromAutomationDate(std::nan(""))));
    EXPECT_TRUE(std::isnan(AutomationDateFromDayNumber(std::nan(""))));
}

} // namespace
