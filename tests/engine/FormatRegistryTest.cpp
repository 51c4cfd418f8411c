// The format registry: standard formats of every language, ids and ranks, type defaults, the order in which
// families are asked, writing limits and independence of the C locale. The words, regional settings and large
// integers of the languages are in data/formats/languages.txt.

#include "TableTestSupport.h"

#include "engine/FormatRegistry.h"
#include "engine/Languages.h"
#include "engine/Table.h"
#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <string>

namespace
{
EValueType SlotType(int slot)
{
    if (slot <= SLOT_INTEGER_THOUSANDS)
        return VALUE_INTEGER;
    if (slot <= SLOT_FIXED_TWO_2)
        return VALUE_DOUBLE;
    if (slot <= SLOT_MONTH)
        return VALUE_DATE;
    if (slot <= SLOT_TIME_3)
        return VALUE_TIME;
    if (slot <= SLOT_DATETIME_5)
        return VALUE_DATETIME;
    return VALUE_TIMESPAN;
}
} // namespace

TEST(StandardFormats, EverySlotOfEveryLanguageIsUnderstoodWithItsType)
{
    ASSERT_FALSE(CLanguage::GetLanguages().empty());
    for (const CLanguage* language : CLanguage::GetLanguages())
    {
        CFormatRegistry registry;
        registry.SetLanguage(language->GetLanguageId());
        for (int slot = 1; slot <= STANDARD_FORMAT_COUNT; ++slot)
        {
            const KString& format = language->GetStandardFormat(slot);
            ASSERT_TRUE(registry.AddFormatIfNew(format)) << platform::ToUtf8(language->GetName()) << " slot " << slot;
            EXPECT_EQ(registry.GetType(registry.GetFormatID(format)), SlotType(slot))
                << platform::ToUtf8(language->GetName()) << " slot " << slot << " " << platform::ToUtf8(format);
        }
        EXPECT_NE(language->GetDecimalSeparator(), language->GetThousandsSeparator());
        EXPECT_TRUE(language->GetStandardFormat(0).empty());
        EXPECT_TRUE(language->GetStandardFormat(STANDARD_FORMAT_COUNT + 1).empty());
    }
}

TEST(StandardFormats, TableIdsFollowTheRanksAndTheTypeDefaultsAreMarked)
{
    STableInLanguage english(1033);
    CTable* table = english.table.get();
    const CFormatRegistry& registry = table->GetFormatRegistry();
    EXPECT_EQ(table->GetFormatID(u""), 0);
    EXPECT_EQ(table->GetFormat(0), u"");
    for (int id = 2; id < registry.GetFormatCount(); ++id)
        EXPECT_LE(registry.GetRank(id - 1), registry.GetRank(id)) << platform::ToUtf8(registry.GetFormat(id));
    // The defaults of each type, and the integer and floating formats: "default-format" in languages.txt.
    for (const char16_t* known : {u"#\u00A0###", u"#\u2019###", u"#'###", u"jjjj-mm-tt", u"tt.mm.jjjj, ss:mm:ss"})
        EXPECT_GT(table->GetFormatID(known), 0) << platform::ToUtf8(known);
    EXPECT_EQ(table->GetFormatID(u"####.####"), -1); // slot 6 is not among the added ones

    STableInLanguage inGerman(1031);
    CTable* german = inGerman.table.get();
    const CFormatRegistry& germanFormats = german->GetFormatRegistry();
    EXPECT_EQ(german->GetLanguageID(), 1031);
    // "####." is added besides the language's "####," (languages.txt), but is not the default.
    EXPECT_FALSE(germanFormats.IsTypeDefault(germanFormats.GetFloatingFormatId()));
}

// Guessing asks every language's family, and each candidate's counts hold in the registry that proposed it:
// once added, its string reads and writes back exactly the samples it counted. So a string that the registry
// would read with other month names than those of the family that found it is never proposed.
TEST(Registry, CandidatesOfEveryLanguageReadAsCounted)
{
    const std::vector<std::vector<KStringView>> columns = {
        {u"17 October 2007", u"3 March 2020", u"1 January 1999"},
        {u"17 octobre 2007", u"3 mars 2020", u"1 janvier 1999"},
        {u"17 ottobre 2007", u"3 marzo 2020", u"agosto 2007", u"maggio 2020"},
        {u"agosto 2007", u"maio 2020", u"mar\u00e7o 2001"},
        {u"17. Oktober 2007", u"3. M\u00e4rz 2020", u"3 maj 2020"},
        {u"2007.10.17.", u"2020. 12. 25.", u"17.10.2007"},
        {u"17/10/2007", u"12/10/2007", u"1.234", u"12,5"},
    };
    int candidates = 0;
    for (const CLanguage* language : CLanguage::GetLanguages())
    {
        CFormatRegistry registry;
        registry.SetLanguage(language->GetLanguageId());
        SRecognitionHints hints;
        hints.cDecimal = language->GetDecimalSeparator();
        hints.cThousands = language->GetThousandsSeparator();
        for (const std::vector<KStringView>& samples : columns)
        {
            for (const SFormatCandidate& candidate : registry.RecognizeFormats(samples, hints, 100))
            {
                ++candidates;
                const std::string where =
                    platform::ToUtf8(language->GetName()) + ": " + platform::ToUtf8(candidate.strFormat);
                ASSERT_TRUE(registry.AddFormatIfNew(candidate.strFormat)) << where;
                const int id = registry.GetFormatID(candidate.strFormat);
                int reads = 0, roundTrips = 0;
                for (KStringView sample : samples)
                {
                    const double value = registry.ReadNumber(id, sample);
                    if (std::isnan(value))
                        continue;
                    ++reads;
                    roundTrips += registry.WriteNumber(id, value) == sample ? 1 : 0;
                }
                EXPECT_EQ(reads, candidate.nReads) << where;
                EXPECT_EQ(roundTrips, candidate.nRoundTrips) << where;
            }
        }
    }
    EXPECT_GT(candidates, 100);
}

TEST(Registry, UnknownIdsAndStrings)
{
    CFormatRegistry registry;
    EXPECT_EQ(registry.GetType(999), VALUE_TEXT);
    EXPECT_EQ(registry.GetType(-1), VALUE_TEXT);
    EXPECT_EQ(registry.GetFormat(999), u"");
    EXPECT_EQ(registry.GetFormatID(u"nope"), -1);
    EXPECT_FALSE(registry.AddFormatIfNew(u"nope"));
    EXPECT_FALSE(registry.AddFormatIfNew(KString(300, u'#')));
    EXPECT_TRUE(std::isnan(registry.ReadNumber(0, u"12")));
    EXPECT_TRUE(std::isnan(registry.ReadNumber(999, u"12")));
    EXPECT_EQ(registry.GetDefaultFormatID(VALUE_DATE), -1);
    registry.SetLanguage(4242);
    EXPECT_EQ(registry.GetLanguageId(), 1033);
    const char16_t* names[] = {u"STRING", u"STRING",   u"INTEGER",  u"DOUBLE", u"DATE",
                               u"TIME",   u"DATETIME", u"TIMESPAN", u"STRING"};
    for (int type = 0; type <= 8; ++type)
        EXPECT_EQ(std::u16string(GetValueTypeName(type)), names[type]) << type;
}

TEST(Registry, AddingWithSortKeepsEveryAttributesFormat)
{
    STableInLanguage english(1033);
    CTable* table = english.table.get();
    CAttribute* integer = table->CreateNewAttribute(ATTR_NORMAL, false, u"I", nullptr, 10, true);
    CAttribute* date = table->CreateNewAttribute(ATTR_NORMAL, false, u"D", nullptr, 10, true);
    ASSERT_EQ(integer->SetFormatString(u"####"), 1);
    ASSERT_EQ(date->SetFormatString(u"yyyy-mm-dd"), 1);
    const int before = integer->GetFormatId();
    // Six optional decimals rank before the integer formats: ids move.
    EXPECT_EQ(table->AddFormatIfNew(u"####.######", true), 1);
    EXPECT_NE(integer->GetFormatId(), before);
    EXPECT_EQ(integer->GetFormatId(), table->GetFormatID(u"####"));
    EXPECT_EQ(date->GetFormatId(), table->GetFormatID(u"yyyy-mm-dd"));
    EXPECT_EQ(integer->GetType(), VALUE_INTEGER);
    EXPECT_EQ(date->GetType(), VALUE_DATE);
    EXPECT_EQ(table->GetFormatRegistry().GetIntegerFormatId(), integer->GetFormatId());
    EXPECT_EQ(table->AddFormatIfNew(u"####.######", true), 1); // known
    EXPECT_EQ(table->AddFormatIfNew(u"garbage", true), 0);
}

TEST(Registry, NonFiniteAndOverlongNumbers)
{
    CFormatRegistry registry;
    for (const char16_t* format : {u"####", u"####.00", u"####."})
        ASSERT_TRUE(registry.AddFormatIfNew(format));
    // NaN, infinities and a number too long to write with separators: numbers.txt and dates.txt.
    const int integer = registry.GetFormatID(u"####");
    const KString plain = registry.WriteNumber(registry.GetFormatID(u"####.00"), 1e308);
    EXPECT_EQ(plain.size(), 312u);
    EXPECT_EQ(plain.substr(0, 3), u"100");
    EXPECT_EQ(registry.WriteNumber(integer, -1e308).size(), 310u);
    KString text = u"kept";
    EXPECT_FALSE(registry.Write(0, 5.0, text));
    EXPECT_EQ(text, u"kept");
    // Numbers too large for a double are not read.
    EXPECT_TRUE(std::isnan(registry.ReadNumber(integer, u"1" + KString(400, u'0'))));
    // Numbers too small for a double read as zero.
    EXPECT_EQ(registry.ReadNumber(registry.GetFormatID(u"####."), u"0." + KString(400, u'0') + u"1"), 0.0);
}

// Reads and writes a fixed set of values, giving one string to compare.
static std::string FormatSignature()
{
    CFormatRegistry registry;
    registry.SetLanguage(1031);
    std::string signature;
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"####.", u"1234.5"},
        {u"####,", u"1234,5"},
        {u"#.###,00", u"1.234,50"},
        {u"#,###.", u"-1,234.125"},
        {u"t. mmmm jjjj", u"1. März 2024"},
        {u"ss:mm:ss", u"13:45:10"},
        {u"####.##", u"0.125"},
        {u"#\u00A0###,", u"1\u00A0234,5"},
    };
    for (const auto& [format, text] : cases)
    {
        registry.AddFormatIfNew(format);
        const int id = registry.GetFormatID(format);
        const double value = registry.ReadNumber(id, text);
        char digits[64];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        signature += std::string(digits, end) + "=" + platform::ToUtf8(registry.WriteNumber(id, value)) + ";";
        signature += platform::ToUtf8(registry.WriteNumber(id, 1.0 / 3)) + ";";
    }
    return signature;
}

TEST(Registry, ResultsDoNotDependOnTheProcessLocale)
{
    const std::string baseline = FormatSignature();
    EXPECT_NE(baseline.find("1234.5=1234.5;"), std::string::npos) << baseline;
    int locales = 0;
    for (const char* locale : {"C.UTF-8", "C.utf8", "de_DE.UTF-8", "fr_FR.UTF-8", "POSIX"})
    {
        if (!std::setlocale(LC_ALL, locale))
            continue;
        ++locales;
        EXPECT_EQ(FormatSignature(), baseline) << locale;
    }
    std::setlocale(LC_ALL, "C");
    EXPECT_GE(locales, 1);
}
