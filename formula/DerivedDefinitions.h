#pragma once
// The definitions of the derived kinds other than summaries (engine/AttributeDefinition.h is their interface):
//   CExpressionDefinition      a formula over other attributes, parsed once when it is defined
//   CClassificationDefinition  an attribute's values sorted into classes (CValueRange), the first that holds
//   CCaseDefinition            cases (CCase) tried in order; the first whose condition holds gives the value
//   CLinkDefinition            the values of a target attribute (a drill-down link keeps its flag as data)
// Each is made by a factory that checks it against the table (names bound to attributes) and owned by its
// attribute once set. A definition computes all records each time; it reuses work for records whose inputs
// repeat (the expression's memo, and a result per input value index for the others).
//
// Threading: PrepareRecompute on the table's thread, Recompute possibly on a task of its own (see
// CAttributeDefinition).

#include "engine/AttributeDefinition.h"
#include "formula/Case.h"
#include "formula/ExpressionAttribute.h"
#include "formula/ValueRange.h"

#include <memory>
#include <vector>

namespace formula
{

class CExpressionDefinition final : public CAttributeDefinition
{
public:
    // Parses formula (commas between arguments) and binds its names; on failure returns null and the status
    // says why (a missing attribute is named).
    static std::unique_ptr<CExpressionDefinition> Create(CTable& table, KStringView formula, SFormulaStatus& status);

    int32_t GetKind() const override;
    void GetReferencedAttributes(std::vector<CAttribute*>& out) const override;
    std::unique_ptr<CAttributeDefinition> Clone() const override;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) override;
    void PrepareRecompute(CTable& table, CAttribute& attribute) override;
    bool Recompute(CTable& table, CAttribute& attribute) override;
    bool DependsOnTime(int32_t timeDependency) const override;
    double EstimatedSteps(long records) const override { return 15.0 * records; }
    KString GetDescription() const override { return m_strFormula; }

    const KString& GetFormula() const { return m_strFormula; }

private:
    KString m_strFormula;                   // the formula as written
    CInternalRepresentation m_parsed;       // parsed once; names in order of first appearance
    std::vector<CAttribute*> m_attributes;  // one per name of m_parsed; null when gone
    std::unique_ptr<CExpressionJob> m_pJob; // between PrepareRecompute and Recompute
};

class CClassificationDefinition final : public CAttributeDefinition
{
public:
    CClassificationDefinition(CAttribute* classified, std::vector<CValueRange> classes)
        : m_pClassified(classified), m_classes(std::move(classes))
    {
    }

    int32_t GetKind() const override;
    void GetReferencedAttributes(std::vector<CAttribute*>& out) const override;
    std::unique_ptr<CAttributeDefinition> Clone() const override;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) override;
    void PrepareRecompute(CTable& table, CAttribute& attribute) override;
    bool Recompute(CTable& table, CAttribute& attribute) override;
    double EstimatedSteps(long records) const override { return 5.0 * records; }
    KString GetDescription() const override;

    CAttribute* GetClassified() const { return m_pClassified; }
    const std::vector<CValueRange>& GetClasses() const { return m_classes; }

private:
    CAttribute* m_pClassified;          // the attribute whose values are classified; null when gone
    std::vector<CValueRange> m_classes; // tested in order; the first that contains the value wins
};

class CCaseDefinition final : public CAttributeDefinition
{
public:
    explicit CCaseDefinition(std::vector<std::unique_ptr<CCase>> cases) : m_cases(std::move(cases)) {}

    int32_t GetKind() const override;
    void GetReferencedAttributes(std::vector<CAttribute*>& out) const override;
    std::unique_ptr<CAttributeDefinition> Clone() const override;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) override;
    void PrepareRecompute(CTable& table, CAttribute& attribute) override;
    bool Recompute(CTable& table, CAttribute& attribute) override;
    bool DependsOnTime(int32_t timeDependency) const override;
    double EstimatedSteps(long records) const override { return 45.0 * records; }
    KString GetDescription() const override;

    const std::vector<std::unique_ptr<CCase>>& GetCases() const { return m_cases; }

private:
    std::vector<std::unique_ptr<CCase>> m_cases; // tried in order
    bool m_bUsable = false;                      // every case prepared without error (set by PrepareRecompute)
};

class CLinkDefinition final : public CAttributeDefinition
{
public:
    explicit CLinkDefinition(CAttribute* target, bool drillDown = false) : m_pTarget(target), m_bDrillDown(drillDown) {}

    int32_t GetKind() const override;
    void GetReferencedAttributes(std::vector<CAttribute*>& out) const override;
    std::unique_ptr<CAttributeDefinition> Clone() const override;
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map) override;
    void PrepareRecompute(CTable& table, CAttribute& attribute) override;
    bool Recompute(CTable& table, CAttribute& attribute) override;
    double EstimatedSteps(long records) const override { return 5.0 * records; }
    KString GetDescription() const override;

    CAttribute* GetTarget() const { return m_pTarget; }
    bool IsDrillDown() const { return m_bDrillDown; }

private:
    CAttribute* m_pTarget; // the attribute whose values are shown; null or a header: all undefined
    bool m_bDrillDown;     // a drill-down attribute (re-targeted by the drill-down navigation)
};

} // namespace formula
