// The fetch stage of the export's lines: where each cell's value is, then the value's text.

#include "engine/Attribute.h"
#include "engine/Record.h"
#include "engine/ValueArray.h"
#include "exchange/ExportLines.h"

#include <algorithm>
#include <cassert>

namespace exchange
{

void CLineWriter::Fetch(CRecord* const* records, size_t n)
{
    assert(n <= kBlock);
    // The lookups are independent of one another, so the memory system overlaps them. Two rounds over the
    // columns: where each value's text is, or its encoded text (fetched ahead), then the text itself.
    const size_t columns = m_columns.size();
    std::fill(m_vIndices.begin(), m_vIndices.end(), -1);
    std::fill(m_vValues.begin(), m_vValues.end(), nullptr);
    for (size_t k = 0; k < columns; ++k)
    {
        const SExportColumn& column = m_columns[k];
        if (!column.m_pAttribute || column.m_pAttribute->IsHeader())
            continue;
        const CFieldArray& fields = column.m_pAttribute->GetFieldArray();
        const std::string* encoded = column.m_vEncoded.empty() ? nullptr : column.m_vEncoded.data();
        const char16_t* const* texts = encoded ? nullptr : column.m_pAttribute->GetValueArray()->GetValues();
        uint32_t gathered[kBlock]; // the column's indices for the block, decoded in one loop for its width
        fields.GetAtBulk(records, n, gathered);
        for (size_t i = 0; i < n; ++i)
        {
            const long index = gathered[i] == CFieldArray::s_nNoIndex ? -1 : static_cast<long>(gathered[i]);
            m_vIndices[i * columns + k] = index;
            if (index >= 0)
                __builtin_prefetch(encoded ? static_cast<const void*>(encoded + index) : texts + index);
        }
    }
    for (size_t k = 0; k < columns; ++k)
    {
        const SExportColumn& column = m_columns[k];
        if (!column.m_pAttribute || column.m_pAttribute->IsHeader() || !column.m_vEncoded.empty())
            continue;
        for (size_t i = 0; i < n; ++i)
        {
            const long index = m_vIndices[i * columns + k];
            if (index >= 0)
            {
                const char16_t* value = column.m_pAttribute->GetValue(index);
                __builtin_prefetch(value);
                m_vValues[i * columns + k] = value;
            }
        }
    }
}

} // namespace exchange
