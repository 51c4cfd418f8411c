#include "options/OptionSet.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tests/CaseFiles.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace
{

// A profile held in memory only, filled from INI text.
std::unique_ptr<CProfile> ProfileFromText(const std::string& text)
{
    auto profile = std::make_unique<CProfile>(std::filesystem::path{});
    profile->FromText(text);
    return profile;
}

COptionSet Load(const std::string& text)
{
    COptionSet options;
    options.LoadOptions(*ProfileFromText(text));
    return options;
}

// "Section/Entry" -> raw value of every entry in the INI text.
std::map<std::string, std::string> Entries(const std::string& text)
{
    std::map<std::string, std::string> entries;
    std::istringstream lines(text);
    std::string line, section;
    while (std::getline(lines, line))
    {
        if (!line.empty() && line.front() == '[')
            section = line.substr(1, line.find(']') - 1);
        else if (const size_t equals = line.find('='); equals != std::string::npos)
            entries[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
    return entries;
}

std::string SavedText(const COptionSet& options)
{
    CProfile profile(std::filesystem::path{});
    options.SaveOptions(profile);
    return profile.ToText();
}

// The folder of the data files, beside this file.
std::string DataFolder() { return KORVALIN_TEST_FOLDER "/data/"; }

// Every field of the set changed away from its default, as the data file says.
COptionSet NonDefaultOptions()
{
    COptionSet options;
    options.LoadOptions(CProfile(DataFolder() + "non-default.ini"));
    return options;
}

} // namespace

TEST(OptionSet, EmptyProfileGivesTheDefaults)
{
    const COptionSet o = Load("");
    EXPECT_EQ(o, COptionSet());
    EXPECT_EQ(&o.GetActiveColorScheme(), &o.m_colorScheme4);
    for (int n : {1, 2, 3, 4, 256})
        EXPECT_EQ(*o.GetColorScheme(n), CColorScheme(n)) << n;
    EXPECT_EQ(o.GetColorScheme(5), nullptr);
}

TEST(OptionSet, SingleEntriesAreClampedOrKeepTheFieldWhenOutOfRange)
{
    const std::string file = DataFolder() + "loads.txt";
    auto trim = [](const std::string& text)
    {
        const size_t first = text.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
    };
    int cases = 0;
    for (const auto& [number, line] : ReadCaseLines(file))
    {
        const size_t bar = line.find('|'), last = line.rfind('|');
        const std::string name = trim(line.substr(0, bar));
        const size_t slash = name.find('/');
        COptionSet o;
        std::istringstream values(line.substr(bar + 1, last - bar - 1));
        for (std::string value; std::getline(values, value, ',');)
        {
            value = trim(value);
            o.LoadOptions(*ProfileFromText("[" + name.substr(0, slash) + "]\n" + name.substr(slash + 1) + "=" +
                                           (value == "(empty)" ? "" : value) + "\n"));
        }
        EXPECT_EQ(Entries(SavedText(o))[name], trim(line.substr(last + 1))) << file << ":" << number;
        ++cases;
    }
    EXPECT_GT(cases, 30);
    EXPECT_EQ(Load("[Flags]\nColorSchemeNr2011=1\n").GetActiveColorScheme(), CColorScheme(1));
}

TEST(OptionSet, AbsentEntriesKeepTheCurrentValues)
{
    COptionSet o;
    o.m_nPromptFieldWidth = 123;
    o.m_strWorkPath = u"/data";
    o.m_bUseMulticores = false;
    o.m_colorScheme3.SetColor(CColorScheme::Odd, MakeColor(1, 1, 1));
    o.LoadOptions(*ProfileFromText("[Flags]\nAnimated=0\n"));
    EXPECT_EQ(o.m_nPromptFieldWidth, 123);
    EXPECT_EQ(o.m_strWorkPath, u"/data");
    EXPECT_FALSE(o.m_bUseMulticores);
    EXPECT_EQ(o.m_colorScheme3.GetColor(CColorScheme::Odd), MakeColor(1, 1, 1));
    EXPECT_EQ(o.m_nAnimated, 0);
}

TEST(OptionSet, SaveAndLoadReproduceEveryPersistedField)
{
    const COptionSet changed = NonDefaultOptions();
    CTempFolder folder;
    const auto path = folder / "korvalin.ini";
    {
        CProfile profile(path);
        changed.SaveOptions(profile);
        profile.Save();
    }
    COptionSet loaded;
    loaded.LoadOptions(CProfile(path));
    EXPECT_EQ(loaded, changed);

    // Every entry written for the defaults differs for the changed set, so the data file left no field
    // at its default and the comparison covers them all.
    const auto defaults = Entries(SavedText(COptionSet()));
    const auto written = Entries(SavedText(changed));
    ASSERT_EQ(written.size(), defaults.size());
    for (const auto& [name, value] : defaults)
    {
        ASSERT_EQ(written.count(name), 1u) << name;
        EXPECT_NE(written.at(name), value) << name << " is not covered by the round trip";
    }
}

TEST(OptionSet, SchemeFourIsNotTakenFromTheProfile)
{
    const COptionSet o = Load("[Color]\nBar4R=1\nBar4G=2\nBar4B=3\nOdd4R=9\nColorShadingOverview4=0\n"
                              "ColorShadingTable4=1\n[Flags]\nColorSchemeNr2011=4\n");
    EXPECT_EQ(o.m_colorScheme4, CColorScheme(4));
    EXPECT_EQ(o.GetActiveColorScheme(), CColorScheme(4));

    COptionSet changed;
    changed.m_colorScheme4.SetColor(CColorScheme::Bar, MakeColor(1, 2, 3));
    const COptionSet reloaded = Load(SavedText(changed));
    EXPECT_EQ(reloaded.m_colorScheme4, CColorScheme(4));
    for (const auto& [name, value] : Entries(SavedText(changed)))
    {
        EXPECT_TRUE(name.rfind("Color/", 0) == 0 || name.rfind("Flags/", 0) == 0) << name;
        EXPECT_EQ(name.find("4R"), std::string::npos) << "scheme 4 is never written: " << name;
        EXPECT_EQ(name.find("ShadingTable4"), std::string::npos) << name;
    }
}

TEST(OptionSet, SavingKeepsForeignEntriesOfTheProfile)
{
    auto profile = ProfileFromText("[Flags]\nPluginMode=7\nAnimated=1\n[Window]\nLeft=10\n");
    COptionSet o;
    o.LoadOptions(*profile);
    EXPECT_EQ(o.m_nAnimated, 1);
    o.m_nAnimated = 3;
    o.SaveOptions(*profile);
    const auto entries = Entries(profile->ToText());
    EXPECT_EQ(entries.at("Flags/PluginMode"), "7");
    EXPECT_EQ(entries.at("Window/Left"), "10");
    EXPECT_EQ(entries.at("Flags/Animated"), "3");
}

TEST(OptionSet, ResetDefaultsRestoresEverythingButTheLanguage)
{
    COptionSet o = NonDefaultOptions();
    o.ResetDefaults();
    EXPECT_EQ(o.m_nLanguage, 1033);
    o.m_nLanguage = 1031;
    EXPECT_EQ(o, COptionSet());
}

namespace
{

// LANG for one test, with LC_ALL and LC_MESSAGES removed.
struct SLangForTest
{
    explicit SLangForTest(const char* value) : all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", value)
    {
    }
    CEnvironmentOverride all, messages, lang;
};

} // namespace

// The profile's Language decides when it names a known language; otherwise the locale does.
TEST(OptionSet, TheLanguageIsTheProfilesOrTheLocales)
{
    struct SCase
    {
        const char* m_pProfile;
        const char* m_pLang;
        int m_nExpected;
    };
    const SCase cases[] = {
        {"", "de_DE.UTF-8", 1031},
        {"", "en_US.UTF-8", 1033},
        {"", "C", 1033},
        {"[Flags]\nLanguage=1033\n", "de_DE.UTF-8", 1033},
        {"[Flags]\nLanguage=1031\n", "en_US.UTF-8", 1031},
        {"[Flags]\nLanguage=1036\n", "de_DE.UTF-8", 1036},
        {"[Flags]\nLanguage=4711\n", "de_DE.UTF-8", 1031}, // not a language: the locale's
        {"[Flags]\nLanguage=deutsch\n", "en_US.UTF-8", 1033},
        {"[Color]\nLanguage=1031\n", "en_US.UTF-8", 1033}, // another section's entry is not the option
    };
    for (const SCase& c : cases)
    {
        const SLangForTest lang(c.m_pLang);
        EXPECT_EQ(COptionSet::ChooseLanguage(ProfileFromText(c.m_pProfile).get()), c.m_nExpected)
            << c.m_pProfile << " / " << c.m_pLang;
    }
    const SLangForTest lang("de_DE.UTF-8");
    EXPECT_EQ(COptionSet::ChooseLanguage(nullptr), 1031);
}
