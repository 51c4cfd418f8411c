#pragma once
// The notes of a read: their resource numbers, the composed special-characters report, and delimiters named
// for people (in the current resource language).
// Threading: any thread.

#include "engine/ImportSettings.h"
#include "platform/Text.h"

#include <initializer_list>
#include <string>

namespace exchange
{

// Resource numbers of the notes a read may leave (file name first).
enum EExchangeText : int
{
    TEXT_READ_AS_WINDOWS_1252 = 3520, // %1 file: not valid UTF-8, read as Windows-1252
    TEXT_DELIMITER_CHANGED = 3521,    // %1 file, %2 proposed delimiter (one column everywhere), %3 delimiter taken
    TEXT_DELIMITER_UNEVEN = 3522,     // %1 file, %2 proposed delimiter (uneven column counts), %3 delimiter taken
    TEXT_INVALID_SEQUENCES = 3523,    // %1 file, %2 count of undecodable sequences
};

// Throws CKorvalinException (IllegalArgumentValue) with resource text id filled with the UTF-8 args (at most three), in the
// current resource language: a read or export setting that cannot be used.
[[noreturn]] void ThrowBadSetting(int id, std::initializer_list<std::string> args);

// The lines of the special-characters message (strings 3513..3518, 2046, 2047) for what a read counted;
// empty when there is nothing to report.
KString DescribeSpecialCharacters(const CImportCounters& counters);

// A delimiter or quote for people: "TAB", "Semikolon"/"semicolon" ... or the character itself.
KString DescribeCharacter(char16_t c);

} // namespace exchange
