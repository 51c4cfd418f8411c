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
#include "selection/DefinitionRequests.h"
#include "selection/TableSelection.h"

#include <stdexcept>

namespace app
{

namespace
{
constexpr int kNotExecuted = 3912;    // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kNoAttribute = 9092;    // VERB: no attribute 'NAME'
constexpr int kClassifyUsage = 9091;  // classify without NAME ATTRIBUTE BOUND
constexpr int kCaseUsage = 9096;      // case without NAME CONDITION VALUE
constexpr int kLinkUsage = 9098;      // link without NAME TARGET
constexpr int kRecomputeUsage = 9099; // recompute with something else than all
constexpr int kRedefineUsage = 9100;  // redefine without NAME FORMULA
constexpr int kNotExpression = 9101;  // redefine: not an expression attribute
constexpr int kSummaryUsage = 9102;   // summary without NAME FUNCTION ATTRIBUTE, or a word it does not know

// A refused request ends the line with its message.
std::unique_ptr<CAttributeDefinition> Checked(std::unique_ptr<CAttributeDefinition> definition, const KString& error)
{
    if (!definition)
        throw std::runtime_error(platform::ToUtf8(error));
    return definition;
}

void SubmitDefinition(CTable& table, const std::string& name, std::unique_ptr<CAttributeDefinition> definition)
{
    KString error;
    if (!selection::SubmitNewAttribute(table, platform::FromUtf8(name), std::move(definition), error))
        throw std::runtime_error(platform::ToUtf8(error));
}

void AddClassification(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4)
        throw std::runtime_error(Text(kClassifyUsage));
    KString error;
    auto definition = selection::RequestClassification(table, words[1], words[2],
                                                       std::vector<std::string>(words.begin() + 3, words.end()), error);
    SubmitDefinition(table, words[1], Checked(std::move(definition), error));
}

void AddCaseDiscrimination(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4 || words.size() % 2 != 0)
        throw std::runtime_error(Text(kCaseUsage));
    std::vector<std::pair<std::string, std::string>> cases;
    for (size_t i = 2; i + 1 < words.size(); i += 2)
        cases.emplace_back(words[i], words[i + 1]);
    KString error;
    auto definition = selection::RequestCaseDiscrimination(table, words[1], cases, error);
    SubmitDefinition(table, words[1], Checked(std::move(definition), error));
}

void AddLink(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() != 3)
        throw std::runtime_error(Text(kLinkUsage));
    KString error;
    auto definition = selection::RequestLink(table, words[1], words[2], error);
    SubmitDefinition(table, words[1], Checked(std::move(definition), error));
}

// summary NAME FUNCTION ATTRIBUTE [by GROUP] [down] [unique]
void AddSummary(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 4)
        throw std::runtime_error(Text(kSummaryUsage));
    selection::SSummaryRequest request;
    request.strFunction = words[2];
    request.strSummarised = words[3];
    for (size_t i = 4; i < words.size(); ++i)
    {
        if (words[i] == "by" && i + 1 < words.size() && request.strGrouping.empty())
            request.strGrouping = words[++i];
        else if (words[i] == "down")
            request.bDown = true;
        else if (words[i] == "unique" && !request.strGrouping.empty())
            request.bUniquePerGroup = true;
        else
            throw std::runtime_error(Text(kSummaryUsage));
    }
    KString error;
    auto definition = selection::RequestSummary(table, words[1], request, error);
    SubmitDefinition(table, words[1], Checked(std::move(definition), error));
}

void RedefineExpression(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() != 3)
        throw std::runtime_error(Text(kRedefineUsage));
    CAttribute* attribute = table.FindAttribute(platform::FromUtf8(words[1]), nullptr, true);
    if (!attribute)
        throw std::runtime_error(Text(kNoAttribute, {"redefine", words[1]}));
    if (attribute->GetAttributeType() != ATTR_EXPRESSION)
        throw std::runtime_error(Text(kNotExpression, {words[1]}));
    formula::SFormulaStatus status;
    auto definition = formula::CExpressionDefinition::Create(table, platform::FromUtf8(words[2]), status);
    if (!definition)
        throw std::runtime_error("redefine: position " + std::to_string(status.nPosition + 1) + ": " +
                                 platform::ToUtf8(status.strMessage));
    auto command = std::make_shared<CRedefineAttributeCommand>(&table, attribute, std::move(definition));
    command->Prepare(); // for the name in the message
    if (!CTableSelection::Of(table).GetHistory().Submit(command, true, true, true))
        throw std::runtime_error(Text(kNotExecuted, {platform::ToUtf8(command->GetName())}));
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
    KString error;
    if (!selection::SubmitNewAttribute(table, name, std::move(definition), error))
        throw std::runtime_error(platform::ToUtf8(error));
}

} // namespace app
