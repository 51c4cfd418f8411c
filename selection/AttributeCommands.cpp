// Inserting and redefining derived attributes, undoable.

#include "selection/AttributeCommands.h"

#include "engine/Attribute.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "formula/DerivedAttributes.h"
#include "platform/Error.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"

namespace
{
constexpr int kInsertAttribute = 1966;   // "Attribut '%1' einfügen"
constexpr int kRedefineAttribute = 2448; // "Attribut '%1' umdefinieren"
constexpr int kCycleMessage = 1420;      // "Achtung: Zyklische Abhängigkeit! ..."

// Recomputes attribute (which must be recomputed) and whatever is computed from it; refuses a cycle through it
// with the message, by throwing CUserException (the history then restores the table).
void ComputeDefined(CTable& table, CAttribute& attribute)
{
    formula::CDerivedAttributes& derived = formula::CDerivedAttributes::Of(table);
    if (derived.FindCycle(attribute))
    {
        table.ShowMessage(kCycleMessage, {attribute.GetDisplayName(50)});
        throw CUserException();
    }
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bMustRecompute = true;
    state.m_bOutdated = true;
    derived.InvalidateDerivedAttributes(&attribute, false);
    derived.RecomputeDerivedAttributes(1, true, true, nullptr);
}
} // namespace

// ---- inserting ----

CInsertAttributeCommand::CInsertAttributeCommand(CTable* table, KStringView name,
                                                 std::unique_ptr<CAttributeDefinition> definition, int32_t evalMode,
                                                 bool regardUndefinedAsZero)
    : CCommand(table, u"CInsertAttributeCommand"), m_strAttributeName(name), m_pDefinition(std::move(definition)),
      m_nEvalMode(evalMode), m_bRegardUndefinedAsZero(regardUndefinedAsZero)
{
    m_bModification = true;
    m_bQueryCommand = false;
}

CInsertAttributeCommand::~CInsertAttributeCommand() = default;

void CInsertAttributeCommand::ComputeName(int)
{
    m_strName = FormatResource(kInsertAttribute, {m_strAttributeName});
}

bool CInsertAttributeCommand::Do()
{
    if (m_pAttribute)
        return Redo();
    if (!m_pDefinition)
        return false;
    const auto kind = static_cast<AttributeType>(m_pDefinition->GetKind());
    CAttribute* attribute = m_pTable->CreateNewAttribute(kind, false, m_strAttributeName, nullptr, 16, true);
    attribute->SetEvalMode(m_nEvalMode);
    attribute->SetRegardUndefinedAsZero(m_bRegardUndefinedAsZero);
    attribute->GetDerivedState().m_bGuessFormat = kind == ATTR_CLASSIFICATION || kind == ATTR_CASE;
    attribute->SetDefinition(std::move(m_pDefinition));
    m_pAttribute = attribute;
    try
    {
        ComputeDefined(*m_pTable, *attribute);
    }
    catch (...)
    {
        // The history drops the attribute with the table's checkpoint; the definition goes with it.
        m_pAttribute = nullptr;
        throw;
    }
    return true;
}

void CInsertAttributeCommand::Undo()
{
    if (!m_pAttribute || m_pDetached)
        return;
    m_bDetaching = true;
    m_pDetached = m_pTable->DetachAttribute(m_pAttribute, m_nIndex);
    m_bDetaching = false;
    m_nRecordsAtUndo = m_pTable->GetRecordCount();
}

bool CInsertAttributeCommand::Redo()
{
    if (!m_pDetached)
        return false;
    CAttribute* attribute = m_pTable->AttachAttribute(std::move(m_pDetached), m_nIndex);
    // The records are those it was taken out with (modifications undo in order); otherwise it computes again.
    if (m_pTable->GetRecordCount() != m_nRecordsAtUndo)
        attribute->GetDerivedState().m_bOutdated = true;
    return true;
}

void CInsertAttributeCommand::ForgetAttribute(const CAttribute* attribute)
{
    if (m_bDetaching || attribute != m_pAttribute)
        return;
    m_pAttribute = nullptr; // deleted by someone else: nothing to undo or redo any more
    m_bAttributeDeleted = true;
}

// ---- redefining ----

CRedefineAttributeCommand::CRedefineAttributeCommand(CTable* table, CAttribute* attribute,
                                                     std::unique_ptr<CAttributeDefinition> definition)
    : CCommand(table, u"CRedefineAttributeCommand"), m_pOther(std::move(definition))
{
    m_pAttribute = attribute;
    m_bModification = true;
    m_bQueryCommand = false;
}

void CRedefineAttributeCommand::ComputeName(int)
{
    m_strName = FormatResource(kRedefineAttribute, {m_pAttribute ? m_pAttribute->GetName() : KString()});
}

bool CRedefineAttributeCommand::Do()
{
    if (!m_pAttribute || !m_pOther || !m_pAttribute->IsDerived() ||
        m_pOther->GetKind() != static_cast<int32_t>(m_pAttribute->GetAttributeType()))
        return false;
    return Swap();
}

void CRedefineAttributeCommand::Undo()
{
    if (m_pAttribute && m_pOther)
        Swap();
}

bool CRedefineAttributeCommand::Swap()
{
    std::unique_ptr<CAttributeDefinition> current(m_pAttribute->GetDefinition() ? m_pAttribute->GetDefinition()->Clone()
                                                                                : nullptr);
    m_pAttribute->SetDefinition(std::move(m_pOther));
    m_pOther = std::move(current);
    try
    {
        ComputeDefined(*m_pTable, *m_pAttribute);
    }
    catch (...)
    {
        std::unique_ptr<CAttributeDefinition> refused(m_pAttribute->GetDefinition()->Clone());
        m_pAttribute->SetDefinition(std::move(m_pOther));
        m_pOther = std::move(refused);
        throw;
    }
    return true;
}
