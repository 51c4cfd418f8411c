#include "selection/SetAttributeCommand.h"

#include "engine/Set.h"
#include "engine/Table.h"

#include <cmath>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The order of values (undefined last; numbers of a numeric attribute before texts and by size; then the
// table's string order) between a value and a range bound.
int CompareWithBound(const CAttribute* attribute, const char16_t* text, double number, const KString& bound,
                     double boundNumber)
{
    const bool emptyText = text[0] == 0;
    if (bound.empty())
        return emptyText ? 0 : -1;
    if (emptyText)
        return 1;
    if (attribute->IsNumeric())
    {
        const bool nanText = std::isnan(number);
        const bool nanBound = std::isnan(boundNumber);
        if (nanText != nanBound)
            return nanText ? 1 : -1;
        if (!nanText && number != boundNumber)
            return number < boundNumber ? -1 : 1;
    }
    return attribute->GetTable()->CompareStringValues(text, bound.c_str());
}

// The first n characters of two texts are the same letters.
bool PrefixMatches(const CTable& table, const char16_t* a, const char16_t* b, int n)
{
    return table.CompareStrings(a, b, n, true) == 0;
}
} // namespace

CSetAttributeCommand::CSetAttributeCommand(CTable* table) : CCommand(table, u"CSetAttributeCommand") {}

CSetAttributeCommand::~CSetAttributeCommand() = default;

std::shared_ptr<CSetAttributeCommand> CSetAttributeCommand::MakeValueSet(CAttribute* attribute,
                                                                         std::unique_ptr<CSet> values, bool exclude,
                                                                         int prefixLength)
{
    auto restriction = std::make_shared<CSetAttributeCommand>(attribute->GetTable());
    restriction->m_eKind = RESTRICT_VALUES;
    restriction->m_pAttribute = attribute;
    restriction->m_bExclude = exclude;
    restriction->m_nPrefixLength = prefixLength < 0 ? 0 : prefixLength;
    restriction->m_pValues = values ? std::move(values) : std::make_unique<CSet>();
    for (long i = 0; i < restriction->m_pValues->GetCount(); ++i)
        restriction->m_valueTexts.push_back(
            CAttributeValues::DecodeMultipleValues(static_cast<const char16_t*>(restriction->m_pValues->GetAt(i))));
    restriction->m_nValueGeneration = attribute->GetValues().GetValueGeneration();
    return restriction;
}

std::shared_ptr<CSetAttributeCommand> CSetAttributeCommand::MakeRange(CAttribute* attribute,
                                                                      std::optional<KString> low,
                                                                      std::optional<KString> high, bool exclude)
{
    auto restriction = std::make_shared<CSetAttributeCommand>(attribute->GetTable());
    restriction->m_eKind = RESTRICT_RANGE;
    restriction->m_pAttribute = attribute;
    restriction->m_bExclude = exclude;
    restriction->m_low = std::move(low);
    restriction->m_high = std::move(high);
    return restriction;
}

std::shared_ptr<CSetAttributeCommand> CSetAttributeCommand::MakeDisjunction(
    std::vector<std::shared_ptr<CSetAttributeCommand>> members)
{
    CAttribute* first = members.empty() ? nullptr : members.front()->GetAttribute();
    auto restriction = std::make_shared<CSetAttributeCommand>(first ? first->GetTable() : nullptr);
    restriction->m_eKind = RESTRICT_DISJUNCTION;
    restriction->m_pAttribute = first;
    restriction->m_members = std::move(members);
    return restriction;
}

std::shared_ptr<CSetAttributeCommand> CSetAttributeCommand::MakeRelease(CAttribute* attribute)
{
    auto restriction = std::make_shared<CSetAttributeCommand>(attribute->GetTable());
    restriction->m_eKind = RESTRICT_RELEASE;
    restriction->m_pAttribute = attribute;
    return restriction;
}

const CSetAttributeCommand* CSetAttributeCommand::GetMemberFor(const CAttribute* attribute) const
{
    for (const auto& member : m_members)
    {
        if (member->m_pAttribute == attribute)
            return member.get();
    }
    return nullptr;
}

void CSetAttributeCommand::Intern()
{
    // The attribute's values were rebuilt: find the texts again, making values of those that are gone so
    // that a value added later under the same text still matches.
    auto interned = std::make_unique<CSet>(m_valueTexts.size());
    for (const KString& text : m_valueTexts)
    {
        const char16_t* value = m_pAttribute->FindValue(text);
        if (!value)
            value = m_pAttribute->AddValue(nullptr, text);
        interned->AddTail(value);
    }
    m_pValues = std::move(interned);
    m_nValueGeneration = m_pAttribute->GetValues().GetValueGeneration();
}

void CSetAttributeCommand::PrepareTest()
{
    switch (m_eKind)
    {
    case RESTRICT_RELEASE:
        break;
    case RESTRICT_VALUES:
        if (m_nValueGeneration != m_pAttribute->GetValues().GetValueGeneration())
            Intern();
        break;
    case RESTRICT_RANGE:
        m_dLow = m_low && m_pAttribute->IsNumeric() ? m_pAttribute->ReadNumber(*m_low) : kNaN;
        m_dHigh = m_high && m_pAttribute->IsNumeric() ? m_pAttribute->ReadNumber(*m_high) : kNaN;
        break;
    case RESTRICT_DISJUNCTION:
        for (auto& member : m_members)
            member->PrepareTest();
        break;
    }
}

bool CSetAttributeCommand::AcceptsSingleValue(const CAttribute* attribute, const char16_t* value) const
{
    if (m_eKind == RESTRICT_RANGE)
    {
        const double number = attribute->IsNumeric() ? attribute->ReadNumber(value) : kNaN;
        const bool aboveLow = !m_low || CompareWithBound(attribute, value, number, *m_low, m_dLow) >= 0;
        const bool belowHigh = !m_high || CompareWithBound(attribute, value, number, *m_high, m_dHigh) <= 0;
        if (m_bExclude)
            return (m_low && !aboveLow) || (m_high && !belowHigh);
        return aboveLow && belowHigh;
    }
    bool matches;
    if (m_nPrefixLength == 0)
    {
        matches = m_pValues->Find(value);
    }
    else
    {
        matches = false;
        const CTable& table = *attribute->GetTable();
        for (long i = 0; i < m_pValues->GetCount() && !matches; ++i)
            matches = PrefixMatches(table, static_cast<const char16_t*>(m_pValues->GetAt(i)), value, m_nPrefixLength);
    }
    return m_bExclude ? !matches : matches;
}

bool CSetAttributeCommand::AcceptsValue(const CAttribute* attribute, const char16_t* value) const
{
    if (m_eKind == RESTRICT_DISJUNCTION)
    {
        const CSetAttributeCommand* member = GetMemberFor(attribute);
        return !member || member->AcceptsValue(attribute, value);
    }
    if (!CAttribute::IsEncodedList(value))
        return AcceptsSingleValue(attribute, value);
    // A list passes when some part passes; under exclude only when every part passes.
    const std::vector<const char16_t*> parts = CAttribute::GetEncodedMultipleValues(value);
    if (m_bExclude)
    {
        for (const char16_t* part : parts)
        {
            if (!AcceptsSingleValue(attribute, part))
                return false;
        }
        return true;
    }
    for (const char16_t* part : parts)
    {
        if (AcceptsSingleValue(attribute, part))
            return true;
    }
    return false;
}

bool CSetAttributeCommand::AcceptsRecord(const CRecord* record) const
{
    if (m_eKind != RESTRICT_DISJUNCTION)
        return AcceptsValue(m_pAttribute, m_pAttribute->GetFieldValue(record));
    for (const auto& member : m_members)
    {
        if (member->AcceptsRecord(record))
            return true;
    }
    return false;
}

std::vector<uint8_t> CSetAttributeCommand::ComputeAcceptedValues(CAttribute* attribute) const
{
    const long n = attribute->GetNrOfValues();
    std::vector<uint8_t> accepted(static_cast<size_t>(n), 0);
    for (long i = 0; i < n; ++i)
        accepted[i] = AcceptsValue(attribute, attribute->GetValue(i)) ? 1 : 0;
    return accepted;
}
