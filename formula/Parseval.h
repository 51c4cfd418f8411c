#pragma once
// CParseval: the formula engine. It reads a formula text (Parse: lexer and second pass), compiles the infix
// tokens into a sequence of operator and function applications while checking their types (TypeCheck),
// evaluates that sequence for one set of input values at a time (Evaluate), and writes a parsed formula back
// as text (GetExpressionText). It knows no operator or function by name: DefineBuiltinFunctions
// (Builtins.h) registers the vocabulary.
//
// Calling order: DefineBuiltinFunctions -> Parse -> bind each name of GetNames() to an input -> TypeCheck with
// one input token per name (type and format only) -> Evaluate per record with the same number of inputs.
//
// Example: Parse(u"[a] * 2 + 1", true) gives the name list ["a"]; TypeCheck with an integer input gives an
// integer result; Evaluate with a = 20 gives 41, written "41" by the default integer format.
//
// Threading: one thread at a time (evaluation writes the result slots and the argument array). Parallel
// workers make engines of their own and copy the parsed form into them (SetRepresentation).

#include "formula/ParsevalToken.h"
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <vector>

class CFormatRegistry;

// Statuses of Parse, TypeCheck and Evaluate (and of evaluators). 0 is success.
enum EParsevalStatus : int32_t
{
    PARSEVAL_OK = 0,
    PARSEVAL_UNBALANCED_QUOTES = 1,
    PARSEVAL_UNBALANCED_BRACKETS = 2,
    PARSEVAL_UNBALANCED_SINGLE_QUOTES = 3,
    PARSEVAL_UNKNOWN_DATE_FORMAT = 4,
    PARSEVAL_UNKNOWN_FUNCTION = 5,
    PARSEVAL_UNKNOWN_OPERATOR = 6,
    PARSEVAL_SYNTAX_ERROR = 7,
    PARSEVAL_OPERAND_COUNT = 8,
    PARSEVAL_OUT_OF_MEMORY = 9,
    PARSEVAL_BAD_NUMBER = 10,
    PARSEVAL_SEMICOLON = 11,
    PARSEVAL_UNKNOWN_NUMBER_FORMAT = 12,
    PARSEVAL_ARGUMENT_COUNT = 13,
    PARSEVAL_ILLEGAL_TYPE = -1,
};

// What a result depends on besides its inputs (stored with every operator, function and formula).
enum TimeDependency : int32_t
{
    TIME_INDEPENDENT = 0, // only the inputs
    TIME_MACHINE = 1,     // the machine or parameters set by the host
    TIME_CLOCK = 2,       // the clock or the file system
};

// Positions of operators.
enum EOperatorPosition : int16_t
{
    OPERATOR_PREFIX = 1,
    OPERATOR_INFIX = 2,
    OPERATOR_POSTFIX = 3,
};

// An evaluator: args in source order (count of them), the result token, check-only mode, the format registry.
// Returns 0, 13 (wrong number of arguments), -1 (illegal argument type, check-only mode only) or a status of
// its own. In check-only mode the arguments carry types only and the evaluator sets the result's type and
// format; at evaluation it computes the value.
using FParsevalEvaluator = int (*)(CParsevalToken* const* args, int count, CParsevalToken& result, bool checkOnly,
                                   const CFormatRegistry& formats);

// A registered operator. Slot 0 of the engine's operator list is an empty operator that is never matched.
struct COperator
{
    TimeDependency eTimeDependency = TIME_INDEPENDENT;
    FParsevalEvaluator pEvaluator = nullptr; // null only in slot 0
    int16_t nPosition = OPERATOR_INFIX;      // EOperatorPosition
    int16_t nOperands = 2;                   // 1 or 2 for a usable operator
    int16_t nPrecedence = 0;                 // smaller binds tighter
    KString strName;                         // symbol or word, at most 29 characters
    KString strHelp;                         // help reference
    KString strGroup;                        // group name
};

// A registered function.
struct CFunction
{
    TimeDependency eTimeDependency = TIME_INDEPENDENT;
    KString strDescription; // calling pattern shown to the user
    KString strName;        // as registered; found ignoring case
    FParsevalEvaluator pEvaluator = nullptr;
    KString strHelp;     // help reference
    KString strGroup;    // group name
    bool bAlias = false; // a short spelling sharing the evaluator of another function
};

// Operand kinds of a compiled call.
enum EOperandKind : int32_t
{
    OPERAND_CONSTANT = 1,  // index into the infix token list
    OPERAND_ATTRIBUTE = 2, // index into the caller's input values
    OPERAND_RESULT = 3,    // index of an earlier call's result slot
};

// One compiled application: the evaluator (null for the final copy step) and its operands.
struct CParsevalCall
{
    FParsevalEvaluator pEvaluator = nullptr;
    std::vector<int32_t> kinds;   // EOperandKind of each operand
    std::vector<int32_t> indices; // index of each operand, see EOperandKind
    int32_t nResultSlot = 0;      // the call's result slot (its number)
    int32_t nResultType = 1;      // the result's value type found by the check
    int32_t nResultFormat = -1;   // the result's format id found by the check
    int GetOperandCount() const { return static_cast<int>(kinds.size()); }
};

// The parsed form of one formula; copied with the attribute or case that owns it.
struct CInternalRepresentation
{
    TimeDependency eTimeDependency = TIME_INDEPENDENT; // highest of the functions and operators used
    std::vector<KString> names;                        // distinct attribute names, in order of first appearance
    std::vector<CParsevalToken> infix;                 // after the second pass, ending with an end token
    std::vector<CParsevalCall> calls;                  // compiled by TypeCheck
    int GetNameCount() const { return static_cast<int>(names.size()); }
    int GetCallCount() const { return static_cast<int>(calls.size()); }
};

// The operator stack used while compiling: a growable array of tokens.
class CParsevalTokenStack
{
public:
    void Push(const CParsevalToken* token) { m_tokens.push_back(token); }
    void Pop() { m_tokens.pop_back(); }
    const CParsevalToken* Top() const { return m_tokens.empty() ? nullptr : m_tokens.back(); }
    bool IsEmpty() const { return m_tokens.empty(); }
    void Clear() { m_tokens.clear(); }

private:
    std::vector<const CParsevalToken*> m_tokens; // borrowed from the infix list
};

// The operand stack used while compiling.
class CParsevalAttributesStack
{
public:
    struct SEntry
    {
        CParsevalToken* pToken; // the operand's token (infix token, input or result slot); borrowed
        int32_t nKind;          // EOperandKind
        int32_t nIndex;         // see EOperandKind
    };
    void Push(const SEntry& entry) { m_entries.push_back(entry); }
    SEntry Pop()
    {
        SEntry e = m_entries.back();
        m_entries.pop_back();
        return e;
    }
    size_t GetSize() const { return m_entries.size(); }
    void Clear() { m_entries.clear(); }

private:
    std::vector<SEntry> m_entries;
};

class CParseval
{
public:
    // Room for this many applications in one formula (operators, calls and the final copy step).
    static constexpr int kResultSlots = 33000;

    // formats: borrowed, the table's registry; must outlive the engine.
    explicit CParseval(const CFormatRegistry& formats);
    ~CParseval();
    CParseval(const CParseval&) = delete;
    CParseval& operator=(const CParseval&) = delete;

    // ---- vocabulary ----
    // Deletes every operator and function; slot 0 holds the empty operator again.
    void ClearDefinitions();
    void AddOperator(KStringView name, int precedence, int operands, EOperatorPosition position,
                     FParsevalEvaluator evaluator, KStringView help, KStringView group,
                     TimeDependency dependency = TIME_INDEPENDENT);
    void AddFunction(KStringView name, FParsevalEvaluator evaluator, KStringView description, KStringView help,
                     KStringView group, TimeDependency dependency = TIME_INDEPENDENT, bool alias = false);
    const std::vector<COperator>& GetOperators() const { return m_operators; }
    const std::vector<CFunction>& GetFunctions() const { return m_functions; }
    // Number of groups registered (a registration whose group differs from the previous one starts one).
    int GetGroupCount() const { return m_nGroups; }

    // ---- parsing ----
    // Reads a formula: commaSeparated chooses commas (true) or semicolons between arguments. Returns a status;
    // on failure GetErrorPosition tells the character index.
    [[nodiscard]] int Parse(KStringView formula, bool commaSeparated);
    int GetErrorPosition() const { return m_nErrorPosition; }
    const std::vector<KString>& GetNames() const { return m_representation.names; }
    int GetNameCount() const { return m_representation.GetNameCount(); }
    TimeDependency GetTimeDependency() const { return m_representation.eTimeDependency; }

    // ---- compiling and evaluating ----
    // Compiles the infix list and checks every call's types. inputs: one per name, carrying type and format.
    // result receives the formula's type and format. Returns a status.
    [[nodiscard]] int TypeCheck(CParsevalToken* inputs, int count, CParsevalToken& result);
    // Runs the compiled calls for one set of input values and copies the final value into result. Returns a
    // status (the caller then stores the undefined value).
    [[nodiscard]] int Evaluate(CParsevalToken* inputs, int count, CParsevalToken& result);

    // ---- the parsed form ----
    const CInternalRepresentation& GetRepresentation() const { return m_representation; }
    CInternalRepresentation& GetRepresentation() { return m_representation; }
    // Takes over a parsed (and possibly compiled) form; TypeCheck must run again before Evaluate.
    void SetRepresentation(const CInternalRepresentation& representation);
    // Writes a parsed form back as text: names in brackets when asked, commas or semicolons between arguments.
    KString GetExpressionText(const CInternalRepresentation& representation, bool brackets, bool commas) const;
    KString GetExpressionText(bool brackets = true, bool commas = true) const
    {
        return GetExpressionText(m_representation, brackets, commas);
    }

    const CFormatRegistry& GetFormats() const { return m_formats; }

    // The text of a status as the user sees it (typeErrorAsParameter: -1 and other codes read "Unzulässiger
    // Parametertyp", else "Fehlerhafte Formel"). In the current resource language.
    static KString GetStatusMessage(int status, bool typeErrorAsParameter = true);
    // Whether a character of a string constant is written as an escape, and its escape.
    static bool MustBeEscaped(char16_t c);
    static void EscapeCharacter(char16_t c, KString& out);

private:
    int Lex(KStringView formula, bool commaSeparated, std::vector<CParsevalToken>& tokens);
    int SecondPass(const std::vector<CParsevalToken>& tokens);
    int Emit(FParsevalEvaluator evaluator, int operands, bool finalCopy);
    void Finish(CParsevalToken& slot) const;
    // Raises the result to the rounding of its type after a call.
    static void RoundResult(CParsevalToken& result);

    const CFormatRegistry& m_formats;                 // borrowed
    int m_nErrorPosition = 0;                         // character index of the last parse failure
    CInternalRepresentation m_representation;         // the current formula
    std::vector<COperator> m_operators;               // [0] empty
    std::vector<CFunction> m_functions;               // registration order
    int m_nGroups = 0;                                // groups registered
    KString m_strLastGroup;                           // group of the last registration
    CParsevalTokenStack m_operatorStack;              // while compiling
    CParsevalAttributesStack m_operandStack;          // while compiling
    std::vector<int32_t> m_argumentCounters;          // one per function name on the operator stack
    std::vector<CParsevalToken*> m_arguments;         // argument array handed to evaluators
    std::unique_ptr<CParsevalToken[]> m_pSlots;       // kResultSlots result slots, allocated once
    CParsevalToken* m_pCheckInputs = nullptr;         // inputs given to TypeCheck (for the compile)
    int m_nCheckInputs = 0;                           // their count
    // Argument pointers of every call, resolved for m_pBoundInputs (rebuilt when Evaluate gets other inputs).
    std::vector<std::vector<CParsevalToken*>> m_callArguments;
    CParsevalToken* m_pBoundInputs = nullptr;
    bool m_bCompiled = false; // TypeCheck succeeded for the current representation
};
