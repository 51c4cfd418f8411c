#pragma once
// Storing a column of computed values in one step: the texts (with their numbers) of records given in order,
// most of them distinct, as AddValue would store them one after the other.
//
// Threading: the table's thread.

#include "platform/Text.h"

#include <cstddef>
#include <functional>

class CAttribute;
struct CRecord;

// As attribute.AddValue(records[i], texts[i], numbers != nullptr, numbers[i]) for i = 0 .. count-1 in order,
// for an attribute without values and records that are not null: the same distinct values in the same order, the same numbers (the first
// record's of each value, never read back from the text) and the same sorted flag. Meant for columns whose
// values are mostly distinct (each text is appended and equal ones merged afterwards); lists and texts beyond
// the length limit, or an attribute that has values, take the one-by-one path.
void AddComputedValues(CAttribute& attribute, CRecord* const* records, const KStringView* texts,
                       const double* numbers, size_t count);

// The values of records [from, to) of a computed column: their texts into texts[0 .. to - from), and, when
// numbers is not null, their numbers into numbers[0 .. to - from). The texts must stay valid until the store
// is done. Asked for each piece more than once.
using FComputedPiece = std::function<void(size_t from, size_t to, KStringView* texts, double* numbers)>;

// AddComputedValues for a column handed over a piece at a time, so that no array of all its texts and
// numbers is needed beside the values stored. withNumbers: the values carry numbers.
void AddComputedValues(CAttribute& attribute, CRecord* const* records, size_t count, bool withNumbers,
                       const FComputedPiece& piece);
