#pragma once
// Texts of the import and export that the resource table does not hold, in German and English (the current
// resource language chooses), and the composed special-characters report of a read.
// Threading: any thread.

#include "engine/ImportSettings.h"
#include "platform/Text.h"

#include <initializer_list>

namespace exchange
{

enum EExchangeText : int
{
    TEXT_READ_AS_WINDOWS_1252, // %1 file: not valid UTF-8, read as Windows-1252
    TEXT_DELIMITER_CHANGED,    // %1 file, %2 proposed delimiter (one column everywhere), %3 delimiter taken
    TEXT_DELIMITER_UNEVEN,     // %1 file, %2 proposed delimiter (uneven column counts), %3 delimiter taken
    TEXT_INVALID_SEQUENCES,    // %1 file, %2 count of undecodable sequences
};

// The text in the current resource language with %1, %2 ... filled.
KString FormatExchangeText(EExchangeText id, std::initializer_list<KStringView> args);

// The lines of the special-characters message (strings 3513..3518, 2046, 2047) for what a read counted;
// empty when there is nothing to report.
KString DescribeSpecialCharacters(const CImportCounters& counters);

// A delimiter or quote for people: "TAB", "Semikolon"/"semicolon" ... or the character itself.
KString DescribeCharacter(char16_t c);

} // namespace exchange
