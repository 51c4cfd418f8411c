#pragma once
// The parameters 0 .. 99 that a host sets for a table and the function PARAMETER reads.
//
// Threading: any thread; a lock guards the store.

#include "platform/Text.h"

class CTable;

namespace formula
{

constexpr int kFormulaParameterCount = 100;

// Sets parameter number (0 .. 99; others are ignored) of a table; an empty text removes it.
void SetFormulaParameter(const CTable* table, int number, KStringView text);
// The parameter's text, empty when it was never set or the number is out of range.
KString GetFormulaParameter(const CTable* table, int number);
// Forgets every parameter of a table (when it is destroyed).
void ClearFormulaParameters(const CTable* table);

} // namespace formula
