// Numbers read from decimal texts must be the correctly rounded doubles, whichever way the reader takes:
// short texts are read through whole-number arithmetic, long ones through the library's conversion.

#include "engine/FormatRegistry.h"
#include "engine/NumberFormat.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <iterator>

TEST(NumberRead, EveryDigitCountGivesTheCorrectlyRoundedNumber)
{
    CFormatRegistry registry;
    ASSERT_TRUE(registry.AddFormatIfNew(u"####."));
    const int id = registry.GetFormatID(u"####.");
    std::mt19937_64 random(17);
    for (int i = 0; i < 200000; ++i)
    {
        // 1 to 19 digits (15 is where the two ways meet), a point anywhere or none, zeros in front at times.
        const int digits = 1 + static_cast<int>(random() % 19);
        const int point = static_cast<int>(random() % static_cast<uint64_t>(digits + 1));
        std::string text = random() % 2 ? "-" : "";
        for (int d = 0; d < digits; ++d)
        {
            if (d == point && d > 0)
                text += '.';
            text += static_cast<char>('0' + (d == 0 && random() % 4 != 0 ? 1 + random() % 9 : random() % 10));
        }
        const double expected = std::strtod(text.c_str(), nullptr);
        const double read = registry.ReadNumber(id, platform::FromUtf8(text));
        ASSERT_EQ(read, expected) << text;
        ASSERT_EQ(std::signbit(read), std::signbit(expected)) << text;
    }
    EXPECT_TRUE(std::signbit(registry.ReadNumber(id, u"-0.000")));
    EXPECT_EQ(registry.ReadNumber(id, u"0.1"), 0.1);
    EXPECT_EQ(registry.ReadNumber(id, u"123456789012345"), 123456789012345.0);
    EXPECT_EQ(registry.ReadNumber(id, u"9007199254740993"), 9007199254740992.0); // 2^53 + 1 rounds to even
    // Without integer digits, and long texts with separators, spelled out again for the library's conversion.
    EXPECT_EQ(registry.ReadNumber(id, u".5"), 0.5);
    EXPECT_EQ(registry.ReadNumber(id, u"-.0000000000000000125"), -1.25e-17);
    ASSERT_TRUE(registry.AddFormatIfNew(u"#.###,"));
    const int grouped = registry.GetFormatID(u"#.###,");
    EXPECT_EQ(registry.ReadNumber(grouped, u"1.234.567.890.123.456,75"), 1234567890123456.75);
    EXPECT_EQ(registry.ReadNumber(grouped, u"-9.007.199.254.740.993"), -9007199254740992.0);
    EXPECT_EQ(registry.ReadNumber(grouped, u"-,25"), -0.25);
}

TEST(NumberRead, StoredValuesReadAsTheirTexts)
{
    // Stored values are read eight units at a time where they are plain: the same numbers (and the same
    // refusals) as the reading of the text, in every kind of number format, whatever follows a terminator.
    CFormatRegistry registry;
    const char16_t* formats[] = {u"####", u"####.", u"####.00", u"####.##", u"#,###", u"#.###,", u"#,###.00"};
    const char* pieces[] = {"0", "7", "12", "123", "1234", "1234567", "12345678", "-", "+", ".", ",", " ", "e", "|"};
    std::mt19937 random(23);
    std::vector<KString> texts = {u"", u"-0", u"-0.0", u"5.", u".5", u"1,234", u"1.234,5", u"12.345.678", u"+3,25"};
    for (int i = 0; i < 20000; ++i)
    {
        std::string text;
        for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        texts.push_back(platform::FromUtf8(text));
    }
    for (const char16_t* format : formats)
    {
        ASSERT_TRUE(registry.AddFormatIfNew(format));
        const int id = registry.GetFormatID(format);
        for (const KString& text : texts)
        {
            // A terminator, then units that would read as digits.
            KString stored = text + u'\0' + KString(8, u'9');
            const double expected = registry.ReadNumber(id, text);
            const double read = registry.ReadStoredNumber(id, platform::CPaddedString(stored.c_str()));
            if (std::isnan(expected))
                ASSERT_TRUE(std::isnan(read)) << platform::ToUtf8(format) << " " << platform::ToUtf8(text);
            else
                ASSERT_EQ(read, expected) << platform::ToUtf8(format) << " " << platform::ToUtf8(text);
            ASSERT_EQ(std::signbit(read), std::signbit(expected)) << platform::ToUtf8(text);
        }
    }
}

// Writing on the stack gives the texts of the plain steps, for every kind of number format.
TEST(NumberWrite, TheQuickWayWritesAsThePlainSteps)
{
    std::mt19937_64 random(29);
    std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 0.005, 0.015, 9.995, -9.995, 999.9995, 1e15, 1e16, 99999.5,
                                  1e300, -1e-300, 5e-324, 1.7976931348623157e308, 123456789.125, 0.49999999999999994};
    for (int i = 0; i < 20000; ++i)
    {
        const double mantissa = static_cast<double>(random() % 2000000) / 1000 - 1000;
        values.push_back(mantissa * std::pow(10.0, static_cast<int>(random() % 41) - 20));
        values.push_back(static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 100);
        // short decimals of up to ten places and up to 17 digits
        const double whole = static_cast<double>(random() % 100000000000000000ull);
        values.push_back(whole / std::pow(10.0, static_cast<int>(random() % 11)));
    }
    for (const char16_t* format : {u"####", u"#,###", u"####.##", u"####.00", u"####.", u"+#,###.###", u"#.###,##",
                                   u"#'###.0", u"####.0000000000000000000000000"})
    {
        const std::optional<SNumberFormat> parsed = SNumberFormat::Parse(format);
        ASSERT_TRUE(parsed) << platform::ToUtf8(format);
        for (const double value : values)
        {
            KString quick = u"old", plain = u"old";
            const bool wroteQuick = parsed->Write(value, quick);
            const bool wrotePlain = parsed->WritePlain(value, plain);
            ASSERT_EQ(wroteQuick, wrotePlain) << platform::ToUtf8(format) << " " << value;
            ASSERT_EQ(platform::ToUtf8(quick), platform::ToUtf8(plain)) << platform::ToUtf8(format) << " " << value;
        }
    }
}
