// The base command, the reset command and the command factory.

#include "selection/Command.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/HistoryCheckpoint.h"
#include "selection/MouseCommands.h"
#include "selection/RecordCommands.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"
#include "selection/ViewCommands.h"

#include <cctype>

CCommand::CCommand(CTable* table, KStringView className) : m_strClassName(className), m_pTable(table) {}

CCommand::~CCommand() = default;

CCommandHistory& CCommand::History() const
{
    return CTableSelection::Of(*m_pTable).GetHistory();
}

CTableSelection& CCommand::Selection() const
{
    return CTableSelection::Of(*m_pTable);
}

std::shared_ptr<CCommand> CCommand::Clone(CTable* table) const
{
    std::shared_ptr<CCommand> copy = CreateCommand(table, m_strClassName);
    copy->CopyFrom(*this);
    return copy;
}

void CCommand::CopyFrom(const CCommand& other)
{
    m_pAttribute = MapAttribute(other.m_pAttribute);
    m_bAttributeDeleted = other.m_bAttributeDeleted || (other.m_pAttribute && !m_pAttribute);
    m_strClassName = other.m_strClassName;
    m_strName = other.m_strName;
    m_bModification = other.m_bModification;
    m_bQueryCommand = other.m_bQueryCommand;
    m_bInEffect = other.m_bInEffect;
    m_bFresh = other.m_bFresh;
    m_bInteractive = other.m_bInteractive;
    m_bAnimating = other.m_bAnimating;
    m_bFinalStep = other.m_bFinalStep;
    m_bActivate = other.m_bActivate;
    m_bApplicable = other.m_bApplicable;
    m_bQuiet = other.m_bQuiet;
}

void CCommand::ComputeName(int) {}

KString CCommand::GetLongName()
{
    const KString previous = m_strName;
    ComputeName(1);
    KString name = m_strName;
    m_strName = previous;
    return name;
}

void CCommand::Prepare() {}

bool CCommand::IsValid() const
{
    return m_pAttribute && !m_bAttributeDeleted && m_pTable->FindAttributeIndex(m_pAttribute) >= 0;
}

CAttribute* CCommand::MapAttribute(CAttribute* attribute) const
{
    if (!attribute || attribute->GetTable() == m_pTable)
        return attribute;
    // An attribute of another table: its counterpart here is the attribute of the same name.
    return m_pTable->FindAttribute(attribute->GetName(), nullptr, true, attribute->IsHeader());
}

std::vector<CAttribute*> CCommand::MapAttributes(const std::vector<CAttribute*>& attributes) const
{
    std::vector<CAttribute*> mapped;
    for (CAttribute* attribute : attributes)
    {
        if (CAttribute* counterpart = MapAttribute(attribute))
            mapped.push_back(counterpart);
    }
    return mapped;
}

bool CCommand::RefersTo(const CAttribute* attribute) const
{
    return m_pAttribute && m_pAttribute == attribute;
}

void CCommand::ForgetAttribute(const CAttribute* attribute)
{
    if (RefersTo(attribute))
        m_bAttributeDeleted = true;
}

bool CCommand::CheckApplicable(bool force)
{
    if (!force && !m_bApplicable)
        return false;
    m_bApplicable = IsApplicable(force);
    return m_bApplicable;
}

void CCommand::Undo()
{
    History().ResetAndReplayCurrentQuery();
}

KString CCommand::GetDisplayClassName() const
{
    return DisplayClassNameOf(m_strClassName);
}

KString DisplayClassNameOf(KStringView className)
{
    // "C{.*}Command" -> its group; then the first two capitalised words swapped with a blank between.
    KString core(className);
    if (core.size() > 8 && core.front() == u'C' && core.compare(core.size() - 7, 7, u"Command") == 0)
        core = core.substr(1, core.size() - 8);
    auto word = [&](size_t from) {
        size_t end = from;
        if (end < core.size() && core[end] >= u'A' && core[end] <= u'Z')
        {
            ++end;
            while (end < core.size() && core[end] >= u'a' && core[end] <= u'z')
                ++end;
        }
        return end;
    };
    const size_t firstEnd = word(0);
    const size_t secondEnd = word(firstEnd);
    if (firstEnd == 0 || secondEnd == firstEnd)
        return core;
    return core.substr(firstEnd, secondEnd - firstEnd) + u" " + core.substr(0, firstEnd) + core.substr(secondEnd);
}

// ---- the reset ----

namespace
{
constexpr int kResetName = 2558; // "Reset"
} // namespace

CResetCommand::CResetCommand(CTable* table) : CCommand(table, u"CResetCommand") {}

void CResetCommand::CopyFrom(const CCommand& other)
{
    CCommand::CopyFrom(other);
    if (const auto* reset = dynamic_cast<const CResetCommand*>(&other))
        m_nViewMode = reset->m_nViewMode;
}

void CResetCommand::ComputeName(int)
{
    m_strName = LoadResourceString(kResetName);
}

void CResetCommand::Prepare()
{
    ComputeName(0);
    m_nViewMode = Selection().GetRememberedViewMode();
}

bool CResetCommand::Do()
{
    CTableSelection& selection = Selection();
    selection.SetRememberedViewMode(m_nViewMode);
    selection.Reset(m_bFinalStep, true);
    History().SetHistoryChanged();
    History().TrimBackList();
    return true;
}

// ---- the factory ----

namespace
{
const char16_t* const kKnownClasses[] = {
    u"CSetAttributeCommand",  u"CResetCommand",         u"CSortCommand",         u"CModeSwitchCommand",
    u"CHideRecordsCommand",   u"CToggleAutoHideRecordsCommand",                  u"CInsertRecordsCommand",
    u"CDeleteRecordsCommand", u"CSelectValuesCommand"};
} // namespace

CCommandClassError::CCommandClassError(const KString& className)
    : CKorvalinException(EStatus::CannotExecuteCommand,
                         platform::ToUtf8(FormatResource(3914, {className})))
{
}

bool IsKnownCommandClass(KStringView className)
{
    for (const char16_t* known : kKnownClasses)
    {
        if (className == known)
            return true;
    }
    return false;
}

std::shared_ptr<CCommand> CreateCommand(CTable* table, KStringView className)
{
    std::shared_ptr<CCommand> command;
    if (className == u"CSetAttributeCommand")
        command = std::make_shared<CSetAttributeCommand>(table);
    else if (className == u"CResetCommand")
        command = std::make_shared<CResetCommand>(table);
    else if (className == u"CHideRecordsCommand")
        command = std::make_shared<CHideRecordsCommand>(table);
    else if (className == u"CToggleAutoHideRecordsCommand")
        command = std::make_shared<CToggleAutoHideRecordsCommand>(table);
    else if (className == u"CInsertRecordsCommand")
        command = std::make_shared<CInsertRecordsCommand>(table);
    else if (className == u"CDeleteRecordsCommand")
        command = std::make_shared<CDeleteRecordsCommand>(table);
    else if (className == u"CSelectValuesCommand")
        command = std::make_shared<CSelectValuesCommand>(table);
    else if (className == u"CSortCommand")
        command = std::make_shared<CSortCommand>(table);
    else if (className == u"CModeSwitchCommand")
        command = std::make_shared<CModeSwitchCommand>(table);
    else
        throw CCommandClassError(KString(className));
    command->m_bFresh = false;
    return command;
}
