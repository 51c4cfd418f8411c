// Quick expressions over selected attributes.

#include "formula/QuickExpressions.h"

#include "formula/Builtins.h"
#include "formula/ExpressionAttribute.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

namespace formula
{

namespace
{
KString Placeholder(int k)
{
    return u"[X" + platform::ToKString(k) + u"]";
}
} // namespace

KString ExpressionForEqualOperator(int count)
{
    KString out;
    for (int k = 2; k <= count; ++k)
    {
        if (!out.empty())
            out += u" and ";
        out += Placeholder(1) + u" = " + Placeholder(k);
    }
    return out;
}

KString SeparatedListOfPlaceholders(KStringView op, int count)
{
    KString out;
    for (int k = 1; k <= count; ++k)
    {
        if (k > 1)
            out += u" " + KString(op) + u" ";
        out += Placeholder(k);
    }
    return out;
}

KString ExpressionWithPlaceholders(KStringView op, bool unary, int count)
{
    if (op == u"=")
        return ExpressionForEqualOperator(count);
    if (unary)
        return KString(op) + Placeholder(1);
    return SeparatedListOfPlaceholders(op, count);
}

std::optional<KString> MakeQuickExpression(CTable& table, const std::vector<CAttribute*>& attributes, KStringView op,
                                           bool unary)
{
    const bool unaryUse = unary && attributes.size() == 1 && (op == u"-" || op == u"not");
    if (attributes.empty() || (attributes.size() < 2 && !unaryUse))
        return std::nullopt;
    for (const CAttribute* attribute : attributes)
    {
        if (!attribute || attribute->IsHeader() || attribute->HasUnclearFormat())
            return std::nullopt;
    }
    CParseval engine(table.GetFormatRegistry());
    DefineBuiltinFunctions(engine);
    const KString pattern = ExpressionWithPlaceholders(op, unaryUse, static_cast<int>(attributes.size()));
    if (engine.Parse(pattern, true) != PARSEVAL_OK)
        return std::nullopt;
    // X1, X2, ... become the attributes' names
    CInternalRepresentation& parsed = engine.GetRepresentation();
    for (KString& name : parsed.names)
    {
        const int k = std::stoi(platform::ToUtf8(name.substr(1)));
        name = attributes[static_cast<size_t>(k - 1)]->GetName();
    }
    const KString formula = engine.GetExpressionText(true, false);
    // checked with inputs of the attributes' formats, one per placeholder in the order of the name list
    std::vector<CParsevalToken> inputs(parsed.names.size());
    for (size_t i = 0; i < parsed.names.size(); ++i)
    {
        const CAttribute* attribute = attributes[i];
        inputs[i].SetType(attribute->GetType(), attribute->GetFormatId());
    }
    CParsevalToken result;
    if (engine.TypeCheck(inputs.data(), static_cast<int>(inputs.size()), result) != PARSEVAL_OK)
        return std::nullopt;
    return formula;
}

} // namespace formula
