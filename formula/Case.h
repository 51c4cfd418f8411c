#pragma once
// CCase: one case of a case discrimination: a condition (a formula that gives a truth value) and what a record
// that meets it gets: the value text, or, when a value attribute is set, the record's own value of that
// attribute.
//
// Lifecycle: CompileCondition parses the condition once and binds its names to the table's attributes;
// PrepareCondition type-checks it before a recompute (an engine and inputs of the case's own); then
// Evaluate answers per record. Copying is by Clone (the compiled state is not copied). Threading: the table's
// thread; a case is used by one recompute at a time.

#include "formula/ExpressionAttribute.h"
#include "formula/Parseval.h"

#include <functional>
#include <memory>
#include <vector>

class CAttribute;
class CTable;

namespace formula
{

class CCase
{
public:
    CCase(CTable* table, KStringView condition, KStringView value, CAttribute* valueAttribute = nullptr);
    CCase(const CCase&) = delete;
    CCase& operator=(const CCase&) = delete;

    // Parses the condition and binds its names. Returns the status (the message names a missing attribute); on
    // failure the syntax error flag is set.
    SFormulaStatus CompileCondition();
    // Type-checks the compiled condition with inputs of the case's own; a failure, or a result that is not a
    // text (truth values are texts), sets the type error flag. Returns whether the case can be evaluated.
    bool PrepareCondition();
    // Whether the condition holds for record: it evaluates without error to "yes".
    bool Evaluate(const CRecord* record);
    // The value indices of the condition's attributes for record, into indices (GetConditionAttributes().size()
    // of them); false when a record has no field yet.
    [[nodiscard]] bool ReadIndices(const CRecord* record, long* indices) const;

    const KString& GetConditionString() const { return m_strCondition; }
    const KString& GetValueString() const { return m_strValue; }
    CAttribute* GetValueAttribute() const { return m_pValueAttribute; }
    // "CONDITION -> VALUE" (the value attribute in brackets).
    KString GetListItemString() const;
    // The attributes named in the condition, in the order of the names; then the value attribute.
    const std::vector<CAttribute*>& GetConditionAttributes() const { return m_attributes; }
    bool ReferredToAttribute(const CAttribute* attribute) const;
    void ReferredToAttributes(std::vector<CAttribute*>& out) const;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map);
    TimeDependency GetTimeDependency() const { return m_parsed.eTimeDependency; }
    bool HasSyntaxError() const { return m_bSyntaxError; }
    bool HasTypeError() const { return m_bTypeError; }
    // A copy with the same texts, attributes and parsed form, not compiled.
    std::unique_ptr<CCase> Clone() const;
    bool Equals(const CCase& other) const;

private:
    CTable* m_pTable;                      // owning table; borrowed
    KString m_strCondition;                // the condition as written
    KString m_strValue;                    // the value written for records that meet it
    CAttribute* m_pValueAttribute;         // when set, the record's value of it is written; borrowed
    CInternalRepresentation m_parsed;      // the parsed condition (names in order)
    std::vector<CAttribute*> m_attributes; // one per name of m_parsed; null when gone
    std::unique_ptr<CParseval> m_pEngine;  // compiled by PrepareCondition; null before
    CAttributeInputs m_inputs;             // bound by PrepareCondition
    bool m_bSyntaxError = false;           // the condition did not parse, or names a missing attribute
    bool m_bTypeError = false;             // the condition did not type-check or gives no truth value
};

} // namespace formula
