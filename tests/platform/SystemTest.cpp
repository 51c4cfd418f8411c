#include "platform/System.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <unordered_set>

using namespace platform;

namespace
{

bool IsHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
}

// Canonical lower-case form 8-4-4-4-12 of a random (version 4, RFC 4122 variant) uuid.
bool IsCanonicalRandomUuid(const KString& uuid)
{
    if (uuid.size() != 36)
        return false;
    for (size_t i = 0; i < uuid.size(); ++i)
    {
        const bool bHyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (bHyphen ? uuid[i] != u'-' : !IsHex(uuid[i]))
            return false;
    }
    return uuid[14] == u'4' && (uuid[19] == u'8' || uuid[19] == u'9' || uuid[19] == u'a' || uuid[19] == u'b');
}

} // namespace

TEST(System, UuidsAreCanonicalAndDistinct)
{
    std::unordered_set<KString> seen;
    for (int i = 0; i < 10000; ++i)
    {
        const KString uuid = NewUuid();
        ASSERT_TRUE(IsCanonicalRandomUuid(uuid)) << ToUtf8(uuid);
        ASSERT_TRUE(seen.insert(uuid).second) << "repeated " << ToUtf8(uuid);
    }
    EXPECT_FALSE(IsCanonicalRandomUuid(u"{" + NewUuid().substr(1) + u"}"));
}

TEST(System, TicksAreMonotonic)
{
    uint64_t previous = GetTickCountMs();
    for (int i = 0; i < 100000; ++i)
    {
        const uint64_t now = GetTickCountMs();
        ASSERT_GE(now, previous);
        previous = now;
    }
    const uint64_t before = GetTickCountMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint64_t after = GetTickCountMs();
    EXPECT_GE(after - before, 25u);
    EXPECT_LT(after - before, 5000u);
}

TEST(System, HostName)
{
    const KString name = GetComputerName();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find(u'\0'), KString::npos);
}
