#pragma once
// CCollation: the order of texts of a table, as three tables of 65536 entries
// indexed by UTF-16 code unit: the secondary weight (a total order of all code
// units), the primary weight (equal for characters the locale treats as the
// same letter, such as a, A and ä under German) and the base character (the
// first character of a primary class, an upper-case letter where one exists).
// Strings compare character by character on primary weights and, on a tie,
// on secondary weights, so that apfel and Apfel are equal on primary weights
// and ordered by their secondary weights.
//
// The tables are built from ICU's collator for the language's locale by
// sorting probe strings (see Build), which takes tens of milliseconds; they are
// kept in the user's cache folder for the next process, as long as ICU and the
// collator keep their versions (see LoadOrBuild). A process-wide sort mode chooses between
// three string orders: 0 ordinal, 1 legacy (fixed byte weights over the ANSI
// code page, for reading files of old versions) and 2 the collation.
//
// Threading: a built collation is immutable and shared by every table of the
// process (ForLanguage never frees one); any thread may compare with it. The
// sort mode is an atomic; change it only while no sort runs.

#include "platform/Text.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct UCollator; // ICU's

// Closes an ICU collator.
struct SCollatorCloser
{
    void operator()(UCollator* collator) const;
};
using CCollatorPtr = std::unique_ptr<UCollator, SCollatorCloser>;

enum ESortMode : int
{
    SORT_ORDINAL = 0,
    SORT_LEGACY = 1,
    SORT_COLLATION = 2,
};

class CCollation
{
public:
    CCollation(const CCollation&) = delete;
    CCollation& operator=(const CCollation&) = delete;

    // The collation of a language id (a Windows language id such as 1031), built on first use. Borrowed,
    // lives until the process ends.
    static const CCollation& ForLanguage(int languageId);
    // Builds the tables for a language id with ICU (see the algorithm in Collation.cpp). The caller owns it.
    static std::unique_ptr<CCollation> Build(int languageId);
    // The tables kept in CacheFileOf(languageId, folder) when they were built by the same versions of ICU and
    // of the locale's collator and arrived whole; otherwise built, and kept there for later (a file that cannot
    // be written costs only time). The caller owns it. Processes may do this at once: the file is replaced whole.
    static std::unique_ptr<CCollation> LoadOrBuild(int languageId, const std::filesystem::path& folder);
    static std::filesystem::path CacheFileOf(int languageId, const std::filesystem::path& folder);

    int GetLanguageId() const { return m_nLanguageId; }
    uint16_t GetSecondaryWeight(char16_t c) const { return m_secondary[c]; }
    uint16_t GetPrimaryWeight(char16_t c) const { return m_primary[c]; }
    char16_t GetBaseCharacter(char16_t c) const { return m_base[c]; }

    // -1, 0 or 1. Walks both zero-terminated strings; where one ends the shorter is smaller, else the first
    // differing weight (primary or secondary) decides. maxLength > 0 stops after that many equal characters.
    int CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const
    {
        const uint16_t* weights = primary ? m_primary.data() : m_secondary.data();
        for (int i = 0; maxLength <= 0 || i < maxLength; ++i)
        {
            const char16_t ca = a[i];
            const char16_t cb = b[i];
            if (ca == cb)
            {
                if (ca == 0)
                    return 0;
                continue;
            }
            if (ca == 0)
                return -1;
            if (cb == 0)
                return 1;
            const uint16_t wa = weights[ca];
            const uint16_t wb = weights[cb];
            if (wa != wb)
                return wa < wb ? -1 : 1;
        }
        return 0;
    }

    // Primary weights, then secondary weights: the collation order of two texts.
    int Compare(const char16_t* a, const char16_t* b) const
    {
        const int primary = CompareStrings(a, b, 0, true);
        return primary != 0 ? primary : CompareStrings(a, b, 0, false);
    }

    // The legacy order: both texts in the ANSI code page 1252 (at most 10000 bytes each), compared by fixed
    // byte weights (control characters, punctuation and symbols, digits, then letters with accented letters
    // after their base letter), primary weights first.
    static int CompareLegacy(const char16_t* a, const char16_t* b);
    // Ordinal order by code unit.
    static int CompareOrdinal(const char16_t* a, const char16_t* b);

    // The process-wide sort mode (ESortMode), SORT_COLLATION until set.
    static void SetSortMode(int mode);
    static int GetSortMode();

    // The ICU locale id for a Windows language id ("de_DE" for 1031); the root locale "" when unknown.
    static std::string LocaleForLanguage(int languageId);
    // The locale's language name, "/", the name of its sort order, in the user-interface language.
    static KString GetLanguageAndSorting(int languageId, int userInterfaceLanguageId);

private:
    explicit CCollation(int languageId);
    // The collator of the language's locale, else of the root locale; null when ICU has neither.
    static CCollatorPtr OpenCollator(int languageId);
    // Null collator: the ordinal order.
    static std::unique_ptr<CCollation> Build(int languageId, UCollator* collator);
    // The three tables' memory, in the order of a kept file.
    std::array<void*, 3> Tables() { return {m_secondary.data(), m_primary.data(), m_base.data()}; }

    int m_nLanguageId;                 // the language id the tables were built for
    std::vector<uint16_t> m_secondary; // 65536 entries, a permutation of 0..65535
    std::vector<uint16_t> m_primary;   // 65536 entries, the secondary weight of the character's base
    std::vector<char16_t> m_base;      // 65536 entries, the representative of the primary class
};

// Code pages of the code-page selector and their font character sets.
namespace codepage
{
// The user's default ANSI code page (1252: the engine works in Unicode and uses 1252 for legacy data).
int GetDefaultCodePage();
int GetDefaultCharSet();
// Unknown code pages and character sets map to the first row (1252, 0).
int CodePageToCharSet(int codePage);
int CharSetToCodePage(int charSet);
int CodePageToComboBoxIndex(int codePage);
int ComboBoxIndexToCharSet(int index);
// A UTF-16 code unit in code page 1252; '?' when it has none.
unsigned char ToCodePage1252(char16_t c);
} // namespace codepage
