#pragma once
// What the evaluators of the built-in operators and functions share: argument checks, reading texts and
// truth values, the result conventions, and the formula context of the current thread (the table whose
// collation, parameters and folder the functions use). Internal to formula/.
//
// Threading: the helpers are pure or use per-thread state only.

#include "formula/Builtins.h"
#include "formula/Parseval.h"

#include "engine/FormatRegistry.h"

#include <cmath>
#include <optional>
#include <vector>

class CTable;

namespace formula
{

// ---- the context of the current thread ----
// The table the evaluators of this thread read collation, parameters and the file folder from (may be null).
const CTable* GetCurrentTable();
void SetCurrentTable(const CTable* table);

// Sets the current table for a scope and puts the previous one back.
class CCurrentTableScope
{
public:
    explicit CCurrentTableScope(const CTable* table) : m_pPrevious(GetCurrentTable()) { SetCurrentTable(table); }
    ~CCurrentTableScope() { SetCurrentTable(m_pPrevious); }
    CCurrentTableScope(const CCurrentTableScope&) = delete;
    CCurrentTableScope& operator=(const CCurrentTableScope&) = delete;

private:
    const CTable* m_pPrevious;
};

// -1, 0 or 1: two texts in the current table's string order (code-unit order without a table).
int CompareTexts(const KString& a, const KString& b);

// ---- argument helpers ----
using Args = CParsevalToken* const*;

inline bool IsNumberType(EValueType t)
{
    return t == VALUE_INTEGER || t == VALUE_DOUBLE;
}
inline bool IsDateType(EValueType t)
{
    return t == VALUE_DATE || t == VALUE_DATETIME;
}
inline bool IsTimeOfDayType(EValueType t)
{
    return t == VALUE_TIME || t == VALUE_DATETIME;
}

// An argument of a type the function does not accept: -1 when checking, else the undefined value of the
// function's default type.
inline int Reject(bool check, CParsevalToken& r, EValueType defaultType)
{
    if (check)
        return PARSEVAL_ILLEGAL_TYPE;
    r.SetType(defaultType, -1);
    r.SetUndefined();
    return PARSEVAL_OK;
}

// The argument check of a function of one argument: the types it takes, the type of its (undefined) result
// for an argument of another type, and the type and format of its result.
struct SOneArgument
{
    bool (*m_pAccepts)(EValueType argument);         // the argument types it takes
    EValueType m_eRejected;                          // result type for an argument of another type
    EValueType m_eResult;                            // result type; VALUE_UNKNOWN: the argument's own
    int (*m_pFormat)(const CParsevalToken& argument); // result format; null: the default (-1)
};

// The start every function of one argument shares, as shape says: the result text cleared, the count checked,
// an argument of another type rejected (Reject), the result's type and format set. Returns nothing when the
// function goes on to compute from a defined and valid argument, else the status to return at once (the result
// undefined for an undefined or invalid argument, PARSEVAL_OK when only checking).
inline std::optional<int> StartOneArgument(const SOneArgument& shape, Args a, int n, CParsevalToken& r, bool check)
{
    r.Text().clear();
    if (n != 1)
        return PARSEVAL_ARGUMENT_COUNT;
    const EValueType type = a[0]->GetValueType();
    if (!shape.m_pAccepts(type))
        return Reject(check, r, shape.m_eRejected);
    r.SetType(shape.m_eResult == VALUE_UNKNOWN ? type : shape.m_eResult,
              shape.m_pFormat ? shape.m_pFormat(*a[0]) : -1);
    if (check)
        return PARSEVAL_OK;
    if (!a[0]->IsDefinedAndValid())
        return r.SetUndefined(), PARSEVAL_OK;
    return std::nullopt;
}

// The text rendering of a value (Part of the language: undefined empty, texts as they are, numbers in their
// format). Returns a reference to the value's own text or to scratch.
const KString& TextOf(const CParsevalToken& t, const CFormatRegistry& formats, KString& scratch);

// Reads a truth value: 1 yes, 0 no, -1 undefined or no truth word of any language.
int ReadTruth(const CParsevalToken& t);
// Whether a text is a yes or no word of some language: 1 / 0 / -1.
int ReadTruthText(KStringView text);

// Rounds to 14 significant digits.
double RoundToMaxDoublePrecision(double x);
// Rounds to a number of significant digits (1 .. 17).
double RoundToPrecision(double x, int digits);

// The result is a text with the text format; undefined when empty or longer than the limit.
inline void SetTextResult(CParsevalToken& r, KStringView text)
{
    r.SetType(VALUE_TEXT, 0);
    if (text.size() > kMaxFormulaTextLength)
        r.SetUndefined();
    else
        r.SetDefinedText(text);
}

// The format an argument lends to a result of type t: its own when it has that type, else -1 (the default).
inline int FormatFor(const CParsevalToken& a, EValueType t)
{
    return a.GetValueType() == t ? a.GetFormatId() : -1;
}

// A number result: the value, or undefined when it is not valid for the result's type.
inline void SetNumberResult(CParsevalToken& r, double x)
{
    if (IsValidNumber(r.GetValueType() == VALUE_INTEGER ? VALUE_DOUBLE : r.GetValueType(), x))
        r.SetNumber(x);
    else
        r.SetUndefined();
}

// ---- the registry, group by group (one file each, appended in this order) ----
void AppendOperators(std::vector<SBuiltin>& out);
void AppendTextFunctions(std::vector<SBuiltin>& out);
void AppendMathFunctions(std::vector<SBuiltin>& out);
void AppendStatisticalFunctions(std::vector<SBuiltin>& out);
void AppendLogicalFunctions(std::vector<SBuiltin>& out);
void AppendDateFunctions(std::vector<SBuiltin>& out);
void AppendGeographicFunctions(std::vector<SBuiltin>& out);
void AppendListFunctions(std::vector<SBuiltin>& out);

// A function entry of the registry.
inline SBuiltin Function(const char16_t* name, FParsevalEvaluator evaluator, int descriptionId, const char* help,
                         int groupId, const char16_t* example, const char16_t* expected,
                         TimeDependency dependency = TIME_INDEPENDENT, bool alias = false)
{
    SBuiltin b;
    b.bOperator = false;
    b.pName = name;
    b.pEvaluator = evaluator;
    b.nDescriptionId = descriptionId;
    b.pHelpPage = help;
    b.nGroupId = groupId;
    b.eDependency = dependency;
    b.bAlias = alias;
    b.pExample = example;
    b.pExpected = expected;
    return b;
}

} // namespace formula
