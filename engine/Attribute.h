#pragma once
// CAttribute: one attribute of a table, a column of the data shown as a line.
//
// An attribute owns the values of its column: the distinct values (a value
// store of texts and a CValueArray of entries), an optional hash from text to
// value index, and a CFieldArray with the value index of every record. Beside
// them it keeps its names (CAttributeNames), its row and evaluation settings
// (CAttributeSettings), its cached figures (CAttributeStatistics) and its
// records ordered by value (CRecordOrder). The attribute tree is given by
// indents in the table's flat attribute list. Its selection and restrictions
// are selection/'s (CAttributeSelection).
//
// Threading: the table's thread. Reading values and comparing value indices is
// safe from parallel tasks while nothing is added; sorting runs its own tasks.

#include "engine/AttributeNames.h"
#include "engine/AttributeSettings.h"
#include "engine/AttributeStatistics.h"
#include "engine/Export.h"
#include "engine/FieldArray.h"
#include "engine/FormatFamily.h"
#include "engine/ValueHashTable.h"
#include "engine/Record.h"
#include "engine/RecordOrder.h"
#include "engine/ValueArray.h"
#include "engine/ValueStore.h"
#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CRecordArray;
class CTable;

enum AttributeType : int32_t
{
    ATTR_NORMAL = 0,         // data from import or input
    ATTR_HEADER = 1,         // groups the attributes below it; no values
    ATTR_SUMMARY = 2,        // aggregates over groups of records
    ATTR_EXPRESSION = 3,     // formula
    ATTR_LINK = 4,           // link to another attribute; with a drill-down reference a drill-down attribute
    ATTR_CLASSIFICATION = 5, // value ranges
    ATTR_CASE = 6,           // case discrimination
    ATTR_FROM_NAME = 7,      // only as an argument: kind and tree position read from the name
};

// Longest text stored as a value, in UTF-16 units; longer texts become undefined.
constexpr long MAX_VALUE_LENGTH = 9999;
// Most parts a list of values may have.
constexpr int MAX_MULTIPLE_VALUES = 254;

class KORVALIN_CLASS CAttribute
{
public:
    // Made by CTable::CreateNewAttribute; values need the table's allocator.
    CAttribute(CTable* table, AttributeType type, KStringView name, long expectedValues);
    ~CAttribute();
    CAttribute(const CAttribute&) = delete;
    CAttribute& operator=(const CAttribute&) = delete;

    // ---- identity and text (the names and ids are kept by CAttributeNames) ----
    CTable* GetTable() const { return m_pTable; }
    // The name for display: "——" when empty; cut to maxLength-3 characters and "..." when longer (maxLength >= 10; 0 =
    // no limit).
    KString GetDisplayName(int maxLength = 0, bool replaceControls = false) const;

    // ---- kind and tree ----
    AttributeType GetAttributeType() const { return m_eType; }
    void SetAttributeType(AttributeType type) { m_eType = type; }
    bool IsHeader() const { return m_eType == ATTR_HEADER; }
    bool IsDerived() const { return m_eType > ATTR_HEADER; }
    bool IsKey() const;
    int32_t GetIndent() const { return m_nIndent; }
    void SetIndent(int32_t indent) { m_nIndent = indent; }

    CAttribute* GetDirectParent() const;
    bool HasChildren() const;
    // Following attributes at indent + 1 that are not headers.
    std::vector<CAttribute*> GetDirectChildren() const;
    // Every following attribute of the subtree.
    std::vector<CAttribute*> GetChildren() const;
    // The last attribute of the subtree at exactly indent + 1 (directOnly) or at any deeper level; null when none.
    CAttribute* GetLastChild(bool directOnly) const;
    std::vector<CAttribute*> GetParents() const;
    // The previous / next attribute in the list (skipping hidden ones when asked); null at the ends.
    CAttribute* GetPrevious(bool skipHidden) const;
    CAttribute* GetNext(bool skipHidden) const;
    // True when this attribute stands above other in the list.
    bool Above(const CAttribute* other) const;

    // ---- flags ----
    bool HasMultipleValues() const { return m_bMultipleValues; }
    bool HasUnclearFormat() const { return m_bUnclearFormat; }
    void SetUnclearFormat(bool unclear) { m_bUnclearFormat = unclear; }
    bool HasFormatWarning() const { return m_bFormatWarning; }
    void SetFormatWarning(bool warning) { m_bFormatWarning = warning; }

    // ---- format ----
    const KString& GetFormatString() const { return m_strFormat; }
    const KString& GetImportFormatString() const { return m_strImportFormat; }
    int32_t GetFormatId() const { return m_nFormatId; }
    // Sets the format string (registering it); false leaves the attribute text with its unclear-format flag set.
    bool SetFormat(KStringView format);
    void SetImportFormat(KStringView format) { m_strImportFormat = format; }
    bool IsNumeric() const { return m_nFormatId > 0; }
    // Reads the number of a text under this attribute's format; NaN when it cannot.
    double ReadNumber(KStringView text) const;
    // ReadNumber of one of this attribute's stored values (a text of its value store: CValueStore::Padded).
    double ReadStoredNumber(platform::CPaddedString text) const;

    // ---- value types and formats ----
    // The value type of the format; VALUE_TEXT for text and for a format id that no family reports.
    EValueType GetType() const;
    bool IsNumber() const;             // integer or floating number
    bool IsDate() const;               // a date without time
    bool IsTime() const;               // a time of day
    bool IsDateTime() const;           // any of date, time, date-time and time span
    bool IsTimeSpan() const;           // a duration
    bool IsDateOrDateTimeOnly() const; // a date or a date-time
    bool IsDateTimeOnly() const;       // a date-time
    // The id of the import format string; 0 for text, -1 when the registry does not know it.
    int GetImportFormatID() const;
    // Takes the format id from the format string again (after the registry's ids were re-sorted).
    void RecomputeFormatID();
    // Sets the format string and its id: "" and "String" make the attribute text. Returns 0 when no family
    // understands the string: the attribute becomes text with its unclear-format flag set, and the first time in a
    // table the user is told.
    int SetFormatString(KStringView format);
    // Sets the format under which the values were read; 0 when no family understands it (the string is kept).
    int SetImportFormatString(KStringView format);
    // True once the format was set or guessed from values; the table's analysis guesses only the others.
    bool IsFormatDecided() const { return m_bFormatDecided; }
    // Whether the table's analysis would guess the format: a stored attribute without lists whose format is
    // neither decided nor numeric.
    bool NeedsFormatGuess() const
    {
        return !IsHeader() && !IsDerived() && !m_bFormatDecided && !IsNumeric() && !m_bMultipleValues;
    }
    // Guesses the format from about 400 of the attribute's distinct values (or of the given texts): the best
    // candidate reading at least half of them, else text. Not for headers or attributes with lists.
    void GuessFormat(const std::vector<KString>* values = nullptr);
    // The two halves of GuessFormat. ProposeFormats only reads (the attribute's values and the table's format
    // families): the proposals of several attributes may be made side by side while nothing is added. No
    // proposal: there was nothing to go by. ApplyFormatGuess takes the best candidate and adds its format to
    // the table: one attribute at a time.
    std::optional<std::vector<SFormatCandidate>> ProposeFormats(const std::vector<KString>* values = nullptr) const;
    void ApplyFormatGuess(const std::optional<std::vector<SFormatCandidate>>& proposal);
    // 1 when every non-empty value (or given text) reads whole with the format, else 0 and the format-warning
    // flag is set. Headers, lists, derived and text attributes pass with the flag cleared.
    int CheckFormat(const std::vector<KString>* values = nullptr);
    // The number of a text with the format; used: characters read, ok: a value was read. NaN for text attributes
    // and empty text; when reading fails the format-warning flag is set and NaN returned.
    double ComputeNumericValue(KStringView text, size_t* used = nullptr, bool* ok = nullptr);
    // A number written with the format ("NAN", "INF" for non-finite numbers; "" when it cannot be written).
    KString GetAsDisplayString(double value) const;
    int GetLanguageID() const;
    // How many non-empty values (or given texts) do not read whole with the format; 0 for text attributes.
    long DetermineNoOfIllegalValues(const std::vector<KString>* values = nullptr) const;

    // ---- values (value storage) ----
    // Makes text the value of the record (record may be null: only the distinct value is made). Returns the stored
    // text (for a list its encoded entry), null for a header. Value texts hold no NUL unit (readers replace
    // them): stored texts end at their first.
    const char16_t* AddValue(CRecord* record, KStringView text);
    const char16_t* AddValue(CRecord* record, KStringView text, double number);
    const char16_t* AddValue(CRecord* record, KStringView text, bool hasNumber, double number);
    // As AddValue(records[i], texts[i]) for i = 0 .. count-1 in order, for bulk loops: the value hash is asked
    // for the values a few steps ahead, so that its memory arrives while the ones before are stored. padding:
    // as for AppendValues.
    void AddValues(CRecord* const* records, const KStringView* texts, size_t count,
                   platform::CTextPadding padding = {});
    // Bulk storing of a column whose values are mostly distinct (keys, amounts, times). After
    // BeginAppendingValues, AppendValues makes every text a value of its own without looking for an equal one,
    // so that no step waits for the memory of a hash; MergeEqualValues then makes the values distinct again.
    // Every lookup, new hash and sort merges first: until then only the count and the indices of the values
    // show the difference. AppendValues returns false, storing nothing, when a text is a list or longer than
    // the limit (AddValues takes those). padding: every text may be read this many units beyond its end and
    // holds no unit 0 (a bulk reader's cells, in a buffer with room after them), which lets texts be copied,
    // hashed and compared in whole steps.
    void BeginAppendingValues();
    bool AppendValues(CRecord* const* records, const KStringView* texts, size_t count,
                      platform::CTextPadding padding = {});
    // Keeps the first of each kind of the values appended (so that they stay in the order they came) and
    // renumbers the fields. Throws std::bad_alloc or COutOfMemoryException with the values and the fields
    // as they were.
    void MergeEqualValues();
    bool HasUnmergedValues() const { return m_nMergedValues >= 0; }

    long GetFieldValueIndex(const CRecord* record);
    const char16_t* GetFieldValue(const CRecord* record);
    // The text of the record's value as it is written: a list in its bar form, "" when undefined.
    KString GetFieldText(const CRecord* record);
    void SetFieldValue(const CRecord* record, long index);

    long GetNrOfValues() const { return m_pValueArray ? m_pValueArray->GetSize() : 0; }
    const char16_t* GetValue(long index) const { return m_pValueArray->GetValue(index); }
    // The text of a value as written (decodes lists).
    KString GetValueText(long index) const;
    double GetNumericValue(long index);
    const char16_t* FindValue(KStringView text);
    long FindValueIndex(KStringView text);
    CValueArray* GetValueArray() { return m_pValueArray.get(); }
    CFieldArray& GetFieldArray() { return m_fieldArray; }
    const CFieldArray& GetFieldArray() const { return m_fieldArray; }

    void CreateValueHashTree(long size);
    void DropValueHashTree();
    // Makes room for `records` records and `values` distinct values (value array and hash) at once, for bulk
    // reads that can tell: the arrays then need not grow step by step. Throws COutOfMemoryException.
    void Reserve(long records, long values);

    // Sorts the distinct values and renumbers every record's index to follow the order.
    void RecomputeSortedValues();
    bool AreValuesSorted() const { return m_pValueArray && m_pValueArray->IsSorted(); }
    // -1, 0 or 1 in the order of values of this attribute.
    int CompareValueIndices(long a, long b);
    // Sorts value indices in the order of values, in parallel tasks or with one sequential sort.
    void SortValueIndices(std::vector<uint32_t>& order, bool parallel);

    void ClearValues();
    void SetAllUndefined();
    void SetAllIdentical(KStringView text, double number);

    void CreateCheckpoint();
    void RestoreCheckpoint(bool restoreFields);
    void DeleteCheckpoint();

    // ---- statistics (kept by CAttributeStatistics) ----
    void RecomputeMultipleValueFlag();
    // Whether the qualified records hold more than one value / some value that is not undefined.
    bool HasMoreThanOneValue();
    bool HasNonEmptyValue();

    // ---- lists of values ----
    // True for a stored entry that is a list.
    static bool IsEncodedList(const char16_t* value) { return value != nullptr && value[0] == u'|'; }
    static int CountEncodedMultipleValues(const char16_t* value);
    static std::vector<const char16_t*> GetEncodedMultipleValues(const char16_t* value);
    // The bar form of an encoded list: "|a|b|"; "|" for the empty list; other values as they are.
    static KString DecodeMultipleValues(const char16_t* value);
    // Normalises a text beginning with a bar: empty parts dropped, repeats dropped, at most 254 parts.
    // Returns the number of parts (1 for a single value, 0 for empty); text becomes the bar form, the single part
    // or empty. More than 254 parts: text becomes "|" and 0 is returned.
    static int MakeMultipleValuesUnique(KString& text);

    size_t GetAllocatedBytes() const;
    // Raised whenever the stored values are rebuilt (cleared, rolled back), so that holders of value
    // pointers (restrictions) know to look their values up again.
    long GetValueGeneration() const { return m_nValueGeneration; }

    // ---- the parts ----
    CAttributeSettings& GetSettings() { return m_settings; }
    const CAttributeSettings& GetSettings() const { return m_settings; }
    CAttributeNames& GetNames() { return m_names; }
    const CAttributeNames& GetNames() const { return m_names; }
    CAttributeStatistics& GetStatistics() { return m_statistics; }
    CRecordOrder& GetRecordOrder() { return m_recordOrder; }

    // ---- forwards to the parts, under the names callers know (described in the parts' headers) ----
    double GetAbsoluteMinimum();
    double GetAbsoluteMaximum();
    double GetAbsoluteAverage();
    long GetAbsoluteMaxValueLength();
    double GetShownMinimum();
    double GetShownMaximum();
    double GetShownAverage();
    long GetShownMaxValueLength();
    int GetMaxMultipleValues();
    void RecomputeAbsoluteMinMaxAverageMaxLength();
    void RecomputeShownMinMax();
    const std::vector<CRecord*>& GetSortedRecords();
    const std::vector<CRecord*>& GetSortedShownRecords();
    void InvalidateStatistics() { m_statistics.Invalidate(); }
    void InvalidateSortedRecords() { m_recordOrder.Invalidate(); }
    // names and ids (CAttributeNames)
    const KString& GetName() const { return m_names.GetName(); }
    void SetName(KStringView name) { m_names.SetName(name); }
    const KString& GetUniqueName() const { return m_names.GetUniqueName(); }
    void SetUniqueName(KStringView name) { m_names.SetUniqueName(name); }
    const KString& GetUuid() const { return m_names.GetUuid(); }
    void SetUuid(KStringView uuid) { m_names.SetUuid(uuid); }
    const KString& GetImportName() const { return m_names.GetImportName(); }
    void SetImportName(KStringView name) { m_names.SetImportName(name); }
    const KString& GetImportNameOrName() const { return m_names.GetImportNameOrName(); }
    const KString& GetComment() const { return m_names.GetComment(); }
    void SetComment(KStringView comment) { m_names.SetComment(comment); }
    long GetImportIndex() const { return m_names.GetImportIndex(); }
    void SetImportIndex(long index) { m_names.SetImportIndex(index); }
    const KString& GetValueListTitle() const { return m_names.GetValueListTitle(); }
    void SetValueListTitle(KStringView title) { m_names.SetValueListTitle(title); }
    KString GetTag(KStringView name) const { return m_names.GetTag(name); }
    void SetTag(KStringView name, KStringView value) { m_names.SetTag(name, value); }
    const std::map<KString, KString, std::less<>>& GetTags() const { return m_names.GetTags(); }
    int32_t GetId() const { return m_names.GetId(); }
    void SetId(int32_t id) { m_names.SetId(id); }
    int32_t GetSequenceNumber() const { return m_names.GetSequenceNumber(); }
    void SetSequenceNumber(int32_t n) { m_names.SetSequenceNumber(n); }
    // the row, permissions and evaluation settings (CAttributeSettings)
    bool IsHeaderOpen() const { return m_settings.IsHeaderOpen(); }
    void SetHeaderOpen(bool open) { m_settings.SetHeaderOpen(open); }
    int32_t GetNrOfLines() const { return m_settings.GetNrOfLines(); }
    void SetNrOfLines(int32_t lines) { m_settings.SetNrOfLines(lines); }
    bool IsHidden() const { return m_settings.IsHidden(); }
    void SetHidden(bool hidden) { m_settings.SetHidden(hidden); }
    bool IsShown() const { return m_settings.IsShown(); }
    void SetShown(bool shown) { m_settings.SetShown(shown); }
    bool IsSuppressed() const { return m_settings.IsSuppressed(); }
    void SetSuppressed(bool suppressed) { m_settings.SetSuppressed(suppressed); }
    bool GetPermission(EPermission p) const { return m_settings.GetPermission(p); }
    void SetPermission(EPermission p, bool allowed) { m_settings.SetPermission(p, allowed); }
    bool IsGeneratedKey() const { return m_settings.IsGeneratedKey(); }
    void SetGeneratedKey(bool generated) { m_settings.SetGeneratedKey(generated); }
    int32_t GetEvalMode() const { return m_settings.GetEvalMode(); }
    void SetEvalMode(int32_t mode) { m_settings.SetEvalMode(mode); }
    bool IsRegardUndefinedAsZero() const { return m_settings.IsRegardUndefinedAsZero(); }
    void SetRegardUndefinedAsZero(bool on) { m_settings.SetRegardUndefinedAsZero(on); }
    bool IsSortByDefinitionOrder() const { return m_settings.IsSortByDefinitionOrder(); }
    void SetSortByDefinitionOrder(bool set) { m_settings.SetSortByDefinitionOrder(set); }
    bool IsReverseSort() const { return m_settings.IsReverseSort(); }
    void SetReverseSort(bool reverse) { m_settings.SetReverseSort(reverse); }
    // sorting records by the values (CRecordSort, in this attribute's direction; undefinedFirst != 0: a
    // multiple-valued attribute puts records without a value first)
    void Sort(CRecordArray* records, int undefinedFirst);
    // ---- end of the forwards ----

private:
    friend class CTable;
    // ---- value types and formats ----
    void ApplyFormat(KStringView format, int id);
    // Values (or given texts) that do not read whole with the format; stops at the first one when asked.
    long CountIllegalValues(const std::vector<KString>* values, bool stopAtFirst) const;
    // Returns the value index (-1 for a header). knownHash, when given, is CValueHashTable::HashKey(text).
    long AddValueInternal(CRecord* record, KStringView text, bool hasNumber, double number,
                          const uint32_t* knownHash = nullptr);
    // The index of a single (not list) value text, stored first when new (with computeNumber its number read
    // with the format, with hasNumber the number given). hash is CValueHashTable::HashKey(value).
    long FindOrAddSingleValue(KStringView value, uint32_t hash, bool computeNumber, bool hasNumber, double number,
                              platform::CTextPadding padding = {});
    long AddListValue(KStringView listText, int parts);
    // Appends a stored text to the value array, with its number read (computeNumber) or given (hasNumber) when
    // the attribute is numeric; the statistics go, and the array stays flagged sorted while values come in order.
    long AppendValueEntry(const char16_t* text, bool computeNumber, bool hasNumber, double number);
    // Reads the number of every value from its text again (in parallel tasks for many values); returns how
    // many texts, neither empty nor lists, read as none. Numbers of a text attribute are all NaN.
    long RecomputeDoubleValues() const;
    // The number of a value, all numbers read first when they are out of date.
    double ValueNumber(long index)
    {
        if (!m_pValueArray->DoublesValid() || !m_pValueArray->HasDoubles())
            RecomputeDoubleValues();
        return m_pValueArray->GetStoredDoubleValue(index);
    }
    void RepairMissingValue(const CRecord* record);

    CTable* m_pTable;                               // owning table, never null
    AttributeType m_eType;                          // kind of the attribute
    CAttributeNames m_names;                        // name, ids, import name, comment, tags
    int32_t m_nIndent = 0;                          // tree level from 0
    CAttributeSettings m_settings;                  // the row, permissions and evaluation settings
    bool m_bMultipleValues = false;        // some field holds a list
    bool m_bUnclearFormat = false;         // a format string given was not understood
    bool m_bFormatWarning = false;         // some value could not be read with the format
    bool m_bMissingValueReported = false;    // the missing-value message was shown once
    bool m_bResortedSinceCheckpoint = false; // values were renumbered after the checkpoint

    KString m_strFormat;           // format string, empty for text
    KString m_strImportFormat;     // format under which the values were read
    int32_t m_nFormatId = 0;       // id of m_strFormat in the table's registry
    bool m_bFormatDecided = false; // the format was set or guessed (see IsFormatDecided)

    std::unique_ptr<CValueStore> m_pValueStore; // texts of the distinct values
    std::unique_ptr<CValueArray> m_pValueArray; // distinct values in index order
    // The hash's keys: the texts of the values (of a list its bar form), whichever value array is current.
    class CValueKeys final : public CValueHashTable::IKeySource
    {
    public:
        explicit CValueKeys(const CAttribute& attribute) : m_attribute(attribute) {}
        const char16_t* GetKey(long index) const override;
        size_t GetReadableAfterKeys() const override { return CValueStore::s_nReadableAfterTexts; }

    private:
        const CAttribute& m_attribute;
    };
    CValueKeys m_valueKeys{*this};
    std::unique_ptr<CValueHashTable> m_pValueHash; // text -> index; made on demand, dropped by a resort
    CFieldArray m_fieldArray;               // value index + 1 per record number
    KString m_strLastValue;                 // text of the last added value, when it is not the stored one
    long m_nLastValueIndex = -1;            // its index, -1 when the cache is empty
    bool m_bLastValueStored = false;        // the last added text is the stored text of that index
    long m_nMergedValues = -1;              // while appended values wait for a merge: the (distinct) ones before
    std::vector<uint32_t> m_vHashesToMerge; // meanwhile the hash of every value, in index order

    CAttributeStatistics m_statistics; // cached figures of the values

    long m_nValueGeneration = 0; // raised when values are rebuilt

    CRecordOrder m_recordOrder; // records ordered by value
};
