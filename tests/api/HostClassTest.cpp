// A host that uses the exported classes besides the flat functions: CTableFrame's entries for the window layer
// and the engine (events around actions, key events, progress) and CTable's attribute moves, heard through the
// registered callback object. Links only libkorvalin.so.

#include "ApiTestSupport.h"
#include "api/TableFrame.h"

#include <stdexcept>
#include <string>

using namespace apitest;

namespace
{

std::wstring Text(const wchar_t* text)
{
    return text ? std::wstring(text, StringGetLength(text)) : L"<null>";
}

// Also logs events around actions, key events and progress.
class CEventHost : public CLoggingHost
{
public:
    void BeforeEvent(const wchar_t* eventName, const wchar_t* className, const wchar_t* commandText, int32_t parameter,
                     int16_t* veto) override
    {
        Log(L"before(" + Text(eventName) + L"," + Text(className) + L"," + Text(commandText) + L"," +
            std::to_wstring(parameter) + L"," + std::to_wstring(*veto) + L")");
        if (m_bThrow)
            throw std::runtime_error("host failure");
        *veto = m_nVeto;
    }
    void AfterEvent(const wchar_t* eventName, const wchar_t* className, const wchar_t* commandText,
                    int32_t parameter) override
    {
        Log(L"after(" + Text(eventName) + L"," + Text(className) + L"," + Text(commandText) + L"," +
            std::to_wstring(parameter) + L")");
    }
    void KeyDown(CTableFrame* /*frame*/, CKeyEvent* event) override
    {
        int32_t code = 0;
        int32_t shift = 0;
        EXPECT_EQ(KeyEventGetKeyCode(event, &code), 0);
        EXPECT_EQ(KeyEventGetShift(event, &shift), 0);
        Log(L"down(" + std::to_wstring(code) + L"," + std::to_wstring(shift) + L")");
        if (code == 'X')
        {
            EXPECT_EQ(KeyEventSetKeyCode(event, 'Y'), 0);
        }
    }
    void KeyUp(CTableFrame* /*frame*/, CKeyEvent* event) override
    {
        int32_t code = 0;
        EXPECT_EQ(KeyEventGetKeyCode(event, &code), 0);
        Log(L"up(" + std::to_wstring(code) + L")");
    }
    void KeyPress(CTableFrame* /*frame*/, CKeyPressEvent* event) override
    {
        int32_t code = 0;
        EXPECT_EQ(KeyPressEventGetCharCode(event, &code), 0);
        Log(L"press(" + std::to_wstring(code) + L")");
        EXPECT_EQ(KeyPressEventSetCharCode(event, code + 1), 0);
    }
    void Progress(CTableFrame* frame, int32_t percent) override
    {
        EXPECT_NE(frame, nullptr);
        Log(L"progress(" + std::to_wstring(percent) + L")");
    }

    int16_t m_nVeto = 0;
    bool m_bThrow = false;
};

class HostClassTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CreateNewTable(&m_pFrame, nullptr, nullptr, 0, 0, 0, 0), 0);
        ASSERT_EQ(TableRegisterCallbacks(m_pFrame, &m_host), 0);
    }
    void TearDown() override { EXPECT_EQ(TableDestroy(m_pFrame), 0); }

    CTableFrame* m_pFrame = nullptr;
    CEventHost m_host;
};

TEST_F(HostClassTest, EventsBeforeAndAfterAndTheVeto)
{
    EXPECT_EQ(m_pFrame->OnEvent(u"Command", u"CSetAttributeCommand", u"Zoom in", 3, true), 0);
    EXPECT_EQ(m_pFrame->OnEvent(u"Command", u"CSetAttributeCommand", u"Zoom in", 3, false), 0);
    EXPECT_EQ(m_host.m_strLog, L"before(Command,CSetAttributeCommand,Zoom in,3,0) "
                               L"after(Command,CSetAttributeCommand,Zoom in,3)");

    m_host.m_strLog.clear();
    m_host.m_nVeto = -1; // the automation true
    EXPECT_EQ(m_pFrame->OnEvent(u"Undo", u"", u"", 0, true), 1);
    m_host.m_nVeto = 1; // any other non-zero value vetoes too
    EXPECT_EQ(m_pFrame->OnEvent(u"GoBack", u"", u"", 0, true), 1);
    m_host.m_nVeto = 0;
    m_host.m_bThrow = true; // a host that fails has not agreed
    EXPECT_EQ(m_pFrame->OnEvent(u"Redo", u"", u"", 0, true), 1);
    EXPECT_EQ(m_host.m_strLog, L"before(Undo,,,0,0) before(GoBack,,,0,0) before(Redo,,,0,0)");

    // Without a callback object nothing is vetoed.
    ASSERT_EQ(TableReleaseCallbacks(m_pFrame, &m_host), 0);
    EXPECT_EQ(m_pFrame->OnEvent(u"Command", u"C", u"", 0, true), 0);
}

TEST_F(HostClassTest, AttributeMovesAndEngineMadeAttributes)
{
    CAttribute* a = nullptr;
    CAttribute* b = nullptr;
    CAttribute* c = nullptr;
    ASSERT_EQ(TableAddAttribute(m_pFrame, &a, L"A", nullptr, nullptr, 0, 0), 0);
    ASSERT_EQ(TableAddAttribute(m_pFrame, &b, L"B", nullptr, nullptr, 0, 0), 0);
    ASSERT_EQ(TableAddAttribute(m_pFrame, &c, L"C", nullptr, nullptr, 0, 0), 0);
    m_host.m_strLog.clear();

    CTable& table = m_pFrame->GetTable();
    table.MoveAttribute(c, 0);
    table.MoveAttribute(c, 2);
    table.MoveAttribute(c, 2); // no move, no event
    EXPECT_EQ(m_host.m_strLog, L"moved(C below <none>) moved(C below B)");

    // An attribute the engine makes itself is announced too.
    m_host.m_strLog.clear();
    CRecord* record = nullptr;
    ASSERT_EQ(TableAddRecord(m_pFrame, &record), 0);
    ASSERT_EQ(TableSetValue(m_pFrame, a, record, const_cast<wchar_t*>(L"1"), false), 0);
    CRecord* second = nullptr;
    ASSERT_EQ(TableAddRecord(m_pFrame, &second), 0);
    ASSERT_EQ(TableSetValue(m_pFrame, a, second, const_cast<wchar_t*>(L"1"), false), 0);
    ASSERT_EQ(TableRefresh(m_pFrame), 0);
    EXPECT_TRUE(table.GenerateKeyIfNecessary(true));
    EXPECT_EQ(m_host.m_strLog.rfind(L"added(Kennung after C)", 0), 0u)
        << std::string(m_host.m_strLog.begin(), m_host.m_strLog.end());
    EXPECT_EQ(NameOf(Got(TableGetKeyAttribute, m_pFrame)), L"Kennung");
}

TEST_F(HostClassTest, KeyEventsProgressAndMessages)
{
    EXPECT_EQ(m_pFrame->KeyDown('X', 1 + 2), 'Y');
    EXPECT_EQ(m_pFrame->KeyDown('A', 4), 'A');
    EXPECT_EQ(m_pFrame->KeyUp('Y', 0), 'Y');
    EXPECT_EQ(m_pFrame->KeyPress('a'), 'b');
    m_pFrame->ReportProgress(40);
    m_pFrame->ReportProgress(150);
    EXPECT_EQ(m_host.m_strLog, L"down(88,3) down(65,4) up(89) press(97) progress(40) progress(100)");

    // Without a host the codes go on unchanged.
    ASSERT_EQ(TableReleaseCallbacks(m_pFrame, &m_host), 0);
    EXPECT_EQ(m_pFrame->KeyDown('X', 0), 'X');
    EXPECT_EQ(m_pFrame->KeyPress('a'), 'a');
    EXPECT_EQ(m_pFrame->ReportMessage(u"Frage?", 4, 2414, 7), 7); // a message gets the default answer
    EXPECT_FALSE(m_pFrame->HasWindow());
}

} // namespace
