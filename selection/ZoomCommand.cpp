// The zooms as commands: what a restriction does to the restriction lists when
// it is executed, its name, and the table's zoom in, exclude, zoom out and
// reset that turn the current selection into submitted commands.

#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>

namespace
{
// Resources of the restriction names.
constexpr int kNot = 3900;        // "nicht "
constexpr int kAllValues = 3901;  // "alle angezeigten Werte"
constexpr int kOr = 3902;         // " oder "
constexpr int kRelease = 2493;    // "Einschränkung von '%1' aufheben"

int NameLength(int form)
{
    return form == 0 ? 30 : (form == 1 ? 200 : 0);
}

KString Cut(KStringView text, int length)
{
    if (length <= 0 || static_cast<long>(text.size()) <= length)
        return KString(text);
    return KString(text.substr(0, static_cast<size_t>(length)));
}

std::unique_ptr<CSet> CopyOf(const CSet& values)
{
    auto copy = std::make_unique<CSet>(static_cast<size_t>(values.GetCount()));
    copy->Copy(values);
    return copy;
}
} // namespace

std::shared_ptr<CSetAttributeCommand> CSetAttributeCommand::Self()
{
    return std::static_pointer_cast<CSetAttributeCommand>(shared_from_this());
}

void CSetAttributeCommand::CopyFrom(const CCommand& other)
{
    CCommand::CopyFrom(other);
    const auto* source = dynamic_cast<const CSetAttributeCommand*>(&other);
    if (!source)
        return;
    m_eKind = source->m_eKind;
    m_bExclude = source->m_bExclude;
    m_bFromRange = source->m_bFromRange;
    m_nPrefixLength = source->m_nPrefixLength;
    m_bAllValues = source->m_bAllValues;
    m_low = source->m_low;
    m_high = source->m_high;
    m_valueTexts.clear();
    m_pValues.reset();
    if (source->m_eKind == RESTRICT_VALUES && m_pAttribute)
    {
        // Values are interned into this table's attribute under their texts.
        m_valueTexts = source->m_valueTexts;
        m_nValueGeneration = -1;
        Intern();
    }
    m_members.clear();
    for (const auto& member : source->m_members)
    {
        auto copy = std::static_pointer_cast<CSetAttributeCommand>(member->Clone(m_pTable));
        if (copy->GetAttribute())
            m_members.push_back(std::move(copy));
    }
}

KString CSetAttributeCommand::ValueText(const char16_t* value, int form) const
{
    if (m_nPrefixLength > 0)
        return m_pTable->GetPrefixString(value, m_nPrefixLength);
    return Cut(CAttributeValues::DecodeMultipleValues(value), form == 0 ? 20 : (form == 1 ? 200 : 0));
}

KString CSetAttributeCommand::GetSpecification(int form) const
{
    const KString name = m_pAttribute && !m_bAttributeDeleted ? m_pAttribute->GetDisplayName(NameLength(form)) : u"?";
    KString text;
    switch (m_eKind)
    {
    case RESTRICT_RELEASE:
        return name;
    case RESTRICT_DISJUNCTION:
        for (size_t i = 0; i < m_members.size(); ++i)
        {
            if (i > 0)
                text += LoadResourceString(kOr);
            text += m_members[i]->GetSpecification(form);
        }
        return text;
    case RESTRICT_RANGE:
        if (m_bExclude)
            text += LoadResourceString(kNot);
        if (m_low)
            text += Cut(*m_low, form == 0 ? 20 : (form == 1 ? 200 : 0)) + u" <= ";
        text += name;
        if (m_high)
            text += u" <= " + Cut(*m_high, form == 0 ? 20 : (form == 1 ? 200 : 0));
        return text;
    case RESTRICT_VALUES:
        break;
    }
    const long count = m_pValues ? m_pValues->GetCount() : 0;
    if (count == 1)
    {
        text = name + (m_bExclude ? u" ¬= " : u" = ") + ValueText(static_cast<const char16_t*>(m_pValues->GetAt(0)), form);
    }
    else
    {
        text = name + u" " + (m_bExclude ? LoadResourceString(kNot) : KString()) + u"in {";
        const long limit = form == 0 ? 2 : 100;
        const long listed = count <= limit + 1 ? count : limit;
        for (long i = 0; i < listed; ++i)
        {
            if (i > 0)
                text += u",";
            text += ValueText(static_cast<const char16_t*>(m_pValues->GetAt(i)), form);
        }
        if (listed < count)
            text += u",...," + ValueText(static_cast<const char16_t*>(m_pValues->GetAt(count - 1)), form);
        text += u"}";
    }
    if (m_bAllValues)
        text += u" (" + LoadResourceString(kAllValues) + u")";
    return text;
}

void CSetAttributeCommand::ComputeName(int form)
{
    if (m_eKind == RESTRICT_RELEASE)
        m_strName = FormatResource(kRelease, {GetSpecification(form)});
    else
        m_strName = GetSpecification(form);
}

KString CSetAttributeCommand::GetDisplayClassName() const
{
    if (m_eKind == RESTRICT_RELEASE)
        return u"ZoomOut";
    return m_bExclude ? u"ZoomExclude" : u"ZoomIn";
}

void CSetAttributeCommand::Prepare()
{
    ComputeName(0);
    if (m_pAttribute && !m_bAttributeDeleted)
    {
        const auto& restrictions = Selection().For(*m_pAttribute).GetRestrictions();
        m_pPreviousRestriction = restrictions.empty() ? nullptr : restrictions.back();
        PrepareTest();
    }
}

bool CSetAttributeCommand::IsValid() const
{
    if (!CCommand::IsValid())
        return false;
    return std::all_of(m_members.begin(), m_members.end(), [](const auto& member) { return member->IsValid(); });
}

bool CSetAttributeCommand::RefersTo(const CAttribute* attribute) const
{
    if (CCommand::RefersTo(attribute))
        return true;
    return std::any_of(m_members.begin(), m_members.end(), [&](const auto& m) { return m->RefersTo(attribute); });
}

void CSetAttributeCommand::ForgetAttribute(const CAttribute* attribute)
{
    CCommand::ForgetAttribute(attribute);
    for (auto& member : m_members)
    {
        member->ForgetAttribute(attribute);
        m_bAttributeDeleted |= member->m_bAttributeDeleted;
    }
    if (m_pPreviousRestriction && m_pPreviousRestriction->RefersTo(attribute))
        m_pPreviousRestriction.reset();
}

void CSetAttributeCommand::SelectRestrictedValues(CAttribute* attribute) const
{
    const CSetAttributeCommand* source = IsDisjunction() ? GetMemberFor(attribute) : this;
    if (!source || attribute->IsHeader())
        return;
    auto values = std::make_unique<CSet>();
    if (source->m_eKind == RESTRICT_VALUES && source->m_nPrefixLength == 0)
    {
        const_cast<CSetAttributeCommand*>(source)->PrepareTest();
        values = CopyOf(*source->m_pValues);
    }
    else
    {
        // Ranges and prefixes: the values they accept (read without the exclude).
        auto* plain = const_cast<CSetAttributeCommand*>(source);
        const bool exclude = plain->m_bExclude;
        plain->m_bExclude = false;
        plain->PrepareTest();
        const std::vector<uint8_t> accepted = plain->ComputeAcceptedValues(attribute);
        plain->m_bExclude = exclude;
        for (long i = 0; i < static_cast<long>(accepted.size()); ++i)
        {
            if (accepted[i])
                values->AddTail(attribute->GetValue(i));
        }
    }
    if (values->GetCount() == 0)
        return;
    CAttributeSelection& selection = Selection().For(*attribute);
    selection.SelectValues(std::move(values), source->m_eKind == RESTRICT_RANGE);
}

bool CSetAttributeCommand::Do()
{
    CTableSelection& selection = Selection();
    if (!m_pAttribute || m_bAttributeDeleted)
        return false;
    PrepareTest();
    if (m_eKind == RESTRICT_DISJUNCTION)
    {
        for (const auto& member : m_members)
            selection.For(*member->GetAttribute()).AddRestriction(Self());
    }
    else if (m_eKind == RESTRICT_RELEASE)
    {
        selection.For(*m_pAttribute).ReleaseRestrictions();
        if (m_bFinalStep)
        {
            // The values just zoomed out of appear selected.
            selection.DeselectAllValues();
            if (m_pPreviousRestriction && !m_pPreviousRestriction->m_bAttributeDeleted)
                m_pPreviousRestriction->SelectRestrictedValues(m_pAttribute);
        }
    }
    else
    {
        CAttributeSelection& state = selection.For(*m_pAttribute);
        const auto& restrictions = state.GetRestrictions();
        const bool inDisjunction =
            std::any_of(restrictions.begin(), restrictions.end(), [](const auto& r) { return r->IsDisjunction(); });
        auto dropEarlier = [&](auto predicate) {
            std::vector<const CSetAttributeCommand*> dropped;
            for (const auto& restriction : restrictions)
            {
                if (!restriction->IsDisjunction() && predicate(*restriction))
                    dropped.push_back(restriction.get());
            }
            for (const CSetAttributeCommand* restriction : dropped)
                state.RemoveRestriction(restriction);
        };
        const bool multiple = m_pAttribute->HasMultipleValues();
        if (multiple && !m_bExclude && m_eKind == RESTRICT_VALUES && m_pValues->GetCount() == 1 && state.IsConstant())
        {
            // Clicking the one value of a constant list attribute releases the restriction that holds it.
            const char16_t* value = static_cast<const char16_t*>(m_pValues->GetAt(0));
            const auto it = std::find_if(restrictions.begin(), restrictions.end(), [&](const auto& r) {
                return !r->IsDisjunction() && r->AcceptsValue(m_pAttribute, value);
            });
            if (it != restrictions.end())
                state.RemoveRestriction(it->get());
            else
                state.AddRestriction(Self());
        }
        else if (m_bExclude || multiple)
        {
            state.AddRestriction(Self()); // excludes accumulate
        }
        else if (m_nPrefixLength >= 1)
        {
            if (!inDisjunction)
                dropEarlier([&](const CSetAttributeCommand& r) {
                    return !r.m_bExclude && r.m_nPrefixLength >= 1 && r.m_nPrefixLength <= m_nPrefixLength;
                });
            state.AddRestriction(Self());
        }
        else if (m_eKind == RESTRICT_RANGE)
        {
            if (!inDisjunction && m_low && m_high)
                dropEarlier([](const CSetAttributeCommand& r) { return !r.m_bExclude && r.m_eKind == RESTRICT_RANGE; });
            state.AddRestriction(Self());
        }
        else
        {
            if (!inDisjunction)
                state.ReleaseRestrictions();
            state.AddRestriction(Self());
        }
    }
    selection.GetQualification().SetRestrictionsChanged(false);
    if (m_bExclude && m_bFinalStep && !m_bInteractive && !m_bAnimating)
        selection.DeselectAllValues();
    return true;
}

void CSetAttributeCommand::Undo()
{
    CCommand::Undo();
    if (m_bExclude && m_bFinalStep && !m_bAnimating && IsValid())
    {
        // The excluded values are selected again.
        Selection().DeselectAllValues();
        SelectRestrictedValues(m_pAttribute);
    }
}

int CSetAttributeCommand::ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue,
                                       int answer)
{
    if (m_eKind == RESTRICT_DISJUNCTION)
    {
        for (auto& member : m_members)
        {
            if (member->ReplaceValue(attribute, oldValue, newValue, answer) == 1)
                return 1;
        }
        ComputeName(0);
        return answer;
    }
    if (attribute != m_pAttribute || m_eKind != RESTRICT_VALUES || m_nPrefixLength != 0 || m_bExclude ||
        answer == 1)
        return answer;
    PrepareTest();
    if (!m_pValues->Find(oldValue) || m_pValues->Find(newValue))
        return answer;
    // Answer 2 (asking the user) belongs to stored queries, which do not exist yet: the history adds silently.
    m_pValues->AddTail(newValue);
    m_valueTexts.push_back(CAttributeValues::DecodeMultipleValues(newValue));
    ComputeName(0);
    return 0;
}

// ---- the table's zooms ----

bool CTableSelection::ZoomInPossible()
{
    if (m_valueSelectionList.empty())
        return false;
    if (m_valueSelectionList.size() >= 2)
        return true;
    CAttribute* attribute = m_valueSelectionList.front();
    CAttributeSelection& state = For(*attribute);
    if (!state.IsConstant())
        return true;
    if (attribute->HasMultipleValues() && state.GetRestrictions().size() == 1 &&
        state.GetSelectedValues()->GetCount() == 1)
        return false;
    state.CountSelectedRecordsIfNecessary();
    return !state.IsWholeSelection();
}

bool CTableSelection::ExcludePossible() const
{
    return m_valueSelectionList.size() == 1;
}

bool CTableSelection::ZoomOutPossible() const
{
    return m_qualification.FindFirstSelectedRestrictedAttribute() != nullptr;
}

bool CTableSelection::EvaluateSelection(bool toggle, bool exclude)
{
    if (m_valueSelectionList.empty())
        return false;
    std::shared_ptr<CSetAttributeCommand> command;
    if (m_valueSelectionList.size() > 1)
    {
        std::vector<std::shared_ptr<CSetAttributeCommand>> members;
        for (CAttribute* attribute : m_valueSelectionList)
        {
            const CAttributeSelection& state = For(*attribute);
            auto member = CSetAttributeCommand::MakeValueSet(attribute, CopyOf(*state.GetSelectedValues()), false,
                                                             state.GetSelectionPrefixLength());
            member->SetFromRange(state.IsRangeSelection());
            members.push_back(std::move(member));
        }
        command = CSetAttributeCommand::MakeDisjunction(std::move(members));
    }
    else
    {
        CAttribute* attribute = m_valueSelectionList.front();
        CAttributeSelection& state = For(*attribute);
        state.CountSelectedRecordsIfNecessary();
        if (attribute->HasMultipleValues() && !exclude && state.IsConstant() && state.GetRestrictions().size() == 1 &&
            state.GetSelectedValues()->GetCount() == 1)
        {
            if (!toggle)
                return false;
            command = CSetAttributeCommand::MakeRelease(attribute);
        }
        else if (toggle && state.IsRestricted() && state.IsWholeSelection())
        {
            command = CSetAttributeCommand::MakeRelease(attribute);
        }
        else if (state.IsRangeSelection() && state.GetRangeLow() && state.GetRangeHigh())
        {
            command = CSetAttributeCommand::MakeRange(attribute, KString(state.GetRangeLow()),
                                                      KString(state.GetRangeHigh()), exclude);
        }
        else
        {
            command = CSetAttributeCommand::MakeValueSet(attribute, CopyOf(*state.GetSelectedValues()), exclude,
                                                         state.GetSelectionPrefixLength());
            command->SetFromRange(state.IsRangeSelection());
            command->SetAllValues(state.IsWholeSelection());
        }
    }
    return GetHistory().Submit(command, true, true, true);
}

bool CTableSelection::ZoomOut()
{
    CAttribute* attribute = m_qualification.FindFirstSelectedRestrictedAttribute();
    if (!attribute)
        return false;
    return GetHistory().Submit(CSetAttributeCommand::MakeRelease(attribute), true, true, true);
}

bool CTableSelection::SubmitReset()
{
    m_table.ClearStatusMessages();
    return GetHistory().Submit(std::make_shared<CResetCommand>(&m_table), true, true, true);
}

void CTableSelection::Reset(bool deselect, bool sortAgain)
{
    if (m_table.GetAttributeCount() == 0)
        return;
    CCommandHistory& history = GetHistory();
    CCommandList back = history.GetBackList();
    history.UndoTemporaryModifications(back);
    if (deselect)
    {
        DeselectAllValues();
        DeselectAllAttributes();
    }
    m_qualification.SetAutoHideRefused(true);
    m_table.CloseAllRecords();
    m_qualification.ShowAllRefusedRecords();
    m_rows.ShowAllHiddenAttributes(false);
    SetViewMode(m_nRememberedViewMode, false, false);
    for (auto& entry : m_attributes)
        entry.second->ClearRestrictions();
    // The records go back to the order of the first attribute, ascending; every direction is forgotten.
    CTableSort& sort = m_table.GetSortState();
    if (!sortAgain)
    {
        sort.ClearPrimary();
    }
    else
    {
        // A table never sorted keeps the order its records were made in.
        CAttribute* first = m_table.FindAttributeFromIndex(0);
        CAttribute* primary = sort.GetPrimarySortAttribute();
        if (primary && (primary != first || first->IsReverseSort()))
        {
            first->SetReverseSort(false);
            m_table.GetSortState().SortColumns(first, 2, false, false);
        }
    }
    sort.ClearPrevious();
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
        m_table.FindAttributeFromIndex(i)->SetReverseSort(false);
    // Coupled groups, when there are any, are marked for resorting here.
    m_qualification.ClearRestrictionsChanged();
}
