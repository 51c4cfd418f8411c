// Storing a column of computed values in one step.

#include "engine/ValueBulk.h"

#include "engine/Attribute.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <vector>

namespace
{

// Records handed over at a time: the arrays of one piece stay small beside the column.
constexpr size_t kPieceRecords = 1 << 16;

bool Appendable(KStringView text)
{
    return text.empty() || (text[0] != u'|' && static_cast<long>(text.size()) <= MAX_VALUE_LENGTH);
}

// Calls body(from, to, texts, numbers) for each piece of the column in order, the piece filled in.
template <typename TBody>
void ForEachPiece(size_t count, bool withNumbers, const FComputedPiece& piece, TBody body)
{
    std::vector<KStringView> texts(std::min(count, kPieceRecords));
    std::vector<double> numbers(withNumbers ? texts.size() : 0);
    for (size_t from = 0; from < count; from += kPieceRecords)
    {
        const size_t to = std::min(count, from + kPieceRecords);
        piece(from, to, texts.data(), withNumbers ? numbers.data() : nullptr);
        if (!body(from, to, texts.data(), withNumbers ? numbers.data() : nullptr))
            return;
    }
}

} // namespace

void AddComputedValues(CAttribute& attribute, CRecord* const* records, const KStringView* texts,
                       const double* numbers, size_t count)
{
    AddComputedValues(attribute, records, count, numbers != nullptr,
                      [&](size_t from, size_t to, KStringView* pieceTexts, double* pieceNumbers)
                      {
                          std::copy(texts + from, texts + to, pieceTexts);
                          if (pieceNumbers)
                              std::copy(numbers + from, numbers + to, pieceNumbers);
                      });
}

void AddComputedValues(CAttribute& attribute, CRecord* const* records, size_t count, bool withNumbers,
                       const FComputedPiece& piece)
{
    bool appendable = true;
    ForEachPiece(count, false, piece,
                 [&](size_t from, size_t to, const KStringView* texts, const double*)
                 {
                     appendable = std::all_of(texts, texts + (to - from), Appendable);
                     return appendable;
                 });
    if (attribute.IsHeader() || attribute.GetNrOfValues() > 0 || count < 2 || !appendable)
    {
        // The one-by-one path.
        ForEachPiece(count, withNumbers, piece,
                     [&](size_t from, size_t to, const KStringView* texts, const double* numbers)
                     {
                         for (size_t i = from; i < to; ++i)
                         {
                             attribute.AddValue(records[i], texts[i - from], numbers != nullptr,
                                                numbers ? numbers[i - from] : std::numeric_limits<double>::quiet_NaN());
                         }
                         return true;
                     });
        return;
    }
    // Room for all at once (as many values as texts until the merge), so that nothing grows step by step. Values
    // that turn out to repeat are looked up from then on (AppendValues refuses the pieces after that).
    CAttributeValues& store = attribute.GetValues();
    store.BeginAppendingValues();
    attribute.Reserve(static_cast<long>(count), static_cast<long>(count));
    ForEachPiece(count, false, piece,
                 [&](size_t from, size_t to, const KStringView* texts, const double*)
                 {
                     if (!store.AppendValues(records + from, texts, to - from))
                         store.AddValues(records + from, texts, to - from);
                     return true;
                 });
    store.MergeEqualValues();
    CValueArray& values = *attribute.GetValueArray();
    const long size = values.GetSize();
    const CFieldArray& fields = attribute.GetFieldArray();
    if (attribute.IsNumeric() && !withNumbers)
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
        ForEachPiece(count, true, piece,
                     [&](size_t from, size_t to, const KStringView*, const double* numbers)
                     {
                         for (size_t i = from; i < to && next < size; ++i)
                         {
                             if (fields.GetAt(records[i]->m_nRecordNumber) == next)
                                 stored[next++] = numbers[i - from];
                         }
                         return next < size;
                     });
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
