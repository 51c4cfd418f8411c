#pragma once
// CTable: one loaded table, the document of the system (its data side).
//
// The table owns its attributes (an ordered list, headers included; the first
// is the key attribute), its records (CTableRecords), its formats and
// collation (CTableFormats), its messages (CTableMessages), the allocator from
// which all bulk storage of values and records comes, and the companions that
// other folders keep for it (CTableCompanion: the selection). Records never
// move once allocated; attribute ids and record numbers are never reused
// within the life of a table.
//
// Threading: one thread (the table window's, which is also the flat
// interface's). Long loops split themselves into tasks where the option
// UseMulticores allows it.

#include "engine/Allocator.h"
#include "engine/Attribute.h"
#include "engine/Export.h"
#include "engine/FormatRegistry.h"
#include "engine/ImportSettings.h"
#include "engine/Message.h"
#include "engine/Record.h"
#include "engine/RecordArray.h"
#include "engine/RecordStore.h"
#include "engine/TableCompanion.h"
#include "engine/TableFormats.h"
#include "engine/TableMessages.h"
#include "engine/TableRecords.h"
#include "engine/TableSort.h"
#include "options/TablePermissions.h"
#include "platform/Text.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CCollation;
class COptionSet;
class CSet;

// Told of every attribute added to, moved in or deleted from a table, and of the host events around actions
// (the hosting frame).
class KORVALIN_CLASS CTableObserver
{
public:
    virtual ~CTableObserver() = default;
    virtual void OnAttributeAdded(CAttribute* attribute) = 0;
    virtual void OnAttributeDeleted(CAttribute* attribute) = 0;
    // The attribute now stands directly below neighbour (null: it is the first attribute).
    virtual void OnAttributeMoved(CAttribute* attribute, CAttribute* neighbour) {}
    // A host event ("Command", "Undo" ...) before or after an action; non-zero before an action vetoes it.
    virtual int OnEvent(KStringView eventName, KStringView className, KStringView commandText, long parameter,
                        bool before)
    {
        return 0;
    }
};

class KORVALIN_CLASS CTable
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
    CFormatRegistry& GetFormatRegistry() { return m_formats.GetRegistry(); }
    const CFormatRegistry& GetFormatRegistry() const { return m_formats.GetRegistry(); }
    // How the table was read from a text file and where it came from (filled by the text reader).
    CImportSettings& GetImportSettings() { return m_importSettings; }
    const CImportSettings& GetImportSettings() const { return m_importSettings; }
    void SetObserver(CTableObserver* observer) { m_pObserver = observer; }
    CTableObserver* GetObserver() const { return m_pObserver; }
    const KString& GetTitle() const { return m_strTitle; }
    void SetTitle(KStringView title) { m_strTitle = title; }

    // ---- document state ----
    // Set by every change of data or definitions; cleared when the table is saved or read.
    bool IsModified() const { return m_bModified; }
    void SetModified(bool modified) { m_bModified = modified; }
    // The table's own permissions (stored in its file); the option set may withdraw them as well.
    CTablePermissions& GetPermissions() { return m_permissions; }
    const CTablePermissions& GetPermissions() const { return m_permissions; }
    // Write the table file in OEM or in partner form (OEM takes precedence).
    bool GetWriteOEMFormat() const { return m_bWriteOEMFormat; }
    void SetWriteOEMFormat(bool on) { m_bWriteOEMFormat = on; }
    bool GetWriteVendrathFormat() const { return m_bWriteVendrathFormat; }
    void SetWriteVendrathFormat(bool on) { m_bWriteVendrathFormat = on; }
    // The table file this table was derived from; empty for none.
    const KString& GetParentQtxFileName() const { return m_strParentQtxFileName; }
    void SetParentQtxFileName(KStringView name) { m_strParentQtxFileName = name; }

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
    // Moves an attribute (alone, not its subtree) to a new position of the list; tells the observer.
    void MoveAttribute(CAttribute* attribute, long newIndex);
    // Removes and destroys an attribute; tells the observer.
    void DeleteAttribute(CAttribute* attribute);
    // Takes an attribute out of the list without destroying it, as DeleteAttribute tells everyone (for a
    // command that undoes the attribute's definition). Returns it with its values (the caller owns it) and
    // its position in index; null when it is not in the list.
    std::unique_ptr<CAttribute> DetachAttribute(CAttribute* attribute, long& index);
    // Puts a detached attribute back at index (clamped to the list); tells the observer. Returns it.
    CAttribute* AttachAttribute(std::unique_ptr<CAttribute> attribute, long index);
    CAttribute* GetKeyAttribute() const { return m_attributes.empty() ? nullptr : m_attributes.front().get(); }
    void SetUniqueAttributeNames();
    // Makes a generated key attribute when the first attribute is not a key. Returns true when one was made.
    bool GenerateKeyIfNecessary(bool analyseFirst);

    // ---- finders (first match from the top, or null) ----
    CAttribute* FindAttribute(KStringView name, int* count = nullptr, bool includeHidden = false,
                              bool includeHeaders = false, bool includeMultiple = true,
                              bool onlyMultiple = false) const;
    CAttribute* FindAttributeByUniqueName(KStringView name) const;
    CAttribute* FindAttributeByUuid(KStringView uuid, bool includeHidden = false) const;
    CAttribute* FindNameOrImportName(KStringView name) const;
    CAttribute* FindAttributeOrHeader(KStringView name) const;
    CAttribute* FindAttributePrefix(KStringView prefix) const;

    // ---- companions (state other folders keep per table; see TableCompanion.h) ----
    // The companion attached under key, null when none.
    CTableCompanion* FindCompanion(const void* key) const;
    // Attaches a companion under key (which must be free); the table owns it. Returns it.
    CTableCompanion& AttachCompanion(const void* key, std::unique_ptr<CTableCompanion> companion);
    // Tells the companions that the attribute's stored values are about to be freed or rolled back.
    void NotifyValuesRebuilt(CAttribute* attribute);

    // ---- checkpoints ----
    // Records the sizes of records, attributes and values so that appended data can be rolled back.
    void CreateCheckpoint();
    // Rolls back to the checkpoint: later records, attributes and values are dropped. Nothing without a checkpoint.
    void RestoreCheckpoint();
    void DeleteCheckpoint();
    bool HasCheckpoint() const { return m_pCheckpoint != nullptr; }

    // ---- the parts ----
    // The records, their flags, the key map, and taking records out and putting them back.
    CTableRecords& GetRecords() { return m_records; }
    const CTableRecords& GetRecords() const { return m_records; }
    CTableFormats& GetFormats() { return m_formats; }
    const CTableFormats& GetFormats() const { return m_formats; }
    CTableMessages& GetMessages() { return m_messages; }
    const CTableMessages& GetMessages() const { return m_messages; }
    // The order of the records and the sorting by attributes.
    CTableSort& GetSortState() { return m_sort; }
    const CTableSort& GetSortState() const { return m_sort; }

    // ---- forwards to the parts, under the names callers know (described in the parts' headers) ----
    // formats and collation (CTableFormats)
    int GetFormatID(KStringView format) const;
    KString GetFormat(int id) const;
    int AddFormatIfNew(KStringView format, bool sort);
    void SortFormatsAndRecomputeIDs();
    void AddStandardFormats();
    int GetLanguageID() const;
    KString LargeIntegerString(int64_t value) const;
    bool ReportUnknownFormat(KStringView format, const CAttribute& attribute);
    void AnalyzeAttributeFormat(CAttribute& attribute, bool guess, bool check);
    void CheckAllFormats(bool guess, bool check);
    void RemoveFormatWarnings();
    bool TransformPossible(const std::vector<CAttribute*>& attributes) const;
    bool InterpretPossible(const std::vector<CAttribute*>& attributes) const;
    int CompareStringValues(const char16_t* a, const char16_t* b) const;
    int CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const;
    int CompareNumericValues(const char16_t* a, double da, const char16_t* b, double db) const;
    const CCollation& GetCollation() const;
    void PrepareCollation() const;
    int GetCollationLanguageID() const;
    void SortCharacterSet(int codePage, int languageId);
    KString GetLanguageAndSorting(int languageId) const;
    const char16_t* SkipEnumeration(const char16_t* value) const;
    KString GetPrefixString(const char16_t* value, int length) const;
    static int GetDefaultCodePage();
    static int GetDefaultCharSet();
    static int CodePageToCharSet(int codePage);
    static int CharSetToCodePage(int charSet);
    static int CodePageToComboBoxIndex(int codePage);
    static int ComboBoxIndexToCharSet(int index);
    int GetCodePage() const { return m_formats.GetCodePage(); }
    // records and their flags (CTableRecords)
    CRecord* AddRecord();
    void AddRecords(size_t count, CRecord** out);
    void InvalidateSortedRecords();
    void RecomputeShownRecords();
    long GetRecordCount() const { return m_records.GetCount(); }
    CRecord* GetRecord(long position) const { return m_records.GetRecord(position); }
    CRecordArray& GetAllRecords() { return m_records.GetAll(); }
    const CRecordArray& GetAllRecords() const { return m_records.GetAll(); }
    CRecordArray& GetShownRecords() { return m_records.GetShown(); }
    // Whether record is a record of this table's store (deleted ones included), for any pointer; cheap.
    bool ContainsRecord(const CRecord* record) const { return m_records.ContainsRecord(record); }
    long CountQualRecords();
    void QualAllRecords();
    void CloseAllRecords();
    void SetRecordOpen(CRecord* record, bool open);
    long GetNumberQualified() const { return m_records.GetNumberQualified(); }
    void SetNumberQualified(long count) { m_records.SetNumberQualified(count); }
    long GetNumberShown() const { return m_records.GetShown().GetSize(); }
    long GetNumberOpen() const { return m_records.GetNumberOpen(); }
    long CountQualifiedRecords() const { return m_records.GetNumberQualified(); }
    // the order of the records (CTableSort)
    CAttribute* GetPrimarySortAttribute() const { return m_sort.GetPrimarySortAttribute(); }
    std::vector<CAttribute*> GetPreviousSortAttributes() const { return m_sort.GetPreviousSortAttributes(); }
    // messages (CTableMessages)
    int ShowMessage(const SMessage& message);
    // The message of string resource id with %1, %2 ... filled from args.
    int ShowMessage(int id, std::initializer_list<KStringView> args, int type = MESSAGE_OK,
                    int defaultAnswer = ANSWER_OK);
    int ShowMessage(const KString& text, int defaultAnswer = ANSWER_OK);
    void SetMessageHandler(std::function<int(const SMessage&)> handler);
    void SetMessageHandler(std::function<int(const KString&, int)> handler);
    const std::vector<KString>& GetMessageLog() const;
    void PushStatusMessage(const KString& text);
    void PopStatusMessage();
    std::vector<KString> GetStatusMessages() const;
    void ClearStatusMessages();
    // ---- end of the forwards ----

private:
    friend class CTableRecords; // tells the companions of record changes
    struct SCheckpoint;
    void ForgetAttribute(CAttribute* attribute);
    // Tells the companions about a change.
    template <class Notice>
    void NotifyCompanions(const Notice& notice)
    {
        for (auto& companion : m_companions)
            notice(*companion.second);
    }

    std::unique_ptr<COptionSet> m_pOwnOptions;             // used when no option set was given
    COptionSet* m_pOptions;                                // options in force, never null
    CTableAllocator m_allocator;                           // bulk memory of values and records
    CTableFormats m_formats{*this};                        // formats and collation
    CImportSettings m_importSettings;                      // import settings and data-source description
    std::vector<std::unique_ptr<CAttribute>> m_attributes; // display order; [0] is the key
    CTableRecords m_records{*this, m_allocator};           // the records and their flags
    CTableSort m_sort{*this};                              // the attributes the records are sorted by
    int32_t m_nLastAttributeId = 0;                        // last id handed out
    int32_t m_nAttributeSequence = 0;                      // non-header attributes ever made
    long m_nNextImportIndex = 0;                           // next import column number handed to a clone
    KString m_strTitle;                                    // document name
    bool m_bModified = false;                              // changed since the last save or read
    CTablePermissions m_permissions;                       // the table's own permissions; all allowed at first
    bool m_bWriteOEMFormat = false;                        // write the table file in OEM form
    bool m_bWriteVendrathFormat = false;                   // write the table file in partner form
    KString m_strParentQtxFileName;                        // table file this one was derived from; may be empty
    CTableObserver* m_pObserver = nullptr;                 // borrowed; may be null
    std::unique_ptr<SCheckpoint> m_pCheckpoint;            // sizes at the checkpoint
    CTableMessages m_messages;                             // messages and status messages
    // Last, so that they go before the attributes and records they point at.
    std::vector<std::pair<const void*, std::unique_ptr<CTableCompanion>>> m_companions;
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

// Keeps a progress of the table's messages open while long work runs (CTableMessages::BeginProgress).
class CProgressGuard
{
public:
    CProgressGuard(CTable& table, const KString& text, double totalSteps) : m_messages(table.GetMessages())
    {
        m_messages.BeginProgress(text, totalSteps);
    }
    ~CProgressGuard() { m_messages.EndProgress(); }
    CProgressGuard(const CProgressGuard&) = delete;
    CProgressGuard& operator=(const CProgressGuard&) = delete;

private:
    CTableMessages& m_messages;
};
