// The text pool of an attribute and the hash from value text to value index.

#include "engine/ValueHashTable.h"
#include "engine/ValueStore.h"
#include "tests/engine/StorageTestSupport.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <vector>

namespace
{

// The key texts of a hash under test, by index; Store registers the text and stores it.
class CTestKeys final : public CValueHashTable::IKeySource
{
public:
    const char16_t* GetKey(long index) const override { return m_keys.at(index); }
    void Store(CValueHashTable& tree, const char16_t* key, long index)
    {
        m_keys[index] = key;
        tree.Store(index);
    }

private:
    std::map<long, const char16_t*> m_keys;
};

// The room a value store's block has beyond the space it hands out.
constexpr size_t kRoomAfter = CValueStore::s_nReadableAfterTexts * sizeof(char16_t);

KString Numbered(long i)
{
    return u"value " + platform::ToKString(i);
}

// The index stored for key, or -1 when the tree does not find it.
long Find(const CValueHashTable& tree, KStringView key)
{
    long index = -1;
    return tree.Lookup(key, &index) ? index : -1;
}

// An allocator with a value store on it.
class StorageValueStore : public ::testing::Test
{
protected:
    CTableAllocator allocator;
    CValueStore store{allocator};
};

// And an empty hash over keys registered in keys.
class StorageValueHashTable : public StorageValueStore
{
protected:
    CTestKeys keys;
    CValueHashTable tree{allocator, keys, 0};
};

} // namespace

TEST_F(StorageValueStore, StoresTerminatedCopiesAndCountsThem)
{
    const KString text = u"Zürich";
    const char16_t* pStored = store.AllocateValue(text);
    EXPECT_NE(pStored, text.data());
    EXPECT_EQ(KStringView(pStored), text);
    const char16_t* pEmpty = store.AllocateValue(KStringView());
    EXPECT_EQ(pEmpty[0], u'\0');
    // A view into a longer text is copied only as far as the view goes.
    const KString longer = u"abcdef";
    EXPECT_EQ(KStringView(store.AllocateValue(KStringView(longer).substr(1, 3))), u"bcd");
    EXPECT_EQ(store.GetValueCount(), 3);
    EXPECT_EQ(store.GetUsedBytes(), (7u + 1u + 4u) * sizeof(char16_t));
    EXPECT_EQ(store.GetAllocatedBytes(), CValueStore::s_nBlockBytes + kRoomAfter);
    EXPECT_EQ(allocator.GetAllocatedBytes(), CValueStore::s_nBlockBytes + kRoomAfter + 16);
    EXPECT_TRUE(store.Validate());

    store.FreeMemory();
    EXPECT_EQ(store.GetValueCount(), 0);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
    EXPECT_TRUE(store.Validate());
}

TEST_F(StorageValueStore, TextsThatMayBeReadAheadAreCopiedInStepsAndTheRestStaysZero)
{
    // Texts of 0 to 70 units one after the other, as a scan leaves them, then room that may be read.
    KString buffer;
    std::vector<std::pair<size_t, size_t>> cells;
    for (int round = 0; round < 40; ++round)
    {
        for (size_t n = 0; n <= 70; ++n)
        {
            cells.emplace_back(buffer.size(), n);
            for (size_t i = 0; i < n; ++i)
                buffer += static_cast<char16_t>(u'a' + (i + n) % 26);
        }
    }
    buffer.append(CValueStore::s_nCopyUnits, u'#');
    std::vector<const char16_t*> stored;
    for (const auto& [at, n] : cells)
        stored.push_back(store.AllocateValue(platform::CPaddedText(KStringView(buffer).substr(at, n),
                                                                   platform::CTextPadding(CValueStore::s_nCopyUnits))));
    ASSERT_GT(store.GetBlockCount(), 3); // the steps meet the ends of blocks too
    size_t units = 0;
    for (size_t i = 0; i < cells.size(); ++i)
    {
        ASSERT_EQ(KStringView(stored[i]), KStringView(buffer).substr(cells[i].first, cells[i].second)) << i;
        units += cells[i].second + 1;
    }
    EXPECT_EQ(store.GetValueCount(), static_cast<long>(cells.size()));
    EXPECT_EQ(store.GetUsedBytes(), units * sizeof(char16_t));
    // What the steps copied beyond the last text is zero again: the next space handed out is.
    const char16_t* space = store.AllocateSpace(CValueStore::s_nCopyUnits);
    for (size_t i = 0; i < CValueStore::s_nCopyUnits; ++i)
        EXPECT_EQ(space[i], 0) << i;
    EXPECT_TRUE(store.Validate());
}

TEST_F(StorageValueStore, StartsANewBlockWhenARequestDoesNotFit)
{
    // 999 characters and the terminator take 2000 bytes: exactly ten to a block.
    std::vector<std::pair<const char16_t*, KString>> vStored;
    for (int i = 0; i < 25; ++i)
    {
        const KString text = KString(999, static_cast<char16_t>(u'a' + i));
        vStored.emplace_back(store.AllocateValue(text), text);
        EXPECT_EQ(store.GetBlockCount(), i / 10 + 1) << i;
    }
    for (const auto& [pStored, text] : vStored)
        EXPECT_EQ(KStringView(pStored), text);

    // Space is handed out in 2-byte units; one that no longer fits leaves the rest of the block unused.
    char16_t* pSmall = store.AllocateSpace(1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pSmall) % 2, 0u);
    char16_t* pLarge = store.AllocateSpace(9000);
    EXPECT_EQ(store.GetBlockCount(), 4);
    EXPECT_EQ(pLarge[0], 0);
    EXPECT_EQ(pLarge[8999], 0);
    EXPECT_EQ(store.GetValueCount(), 25);
    EXPECT_TRUE(store.Validate());
}

TEST_F(StorageValueStore, TextsUpToABlockAreKeptLongerOnesBecomeEmpty)
{
    store.AllocateValue(u"x");
    // 9999 characters and the terminator fill a fresh block exactly.
    const KString fits = KString(9999, u'q');
    const char16_t* pFits = store.AllocateValue(fits);
    EXPECT_EQ(KStringView(pFits), fits);
    EXPECT_EQ(store.GetBlockCount(), 2);
    // 10000 characters cannot be stored: the empty text takes their place.
    const char16_t* pTooLong = store.AllocateValue(KString(10000, u'r'));
    EXPECT_EQ(KStringView(pTooLong), u"");
    EXPECT_EQ(store.GetValueCount(), 3);
    EXPECT_EQ(store.GetBlockCount(), 3);

    // Raw space larger than a block gets a block of its own.
    char16_t* pHuge = store.AllocateSpace(30000);
    pHuge[29999] = u'z';
    EXPECT_EQ(store.GetAllocatedBytes(), 3 * CValueStore::s_nBlockBytes + 60000 + 4 * kRoomAfter);
    store.AllocateSpace(1);
    EXPECT_EQ(store.GetBlockCount(), 5);
    // A request no block can hold fails as memory exhaustion and changes nothing.
    EXPECT_THROW(store.AllocateSpace(LONG_MAX), COutOfMemoryException);
    EXPECT_EQ(store.GetBlockCount(), 5);
    EXPECT_TRUE(store.Validate());
}

TEST_F(StorageValueStore, CheckpointFreesLaterBlocksAndClearsReusedSpace)
{
    const char16_t* pKept = store.AllocateValue(u"kept");
    store.CreateCheckpoint();
    const size_t nUsed = store.GetUsedBytes();
    for (int i = 0; i < 30; ++i)
        store.AllocateValue(KString(1500, u'w'));
    EXPECT_GT(store.GetBlockCount(), 1);

    store.RestoreCheckpoint();
    EXPECT_EQ(store.GetBlockCount(), 1);
    EXPECT_EQ(store.GetValueCount(), 1);
    EXPECT_EQ(store.GetUsedBytes(), nUsed);
    EXPECT_EQ(allocator.GetAllocatedBytes(), CValueStore::s_nBlockBytes + kRoomAfter + 16);
    EXPECT_EQ(KStringView(pKept), u"kept");
    EXPECT_TRUE(store.Validate());

    // Space after the checkpoint position is handed out again, zero-filled like fresh space.
    char16_t* pAgain = store.AllocateSpace(1500);
    EXPECT_EQ(pAgain, pKept + 5);
    for (int i = 0; i < 1500; ++i)
        ASSERT_EQ(pAgain[i], 0) << i;

    // A checkpoint taken on an empty store frees everything; without a checkpoint nothing happens.
    CValueStore empty(allocator);
    empty.CreateCheckpoint();
    empty.AllocateValue(u"gone");
    empty.RestoreCheckpoint();
    EXPECT_EQ(empty.GetBlockCount(), 0);
    EXPECT_EQ(empty.GetValueCount(), 0);
    empty.DeleteCheckpoint();
    empty.AllocateValue(u"stays");
    empty.RestoreCheckpoint();
    EXPECT_EQ(empty.GetValueCount(), 1);
    EXPECT_TRUE(empty.Validate());
}

TEST_F(StorageValueStore, FailedBlockAllocationLeavesTheStoreUnchanged)
{
    store.AllocateValue(KString(9000, u'a'));
    const long nBlocks = store.GetBlockCount();
    const size_t nUsed = store.GetUsedBytes();
    const int nFailures = RunFailureLoop([&] { store.AllocateValue(KString(2000, u'b')); },
                                         [&]
                                         {
                                             EXPECT_EQ(store.GetBlockCount(), nBlocks);
                                             EXPECT_EQ(store.GetUsedBytes(), nUsed);
                                             EXPECT_EQ(store.GetValueCount(), 1);
                                             EXPECT_EQ(allocator.GetReserveBytes(), 0u);
                                             EXPECT_TRUE(store.Validate());
                                             allocator.RefillReserve();
                                         });
    EXPECT_EQ(nFailures, 1);
    EXPECT_EQ(store.GetValueCount(), 2);
    EXPECT_EQ(allocator.GetReserveBytes(), CTableAllocator::s_nReserveBytes);
}

TEST_F(StorageValueHashTable, ReadAheadHashesAlikeAndTheTreeStaysAtMostHalfFull)
{
    // A key whose next units may be read too hashes alike at every length, whatever follows it.
    KString cells;
    for (int i = 0; i < 60; ++i)
        cells += static_cast<char16_t>(i % 3 ? 0xFFFF - i : 0x30 + i);
    for (size_t length = 0; length + 3 <= cells.size(); ++length)
        EXPECT_EQ(
            CValueHashTable::HashKey(platform::CPaddedText(KStringView(cells).substr(7, length), platform::CTextPadding(3))),
            CValueHashTable::HashKey(KStringView(cells).substr(7, length)))
            << "length " << length;

    // A tree made for n keys holds them at most half full; a temporary one gives its slots back.
    const size_t nBytes = allocator.GetAllocatedBytes(); // the slots of the fixture's tree
    EXPECT_GE(CValueHashTable(allocator, keys, 1025).GetSlotCount(), 2050u);
    EXPECT_EQ(allocator.GetAllocatedBytes(), nBytes);

    // Growing keeps the tree at most half full and every key findable.
    for (long i = 0; i < 5000; ++i)
    {
        keys.Store(tree, store.AllocateValue(Numbered(i)), i);
        ASSERT_GE(tree.GetSlotCount(), static_cast<size_t>(i + 1) * 2);
    }
    EXPECT_TRUE(tree.ValidateFull());
    for (long i = 0; i < 5000; ++i)
        ASSERT_EQ(Find(tree, Numbered(i)), i);
}

TEST_F(StorageValueHashTable, StoresLooksUpAndOverwritesInCollidingBuckets)
{

    // "aB" and "b!" have the same hash (97*33+66 == 98*33+33), as do all texts built from those pairs:
    // they all want one slot and make a long probe run from there.
    std::vector<const char16_t*> vColliding;
    for (int bits = 0; bits < 32; ++bits)
    {
        KString text;
        for (int k = 0; k < 5; ++k)
            text += (bits >> k & 1) != 0 ? u"aB" : u"b!";
        vColliding.push_back(store.AllocateValue(text));
    }
    const uint32_t nHash = CValueHashTable::HashKey(vColliding[0]);
    for (const char16_t* pKey : vColliding)
        ASSERT_EQ(CValueHashTable::HashKey(pKey), nHash);
    std::mt19937 random(7);
    std::vector<size_t> vOrder(vColliding.size());
    for (size_t i = 0; i < vOrder.size(); ++i)
        vOrder[i] = i;
    std::shuffle(vOrder.begin(), vOrder.end(), random);
    for (size_t i : vOrder)
        keys.Store(tree, vColliding[i], static_cast<long>(i));
    EXPECT_EQ(tree.GetCount(), 32);

    // Plus many ordinary keys over the other slots.
    for (long i = 0; i < 3000; ++i)
        keys.Store(tree, store.AllocateValue(Numbered(i)), 1000 + i);
    EXPECT_EQ(tree.GetCount(), 3032);
    EXPECT_TRUE(tree.ValidateFull());

    for (size_t i = 0; i < vColliding.size(); ++i)
        EXPECT_EQ(Find(tree, vColliding[i]), static_cast<long>(i));
    for (long i = 0; i < 3000; ++i)
    {
        EXPECT_EQ(Find(tree, Numbered(i)), 1000 + i);
    }
    EXPECT_FALSE(tree.Lookup(u"aBaBaBaBaBaB", nullptr));
    EXPECT_FALSE(tree.Lookup(u"value 3000", nullptr));

    // An equal key from elsewhere replaces pointer and index; the count stays.
    const char16_t* pCopy = store.AllocateValue(vColliding[5]);
    keys.Store(tree, pCopy, 4711);
    EXPECT_EQ(Find(tree, vColliding[5]), 4711);
    EXPECT_EQ(tree.GetCount(), 3032);
    EXPECT_TRUE(tree.ValidateFull());
}

TEST_F(StorageValueHashTable, LooksUpByViewComparingLengthAndCodeUnitsOrdinally)
{
    const char16_t* aKeys[] = {u"", u"abc", u"ab", u"abd", u"ABC", u"\u00E9t\u00E9", u"\xD83D\xDE00", u"\xFFFF"};
    for (size_t i = 0; i < std::size(aKeys); ++i)
        keys.Store(tree, store.AllocateValue(aKeys[i]), static_cast<long>(i));
    EXPECT_TRUE(tree.ValidateFull());

    // A view into a longer, unterminated text finds the key of exactly that length.
    const KString haystack = u"xxabcdxx";
    EXPECT_EQ(Find(tree, KStringView(haystack).substr(2, 3)), 1);
    EXPECT_EQ(Find(tree, KStringView(haystack).substr(2, 2)), 2);
    EXPECT_EQ(Find(tree, KStringView(haystack).substr(0, 0)), 0);
    EXPECT_FALSE(tree.Lookup(KStringView(haystack).substr(2, 4), nullptr));
    EXPECT_FALSE(tree.Lookup(u"a", nullptr));
    EXPECT_FALSE(tree.Lookup(u"Abc", nullptr));                   // no case folding
    EXPECT_FALSE(tree.Lookup(KStringView(u"abc\0", 4), nullptr)); // a terminator inside the view is a character
    EXPECT_EQ(Find(tree, u"\xD83D\xDE00"), 6);
}

TEST_F(StorageValueHashTable, KeysThatMayBeReadAheadAreComparedInSteps)
{
    // Keys in a value store (which has room after every text) of a source that says so, looked up as views
    // into a buffer with room after them: the comparison goes eight units at a time.
    class CStoredKeys final : public CValueHashTable::IKeySource
    {
    public:
        const char16_t* GetKey(long index) const override { return m_keys.at(static_cast<size_t>(index)); }
        size_t GetReadableAfterKeys() const override { return CValueStore::s_nReadableAfterTexts; }
        std::vector<const char16_t*> m_keys;
    } stored;
    CValueHashTable steps(allocator, stored, 0);
    auto add = [&](const KString& key)
    {
        stored.m_keys.push_back(store.AllocateValue(key));
        steps.Store(static_cast<long>(stored.m_keys.size()) - 1);
    };
    KString cells; // the texts looked up, one after the other
    auto find = [&](const KString& key)
    {
        cells = key + KString(CValueHashTable::kCompareUnits, u'~');
        long index = -1;
        return steps.Lookup(platform::CPaddedText(KStringView(cells).substr(0, key.size()),
                                                  platform::CTextPadding(CValueHashTable::kCompareUnits)),
                            CValueHashTable::HashKey(key), &index)
                   ? index
                   : -1;
    };

    // P has the hash 2^27: after a run of P, "aB" and the single unit 97 * 33 + 66 have one hash, so texts of
    // different lengths that agree up to there meet in a comparison, the difference in any step.
    const KString p = {char16_t(3734), char16_t(26), char16_t(19), char16_t(29)};
    ASSERT_EQ(CValueHashTable::HashKey(p), 1u << 27);
    std::vector<std::pair<KString, KString>> pairs;
    KString run;
    for (int k = 0; k <= 5; ++k, run += p)
    {
        for (const KString& tail : {KString(), KString(u"xyz"), KString(u"0123456789")})
        {
            pairs.emplace_back(run + u"aB" + tail, run + KString(1, char16_t(97 * 33 + 66)) + tail);
            // and the pairs "aB" / "b!" of one hash and one length, the difference at the end
            pairs.emplace_back(run + tail + u"aBaB", run + tail + u"aBb!");
        }
    }
    // And a text that begins another one of its hash (P's hash makes it hold after any run of P): the
    // shorter is not the longer, the terminator must be where the shorter ends.
    const KString prefix = {3, 10, 24, 24};
    const KString longer = prefix + KString{3, 33, 28};
    run.clear();
    for (int k = 0; k <= 5; ++k, run += p)
    {
        pairs.emplace_back(run + longer, run + prefix);
    }
    for (const auto& [first, second] : pairs)
    {
        ASSERT_EQ(CValueHashTable::HashKey(first), CValueHashTable::HashKey(second));
        add(first);
    }
    for (size_t i = 0; i < pairs.size(); ++i)
    {
        EXPECT_EQ(find(pairs[i].first), static_cast<long>(i)) << i;
        EXPECT_EQ(find(pairs[i].second), -1) << i;
    }
    // Texts of every length up to three steps: found, and not found one unit shorter or longer (the stored text
    // ending within the view's step, or the view within the stored text's).
    for (size_t length = 0; length <= 3 * CValueHashTable::kCompareUnits; ++length)
        add(KString(length, u'q') + u"!");
    for (size_t length = 0; length <= 3 * CValueHashTable::kCompareUnits; ++length)
    {
        EXPECT_EQ(find(KString(length, u'q') + u"!"), static_cast<long>(pairs.size() + length)) << length;
        EXPECT_EQ(find(KString(length, u'q')), -1) << length;
    }
    EXPECT_TRUE(steps.ValidateFull());
}

TEST_F(StorageValueHashTable, RemoveAllForgetsEveryKey)
{
    for (long nKeys : {5L, 400L})
    {
        SCOPED_TRACE(nKeys); // a small tree, then the same one again, grown
        for (long i = 0; i < nKeys; ++i)
            keys.Store(tree, store.AllocateValue(Numbered(i)), i);
        tree.RemoveAll();
        EXPECT_EQ(tree.GetCount(), 0);
        EXPECT_TRUE(tree.ValidateFull());
        for (long i = 0; i < nKeys; ++i)
            ASSERT_FALSE(tree.Lookup(Numbered(i), nullptr));
        keys.Store(tree, store.AllocateValue(u"again"), 3);
        EXPECT_EQ(Find(tree, u"again"), 3);
        EXPECT_TRUE(tree.ValidateFull());
    }
}

TEST_F(StorageValueHashTable, FailedStoreLeavesTheTreeUnchanged)
{
    std::vector<const char16_t*> vKeys;
    for (long i = 0; i < 1100; ++i)
        vKeys.push_back(store.AllocateValue(Numbered(i)));
    // 1024 keys fill 2048 slots to the half; the 1025th needs a larger slot array.
    for (long i = 0; i < 1024; ++i)
        keys.Store(tree, vKeys[static_cast<size_t>(i)], i);
    int nFailures = 0;
    for (long i = 1024; i < 1100; ++i)
    {
        const size_t nSlots = tree.GetSlotCount();
        nFailures += RunFailureLoop([&] { keys.Store(tree, vKeys[static_cast<size_t>(i)], i); },
                                    [&]
                                    {
                                        EXPECT_EQ(tree.GetCount(), i);
                                        EXPECT_EQ(tree.GetSlotCount(), nSlots);
                                        EXPECT_FALSE(tree.Lookup(vKeys[static_cast<size_t>(i)], nullptr));
                                        EXPECT_TRUE(tree.ValidateFull());
                                        allocator.RefillReserve();
                                    });
    }
    EXPECT_GE(nFailures, 1);
    EXPECT_EQ(tree.GetCount(), 1100);
    for (long i = 0; i < 1100; ++i)
        ASSERT_EQ(Find(tree, vKeys[static_cast<size_t>(i)]), i);
}
