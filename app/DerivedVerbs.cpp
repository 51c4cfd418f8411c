// The script verbs that define derived attributes and recompute them: expression (FormulaCommands.cpp builds
// its definition), redefine, summary, classify, case, link and recompute. Each definition is submitted as a command, so
// that undo takes it back and the attribute recomputes when its inputs change; bad input fails the line with
// a message and leaves the table as it was.

#include "app/Commands.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "formula/DerivedAttributes.h"
#include "formula/DerivedDefinitions.h"
#include "formula/SummaryDefinition.h"
#include "selection/AttributeCommands.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

#include <cmath>
#include <stdexcept>

namespace app
{

namespace
{
constexpr int kNotExecuted = 3912;    // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kExists = 9090;         // VERB: an attribute 'NAME' exists already
constexpr int kClassifyUsage = 9091;  // classify without NAME ATTRIBUTE BOUND
constexpr int kNoAttribute = 9092;    // VERB: no attribute 'NAME'
constexpr int kBadBound = 9093;       // classify: not a bound
constexpr int kBoundNoNumber = 9094;  // classify: a bound of a numeric attribute that is no number
constexpr int kBoundOrder = 9095;     // classify: a bound out of order or overlapping an earlier one
constexpr int kCaseUsage = 9096;      // case without NAME CONDITION VALUE
constexpr int kCaseCondition = 9097;  // case: a condition that does not compile
constexpr int kLinkUsage = 9098;      // link without NAME TARGET
constexpr int kRecomputeUsage = 9099; // recompute with something else than all
constexpr int kRedefineUsage = 9100;  // redefine without NAME FORMULA
constexpr int kNotExpression = 9101;  // redefine: not an expression attribute
constexpr int kSummaryUsage = 9102;   // summary without NAME FUNCTION ATTRIBUTE, or a word it does not know
constexpr int kSummaryFunction = 9103; // summary: an unknown function name
constexpr int kSummaryNothing = 9104; // summary: no qualified record to summarise

void SubmitDefinition(CTable& table, const std::shared_ptr<CCommand>& command)
{
    command->Prepare(); // for the name in the message
    if (!CTableSelection::Of(table).GetHistory().Submit(command, true, true, true))
        throw std::runtime_error(Text(kNotExecuted, {platform::ToUtf8(command->GetName())}));
}

void CheckNewName(CTable& table, const std::string& verb, const std::string& name)
{
    if (table.FindAttribute(platform::FromUtf8(name), nullptr, true, true))
        throw std::runtime_error(Text(kExists, {verb, name}));
}

CAttribute* FindInput(CTable& table, const std::string& verb, const std::string& name)
{
    CAttribute* attribute = table.FindAttribute(platform::FromUtf8(name), nullptr, true);
    if (!attribute)
        throw std::runtime_error(Text(kNoAttribute, {verb, name}));
    return attribute;
}

// One bound of classify: "<=X", "<X", "=X", "|a|b|", "legal", "illegal", "undefined" or "else", each with an
// optional ":NAME" (split at the last colon); without a name the class is named by the bound itself.
formula::CValueRange ReadBound(CTable& table, CAttribute& classified, const std::string& word)
{
    std::string bound = word, label = word;
    const size_t colon = word.rfind(':');
    if (colon != std::string::npos)
    {
        bound = word.substr(0, colon);
        label = word.substr(colon + 1);
    }
    int32_t type = -1;
    std::string threshold;
    auto startsWith = [&](const char* prefix) { return bound.rfind(prefix, 0) == 0; };
    if (startsWith("<="))
        type = formula::RANGE_AT_MOST, threshold = bound.substr(2);
    else if (startsWith("<"))
        type = formula::RANGE_BELOW, threshold = bound.substr(1);
    else if (startsWith("="))
        type = formula::RANGE_EQUAL, threshold = bound.substr(1);
    else if (bound.size() >= 2 && bound.front() == '|' && bound.back() == '|')
        type = formula::RANGE_IN_SET, threshold = bound;
    else if (bound == "legal")
        type = formula::RANGE_LEGAL;
    else if (bound == "illegal")
        type = formula::RANGE_ILLEGAL;
    else if (bound == "undefined")
        type = formula::RANGE_UNDEFINED;
    else if (bound == "else")
        type = formula::RANGE_ALWAYS;
    if (type < 0 || (type <= formula::RANGE_EQUAL && threshold.empty()))
        throw std::runtime_error(Text(kBadBound, {word}));
    formula::CValueRange range(&table, &classified, type, platform::FromUtf8(threshold), platform::FromUtf8(label));
    range.InternValueSetIfNecessary();
    if (type <= formula::RANGE_EQUAL && classified.IsNumeric() && std::isnan(range.GetThresholdNumber()))
        throw std::runtime_error(Text(kBoundNoNumber, {word, platform::ToUtf8(classified.GetName())}));
    return range;
}

// Refuses classes that cannot be reached or overlap: the comparisons (<, <=) must ascend strictly (at the same
// threshold '<' before '<='), an equality or a value set must not be contained by an earlier class, and
// nothing may follow 'else'.
void CheckBounds(CTable& table, CAttribute& classified, const std::vector<formula::CValueRange>& ranges,
                 const std::vector<std::string>& words)
{
    const formula::CValueRange* lastComparison = nullptr;
    for (size_t i = 0; i < ranges.size(); ++i)
    {
        const formula::CValueRange& range = ranges[i];
        bool bad = i > 0 && ranges[i - 1].GetRangeType() >= formula::RANGE_ALWAYS;
        const KString& threshold = range.GetThreshold();
        if (range.GetRangeType() == formula::RANGE_AT_MOST || range.GetRangeType() == formula::RANGE_BELOW)
        {
            if (lastComparison)
            {
                int order = 0;
                if (classified.IsNumeric())
                {
                    const double a = lastComparison->GetThresholdNumber(), b = range.GetThresholdNumber();
                    order = a < b ? -1 : (a > b ? 1 : 0);
                }
                else
                {
                    order = table.CompareStringValues(lastComparison->GetThreshold().c_str(), threshold.c_str());
                }
                const bool ascending =
                    order < 0 || (order == 0 && lastComparison->GetRangeType() == formula::RANGE_BELOW &&
                                  range.GetRangeType() == formula::RANGE_AT_MOST);
                bad = bad || !ascending;
            }
            lastComparison = &range;
        }
        else if (range.GetRangeType() == formula::RANGE_EQUAL)
        {
            for (size_t k = 0; k < i && !bad; ++k)
                bad = ranges[k].Contains(threshold, range.GetThresholdNumber());
        }
        if (bad)
            throw std::runtime_error(Text(kBoundOrder, {words[i]}));
    }
}

void AddClassification(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4)
        throw std::runtime_error(Text(kClassifyUsage));
    CheckNewName(table, "classify", words[1]);
    CAttribute* classified = FindInput(table, "classify", words[2]);
    std::vector<formula::CValueRange> ranges;
    const std::vector<std::string> bounds(words.begin() + 3, words.end());
    for (const std::string& word : bounds)
        ranges.push_back(ReadBound(table, *classified, word));
    CheckBounds(table, *classified, ranges, bounds);
    SubmitDefinition(table, std::make_shared<CInsertAttributeCommand>(
                                &table, platform::FromUtf8(words[1]),
                                std::make_unique<formula::CClassificationDefinition>(classified, std::move(ranges))));
}

void AddCaseDiscrimination(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4 || words.size() % 2 != 0)
        throw std::runtime_error(Text(kCaseUsage));
    CheckNewName(table, "case", words[1]);
    std::vector<std::unique_ptr<formula::CCase>> cases;
    for (size_t i = 2; i + 1 < words.size(); i += 2)
    {
        const bool otherwise = words[i] == "else" && i + 2 == words.size();
        const KString condition = otherwise ? KString(u"1 = 1") : platform::FromUtf8(words[i]);
        // A value written as [NAME] is the record's own value of that attribute.
        const std::string& value = words[i + 1];
        CAttribute* valueAttribute = nullptr;
        if (value.size() > 2 && value.front() == '[' && value.back() == ']')
            valueAttribute = FindInput(table, "case", value.substr(1, value.size() - 2));
        auto entry = std::make_unique<formula::CCase>(&table, condition, platform::FromUtf8(value), valueAttribute);
        const formula::SFormulaStatus status = entry->CompileCondition();
        if (!status.IsOk())
            throw std::runtime_error(Text(
                kCaseCondition, {words[i], std::to_string(status.nPosition + 1), platform::ToUtf8(status.strMessage)}));
        cases.push_back(std::move(entry));
    }
    SubmitDefinition(
        table, std::make_shared<CInsertAttributeCommand>(&table, platform::FromUtf8(words[1]),
                                                         std::make_unique<formula::CCaseDefinition>(std::move(cases))));
}

void AddLink(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() != 3)
        throw std::runtime_error(Text(kLinkUsage));
    CheckNewName(table, "link", words[1]);
    CAttribute* target = FindInput(table, "link", words[2]);
    SubmitDefinition(table,
                     std::make_shared<CInsertAttributeCommand>(&table, platform::FromUtf8(words[1]),
                                                               std::make_unique<formula::CLinkDefinition>(target)));
}

// summary NAME FUNCTION ATTRIBUTE [by GROUP] [down] [unique]
void AddSummary(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4)
        throw std::runtime_error(Text(kSummaryUsage));
    CheckNewName(table, "summary", words[1]);
    formula::SSummaryDefinition definition;
    definition.nFunction = formula::ParseSummaryFunctionName(words[2]);
    if (definition.nFunction == 0)
        throw std::runtime_error(Text(kSummaryFunction, {words[2]}));
    definition.pSummarised = FindInput(table, "summary", words[3]);
    for (size_t i = 4; i < words.size(); ++i)
    {
        if (words[i] == "by" && i + 1 < words.size() && !definition.pGrouping)
            definition.pGrouping = FindInput(table, "summary", words[++i]);
        else if (words[i] == "down")
            definition.bDown = true;
        else if (words[i] == "unique" && definition.pGrouping)
            definition.bUniquePerGroup = true;
        else
            throw std::runtime_error(Text(kSummaryUsage));
    }
    if (const int refusal = formula::CheckIfLegalSummary(*definition.pSummarised, definition.pGrouping,
                                                         definition.nFunction))
        throw std::runtime_error(Text(refusal, {words[3]}));
    const CRecordArray& all = table.GetAllRecords();
    bool anyQualified = false;
    for (long i = 0; i < all.GetSize() && !anyQualified; ++i)
        anyQualified = all.GetRecord(i)->m_bQualified;
    if (!anyQualified)
        throw std::runtime_error(Text(kSummaryNothing, {words[3]}));
    // A summary over a summary: the warning is a note; the question whether each value should count once per
    // group is answered by its default (No: "unique" asks for it).
    (void)formula::CheckSummaryBaseTypes(table, definition);
    SubmitDefinition(table,
                     std::make_shared<CInsertAttributeCommand>(&table, platform::FromUtf8(words[1]),
                                                               std::make_unique<formula::CSummaryDefinition>(definition)));
}

void RedefineExpression(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() != 3)
        throw std::runtime_error(Text(kRedefineUsage));
    CAttribute* attribute = FindInput(table, "redefine", words[1]);
    if (attribute->GetAttributeType() != ATTR_EXPRESSION)
        throw std::runtime_error(Text(kNotExpression, {words[1]}));
    formula::SFormulaStatus status;
    auto definition = formula::CExpressionDefinition::Create(table, platform::FromUtf8(words[2]), status);
    if (!definition)
        throw std::runtime_error("redefine: position " + std::to_string(status.nPosition + 1) + ": " +
                                 platform::ToUtf8(status.strMessage));
    SubmitDefinition(table, std::make_shared<CRedefineAttributeCommand>(&table, attribute, std::move(definition)));
}
} // namespace

bool IsDerivedVerb(const std::string& verb)
{
    return verb == "classify" || verb == "case" || verb == "link" || verb == "recompute" || verb == "redefine" ||
           verb == "summary";
}

void RunDerivedVerb(CTable& table, const std::vector<std::string>& words)
{
    const std::string& verb = words[0];
    if (verb == "classify")
        AddClassification(table, words);
    else if (verb == "case")
        AddCaseDiscrimination(table, words);
    else if (verb == "link")
        AddLink(table, words);
    else if (verb == "summary")
        AddSummary(table, words);
    else if (verb == "redefine")
        RedefineExpression(table, words);
    else
    {
        if (words.size() > 2 || (words.size() == 2 && words[1] != "all"))
            throw std::runtime_error(Text(kRecomputeUsage));
        formula::CDerivedAttributes::Of(table).RecomputeDerivedAttributesManually(words.size() == 2);
    }
}

void SubmitExpressionAttribute(CTable& table, const KString& name, std::unique_ptr<CAttributeDefinition> definition)
{
    SubmitDefinition(table, std::make_shared<CInsertAttributeCommand>(&table, name, std::move(definition)));
}

} // namespace app
