// Attributes found by their uuid, and their permissions.

#include "ApiTestSupport.h"

using namespace apitest;

namespace
{

// Placement, names, tags, formats, headers, selection, modes, sizes and iteration are in cases/attributes.test.
TEST(AttributePropertyTest, FoundByItsUuidAndMadeWithItsSize)
{
    CTestTable table;
    CAttribute* a = nullptr;
    ASSERT_EQ(TableAddAttribute(table, &a, L"Umsatz", nullptr, nullptr, 0, 50), 0);
    const std::wstring uuid = Got(AttributeGetUuid, a);
    EXPECT_EQ(uuid.size(), 36u);
    CAttribute* found = nullptr;
    EXPECT_EQ(TableFindAttributeByUuid(table, uuid.c_str(), &found), 0);
    EXPECT_EQ(found, a);
    EXPECT_GE(Got(AttributeGetMaxSize, a), 50);
}

TEST(AttributePropertyTest, PermissionsDefaultToAllowedAndAreKeptEachOnItsOwn)
{
    using Get = uint16_t (*)(CAttribute*, bool*);
    using Set = uint16_t (*)(CAttribute*, bool);
    const std::vector<std::pair<Get, Set>> permissions = {
        {AttributeGetAllowEdit, AttributeSetAllowEdit},
        {AttributeGetAllowRename, AttributeSetAllowRename},
        {AttributeGetAllowDelete, AttributeSetAllowDelete},
        {AttributeGetAllowChangeFormat, AttributeSetAllowChangeFormat},
        {AttributeGetAllowMove, AttributeSetAllowMove},
        {AttributeGetAllowRedefine, AttributeSetAllowRedefine},
        {AttributeGetAllowEditComment, AttributeSetAllowEditComment},
    };
    CTestTable table;
    CAttribute* a = table.Add(L"A");
    for (size_t i = 0; i < permissions.size(); ++i)
    {
        EXPECT_TRUE(Got(permissions[i].first, a)) << i;
        EXPECT_EQ(permissions[i].second(a, false), 0);
        for (size_t j = 0; j < permissions.size(); ++j)
            EXPECT_EQ(Got(permissions[j].first, a), j > i) << i << " " << j;
    }
}

} // namespace
