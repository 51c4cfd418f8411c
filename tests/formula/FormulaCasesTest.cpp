// Data-driven formula tests: every file in tests/formula/cases/ holds cases of the form
//
//   # a comment
//   FORMULA => EXPECTED              the values' texts (" | " between records), "(undefined)" for undefined
//   FORMULA => EXPECTED :: TYPE      the same, and the formula's value type (text, integer, double, date,
//                                    time, datetime, timespan)
//   FORMULA => (empty)               the defined empty text
//   FORMULA => error N               parsing or checking fails with status N
//   FORMULA => error N at P          ... at character index P
//   @attribute NAME FORMAT = V1 | V2 | ...    an attribute (FORMAT "text" for text) with one value per record;
//                                    the first @attribute after @clear makes a table of that many records
//   @clear                           back to one record without attributes
//   @semicolons / @commas            the argument separator of the following cases (commas at the start)
//   @zero on / @zero off             RegardUndefinedAsZero for the following cases
//
// Formulas are evaluated in a new table of the default language (German formats; ISO dates 'jjjj-mm-tt' read
// in every table). Every formula that parses is written back, parsed again and compiled again, and must give
// the same form. Failures are reported at the case's line.

#include "FormulaTestSupport.h"
#include "tests/CaseFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{

const std::filesystem::path kCases = std::filesystem::path(KORVALIN_FORMULA_TESTS) / "cases";

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> SplitBars(const std::string& s)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;)
    {
        const size_t bar = s.find(" | ", start);
        parts.push_back(Trim(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos)
            break;
        start = bar + 3;
    }
    return parts;
}

const char* TypeName(EValueType type)
{
    switch (type)
    {
    case VALUE_TEXT:
        return "text";
    case VALUE_INTEGER:
        return "integer";
    case VALUE_DOUBLE:
        return "double";
    case VALUE_DATE:
        return "date";
    case VALUE_TIME:
        return "time";
    case VALUE_DATETIME:
        return "datetime";
    case VALUE_TIMESPAN:
        return "timespan";
    default:
        return "unknown";
    }
}

class FormulaCases : public testing::TestWithParam<std::string>
{
};

TEST_P(FormulaCases, File)
{
    const std::filesystem::path path = kCases / GetParam();
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    formula_test::CFormulaTable table;
    bool commas = true;
    bool zero = false;
    std::string line;
    int number = 0;
    int cases = 0;
    while (std::getline(in, line))
    {
        ++number;
        const std::string where = GetParam() + ":" + std::to_string(number);
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        if (trimmed[0] == '@')
        {
            std::istringstream words(trimmed);
            std::string directive;
            words >> directive;
            if (directive == "@clear")
                table.Clear();
            else if (directive == "@semicolons")
                commas = false;
            else if (directive == "@commas")
                commas = true;
            else if (directive == "@zero")
            {
                std::string value;
                words >> value;
                zero = value == "on";
            }
            else if (directive == "@attribute")
            {
                std::string name, format;
                words >> name >> format;
                const size_t equals = trimmed.find(" = ");
                ASSERT_NE(equals, std::string::npos) << where << ": @attribute NAME FORMAT = values";
                std::vector<KString> values;
                for (const std::string& v : SplitBars(trimmed.substr(equals + 3)))
                    values.push_back(platform::FromUtf8(v));
                table.AddAttribute(platform::FromUtf8(name), format == "text" ? KString() : platform::FromUtf8(format),
                                   values);
            }
            else
                ADD_FAILURE() << where << ": unknown directive " << directive;
            continue;
        }
        if (line.rfind("=> ", 0) == 0)
            line = " " + line; // the empty formula
        const size_t arrow = line.rfind(" => ");
        if (arrow == std::string::npos)
        {
            ADD_FAILURE() << where << ": expected FORMULA => EXPECTED";
            continue;
        }
        ++cases;
        const std::string formulaText = Trim(line.substr(0, arrow));
        std::string expected = line.substr(arrow + 4);
        while (!expected.empty() && (expected.back() == '\r' || expected.back() == ' '))
            expected.pop_back();
        if (expected == "(empty)")
            expected.clear();
        std::string expectedType;
        const size_t colons = expected.rfind(" :: ");
        if (colons != std::string::npos)
        {
            expectedType = Trim(expected.substr(colons + 4));
            expected = expected.substr(0, colons);
        }
        const formula_test::SOutcome outcome = table.Evaluate(platform::FromUtf8(formulaText), commas, zero);
        EXPECT_EQ(outcome.strRoundTrip, "") << where << ": " << formulaText;
        if (expected.rfind("error ", 0) == 0)
        {
            int status = 0, position = -1;
            std::istringstream words(expected.substr(6));
            std::string at;
            words >> status >> at >> position;
            EXPECT_EQ(outcome.nStatus, status) << where << ": " << formulaText << " gave " << outcome.strText;
            if (at == "at")
            {
                EXPECT_EQ(outcome.nPosition, position) << where << ": " << formulaText;
            }
            continue;
        }
        EXPECT_EQ(outcome.nStatus, 0) << where << ": " << formulaText << " failed at " << outcome.nPosition;
        EXPECT_EQ(outcome.strText, expected) << where << ": " << formulaText;
        if (!expectedType.empty())
        {
            EXPECT_EQ(TypeName(outcome.eType), expectedType) << where << ": " << formulaText;
        }
    }
    EXPECT_GT(cases, 0) << path << " holds no case";
}

INSTANTIATE_TEST_SUITE_P(Cases, FormulaCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);

} // namespace
