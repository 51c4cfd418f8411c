#pragma once
// DF_GenericFormat: a family of formats that understands some format strings,
// reads values written in them and writes values back. The table's format
// registry keeps one list of families: text, numbers, then one date family per
// user-interface language. A family numbers the format strings it was given
// from 0 (its indices); the registry maps format ids onto (family, index).
//
// Threading: adding and removing formats happens on the table's thread; the
// const operations (reading, writing, recognising) are safe from parallel
// tasks while nothing is added.

#include "platform/PaddedText.h"
#include "platform/Text.h"

#include <vector>

class CLanguage;

// Value types as reported to callers; VALUE_UNKNOWN only as an answer "not a format of this family".
enum EValueType : int
{
    VALUE_UNKNOWN = 0,
    VALUE_TEXT = 1,
    VALUE_INTEGER = 2,
    VALUE_DOUBLE = 3,
    VALUE_DATE = 4,
    VALUE_TIME = 5,
    VALUE_DATETIME = 6,
    VALUE_TIMESPAN = 7,
};

// The name of a type code as reported to callers ("STRING", "INTEGER", ...); "STRING" for any other code.
const char16_t* GetValueTypeName(int type);

// A format proposed for a set of sample values.
struct SFormatCandidate
{
    KString strFormat;   // the format string
    int nReads = 0;      // samples read to their full length
    int nRoundTrips = 0; // of those, samples written back exactly as they were
    int nOrder = 0;      // order of proposal (lower = proposed earlier)
};

// What the registry tells the families when it asks for candidates.
struct SRecognitionHints
{
    char16_t cDecimal = u'.';   // the table language's decimal separator
    char16_t cThousands = u','; // the table language's thousands separator
    int nMinReads = 1;          // candidates reading fewer samples are not proposed
};

class DF_GenericFormat
{
public:
    virtual ~DF_GenericFormat() = default;
    // Appends this family's candidates for the samples that read at least hints.nMinReads of them.
    virtual void RecognizeFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                                  std::vector<SFormatCandidate>& out) const = 0;
    // Reads a value from the start of text with the format of an index. used: characters taken (characters
    // may remain). False when no value could be read; used then tells how far reading got.
    virtual bool ReadValue(int index, KStringView text, double& value, size_t& used) const = 0;
    // The number of a stored value (the text of a value store, with its padding) read whole with the format of
    // an index; NaN when it does not read whole.
    virtual double ReadStoredNumber(int index, platform::CPaddedString text) const;
    // The index of the format string within the family (added when new), or -1 when it is not of this family.
    virtual int AddFormat(KStringView format) = 0;
    virtual const KString& GetFormatString(int index) const = 0;
    // Removes an index; the later indices move down by one.
    virtual void RemoveFormat(int index) = 0;
    virtual int GetCount() const = 0;
    // The rank that orders format ids (text 0, numbers 100..151, dates and times 182..200).
    virtual int GetRank(int index) const = 0;
    // Writes a finite value with the format of an index; false when it cannot be written.
    virtual bool WriteValue(int index, double value, KString& text) const = 0;
    // The type a format string would have in this family; VALUE_UNKNOWN when it is not of this family.
    virtual EValueType GetTypeOfFormat(KStringView format) const = 0;
    virtual EValueType GetType(int index) const = 0;
    // The language a date family is bound to; null for the other families.
    virtual const CLanguage* GetLanguage() const { return nullptr; }

protected:
    // Counts how many samples a reader reads whole and how many of those a writer gives back unchanged.
    // Stops early (returning false) once too many samples failed to reach minReads.
    template <class Read, class Write>
    static bool CountSamples(const std::vector<KStringView>& samples, int minReads, const Read& read,
                             const Write& write, SFormatCandidate& candidate)
    {
        const int allowedFailures = static_cast<int>(samples.size()) - minReads;
        int failures = 0;
        KString written;
        for (KStringView sample : samples)
        {
            double value = 0;
            size_t used = 0;
            if (!read(sample, value, used) || used != sample.size())
            {
                if (++failures > allowedFailures)
                    return false;
                continue;
            }
            ++candidate.nReads;
            written.clear();
            if (write(value, written) && written == sample)
                ++candidate.nRoundTrips;
        }
        return candidate.nReads >= minReads;
    }
};

// The text family: knows only the empty format string (format id 0); its values carry no number.
class DF_StringFormat : public DF_GenericFormat
{
public:
    void RecognizeFormats(const std::vector<KStringView>&, const SRecognitionHints&,
                          std::vector<SFormatCandidate>&) const override
    {
    }
    bool ReadValue(int, KStringView, double&, size_t& used) const override
    {
        used = 0;
        return false;
    }
    int AddFormat(KStringView format) override { return format.empty() ? 0 : -1; }
    const KString& GetFormatString(int) const override { return m_strEmpty; }
    void RemoveFormat(int) override {}
    int GetCount() const override { return 1; }
    int GetRank(int) const override { return 0; }
    bool WriteValue(int, double, KString&) const override { return false; }
    EValueType GetTypeOfFormat(KStringView format) const override
    {
        return format.empty() ? VALUE_TEXT : VALUE_UNKNOWN;
    }
    EValueType GetType(int) const override { return VALUE_TEXT; }

private:
    const KString m_strEmpty; // the one format string of the family
};
