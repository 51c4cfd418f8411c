#pragma once
// Helpers for the format tests: reading the data files of tests/engine/data/formats
// (one case per line as tests/CaseFiles.h reads them, fields separated by '|', '@' directives) and
// parsing expected numbers without the process's locale.

#include "platform/Text.h"
#include "tests/CaseFiles.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

// The folder of the format data files, beside this header.
inline std::string FormatDataFolder() { return KORVALIN_TEST_FOLDER "/data/formats/"; }

// One line of a data file: its fields (trimmed, "(empty)" read as "", "\uXXXX" escapes resolved, a field in double
// quotes kept as written between them) or a directive ("@name value").
struct SFormatCase
{
    std::string strFile;           // file name, for failure messages
    int nLine = 0;                 // line number from 1
    std::string strDirective;      // "language", "mode", "format"; empty for a case
    std::string strDirectiveValue; // the rest of a directive line, trimmed
    std::vector<KString> fields;   // the fields of a case
    std::string strRaw;            // the line as written

    // The data file's path, for failures reported at the case's line.
    std::string Path() const { return FormatDataFolder() + strFile; }
    // "path:line", for assertion messages.
    std::string Where() const { return Path() + ":" + std::to_string(nLine); }
};

// Reports a failure at the case's line of its data file: CASE_FAILURE(c) << "what went wrong";
#define CASE_FAILURE(c) ADD_FAILURE_AT((c).Path().c_str(), (c).nLine)

inline std::string TrimAscii(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A field as text: escapes \uXXXX resolved, "(empty)" is "", quotes removed.
inline KString DecodeField(std::string field)
{
    field = TrimAscii(field);
    if (field == "(empty)")
        return KString();
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = field.substr(1, field.size() - 2);
    KString out = platform::FromUtf8(field);
    KString decoded;
    for (size_t i = 0; i < out.size(); ++i)
    {
        if (out[i] == u'\\' && i + 5 < out.size() && out[i + 1] == u'u')
        {
            std::string hex;
            for (size_t k = 2; k < 6; ++k)
                hex += static_cast<char>(out[i + k]);
            unsigned value = 0;
            const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
            if (error == std::errc() && end == hex.data() + hex.size() && hex.size() == 4)
            {
                decoded += static_cast<char16_t>(value);
                i += 5;
                continue;
            }
        }
        decoded += out[i];
    }
    return decoded;
}

// Splits a line on separator (outside double quotes).
inline std::vector<std::string> SplitLine(const std::string& line, const std::string& separator)
{
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i)
    {
        if (line[i] == '"')
            quoted = !quoted;
        if (!quoted && line.compare(i, separator.size(), separator) == 0)
        {
            parts.push_back(current);
            current.clear();
            i += separator.size() - 1;
            continue;
        }
        current += line[i];
    }
    parts.push_back(current);
    return parts;
}

// Every case and directive of a data file, fields split on separator. An unreadable file fails the test.
inline std::vector<SFormatCase> ReadFormatCases(const std::string& file, const std::string& separator = "|")
{
    std::vector<SFormatCase> cases;
    for (const SCaseLine& line : ReadCaseLines(FormatDataFolder() + file))
    {
        SFormatCase c;
        c.strFile = file;
        c.nLine = line.m_nLine;
        c.strRaw = TrimAscii(line.m_strText);
        if (c.strRaw[0] == '@')
        {
            const size_t space = c.strRaw.find(' ');
            c.strDirective = c.strRaw.substr(1, space == std::string::npos ? std::string::npos : space - 1);
            c.strDirectiveValue = space == std::string::npos ? std::string() : TrimAscii(c.strRaw.substr(space));
        }
        else
        {
            for (const std::string& field : SplitLine(c.strRaw, separator))
                c.fields.push_back(DecodeField(field));
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

// An expected number: a decimal ("-2.5", "1e20"), "nan", "inf", "-inf", a fraction "a/b", or "i+a/b" / "i-a/b".
// Nothing when the text is none of these.
inline std::optional<double> ParseExpectedNumber(const std::string& text)
{
    auto plain = [](const std::string& s) -> std::optional<double>
    {
        if (s == "nan")
            return std::nan("");
        if (s == "inf")
            return HUGE_VAL;
        if (s == "-inf")
            return -HUGE_VAL;
        double value = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (error != std::errc() || end != s.data() + s.size())
            return std::nullopt;
        return value;
    };
    const size_t slash = text.find('/');
    if (slash == std::string::npos)
        return plain(text);
    size_t split = std::string::npos;
    for (size_t i = slash; i-- > 1;)
    {
        if (text[i] == '+' || text[i] == '-')
        {
            split = i;
            break;
        }
    }
    double whole = 0;
    std::string fraction = text;
    if (split != std::string::npos)
    {
        const std::optional<double> w = plain(text.substr(0, split));
        if (!w)
            return std::nullopt;
        whole = *w;
        fraction = text.substr(split);
    }
    const size_t over = fraction.find('/');
    std::string numerator = fraction.substr(0, over);
    if (!numerator.empty() && numerator[0] == '+')
        numerator.erase(0, 1);
    const std::optional<double> a = plain(numerator);
    const std::optional<double> b = plain(fraction.substr(over + 1));
    if (!a || !b || *b == 0)
        return std::nullopt;
    return whole + *a / *b;
}

// Equal, or both NaN, or within a relative 1e-12 (fractions of days are computed in another order).
inline bool SameNumber(double actual, double expected)
{
    if (std::isnan(expected))
        return std::isnan(actual);
    if (actual == expected)
        return true;
    return std::fabs(actual - expected) <= 1e-12 * std::max(1.0, std::fabs(expected));
}
