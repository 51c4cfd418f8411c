#pragma once
// The legacy ".qtc" table files: a UTF-8 text table with TAB as delimiter whose names line carries the
// attribute tree as markup in front of each name (">" a header opens a level, "<" a level closes after the
// attribute, "+" an open header, "[n]" the number of lines). A leading "/" marks one record per line; a
// file without it has one attribute per line. Reading goes through the text importer with the legacy flag.
// Threading: the table's thread.

#include "exchange/TextImporter.h"
#include "platform/Text.h"

#include <filesystem>
#include <string>
#include <vector>

class CAttribute;
class CTable;

namespace files
{

// The markup in front of an attribute's name: depth is its indent, nextDepth the indent of the next written
// attribute (-1 when it is the last, which closes every open level).
KString MakeNameMarkup(const CAttribute& attribute, long nextDepth);

// The bytes of a Qtc file of the table: all records, or the qualified ones; every attribute (headers
// included), or the non-hidden ones when not all records are written.
std::string MakeQtcText(CTable& table, bool allRecords);

// Writes the table as a Qtc file, atomically (an existing file stays as it was when writing fails).
void WriteQtcFile(CTable& table, const std::filesystem::path& path, bool allRecords = true);

// Reads a Qtc file into the empty table (TAB, '"', names on line 1, data from line 2, UTF-8 unless a mark
// says otherwise). Throws as CTextImporter::ReadFile.
void ReadQtcFile(CTable& table, const std::filesystem::path& path, const exchange::SReadOptions& options = {});

// The same for the bytes of a file in memory.
void ReadQtcBytes(CTable& table, std::string_view bytes, const KString& fileName,
                  const exchange::SReadOptions& options = {});

} // namespace files
