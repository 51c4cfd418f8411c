#pragma once
// CExportRun: one text export, stage by stage (internal to exchange/): the columns and records chosen, the
// names line, then the data lines in pieces of records (fetched and formatted by CLineWriter, in parallel
// tasks for large tables) and the write of each batch of pieces in file order while the next is made.
// Threading: the table's thread; the run starts its own tasks and waits for them.

#include "exchange/ExportLines.h"
#include "exchange/TextExporter.h"

#include <functional>
#include <string_view>
#include <vector>

class CTable;

namespace exchange
{

class CExportRun
{
public:
    // Throws CKorvalinException (IllegalArgumentValue) for an unknown encoding or code page.
    CExportRun(CTable& table, const SExportOptions& options, const KString& fileName);
    CExportRun(const CExportRun&) = delete;
    CExportRun& operator=(const CExportRun&) = delete;

    // Writes the file's bytes through write, piece by piece in file order. reserve is told the size of the
    // whole file once the first pieces foretell it. Throws CUserException when cancelled.
    void Run(const std::function<void(std::string_view)>& write, const std::function<void(size_t)>& reserve);

private:
    static constexpr long kProgressLines = 1000;
    static constexpr size_t kRecordsPerPiece = 16384; // records made into lines by one task

    // The columns in file order (with the import layout, placeholders and the note on what is left out).
    void ChooseColumns();
    // The byte-order mark and the names line, when asked for.
    std::string MakeHead();

    CTable& m_table;
    const SExportOptions& m_options;
    const KString m_strFileName;
    SExportFormat m_format;               // how cells are written
    std::vector<SExportColumn> m_columns; // the columns in file order
    CExportWarnings m_warnings;           // values that need quotes that cannot be written
};

} // namespace exchange
