#pragma once
// CAttributeFormat: how an attribute's values are read and written: its format
// string and the id the table's format registry gives it, the format under
// which the values were read, whether the format was decided, and the flags of
// a format string not understood and of values that do not read with it. It
// reads numbers with the format, writes them, guesses a format from the values
// and checks the values against it.
//
// Owned by its CAttribute, by value; it keeps a reference to its attribute and
// uses only the attribute's public members (its values and its kind), and one
// to the table, whose format registry reads and writes the numbers. A change of format tells the values that their
// numbers and order are out of date.
//
// Threading: the table's thread. Reading numbers (ReadNumber, ReadStoredNumber,
// the type predicates) and ProposeFormats are safe from parallel tasks while
// the format is not set.

#include "engine/Export.h"
#include "engine/FormatFamily.h"
#include "platform/Text.h"

#include <cstdint>
#include <optional>
#include <vector>

class CAttribute;
class CTable;

class KORVALIN_CLASS CAttributeFormat
{
public:
    CAttributeFormat(CAttribute& attribute, CTable& table) : m_attribute(attribute), m_table(table) {}
    CAttributeFormat(const CAttributeFormat&) = delete;
    CAttributeFormat& operator=(const CAttributeFormat&) = delete;

    // ---- the format string and its id ----
    const KString& GetFormatString() const { return m_strFormat; }
    const KString& GetImportFormatString() const { return m_strImportFormat; }
    int32_t GetFormatId() const { return m_nFormatId; }
    bool IsNumeric() const { return m_nFormatId > 0; }
    // Sets the format string (registering it); false leaves the attribute text with its unclear-format flag set.
    bool SetFormat(KStringView format) { return SetFormatString(format) != 0; }
    // Sets the format string and its id: "" and "String" make the attribute text. Returns 0 when no family
    // understands the string: the attribute becomes text with its unclear-format flag set, and the first time in a
    // table the user is told.
    int SetFormatString(KStringView format);
    void SetImportFormat(KStringView format) { m_strImportFormat = format; }
    // Sets the format under which the values were read; 0 when no family understands it (the string is kept).
    int SetImportFormatString(KStringView format);
    // The id of the import format string; 0 for text, -1 when the registry does not know it.
    int GetImportFormatID() const;
    // Takes the format id from the format string again (after the registry's ids were re-sorted).
    void RecomputeFormatID();
    // True once the format was set or guessed from values; the table's analysis guesses only the others.
    bool IsFormatDecided() const { return m_bFormatDecided; }
    bool HasUnclearFormat() const { return m_bUnclearFormat; }
    void SetUnclearFormat(bool unclear) { m_bUnclearFormat = unclear; }
    bool HasFormatWarning() const { return m_bFormatWarning; }
    void SetFormatWarning(bool warning) { m_bFormatWarning = warning; }
    int GetLanguageID() const;

    // ---- value types ----
    // The value type of the format; VALUE_TEXT for text and for a format id that no family reports.
    EValueType GetType() const;
    bool IsNumber() const;             // integer or floating number
    bool IsDate() const;               // a date without time
    bool IsTime() const;               // a time of day
    bool IsDateTime() const;           // any of date, time, date-time and time span
    bool IsTimeSpan() const;           // a duration
    bool IsDateOrDateTimeOnly() const; // a date or a date-time
    bool IsDateTimeOnly() const;       // a date-time

    // ---- reading and writing numbers ----
    // Reads the number of a text under the format; NaN when it cannot.
    double ReadNumber(KStringView text) const;
    // ReadNumber of one of the attribute's stored values (a text of its value store: CValueStore::Padded).
    double ReadStoredNumber(platform::CPaddedString text) const;
    // The number of a text with the format; used: characters read, ok: a value was read. NaN for text attributes
    // and empty text; when reading fails the format-warning flag is set and NaN returned.
    double ComputeNumericValue(KStringView text, size_t* used = nullptr, bool* ok = nullptr);
    // A number written with the format ("NAN", "INF" for non-finite numbers; "" when it cannot be written).
    KString GetAsDisplayString(double value) const;

    // ---- guessing and checking ----
    // Whether the table's analysis would guess the format: a stored attribute without lists whose format is
    // neither decided nor numeric.
    bool NeedsFormatGuess() const;
    // Guesses the format from about 400 of the attribute's distinct values (or of the given texts): the best
    // candidate reading at least half of them, else text. Not for headers or attributes with lists.
    void GuessFormat(const std::vector<KString>* values = nullptr);
    // The two halves of GuessFormat. ProposeFormats only reads (the attribute's values and the table's format
    // families): the proposals of several attributes may be made side by side while nothing is added. No
    // proposal: there was nothing to go by. ApplyFormatGuess takes the best candidate and adds its format to
    // the table: one attribute at a time.
    std::optional<std::vector<SFormatCandidate>> ProposeFormats(const std::vector<KString>* values = nullptr) const;
    void ApplyFormatGuess(const std::optional<std::vector<SFormatCandidate>>& proposal);
    // 1 when every non-empty value (or given text) reads whole with the format, else 0 and the format-warning
    // flag is set. Headers, lists, derived and text attributes pass with the flag cleared.
    int CheckFormat(const std::vector<KString>* values = nullptr);
    // How many non-empty values (or given texts) do not read whole with the format; 0 for text attributes.
    long DetermineNoOfIllegalValues(const std::vector<KString>* values = nullptr) const;

private:
    void ApplyFormat(KStringView format, int id);
    // Values (or given texts) that do not read whole with the format; stops at the first one when asked.
    long CountIllegalValues(const std::vector<KString>* values, bool stopAtFirst) const;

    CAttribute& m_attribute;       // the owner
    CTable& m_table;               // the owner's table: its format registry
    KString m_strFormat;           // format string, empty for text
    KString m_strImportFormat;     // format under which the values were read
    int32_t m_nFormatId = 0;       // id of m_strFormat in the table's registry
    bool m_bFormatDecided = false; // the format was set or guessed (see IsFormatDecided)
    bool m_bUnclearFormat = false; // a format string given was not understood
    bool m_bFormatWarning = false; // some value could not be read with the format
};
