#pragma once
// CImportSettings: how a table was (or is to be) read from a text file, and where it came from.
//
// The settings are filled by the import dialog, the flat interface or the korvalin command and kept by the
// table (CTable::GetImportSettings) so that a reload reads the file the same way; the source fields describe
// the last import (kind, file, date and time) and the counters what the last read met. The engine only stores
// this; the text reader in exchange/ fills and uses it. Threading: the table's thread. Copying is intended.

#include "platform/Text.h"

#include <cstdint>
#include <vector>

// Encodings of text files, as stored in the settings.
enum ETextEncoding : int32_t
{
    ENCODING_CODE_PAGE = 0, // 8-bit text in the code page of the settings
    ENCODING_UTF8 = 1,
    ENCODING_UTF16_BE = 2,
    ENCODING_UTF16_LE = 3,
    ENCODING_UTF32_BE = 4,
    ENCODING_UTF32_LE = 5,
};

// Kinds of data source a table can come from.
enum EDataSourceKind : int32_t
{
    SOURCE_NONE = 0,     // made by hand or by the program
    SOURCE_DATABASE = 1, // an ODBC / OLE DB source
    SOURCE_TEXT_FILE = 2,
};

// Code page the system uses for 8-bit text when nothing else is said; UTF-8 on this platform.
constexpr int32_t CODE_PAGE_UTF8 = 65001;

// What one read met; reset when a read starts.
struct CImportCounters
{
    long m_nCutValues = 0;                // cells cut at the length limit
    long m_nNullCharacters = 0;           // NUL characters (stored as U+0003)
    long m_nBars = 0;                     // '|' characters met
    long m_nMultipleValueCells = 0;       // cells that became lists of values
    long m_nControlCharacters = 0;        // other control characters kept in values
    long m_nAttributeCounter = 0;         // import index of the last attribute made (1, 2, ...)
    bool m_bCutValueReported = false;     // the over-long-value message was shown
    bool m_bQuoteReported = false;        // the stray-quote message was shown
    bool m_bExtraValueReported = false;   // the extra-values message was shown
    bool m_bMissingValueReported = false; // the missing-value message was shown
    bool m_bCancelled = false;            // the user cancelled the read
};

struct CImportSettings
{
    // ---- the settings of a read ----
    bool m_bAttributeNames = true;            // one line holds the attribute names
    int32_t m_nAttributeNameLine = 1;         // 1-based line of the names (when m_bAttributeNames)
    int32_t m_nFirstDataLine = 2;             // 1-based line of the first record
    int32_t m_nMaxRecords = -1;               // stop after this many records; -1 for all
    char16_t m_cDelimiter = u'\t';            // cell delimiter; 0 means the default (TAB)
    char16_t m_cQuote = u'"';                 // text qualifier; 0 for none
    int32_t m_nEncoding = ENCODING_CODE_PAGE; // an ETextEncoding
    int32_t m_nCodePage = CODE_PAGE_UTF8;     // code page for ENCODING_CODE_PAGE
    bool m_bBOMFound = false;                 // the encoding came from a byte-order mark
    bool m_bFixedWidth = false;               // cells are fixed-width columns; delimiter and quote are ignored
    std::vector<int32_t> m_vColumnWidths;     // widths of the fixed-width columns in characters, column order
    bool m_bReplaceBars = false;              // a '|' in a cell is stored as U+00A6 (no lists)
    bool m_bTransposed = true;                // true: one record per line; false: one attribute per line
    bool m_bSettingsGiven = false;            // the settings came from the dialog, a script or the stored description

    // ---- the data-source description ----
    int32_t m_nSourceKind = SOURCE_NONE; // an EDataSourceKind
    KString m_strImportFileName;         // the file read last (kind 2)
    KString m_strImportDate;             // date of the last read, "dd.mm.yyyy"
    KString m_strImportTime;             // time of the last read, "hh:mm:ss"
    long m_nImportedColumns = 0;         // columns imported so far (the last import index given)

    // ---- what the last read met ----
    CImportCounters m_counters;
};
