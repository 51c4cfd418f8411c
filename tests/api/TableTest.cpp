// Making and destroying tables, the module functions and table permissions. Names, versions, settings, finders,
// counts, records and their iteration, the key, capacity, the modified flag and clearing are in cases/*.test.

#include "ApiTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>

using namespace apitest;

namespace
{

TEST(ModuleTest, InitialisationLanguageAndStrings)
{
    EXPECT_EQ(InitKorvalinRegularDll(), 0);
    EXPECT_EQ(InitKorvalinRegularDll(), 0); // later calls do nothing
    EXPECT_EQ(MainMessageLoop(), 0);        // no windows: returns at once

    int32_t language = 0;
    EXPECT_EQ(GetLanguage(&language), 0);
    EXPECT_EQ(language, 1031);
    EXPECT_EQ(SetLanguage(1033, L"korvalin_en.so", false), 0);
    EXPECT_EQ(GetLanguage(&language), 0);
    EXPECT_EQ(language, 1033);
    EXPECT_EQ(Outcome([] { return SetLanguage(1036, L"korvalin_fr.so", true); }),
              Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(SetLanguage(4711, nullptr, false), 26);
    EXPECT_EQ(GetLanguage(&language), 0);
    EXPECT_EQ(language, 1033);
    EXPECT_EQ(SetLanguage(1031, nullptr, false), 0);

    wchar_t* text = StringAllocate(L"Grüße");
    EXPECT_EQ(StringGetLength(text), 5u);
    EXPECT_EQ(std::wstring(text), L"Grüße");
    StringFree(text);
    wchar_t* empty = StringAllocate(nullptr);
    EXPECT_EQ(StringGetLength(empty), 0u);
    EXPECT_EQ(empty[0], L'\0');
    StringFree(empty);
    StringFree(nullptr);
    EXPECT_EQ(StringGetLength(nullptr), 0u);
    EXPECT_STREQ(GetKorvalinVersion(), KORVALIN_VERSION_STRING);
}

// The one list of status codes that the public header, the engine and the last-error names are made of: codes
// ascending without duplicates, names unique, and each failure a host can cause reports the list's name.
TEST(StatusCodesTest, OneListNamesEveryStatus)
{
    struct SStatus
    {
        const char* m_pName;
        uint16_t m_nCode;
    };
    const SStatus statuses[] = {
#define KORVALIN_TEST_STATUS(NAME, Name, code) {"API_" #NAME, API_##NAME},
        KORVALIN_STATUS_CODES(KORVALIN_TEST_STATUS)
#undef KORVALIN_TEST_STATUS
    };
    std::set<std::string> names;
    for (size_t i = 0; i < std::size(statuses); ++i)
    {
        EXPECT_GT(statuses[i].m_nCode, i == 0 ? 0 : statuses[i - 1].m_nCode) << statuses[i].m_pName;
        EXPECT_TRUE(names.insert(statuses[i].m_pName).second) << statuses[i].m_pName;
    }
    auto nameOf = [&](uint16_t code)
    {
        for (const SStatus& status : statuses)
        {
            if (status.m_nCode == code)
                return std::wstring(status.m_pName, status.m_pName + std::strlen(status.m_pName));
        }
        return std::wstring(L"<no such status>");
    };
    CTestTable table;
    int32_t number = 0;
    const std::function<uint16_t()> failures[] = {
        [&] { return TableGetRecordCount(nullptr, &number); }, [&] { return TableGetRecordCount(table, nullptr); },
        [&] { return ErrorGetCode(nullptr, &number); },        [&] { return KeyEventGetShift(nullptr, &number); },
        [&] { return SetLanguage(1, nullptr, false); },         [&] { return TableSetMaxSize(table, -1); }};
    std::set<uint16_t> seen;
    for (const auto& fail : failures)
    {
        const uint16_t status = fail();
        EXPECT_EQ(LastError(), nameOf(status));
        seen.insert(status);
    }
    EXPECT_EQ(seen, (std::set<uint16_t>{API_ILLEGAL_TABLE_ARGUMENT, API_ILLEGAL_RESULT_ARGUMENT,
                                        API_ILLEGAL_ERROR_ARGUMENT, API_ILLEGAL_KEYEVENT_ARGUMENT,
                                        API_ILLEGAL_ARGUMENT_VALUE}));
}

// Run by the api.language_* tests, each in a process of its own with the locale and profile it names: the language
// the library starts in, which its texts (here a new table's name) follow until SetLanguage changes it.
TEST(ModuleLanguageTest, ChosenByTheProfileOrTheLocale)
{
    const char* expected = std::getenv("KORVALIN_EXPECTED_LANGUAGE");
    if (!expected)
        GTEST_SKIP() << "run by the api.language_* tests";
    ASSERT_EQ(InitKorvalinRegularDll(), 0);
    int32_t language = 0;
    EXPECT_EQ(GetLanguage(&language), 0);
    EXPECT_EQ(language, std::atoi(expected));
    CTestTable table;
    EXPECT_EQ(Got(TableGetName, table.Get()).rfind(std::atoi(expected) == 1031 ? L"Tabelle" : L"Table", 0), 0u);
    ASSERT_EQ(SetLanguage(std::atoi(expected) == 1031 ? 1033 : 1031, nullptr, false), 0); // the host decides
    CTestTable second;
    EXPECT_EQ(Got(TableGetName, second.Get()).rfind(std::atoi(expected) == 1031 ? L"Table" : L"Tabelle", 0), 0u);
}

TEST(CreateTableTest, WithoutWindowWithWindowAndDestroyed)
{
    CTableFrame* frame = reinterpret_cast<CTableFrame*>(1);
    EXPECT_EQ(Outcome([&] { return CreateNewTable(&frame, reinterpret_cast<void*>(0x1234), nullptr, 640, 480, 0, 0); }),
              Failure(2, L"API_CANNOT_CREATE_TABLE"));
    EXPECT_EQ(frame, nullptr);

    ASSERT_EQ(CreateNewTable(&frame, nullptr, nullptr, 0, 0, 500, 0), 0);
    ASSERT_NE(frame, nullptr);
    const std::wstring name = Got(TableGetName, frame);
    EXPECT_EQ(name.rfind(L"Tabelle", 0), 0u) << "default name";
    EXPECT_EQ(name.substr(name.size() - 4), L".qtx");
    EXPECT_EQ(Got(TableGetDirectory, frame), L"");
    EXPECT_EQ(Got(TableGetMaxSize, frame), 500);
    EXPECT_EQ(Got(TableGetAttributeCount, frame), 0);
    EXPECT_EQ(Got(TableGetRecordCount, frame), 0);

    CTableFrame* second = nullptr;
    ASSERT_EQ(CreateNewTable(&second, nullptr, nullptr, 0, 0, 0, 0), 0);
    EXPECT_NE(Got(TableGetName, second), name); // each table has its own default name

    EXPECT_EQ(TableDestroy(frame), 0);
    EXPECT_EQ(Outcome([&] { return TableDestroy(frame); }), Failure(3, L"API_ILLEGAL_TABLE_ARGUMENT"));
    EXPECT_EQ(Got(TableGetProductVersion, second), L"" KORVALIN_VERSION_STRING);
    EXPECT_EQ(TableDestroy(second), 0);
}

TEST(TablePermissionTest, TableFlagsAndOptionFlags)
{
    struct SPermission
    {
        const char* m_pName;
        uint16_t (*m_set)(CTableFrame*, bool);
        uint16_t (*m_get)(CTableFrame*, bool*);
        uint16_t (*m_disable)(CTableFrame*);
    };
    const SPermission permissions[] = {
        {"MoveAttributes", TableSetAllowMoveAttributes, TableGetAllowMoveAttributes, DisableAllowMoveAttributes},
        {"ChangeFormat", TableSetAllowChangeFormat, TableGetAllowChangeFormat, DisableAllowChangeFormat},
        {"EditValues", TableSetAllowEditValues, TableGetAllowEditValues, DisableAllowEditValues},
        {"InsertObjects", TableSetAllowInsertObjects, TableGetAllowInsertObjects, DisableAllowInsertObjects},
        {"InsertAttributes", TableSetAllowInsertAttributes, TableGetAllowInsertAttributes,
         DisableAllowInsertAttributes},
        {"DeleteAttributes", TableSetAllowDeleteAttributes, TableGetAllowDeleteAttributes,
         DisableAllowDeleteAttributes},
        {"InsertLink", TableSetAllowInsertLink, TableGetAllowInsertLink, DisableAllowInsertLink},
        {"EditComment", TableSetAllowEditComment, TableGetAllowEditComment, DisableAllowEditComment},
        {"CreateQueries", TableSetAllowCreateQueries, TableGetAllowCreateQueries, DisableAllowCreateQueries},
        {"DefineColorCoding", TableSetAllowDefineColorCoding, TableGetAllowDefineColorCoding,
         DisableAllowDefineColorCoding},
        {"DetermineColumnWidth", TableSetAllowDetermineColumnWidth, TableGetAllowDetermineColumnWidth,
         DisableAllowDetermineColumnWidth},
        {"InsertDerivedAttributes", TableSetAllowInsertDerivedAttributes, TableGetAllowInsertDerivedAttributes,
         DisableAllowInsertDerivedAttributes},
        {"RedefineDerivedAttributes", TableSetAllowRedefineDerivedAttributes, TableGetAllowRedefineDerivedAttributes,
         DisableAllowRedefineDerivedAttributes},
        {"DefineCube", TableSetAllowDefineCube, TableGetAllowDefineCube, DisableAllowDefineCube},
        {"CreateDiagram", TableSetAllowCreateDiagram, TableGetAllowCreateDiagram, DisableAllowCreateDiagram},
        {"InspectDefinitionOfDerivedAttributes", TableSetAllowInspectDefinitionOfDerivedAttributes,
         TableGetAllowInspectDefinitionOfDerivedAttributes, nullptr},
    };
    CTestTable table;
    auto allowed = [&](size_t i)
    {
        bool allow = false;
        EXPECT_EQ(permissions[i].m_get(table, &allow), 0) << permissions[i].m_pName;
        return allow;
    };
    // Each flag is its own: clearing one leaves the others.
    for (size_t i = 0; i < std::size(permissions); ++i)
    {
        EXPECT_TRUE(allowed(i)) << permissions[i].m_pName;
        EXPECT_EQ(permissions[i].m_set(table, false), 0);
        for (size_t j = 0; j < std::size(permissions); ++j)
            EXPECT_EQ(allowed(j), j > i) << permissions[i].m_pName << " / " << permissions[j].m_pName;
    }
    for (size_t i = 0; i < std::size(permissions); ++i)
        EXPECT_EQ(permissions[i].m_set(table, true), 0);

    // Withdrawing a permission in the option set leaves the table's own flags as they are.
    for (const SPermission& permission : permissions)
    {
        if (permission.m_disable)
        {
            EXPECT_EQ(permission.m_disable(table), 0) << permission.m_pName;
        }
    }
    for (size_t i = 0; i < std::size(permissions); ++i)
        EXPECT_TRUE(allowed(i)) << permissions[i].m_pName;
}

} // namespace
