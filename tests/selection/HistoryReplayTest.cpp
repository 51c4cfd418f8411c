// Going back from a checkpoint against going back by a full reset and replay: the same sequences of zooms,
// hiding of refused records, resets and history moves on two copies of a table, one with checkpoints and one
// without, must leave the same qualified and shown records, the same restriction lists and the same histories
// after every step.

#include "HistoryTestSupport.h"

#include "selection/RecordCommands.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
struct STableCopy
{
    explicit STableCopy(bool fast)
    {
        std::mt19937 random(7); // the same data in both copies
        std::vector<std::u16string> city, kind, amount;
        for (int i = 0; i < 300; ++i)
        {
            city.push_back(u"c" + platform::FromUtf8(std::to_string(random() % 6)));
            kind.push_back(u"k" + platform::FromUtf8(std::to_string(random() % 4)));
            amount.push_back(platform::FromUtf8(std::to_string(random() % 20)));
        }
        attributes.push_back(AddColumn(table, u"City", city));
        attributes.push_back(AddColumn(table, u"Kind", kind));
        attributes.push_back(AddColumn(table, u"Amount", amount));
        EXPECT_TRUE(attributes[2]->SetFormat(u"####"));
        table.AnalyzeTable();
        History(table).SetFastReplay(fast);
    }
    CTable table;
    std::vector<CAttribute*> attributes;
};

std::string State(STableCopy& copy)
{
    return RecordStates(copy.table) + "\n" + RenderRestrictions(copy.table) + "\n" + BackForward(copy.table);
}

// One step, the same on both copies: a zoom of some kind, a reset, or a move through the history.
std::string Step(STableCopy& copy, std::mt19937& random)
{
    const int op = static_cast<int>(random() % 18);
    CAttribute* attribute = copy.attributes[random() % 3];
    const auto value = [&](CAttribute* a) { return a->GetValue(static_cast<long>(random() % a->GetNrOfValues())); };
    CCommandHistory& history = History(copy.table);
    switch (op)
    {
    case 0:
    case 1:
    case 2:
    {
        auto values = std::make_unique<CSet>();
        const int n = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < n; ++i)
        {
            const char16_t* v = value(attribute);
            if (!values->Find(v))
                values->AddTail(v);
        }
        history.Submit(CSetAttributeCommand::MakeValueSet(attribute, std::move(values), false));
        return "zoom";
    }
    case 3:
    {
        auto values = std::make_unique<CSet>();
        values->AddTail(value(attribute));
        history.Submit(CSetAttributeCommand::MakeValueSet(attribute, std::move(values), true));
        return "exclude";
    }
    case 4:
    {
        CAttribute* other = copy.attributes[(copy.attributes[0] == attribute ? 1 : 0)];
        Sel(copy.table).DeselectAllValues();
        Sel(attribute).SelectValue(value(attribute), nullptr, true);
        Sel(other).SelectValue(value(other), nullptr, true);
        Sel(copy.table).ZoomIn();
        return "disjunction";
    }
    case 5:
        history.Submit(CSetAttributeCommand::MakeRelease(attribute));
        return "zoom out";
    case 6:
    {
        const long low = static_cast<long>(random() % 10);
        history.Submit(CSetAttributeCommand::MakeRange(copy.attributes[2], platform::FromUtf8(std::to_string(low)),
                                                       platform::FromUtf8(std::to_string(low + 8)), random() % 2));
        return "range";
    }
    case 7:
        if (random() % 3 == 0)
            Sel(copy.table).SubmitReset();
        return "reset";
    case 8:
    case 9:
    case 10:
    case 11:
        history.GoBack();
        return "back";
    case 12:
        history.GoForward();
        return "forward";
    case 13:
        history.JumpBack(1 + static_cast<long>(random() % 3));
        return "jump back";
    case 14:
        if (random() % 3 == 0)
            history.Rewind();
        return "rewind";
    case 16:
        history.Submit(std::make_shared<CHideRecordsCommand>(&copy.table));
        return "hide refused";
    case 17:
        history.Submit(std::make_shared<CToggleAutoHideRecordsCommand>(&copy.table));
        return "auto-hide";
    default:
        history.FastForward();
        return "fast forward";
    }
}
} // namespace

TEST(HistoryReplay, GoingBackFromCheckpointsEqualsAFullReplay)
{
    for (unsigned seed = 1; seed <= 12; ++seed)
    {
        STableCopy fast(true);
        STableCopy full(false);
        std::mt19937 randomFast(seed);
        std::mt19937 randomFull(seed);
        for (int step = 0; step < 120; ++step)
        {
            const std::string op = Step(fast, randomFast);
            Step(full, randomFull);
            ASSERT_EQ(State(fast), State(full)) << "seed " << seed << " step " << step << " (" << op << ")";
        }
        // The checkpoints saved work: the fast copy executed fewer commands again.
        EXPECT_LT(History(fast.table).GetReplayedCount(), History(full.table).GetReplayedCount()) << seed;
    }
}

TEST(HistoryReplay, GoingBackOneStepReplaysNothingWhenTheStepBeforeWasKept)
{
    STableCopy fast(true);
    STableCopy full(false);
    for (STableCopy* copy : {&fast, &full})
    {
        for (int i = 0; i < 10; ++i)
        {
            CAttribute* attribute = copy->attributes[i % 3];
            auto values = std::make_unique<CSet>();
            values->AddTail(attribute->GetValue(i % 3));
            ASSERT_TRUE(History(copy->table).Submit(CSetAttributeCommand::MakeValueSet(attribute, std::move(values), true)));
        }
        ASSERT_TRUE(History(copy->table).GoBack());
    }
    EXPECT_EQ(History(fast.table).GetReplayedCount(), 0);
    EXPECT_EQ(History(full.table).GetReplayedCount(), 9);
    EXPECT_EQ(State(fast), State(full));
    // After data change the kept states go stale: the replay runs in full again.
    fast.table.AddRecord();
    full.table.AddRecord();
    ASSERT_TRUE(History(fast.table).GoBack());
    ASSERT_TRUE(History(full.table).GoBack());
    EXPECT_EQ(History(fast.table).GetReplayedCount(), 8);
    EXPECT_EQ(State(fast), State(full));
}
