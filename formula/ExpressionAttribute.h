#pragma once
// Formulas over the records of a table: CAttributeInputs reads the values of one record of the attributes a
// formula names into the engine's input tokens; ComputeExpressionAttribute computes the values of an
// expression attribute for every record (the path the recompute of derived attributes takes);
// EvaluateFormulaOverRecords evaluates a formula for a list of records.
//
// The only place in formula/ that reads attributes and records of a table.
//
// Threading: the table's thread (values are read through the attributes' value arrays).
// ComputeExpressionAttribute evaluates on several threads of its own (each with its own engine and inputs)
// when the table's UseMulticores option allows and there are enough records.

#include "formula/Parseval.h"

#include <functional>
#include <memory>
#include <vector>

class CAttribute;
struct CRecord;
class CTable;
class CValueArray;

namespace formula
{

// The values of one record, read into one input token per name of a formula.
class CAttributeInputs
{
public:
    CAttributeInputs() = default;
    CAttributeInputs(const CAttributeInputs&) = delete;
    CAttributeInputs& operator=(const CAttributeInputs&) = delete;

    // Binds each name to the table's attribute of that name (headers excluded). Returns the index of the
    // first name without an attribute, or -1 when all were found. The tokens then carry type and format.
    int Bind(CTable& table, const std::vector<KString>& names);
    // Binds one input to each attribute (the names' attributes, found by the caller). Returns the index of the
    // first that is null or a header, or -1.
    int Bind(const std::vector<CAttribute*>& attributes);
    // The bound attributes, one per input.
    std::vector<CAttribute*> GetAttributes() const;
    // With the flag, undefined numeric inputs enter as the defined number 0.
    void SetRegardUndefinedAsZero(bool on) { m_bUndefinedAsZero = on; }
    // Reads the record's values into the tokens (numbers without copying their text).
    void Load(const CRecord* record);
    // Load in two halves that only read the table (several threads may use inputs of their own bound to the
    // same attributes): the record's value index of each input (-1 when undefined) into indices, false when
    // a record has no field yet (Load repairs that); then the tokens from such indices.
    [[nodiscard]] bool ReadIndices(const CRecord* record, long* indices) const;
    void LoadIndices(const long* indices);
    // Asks the processor to fetch what LoadIndices will read for these indices: the value entries, and the
    // texts that are read (texts is then true; their entries should have arrived).
    void Prefetch(const long* indices, bool texts) const;
    CParsevalToken* GetTokens() { return m_tokens.empty() ? nullptr : m_tokens.data(); }
    int GetCount() const { return static_cast<int>(m_tokens.size()); }

private:
    struct SInput
    {
        CAttribute* pAttribute; // borrowed from the table
        CValueArray* pValues;   // the attribute's distinct values; null when it has none
        bool bNumeric;          // the attribute's format is numeric
        bool bTextRead;         // its value texts are read (text attributes, attributes with lists)
    };
    // Fills token i from value index (-1: undefined).
    void LoadInput(size_t i, long index);

    std::vector<SInput> m_inputs;         // one per name
    std::vector<CParsevalToken> m_tokens; // one per name; type and format set by Bind
    bool m_bUndefinedAsZero = false;      // RegardUndefinedAsZero
};

// The outcome of compiling a formula against a table.
struct SFormulaStatus
{
    int nStatus = PARSEVAL_OK; // EParsevalStatus
    int nPosition = 0;         // character index of the failure
    KString strMessage;        // the message the user sees, with the missing attribute's name when one is missing
    bool IsOk() const { return nStatus == PARSEVAL_OK; }
};

// Parses and type-checks formula against the table (engine already has its vocabulary). On success the engine
// holds the compiled formula and inputs are bound; result holds the formula's type and format.
SFormulaStatus CompileFormula(CTable& table, CParseval& engine, KStringView formula, bool commaSeparated,
                              CAttributeInputs& inputs, CParsevalToken& result);

// Evaluates the compiled formula for each record and hands the value to sink (a failed evaluation gives the
// undefined value of the formula's type).
void EvaluateFormulaOverRecords(CTable& table, CParseval& engine, CAttributeInputs& inputs,
                                const std::vector<CRecord*>& records, const CParsevalToken& compiled,
                                const std::function<void(const CRecord*, const CParsevalToken&)>& sink);

// Computes an expression attribute: compiles formula (commas between arguments) with the table's vocabulary,
// sets the attribute's format to the result's, and stores the value of every record. The attribute's flag
// RegardUndefinedAsZero is honoured. On failure the attribute's values are left as they were.
SFormulaStatus ComputeExpressionAttribute(CTable& table, CAttribute& attribute, KStringView formula);

// One computation of an expression attribute in two steps, for the recompute of derived attributes: Compile on
// the table's thread (binds the inputs, type-checks, sets the attribute's format), then Run, which writes only
// the attribute, so that jobs of different attributes may run at once.
class CExpressionJob
{
public:
    CExpressionJob(CTable& table, CAttribute& attribute);
    ~CExpressionJob();
    CExpressionJob(const CExpressionJob&) = delete;
    CExpressionJob& operator=(const CExpressionJob&) = delete;

    // Compiles parsed (a parsed form, names in order) with one input per attribute of inputs (in the order of
    // the names). On failure Run gives every record the undefined value.
    SFormulaStatus Compile(const CInternalRepresentation& parsed, const std::vector<CAttribute*>& inputs);
    // The compiled result's type and format (valid after a successful Compile).
    const CParsevalToken& GetResult() const { return m_compiled; }
    // Evaluates every record and stores its value; the attribute must hold no values. Advances the table's
    // progress by stepsPerRecord per record; returns false, with nothing stored, when it was cancelled.
    [[nodiscard]] bool Run(double stepsPerRecord = 0);

private:
    CTable& m_table;
    CAttribute& m_attribute;
    std::unique_ptr<CParseval> m_pEngine; // with the built-ins and the compiled formula
    CAttributeInputs m_inputs;            // bound to the attributes of the names
    CParsevalToken m_compiled;            // the result's type and format
    bool m_bCompiled = false;             // Compile succeeded
    bool m_bNumeric = false;              // results carry numbers
};

} // namespace formula
