// The registry of built-ins: every example gives its result, every function is covered by a case file, and
// the registration follows the groups.

#include "FormulaTestSupport.h"
#include "tests/CaseFiles.h"

#include "engine/TextFold.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace
{

const std::filesystem::path kCases = std::filesystem::path(KORVALIN_FORMULA_TESTS) / "cases";

TEST(FormulaRegistry, EveryExampleGivesItsResult)
{
    formula_test::CFormulaTable table;
    for (const formula::SBuiltin& b : formula::GetBuiltins())
    {
        const std::string name = platform::ToUtf8(b.pName);
        const formula_test::SOutcome outcome = table.Evaluate(b.pExample, true, false);
        EXPECT_EQ(outcome.nStatus, 0) << name << ": " << platform::ToUtf8(b.pExample);
        EXPECT_EQ(outcome.strText, platform::ToUtf8(b.pExpected)) << name << ": " << platform::ToUtf8(b.pExample);
        EXPECT_EQ(outcome.strRoundTrip, "") << name;
    }
}

TEST(FormulaRegistry, SeventeenOperatorsAndEightyFourFunctions)
{
    int operators = 0, functions = 0;
    for (const formula::SBuiltin& b : formula::GetBuiltins())
        (b.bOperator ? operators : functions)++;
    EXPECT_EQ(operators, 17);
    EXPECT_EQ(functions, 84);
    CTable table;
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    EXPECT_EQ(engine.GetOperators().size(), 18u); // slot 0 is empty
    EXPECT_EQ(engine.GetFunctions().size(), 84u);
    EXPECT_EQ(engine.GetGroupCount(), 8);
    // registering twice gives the same vocabulary
    formula::DefineBuiltinFunctions(engine);
    EXPECT_EQ(engine.GetFunctions().size(), 84u);
}

TEST(FormulaRegistry, EveryFunctionHasDescriptionHelpAndExample)
{
    std::set<std::u16string> names;
    for (const formula::SBuiltin& b : formula::GetBuiltins())
    {
        const std::string name = platform::ToUtf8(b.pName);
        EXPECT_NE(*b.pExample, 0) << name;
        EXPECT_NE(*b.pExpected, 0) << name;
        EXPECT_NE(*b.pHelpPage, 0) << name;
        EXPECT_TRUE(platform::HasResourceString(b.nGroupId)) << name;
        if (b.bOperator)
            continue;
        EXPECT_TRUE(platform::HasResourceString(b.nDescriptionId)) << name << " " << b.nDescriptionId;
        KString upper;
        for (char16_t c : KStringView(b.pName))
            upper += static_cast<char16_t>(std::toupper(c));
        EXPECT_TRUE(names.insert(upper).second) << name << " registered twice";
    }
    // time dependencies as documented
    for (const formula::SBuiltin& b : formula::GetBuiltins())
    {
        const KStringView name(b.pName);
        const TimeDependency expected = name == u"COMPUTERID" || name == u"PARAMETER" ? TIME_MACHINE
                                        : name == u"FILEEXISTS" || name == u"TODAY" || name == u"NOW"
                                            ? TIME_CLOCK
                                            : TIME_INDEPENDENT;
        EXPECT_EQ(b.eDependency, expected) << platform::ToUtf8(name);
    }
}

TEST(FormulaRegistry, EveryFunctionAppearsInACaseFile)
{
    std::set<std::string> words; // identifiers followed by '(' in any case file, upper-cased
    for (const std::string& file : ListCaseFiles(kCases))
    {
        std::ifstream in(kCases / file);
        std::stringstream text;
        text << in.rdbuf();
        const std::string s = text.str();
        for (size_t i = 0; i < s.size(); ++i)
        {
            if (!std::isalpha(static_cast<unsigned char>(s[i])) || (i > 0 && std::isalnum(static_cast<unsigned char>(s[i - 1]))))
                continue;
            size_t j = i;
            std::string word;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_'))
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(s[j++])));
            if (j < s.size() && s[j] == '(')
                words.insert(word);
            i = j;
        }
    }
    for (const formula::SBuiltin& b : formula::GetBuiltins())
    {
        if (b.bOperator)
            continue;
        std::string upper;
        for (char16_t c : KStringView(b.pName))
            upper += static_cast<char>(std::toupper(static_cast<int>(c)));
        EXPECT_TRUE(words.count(upper)) << platform::ToUtf8(b.pName) << " appears in no case file";
    }
}

} // namespace
