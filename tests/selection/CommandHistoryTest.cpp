#include "HistoryTestSupport.h"

#include "options/OptionSet.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
class CommandHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Zürich", u"Bern", u"Genf", u"Basel"});
        kind = AddColumn(table, u"Kind", {u"a", u"b", u"a", u"c", u"b", u"a"});
        amount = AddColumn(table, u"Amount", {u"1", u"2", u"3", u"4", u"5", u"6"});
        EXPECT_TRUE(amount->SetFormat(u"####"));
        table.AnalyzeTable();
        table.SetObserver(&host);
    }
    void TearDown() override { table.SetObserver(nullptr); }
    std::string Messages()
    {
        std::string out;
        for (const KString& message : table.GetMessageLog())
            out += platform::ToUtf8(message) + "\n";
        return out;
    }

    CTable table;
    CEventRecorder host;
    CAttribute* city = nullptr;
    CAttribute* kind = nullptr;
    CAttribute* amount = nullptr;
};

} // namespace

// Events and vetoes of every step are in cases/events.test.
TEST_F(CommandHistory, AQuietCommandFailsWithoutTellingTheHost)
{
    ASSERT_TRUE(SubmitZoom(city, {u"Bern"}));
    host.m_veto = {"Command"};
    // A quiet command fails without telling the host.
    auto quiet = CSetAttributeCommand::MakeValueSet(kind, ValuesOf(kind, {u"a"}));
    quiet->m_bQuiet = true;
    host.m_events.clear();
    EXPECT_FALSE(History(table).Submit(quiet));
    EXPECT_EQ(host.m_events, (std::vector<std::string>{"before Command CSetAttributeCommand Kind = a"}));
}

// A failing command leaves table and histories as they were: cases/failing.test.

// Undo and redo of modifications are in cases/modifications.test.
TEST_F(CommandHistory, ABlockedUndoIsNotPossible)
{
    ASSERT_TRUE(History(table).Submit(std::make_shared<CRetitleCommand>(&table, u"T1")));
    ASSERT_TRUE(History(table).UndoPossible());
    History(table).SetUndoBlocked(true);
    EXPECT_FALSE(History(table).UndoPossible());
}

TEST_F(CommandHistory, ANewCommandAfterGoingBackReleasesTheDroppedOnes)
{
    ASSERT_TRUE(SubmitZoom(city, {u"Bern", u"Basel"}));
    ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
    ASSERT_TRUE(History(table).GoBack());
    std::weak_ptr<CCommand> dropped = History(table).GetForwardList().front();
    ASSERT_TRUE(SubmitZoom(kind, {u"b"}));
    EXPECT_TRUE(dropped.expired());
}

// The zooms made from the selection are in cases/zooms.test.
TEST_F(CommandHistory, LongNamesAndCutLists)
{
    auto many = CSetAttributeCommand::MakeValueSet(amount, ValuesOf(amount, {u"1", u"2", u"3", u"4"}));
    auto notAbove = CSetAttributeCommand::MakeRange(amount, std::nullopt, KString(u"4"), true);
    const std::pair<std::shared_ptr<CSetAttributeCommand>, const char16_t*> names[] = {
        {many, u"Amount in {1,2,...,4}"},
        {CSetAttributeCommand::MakeValueSet(amount, ValuesOf(amount, {u"1", u"2", u"3"})), u"Amount in {1,2,3}"},
        {CSetAttributeCommand::MakeRange(amount, KString(u"2"), KString(u"4")), u"2 <= Amount <= 4"},
        {notAbove, u"nicht Amount <= 4"}}; // one value more than the limit is written in full
    for (const auto& [command, name] : names)
    {
        command->ComputeName(0);
        EXPECT_EQ(command->GetName(), name);
    }
    EXPECT_EQ(many->GetLongName(), u"Amount in {1,2,3,4}");
    EXPECT_EQ(many->GetName(), u"Amount in {1,2,...,4}");
    platform::SetResourceLanguage(ELanguage::English);
    notAbove->ComputeName(0);
    EXPECT_EQ(notAbove->GetName(), u"not Amount <= 4");
    auto release = CSetAttributeCommand::MakeRelease(city);
    release->ComputeName(0);
    EXPECT_EQ(release->GetName(), u"Release the restriction of 'City'");
    platform::SetResourceLanguage(ELanguage::German);
}

TEST_F(CommandHistory, TheFactoryMakesKnownClassesOnly)
{
    for (const char16_t* name : {u"CSetAttributeCommand", u"CResetCommand", u"CSortCommand", u"CModeSwitchCommand"})
    {
        std::shared_ptr<CCommand> command = CreateCommand(&table, name);
        EXPECT_EQ(command->GetClassName(), name);
        EXPECT_FALSE(command->m_bFresh);
        EXPECT_EQ(command->GetTable(), &table);
    }
    try
    {
        CreateCommand(&table, u"CSortCommandX");
        FAIL() << "an unknown class was made";
    }
    catch (const CCommandClassError& e)
    {
        EXPECT_STREQ(e.what(), "Unbekannte Kommandoklasse 'CSortCommandX'.");
    }
    EXPECT_FALSE(IsKnownCommandClass(u"CCommand"));
    EXPECT_EQ(DisplayClassNameOf(u"CHideRecordsCommand"), u"Records Hide");
    EXPECT_EQ(CResetCommand(&table).GetDisplayClassName(), u"Reset");

    // A clone into another table maps the attribute by name and keeps the values by text.
    CTable other;
    CAttribute* otherCity = AddColumn(other, u"City", {u"Genf", u"Bern"});
    other.AnalyzeTable();
    auto zoom = CSetAttributeCommand::MakeValueSet(city, ValuesOf(city, {u"Bern"}));
    zoom->ComputeName(0);
    auto copy = std::static_pointer_cast<CSetAttributeCommand>(zoom->Clone(&other));
    EXPECT_EQ(copy->GetAttribute(), otherCity);
    EXPECT_EQ(copy->GetName(), u"City = Bern");
    EXPECT_TRUE(copy->AcceptsRecord(other.GetRecord(1)));
    EXPECT_FALSE(copy->AcceptsRecord(other.GetRecord(0)));
    ASSERT_TRUE(History(other).Submit(copy));
    EXPECT_EQ(RecordStates(other), "RQ");
}

TEST_F(CommandHistory, AResetTrimsOldQueriesAndALongQueryWarnsOnce)
{
    // Three queries of 15 zooms, each started by a reset.
    for (int q = 0; q < 3; ++q)
    {
        ASSERT_TRUE(SubmitReset(table));
        for (int i = 0; i < 15; ++i)
            ASSERT_TRUE(SubmitZoom(city, {i % 2 ? u"Bern" : u"Basel"}));
    }
    EXPECT_EQ(History(table).GetBackList().size(), 48u);
    // Walking back from the last reset and counting: 17 at the second reset (17 + 15 is below 40), 33 at the
    // first (33 + 15 reaches 40): it is cut with everything before it (nothing).
    ASSERT_TRUE(SubmitReset(table));
    EXPECT_EQ(History(table).GetBackList().size(), 48u);
    EXPECT_TRUE(History(table).GetBackList().front()->IsKindOf(u"CSetAttributeCommand"));
    // Another query of 15: from its reset back, 17 at the third reset, 33 at the second: cut there, the oldest
    // query goes.
    for (int i = 0; i < 15; ++i)
        ASSERT_TRUE(SubmitZoom(amount, {i % 2 ? u"1" : u"2"}));
    ASSERT_TRUE(SubmitReset(table));
    EXPECT_EQ(History(table).GetBackList().size(), 48u);
    EXPECT_EQ(History(table).CountCurrentQuery(), 0);
    EXPECT_EQ(platform::ToUtf8(History(table).GetBackList().front()->GetName()), "City = Basel");
    long resets = 0;
    for (const auto& command : History(table).GetBackList())
        resets += command->IsKindOf(u"CResetCommand") ? 1 : 0;
    EXPECT_EQ(resets, 3);

    // A zoom out that shows every record again after more than 40 commands warns once.
    for (int i = 0; i < 20; ++i)
    {
        ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
        ASSERT_TRUE(SubmitZoomOut(kind));
    }
    EXPECT_EQ(Messages(), "");
    ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
    ASSERT_TRUE(SubmitZoomOut(kind));
    EXPECT_EQ(History(table).CountCurrentQuery(), 42);
    const std::string warning = Messages();
    EXPECT_EQ(warning.rfind("Hinweis:\nDie aktuelle Anfrage enthält bereits 42 Kommandos!", 0), 0u) << warning;
    ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
    ASSERT_TRUE(SubmitZoomOut(kind));
    EXPECT_EQ(Messages(), warning);
}

TEST_F(CommandHistory, TheActionLogIsWrittenOnlyWhileLoggingIsOn)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "korvalin_action_log_test.txt";
    std::filesystem::remove(path);
    ASSERT_TRUE(SubmitZoom(city, {u"Bern"}));
    EXPECT_FALSE(std::filesystem::exists(path));
    CCommandHistory::EnableActionLogging(platform::FromUtf8(path.string()));
    ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
    ASSERT_TRUE(History(table).GoBack());
    ASSERT_TRUE(History(table).Rewind());
    CCommandHistory::DisableActionLogging();
    ASSERT_TRUE(History(table).FastForward());
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string lines;
    std::string line;
    while (std::getline(text, line))
        lines += line.substr(line.find('\t') + 1) + "\n"; // without the time
    EXPECT_EQ(lines, "\tZoomIn\tKind = a\n\tZoomIn - Back\tKind = a\n\tQuery Rewind\t\n");
    std::filesystem::remove(path);
}

TEST_F(CommandHistory, ASaveAsksAboutModificationsAndIsMadeInTheResetState)
{
    std::vector<std::string> asked;
    int answer = ANSWER_CANCEL;
    table.SetMessageHandler([&](const KString& text, int) {
        asked.push_back(platform::ToUtf8(text));
        return answer;
    });
    ASSERT_TRUE(SubmitZoom(city, {u"Bern", u"Basel"}));
    ASSERT_TRUE(History(table).Submit(std::make_shared<CRetitleCommand>(&table, u"Before")));
    ASSERT_TRUE(SubmitReset(table));
    History(table).FindModificationsDuringCurrentQuery(); // the back list ends with a reset: nothing asked
    EXPECT_TRUE(asked.empty());
    ASSERT_TRUE(History(table).Submit(std::make_shared<CRetitleCommand>(&table, u"After")));
    ASSERT_TRUE(SubmitZoom(kind, {u"a"}));
    EXPECT_THROW(History(table).FindModificationsDuringCurrentQuery(), CUserException);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Die folgenden Modifikationen wurden seit dem letzten Reset vorgenommen:\n\n"
                             "  - Title After\n\nFalls",
                             0),
              0u)
        << asked[0];
    answer = ANSWER_OK;
    EXPECT_NO_THROW(History(table).FindModificationsDuringCurrentQuery());

    // The table is written in its reset state; afterwards the query and the steps ahead come back.
    ASSERT_TRUE(SubmitZoom(amount, {u"1"}, true));
    ASSERT_TRUE(History(table).GoBack());
    const std::string states = RecordStates(table);
    const std::string lists = BackForward(table);
    History(table).SaveFutureAndReset(true); // no modification in the query: nothing to do
    EXPECT_EQ(BackForward(table), lists);
    History(table).SaveFutureAndReset(false);
    EXPECT_EQ(RecordStates(table), "QQQQQQ");
    EXPECT_EQ(BackForward(table), "City in {Bern,Basel}, Reset, Kind = a, Reset |");
    History(table).GoBackAndReinstallFuture();
    EXPECT_EQ(RecordStates(table), states);
    EXPECT_EQ(BackForward(table), lists);
    EXPECT_EQ(lists, "City in {Bern,Basel}, Reset, Kind = a | Amount ¬= 1");
}

// Values renamed in an attribute are followed by the zooms of the history: cases/renamed_values.test.

// The captions of the lists are in cases/captions.test; here those of the operations.
TEST_F(CommandHistory, OperationCaptionsExistInGermanAndEnglish)
{
    auto captions = [&] {
        std::string out;
        for (auto operation : {CCommandHistory::OP_REWIND, CCommandHistory::OP_FAST_FORWARD,
                               CCommandHistory::OP_NEXT_QUERY, CCommandHistory::OP_PREVIOUS_QUERY,
                               CCommandHistory::OP_JUMP_BACK, CCommandHistory::OP_JUMP_FORWARD})
            out += platform::ToUtf8(CCommandHistory::GetOperationCaption(operation)) + "|";
        return out;
    };
    EXPECT_EQ(captions(), "Zum Anfang der Anfrage|Zum Ende der Anfrage|Zur nächsten Anfrage gehen|"
                          "Zur vorherigen Anfrage gehen|Zurück|Vor|");
    platform::SetResourceLanguage(ELanguage::English);
    EXPECT_EQ(captions(), "To the start of the query|To the end of the query|Go to the next query|"
                          "Go to the previous query|Back|Forward|");
    platform::SetResourceLanguage(ELanguage::German);
}

TEST_F(CommandHistory, AResetUndoesTheModificationsOfTheQueryItEnds)
{
    // A modification defining something within the query sits in the back list; a reset undoes it, and going
    // back over the reset executes it again.
    class CTemporaryTitle : public CRetitleCommand
    {
    public:
        using CRetitleCommand::CRetitleCommand;
        bool DefinesTemporaryAttribute() const override { return true; }
    };
    auto temporary = std::make_shared<CTemporaryTitle>(&table, u"Temp");
    temporary->m_bQueryCommand = true;
    ASSERT_TRUE(SubmitZoom(city, {u"Bern"}));
    ASSERT_TRUE(History(table).Submit(temporary));
    EXPECT_EQ(BackForward(table), "City = Bern, Title Temp |");
    EXPECT_TRUE(History(table).TemporaryModificationsExist());
    EXPECT_EQ(platform::ToUtf8(table.GetTitle()), "Temp");
    ASSERT_TRUE(SubmitReset(table));
    EXPECT_EQ(platform::ToUtf8(table.GetTitle()), "");
    EXPECT_FALSE(History(table).TemporaryModificationsExist());
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(platform::ToUtf8(table.GetTitle()), "Temp");
    EXPECT_EQ(RecordStates(table), "Q--Q--");
}
