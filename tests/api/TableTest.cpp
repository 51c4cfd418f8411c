// Making and destroying tables, the module functions, names and versions, settings and table permissions. Finders,
// counts, records and their iteration, the key, capacity, the modified flag and clearing are in cases/records.test.

#include "ApiTestSupport.h"

#include <functional>
#include <optional>

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
    EXPECT_EQ(TableDestroy(second), 0);
}

TEST(TableFunctionsTest, NamesVersionsAndFiles)
{
    CTestTable table;
    EXPECT_EQ(Got(TableGetApplicationName, table), L"");
    EXPECT_EQ(Got(TableGetProductVersion, table), L"" KORVALIN_VERSION_STRING);
    EXPECT_EQ(Got(TableGetDocumentVersion, table), L"QTX2025/02/25");
    EXPECT_EQ(Got(TableGetTypeLibraryVersion, table), L"1.0");
    EXPECT_EQ(TableSetWorkingDirectory(table, L"/daten"), 0);
    EXPECT_EQ(Got(TableGetWorkingDirectory, table), L"/daten");
    EXPECT_EQ(TableSetWorkingDirectory(table, nullptr), 0);
    EXPECT_EQ(Got(TableGetWorkingDirectory, table), L"");
}

// A setting of the frame read and written as a number: its default after a plain open (where checked), a value
// to set, and a value out of range that is refused.
struct SSetting
{
    const char* m_pName;
    std::function<uint16_t(CTableFrame*, int64_t)> m_set;
    std::function<int64_t(CTableFrame*)> m_get;
    std::optional<int64_t> m_default;
    int64_t m_nValue;
    std::optional<int64_t> m_refused;
};

template <class V>
SSetting Setting(const char* name, uint16_t (*set)(CTableFrame*, V), uint16_t (*get)(CTableFrame*, V*),
                 std::optional<int64_t> defaultValue, int64_t value, std::optional<int64_t> refused = std::nullopt)
{
    return {name,
            [set](CTableFrame* f, int64_t v) { return set(f, static_cast<V>(v)); },
            [get](CTableFrame* f)
            {
                V v{};
                EXPECT_EQ(get(f, &v), 0);
                return static_cast<int64_t>(v);
            },
            defaultValue,
            value,
            refused};
}
#define SETTING(name, ...) Setting(#name, TableSet##name, TableGet##name, __VA_ARGS__)

TEST(TableFunctionsTest, ImportAndExportSettings)
{
    const auto none = std::nullopt;
    const SSetting settings[] = {
        SETTING(ImportDelimiter, L'\t', L';', 0x1F600),
        SETTING(ImportQuote, L'"', 0),
        SETTING(ImportAttributeNames, true, false),
        SETTING(ImportAttributeLine, 1, 3, 0),
        SETTING(ImportDataLine, 2, 5, -2),
        SETTING(ImportMaxRecords, -1, 100, -2),
        SETTING(ImportEncoding, 0, 5, 6),
        SETTING(ImportCodePage, none, 1252, -1),
        SETTING(ImportTransposed, true, false),
        SETTING(ExportDelimiter, none, L','),
        SETTING(ExportQuote, none, L'\''),
        SETTING(ExportEncoding, none, 3, 4),
        SETTING(ExportCodePage, none, 1250, 70000),
        SETTING(ExportUseImportNames, none, true),
        SETTING(WriteVendrathFormat, none, true),
        SETTING(WriteOEMFormat, none, true),
    };
    CTestTable table;
    for (const SSetting& setting : settings)
    {
        if (setting.m_default)
        {
            EXPECT_EQ(setting.m_get(table), *setting.m_default) << setting.m_pName << " by default";
        }
        EXPECT_EQ(setting.m_set(table, setting.m_nValue), 0) << setting.m_pName;
        if (setting.m_refused)
        {
            EXPECT_EQ(Outcome([&] { return setting.m_set(table, *setting.m_refused); }),
                      Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"))
                << setting.m_pName;
        }
    }
    // Read back once all are set: a refused value kept the setting, and no setting overwrote another.
    for (const SSetting& setting : settings)
        EXPECT_EQ(setting.m_get(table), setting.m_nValue) << setting.m_pName;
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
