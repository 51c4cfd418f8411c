// The engine beyond single formulas: limits, writing back, messages, vocabulary, expression attributes.

#include "FormulaTestSupport.h"

#include "formula/BuiltinSupport.h"
#include "formula/FormulaParameters.h"
#include "formula/QuickExpressions.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using formula_test::CFormulaTable;
using formula_test::SOutcome;

KString Repeat(KStringView text, int count)
{
    KString out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

// ---- limits ----

TEST(FormulaLimits, DeepParenthesesAndCallsEvaluate)
{
    CFormulaTable table;
    EXPECT_EQ(table.Evaluate(Repeat(u"(", 10000) + u"1" + Repeat(u")", 10000), true, false).strText, "1");
    EXPECT_EQ(table.Evaluate(Repeat(u"ABS(", 5000) + u"-2" + Repeat(u")", 5000), true, false).strText, "2");
    EXPECT_EQ(table.Evaluate(Repeat(u"-", 20000) + u"3", true, false).strText, "3");
}

TEST(FormulaLimits, MoreCallsThanResultSlotsIsAnErrorNotACrash)
{
    CFormulaTable table;
    const SOutcome negations = table.Evaluate(Repeat(u"-", CParseval::kResultSlots + 10) + u"3", true, false);
    EXPECT_EQ(negations.nStatus, PARSEVAL_OUT_OF_MEMORY);
    KString sum = u"1";
    for (int i = 0; i < CParseval::kResultSlots; ++i)
        sum += u"+1";
    EXPECT_EQ(table.Evaluate(sum, true, false).nStatus, PARSEVAL_OUT_OF_MEMORY);
    EXPECT_FALSE(CParseval::GetStatusMessage(PARSEVAL_OUT_OF_MEMORY).empty());
}

TEST(FormulaLimits, TextsOfTenThousandCharacters)
{
    CFormulaTable table;
    const KString tenThousand = u"\"" + Repeat(u"x", 10000) + u"\"";
    EXPECT_EQ(table.Evaluate(u"LEN(" + tenThousand + u")", true, false).strText, "10000");
    EXPECT_EQ(table.Evaluate(u"LEN(" + tenThousand + u" + \"y\")", true, false).strText, "(undefined)");
    const KString tooLong = u"\"" + Repeat(u"x", 10001) + u"\"";
    EXPECT_EQ(table.Evaluate(u"LEN(" + tooLong + u")", true, false).strText, "(undefined)");
    EXPECT_EQ(table.Evaluate(u"UNDEFINED(" + tooLong + u")", true, false).strText, "yes");
    EXPECT_EQ(table.Evaluate(u"LEN(REPT(\"ab\", 5000))", true, false).strText, "10000");
    EXPECT_EQ(table.Evaluate(u"LEN(CONCATENATE(REPT(\"a\", 6000), REPT(\"b\", 6000)))", true, false).strText,
              "(undefined)");
}

TEST(FormulaLimits, LongNamesAndManyNames)
{
    CFormulaTable table;
    std::vector<KString> values = {u"1"};
    table.AddAttribute(Repeat(u"n", 500), u"####", values);
    EXPECT_EQ(table.Evaluate(u"[" + Repeat(u"n", 500) + u"] + 1", true, false).strText, "2");
}

// ---- parsing and writing back ----

TEST(FormulaText, WritesBackWithSpacesCommasAndEscapes)
{
    CTable table;
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    ASSERT_EQ(engine.Parse(u"round( [Price]*1.19 ,2 )", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetExpressionText(true, true), u"round([Price] * 1.19,2)");
    EXPECT_EQ(engine.GetExpressionText(true, false), u"round([Price] * 1.19;2)");
    EXPECT_EQ(engine.GetExpressionText(false, true), u"round(Price * 1.19,2)");
    ASSERT_EQ(engine.Parse(u"\"a\\u00e4b\" + \"\\q\" + \"tab\\there\\\"\" + \"\u0250\u2014\"", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetRepresentation().infix[0].GetText(), u"a\u00e4b");
    EXPECT_EQ(engine.GetRepresentation().infix[2].GetText(), u"\\q");
    EXPECT_EQ(engine.GetExpressionText(), u"\"a\u00e4b\" + \"\\\\q\" + \"tab\\there\\\"\" + \"\\u0250\u2014\"");
    ASSERT_EQ(engine.Parse(u"-(1) + NOT \"yes\"", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetExpressionText(), u"- (1) + NOT \"yes\"");
    ASSERT_EQ(engine.Parse(u"TODAY()", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetExpressionText(), u"TODAY()");
}

TEST(FormulaText, EscapesFollowTheRules)
{
    for (char16_t c : {u'\x01', u'\x7f', u'\x9f', u'\\', u'"', u'\u00a0', u'\u0250', static_cast<char16_t>(0xD800), u'\uffff'})
        EXPECT_TRUE(CParseval::MustBeEscaped(c)) << static_cast<int>(c);
    for (char16_t c : {u'a', u' ', u'\u00e4', u'\u024f', u'\u2014'})
        EXPECT_FALSE(CParseval::MustBeEscaped(c)) << static_cast<int>(c);
    KString out;
    CParseval::EscapeCharacter(u'\u00a0', out);
    CParseval::EscapeCharacter(u'\n', out);
    EXPECT_EQ(out, u"\\u00a0\\n");
}

TEST(FormulaText, NamesInOrderOfFirstAppearance)
{
    CTable table;
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    ASSERT_EQ(engine.Parse(u"[b] + [a] * [b] + [[x]]", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetNames(), (std::vector<KString>{u"b", u"a", u"[x]"}));
    ASSERT_EQ(engine.Parse(u"[B] + [b]", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetNameCount(), 2);
}

TEST(FormulaText, TimeDependencyIsTheHighestUsed)
{
    CTable table;
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    ASSERT_EQ(engine.Parse(u"1 + 2", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetTimeDependency(), TIME_INDEPENDENT);
    ASSERT_EQ(engine.Parse(u"PARAMETER(1) + \"x\"", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetTimeDependency(), TIME_MACHINE);
    ASSERT_EQ(engine.Parse(u"PARAMETER(1) + TODAY()", true), PARSEVAL_OK);
    EXPECT_EQ(engine.GetTimeDependency(), TIME_CLOCK);
}

TEST(FormulaText, StatusMessagesInBothLanguages)
{
    const ELanguage before = platform::GetResourceLanguage();
    platform::SetResourceLanguage(ELanguage::German);
    EXPECT_EQ(CParseval::GetStatusMessage(1), u"Unausgeglichene Doppelhochkommata");
    EXPECT_EQ(CParseval::GetStatusMessage(11),
              u"Als Trennzeichen der Funktionsparameter muss ein Komma verwendet werden");
    EXPECT_EQ(CParseval::GetStatusMessage(13), u"Die Anzahl der Parameter ist nicht korrekt.");
    EXPECT_EQ(CParseval::GetStatusMessage(-1, true), u"Unzulässiger Parametertyp");
    EXPECT_EQ(CParseval::GetStatusMessage(-1, false), u"Fehlerhafte Formel");
    platform::SetResourceLanguage(ELanguage::English);
    EXPECT_EQ(CParseval::GetStatusMessage(7), u"Faulty formula");
    for (int status = 1; status <= 13; ++status)
        EXPECT_FALSE(CParseval::GetStatusMessage(status).empty()) << status;
    platform::SetResourceLanguage(before);
}

// ---- the vocabulary ----

int Triple(CParsevalToken* const* a, int n, CParsevalToken& r, bool check, const CFormatRegistry&)
{
    r.SetType(VALUE_INTEGER, -1);
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!check)
        r.SetNumber(a[0]->GetNumber() * 3);
    return PARSEVAL_OK;
}

TEST(FormulaVocabulary, PostfixAndBadOperandCounts)
{
    CTable table;
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    engine.AddOperator(u"!!!", 0, 1, OPERATOR_POSTFIX, Triple, u"", u"test");
    engine.AddOperator(u"#", 3, 3, OPERATOR_INFIX, Triple, u"", u"test");
    CParsevalToken result;
    ASSERT_EQ(engine.Parse(u"2!!! + 1", true), PARSEVAL_OK);
    ASSERT_EQ(engine.TypeCheck(nullptr, 0, result), PARSEVAL_OK);
    ASSERT_EQ(engine.Evaluate(nullptr, 0, result), PARSEVAL_OK);
    EXPECT_EQ(result.GetNumber(), 7);
    ASSERT_EQ(engine.Parse(u"1 # 2", true), PARSEVAL_OK);
    EXPECT_EQ(engine.TypeCheck(nullptr, 0, result), PARSEVAL_OPERAND_COUNT);
    // evaluating without a successful check is refused
    EXPECT_NE(engine.Evaluate(nullptr, 0, result), PARSEVAL_OK);
    engine.ClearDefinitions();
    EXPECT_EQ(engine.GetOperators().size(), 1u);
    EXPECT_EQ(engine.Parse(u"1 + 1", true), PARSEVAL_UNKNOWN_OPERATOR);
}

TEST(FormulaVocabulary, ACopiedParseEvaluatesInAnotherEngine)
{
    CFormulaTable fixture;
    fixture.AddAttribute(u"n", u"####", {u"1", u"2", u"3"});
    CTable& table = fixture.Table();
    CParseval first(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(first);
    ASSERT_EQ(first.Parse(u"[n] * 10 + LEN(\"ab\")", true), PARSEVAL_OK);
    CParseval worker(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(worker);
    worker.SetRepresentation(first.GetRepresentation());
    formula::CAttributeInputs inputs;
    ASSERT_EQ(inputs.Bind(table, worker.GetNames()), -1);
    CParsevalToken result;
    ASSERT_EQ(worker.TypeCheck(inputs.GetTokens(), inputs.GetCount(), result), PARSEVAL_OK);
    EXPECT_EQ(result.GetValueType(), VALUE_INTEGER);
    std::vector<double> values;
    for (long i = 0; i < table.GetRecordCount(); ++i)
    {
        inputs.Load(table.GetRecord(i));
        ASSERT_EQ(worker.Evaluate(inputs.GetTokens(), inputs.GetCount(), result), PARSEVAL_OK);
        values.push_back(result.GetNumber());
    }
    EXPECT_EQ(values, (std::vector<double>{12, 22, 32}));
}

TEST(FormulaVocabulary, ParametersOfTheCurrentTable)
{
    CFormulaTable fixture;
    formula::SetFormulaParameter(&fixture.Table(), 7, u"seven");
    EXPECT_EQ(fixture.Evaluate(u"PARAMETER(7) + \"!\"", true, false).strText, "seven!");
    EXPECT_EQ(fixture.Evaluate(u"UNDEFINED(PARAMETER(8))", true, false).strText, "yes");
    formula::ClearFormulaParameters(&fixture.Table());
    EXPECT_EQ(fixture.Evaluate(u"UNDEFINED(PARAMETER(7))", true, false).strText, "yes");
}

// ---- expression attributes ----

TEST(FormulaExpressionAttribute, ComputesEveryRecordAndTakesTheFormat)
{
    CFormulaTable fixture;
    fixture.AddAttribute(u"price", u"####,##", {u"10,00", u"2,50", u""});
    CTable& table = fixture.Table();
    CAttribute* expression = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"gross", nullptr, 16, true);
    const formula::SFormulaStatus status = formula::ComputeExpressionAttribute(table, *expression, u"[price] * 2");
    ASSERT_TRUE(status.IsOk()) << platform::ToUtf8(status.strMessage);
    EXPECT_EQ(expression->GetFormatString(), u"####,##");
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(0)), u"20");
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(1)), u"5");
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(2)), u"");
    EXPECT_TRUE(std::isnan(expression->GetNumericValue(expression->GetFieldValueIndex(table.GetRecord(2)))));

    expression->SetRegardUndefinedAsZero(true);
    ASSERT_TRUE(formula::ComputeExpressionAttribute(table, *expression, u"[price] + 1").IsOk());
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(2)), u"1");

    // a formula that fails leaves the values as they were and says where
    const formula::SFormulaStatus bad = formula::ComputeExpressionAttribute(table, *expression, u"[price] + ");
    EXPECT_EQ(bad.nStatus, PARSEVAL_SYNTAX_ERROR);
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(0)), u"11");
    const formula::SFormulaStatus missing = formula::ComputeExpressionAttribute(table, *expression, u"1 + [cost]");
    EXPECT_EQ(missing.nStatus, PARSEVAL_ILLEGAL_TYPE);
    EXPECT_EQ(missing.nPosition, 4);
    EXPECT_NE(missing.strMessage.find(u"cost"), KString::npos);

    ASSERT_TRUE(formula::ComputeExpressionAttribute(table, *expression, u"\"p\" + [price]").IsOk());
    EXPECT_EQ(expression->GetFormatString(), u"");
    EXPECT_EQ(expression->GetFieldText(table.GetRecord(1)), u"p2,50");
}

} // namespace

namespace
{

// ---- quick expressions ----

TEST(FormulaQuickExpressions, PlaceholderFormulas)
{
    EXPECT_EQ(formula::ExpressionForEqualOperator(3), u"[X1] = [X2] and [X1] = [X3]");
    EXPECT_EQ(formula::SeparatedListOfPlaceholders(u"+", 3), u"[X1] + [X2] + [X3]");
    EXPECT_EQ(formula::ExpressionWithPlaceholders(u"-", true, 1), u"-[X1]");
    EXPECT_EQ(formula::ExpressionWithPlaceholders(u"=", false, 2), u"[X1] = [X2]");
    EXPECT_EQ(formula::ExpressionWithPlaceholders(u"*", false, 2), u"[X1] * [X2]");
}

TEST(FormulaQuickExpressions, BoundToTheSelectedAttributes)
{
    CFormulaTable fixture;
    fixture.AddAttribute(u"a", u"####", {u"1", u"2"});
    fixture.AddAttribute(u"b", u"####", {u"3", u"4"});
    fixture.AddAttribute(u"name", u"", {u"x", u"y"});
    CTable& table = fixture.Table();
    CAttribute* a = table.FindAttribute(u"a");
    CAttribute* b = table.FindAttribute(u"b");
    CAttribute* name = table.FindAttribute(u"name");
    EXPECT_EQ(formula::MakeQuickExpression(table, {a, b}, u"+", false), std::optional<KString>(u"[a] + [b]"));
    EXPECT_EQ(formula::MakeQuickExpression(table, {b, a, b}, u"=", false),
              std::optional<KString>(u"[b] = [a] and [b] = [b]"));
    EXPECT_EQ(formula::MakeQuickExpression(table, {a}, u"-", true), std::optional<KString>(u"- [a]"));
    EXPECT_FALSE(formula::MakeQuickExpression(table, {a}, u"+", false));
    EXPECT_FALSE(formula::MakeQuickExpression(table, {name}, u"-", true));         // a text cannot be negated
    EXPECT_FALSE(formula::MakeQuickExpression(table, {a, name}, u"*", false));     // nor multiplied
    EXPECT_EQ(formula::MakeQuickExpression(table, {name, a}, u"+", false), std::optional<KString>(u"[name] + [a]"));
    EXPECT_FALSE(formula::MakeQuickExpression(table, {}, u"+", false));
}

} // namespace

#include "FormulaFuzzBody.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace
{

// The inputs kept for the fuzz target (seeds and what it once found) run as regression cases, and so does a
// bounded stream of their random mutations.
TEST(FormulaFuzzRegression, KeptInputsAndTheirMutations)
{
    const std::filesystem::path corpus =
        std::filesystem::path(KORVALIN_FORMULA_TESTS) / ".." / "fuzz" / "corpus" / "formula";
    std::vector<std::string> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
    {
        std::ifstream in(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(inputs.empty());
    std::mt19937 random(20261207);
    const std::string alphabet = "()[],;\"'+-*/%<>=!. 0123456789abcnotandorIFLEFTROUND\\u|{}";
    size_t runs = 0;
    for (const std::string& input : inputs)
    {
        EXPECT_EQ(formula_fuzz::RunFormulaInput(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "")
            << input;
        for (int k = 0; k < 500; ++k)
        {
            std::string mutated = input;
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !mutated.empty(); ++e)
            {
                const size_t at = 1 + random() % mutated.size();
                switch (random() % 3)
                {
                case 0:
                    mutated.insert(std::min(at, mutated.size()), 1, alphabet[random() % alphabet.size()]);
                    break;
                case 1:
                    if (at < mutated.size())
                        mutated.erase(at, 1);
                    break;
                default:
                    if (at < mutated.size())
                        mutated[at] = alphabet[random() % alphabet.size()];
                }
            }
            EXPECT_EQ(formula_fuzz::RunFormulaInput(reinterpret_cast<const uint8_t*>(mutated.data()), mutated.size()),
                      "")
                << mutated;
            ++runs;
        }
    }
    EXPECT_GT(runs, 1000u);
}

} // namespace
