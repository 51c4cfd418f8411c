#pragma once
// Number formats: "####" (integer), "#,###" (integer with thousands),
// "####.##" (up to two decimals), "####.00" (exactly two), "####." (as many
// decimals as needed, 14 significant digits), optionally with "+" for a plus
// sign. SNumberFormat is one parsed format string; DF_NumberFormat is the
// family that keeps them. Reading and writing never consult the process's
// locale: the separators are those of the format string.
//
// Threading: SNumberFormat is immutable; see DF_GenericFormat for the family.

#include "engine/FormatFamily.h"

#include <cstdint>
#include <optional>

// The longest text a number is written as (the buffer of the interface's typed setters).
constexpr size_t kMaxWrittenNumberLength = 412;

// One parsed number format. Immutable once parsed; any thread may read and write with it.
struct SNumberFormat
{
    KString strFormat;       // the format string as given
    bool bPlus = false;      // write "+" before positive values
    char16_t cThousands = 0; // thousands separator, 0 = none
    char16_t cDecimal = 0;   // decimal separator, 0 = none (an integer format)
    int nDecimals = 0;       // number of decimals (0 with a decimal separator: as many as needed)
    bool bFixed = false;     // the decimals are always written (and must all be given when reading)

    // The parsed format, or nothing when the string is not a number format.
    static std::optional<SNumberFormat> Parse(KStringView format);

    EValueType GetType() const { return cDecimal ? VALUE_DOUBLE : VALUE_INTEGER; }
    int GetRank() const;

    // Reads a number from the start of text; see DF_GenericFormat::ReadValue.
    bool Read(KStringView text, double& value, size_t& used) const;
    // The common numbers of a stored text (see DF_GenericFormat::ReadStoredNumber): a sign, up to seven
    // digits and, with the decimal separator, up to seven more, read eight units at a time. False for any other
    // text (then nothing is set): Read decides those.
    bool ReadPlainStored(platform::CPaddedString text, double& value) const;
    // Writes a finite number; false when the result would be longer than kMaxWrittenNumberLength.
    bool Write(double value, KString& text) const;
    // Write by the plain steps, one string after the other (Write's own fallback, and its measure in tests).
    bool WritePlain(double value, KString& text) const;
    // Writes an integer exactly (all its digits) with the thousands separator of the format.
    KString WriteInteger(int64_t value) const;
};

// The number formats of a table. Threading: see DF_GenericFormat.
class DF_NumberFormat : public DF_GenericFormat
{
public:
    void RecognizeFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                          std::vector<SFormatCandidate>& out) const override;
    bool ReadValue(int index, KStringView text, double& value, size_t& used) const override;
    double ReadStoredNumber(int index, platform::CPaddedString text) const override;
    int AddFormat(KStringView format) override;
    const KString& GetFormatString(int index) const override { return m_formats[index].strFormat; }
    void RemoveFormat(int index) override;
    int GetCount() const override { return static_cast<int>(m_formats.size()); }
    int GetRank(int index) const override { return m_formats[index].GetRank(); }
    bool WriteValue(int index, double value, KString& text) const override;
    EValueType GetTypeOfFormat(KStringView format) const override;
    EValueType GetType(int index) const override { return m_formats[index].GetType(); }

    const SNumberFormat& GetNumberFormat(int index) const { return m_formats[index]; }

private:
    std::vector<SNumberFormat> m_formats; // by index within the family; strings unique
};
