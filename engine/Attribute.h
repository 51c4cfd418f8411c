#pragma once
// CAttribute: one attribute of a table, a column of the data shown as a line.
//
// An attribute is its kind and its place in the tree (given by indents in the
// table's flat attribute list) and a set of named parts, each with a header
// that says who owns it and from which threads it may be used: its names and
// ids (CAttributeNames), its row and evaluation settings (CAttributeSettings),
// its format (CAttributeFormat: format string and id, reading numbers,
// guessing and checking), its value storage (CAttributeValues: the distinct
// values, the value hash, the value index of every record, bulk appending,
// sorting, checkpoints), its cached figures (CAttributeStatistics) and its
// records ordered by value (CRecordOrder). The attribute owns them all by
// value; the format and the value storage keep a reference to it and call only
// its public members. The names callers know stay here as one-line forwards,
// in one marked block. Its selection and restrictions are selection/'s
// (CAttributeSelection).
//
// Threading: the table's thread. Reading values and comparing value indices is
// safe from parallel tasks while nothing is added; sorting runs its own tasks.

#include "engine/AttributeDefinition.h"
#include "engine/AttributeFormat.h"
#include "engine/AttributeNames.h"
#include "engine/AttributeSettings.h"
#include "engine/AttributeStatistics.h"
#include "engine/AttributeValues.h"
#include "engine/Export.h"
#include "engine/FormatFamily.h"
#include "engine/Record.h"
#include "engine/RecordOrder.h"
#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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

    // ---- figures over the qualified records ----
    // Whether the qualified records hold more than one value / some value that is not undefined.
    bool HasMoreThanOneValue();
    bool HasNonEmptyValue();

    // ---- the parts ----
    CAttributeSettings& GetSettings() { return m_settings; }
    const CAttributeSettings& GetSettings() const { return m_settings; }
    CAttributeNames& GetNames() { return m_names; }
    const CAttributeNames& GetNames() const { return m_names; }
    CAttributeStatistics& GetStatistics() { return m_statistics; }
    CRecordOrder& GetRecordOrder() { return m_recordOrder; }
    CAttributeValues& GetValues() { return m_values; }
    const CAttributeValues& GetValues() const { return m_values; }
    CAttributeFormat& GetFormat() { return m_format; }
    const CAttributeFormat& GetFormat() const { return m_format; }
    // The recompute state of a derived attribute (plain flags, kept by formula/'s recompute).
    CDerivedState& GetDerivedState() { return m_derived; }
    const CDerivedState& GetDerivedState() const { return m_derived; }
    // The definition of a derived attribute; null for other attributes (and derived ones without one).
    CAttributeDefinition* GetDefinition() const { return m_pDefinition.get(); }
    // Takes over definition (may be null); the old one is destroyed.
    void SetDefinition(std::unique_ptr<CAttributeDefinition> definition);
    // The attributes the definition reads, each once (empty without a definition).
    std::vector<CAttribute*> GetReferencedAttributes() const;

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
    // the value storage (CAttributeValues)
    const char16_t* AddValue(CRecord* record, KStringView text) { return m_values.AddValue(record, text); }
    const char16_t* AddValue(CRecord* record, KStringView text, double number)
    {
        return m_values.AddValue(record, text, number);
    }
    const char16_t* AddValue(CRecord* record, KStringView text, bool hasNumber, double number)
    {
        return m_values.AddValue(record, text, hasNumber, number);
    }
    long GetFieldValueIndex(const CRecord* record)
    {
        // Inline for the common case: a stored index; the values repair a missing one.
        if (!IsHeader())
        {
            const long index = m_values.GetFieldArray().GetAt(record->m_nRecordNumber);
            if (index >= 0)
                return index;
        }
        return m_values.GetFieldValueIndex(record);
    }
    const char16_t* GetFieldValue(const CRecord* record) { return m_values.GetFieldValue(record); }
    KString GetFieldText(const CRecord* record) { return m_values.GetFieldText(record); }
    long GetNrOfValues() const { return m_values.GetNrOfValues(); }
    const char16_t* GetValue(long index) const { return m_values.GetValue(index); }
    KString GetValueText(long index) const { return m_values.GetValueText(index); }
    double GetNumericValue(long index) { return m_values.GetNumericValue(index); }
    const char16_t* FindValue(KStringView text) { return m_values.FindValue(text); }
    long FindValueIndex(KStringView text) { return m_values.FindValueIndex(text); }
    CValueArray* GetValueArray() { return m_values.GetValueArray(); }
    CFieldArray& GetFieldArray() { return m_values.GetFieldArray(); }
    const CFieldArray& GetFieldArray() const { return m_values.GetFieldArray(); }
    bool HasMultipleValues() const { return m_values.HasMultipleValues(); }
    void RecomputeMultipleValueFlag() { m_values.RecomputeMultipleValueFlag(); }
    void Reserve(long records, long values) { m_values.Reserve(records, values); }
    void RecomputeSortedValues() { m_values.RecomputeSortedValues(); }
    bool AreValuesSorted() const { return m_values.AreValuesSorted(); }
    int CompareValueIndices(long a, long b) { return m_values.CompareValueIndices(a, b); }
    void ClearValues() { m_values.ClearValues(); }
    void CreateCheckpoint() { m_values.CreateCheckpoint(); }
    void RestoreCheckpoint(bool restoreFields) { m_values.RestoreCheckpoint(restoreFields); }
    void DeleteCheckpoint() { m_values.DeleteCheckpoint(); }
    size_t GetAllocatedBytes() const { return m_values.GetAllocatedBytes(); }
    static bool IsEncodedList(const char16_t* value) { return CAttributeValues::IsEncodedList(value); }
    static std::vector<const char16_t*> GetEncodedMultipleValues(const char16_t* value)
    {
        return CAttributeValues::GetEncodedMultipleValues(value);
    }
    // the format (CAttributeFormat)
    const KString& GetFormatString() const { return m_format.GetFormatString(); }
    int32_t GetFormatId() const { return m_format.GetFormatId(); }
    bool IsNumeric() const { return m_format.IsNumeric(); }
    EValueType GetType() const { return m_format.GetType(); }
    bool SetFormat(KStringView format) { return m_format.SetFormat(format); }
    int SetFormatString(KStringView format) { return m_format.SetFormatString(format); }
    bool HasUnclearFormat() const { return m_format.HasUnclearFormat(); }
    bool HasFormatWarning() const { return m_format.HasFormatWarning(); }
    double ReadNumber(KStringView text) const { return m_format.ReadNumber(text); }
    double ReadStoredNumber(platform::CPaddedString text) const { return m_format.ReadStoredNumber(text); }
    void GuessFormat(const std::vector<KString>* values = nullptr) { m_format.GuessFormat(values); }
    int CheckFormat(const std::vector<KString>* values = nullptr) { return m_format.CheckFormat(values); }
    long DetermineNoOfIllegalValues(const std::vector<KString>* values = nullptr) const
    {
        return m_format.DetermineNoOfIllegalValues(values);
    }
    int GetLanguageID() const { return m_format.GetLanguageID(); }
    // ---- end of the forwards ----

private:
    CTable* m_pTable;                  // owning table, never null
    AttributeType m_eType;             // kind of the attribute
    CAttributeNames m_names;           // name, ids, import name, comment, tags
    int32_t m_nIndent = 0;             // tree level from 0
    CAttributeSettings m_settings;     // the row, permissions and evaluation settings
    CAttributeFormat m_format;         // format string and id, reading numbers
    CAttributeValues m_values;         // distinct values, value hash and fields
    CAttributeStatistics m_statistics; // cached figures of the values
    CRecordOrder m_recordOrder;        // records ordered by value
    CDerivedState m_derived;           // recompute flags of a derived attribute
    std::unique_ptr<CAttributeDefinition> m_pDefinition; // how a derived attribute computes; may be null
};
