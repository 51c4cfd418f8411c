// Hiding refused records, the automatic hiding switch, and inserting and deleting records.

#include "selection/RecordCommands.h"

#include "engine/Attribute.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace
{
constexpr int kHideRecords = 1878;       // "Nicht-qualifizierte Objekte ausblenden"
constexpr int kAutoHideOff = 1050;       // "Automatisches Ausblenden von Objekten ausschalten"
constexpr int kAutoHideOn = 1052;        // "Automatisches Ausblenden von Objekten anschalten"
constexpr int kAddRecord = 1005;         // "Objekt hinzufügen"
constexpr int kAddRecords = 3920;        // "%1 Objekte hinzufügen"
constexpr int kDeleteRecord = 1480;      // "Das Objekt löschen, wo '%1'"
constexpr int kDeleteRecords = 1486;     // "Die %1 Objekte löschen, wo '%2'"
constexpr int kDuplicateRecord = 1654;   // "Das Objekt duplizieren, wo '%1'"
constexpr int kDuplicateRecords = 1656;  // "Die %1 Objekte duplizieren, wo '%2'"

// The name of a record command: the one-record form, or the form with the count, over the restriction's text.
KString RecordsName(int one, int several, long count, const CSetAttributeCommand& restriction, int form)
{
    const KString text = restriction.GetSpecification(form);
    if (count == 1)
        return FormatResource(one, {text});
    return FormatResource(several, {platform::FromUtf8(std::to_string(count)), text});
}

// The first attribute that holds values, null when the table has none.
CAttribute* FirstValueAttribute(CTable& table)
{
    return table.FindSimpleAttributeFromIndex(0);
}

// The records that the current selection's defining restriction selects among the qualified records, in table
// order; restriction receives the restriction (null when nothing is selected).
std::vector<CRecord*> SelectedRecords(CTable& table, std::shared_ptr<CSetAttributeCommand>& restriction)
{
    CTableSelection& selection = CTableSelection::Of(table);
    restriction = selection.GetDefiningRestriction(!selection.IsCompressedMode());
    std::vector<CRecord*> records;
    if (!restriction)
        return records;
    CSet affected(static_cast<size_t>(table.GetRecordCount()));
    selection.GetQualification().GetAffectedRecords(*restriction, affected, false);
    records.reserve(static_cast<size_t>(affected.GetCount()));
    for (long i = 0; i < affected.GetCount(); ++i)
        records.push_back(static_cast<CRecord*>(const_cast<void*>(affected.GetAt(i))));
    return records;
}

CSet SetOf(const std::vector<CRecord*>& records)
{
    CSet set(records.size());
    for (CRecord* record : records)
        set.AddTail(record);
    return set;
}
// The refused records on screen, in display order.
std::vector<CRecord*> RefusedShownRecords(CTable& table)
{
    std::vector<CRecord*> refused;
    const CRecordArray& shown = table.GetShownRecords();
    for (long i = 0; i < shown.GetSize(); ++i)
    {
        if (!shown.GetRecord(i)->m_bQualified)
            refused.push_back(shown.GetRecord(i));
    }
    return refused;
}

// Shows again those of the records that are in the table, refused and hidden.
void ShowAgain(CTable& table, const std::vector<CRecord*>& hidden)
{
    if (hidden.empty())
        return;
    const CSet set = SetOf(hidden);
    const CRecordArray& all = table.GetAllRecords();
    bool shown = false;
    for (long i = 0; i < all.GetSize(); ++i)
    {
        CRecord* record = all.GetRecord(i);
        if (!record->m_bQualified && !record->m_bShown && set.Find(record))
            record->m_bShown = 1, shown = true;
    }
    if (shown)
    {
        table.GetShownRecords().RemoveAll();
        table.RecomputeShownRecords();
        CTableSelection::Of(table).ClearSelectionCounts();
    }
}
} // namespace

// ---- hiding refused records ----

CHideRecordsCommand::CHideRecordsCommand(CTable* table) : CCommand(table, u"CHideRecordsCommand") {}

void CHideRecordsCommand::ComputeName(int)
{
    m_strName = LoadResourceString(kHideRecords);
}

bool CHideRecordsCommand::Do()
{
    CQualification& qualification = Selection().GetQualification();
    if (!qualification.HideRecordsPossible())
        return false;
    m_bAutoHideBefore = qualification.IsAutoHideRefused();
    m_hidden = RefusedShownRecords(*m_pTable);
    qualification.HideRefusedRecords(m_bInteractive);
    History().SetHistoryChanged();
    return true;
}

void CHideRecordsCommand::Undo()
{
    CCommand::Undo();
    CQualification& qualification = Selection().GetQualification();
    if (m_bAutoHideBefore || !qualification.IsAutoHideRefused())
        return;
    qualification.SetAutoHideRefused(false);
    ShowAgain(*m_pTable, m_hidden);
}

// ---- the automatic hiding switch ----

CToggleAutoHideRecordsCommand::CToggleAutoHideRecordsCommand(CTable* table)
    : CCommand(table, u"CToggleAutoHideRecordsCommand"),
      m_bNewValue(!CTableSelection::Of(*table).GetQualification().IsAutoHideRefused())
{
}

void CToggleAutoHideRecordsCommand::CopyFrom(const CCommand& other)
{
    CCommand::CopyFrom(other);
    if (const auto* toggle = dynamic_cast<const CToggleAutoHideRecordsCommand*>(&other))
        m_bNewValue = toggle->m_bNewValue;
}

void CToggleAutoHideRecordsCommand::ComputeName(int)
{
    m_strName = LoadResourceString(m_bNewValue ? kAutoHideOn : kAutoHideOff);
}

bool CToggleAutoHideRecordsCommand::Do()
{
    CQualification& qualification = Selection().GetQualification();
    if (qualification.IsAutoHideRefused() == m_bNewValue)
        return false;
    m_hidden.clear();
    if (m_bNewValue && qualification.HideRecordsPossible())
    {
        m_hidden = RefusedShownRecords(*m_pTable);
        qualification.HideRefusedRecords(m_bInteractive);
    }
    qualification.SetAutoHideRefused(m_bNewValue);
    History().SetHistoryChanged();
    return true;
}

void CToggleAutoHideRecordsCommand::Undo()
{
    CQualification& qualification = Selection().GetQualification();
    if (!m_bNewValue)
    {
        qualification.SetAutoHideRefused(true);
        History().SetHistoryChanged();
        return;
    }
    CCommand::Undo();
    History().SetHistoryChanged();
    if (!qualification.IsAutoHideRefused())
        return; // an earlier step of the query switched it off, and the replay did so again
    // The flag was off before this command (a reset switches it on, so the replay cannot know that): off again,
    // and the refused records it hid come back on screen.
    qualification.SetAutoHideRefused(false);
    ShowAgain(*m_pTable, m_hidden);
}

// ---- the records a record command keeps ----

CKeptRecords::~CKeptRecords()
{
    Unregister();
}

void CKeptRecords::Unregister()
{
    if (m_pRegistry)
        m_pRegistry->RemoveKeptRecords(this);
    m_pRegistry = nullptr;
}

void CKeptRecords::Detach(CTable& table)
{
    m_places = table.GetRecords().DetachRecords(SetOf(m_records));
    m_records.clear();
    for (const SRecordPlace& place : m_places)
        m_records.push_back(place.m_pRecord);
    m_columns.clear();
    if (!m_pRegistry && !m_records.empty())
    {
        m_pRegistry = &CTableSelection::Of(table);
        m_pRegistry->AddKeptRecords(this);
    }
}

void CKeptRecords::SaveValues(CAttribute& attribute)
{
    if (attribute.IsHeader())
        return;
    for (const SColumn& column : m_columns)
    {
        if (column.m_pAttribute == &attribute)
            return; // kept at an earlier rebuild: the fields no longer hold them
    }
    SColumn column;
    column.m_pAttribute = &attribute;
    column.m_texts.reserve(m_records.size());
    for (CRecord* record : m_records)
    {
        // An attribute made while the records were out has no value for them: undefined.
        const bool stored = attribute.GetFieldArray().GetAt(record->m_nRecordNumber) >= 0;
        column.m_texts.push_back(stored ? attribute.GetFieldText(record) : KString());
    }
    m_columns.push_back(std::move(column));
}

void CKeptRecords::Attach(CTable& table)
{
    table.GetRecords().AttachRecords(m_places);
    for (SColumn& column : m_columns)
    {
        CAttribute* attribute = column.m_pAttribute;
        if (table.FindAttributeIndex(attribute) < 0)
            continue;
        for (size_t i = 0; i < m_records.size(); ++i)
            attribute->AddValue(m_records[i], column.m_texts[i]);
        if (!attribute->AreValuesSorted())
            attribute->RecomputeSortedValues();
    }
    m_columns.clear();
    Unregister();
}

void CKeptRecords::ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue)
{
    const KString oldText = CAttributeValues::DecodeMultipleValues(oldValue);
    for (SColumn& column : m_columns)
    {
        if (column.m_pAttribute != attribute)
            continue;
        for (KString& text : column.m_texts)
        {
            if (text == oldText)
                text = CAttributeValues::DecodeMultipleValues(newValue);
        }
    }
}

// ---- inserting records ----

CInsertRecordsCommand::CInsertRecordsCommand(CTable* table) : CCommand(table, u"CInsertRecordsCommand")
{
    m_bModification = true;
}

std::shared_ptr<CInsertRecordsCommand> CInsertRecordsCommand::Create(CTable* table, bool duplicate, long count)
{
    auto command = std::make_shared<CInsertRecordsCommand>(table);
    command->m_nEmptyCount = std::max(count, 1L);
    if (duplicate)
    {
        command->m_originals = SelectedRecords(*table, command->m_pRestriction);
        if (command->m_originals.empty())
            command->m_pRestriction.reset(); // nothing to duplicate: one empty record
        else
            command->m_pAttribute = command->m_pRestriction->GetAttribute();
    }
    // The first attribute's restrictions become one restriction to the values of the qualified records, so that
    // these stay qualified whatever the new records bring.
    CAttribute* first = FirstValueAttribute(*table);
    CTableSelection& selection = CTableSelection::Of(*table);
    if (first && selection.For(*first).IsRestricted())
    {
        auto values = std::make_unique<CSet>();
        const CRecordArray& all = table->GetAllRecords();
        for (long i = 0; i < all.GetSize(); ++i)
        {
            if (all.GetRecord(i)->m_bQualified)
                values->AddTail(first->GetFieldValue(all.GetRecord(i)));
        }
        CCommandHistory& history = selection.GetHistory();
        history.Submit(CSetAttributeCommand::MakeRelease(first), false, true, true);
        history.Submit(CSetAttributeCommand::MakeValueSet(first, std::move(values)), false, true, true);
    }
    return command;
}

void CInsertRecordsCommand::ComputeName(int form)
{
    if (!m_pRestriction)
        m_strName = m_nEmptyCount == 1 ? LoadResourceString(kAddRecord)
                                       : FormatResource(kAddRecords, {platform::FromUtf8(std::to_string(m_nEmptyCount))});
    else
        m_strName = RecordsName(kDuplicateRecord, kDuplicateRecords, static_cast<long>(m_originals.size()),
                                *m_pRestriction, form);
}

void CInsertRecordsCommand::Prepare()
{
    ComputeName(0);
}

bool CInsertRecordsCommand::Do()
{
    if (m_bDone)
        return Redo();
    std::vector<CRecord*> sources;
    std::vector<long> positions;
    if (!m_pRestriction)
    {
        for (long i = 0; i < m_nEmptyCount; ++i)
        {
            sources.push_back(nullptr);
            positions.push_back(m_pTable->GetRecordCount() + i);
        }
    }
    else
    {
        // Each duplicate directly after its original.
        std::unordered_map<const CRecord*, long> positionOf;
        const CRecordArray& all = m_pTable->GetAllRecords();
        for (long i = 0; i < all.GetSize(); ++i)
            positionOf.emplace(all.GetRecord(i), i);
        std::vector<std::pair<long, CRecord*>> originals;
        for (CRecord* record : m_originals)
        {
            const auto it = positionOf.find(record);
            if (it != positionOf.end())
                originals.emplace_back(it->second, record);
        }
        if (originals.empty())
            return false;
        std::sort(originals.begin(), originals.end());
        for (size_t i = 0; i < originals.size(); ++i)
        {
            sources.push_back(originals[i].second);
            positions.push_back(originals[i].first + static_cast<long>(i) + 1);
        }
    }
    std::vector<CRecord*> made;
    for (const SRecordPlace& place : m_pTable->GetRecords().InsertNewRecords(sources, positions))
        made.push_back(place.m_pRecord);
    m_kept.SetRecords(std::move(made));
    m_bDone = true;
    Selection().GetQualification().SetRestrictionsChanged(false); // the new records are tested
    return true;
}

void CInsertRecordsCommand::Undo()
{
    m_kept.Detach(*m_pTable);
}

bool CInsertRecordsCommand::Redo()
{
    if (!m_bDone)
        return Do();
    m_kept.Attach(*m_pTable);
    Selection().GetQualification().SetRestrictionsChanged(true); // restrictions may have changed meanwhile
    return true;
}

int CInsertRecordsCommand::ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue,
                                        int answer)
{
    m_kept.ReplaceValue(attribute, oldValue, newValue);
    return m_pRestriction ? m_pRestriction->ReplaceValue(attribute, oldValue, newValue, answer) : answer;
}

bool CInsertRecordsCommand::RefersTo(const CAttribute* attribute) const
{
    return m_pRestriction && m_pRestriction->RefersTo(attribute);
}

// ---- deleting records ----

CDeleteRecordsCommand::CDeleteRecordsCommand(CTable* table) : CCommand(table, u"CDeleteRecordsCommand")
{
    m_bModification = true;
}

std::shared_ptr<CDeleteRecordsCommand> CDeleteRecordsCommand::Create(CTable* table)
{
    auto command = std::make_shared<CDeleteRecordsCommand>(table);
    command->m_records = SelectedRecords(*table, command->m_pRestriction);
    if (!command->m_pRestriction)
        return nullptr;
    command->m_pAttribute = command->m_pRestriction->GetAttribute();
    return command;
}

void CDeleteRecordsCommand::ComputeName(int form)
{
    if (m_pRestriction)
        m_strName = RecordsName(kDeleteRecord, kDeleteRecords, static_cast<long>(m_records.size()), *m_pRestriction,
                                form);
}

void CDeleteRecordsCommand::Prepare()
{
    ComputeName(0);
}

bool CDeleteRecordsCommand::Do()
{
    if (m_bDone)
        return Redo();
    m_kept.SetRecords(m_records);
    m_kept.Detach(*m_pTable);
    if (m_kept.GetCount() == 0)
        return false; // none of them is in the table (any more)
    m_bDone = true;
    return true;
}

void CDeleteRecordsCommand::Undo()
{
    m_kept.Attach(*m_pTable);
    Selection().GetQualification().SetRestrictionsChanged(true); // restrictions may have changed meanwhile
}

bool CDeleteRecordsCommand::Redo()
{
    if (!m_bDone)
        return Do();
    m_kept.Detach(*m_pTable);
    return true;
}

int CDeleteRecordsCommand::ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue,
                                        int answer)
{
    m_kept.ReplaceValue(attribute, oldValue, newValue);
    return m_pRestriction ? m_pRestriction->ReplaceValue(attribute, oldValue, newValue, answer) : answer;
}

bool CDeleteRecordsCommand::RefersTo(const CAttribute* attribute) const
{
    return m_pRestriction && m_pRestriction->RefersTo(attribute);
}
