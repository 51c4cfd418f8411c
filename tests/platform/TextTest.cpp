#include "platform/Error.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Text, Utf8RoundTripsEveryPlane)
{
    const KString text = u"a\u00e4\u20ac\U0001F600z";
    const std::string utf8 = ToUtf8(text);
    EXPECT_EQ(utf8, "a\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80z");
    EXPECT_EQ(FromUtf8(utf8), text);
}

TEST(Text, InvalidUtf8BecomesReplacementCharacters)
{
    EXPECT_EQ(FromUtf8("a\xff" "b"), u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xc3"), u"\uFFFD");              // truncated sequence
    EXPECT_EQ(FromUtf8("\xc0\xaf"), u"\uFFFD");          // overlong slash
    EXPECT_EQ(FromUtf8("\xed\xa0\x80x"), u"\uFFFDx");    // encoded surrogate
}

TEST(Text, UnpairedSurrogatesBecomeReplacementCharacters)
{
    const KString lone = {u'a', static_cast<char16_t>(0xD800), u'b'};
    EXPECT_EQ(ToUtf8(lone), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(ToWide(lone), L"a\uFFFDb");
}

TEST(Text, WideRoundTrip)
{
    const KString text = u"x\U0001F600y";
    EXPECT_EQ(ToWide(text), std::wstring(L"x\U0001F600y"));
    EXPECT_EQ(FromWide(ToWide(text)), text);
}

TEST(Error, ArchiveExceptionsNameTheirLocation)
{
    CArchiveException e("data.csv", 12, 3, "unterminated quote");
    EXPECT_STREQ(e.what(), "data.csv:12:3: unterminated quote");
    EXPECT_EQ(e.GetStatus(), EStatus::CannotOpenFile);
}
