#pragma once
// Storing a column of computed values in one step: the texts (with their numbers) of records given in order,
// most of them distinct, as AddValue would store them one after the other.
//
// Threading: the table's thread.

#include "platform/Text.h"

#include <cstddef>

class CAttribute;
struct CRecord;

// As attribute.AddValue(records[i], texts[i], numbers != nullptr, numbers[i]) for i = 0 .. count-1 in order,
// for an attribute without values and records that are not null: the same distinct values in the same order, the same numbers (the first
// record's of each value, never read back from the text) and the same sorted flag. Meant for columns whose
// values are mostly distinct (each text is appended and equal ones merged afterwards); lists and texts beyond
// the length limit, or an attribute that has values, take the one-by-one path.
void AddComputedValues(CAttribute& attribute, CRecord* const* records, const KStringView* texts,
                       const double* numbers, size_t count);
