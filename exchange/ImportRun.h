#pragma once
// CReadRun: the state and the stages of one read of a decoded text into an empty table, for CTextImporter
// (internal to exchange/). Reading one cell at a time (ImportRun.cpp): the lines before the data, the names,
// the data lines of small texts and the first data line, one attribute per line, and the messages and the
// description at the end. Reading in bulk (ImportBulk.cpp): the rest of the data lines in pieces, each scanned
// (BulkReader) while the one before is stored column by column.
// Threading: the table's thread; the run starts its own tasks (m_work) and waits for them.

#include "engine/ImportSettings.h"
#include "engine/Table.h"
#include "exchange/BulkReader.h"
#include "exchange/ParallelWork.h"
#include "exchange/TextImporter.h"
#include "exchange/TextReader.h"
#include "exchange/TextStream.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace exchange
{

// The state of one read: the reader, the attributes made by it, the records, the counters and messages.
// Tells the options' listener how long each phase of a read took, if it listens.
class CPhaseClock
{
public:
    explicit CPhaseClock(const SReadOptions& options) : m_options(options) {}
    void Done(const char* phase)
    {
        if (!m_options.m_phaseDone)
            return;
        const auto now = std::chrono::steady_clock::now();
        m_options.m_phaseDone(phase, std::chrono::duration<double>(now - m_start).count());
        m_start = now;
    }

private:
    const SReadOptions& m_options;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class CReadRun
{
public:
    static constexpr long kProgressLines = 1000; // progress, status and cancel are looked at every this many lines
    static constexpr long kAttributeQuestionAt = 1000; // the user is asked when this many attributes were made
    static constexpr size_t kBulkMinimum = 1u << 20;   // texts from this many units on read their data lines in bulk
    static constexpr size_t kChunkUnits = 1u << 20;    // units per chunk of a bulk piece

    // stream, when not null, decodes the rest of the file after text, which the run then asks for.
    CReadRun(CTable& table, const KString& fileName, CImportSettings& settings, const SReadOptions& options,
             KStringView text, CUtf8FileStream* stream, std::function<bool(KStringView&)> more)
        : m_table(table), m_strFileName(fileName), m_settings(settings), m_options(options),
          m_reader(text, MakeRules(settings)), m_pStream(stream), m_work(table.UseMulticores())
    {
        if (stream)
            m_reader.SetMoreText(std::move(more));
    }

    void ReadRecordPerLine();
    void ReadAttributePerLine();
    // Messages and the description after a successful read.
    void Finish();
    // The clock of the read's phases, started with the run.
    CPhaseClock& GetPhaseClock() { return m_clock; }
    // The physical line at which reading stands (for errors).
    long GetCurrentLine() const { return m_nBulkLine > 0 ? m_nBulkLine : m_reader.GetPhysicalLine(m_nRecordStart); }

private:
    static SCellRules MakeRules(const CImportSettings& settings)
    {
        SCellRules rules;
        rules.m_cDelimiter = settings.m_cDelimiter != 0 ? settings.m_cDelimiter : u'\t';
        rules.m_cQuote = settings.m_cQuote;
        rules.m_bFixedWidth = settings.m_bFixedWidth;
        rules.m_bReplaceBars = settings.m_bReplaceBars;
        return rules;
    }

    const KString& TableName() const { return m_table.GetTitle(); }
    size_t WidthOf(size_t column) const
    {
        if (!m_settings.m_bFixedWidth || column >= m_settings.m_vColumnWidths.size())
            return 0;
        return static_cast<size_t>(std::max(0, m_settings.m_vColumnWidths[column]));
    }
    // Makes the attribute of a column; legacy names carry the tree markup.
    CAttribute* MakeAttribute(KStringView name);
    // Makes the attribute of a column met first on a data line; the first earlier records made get the
    // undefined value (not the record being read, which gets its cell next). report: the line is not the first
    // data line (the user is told once).
    CAttribute* MakeExtraAttribute(size_t column, long line, long earlier, bool report);
    CRecord* MakeRecord();
    // Asks the progress callback; returns false when the read stops here (records kept).
    bool CheckProgress(long line);
    // Tells once that a record (on the line that line() gives) lacks the attribute's value.
    void ReportMissingValue(const CAttribute* attribute, const std::function<long()>& line);
    // The share of the file read so far (0..1).
    double GetShareRead() const;
    // Reads the cells of the names line and makes an attribute per cell.
    void ReadNamesLine(long line);
    // The data lines, one record each, through the bulk reader when it may be used.
    void ReadDataLines(long line);
    // Reads the rest of the data lines in pieces scanned in parallel and stored column by column in parallel
    // (ImportBulk.cpp).
    void ReadDataLinesInBulk(long line);
    bool MayReadInBulk() const;

    // The text of one bulk piece: from the piece's first record to the end of the text, or to where decoding
    // stands when the file is decoded as it is read.
    struct SWindow
    {
        KStringView m_text;
        long m_nFirstLine = 1;   // the physical line of m_text[0]
        bool m_bComplete = true; // m_text runs to the end of the file
        CUtf16Buffer m_buffer;   // holds m_text when the file is decoded as it is read
        long LineOf(size_t offset) const { return m_nFirstLine + CountPhysicalLineEnds(m_text, offset); }
    };
    // Makes to the text of from from offset on; decoded text gets about units units. lineEnds: the physical
    // line ends of from before offset, when known (counted otherwise).
    void Advance(SWindow& to, const SWindow& from, size_t offset, size_t units, long lineEnds = -1);
    // Scans a piece of the window; decodes more first when the piece's last record may go on beyond it.
    void ScanWindow(SWindow& window, size_t pieceUnits, size_t chunkUnits, bool parallel,
                    std::vector<SScannedChunk>& chunks);
    // Adds what a piece's cells met; the first cut value and stray quote get their lines while the piece's
    // window is there.
    void AddBulkTally(const SCellTally& tally, const SWindow& window);
    // Store stage of a piece, before its records exist: the attributes of columns met for the first time, and
    // the first record with fewer cells than attributes is told (in record order, as one scan would meet them).
    void MakePieceColumns(const std::vector<SScannedChunk>& chunks, const SWindow& window);
    // Store stage of a piece: the piece's cells of one column go to its records, in record order. appending:
    // the column's cells are appended as values (merged at the end); cleared when a cell needs a look-up.
    void StorePieceColumn(size_t column, const std::vector<SScannedChunk>& chunks, CRecord* const* records,
                          char& appending) const;
    // After the first piece: attributes with many distinct values get a value hash sized for the whole file at
    // once, and columns of mostly distinct values are appended from here on (appending). share: the part of the
    // file the piece was; each runs every column through eachColumn.
    void SizeValueHashes(size_t pieceRecords, double share, std::vector<char>& appending,
                         const std::function<void(const std::function<void(size_t)>&)>& eachColumn);

    CTable& m_table;
    const KString& m_strFileName; // the file, for messages and the description
    CImportSettings& m_settings;  // settings in force (stored into the table on success)
    const SReadOptions& m_options;
    CPhaseClock m_clock{m_options};
    CTextReader m_reader;                  // the decoded file (or its head) and its cell state
    CUtf8FileStream* m_pStream;            // decodes the rest of the file, when it is read as it is decoded
    CParallelWork m_work;                  // serial or parallel work (the table's options)
    std::vector<CAttribute*> m_attributes; // attributes of the columns, in column order (headers included)
    long m_nRunningIndent = 0;             // tree level of the next legacy attribute
    long m_nRecords = 0;                   // records made by this read
    size_t m_nRecordStart = 0;             // offset of the line being read
    bool m_bStopped = false;               // the user kept the records read so far and stopped
    // The bulk reader's: what its cells met (offsets not used), the lines of the first cut value and stray
    // quote (0: none), the line of the piece being stored (0 before the bulk read) and the share read.
    SCellTally m_bulkTally;
    long m_nFirstCutLine = 0;
    long m_nFirstQuoteLine = 0;
    long m_nBulkLine = 0;
    double m_dBulkShare = -1;
};

} // namespace exchange
