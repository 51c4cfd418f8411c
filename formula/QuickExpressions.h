#pragma once
// Quick expressions over selected attributes: a formula built from an operator over placeholder names X1,
// X2, ... that stand for the selected attributes in selection order, then bound to those attributes.
//
// Threading: the table's thread.

#include "platform/Text.h"

#include <optional>
#include <vector>

class CAttribute;
class CTable;

namespace formula
{

// "[X1] = [X2] and [X1] = [X3]" ... up to count placeholders.
KString ExpressionForEqualOperator(int count);
// "[X1] + [X2] + [X3]": the placeholders joined by the operator between single blanks.
KString SeparatedListOfPlaceholders(KStringView op, int count);
// The formula of an operator over count placeholders: "=" as ExpressionForEqualOperator, a unary use as the
// operator directly before "[X1]", otherwise SeparatedListOfPlaceholders.
KString ExpressionWithPlaceholders(KStringView op, bool unary, int count);

// The formula of a quick expression over the attributes (selection order), with their names in brackets and
// semicolons between arguments, type-checked against their formats; nothing when fewer than two attributes are
// given (one is enough for a unary "-" or "not"), when one is a header or has an unclear format, or when the
// formula does not parse or check.
std::optional<KString> MakeQuickExpression(CTable& table, const std::vector<CAttribute*>& attributes, KStringView op,
                                           bool unary);

} // namespace formula
