#include "engine/Table.h"

#include "options/OptionSet.h"
#include "platform/Parallel.h"
#include "platform/Resources.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

struct CTable::SCheckpoint
{
    std::vector<CAttribute*> attributes; // the attribute list at the checkpoint
    int32_t lastAttributeId = 0;
    int32_t attributeSequence = 0;
};

CTable::CTable(COptionSet* options) : m_pOptions(options)
{
    if (!m_pOptions)
    {
        m_pOwnOptions = std::make_unique<COptionSet>();
        m_pOptions = m_pOwnOptions.get();
    }
    AddStandardFormats();
}

CTable::~CTable()
{
    // Companions point at attributes and records: they go first. Attributes hold storage from the allocator:
    // release them before it goes.
    m_companions.clear();
    m_attributes.clear();
}

bool CTable::UseMulticores() const
{
    return m_pOptions->m_bUseMulticores;
}

// ---- lifecycle ----

void CTable::CreateEmpty(int n)
{
    ClearTable();
    if (n > 0)
        m_strTitle = FormatResource(3000, {platform::ToKString(n)});
    long indent = 0;
    CAttribute* key = CreateNewAttribute(ATTR_NORMAL, false, LoadResourceString(2008), &indent, 400, true);
    std::vector<CAttribute*> others;
    const KString base = LoadResourceString(1036);
    for (int i = 1; i <= 15; ++i)
        others.push_back(CreateNewAttribute(ATTR_NORMAL, false, base + platform::ToKString(i), &indent, 400, true));
    for (int i = 1; i <= 8; ++i)
    {
        CRecord* record = AddRecord();
        key->AddValue(record, platform::ToKString(i));
        others[0]->AddValue(record, KString(1, static_cast<char16_t>(u'a' + i - 1)));
    }
    for (size_t i = 1; i < others.size(); ++i)
        others[i]->GetValues().SetAllUndefined();
    AnalyzeTable();
}

void CTable::ClearTable()
{
    DeleteCheckpoint();
    for (auto& attribute : m_attributes)
    {
        if (m_pObserver)
            m_pObserver->OnAttributeDeleted(attribute.get());
    }
    NotifyCompanions([](CTableCompanion& companion) { companion.OnTableCleared(); });
    m_attributes.clear();
    m_records.Clear();
    m_sort.Clear();
}

void CTable::AnalyzeTable()
{
    const bool guess = m_pOptions->m_bGuessFormatsAtImport;
    const bool check = m_pOptions->m_bCheckFormatsAtImport;
    // Looking for lists among the values, proposing formats from them, checking the values against the formats
    // and sorting them touch only the attribute itself: side by side. Taking a guessed format adds it to the
    // table's registry: one attribute after the other, in table order.
    std::vector<CAttribute*> attributes;
    for (auto& attribute : m_attributes)
    {
        if (!attribute->IsHeader())
            attributes.push_back(attribute.get());
    }
    const bool parallel = UseMulticores() && platform::GetProcessorCount() > 1 && attributes.size() > 1;
    auto eachIndex = [&](const std::function<void(size_t)>& body)
    {
        if (parallel)
            platform::ParallelInOrder(attributes.size(), body);
        else
            for (size_t i = 0; i < attributes.size(); ++i)
                body(i);
    };
    auto eachAttribute = [&](const std::function<void(CAttribute*)>& body)
    { eachIndex([&](size_t i) { body(attributes[i]); }); };
    // Every list added sets the flag, so only the attributes with it need looking through (their lists may be
    // gone).
    eachAttribute(
        [](CAttribute* attribute)
        {
            if (attribute->HasMultipleValues())
                attribute->RecomputeMultipleValueFlag();
        });
    if (guess)
    {
        std::vector<std::optional<std::vector<SFormatCandidate>>> proposals(attributes.size());
        eachIndex(
            [&](size_t i)
            {
                if (attributes[i]->GetFormat().NeedsFormatGuess())
                    proposals[i] = attributes[i]->GetFormat().ProposeFormats();
            });
        for (size_t i = 0; i < attributes.size(); ++i)
        {
            if (attributes[i]->GetFormat().NeedsFormatGuess())
                attributes[i]->GetFormat().ApplyFormatGuess(proposals[i]);
        }
    }
    std::optional<CStatusMessageGuard> status;
    if (parallel)
    {
        // The attributes with most values first: they take longest, and the small ones fill the gaps at the end.
        std::stable_sort(attributes.begin(), attributes.end(),
                         [](CAttribute* a, CAttribute* b) { return a->GetNrOfValues() > b->GetNrOfValues(); });
        status.emplace(*this, FormatResource(2716, {GetTitle()}));
    }
    eachAttribute(
        [&](CAttribute* attribute)
        {
            if (check)
                AnalyzeAttributeFormat(*attribute, false, true);
            attribute->RecomputeSortedValues();
        });
}

// ---- attributes ----

CAttribute* CTable::CreateNewAttribute(AttributeType type, bool log, KStringView name, long* runningIndent,
                                       long expectedValues, bool makeHash)
{
    (void)log; // the action log is written by the host's logging layer
    KString text(name);
    if (text.empty())
        text = u"???";
    long opened = 0;
    long closed = 0;
    bool headerOpen = false;
    int lines = 1;
    if (type == ATTR_FROM_NAME)
    {
        size_t pos = 0;
        while (pos < text.size() && text[pos] == u'>')
            ++opened, ++pos;
        while (pos < text.size() && text[pos] == u'<')
            ++closed, ++pos;
        if (opened > 0 && pos < text.size() && text[pos] == u'+')
        {
            headerOpen = true;
            ++pos;
        }
        if (text.size() - pos >= 3 && text[pos] == u'[' && text[pos + 2] == u']')
        {
            const char16_t digit = text[pos + 1];
            lines = (digit >= u'1' && digit <= u'9') ? digit - u'0' : 1;
            pos += 3;
        }
        text.erase(0, pos);
        if (text.empty())
            text = u"???";
        type = opened > 0 ? ATTR_HEADER : ATTR_NORMAL;
    }

    auto owned = std::make_unique<CAttribute>(this, type, text, expectedValues);
    CAttribute* attribute = owned.get();
    m_attributes.push_back(std::move(owned));
    attribute->SetNrOfLines(lines);
    attribute->SetHeaderOpen(headerOpen);
    if (runningIndent)
    {
        attribute->SetIndent(static_cast<int32_t>(*runningIndent));
        *runningIndent = std::max(0L, *runningIndent + opened - closed);
    }
    attribute->SetId(NextAttributeId(attribute));
    if (!attribute->IsHeader())
    {
        attribute->SetSequenceNumber(++m_nAttributeSequence);
        if (makeHash)
            attribute->GetValues().CreateValueHashTree(expectedValues);
    }
    if (m_pObserver)
        m_pObserver->OnAttributeAdded(attribute);
    return attribute;
}

int CTable::NextAttributeId(const CAttribute* attribute)
{
    if (attribute->IsHeader())
        return -1;
    return ++m_nLastAttributeId;
}

long CTable::FindAttributeIndex(const CAttribute* attribute) const
{
    for (size_t i = 0; i < m_attributes.size(); ++i)
    {
        if (m_attributes[i].get() == attribute)
            return static_cast<long>(i);
    }
    return -1;
}

CAttribute* CTable::FindAttributeFromIndex(long index) const
{
    if (index < 0 || index >= GetAttributeCount())
        return nullptr;
    return m_attributes[index].get();
}

CAttribute* CTable::FindSimpleAttributeFromIndex(long index) const
{
    for (const auto& attribute : m_attributes)
    {
        if (attribute->IsHeader())
            continue;
        if (index-- == 0)
            return attribute.get();
    }
    return nullptr;
}

void CTable::MoveAttribute(CAttribute* attribute, long newIndex)
{
    const long from = FindAttributeIndex(attribute);
    if (from < 0)
        return;
    newIndex = std::clamp(newIndex, 0L, GetAttributeCount() - 1);
    auto owned = std::move(m_attributes[from]);
    m_attributes.erase(m_attributes.begin() + from);
    m_attributes.insert(m_attributes.begin() + newIndex, std::move(owned));
    m_records.InvalidateValueIndexMap();
    if (m_pObserver && newIndex != from)
        m_pObserver->OnAttributeMoved(attribute, FindAttributeFromIndex(newIndex - 1));
}

void CTable::DeleteAttribute(CAttribute* attribute)
{
    const long index = FindAttributeIndex(attribute);
    if (index < 0)
        return;
    if (m_pObserver)
        m_pObserver->OnAttributeDeleted(attribute);
    if (index == 0)
        m_records.InvalidateValueIndexMap();
    ForgetAttribute(attribute);
    m_attributes.erase(m_attributes.begin() + index);
}

std::unique_ptr<CAttribute> CTable::DetachAttribute(CAttribute* attribute, long& index)
{
    index = FindAttributeIndex(attribute);
    if (index < 0)
        return nullptr;
    if (m_pObserver)
        m_pObserver->OnAttributeDeleted(attribute);
    if (index == 0)
        m_records.InvalidateValueIndexMap();
    ForgetAttribute(attribute);
    std::unique_ptr<CAttribute> owned = std::move(m_attributes[static_cast<size_t>(index)]);
    m_attributes.erase(m_attributes.begin() + index);
    return owned;
}

CAttribute* CTable::AttachAttribute(std::unique_ptr<CAttribute> attribute, long index)
{
    CAttribute* attached = attribute.get();
    index = std::clamp(index, 0L, GetAttributeCount());
    m_attributes.insert(m_attributes.begin() + index, std::move(attribute));
    if (index == 0)
        m_records.InvalidateValueIndexMap();
    attached->InvalidateSortedRecords();
    if (m_pObserver)
        m_pObserver->OnAttributeAdded(attached);
    return attached;
}

void CTable::SetUniqueAttributeNames()
{
    std::vector<std::pair<CAttribute*, long>> occurrences;
    std::vector<std::pair<KString, long>> seen; // name -> times met so far
    for (auto& attribute : m_attributes)
    {
        if (attribute->IsHidden())
            continue;
        auto it =
            std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == attribute->GetName(); });
        if (it == seen.end())
        {
            seen.emplace_back(attribute->GetName(), 1);
            occurrences.emplace_back(attribute.get(), 0);
        }
        else
        {
            occurrences.emplace_back(attribute.get(), it->second++);
        }
    }
    auto nameTaken = [this](const KString& candidate)
    {
        return std::any_of(m_attributes.begin(), m_attributes.end(),
                           [&](const auto& a) { return a->GetName() == candidate; });
    };
    for (auto& [attribute, k] : occurrences)
    {
        if (k == 0)
        {
            attribute->SetUniqueName(attribute->GetName());
            continue;
        }
        const KString suffix = u"_" + platform::ToKString(k);
        KString candidate = attribute->GetName() + suffix;
        while (nameTaken(candidate))
            candidate += suffix;
        attribute->SetUniqueName(candidate);
    }
}

bool CTable::GenerateKeyIfNecessary(bool analyseFirst)
{
    CAttribute* first = GetKeyAttribute();
    if (first)
    {
        if (analyseFirst && !first->IsHeader())
        {
            first->RecomputeMultipleValueFlag();
            first->RecomputeSortedValues();
        }
        if (first->IsKey())
            return false;
    }
    CStatusMessageGuard status(*this, LoadResourceString(1840));
    const KString base = LoadResourceString(2008);
    KString name = base;
    for (long counter = 1; FindNameOrImportName(name); ++counter)
        name = base + platform::ToKString(counter);

    const long records = GetRecordCount();
    CAttribute* key = CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, std::max(records, 1L), true);
    key->SetFormat(u"####");
    key->GetFormat().SetImportFormat(u"####");
    MoveAttribute(key, 0);
    for (long i = 0; i < records; ++i)
        key->AddValue(GetRecord(i), platform::ToKString(i + 1), static_cast<double>(i + 1));
    key->RecomputeMultipleValueFlag();
    key->RecomputeSortedValues();
    key->SetGeneratedKey(true);
    return true;
}

// ---- finders ----

CAttribute* CTable::FindAttribute(KStringView name, int* count, bool includeHidden, bool includeHeaders,
                                  bool includeMultiple, bool onlyMultiple) const
{
    CAttribute* found = nullptr;
    int matches = 0;
    for (const auto& attribute : m_attributes)
    {
        if (attribute->GetName() != name)
            continue;
        if ((attribute->IsHidden() && !includeHidden) || (attribute->IsHeader() && !includeHeaders))
            continue;
        if ((attribute->HasMultipleValues() && !includeMultiple) || (!attribute->HasMultipleValues() && onlyMultiple))
            continue;
        if (!found)
            found = attribute.get();
        ++matches;
    }
    if (count)
        *count = matches;
    return found;
}

CAttribute* CTable::FindAttributeByUniqueName(KStringView name) const
{
    for (const auto& attribute : m_attributes)
    {
        if (!attribute->IsHeader() && !attribute->IsHidden() && attribute->GetUniqueName() == name)
            return attribute.get();
    }
    return nullptr;
}

CAttribute* CTable::FindAttributeByUuid(KStringView uuid, bool includeHidden) const
{
    for (const auto& attribute : m_attributes)
    {
        if (attribute->GetUuid() == uuid && (includeHidden || !attribute->IsHidden()))
            return attribute.get();
    }
    return nullptr;
}

CAttribute* CTable::FindNameOrImportName(KStringView name) const
{
    for (const auto& attribute : m_attributes)
    {
        if (attribute->GetName() == name || attribute->GetImportName() == name)
            return attribute.get();
    }
    return nullptr;
}

CAttribute* CTable::FindAttributeOrHeader(KStringView name) const
{
    return FindAttribute(name, nullptr, false, true);
}

CAttribute* CTable::FindAttributePrefix(KStringView prefix) const
{
    for (const auto& attribute : m_attributes)
    {
        if (!attribute->IsHidden() && attribute->GetName().compare(0, prefix.size(), prefix) == 0)
            return attribute.get();
    }
    return nullptr;
}

// Drops every reference of the table's companions to an attribute that is going away.
void CTable::ForgetAttribute(CAttribute* attribute)
{
    m_sort.Forget(attribute);
    NotifyCompanions([attribute](CTableCompanion& companion) { companion.OnAttributeDeleted(attribute); });
}

// ---- checkpoints ----

void CTable::CreateCheckpoint()
{
    auto checkpoint = std::make_unique<SCheckpoint>();
    for (auto& attribute : m_attributes)
        checkpoint->attributes.push_back(attribute.get());
    checkpoint->lastAttributeId = m_nLastAttributeId;
    checkpoint->attributeSequence = m_nAttributeSequence;
    m_records.CreateCheckpoint();
    for (auto& attribute : m_attributes)
        attribute->CreateCheckpoint();
    m_pCheckpoint = std::move(checkpoint);
}

void CTable::RestoreCheckpoint()
{
    if (!m_pCheckpoint)
        return;
    const bool recordsRestored = m_records.RestoreCheckpoint(); // the counts of the flags are recounted
    const std::vector<CAttribute*>& kept = m_pCheckpoint->attributes;
    std::vector<std::unique_ptr<CAttribute>> restored;
    restored.reserve(kept.size());
    for (CAttribute* attribute : kept)
    {
        auto it =
            std::find_if(m_attributes.begin(), m_attributes.end(), [&](const auto& a) { return a.get() == attribute; });
        if (it == m_attributes.end())
            continue; // deleted since: cannot come back
        restored.push_back(std::move(*it));
        m_attributes.erase(it);
    }
    for (auto& attribute : m_attributes)
    {
        if (m_pObserver)
            m_pObserver->OnAttributeDeleted(attribute.get());
        ForgetAttribute(attribute.get());
    }
    m_attributes = std::move(restored);
    for (auto& attribute : m_attributes)
        attribute->RestoreCheckpoint(recordsRestored);
    m_nLastAttributeId = m_pCheckpoint->lastAttributeId;
    m_nAttributeSequence = m_pCheckpoint->attributeSequence;
    m_records.InvalidateValueIndexMap();
    NotifyCompanions([recordsRestored](CTableCompanion& companion) { companion.OnRecordsChanged(recordsRestored); });
    m_allocator.RefillReserve();
    ClearStatusMessages();
    DeleteCheckpoint();
}

void CTable::DeleteCheckpoint()
{
    if (!m_pCheckpoint)
        return;
    m_records.DeleteCheckpoint();
    for (auto& attribute : m_attributes)
        attribute->DeleteCheckpoint();
    m_pCheckpoint.reset();
}

// ---- companions ----

CTableCompanion* CTable::FindCompanion(const void* key) const
{
    for (const auto& companion : m_companions)
    {
        if (companion.first == key)
            return companion.second.get();
    }
    return nullptr;
}

CTableCompanion& CTable::AttachCompanion(const void* key, std::unique_ptr<CTableCompanion> companion)
{
    m_companions.emplace_back(key, std::move(companion));
    return *m_companions.back().second;
}

void CTable::NotifyValuesRebuilt(CAttribute* attribute)
{
    NotifyCompanions([attribute](CTableCompanion& companion) { companion.OnValuesRebuilt(attribute); });
}
