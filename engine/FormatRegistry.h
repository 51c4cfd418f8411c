#pragma once
// CFormatRegistry: the table's list of known formats. A format id is a
// position in the list; id 0 is text, whose format string is empty. Ids above
// 0 are numeric formats (numbers, dates, times, date-times, time spans) whose
// values carry a double beside their text.
//
// The registry keeps a list of format families (FormatFamily.h): text,
// numbers, then one date family per user-interface language. A format string
// or a value is offered to the families from the end of the list towards its
// start; setting the table's language moves that language's family to the end
// and the English family just before it, so the table's language is tried
// first, then English, then the others from the last of the language list to
// the first (Hungarian, Polish, Portuguese, Italian, Spanish, Dutch, French,
// German). Guessing asks the date families in this same order, so that the
// family proposing a format string is the one that later reads it. At most one
// format per value type is marked as that type's default.
//
// Example: after AddStandardFormats for English, GetFormatID(u"####.") is the
// id of the floating default format, ReadNumber(id, u"1234.5") is 1234.5 and
// WriteNumber(id, 1.0 / 3) is "0.33333333333333".
//
// Threading: changed on the table's thread only. The const operations
// (reading and writing values, recognising formats) are safe from parallel
// tasks while no format is added, removed or re-sorted.

#include "engine/FormatFamily.h"
#include "platform/Text.h"

#include <memory>
#include <vector>

class CLanguage;

// The longest format string the registry keeps.
constexpr size_t kMaxFormatLength = 255;

class CFormatRegistry
{
public:
    // A registry that knows text, English as the table's language, and no number or date formats yet.
    CFormatRegistry();
    ~CFormatRegistry();
    CFormatRegistry(const CFormatRegistry&) = delete;
    CFormatRegistry& operator=(const CFormatRegistry&) = delete;

    // ---- language ----
    // Makes the language's date family the first to be asked (English second). Unknown ids mean English.
    void SetLanguage(int languageId);
    int GetLanguageId() const;
    const CLanguage& GetLanguage() const;

    // ---- formats and ids ----
    // 0 for "", the id of a known format string (searched from the highest id down), -1 when unknown.
    int GetFormatID(KStringView format) const;
    // The format string of an id ("" for 0 and unknown ids).
    KString GetFormat(int id) const;
    int GetFormatCount() const { return static_cast<int>(m_entries.size()); }
    // True when the format is known or could be added (at the end, without re-sorting).
    bool AddFormatIfNew(KStringView format);
    // The value type of a format id; VALUE_TEXT for 0 and for ids that no family reports.
    EValueType GetType(int id) const;
    // The type the families would give a format string (known or not); VALUE_UNKNOWN when none understands it.
    EValueType GetTypeOfFormat(KStringView format) const;
    // The rank of an id (0 for text and unknown ids).
    int GetRank(int id) const;
    // Orders the formats by rank (stable). Every id may change; the caller recomputes the ids it holds.
    void SortByRank();

    // ---- type defaults ----
    // Marks the format as its type's default (clearing the mark of the type's former default).
    void SetTypeDefault(int id);
    bool IsTypeDefault(int id) const;
    // The id of the type's default format, -1 when none is marked.
    int GetDefaultFormatID(EValueType type) const;

    // The ids of "####" and "####." (the integer and floating defaults), cached by SortByRank; -1 when unknown.
    int GetIntegerFormatId() const { return m_nIntegerFormatId; }
    int GetFloatingFormatId() const { return m_nFloatingFormatId; }

    // ---- values ----
    // Reads a value from the start of text with a format; see DF_GenericFormat::ReadValue. False for text.
    bool Read(int id, KStringView text, double& value, size_t& used) const;
    // The number of a text under a format; NaN unless the whole text is a value of it.
    double ReadNumber(int id, KStringView text) const;
    // ReadNumber of a stored value (see DF_GenericFormat::ReadStoredNumber): common numbers without a loop
    // over their units.
    double ReadStoredNumber(int id, platform::CPaddedString text) const;
    // Writes a value: "INF" or "-INF" for an infinite number, "NAN" for NaN, else the family's text.
    // False (text unchanged) for the text format, unknown ids and values the family cannot write.
    bool Write(int id, double value, KString& text) const;
    // Write, giving "" when the value cannot be written.
    KString WriteNumber(int id, double number) const;

    // ---- guessing ----
    // Up to maxCandidates formats (strings of at most 50 characters) that read at least hints.nMinReads of
    // the samples, best first: most samples read, then most written back unchanged, then the order of
    // proposal (numbers, then the dates of every language in the order above: the table's language, English,
    // the others). A date format is proposed only when this registry reads it as its family counted it: a
    // string that a family asked earlier understands differently (other month names) is left out.
    std::vector<SFormatCandidate> RecognizeFormats(const std::vector<KStringView>& samples,
                                                   const SRecognitionHints& hints, size_t maxCandidates = 10) const;

private:
    struct SEntry
    {
        KString strFormat;         // the format string, unique in the registry
        DF_GenericFormat* pFamily; // the family that understands it; owned by m_families
        int nIndex;                // its index within the family
        bool bDefault;             // the default format of its type
    };

    DF_GenericFormat* FindFamily(const CLanguage& language) const;
    // The family that reads a format string here: its registered family when known, else the first that
    // AddFormatIfNew would ask and that understands it; null when none does.
    const DF_GenericFormat* FindReader(KStringView format) const;
    // True when the registry reads a format string that family proposed exactly as family does.
    bool ReadsAsProposed(KStringView format, const DF_GenericFormat& family) const;

    std::vector<std::unique_ptr<DF_GenericFormat>> m_families; // [0] text, [1] numbers, then dates; asked from the end
    std::vector<SEntry> m_entries;                             // by format id; [0] is text
    int m_nLanguageId = 1033;                                  // the table's language (its family is last)
    int m_nIntegerFormatId = -1;                               // id of "####", -1 when unknown
    int m_nFloatingFormatId = -1;                              // id of "####.", -1 when unknown
};
