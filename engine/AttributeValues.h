#pragma once
// CAttributeValues: the value storage of one attribute: its distinct values (a
// CValueStore of texts and a CValueArray of entries with their numbers), the
// value hash from text to value index (made on demand), a CFieldArray with the
// value index of every record, the cache of the value added last, the state of
// values appended in bulk until they are merged, and the checkpoint of all of
// these. Lists of values are stored as encoded entries whose parts are values
// of the same attribute.
//
// Owned by its CAttribute, by value. It reads numbers through the attribute's
// format (CAttributeFormat), and uses only the public members of the attribute
// (its kind, its settings, and the statistics and record order it invalidates)
// and of the table (allocator, collation, records, notifications).
//
// Threading: the table's thread. Reading values and fields and comparing value
// indices is safe from parallel tasks while nothing is added; sorting runs its
// own tasks. The bulk paths (AddValues, AppendValues) and the readers of one
// value are the read path's core: what they call per value stays inline.

#include "engine/DistinctEstimate.h"
#include "engine/Export.h"
#include "engine/FieldArray.h"
#include "engine/Record.h"
#include "engine/ValueArray.h"
#include "engine/ValueHashTable.h"
#include "engine/ValueStore.h"
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <vector>

class CAttribute;
class CAttributeFormat;
class CTable;

class KORVALIN_CLASS CAttributeValues
{
public:
    // capacity: distinct values to make room for at first.
    CAttributeValues(CAttribute& attribute, CAttributeFormat& format, CTable& table, long capacity);
    ~CAttributeValues();
    CAttributeValues(const CAttributeValues&) = delete;
    CAttributeValues& operator=(const CAttributeValues&) = delete;

    // ---- adding values ----
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
    // the limit (AddValues takes those). It watches how many distinct values the appended ones hold: once
    // more than half of all values repeat an earlier one, it merges them, stores the rest of its texts as
    // AddValues does, and returns false from then on, until the next BeginAppendingValues (AddValues takes
    // those too). padding: every text may be read this many units beyond its end and holds no unit 0 (a bulk
    // reader's cells, in a buffer with room after them), which lets texts be copied, hashed and compared in
    // whole steps.
    void BeginAppendingValues();
    bool AppendValues(CRecord* const* records, const KStringView* texts, size_t count,
                      platform::CTextPadding padding = {});
    // Keeps the first of each kind of the values appended (so that they stay in the order they came) and
    // renumbers the fields. When a quarter or more of the values went, their texts are dropped from the value
    // store too (the stored texts of the values move, and the value generation goes up). Throws std::bad_alloc
    // or COutOfMemoryException with the values and the fields as they were. May run for several attributes
    // side by side: it tells the table nothing.
    void MergeEqualValues();
    bool HasUnmergedValues() const { return m_nMergedValues >= 0; }
    // Makes room for `records` records and `values` distinct values (value array and hash) at once, for bulk
    // reads that can tell: the arrays then need not grow step by step. Throws COutOfMemoryException.
    void Reserve(long records, long values);

    // ---- fields and values ----
    long GetFieldValueIndex(const CRecord* record);
    // GetFieldValueIndex of each of records[0 .. n-1] into indices, decoded in bulk; not for a header. Records
    // without a value index are repaired as GetFieldValueIndex does; returns true when that happened, which
    // may have renumbered the values (indices always follow the final numbering).
    bool GetFieldValueIndices(const CRecord* const* records, size_t n, uint32_t* indices);
    const char16_t* GetFieldValue(const CRecord* record);
    // The text of the record's value as it is written: a list in its bar form, "" when undefined.
    KString GetFieldText(const CRecord* record);
    void SetFieldValue(const CRecord* record, long index);

    long GetNrOfValues() const { return m_pValueArray ? m_pValueArray->GetSize() : 0; }
    const char16_t* GetValue(long index) const { return m_pValueArray->GetValue(index); }
    // The text of a value as written (decodes lists).
    KString GetValueText(long index) const;
    // The number of a value; NaN for text attributes.
    double GetNumericValue(long index);
    const char16_t* FindValue(KStringView text);
    long FindValueIndex(KStringView text);
    CValueArray* GetValueArray() { return m_pValueArray.get(); }
    const CValueArray* GetValueArray() const { return m_pValueArray.get(); }
    CFieldArray& GetFieldArray() { return m_fieldArray; }
    const CFieldArray& GetFieldArray() const { return m_fieldArray; }
    // True when some value is a list.
    bool HasMultipleValues() const { return m_bMultipleValues; }
    // Looks at the values again for lists (after values went).
    void RecomputeMultipleValueFlag();

    // ---- the value hash ----
    void CreateValueHashTree(long size);
    void DropValueHashTree();

    // ---- numbers and order ----
    // Reads the number of every value from its text again (in parallel tasks for many values); returns how
    // many texts, neither empty nor lists, read as none. Numbers of a text attribute are all NaN.
    long RecomputeDoubleValues() const;
    // The format changed: the numbers must be read again and the values sorted again.
    void InvalidateNumbersAndOrder()
    {
        m_pValueArray->InvalidateDoubleValues();
        m_pValueArray->SetSorted(false);
    }
    // Sorts the distinct values and renumbers every record's index to follow the order.
    void RecomputeSortedValues();
    bool AreValuesSorted() const { return m_pValueArray && m_pValueArray->IsSorted(); }
    // -1, 0 or 1 in the order of values of this attribute.
    int CompareValueIndices(long a, long b);
    // Sorts value indices in the order of values, in parallel tasks or with one sequential sort.
    void SortValueIndices(std::vector<uint32_t>& order, bool parallel);

    // ---- clearing ----
    void ClearValues();
    void SetAllUndefined();
    void SetAllIdentical(KStringView text, double number);

    // ---- checkpoints ----
    void CreateCheckpoint();
    void RestoreCheckpoint(bool restoreFields);
    void DeleteCheckpoint();

    size_t GetAllocatedBytes() const;
    // Raised whenever the stored values are rebuilt (cleared, rolled back), so that holders of value
    // pointers (restrictions) know to look their values up again.
    long GetValueGeneration() const { return m_nValueGeneration; }

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

private:
    // Both inline in AttributeValues.cpp, the one file that calls them.
    inline bool IsHeader() const;
    // Returns the value index (-1 for a header). knownHash, when given, is CValueHashTable::HashKey(text).
    long AddValueInternal(CRecord* record, KStringView text, bool hasNumber, double number,
                          const uint32_t* knownHash = nullptr);
    // The index of a single (not list) value text, stored first when new (with computeNumber its number read
    // with the format, with hasNumber the number given; the statistics go). hash is CValueHashTable::HashKey(value).
    long FindOrAddSingleValue(KStringView value, uint32_t hash, bool computeNumber, bool hasNumber, double number,
                              platform::CTextPadding padding = {});
    long AddListValue(KStringView listText, int parts);
    // Appends a stored text to the value array, with its number read (computeNumber) or given (hasNumber) when
    // the attribute is numeric (numeric: the format's IsNumeric, which a bulk loop asks once); the array stays
    // flagged sorted while values come in order. The caller invalidates the statistics (a bulk loop once for all).
    long AppendValueEntry(const char16_t* text, bool numeric, bool computeNumber, bool hasNumber, double number);
    // The number of a value, all numbers read first when they are out of date.
    double ValueNumber(long index)
    {
        if (!m_pValueArray->DoublesValid() || !m_pValueArray->HasDoubles())
            RecomputeDoubleValues();
        return m_pValueArray->GetStoredDoubleValue(index);
    }
    void RepairMissingValue(const CRecord* record);
    // BeginAppendingValues without clearing a refusal.
    void StartAppending();
    // Counts the hashes of the values appended since the last look, every kKindsCheckStep values: true when
    // more than half of all the values repeat an earlier one.
    bool AppendedValuesRepeat();
    static constexpr long kKindsCheckStep = 1L << 16;
    // Copies the texts of the values into a new store and frees the old one, with the texts no value holds any
    // more (after a merge). Not for lists, whose entries point at their parts. Throws COutOfMemoryException
    // with everything as it was.
    void CompactValueStore();
    // The statistics and the records ordered by value are out of date.
    inline void InvalidateFigures();

    CAttribute& m_attribute;    // the owner
    CAttributeFormat& m_format; // the owner's format: reads the numbers
    CTable& m_table;            // the owner's table

    std::unique_ptr<CValueStore> m_pValueStore; // texts of the distinct values
    std::unique_ptr<CValueArray> m_pValueArray; // distinct values in index order
    // The hash's keys: the texts of the values (of a list its bar form), whichever value array is current.
    class CValueKeys final : public CValueHashTable::IKeySource
    {
    public:
        explicit CValueKeys(const CAttributeValues& values) : m_values(values) {}
        const char16_t* GetKey(long index) const override;
        size_t GetReadableAfterKeys() const override { return CValueStore::s_nReadableAfterTexts; }

    private:
        const CAttributeValues& m_values;
    };
    CValueKeys m_valueKeys{*this};
    std::unique_ptr<CValueHashTable> m_pValueHash; // text -> index; made on demand, dropped by a resort
    CFieldArray m_fieldArray;                      // value index + 1 per record number
    KString m_strLastValue;                        // text of the last added value, when it is not the stored one
    long m_nLastValueIndex = -1;                   // its index, -1 when the cache is empty
    bool m_bLastValueStored = false;               // the last added text is the stored text of that index
    bool m_bMultipleValues = false;                // some field holds a list
    bool m_bMissingValueReported = false;          // the missing-value message was shown once
    bool m_bResortedSinceCheckpoint = false;       // values were renumbered after the checkpoint
    long m_nMergedValues = -1;                     // while appended values wait for a merge: the (distinct) ones before
    std::vector<uint32_t> m_vHashesToMerge;        // meanwhile the hash of every value, in index order
    CDistinctEstimate m_appendedKinds;             // the distinct ones among the first m_nKindsCounted of them
    long m_nKindsCounted = 0;
    bool m_bAppendsRefused = false;                // the appended values repeated: AppendValues refuses
    long m_nValueGeneration = 0;                   // raised when values are rebuilt
};
