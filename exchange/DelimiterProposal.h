#pragma once
// The delimiter proposed for a text file whose import settings give none, as the import dialog proposes it.
// Threading: any thread.

#include "platform/Text.h"

#include <filesystem>

namespace exchange
{

// The delimiter that the import dialog proposes for a file: TAB for ".txt" (and for ".tsv" and ".tab", which
// name tab-separated files), comma for other files.
char16_t ProposeDelimiter(const std::filesystem::path& path);

// The delimiter taken for a file whose settings give none. Every candidate (comma, semicolon, TAB and '|') is
// judged on the same records: those that start within the first 20 lines of text, the names line included,
// quotes respected, empty lines left out. A candidate reads the file evenly when every record shows one and the
// same column count above 1. The proposal is kept when it reads the file evenly (or the text has no record);
// otherwise the candidate that reads it evenly into the most columns is taken (ties in the order above); when
// none does, the proposal stays.
struct SDelimiterChoice
{
    char16_t m_cDelimiter = u',';   // the delimiter taken
    bool m_bProposalSplits = false; // the proposal found more than one column in some record
};
SDelimiterChoice ChooseDelimiter(KStringView text, char16_t proposal, char16_t quote);

} // namespace exchange
