// Setting and reading values of every type, the converters, and the refusal of values out of range.

#include "ApiTestSupport.h"

#include <cmath>
#include <limits>

using namespace apitest;

namespace
{

// A table with a key, a text, an integer and a floating attribute, a header and one record.
class ValuesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pKey = m_table.Add(L"Kennung");
        m_pText = m_table.Add(L"Text");
        m_pInteger = m_table.Add(L"Ganzzahl", L"####");
        m_pDouble = m_table.Add(L"Zahl", L"####.");
        m_pHeader = m_table.AddHeader(L"Gruppe");
        m_pRecord = m_table.AddRecord();
        m_table.Set(m_pKey, m_pRecord, L"1");
    }

    double Double(CAttribute* attribute)
    {
        double value = -1;
        EXPECT_EQ(TableGetDoubleValue(m_table, attribute, m_pRecord, &value), 0);
        return value;
    }

    std::wstring Text(CAttribute* attribute) { return m_table.Get(attribute, m_pRecord); }

    CTestTable m_table;
    CAttribute* m_pKey = nullptr;
    CAttribute* m_pText = nullptr;
    CAttribute* m_pInteger = nullptr;
    CAttribute* m_pDouble = nullptr;
    CAttribute* m_pHeader = nullptr;
    CRecord* m_pRecord = nullptr;
};

TEST_F(ValuesTest, TextValuesListsAndUndefined)
{
    m_table.Set(m_pText, m_pRecord, L"Grün");
    EXPECT_EQ(Text(m_pText), L"Grün");
    EXPECT_TRUE(std::isnan(Double(m_pText))); // text attributes have no numbers

    m_table.Set(m_pText, m_pRecord, L"|b|a|b||");
    EXPECT_EQ(Text(m_pText), L"|b|a|");

    EXPECT_EQ(TableSetValue(m_table, m_pText, m_pRecord, nullptr, false), 0);
    EXPECT_EQ(Text(m_pText), L"");

    // The header has no values: reading gives "", setting gives 15 and changes nothing.
    EXPECT_EQ(Text(m_pHeader), L"");
    EXPECT_EQ(Outcome([&] { return TableSetValue(m_table, m_pHeader, m_pRecord, const_cast<wchar_t*>(L"x"), false); }),
              Failure(15, L"API_SETTING_VALUE_NOT_ALLOWED"));
    EXPECT_EQ(Text(m_pHeader), L"");
}

TEST_F(ValuesTest, HandedOverStringsAreFreedWhateverTheStatus)
{
    // Under the address sanitizer a leak or a double free here fails the run.
    EXPECT_EQ(TableSetValue(m_table, m_pText, m_pRecord, StringAllocate(L"übergeben"), true), 0);
    EXPECT_EQ(Text(m_pText), L"übergeben");
    EXPECT_EQ(TableSetValue(nullptr, m_pText, m_pRecord, StringAllocate(L"verworfen"), true), 3);
    EXPECT_EQ(TableSetValue(m_table, m_pHeader, m_pRecord, StringAllocate(L"verworfen"), true), 15);
    EXPECT_EQ(TableSetValue(m_table, m_pText, nullptr, StringAllocate(L"verworfen"), true), 5);
    EXPECT_EQ(Text(m_pText), L"übergeben");
    EXPECT_EQ(TableSetValue(m_table, m_pText, m_pRecord, nullptr, true), 0); // null with the flag: undefined
    EXPECT_EQ(Text(m_pText), L"");
}

TEST_F(ValuesTest, IntegersKeepTheirDigits)
{
    EXPECT_EQ(TableSetIntValue(m_table, m_pInteger, m_pRecord, -42), 0);
    EXPECT_EQ(Text(m_pInteger), L"-42");
    int64_t value = 0;
    EXPECT_EQ(TableGetIntValue(m_table, m_pInteger, m_pRecord, &value), 0);
    EXPECT_EQ(value, -42);
    EXPECT_EQ(Double(m_pInteger), -42.0);

    EXPECT_EQ(TableSetIntValue(m_table, m_pText, m_pRecord, 123456789012345678), 0);
    EXPECT_EQ(Text(m_pText), L"123456789012345678");
    EXPECT_EQ(Outcome([&] { return TableGetIntValue(m_table, m_pText, m_pRecord, &value); }),
              Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE")); // a text attribute has no number

    EXPECT_EQ(TableSetIntValue(m_table, m_pDouble, m_pRecord, 7), 0);
    EXPECT_EQ(Text(m_pDouble), L"7");
}

TEST_F(ValuesTest, DoublesAreWrittenWithTheFormat)
{
    EXPECT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, 2.5), 0);
    EXPECT_EQ(Text(m_pDouble), L"2.5");
    EXPECT_EQ(Double(m_pDouble), 2.5);
    int64_t rounded = 0;
    EXPECT_EQ(TableGetIntValue(m_table, m_pDouble, m_pRecord, &rounded), 0);
    EXPECT_EQ(rounded, 3);

    EXPECT_EQ(TableSetDoubleValue(m_table, m_pInteger, m_pRecord, 41.6), 0);
    EXPECT_EQ(Text(m_pInteger), L"42");

    // A text attribute stores the plain number as its text.
    EXPECT_EQ(TableSetDoubleValue(m_table, m_pText, m_pRecord, -0.125), 0);
    EXPECT_EQ(Text(m_pText), L"-0.125");
    EXPECT_EQ(TableSetDateValue(m_table, m_pText, m_pRecord, 2000, 1, 31), 0);
    EXPECT_EQ(Text(m_pText), L"30");

    // NaN is the undefined number; infinities are refused and leave the record undefined.
    EXPECT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, std::nan("")), 0);
    EXPECT_EQ(Text(m_pDouble), L"");
    EXPECT_TRUE(std::isnan(Double(m_pDouble)));
    EXPECT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, 1.5), 0);
    EXPECT_EQ(
        Outcome(
            [&]
            { return TableSetDoubleValue(m_table, m_pDouble, m_pRecord, std::numeric_limits<double>::infinity()); }),
        Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(Text(m_pDouble), L"");
}

TEST_F(ValuesTest, DatesTimesAndSpansAsNumbers)
{
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(TableSetDateValue(m_table, m_pDouble, m_pRecord, 2000, 3, 1), 0);
    EXPECT_EQ(Double(m_pDouble), 60.0); // days from 1 January 2000
    EXPECT_EQ(TableGetDateValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d), 0);
    EXPECT_EQ((std::vector<int32_t>{y, mo, d}), (std::vector<int32_t>{2000, 3, 1}));
    double automation = 0;
    EXPECT_EQ(TableGetDATEValue(m_table, m_pDouble, m_pRecord, &automation), 0);
    EXPECT_EQ(automation, 36586.0);

    EXPECT_EQ(TableSetTimeValue(m_table, m_pDouble, m_pRecord, 18, 0, 0), 0);
    EXPECT_EQ(Double(m_pDouble), 0.75);
    EXPECT_EQ(TableGetTimeValue(m_table, m_pDouble, m_pRecord, &h, &mi, &s), 0);
    EXPECT_EQ((std::vector<int32_t>{h, mi, s}), (std::vector<int32_t>{18, 0, 0}));

    EXPECT_EQ(TableSetTimeValue(m_table, m_pDouble, m_pRecord, 24, 0, 0), 0);
    EXPECT_EQ(Double(m_pDouble), 1.0);
    EXPECT_EQ(TableGetTimeValue(m_table, m_pDouble, m_pRecord, &h, &mi, &s), 0);
    EXPECT_EQ((std::vector<int32_t>{h, mi, s}), (std::vector<int32_t>{24, 0, 0}));

    EXPECT_EQ(TableSetDateTimeValue(m_table, m_pDouble, m_pRecord, 2024, 2, 29, 23, 59, 58), 0);
    EXPECT_EQ(TableGetDateTimeValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d, &h, &mi, &s), 0);
    EXPECT_EQ((std::vector<int32_t>{y, mo, d, h, mi, s}), (std::vector<int32_t>{2024, 2, 29, 23, 59, 58}));

    EXPECT_EQ(TableSetTimeSpanValue(m_table, m_pDouble, m_pRecord, -1, 50, 7, 9), 0);
    EXPECT_NEAR(Double(m_pDouble), -(50 * 3600 + 7 * 60 + 9) / 86400.0, 1e-12);
    int16_t sign = 0;
    double hours = 0;
    EXPECT_EQ(TableGetTimeSpanValue(m_table, m_pDouble, m_pRecord, &sign, &hours, &mi, &s), 0);
    EXPECT_EQ(sign, -1);
    EXPECT_EQ(hours, 50.0);
    EXPECT_EQ((std::vector<int32_t>{mi, s}), (std::vector<int32_t>{7, 9}));
    EXPECT_EQ(TableSetTimeSpanValue(m_table, m_pDouble, m_pRecord, 0, 1.5, 0, 0), 0); // 0 counts as positive
    EXPECT_DOUBLE_EQ(Double(m_pDouble), 1.5 / 24);
}

TEST_F(ValuesTest, DateAndTimeAttributesStoreTheirFormattedText)
{
    CAttribute* date = m_table.Add(L"Datum", L"jjjj-mm-tt");
    CAttribute* time = m_table.Add(L"Zeit", L"hh:mm:ss");
    CAttribute* dateTime = m_table.Add(L"Zeitpunkt", L"yyyy-mm-dd hh:mm:ss");
    CAttribute* span = m_table.Add(L"Dauer", L"hhh:mm:ss");
    EXPECT_EQ(Got(AttributeGetType, date), L"DATE");
    EXPECT_EQ(Got(AttributeGetType, time), L"TIME");
    EXPECT_EQ(Got(AttributeGetType, dateTime), L"DATETIME");
    EXPECT_EQ(Got(AttributeGetType, span), L"TIMESPAN");

    EXPECT_EQ(TableSetDateValue(m_table, date, m_pRecord, 2024, 2, 29), 0);
    EXPECT_EQ(Text(date), L"2024-02-29");
    EXPECT_EQ(TableSetDATEValue(m_table, date, m_pRecord, 36526.0), 0);
    EXPECT_EQ(Text(date), L"2000-01-01");
    EXPECT_EQ(TableSetTimeValue(m_table, time, m_pRecord, 7, 5, 3), 0);
    EXPECT_EQ(Text(time), L"07:05:03");
    EXPECT_EQ(TableSetDateTimeValue(m_table, dateTime, m_pRecord, 1999, 12, 31, 23, 59, 59), 0);
    EXPECT_EQ(Text(dateTime), L"1999-12-31 23:59:59");
    EXPECT_EQ(TableSetTimeSpanValue(m_table, span, m_pRecord, 1, 49, 30, 0), 0);
    EXPECT_EQ(Text(span), L"49:30:00");

    // Read back through the format.
    int32_t y = 0, mo = 0, d = 0;
    EXPECT_EQ(TableSetValue(m_table, date, m_pRecord, const_cast<wchar_t*>(L"2001-07-04"), false), 0);
    EXPECT_EQ(TableGetDateValue(m_table, date, m_pRecord, &y, &mo, &d), 0);
    EXPECT_EQ((std::vector<int32_t>{y, mo, d}), (std::vector<int32_t>{2001, 7, 4}));
    double automation = 0;
    EXPECT_EQ(TableGetDATEValue(date, L"2000-01-02", &automation), 0);
    EXPECT_EQ(automation, 36527.0);
    EXPECT_EQ(TableGetDATEValue(date, L"2000-02-30", &automation), 26);

    // A refused date leaves the date attribute undefined too, and so does a number the format cannot write.
    EXPECT_EQ(TableSetDateValue(m_table, date, m_pRecord, 2023, 2, 29), 26);
    EXPECT_EQ(Text(date), L"");
    ASSERT_EQ(TableSetDateValue(m_table, date, m_pRecord, 2023, 2, 28), 0);
    EXPECT_EQ(Outcome([&] { return TableSetDoubleValue(m_table, date, m_pRecord, 1e9); }),
              Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(Text(date), L"");
}

TEST_F(ValuesTest, AutomationDatesKeepTheirNegativeFractions)
{
    const double dates[] = {36526.25, 0.0, 1.5, -1.25, -600000.75, 2958465.0};
    for (double date : dates)
    {
        EXPECT_EQ(TableSetDATEValue(m_table, m_pDouble, m_pRecord, date), 0) << date;
        double back = 0;
        EXPECT_EQ(TableGetDATEValue(m_table, m_pDouble, m_pRecord, &back), 0) << date;
        EXPECT_NEAR(back, date, 1e-9);
    }
    // -1.25 is 29 December 1899, 06:00.
    EXPECT_EQ(TableSetDATEValue(m_table, m_pDouble, m_pRecord, -1.25), 0);
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(TableGetDateTimeValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d, &h, &mi, &s), 0);
    EXPECT_EQ((std::vector<int32_t>{y, mo, d, h, mi, s}), (std::vector<int32_t>{1899, 12, 29, 6, 0, 0}));
}

// Every setter with an argument out of range gives 26 and leaves the record undefined.
TEST_F(ValuesTest, ValuesOutOfRangeAreRefusedAndLeaveTheRecordUndefined)
{
    struct SCase
    {
        const char* m_pName;
        std::function<uint16_t()> m_set;
    };
    CTableFrame* f = m_table;
    CAttribute* a = m_pDouble;
    CRecord* r = m_pRecord;
    const std::vector<SCase> cases = {
        {"hour 25", [=] { return TableSetTimeValue(f, a, r, 25, 0, 0); }},
        {"24:00:01", [=] { return TableSetTimeValue(f, a, r, 24, 0, 1); }},
        {"24:01:00", [=] { return TableSetTimeValue(f, a, r, 24, 1, 0); }},
        {"minute 60", [=] { return TableSetTimeValue(f, a, r, 1, 60, 0); }},
        {"second 60", [=] { return TableSetTimeValue(f, a, r, 1, 0, 60); }},
        {"negative hour", [=] { return TableSetTimeValue(f, a, r, -1, 0, 0); }},
        {"month 13", [=] { return TableSetDateValue(f, a, r, 2024, 13, 1); }},
        {"month 0", [=] { return TableSetDateValue(f, a, r, 2024, 0, 1); }},
        {"30 February", [=] { return TableSetDateValue(f, a, r, 2024, 2, 30); }},
        {"29 February 1900", [=] { return TableSetDateValue(f, a, r, 1900, 2, 29); }},
        {"31 April", [=] { return TableSetDateValue(f, a, r, 2024, 4, 31); }},
        {"day 0", [=] { return TableSetDateValue(f, a, r, 2024, 1, 0); }},
        {"year 0", [=] { return TableSetDateValue(f, a, r, 0, 1, 1); }},
        {"year 10000", [=] { return TableSetDateValue(f, a, r, 10000, 1, 1); }},
        {"date-time on 30 February", [=] { return TableSetDateTimeValue(f, a, r, 2023, 2, 29, 12, 0, 0); }},
        {"date-time at hour 25", [=] { return TableSetDateTimeValue(f, a, r, 2024, 1, 1, 25, 0, 0); }},
        {"span minute 60", [=] { return TableSetTimeSpanValue(f, a, r, 1, 1, 60, 0); }},
        {"span second 60", [=] { return TableSetTimeSpanValue(f, a, r, 1, 1, 0, 60); }},
        {"span negative hours", [=] { return TableSetTimeSpanValue(f, a, r, 1, -1, 0, 0); }},
        {"span NaN hours", [=] { return TableSetTimeSpanValue(f, a, r, 1, std::nan(""), 0, 0); }},
        {"automation date NaN", [=] { return TableSetDATEValue(f, a, r, std::nan("")); }},
        {"automation date after 9999", [=] { return TableSetDATEValue(f, a, r, 2958466.0); }},
        {"automation date before year 1", [=] { return TableSetDATEValue(f, a, r, -657435.0 - 80000); }},
    };
    for (const SCase& c : cases)
    {
        ASSERT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, 3), 0);
        EXPECT_EQ(Outcome(c.m_set), Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE")) << c.m_pName;
        EXPECT_EQ(Text(m_pDouble), L"") << c.m_pName;
    }
    // The limits themselves are fine.
    EXPECT_EQ(TableSetDateValue(f, a, r, 2000, 2, 29), 0);
    EXPECT_EQ(TableSetDateValue(f, a, r, 1, 1, 1), 0);
    EXPECT_EQ(TableSetDateValue(f, a, r, 9999, 12, 31), 0);
    EXPECT_EQ(TableSetTimeValue(f, a, r, 23, 59, 59), 0);
    EXPECT_EQ(TableSetTimeSpanValue(f, a, r, 1, 100000, 59, 59), 0);
}

TEST_F(ValuesTest, TypedGettersRefuseWhatHasNoNumber)
{
    ASSERT_EQ(TableSetValue(m_table, m_pDouble, m_pRecord, nullptr, false), 0);
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int64_t integer = 0;
    double automation = 0;
    int16_t sign = 0;
    double hours = 0;
    const SOutcome refused = Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE");
    EXPECT_EQ(Outcome([&] { return TableGetIntValue(m_table, m_pDouble, m_pRecord, &integer); }), refused);
    EXPECT_EQ(Outcome([&] { return TableGetDATEValue(m_table, m_pDouble, m_pRecord, &automation); }), refused);
    EXPECT_EQ(Outcome([&] { return TableGetDateValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d); }), refused);
    EXPECT_EQ(Outcome([&] { return TableGetTimeValue(m_table, m_pDouble, m_pRecord, &h, &mi, &s); }), refused);
    EXPECT_EQ(Outcome([&] { return TableGetDateTimeValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d, &h, &mi, &s); }),
              refused);
    EXPECT_EQ(Outcome([&] { return TableGetTimeSpanValue(m_table, m_pDouble, m_pRecord, &sign, &hours, &mi, &s); }),
              refused);
    EXPECT_EQ(Outcome([&] { return TableGetDATEValue(m_table, m_pHeader, m_pRecord, &automation); }), refused);
    // Beyond the calendar.
    ASSERT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, 1e9), 0);
    EXPECT_EQ(Outcome([&] { return TableGetDateValue(m_table, m_pDouble, m_pRecord, &y, &mo, &d); }), refused);
    ASSERT_EQ(TableSetDoubleValue(m_table, m_pDouble, m_pRecord, 1e300), 0);
    EXPECT_EQ(Outcome([&] { return TableGetIntValue(m_table, m_pDouble, m_pRecord, &integer); }), refused);
}

TEST_F(ValuesTest, ConvertersReadTextWithTheFormat)
{
    double number = 0;
    EXPECT_EQ(TableGetDoubleValue(m_pDouble, L"2.25", &number), 0);
    EXPECT_EQ(number, 2.25);
    EXPECT_EQ(TableGetDoubleValue(m_pDouble, L"zwei", &number), 0);
    EXPECT_TRUE(std::isnan(number));
    EXPECT_EQ(TableGetDoubleValue(m_pText, L"2.25", &number), 0);
    EXPECT_TRUE(std::isnan(number));

    int64_t integer = 0;
    EXPECT_EQ(TableGetIntValue(m_pInteger, L"-17", &integer), 0);
    EXPECT_EQ(integer, -17);
    EXPECT_EQ(Outcome([&] { return TableGetIntValue(m_pInteger, L"x", &integer); }),
              Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(TableGetIntValue(m_pInteger, nullptr, &integer), 26);

    EXPECT_EQ(TableGetDATEValue(m_pDouble, L"1", &number), 0);
    EXPECT_EQ(number, 36527.0);
    EXPECT_EQ(TableGetDATEValue(m_pText, L"1", &number), 26);
}

TEST_F(ValuesTest, SettingValuesMarksTheTableModified)
{
    ASSERT_EQ(TableSetModified(m_table, false), 0);
    EXPECT_FALSE(Got(TableGetModified, m_table));
    EXPECT_EQ(TableSetDateValue(m_table, m_pDouble, m_pRecord, 2001, 1, 1), 0);
    EXPECT_TRUE(Got(TableGetModified, m_table));

    // A refused value is no change.
    ASSERT_EQ(TableSetModified(m_table, false), 0);
    EXPECT_EQ(TableSetValue(m_table, m_pHeader, m_pRecord, const_cast<wchar_t*>(L"x"), false), 15);
    EXPECT_FALSE(Got(TableGetModified, m_table));
}

} // namespace
