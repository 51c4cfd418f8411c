#pragma once
// CSummaryDefinition: the definition of a summary attribute (kind 2) for the recompute of derived attributes:
// the summarised and grouping attributes, the function and its options (SSummaryDefinition, Summary.h), with
// the computation itself in RecomputeSummary. Summaries follow the qualified records; the sort-dependent
// functions are outdated by a change of the record order as well.
//
// Threading: as CAttributeDefinition (Recompute writes only its own attribute).

#include "engine/AttributeDefinition.h"
#include "formula/Summary.h"

namespace formula
{

class CSummaryDefinition final : public CAttributeDefinition
{
public:
    explicit CSummaryDefinition(const SSummaryDefinition& definition) : m_definition(definition) {}

    int32_t GetKind() const override;
    void GetReferencedAttributes(std::vector<CAttribute*>& out) const override;
    std::unique_ptr<CAttributeDefinition> Clone() const override;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) override;
    // Brings the inputs' caches up to date (numbers, records in value order).
    void PrepareRecompute(CTable& table, CAttribute& attribute) override;
    bool Recompute(CTable& table, CAttribute& attribute) override;
    bool IsSortDependent() const override { return IsSortDependentSummary(m_definition.nFunction); }
    bool FollowsQualification() const override { return true; }
    // n x 2 (summaries are rebuilt completely at each recompute).
    double EstimatedSteps(long records) const override { return 2.0 * records; }
    // "Sum of [a] per [b], downwards" in the current language.
    KString GetDescription() const override;

    const SSummaryDefinition& GetDefinition() const { return m_definition; }

private:
    SSummaryDefinition m_definition; // attributes borrowed from the table; pSummarised null: all undefined
};

} // namespace formula
