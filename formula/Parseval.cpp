// The formula engine: lexer, second pass, compilation, evaluation and writing back.

#include "formula/Parseval.h"

#include "engine/FormatRegistry.h"
#include "engine/TextFold.h"
#include "platform/HexDigit.h"
#include "platform/Resources.h"

#include <charconv>
#include <cmath>
#include <string>

namespace
{

bool IsConstantToken(int type)
{
    return type == TOKEN_STRING || type == TOKEN_FLOAT || type == TOKEN_INTEGER || type == TOKEN_DATE ||
           type == TOKEN_TIME || type == TOKEN_DATETIME || type == TOKEN_TIMESPAN;
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool IsIdentifierStart(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsIdentifierPart(char16_t c)
{
    return IsIdentifierStart(c) || IsDigit(c);
}

// Resource ids of the status messages (1 .. 13, then the type error).
constexpr int kStatusMessageIds[] = {3600, 3601, 3602, 3603, 3604, 3605, 3606, 3607, 3608, 3609, 3610, 3611, 3612};
constexpr int kIllegalTypeMessageId = 3613;

} // namespace

CParseval::CParseval(const CFormatRegistry& formats)
    : m_formats(formats), m_pSlots(std::make_unique<CParsevalToken[]>(kResultSlots))
{
    ClearDefinitions();
}

CParseval::~CParseval() = default;

void CParseval::ClearDefinitions()
{
    m_operators.clear();
    m_functions.clear();
    m_operators.emplace_back(); // slot 0: never matched
    m_nGroups = 0;
    m_strLastGroup.clear();
}

void CParseval::AddOperator(KStringView name, int precedence, int operands, EOperatorPosition position,
                            FParsevalEvaluator evaluator, KStringView help, KStringView group,
                            TimeDependency dependency)
{
    COperator op;
    op.eTimeDependency = dependency;
    op.pEvaluator = evaluator;
    op.nPosition = position;
    op.nOperands = static_cast<int16_t>(operands);
    op.nPrecedence = static_cast<int16_t>(precedence);
    op.strName = KString(name.substr(0, 29));
    op.strHelp = help;
    op.strGroup = group;
    if (m_nGroups == 0 || op.strGroup != m_strLastGroup)
        ++m_nGroups, m_strLastGroup = op.strGroup;
    m_operators.push_back(std::move(op));
}

void CParseval::AddFunction(KStringView name, FParsevalEvaluator evaluator, KStringView description,
                            KStringView help, KStringView group, TimeDependency dependency, bool alias)
{
    CFunction fn;
    fn.eTimeDependency = dependency;
    fn.strDescription = description;
    fn.strName = name;
    fn.pEvaluator = evaluator;
    fn.strHelp = help;
    fn.strGroup = group;
    fn.bAlias = alias;
    if (m_nGroups == 0 || fn.strGroup != m_strLastGroup)
        ++m_nGroups, m_strLastGroup = fn.strGroup;
    m_functions.push_back(std::move(fn));
}

// ---- lexer ----

int CParseval::Lex(KStringView text, bool commaSeparated, std::vector<CParsevalToken>& tokens)
{
    const size_t n = text.size();
    size_t i = 0;
    auto add = [&](int type, size_t position) -> CParsevalToken&
    {
        tokens.emplace_back();
        CParsevalToken& t = tokens.back();
        t.SetTokenType(type);
        t.SetPosition(static_cast<int>(position));
        t.SetType(ValueTypeOfTokenType(type), type == TOKEN_STRING ? 0 : -1);
        return t;
    };
    auto fail = [&](int status, size_t position)
    {
        m_nErrorPosition = static_cast<int>(position);
        return status;
    };
    while (i < n)
    {
        const char16_t c = text[i];
        if (c == 8 || c == u'\t' || c == u'\n' || c == u'\r' || c == u' ')
        {
            ++i;
            continue;
        }
        if (c == u'"')
        {
            KString value;
            size_t j = i + 1;
            for (;;)
            {
                if (j >= n)
                    return fail(PARSEVAL_UNBALANCED_QUOTES, n - 1);
                const char16_t d = text[j];
                if (d == u'"')
                    break;
                if (d != u'\\')
                {
                    if (d != 0) // no text holds a NUL unit: it is dropped
                        value += d;
                    ++j;
                    continue;
                }
                if (j + 1 >= n)
                    return fail(PARSEVAL_UNBALANCED_QUOTES, n - 1);
                const char16_t e = text[j + 1];
                switch (e)
                {
                case u'"':
                    value += u'"';
                    j += 2;
                    continue;
                case u'\\':
                    value += u'\\';
                    j += 2;
                    continue;
                case u'n':
                    value += u'\n';
                    j += 2;
                    continue;
                case u'r':
                    value += u'\r';
                    j += 2;
                    continue;
                case u't':
                    value += u'\t';
                    j += 2;
                    continue;
                case u'u':
                    if (j + 5 < n)
                    {
                        int code = 0;
                        bool ok = true;
                        for (size_t k = j + 2; k < j + 6; ++k)
                        {
                            const int h = platform::HexDigitValue(text[k]);
                            if (h < 0)
                                ok = false;
                            code = code * 16 + (h < 0 ? 0 : h);
                        }
                        if (ok && code >= 1)
                        {
                            value += static_cast<char16_t>(code);
                            j += 6;
                            continue;
                        }
                    }
                    [[fallthrough]];
                default:
                    value += d;
                    if (e != 0)
                        value += e;
                    j += 2;
                    continue;
                }
            }
            CParsevalToken& t = add(TOKEN_STRING, i);
            t.SetText(value);
            if (value.size() > kMaxFormulaTextLength)
                t.MarkUndefined(); // no valid text: it enters every operation as undefined
            i = j + 1;
            continue;
        }
        if (c == u'\'')
        {
            const size_t close = text.find(u'\'', i + 1);
            if (close == KStringView::npos)
                return fail(PARSEVAL_UNBALANCED_SINGLE_QUOTES, n - 1);
            const KStringView inner = text.substr(i + 1, close - i - 1);
            int found = -1;
            double value = 0;
            for (int id = 1; id < m_formats.GetFormatCount() && found < 0 && !inner.empty(); ++id)
            {
                const EValueType type = m_formats.GetType(id);
                if (type != VALUE_DATE && type != VALUE_TIME && type != VALUE_DATETIME && type != VALUE_TIMESPAN)
                    continue;
                size_t used = 0;
                double v = 0;
                if (m_formats.Read(id, inner, v, used) && used == inner.size() && std::isfinite(v))
                    found = id, value = v;
            }
            if (found < 0)
                return fail(PARSEVAL_UNKNOWN_DATE_FORMAT, i);
            const EValueType type = m_formats.GetType(found);
            CParsevalToken& t = add(TokenTypeOfValueType(type), i);
            t.SetType(type, found);
            t.SetText(inner);
            t.SetNumber(value);
            t.SetFormatName(m_formats.GetFormat(found));
            i = close + 1;
            continue;
        }
        if (c == u'(' || c == u')')
        {
            add(c == u'(' ? TOKEN_OPEN : TOKEN_CLOSE, i);
            ++i;
            continue;
        }
        if ((c == u',' && commaSeparated) || (c == u';' && !commaSeparated))
        {
            add(TOKEN_SEPARATOR, i);
            ++i;
            continue;
        }
        if (c == u';')
            return fail(PARSEVAL_SEMICOLON, i);
        if (c == u'[')
        {
            int depth = 1;
            size_t j = i + 1;
            for (; j < n; ++j)
            {
                if (text[j] == u'[')
                    ++depth;
                else if (text[j] == u']' && --depth == 0)
                    break;
            }
            if (j >= n)
                return fail(PARSEVAL_UNBALANCED_BRACKETS, i);
            const KStringView name = text.substr(i + 1, j - i - 1);
            auto& names = m_representation.names;
            size_t index = 0;
            while (index < names.size() && names[index] != name)
                ++index;
            if (index == names.size())
                names.emplace_back(name);
            CParsevalToken& t = add(TOKEN_ATTRIBUTE, i);
            t.SetText(name);
            t.SetNumber(static_cast<double>(index));
            i = j + 1;
            continue;
        }
        if (c == u'.' || IsDigit(c) || c == u',')
        {
            if (commaSeparated)
            {
                size_t j = i;
                bool point = false, digit = false, fraction = false;
                for (; j < n && (IsDigit(text[j]) || text[j] == u'.'); ++j)
                {
                    if (text[j] == u'.')
                    {
                        if (point)
                            return fail(PARSEVAL_BAD_NUMBER, j);
                        point = true;
                    }
                    else
                    {
                        digit = true;
                        if (point && text[j] != u'0')
                            fraction = true;
                    }
                }
                if (!digit)
                    return fail(PARSEVAL_BAD_NUMBER, i);
                std::string run = "0";
                for (size_t k = i; k < j; ++k)
                    run += static_cast<char>(text[k]);
                if (point)
                    run += '0';
                double value = 0;
                const auto read = std::from_chars(run.data(), run.data() + run.size(), value);
                if (read.ec == std::errc::result_out_of_range)
                {
                    // too large for a double (an invalid value, hence undefined) or too small (zero)
                    const size_t point = run.find('.');
                    const bool large = run.substr(0, point).find_first_not_of('0') != std::string::npos;
                    value = large ? HUGE_VAL : 0.0;
                }
                const int type = fraction ? TOKEN_FLOAT : TOKEN_INTEGER;
                CParsevalToken& t = add(type, i);
                const int format = m_formats.GetDefaultFormatID(ValueTypeOfTokenType(type));
                t.SetType(ValueTypeOfTokenType(type), format);
                t.SetText(text.substr(i, j - i));
                t.SetNumber(value);
                if (!IsValidNumber(ValueTypeOfTokenType(type), value))
                    t.MarkUndefined(); // too large for a double: written back as it stands, undefined as a value
                if (format > 0)
                    t.SetFormatName(m_formats.GetFormat(format));
                i = j;
                continue;
            }
            size_t j = i;
            while (j < n && (IsDigit(text[j]) || text[j] == u'.' || text[j] == u','))
                ++j;
            const KStringView run = text.substr(i, j - i);
            // Integer formats are asked first, so that "2" is an integer whatever order the formats have.
            int found = -1;
            double value = 0;
            for (int pass = 0; pass < 2 * m_formats.GetFormatCount() && found < 0; ++pass)
            {
                const int id = pass % m_formats.GetFormatCount();
                const EValueType type = m_formats.GetType(id);
                if (id == 0 || type != (pass < m_formats.GetFormatCount() ? VALUE_INTEGER : VALUE_DOUBLE))
                    continue;
                size_t used = 0;
                double v = 0;
                if (m_formats.Read(id, run, v, used) && used == run.size() && std::isfinite(v))
                    found = id, value = v;
            }
            if (found < 0)
                return fail(PARSEVAL_UNKNOWN_NUMBER_FORMAT, i);
            const EValueType type = m_formats.GetType(found);
            CParsevalToken& t = add(type == VALUE_INTEGER ? TOKEN_INTEGER : TOKEN_FLOAT, i);
            t.SetType(type, found);
            t.SetText(run);
            t.SetNumber(value);
            t.SetFormatName(m_formats.GetFormat(found));
            i = j;
            continue;
        }
        if (IsIdentifierStart(c))
        {
            size_t j = i + 1;
            while (j < n && IsIdentifierPart(text[j]))
                ++j;
            const KStringView word = text.substr(i, j - i);
            int found = -1;
            int type = TOKEN_OPERATOR;
            for (size_t k = 1; k < m_operators.size() && found < 0; ++k)
            {
                if (text::EqualsIgnoreCase(m_operators[k].strName, word))
                    found = static_cast<int>(k);
            }
            for (size_t k = 0; k < m_functions.size() && found < 0; ++k)
            {
                if (text::EqualsIgnoreCase(m_functions[k].strName, word))
                    found = static_cast<int>(k), type = TOKEN_FUNCTION;
            }
            if (found < 0)
                return fail(PARSEVAL_UNKNOWN_FUNCTION, i);
            CParsevalToken& t = add(type, i);
            t.SetText(word);
            t.SetNumber(found);
            i = j;
            continue;
        }
        // an operator symbol: the longest name matching here
        size_t best = 0;
        int first = -1, count = 0;
        const KStringView rest = text.substr(i);
        for (size_t k = 1; k < m_operators.size(); ++k)
        {
            const KString& name = m_operators[k].strName;
            if (name.empty() || !rest.starts_with(name))
                continue;
            if (name.size() > best)
                best = name.size(), first = static_cast<int>(k), count = 1;
            else if (name.size() == best)
                ++count;
        }
        if (first < 0)
            return fail(PARSEVAL_UNKNOWN_OPERATOR, i);
        CParsevalToken& t = add(TOKEN_OPERATOR, i);
        t.SetText(rest.substr(0, best));
        t.SetNumber(count == 1 ? first : -first);
        i += best;
    }
    add(TOKEN_END, n);
    return PARSEVAL_OK;
}

// ---- second pass ----

int CParseval::SecondPass(const std::vector<CParsevalToken>& tokens)
{
    auto& infix = m_representation.infix;
    infix.clear();
    int depth = 0;
    std::vector<int> calls;
    TimeDependency& dependency = m_representation.eTimeDependency;
    auto fail = [&](const CParsevalToken& at)
    {
        m_nErrorPosition = at.GetPosition();
        return PARSEVAL_SYNTAX_ERROR;
    };
    for (size_t t = 0; t < tokens.size(); ++t)
    {
        const CParsevalToken& token = tokens[t];
        const CParsevalToken* previous = t > 0 ? &tokens[t - 1] : nullptr;
        const int previousType = previous ? previous->GetTokenType() : TOKEN_NONE;
        switch (token.GetTokenType())
        {
        case TOKEN_OPEN:
            ++depth;
            if (previousType == TOKEN_FUNCTION)
                calls.push_back(depth);
            else
                infix.push_back(token);
            break;
        case TOKEN_CLOSE:
            if (depth < 1)
                return fail(token);
            if (!calls.empty() && calls.back() == depth)
            {
                calls.pop_back();
                --depth;
                if (previousType == TOKEN_SEPARATOR)
                    return fail(token);
                CParsevalToken marker;
                marker.SetPosition(token.GetPosition());
                if (previousType != TOKEN_OPEN)
                {
                    marker.SetTokenType(TOKEN_END_ARGUMENT);
                    infix.push_back(marker);
                }
                marker.SetTokenType(TOKEN_END_CALL);
                infix.push_back(marker);
            }
            else
            {
                --depth;
                infix.push_back(token);
            }
            break;
        case TOKEN_SEPARATOR:
        {
            if (!previous || previousType == TOKEN_SEPARATOR || previousType == TOKEN_OPEN)
                return fail(token);
            CParsevalToken marker;
            marker.SetPosition(token.GetPosition());
            marker.SetTokenType(TOKEN_END_ARGUMENT);
            infix.push_back(marker);
            break;
        }
        case TOKEN_FUNCTION:
            // a function name without its parenthesis ("TODAY - 1") is a syntax error here already, so that
            // every function token of a parsed formula writes back as a call
            if (t + 1 >= tokens.size() || tokens[t + 1].GetTokenType() != TOKEN_OPEN)
                return fail(token);
            dependency = std::max(dependency, m_functions[token.GetIndex()].eTimeDependency);
            infix.push_back(token);
            break;
        case TOKEN_OPERATOR:
        {
            int index = token.GetIndex();
            if (index < 0)
            {
                const KString& name = m_operators[-index].strName;
                int prefix = -1, infixOp = -1, postfix = -1;
                for (size_t k = 1; k < m_operators.size(); ++k)
                {
                    if (!text::EqualsIgnoreCase(m_operators[k].strName, name))
                        continue;
                    int& slot = m_operators[k].nPosition == OPERATOR_PREFIX  ? prefix
                                : m_operators[k].nPosition == OPERATOR_INFIX ? infixOp
                                                                             : postfix;
                    if (slot < 0)
                        slot = static_cast<int>(k);
                }
                const int nextType = t + 1 < tokens.size() ? tokens[t + 1].GetTokenType() : TOKEN_END;
                if (!previous || previousType == TOKEN_OPEN || previousType == TOKEN_OPERATOR ||
                    previousType == TOKEN_SEPARATOR)
                {
                    index = prefix;
                }
                else if (IsConstantToken(nextType) || nextType == TOKEN_ATTRIBUTE || nextType == TOKEN_OPEN ||
                         nextType == TOKEN_FUNCTION)
                {
                    if (infixOp >= 0)
                    {
                        if (!IsConstantToken(previousType) && previousType != TOKEN_ATTRIBUTE &&
                            previousType != TOKEN_CLOSE)
                            return fail(token);
                        index = infixOp;
                    }
                    else
                        index = prefix >= 0 ? prefix : postfix;
                }
                else
                    index = postfix;
                if (index < 0)
                    return fail(token);
            }
            dependency = std::max(dependency, m_operators[index].eTimeDependency);
            CParsevalToken copy = token;
            copy.SetNumber(index);
            infix.push_back(std::move(copy));
            break;
        }
        case TOKEN_END:
            infix.push_back(token);
            return PARSEVAL_OK;
        default:
            infix.push_back(token);
            break;
        }
    }
    return PARSEVAL_OK;
}

int CParseval::Parse(KStringView formula, bool commaSeparated)
{
    m_representation = CInternalRepresentation();
    m_bCompiled = false;
    m_nErrorPosition = 0;
    std::vector<CParsevalToken> tokens;
    try
    {
        int status = Lex(formula, commaSeparated, tokens);
        if (status == PARSEVAL_OK)
            status = SecondPass(tokens);
        if (status != PARSEVAL_OK)
            m_representation.infix.clear();
        return status;
    }
    catch (const std::bad_alloc&)
    {
        m_representation = CInternalRepresentation();
        return PARSEVAL_OUT_OF_MEMORY;
    }
}

// ---- compilation ----

int CParseval::Emit(FParsevalEvaluator evaluator, int operands, bool finalCopy)
{
    auto& calls = m_representation.calls;
    const int i = static_cast<int>(calls.size());
    if (i >= kResultSlots)
        return PARSEVAL_OUT_OF_MEMORY;
    if (m_operandStack.GetSize() < static_cast<size_t>(operands))
        return PARSEVAL_SYNTAX_ERROR;
    CParsevalCall call;
    call.pEvaluator = evaluator;
    call.nResultSlot = i;
    call.kinds.resize(operands);
    call.indices.resize(operands);
    std::vector<CParsevalToken*> arguments(operands);
    for (int k = operands - 1; k >= 0; --k)
    {
        const CParsevalAttributesStack::SEntry e = m_operandStack.Pop();
        call.kinds[k] = e.nKind;
        call.indices[k] = e.nIndex;
        arguments[k] = e.pToken;
    }
    CParsevalToken& slot = m_pSlots[i];
    if (finalCopy)
    {
        slot = *arguments[0];
    }
    else
    {
        slot.Reset();
        slot.SetType(VALUE_TEXT, -1);
        const int status = evaluator(arguments.data(), operands, slot, true, m_formats);
        if (status != PARSEVAL_OK)
            return status;
        m_operandStack.Push({&slot, OPERAND_RESULT, i});
    }
    call.nResultType = slot.GetValueType();
    call.nResultFormat = slot.GetFormatId();
    calls.push_back(std::move(call));
    m_callArguments.push_back(std::move(arguments));
    return PARSEVAL_OK;
}

int CParseval::TypeCheck(CParsevalToken* inputs, int count, CParsevalToken& result)
{
    m_bCompiled = false;
    m_representation.calls.clear();
    m_callArguments.clear();
    m_operatorStack.Clear();
    m_operandStack.Clear();
    m_argumentCounters.clear();
    m_pBoundInputs = inputs;
    auto& infix = m_representation.infix;
    if (infix.empty())
        return PARSEVAL_SYNTAX_ERROR;
    auto emitTop = [&]() -> int
    {
        const CParsevalToken* top = m_operatorStack.Top();
        m_operatorStack.Pop();
        const COperator& op = m_operators[top->GetIndex()];
        if (op.nOperands != 1 && op.nOperands != 2)
            return PARSEVAL_OPERAND_COUNT;
        return Emit(op.pEvaluator, op.nOperands, false);
    };
    try
    {
        for (size_t ti = 0; ti < infix.size(); ++ti)
        {
            CParsevalToken& token = infix[ti];
            int status = PARSEVAL_OK;
            const int type = token.GetTokenType();
            if (IsConstantToken(type))
            {
                m_operandStack.Push({&token, OPERAND_CONSTANT, static_cast<int32_t>(ti)});
            }
            else if (type == TOKEN_ATTRIBUTE)
            {
                const int index = token.GetIndex();
                if (!inputs || index < 0 || index >= count)
                    return PARSEVAL_ILLEGAL_TYPE;
                m_operandStack.Push({&inputs[index], OPERAND_ATTRIBUTE, index});
            }
            else if (type == TOKEN_OPEN)
            {
                m_operatorStack.Push(&token);
            }
            else if (type == TOKEN_CLOSE)
            {
                for (;;)
                {
                    const CParsevalToken* top = m_operatorStack.Top();
                    if (!top || top->GetTokenType() == TOKEN_FUNCTION)
                        status = PARSEVAL_SYNTAX_ERROR;
                    else if (top->GetTokenType() == TOKEN_OPEN)
                        m_operatorStack.Pop();
                    else
                    {
                        status = emitTop();
                        if (status == PARSEVAL_OK)
                            continue;
                    }
                    break;
                }
            }
            else if (type == TOKEN_FUNCTION)
            {
                m_operatorStack.Push(&token);
                m_argumentCounters.push_back(0);
            }
            else if (type == TOKEN_OPERATOR)
            {
                const COperator& op = m_operators[token.GetIndex()];
                if (op.nPosition != OPERATOR_PREFIX)
                {
                    for (const CParsevalToken* top = m_operatorStack.Top();
                         top && status == PARSEVAL_OK && top->GetTokenType() == TOKEN_OPERATOR &&
                         m_operators[top->GetIndex()].nPrecedence <= op.nPrecedence;
                         top = m_operatorStack.Top())
                        status = emitTop();
                    if (status == PARSEVAL_OK && m_operandStack.GetSize() == 0)
                        status = PARSEVAL_SYNTAX_ERROR;
                }
                if (status == PARSEVAL_OK)
                {
                    m_operatorStack.Push(&token);
                    if (op.nPosition == OPERATOR_POSTFIX)
                        status = emitTop();
                }
            }
            else if (type == TOKEN_END_ARGUMENT)
            {
                for (;;)
                {
                    const CParsevalToken* top = m_operatorStack.Top();
                    if (!top || top->GetTokenType() == TOKEN_OPEN)
                        status = PARSEVAL_SYNTAX_ERROR;
                    else if (top->GetTokenType() != TOKEN_FUNCTION)
                    {
                        status = emitTop();
                        if (status == PARSEVAL_OK)
                            continue;
                    }
                    break;
                }
                if (status == PARSEVAL_OK)
                    ++m_argumentCounters.back();
            }
            else if (type == TOKEN_END_CALL)
            {
                const CParsevalToken* top = m_operatorStack.Top();
                if (!top || top->GetTokenType() != TOKEN_FUNCTION)
                    status = PARSEVAL_SYNTAX_ERROR;
                else
                {
                    m_operatorStack.Pop();
                    const int operands = m_argumentCounters.back();
                    m_argumentCounters.pop_back();
                    status = Emit(m_functions[top->GetIndex()].pEvaluator, operands, false);
                }
            }
            else if (type == TOKEN_END)
            {
                while (status == PARSEVAL_OK && !m_operatorStack.IsEmpty())
                {
                    const int topType = m_operatorStack.Top()->GetTokenType();
                    if (topType == TOKEN_OPEN || topType == TOKEN_FUNCTION)
                        status = PARSEVAL_SYNTAX_ERROR;
                    else
                        status = emitTop();
                }
                if (status == PARSEVAL_OK && m_operandStack.GetSize() == 0)
                    status = PARSEVAL_SYNTAX_ERROR;
                if (status == PARSEVAL_OK)
                    status = Emit(nullptr, 1, true);
                if (status == PARSEVAL_OK && m_operandStack.GetSize() != 0)
                    status = PARSEVAL_SYNTAX_ERROR;
                if (status == PARSEVAL_OK)
                {
                    CParsevalToken& last = m_pSlots[m_representation.calls.size() - 1];
                    Finish(last);
                    result = last;
                    m_bCompiled = true;
                    return PARSEVAL_OK;
                }
            }
            else
                status = PARSEVAL_SYNTAX_ERROR;
            if (status != PARSEVAL_OK)
            {
                m_nErrorPosition = token.GetPosition();
                m_representation.calls.clear();
                m_callArguments.clear();
                return status;
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        m_representation.calls.clear();
        m_callArguments.clear();
        return PARSEVAL_OUT_OF_MEMORY;
    }
    return PARSEVAL_SYNTAX_ERROR;
}

void CParseval::Finish(CParsevalToken& slot) const
{
    if (slot.GetFormatId() == -1 || slot.GetFormatId() == -2)
        slot.SetFormatId(m_formats.GetDefaultFormatID(slot.GetValueType()));
    if (slot.GetFormatId() > 0 && IsNumericType(slot.GetValueType()))
    {
        slot.Text().clear();
        if (!slot.IsUndefined())
            m_formats.Write(slot.GetFormatId(), slot.GetNumber(), slot.Text());
    }
}

void CParseval::RoundResult(CParsevalToken& result)
{
    const EValueType type = result.GetValueType();
    if (type == VALUE_TEXT && result.GetText().size() > kMaxFormulaTextLength)
        result.SetUndefined();
    if (type == VALUE_TEXT || result.IsUndefined())
        return;
    double x = result.GetNumber();
    if (!IsValidNumber(type == VALUE_INTEGER || type == VALUE_DATE ? VALUE_DOUBLE : type, x))
    {
        result.SetUndefined();
        return;
    }
    if ((type == VALUE_INTEGER || type == VALUE_DATE) && x != std::trunc(x))
        x = std::floor(x + 0.5); // whole numbers stay: x + 0.5 loses a unit beyond 2^52
    else if (type == VALUE_TIME || type == VALUE_DATETIME || type == VALUE_TIMESPAN)
    {
        const double ms = std::floor(x * 86400000.0 + 0.5);
        if (std::fabs(ms) < 9.0e15) // beyond that a double holds no fraction of a millisecond anyway
            x = ms / 86400000.0;
    }
    if (!IsValidNumber(type, x))
    {
        result.SetUndefined();
        return;
    }
    result.SetNumber(x);
}

int CParseval::Evaluate(CParsevalToken* inputs, int count, CParsevalToken& result)
{
    if (!m_bCompiled)
        return PARSEVAL_SYNTAX_ERROR;
    auto& calls = m_representation.calls;
    if (inputs != m_pBoundInputs)
    {
        for (size_t i = 0; i < calls.size(); ++i)
        {
            for (int k = 0; k < calls[i].GetOperandCount(); ++k)
            {
                if (calls[i].kinds[k] != OPERAND_ATTRIBUTE)
                    continue;
                if (!inputs || calls[i].indices[k] >= count)
                    return PARSEVAL_ILLEGAL_TYPE;
                m_callArguments[i][k] = &inputs[calls[i].indices[k]];
            }
        }
        m_pBoundInputs = inputs;
    }
    const size_t last = calls.size() - 1;
    for (size_t i = 0; i < last; ++i)
    {
        const CParsevalCall& call = calls[i];
        CParsevalToken& slot = m_pSlots[i];
        slot.Reset();
        slot.SetType(static_cast<EValueType>(call.nResultType), call.nResultFormat);
        const int status =
            call.pEvaluator(m_callArguments[i].data(), call.GetOperandCount(), slot, false, m_formats);
        if (status != PARSEVAL_OK)
            return status;
        RoundResult(slot);
    }
    CParsevalToken& final = m_pSlots[last];
    final = *m_callArguments[last][0];
    Finish(final);
    result = final;
    return PARSEVAL_OK;
}

void CParseval::SetRepresentation(const CInternalRepresentation& representation)
{
    m_representation = representation;
    m_representation.calls.clear();
    m_callArguments.clear();
    m_bCompiled = false;
}

// ---- writing back ----

bool CParseval::MustBeEscaped(char16_t c)
{
    return c < 32 || (c >= 127 && c <= 159) || (c >= 0xD800 && c <= 0xDFFF) || c == u'\\' || c == u'"' ||
           c == 0x00A0 || (c >= 0x0250 && c != 0x2014);
}

void CParseval::EscapeCharacter(char16_t c, KString& out)
{
    switch (c)
    {
    case u'\\':
        out += u"\\\\";
        return;
    case u'"':
        out += u"\\\"";
        return;
    case u'\t':
        out += u"\\t";
        return;
    case u'\n':
        out += u"\\n";
        return;
    case u'\r':
        out += u"\\r";
        return;
    default:
    {
        static const char16_t hex[] = u"0123456789abcdef";
        out += u"\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += hex[(c >> shift) & 15];
    }
    }
}

KString CParseval::GetExpressionText(const CInternalRepresentation& representation, bool brackets,
                                     bool commas) const
{
    KString out;
    const auto& infix = representation.infix;
    for (size_t t = 0; t < infix.size(); ++t)
    {
        const CParsevalToken& token = infix[t];
        const int type = token.GetTokenType();
        const int previousType = t > 0 ? infix[t - 1].GetTokenType() : TOKEN_NONE;
        const int nextType = t + 1 < infix.size() ? infix[t + 1].GetTokenType() : TOKEN_END;
        // Two operands in a row (a formula that does not compile) keep a blank between them, so that "1 2"
        // is not written back as "12".
        const bool previousEndsOperand = IsConstantToken(previousType) || previousType == TOKEN_ATTRIBUTE ||
                                         previousType == TOKEN_CLOSE || previousType == TOKEN_END_CALL;
        if (previousEndsOperand && (IsConstantToken(type) || type == TOKEN_ATTRIBUTE || type == TOKEN_FUNCTION ||
                                    type == TOKEN_OPEN))
            out += u' ';
        switch (type)
        {
        case TOKEN_STRING:
            out += u'"';
            for (char16_t c : token.GetText())
            {
                if (MustBeEscaped(c))
                    EscapeCharacter(c, out);
                else
                    out += c;
            }
            out += u'"';
            break;
        case TOKEN_FLOAT:
        case TOKEN_INTEGER:
            out += token.GetText();
            break;
        case TOKEN_DATE:
        case TOKEN_TIME:
        case TOKEN_DATETIME:
        case TOKEN_TIMESPAN:
            out += u'\'';
            out += token.GetText();
            out += u'\'';
            break;
        case TOKEN_ATTRIBUTE:
        {
            const int index = token.GetIndex();
            const KString& name = index >= 0 && index < representation.GetNameCount() ? representation.names[index]
                                                                                      : token.GetText();
            if (brackets)
                out += u'[';
            out += name;
            if (brackets)
                out += u']';
            break;
        }
        case TOKEN_CLOSE:
        case TOKEN_END_CALL:
            out += u')';
            break;
        case TOKEN_OPEN:
            out += u'(';
            break;
        case TOKEN_FUNCTION:
            out += token.GetText();
            out += u'(';
            break;
        case TOKEN_OPERATOR:
            if (!out.empty() && out.back() != u' ' && previousType != TOKEN_OPEN && previousType != TOKEN_FUNCTION)
                out += u' ';
            out += token.GetText();
            if (nextType != TOKEN_CLOSE && nextType != TOKEN_END_CALL)
                out += u' ';
            break;
        case TOKEN_END_ARGUMENT:
            if (nextType != TOKEN_END_CALL)
                out += commas ? u',' : u';';
            break;
        case TOKEN_END:
            return out;
        default:
            break;
        }
    }
    return out;
}

KString CParseval::GetStatusMessage(int status, bool typeErrorAsParameter)
{
    if (status >= 1 && status <= 13)
        return LoadResourceString(kStatusMessageIds[status - 1]);
    return LoadResourceString(typeErrorAsParameter ? kIllegalTypeMessageId : kStatusMessageIds[6]);
}
