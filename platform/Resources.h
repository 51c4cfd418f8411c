#pragma once
// The user-interface texts of the library: string resources numbered as the rest of the
// code refers to them ("Kennung" is 2008), German as the base language and English beside
// it, and the one function that fills their %1, %2 ... placeholders. The current language
// is process-wide; reading and switching it is thread-safe.

#include "platform/Text.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

// A user-interface language, by its Windows language id.
enum class ELanguage : uint16_t
{
    German = 1031,
    English = 1033,
};

namespace platform
{

// The resource language for a language id: English for 1033, German for every other id.
ELanguage LanguageFromId(int languageId);

// The current resource language (German until set).
void SetResourceLanguage(ELanguage language);
ELanguage GetResourceLanguage();

// The text of resource id in the given or the current language; empty for an unknown id.
KString LoadResourceString(int id, ELanguage language);
KString LoadResourceString(int id);

// Whether a resource with this id exists.
bool HasResourceString(int id);

// Every resource id, ascending.
std::vector<int> GetResourceIds();

// Fills a message pattern: %1 ... %99 become the first, second ... argument (empty when
// there is no such argument), %% becomes one percent sign, and a percent sign followed by
// anything else stays as it is ("%1% eingelesen" keeps its second percent sign).
KString FormatMessageText(KStringView pattern, std::initializer_list<KStringView> args);

// FormatMessageText on resource id in the current language.
KString FormatResource(int id, std::initializer_list<KStringView> args);

} // namespace platform

// Resource texts are used throughout the engine, so these three are visible unqualified too.
using platform::FormatMessageText;
using platform::FormatResource;
using platform::LoadResourceString;
