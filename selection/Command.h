#pragma once
// CCommand: the base of every action that the user can step back over or undo
// and that a query records. A command is made by the code handling the action
// (fresh) or by the factory from its class name (read from storage), handed
// to its table's history (CCommandHistory::Submit), executes itself (Do) and
// then lives in one of the history's four lists. Query commands (zooms,
// resets ...) are undone by resetting the table and replaying the rest of the
// current query; modifications undo themselves directly.
//
// Reference counting is std::shared_ptr: a restriction sits both in a history
// list and in the restriction lists of its attributes, and whoever holds it
// keeps it alive. Commands are never shared between tables (Clone copies).
//
// CResetCommand, the end of one query and the start of the next, is here as
// well; CSetAttributeCommand (the zooms) has its own header.
//
// Threading: the table's thread; commands are not re-entrant.

#include "platform/Error.h"
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <vector>

class CAttribute;
class CCommandHistory;
class CTable;
class CTableSelection;
struct SHistoryCheckpoint;

class CCommand : public std::enable_shared_from_this<CCommand>
{
public:
    // An empty command of the given class for table (fresh: made for submission).
    CCommand(CTable* table, KStringView className);
    virtual ~CCommand();
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    // A copy bound to table, made through the factory and CopyFrom.
    virtual std::shared_ptr<CCommand> Clone(CTable* table) const;
    // Copies attribute (mapped to this table), class name, name and flags.
    virtual void CopyFrom(const CCommand& other);
    // A command that defines an attribute makes a copy of it in table; the base has none.
    virtual void TransferAttribute(CTable* table) {}
    // The user text a command holds (an attribute name, a comment, a formula) for translation; empty for none.
    virtual KString GetParameterToTranslate() const { return {}; }
    virtual void SetTranslatedParameter(const KString& text) {}
    // Commands holding attributes recompute their format ids.
    virtual void RecomputeFormats() {}
    // Whether the table's file-format version stores this command (the stored form comes with table files).
    virtual bool IsStorableInFormat() const { return true; }
    // Sets the name; form 0 short, 1 long (log), 2 uncut. The base leaves it as it is.
    virtual void ComputeName(int form);
    // The name computed in the long form (the current name stays).
    KString GetLongName();
    // Called by Submit before the host is asked: computes the name and captures state.
    virtual void Prepare();
    virtual const KString& GetName() const { return m_strName; }
    // The attribute is set and still in the table's attribute list.
    virtual bool IsValid() const;
    // An attribute of this table stays; one of another table is replaced by its namesake here, or null.
    CAttribute* MapAttribute(CAttribute* attribute) const;
    // MapAttribute for each attribute, dropping those without a counterpart.
    std::vector<CAttribute*> MapAttributes(const std::vector<CAttribute*>& attributes) const;
    // The command defines an attribute that exists only within the current query.
    virtual bool DefinesTemporaryAttribute() const { return false; }
    // The command changes more than the restriction lists (the record order, the view mode): a replay executes
    // it again rather than starting from a checkpoint kept after it.
    virtual bool ChangesMoreThanRestrictions() const { return false; }
    // Scrolls the attribute into view (the display's work; nothing without a window).
    virtual void MakeVisible() {}
    virtual bool RefersTo(const CAttribute* attribute) const;
    // With force false and a cached "not applicable", answers false; else asks IsApplicable and caches it.
    bool CheckApplicable(bool force);
    virtual bool IsApplicable(bool force) { return IsValid(); }
    // Executes the command; false when it could not (it must then leave the table as it was).
    // Throws on faults; the history restores the state it saved before.
    virtual bool Do() { return true; }
    // Rebuilds the state without this command: the table is reset and the current query replayed.
    virtual void Undo();
    virtual bool Redo() { return Do(); }
    // The attribute lost its value old (now called new): commands that hold it follow. Returns answer.
    virtual int ReplaceValue(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue, int answer)
    {
        return answer;
    }
    // "SetAttribute" for "CSetAttributeCommand" with the first two capitalised words swapped: "Attribute Set".
    virtual KString GetDisplayClassName() const;
    // The name written to the action log (the long name).
    virtual KString GetLogName() { return GetLongName(); }

    const KString& GetClassName() const { return m_strClassName; }
    bool IsKindOf(KStringView className) const { return m_strClassName == className; }
    CTable* GetTable() const { return m_pTable; }
    CAttribute* GetAttribute() const { return m_pAttribute; }
    void SetAttribute(CAttribute* attribute) { m_pAttribute = attribute; }
    // The table's history (through its selection state).
    CCommandHistory& History() const;
    CTableSelection& Selection() const;
    // Forgets an attribute the table deleted: the command is no longer valid.
    virtual void ForgetAttribute(const CAttribute* attribute);

    // The fields of every command.
    KString m_strName;                 // user-visible name; empty until computed
    KString m_strClassName;            // the factory key, "CCommand" for the base
    CTable* m_pTable = nullptr;        // the table it works on; borrowed, never null once bound
    CAttribute* m_pAttribute = nullptr; // the attribute it works on, may be null; borrowed
    bool m_bModification = false;      // changes content or structure: goes to the undo list
    bool m_bQueryCommand = true;       // belongs to the navigation history
    uint64_t m_nExecutionTime = 0;     // tick count of the last execution
    bool m_bInEffect = false;          // its effect is part of the table state
    bool m_bFresh = true;              // made for submission and not run yet
    bool m_bInteractive = true;        // execution may show progress, animation and messages
    bool m_bAnimating = false;         // executed again only to animate an undo
    bool m_bFinalStep = true;          // this execution ends a batch
    bool m_bActivate = true;           // the window becomes active and shows the attribute afterwards
    bool m_bApplicable = true;         // cached answer of the last applicability check
    bool m_bQuiet = false;             // no "CommandNotSubmitted" when it fails
    bool m_bAttributeDeleted = false;  // an attribute it refers to was deleted

    // The state of the table right after this command ran in the back list (for going back quickly);
    // null when none was taken or it went stale. Kept by CCommandHistory.
    std::unique_ptr<SHistoryCheckpoint> m_pCheckpoint;
};

// The reset: the end of one query and the start of the next. It releases every restriction, qualifies
// and shows every record, restores the remembered view mode and trims old queries from the back list.
class CResetCommand final : public CCommand
{
public:
    explicit CResetCommand(CTable* table);
    void CopyFrom(const CCommand& other) override;
    void ComputeName(int form) override;
    void Prepare() override;
    bool IsApplicable(bool) override { return true; }
    bool IsValid() const override { return true; }
    bool Do() override;
    KString GetDisplayClassName() const override { return u"Reset"; }

    int m_nViewMode = 1; // view mode the reset restores: 1 full table, 2 compressed table, 3 overview
};

// A new, empty command of the named class for table (fresh = false: as read from storage).
// Throws CCommandClassError for a class this program does not know.
std::shared_ptr<CCommand> CreateCommand(CTable* table, KStringView className);
// Whether the factory knows the class name.
bool IsKnownCommandClass(KStringView className);

// A class name the command factory does not know (reading a query or history that names one fails).
class CCommandClassError : public CKorvalinException
{
public:
    explicit CCommandClassError(const KString& className);
};

// The display class name of a class name: "CSetAttributeCommand" -> "Attribute Set".
KString DisplayClassNameOf(KStringView className);
