// Storing a column of computed values in one step.

#include "engine/ValueBulk.h"

#include "engine/Attribute.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace
{

// The one-by-one path.
void AddOneByOne(CAttribute& attribute, CRecord* const* records, const KStringView* texts, const double* numbers,
                 size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        attribute.AddValue(records[i], texts[i], numbers != nullptr,
                           numbers ? numbers[i] : std::numeric_limits<double>::quiet_NaN());
    }
}

} // namespace

void AddComputedValues(CAttribute& attribute, CRecord* const* records, const KStringView* texts,
                       const double* numbers, size_t count)
{
    const bool appendable = std::none_of(texts, texts + count,
                                         [](KStringView text) {
                                             return !text.empty() && (text[0] == u'|' ||
                                                                      static_cast<long>(text.size()) > MAX_VALUE_LENGTH);
                                         });
    if (attribute.IsHeader() || attribute.GetNrOfValues() > 0 || count < 2 || !appendable)
    {
        AddOneByOne(attribute, records, texts, numbers, count);
        return;
    }
    // Room for all at once (as many values as texts until the merge), so that nothing grows step by step.
    attribute.GetValues().BeginAppendingValues();
    attribute.Reserve(static_cast<long>(count), static_cast<long>(count));
    const bool appended = attribute.GetValues().AppendValues(records, texts, count);
    assert(appended); // neither lists nor long texts
    (void)appended;
    attribute.GetValues().MergeEqualValues();
    CValueArray& values = *attribute.GetValueArray();
    const long size = values.GetSize();
    const CFieldArray& fields = attribute.GetFieldArray();
    if (attribute.IsNumeric() && !numbers)
    {
        // Numbers to be read from the texts: one by one, the second value already clears the sorted flag.
        values.SetSorted(size < 2);
        return;
    }
    if (attribute.IsNumeric())
    {
        // The values stand in the order of their first records: the next new index is the next value's.
        double* stored = values.GetDoublesForWriting();
        long next = 0;
        for (size_t i = 0; i < count && next < size; ++i)
        {
            if (fields.GetAt(records[i]->m_nRecordNumber) == next)
                stored[next++] = numbers[i];
        }
        assert(next == size); // every value came with a record
        if (next == size)
            values.SetDoublesValid();
    }
    // One by one, a value clears the flag when it sorts before the one added before it.
    bool sorted = true;
    for (long k = 1; k < size && sorted; ++k)
        sorted = attribute.CompareValueIndices(k - 1, k) <= 0;
    values.SetSorted(sorted);
}
