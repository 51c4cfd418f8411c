// Strings handed over to TableSetValue. Values of every type, the converters and the refusal of values out of
// range are in cases/values.test.

#include "ApiTestSupport.h"

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
