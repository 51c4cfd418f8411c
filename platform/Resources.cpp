#include "Resources.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace
{

struct SResource
{
    int m_nId;                  // resource number, unique, ascending through the table
    const char16_t* m_pGerman;  // German text, never null
    const char16_t* m_pEnglish; // English text, never null
};

constexpr SResource g_resources[] = {
#include "ResourceTable.inc"
};

constexpr bool IsStrictlyAscending()
{
    for (size_t i = 1; i < std::size(g_resources); ++i)
        if (g_resources[i - 1].m_nId >= g_resources[i].m_nId)
            return false;
    return true;
}
static_assert(IsStrictlyAscending(), "the resource table must be sorted by id without duplicates");

// The current resource language; German until set.
std::atomic<ELanguage> g_eLanguage{ELanguage::German};

const SResource* Find(int id)
{
    const SResource* end = std::end(g_resources);
    const SResource* it =
        std::lower_bound(std::begin(g_resources), end, id, [](const SResource& r, int key) { return r.m_nId < key; });
    return it != end && it->m_nId == id ? it : nullptr;
}

} // namespace

namespace platform
{

ELanguage LanguageFromId(int languageId)
{
    constexpr int kPrimaryGerman = 0x07;
    return (languageId & 0x3FF) == kPrimaryGerman ? ELanguage::German : ELanguage::English;
}

ELanguage LanguageFromLocaleName(std::string_view locale)
{
    const bool german = locale.size() >= 2 && locale.substr(0, 2) == "de" &&
                        (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
    return german ? ELanguage::German : ELanguage::English;
}

ELanguage LanguageFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* value = std::getenv(name);
        if (value && *value)
            return LanguageFromLocaleName(value);
    }
    return ELanguage::English;
}

void SetResourceLanguage(ELanguage language)
{
    g_eLanguage.store(LanguageFromId(static_cast<int>(language)));
}

ELanguage GetResourceLanguage()
{
    return g_eLanguage.load();
}

KString LoadResourceString(int id, ELanguage language)
{
    const SResource* resource = Find(id);
    if (resource == nullptr)
        return {};
    return language == ELanguage::English ? resource->m_pEnglish : resource->m_pGerman;
}

KString LoadResourceString(int id)
{
    return LoadResourceString(id, GetResourceLanguage());
}

bool HasResourceString(int id)
{
    return Find(id) != nullptr;
}

std::vector<int> GetResourceIds()
{
    std::vector<int> ids;
    ids.reserve(std::size(g_resources));
    for (const SResource& resource : g_resources)
        ids.push_back(resource.m_nId);
    return ids;
}

KString FormatMessageText(KStringView pattern, std::initializer_list<KStringView> args)
{
    KString text;
    text.reserve(pattern.size() + 32);
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        const char16_t c = pattern[i];
        if (c != u'%' || i + 1 == pattern.size())
        {
            text += c;
            continue;
        }
        const char16_t next = pattern[i + 1];
        if (next == u'%')
        {
            text += u'%';
            ++i;
            continue;
        }
        if (next < u'1' || next > u'9')
        {
            text += c;
            continue;
        }
        size_t number = next - u'0';
        i += 1;
        if (i + 1 < pattern.size() && pattern[i + 1] >= u'0' && pattern[i + 1] <= u'9')
            number = number * 10 + (pattern[++i] - u'0');
        if (number <= args.size())
            text += *(args.begin() + (number - 1));
    }
    return text;
}

KString FormatResource(int id, std::initializer_list<KStringView> args)
{
    return FormatMessageText(LoadResourceString(id), args);
}

} // namespace platform
