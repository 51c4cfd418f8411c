// The host's callback object as the flat interface drives it: attributes added and deleted, messages offered
// through the error object, and what a host may and may not do from inside a callback.

#include "ApiTestSupport.h"

#include <stdexcept>

using namespace apitest;

namespace
{

// Also logs deletions and messages: "added(B after A) deleted(B) message(...)".
class CRecordingHost : public CLoggingHost
{
public:
    void AttributeDeleted(CAttribute* attribute) override { Log(L"deleted(" + NameOf(attribute) + L")"); }
    void ReportMessage(CTableFrame* frame, CError* error) override
    {
        m_pFrameSeen = frame;
        wchar_t* text = nullptr;
        EXPECT_EQ(ErrorGetMessage(error, &text), 0);
        int32_t code = -1;
        EXPECT_EQ(ErrorGetCode(error, &code), 0);
        int32_t type = -1;
        EXPECT_EQ(ErrorGetType(error, &type), 0);
        Log(L"message(" + std::to_wstring(code) + L"/" + std::to_wstring(type) + L": " + Take(text) + L")");
        // The host answers instead of the user, and may rewrite the text.
        EXPECT_EQ(ErrorSetMessage(error, L"umformuliert"), 0);
        EXPECT_EQ(ErrorGetMessage(error, &text), 0);
        EXPECT_EQ(Take(text), L"umformuliert");
        EXPECT_EQ(ErrorSetType(error, 4), 0);
        EXPECT_EQ(ErrorSetReport(error, false), 0);
        EXPECT_EQ(ErrorSetSimulatedUserAction(error, 6), 0);
    }

    CTableFrame* m_pFrameSeen = nullptr;
};

TEST(CallbacksTest, AttributesAddedAndDeletedButNotTheRefusedOnes)
{
    CTestTable table;
    CRecordingHost host;
    ASSERT_EQ(TableRegisterCallbacks(table, &host), 0);
    CAttribute* refused = nullptr;
    EXPECT_EQ(TableAddAttribute(table, &refused, L"X", nullptr, nullptr, -1, 0), 26); // not announced
    CAttribute* a = table.Add(L"A");
    CAttribute* header = table.AddHeader(L"H", a);
    table.Add(L"B", a); // inserted between A and H
    table.Add(L"C", header);
    EXPECT_EQ(host.m_strLog, L"added(A after <none>) added(H after A) added(B after A) added(C after H)");
    EXPECT_EQ(table.Layout(), L"A B H >C");

    host.m_strLog.clear();
    ASSERT_EQ(TableClear(table), 0);
    EXPECT_EQ(host.m_strLog, L"deleted(A) deleted(B) deleted(H) deleted(C)");

    // Released: nothing more is heard.
    ASSERT_EQ(TableReleaseCallbacks(table, &host), 0);
    host.m_strLog.clear();
    table.Add(L"D");
    ASSERT_EQ(TableClear(table), 0);
    EXPECT_EQ(host.m_strLog, L"");
}

// Switches the library's language for one test and back.
class CLanguageForTest
{
public:
    explicit CLanguageForTest(int32_t language)
    {
        EXPECT_EQ(GetLanguage(&m_nBefore), 0);
        EXPECT_EQ(SetLanguage(language, nullptr, false), 0);
    }
    ~CLanguageForTest() { EXPECT_EQ(SetLanguage(m_nBefore, nullptr, false), 0); }
    CLanguageForTest(const CLanguageForTest&) = delete;
    CLanguageForTest& operator=(const CLanguageForTest&) = delete;

private:
    int32_t m_nBefore = 1031;
};

TEST(CallbacksTest, MessagesGoToTheHostFirst)
{
    CLanguageForTest english(1033);
    CTestTable table;
    CAttribute* key = table.Add(L"Kennung");
    CAttribute* colour = table.Add(L"Farbe");
    CRecord* record = table.AddRecord();
    table.Set(key, record, L"1");
    CRecordingHost host;
    ASSERT_EQ(TableRegisterCallbacks(table, &host), 0);

    // Reading a field that was never set before TableRefresh repairs it: the engine reports that once.
    EXPECT_EQ(table.Get(colour, record), L"");
    EXPECT_EQ(host.m_pFrameSeen, table.Get());
    EXPECT_EQ(host.m_strLog, L"message(3700/0: Internal Error: Missing FieldValue for Attribute 'Farbe' in record 0!\n"
                             L"Using UNDEFINED.)");
    host.m_strLog.clear();
    EXPECT_EQ(table.Get(colour, record), L"");
    EXPECT_EQ(host.m_strLog, L"");

    // The code is the resource's number in every language; an unknown format is reported once, as a notice.
    ASSERT_EQ(SetLanguage(1031, nullptr, false), 0);
    CAttribute* price = nullptr;
    EXPECT_EQ(TableAddAttribute(table, &price, L"Preis", nullptr, L"bogus", 0, 0), 0);
    EXPECT_EQ(host.m_strLog, L"message(2988/0: Unbekanntes Format \"bogus\" für Attribut 'Preis' ignoriert!) "
                             L"added(Preis after Farbe)");
}

TEST(CallbacksTest, RefreshFillsMissingValuesSilently)
{
    CTestTable table;
    CAttribute* key = table.Add(L"Kennung");
    CAttribute* colour = table.Add(L"Farbe");
    CRecord* first = table.AddRecord();
    CRecord* second = table.AddRecord();
    table.Set(key, first, L"1");
    table.Set(key, second, L"2");
    table.Set(colour, first, L"rot");
    CRecordingHost host;
    ASSERT_EQ(TableRegisterCallbacks(table, &host), 0);
    ASSERT_EQ(TableRefresh(table), 0);
    EXPECT_EQ(table.Get(colour, second), L"");
    EXPECT_EQ(table.Get(colour, first), L"rot");
    EXPECT_EQ(host.m_strLog, L"");
}

// A host that destroys or clears the table from inside a callback, or throws.
class CMisbehavingHost : public TableCallback
{
public:
    void AttributeAdded(CAttribute* /*attribute*/, CAttribute* /*predecessor*/) override
    {
        m_nDestroyStatus = TableDestroy(m_pFrame);
        m_nClearStatus = TableClear(m_pFrame);
        throw std::runtime_error("host failure");
    }
    void AttributeDeleted(CAttribute* attribute) override
    {
        // Still readable while the host hears of it.
        bool header = true;
        m_nReadStatus = AttributeIsHeader(attribute, &header);
    }

    CTableFrame* m_pFrame = nullptr;
    uint16_t m_nDestroyStatus = 0;
    uint16_t m_nClearStatus = 0;
    uint16_t m_nReadStatus = 99;
};

TEST(CallbacksTest, TheTableSurvivesItsHost)
{
    CTestTable table;
    CMisbehavingHost host;
    host.m_pFrame = table;
    ASSERT_EQ(TableRegisterCallbacks(table, &host), 0);
    CAttribute* a = nullptr;
    EXPECT_EQ(TableAddAttribute(table, &a, L"A", nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(host.m_nDestroyStatus, 28);
    EXPECT_EQ(host.m_nClearStatus, 28);
    EXPECT_EQ(NameOf(a), L"A");
    EXPECT_EQ(TableClear(table), 0);
    EXPECT_EQ(host.m_nReadStatus, 0);
}

} // namespace
