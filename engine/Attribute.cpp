#include "engine/Attribute.h"

#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "platform/System.h"

#include <algorithm>

CAttribute::CAttribute(CTable* table, AttributeType type, KStringView name, long expectedValues)
    : m_pTable(table), m_eType(type), m_names(name, platform::NewUuid()), m_format(*this, *table),
      m_values(*this, m_format, *table, type == ATTR_HEADER ? 1 : std::max(expectedValues, 1L))
{
}

CAttribute::~CAttribute() = default;

void CAttribute::SetDefinition(std::unique_ptr<CAttributeDefinition> definition)
{
    m_pDefinition = std::move(definition);
}

std::vector<CAttribute*> CAttribute::GetReferencedAttributes() const
{
    std::vector<CAttribute*> referenced;
    if (m_pDefinition)
        m_pDefinition->GetReferencedAttributes(referenced);
    return referenced;
}

KString CAttribute::GetDisplayName(int maxLength, bool replaceControls) const
{
    if (GetName().empty())
        return u"\u2014\u2014";
    KString name = GetName();
    if (replaceControls)
    {
        for (char16_t& c : name)
        {
            if (c < 0x20)
                c = static_cast<char16_t>(0x2400 + c);
        }
    }
    if (maxLength > 0)
    {
        maxLength = std::max(maxLength, 10);
        if (static_cast<int>(name.size()) > maxLength)
            name = name.substr(0, maxLength - 3) + u"...";
    }
    return name;
}

bool CAttribute::IsKey() const
{
    // Needs the values; the check itself lives with the table, which knows the records.
    CAttribute* self = const_cast<CAttribute*>(this);
    CTable& table = *m_pTable;
    if (table.GetKeyAttribute() != this || m_eType != ATTR_NORMAL || HasMultipleValues())
        return false;
    const long records = table.GetRecordCount();
    if (self->GetNrOfValues() < records)
        return false;
    CStatusMessageGuard status(table, FormatResource(1300, {GetDisplayName(30)}));
    std::vector<bool> seen(static_cast<size_t>(self->GetNrOfValues()), false);
    const CRecordArray& all = table.GetAllRecords();
    for (long i = 0; i < records; ++i)
    {
        const long index = self->GetFieldValueIndex(all.GetRecord(i));
        if (index < 0 || seen[index])
            return false;
        seen[index] = true;
    }
    return true;
}

// ---- tree ----

CAttribute* CAttribute::GetDirectParent() const
{
    const long position = m_pTable->FindAttributeIndex(this);
    for (long i = position - 1; i >= 0; --i)
    {
        CAttribute* candidate = m_pTable->FindAttributeFromIndex(i);
        if (candidate->m_nIndent < m_nIndent)
            return candidate->IsHeader() && candidate->m_nIndent == m_nIndent - 1 ? candidate : nullptr;
    }
    return nullptr;
}

std::vector<CAttribute*> CAttribute::GetParents() const
{
    std::vector<CAttribute*> parents;
    for (CAttribute* parent = GetDirectParent(); parent; parent = parent->GetDirectParent())
        parents.push_back(parent);
    return parents;
}

bool CAttribute::HasChildren() const
{
    if (!IsHeader())
        return false;
    const CAttribute* next = m_pTable->FindAttributeFromIndex(m_pTable->FindAttributeIndex(this) + 1);
    return next && next->m_nIndent > m_nIndent;
}

std::vector<CAttribute*> CAttribute::GetChildren() const
{
    std::vector<CAttribute*> children;
    if (!IsHeader())
        return children;
    for (long i = m_pTable->FindAttributeIndex(this) + 1; i < m_pTable->GetAttributeCount(); ++i)
    {
        CAttribute* candidate = m_pTable->FindAttributeFromIndex(i);
        if (candidate->m_nIndent <= m_nIndent)
            break;
        children.push_back(candidate);
    }
    return children;
}

std::vector<CAttribute*> CAttribute::GetDirectChildren() const
{
    std::vector<CAttribute*> direct;
    for (CAttribute* child : GetChildren())
    {
        if (child->m_nIndent == m_nIndent + 1 && !child->IsHeader())
            direct.push_back(child);
    }
    return direct;
}

CAttribute* CAttribute::GetLastChild(bool directOnly) const
{
    CAttribute* last = nullptr;
    for (CAttribute* child : GetChildren())
    {
        if (!directOnly || child->m_nIndent == m_nIndent + 1)
            last = child;
    }
    return last;
}

CAttribute* CAttribute::GetPrevious(bool skipHidden) const
{
    for (long i = m_pTable->FindAttributeIndex(this) - 1; i >= 0; --i)
    {
        CAttribute* candidate = m_pTable->FindAttributeFromIndex(i);
        if (!skipHidden || !candidate->IsHidden())
            return candidate;
    }
    return nullptr;
}

CAttribute* CAttribute::GetNext(bool skipHidden) const
{
    for (long i = m_pTable->FindAttributeIndex(this) + 1; i < m_pTable->GetAttributeCount(); ++i)
    {
        CAttribute* candidate = m_pTable->FindAttributeFromIndex(i);
        if (!skipHidden || !candidate->IsHidden())
            return candidate;
    }
    return nullptr;
}

bool CAttribute::Above(const CAttribute* other) const
{
    return m_pTable->FindAttributeIndex(this) < m_pTable->FindAttributeIndex(other);
}
