#pragma once
// The one open routine: looks at a file and reads it into an empty table with the reader that fits it
// (".qtc" legacy tables, otherwise delimited text). An explicit import behaves as the import dialog does:
// the byte-order mark is looked for and wins over the given encoding, and a delimiter the user did not
// choose is proposed from the extension (TAB for ".txt", comma otherwise) and judged with the other
// candidates on the first lines (exchange::ChooseDelimiter; a note says when another one is taken). What was
// used ends up in the table's import settings.
// Threading: the table's thread.

#include "engine/ImportSettings.h"
#include "exchange/TextImporter.h"

#include <filesystem>

class CTable;

namespace files
{

// What an open is asked to do.
struct SOpenRequest
{
    CImportSettings m_settings;     // settings to read text with (the defaults are those of a plain open)
    bool m_bExplicitImport = false; // as through the import dialog (see above)
    bool m_bDelimiterGiven = false; // m_settings.m_cDelimiter was chosen by the user: no proposal
    exchange::SReadOptions m_read;  // progress and cancel
};

// The kinds of file the open routine tells apart.
enum EFileKind : int
{
    FILE_TEXT = 0,
    FILE_QTC = 1,
    FILE_QTX = 2, // native table files (".qtx", ".qtp", ".qtt")
};

// The kind of a file by its extension.
EFileKind GetFileKind(const std::filesystem::path& path);

// Reads the file into the empty table. Throws as CTextImporter::ReadFile; a native table file gives
// CKorvalinException (NotYetImplemented) until its reader exists.
void ReadTable(CTable& table, const std::filesystem::path& path, const SOpenRequest& request);

} // namespace files
