// Strings handed over to TableSetValue. Values of every type, the converters and the refusal of values out of
// range are in cases/values.test.

#include "ApiTestSupport.h"

#include <cstddef>
#include <vector>

using namespace apitest;

namespace
{

TEST(ValuesTest, HandedOverStringsAreFreedWhateverTheStatus)
{
    CTestTable table;
    CAttribute* text = table.Add(L"Text");
    CAttribute* header = table.AddHeader(L"Gruppe");
    CRecord* record = table.AddRecord();
    // Under the address sanitizer a leak or a double free here fails the run.
    EXPECT_EQ(TableSetValue(table, text, record, StringAllocate(L"übergeben"), true), 0);
    EXPECT_EQ(table.Get(text, record), L"übergeben");
    EXPECT_EQ(TableSetValue(nullptr, text, record, StringAllocate(L"verworfen"), true), 3);
    EXPECT_EQ(TableSetValue(table, header, record, StringAllocate(L"verworfen"), true), 15);
    EXPECT_EQ(TableSetValue(table, text, nullptr, StringAllocate(L"verworfen"), true), 5);
    EXPECT_EQ(table.Get(text, record), L"übergeben");
    EXPECT_EQ(TableSetValue(table, text, record, nullptr, true), 0); // null with the flag: undefined
    EXPECT_EQ(table.Get(text, record), L"");
}

} // namespace

namespace
{

// A record handle must be one the table handed out: a pointer between records, one past the last record made and
// the records of a table refilled after TableClear are told apart from live records, also across record blocks.
TEST(ValuesTest, OnlyTheTablesOwnRecordsAreAccepted)
{
    CTestTable table;
    CAttribute* key = table.Add(L"Kennung");
    std::vector<CRecord*> records;
    for (int i = 0; i < 20002; ++i) // more than one block of records
        records.push_back(table.AddRecord());
    for (CRecord* record : {records.front(), records[19999], records[20000], records.back()})
        EXPECT_EQ(TableSetValue(table, key, record, const_cast<wchar_t*>(L"1"), false), 0);
    auto shifted = [](CRecord* record, std::ptrdiff_t bytes)
    { return reinterpret_cast<CRecord*>(reinterpret_cast<char*>(record) + bytes); };
    wchar_t* text = nullptr;
    EXPECT_EQ(TableGetValue(table, key, shifted(records[5], 8), &text), 5); // inside a record
    EXPECT_EQ(TableGetValue(table, key, shifted(records.back(), 16), &text), 5); // not handed out yet
    EXPECT_EQ(TableGetValue(table, key, shifted(records.front(), -16), &text), 5); // before the first block
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(TableDeleteRecord(table, shifted(records[20000], 8)), 5);
    EXPECT_EQ(Got(TableGetRecordCount, table.Get()), 20002);
}

} // namespace
