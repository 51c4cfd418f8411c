// Restrictions of attributes and their evaluation into the qualified flags of
// the records; the shown records and the refused ones.

#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/RecordScan.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>
#include <cmath>

// ---- restriction lists ----

void CAttributeSelection::AddRestriction(std::shared_ptr<CSetAttributeCommand> restriction)
{
    if (m_attribute.IsHeader() || !restriction)
        return;
    m_restrictions.push_back(std::move(restriction));
    m_owner.GetQualification().SetRestrictionsChanged(false);
}

bool CAttributeSelection::IsConstant() const
{
    bool anyValueSet = false;
    for (const auto& restriction : m_restrictions)
    {
        if (restriction->IsDisjunction())
            continue;
        if (restriction->GetKind() != CSetAttributeCommand::RESTRICT_VALUES || restriction->IsExclude() ||
            restriction->GetPrefixLength() != 0 || restriction->GetValues()->GetCount() != 1)
            return false;
        anyValueSet = true;
    }
    return anyValueSet;
}

void CAttributeSelection::GetRestrictedValues(CSet& out) const
{
    out.RemoveAll();
    for (const auto& restriction : m_restrictions)
    {
        const CSet* values = restriction->GetValues();
        for (long i = 0; values && i < values->GetCount(); ++i)
            out.AddTail(values->GetAt(i));
    }
}

void CAttributeSelection::ReleaseRestrictions()
{
    if (m_restrictions.empty())
        return;
    const auto restrictions = m_restrictions;
    m_restrictions.clear();
    for (const auto& restriction : restrictions)
    {
        if (!restriction->IsDisjunction())
            continue;
        for (const auto& member : restriction->GetMembers())
        {
            if (member->GetAttribute() != &m_attribute)
                m_owner.For(*member->GetAttribute()).ReleaseDisjunction(restriction.get());
        }
    }
    m_owner.GetQualification().SetRestrictionsChanged(true);
}

bool CAttributeSelection::RemoveRestriction(const CSetAttributeCommand* restriction)
{
    return ReleaseDisjunction(restriction);
}

bool CAttributeSelection::ReleaseDisjunction(const CSetAttributeCommand* disjunction)
{
    const auto it = std::find_if(m_restrictions.begin(), m_restrictions.end(),
                                 [&](const auto& r) { return r.get() == disjunction; });
    if (it == m_restrictions.end())
        return false;
    m_restrictions.erase(it);
    m_owner.GetQualification().SetRestrictionsChanged(true);
    return true;
}

// ---- the evaluation's state ----

CQualification::CQualification(CTableSelection& owner, CTable& table) : m_owner(owner), m_table(table) {}

void CQualification::SetRestrictionsChanged(bool released)
{
    m_bRestrictionsChanged = true;
    if (released)
        m_bRestrictionsReleased = true;
}

void CQualification::Clear()
{
    m_forcedRecords.clear();
    m_pWidthAttribute = nullptr;
    m_nQualifiedZeroWidth = 0;
    m_bRestrictionsChanged = m_bRestrictionsReleased = false;
}

void CQualification::ForgetAttribute(const CAttribute* attribute)
{
    if (m_pWidthAttribute == attribute)
        m_pWidthAttribute = nullptr;
}

// ---- evaluation ----

namespace
{
// Refuses the qualified records of records that test rejects; open records stay qualified (forced) unless
// the table sorts all attributes. test(record, index) answers for records with a value index; records
// without one are answered by repair(record) on the table's thread afterwards.
// Returns the number of records refused.
template <class Test, class Repair>
long RefuseRecords(CTable& table, bool keepOpen, const CFieldArray& fields, const CRecordArray& records, std::mutex& lock,
                   std::vector<CRecord*>& forced, const Test& test, const Repair& repair)
{
    const long n = records.GetSize();
    std::vector<CRecord*> missing;
    long refused = 0;
    auto refuse = [&](CRecord* record, std::vector<CRecord*>& localForced) {
        record->m_bQualified = 0;
        if (record->m_bOpen && keepOpen)
            localForced.push_back(record);
    };
    RunStrands(StrandCount(table.UseMulticores(), n), n, [&](long begin, long end) {
        std::vector<CRecord*> localForced;
        std::vector<CRecord*> localMissing;
        long localRefused = 0;
        ScanValueIndices(fields, records.GetData(), begin, end, [&](CRecord* record, long index) {
            if (!record->m_bQualified)
                return;
            if (index < 0)
            {
                localMissing.push_back(record);
            }
            else if (!test(record, index))
            {
                refuse(record, localForced);
                ++localRefused;
            }
        });
        std::lock_guard<std::mutex> guard(lock);
        refused += localRefused;
        forced.insert(forced.end(), localForced.begin(), localForced.end());
        missing.insert(missing.end(), localMissing.begin(), localMissing.end());
    });
    for (CRecord* record : missing)
    {
        if (!repair(record))
        {
            refuse(record, forced);
            ++refused;
        }
    }
    return refused;
}
} // namespace

long CQualification::EvaluateAttribute(CAttribute* attribute, const CRecordArray& records,
                               std::vector<const CSetAttributeCommand*>& done)
{
    const CAttributeSelection* state = m_owner.Find(*attribute);
    if (attribute->IsHeader() || !state || !state->IsRestricted())
        return 0;
    long refused = 0;
    CStatusMessageGuard status(m_table, FormatResource(1302, {attribute->GetDisplayName(30)}));
    std::vector<const CSetAttributeCommand*> valueRestrictions;
    std::vector<const CSetAttributeCommand*> disjunctions;
    for (const auto& restriction : state->GetRestrictions())
    {
        if (std::find(done.begin(), done.end(), restriction.get()) != done.end())
            continue;
        restriction->PrepareTest();
        if (restriction->IsDisjunction())
        {
            disjunctions.push_back(restriction.get());
            done.push_back(restriction.get()); // it sits in several lists but runs once
        }
        else
        {
            valueRestrictions.push_back(restriction.get());
        }
    }

    if (!valueRestrictions.empty())
    {
        // One test per distinct value, then one lookup per record.
        std::vector<uint8_t> accepted(static_cast<size_t>(attribute->GetNrOfValues()), 1);
        for (const CSetAttributeCommand* restriction : valueRestrictions)
        {
            const std::vector<uint8_t> own = restriction->ComputeAcceptedValues(attribute);
            for (size_t i = 0; i < accepted.size(); ++i)
                accepted[i] &= own[i];
        }
        refused += RefuseRecords(
            m_table, !m_owner.IsSortAllMode(), attribute->GetFieldArray(), records, m_evaluationLock, m_forcedRecords,
            [&](CRecord*, long index) { return accepted[index] != 0; },
            [&](CRecord* record) {
                const char16_t* value = attribute->GetFieldValue(record);
                return std::all_of(valueRestrictions.begin(), valueRestrictions.end(),
                                   [&](const CSetAttributeCommand* r) { return r->AcceptsValue(attribute, value); });
            });
    }

    for (const CSetAttributeCommand* disjunction : disjunctions)
    {
        struct SMember
        {
            CAttribute* attribute;
            std::vector<uint8_t> accepted;
        };
        std::vector<SMember> members;
        for (const auto& member : disjunction->GetMembers())
        {
            // Give every record a value first, so that the parallel test below only reads.
            CAttribute* memberAttribute = member->GetAttribute();
            for (long i = 0; i < records.GetSize(); ++i)
                memberAttribute->GetFieldValueIndex(records.GetRecord(i));
            members.push_back({memberAttribute, member->ComputeAcceptedValues(memberAttribute)});
        }
        refused += RefuseRecords(
            m_table, !m_owner.IsSortAllMode(), attribute->GetFieldArray(), records, m_evaluationLock, m_forcedRecords,
            [&](CRecord* record, long) {
                for (const SMember& member : members)
                {
                    const long index = member.attribute->GetFieldArray().GetAt(record->m_nRecordNumber);
                    if (index >= 0 && member.accepted[index])
                        return true;
                }
                return false;
            },
            [&](CRecord* record) { return disjunction->AcceptsRecord(record); });
    }
    return refused;
}

void CQualification::Evaluate()
{
    CStatusMessageGuard status(m_table, LoadResourceString(1672));
    m_forcedRecords.clear();
    const CRecordArray& records = m_bRestrictionsReleased ? m_table.GetAllRecords() : m_table.GetShownRecords();
    std::vector<const CSetAttributeCommand*> done;
    // Records outside the tested ones are refused already (they are not shown), so the count
    // follows from the records refused now.
    long refused = 0;
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        CAttributeSelection* state = attribute->IsHeader() ? nullptr : m_owner.Find(*attribute);
        if (!state)
            continue;
        if (state->IsRestricted())
            refused += EvaluateAttribute(attribute, records, done);
        if (state->HasSelection())
            state->SetSelectionDirty();
    }
    for (CRecord* record : m_forcedRecords)
    {
        if (!record->m_bQualified)
        {
            record->m_bQualified = 1;
            --refused;
        }
    }
    m_table.SetNumberQualified(m_table.GetNumberQualified() - refused);
    m_owner.ClearSelectionCounts();
}

void CQualification::Reevaluate(bool animate)
{
    const bool released = m_bRestrictionsReleased;
    if (released)
        m_table.QualAllRecords();
    Evaluate();
    if (released)
    {
        // Records that qualify again come back on screen; refused ones still shown stay.
        const long n = m_table.GetAllRecords().GetSize();
        CRecord* const* records = m_table.GetAllRecords().GetData();
        m_table.GetShownRecords().RemoveAll();
        m_table.GetShownRecords().SetMaxSize(n);
        for (long i = 0; i < n; ++i)
        {
            CRecord* record = records[i];
            record->m_bShown |= record->m_bQualified;
            if (record->m_bShown)
                m_table.GetShownRecords().AddRecord(record);
        }
    }
    m_table.InvalidateSortedRecords();
    if (m_bAutoHideRefused || m_owner.IsSortAllMode())
        HideRefusedRecords(animate);
    m_bRestrictionsChanged = false;
    m_bRestrictionsReleased = false;
}

void CQualification::HideRefusedRecords(bool animate)
{
    (void)animate; // the animation belongs to the display
    if (m_table.GetNumberShown() <= m_table.GetNumberQualified())
        return;
    const long n = m_table.GetAllRecords().GetSize();
    CRecord* const* records = m_table.GetAllRecords().GetData();
    for (long i = 0; i < n; ++i)
    {
        CRecord* record = records[i];
        if (record->m_bShown && !record->m_bQualified && record->m_bOpen)
        {
            m_table.SetRecordOpen(record, false);
        }
        record->m_bShown = record->m_bQualified;
    }
    m_table.GetShownRecords().RemoveAll();
    m_table.RecomputeShownRecords();
}

void CQualification::ShowAllRefusedRecords()
{
    const long n = m_table.GetAllRecords().GetSize();
    CRecord* const* records = m_table.GetAllRecords().GetData();
    for (long i = 0; i < n; ++i)
    {
        records[i]->m_bShown = 1;
        records[i]->m_bQualified = 1;
    }
    m_table.GetShownRecords().Assign(m_table.GetAllRecords());
    m_table.SetNumberQualified(n);
    m_owner.ClearSelectionCounts();
    m_table.InvalidateSortedRecords();
}

long CQualification::CountQualZeroWidthRecords()
{
    long count = 0;
    if (m_pWidthAttribute && !m_pWidthAttribute->IsHeader())
    {
        for (long i = 0; i < m_table.GetAllRecords().GetSize(); ++i)
        {
            CRecord* record = m_table.GetAllRecords().GetRecord(i);
            if (!record->m_bQualified)
                continue;
            const double width = m_pWidthAttribute->GetNumericValue(m_pWidthAttribute->GetFieldValueIndex(record));
            if (!(width > 0))
                ++count;
        }
    }
    m_nQualifiedZeroWidth = count;
    return count;
}

CAttribute* CQualification::FindFirstSelectedRestrictedAttribute() const
{
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        const CAttributeSelection* state = m_owner.Find(*attribute);
        if (state && state->IsRestricted() && state->HasSelection())
            return attribute;
    }
    return nullptr;
}

bool CQualification::GetAffectedRecords(const CSetAttributeCommand& restriction, CSet& out, bool includeRefused,
                                const CRecordArray* records)
{
    out.RemoveAll();
    const CRecordArray& tested = records ? *records : m_table.GetAllRecords();
    const_cast<CSetAttributeCommand&>(restriction).PrepareTest();
    bool refusedAccepted = false;
    for (long i = 0; i < tested.GetSize(); ++i)
    {
        CRecord* record = tested.GetRecord(i);
        if (!record->m_bQualified && (!includeRefused || refusedAccepted))
            continue;
        if (!restriction.AcceptsRecord(record))
            continue;
        if (record->m_bQualified)
            out.AddTail(record);
        else
            refusedAccepted = true;
    }
    return refusedAccepted;
}

std::shared_ptr<CSetAttributeCommand> CTableSelection::GetDefiningRestriction(bool fromRecords)
{
    if (m_valueSelectionList.empty())
        return nullptr;
    std::shared_ptr<CSetAttributeCommand> restriction;
    auto copyOf = [](const CSet& values) {
        auto copy = std::make_unique<CSet>(static_cast<size_t>(values.GetCount()));
        copy->Copy(values);
        return copy;
    };
    if (fromRecords)
    {
        CAttribute* first = nullptr;
        for (long i = 0; i < m_table.GetAttributeCount() && !first; ++i)
        {
            CAttribute* attribute = m_table.FindAttributeFromIndex(i);
            if (!attribute->IsHeader())
                first = attribute;
        }
        if (!first)
            return nullptr;
        CSet records(static_cast<size_t>(m_table.GetRecordCount()));
        GetOverallSelectedRecords(records, true);
        auto values = std::make_unique<CSet>(static_cast<size_t>(records.GetCount()));
        for (long i = 0; i < records.GetCount(); ++i)
            values->AddTail(first->GetFieldValue(static_cast<const CRecord*>(records.GetAt(i))));
        restriction = CSetAttributeCommand::MakeValueSet(first, std::move(values));
    }
    else if (m_valueSelectionList.size() > 1)
    {
        std::vector<std::shared_ptr<CSetAttributeCommand>> members;
        for (CAttribute* attribute : m_valueSelectionList)
            members.push_back(CSetAttributeCommand::MakeValueSet(attribute, copyOf(*For(*attribute).GetSelectedValues())));
        restriction = CSetAttributeCommand::MakeDisjunction(std::move(members));
    }
    else
    {
        CAttribute* attribute = m_valueSelectionList.front();
        const CAttributeSelection& state = For(*attribute);
        restriction = CSetAttributeCommand::MakeValueSet(attribute, copyOf(*state.GetSelectedValues()));
        restriction->SetFromRange(state.IsRangeSelection());
    }
    restriction->Prepare();
    return restriction;
}

void CQualification::ForgetRecords(const CSet& records)
{
    m_forcedRecords.erase(std::remove_if(m_forcedRecords.begin(), m_forcedRecords.end(),
                                         [&records](const CRecord* record) { return records.Find(record); }),
                          m_forcedRecords.end());
}

bool CQualification::HideRecordsPossible() const
{
    return m_table.GetNumberShown() > m_table.GetNumberQualified();
}
