// The insertion-ordered pointer set.

#include "engine/Set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace
{

// Members are addresses inside this array; Render shows them as their offsets, in order: "3 1 4".
int g_aItems[100000];

const void* Item(int i)
{
    return &g_aItems[i];
}

std::string Render(const CSet& set)
{
    std::string text;
    for (long i = 0; i < set.GetCount(); ++i)
    {
        if (i > 0)
            text += ' ';
        text += std::to_string(static_cast<const int*>(set.GetAt(i)) - g_aItems);
    }
    return text;
}

} // namespace

// Order, duplicates and removal at every position are checked against a shadow under random changes below; here
// the edges that random changes do not reach.
TEST(StorageSet, EmptySetNullPointersAndNonMembers)
{
    CSet set;
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_EQ(set.GetHead(), nullptr);
    EXPECT_EQ(set.GetTail(), nullptr);
    EXPECT_EQ(set.GetAt(0), nullptr);
    EXPECT_FALSE(set.AddTail(nullptr));
    EXPECT_FALSE(set.AddHead(nullptr));
    EXPECT_TRUE(set.AddTail(Item(3)));
    EXPECT_TRUE(set.AddHead(Item(7)));
    EXPECT_FALSE(set.Find(nullptr));
    EXPECT_FALSE(set.Remove(Item(4)));
    EXPECT_EQ(Render(set), "7 3");
    EXPECT_TRUE(set.Remove(Item(7)));
    EXPECT_TRUE(set.Remove(Item(3)));
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_EQ(set.GetHead(), nullptr);
    EXPECT_TRUE(set.ValidateFull());
    EXPECT_TRUE(set.AddTail(Item(5)));
    EXPECT_EQ(Render(set), "5");
}

TEST(StorageSet, ForceAddTailSkipsTheTestAndRemoveTakesOneOccurrence)
{
    CSet set(4);
    set.ForceAddTail(Item(1));
    set.ForceAddTail(Item(2));
    set.ForceAddTail(Item(1));
    set.ForceAddTail(nullptr);
    EXPECT_EQ(set.GetCount(), 3);
    EXPECT_EQ(Render(set), "1 2 1");
    EXPECT_TRUE(set.Remove(Item(1)));
    EXPECT_EQ(set.GetCount(), 2);
    EXPECT_TRUE(set.Find(Item(1)));
    EXPECT_TRUE(set.Remove(Item(1)));
    EXPECT_FALSE(set.Find(Item(1)));
    EXPECT_EQ(Render(set), "2");
    EXPECT_TRUE(set.ValidateFull());
}

TEST(StorageSet, CopySubsetAndEquality)
{
    CSet a;
    CSet b(100);
    for (int i : {5, 1, 9})
        a.AddTail(Item(i));
    for (int i : {9, 5, 1, 2})
        b.AddTail(Item(i));
    EXPECT_TRUE(a.IsSubset(b));
    EXPECT_FALSE(b.IsSubset(a));
    EXPECT_FALSE(CSet::Equal(a, b));
    EXPECT_TRUE(CSet().IsSubset(a));
    b.Remove(Item(2));
    EXPECT_TRUE(CSet::Equal(a, b));
    EXPECT_TRUE(CSet::Equal(b, a));
    EXPECT_TRUE(CSet::Equal(CSet(), CSet(10)));

    // Same count, different members.
    b.Remove(Item(1));
    b.AddTail(Item(3));
    EXPECT_FALSE(CSet::Equal(a, b));

    CSet copy;
    copy.AddTail(Item(42));
    copy.Copy(b);
    EXPECT_EQ(Render(copy), "9 5 3");
    EXPECT_FALSE(copy.Find(Item(42)));
    EXPECT_TRUE(CSet::Equal(copy, b));
    EXPECT_TRUE(copy.ValidateFull());

    CSet moved(std::move(copy));
    EXPECT_EQ(Render(moved), "9 5 3");
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(copy.Validate());
    moved.RemoveAll();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_FALSE(moved.Find(Item(9)));
    EXPECT_TRUE(moved.ValidateFull());
}

TEST(StorageSet, AgreesWithAShadowUnderRandomChanges)
{
    std::mt19937 random(99);
    std::uniform_int_distribution<int> item(0, 99999);
    std::uniform_int_distribution<int> action(0, 9);
    CSet set;
    std::vector<const void*> vShadow;
    std::unordered_set<const void*> shadowMembers;
    for (int step = 0; step < 60000; ++step)
    {
        const void* p = Item(item(random));
        const int nAction = action(random);
        if (nAction < 5)
        {
            const bool bNew = shadowMembers.insert(p).second;
            ASSERT_EQ(set.AddTail(p), bNew);
            if (bNew)
                vShadow.push_back(p);
        }
        else if (nAction < 6)
        {
            const bool bNew = shadowMembers.insert(p).second;
            ASSERT_EQ(set.AddHead(p), bNew);
            if (bNew)
                vShadow.insert(vShadow.begin(), p);
        }
        else if (!vShadow.empty())
        {
            // Remove a member picked from the shadow, so that removals hit head, middle and tail.
            const size_t nAt = std::uniform_int_distribution<size_t>(0, vShadow.size() - 1)(random);
            const void* pMember = vShadow[nAt];
            ASSERT_TRUE(set.Remove(pMember));
            vShadow.erase(vShadow.begin() + static_cast<long>(nAt));
            shadowMembers.erase(pMember);
        }
        if (step % 5000 == 0)
        {
            ASSERT_TRUE(set.ValidateFull());
            ASSERT_EQ(set.GetCount(), static_cast<long>(vShadow.size()));
            for (size_t i = 0; i < vShadow.size(); ++i)
                ASSERT_EQ(set.GetAt(static_cast<long>(i)), vShadow[i]);
        }
    }
    ASSERT_EQ(set.GetCount(), static_cast<long>(vShadow.size()));
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(set.Find(Item(i)), shadowMembers.count(Item(i)) == 1);
    EXPECT_EQ(set.GetHead(), vShadow.empty() ? nullptr : vShadow.front());
    EXPECT_EQ(set.GetTail(), vShadow.empty() ? nullptr : vShadow.back());
    EXPECT_TRUE(set.ValidateFull());
}
