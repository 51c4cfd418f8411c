#pragma once
// CTable: one loaded table, the document of the system (its data side).
//
// The table owns its attributes (an ordered list, headers included; the first
// is the key attribute), its records (a record store and two record arrays:
// all records in table order and the shown records), its format registry and
// the allocator from which all bulk storage of values and records comes.
// Records never move once allocated; attribute ids and record numbers are
// never reused within the life of a table.
//
// Threading: one thread (the table window's, which is also the flat
// interface's). Long loops split themselves into tasks where the option
// UseMulticores allows it.

#include "engine/Allocator.h"
#include "engine/Attribute.h"
#include "engine/FormatRegistry.h"
#include "engine/Record.h"
#include "engine/RecordArray.h"
#include "engine/RecordStore.h"
#include "platform/Text.h"

#include <functional>
#include <memory>
#include <vector>

class COptionSet;

// Told of every attribute added to or deleted from a table (the hosting frame).
class CTableObserver
{
public:
    virtual ~CTableObserver() = default;
    virtual void OnAttributeAdded(CAttribute* attribute) = 0;
    virtual void OnAttributeDeleted(CAttribute* attribute) = 0;
};

// Answers of message boxes.
enum EMessageAnswer : int
{
    ANSWER_OK = 1,
    ANSWER_CANCEL = 2,
    ANSWER_YES = 6,
    ANSWER_NO = 7,
};

class CTable
{
public:
    // options: borrowed, shared by the tables of the process; null uses a set of defaults.
    explicit CTable(COptionSet* options = nullptr);
    ~CTable();
    CTable(const CTable&) = delete;
    CTable& operator=(const CTable&) = delete;

    COptionSet& GetOptions() const { return *m_pOptions; }
    bool UseMulticores() const;
    CTableAllocator& GetAllocator() { return m_allocator; }
    CFormatRegistry& GetFormatRegistry() { return m_formats; }
    const CFormatRegistry& GetFormatRegistry() const { return m_formats; }
    void SetObserver(CTableObserver* observer) { m_pObserver = observer; }
    const KString& GetTitle() const { return m_strTitle; }
    void SetTitle(KStringView title) { m_strTitle = title; }

    // ---- lifecycle ----
    // A new table of example data: "Kennung" and Attribut1..Attribut15, 8 records. n > 0 names it "Tabelle<n>.qtx".
    void CreateEmpty(int n);
    // Deletes every attribute and record.
    void ClearTable();
    // Brings derived state up to date after data were added: sorts values, recomputes flags.
    void AnalyzeTable();

    // ---- attributes ----
    // Makes an attribute at the end of the list. runningIndent may be null. Returns the attribute (owned by the table).
    CAttribute* CreateNewAttribute(AttributeType type, bool log, KStringView name, long* runningIndent,
                                   long expectedValues, bool makeHash);
    // -1 for a header, else the next attribute id (1, 2, 3, ...).
    int NextAttributeId(const CAttribute* attribute);
    long GetAttributeCount() const { return static_cast<long>(m_attributes.size()); }
    // Position in the list, -1 when not in it.
    long FindAttributeIndex(const CAttribute* attribute) const;
    // Attribute at a position, null when out of range.
    CAttribute* FindAttributeFromIndex(long index) const;
    // The index-th non-header attribute, null when out of range.
    CAttribute* FindSimpleAttributeFromIndex(long index) const;
    // Moves an attribute (alone, not its subtree) to a new position of the list.
    void MoveAttribute(CAttribute* attribute, long newIndex);
    // Removes and destroys an attribute; tells the observer.
    void DeleteAttribute(CAttribute* attribute);
    CAttribute* GetKeyAttribute() const { return m_attributes.empty() ? nullptr : m_attributes.front().get(); }
    void SetUniqueAttributeNames();
    // Makes a generated key attribute when the first attribute is not a key. Returns true when one was made.
    bool GenerateKeyIfNecessary(bool analyseFirst);

    // ---- finders (first match from the top, or null) ----
    CAttribute* FindAttribute(KStringView name, int* count = nullptr, bool includeHidden = false,
                              bool includeHeaders = false, bool includeMultiple = true, bool onlyMultiple = false) const;
    CAttribute* FindAttributeByUniqueName(KStringView name) const;
    CAttribute* FindAttributeByUuid(KStringView uuid, bool includeHidden = false) const;
    CAttribute* FindNameOrImportName(KStringView name) const;
    CAttribute* FindAttributeOrHeader(KStringView name) const;
    CAttribute* FindAttributePrefix(KStringView prefix) const;

    // ---- records ----
    // Takes a new record from the store, numbers it and appends it to all and shown records.
    CRecord* AddRecord();
    long GetRecordCount() const { return m_allRecords.GetSize(); }
    CRecord* GetRecord(long position) const { return m_allRecords.GetRecord(position); }
    CRecordArray& GetAllRecords() { return m_allRecords; }
    const CRecordArray& GetAllRecords() const { return m_allRecords; }
    CRecordArray& GetShownRecords() { return m_shownRecords; }
    // The display text of the record's value in the key attribute.
    KString GetRecordName(const CRecord* record) const;
    // The record whose key value has this index, null when none (uses a map made on demand).
    CRecord* FindRecordByKeyIndex(long index);
    void InvalidateValueIndexMap() { m_keyRecordMap.clear(); }
    // Drops every attribute's records-by-value cache.
    void InvalidateSortedRecords();

    // ---- order of texts ----
    // -1, 0 or 1: the order of two value texts in the table's string order.
    int CompareStringValues(const char16_t* a, const char16_t* b) const;

    // ---- checkpoints ----
    // Records the sizes of records, attributes and values so that appended data can be rolled back.
    void CreateCheckpoint();
    // Rolls back to the checkpoint: later records, attributes and values are dropped. Nothing without a checkpoint.
    void RestoreCheckpoint();
    void DeleteCheckpoint();
    bool HasCheckpoint() const { return m_pCheckpoint != nullptr; }

    // ---- messages ----
    // Shows a message to the user (through the handler when set, else it is only logged). Returns the answer.
    int ShowMessage(const KString& text, int defaultAnswer = ANSWER_OK);
    void SetMessageHandler(std::function<int(const KString&, int)> handler) { m_messageHandler = std::move(handler); }
    const std::vector<KString>& GetMessageLog() const { return m_messageLog; }
    void PushStatusMessage(const KString& text) { m_statusMessages.push_back(text); }
    void PopStatusMessage();
    const std::vector<KString>& GetStatusMessages() const { return m_statusMessages; }
    void ClearStatusMessages() { m_statusMessages.clear(); }

private:
    struct SCheckpoint;

    std::unique_ptr<COptionSet> m_pOwnOptions;          // used when no option set was given
    COptionSet* m_pOptions;                              // options in force, never null
    CTableAllocator m_allocator;                         // bulk memory of values and records
    CFormatRegistry m_formats;                           // known formats
    std::vector<std::unique_ptr<CAttribute>> m_attributes; // display order; [0] is the key
    CRecordStore m_recordStore;                          // owns every record
    CRecordArray m_allRecords;                           // live records in table order
    CRecordArray m_shownRecords;                         // records with the shown flag, same order
    int32_t m_nNextRecordNumber = 0;                     // number of the next record made
    int32_t m_nLastAttributeId = 0;                      // last id handed out
    int32_t m_nAttributeSequence = 0;                    // non-header attributes ever made
    long m_nNextImportIndex = 0;                         // next import column number handed to a clone
    KString m_strTitle;                                  // document name
    CTableObserver* m_pObserver = nullptr;               // borrowed; may be null
    std::vector<CRecord*> m_keyRecordMap;                // key value index -> record; empty when invalid
    std::unique_ptr<SCheckpoint> m_pCheckpoint;          // sizes at the checkpoint
    std::function<int(const KString&, int)> m_messageHandler;
    std::vector<KString> m_messageLog;                   // every message shown, in order
    std::vector<KString> m_statusMessages;               // stack of running operations
};

// Keeps a status message on the table's stack while an operation runs.
class CStatusMessageGuard
{
public:
    CStatusMessageGuard(CTable& table, const KString& text) : m_table(table) { m_table.PushStatusMessage(text); }
    ~CStatusMessageGuard() { m_table.PopStatusMessage(); }
    CStatusMessageGuard(const CStatusMessageGuard&) = delete;
    CStatusMessageGuard& operator=(const CStatusMessageGuard&) = delete;

private:
    CTable& m_table;
};
