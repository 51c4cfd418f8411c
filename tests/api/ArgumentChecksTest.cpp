// Every function refuses bad handles and out-parameters with its status and symbolic last-error message, checks
// its arguments in the interface's order, and never crashes.

#include "ApiTestSupport.h"

#include <functional>
#include <tuple>
#include <type_traits>

using namespace apitest;

namespace
{

// One call of the interface, parameterised by the handle under test.
template <class T> struct SCall
{
    const char* m_pName;
    std::function<uint16_t(T)> m_call;
};

// Calls whose only other argument is a value, an out-parameter of their own, or nothing.
template <class T, class V> SCall<T> Setter(const char* name, uint16_t (*fn)(T, V), std::type_identity_t<V> value)
{
    return {name, [fn, value](T handle) { return fn(handle, value); }};
}
template <class T, class O> SCall<T> Getter(const char* name, uint16_t (*fn)(T, O*))
{
    return {name, [fn](T handle)
            {
                O out{};
                return fn(handle, &out);
            }};
}
template <class T> SCall<T> Action(const char* name, uint16_t (*fn)(T))
{
    return {name, fn};
}
template <class T, class... TMore> std::vector<SCall<T>> Calls(SCall<T> first, TMore... more)
{
    return {std::move(first), std::move(more)...};
}
#define SETTER(fn, value) Setter(#fn, fn, value)
#define GETTER(fn) Getter(#fn, fn)
#define ACTION(fn) Action(#fn, fn)

// A call that takes a frame, an attribute and a record, each where the function has one.
using SValueCall = SCall<std::tuple<CTableFrame*, CAttribute*, CRecord*>>;
#define VALUE_CALL(fn, ...) SValueCall{#fn, [&](auto h) { auto [f, a, r] = h; return fn(f, a, r, __VA_ARGS__); }}

// A table with one attribute, one header and one record, and room for every out-parameter.
class ArgumentChecksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pAttribute = m_table.Add(L"Kennung");
        m_pHeader = m_table.AddHeader(L"Gruppe");
        m_pRecord = m_table.AddRecord();
        m_table.Set(m_pAttribute, m_pRecord, L"1");
        ASSERT_EQ(TableRefresh(m_table), 0);
    }

    // Every function that takes a frame, an attribute and a record, with valid other arguments.
    std::vector<SValueCall> ValueCalls()
    {
        return {
            VALUE_CALL(TableSetValue, const_cast<wchar_t*>(L"v"), false),
            VALUE_CALL(TableSetDoubleValue, 1.5),
            VALUE_CALL(TableSetIntValue, 7),
            VALUE_CALL(TableSetDATEValue, 36526),
            VALUE_CALL(TableSetDateValue, 2000, 1, 1),
            VALUE_CALL(TableSetTimeValue, 1, 2, 3),
            VALUE_CALL(TableSetDateTimeValue, 2000, 1, 1, 1, 2, 3),
            VALUE_CALL(TableSetTimeSpanValue, 1, 2, 3, 4),
            VALUE_CALL(TableGetValue, &m_pText),
            VALUE_CALL(TableGetDoubleValue, &m_dNumber),
            VALUE_CALL(TableGetIntValue, &m_nInt64),
            VALUE_CALL(TableGetDATEValue, &m_dNumber),
            VALUE_CALL(TableGetDateTimeValue, &m_nInt, &m_nInt, &m_nInt, &m_nInt, &m_nInt, &m_nInt),
            VALUE_CALL(TableGetDateValue, &m_nInt, &m_nInt, &m_nInt),
            VALUE_CALL(TableGetTimeValue, &m_nInt, &m_nInt, &m_nInt),
            VALUE_CALL(TableGetTimeSpanValue, &m_nShort, &m_dNumber, &m_nInt, &m_nInt),
        };
    }

    // Every function that takes a frame first, called with valid other arguments (the value functions too).
    std::vector<SCall<CTableFrame*>> FrameCalls()
    {
        CRecord* r = m_pRecord;
        std::vector<SCall<CTableFrame*>> calls = Calls(
            ACTION(TableDestroy), ACTION(TableRefresh), ACTION(TableClear), ACTION(TableRemoveFormatWarnings),
            SETTER(TableSetMaxSize, 10), GETTER(TableGetMaxSize), GETTER(TableGetName), GETTER(TableGetDirectory),
            GETTER(TableGetAttributeCount), GETTER(TableGetLeafAttributeCount), GETTER(TableGetRecordCount),
            GETTER(TableGetQualifiedRecordCount), GETTER(TableGetSelectedRecordCount),
            GETTER(TableGetSelectedAttribute), GETTER(TableGetKeyAttribute), SETTER(TableSetModified, true),
            GETTER(TableGetModified), SETTER(TableSetApplicationName, L"Host"), GETTER(TableGetApplicationName),
            GETTER(TableGetProductVersion), GETTER(TableGetDocumentVersion), GETTER(TableGetTypeLibraryVersion),
            GETTER(TableGetParentQtxFileName), SETTER(TableSetParentQtxFileName, L"p.qtx"),
            GETTER(TableGetImportFileName), SETTER(TableSetImportFileName, L"i.txt"), GETTER(TableGetWorkingDirectory),
            SETTER(TableSetWorkingDirectory, L"/tmp"), SETTER(TableSetImportDelimiter, L';'),
            GETTER(TableGetImportDelimiter), SETTER(TableSetImportQuote, L'\''), GETTER(TableGetImportQuote),
            SETTER(TableSetImportAttributeNames, true), GETTER(TableGetImportAttributeNames),
            SETTER(TableSetImportAttributeLine, 1), GETTER(TableGetImportAttributeLine),
            SETTER(TableSetImportDataLine, 2), GETTER(TableGetImportDataLine), SETTER(TableSetImportMaxRecords, -1),
            GETTER(TableGetImportMaxRecords), SETTER(TableSetImportEncoding, 1), GETTER(TableGetImportEncoding),
            SETTER(TableSetImportCodePage, 1252), GETTER(TableGetImportCodePage),
            SETTER(TableSetImportTransposed, true), GETTER(TableGetImportTransposed),
            SETTER(TableSetExportDelimiter, L','), GETTER(TableGetExportDelimiter), SETTER(TableSetExportQuote, L'"'),
            GETTER(TableGetExportQuote), SETTER(TableSetExportEncoding, 1), GETTER(TableGetExportEncoding),
            SETTER(TableSetExportCodePage, 1252), GETTER(TableGetExportCodePage),
            SETTER(TableSetExportUseImportNames, true), GETTER(TableGetExportUseImportNames),
            SETTER(TableSetWriteVendrathFormat, true), GETTER(TableGetWriteVendrathFormat),
            SETTER(TableSetWriteOEMFormat, true), GETTER(TableGetWriteOEMFormat), SETTER(TableSetAllowEditValues, true),
            GETTER(TableGetAllowEditValues), ACTION(DisableAllowEditValues),
            SETTER(TableSetAllowInspectDefinitionOfDerivedAttributes, true), GETTER(TableAddRecord),
            ACTION(TableDeleteAllRecords), GETTER(TableStartAttributes), GETTER(TableStartAllRecords));
        calls.insert(
            calls.end(),
            {
                {"TableRegisterCallbacks", [this](CTableFrame* f) { return TableRegisterCallbacks(f, &m_callback); }},
                {"TableReleaseCallbacks", [this](CTableFrame* f) { return TableReleaseCallbacks(f, &m_callback); }},
                {"TableGetAttribute", [this](CTableFrame* f) { return TableGetAttribute(f, 0, &m_pOut); }},
                {"TableFindAttribute", [this](CTableFrame* f) { return TableFindAttribute(f, L"Kennung", &m_pOut); }},
                {"TableFindAttributeByUuid",
                 [this](CTableFrame* f) { return TableFindAttributeByUuid(f, L"x", &m_pOut); }},
                {"TableAddAttribute",
                 [this](CTableFrame* f) { return TableAddAttribute(f, &m_pOut, L"X", nullptr, nullptr, 0, 1); }},
                {"TableAddHeader",
                 [this](CTableFrame* f) { return TableAddHeader(f, &m_pOut, L"H", nullptr, 0, true); }},
                {"TableDeleteRecord", [r](CTableFrame* f) { return TableDeleteRecord(f, r); }},
                {"TableGetRecordByKeyValue",
                 [this](CTableFrame* f) { return TableGetRecordByKeyValue(f, L"1", &m_pRecordOut); }},
                {"TableNextAttribute", [this](CTableFrame* f) { return TableNextAttribute(f, m_pPosition, &m_pOut); }},
                {"TableNextLeafAttribute",
                 [this](CTableFrame* f) { return TableNextLeafAttribute(f, m_pPosition, &m_pOut); }},
                {"TableFinishAttributes", [this](CTableFrame* f) { return TableFinishAttributes(f, m_pPosition); }},
                {"TableAllRecordsNext",
                 [this](CTableFrame* f) { return TableAllRecordsNext(f, m_pCounter, &m_pRecordOut); }},
                {"TableAllRecordsFinish", [this](CTableFrame* f) { return TableAllRecordsFinish(f, m_pCounter); }},
            });
        for (const SValueCall& call : ValueCalls())
            calls.push_back({call.m_pName, [this, call](CTableFrame* f)
                             { return call.m_call({f, m_pAttribute, m_pRecord}); }});
        return calls;
    }

    // Every function that takes an attribute first (or an attribute after a valid frame), with valid other arguments.
    std::vector<SCall<CAttribute*>> AttributeCalls()
    {
        std::vector<SCall<CAttribute*>> calls =
            Calls(GETTER(AttributeGetName), SETTER(AttributeSetName, L"N"), GETTER(AttributeGetImportName),
                  SETTER(AttributeSetImportName, L"N"), GETTER(AttributeGetImportIndex),
                  SETTER(AttributeSetImportIndex, 1), GETTER(AttributeGetUuid), GETTER(AttributeGetValueListTitle),
                  SETTER(AttributeSetValueListTitle, L"T"), GETTER(AttributeGetPathName), GETTER(AttributeGetComment),
                  SETTER(AttributeSetComment, L"c"), GETTER(AttributeGetFormulaDefinition), GETTER(AttributeGetType),
                  GETTER(AttributeGetFormat), SETTER(AttributeSetFormat, L""), GETTER(AttributeGetUnclearFormat),
                  SETTER(AttributeSetUnclearFormat, false), GETTER(AttributeHeaderGetOpen),
                  SETTER(AttributeHeaderSetOpen, true), GETTER(AttributeGetIndent), GETTER(AttributeGetNrOfLines),
                  SETTER(AttributeSetNrOfLines, 2), GETTER(AttributeGetHidden), SETTER(AttributeSetHidden, false),
                  GETTER(AttributeGetShown), SETTER(AttributeSetShown, true), GETTER(AttributeGetSelected),
                  SETTER(AttributeSetSelected, false), GETTER(AttributeGetEvalMode), SETTER(AttributeSetEvalMode, 1),
                  GETTER(AttributeGetRegardUndefinedAsZero), SETTER(AttributeSetRegardUndefinedAsZero, true),
                  GETTER(AttributeGetMaxSize), SETTER(AttributeSetMaxSize, 10), GETTER(AttributeGetColored),
                  GETTER(AttributeGetAllowEdit), SETTER(AttributeSetAllowEdit, true),
                  GETTER(AttributeGetAllowInspectDefinition), SETTER(AttributeSetAllowEditComment, true),
                  GETTER(AttributeIsHeader), GETTER(AttributeIsNormal), GETTER(AttributeIsDrillDown),
                  GETTER(AttributeIsAnalysisGroup), GETTER(AttributeHasMultipleValues), GETTER(AttributeIsRestricted));
        calls.insert(
            calls.end(),
            {
                {"TableGetDoubleValue(text)",
                 [this](CAttribute* a) { return TableGetDoubleValue(a, L"1", &m_dNumber); }},
                {"TableGetIntValue(text)", [this](CAttribute* a) { return TableGetIntValue(a, L"1", &m_nInt64); }},
                {"TableGetDATEValue(text)", [this](CAttribute* a) { return TableGetDATEValue(a, L"1", &m_dNumber); }},
                {"AttributeGetTag", [this](CAttribute* a) { return AttributeGetTag(a, L"k", &m_pText); }},
                {"AttributeSetTag", [](CAttribute* a) { return AttributeSetTag(a, L"k", L"v"); }},
                {"AttributeGetSorted", [this](CAttribute* a) { return AttributeGetSorted(a, &m_bFlag, &m_bFlag); }},
                {"AttributeGetCoupledBlockLeader",
                 [this](CAttribute* a) { return AttributeGetCoupledBlockLeader(a, &m_pOut, &m_bFlag); }},
                {"AttributeGetColor", [this](CAttribute* a) { return AttributeGetColor(a, L"1", &m_nColor); }},
            });
        for (const SValueCall& call : ValueCalls())
            calls.push_back({call.m_pName, [this, call](CAttribute* a)
                             { return call.m_call({m_table, a, m_pRecord}); }});
        return calls;
    }

    class CSilentCallback : public TableCallback
    {
    };

    CTestTable m_table;
    CAttribute* m_pAttribute = nullptr;
    CAttribute* m_pHeader = nullptr;
    CRecord* m_pRecord = nullptr;
    CSilentCallback m_callback;
    // out-parameters
    wchar_t* m_pText = nullptr;
    int32_t m_nInt = 0;
    int64_t m_nInt64 = 0;
    int16_t m_nShort = 0;
    double m_dNumber = 0;
    bool m_bFlag = false;
    uint32_t m_nColor = 0;
    CAttribute* m_pOut = nullptr;
    CRecord* m_pRecordOut = nullptr;
    CPosition* m_pPosition = nullptr;
    int32_t* m_pCounter = nullptr;
};

TEST_F(ArgumentChecksTest, NullFrameGivesStatus3ForEveryFunction)
{
    for (const auto& call : FrameCalls())
        EXPECT_EQ(Outcome([&] { return call.m_call(nullptr); }), Failure(3, L"API_ILLEGAL_TABLE_ARGUMENT"))
            << call.m_pName;
}

TEST_F(ArgumentChecksTest, DestroyedFrameGivesStatus3ForEveryFunction)
{
    CTableFrame* destroyed = nullptr;
    ASSERT_EQ(CreateNewTable(&destroyed, nullptr, nullptr, 0, 0, 0, 0), 0);
    ASSERT_EQ(TableDestroy(destroyed), 0);
    for (const auto& call : FrameCalls())
        EXPECT_EQ(Outcome([&] { return call.m_call(destroyed); }), Failure(3, L"API_ILLEGAL_TABLE_ARGUMENT"))
            << call.m_pName;
}

TEST_F(ArgumentChecksTest, NullDeletedAndForeignAttributesGiveStatus4)
{
    CTestTable other;
    CAttribute* foreign = other.Add(L"Fremd");
    CTestTable cleared;
    CAttribute* deleted = cleared.Add(L"Weg");
    ASSERT_EQ(TableClear(cleared), 0);

    for (const auto& call : AttributeCalls())
    {
        EXPECT_EQ(Outcome([&] { return call.m_call(nullptr); }), Failure(4, L"API_ILLEGAL_ATTRIBUTE_ARGUMENT"))
            << call.m_pName;
        EXPECT_EQ(Outcome([&] { return call.m_call(deleted); }), Failure(4, L"API_ILLEGAL_ATTRIBUTE_ARGUMENT"))
            << call.m_pName;
    }
    // An attribute of another table is refused where the frame is given.
    for (const SValueCall& call : ValueCalls())
        EXPECT_EQ(Outcome([&] { return call.m_call({m_table, foreign, m_pRecord}); }),
                  Failure(4, L"API_ILLEGAL_ATTRIBUTE_ARGUMENT"))
            << call.m_pName;
}

TEST_F(ArgumentChecksTest, NullRecordGivesStatus5)
{
    EXPECT_EQ(Outcome([&] { return TableDeleteRecord(m_table, nullptr); }), Failure(5, L"API_ILLEGAL_RECORD_ARGUMENT"));
    for (const SValueCall& call : ValueCalls())
        EXPECT_EQ(Outcome([&] { return call.m_call({m_table, m_pAttribute, nullptr}); }),
                  Failure(5, L"API_ILLEGAL_RECORD_ARGUMENT"))
            << call.m_pName;
}

TEST_F(ArgumentChecksTest, NullOutParameterGivesStatus17)
{
    CTableFrame* f = m_table;
    CAttribute* a = m_pAttribute;
    CRecord* r = m_pRecord;
    const std::vector<SCall<int>> calls = {
        {"CreateNewTable", [](int) { return CreateNewTable(nullptr, nullptr, nullptr, 0, 0, 0, 0); }},
        {"GetLanguage", [](int) { return GetLanguage(nullptr); }},
        {"TableGetMaxSize", [f](int) { return TableGetMaxSize(f, nullptr); }},
        {"TableGetName", [f](int) { return TableGetName(f, nullptr); }},
        {"TableGetRecordCount", [f](int) { return TableGetRecordCount(f, nullptr); }},
        {"TableGetAttribute", [f](int) { return TableGetAttribute(f, 0, nullptr); }},
        {"TableFindAttribute", [f](int) { return TableFindAttribute(f, L"Kennung", nullptr); }},
        {"TableGetModified", [f](int) { return TableGetModified(f, nullptr); }},
        {"TableGetImportDelimiter", [f](int) { return TableGetImportDelimiter(f, nullptr); }},
        {"TableGetAllowDefineCube", [f](int) { return TableGetAllowDefineCube(f, nullptr); }},
        {"TableAddAttribute", [f](int) { return TableAddAttribute(f, nullptr, L"X", nullptr, nullptr, 0, 1); }},
        {"TableAddHeader", [f](int) { return TableAddHeader(f, nullptr, L"H", nullptr, 0, true); }},
        {"TableAddRecord", [f](int) { return TableAddRecord(f, nullptr); }},
        {"TableGetRecordByKeyValue", [f](int) { return TableGetRecordByKeyValue(f, L"1", nullptr); }},
        {"TableGetValue", [f, a, r](int) { return TableGetValue(f, a, r, nullptr); }},
        {"TableGetDoubleValue", [f, a, r](int) { return TableGetDoubleValue(f, a, r, nullptr); }},
        {"TableGetIntValue", [f, a, r](int) { return TableGetIntValue(f, a, r, nullptr); }},
        {"TableGetDATEValue", [f, a, r](int) { return TableGetDATEValue(f, a, r, nullptr); }},
        {"TableGetDateTimeValue", [this, f, a, r](int)
         { return TableGetDateTimeValue(f, a, r, &m_nInt, &m_nInt, &m_nInt, &m_nInt, &m_nInt, nullptr); }},
        {"TableGetDateValue", [this, f, a, r](int) { return TableGetDateValue(f, a, r, nullptr, &m_nInt, &m_nInt); }},
        {"TableGetTimeValue", [this, f, a, r](int) { return TableGetTimeValue(f, a, r, &m_nInt, nullptr, &m_nInt); }},
        {"TableGetTimeSpanValue",
         [this, f, a, r](int) { return TableGetTimeSpanValue(f, a, r, nullptr, &m_dNumber, &m_nInt, &m_nInt); }},
        {"TableGetDoubleValue(text)", [a](int) { return TableGetDoubleValue(a, L"1", nullptr); }},
        {"TableGetIntValue(text)", [a](int) { return TableGetIntValue(a, L"1", nullptr); }},
        {"TableGetDATEValue(text)", [a](int) { return TableGetDATEValue(a, L"1", nullptr); }},
        {"TableStartAttributes", [f](int) { return TableStartAttributes(f, nullptr); }},
        {"TableStartAllRecords", [f](int) { return TableStartAllRecords(f, nullptr); }},
        {"AttributeGetName", [a](int) { return AttributeGetName(a, nullptr); }},
        {"AttributeGetTag", [a](int) { return AttributeGetTag(a, L"k", nullptr); }},
        {"AttributeGetSorted", [this, a](int) { return AttributeGetSorted(a, &m_bFlag, nullptr); }},
        {"AttributeGetCoupledBlockLeader",
         [this, a](int) { return AttributeGetCoupledBlockLeader(a, &m_pOut, nullptr); }},
        {"AttributeGetColor", [a](int) { return AttributeGetColor(a, L"1", nullptr); }},
        {"AttributeGetAllowMove", [a](int) { return AttributeGetAllowMove(a, nullptr); }},
        {"AttributeIsSummary", [a](int) { return AttributeIsSummary(a, nullptr); }},
    };
    for (const auto& call : calls)
        EXPECT_EQ(Outcome([&] { return call.m_call(0); }), Failure(17, L"API_ILLEGAL_RESULT_ARGUMENT")) << call.m_pName;
}

TEST_F(ArgumentChecksTest, ChecksComeInTheInterfaceOrder)
{
    // frame before attribute before record before out-parameter before the function's own rules
    EXPECT_EQ(Outcome([] { return TableGetValue(nullptr, nullptr, nullptr, nullptr); }),
              Failure(3, L"API_ILLEGAL_TABLE_ARGUMENT"));
    EXPECT_EQ(Outcome([&] { return TableGetValue(m_table, nullptr, nullptr, nullptr); }),
              Failure(4, L"API_ILLEGAL_ATTRIBUTE_ARGUMENT"));
    EXPECT_EQ(Outcome([&] { return TableGetValue(m_table, m_pAttribute, nullptr, nullptr); }),
              Failure(5, L"API_ILLEGAL_RECORD_ARGUMENT"));
    EXPECT_EQ(Outcome([&] { return TableGetValue(m_table, m_pAttribute, m_pRecord, nullptr); }),
              Failure(17, L"API_ILLEGAL_RESULT_ARGUMENT"));
    // A header refuses values (15), but only after the record was checked.
    EXPECT_EQ(Outcome([&] { return TableSetValue(m_table, m_pHeader, nullptr, nullptr, false); }),
              Failure(5, L"API_ILLEGAL_RECORD_ARGUMENT"));
    EXPECT_EQ(Outcome([&] { return TableSetDateValue(m_table, m_pHeader, m_pRecord, 2000, 13, 1); }),
              Failure(15, L"API_SETTING_VALUE_NOT_ALLOWED"));
    // An out-parameter comes before the value's range.
    EXPECT_EQ(Outcome([&] { return TableAddAttribute(m_table, nullptr, L"X", nullptr, nullptr, -1, 1); }),
              Failure(17, L"API_ILLEGAL_RESULT_ARGUMENT"));
    // A cursor is checked before the out-parameter.
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(m_table, nullptr, nullptr); }),
              Failure(7, L"API_ILLEGAL_POSITION_ARGUMENT"));
}

TEST_F(ArgumentChecksTest, SuccessLeavesTheLastErrorMessage)
{
    EXPECT_EQ(TableGetRecordCount(nullptr, &m_nInt), 3);
    EXPECT_EQ(TableGetRecordCount(m_table, &m_nInt), 0);
    EXPECT_EQ(LastError(), L"API_ILLEGAL_TABLE_ARGUMENT");
    EXPECT_EQ(AttributeGetIndent(nullptr, &m_nInt), 4);
    EXPECT_EQ(LastError(), L"API_ILLEGAL_ATTRIBUTE_ARGUMENT");
    EXPECT_EQ(LastError(), L"API_ILLEGAL_ATTRIBUTE_ARGUMENT"); // each call returns a new copy
}

TEST_F(ArgumentChecksTest, CursorsErrorObjectsKeyEventsAndCallbacks)
{
    CTableFrame* other = nullptr;
    ASSERT_EQ(CreateNewTable(&other, nullptr, nullptr, 0, 0, 0, 0), 0);
    CPosition* position = nullptr;
    ASSERT_EQ(TableStartAttributes(other, &position), 0);
    int32_t* counter = nullptr;
    ASSERT_EQ(TableStartAllRecords(other, &counter), 0);

    const SOutcome badPosition = Failure(7, L"API_ILLEGAL_POSITION_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(m_table, nullptr, &m_pOut); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableNextLeafAttribute(m_table, nullptr, &m_pOut); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableFinishAttributes(m_table, nullptr); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(m_table, nullptr, &m_pRecordOut); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsFinish(m_table, nullptr); }), badPosition);
    // Cursors of another frame, and a counter that is no cursor at all.
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(m_table, position, &m_pOut); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(m_table, counter, &m_pRecordOut); }), badPosition);
    int32_t notACursor = 0;
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(m_table, &notACursor, &m_pRecordOut); }), badPosition);
    // Finished cursors.
    ASSERT_EQ(TableFinishAttributes(other, position), 0);
    ASSERT_EQ(TableAllRecordsFinish(other, counter), 0);
    EXPECT_EQ(Outcome([&] { return TableFinishAttributes(other, position); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsFinish(other, counter); }), badPosition);
    // Destroying a frame finishes its cursors.
    ASSERT_EQ(TableStartAttributes(other, &position), 0);
    ASSERT_EQ(TableDestroy(other), 0);
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(m_table, position, &m_pOut); }), badPosition);

    const SOutcome badError = Failure(34, L"API_ILLEGAL_ERROR_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return ErrorGetCode(nullptr, &m_nInt); }), badError);
    EXPECT_EQ(Outcome([&] { return ErrorGetMessage(nullptr, &m_pText); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetMessage(nullptr, L"x"); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetReport(nullptr, false); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetType(nullptr, 4); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetSimulatedUserAction(nullptr, 6); }), badError);

    const SOutcome badKey = Failure(37, L"API_ILLEGAL_KEYEVENT_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return KeyEventGetShift(nullptr, &m_nInt); }), badKey);
    EXPECT_EQ(Outcome([&] { return KeyEventGetKeyCode(nullptr, &m_nInt); }), badKey);
    EXPECT_EQ(Outcome([] { return KeyEventSetKeyCode(nullptr, 13); }), badKey);
    EXPECT_EQ(Outcome([&] { return KeyPressEventGetCharCode(nullptr, &m_nInt); }), badKey);
    EXPECT_EQ(Outcome([] { return KeyPressEventSetCharCode(nullptr, 'a'); }), badKey);

    const SOutcome badCallback = Failure(6, L"API_ILLEGAL_CALLBACK_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return TableRegisterCallbacks(m_table, nullptr); }), badCallback);
    EXPECT_EQ(Outcome([&] { return TableReleaseCallbacks(m_table, nullptr); }), badCallback);
}

} // namespace
