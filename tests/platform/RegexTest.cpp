// Data-driven tests of the regular expressions: every file in tests/platform/cases/regex*.test holds cases
//
//   pattern PATTERN                 the pattern of the dialect (everything after "pattern ")
//   pcre PCRE                       it translates to this PCRE2 pattern, or
//   invalid                         it is no pattern
//   match TEXT / nomatch TEXT       it matches the text or not; imatch / inomatch ignore case
//   replace TEXT => REPL => RESULT  the first match replaced; replaceall every one; ireplace / ireplaceall ignore case
//   ----
//
// Texts are read as they stand, except \u{HEX} for the code unit HEX and \u{HEX*N} for N of them. A check that
// takes more than a few seconds fails: the engine's limits must end every hostile pattern quickly.

#include "platform/Regex.h"
#include "platform/Text.h"
#include "tests/CaseFiles.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{

const std::filesystem::path kCases = KORVALIN_PLATFORM_CASES;

// A text of a case file as UTF-16, with \u{HEX} and \u{HEX*N} decoded.
std::u16string Decode(const std::string& text)
{
    std::string plain;
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const size_t close = text.find('}', i);
        if (text.compare(i, 3, "\\u{") != 0 || close == std::string::npos)
        {
            plain += text[i];
            continue;
        }
        out += platform::FromUtf8(plain);
        plain.clear();
        const std::string inner = text.substr(i + 3, close - i - 3);
        const size_t star = inner.find('*');
        const auto unit = static_cast<char16_t>(std::stoul(inner.substr(0, star), nullptr, 16));
        out.append(star == std::string::npos ? 1 : std::stoul(inner.substr(star + 1)), unit);
        i = close;
    }
    return out + platform::FromUtf8(plain);
}

std::string Show(const std::u16string& text)
{
    return text.size() > 200 ? platform::ToUtf8(text.substr(0, 200)) + "..." : platform::ToUtf8(text);
}

class RegexCases : public testing::TestWithParam<std::string>
{
};

TEST_P(RegexCases, TranslateMatchAndReplace)
{
    const std::filesystem::path file = kCases / GetParam();
    const std::vector<SCaseBlock> cases = ReadCaseBlocks(file);
    ASSERT_FALSE(cases.empty()) << file;
    for (const SCaseBlock& c : cases)
    {
        if (c.m_strHeader.rfind("pattern", 0) != 0)
        {
            ADD_FAILURE_AT(file.string().c_str(), c.m_nLine) << "a case starts with: pattern PATTERN";
            continue;
        }
        const std::u16string pattern = Decode(c.m_strHeader.size() > 8 ? c.m_strHeader.substr(8) : "");
        const platform::SRegexTranslation translation = platform::TranslatePattern(pattern);
        for (size_t i = 0; i < c.m_vBody.size(); ++i)
        {
            const std::string& line = c.m_vBody[i];
            const int at = c.BodyLine(i);
            if (line.empty() || line[0] == '#')
                continue;
            const size_t blank = line.find(' ');
            const std::string verb = line.substr(0, blank);
            const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
            const bool ignoreCase = verb[0] == 'i';
            const auto started = std::chrono::steady_clock::now();
            if (verb == "pcre")
                EXPECT_TRUE(translation.Ok() && platform::ToUtf8(translation.m_strPattern) == rest)
                    << "at " << file.string() << ":" << at << ": translated to "
                    << (translation.Ok() ? platform::ToUtf8(translation.m_strPattern)
                                         : "error " + translation.m_strError);
            else if (verb == "invalid")
                EXPECT_FALSE(translation.Ok()) << "at " << file.string() << ":" << at << ": translated to "
                                               << platform::ToUtf8(translation.m_strPattern);
            else if (verb == "match" || verb == "nomatch" || verb == "imatch" || verb == "inomatch")
            {
                const bool expected = verb.find("nomatch") == std::string::npos;
                const std::u16string text = Decode(rest);
                EXPECT_EQ(platform::RegexMatches(text, pattern, !ignoreCase), expected)
                    << "at " << file.string() << ":" << at << ": " << verb << " " << Show(text);
            }
            else if (verb == "replace" || verb == "replaceall" || verb == "ireplace" || verb == "ireplaceall")
            {
                const size_t first = rest.find(" => ");
                const size_t second = first == std::string::npos ? first : rest.find(" => ", first + 4);
                if (second == std::string::npos)
                {
                    ADD_FAILURE_AT(file.string().c_str(), at) << "replace TEXT => REPLACEMENT => RESULT";
                    continue;
                }
                const std::u16string result = platform::RegexReplace(Decode(rest.substr(0, first)), pattern,
                                                                     Decode(rest.substr(first + 4, second - first - 4)),
                                                                     !ignoreCase, verb.ends_with("all"));
                EXPECT_EQ(Show(result), Show(Decode(rest.substr(second + 4)))) << "at " << file.string() << ":" << at;
            }
            else
                ADD_FAILURE_AT(file.string().c_str(), at) << "unknown check " << verb;
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5))
                << "at " << file.string() << ":" << at << ": the engine's limits did not end the search";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RegexCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);

// Each thread keeps its own last pattern: threads that alternate patterns never see another thread's.
TEST(Regex, ThreadsKeepTheirOwnPattern)
{
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back(
            [t, &wrong]
            {
                const std::u16string pattern = t % 2 == 0 ? u"^\\d+$" : u"^\\c+$";
                for (int i = 0; i < 2000; ++i)
                {
                    const bool digits = platform::RegexMatches(u"12345", pattern, true);
                    const bool letters = platform::RegexMatches(u"abcde", pattern, i % 3 == 0);
                    if (digits != (t % 2 == 0) || letters != (t % 2 == 1))
                        ++wrong[t];
                }
            });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

// Whether PCRE2 compiles a translated pattern with the options the engine uses.
bool Compiles(const std::u16string& pcre)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pcre.data()), pcre.size(),
                      PCRE2_UTF | PCRE2_UCP | PCRE2_DOTALL | PCRE2_MATCH_INVALID_UTF, &error, &offset, nullptr);
    pcre2_code_free(code);
    return code != nullptr;
}

// The translation says where a pattern goes wrong; every pattern of three characters from the dialect's
// alphabet either fails to translate or translates to a pattern that PCRE2 compiles.
TEST(Regex, EveryTranslationCompiles)
{
    const platform::SRegexTranslation unclosed = platform::TranslatePattern(u"ab{c");
    EXPECT_FALSE(unclosed.Ok());
    EXPECT_EQ(unclosed.m_nErrorOffset, 2u);
    EXPECT_EQ(platform::TranslatePattern(u"x[z-a]").m_nErrorOffset, 3u);
    const std::u16string alphabet = u"a.[]^-?+*(){}\\|!$0nq";
    int translated = 0;
    std::u16string pattern(3, u'a');
    for (char16_t a : alphabet)
        for (char16_t b : alphabet)
            for (char16_t c : alphabet)
            {
                pattern = {a, b, c};
                const platform::SRegexTranslation translation = platform::TranslatePattern(pattern);
                if (!translation.Ok())
                    continue;
                ++translated;
                EXPECT_TRUE(Compiles(translation.m_strPattern))
                    << platform::ToUtf8(pattern) << " -> " << platform::ToUtf8(translation.m_strPattern);
            }
    EXPECT_GT(translated, 1000);
}

} // namespace
