// The record commands: hiding refused records and the auto-hide switch as steps of the query, inserting and
// deleting records as changes that undo and redo exactly, and the pointer gestures that never enter a history.

#include "HistoryTestSupport.h"

#include "options/OptionSet.h"
#include "selection/MouseCommands.h"
#include "selection/RecordCommands.h"

#include <gtest/gtest.h>

namespace
{
class RecordCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Zürich", u"Bern", u"Genf", u"Basel"});
        kind = AddColumn(table, u"Kind", {u"a", u"b", u"a", u"c", u"b", u"a"});
        table.AnalyzeTable();
    }
    std::string Lists() { return BackForward(table) + " / " + UndoRedo(table); }
    bool AutoHide() { return Qual(table).IsAutoHideRefused(); }
    // Selects values of attribute as the select verb does (replacing the selection of every attribute).
    void Select(CAttribute* attribute, std::initializer_list<const char16_t*> texts)
    {
        Sel(table).DeselectAllValues();
        for (const char16_t* text : texts)
            Sel(attribute).SelectValue(attribute->FindValue(text), nullptr, true);
    }

    CTable table;
    CAttribute* city = nullptr;
    CAttribute* kind = nullptr;
};

const char* kOriginal = "City(1)=Bern,Basel,Zürich,Bern,Genf,Basel;Kind(2)=a,b,a,c,b,a; records=6";
} // namespace

TEST_F(RecordCommands, AutoHideSwitchesBothWaysAndFailsWhenTheFlagIsSoAlready)
{
    auto on = std::make_shared<CToggleAutoHideRecordsCommand>(&table);
    EXPECT_TRUE(on->GetNewValue());
    on->Prepare();
    EXPECT_EQ(platform::ToUtf8(on->GetName()), "Automatisches Ausblenden von Objekten anschalten");
    EXPECT_EQ(platform::ToUtf8(on->GetDisplayClassName()), "Records Auto-Hide");
    Qual(table).SetAutoHideRefused(true); // switched on meanwhile: the command has nothing to do
    EXPECT_FALSE(History(table).Submit(on));
    EXPECT_EQ(Lists(), "| / |");
    // Switching both ways as steps of the query: cases/record_commands*.test.
}

TEST_F(RecordCommands, InsertedEmptyRecordsGoAndComeBackAsOneChange)
{
    ASSERT_TRUE(History(table).Submit(CInsertRecordsCommand::Create(&table, false, 2)));
    EXPECT_EQ(RenderTable(table), "City(1)=Bern,Basel,Zürich,Bern,Genf,Basel,,;Kind(2)=a,b,a,c,b,a,,; records=8");
    EXPECT_EQ(Lists(), "| / 2 Objekte hinzufügen |");
    EXPECT_TRUE(table.IsModified());
    const auto* insert = static_cast<const CInsertRecordsCommand*>(History(table).GetUndoList().back().get());
    const std::vector<CRecord*> made = insert->GetInsertedRecords();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->m_nRecordNumber, 6);
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(RenderTable(table), kOriginal);
    ASSERT_TRUE(History(table).Redo());
    EXPECT_EQ(table.GetRecord(7), made[1]); // the very same records
    EXPECT_EQ(RenderTable(table), "City(1)=Bern,Basel,Zürich,Bern,Genf,Basel,,;Kind(2)=a,b,a,c,b,a,,; records=8");
    EXPECT_TRUE(table.GetRecords().GetAll().Validate());
}

TEST_F(RecordCommands, DeletedRecordsComeBackWithTheirValuesAndPlaces)
{
    Select(city, {u"Basel"});
    CRecord* basel = table.GetRecord(1);
    Sel(table).SetCursor(basel, city);
    auto command = CDeleteRecordsCommand::Create(&table);
    ASSERT_TRUE(History(table).Submit(command));
    EXPECT_EQ(platform::ToUtf8(command->GetName()), "Die 2 Objekte löschen, wo 'City = Basel'");
    EXPECT_EQ(RenderTable(table), "City(1)=Bern,Zürich,Bern,Genf;Kind(2)=a,a,c,b; records=4");
    EXPECT_EQ(RecordStates(table), "QQQQ");
    // Nothing keeps the deleted records: neither the selection, nor the cursor, nor the records by value.
    CSet selected;
    Sel(table).GetOverallSelectedRecords(selected);
    EXPECT_EQ(selected.GetCount(), 0);
    EXPECT_EQ(Sel(table).GetCursorRecord(), nullptr);
    for (CRecord* record : city->GetSortedRecords())
        EXPECT_NE(record, basel);

    // The attribute's values are rebuilt while the records are out: undo brings the values back all the same.
    kind->ClearValues();
    for (long i = 0; i < table.GetRecordCount(); ++i)
        kind->AddValue(table.GetRecord(i), i == 0 ? u"x" : u"y");
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(RenderTable(table), "City(1)=Bern,Basel,Zürich,Bern,Genf,Basel;Kind(2)=x,b,y,y,y,a; records=6");
    EXPECT_EQ(table.GetRecord(1), basel);
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 2);
    ASSERT_TRUE(History(table).Redo());
    EXPECT_EQ(RenderTable(table), "City(1)=Bern,Zürich,Bern,Genf;Kind(2)=x,y,y,y; records=4");
    EXPECT_EQ(Lists(), "| / Die 2 Objekte löschen, wo 'City = Basel' |");

    // Nothing selected: no command; a selection without qualified records: a command that fails.
    Sel(table).DeselectAllValues();
    EXPECT_EQ(CDeleteRecordsCommand::Create(&table), nullptr);
    EXPECT_FALSE(History(table).Submit(std::make_shared<CDeleteRecordsCommand>(&table)));
    EXPECT_EQ(Lists(), "| / Die 2 Objekte löschen, wo 'City = Basel' |");
}

// Inserting into an empty table: cases/record_insertion.test.
TEST_F(RecordCommands, ValueListGesturesSelectRangesAndNeverEnterAHistory)
{
    const std::vector<const char16_t*> list = {city->FindValue(u"Basel"), city->FindValue(u"Bern"),
                                               city->FindValue(u"Genf"), city->FindValue(u"Zürich")};
    auto gesture = std::make_shared<CSelectValuesCommand>(city, list, false);
    CCommandHistory& history = History(table);
    const CAttributeSelection& state = Sel(city);
    auto selected = [&] {
        std::string out;
        for (long i = 0; state.GetSelectedValues() && i < state.GetSelectedValues()->GetCount(); ++i)
            out += (out.empty() ? "" : ",") + platform::ToUtf8(static_cast<const char16_t*>(state.GetSelectedValues()->GetAt(i)));
        return out;
    };
    EXPECT_TRUE(history.Submit(*gesture, 0, {10, 5}, MOUSE_DOWN, 0));
    history.Submit(*gesture, 0, {10, 25}, MOUSE_MOVE, 2);
    history.Submit(*gesture, 0, {10, 25}, MOUSE_UP, 2);
    EXPECT_EQ(selected(), "Basel,Bern,Genf");
    ASSERT_TRUE(state.IsRangeSelection());
    EXPECT_EQ(platform::ToUtf8(state.GetRangeLow()) + ".." + platform::ToUtf8(state.GetRangeHigh()), "Basel..Genf");
    history.Submit(*gesture, MOUSE_KEY_CONTROL, {10, 35}, MOUSE_DOWN, 3); // Control adds
    EXPECT_EQ(selected(), "Basel,Bern,Genf,Zürich");
    EXPECT_FALSE(state.IsRangeSelection());
    history.Submit(*gesture, MOUSE_KEY_CONTROL, {10, 15}, MOUSE_DOWN, 1); // and toggles off
    EXPECT_EQ(selected(), "Basel,Genf,Zürich");
    history.Submit(*gesture, MOUSE_KEY_SHIFT, {10, 35}, MOUSE_DOWN, 3); // Shift: from the anchor (Bern) on
    EXPECT_EQ(selected(), "Bern,Genf,Zürich");
    // As a command it does nothing and records nothing.
    EXPECT_FALSE(history.Submit(std::static_pointer_cast<CCommand>(gesture)));
    EXPECT_EQ(Lists(), "| / |");

    // A list sorted downwards: the bounds in value order.
    auto reverse = std::make_shared<CSelectValuesCommand>(city, std::vector<const char16_t*>(list.rbegin(), list.rend()), true);
    history.Submit(*reverse, 0, {0, 0}, MOUSE_DOWN, 0);
    history.Submit(*reverse, 0, {0, 0}, MOUSE_MOVE, 1);
    EXPECT_EQ(platform::ToUtf8(state.GetRangeLow()) + ".." + platform::ToUtf8(state.GetRangeHigh()), "Genf..Zürich");
}

TEST_F(RecordCommands, TableViewClicksSelectAndZoomOnASingleClick)
{
    COptionSet options;
    options.m_bSingleClickMode = true;
    CTable clicked(&options);
    CAttribute* name = AddColumn(clicked, u"City", {u"Bern", u"Basel", u"Bern", u"Genf"});
    clicked.AnalyzeTable();
    uint64_t now = 1000;
    CSelectCommand gesture(name);
    gesture.SetClock([&] { return now; });
    CCommandHistory& history = History(clicked);

    // Dragging over records selects their values; no zoom.
    history.Submit(gesture, 0, {5, 5}, MOUSE_DOWN, 1);
    history.Submit(gesture, 0, {60, 5}, MOUSE_MOVE, 3);
    history.Submit(gesture, 0, {60, 5}, MOUSE_UP, 3);
    EXPECT_FALSE(gesture.HasZoomed());
    EXPECT_EQ(Sel(clicked).CountSelectedRecords(), 3); // the records passed over, not the first Bern
    // A click within 2 pixels and the double-click time zooms on the value clicked.
    history.Submit(gesture, 0, {5, 5}, MOUSE_DOWN, 0);
    now += 50;
    history.Submit(gesture, 0, {7, 4}, MOUSE_UP, 0);
    EXPECT_TRUE(gesture.HasZoomed());
    EXPECT_EQ(BackForward(clicked), "City = Bern |");
    EXPECT_EQ(RecordStates(clicked), "QRQR");
    // A slow click only selects.
    history.Submit(gesture, 0, {5, 5}, MOUSE_DOWN, 2);
    now += 100000;
    history.Submit(gesture, 0, {5, 5}, MOUSE_UP, 2);
    EXPECT_FALSE(gesture.HasZoomed());
    EXPECT_EQ(BackForward(clicked), "City = Bern |");
}

TEST_F(RecordCommands, TheFactoryMakesTheRecordCommands)
{
    for (const char16_t* name : {u"CHideRecordsCommand", u"CToggleAutoHideRecordsCommand", u"CInsertRecordsCommand",
                                 u"CDeleteRecordsCommand", u"CSelectValuesCommand"})
    {
        ASSERT_TRUE(IsKnownCommandClass(name));
        std::shared_ptr<CCommand> command = CreateCommand(&table, name);
        EXPECT_EQ(command->GetClassName(), KString(name));
        EXPECT_FALSE(command->m_bFresh);
        EXPECT_EQ(command->Clone(&table)->GetClassName(), KString(name));
    }
    // The gesture made by the factory has no list: as a command it fails and records nothing.
    EXPECT_FALSE(History(table).Submit(CreateCommand(&table, u"CSelectValuesCommand")));
    EXPECT_EQ(Lists(), "| / |");
}
