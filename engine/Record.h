#pragma once
// One record of a table (an "object" on screen): a 16-byte entry of the table's record store.

#include <cstdint>

// A record holds no values itself: each attribute finds the record's value index in its field array by
// m_nRecordNumber. Records are made only by CRecordStore and never move, so CRecord* stays valid for the
// life of the table. Threading: the flags are written on the table's thread; parallel tasks write only the
// records they were given.
struct CRecord
{
    CRecord* m_pLink;        // free chain word for algorithms that thread records together (sorting, joins)
    int32_t m_nRecordNumber; // unique in the table, from 0 in order of creation
    uint8_t m_bQualified;    // 1 when the record passes all restrictions
    uint8_t m_bShown;        // 1 when the record has a column (shown but not qualified: refused)
    uint8_t m_bOpen;         // 1 when the record's column is expanded in the compressed table
};

static_assert(sizeof(CRecord) == 16, "records are packed 20000 to a 320000-byte block");
