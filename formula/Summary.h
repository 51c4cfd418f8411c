#pragma once
// Summary attributes: the values of an attribute of kind ATTR_SUMMARY, computed from a summarised attribute over
// groups of records (the records sharing a value of the grouping attribute; without one, the whole table).
// Only qualified records (CRecord::m_bQualified) contribute; a group's result goes to every record of the group.
// The functions that give each record a result of its own (previous, next, running number, repetitions,
// accumulation, percentile, ranking, frequency) are described at ESummaryFunction.
//
// The derived-attribute framework keeps the definitions and decides when to recompute; this module only
// computes. Threading: the table's thread, or one task per summary in a wave of independent attributes: a
// recompute reads the summarised and grouping attributes (which must not change meanwhile) and writes only the
// summary's values.

#include "platform/Text.h"

#include <cstdint>
#include <string_view>

class CAttribute;
class CTable;

namespace formula
{

// The summary functions by their stored codes. Order-dependent ones walk the table's record order (the
// current sort); those that need an order of values use the summarised attribute's value order.
enum ESummaryFunction : int32_t
{
    SUMMARY_COUNT = 1, // records (key attribute) or distinct values per group
    SUMMARY_LIST,      // "|a|b|": the group's distinct values in value order ("|" beyond 254)
    SUMMARY_SUM,
    SUMMARY_MINIMUM, // numbers; for a text attribute the first value in value order
    SUMMARY_MAXIMUM,
    SUMMARY_AVERAGE,
    SUMMARY_SHARE_PERCENT, // the group's records (or distinct values) as % of all qualified ones
    SUMMARY_SHOWN_PERCENT, // the group's distinct values among qualified records as % of all its values
    SUMMARY_PREVIOUS,      // per record: the next smaller value among the group's qualified values
    SUMMARY_REPETITIONS,   // per record: length of its run of equal values in record order
    SUMMARY_NUMBER,        // per record: its value's number, values numbered by first appearance
    SUMMARY_NEXT,          // per record: the next larger value among the group's qualified values
    SUMMARY_MEDIAN,
    SUMMARY_STANDARD_DEVIATION, // population (divided by n)
    SUMMARY_VARIANCE,
    SUMMARY_MODE,                 // the strictly most frequent value, undefined on a tie
    SUMMARY_SUM_PERCENT,          // group sum as % of the qualified sum
    SUMMARY_AVERAGE_PERCENT,      // group average as % of the qualified average
    SUMMARY_ACCUMULATION,         // per record: running total in record order (bDown: from the end)
    SUMMARY_PERCENTILE,           // per record: % of qualified values at or below (bDown: at or above) its own
    SUMMARY_RANKING,              // per record: rank from the highest value (bDown: from the lowest)
    SUMMARY_ACCUMULATION_PERCENT, // per record: running total as % of the group total
    SUMMARY_FREQUENCY,            // per record: how many qualified records of its group hold its value
};

// What a summary computes. The attributes are borrowed from the table.
struct SSummaryDefinition
{
    CAttribute* pSummarised = nullptr; // without it nothing is computed
    CAttribute* pGrouping = nullptr;   // null: the whole table is one group
    int32_t nFunction = SUMMARY_COUNT; // ESummaryFunction
    bool bDown = false;                // direction of accumulation, % accumulation, percentile and ranking
    bool bUniquePerGroup = false;      // with a grouping attribute: each distinct value counts once per group
    int32_t nMaxListParts = 1;         // list parts to show (1 ... 10); a list recompute raises it
};

// Computes every record's value of the summary attribute (kind ATTR_SUMMARY) over the qualified records
// (CRecord::m_bQualified); every record of a group receives the group's result. The old values are replaced;
// numbers are written with the summary's format (given a fitting one first when its format cannot hold the
// results: ProposeSummaryFormat) and stored with their numbers. Undefined numbers of the summarised attribute
// count as 0 when the summary's RegardUndefinedAsZero is set. Without a summarised attribute nothing happens.
// Advances the table's progress by two units per record; returns false when that was cancelled (the values
// are then incomplete: the caller makes them undefined), else true.
bool RecomputeSummary(CTable& table, CAttribute& summary, SSummaryDefinition& definition);
// Gives the summary a format its results can be written with (ProposeSummaryFormat) unless its format already
// fits; RecomputeSummary does it first. Changes the table's formats: the table's thread only.
void FitSummaryFormat(CAttribute& summary, const SSummaryDefinition& definition);

// Whether the function's results depend on the order of the records (repetitions, number, accumulations).
bool IsSortDependentSummary(int32_t function);
// Whether the function is one of the advanced ones (median, standard deviation, variance, mode, percentile).
bool IsAdvancedSummaryFunction(int32_t function);
// Whether the function's results are texts for this summarised attribute (list; minimum, maximum, mode,
// previous and next of a text attribute).
bool IsTextSummaryResult(const SSummaryDefinition& definition);
// The format a new summary's results are written with: "" for texts, "####" for counts and ranks,
// "####.##" for percentages, "####." for averages, medians and spreads of numbers, otherwise the summarised
// attribute's format.
KString ProposeSummaryFormat(const SSummaryDefinition& definition);

// The function's name as the user sees it (in the current language); "???" for an unknown code.
KString GetSummaryFunctionName(int32_t function);
// The summary's display name "(function) per grouping" (resource 2336); without a grouping attribute the
// function's name alone.
KString GetSummaryName(const SSummaryDefinition& definition);
// The English verb names: count list sum minimum maximum average share-percent shown-percent previous
// repetitions number next median standard-deviation variance mode sum-percent average-percent accumulation
// percentile ranking accumulation-percent frequency. 0 when unknown.
int32_t ParseSummaryFunctionName(std::string_view name);
// The English verb name of a code; empty for an unknown one.
std::string_view GetSummaryFunctionVerb(int32_t function);
// Whether the summarised attribute's type allows the function; 0 when legal, else the resource id of the
// message that says why (its %1 is the summarised attribute's name).
int CheckIfLegalSummary(const CAttribute& summarised, const CAttribute* grouping, int32_t function);
// Whether the function's results change when a value enters once per record instead of once (sums, averages,
// spreads, medians, modes, percentiles, accumulations, frequencies).
bool CountsEachRecord(int32_t function);
// The checks made when a summary is defined: CheckIfLegalSummary (its refusal returned, nothing shown), then the
// warning about nested summaries: when the summarised attribute is itself a summary with one result per group,
// its values enter once per record of its groups. With a grouping attribute the table asks (message 2743, Yes
// and No, default No) whether each value should count once per group, and Yes sets definition.bUniquePerGroup;
// without one it only warns (message 2740). The messages go through the table's message handler, so scripts
// and hosts see them. Returns 0 when the summary may be defined.
int CheckSummaryBaseTypes(CTable& table, SSummaryDefinition& definition);

} // namespace formula
