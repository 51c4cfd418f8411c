// Cursors, error objects, key events and callbacks refuse what is not theirs. Null and destroyed frames, null,
// deleted and foreign attributes, null records and out-parameters for every function, and the order of the checks,
// are in cases/arguments.test.

#include "ApiTestSupport.h"

using namespace apitest;

namespace
{

TEST(ArgumentChecksTest, CursorsErrorObjectsKeyEventsAndCallbacks)
{
    CTestTable table;
    CTableFrame* frame = table;
    CAttribute* out = nullptr;
    CRecord* recordOut = nullptr;
    int32_t number = 0;
    wchar_t* text = nullptr;
    CTableFrame* other = nullptr;
    ASSERT_EQ(CreateNewTable(&other, nullptr, nullptr, 0, 0, 0, 0), 0);
    CPosition* position = nullptr;
    ASSERT_EQ(TableStartAttributes(other, &position), 0);
    int32_t* counter = nullptr;
    ASSERT_EQ(TableStartAllRecords(other, &counter), 0);

    const SOutcome badPosition = Failure(7, L"API_ILLEGAL_POSITION_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(frame, nullptr, &out); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableNextLeafAttribute(frame, nullptr, &out); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableFinishAttributes(frame, nullptr); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(frame, nullptr, &recordOut); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsFinish(frame, nullptr); }), badPosition);
    // Cursors of another frame, and a counter that is no cursor at all.
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(frame, position, &out); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(frame, counter, &recordOut); }), badPosition);
    int32_t notACursor = 0;
    EXPECT_EQ(Outcome([&] { return TableAllRecordsNext(frame, &notACursor, &recordOut); }), badPosition);
    // Finished cursors.
    ASSERT_EQ(TableFinishAttributes(other, position), 0);
    ASSERT_EQ(TableAllRecordsFinish(other, counter), 0);
    EXPECT_EQ(Outcome([&] { return TableFinishAttributes(other, position); }), badPosition);
    EXPECT_EQ(Outcome([&] { return TableAllRecordsFinish(other, counter); }), badPosition);
    // Destroying a frame finishes its cursors.
    ASSERT_EQ(TableStartAttributes(other, &position), 0);
    ASSERT_EQ(TableDestroy(other), 0);
    EXPECT_EQ(Outcome([&] { return TableNextAttribute(frame, position, &out); }), badPosition);

    const SOutcome badError = Failure(34, L"API_ILLEGAL_ERROR_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return ErrorGetCode(nullptr, &number); }), badError);
    EXPECT_EQ(Outcome([&] { return ErrorGetMessage(nullptr, &text); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetMessage(nullptr, L"x"); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetReport(nullptr, false); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetType(nullptr, 4); }), badError);
    EXPECT_EQ(Outcome([] { return ErrorSetSimulatedUserAction(nullptr, 6); }), badError);

    const SOutcome badKey = Failure(37, L"API_ILLEGAL_KEYEVENT_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return KeyEventGetShift(nullptr, &number); }), badKey);
    EXPECT_EQ(Outcome([&] { return KeyEventGetKeyCode(nullptr, &number); }), badKey);
    EXPECT_EQ(Outcome([] { return KeyEventSetKeyCode(nullptr, 13); }), badKey);
    EXPECT_EQ(Outcome([&] { return KeyPressEventGetCharCode(nullptr, &number); }), badKey);
    EXPECT_EQ(Outcome([] { return KeyPressEventSetCharCode(nullptr, 'a'); }), badKey);

    const SOutcome badCallback = Failure(6, L"API_ILLEGAL_CALLBACK_ARGUMENT");
    EXPECT_EQ(Outcome([&] { return TableRegisterCallbacks(frame, nullptr); }), badCallback);
    EXPECT_EQ(Outcome([&] { return TableReleaseCallbacks(frame, nullptr); }), badCallback);
}

} // namespace
