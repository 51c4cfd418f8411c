// Attributes found by their uuid, their permissions and their kinds.

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

TEST(AttributeKindTest, NormalAttributesAndHeaders)
{
    CTestTable table;
    CAttribute* normal = table.Add(L"A");
    CAttribute* header = table.AddHeader(L"H");
    CRecord* record = table.AddRecord();
    table.Set(normal, record, L"|x|y|");
    ASSERT_EQ(TableRefresh(table), 0);

    using Query = uint16_t (*)(CAttribute*, bool*);
    struct SKind
    {
        const char* m_pName;
        Query m_query;
        bool m_bNormal;
        bool m_bHeader;
    };
    const SKind kinds[] = {
        {"IsHeader", AttributeIsHeader, false, true},
        {"IsNormal", AttributeIsNormal, true, false},
        {"IsSummary", AttributeIsSummary, false, false},
        {"IsExpression", AttributeIsExpression, false, false},
        {"IsLink", AttributeIsLink, false, false},
        {"IsClassification", AttributeIsClassification, false, false},
        {"IsCaseDiscrimination", AttributeIsCaseDiscrimination, false, false},
        {"IsDrillDown", AttributeIsDrillDown, false, false},
        {"IsDerived", AttributeIsDerived, false, false},
        {"IsDimension", AttributeIsDimension, false, false},
        {"IsAnalysisGroup", AttributeIsAnalysisGroup, false, false},
        {"HasMultipleValues", AttributeHasMultipleValues, true, false},
        {"IsRestricted", AttributeIsRestricted, false, false},
    };
    for (const SKind& kind : kinds)
    {
        EXPECT_EQ(Got(kind.m_query, normal), kind.m_bNormal) << kind.m_pName;
        EXPECT_EQ(Got(kind.m_query, header), kind.m_bHeader) << kind.m_pName;
    }
}

} // namespace
