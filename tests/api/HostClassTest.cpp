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

// A host that answers every question with one action and notes each message's code and type.
class CAnsweringHost : public TableCallback
{
public:
    void ReportMessage(CTableFrame* /*frame*/, CError* error) override
    {
        int32_t code = 0;
        int32_t type = 0;
        EXPECT_EQ(ErrorGetCode(error, &code), 0);
        EXPECT_EQ(ErrorGetType(error, &type), 0);
        m_strSeen += std::to_wstring(code) + L"/" + std::to_wstring(type) + L" ";
        EXPECT_EQ(ErrorSetType(error, 0), 0); // shown as a plain notice: the question keeps its buttons
        EXPECT_EQ(ErrorSetType(error, 2), 26);
        EXPECT_EQ(ErrorSetSimulatedUserAction(error, 5), 26);
        EXPECT_EQ(ErrorSetReport(error, false), 0);
        EXPECT_EQ(ErrorSetSimulatedUserAction(error, m_nAnswer), 0);
    }

    int32_t m_nAnswer = 1;
    std::wstring m_strSeen;
};

// The table's questions reach the host with their resource number and their buttons, and the host's answer reaches
// the question: Cancel included, and an answer that the question does not offer leaves its default.
TEST(HostMessagesTest, TheHostsAnswerReachesTheQuestion)
{
    CTableFrame* frame = nullptr;
    ASSERT_EQ(CreateNewTable(&frame, nullptr, nullptr, 0, 0, 0, 0), 0);
    CAnsweringHost host;
    ASSERT_EQ(TableRegisterCallbacks(frame, &host), 0);
    CTable& table = frame->GetTable();
    struct SCase
    {
        int m_nId;
        int m_nType;
        int m_nDefault;
        int32_t m_nAnswer;
        int m_nExpected;
    };
    const SCase cases[] = {
        {2278, MESSAGE_OK_CANCEL, ANSWER_OK, ANSWER_CANCEL, ANSWER_CANCEL},     // "only some attributes are saved"
        {2278, MESSAGE_OK_CANCEL, ANSWER_OK, ANSWER_YES, ANSWER_OK},            // not a button: the default
        {3052, MESSAGE_YES_NO_CANCEL, ANSWER_YES, ANSWER_CANCEL, ANSWER_CANCEL}, // "import what was read?"
        {3052, MESSAGE_YES_NO_CANCEL, ANSWER_YES, ANSWER_NO, ANSWER_NO},
        {1000, MESSAGE_YES_NO, ANSWER_YES, ANSWER_NO, ANSWER_NO},               // "1000 attributes found"
        {1000, MESSAGE_YES_NO, ANSWER_YES, ANSWER_CANCEL, ANSWER_YES},
        {2988, MESSAGE_OK, ANSWER_OK, ANSWER_NO, ANSWER_OK},                    // a notice is only acknowledged
    };
    for (const SCase& c : cases)
    {
        host.m_nAnswer = c.m_nAnswer;
        EXPECT_EQ(table.ShowMessage(c.m_nId, {u"1", u"2"}, c.m_nType, c.m_nDefault), c.m_nExpected) << c.m_nId;
    }
    EXPECT_EQ(host.m_strSeen, L"2278/1 2278/1 3052/3 3052/3 1000/4 1000/4 2988/0 ");

    // A text made of several pieces has no single resource: code 0, its buttons from its default answer.
    host.m_strSeen.clear();
    host.m_nAnswer = ANSWER_NO;
    EXPECT_EQ(table.ShowMessage(u"Weiter?", ANSWER_YES), ANSWER_NO);
    EXPECT_EQ(host.m_strSeen, L"0/4 ");
    EXPECT_EQ(TableDestroy(frame), 0);
}

} // namespace
