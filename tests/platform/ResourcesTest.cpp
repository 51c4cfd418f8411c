#include "platform/Resources.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using namespace platform;

namespace
{

// The placeholder numbers a pattern uses (%1 ... %99; %% is no placeholder).
std::multiset<int> Placeholders(KStringView text)
{
    std::multiset<int> numbers;
    for (size_t i = 0; i + 1 < text.size(); ++i)
    {
        if (text[i] != u'%')
            continue;
        if (text[i + 1] == u'%')
        {
            ++i;
            continue;
        }
        if (text[i + 1] < u'1' || text[i + 1] > u'9')
            continue;
        int n = text[++i] - u'0';
        if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9')
            n = n * 10 + (text[++i] - u'0');
        numbers.insert(n);
    }
    return numbers;
}

std::set<int> Distinct(const std::multiset<int>& numbers)
{
    return {numbers.begin(), numbers.end()};
}

// Restores the resource language however a test ends.
struct SLanguageReset
{
    ~SLanguageReset() { SetResourceLanguage(ELanguage::German); }
};

} // namespace

TEST(Resources, EveryTextExistsInBothLanguagesWithTheSamePlaceholders)
{
    const std::vector<int> ids = GetResourceIds();
    ASSERT_GE(ids.size(), 250u);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    for (int id : ids)
    {
        EXPECT_GE(id, 1000);
        EXPECT_LE(id, 9999);
        const KString german = LoadResourceString(id, ELanguage::German);
        const KString english = LoadResourceString(id, ELanguage::English);
        EXPECT_FALSE(german.empty()) << id;
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_EQ(Distinct(Placeholders(german)), Distinct(Placeholders(english))) << id;
        // Placeholders are numbered from 1 without gaps.
        const std::set<int> used = Distinct(Placeholders(german));
        if (!used.empty())
        {
            EXPECT_EQ(*used.rbegin(), static_cast<int>(used.size())) << id;
        }
    }
}

TEST(Resources, ListResourcesHaveTheSameNumberOfItems)
{
    for (int id : {1161, 1163, 1165, 1167, 1171, 1173, 1199})
    {
        const KString german = LoadResourceString(id, ELanguage::German);
        const KString english = LoadResourceString(id, ELanguage::English);
        EXPECT_EQ(std::count(german.begin(), german.end(), u';'), std::count(english.begin(), english.end(), u';'))
            << id;
    }
}

TEST(Resources, UnknownIdsGiveEmptyText)
{
    for (int id : {0, -1, 999, 1001, 4000, 10000})
    {
        EXPECT_FALSE(HasResourceString(id)) << id;
        EXPECT_EQ(LoadResourceString(id, ELanguage::German), u"") << id;
        EXPECT_EQ(FormatResource(id, {u"x"}), u"") << id;
    }
    EXPECT_TRUE(HasResourceString(2538));
}

TEST(Resources, CurrentLanguageIsProcessWide)
{
    SLanguageReset reset;
    EXPECT_EQ(GetResourceLanguage(), ELanguage::German);
    EXPECT_EQ(LoadResourceString(1036), u"Attribut");
    SetResourceLanguage(ELanguage::English);
    EXPECT_EQ(GetResourceLanguage(), ELanguage::English);
    EXPECT_EQ(LoadResourceString(1036), u"Attribute");
    EXPECT_EQ(FormatResource(2404, {u"17"}), u"Reading line 17");
    SetResourceLanguage(ELanguage::German);
    EXPECT_EQ(FormatResource(2404, {u"17"}), u"Zeile 17 wird gelesen");
    SetResourceLanguage(static_cast<ELanguage>(3082)); // Spanish texts are not built in: English
    EXPECT_EQ(GetResourceLanguage(), ELanguage::English);
}

// German only for German: the other languages read the English texts.
TEST(Resources, LanguagesOfIdsAndLocales)
{
    for (int id : {1031, 2055, 3079, 4103, 5127})
        EXPECT_EQ(LanguageFromId(id), ELanguage::German) << id;
    for (int id : {1033, 2057, 1036, 1043, 3082, 0, 7 + 1024 + 1})
        EXPECT_EQ(LanguageFromId(id), ELanguage::English) << id;
    for (const char* name : {"de", "de_DE", "de_DE.UTF-8", "de_AT@euro", "de_CH.ISO-8859-1", "de.UTF-8"})
        EXPECT_EQ(LanguageFromLocaleName(name), ELanguage::German) << name;
    for (const char* name : {"", "C", "C.UTF-8", "POSIX", "en_US.UTF-8", "fr_FR", "dea", "nl_BE", "en_DE.UTF-8", "d"})
        EXPECT_EQ(LanguageFromLocaleName(name), ELanguage::English) << name;
}

// LC_ALL, then LC_MESSAGES, then LANG: the first that is set and not empty decides; nothing set is English.
TEST(Resources, TheLocaleVariablesDecideInTheirOrder)
{
    struct SCase
    {
        const char* m_pAll;
        const char* m_pMessages;
        const char* m_pLang;
        ELanguage m_expected;
    };
    const SCase cases[] = {
        {nullptr, nullptr, nullptr, ELanguage::English},
        {nullptr, nullptr, "de_DE.UTF-8", ELanguage::German},
        {nullptr, nullptr, "en_GB.UTF-8", ELanguage::English},
        {nullptr, "de_DE.UTF-8", "en_US.UTF-8", ELanguage::German},
        {nullptr, "C", "de_DE.UTF-8", ELanguage::English},
        {"en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8", ELanguage::English},
        {"de_AT.UTF-8", "en_US.UTF-8", "en_US.UTF-8", ELanguage::German},
        {"", "", "de_CH.UTF-8", ELanguage::German}, // empty ones do not count
        {"", "en_US.UTF-8", "de_DE.UTF-8", ELanguage::English},
        {"C", nullptr, "de_DE.UTF-8", ELanguage::English},
    };
    for (const SCase& c : cases)
    {
        const CEnvironmentOverride all("LC_ALL", c.m_pAll), messages("LC_MESSAGES", c.m_pMessages),
            lang("LANG", c.m_pLang);
        EXPECT_EQ(LanguageFromEnvironment(), c.m_expected)
            << (c.m_pAll ? c.m_pAll : "-") << " " << (c.m_pMessages ? c.m_pMessages : "-") << " "
            << (c.m_pLang ? c.m_pLang : "-");
    }
}

TEST(Resources, PlaceholdersAreFilled)
{
    EXPECT_EQ(FormatMessageText(u"%1 von %2 Werten", {u"3", u"10"}), u"3 von 10 Werten");
    EXPECT_EQ(FormatMessageText(u"%2 before %1, %1 again", {u"a", u"b"}), u"b before a, a again");
    EXPECT_EQ(FormatMessageText(u"100%% sicher", {}), u"100% sicher");
    EXPECT_EQ(FormatMessageText(u"zu %1% eingelesen", {u"42"}), u"zu 42% eingelesen");
    EXPECT_EQ(FormatMessageText(u"% Anteil", {u"x"}), u"% Anteil");
    EXPECT_EQ(FormatMessageText(u"missing '%3' here", {u"a"}), u"missing '' here");
    EXPECT_EQ(FormatMessageText(u"ends with %", {u"a"}), u"ends with %");
    EXPECT_EQ(FormatMessageText(u"%0 stays", {u"a"}), u"%0 stays");
    EXPECT_EQ(FormatMessageText(u"no recursion: %1", {u"%1%2"}), u"no recursion: %1%2");
    EXPECT_EQ(FormatMessageText(u"%1%2%3", {u"a", u"", u"c"}), u"ac");
    EXPECT_EQ(FormatMessageText(u"%11", {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"eleven"}),
              u"eleven");
    EXPECT_EQ(FormatMessageText(u"", {u"a"}), u"");
}
