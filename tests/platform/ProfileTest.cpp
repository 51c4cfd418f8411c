#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/System.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Profile, ValuesSurviveSaveAndLoad)
{
    CTempFolder folder;
    const auto path = folder / "korvalin.ini";
    {
        CProfile profile(path);
        profile.SetInt(u"Flags", u"Animated", 3);
        profile.SetInt(u"Flags", u"Negative", -42);
        profile.SetString(u"Flags", u"WorkPath", u"/home/anna/Tabellen");
        profile.SetString(u"Color", u"Name", u"Grün");
        profile.Save();
    }
    CProfile loaded(path);
    EXPECT_EQ(loaded.GetInt(u"Flags", u"Animated", 0), 3);
    EXPECT_EQ(loaded.GetInt(u"Flags", u"Negative", 0), -42);
    EXPECT_EQ(loaded.GetString(u"Flags", u"WorkPath", u""), u"/home/anna/Tabellen");
    EXPECT_EQ(loaded.GetString(u"Color", u"Name", u""), u"Grün");
    EXPECT_EQ(loaded.GetInt(u"Flags", u"Absent", 17), 17);
    EXPECT_EQ(loaded.GetString(u"Nowhere", u"Animated", u"default"), u"default");
    EXPECT_EQ(loaded.ToText(), "[Flags]\nAnimated=3\nNegative=-42\nWorkPath=/home/anna/Tabellen\n\n"
                               "[Color]\nName=Gr\xc3\xbcn\n");
}

TEST(Profile, AwkwardTextsRoundTrip)
{
    const KString lone = {u'a', static_cast<char16_t>(0xDC00), u'b'};
    const KString texts[] = {
        u"",
        u" leading and trailing blanks ",
        u"\t",
        u"two\nlines\r\nand a carriage return",
        u"C:\\temp\\new",
        u"a=b=c",
        u"[not a section]",
        u"; not a comment",
        u"\\n is not a line break here",
        u"bell \a and nul " + KString(1, u'\0') + u" and delete \x7f",
        u"emoji \U0001F600 and umlauts äöü",
        lone,
        u"   ",
    };
    CTempFolder folder;
    const auto path = folder / "texts.ini";
    {
        CProfile profile(path);
        for (size_t i = 0; i < std::size(texts); ++i)
            profile.SetString(u"Texts", u"Entry" + ToKString(static_cast<long long>(i)), texts[i]);
        profile.Save();
        // One line per entry: nothing inside a value may break the line structure.
        const std::string text = profile.ToText();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(std::size(texts)) + 1);
    }
    CProfile loaded(path);
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(loaded.GetString(u"Texts", u"Entry" + ToKString(static_cast<long long>(i)), u"?"), texts[i])
            << "entry " << i;
}

TEST(Profile, EscapesAreReadable)
{
    EXPECT_EQ(EscapeProfileValue(u" a\\b\n"), "\\sa\\\\b\\n");
    EXPECT_EQ(EscapeProfileValue(u"x y"), "x y");
    EXPECT_EQ(EscapeProfileValue(KString(1, u'\x01')), "\\x01");
    EXPECT_EQ(UnescapeProfileValue("\\sa\\\\b\\n"), u" a\\b\n");
    // Backslashes that start no escape of ours stay as they are.
    EXPECT_EQ(UnescapeProfileValue("C:\\Programme\\x"), u"C:\\Programme\\x");
    EXPECT_EQ(UnescapeProfileValue("end\\"), u"end\\");
    EXPECT_EQ(UnescapeProfileValue("\\u00e4\\uXYZ"), u"ä\\uXYZ");
}

TEST(Profile, MalformedIntegersGiveTheDefault)
{
    CProfile profile(std::filesystem::path{});
    profile.FromText("[Flags]\nWord=abc\nEmpty=\nTail=12abc\nHuge=99999999999\nHex=0x10\nBlank= 42 \nPlus=+7\n"
                     "Minus=-3\nDouble=1.5\nLowest=-2147483648\nSpaceInside=4 2\n");
    for (const char16_t* entry : {u"Word", u"Empty", u"Tail", u"Huge", u"Hex", u"Double", u"SpaceInside"})
        EXPECT_EQ(profile.GetInt(u"Flags", entry, 5), 5) << ToUtf8(entry);
    EXPECT_EQ(profile.GetInt(u"Flags", u"Blank", 5), 42);
    EXPECT_EQ(profile.GetInt(u"Flags", u"Plus", 5), 7);
    EXPECT_EQ(profile.GetInt(u"Flags", u"Minus", 5), -3);
    EXPECT_EQ(profile.GetInt(u"Flags", u"Lowest", 5), -2147483647 - 1);
}

TEST(Profile, UnknownContentIsKeptWhenSaving)
{
    CTempFolder folder;
    const auto path = folder / "korvalin.ini";
    const std::string original = "; written by hand\n"
                                 "orphan=before any section\n"
                                 "[ Flags ]\n"
                                 "UnknownFlag = 7\n"
                                 "Animated=1\n"
                                 "# trailing comment\n"
                                 "\n"
                                 "[Plugins]\n"
                                 "Path=/opt/plugins\n"
                                 "not an entry at all\n";
    WriteFileAtomically(path, original);
    CProfile profile(path);
    EXPECT_EQ(profile.GetInt(u"Flags", u"UnknownFlag", 0), 7);
    EXPECT_EQ(profile.GetString(u"", u"orphan", u""), u"before any section");
    profile.SetInt(u"Flags", u"Animated", 3);
    profile.SetInt(u"Flags", u"PopupHelp", 0);
    profile.SetString(u"Color", u"Bar1R", u"245");
    profile.Save();
    // The changed entry in place, the new one after the last of its section, the new section at the end.
    std::string expected = original;
    expected.replace(expected.find("Animated=1\n"), 11, "Animated=3\nPopupHelp=0\n");
    EXPECT_EQ(ReadWholeFile(path), expected + "\n[Color]\nBar1R=245\n");
}

TEST(Profile, NamesMatchIgnoringCaseAndLineEndingsAreTolerated)
{
    CProfile profile(std::filesystem::path{});
    profile.FromText("\xEF\xBB\xBF[flags]\r\nusemulticores=0\r\n;Animated=3\r\n[Color]\r\nBar1R=12\r\nBar1R=99\r\n");
    EXPECT_EQ(profile.GetInt(u"Flags", u"UseMulticores", 1), 0);
    EXPECT_TRUE(profile.HasEntry(u"FLAGS", u"USEMULTICORES"));
    EXPECT_FALSE(profile.HasEntry(u"Flags", u"Animated")) << "a commented entry is no entry";
    EXPECT_EQ(profile.GetInt(u"Color", u"Bar1R", 0), 12) << "the first of two equal entries counts";
    profile.SetInt(u"FLAGS", u"UseMultiCores", 1);
    EXPECT_EQ(profile.ToText(), "[flags]\nusemulticores=1\n;Animated=3\n[Color]\nBar1R=12\nBar1R=99\n");
}

TEST(Profile, NamesThatWouldBreakTheFileAreRefused)
{
    CProfile profile(std::filesystem::path{});
    profile.SetInt(u"Flags", u"Animated", 1);
    const std::string before = profile.ToText();
    const std::pair<KString, KString> illegal[] = {
        {u"", u"Entry"},        {u"Flags", u""},           {u"Fl]ags", u"Entry"}, {u"[Flags", u"Entry"},
        {u"Flags", u"a=b"},     {u"Flags", u"line\nfeed"}, {u"Flags", u" blank"}, {u"Flags", u"[Section]"},
        {u"Flags", u";remark"}, {u"Fla\ngs", u"Entry"},    {u"Flags ", u"Entry"}, {u"Flags", u"#remark"},
    };
    for (const auto& [section, entry] : illegal)
    {
        try
        {
            profile.SetInt(section, entry, 1);
            ADD_FAILURE() << "accepted section '" << ToUtf8(section) << "' entry '" << ToUtf8(entry) << "'";
        }
        catch (const CKorvalinException& e)
        {
            EXPECT_EQ(e.GetStatus(), EStatus::IllegalArgumentValue);
        }
        EXPECT_THROW(profile.SetString(section, entry, u"x"), CKorvalinException);
    }
    EXPECT_EQ(profile.ToText(), before);
}

TEST(Profile, MissingFileIsEmptyAndSaveCreatesTheFolder)
{
    CTempFolder folder;
    const auto path = folder / "config" / "korvalin" / "korvalin.ini";
    CProfile profile(path);
    EXPECT_EQ(profile.ToText(), "");
    EXPECT_EQ(profile.GetInt(u"Flags", u"Animated", 2), 2);
    profile.SetInt(u"Flags", u"Animated", 0);
    profile.Save();
    EXPECT_EQ(ReadWholeFile(path), "[Flags]\nAnimated=0\n");

    // Load replaces what is held by what the file says.
    profile.SetInt(u"Flags", u"Animated", 3);
    profile.Load();
    EXPECT_EQ(profile.GetInt(u"Flags", u"Animated", 2), 0);
}

TEST(Profile, FailedSaveLeavesTheOldProfile)
{
    CTempFolder folder;
    const auto path = folder / "korvalin.ini";
    CProfile profile(path);
    profile.SetInt(u"Flags", u"Animated", 1);
    profile.Save();
    const std::string old = ReadWholeFile(path);

    profile.SetInt(u"Flags", u"Animated", 3);
    int failures = 0;
    for (int n = 1;; ++n)
    {
        SetWriteFailureCountdown(n);
        try
        {
            profile.Save();
            break;
        }
        catch (const CKorvalinException&)
        {
            ++failures;
            EXPECT_EQ(ReadWholeFile(path), old) << "step " << n;
            EXPECT_EQ(CProfile(path).GetInt(u"Flags", u"Animated", 0), 1);
            EXPECT_EQ(folder.ListFiles(), "korvalin.ini");
        }
        ASSERT_LT(n, 50);
    }
    SetWriteFailureCountdown(0);
    EXPECT_EQ(failures, 5);
    EXPECT_EQ(CProfile(path).GetInt(u"Flags", u"Animated", 0), 3);
}

TEST(Profile, DefaultPathFollowsTheConfigurationFolder)
{
    // The cache folder follows its own variable the same way.
    {
        CEnvironmentOverride xdg("XDG_CACHE_HOME", "/srv/cache");
        EXPECT_EQ(GetUserCacheFolder(), std::filesystem::path("/srv/cache/korvalin"));
    }
    {
        CEnvironmentOverride xdg("XDG_CACHE_HOME", "cache"); // not absolute: ignored
        CEnvironmentOverride home("HOME", "/home/anna");
        EXPECT_EQ(GetUserCacheFolder(), std::filesystem::path("/home/anna/.cache/korvalin"));
    }
    {
        CEnvironmentOverride xdg("XDG_CONFIG_HOME", "/srv/cfg");
        EXPECT_EQ(CProfile::GetDefaultPath(), std::filesystem::path("/srv/cfg/korvalin/korvalin.ini"));
    }
    {
        CEnvironmentOverride xdg("XDG_CONFIG_HOME", "relative/cfg"); // not absolute: ignored
        CEnvironmentOverride home("HOME", "/home/anna");
        EXPECT_EQ(GetUserConfigFolder(), std::filesystem::path("/home/anna/.config/korvalin"));
    }
    {
        CEnvironmentOverride xdg("XDG_CONFIG_HOME", nullptr);
        CEnvironmentOverride home("HOME", "/home/bert");
        EXPECT_EQ(CProfile::GetDefaultPath(), std::filesystem::path("/home/bert/.config/korvalin/korvalin.ini"));
    }
}

TEST(Profile, MachineWideEntriesAreReadOnlyLookups)
{
    CTempFolder folder;
    const std::filesystem::path saved = GetMachineProfilePath();

    SetMachineProfilePath(folder / "machine.ini");
    EXPECT_EQ(GetMachineString(u"Installation", u"DataPath", u"none"), u"none") << "missing file";
    WriteFileAtomically(folder / "machine.ini", "[Installation]\nDataPath=/opt/korvalin/data\nSeats=25\nBad=x\n");
    EXPECT_EQ(GetMachineString(u"Installation", u"DataPath", u"none"), u"/opt/korvalin/data");
    EXPECT_EQ(GetMachineInt(u"installation", u"seats", 0), 25);
    EXPECT_EQ(GetMachineInt(u"Installation", u"Bad", -1), -1);
    EXPECT_EQ(GetMachineInt(u"Other", u"Seats", -1), -1);

    SetMachineProfilePath(folder.GetPath()); // a folder: unreadable, so defaults
    EXPECT_EQ(GetMachineInt(u"Installation", u"Seats", 3), 3);
    SetMachineProfilePath(saved);
}
