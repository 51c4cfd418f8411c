#pragma once
// CTableRecords: the records of one table: the store that owns them, the
// record array of all records in table order and that of the shown records,
// the number the next record gets, and the counts of the qualified and the
// open flags (plain data of the records; selection/ evaluates the flags).
//
// Owned by its CTable, by value; its storage comes from the table's allocator.
// Records never move once allocated and their numbers are never reused.
// What depends on the records elsewhere (selection counts, records ordered by
// value, the key map) is the table's to forget after a change.
//
// Threading: the table's thread; the arrays may be read from parallel tasks
// while nothing is added.

#include "engine/Record.h"
#include "engine/RecordArray.h"
#include "engine/RecordStore.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CSet;
class CTableAllocator;

// Where a record stood in the all-records array and the flags it had there (qualified | shown << 1 | open << 2),
// so that a record taken out can be put back exactly.
struct SRecordPlace
{
    CRecord* m_pRecord = nullptr; // owned by the store; stays valid while it is out
    long m_nPosition = 0;         // its index in the all-records array, counted with the records put back before it
    uint8_t m_nFlags = 0;         // its flags then
};

class CTableRecords
{
public:
    explicit CTableRecords(CTableAllocator& allocator);
    CTableRecords(const CTableRecords&) = delete;
    CTableRecords& operator=(const CTableRecords&) = delete;

    // Takes a new record from the store, numbers it, qualifies it and appends it to all and shown records.
    CRecord* AddRecord();
    // The same for count records at once, written to out in order. On failure the records made so far are
    // enlisted and the exception is passed on.
    void AddRecords(size_t count, CRecord** out);

    long GetCount() const { return m_allRecords.GetSize(); }
    CRecord* GetRecord(long position) const { return m_allRecords.GetRecord(position); }
    CRecordArray& GetAll() { return m_allRecords; }
    const CRecordArray& GetAll() const { return m_allRecords; }
    CRecordArray& GetShown() { return m_shownRecords; }
    const CRecordArray& GetShown() const { return m_shownRecords; }
    // Whether record is a record of the store (deleted ones included), for any pointer; cheap.
    bool ContainsRecord(const CRecord* record) const { return m_recordStore.Contains(record); }

    // ---- flags ----
    // Counts the qualified flags anew and keeps the count.
    long CountQualified();
    void QualifyAll();
    void CloseAll();
    // Opens or closes a record's column (keeps the open count).
    void SetOpen(CRecord* record, bool open);
    // The shown records follow the shown flags again.
    void RecomputeShown();
    long GetNumberQualified() const { return m_nQualified; }
    void SetNumberQualified(long count) { m_nQualified = count; }
    long GetNumberOpen() const { return m_nOpen; }

    // ---- taking records out and putting them back (RecordPlaces.cpp) ----
    // Takes the records of the set out of both arrays (the store keeps them, numbers and values unchanged) and
    // clears their flags. Returns their places in ascending position. Does not throw.
    std::vector<SRecordPlace> Detach(const CSet& records);
    // Puts records back at their places (ascending positions; a position past the end appends), with the flags
    // they had. Throws COutOfMemoryException with both arrays unchanged.
    void Attach(const std::vector<SRecordPlace>& places);
    // Takes count new records from the store, numbered on from the last, qualified and shown, into out; they
    // are in no array yet (Attach puts them there). Throws COutOfMemoryException.
    void MakeDetachedRecords(size_t count, std::vector<CRecord*>& out);

    // Drops every record.
    void Clear();
    void CreateCheckpoint();
    // Rolls back to the checkpoint; true when records were taken back (the counts are then recounted).
    bool RestoreCheckpoint();
    void DeleteCheckpoint();

private:
    CRecordStore m_recordStore;     // owns every record
    CRecordArray m_allRecords;      // live records in table order
    CRecordArray m_shownRecords;    // records with the shown flag, same order
    int32_t m_nNextRecordNumber = 0; // number of the next record made
    long m_nQualified = 0;          // records with the qualified flag
    long m_nOpen = 0;               // records with the open flag
};
