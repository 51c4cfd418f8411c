#pragma once
// CTableRecords: the records of one table: the store that owns them, the
// record array of all records in table order and that of the shown records,
// the number the next record gets, the counts of the qualified and the open
// flags (plain data of the records; selection/ evaluates the flags), the map
// from key values to records, and taking records out of the table and putting
// them back (what deleting and inserting records and undoing that build on).
//
// Owned by its CTable, by value, and bound to it for life (it reads the
// table's attributes and tells the table's companions); its storage comes from
// the table's allocator. Records never move once allocated and their numbers
// are never reused. Every change of the records forgets what was worked out
// from them: the companions' selection counts, the key map and every
// attribute's records ordered by value.
//
// Threading: the table's thread; the arrays may be read from parallel tasks
// while nothing is added.

#include "engine/Record.h"
#include "engine/RecordArray.h"
#include "engine/RecordStore.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CSet;
class CTable;
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
    // table: the owner, which outlives the part; allocator: the table's.
    CTableRecords(CTable& table, CTableAllocator& allocator);
    CTableRecords(const CTableRecords&) = delete;
    CTableRecords& operator=(const CTableRecords&) = delete;

    // Takes a new record from the store, numbers it, qualifies it and appends it to all and shown records.
    // Returns it (owned by the store).
    CRecord* AddRecord();
    // The same for count records at once (a bulk read), written to out in order. On failure the records made
    // so far are enlisted and the exception is passed on.
    void AddRecords(size_t count, CRecord** out);
    // The display text of the record's value in the key attribute; empty without a key or record.
    KString GetRecordName(const CRecord* record) const;
    // The record whose key value has this index, null when none (uses a map made on demand).
    CRecord* FindRecordByKeyIndex(long index);
    // Drops the map of FindRecordByKeyIndex (the key attribute or its values changed).
    void InvalidateValueIndexMap() { m_keyRecordMap.clear(); }
    // Drops every attribute's records-by-value cache.
    void InvalidateSortedRecords();

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
    // The shown records follow the shown flags again; every attribute's records-by-value cache goes.
    void RecomputeShown();
    long GetNumberQualified() const { return m_nQualified; }
    void SetNumberQualified(long count) { m_nQualified = count; }
    long GetNumberOpen() const { return m_nOpen; }

    // ---- taking records out and putting them back (RecordPlaces.cpp) ----
    // Takes the records of the set out of the table: out of both arrays, their flags cleared, the companions
    // told (OnRecordsDetached) and what was worked out from the records forgotten. The store keeps them with
    // their numbers and values, so AttachRecords can put them back. Returns their places in ascending
    // position. Does not throw.
    std::vector<SRecordPlace> DetachRecords(const CSet& records);
    // Puts detached records back at their places (ascending positions; a position past the end appends) with
    // their flags. An attribute that has no value for one of them (made while it was out) gets the undefined
    // value. Throws COutOfMemoryException, the table unchanged.
    void AttachRecords(const std::vector<SRecordPlace>& places);
    // Makes one new record for each entry of sources: a copy of the source record's values (the source must be
    // a record of this table), or every value undefined for null. positions[i] is where the i-th new record
    // stands in the all-records array afterwards (ascending). Returns their places (to detach and attach them
    // again). On failure the exception is passed on; the records made stay out of the table.
    std::vector<SRecordPlace> InsertNewRecords(const std::vector<CRecord*>& sources, const std::vector<long>& positions);

    // Drops every record.
    void Clear();
    void CreateCheckpoint();
    // Rolls back to the checkpoint; true when records were taken back (the counts are then recounted).
    bool RestoreCheckpoint();
    void DeleteCheckpoint();

private:
    // Out of both arrays and flags cleared, nothing else told; see DetachRecords.
    std::vector<SRecordPlace> Detach(const CSet& records);
    // Into both arrays with their flags, nothing else told. Throws COutOfMemoryException, arrays unchanged.
    void Attach(const std::vector<SRecordPlace>& places);
    // Takes count new records from the store, numbered on from the last, qualified and shown, into out; they
    // are in no array yet. Throws COutOfMemoryException.
    void MakeDetachedRecords(size_t count, std::vector<CRecord*>& out);
    // Tells the companions and forgets what was worked out from the records (key map, sorted records).
    void ForgetDerivedState();

    CTable& m_table;                // the owner
    CRecordStore m_recordStore;     // owns every record
    CRecordArray m_allRecords;      // live records in table order
    CRecordArray m_shownRecords;    // records with the shown flag, same order
    int32_t m_nNextRecordNumber = 0; // number of the next record made
    long m_nQualified = 0;          // records with the qualified flag
    long m_nOpen = 0;               // records with the open flag
    std::vector<CRecord*> m_keyRecordMap; // key value index -> record; empty when not made or dropped
};
