// The summary kind of derived attributes: its inputs and its recompute through RecomputeSummary.

#include "formula/SummaryDefinition.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "platform/Resources.h"

#include <algorithm>

namespace formula
{

int32_t CSummaryDefinition::GetKind() const
{
    return ATTR_SUMMARY;
}

void CSummaryDefinition::GetReferencedAttributes(std::vector<CAttribute*>& out) const
{
    for (CAttribute* attribute : {m_definition.pSummarised, m_definition.pGrouping})
    {
        if (attribute && std::find(out.begin(), out.end(), attribute) == out.end())
            out.push_back(attribute);
    }
}

std::unique_ptr<CAttributeDefinition> CSummaryDefinition::Clone() const
{
    return std::make_unique<CSummaryDefinition>(m_definition);
}

void CSummaryDefinition::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    if (m_definition.pSummarised)
        m_definition.pSummarised = map(m_definition.pSummarised);
    if (m_definition.pGrouping)
        m_definition.pGrouping = map(m_definition.pGrouping);
}

void CSummaryDefinition::PrepareRecompute(CTable&, CAttribute& attribute)
{
    for (CAttribute* input : {m_definition.pSummarised, m_definition.pGrouping})
    {
        if (!input || input->IsHeader())
            continue;
        if (input->IsNumeric() && input->GetNrOfValues() > 0)
            input->GetNumericValue(0);
        input->GetSortedRecords();
    }
    attribute.GetDerivedState().m_bSyntaxError = !m_definition.pSummarised;
    FitSummaryFormat(attribute, m_definition); // here, on the table's thread, not in a parallel wave
}

bool CSummaryDefinition::Recompute(CTable& table, CAttribute& attribute)
{
    if (!m_definition.pSummarised)
    {
        const CRecordArray& all = table.GetAllRecords();
        for (long i = 0; i < all.GetSize(); ++i)
            attribute.AddValue(all.GetRecord(i), KStringView());
        return true;
    }
    return RecomputeSummary(table, attribute, m_definition);
}

} // namespace formula

namespace formula
{

KString CSummaryDefinition::GetDescription() const
{
    constexpr int kOf = 4272;          // "%1 of [%2]"
    constexpr int kOfPer = 4273;       // "%1 of [%2] per [%3]"
    constexpr int kDown = 4274;        // "downwards"
    constexpr int kUnique = 4275;      // "each value once per group"
    const KString function = GetSummaryFunctionName(m_definition.nFunction);
    const KString summarised = m_definition.pSummarised ? m_definition.pSummarised->GetName() : KString();
    KString text = m_definition.pGrouping
                       ? FormatResource(kOfPer, {function, summarised, m_definition.pGrouping->GetName()})
                       : FormatResource(kOf, {function, summarised});
    if (m_definition.bDown)
        text += u", " + LoadResourceString(kDown);
    if (m_definition.bUniquePerGroup && m_definition.pGrouping)
        text += u", " + LoadResourceString(kUnique);
    return text;
}

} // namespace formula
