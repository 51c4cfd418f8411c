#include "engine/NumberFormat.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>


namespace
{
bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool IsThousandsSeparator(char16_t c)
{
    return c == u'.' || c == u',' || c == u'\'' || c == 0x00A0 || c == 0x2019;
}

// Adds one to a string of decimal digits.
void IncrementDigits(std::string& digits)
{
    for (size_t i = digits.size(); i-- > 0;)
    {
        if (digits[i] != '9')
        {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Appends integer digits to text with a separator before every group of three counted from the right.
void AppendGrouped(KString& text, std::string_view digits, char16_t separator)
{
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (separator && i > 0 && (n - i) % 3 == 0)
            text += separator;
        text += static_cast<char16_t>(digits[i]);
    }
}
// The shortest digits of a value (count of them, the decimal exponent of the first) when it has at most eight
// decimals and fewer than 16 digits and is not 0; false for other values.
bool ShortestDigitsOfShortDecimal(double value, char* digits, size_t& count, int& exponent)
{
    // A decimal of at most 15 significant digits is the only one of them that reads as its double. So when
    // a whole number m of some decimal place (m / 10^decimals, rounded once, is the value) has at most 15
    // digits, they are the value's shortest digits.
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    constexpr double kLimit = 1e15;
    if (value == 0 || !(std::fabs(value) < kLimit))
        return false;
    for (int decimals = 0; decimals < static_cast<int>(std::size(kPowers)); ++decimals)
    {
        const double power = kPowers[decimals];
        const double scaled = value * power;
        if (!(std::fabs(scaled) < kLimit))
            return false;
        // The nearest whole number (a candidate only: the test below decides).
        const int64_t whole = static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
        if (whole == 0 || static_cast<double>(whole) / power != value)
            continue;
        char buffer[24];
        size_t n = 0;
        for (uint64_t rest = static_cast<uint64_t>(whole < 0 ? -whole : whole); rest > 0; rest /= 10)
            buffer[sizeof buffer - ++n] = static_cast<char>('0' + rest % 10);
        exponent = static_cast<int>(n) - 1 - decimals;
        const char* first = buffer + sizeof buffer - n;
        while (n > 1 && first[n - 1] == '0')
            --n;
        std::copy(first, first + n, digits);
        count = n;
        return true;
    }
    return false;
}
} // namespace

// ---- SNumberFormat ----

std::optional<SNumberFormat> SNumberFormat::Parse(KStringView format)
{
    SNumberFormat parsed;
    parsed.strFormat = KString(format);
    size_t i = 0;
    const size_t n = format.size();
    while (i < n && format[i] == u' ')
        ++i;
    if (i < n && format[i] == u'+')
    {
        parsed.bPlus = true;
        ++i;
    }
    // The integer part: "####" or "#" separator "###".
    if (n - i < 4 || format[i] != u'#')
        return std::nullopt;
    if (format[i + 1] == u'#')
    {
        if (format.substr(i + 2, 2) != u"##")
            return std::nullopt;
        i += 4;
    }
    else
    {
        parsed.cThousands = format[i + 1];
        if (format.substr(i + 2, 3) != u"###")
            return std::nullopt;
        i += 5;
    }
    // The decimal part: a separator, then a run of "0" (fixed) or of "#" (optional).
    if (i < n && format[i] != u' ' && format[i] != u'#' && format[i] != u'0')
    {
        parsed.cDecimal = format[i++];
        const char16_t run = i < n ? format[i] : 0;
        if (run == u'0' || run == u'#')
        {
            parsed.bFixed = run == u'0';
            while (i < n && format[i] == run)
            {
                ++parsed.nDecimals;
                ++i;
            }
        }
    }
    while (i < n && format[i] == u' ')
        ++i;
    if (i != n)
        return std::nullopt;
    if (parsed.cThousands && !IsThousandsSeparator(parsed.cThousands))
        return std::nullopt;
    if (parsed.cDecimal && parsed.cDecimal != u'.' && parsed.cDecimal != u',')
        return std::nullopt;
    if (parsed.cThousands && parsed.cThousands == parsed.cDecimal)
        return std::nullopt;
    return parsed;
}

int SNumberFormat::GetRank() const
{
    int rank = 0;
    if (cDecimal)
    {
        if (nDecimals == 0)
            rank = 100;
        else if (bFixed)
            rank = 122;
        else
            rank = 102 + 2 * (10 - std::min(nDecimals, 10));
        if (!cThousands)
            rank += 24;
    }
    else
    {
        rank = cThousands ? 148 : 150;
    }
    return bPlus ? rank : rank + 1;
}

namespace
{
// The value of the first count (1 to 8) digits of bytes (as CountDigits gives them), without a loop over them.
uint32_t ValueOfDigits(uint64_t bytes, unsigned count)
{
    // Right-aligned (the digits left out become leading zeros), then pairs, quads and the whole are summed.
    uint64_t value = (bytes - 0x3030303030303030ull) << (8 * (8 - count)); // a borrow only runs into bytes shifted out
    value = value * 10 + (value >> 8);
    value = (((value & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
             (((value >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
            32;
    return static_cast<uint32_t>(value);
}
} // namespace

bool SNumberFormat::ReadPlainStored(platform::CPaddedString text, double& value) const
{
    using platform::CountDigits;
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
    const bool negative = text[0] == u'-';
    const platform::CPaddedString p = text.From(negative || text[0] == u'+' ? 1 : 0);
    uint64_t bytes;
    const unsigned integerDigits = CountDigits(p, bytes);
    // Thousands separators, spaces, exponents and long numbers go to Read, as do numbers of four or more digits
    // without separators in a format that has them (Read refuses those).
    if (integerDigits == 0 || integerDigits == 8 || (cThousands && integerDigits >= 4))
        return false;
    uint64_t mantissa = ValueOfDigits(bytes, integerDigits);
    unsigned fractionDigits = 0;
    const char16_t after = p[integerDigits];
    if (after != 0)
    {
        if (after != cDecimal || cDecimal == 0)
            return false;
        const platform::CPaddedString fraction = p.From(integerDigits + 1);
        fractionDigits = CountDigits(fraction, bytes);
        if (fractionDigits == 8 || fraction[fractionDigits] != 0)
            return false;
        if (fractionDigits > 0)
            mantissa = mantissa * static_cast<uint64_t>(kPowers[fractionDigits]) + ValueOfDigits(bytes, fractionDigits);
    }
    if (cDecimal && nDecimals > 0 &&
        (bFixed ? fractionDigits != static_cast<unsigned>(nDecimals)
                : fractionDigits > static_cast<unsigned>(nDecimals)))
        value = std::numeric_limits<double>::quiet_NaN();
    else
    {
        // As Read: at most 14 digits, a whole number a double holds exactly, divided by an exact power of ten.
        value = static_cast<double>(mantissa);
        if (fractionDigits > 0)
            value /= kPowers[fractionDigits];
        if (negative)
            value = -value;
    }
    return true;
}

bool SNumberFormat::Read(KStringView text, double& value, size_t& used) const
{
    const size_t n = text.size();
    size_t p = 0;
    while (p < n && text[p] == u' ')
        ++p;
    bool negative = false;
    if (p < n && (text[p] == u'-' || text[p] == u'+'))
        negative = text[p++] == u'-';

    const size_t start = p; // the first digit (or separator) after the sign
    uint64_t mantissa = 0;  // the digits read, as long as there are at most 15 of them
    size_t integerDigits = 0;
    bool significant = false; // a non-zero integer digit was read
    size_t group = 0;         // digits since the start or the last separator
    bool grouped = false;     // a thousands separator was read
    while (p < n)
    {
        const char16_t c = text[p];
        if (IsDigit(c))
        {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - u'0');
            significant = significant || c != u'0';
            ++integerDigits;
            ++group;
            ++p;
            continue;
        }
        if (cThousands && c == cThousands && integerDigits > 0)
        {
            // A separator stands between groups: 1 to 3 digits before the first one, exactly 3 between and after.
            const bool before = grouped ? group == 3 : group <= 3;
            const bool after = p + 3 < n && IsDigit(text[p + 1]) && IsDigit(text[p + 2]) && IsDigit(text[p + 3]) &&
                               (p + 4 >= n || !IsDigit(text[p + 4]));
            if (before && after)
            {
                grouped = true;
                group = 0;
                ++p;
                continue;
            }
        }
        break;
    }
    if (cThousands && !grouped && integerDigits >= 4)
    {
        used = p;
        return false;
    }
    size_t fractionDigits = 0;
    size_t decimalAt = SIZE_MAX;
    if (cDecimal && p < n && text[p] == cDecimal)
    {
        decimalAt = p++;
        while (p < n && IsDigit(text[p]))
        {
            mantissa = mantissa * 10 + static_cast<uint64_t>(text[p++] - u'0');
            ++fractionDigits;
        }
    }
    used = p;
    if (integerDigits == 0 && fractionDigits == 0)
        return false;
    if (cDecimal && nDecimals > 0 &&
        (bFixed ? fractionDigits != static_cast<size_t>(nDecimals) : fractionDigits > static_cast<size_t>(nDecimals)))
        return false;

    double number = 0;
    if (integerDigits + fractionDigits <= 15)
    {
        // Up to 15 digits are a whole number a double holds exactly, and so is 10^fraction digits: their
        // quotient is the correctly rounded number, as from_chars would give it, in a fraction of the time.
        static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        number = static_cast<double>(mantissa);
        if (fractionDigits > 0) // a division takes longer than the rest of a short number's reading
            number /= kPowers[fractionDigits];
        if (negative)
            number = -number;
    }
    else
    {
        // Spelled out for from_chars: the sign, the digits without separators, a point for the decimal mark.
        std::string digits = negative ? "-" : "";
        if (integerDigits == 0)
            digits += '0';
        for (size_t q = start; q < p; ++q)
        {
            if (q == decimalAt)
                digits += '.';
            else if (IsDigit(text[q]))
                digits += static_cast<char>(text[q]);
        }
        const char* first = digits.data();
        const char* last = first + digits.size();
        const auto [end, error] = std::from_chars(first, last, number, std::chars_format::fixed);
        if (error == std::errc::result_out_of_range)
        {
            if (significant)
                return false;               // too large for a double
            number = negative ? -0.0 : 0.0; // too small: zero
        }
        else if (error != std::errc() || end != last)
        {
            return false;
        }
    }
    if (!std::isfinite(number))
        return false;
    while (p < n && text[p] == u' ')
        ++p;
    used = p;
    value = number;
    return true;
}

bool SNumberFormat::Write(double value, KString& text) const
{
    // WritePlain's steps on buffers of the stack: the same text without a string made on the way.
    if (!std::isfinite(value))
        return false;
    char digits[32]; // the shortest digits that read back as the value
    size_t digitCount = 0;
    int exponent = 0; // the decimal exponent of the first digit
    bool negativeValue = std::signbit(value);
    if (!ShortestDigitsOfShortDecimal(value, digits, digitCount, exponent))
    {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
        if (result.ec != std::errc())
            return false;
        const char* const end = result.ptr;
        negativeValue = buffer[0] == '-';
        const char* const e = std::find(static_cast<const char*>(buffer), end, 'e');
        for (const char* p = buffer + (negativeValue ? 1 : 0); p < e && digitCount < sizeof digits; ++p)
        {
            if (*p != '.')
                digits[digitCount++] = *p;
        }
        std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    }
    if (value == 0)
    {
        digits[0] = '0';
        digitCount = 1;
        exponent = 0;
    }
    int decimals = nDecimals;
    if (cDecimal && nDecimals == 0)
        decimals = std::clamp(14 - exponent, 0, 308);
    if (!cDecimal)
        decimals = 0;

    // The digits of |value| * 10^decimals, rounded half away from zero on the shortest digits.
    constexpr long kRoom = 1024;
    const long keep = static_cast<long>(exponent) + decimals + 1;
    if (keep >= kRoom - 1 || decimals >= kRoom - 1)
        return WritePlain(value, text);
    char16_t out[2 * kRoom + 4];
    size_t length = 0;
    if (value != 0 && keep >= static_cast<long>(digitCount))
    {
        // Every digit kept, nothing rounded (the shortest digits end in a digit other than 0): the digits
        // before the point (zeros after them up to it, "0" for none), the point, the digits after it up to
        // the last one (for fixed decimals, zeros after it up to their number).
        if (negativeValue)
            out[length++] = u'-';
        else if (bPlus)
            out[length++] = u'+';
        const long count = static_cast<long>(digitCount);
        const long integerDigits = exponent >= 0 ? exponent + 1 : 0;
        if (integerDigits == 0)
            out[length++] = u'0';
        for (long i = 0; i < integerDigits; ++i)
        {
            if (cThousands && i > 0 && (integerDigits - i) % 3 == 0)
                out[length++] = cThousands;
            out[length++] = static_cast<char16_t>(i < count ? digits[i] : '0');
        }
        const long fractionDigits = bFixed ? decimals : std::max<long>(0, count - 1 - exponent);
        if (fractionDigits > 0)
        {
            out[length++] = cDecimal;
            for (long place = 1; place <= fractionDigits; ++place)
            {
                const long i = exponent + place;
                out[length++] = static_cast<char16_t>(i >= 0 && i < count ? digits[i] : '0');
            }
        }
        if (length > kMaxWrittenNumberLength)
            return false;
        text.assign(out, length);
        return true;
    }
    char scaled[kRoom];
    size_t size = 0;
    if (keep <= 0)
    {
        scaled[size++] = (keep == 0 && digits[0] >= '5') ? '1' : '0';
    }
    else if (keep >= static_cast<long>(digitCount))
    {
        std::copy(digits, digits + digitCount, scaled);
        std::fill(scaled + digitCount, scaled + keep, '0');
        size = static_cast<size_t>(keep);
    }
    else
    {
        size = static_cast<size_t>(keep);
        std::copy(digits, digits + size, scaled);
        if (digits[size] >= '5')
        {
            size_t i = size;
            while (i > 0 && scaled[i - 1] == '9')
                scaled[--i] = '0';
            if (i > 0)
            {
                ++scaled[i - 1];
            }
            else
            {
                std::copy_backward(scaled, scaled + size, scaled + size + 1);
                scaled[0] = '1';
                ++size;
            }
        }
    }
    const size_t fractionSize = static_cast<size_t>(decimals);
    if (size <= fractionSize)
    {
        const size_t pad = fractionSize + 1 - size;
        std::copy_backward(scaled, scaled + size, scaled + size + pad);
        std::fill(scaled, scaled + pad, '0');
        size += pad;
    }
    std::string_view integer(scaled, size - fractionSize);
    std::string_view fraction(scaled + integer.size(), fractionSize);
    const size_t firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string_view::npos ? std::string_view("0") : integer.substr(firstNonZero);
    const bool zero = integer == "0" && fraction.find_first_not_of('0') == std::string_view::npos;
    if (!bFixed)
    {
        const size_t lastNonZero = fraction.find_last_not_of('0');
        fraction = fraction.substr(0, lastNonZero == std::string_view::npos ? 0 : lastNonZero + 1);
    }

    if (negativeValue && !zero)
        out[length++] = u'-';
    else if (bPlus && !zero)
        out[length++] = u'+';
    const size_t n = integer.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (cThousands && i > 0 && (n - i) % 3 == 0)
            out[length++] = cThousands;
        out[length++] = static_cast<char16_t>(integer[i]);
    }
    if (!fraction.empty())
    {
        out[length++] = cDecimal;
        for (char c : fraction)
            out[length++] = static_cast<char16_t>(c);
    }
    if (length > kMaxWrittenNumberLength)
        return false;
    text.assign(out, length);
    return true;
}

bool SNumberFormat::WritePlain(double value, KString& text) const
{
    if (!std::isfinite(value))
        return false;
    // The shortest digits that read back as the value, and its decimal exponent.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (result.ec != std::errc())
        return false;
    const std::string_view scientific(buffer, static_cast<size_t>(result.ptr - buffer));
    const bool negativeValue = scientific.front() == '-';
    const size_t e = scientific.find('e');
    std::string digits;
    for (size_t i = negativeValue ? 1 : 0; i < e; ++i)
    {
        if (scientific[i] != '.')
            digits += scientific[i];
    }
    int exponent = 0;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1), scientific.data() + scientific.size(),
                    exponent);
    if (value == 0)
    {
        digits = "0";
        exponent = 0;
    }

    int decimals = nDecimals;
    if (cDecimal && nDecimals == 0)
        decimals = std::clamp(14 - exponent, 0, 308);
    if (!cDecimal)
        decimals = 0;

    // The digits of |value| * 10^decimals, rounded half away from zero on the shortest digits.
    const long keep = static_cast<long>(exponent) + decimals + 1;
    std::string scaled;
    if (keep <= 0)
    {
        scaled = (keep == 0 && digits[0] >= '5') ? "1" : "0";
    }
    else if (keep >= static_cast<long>(digits.size()))
    {
        scaled = digits + std::string(static_cast<size_t>(keep) - digits.size(), '0');
    }
    else
    {
        scaled = digits.substr(0, static_cast<size_t>(keep));
        if (digits[static_cast<size_t>(keep)] >= '5')
            IncrementDigits(scaled);
    }
    if (scaled.size() <= static_cast<size_t>(decimals))
        scaled.insert(0, static_cast<size_t>(decimals) + 1 - scaled.size(), '0');
    std::string integer = scaled.substr(0, scaled.size() - static_cast<size_t>(decimals));
    std::string fraction = scaled.substr(scaled.size() - static_cast<size_t>(decimals));
    const size_t firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string::npos ? "0" : integer.substr(firstNonZero);
    const bool zero = integer == "0" && fraction.find_first_not_of('0') == std::string::npos;
    if (!bFixed)
    {
        const size_t lastNonZero = fraction.find_last_not_of('0');
        fraction.erase(lastNonZero == std::string::npos ? 0 : lastNonZero + 1);
    }

    KString out;
    if (negativeValue && !zero)
        out += u'-';
    else if (bPlus && !zero)
        out += u'+';
    AppendGrouped(out, integer, cThousands);
    if (!fraction.empty())
    {
        out += cDecimal;
        for (char c : fraction)
            out += static_cast<char16_t>(c);
    }
    if (out.size() > kMaxWrittenNumberLength)
        return false;
    text = std::move(out);
    return true;
}

KString SNumberFormat::WriteInteger(int64_t value) const
{
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    KString out;
    if (value < 0)
        out += u'-';
    else if (bPlus && value > 0)
        out += u'+';
    AppendGrouped(out, std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), cThousands);
    return out;
}

// ---- DF_NumberFormat ----

int DF_NumberFormat::AddFormat(KStringView format)
{
    for (size_t i = 0; i < m_formats.size(); ++i)
    {
        if (m_formats[i].strFormat == format)
            return static_cast<int>(i);
    }
    std::optional<SNumberFormat> parsed = SNumberFormat::Parse(format);
    if (!parsed)
        return -1;
    m_formats.push_back(std::move(*parsed));
    return static_cast<int>(m_formats.size()) - 1;
}

void DF_NumberFormat::RemoveFormat(int index)
{
    if (index >= 0 && index < GetCount())
        m_formats.erase(m_formats.begin() + index);
}

bool DF_NumberFormat::ReadValue(int index, KStringView text, double& value, size_t& used) const
{
    return m_formats[index].Read(text, value, used);
}

double DF_NumberFormat::ReadStoredNumber(int index, platform::CPaddedString text) const
{
    double value;
    if (m_formats[index].ReadPlainStored(text, value))
        return value;
    return DF_GenericFormat::ReadStoredNumber(index, text);
}

bool DF_NumberFormat::WriteValue(int index, double value, KString& text) const
{
    return m_formats[index].Write(value, text);
}

EValueType DF_NumberFormat::GetTypeOfFormat(KStringView format) const
{
    const std::optional<SNumberFormat> parsed = SNumberFormat::Parse(format);
    return parsed ? parsed->GetType() : VALUE_UNKNOWN;
}

void DF_NumberFormat::RecognizeFormats(const std::vector<KStringView>& samples, const SRecognitionHints& hints,
                                       std::vector<SFormatCandidate>& out) const
{
    // Integer formats before floating ones, so that a column of integers is not made floating; the table
    // language's separators first, then the other convention, then apostrophe and no-break space groups.
    const char16_t decimal = hints.cDecimal == u',' ? u',' : u'.';
    const char16_t thousands = hints.cThousands;
    const char16_t otherDecimal = decimal == u'.' ? u',' : u'.';
    const char16_t otherThousands = otherDecimal == u'.' ? u',' : u'.';
    const KString d(1, decimal), t(1, thousands), od(1, otherDecimal), ot(1, otherThousands);
    const KString proposals[] = {
        u"####",      u"#" + t + u"###",       u"####" + d,        u"#" + t + u"###" + d,
        u"####" + od, u"#" + ot + u"###" + od, u"#" + ot + u"###", u"#'###",
        u"#'###" + d, u"#\u00A0###" + d,
    };
    std::vector<KString> seen;
    for (const KString& proposal : proposals)
    {
        if (std::find(seen.begin(), seen.end(), proposal) != seen.end())
            continue;
        seen.push_back(proposal);
        const std::optional<SNumberFormat> format = SNumberFormat::Parse(proposal);
        if (!format)
            continue;
        SFormatCandidate candidate;
        candidate.strFormat = proposal;
        const bool enough = CountSamples(
            samples, hints.nMinReads,
            [&](KStringView text, double& value, size_t& used) { return format->Read(text, value, used); },
            [&](double value, KString& text) { return format->Write(value, text); }, candidate);
        if (enough)
            out.push_back(std::move(candidate));
    }
}
