#pragma once
// CLanguage: one user-interface language as the formats see it: its id and
// name, month and day names, the six letters with which its date and time
// formats are written (year, month, day, hour, minute, second), the words for
// yes and no, the currency symbol and its 27 standard format strings. The
// per-language classes (CEnglishLanguage, CGermanLanguage, ...) fill these in
// their constructors; one instance of each lives in a global list.
//
// The regional settings (decimal and thousands separators, date and time
// separators, the 12-hour clock) follow from a language's standard formats,
// never from the process's C locale, so that reading and writing values gives
// the same results whatever LANG or LC_ALL is.
//
// Threading: the objects are immutable after static initialisation; any
// thread may read them.

#include "platform/Text.h"

#include <array>
#include <vector>

// The slots of the standard formats (1-based as in the dialogs).
enum EStandardFormatSlot : int
{
    SLOT_INTEGER = 1,
    SLOT_INTEGER_THOUSANDS = 2,
    SLOT_TWO_DECIMALS = 3,
    SLOT_FLOATING = 4,
    SLOT_FLOATING_2 = 5,
    SLOT_FOUR_DECIMALS = 6,
    SLOT_THOUSANDS_FIXED_TWO = 7,
    SLOT_FIXED_ONE = 8,
    SLOT_FIXED_TWO = 9,
    SLOT_FIXED_TWO_2 = 10,
    SLOT_DATE = 11,
    SLOT_DATE_2 = 12,
    SLOT_DATE_SHORT_MONTH = 13,
    SLOT_DATE_LONG_MONTH = 14,
    SLOT_DATE_5 = 15,
    SLOT_DATE_6 = 16,
    SLOT_DATE_7 = 17,
    SLOT_MONTH = 18,
    SLOT_TIME = 19,
    SLOT_TIME_2 = 20,
    SLOT_TIME_3 = 21,
    SLOT_DATETIME = 22,
    SLOT_DATETIME_2 = 23,
    SLOT_DATETIME_DAY_NAME = 24,
    SLOT_DATETIME_4 = 25,
    SLOT_DATETIME_5 = 26,
    SLOT_TIMESPAN = 27,
    STANDARD_FORMAT_COUNT = 27
};

// Positions in a language's six format letters.
enum EFormatLetter : int
{
    LETTER_YEAR = 0,
    LETTER_MONTH = 1,
    LETTER_DAY = 2,
    LETTER_HOUR = 3,
    LETTER_MINUTE = 4,
    LETTER_SECOND = 5
};

class CLanguage
{
public:
    virtual ~CLanguage() = default;
    CLanguage(const CLanguage&) = delete;
    CLanguage& operator=(const CLanguage&) = delete;

    int GetLanguageId() const { return m_nLanguageId; }
    const KString& GetName() const { return m_strName; }
    // The ICU locale whose collation and names match the language ("de_DE").
    const char* GetLocaleName() const { return m_pLocaleName; }
    // month 1..12
    const KString& GetMonthName(int month, bool shortName) const;
    // dayOfWeek 0 = Sunday .. 6 = Saturday
    const KString& GetDayName(int dayOfWeek, bool shortName) const;
    // The six letters "ymdhms" (lower case); see EFormatLetter.
    const KString& GetLetters() const { return m_strLetters; }
    char16_t GetLetter(EFormatLetter which) const { return m_strLetters[which]; }
    const KString& GetYes() const { return m_strYes; }
    const KString& GetNo() const { return m_strNo; }
    const KString& GetCurrency() const { return m_strCurrency; }
    // slot 1..27; "" outside.
    const KString& GetStandardFormat(int slot) const;

    // The decimal separator: the last character of the floating default format (slot 4).
    char16_t GetDecimalSeparator() const;
    // The thousands separator: the second character of the thousands format (slot 2).
    char16_t GetThousandsSeparator() const;

    // The language with that id from the global list, or null.
    static const CLanguage* FindLanguage(int languageId);
    // The language with that id, English when unknown. Never null.
    static const CLanguage& GetLanguageOrEnglish(int languageId);
    // Every language in the order of the list (English first).
    static const std::vector<const CLanguage*>& GetLanguages();

    // Reads a truth value: the language's words or English "yes"/"no" (any case) give 1 or 0;
    // any other text gives -1.
    int ReadTruthValue(KStringView text) const;

protected:
    CLanguage(int languageId, KStringView name, const char* localeName);

    int m_nLanguageId;                                    // Windows language id, unique in the list
    KString m_strName;                                    // the language's own name
    const char* m_pLocaleName;                            // ICU locale id, static text
    std::array<KString, 12> m_monthNames;                 // January ..
    std::array<KString, 12> m_shortMonthNames;            // Jan ..
    std::array<KString, 7> m_dayNames;                    // Sunday ..
    std::array<KString, 7> m_shortDayNames;               // Sun ..
    KString m_strLetters;                                 // six lower-case letters, see EFormatLetter
    KString m_strYes;                                     // word for a true value
    KString m_strNo;                                      // word for a false value
    KString m_strCurrency;                                // currency symbol
    std::array<KString, STANDARD_FORMAT_COUNT> m_formats; // slot k at index k-1, each a valid format string
};

// The languages of the user interface; each constructor fills in the language's data. Immutable, see CLanguage.
class CEnglishLanguage : public CLanguage
{
public:
    CEnglishLanguage();
};

class CGermanLanguage : public CLanguage
{
public:
    CGermanLanguage();
};

class CFrenchLanguage : public CLanguage
{
public:
    CFrenchLanguage();
};

class CDutchLanguage : public CLanguage
{
public:
    CDutchLanguage();
};

class CSpanishLanguage : public CLanguage
{
public:
    CSpanishLanguage();
};

class CItalianLanguage : public CLanguage
{
public:
    CItalianLanguage();
};

class CPortugueseLanguage : public CLanguage
{
public:
    CPortugueseLanguage();
};

class CPolishLanguage : public CLanguage
{
public:
    CPolishLanguage();
};

class CHungarianLanguage : public CLanguage
{
public:
    CHungarianLanguage();
};

// The regional settings of a user-interface language, as text. They are derived from the
// language's standard formats (the decimal and thousands separators of its number formats,
// the separators and the clock of its default date and time formats).
namespace regional
{
KString GetDecimalSeparator(int languageId);
KString GetThousandsSeparator(int languageId);
KString GetDateSeparator(int languageId);
KString GetTimeSeparator(int languageId);
// "1" for a 24-hour clock, "0" for a 12-hour clock.
KString GetTimeType(int languageId);
// "1" when hours are written with a leading zero, else "0".
KString GetHourZeros(int languageId);
KString GetAMString(int languageId);
KString GetPMString(int languageId);
// "0" when the AM/PM marker follows the time, "1" when it comes first.
KString GetTimeMarkerPos(int languageId);
// The default date and time format strings of the language.
KString GetDateFormatW(int languageId);
KString GetTimeFormatW(int languageId);
} // namespace regional
