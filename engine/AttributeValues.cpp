// CAttributeValues: adding values, lists of values, reading fields, the
// value hash, renumbering after a sort, clearing, checkpoints.

#include "engine/AttributeValues.h"

#include "engine/Attribute.h"
#include "engine/AttributeFormat.h"
#include "engine/Collation.h"
#include "engine/Table.h"
#include "platform/Error.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An encoded list in the value store, in UTF-16 units:
//   [0] '|'  [1] number of parts  [2..5] pointer to the list's bar-form text (the hash key)
//   then one pointer (4 units) per part, each to a stored distinct value of the same attribute.
constexpr long kPointerUnits = sizeof(const char16_t*) / sizeof(char16_t);
static_assert(kPointerUnits * sizeof(char16_t) == sizeof(const char16_t*));

// True when text is the whole of a stored text (which ends at its NUL).
bool IsStoredText(KStringView text, const char16_t* stored)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != stored[i])
            return false;
    }
    return stored[text.size()] == 0;
}

const char16_t* ReadPointer(const char16_t* at)
{
    const char16_t* pointer;
    std::memcpy(&pointer, at, sizeof pointer);
    return pointer;
}

void WritePointer(char16_t* at, const char16_t* pointer)
{
    std::memcpy(at, &pointer, sizeof pointer);
}

const char16_t* ListKey(const char16_t* encoded)
{
    return ReadPointer(encoded + 2);
}

const char16_t* ListPart(const char16_t* encoded, int part)
{
    return ReadPointer(encoded + 2 + kPointerUnits * (part + 1));
}

// Keys, counters and time stamps arrive in order: each key no shorter than the one before and, as long, not
// smaller by code units. Then equal keys stand side by side, and the first of each run is the first of its
// kind: gives each key its kind as CValueHashTable::NumberKinds does, in one pass, and returns the number of kinds.
// -1 when a key is out of that order (kinds then holds nothing of use). keys: texts of a value store.
long NumberKindsOfOrderedKeys(const CValueHashTable::IKeySource& keys, long count, int32_t* kinds)
{
    int32_t kind = -1;
    const char16_t* previous = nullptr;
    size_t previousLength = 0;
    for (long i = 0; i < count; ++i)
    {
        const char16_t* key = keys.GetKey(i);
        const size_t length = platform::MeasureText(CValueStore::Padded(key));
        // Of key against the one before: by length, then (as long) by code units.
        const int order = !previous ? 1
                          : length != previousLength
                              ? (length < previousLength ? -1 : 1)
                              : platform::CompareTexts(CValueStore::Padded(key), CValueStore::Padded(previous));
        if (order < 0)
            return -1;
        kind += order;
        kinds[i] = kind;
        previous = key;
        previousLength = length;
    }
    return kind + 1;
}
} // namespace

CAttributeValues::CAttributeValues(CAttribute& attribute, CAttributeFormat& format, CTable& table, long capacity)
    : m_attribute(attribute), m_format(format), m_table(table)
{
    CTableAllocator& allocator = table.GetAllocator();
    m_pValueStore = std::make_unique<CValueStore>(allocator);
    m_pValueArray = std::make_unique<CValueArray>(allocator, capacity);
    m_fieldArray.SetTable(&allocator);
}

CAttributeValues::~CAttributeValues() = default;

// Inline, so that the read path's calls of one value keep them in line.
inline bool CAttributeValues::IsHeader() const
{
    return m_attribute.IsHeader();
}

inline void CAttributeValues::InvalidateFigures()
{
    m_attribute.GetStatistics().InvalidateFigures();
    m_attribute.GetRecordOrder().Invalidate();
}

// ---- lists ----

int CAttributeValues::CountEncodedMultipleValues(const char16_t* value)
{
    return IsEncodedList(value) ? static_cast<int>(value[1]) : 1;
}

std::vector<const char16_t*> CAttributeValues::GetEncodedMultipleValues(const char16_t* value)
{
    std::vector<const char16_t*> parts;
    if (!IsEncodedList(value))
    {
        parts.push_back(value);
        return parts;
    }
    const int count = value[1];
    for (int i = 0; i < count; ++i)
        parts.push_back(ListPart(value, i));
    return parts;
}

KString CAttributeValues::DecodeMultipleValues(const char16_t* value)
{
    if (!IsEncodedList(value))
        return value ? KString(value) : KString();
    return KString(ListKey(value));
}

int CAttributeValues::MakeMultipleValuesUnique(KString& text)
{
    if (text.empty() || text[0] != u'|')
        return text.empty() ? 0 : 1;
    std::vector<KStringView> kept;
    const KString scanned = text + u'|';
    size_t start = 1;
    while (start < scanned.size())
    {
        const size_t end = scanned.find(u'|', start);
        if (end == KString::npos)
            break;
        if (end > start)
        {
            const KStringView part(scanned.data() + start, end - start);
            if (std::find(kept.begin(), kept.end(), part) == kept.end())
                kept.push_back(part);
        }
        start = end + 1;
    }
    if (kept.size() > static_cast<size_t>(MAX_MULTIPLE_VALUES))
    {
        text = u"|";
        return 0;
    }
    KString result;
    if (kept.size() == 1)
    {
        result = KString(kept.front());
    }
    else if (kept.size() > 1)
    {
        result = u"|";
        for (KStringView part : kept)
        {
            result += part;
            result += u'|';
        }
    }
    text = std::move(result);
    return static_cast<int>(kept.size());
}

// ---- adding values ----

const char16_t* CAttributeValues::AddValue(CRecord* record, KStringView text)
{
    const long index = AddValueInternal(record, text, false, kNaN);
    return index < 0 ? nullptr : m_pValueArray->GetValue(index);
}

const char16_t* CAttributeValues::AddValue(CRecord* record, KStringView text, double number)
{
    const long index = AddValueInternal(record, text, true, number);
    return index < 0 ? nullptr : m_pValueArray->GetValue(index);
}

const char16_t* CAttributeValues::AddValue(CRecord* record, KStringView text, bool hasNumber, double number)
{
    const long index = AddValueInternal(record, text, hasNumber, number);
    return index < 0 ? nullptr : m_pValueArray->GetValue(index);
}

void CAttributeValues::AddValues(CRecord* const* records, const KStringView* texts, size_t count,
                                 platform::CTextPadding padding)
{
    if (IsHeader() || count == 0)
        return;
    if (!m_pValueHash)
        CreateValueHashTree(0);
    InvalidateFigures();
    // Stores value i, whose hash is known.
    auto store = [&](size_t i, const uint32_t* hash)
    {
        const KStringView text = texts[i];
        if (!text.empty() && (text[0] == u'|' || static_cast<long>(text.size()) > MAX_VALUE_LENGTH))
        {
            AddValueInternal(records[i], text, false, kNaN, hash); // lists, cut texts
            return;
        }
        // A plain text: no last-value cache here, as the hash is known (and its slot fetched already).
        const long index = FindOrAddSingleValue(text, *hash, false, false, kNaN, padding);
        if (records[i])
            m_fieldArray.SetAt(records[i], index);
    };
    // A small hash (its slots and the texts of its values stay in the cache, a column of regions or
    // categories) gains nothing from fetching ahead: the values are looked up one after the other.
    constexpr size_t kSmallSlots = 4096;
    if (m_pValueHash->GetSlotCount() <= kSmallSlots)
    {
        for (size_t i = 0; i < count; ++i)
        {
            const uint32_t hash = CValueHashTable::HashKey(platform::CPaddedText(texts[i], padding));
            store(i, &hash);
        }
        return;
    }
    // A ring of the values to come, in three steps so that no step waits for memory: the slot of value
    // i + kSlotsAhead is fetched; for value i + kEntriesAhead, whose slot has arrived, the value entry of the
    // slot's index is fetched (when the slot holds its hash: likely the value itself); for value
    // i + kKeysAhead, whose entry has arrived, that value's text; then value i is stored.
    constexpr size_t kSlotsAhead = 16;
    constexpr size_t kEntriesAhead = 10;
    constexpr size_t kKeysAhead = 5;
    constexpr size_t kRing = 32;
    static_assert(kSlotsAhead < kRing && kEntriesAhead < kSlotsAhead && kKeysAhead < kEntriesAhead);
    uint32_t ring[kRing];
    long candidates[kRing];
    // The loop starts kSlotsAhead steps early, so that the first values pass through every step as well.
    for (size_t step = 0; step < count + kSlotsAhead; ++step)
    {
        if (step < count)
        {
            ring[step % kRing] = CValueHashTable::HashKey(platform::CPaddedText(texts[step], padding));
            m_pValueHash->Prefetch(ring[step % kRing]);
        }
        const size_t entry = step - (kSlotsAhead - kEntriesAhead); // wraps around below 0: then too large
        if (entry < count)
        {
            const long candidate = m_pValueHash->FirstCandidate(ring[entry % kRing]);
            candidates[entry % kRing] = candidate;
            if (candidate >= 0)
                m_pValueArray->Prefetch(candidate);
        }
        const size_t key = step - (kSlotsAhead - kKeysAhead);
        if (key < count && candidates[key % kRing] >= 0)
            m_pValueArray->PrefetchText(candidates[key % kRing]);
        const size_t i = step - kSlotsAhead;
        if (i < count)
            store(i, &ring[i % kRing]);
    }
}

void CAttributeValues::BeginAppendingValues()
{
    m_bAppendsRefused = false;
    StartAppending();
}

void CAttributeValues::StartAppending()
{
    if (IsHeader() || m_nMergedValues >= 0)
        return;
    m_nMergedValues = m_pValueArray->GetSize();
    // The merge takes the hashes of all values, those before the appended ones first.
    m_vHashesToMerge.resize(static_cast<size_t>(m_nMergedValues));
    for (long i = 0; i < m_nMergedValues; ++i)
    {
        const char16_t* key = m_valueKeys.GetKey(i);
        m_vHashesToMerge[static_cast<size_t>(i)] = CValueHashTable::HashKey(CValueStore::PaddedView(key));
    }
    m_appendedKinds.Clear();
    m_nKindsCounted = 0;
    DropValueHashTree(); // it would miss the values to come
}

bool CAttributeValues::AppendedValuesRepeat()
{
    const long n = m_pValueArray->GetSize();
    if (n - m_nKindsCounted < kKindsCheckStep)
        return false;
    for (long i = m_nKindsCounted; i < n; ++i)
        m_appendedKinds.Add(m_vHashesToMerge[static_cast<size_t>(i)]);
    m_nKindsCounted = n;
    return m_appendedKinds.Estimate() * 2 < static_cast<double>(n);
}

void CAttributeValues::CompactValueStore()
{
    if (IsHeader() || m_bMultipleValues) // a list's entry points at its parts' texts
        return;
    const long n = m_pValueArray->GetSize();
    // Texts before the checkpoint go first, so that the new store's checkpoint keeps exactly them.
    const long checkpoint =
        m_pValueStore->HasCheckpoint() ? std::clamp(m_pValueArray->GetCheckpointCount(), 0L, n) : -1;
    auto store = std::make_unique<CValueStore>(m_table.GetAllocator());
    std::vector<const char16_t*> texts(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i)
    {
        if (i == checkpoint)
            store->CreateCheckpoint();
        texts[static_cast<size_t>(i)] = store->AllocateValue(CValueStore::PaddedView(m_pValueArray->GetValue(i)));
    }
    if (checkpoint == n)
        store->CreateCheckpoint();
    // Nothing can fail from here on. Only a bulk store compacts, on values it stored itself, which nobody has
    // looked up yet (a lookup merges first): no selection points at them, and the table is not told (the
    // columns of a read are merged side by side). Holders that check the generation look up again.
    ++m_nValueGeneration;
    for (long i = 0; i < n; ++i)
        m_pValueArray->ReplaceText(i, texts[static_cast<size_t>(i)]);
    m_pValueStore = std::move(store);
    m_nLastValueIndex = -1;
}

bool CAttributeValues::AppendValues(CRecord* const* records, const KStringView* texts, size_t count,
                                    platform::CTextPadding padding)
{
    if (IsHeader())
        return true;
    if (m_bAppendsRefused)
        return false;
    for (size_t i = 0; i < count; ++i)
    {
        if (!texts[i].empty() && (texts[i][0] == u'|' || static_cast<long>(texts[i].size()) > MAX_VALUE_LENGTH))
            return false;
    }
    StartAppending();
    InvalidateFigures();
    m_nLastValueIndex = -1;
    const long size = m_pValueArray->GetSize();
    if (size + static_cast<long>(count) > m_pValueArray->GetCapacity())
        m_pValueArray->SetMaxSize(size + static_cast<long>(count), true);
    // A text attribute's values, no longer in order (after the first few): only their texts are kept.
    const bool numeric = m_format.IsNumeric();
    const bool plain = !numeric && m_pValueArray->AppendsUnsorted();
    for (size_t done = 0; done < count;)
    {
        const size_t end = std::min(count, done + static_cast<size_t>(kKindsCheckStep));
        for (size_t i = done; i < end; ++i)
        {
            const char16_t* stored = m_pValueStore->AllocateValue(platform::CPaddedText(texts[i], padding));
            const long index =
                plain ? m_pValueArray->AppendUnsorted(stored) : AppendValueEntry(stored, numeric, false, false, kNaN);
            m_vHashesToMerge.push_back(CValueHashTable::HashKey(platform::CPaddedText(texts[i], padding)));
            if (records[i])
                m_fieldArray.SetAt(records[i], index);
        }
        done = end;
        if (!AppendedValuesRepeat())
            continue;
        // Most values came before: every copy kept would cost more than looking the rest up. The copies go, and
        // the rest is looked up, now and in the calls to come.
        MergeEqualValues();
        m_bAppendsRefused = true;
        CreateValueHashTree(m_pValueArray->GetSize() * 3 / 2);
        AddValues(records + done, texts + done, count - done, padding);
        break;
    }
    m_attribute.InvalidateStatistics(); // once for all the values appended
    return true;
}

void CAttributeValues::MergeEqualValues()
{
    if (m_nMergedValues < 0)
        return;
    const long n = m_pValueArray->GetSize();
    std::vector<int32_t> newIndex(static_cast<size_t>(n));
    long kept = NumberKindsOfOrderedKeys(m_valueKeys, n, newIndex.data());
    if (kept < 0)
    {
        assert(m_vHashesToMerge.size() == static_cast<size_t>(n));
        kept = static_cast<long>(CValueHashTable::NumberKinds(
            m_valueKeys, m_pValueArray->GetValues(), m_vHashesToMerge.data(), m_vHashesToMerge.size(),
            m_table.UseMulticores() && platform::GetProcessorCount() > 1, newIndex.data()));
    }
    if (kept < n)
    {
        m_fieldArray.SetMaxSize(m_fieldArray.GetSize(), n, true);
        m_fieldArray.Renumber(newIndex.data(), n);
        m_pValueArray->KeepFirstOfEqualValues(newIndex.data());
        m_attribute.InvalidateStatistics();
        m_attribute.InvalidateSortedRecords();
        if (m_table.GetKeyAttribute() == &m_attribute)
            m_table.GetRecords().InvalidateValueIndexMap();
    }
    m_nMergedValues = -1;
    std::vector<uint32_t>().swap(m_vHashesToMerge);
    std::vector<int32_t>().swap(newIndex);
    m_nLastValueIndex = -1;
    // The texts of the copies dropped stay in the store until it is copied without them: worth it when they
    // were many.
    if ((n - kept) * 4 >= n)
    {
        try
        {
            CompactValueStore();
        }
        catch (const COutOfMemoryException&) // the values stay as they are, with the copies' texts beside
        {
            m_table.GetAllocator().RefillReserve();
        }
        catch (const std::bad_alloc&)
        {
        }
    }
}

long CAttributeValues::FindOrAddSingleValue(KStringView value, uint32_t hash, bool computeNumber, bool hasNumber,
                                            double number, platform::CTextPadding padding)
{
    long index = -1;
    if (m_pValueHash->Lookup(platform::CPaddedText(value, padding), hash, &index))
        return index;
    m_pValueHash->Reserve(1); // grown before the value exists, so that a failure leaves no stray value
    const char16_t* stored = m_pValueStore->AllocateValue(platform::CPaddedText(value, padding));
    index = AppendValueEntry(stored, m_format.IsNumeric(), computeNumber, hasNumber, number);
    m_pValueHash->Store(index, hash);
    m_attribute.InvalidateStatistics();
    return index;
}

long CAttributeValues::AddValueInternal(CRecord* record, KStringView text, bool hasNumber, double number,
                                        const uint32_t* knownHash)
{
    if (IsHeader())
        return -1;
    if (record)
    {
        InvalidateFigures();
    }
    if (m_nLastValueIndex >= 0 &&
        (m_bLastValueStored ? IsStoredText(text, m_pValueArray->GetValue(m_nLastValueIndex)) : text == m_strLastValue))
    {
        if (record)
            m_fieldArray.SetAt(record, m_nLastValueIndex);
        return m_nLastValueIndex;
    }
    m_nLastValueIndex = -1;

    KString normalised;
    KStringView value = text;
    int parts = 1;
    if (!value.empty() && value[0] == u'|')
    {
        normalised.assign(value);
        parts = MakeMultipleValuesUnique(normalised);
        value = normalised;
    }
    bool isList = !value.empty() && value[0] == u'|';
    if (static_cast<long>(value.size()) > MAX_VALUE_LENGTH)
    {
        value = isList ? KStringView(u"|") : KStringView();
        parts = 0;
    }
    if (isList)
    {
        m_bMultipleValues = true;
        m_format.SetUnclearFormat(false);
    }

    if (!m_pValueHash)
        CreateValueHashTree(0);
    long index = -1;
    const uint32_t hash = knownHash && value.data() == text.data() ? *knownHash : CValueHashTable::HashKey(value);
    if (!isList)
        index = FindOrAddSingleValue(value, hash, false, hasNumber, number);
    else if (!m_pValueHash->Lookup(value, hash, &index))
        index = AddListValue(value, parts);
    if (record)
        m_fieldArray.SetAt(record, index);
    // Texts stored as they came need no copy of their own (most of them: a copy each would cost a bulk read).
    m_bLastValueStored = value.data() == text.data();
    if (m_bLastValueStored)
        m_strLastValue.clear();
    else
        m_strLastValue.assign(text);
    m_nLastValueIndex = index;
    return index;
}

long CAttributeValues::AddListValue(KStringView listText, int parts)
{
    // Reserve the encoded entry first, then make each part a distinct value.
    char16_t* encoded = m_pValueStore->AllocateSpace(2 + kPointerUnits * (parts + 1) + 1);
    encoded[0] = u'|';
    encoded[1] = static_cast<char16_t>(parts);
    const bool numeric = m_format.IsNumeric();
    int part = 0;
    size_t start = 1;
    while (part < parts)
    {
        const size_t end = listText.find(u'|', start);
        const KStringView text = listText.substr(start, end - start);
        const long partIndex = FindOrAddSingleValue(text, CValueHashTable::HashKey(text), numeric, false, kNaN);
        WritePointer(encoded + 2 + kPointerUnits * (part + 1), m_pValueArray->GetValue(partIndex));
        start = end + 1;
        ++part;
    }
    m_pValueHash->Reserve(1);
    const char16_t* key = m_pValueStore->AllocateValue(listText);
    WritePointer(encoded + 2, key);
    const long index = AppendValueEntry(encoded, numeric, false, true, kNaN);
    m_pValueHash->Store(index);
    m_attribute.InvalidateStatistics();
    m_bMultipleValues = true;
    m_format.SetUnclearFormat(false);
    return index;
}

void CAttributeValues::RecomputeMultipleValueFlag()
{
    m_bMultipleValues = false;
    const long n = GetNrOfValues();
    for (long i = 0; i < n && !IsHeader(); ++i)
    {
        if (IsEncodedList(m_pValueArray->GetValue(i)))
        {
            m_bMultipleValues = true;
            break;
        }
    }
    m_attribute.GetStatistics().InvalidateMaxMultipleValues();
}

// ---- reading and writing fields ----

long CAttributeValues::GetFieldValueIndex(const CRecord* record)
{
    if (IsHeader())
        return -1;
    const long index = m_fieldArray.GetAt(record->m_nRecordNumber);
    if (index >= 0)
        return index;
    RepairMissingValue(record);
    return m_fieldArray.GetAt(record->m_nRecordNumber);
}

bool CAttributeValues::GetFieldValueIndices(const CRecord* const* records, size_t n, uint32_t* indices)
{
    assert(!IsHeader());
    bool repaired = false;
    // A repair stores the record's field, so each round has fewer missing; it may renumber, so gather again.
    while (m_fieldArray.GetAtBulk(records, n, indices) != 0)
    {
        for (size_t i = 0; i < n; ++i)
        {
            if (indices[i] == CFieldArray::s_nNoIndex)
                RepairMissingValue(records[i]);
        }
        repaired = true;
    }
    return repaired;
}

void CAttributeValues::RepairMissingValue(const CRecord* record)
{
    if (!m_bMissingValueReported)
    {
        m_bMissingValueReported = true;
        m_table.ShowMessage(3700, {m_attribute.GetDisplayName(50), platform::ToKString(record->m_nRecordNumber)});
    }
    AddValue(const_cast<CRecord*>(record), KStringView(), kNaN);
    if (!m_pValueArray->IsSorted())
        RecomputeSortedValues();
}

const char16_t* CAttributeValues::GetFieldValue(const CRecord* record)
{
    if (IsHeader())
        return u"";
    // The index first: repairing a missing value may re-sort and replace the value array.
    const long index = GetFieldValueIndex(record);
    return m_pValueArray->GetValue(index);
}

KString CAttributeValues::GetFieldText(const CRecord* record)
{
    return DecodeMultipleValues(GetFieldValue(record));
}

void CAttributeValues::SetFieldValue(const CRecord* record, long index)
{
    if (IsHeader())
        return;
    m_fieldArray.SetAt(record, index);
    m_attribute.InvalidateStatistics();
    m_attribute.InvalidateSortedRecords();
}

KString CAttributeValues::GetValueText(long index) const
{
    return DecodeMultipleValues(m_pValueArray->GetValue(index));
}

double CAttributeValues::GetNumericValue(long index)
{
    return m_format.IsNumeric() ? ValueNumber(index) : kNaN;
}

long CAttributeValues::AppendValueEntry(const char16_t* text, bool numeric, bool computeNumber, bool hasNumber,
                                        double number)
{
    bool known = false;
    if (numeric && computeNumber)
    {
        number = IsEncodedList(text) ? kNaN : m_format.ReadNumber(text);
        known = true;
    }
    else if (numeric && hasNumber)
    {
        known = true;
    }
    const long index = m_pValueArray->AddNewValue(text, numeric, known, number);
    if (m_pValueArray->IsSorted() && index > 0)
    {
        if (numeric && !m_pValueArray->DoublesValid() && !known)
            m_pValueArray->SetSorted(false);
        else if (CompareValueIndices(index - 1, index) > 0)
            m_pValueArray->SetSorted(false);
    }
    return index;
}

long CAttributeValues::RecomputeDoubleValues() const
{
    if (!m_format.IsNumeric())
    {
        m_pValueArray->SetDoublesValid();
        return 0;
    }
    double* numbers = m_pValueArray->GetDoublesForWriting();
    const char16_t* const* values = m_pValueArray->GetValues();
    const long n = m_pValueArray->GetSize();
    // Reads the numbers of [from, to); returns how many texts there read as none (a read never gives NaN).
    auto parse = [&](size_t from, size_t to)
    {
        const CAttributeFormat& format = m_format; // once, not for every value
        long unread = 0;
        for (size_t i = from; i < to; ++i)
        {
            const char16_t* text = values[i];
            const bool list = IsEncodedList(text);
            numbers[i] = list ? kNaN : format.ReadStoredNumber(CValueStore::Padded(text));
            unread += text[0] != 0 && !list && std::isnan(numbers[i]);
        }
        return unread;
    };
    std::atomic<long> unread = 0;
    if (n > 1000 && m_table.UseMulticores())
    {
        // Runs of neighbouring values per task: tasks taking every k-th value would write the same cache lines.
        platform::ParallelFor(0, static_cast<size_t>(n), 4096,
                              [&](size_t from, size_t to) { unread += parse(from, to); });
    }
    else
    {
        unread = parse(0, static_cast<size_t>(n));
    }
    m_pValueArray->SetDoublesValid();
    return unread;
}

long CAttributeValues::FindValueIndex(KStringView text)
{
    if (IsHeader())
        return -1;
    KString normalised;
    if (!text.empty() && text[0] == u'|')
    {
        normalised.assign(text);
        MakeMultipleValuesUnique(normalised);
        text = normalised;
    }
    if (!m_pValueHash)
        CreateValueHashTree(0);
    long index = -1;
    return m_pValueHash->Lookup(text, &index) ? index : -1;
}

const char16_t* CAttributeValues::FindValue(KStringView text)
{
    const long index = FindValueIndex(text);
    return index < 0 ? nullptr : m_pValueArray->GetValue(index);
}

// ---- the value hash ----

const char16_t* CAttributeValues::CValueKeys::GetKey(long index) const
{
    const char16_t* value = m_values.m_pValueArray->GetValue(index);
    return IsEncodedList(value) ? ListKey(value) : value;
}

void CAttributeValues::CreateValueHashTree(long size)
{
    if (IsHeader() || m_pValueHash)
        return;
    MergeEqualValues();
    const long count = m_pValueArray->GetSize();
    if (size <= 0)
        size = std::max(100L, count);
    m_pValueHash = std::make_unique<CValueHashTable>(m_table.GetAllocator(), m_valueKeys, static_cast<size_t>(size));
    for (long i = 0; i < count; ++i)
        m_pValueHash->Store(i);
    if (m_table.GetKeyAttribute() == &m_attribute)
        m_table.GetRecords().InvalidateValueIndexMap();
}

void CAttributeValues::Reserve(long records, long values)
{
    if (IsHeader())
        return;
    if (records > m_fieldArray.GetCapacity())
        m_fieldArray.SetMaxSize(records, 0, false);
    if (values <= m_pValueArray->GetSize())
        return;
    m_pValueArray->SetMaxSize(values, false);
    if (m_nMergedValues >= 0)
    {
        m_vHashesToMerge.reserve(static_cast<size_t>(values));
        return; // values are appended: the hash comes after the merge
    }
    if (!m_pValueHash)
        CreateValueHashTree(values);
    else
        m_pValueHash->Reserve(static_cast<size_t>(values - m_pValueHash->GetCount()));
}

void CAttributeValues::DropValueHashTree()
{
    m_pValueHash.reset();
}

// ---- order ----

int CAttributeValues::CompareValueIndices(long a, long b)
{
    if (a == b)
        return 0;
    const char16_t* va = m_pValueArray->GetValue(a);
    const char16_t* vb = m_pValueArray->GetValue(b);
    const bool emptyA = va[0] == 0;
    const bool emptyB = vb[0] == 0;
    if (emptyB)
        return emptyA ? 0 : -1;
    if (emptyA)
        return 1;
    // Definition order goes here: with the sort-by-definition flag set on a text attribute, the classes of a
    // classification (by class name) or the cases of a case discrimination (by result value, cases with the
    // exclusion mark passed over) are scanned in their defined order and whichever value is met first is the
    // smaller; when neither is met the steps below decide. It needs classifications and case discriminations.
    const bool listA = IsEncodedList(va);
    const bool listB = IsEncodedList(vb);
    if (listA || listB)
    {
        if (!listB)
            return 1;
        if (!listA)
            return -1;
        const int countA = va[1];
        const int countB = vb[1];
        if (countA == 0 || countB == 0)
            return countA == countB ? 0 : (countA == 0 ? 1 : -1);
        if (countA != countB)
            return countA < countB ? -1 : 1;
        for (int i = 0; i < countA; ++i)
        {
            const int c = m_table.CompareStringValues(ListPart(va, i), ListPart(vb, i));
            if (c != 0)
                return c;
        }
        return 0;
    }
    if (m_format.IsNumeric() && !m_bMultipleValues)
    {
        const double da = ValueNumber(a);
        const double db = ValueNumber(b);
        const bool nanA = std::isnan(da);
        const bool nanB = std::isnan(db);
        if (nanA != nanB)
            return nanA ? 1 : -1;
        if (!nanA && da != db)
            return da < db ? -1 : 1;
    }
    return m_table.CompareStringValues(va, vb);
}

void CAttributeValues::RecomputeSortedValues()
{
    if (IsHeader())
        return;
    MergeEqualValues();
    if (m_pValueArray->IsSorted())
        return;
    CStatusMessageGuard status(m_table, FormatResource(2716, {m_attribute.GetDisplayName(30)}));
    m_nLastValueIndex = -1;

    const long n = m_pValueArray->GetSize();
    std::vector<uint32_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0u);
    if (n >= 2)
        SortValueIndices(order, m_table.UseMulticores() && platform::GetProcessorCount() > 1);
    if (std::is_sorted(order.begin(), order.end()))
    {
        // The values arrived in order (keys, dates, counters): every index stays, nothing to rebuild.
        m_pValueArray->SetSorted(true);
        DropValueHashTree();
        return;
    }

    auto sorted = std::make_unique<CValueArray>(m_table.GetAllocator(), std::max(n, 1L));
    std::vector<int32_t> newIndex(static_cast<size_t>(n));
    sorted->TakeInOrder(*m_pValueArray, order.data(), newIndex.data());
    {
        CStatusMessageGuard replacing(m_table, LoadResourceString(2538));
        m_fieldArray.SetMaxSize(m_fieldArray.GetSize(), n, true);
        m_fieldArray.Renumber(newIndex.data(), n);
    }
    if (m_pValueArray->GetCheckpointCount() >= 0)
        m_bResortedSinceCheckpoint = true;
    m_pValueArray = std::move(sorted);
    m_pValueArray->SetSorted(true);
    DropValueHashTree();
    m_attribute.InvalidateSortedRecords();
    if (m_table.GetKeyAttribute() == &m_attribute)
        m_table.GetRecords().InvalidateValueIndexMap();
}

// ---- clearing ----

void CAttributeValues::ClearValues()
{
    if (IsHeader())
        return;
    m_table.NotifyValuesRebuilt(&m_attribute); // a selection may point at the values about to go
    ++m_nValueGeneration;
    m_pValueStore->FreeMemory();
    m_pValueArray->RemoveAll();
    m_nMergedValues = -1;
    m_vHashesToMerge.clear();
    DropValueHashTree();
    m_nLastValueIndex = -1;
    m_strLastValue.clear();
    m_fieldArray.RemoveAll();
    m_bMultipleValues = false;
    m_attribute.GetStatistics().InvalidateMaxMultipleValues();
    m_attribute.InvalidateStatistics();
    m_attribute.InvalidateSortedRecords();
}

void CAttributeValues::SetAllUndefined()
{
    if (IsHeader())
        return;
    ClearValues();
    const CRecordArray& all = m_table.GetAllRecords();
    const long n = all.GetSize();
    for (long i = 0; i < n; ++i)
        AddValue(all.GetRecord(i), KStringView(), kNaN);
}

void CAttributeValues::SetAllIdentical(KStringView text, double number)
{
    if (IsHeader())
        return;
    AddValue(nullptr, text, number);
    const long index = m_nLastValueIndex;
    const CRecordArray& all = m_table.GetAllRecords();
    const long n = all.GetSize();
    for (long i = 0; i < n; ++i)
        m_fieldArray.SetAt(all.GetRecord(i), index);
    m_attribute.InvalidateStatistics();
    m_attribute.InvalidateSortedRecords();
}

// ---- checkpoints ----

void CAttributeValues::CreateCheckpoint()
{
    if (IsHeader())
        return;
    m_pValueArray->CreateCheckpoint();
    m_pValueStore->CreateCheckpoint();
    m_fieldArray.CreateCheckpoint();
    m_bResortedSinceCheckpoint = false;
}

void CAttributeValues::RestoreCheckpoint(bool restoreFields)
{
    if (IsHeader())
        return;
    // After a resort the indices of the old values have moved, so the values
    // cannot be truncated; they stay (unused ones are harmless) and only the
    // fields are rolled back.
    if (!m_bResortedSinceCheckpoint && m_pValueArray->GetCheckpointCount() < m_pValueArray->GetSize())
    {
        m_table.NotifyValuesRebuilt(&m_attribute); // a selection may point at values about to go
        ++m_nValueGeneration;
        m_pValueArray->RestoreCheckpoint();
        m_pValueStore->RestoreCheckpoint();
    }
    if (restoreFields)
        m_fieldArray.RestoreCheckpoint();
    // A record of before the checkpoint may have been given a value made after it.
    const long count = m_pValueArray->GetSize();
    const long size = m_fieldArray.GetSize();
    for (long r = 0; r < size; ++r)
    {
        if (m_fieldArray.GetAt(r) >= count)
            m_fieldArray.SetUndefined(r);
    }
    if (m_nMergedValues >= m_pValueArray->GetSize())
    {
        m_nMergedValues = -1; // the appended values are gone
        m_vHashesToMerge.clear();
    }
    else if (m_nMergedValues >= 0)
    {
        m_vHashesToMerge.resize(static_cast<size_t>(m_pValueArray->GetSize()));
        // The count of distinct values saw some that are gone: it starts again from the values that stay.
        m_appendedKinds.Clear();
        m_nKindsCounted = 0;
    }
    DeleteCheckpoint();
    DropValueHashTree();
    m_nLastValueIndex = -1;
    m_strLastValue.clear();
    RecomputeMultipleValueFlag();
    m_attribute.InvalidateStatistics();
    m_attribute.InvalidateSortedRecords();
}

void CAttributeValues::DeleteCheckpoint()
{
    if (IsHeader())
        return;
    m_pValueArray->DeleteCheckpoint();
    m_pValueStore->DeleteCheckpoint();
    m_fieldArray.DeleteCheckpoint();
    m_bResortedSinceCheckpoint = false;
}

size_t CAttributeValues::GetAllocatedBytes() const
{
    return m_pValueStore->GetAllocatedBytes() + m_pValueArray->GetAllocatedBytes() + m_fieldArray.GetAllocatedMemory();
}
