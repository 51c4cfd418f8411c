#pragma once
// CTableCompanion: state that a folder above the engine keeps for one table
// (selection/ keeps the selection, the qualification and the restrictions).
//
// The table owns its companions and destroys them before its attributes and
// records; it tells them of the changes that invalidate what they hold
// (pointers to attributes, records or stored values). The engine knows only
// this interface: a companion's folder attaches it under a key of its own and
// finds it again with CTable::FindCompanion.
//
// Threading: the table's thread; the table calls the hooks from its own
// operations, never from parallel tasks, and never per value or per record.

class CAttribute;
class CSet;

class CTableCompanion
{
public:
    virtual ~CTableCompanion() = default;
    // Every attribute and record is about to go (the table is cleared).
    virtual void OnTableCleared() {}
    // The attribute is about to be deleted (or dropped by a rollback).
    virtual void OnAttributeDeleted(CAttribute* attribute) {}
    // The attribute's stored values are about to be freed or rolled back: pointers to them go stale.
    virtual void OnValuesRebuilt(CAttribute* attribute) {}
    // Records were added (removed: records were taken away, so pointers to records may be stale).
    virtual void OnRecordsChanged(bool removed) {}
    // The records of the set were taken out of the table (CTableRecords::DetachRecords): they stay in the store and
    // may come back, but nothing may keep them as records of the table meanwhile.
    virtual void OnRecordsDetached(const CSet& records) {}
};
