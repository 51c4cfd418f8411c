// The definitions of expressions, classifications, case discriminations and links, and how each computes.

#include "formula/DerivedDefinitions.h"

#include "formula/BuiltinSupport.h"
#include "formula/Builtins.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace formula
{

namespace
{

// Results kept by the value index of one input attribute: a record whose input has a value index met before
// gets the same value index of the result without computing it again.
class CResultsByIndex
{
public:
    CResultsByIndex(CAttribute& target, long inputValues)
        : m_target(target), m_fields(target.GetFieldArray()), m_known(static_cast<size_t>(inputValues) + 1, -1)
    {
    }
    // Gives record the result kept for input index (-1: undefined); false when none is kept.
    bool StoreKnown(CRecord* record, long input)
    {
        const long known = m_known[Slot(input)];
        if (known < 0)
            return false;
        m_fields.SetAt(record, known);
        return true;
    }
    // Stores the result for record and keeps it for input index.
    void Store(CRecord* record, long input, KStringView text, bool hasNumber, double number)
    {
        if (hasNumber)
            m_target.AddValue(record, text, true, number);
        else
            m_target.AddValue(record, text);
        m_known[Slot(input)] = m_fields.GetAt(record->m_nRecordNumber);
    }
    // Keeps result (a value index of the target) for input index.
    void Keep(long input, long result) { m_known[Slot(input)] = result; }

private:
    size_t Slot(long input) const
    {
        const size_t slot = static_cast<size_t>(input + 1);
        return slot < m_known.size() ? slot : 0;
    }
    CAttribute& m_target;
    CFieldArray& m_fields;
    std::vector<long> m_known; // per input index + 1: the result's value index, -1 when not yet known
};

// The records in the order of attribute's values when it orders all of them, else in the table's order.
const std::vector<CRecord*>* SortedRecordsOf(CTable& table, CAttribute* attribute)
{
    if (!attribute || attribute->IsHeader())
        return nullptr;
    const std::vector<CRecord*>& sorted = attribute->GetSortedRecords();
    return static_cast<long>(sorted.size()) == table.GetRecordCount() ? &sorted : nullptr;
}

// Records between two advances of the table's progress.
constexpr long kProgressRecords = 20000;

// Calls visit for every record of the table, in the order of attribute's values when it has one, advancing the
// table's progress by stepsPerRecord per record. Returns false when the progress was cancelled (some records
// are then not visited).
template <class Visit> bool VisitRecords(CTable& table, CAttribute* attribute, double stepsPerRecord, Visit visit)
{
    CTableMessages& messages = table.GetMessages();
    const std::vector<CRecord*>* sorted = SortedRecordsOf(table, attribute);
    const CRecordArray& all = table.GetAllRecords();
    const long count = sorted ? static_cast<long>(sorted->size()) : all.GetSize();
    for (long i = 0; i < count; ++i)
    {
        if (i > 0 && i % kProgressRecords == 0 && !messages.AdvanceProgress(stepsPerRecord * kProgressRecords))
            return false;
        visit(sorted ? (*sorted)[static_cast<size_t>(i)] : all.GetRecord(i));
    }
    return true;
}

// Brings the caches of an input up to date on the table's thread (numbers, and records in value order when
// sorted), so that recomputes running at once only read them.
void PrepareInput(CAttribute* attribute, bool sorted = true)
{
    if (!attribute || attribute->IsHeader())
        return;
    if (attribute->IsNumeric() && attribute->GetNrOfValues() > 0)
        attribute->GetNumericValue(0);
    if (sorted)
        attribute->GetSortedRecords();
}

// The value index of record in attribute without repairing anything (-1: none).
long IndexOf(CAttribute& attribute, const CRecord* record)
{
    const long index = attribute.GetFieldArray().GetAt(record->m_nRecordNumber);
    return index < attribute.GetNrOfValues() ? index : -1;
}

void StoreUndefined(CTable& table, CAttribute& attribute)
{
    const CRecordArray& all = table.GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
        attribute.AddValue(all.GetRecord(i), KStringView());
}

CAttribute* Mapped(const std::function<CAttribute*(CAttribute*)>& map, CAttribute* attribute)
{
    return attribute ? map(attribute) : nullptr;
}

} // namespace

// ---- expressions ----

std::unique_ptr<CExpressionDefinition> CExpressionDefinition::Create(CTable& table, KStringView formula,
                                                                     SFormulaStatus& status)
{
    CParseval engine(table.GetFormatRegistry());
    DefineBuiltinFunctions(engine);
    CAttributeInputs inputs;
    CParsevalToken result;
    status = CompileFormula(table, engine, formula, true, inputs, result);
    if (!status.IsOk())
        return nullptr;
    auto definition = std::make_unique<CExpressionDefinition>();
    definition->m_strFormula = KString(formula);
    definition->m_parsed = engine.GetRepresentation();
    definition->m_attributes = inputs.GetAttributes();
    return definition;
}

int32_t CExpressionDefinition::GetKind() const
{
    return ATTR_EXPRESSION;
}

void CExpressionDefinition::GetReferencedAttributes(std::vector<CAttribute*>& out) const
{
    for (CAttribute* attribute : m_attributes)
    {
        if (attribute && std::find(out.begin(), out.end(), attribute) == out.end())
            out.push_back(attribute);
    }
}

std::unique_ptr<CAttributeDefinition> CExpressionDefinition::Clone() const
{
    auto copy = std::make_unique<CExpressionDefinition>();
    copy->m_strFormula = m_strFormula;
    copy->m_parsed = m_parsed;
    copy->m_attributes = m_attributes;
    return copy;
}

void CExpressionDefinition::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    for (CAttribute*& attribute : m_attributes)
        attribute = Mapped(map, attribute);
}

void CExpressionDefinition::PrepareRecompute(CTable& table, CAttribute& attribute)
{
    // The job reads the records in the table's order (repeated inputs are found by its memo): the inputs' records
    // in value order are not needed.
    for (CAttribute* input : m_attributes)
        PrepareInput(input, false);
    m_pJob = std::make_unique<CExpressionJob>(table, attribute);
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bSyntaxError = std::find(m_attributes.begin(), m_attributes.end(), nullptr) != m_attributes.end();
    state.m_bTypeError = false;
    if (state.m_bSyntaxError)
        return;
    state.m_bTypeError = !m_pJob->Compile(m_parsed, m_attributes).IsOk();
    state.m_bTextResult = state.m_bTypeError || !attribute.IsNumeric();
}

bool CExpressionDefinition::Recompute(CTable& table, CAttribute& attribute)
{
    if (!m_pJob)
        PrepareRecompute(table, attribute);
    const bool done = m_pJob->Run(EstimatedSteps(1));
    m_pJob.reset();
    return done;
}

bool CExpressionDefinition::DependsOnTime(int32_t timeDependency) const
{
    return static_cast<int32_t>(m_parsed.eTimeDependency) == timeDependency;
}

// ---- classifications ----

int32_t CClassificationDefinition::GetKind() const
{
    return ATTR_CLASSIFICATION;
}

void CClassificationDefinition::GetReferencedAttributes(std::vector<CAttribute*>& out) const
{
    if (m_pClassified && std::find(out.begin(), out.end(), m_pClassified) == out.end())
        out.push_back(m_pClassified);
}

std::unique_ptr<CAttributeDefinition> CClassificationDefinition::Clone() const
{
    return std::make_unique<CClassificationDefinition>(m_pClassified, m_classes);
}

void CClassificationDefinition::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    m_pClassified = Mapped(map, m_pClassified);
    for (CValueRange& range : m_classes)
        range.SetAttribute(m_pClassified);
}

void CClassificationDefinition::PrepareRecompute(CTable&, CAttribute& attribute)
{
    PrepareInput(m_pClassified, false);
    for (CValueRange& range : m_classes)
    {
        range.SetAttribute(m_pClassified);
        range.InternValueSetIfNecessary();
    }
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bSyntaxError = !m_pClassified || m_pClassified->IsHeader();
    state.m_bTextResult = true;
}

bool CClassificationDefinition::Recompute(CTable& table, CAttribute& attribute)
{
    if (attribute.GetDerivedState().m_bSyntaxError)
    {
        StoreUndefined(table, attribute);
        return true;
    }
    CAttribute& classified = *m_pClassified;
    const bool zero = attribute.IsRegardUndefinedAsZero() && classified.IsNumeric();
    // In table order (the fields are read and written in sequence); the results kept by the input's value index
    // serve every later record with that value, wherever it stands.
    CResultsByIndex results(attribute, classified.GetNrOfValues());
    // The value index of each class's name once it is stored ([size]: no class), so that a new input value
    // falling into a known class is not looked up again.
    CFieldArray& fields = attribute.GetFieldArray();
    std::vector<long> classIndex(m_classes.size() + 1, -1);
    auto storeClass = [&](CRecord* record, long index, size_t k, KStringView text)
    {
        if (classIndex[k] >= 0)
        {
            fields.SetAt(record, classIndex[k]);
            results.Keep(index, classIndex[k]);
            return;
        }
        results.Store(record, index, text, false, 0);
        classIndex[k] = fields.GetAt(record->m_nRecordNumber);
    };
    return VisitRecords(table, nullptr, EstimatedSteps(1),
                 [&](CRecord* record)
                 {
                     const long index = IndexOf(classified, record);
                     if (results.StoreKnown(record, index))
                         return;
                     const KStringView text = index >= 0 ? KStringView(classified.GetValue(index)) : KStringView();
                     double number = index >= 0 && classified.IsNumeric() ? classified.GetNumericValue(index)
                                                                          : std::numeric_limits<double>::quiet_NaN();
                     if (zero && std::isnan(number))
                         number = 0;
                     for (size_t k = 0; k < m_classes.size(); ++k)
                     {
                         const CValueRange& range = m_classes[k];
                         if (!range.Contains(text, number))
                             continue;
                         if (range.IsKeepValue())
                             results.Store(record, index, text, false, 0);
                         else
                             storeClass(record, index, k, range.GetName());
                         return;
                     }
                     storeClass(record, index, m_classes.size(), KStringView());
                 });
}

KString CClassificationDefinition::GetDescription() const
{
    KString text = u"[" + (m_pClassified ? m_pClassified->GetName() : KString()) + u"]:";
    for (const CValueRange& range : m_classes)
        text += u" " + range.GetDescription();
    return text;
}

// ---- case discriminations ----

int32_t CCaseDefinition::GetKind() const
{
    return ATTR_CASE;
}

void CCaseDefinition::GetReferencedAttributes(std::vector<CAttribute*>& out) const
{
    for (const auto& entry : m_cases)
        entry->ReferredToAttributes(out);
}

std::unique_ptr<CAttributeDefinition> CCaseDefinition::Clone() const
{
    std::vector<std::unique_ptr<CCase>> cases;
    for (const auto& entry : m_cases)
        cases.push_back(entry->Clone());
    return std::make_unique<CCaseDefinition>(std::move(cases));
}

void CCaseDefinition::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    for (auto& entry : m_cases)
        entry->ReplaceAttributePointers(map);
}

void CCaseDefinition::PrepareRecompute(CTable&, CAttribute& attribute)
{
    std::vector<CAttribute*> inputs;
    GetReferencedAttributes(inputs);
    for (CAttribute* input : inputs)
        PrepareInput(input);
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bTextResult = true;
    state.m_bSyntaxError = false;
    state.m_bTypeError = false;
    for (auto& entry : m_cases)
    {
        if (!entry->PrepareCondition())
        {
            state.m_bSyntaxError = state.m_bSyntaxError || entry->HasSyntaxError();
            state.m_bTypeError = state.m_bTypeError || !entry->HasSyntaxError();
        }
    }
    m_bUsable = !m_cases.empty() && !state.m_bSyntaxError && !state.m_bTypeError;
}

bool CCaseDefinition::Recompute(CTable& table, CAttribute& attribute)
{
    if (!m_bUsable)
    {
        StoreUndefined(table, attribute);
        return true;
    }
    CCurrentTableScope scope(&table);
    // The inputs of each case's condition, read per record; a record whose inputs equal the previous record's
    // up to the case that decided that record is decided the same way.
    const size_t n = m_cases.size();
    std::vector<std::vector<long>> previous(n), current(n);
    for (size_t k = 0; k < n; ++k)
    {
        previous[k].assign(m_cases[k]->GetConditionAttributes().size(), -2);
        current[k].assign(m_cases[k]->GetConditionAttributes().size(), -2);
    }
    const bool reuse = std::none_of(m_cases.begin(), m_cases.end(),
                                    [](const auto& entry) { return entry->GetValueAttribute() != nullptr; });
    long previousDecider = -2; // the case that decided the previous record (-1: none), -2 before the first
    long previousResult = -1;  // the value index the previous record got
    std::vector<long> resultOfCase(n + 1, -1); // value index of each case's value text; [n]: no case
    CFieldArray& fields = attribute.GetFieldArray();
    CAttribute* first = nullptr;
    for (const auto& entry : m_cases)
    {
        if (!entry->GetConditionAttributes().empty())
        {
            first = entry->GetConditionAttributes().front();
            break;
        }
    }
    return VisitRecords(table, first, EstimatedSteps(1),
                 [&](CRecord* record)
                 {
                     bool same = reuse && previousDecider >= -1;
                     bool readable = true;
                     const size_t upTo = previousDecider < 0 ? n - 1 : static_cast<size_t>(previousDecider);
                     for (size_t k = 0; same && k <= upTo; ++k)
                     {
                         if (!m_cases[k]->ReadIndices(record, current[k].data()))
                         {
                             readable = false;
                             same = false;
                             break;
                         }
                         same = current[k] == previous[k];
                     }
                     if (same)
                     {
                         fields.SetAt(record, previousResult);
                         return;
                     }
                     long decider = -1;
                     for (size_t k = 0; k < n; ++k)
                     {
                         if (m_cases[k]->Evaluate(record))
                         {
                             decider = static_cast<long>(k);
                             break;
                         }
                     }
                     const size_t slot = decider < 0 ? n : static_cast<size_t>(decider);
                     CAttribute* valueAttribute = decider < 0 ? nullptr : m_cases[slot]->GetValueAttribute();
                     if (valueAttribute)
                     {
                         const long index = IndexOf(*valueAttribute, record);
                         attribute.AddValue(record, index >= 0 ? valueAttribute->GetValueText(index) : KString());
                     }
                     else if (resultOfCase[slot] >= 0)
                     {
                         fields.SetAt(record, resultOfCase[slot]);
                     }
                     else
                     {
                         attribute.AddValue(record,
                                            decider < 0 ? KStringView() : KStringView(m_cases[slot]->GetValueString()));
                         resultOfCase[slot] = fields.GetAt(record->m_nRecordNumber);
                     }
                     previousResult = fields.GetAt(record->m_nRecordNumber);
                     previousDecider = reuse && readable ? decider : -2;
                     if (previousDecider >= -1)
                     {
                         const size_t last = decider < 0 ? n - 1 : static_cast<size_t>(decider);
                         for (size_t k = 0; k <= last; ++k)
                         {
                             if (!m_cases[k]->ReadIndices(record, previous[k].data()))
                             {
                                 previousDecider = -2;
                                 break;
                             }
                         }
                     }
                 });
}

bool CCaseDefinition::DependsOnTime(int32_t timeDependency) const
{
    return std::any_of(m_cases.begin(), m_cases.end(),
                       [&](const auto& entry)
                       { return static_cast<int32_t>(entry->GetTimeDependency()) == timeDependency; });
}

KString CCaseDefinition::GetDescription() const
{
    KString text;
    for (const auto& entry : m_cases)
    {
        if (!text.empty())
            text += u"; ";
        // The last case that always holds reads as it was written: "else -> VALUE".
        if (&entry == &m_cases.back() && entry->GetConditionString() == u"1 = 1")
            text += u"else" + entry->GetListItemString().substr(entry->GetConditionString().size());
        else
            text += entry->GetListItemString();
    }
    return text;
}

// ---- links ----

int32_t CLinkDefinition::GetKind() const
{
    return ATTR_LINK;
}

void CLinkDefinition::GetReferencedAttributes(std::vector<CAttribute*>& out) const
{
    if (m_pTarget && std::find(out.begin(), out.end(), m_pTarget) == out.end())
        out.push_back(m_pTarget);
}

std::unique_ptr<CAttributeDefinition> CLinkDefinition::Clone() const
{
    return std::make_unique<CLinkDefinition>(m_pTarget, m_bDrillDown);
}

void CLinkDefinition::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    m_pTarget = Mapped(map, m_pTarget);
}

void CLinkDefinition::PrepareRecompute(CTable&, CAttribute& attribute)
{
    CDerivedState& state = attribute.GetDerivedState();
    state.m_bSyntaxError = !m_pTarget || m_pTarget->IsHeader();
    if (state.m_bSyntaxError)
        return;
    PrepareInput(m_pTarget, false);
    // The link shows the target's values in the target's format.
    attribute.SetFormatString(m_pTarget->GetFormatString());
    state.m_bTextResult = !m_pTarget->IsNumeric();
}

bool CLinkDefinition::Recompute(CTable& table, CAttribute& attribute)
{
    if (attribute.GetDerivedState().m_bSyntaxError)
    {
        StoreUndefined(table, attribute);
        return true;
    }
    CAttribute& target = *m_pTarget;
    const bool numeric = target.IsNumeric() && attribute.IsNumeric();
    CResultsByIndex results(attribute, target.GetNrOfValues());
    return VisitRecords(table, nullptr, EstimatedSteps(1),
                 [&](CRecord* record)
                 {
                     const long index = IndexOf(target, record);
                     if (results.StoreKnown(record, index))
                         return;
                     if (index < 0)
                     {
                         results.Store(record, index, KStringView(), false, 0);
                         return;
                     }
                     const double number = numeric ? target.GetNumericValue(index) : 0;
                     results.Store(record, index, KStringView(target.GetValue(index)), numeric && !std::isnan(number),
                                   number);
                 });
}

KString CLinkDefinition::GetDescription() const
{
    return u"[" + (m_pTarget ? m_pTarget->GetName() : KString()) + u"]";
}

} // namespace formula
