#include "selection/DefinitionRequests.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "formula/DerivedDefinitions.h"
#include "formula/SummaryDefinition.h"
#include "platform/Resources.h"
#include "selection/AttributeCommands.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

#include <cmath>

namespace selection
{

namespace
{
constexpr int kNotExecuted = 3912;     // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kExpressionExists = 9042; // expression: an attribute 'NAME' exists already
constexpr int kExists = 9090;          // VERB: an attribute 'NAME' exists already
constexpr int kNoAttribute = 9092;     // VERB: no attribute 'NAME'
constexpr int kBadBound = 9093;        // classify: not a bound
constexpr int kBoundNoNumber = 9094;   // classify: a bound of a numeric attribute that is no number
constexpr int kBoundOrder = 9095;      // classify: a bound out of order or overlapping an earlier one
constexpr int kCaseCondition = 9097;   // case: a condition that does not compile
constexpr int kSummaryFunction = 9103; // summary: an unknown function name
constexpr int kSummaryNothing = 9104;  // summary: no qualified record to summarise

// A request refused with a message; thrown inside this file only.
struct SRefusal
{
    KString strMessage;
};

SRefusal Refusal(int id, std::initializer_list<std::string> args = {})
{
    KString filled[3];
    size_t count = 0;
    for (const std::string& arg : args)
    {
        if (count < std::size(filled))
            filled[count++] = platform::FromUtf8(arg);
    }
    return {FormatMessageText(LoadResourceString(id), {filled[0], filled[1], filled[2]})};
}

void CheckNewName(CTable& table, const std::string& verb, const std::string& name)
{
    if (table.FindAttribute(platform::FromUtf8(name), nullptr, true, true))
        throw Refusal(kExists, {verb, name});
}

CAttribute* FindInput(CTable& table, const std::string& verb, const std::string& name)
{
    CAttribute* attribute = table.FindAttribute(platform::FromUtf8(name), nullptr, true);
    if (!attribute)
        throw Refusal(kNoAttribute, {verb, name});
    return attribute;
}

// One bound of a classification (see RequestClassification); without a ":NAME" the class is named by the bound.
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
        throw Refusal(kBadBound, {word});
    formula::CValueRange range(&table, &classified, type, platform::FromUtf8(threshold), platform::FromUtf8(label));
    range.InternValueSetIfNecessary();
    if (type <= formula::RANGE_EQUAL && classified.IsNumeric() && std::isnan(range.GetThresholdNumber()))
        throw Refusal(kBoundNoNumber, {word, platform::ToUtf8(classified.GetName())});
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
            throw Refusal(kBoundOrder, {words[i]});
    }
}

// Runs make; a refusal becomes null with its message in error.
template <class Make>
std::unique_ptr<CAttributeDefinition> Request(KString& error, Make make)
{
    try
    {
        return make();
    }
    catch (const SRefusal& refusal)
    {
        error = refusal.strMessage;
        return nullptr;
    }
}

} // namespace

std::unique_ptr<CAttributeDefinition> RequestExpression(CTable& table, const std::string& name,
                                                        const std::string& formula, KString& error)
{
    return Request(error,
                   [&]() -> std::unique_ptr<CAttributeDefinition>
                   {
                       if (table.FindAttribute(platform::FromUtf8(name), nullptr, true, true))
                           throw Refusal(kExpressionExists, {name});
                       formula::SFormulaStatus status;
                       auto definition = formula::CExpressionDefinition::Create(table, platform::FromUtf8(formula), status);
                       if (!definition)
                           throw SRefusal{u"expression: position " + platform::FromUtf8(std::to_string(status.nPosition + 1)) +
                                          u": " + status.strMessage};
                       return definition;
                   });
}

std::unique_ptr<CAttributeDefinition> RequestClassification(CTable& table, const std::string& name,
                                                            const std::string& attribute,
                                                            const std::vector<std::string>& bounds, KString& error)
{
    return Request(error,
                   [&]() -> std::unique_ptr<CAttributeDefinition>
                   {
                       CheckNewName(table, "classify", name);
                       CAttribute* classified = FindInput(table, "classify", attribute);
                       std::vector<formula::CValueRange> ranges;
                       for (const std::string& word : bounds)
                           ranges.push_back(ReadBound(table, *classified, word));
                       CheckBounds(table, *classified, ranges, bounds);
                       return std::make_unique<formula::CClassificationDefinition>(classified, std::move(ranges));
                   });
}

std::unique_ptr<CAttributeDefinition>
RequestCaseDiscrimination(CTable& table, const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& cases, KString& error)
{
    return Request(error,
                   [&]() -> std::unique_ptr<CAttributeDefinition>
                   {
                       CheckNewName(table, "case", name);
                       std::vector<std::unique_ptr<formula::CCase>> entries;
                       for (size_t i = 0; i < cases.size(); ++i)
                       {
                           const auto& [condition, value] = cases[i];
                           const bool otherwise = condition == "else" && i + 1 == cases.size();
                           const KString text = otherwise ? KString(u"1 = 1") : platform::FromUtf8(condition);
                           CAttribute* valueAttribute = nullptr;
                           if (value.size() > 2 && value.front() == '[' && value.back() == ']')
                               valueAttribute = FindInput(table, "case", value.substr(1, value.size() - 2));
                           auto entry = std::make_unique<formula::CCase>(&table, text, platform::FromUtf8(value),
                                                                         valueAttribute);
                           const formula::SFormulaStatus status = entry->CompileCondition();
                           if (!status.IsOk())
                               throw Refusal(kCaseCondition, {condition, std::to_string(status.nPosition + 1),
                                                              platform::ToUtf8(status.strMessage)});
                           entries.push_back(std::move(entry));
                       }
                       return std::make_unique<formula::CCaseDefinition>(std::move(entries));
                   });
}

std::unique_ptr<CAttributeDefinition> RequestLink(CTable& table, const std::string& name, const std::string& target,
                                                  KString& error)
{
    return Request(error,
                   [&]() -> std::unique_ptr<CAttributeDefinition>
                   {
                       CheckNewName(table, "link", name);
                       return std::make_unique<formula::CLinkDefinition>(FindInput(table, "link", target));
                   });
}

std::unique_ptr<CAttributeDefinition> RequestSummary(CTable& table, const std::string& name,
                                                     const SSummaryRequest& request, KString& error)
{
    return Request(error,
                   [&]() -> std::unique_ptr<CAttributeDefinition>
                   {
                       CheckNewName(table, "summary", name);
                       formula::SSummaryDefinition definition;
                       definition.nFunction = formula::ParseSummaryFunctionName(request.strFunction);
                       if (definition.nFunction == 0)
                           throw Refusal(kSummaryFunction, {request.strFunction});
                       definition.pSummarised = FindInput(table, "summary", request.strSummarised);
                       if (!request.strGrouping.empty())
                           definition.pGrouping = FindInput(table, "summary", request.strGrouping);
                       definition.bDown = request.bDown;
                       definition.bUniquePerGroup = request.bUniquePerGroup && definition.pGrouping;
                       if (const int refusal = formula::CheckIfLegalSummary(*definition.pSummarised,
                                                                            definition.pGrouping, definition.nFunction))
                           throw Refusal(refusal, {request.strSummarised});
                       const CRecordArray& all = table.GetAllRecords();
                       bool anyQualified = false;
                       for (long i = 0; i < all.GetSize() && !anyQualified; ++i)
                           anyQualified = all.GetRecord(i)->m_bQualified;
                       if (!anyQualified)
                           throw Refusal(kSummaryNothing, {request.strSummarised});
                       // A summary over a summary: a warning, or the question whether each value should count
                       // once per group (its default, No, keeps what was asked for; "unique" asks for it).
                       (void)formula::CheckSummaryBaseTypes(table, definition);
                       return std::make_unique<formula::CSummaryDefinition>(definition);
                   });
}

bool SubmitNewAttribute(CTable& table, const KString& name, std::unique_ptr<CAttributeDefinition> definition,
                        KString& error)
{
    auto command = std::make_shared<CInsertAttributeCommand>(&table, name, std::move(definition));
    command->Prepare(); // for the name in the message
    if (CTableSelection::Of(table).GetHistory().Submit(command, true, true, true))
        return true;
    error = FormatResource(kNotExecuted, {command->GetName()});
    return false;
}

} // namespace selection
