// Derived attributes and the histories: inserting and redefining are changes that undo and redo exactly, data
// changes recompute what is derived, and every step back, forward, undo and redo leaves each derived value as it
// was at that point.

#include "HistoryTestSupport.h"

#include "formula/DerivedDefinitions.h"
#include "selection/AttributeCommands.h"
#include "selection/RecordCommands.h"

#include <gtest/gtest.h>

namespace
{

// The number of qualified records in every record, as a summary without grouping would count them.
class CQualifiedCount final : public CAttributeDefinition
{
public:
    int32_t GetKind() const override { return ATTR_SUMMARY; }
    void GetReferencedAttributes(std::vector<CAttribute*>&) const override {}
    std::unique_ptr<CAttributeDefinition> Clone() const override { return std::make_unique<CQualifiedCount>(); }
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>&) override {}
    void PrepareRecompute(CTable&, CAttribute&) override {}
    bool Recompute(CTable& table, CAttribute& attribute) override
    {
        const KString count = platform::ToKString(table.CountQualRecords());
        for (long i = 0; i < table.GetRecordCount(); ++i)
            attribute.AddValue(table.GetRecord(i), count);
        return true;
    }
    bool FollowsQualification() const override { return true; }
    double EstimatedSteps(long records) const override { return records; }
    KString GetDescription() const override { return u"count"; }
};

class DerivedHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Zürich", u"Bern", u"Genf"});
        kind = AddColumn(table, u"Kind", {u"a", u"b", u"a", u"c", u"b"});
        table.AnalyzeTable();
    }
    CAttribute* InsertExpression(const char16_t* name, const char16_t* text)
    {
        formula::SFormulaStatus status;
        auto definition = formula::CExpressionDefinition::Create(table, text, status);
        EXPECT_TRUE(definition);
        auto command = std::make_shared<CInsertAttributeCommand>(&table, name, std::move(definition));
        EXPECT_TRUE(History(table).Submit(command));
        return command->GetInsertedAttribute();
    }
    // "name=v1,v2,...;" for each derived attribute in the table, record by record.
    std::string Derived()
    {
        std::string out;
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            if (!attribute->IsDerived())
                continue;
            out += platform::ToUtf8(attribute->GetName()) + "=";
            for (long i = 0; i < table.GetRecordCount(); ++i)
                out += (i ? "," : "") + platform::ToUtf8(attribute->GetFieldText(table.GetRecord(i)));
            out += ";";
        }
        return out;
    }
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

TEST_F(DerivedHistory, InsertingUndoesAndRedoesWithTheSameAttributeAndValues)
{
    CAttribute* label = InsertExpression(u"label", u"[City] + \"/\" + [Kind]");
    ASSERT_TRUE(label);
    std::vector<formula::CValueRange> classes;
    classes.emplace_back(&table, kind, formula::RANGE_EQUAL, u"a", u"first");
    classes.emplace_back(&table, kind, formula::RANGE_ALWAYS, u"", u"other");
    ASSERT_TRUE(History(table).Submit(std::make_shared<CInsertAttributeCommand>(
        &table, u"class", std::make_unique<formula::CClassificationDefinition>(kind, classes))));
    const std::string both = "label=Bern/a,Basel/b,Zürich/a,Bern/c,Genf/b;class=first,other,first,other,other;";
    EXPECT_EQ(Derived(), both);
    EXPECT_EQ(UndoRedo(table), "Attribut 'label' einfügen, Attribut 'class' einfügen |");
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(Derived(), "label=Bern/a,Basel/b,Zürich/a,Bern/c,Genf/b;");
    EXPECT_EQ(table.FindAttribute(u"class"), nullptr);
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(Derived(), "");
    ASSERT_TRUE(History(table).Redo());
    EXPECT_EQ(table.FindAttribute(u"label"), label);
    ASSERT_TRUE(History(table).Redo());
    EXPECT_EQ(Derived(), both);
    EXPECT_EQ(table.GetAttributeCount(), 4);
    // The table goes with an attribute taken out by an undo.
    ASSERT_TRUE(History(table).Undo());
}

TEST_F(DerivedHistory, EveryStepLeavesTheDerivedValuesOfItsPoint)
{
    InsertExpression(u"label", u"[City] + [Kind]");
    ASSERT_TRUE(History(table).Submit(
        std::make_shared<CInsertAttributeCommand>(&table, u"count", std::make_unique<CQualifiedCount>())));
    const std::string start = Derived();
    EXPECT_EQ(start, "label=Berna,Baselb,Züricha,Bernc,Genfb;count=5,5,5,5,5;");
    ASSERT_TRUE(SubmitZoom(kind, {u"a", u"c"}));
    const std::string zoomed = Derived();
    EXPECT_EQ(zoomed, "label=Berna,Baselb,Züricha,Bernc,Genfb;count=3,3,3,3,3;");
    Select(city, {u"Bern"});
    ASSERT_TRUE(History(table).Submit(CDeleteRecordsCommand::Create(&table)));
    const std::string deleted = Derived();
    EXPECT_EQ(deleted, "label=Baselb,Züricha,Genfb;count=1,1,1;");
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(Derived(), zoomed);
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Derived(), start);
    ASSERT_TRUE(History(table).GoForward());
    EXPECT_EQ(Derived(), zoomed);
    ASSERT_TRUE(History(table).Redo());
    EXPECT_EQ(Derived(), deleted);
    // Records added recompute what is derived from them.
    ASSERT_TRUE(History(table).Submit(CInsertRecordsCommand::Create(&table, false, 1)));
    EXPECT_EQ(Derived(), "label=Baselb,Züricha,Genfb,;count=1,1,1,1;");
}

TEST_F(DerivedHistory, ARestrictedDerivedAttributeKeepsItsValuesUntilReleased)
{
    CAttribute* mark = InsertExpression(u"mark", u"[Kind] + \"!\"");
    ASSERT_TRUE(SubmitZoom(mark, {u"a!", u"c!"}));
    ASSERT_TRUE(History(table).Submit(CInsertRecordsCommand::Create(&table, false, 1)));
    EXPECT_TRUE(mark->GetDerivedState().m_bOutdated);
    EXPECT_EQ(Derived(), "mark=a!,b!,a!,c!,b!,;"); // the new record has no value yet
    ASSERT_TRUE(SubmitZoomOut(mark));
    EXPECT_FALSE(mark->GetDerivedState().m_bOutdated);
    EXPECT_EQ(Derived(), "mark=a!,b!,a!,c!,b!,!;");
}

TEST_F(DerivedHistory, RedefiningIntoACycleIsRefusedAndLeavesTheTable)
{
    CAttribute* a = InsertExpression(u"a", u"[City] + \"1\"");
    InsertExpression(u"b", u"[a] + \"2\"");
    const std::string before = Derived();
    const std::string lists = UndoRedo(table);
    const size_t messages = table.GetMessageLog().size();
    formula::SFormulaStatus status;
    EXPECT_FALSE(History(table).Submit(std::make_shared<CRedefineAttributeCommand>(
        &table, a, formula::CExpressionDefinition::Create(table, u"[b] + \"3\"", status))));
    ASSERT_EQ(table.GetMessageLog().size(), messages + 1);
    EXPECT_NE(table.GetMessageLog().back().find(u"'a'"), KString::npos);
    EXPECT_EQ(a->GetDefinition()->GetDescription(), u"[City] + \"1\"");
    EXPECT_EQ(Derived(), before);
    EXPECT_EQ(UndoRedo(table), lists);
    // A redefinition that is no cycle recomputes the attribute and what derives from it, and undoes.
    ASSERT_TRUE(History(table).Submit(std::make_shared<CRedefineAttributeCommand>(
        &table, a, formula::CExpressionDefinition::Create(table, u"[Kind]", status))));
    EXPECT_EQ(Derived(), "a=a,b,a,c,b;b=a2,b2,a2,c2,b2;");
    ASSERT_TRUE(History(table).Undo());
    EXPECT_EQ(Derived(), before);
}

} // namespace
