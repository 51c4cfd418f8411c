#pragma once
// Date, time, date-time and time-span formats, written with the six format
// letters of a language ("yyyy-mm-dd", "tt.mm.jjjj, ss:mm:ss", "hhh:mm:ss").
// SDateFormat is one parsed format string: a list of items (elements such as
// the year or the minute, separators, quoted text, the AM/PM marker).
// DF_DateFormat is the family of one language; every date family also knows
// "jjjj-mm-tt" (year-month-day with a four-digit year).
//
// Values: a date is its day number (day 0 = 1 January 2000), a time the
// fraction of a day, a date-time both, a time span signed days. Reading is
// tolerant of missing leading zeros; two-digit years mean 1930..2029.
//
// Threading: SDateFormat is immutable; see DF_GenericFormat for the family.

#include "engine/FormatFamily.h"

#include <cstdint>
#include <optional>

class CLanguage;

enum EDateItem : uint8_t
{
    DATE_ITEM_SPACE,      // one or more spaces
    DATE_ITEM_SEPARATOR,  // one separator character
    DATE_ITEM_TEXT,       // quoted text
    DATE_ITEM_YEAR,       // 2 or 4 digits
    DATE_ITEM_MONTH,      // 1 or 2 digits
    DATE_ITEM_MONTH_NAME, // 3 letters: short name, 4: long name
    DATE_ITEM_DAY,        // 1 or 2 digits
    DATE_ITEM_DAY_NAME,   // 3 letters: short name, 4: long name
    DATE_ITEM_HOUR,       // 1 or 2 digits
    DATE_ITEM_SPAN_HOURS, // the hours of a time span, any number of digits
    DATE_ITEM_MINUTE,     // 1 or 2 digits
    DATE_ITEM_SECOND,     // 1 or 2 digits
    DATE_ITEM_AMPM,       // AM or PM, asks for a 12-hour clock
};

// One item of a parsed date format. Immutable once parsed.
struct SDateFormatItem
{
    EDateItem eKind = DATE_ITEM_SPACE; // what the item is
    int nCount = 0;  // letters of an element, spaces of a space item
    KString strText; // separator, quoted text or the "AM/PM" of the format string

    bool operator==(const SDateFormatItem&) const = default;
};

// One parsed date, time, date-time or time-span format. Immutable once parsed; any thread may read with it.
struct SDateFormat
{
    KString strFormat;                  // the format string as given
    std::vector<SDateFormatItem> items; // left to right
    EValueType eType = VALUE_DATE;      // VALUE_DATE, VALUE_TIME, VALUE_DATETIME or VALUE_TIMESPAN
    bool bTwelveHour = false;           // the format has an AM/PM marker
    int nRank = 190;                    // 182..200
    // A value of the format whose numbers all have their longest width, separators and single spaces as given,
    // '9' for a digit ("9999-99-99 99:99:99"); empty when the format has names, texts, AM/PM or span hours.
    // A text that starts so is read by position, without going through the items.
    KString strLayout;
    // The layout with '0' for '9': a text lies between the two, unit by unit, exactly when it starts as laid out.
    KString strLayoutLow;
    // Where in the layout the year, month, day, hour, minute and second begin; -1 for those the format lacks.
    int8_t anLayoutAt[6] = {-1, -1, -1, -1, -1, -1};
    int8_t nLayoutYearDigits = 4; // of a year in the layout

    // The parsed format in a language's letters, or nothing when the string is not a format of it.
    static std::optional<SDateFormat> Parse(KStringView format, const CLanguage& language);

    // Reads a value from the start of text; see DF_GenericFormat::ReadValue.
    bool Read(KStringView text, const CLanguage& language, double& value, size_t& used) const;
    // Writes a finite value; false outside the calendar's range.
    bool Write(double value, const CLanguage& language, KString& text) const;

    bool Has(EDateItem kind) const;

private:
    // Parse without the layout.
    static std::optional<SDateFormat> ParseItems(KStringView format, const CLanguage& language);
};

// The date and time formats of one language (its letters, month and day names). Threading: see DF_GenericFormat.
class DF_DateFormat : public DF_GenericFormat
{
public:
    explicit DF_DateFormat(const CLanguage& language) : m_language(language) {}

    void RecognizeFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                          std::vector<SFormatCandidate>& out) const override;
    bool ReadValue(int index, KStringView text, double& value, size_t& used) const override;
    int AddFormat(KStringView format) override;
    const KString& GetFormatString(int index) const override { return m_formats[index].strFormat; }
    void RemoveFormat(int index) override;
    int GetCount() const override { return static_cast<int>(m_formats.size()); }
    int GetRank(int index) const override { return m_formats[index].nRank; }
    bool WriteValue(int index, double value, KString& text) const override;
    EValueType GetTypeOfFormat(KStringView format) const override;
    EValueType GetType(int index) const override { return m_formats[index].eType; }
    const CLanguage* GetLanguage() const override { return &m_language; }

    // RecognizeFormats with only this language's own proposals, for a registry that asks the English family
    // first: formats that English neither proposes in a form reading alike nor reads with other names (its
    // letters are those of English). Mostly formats with this language's month or day names, and standard
    // formats of a shape of its own ("éééé.hh.nn.").
    void RecognizeOwnFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                             std::vector<SFormatCandidate>& out) const;
    // The format strings this family proposes for samples (formats of its language), most usual first.
    std::vector<KString> GetProposals() const;
    // True when a format string means the same to this family and to other: both read it as the same items, and
    // it names no month or day (names are each language's own). Then both read and write every value alike.
    bool ReadsAlike(KStringView format, const DF_DateFormat& other) const;

private:
    void Recognize(const std::vector<KStringView>& samples, const SRecognitionHints& hints, bool ownOnly,
                   std::vector<SFormatCandidate>& out) const;

    const CLanguage& m_language;        // whose letters and names the formats use; static lifetime
    std::vector<SDateFormat> m_formats; // by index within the family; strings unique
};
