// The collation tables, the three string orders, re-sorting when the collation changes, enumeration prefixes,
// numeric comparison and the code-page helpers.

#include "TableTestSupport.h"

#include "engine/Collation.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/FileSystem.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

TEST(Collation, GermanLettersShareTheirPrimaryWeight)
{
    const CCollation& c = CCollation::ForLanguage(1031);
    EXPECT_EQ(c.GetLanguageId(), 1031);
    for (char16_t same : {u'A', u'\u00e4', u'\u00c4', u'\u00e1'})
        EXPECT_EQ(c.GetPrimaryWeight(same), c.GetPrimaryWeight(u'a')) << static_cast<int>(same);
    EXPECT_LT(c.GetSecondaryWeight(u'a'), c.GetSecondaryWeight(u'A'));
    EXPECT_LT(c.GetSecondaryWeight(u'A'), c.GetSecondaryWeight(u'\u00e4'));
    EXPECT_LT(c.GetSecondaryWeight(u'\u00e4'), c.GetSecondaryWeight(u'\u00c4'));
    EXPECT_LT(c.GetPrimaryWeight(u'a'), c.GetPrimaryWeight(u'b'));
    EXPECT_LT(c.GetPrimaryWeight(u'9'), c.GetPrimaryWeight(u'a'));
    EXPECT_LT(c.GetPrimaryWeight(u' '), c.GetPrimaryWeight(u'0'));
    EXPECT_EQ(c.GetBaseCharacter(u'a'), u'A');
    EXPECT_EQ(c.GetBaseCharacter(u'\u00e4'), u'A');
    EXPECT_EQ(c.GetBaseCharacter(u'A'), u'A');
    EXPECT_EQ(c.GetBaseCharacter(u'z'), u'Z');
    EXPECT_EQ(c.GetBaseCharacter(u'0'), u'0');
    EXPECT_EQ(c.GetBaseCharacter(u'1'), u'1');
    // The sharp s: base character S, the primary weight of s.
    EXPECT_EQ(c.GetPrimaryWeight(u'\u00df'), c.GetPrimaryWeight(u's'));
    EXPECT_EQ(c.GetBaseCharacter(u'\u00df'), u'S');
    EXPECT_NE(c.GetSecondaryWeight(u'\u00df'), c.GetSecondaryWeight(u's'));
    EXPECT_EQ(c.GetPrimaryWeight(u'\u1e9e'), c.GetPrimaryWeight(u's')); // the capital sharp s goes with it
    EXPECT_EQ(c.GetBaseCharacter(u'\u1e9e'), u'S');

    // Primary weights alone; the full order of these words is in data/formats/order.txt.
    EXPECT_EQ(c.CompareStrings(u"apfel", u"Apfel", 0, true), 0);
    EXPECT_EQ(c.CompareStrings(u"apfel", u"Apfel", 0, false), -1);
    EXPECT_EQ(c.CompareStrings(u"Stra\u00dfe", u"Strase", 0, true), 0);
}

TEST(Collation, TheTablesAreConsistent)
{
    const CCollation& c = CCollation::ForLanguage(1031);
    std::vector<bool> seen(65536, false);
    for (size_t i = 0; i < 65536; ++i)
    {
        const char16_t unit = static_cast<char16_t>(i);
        const uint16_t secondary = c.GetSecondaryWeight(unit);
        ASSERT_FALSE(seen[secondary]) << "secondary weight " << secondary << " given twice";
        seen[secondary] = true;
        // A character and its base character share the primary weight; no character sorts before its class.
        ASSERT_EQ(c.GetPrimaryWeight(c.GetBaseCharacter(unit)), c.GetPrimaryWeight(unit)) << i;
        if (unit != u'\u00df')
        {
            ASSERT_LE(c.GetPrimaryWeight(unit), secondary) << i;
        }
    }
}

// The tables are kept in a file for later processes: read back they are the tables ICU gives; a file that was
// cut short, changed or made for another language is built again and replaced; a folder that cannot be written
// costs nothing but time.
TEST(Collation, KeptTablesAreThoseBuilt)
{
    auto same = [](const CCollation& a, const CCollation& b)
    {
        for (size_t i = 0; i < 65536; ++i)
        {
            const char16_t unit = static_cast<char16_t>(i);
            if (a.GetSecondaryWeight(unit) != b.GetSecondaryWeight(unit) ||
                a.GetPrimaryWeight(unit) != b.GetPrimaryWeight(unit) ||
                a.GetBaseCharacter(unit) != b.GetBaseCharacter(unit))
                return false;
        }
        return a.GetLanguageId() == b.GetLanguageId();
    };
    CTempFolder folder;
    const std::unique_ptr<CCollation> german = CCollation::Build(1031);
    const std::filesystem::path file = CCollation::CacheFileOf(1031, folder / "cache");
    EXPECT_TRUE(same(*CCollation::LoadOrBuild(1031, folder / "cache"), *german));
    const std::string kept = platform::ReadWholeFile(file);
    // Read back, not built again: the file stays as it was.
    std::filesystem::last_write_time(file, std::filesystem::file_time_type{});
    EXPECT_TRUE(same(*CCollation::LoadOrBuild(1031, folder / "cache"), *german));
    EXPECT_EQ(std::filesystem::last_write_time(file), std::filesystem::file_time_type{});

    std::string changed = kept;
    changed[kept.size() / 2] ^= 1; // a weight, the sum no longer fits
    std::string swapped = kept;    // two secondary weights given twice, the sum made to fit
    const size_t header = kept.size() - 3 * 65536 * 2 - 8;
    swapped[header] = swapped[header + 2];
    swapped[header + 1] = swapped[header + 3];
    uint64_t sum = 0xCBF29CE484222325ull; // FNV-1a
    for (size_t i = 0; i + 8 < swapped.size(); ++i)
        sum = (sum ^ static_cast<unsigned char>(swapped[i])) * 0x100000001B3ull;
    std::memcpy(swapped.data() + swapped.size() - 8, &sum, 8);
    for (const std::string& damaged : {kept.substr(0, kept.size() - 1), changed, swapped, std::string("KVCOLL01")})
    {
        platform::WriteFileAtomically(file, damaged);
        EXPECT_TRUE(same(*CCollation::LoadOrBuild(1031, folder / "cache"), *german));
        EXPECT_EQ(platform::ReadWholeFile(file), kept) << "replaced";
    }
    // Another language's file under this language's name is not taken.
    const std::unique_ptr<CCollation> swedish = CCollation::Build(1053);
    (void)CCollation::LoadOrBuild(1053, folder / "other");
    std::filesystem::copy_file(CCollation::CacheFileOf(1053, folder / "other"), file,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(same(*CCollation::LoadOrBuild(1031, folder / "cache"), *german));
    EXPECT_FALSE(same(*swedish, *german));

    // A folder that cannot be made: a file stands in its way.
    platform::WriteFileAtomically(folder / "blocked", "x");
    EXPECT_TRUE(same(*CCollation::LoadOrBuild(1031, folder / "blocked" / "cache"), *german));
}

TEST(Collation, CompareStringsWalksBothStrings)
{
    const CCollation& c = CCollation::ForLanguage(1033);
    EXPECT_EQ(c.CompareStrings(u"abcX", u"abcY", 3, false), 0);
    EXPECT_EQ(c.CompareStrings(u"abcX", u"abcY", 4, false), -1);
    EXPECT_EQ(c.CompareStrings(u"ab", u"abc", 0, false), -1);
    EXPECT_EQ(c.CompareStrings(u"abc", u"ab", 0, true), 1);
    EXPECT_EQ(c.CompareStrings(u"", u"", 0, false), 0);
    EXPECT_EQ(c.CompareStrings(u"", u"a", 0, false), -1);
    EXPECT_EQ(c.CompareStrings(u"ABC", u"abd", 2, true), 0);
    EXPECT_EQ(c.CompareStrings(u"ABC", u"abd", 0, true), -1);
    EXPECT_EQ(&CCollation::ForLanguage(1033), &c); // built once per language
}

TEST(Collation, LanguagesOrderTheirLettersDifferently)
{
    // The orders themselves: the @language 1031 and 1053 chains of data/formats/order.txt.
    EXPECT_EQ(CCollation::LocaleForLanguage(1053).substr(0, 2), "sv");
    EXPECT_EQ(CCollation::LocaleForLanguage(1031), "de_DE");
    EXPECT_EQ(CCollation::LocaleForLanguage(0x7FFF), "");
    // An unknown language gets the root order, still a total order.
    const CCollation& root = CCollation::ForLanguage(0x7FFF);
    EXPECT_EQ(root.Compare(u"a", u"b"), -1);
    EXPECT_EQ(root.CompareStrings(u"a", u"A", 0, true), 0);
}

TEST(Collation, TheSortModeIsTheCollationUnlessSetToAnother)
{
    // What each mode orders: the @mode sections of data/formats/order.txt.
    EXPECT_EQ(CCollation::GetSortMode(), SORT_COLLATION);
    {
        CSortModeGuard legacy(SORT_LEGACY);
        EXPECT_EQ(CCollation::GetSortMode(), SORT_LEGACY);
    }
    CCollation::SetSortMode(7); // not a mode: the collation
    EXPECT_EQ(CCollation::GetSortMode(), SORT_COLLATION);
}

TEST(Collation, LegacyWeights)
{
    // The legacy order of letters, digits, symbols and controls: @mode 1 in data/formats/order.txt.
    EXPECT_EQ(CCollation::CompareLegacy(u"\u0101", u"?"), 0); // not in the code page: '?'
    EXPECT_EQ(CCollation::CompareLegacy(KString(20000, u'a').c_str(), (KString(10000, u'a') + u"b").c_str()), 0);
}

TEST(Collation, SortCharacterSetResortsEveryAttribute)
{
    COptionSet options;
    options.m_nLanguage = 1031;
    CTable table(&options);
    CAttribute* a = AddColumn(table, u"A", {u"z", u"\u00e4", u"a", u""});
    EXPECT_EQ(SortedValues(a), platform::ToUtf8(u"a \u00e4 z _"));
    EXPECT_EQ(table.GetCollationLanguageID(), 1031);
    table.SortCharacterSet(1252, 1053);
    EXPECT_EQ(table.GetCollationLanguageID(), 1053);
    EXPECT_EQ(table.GetCodePage(), 1252);
    EXPECT_TRUE(a->AreValuesSorted());
    EXPECT_EQ(SortedValues(a), platform::ToUtf8(u"a z \u00e4 _"));
    EXPECT_EQ(RenderTable(table), platform::ToUtf8(u"A(1)=z,\u00e4,a,; records=4"));
    table.SortCharacterSet(1250, 1053); // unchanged language: nothing to do
    EXPECT_EQ(table.GetCodePage(), 1250);
    EXPECT_EQ(table.GetCollation().GetLanguageId(), 1053);
}

TEST(Collation, LanguageAndSortingNames)
{
    COptionSet options;
    options.m_nLanguage = 1031;
    CTable table(&options);
    const std::string name = platform::ToUtf8(table.GetLanguageAndSorting(1031));
    EXPECT_EQ(name.substr(0, 8), "Deutsch/") << name;
    EXPECT_GT(name.size(), 8u) << name;
    EXPECT_EQ(platform::ToUtf8(CCollation::GetLanguageAndSorting(1036, 1033)).substr(0, 7), "French/");
}

TEST(CompareNumericValues, UndefinedLastThenNumbersThenTexts)
{
    CTable table;
    EXPECT_EQ(table.CompareNumericValues(u"", kNaN, u"a", kNaN), 1);
    EXPECT_EQ(table.CompareNumericValues(u"a", kNaN, u"", kNaN), -1);
    EXPECT_EQ(table.CompareNumericValues(u"", kNaN, u"", kNaN), 0);
    EXPECT_EQ(table.CompareNumericValues(u"9", 9, u"10", 10), -1);
    EXPECT_EQ(table.CompareNumericValues(u"10", 10, u"9", 9), 1);
    EXPECT_EQ(table.CompareNumericValues(u"x", kNaN, u"1", 1), 1);
    EXPECT_EQ(table.CompareNumericValues(u"1", 1, u"x", kNaN), -1);
    EXPECT_EQ(table.CompareNumericValues(u"b", kNaN, u"a", kNaN), 1);
    EXPECT_EQ(table.CompareNumericValues(u"1.0", 1, u"1", 1), 1); // equal numbers: the texts decide
}

TEST(EnumerationPrefixes, SkippedForDisplayOnly)
{
    COptionSet options;
    CTable table(&options);
    EXPECT_EQ(KString(table.SkipEnumeration(u"#1#High")), u"High");
    EXPECT_EQ(KString(table.SkipEnumeration(u"#12#x")), u"x");
    for (const char16_t* whole : {u"##x", u"#1High", u"#1#", u"#", u"plain", u""})
        EXPECT_EQ(KString(table.SkipEnumeration(whole)), KString(whole));
    EXPECT_EQ(table.SkipEnumeration(nullptr), nullptr);
    EXPECT_EQ(table.GetPrefixString(u"#2#Medium", 3), u"Med");
    EXPECT_EQ(table.GetPrefixString(u"", 3), u"\u2014\u2014");
    EXPECT_EQ(table.GetPrefixString(u"~http://x", 3), u"htt");
    EXPECT_EQ(table.GetPrefixString(u"~", 3), u"~");
    EXPECT_EQ(table.GetPrefixString(u"ab", 5), u"ab");
    CAttribute* lists = AddColumn(table, u"L", {u"|abc|def|"});
    EXPECT_EQ(table.GetPrefixString(lists->GetFieldValue(table.GetRecord(0)), 3), u"ab");

    // The prefix still takes part in sorting.
    CAttribute* ranked = AddColumn(table, u"R", {u"#2#Medium", u"#1#High", u"#3#Low"});
    EXPECT_EQ(SortedValues(ranked), "#1#High #2#Medium #3#Low");

    options.m_bSkipEnumeration = false;
    options.m_bUnderlineURLs = false;
    EXPECT_EQ(KString(table.SkipEnumeration(u"#1#High")), u"#1#High");
    EXPECT_EQ(table.GetPrefixString(u"~http://x", 3), u"~ht");
}

TEST(CodePages, CharacterSetsMapBothWaysAndUnknownsFallBack)
{
    for (int codePage : {1252, 1250, 1253, 1251, 1257, 1254, 1255, 1256, 1258, 874})
        EXPECT_EQ(CTable::CharSetToCodePage(CTable::CodePageToCharSet(codePage)), codePage);
    EXPECT_EQ(CTable::CodePageToCharSet(65001), 0);
    EXPECT_EQ(CTable::CharSetToCodePage(99), 1252);
    EXPECT_EQ(codepage::ToCodePage1252(u'\u20ac'), 0x80);
    EXPECT_EQ(codepage::ToCodePage1252(u'\u00e9'), 0xE9);
    EXPECT_EQ(codepage::ToCodePage1252(u'\u0101'), '?');
}
