// Making attributes and headers, their placement in the tree, their properties, kinds and permissions, and
// iteration over the attribute list.

#include "ApiTestSupport.h"

using namespace apitest;

namespace
{

TEST(AttributePlacementTest, InsertsAfterThePredecessorAndIndentsBelowHeadersInThePath)
{
    CTestTable table;
    CAttribute* key = table.Add(L"Kennung");
    CAttribute* region = table.AddHeader(L"Region", key);
    CAttribute* city = table.AddHeader(L"Stadt", region);
    CAttribute* inhabitants = table.Add(L"Einwohner", city);
    table.Add(L"Fläche", inhabitants);
    EXPECT_EQ(table.Layout(), L"Kennung Region >Stadt >>Einwohner >>Fläche");
    EXPECT_EQ(Got(AttributeGetPathName, key), L"Kennung");
    EXPECT_EQ(Got(AttributeGetPathName, inhabitants), L"Region\\Stadt\\Einwohner");

    // Inserted in the middle: right after its predecessor.
    table.Add(L"Land", region);
    EXPECT_EQ(table.Layout(), L"Kennung Region >Land >Stadt >>Einwohner >>Fläche");

    // A header at indent 1: 0 levels to close gives indent 2, 3 levels to close indent 0 (never below).
    table.Add(L"Tief", city, 0);
    table.Add(L"Oben", city, 3);
    EXPECT_EQ(table.Layout(), L"Kennung Region >Land >Stadt Oben >>Tief >>Einwohner >>Fläche");

    // Closing one level after a deep attribute.
    CAttribute* last = nullptr;
    ASSERT_EQ(TableGetAttribute(table, 7, &last), 0);
    table.Add(L"Ende", last, 1);
    EXPECT_EQ(table.Layout(), L"Kennung Region >Land >Stadt Oben >>Tief >>Einwohner >>Fläche >Ende");
}

TEST(AttributePlacementTest, PredecessorOfAnotherTableOrNoneAppends)
{
    CTestTable table;
    CTestTable other;
    CAttribute* foreign = other.AddHeader(L"Fremd");
    table.Add(L"A");
    table.Add(L"B", foreign);
    table.Add(L"C"); // no predecessor: after the last one
    EXPECT_EQ(table.Layout(), L"A B C");
}

TEST(AttributePlacementTest, EmptyNamesNegativeLevelsAndUnknownFormats)
{
    CTestTable table;
    CAttribute* unnamed = table.Add(L"");
    EXPECT_EQ(NameOf(unnamed), L"???");
    CAttribute* nullName = nullptr;
    ASSERT_EQ(TableAddAttribute(table, &nullName, nullptr, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(NameOf(nullName), L"???");

    CAttribute* refused = reinterpret_cast<CAttribute*>(1);
    EXPECT_EQ(Outcome([&] { return TableAddAttribute(table, &refused, L"X", nullptr, nullptr, -1, 0); }),
              Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(TableAddAttribute(table, &refused, L"X", nullptr, nullptr, 0, -5), 26);
    EXPECT_EQ(TableAddHeader(table, &refused, L"H", nullptr, -1, true), 26);
    EXPECT_EQ(table.Layout(), L"??? ???");

    // An unknown format leaves the attribute text, flags it unclear, names the problem, and still succeeds.
    ASSERT_EQ(TableGetRecordCount(nullptr, nullptr), 3);
    CAttribute* unclear = nullptr;
    EXPECT_EQ(TableAddAttribute(table, &unclear, L"Unklar", nullptr, L"no such format", 0, 0), 0);
    EXPECT_EQ(LastError(), L"API_ILLEGAL_FORMAT");
    ASSERT_NE(unclear, nullptr);
    EXPECT_TRUE(Got(AttributeGetUnclearFormat, unclear));
    EXPECT_EQ(Got(AttributeGetType, unclear), L"STRING");
    EXPECT_EQ(Got(AttributeGetFormat, unclear), L"");

    CAttribute* number = table.Add(L"Zahl", L"####");
    EXPECT_FALSE(Got(AttributeGetUnclearFormat, number));
    EXPECT_EQ(Got(AttributeGetType, number), L"INTEGER");
    EXPECT_EQ(Got(AttributeGetFormat, number), L"####");
    CAttribute* text = table.Add(L"Text", L"String");
    EXPECT_EQ(Got(AttributeGetType, text), L"STRING");
}

TEST(AttributePropertyTest, IdentityAndTexts)
{
    CTestTable table;
    CAttribute* a = table.Add(L"Umsatz");

    EXPECT_EQ(AttributeSetName(a, L"Erlös"), 0);
    EXPECT_EQ(NameOf(a), L"Erlös");
    EXPECT_EQ(Outcome([&] { return AttributeSetName(a, L""); }), Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(AttributeSetName(a, nullptr), 26);
    EXPECT_EQ(NameOf(a), L"Erlös");

    EXPECT_EQ(Got(AttributeGetImportName, a), L"Umsatz"); // the name it was made with

    const std::wstring uuid = Got(AttributeGetUuid, a);
    EXPECT_EQ(uuid.size(), 36u);
    CAttribute* found = nullptr;
    EXPECT_EQ(TableFindAttributeByUuid(table, uuid.c_str(), &found), 0);
    EXPECT_EQ(found, a);
    EXPECT_EQ(Got(AttributeGetFormulaDefinition, a), L"");
}

TEST(AttributePropertyTest, TagDictionary)
{
    CTestTable table;
    CAttribute* a = table.Add(L"A");
    wchar_t* value = nullptr;
    EXPECT_EQ(AttributeGetTag(a, L"quelle", &value), 0);
    EXPECT_EQ(Take(value), L"");
    EXPECT_EQ(AttributeSetTag(a, L"quelle", L"ERP"), 0);
    EXPECT_EQ(AttributeSetTag(a, L"einheit", L"kg"), 0);
    EXPECT_EQ(AttributeGetTag(a, L"quelle", &value), 0);
    EXPECT_EQ(Take(value), L"ERP");
    EXPECT_EQ(AttributeSetTag(a, L"quelle", L""), 0); // removes it
    EXPECT_EQ(AttributeGetTag(a, L"quelle", &value), 0);
    EXPECT_EQ(Take(value), L"");
    EXPECT_EQ(AttributeGetTag(a, L"einheit", &value), 0);
    EXPECT_EQ(Take(value), L"kg");
    EXPECT_EQ(Outcome([&] { return AttributeSetTag(a, nullptr, L"x"); }), Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
}

TEST(AttributePropertyTest, FormatsAndTypes)
{
    CTestTable table;
    CAttribute* a = table.Add(L"A");
    EXPECT_EQ(Got(AttributeGetType, a), L"STRING");
    EXPECT_EQ(AttributeSetFormat(a, L"####."), 0);
    EXPECT_EQ(Got(AttributeGetType, a), L"DOUBLE");
    EXPECT_EQ(Got(AttributeGetFormat, a), L"####.");

    // An unknown format gives 18 and leaves the attribute as it was.
    EXPECT_EQ(Outcome([&] { return AttributeSetFormat(a, L"kein Format"); }), Failure(18, L"API_ILLEGAL_FORMAT"));
    EXPECT_EQ(Got(AttributeGetFormat, a), L"####.");
    EXPECT_FALSE(Got(AttributeGetUnclearFormat, a));

    EXPECT_EQ(AttributeSetFormat(a, nullptr), 0);
    EXPECT_EQ(Got(AttributeGetType, a), L"STRING");
    EXPECT_EQ(AttributeSetUnclearFormat(a, true), 0);
    EXPECT_TRUE(Got(AttributeGetUnclearFormat, a));
}

TEST(AttributePropertyTest, HeadersLinesHiddenAndShown)
{
    CTestTable table;
    CAttribute* key = table.Add(L"Kennung");
    CAttribute* header = table.AddHeader(L"Gruppe", key, 0, false);
    CAttribute* child = table.Add(L"Kind", header);
    CAttribute* after = table.Add(L"Danach", child, 1);

    EXPECT_FALSE(Got(AttributeHeaderGetOpen, header));
    EXPECT_EQ(AttributeHeaderSetOpen(header, true), 0);
    EXPECT_TRUE(Got(AttributeHeaderGetOpen, header));
    EXPECT_FALSE(Got(AttributeHeaderGetOpen, key)); // only headers are open
    EXPECT_EQ(Outcome([&] { return AttributeHeaderSetOpen(key, true); }), Failure(14, L"API_NOT_A_HEADER"));

    EXPECT_EQ(Got(AttributeGetIndent, child), 1);
    EXPECT_EQ(Got(AttributeGetNrOfLines, key), 1);
    EXPECT_EQ(AttributeSetNrOfLines(key, 3), 0);
    EXPECT_EQ(Got(AttributeGetNrOfLines, key), 3);
    EXPECT_EQ(Outcome([&] { return AttributeSetNrOfLines(key, 0); }), Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
    EXPECT_EQ(Got(AttributeGetNrOfLines, key), 3);

    // Hiding a header hides its subtree and no more.
    EXPECT_EQ(AttributeSetHidden(header, true), 0);
    EXPECT_TRUE(Got(AttributeGetHidden, header));
    EXPECT_TRUE(Got(AttributeGetHidden, child));
    EXPECT_FALSE(Got(AttributeGetShown, child));
    EXPECT_FALSE(Got(AttributeGetHidden, after));
    EXPECT_TRUE(Got(AttributeGetShown, after));
    EXPECT_EQ(AttributeSetHidden(header, false), 0);
    EXPECT_FALSE(Got(AttributeGetHidden, child));
    EXPECT_TRUE(Got(AttributeGetShown, child));

    EXPECT_EQ(AttributeSetShown(after, false), 0);
    EXPECT_FALSE(Got(AttributeGetShown, after));
    EXPECT_FALSE(Got(AttributeGetHidden, after));
}

TEST(AttributePropertyTest, SelectionSortingCouplingAndColours)
{
    CTestTable table;
    CAttribute* a = table.Add(L"A");
    CAttribute* b = table.Add(L"B");
    CRecord* record = table.AddRecord();
    table.Set(a, record, L"rot");
    ASSERT_EQ(TableRefresh(table), 0);

    CAttribute* selected = reinterpret_cast<CAttribute*>(1);
    EXPECT_EQ(TableGetSelectedAttribute(table, &selected), 0);
    EXPECT_EQ(selected, nullptr);
    EXPECT_EQ(AttributeSetSelected(b, true), 0);
    EXPECT_TRUE(Got(AttributeGetSelected, b));
    EXPECT_FALSE(Got(AttributeGetSelected, a));
    EXPECT_EQ(TableGetSelectedAttribute(table, &selected), 0);
    EXPECT_EQ(selected, b);
    EXPECT_EQ(AttributeSetSelected(b, false), 0);
    EXPECT_FALSE(Got(AttributeGetSelected, b));

    bool sorted = true;
    bool reverse = true;
    EXPECT_EQ(AttributeGetSorted(a, &sorted, &reverse), 0);
    EXPECT_FALSE(sorted);
    EXPECT_FALSE(reverse);

    CAttribute* leader = a;
    bool coupled = true;
    EXPECT_EQ(AttributeGetCoupledBlockLeader(a, &leader, &coupled), 0);
    EXPECT_EQ(leader, nullptr);
    EXPECT_FALSE(coupled);

    EXPECT_FALSE(Got(AttributeGetColored, a));
    uint32_t colour = 7;
    EXPECT_EQ(Outcome([&] { return AttributeGetColor(a, L"blau", &colour); }), Failure(29, L"API_VALUE_NOT_FOUND"));
    EXPECT_EQ(Outcome([&] { return AttributeGetColor(a, L"rot", &colour); }),
              Failure(28, L"API_CANNOT_EXECUTE_FUNCTION"));
}

TEST(AttributePropertyTest, EvalModesAreNumberedByTheInterface)
{
    CTestTable table;
    CAttribute* a = table.Add(L"A");
    EXPECT_EQ(Got(AttributeGetEvalMode, a), 1); // automatic
    for (int32_t mode : {0, 1, 2, 3, 4})
    {
        EXPECT_EQ(AttributeSetEvalMode(a, mode), 0);
        EXPECT_EQ(Got(AttributeGetEvalMode, a), mode);
    }
    EXPECT_EQ(AttributeSetEvalMode(a, 9), 0); // any other value means automatic
    EXPECT_EQ(Got(AttributeGetEvalMode, a), 1);
    EXPECT_EQ(AttributeSetEvalMode(a, -1), 0);
    EXPECT_EQ(Got(AttributeGetEvalMode, a), 1);

    EXPECT_FALSE(Got(AttributeGetRegardUndefinedAsZero, a));
    EXPECT_EQ(AttributeSetRegardUndefinedAsZero(a, true), 0);
    EXPECT_TRUE(Got(AttributeGetRegardUndefinedAsZero, a));
}

TEST(AttributePropertyTest, MaximalSizeOnlyGrows)
{
    CTestTable table;
    CAttribute* a = nullptr;
    ASSERT_EQ(TableAddAttribute(table, &a, L"A", nullptr, nullptr, 0, 50), 0);
    EXPECT_GE(Got(AttributeGetMaxSize, a), 50);
    EXPECT_EQ(AttributeSetMaxSize(a, 5000), 0);
    EXPECT_EQ(Got(AttributeGetMaxSize, a), 5000);
    EXPECT_EQ(AttributeSetMaxSize(a, 10), 0);
    EXPECT_EQ(Got(AttributeGetMaxSize, a), 5000);
    EXPECT_EQ(Outcome([&] { return AttributeSetMaxSize(a, -1); }), Failure(26, L"API_ILLEGAL_ARGUMENT_VALUE"));
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
    // Inspect-definition is read from its flag only for derived attributes: a normal one always allows it.
    EXPECT_EQ(AttributeSetAllowInspectDefinition(a, false), 0);
    EXPECT_TRUE(Got(AttributeGetAllowInspectDefinition, a));
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

TEST(AttributeIterationTest, WalksAllOrOnlyLeafAttributes)
{
    CTestTable table;
    auto walk = [&](uint16_t (*next)(CTableFrame*, CPosition*, CAttribute**))
    {
        CPosition* position = nullptr;
        EXPECT_EQ(TableStartAttributes(table, &position), 0);
        std::wstring names;
        CAttribute* attribute = nullptr;
        while (next(table, position, &attribute) == 0 && attribute)
            names += NameOf(attribute) + L";";
        // At the end the cursor stays at the end.
        EXPECT_EQ(next(table, position, &attribute), 0);
        EXPECT_EQ(attribute, nullptr);
        EXPECT_EQ(TableFinishAttributes(table, position), 0);
        return names;
    };
    EXPECT_EQ(walk(TableNextLeafAttribute), L""); // an empty table
    CAttribute* key = table.Add(L"Kennung");
    CAttribute* header = table.AddHeader(L"Gruppe", key);
    table.Add(L"Kind", header);
    table.AddHeader(L"Leer", nullptr, 1);
    EXPECT_EQ(walk(TableNextAttribute), L"Kennung;Gruppe;Kind;Leer;");
    EXPECT_EQ(walk(TableNextLeafAttribute), L"Kennung;Kind;");
}

} // namespace
