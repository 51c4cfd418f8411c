#include "TableTestSupport.h"

#include "engine/Table.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

TEST(CreateEmpty, MakesTheExampleTable)
{
    CTable table;
    table.CreateEmpty(3);
    EXPECT_EQ(table.GetTitle(), u"Tabelle3.qtx");
    ASSERT_EQ(table.GetAttributeCount(), 16);
    EXPECT_EQ(table.GetRecordCount(), 8);
    EXPECT_EQ(AttributeNames(table), "Kennung Attribut1 Attribut2 Attribut3 Attribut4 Attribut5 Attribut6 Attribut7 "
                                     "Attribut8 Attribut9 Attribut10 Attribut11 Attribut12 Attribut13 Attribut14 "
                                     "Attribut15");
    // The key's and Attribut1's values: the app.demo test.
    const std::string rendered = RenderTable(table);
    EXPECT_NE(rendered.find("Attribut15(16)=,,,,,,,;"), std::string::npos) << rendered;
    CAttribute* undefinedColumn = table.FindAttribute(u"Attribut7");
    ASSERT_NE(undefinedColumn, nullptr);
    EXPECT_EQ(undefinedColumn->GetNrOfValues(), 1);
    EXPECT_TRUE(table.GetKeyAttribute()->IsKey());
    EXPECT_EQ(table.GetKeyAttribute()->GetSequenceNumber(), 1);
    EXPECT_EQ(table.FindAttribute(u"Attribut15")->GetSequenceNumber(), 16);
    // Without a number the title stays and the content is replaced.
    AddColumn(table, u"Old", {u"x"});
    table.CreateEmpty(0);
    EXPECT_EQ(table.GetTitle(), u"Tabelle3.qtx");
    EXPECT_EQ(table.FindAttribute(u"Old"), nullptr);
    EXPECT_EQ(table.GetRecordCount(), 8);
}

TEST(AttributeCreation, IdsSkipHeadersAndAreNeverReused)
{
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, false);
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"Group", nullptr, 10, false);
    CAttribute* b = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"B", nullptr, 10, false);
    EXPECT_EQ(a->GetId(), 1);
    EXPECT_EQ(header->GetId(), -1);
    EXPECT_EQ(header->GetSequenceNumber(), 0);
    EXPECT_EQ(b->GetId(), 2);
    EXPECT_EQ(b->GetSequenceNumber(), 2);
    EXPECT_TRUE(b->IsDerived());
    EXPECT_FALSE(header->IsDerived());
    table.DeleteAttribute(b);
    EXPECT_EQ(table.CreateNewAttribute(ATTR_NORMAL, false, u"C", nullptr, 10, false)->GetId(), 3);
}

TEST(AttributeCreation, TreeMarkersSetKindIndentLinesAndOpenFlag)
{
    CTable table;
    long indent = 0;
    CAttribute* sales = table.CreateNewAttribute(ATTR_FROM_NAME, false, u">>+[3]Sales", &indent, 1, false);
    EXPECT_EQ(sales->GetName(), u"Sales");
    EXPECT_TRUE(sales->IsHeader());
    EXPECT_TRUE(sales->IsHeaderOpen());
    EXPECT_EQ(sales->GetNrOfLines(), 3);
    EXPECT_EQ(sales->GetIndent(), 0);
    EXPECT_EQ(indent, 2);
    CAttribute* total = table.CreateNewAttribute(ATTR_FROM_NAME, false, u"<<Total", &indent, 1, false);
    EXPECT_EQ(total->GetName(), u"Total");
    EXPECT_EQ(total->GetAttributeType(), ATTR_NORMAL);
    EXPECT_EQ(total->GetIndent(), 2);
    EXPECT_EQ(indent, 0);
    // A bracket that is not a digit counts as one line; lines below 1 become 1.
    CAttribute* odd = table.CreateNewAttribute(ATTR_FROM_NAME, false, u"[x]Odd", &indent, 1, false);
    EXPECT_EQ(odd->GetNrOfLines(), 1);
    EXPECT_EQ(odd->GetName(), u"Odd");
    CAttribute* zero = table.CreateNewAttribute(ATTR_FROM_NAME, false, u"[0]Zero", &indent, 1, false);
    EXPECT_EQ(zero->GetNrOfLines(), 1);
    // Closing more levels than are open stops at 0; without a running indent everything is at 0.
    EXPECT_EQ(table.CreateNewAttribute(ATTR_FROM_NAME, false, u"<<<Deep", &indent, 1, false)->GetIndent(), 0);
    EXPECT_EQ(indent, 0);
    EXPECT_EQ(table.CreateNewAttribute(ATTR_FROM_NAME, false, u">Plain", nullptr, 1, false)->GetIndent(), 0);
    // A bare marker or an empty name becomes "???".
    CAttribute* bare = table.CreateNewAttribute(ATTR_FROM_NAME, false, u">", &indent, 1, false);
    EXPECT_EQ(bare->GetName(), u"???");
    EXPECT_TRUE(bare->IsHeader());
    EXPECT_EQ(indent, 1);
    EXPECT_EQ(table.CreateNewAttribute(ATTR_NORMAL, false, u"", nullptr, 1, false)->GetName(), u"???");
    // Markers are read only for kind 7.
    EXPECT_EQ(table.CreateNewAttribute(ATTR_NORMAL, false, u">Raw", nullptr, 1, false)->GetName(), u">Raw");
}

TEST(UniqueNames, RepeatsGetNumberedSuffixesUntilOneIsFree)
{
    // Hidden attributes are left out: they keep their name.
    const std::tuple<std::vector<const char16_t*>, bool, const char*> aCases[] = {
        {{u"A", u"B", u"A", u"A", u"A"}, true, "A B A_1 A_2 A"},
        {{u"A", u"A", u"A_1", u"A_1_1", u"A"}, false, "A A_1_1_1 A_1 A_1_1 A_2"},
    };
    for (const auto& [names, lastHidden, expected] : aCases)
    {
        CTable table;
        for (const char16_t* name : names)
            table.CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, 1, false);
        table.FindAttributeFromIndex(4)->SetHidden(lastHidden);
        table.SetUniqueAttributeNames();
        std::string unique;
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            unique += (a ? " " : "") + platform::ToUtf8(attribute->GetUniqueName());
            if (!attribute->IsHidden())
            {
                EXPECT_EQ(table.FindAttributeByUniqueName(attribute->GetUniqueName()), attribute) << a;
            }
        }
        EXPECT_EQ(unique, expected);
        EXPECT_EQ(table.FindAttributeByUniqueName(u"A_3"), nullptr);
    }
}

TEST(Finders, ByNameUuidPositionAndPrefix)
{
    CTable table;
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"Region", nullptr, 1, false);
    CAttribute* city = AddColumn(table, u"City", {u"Bern", u"Basel"});
    CAttribute* city2 = AddColumn(table, u"City", {u"Genf", u"Chur"});
    CAttribute* hidden = AddColumn(table, u"Secret", {u"1", u"2"});
    hidden->SetHidden(true);
    CAttribute* tags = AddColumn(table, u"Tags", {u"|a|b|", u"c"});
    city2->SetImportName(u"Ort");

    int count = 0;
    EXPECT_EQ(table.FindAttribute(u"City", &count), city);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(table.FindAttribute(u"Region"), nullptr);
    EXPECT_EQ(table.FindAttribute(u"Region", nullptr, false, true), header);
    EXPECT_EQ(table.FindAttributeOrHeader(u"Region"), header);
    EXPECT_EQ(table.FindAttribute(u"Secret"), nullptr);
    EXPECT_EQ(table.FindAttribute(u"Secret", nullptr, true), hidden);
    EXPECT_EQ(table.FindAttribute(u"Tags", nullptr, false, false, false), nullptr);
    EXPECT_EQ(table.FindAttribute(u"Tags", nullptr, false, false, true, true), tags);
    EXPECT_EQ(table.FindAttribute(u"City", nullptr, false, false, true, true), nullptr);
    EXPECT_EQ(table.FindAttribute(u"Nowhere", &count), nullptr);
    EXPECT_EQ(count, 0);

    EXPECT_EQ(table.FindAttributeByUuid(city2->GetUuid()), city2);
    EXPECT_EQ(table.FindAttributeByUuid(hidden->GetUuid()), nullptr);
    EXPECT_EQ(table.FindAttributeByUuid(hidden->GetUuid(), true), hidden);
    EXPECT_EQ(table.FindNameOrImportName(u"Ort"), city2);
    EXPECT_EQ(table.FindAttributePrefix(u"Ta"), tags);
    EXPECT_EQ(table.FindAttributePrefix(u"Se"), nullptr);

    EXPECT_EQ(table.FindAttributeIndex(city2), 2);
    EXPECT_EQ(table.FindAttributeFromIndex(2), city2);
    EXPECT_EQ(table.FindAttributeFromIndex(9), nullptr);
    EXPECT_EQ(table.FindAttributeFromIndex(-1), nullptr);
    EXPECT_EQ(table.FindSimpleAttributeFromIndex(0), city);
    EXPECT_EQ(table.FindSimpleAttributeFromIndex(3), tags);
    EXPECT_EQ(table.FindSimpleAttributeFromIndex(4), nullptr);
    EXPECT_EQ(table.GetRecords().GetRecordName(table.GetRecord(1)), u""); // the key is a header: no values
}

TEST(KeyAttribute, RulesOfTheKey)
{
    CTable empty;
    EXPECT_EQ(empty.GetKeyAttribute(), nullptr);

    CTable table;
    CAttribute* id = AddColumn(table, u"Id", {u"7", u"8", u"9"});
    EXPECT_TRUE(id->IsKey());
    CAttribute* second = AddColumn(table, u"Other", {u"1", u"2", u"3"});
    EXPECT_FALSE(second->IsKey()); // only the first attribute can be the key
    id->AddValue(table.GetRecord(2), u"7");
    EXPECT_FALSE(id->IsKey()); // two records share a value

    CTable lists;
    CAttribute* multi = AddColumn(lists, u"Multi", {u"|a|b|", u"c"});
    EXPECT_FALSE(multi->IsKey());

    CTable derived;
    CAttribute* formula = derived.CreateNewAttribute(ATTR_EXPRESSION, false, u"F", nullptr, 1, false);
    EXPECT_FALSE(formula->IsKey());
}

TEST(KeyAttribute, GeneratedWhenTheFirstAttributeIsNoKey)
{
    CTable table;
    AddColumn(table, u"City", {u"Bern", u"Basel", u"Bern"});
    EXPECT_TRUE(table.GenerateKeyIfNecessary(true));
    CAttribute* key = table.GetKeyAttribute();
    EXPECT_EQ(key->GetName(), u"Kennung");
    EXPECT_TRUE(key->IsGeneratedKey());
    EXPECT_TRUE(key->IsNumeric());
    EXPECT_EQ(key->GetFormatString(), u"####");
    EXPECT_EQ(RenderTable(table), "Kennung(2)=1,2,3;City(1)=Bern,Basel,Bern; records=3");
    EXPECT_EQ(key->GetNumericValue(key->GetFieldValueIndex(table.GetRecord(2))), 3.0);
    EXPECT_TRUE(key->IsKey());
    EXPECT_FALSE(table.GenerateKeyIfNecessary(false)); // it is a key now
}

TEST(KeyAttribute, GeneratedNameAvoidsTakenNamesAndNeedsNoAttributes)
{
    CTable table;
    AddColumn(table, u"Kennung", {u"x", u"x"});
    CAttribute* other = AddColumn(table, u"Other", {u"1", u"2"});
    other->SetImportName(u"Kennung1");
    EXPECT_TRUE(table.GenerateKeyIfNecessary(false));
    EXPECT_EQ(table.GetKeyAttribute()->GetName(), u"Kennung2");

    CTable bare; // a table without attributes gets a key too
    bare.AddRecord();
    bare.AddRecord();
    EXPECT_TRUE(bare.GenerateKeyIfNecessary(false));
    EXPECT_EQ(RenderTable(bare), "Kennung(1)=1,2; records=2");
}

TEST(KeyAttribute, RecordByKeyValueFollowsNewRecords)
{
    CTable table;
    CAttribute* id = AddColumn(table, u"Id", {u"a", u"b"});
    EXPECT_EQ(table.GetRecords().FindRecordByKeyIndex(id->FindValueIndex(u"b")), table.GetRecord(1));
    CRecord* added = table.AddRecord();
    id->AddValue(added, u"c");
    EXPECT_EQ(table.GetRecords().FindRecordByKeyIndex(id->FindValueIndex(u"c")), added);
    EXPECT_EQ(table.GetRecords().FindRecordByKeyIndex(99), nullptr);
}

TEST(Records, NumberedInOrderOfCreationAndShown)
{
    CTable table;
    for (int i = 0; i < 5; ++i) // the flags of a new record: StorageRecordStore.RecordsAreInitialisedAndNeverMove
        EXPECT_EQ(table.AddRecord()->m_nRecordNumber, i);
    EXPECT_EQ(table.GetShownRecords().GetSize(), 5);
    table.ClearTable();
    EXPECT_EQ(table.GetRecordCount(), 0);
    EXPECT_EQ(table.GetShownRecords().GetSize(), 0);
    EXPECT_EQ(table.GetAttributeCount(), 0);
}

namespace
{
struct CRecordingObserver : CTableObserver
{
    std::vector<std::u16string> events;
    void OnAttributeAdded(CAttribute* a) override { events.push_back(u"+" + a->GetName()); }
    void OnAttributeDeleted(CAttribute* a) override { events.push_back(u"-" + a->GetName()); }
};
} // namespace

TEST(Observer, ToldOfAttributesAddedAndDeleted)
{
    CTable table;
    CRecordingObserver observer;
    table.SetObserver(&observer);
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 1, false);
    table.CreateNewAttribute(ATTR_NORMAL, false, u"B", nullptr, 1, false);
    table.DeleteAttribute(a);
    table.ClearTable();
    EXPECT_EQ(observer.events, (std::vector<std::u16string>{u"+A", u"+B", u"-A", u"-B"}));
}

TEST(StatusMessages, TasksOfAParallelStepDoNotTouchTheStackOfTheThreadThatHoldsIt)
{
    CTable table;
    {
        CStatusMessageGuard reading(table, u"reading");
        std::thread task(
            [&]
            {
                CStatusMessageGuard sorting(table, u"sorting");
                table.PopStatusMessage(); // not this task's stack: nothing happens
            });
        task.join();
        EXPECT_EQ(table.GetStatusMessages(), std::vector<KString>{u"reading"});
    }
    EXPECT_TRUE(table.GetStatusMessages().empty());
    // Once the stack is empty, any thread may take it: a host working on another thread shows its messages.
    std::thread host(
        [&]
        {
            CStatusMessageGuard saving(table, u"saving");
            table.PushStatusMessage(u"writing"); // the same thread: it stacks
            EXPECT_EQ(table.GetStatusMessages().size(), 2u);
            table.PopStatusMessage();
        });
    host.join();
    EXPECT_TRUE(table.GetStatusMessages().empty());
}
