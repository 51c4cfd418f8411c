// The scanning helpers against plain loops over the same units. Each text lies in a buffer of its own that
// ends exactly where its promise ends, so that a sanitizer build catches a read past it. The suite runs in
// the build with SSE2 paths and in the KORVALIN_PORTABLE_SCAN build, which tests the plain paths.

#include "platform/PaddedText.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace
{

using platform::CPaddedString;
using platform::CPaddedText;
using platform::CTextPadding;
using platform::kStepUnits;

// Texts of 0 to 40 units from a small alphabet (so that texts share beginnings) with units that test the
// signed and unsigned compares: 0x7F..0x9F, 0x8000 and up, 0xFFFF.
std::vector<KString> MakeTexts()
{
    const char16_t alphabet[] = {u'a', u'b', u'0', u'9', u'|', u',', 0x7F, 0x9F, 0x8000, 0xFFFF, u'\t', 0x01};
    std::mt19937 random(11);
    std::vector<KString> texts;
    for (size_t length = 0; length <= 40; ++length)
    {
        for (int k = 0; k < 12; ++k)
        {
            KString text;
            for (size_t i = 0; i < length; ++i)
                text += alphabet[random() % (k < 6 ? 2 : std::size(alphabet))];
            texts.push_back(text);
        }
    }
    return texts;
}

// A copy of text with its terminator and kStepUnits - 1 units of noise after it, and nothing more.
std::unique_ptr<char16_t[]> PaddedCopy(const KString& text)
{
    auto copy = std::make_unique<char16_t[]>(text.size() + kStepUnits);
    std::copy(text.begin(), text.end(), copy.get());
    copy[text.size()] = 0;
    for (size_t i = 1; i < kStepUnits; ++i)
        copy[text.size() + i] = static_cast<char16_t>(u'a' + i); // may look like the other text's units
    return copy;
}

TEST(PaddedText, StringsAreMeasuredAndComparedAsTheirUnits)
{
    const std::vector<KString> texts = MakeTexts();
    std::vector<std::unique_ptr<char16_t[]>> copies;
    for (const KString& text : texts)
        copies.push_back(PaddedCopy(text));
    std::mt19937 random(3);
    for (size_t i = 0; i < texts.size(); ++i)
    {
        const CPaddedString a(copies[i].get());
        ASSERT_EQ(platform::MeasureText(a), texts[i].size()) << i;
        for (size_t j : {i, i + 1, i + 12, static_cast<size_t>(random() % texts.size())})
        {
            if (j >= texts.size())
                continue;
            const CPaddedString b(copies[j].get());
            const int expected = texts[i] < texts[j] ? -1 : texts[j] < texts[i] ? 1 : 0;
            ASSERT_EQ(platform::CompareTexts(a, b), expected) << i << " " << j;
            ASSERT_EQ(platform::SameText(a, b), expected == 0) << i << " " << j;
            // The key as a view with the steps' padding, and without any (the plain comparison).
            if (texts[i].find(u'\0') == KString::npos)
            {
                const CPaddedText key(KStringView(copies[i].get(), texts[i].size()), CTextPadding(kStepUnits - 1));
                ASSERT_EQ(platform::EqualInSteps(key, b), expected == 0) << i << " " << j;
                ASSERT_EQ(platform::EqualInSteps(CPaddedText(texts[i]), b), expected == 0) << i << " " << j;
            }
        }
    }
}

TEST(PaddedText, DigitsAreCountedInStepsOfEight)
{
    // From every place of every text: the leading digits among the next eight units, and those units as bytes.
    std::vector<KString> texts = MakeTexts();
    texts.push_back(u"12345678901");
    texts.push_back(u"-0.5");
    texts.push_back(KString(1, u'0' - 1) + u"9" + KString(1, u'9' + 1) + u"\u0130" + u"\u0131");
    for (const KString& text : texts)
    {
        const auto copy = PaddedCopy(text);
        for (size_t at = 0; at <= text.size(); ++at)
        {
            uint64_t bytes = 0;
            const unsigned count = platform::CountDigits(CPaddedString(copy.get()).From(at), bytes);
            unsigned expected = 0;
            uint64_t expectedBytes = 0;
            for (unsigned i = 0; i < 8; ++i)
            {
                const char16_t c = copy[at + i];
                expectedBytes |= static_cast<uint64_t>(c < 0x100 ? c : 0xFF) << (8 * i);
            }
            while (expected < 8 && copy[at + expected] >= u'0' && copy[at + expected] <= u'9')
                ++expected;
            ASSERT_EQ(count, expected) << at;
            // Only the digits' bytes are used; they must be right.
            const uint64_t mask = expected == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * expected)) - 1;
            ASSERT_EQ(bytes & mask, expectedBytes & mask) << at;
        }
    }
}

TEST(PaddedText, CellStopsAreFoundWithoutReadingPastTheEnd)
{
    // Plain cells of random lengths between stops of every kind; the text is exactly as long as its units.
    const char16_t stops[] = {u',', u';', u'|', u'\n', u'\r', 0x00, 0x1F, 0x7F, 0x85, 0x9F};
    const char16_t plain[] = {u'a', u' ', 0x20, 0x7E, 0xA0, 0x9F + 1, 0xFFFF, u'"'};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round)
    {
        const size_t length = random() % 150;
        auto text = std::make_unique<char16_t[]>(length + 1); // + 1: never read, but make_unique<[0]> is odd
        for (size_t i = 0; i < length; ++i)
            text[i] = random() % 9 == 0 ? stops[random() % std::size(stops)] : plain[random() % std::size(plain)];
        for (char16_t delimiter : {u',', u';', u'\t'})
        {
            for (size_t from = 0; from <= length; from += 1 + random() % 5)
            {
                size_t expected = from;
                while (expected < length && !platform::IsCellStop(text[expected], delimiter))
                    ++expected;
                ASSERT_EQ(platform::SkipToCellStop(text.get(), from, length, delimiter), expected)
                    << round << " " << from;
            }
            for (size_t base = 0; base < length; base += 64)
            {
                const size_t n = std::min<size_t>(64, length - base);
                uint64_t expected = 0;
                for (size_t i = 0; i < n; ++i)
                    expected |= uint64_t{platform::IsCellStop(text[base + i], delimiter)} << i;
                ASSERT_EQ(platform::MarkCellStops(text.get() + base, n, delimiter), expected) << round << " " << base;
            }
        }
    }
}

TEST(PaddedText, UnitsWithinTheirBounds)
{
    // A layout of digits and fixed units, against texts that differ from it at every place.
    const KString low = u"0000-00-00 00:00";
    const KString high = u"9999-99-99 99:99";
    const KString text = u"2024-01-31 12:59";
    EXPECT_TRUE(platform::UnitsWithin(text.data(), low.data(), high.data(), high.size()));
    for (size_t at = 0; at < text.size(); ++at)
    {
        for (char16_t c : {char16_t(u'0' - 1), char16_t(u'9' + 1), char16_t(u'-'), char16_t(0xFFFF)})
        {
            KString changed = text;
            changed[at] = c;
            const bool expected = c >= low[at] && c <= high[at];
            EXPECT_EQ(platform::UnitsWithin(changed.data(), low.data(), high.data(), high.size()), expected) << at;
        }
    }
}

} // namespace
