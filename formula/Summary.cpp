// Summary attributes: names, classes and legality of the functions, and the format of their results.

#include "formula/Summary.h"

#include "formula/SummaryDefinition.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "platform/Resources.h"

#include <array>

namespace formula
{

namespace
{
constexpr int kSummaryNameMessageId = 2336;     // "(%1) per %2"
constexpr int kSameAttributeMessageId = 4350;   // summarised by itself
constexpr int kNeedsNumbersMessageId = 4351;    // a text attribute where numbers are needed
constexpr int kPointsInTimeMessageId = 4352;    // dates and times added up
constexpr int kUnknownFunctionMessageId = 4353; // unknown code
constexpr int kHeaderMessageId = 4354;          // a header summarised
constexpr int kNestedSummaryMessageId = 2740;   // "the attribute '%1' is a summary itself ..."
constexpr int kNestedSummaryQuestionId = 2743;  // "... should each value of '%1' be counted only once per group?"

struct SFunctionInfo
{
    std::string_view verb; // the English verb name
    int nResource;         // the name the user sees
};

// Indexed by code - 1.
constexpr std::array<SFunctionInfo, SUMMARY_FREQUENCY> kFunctions = {{
    {"count", 1370},         {"list", 2040},
    {"sum", 2738},           {"minimum", 2056},
    {"maximum", 2052},       {"average", 1054},
    {"share-percent", 2338}, {"shown-percent", 2340},
    {"previous", 2362},      {"repetitions", 1142},
    {"number", 1830},        {"next", 2142},
    {"median", 2947},        {"standard-deviation", 2949},
    {"variance", 2951},      {"mode", 2957},
    {"sum-percent", 2339},   {"average-percent", 2341},
    {"accumulation", 2739},  {"percentile", 2343},
    {"ranking", 2737},       {"accumulation-percent", 2741},
    {"frequency", 1371},
}};

bool IsKnown(int32_t function)
{
    return function >= SUMMARY_COUNT && function <= SUMMARY_FREQUENCY;
}

// Functions whose results are counts, ranks or running numbers.
bool GivesWholeNumbers(int32_t function)
{
    return function == SUMMARY_COUNT || function == SUMMARY_NUMBER || function == SUMMARY_REPETITIONS ||
           function == SUMMARY_RANKING || function == SUMMARY_FREQUENCY;
}

bool GivesPercentages(int32_t function)
{
    return function == SUMMARY_SHARE_PERCENT || function == SUMMARY_SHOWN_PERCENT || function == SUMMARY_SUM_PERCENT ||
           function == SUMMARY_AVERAGE_PERCENT || function == SUMMARY_PERCENTILE ||
           function == SUMMARY_ACCUMULATION_PERCENT;
}

// Functions that add numbers up or need them otherwise.
bool NeedsNumbers(int32_t function)
{
    switch (function)
    {
    case SUMMARY_SUM:
    case SUMMARY_AVERAGE:
    case SUMMARY_SUM_PERCENT:
    case SUMMARY_AVERAGE_PERCENT:
    case SUMMARY_ACCUMULATION:
    case SUMMARY_ACCUMULATION_PERCENT:
    case SUMMARY_MEDIAN:
    case SUMMARY_STANDARD_DEVIATION:
    case SUMMARY_VARIANCE:
        return true;
    default:
        return false;
    }
}

// Functions that give every record of a group the same result.
bool GivesGroupResult(int32_t function)
{
    switch (function)
    {
    case SUMMARY_PREVIOUS:
    case SUMMARY_REPETITIONS:
    case SUMMARY_NUMBER:
    case SUMMARY_NEXT:
    case SUMMARY_ACCUMULATION:
    case SUMMARY_PERCENTILE:
    case SUMMARY_RANKING:
    case SUMMARY_ACCUMULATION_PERCENT:
    case SUMMARY_FREQUENCY:
        return false;
    default:
        return true;
    }
}

bool AddsUp(int32_t function)
{
    return function == SUMMARY_SUM || function == SUMMARY_SUM_PERCENT || function == SUMMARY_ACCUMULATION ||
           function == SUMMARY_ACCUMULATION_PERCENT;
}
} // namespace

bool IsSortDependentSummary(int32_t function)
{
    return function == SUMMARY_REPETITIONS || function == SUMMARY_NUMBER || function == SUMMARY_ACCUMULATION ||
           function == SUMMARY_ACCUMULATION_PERCENT;
}

bool IsAdvancedSummaryFunction(int32_t function)
{
    return function == SUMMARY_MEDIAN || function == SUMMARY_STANDARD_DEVIATION || function == SUMMARY_VARIANCE ||
           function == SUMMARY_MODE || function == SUMMARY_PERCENTILE;
}

bool IsTextSummaryResult(const SSummaryDefinition& definition)
{
    if (definition.nFunction == SUMMARY_LIST)
        return true;
    const bool textInput = definition.pSummarised == nullptr || !definition.pSummarised->IsNumeric();
    switch (definition.nFunction)
    {
    case SUMMARY_MINIMUM:
    case SUMMARY_MAXIMUM:
    case SUMMARY_MODE:
    case SUMMARY_PREVIOUS:
    case SUMMARY_NEXT:
        return textInput;
    default:
        return false;
    }
}

KString ProposeSummaryFormat(const SSummaryDefinition& definition)
{
    if (IsTextSummaryResult(definition))
        return KString();
    const int32_t function = definition.nFunction;
    if (GivesWholeNumbers(function))
        return u"####";
    if (GivesPercentages(function))
        return u"####.##";
    const CAttribute* summarised = definition.pSummarised;
    const bool numeric = summarised != nullptr && summarised->IsNumeric();
    const bool plainNumber =
        numeric && (summarised->GetType() == VALUE_INTEGER || summarised->GetType() == VALUE_DOUBLE);
    if (function == SUMMARY_STANDARD_DEVIATION || function == SUMMARY_VARIANCE)
        return u"####.";
    if ((function == SUMMARY_AVERAGE || function == SUMMARY_MEDIAN) && plainNumber)
        return u"####.";
    return numeric ? summarised->GetFormatString() : KString(u"####.");
}

KString GetSummaryFunctionName(int32_t function)
{
    if (!IsKnown(function))
        return u"???";
    return LoadResourceString(kFunctions[static_cast<size_t>(function - 1)].nResource);
}

KString GetSummaryName(const SSummaryDefinition& definition)
{
    const KString function = GetSummaryFunctionName(definition.nFunction);
    if (!definition.pGrouping)
        return function;
    return FormatResource(kSummaryNameMessageId, {function, definition.pGrouping->GetName()});
}

int32_t ParseSummaryFunctionName(std::string_view name)
{
    for (size_t i = 0; i < kFunctions.size(); ++i)
    {
        if (kFunctions[i].verb == name)
            return static_cast<int32_t>(i + 1);
    }
    return 0;
}

std::string_view GetSummaryFunctionVerb(int32_t function)
{
    return IsKnown(function) ? kFunctions[static_cast<size_t>(function - 1)].verb : std::string_view();
}

int CheckIfLegalSummary(const CAttribute& summarised, const CAttribute* grouping, int32_t function)
{
    if (!IsKnown(function))
        return kUnknownFunctionMessageId;
    if (summarised.IsHeader())
        return kHeaderMessageId;
    if (grouping == &summarised)
        return kSameAttributeMessageId;
    if (NeedsNumbers(function) && !summarised.IsNumeric())
        return kNeedsNumbersMessageId;
    if (AddsUp(function))
    {
        // Durations add up; points in time do not.
        const EValueType type = summarised.GetType();
        if (type == VALUE_DATE || type == VALUE_TIME || type == VALUE_DATETIME)
            return kPointsInTimeMessageId;
    }
    return 0;
}

bool CountsEachRecord(int32_t function)
{
    switch (function)
    {
    case SUMMARY_SUM:
    case SUMMARY_AVERAGE:
    case SUMMARY_SUM_PERCENT:
    case SUMMARY_AVERAGE_PERCENT:
    case SUMMARY_MEDIAN:
    case SUMMARY_STANDARD_DEVIATION:
    case SUMMARY_VARIANCE:
    case SUMMARY_MODE:
    case SUMMARY_ACCUMULATION:
    case SUMMARY_ACCUMULATION_PERCENT:
    case SUMMARY_PERCENTILE:
    case SUMMARY_FREQUENCY:
        return true;
    default:
        return false;
    }
}

int CheckSummaryBaseTypes(CTable& table, SSummaryDefinition& definition)
{
    if (!definition.pSummarised)
        return kUnknownFunctionMessageId;
    const CAttribute& summarised = *definition.pSummarised;
    if (const int refusal = CheckIfLegalSummary(summarised, definition.pGrouping, definition.nFunction))
        return refusal;
    if (summarised.GetAttributeType() != ATTR_SUMMARY || !CountsEachRecord(definition.nFunction) ||
        (definition.bUniquePerGroup && definition.pGrouping))
        return 0;
    // Only an inner summary with one result per group repeats its values (results per record do not).
    const auto* inner = dynamic_cast<const CSummaryDefinition*>(summarised.GetDefinition());
    if (inner && !GivesGroupResult(inner->GetDefinition().nFunction))
        return 0;
    const KString name = summarised.GetDisplayName(50);
    if (!definition.pGrouping)
    {
        table.ShowMessage(kNestedSummaryMessageId, {name});
        return 0;
    }
    if (table.ShowMessage(kNestedSummaryQuestionId, {name}, MESSAGE_YES_NO, ANSWER_NO) == ANSWER_YES)
        definition.bUniquePerGroup = true;
    return 0;
}

} // namespace formula
