// The recompute of a table's derived attributes: outdating, ordering, cycles, sequential and parallel paths.

#include "formula/DerivedAttributes.h"

#include "engine/Attribute.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace formula
{

namespace
{
// The key under which the table keeps its CDerivedAttributes.
const char kCompanionKey = 0;

constexpr int kCycleMessage = 1420;       // "Achtung: Zyklische Abhängigkeit! ..."
constexpr int kComputingAttribute = 2430; // "Attribut '%1' wird berechnet"
constexpr int kRecomputing = 2432;        // "Abgeleitete Attribute werden neu berechnet"

bool ContainsAttribute(const std::vector<CAttribute*>& list, const CAttribute* attribute)
{
    return std::find(list.begin(), list.end(), attribute) != list.end();
}
} // namespace

CDerivedAttributes& CDerivedAttributes::Of(CTable& table)
{
    if (CTableCompanion* companion = table.FindCompanion(&kCompanionKey))
        return static_cast<CDerivedAttributes&>(*companion);
    return static_cast<CDerivedAttributes&>(
        table.AttachCompanion(&kCompanionKey, std::make_unique<CDerivedAttributes>(table)));
}

CDerivedAttributes* CDerivedAttributes::Find(const CTable& table)
{
    return static_cast<CDerivedAttributes*>(table.FindCompanion(&kCompanionKey));
}

std::vector<CAttribute*> CDerivedAttributes::DerivedAttributes() const
{
    std::vector<CAttribute*> derived;
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        if (attribute->IsDerived() && attribute->GetDefinition())
            derived.push_back(attribute);
    }
    return derived;
}

// ---- outdating ----

void CDerivedAttributes::InvalidateDerivedAttributes(CAttribute* changed, bool includeItself)
{
    if (!changed)
        return;
    if (includeItself && changed->IsDerived())
        changed->GetDerivedState().m_bOutdated = true;
    for (CAttribute* attribute : DerivedAttributes())
    {
        if (!attribute->GetDerivedState().m_bOutdated &&
            ContainsAttribute(attribute->GetReferencedAttributes(), changed))
            attribute->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::InvalidateAllDerivedAttributes()
{
    for (CAttribute* attribute : DerivedAttributes())
        attribute->GetDerivedState().m_bOutdated = true;
}

void CDerivedAttributes::InvalidateSummaries()
{
    for (CAttribute* attribute : DerivedAttributes())
    {
        if (attribute->GetDefinition()->FollowsQualification())
            attribute->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::InvalidateSortDependentSummaries()
{
    for (CAttribute* attribute : DerivedAttributes())
    {
        if (attribute->GetDefinition()->IsSortDependent())
            attribute->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::InvalidateExpressions()
{
    for (CAttribute* attribute : DerivedAttributes())
    {
        if (attribute->GetAttributeType() >= ATTR_EXPRESSION)
            attribute->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::InvalidateTimeDependentAttributes(int32_t timeDependency)
{
    for (CAttribute* attribute : DerivedAttributes())
    {
        if (attribute->GetDefinition()->DependsOnTime(timeDependency))
            attribute->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::AddDerivedPredecessors(CSet& set) const
{
    bool added = true;
    while (added)
    {
        added = false;
        for (long i = 0; i < set.GetCount(); ++i)
        {
            const auto* member = static_cast<const CAttribute*>(set.GetAt(i));
            for (CAttribute* input : member->GetReferencedAttributes())
            {
                if (input->IsDerived() && input->GetDefinition() && set.AddTail(input))
                    added = true;
            }
        }
    }
}

CAttribute* CDerivedAttributes::FindCycle(CAttribute& attribute) const
{
    // Depth-first through the inputs; attribute lies on a cycle when it is reached again.
    std::vector<CAttribute*> stack = attribute.GetReferencedAttributes();
    std::unordered_set<const CAttribute*> seen;
    while (!stack.empty())
    {
        CAttribute* current = stack.back();
        stack.pop_back();
        if (current == &attribute)
            return &attribute;
        if (!seen.insert(current).second)
            continue;
        for (CAttribute* input : current->GetReferencedAttributes())
            stack.push_back(input);
    }
    return nullptr;
}

// ---- when an attribute is recomputed ----

bool CDerivedAttributes::IsRecomputable(const CAttribute& attribute, int mode) const
{
    if (!attribute.IsDerived() || !attribute.GetDefinition())
        return false;
    const CDerivedState& state = attribute.GetDerivedState();
    if (state.m_bMustRecompute)
        return true;
    if (!state.m_bOutdated)
        return false;
    if (mode == 1 && !m_bAutomaticEvaluation)
        return false;
    if (m_restricted && m_restricted(attribute))
        return false;
    if (attribute.GetDefinition()->IsSortDependent() && mode == 1 && !m_bDataRefreshed)
        return false;
    return mode >= attribute.GetEvalMode();
}

double CDerivedAttributes::EstimatedRecomputationSteps(const CAttribute& attribute, int mode) const
{
    return IsRecomputable(attribute, mode) ? attribute.GetDefinition()->EstimatedSteps(m_table.GetRecordCount()) : 0;
}

double CDerivedAttributes::EstimatedSortingSteps(const CAttribute& attribute)
{
    const double values = static_cast<double>(attribute.GetNrOfValues());
    return values > 0 ? std::max(1.0, values * std::log(values)) : 1;
}

int CDerivedAttributes::RecomputeDerivedAttributes(int mode, bool reportCycles, bool waitCursor, const CSet* restrictTo)
{
    (void)waitCursor; // the wait cursor belongs to the window
    const std::vector<CAttribute*> derived = DerivedAttributes();
    // 1. The attributes to recompute: the recomputable outdated ones and, repeatedly, those computed from them.
    std::vector<CAttribute*> set;
    std::unordered_set<const CAttribute*> inSet;
    for (bool grown = true; grown;)
    {
        grown = false;
        for (CAttribute* attribute : derived)
        {
            if (inSet.count(attribute))
                continue;
            bool take = attribute->GetDerivedState().m_bOutdated && IsRecomputable(*attribute, mode);
            if (!take)
            {
                for (CAttribute* input : attribute->GetReferencedAttributes())
                {
                    if (inSet.count(input))
                    {
                        attribute->GetDerivedState().m_bOutdated = true;
                        take = true;
                        break;
                    }
                }
            }
            if (!take && attribute->GetDerivedState().m_bMustRecompute)
                take = true;
            if (take)
            {
                set.push_back(attribute);
                inSet.insert(attribute);
                grown = true;
            }
        }
    }
    m_lastRecomputed.clear();
    if (set.empty())
        return 0;
    // 2. Order: an attribute follows every member of the set it is computed from.
    std::vector<CAttribute*> order;
    std::unordered_set<const CAttribute*> ordered;
    for (bool grown = true; grown;)
    {
        grown = false;
        for (CAttribute* attribute : set)
        {
            if (ordered.count(attribute))
                continue;
            const std::vector<CAttribute*> inputs = attribute->GetReferencedAttributes();
            if (std::all_of(inputs.begin(), inputs.end(),
                            [&](const CAttribute* input) { return !inSet.count(input) || ordered.count(input); }))
            {
                order.push_back(attribute);
                ordered.insert(attribute);
                grown = true;
            }
        }
    }
    // 3. Cycles: the attributes held back keep their values (undefined ones when they had to be recomputed).
    if (order.size() == set.size())
    {
        m_pCycleAttribute = nullptr;
    }
    else
    {
        for (CAttribute* attribute : set)
        {
            if (ordered.count(attribute))
                continue;
            CDerivedState& state = attribute->GetDerivedState();
            if (state.m_bMustRecompute)
            {
                SetAllUndefined(*attribute);
                state.m_bMustRecompute = false;
            }
            if (!m_pCycleAttribute)
            {
                m_pCycleAttribute = attribute;
                if (reportCycles)
                    m_table.ShowMessage(kCycleMessage, {attribute->GetDisplayName(50)});
            }
        }
    }
    // 4. Only the members of the restricting set.
    if (restrictTo && !restrictTo->IsEmpty())
        order.erase(std::remove_if(order.begin(), order.end(),
                                   [&](const CAttribute* attribute) { return !restrictTo->Find(attribute); }),
                    order.end());
    // 5. Progress over the work units of all; the host may cancel (the attribute then running is left undefined
    // and outdated, those not yet begun keep their values and stay outdated).
    double steps = 1.0;
    for (const CAttribute* attribute : order)
        steps += EstimatedRecomputationSteps(*attribute, mode);
    CStatusMessageGuard status(m_table, LoadResourceString(kRecomputing));
    CProgressGuard progress(m_table, LoadResourceString(kRecomputing), steps);
    CTableMessages& messages = m_table.GetMessages();
    int recomputed = 0;
    const bool parallel =
        m_bParallelAllowed && m_table.UseMulticores() && platform::GetProcessorCount() >= 2 && order.size() >= 2;
    if (parallel)
    {
        // 6. Waves: every attribute none of whose inputs is still to come, all at once.
        std::vector<CAttribute*> rest = order;
        while (!rest.empty() && !messages.IsProgressCancelled())
        {
            // The order has no cycle: some member of rest has no input left in rest.
            std::vector<CAttribute*> ready, wave;
            for (CAttribute* attribute : rest)
            {
                const std::vector<CAttribute*> inputs = attribute->GetReferencedAttributes();
                if (std::none_of(inputs.begin(), inputs.end(),
                                 [&](CAttribute* input) { return ContainsAttribute(rest, input); }))
                    ready.push_back(attribute);
            }
            for (CAttribute* attribute : ready)
            {
                if (IsRecomputable(*attribute, mode))
                    wave.push_back(attribute);
            }
            for (CAttribute* attribute : wave)
            {
                Prepare(*attribute);
                m_lastRecomputed.push_back(attribute);
            }
            std::vector<char> done(wave.size(), 0);
            platform::ParallelInOrder(wave.size(), [&](size_t i) { done[i] = RecomputeOne(*wave[i]) ? 1 : 0; });
            for (size_t i = 0; i < wave.size(); ++i)
            {
                Finish(*wave[i], done[i] != 0);
                ++recomputed;
            }
            rest.erase(std::remove_if(rest.begin(), rest.end(),
                                      [&](CAttribute* attribute) { return ContainsAttribute(ready, attribute); }),
                       rest.end());
        }
    }
    else
    {
        // 7. One after the other, in order.
        for (CAttribute* attribute : order)
        {
            if (messages.IsProgressCancelled())
                break;
            if (!IsRecomputable(*attribute, mode))
                continue;
            CStatusMessageGuard computing(m_table,
                                          FormatResource(kComputingAttribute, {attribute->GetDisplayName(50)}));
            Prepare(*attribute);
            m_lastRecomputed.push_back(attribute);
            Finish(*attribute, RecomputeOne(*attribute));
            ++recomputed;
        }
    }
    // 8. The values sorted again, once every attribute is computed: attributes computed from others read their
    // inputs' values in the order they were added, one after the other, where sorting first would have scattered
    // those reads over the values; the sorts of different attributes run side by side when allowed.
    std::vector<CAttribute*> unsorted;
    for (CAttribute* attribute : m_lastRecomputed)
    {
        if (!attribute->AreValuesSorted())
            unsorted.push_back(attribute);
    }
    std::stable_sort(unsorted.begin(), unsorted.end(),
                     [](const CAttribute* a, const CAttribute* b) { return a->GetNrOfValues() > b->GetNrOfValues(); });
    auto sortValues = [&](size_t i)
    {
        unsorted[i]->RecomputeSortedValues();
        unsorted[i]->InvalidateSortedRecords();
    };
    if (m_bParallelAllowed && m_table.UseMulticores() && unsorted.size() >= 2)
        platform::ParallelInOrder(unsorted.size(), sortValues);
    else
        for (size_t i = 0; i < unsorted.size(); ++i)
            sortValues(i);
    // What follows the qualified records or their order was computed for these now.
    if (std::any_of(m_lastRecomputed.begin(), m_lastRecomputed.end(),
                    [](const CAttribute* attribute) { return attribute->GetDefinition()->FollowsQualification(); }))
        m_nQualifiedFingerprint = QualifiedFingerprint();
    if (std::any_of(m_lastRecomputed.begin(), m_lastRecomputed.end(),
                    [](const CAttribute* attribute) { return attribute->GetDefinition()->IsSortDependent(); }))
        m_nOrderFingerprint = OrderFingerprint();
    return recomputed > 0 ? 1 : 0;
}

void CDerivedAttributes::Prepare(CAttribute& attribute)
{
    attribute.GetDerivedState().m_bInRecompute = true;
    attribute.ClearValues(); // the selection lets go of its values first
    attribute.GetDefinition()->PrepareRecompute(m_table, attribute);
}

bool CDerivedAttributes::RecomputeOne(CAttribute& attribute)
{
    return attribute.GetDefinition()->Recompute(m_table, attribute);
}

void CDerivedAttributes::SetAllUndefined(CAttribute& attribute)
{
    attribute.ClearValues();
    const CRecordArray& all = m_table.GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
        attribute.AddValue(all.GetRecord(i), KStringView());
    attribute.InvalidateStatistics();
}

void CDerivedAttributes::Finish(CAttribute& attribute, bool done)
{
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bInRecompute = false;
    if (!done)
        SetAllUndefined(attribute); // cancelled: whatever was stored goes; the flags stay as they were
    if (done)
    {
        if (state.m_bGuessFormat)
        {
            attribute.GuessFormat();
            state.m_bGuessFormat = false;
        }
        state.m_bOutdated = false;
        state.m_bMustRecompute = false;
    }
    attribute.InvalidateStatistics();
    attribute.InvalidateSortedRecords();
}

int CDerivedAttributes::RecomputeDerivedAttributesManually(bool all, const std::vector<CAttribute*>& selected)
{
    InvalidateTimeDependentAttributes(2);
    CSet restrict;
    for (CAttribute* attribute : selected)
    {
        if (attribute && attribute->IsDerived() && attribute->GetDefinition())
        {
            restrict.AddTail(attribute);
            if (all)
                attribute->GetDerivedState().m_bOutdated = true;
        }
    }
    if (!all)
        AddDerivedPredecessors(restrict);
    else if (restrict.IsEmpty())
    {
        InvalidateSummaries();
        InvalidateExpressions();
    }
    return RecomputeDerivedAttributes(all ? 4 : 3, true, true, & restrict);
}

uint64_t CDerivedAttributes::QualifiedFingerprint() const
{
    uint64_t hash = 0xCBF29CE484222325ull;
    const CRecordArray& all = m_table.GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
    {
        const CRecord* record = all.GetRecord(i);
        if (record->m_bQualified)
            hash = (hash ^ static_cast<uint64_t>(static_cast<uint32_t>(record->m_nRecordNumber))) * 0x100000001B3ull;
    }
    return hash ^ static_cast<uint64_t>(all.GetSize());
}

uint64_t CDerivedAttributes::OrderFingerprint() const
{
    uint64_t hash = 0x84222325CBF29CE4ull;
    CRecordArray& shown = m_table.GetShownRecords();
    for (long i = 0; i < shown.GetSize(); ++i)
        hash = (hash ^ static_cast<uint64_t>(static_cast<uint32_t>(shown.GetRecord(i)->m_nRecordNumber))) *
               0x100000001B3ull;
    return hash;
}

int CDerivedAttributes::ReevaluateAndRecomputeIfNecessary(bool followQualification)
{
    const std::vector<CAttribute*> derived = DerivedAttributes();
    if (followQualification &&
        std::any_of(derived.begin(), derived.end(),
                    [](const CAttribute* attribute) { return attribute->GetDefinition()->FollowsQualification(); }))
    {
        const uint64_t fingerprint = QualifiedFingerprint();
        if (fingerprint != m_nQualifiedFingerprint)
        {
            InvalidateSummaries();
            m_nQualifiedFingerprint = fingerprint;
        }
    }
    if (followQualification &&
        std::any_of(derived.begin(), derived.end(),
                    [](const CAttribute* attribute) { return attribute->GetDefinition()->IsSortDependent(); }))
    {
        const uint64_t fingerprint = OrderFingerprint();
        if (fingerprint != m_nOrderFingerprint)
        {
            InvalidateSortDependentSummaries();
            m_nOrderFingerprint = fingerprint;
        }
    }
    if (m_bDataRefreshed)
    {
        InvalidateSummaries();
        InvalidateTimeDependentAttributes(2);
    }
    const int recomputed = RecomputeDerivedAttributes(1, false, true, nullptr);
    m_bDataRefreshed = false;
    return recomputed;
}

// ---- told by the table ----

void CDerivedAttributes::OnTableCleared()
{
    m_pCycleAttribute = nullptr;
}

void CDerivedAttributes::OnAttributeDeleted(CAttribute* attribute)
{
    if (m_pCycleAttribute == attribute)
        m_pCycleAttribute = nullptr;
    for (CAttribute* derived : DerivedAttributes())
    {
        if (derived == attribute || !ContainsAttribute(derived->GetReferencedAttributes(), attribute))
            continue;
        derived->GetDefinition()->ReplaceAttributePointers([attribute](CAttribute* input)
                                                           { return input == attribute ? nullptr : input; });
        derived->GetDerivedState().m_bOutdated = true;
    }
}

void CDerivedAttributes::OnRecordsChanged(bool)
{
    InvalidateAllDerivedAttributes();
}

void CDerivedAttributes::OnRecordsDetached(const CSet&)
{
    InvalidateAllDerivedAttributes();
}

} // namespace formula
