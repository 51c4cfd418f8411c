#pragma once
// CTableFormats: the formats and the string order of one table: the format
// registry (ids of the known format strings), the collation in force and the
// code page given with it, and the operations that run a format over every
// attribute (re-numbering ids, guessing and checking, re-sorting).
//
// Owned by its CTable, by value; it keeps a reference to the table for the
// options, the attributes and the messages. Threading: the table's thread,
// except that comparing texts (CompareStringValues, CompareStrings,
// GetCollation) may run from parallel sorting tasks: the collation is built
// once, on first use, and shared, immutable, by every table of the process.

#include "engine/FormatRegistry.h"
#include "platform/Text.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CAttribute;
class CCollation;
class CTable;

class CTableFormats
{
public:
    explicit CTableFormats(CTable& table) : m_table(table) {}
    CTableFormats(const CTableFormats&) = delete;
    CTableFormats& operator=(const CTableFormats&) = delete;

    CFormatRegistry& GetRegistry() { return m_registry; }
    const CFormatRegistry& GetRegistry() const { return m_registry; }

    // ---- formats ----
    // 0 for "", the id of a known format string, -1 when unknown.
    int GetFormatID(KStringView format) const;
    // The format string of an id ("" for 0 and unknown ids).
    KString GetFormat(int id) const;
    // 1 when the format is known or could be added, 0 when no family understands it. With sort the ids are
    // re-sorted by rank (every attribute takes its id again).
    int AddFormatIfNew(KStringView format, bool sort);
    // Orders the formats by rank; every attribute takes its format id again.
    void SortFormatsAndRecomputeIDs();
    // Sets the registry's language to the user-interface language and adds its standard formats.
    void AddStandardFormats();
    // The language of the table's formats.
    int GetLanguageID() const;
    // The number written with the language's thousands format ("1.234.567" in German).
    KString LargeIntegerString(int64_t value) const;
    // Tells the user about a format string no family understands, the first time in this table only.
    // Returns true when the message was shown.
    bool ReportUnknownFormat(KStringView format, const CAttribute& attribute);
    // Guesses the attribute's format from its values when guess is set and the format was never set or guessed,
    // then checks the values against the format when check is set (setting the format-warning flag).
    void AnalyzeAttributeFormat(CAttribute& attribute, bool guess, bool check);
    // AnalyzeAttributeFormat for every attribute.
    void CheckAllFormats(bool guess, bool check);
    void RemoveFormatWarnings();
    // Whether the values of all these attributes can be converted to one new format of their kind (numbers,
    // dates and date-times, times, time spans): typed, single-valued, stored (not derived) attributes of one
    // kind whose every value reads with its format. False for an empty list.
    bool TransformPossible(const std::vector<CAttribute*>& attributes) const;
    // Whether the texts of all these attributes can be read anew with another format (or as plain text):
    // stored attributes with values, without multiple values. False for an empty list.
    bool InterpretPossible(const std::vector<CAttribute*>& attributes) const;

    // ---- order of texts ----
    // -1, 0 or 1: the order of two value texts in the table's string order.
    int CompareStringValues(const char16_t* a, const char16_t* b) const;
    // -1, 0 or 1 comparing character by character (primary: letters only, case aside); a positive
    // maxLength stops after that many equal characters with the result equal.
    int CompareStrings(const char16_t* a, const char16_t* b, int maxLength, bool primary) const;
    // -1, 0 or 1 for two values and their numbers: undefined (empty) last, NaN after numbers, numbers in
    // numeric order, else the string order.
    int CompareNumericValues(const char16_t* a, double da, const char16_t* b, double db) const;
    // The collation in force (built on first use for the collation language). Borrowed, shared, immutable.
    const CCollation& GetCollation() const;
    // Builds the collation now when values sort by one: its first build in a process takes some tens of
    // milliseconds, which a read hides beside work of its own instead of holding up its first compare.
    void PrepareCollation() const;
    // The language id of the collation: as set by SortCharacterSet, else the user-interface language.
    int GetCollationLanguageID() const;
    int GetCodePage() const { return m_nCodePage; }
    // Builds the collation of a language (nothing when the language is unchanged) and re-sorts every attribute.
    void SortCharacterSet(int codePage, int languageId);
    // The locale's language name, "/", its sort order's name.
    KString GetLanguageAndSorting(int languageId) const;

    // ---- value texts as shown ----
    // With the option SkipEnumeration: the part after "#key#" of a value "#key#text"; otherwise the value.
    const char16_t* SkipEnumeration(const char16_t* value) const;
    // The first length characters of a stored value as shown (enumeration and URL tilde skipped; the first part of
    // a list, one character fewer); "——" for the undefined value.
    KString GetPrefixString(const char16_t* value, int length) const;

    // ---- code pages of the code-page selector and their font character sets (unknown: 1252 / 0) ----
    static int GetDefaultCodePage();
    static int GetDefaultCharSet();
    static int CodePageToCharSet(int codePage);
    static int CharSetToCodePage(int charSet);
    static int CodePageToComboBoxIndex(int codePage);
    static int ComboBoxIndexToCharSet(int index);

private:
    CTable& m_table;                                              // owner
    CFormatRegistry m_registry;                                   // known formats
    mutable std::atomic<const CCollation*> m_pCollation{nullptr}; // the string order; null until first needed
    int m_nCollationLanguage = 0;          // set by SortCharacterSet; 0 = the user-interface language
    int m_nCodePage = 1252;                // code page given with the collation language
    bool m_bUnknownFormatReported = false; // message 2988 was shown in this table
};
