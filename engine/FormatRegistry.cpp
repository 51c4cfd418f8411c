#include "engine/FormatRegistry.h"

#include "engine/DateFormat.h"
#include "engine/Languages.h"
#include "engine/NumberFormat.h"
#include "engine/ValueStore.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr size_t kMaxCandidateLength = 50;

bool HasDigit(KStringView text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

const char16_t* GetValueTypeName(int type)
{
    switch (type)
    {
    case VALUE_INTEGER:
        return u"INTEGER";
    case VALUE_DOUBLE:
        return u"DOUBLE";
    case VALUE_DATE:
        return u"DATE";
    case VALUE_TIME:
        return u"TIME";
    case VALUE_DATETIME:
        return u"DATETIME";
    case VALUE_TIMESPAN:
        return u"TIMESPAN";
    default:
        return u"STRING";
    }
}

CFormatRegistry::CFormatRegistry()
{
    m_families.push_back(std::make_unique<DF_StringFormat>());
    m_families.push_back(std::make_unique<DF_NumberFormat>());
    for (const CLanguage* language : CLanguage::GetLanguages())
        m_families.push_back(std::make_unique<DF_DateFormat>(*language));
    m_entries.push_back({KString(), m_families[0].get(), 0, false});
    SetLanguage(1033);
}

CFormatRegistry::~CFormatRegistry() = default;

// ---- language ----

DF_GenericFormat* CFormatRegistry::FindFamily(const CLanguage& language) const
{
    for (const auto& family : m_families)
    {
        if (family->GetLanguage() == &language)
            return family.get();
    }
    return nullptr;
}

void CFormatRegistry::SetLanguage(int languageId)
{
    const CLanguage& language = CLanguage::GetLanguageOrEnglish(languageId);
    m_nLanguageId = language.GetLanguageId();
    const CLanguage& english = CLanguage::GetLanguageOrEnglish(1033);
    // Keep the fixed families and the order of the others; English, then the table's language go last.
    auto moveToEnd = [this](DF_GenericFormat* family)
    {
        auto it = std::find_if(m_families.begin(), m_families.end(), [&](const auto& f) { return f.get() == family; });
        auto owned = std::move(*it);
        m_families.erase(it);
        m_families.push_back(std::move(owned));
    };
    std::stable_sort(m_families.begin() + 2, m_families.end(),
                     [](const auto& a, const auto& b)
                     {
                         const auto& list = CLanguage::GetLanguages();
                         return std::find(list.begin(), list.end(), a->GetLanguage()) <
                                std::find(list.begin(), list.end(), b->GetLanguage());
                     });
    moveToEnd(FindFamily(english));
    moveToEnd(FindFamily(language));
}

int CFormatRegistry::GetLanguageId() const
{
    return m_nLanguageId;
}

const CLanguage& CFormatRegistry::GetLanguage() const
{
    return CLanguage::GetLanguageOrEnglish(m_nLanguageId);
}

// ---- formats and ids ----

int CFormatRegistry::GetFormatID(KStringView format) const
{
    if (format.empty())
        return 0;
    for (int id = static_cast<int>(m_entries.size()) - 1; id > 0; --id)
    {
        if (m_entries[id].strFormat == format)
            return id;
    }
    return -1;
}

KString CFormatRegistry::GetFormat(int id) const
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return KString();
    return m_entries[id].strFormat;
}

bool CFormatRegistry::AddFormatIfNew(KStringView format)
{
    if (GetFormatID(format) >= 0)
        return true;
    if (format.size() > kMaxFormatLength)
        return false;
    for (size_t i = m_families.size(); i-- > 1;)
    {
        DF_GenericFormat* family = m_families[i].get();
        const int index = family->AddFormat(format);
        if (index < 0)
            continue;
        m_entries.push_back({KString(format), family, index, false});
        if (format == u"####")
            m_nIntegerFormatId = static_cast<int>(m_entries.size()) - 1;
        else if (format == u"####.")
            m_nFloatingFormatId = static_cast<int>(m_entries.size()) - 1;
        return true;
    }
    return false;
}

EValueType CFormatRegistry::GetType(int id) const
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return VALUE_TEXT;
    const SEntry& entry = m_entries[id];
    const EValueType type = entry.pFamily->GetType(entry.nIndex);
    return type == VALUE_UNKNOWN ? VALUE_TEXT : type;
}

EValueType CFormatRegistry::GetTypeOfFormat(KStringView format) const
{
    for (size_t i = m_families.size(); i-- > 0;)
    {
        const EValueType type = m_families[i]->GetTypeOfFormat(format);
        if (type != VALUE_UNKNOWN)
            return type;
    }
    return VALUE_UNKNOWN;
}

int CFormatRegistry::GetRank(int id) const
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return 0;
    return m_entries[id].pFamily->GetRank(m_entries[id].nIndex);
}

void CFormatRegistry::SortByRank()
{
    std::stable_sort(m_entries.begin() + 1, m_entries.end(),
                     [](const SEntry& a, const SEntry& b)
                     { return a.pFamily->GetRank(a.nIndex) < b.pFamily->GetRank(b.nIndex); });
    m_nIntegerFormatId = GetFormatID(u"####");
    m_nFloatingFormatId = GetFormatID(u"####.");
}

// ---- type defaults ----

void CFormatRegistry::SetTypeDefault(int id)
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return;
    const EValueType type = GetType(id);
    for (size_t i = 1; i < m_entries.size(); ++i)
    {
        if (m_entries[i].bDefault && GetType(static_cast<int>(i)) == type)
            m_entries[i].bDefault = false;
    }
    m_entries[id].bDefault = true;
}

bool CFormatRegistry::IsTypeDefault(int id) const
{
    return id > 0 && id < static_cast<int>(m_entries.size()) && m_entries[id].bDefault;
}

int CFormatRegistry::GetDefaultFormatID(EValueType type) const
{
    for (size_t i = 1; i < m_entries.size(); ++i)
    {
        if (m_entries[i].bDefault && GetType(static_cast<int>(i)) == type)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- values ----

bool CFormatRegistry::Read(int id, KStringView text, double& value, size_t& used) const
{
    used = 0;
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return false;
    const SEntry& entry = m_entries[id];
    return entry.pFamily->ReadValue(entry.nIndex, text, value, used);
}

double CFormatRegistry::ReadStoredNumber(int id, platform::CPaddedString text) const
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return std::numeric_limits<double>::quiet_NaN();
    const SEntry& entry = m_entries[id];
    return entry.pFamily->ReadStoredNumber(entry.nIndex, text);
}

double DF_GenericFormat::ReadStoredNumber(int index, platform::CPaddedString text) const
{
    const KStringView view(text.Get(), platform::MeasureText(text));
    double value = 0;
    size_t used = 0;
    if (view.empty() || !ReadValue(index, view, value, used) || used != view.size())
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

double CFormatRegistry::ReadNumber(int id, KStringView text) const
{
    double value = 0;
    size_t used = 0;
    if (text.empty() || !Read(id, text, value, used) || used != text.size())
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

bool CFormatRegistry::Write(int id, double value, KString& text) const
{
    if (id <= 0 || id >= static_cast<int>(m_entries.size()))
        return false;
    if (std::isnan(value))
    {
        text = u"NAN";
        return true;
    }
    if (std::isinf(value))
    {
        text = value < 0 ? u"-INF" : u"INF";
        return true;
    }
    const SEntry& entry = m_entries[id];
    return entry.pFamily->WriteValue(entry.nIndex, value, text);
}

KString CFormatRegistry::WriteNumber(int id, double number) const
{
    KString text;
    if (!Write(id, number, text))
        return KString();
    return text;
}

// ---- guessing ----

const DF_GenericFormat* CFormatRegistry::FindReader(KStringView format) const
{
    const int id = GetFormatID(format);
    if (id > 0)
        return m_entries[id].pFamily;
    if (id == 0 || format.size() > kMaxFormatLength)
        return nullptr;
    for (size_t i = m_families.size(); i-- > 1;)
    {
        if (m_families[i]->GetTypeOfFormat(format) != VALUE_UNKNOWN)
            return m_families[i].get();
    }
    return nullptr;
}

bool CFormatRegistry::ReadsAsProposed(KStringView format, const DF_GenericFormat& family) const
{
    const DF_GenericFormat* reader = FindReader(format);
    if (reader == &family)
        return true;
    // Two date families read a string alike when it means the same elements and names no month or day.
    const auto* proposer = dynamic_cast<const DF_DateFormat*>(&family);
    const auto* other = dynamic_cast<const DF_DateFormat*>(reader);
    return proposer && other && proposer->ReadsAlike(format, *other);
}

std::vector<SFormatCandidate> CFormatRegistry::RecognizeFormats(const std::vector<KStringView>& samples,
                                                                const SRecognitionHints& hints,
                                                                size_t maxCandidates) const
{
    std::vector<SFormatCandidate> candidates;
    // Every number and date format needs digits: samples without any cannot be read.
    const long withDigits = std::count_if(samples.begin(), samples.end(), HasDigit);
    if (samples.empty() || withDigits < hints.nMinReads)
        return candidates;
    // Numbers first (they win ties), then every date family in the order in which format strings are read:
    // from the end of the list (the table's language, English, the others). The others are asked only for the
    // formats that read unlike all English ones: the rest would merely repeat English candidates under other
    // letters, with the same counts.
    const DF_GenericFormat* english = FindFamily(CLanguage::GetLanguageOrEnglish(1033));
    std::vector<const DF_GenericFormat*> asked = {m_families[1].get()};
    for (size_t i = m_families.size(); i-- > 2;)
        asked.push_back(m_families[i].get());
    for (const DF_GenericFormat* family : asked)
    {
        const size_t first = candidates.size();
        const auto* dates = dynamic_cast<const DF_DateFormat*>(family);
        if (dates && family != english && family != m_families.back().get())
            dates->RecognizeOwnFormats(samples, hints, candidates);
        else
            family->RecognizeFormats(samples, hints, candidates);
        // Its counts hold only for strings that this registry will read with the same formats.
        candidates.erase(std::remove_if(candidates.begin() + static_cast<std::ptrdiff_t>(first), candidates.end(),
                                        [&](const SFormatCandidate& candidate)
                                        { return !ReadsAsProposed(candidate.strFormat, *family); }),
                         candidates.end());
        for (size_t i = first; i < candidates.size(); ++i)
            candidates[i].nOrder = static_cast<int>(i);
    }
    // The same string may come from two families (the first one counts).
    std::vector<SFormatCandidate> unique;
    for (SFormatCandidate& candidate : candidates)
    {
        if (candidate.strFormat.size() > kMaxCandidateLength)
            continue;
        const bool seen = std::any_of(unique.begin(), unique.end(),
                                      [&](const SFormatCandidate& u) { return u.strFormat == candidate.strFormat; });
        if (!seen)
            unique.push_back(std::move(candidate));
    }
    std::stable_sort(unique.begin(), unique.end(),
                     [](const SFormatCandidate& a, const SFormatCandidate& b)
                     {
                         if (a.nReads != b.nReads)
                             return a.nReads > b.nReads;
                         if (a.nRoundTrips != b.nRoundTrips)
                             return a.nRoundTrips > b.nRoundTrips;
                         return a.nOrder < b.nOrder;
                     });
    if (unique.size() > maxCandidates)
        unique.resize(maxCandidates);
    return unique;
}
