#pragma once
// The built-in operators and functions of the formula language: one registry (GetBuiltins) that holds, for
// every operator and function, its evaluator, registration data, and an example formula with the text its
// result shows (as FormatResultText writes it, in a table of the default language). DefineBuiltinFunctions
// registers the whole registry into an engine, group by group.
//
// Threading: the registry is built once and then only read; any thread may register it into its own engine.

#include "formula/Parseval.h"

#include <vector>

namespace formula
{

// Group name resources.
constexpr int kGroupOperators = 3597;
constexpr int kGroupText = 3590;
constexpr int kGroupMath = 3591;
constexpr int kGroupStatistics = 3592;
constexpr int kGroupLogic = 3593;
constexpr int kGroupDate = 3594;
constexpr int kGroupGeographic = 3595;
constexpr int kGroupList = 3596;

// One registration.
struct SBuiltin
{
    bool bOperator = false;                            // an operator (else a function)
    const char16_t* pName = u"";                       // the name as the user writes it
    FParsevalEvaluator pEvaluator = nullptr;           // never null
    int nDescriptionId = 0;                            // functions: resource of the calling pattern
    const char* pHelpPage = "";                        // page name under "hlp\kv\all\"
    int nGroupId = 0;                                  // resource of the group name
    TimeDependency eDependency = TIME_INDEPENDENT;     // what the result depends on
    bool bAlias = false;                               // LEN and REPT
    int16_t nPrecedence = 0;                           // operators: smaller binds tighter
    int16_t nOperands = 2;                             // operators: 1 or 2
    EOperatorPosition ePosition = OPERATOR_INFIX;      // operators
    const char16_t* pExample = u"";                    // a formula that uses it
    const char16_t* pExpected = u"";                   // the text of its result ("(undefined)" when undefined)
};

// Every operator and function in registration order: the 17 operators, then the functions group by group.
const std::vector<SBuiltin>& GetBuiltins();

// Clears the engine's definitions and registers every built-in.
void DefineBuiltinFunctions(CParseval& engine);

// The help reference of a page: "hlp\kv\all\" and the page.
KString HelpReference(const char* page);

// The text of a result as korvalin eval prints it: "(undefined)" for an undefined value, texts as they are,
// integers and floating numbers with the fewest digits that read back to the same double (decimal point
// '.'), dates and times in their format.
KString FormatResultText(const CParsevalToken& value, const CFormatRegistry& formats);
// The shortest decimal text of a double that reads back to it ("0.1", "1e+300", "-0" as "0").
KString ShortestNumberText(double x);

} // namespace formula
