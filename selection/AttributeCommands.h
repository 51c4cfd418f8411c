#pragma once
// The commands that define derived attributes (modifications, in the undo list):
//   CInsertAttributeCommand    inserts a derived attribute with its definition and computes it
//   CRedefineAttributeCommand  gives a derived attribute a new definition and recomputes it and what is computed
//                              from it
// Undo and redo give back exactly the earlier state: an inserted attribute is taken out of the table with its
// values and put back at its place; a redefinition swaps the definitions and recomputes.
//
// Threading: the table's thread; not re-entrant.

#include "engine/AttributeDefinition.h"
#include "selection/Command.h"

#include <memory>

class CAttribute;

class CInsertAttributeCommand final : public CCommand
{
public:
    // A command that inserts an attribute called name (at the end of the list) with definition (its attributes
    // are table's), of definition's kind, with evalMode (0 ... 4) and RegardUndefinedAsZero.
    CInsertAttributeCommand(CTable* table, KStringView name, std::unique_ptr<CAttributeDefinition> definition,
                            int32_t evalMode = 1, bool regardUndefinedAsZero = false);
    ~CInsertAttributeCommand() override;

    void ComputeName(int form) override;
    void Prepare() override { ComputeName(0); }
    bool IsValid() const override { return true; }
    bool IsApplicable(bool) override { return true; }
    // Inserts and computes the attribute. A definition that reaches the new attribute again (a cycle) is
    // refused with message 1420 (the table stays as it was).
    bool Do() override;
    // Takes the attribute out with its values.
    void Undo() override;
    // Puts it back where it stood.
    bool Redo() override;
    void ForgetAttribute(const CAttribute* attribute) override;

    // The inserted attribute (null before Do and while undone).
    CAttribute* GetInsertedAttribute() const { return m_pDetached ? nullptr : m_pAttribute; }

private:
    KString m_strAttributeName;                          // the new attribute's name
    std::unique_ptr<CAttributeDefinition> m_pDefinition; // until the first Do hands it to the attribute
    int32_t m_nEvalMode;                                 // the new attribute's eval mode
    bool m_bRegardUndefinedAsZero;                       // the new attribute's RegardUndefinedAsZero
    std::unique_ptr<CAttribute> m_pDetached;             // the attribute while undone
    long m_nIndex = -1;                                  // its place in the attribute list when taken out
    long m_nRecordsAtUndo = 0;                           // the record count when taken out
    bool m_bDetaching = false;                           // Undo takes the attribute out right now
};

class CRedefineAttributeCommand final : public CCommand
{
public:
    // A command that gives attribute (derived, of table) the definition (of the same kind).
    CRedefineAttributeCommand(CTable* table, CAttribute* attribute, std::unique_ptr<CAttributeDefinition> definition);

    void ComputeName(int form) override;
    void Prepare() override { ComputeName(0); }
    bool IsApplicable(bool) override { return IsValid(); }
    // Sets the new definition and recomputes. A cycle is refused with message 1420 (the table stays as it was).
    bool Do() override;
    // The old definition again, recomputed.
    void Undo() override;
    bool Redo() override { return Swap(); }

private:
    // Exchanges the attribute's definition with the kept one and recomputes; false on a cycle (swapped back).
    bool Swap();

    std::unique_ptr<CAttributeDefinition> m_pOther; // the definition not in force
};
