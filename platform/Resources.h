#pragma once
// The user-interface texts of the library: string resources numbered as the rest of the
// code refers to them ("Kennung" is 2008), German as the base language and English beside
// it, and the one function that fills their %1, %2 ... placeholders. The current language
// is process-wide; reading and switching it is thread-safe.

#include "platform/Text.h"

#include <cstdint>
#include <string_view>
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

// The resource language for a language id: German for the German ids (1031, and the Swiss, Austrian ... variants
// 2055, 3079 ...: primary language 7), English for every other id, since only those two are built in.
ELanguage LanguageFromId(int languageId);

// The language of a POSIX locale name: German for "de" and "de_..." ("de_DE.UTF-8", "de_AT@euro"), English for
// every other name ("C", "POSIX", "en_US.UTF-8", "fr_FR", "").
ELanguage LanguageFromLocaleName(std::string_view locale);

// The language of the user's locale: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty decides,
// as it does for the C library's messages; English when none is set.
ELanguage LanguageFromEnvironment();

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
