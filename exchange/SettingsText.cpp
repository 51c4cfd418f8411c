#include "exchange/SettingsText.h"

#include "exchange/ExchangeTexts.h"
#include "exchange/TextEncoding.h"
#include "platform/Error.h"

#include <algorithm>
#include <charconv>

namespace exchange
{

namespace
{

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Splits "name=value"; throws for a word without '='.
std::pair<std::string, std::string> SplitSetting(const std::string& setting)
{
    const size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
        ThrowBadSetting(3541, {setting});
    return {Lower(setting.substr(0, equals)), setting.substr(equals + 1)};
}

bool ParseFlag(const std::string& name, const std::string& value)
{
    const std::string v = Lower(value);
    if (v == "yes" || v == "1" || v == "true" || v == "on")
        return true;
    if (v == "no" || v == "0" || v == "false" || v == "off")
        return false;
    ThrowBadSetting(3542, {value, name});
}

long ParseNumber(const std::string& name, const std::string& value, long low)
{
    long number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < low)
        ThrowBadSetting(3543, {value, name, std::to_string(low)});
    return number;
}

} // namespace

char16_t ParseCharacterName(const std::string& word, const char* what)
{
    const std::string w = Lower(word);
    if (w == "tab" || w == "\\t")
        return u'\t';
    if (w == "comma")
        return u',';
    if (w == "semicolon")
        return u';';
    if (w == "space" || w == "blank")
        return u' ';
    if (w == "pipe" || w == "bar")
        return u'|';
    const KString text = platform::FromUtf8(word);
    if (text.size() != 1)
        ThrowBadSetting(3544, {what, word});
    return text[0];
}

int ParseEncodingName(const std::string& word)
{
    const std::string w = Lower(word);
    if (w == "0" || w == "codepage" || w == "ansi")
        return ENCODING_CODE_PAGE;
    if (w == "1" || w == "utf-8" || w == "utf8")
        return ENCODING_UTF8;
    if (w == "2" || w == "utf-16be" || w == "utf16be")
        return ENCODING_UTF16_BE;
    if (w == "3" || w == "utf-16le" || w == "utf16le" || w == "utf-16" || w == "utf16")
        return ENCODING_UTF16_LE;
    if (w == "4" || w == "utf-32be" || w == "utf32be")
        return ENCODING_UTF32_BE;
    if (w == "5" || w == "utf-32le" || w == "utf32le")
        return ENCODING_UTF32_LE;
    ThrowBadSetting(3545, {word});
}

namespace
{
void ApplyImportSetting(const std::string& setting, CImportSettings& s, bool* delimiterGiven, bool* dataLineGiven)
{
    const auto [name, value] = SplitSetting(setting);
    if (name == "delimiter")
    {
        s.m_cDelimiter = ParseCharacterName(value, "delimiter");
        *delimiterGiven = true;
    }
    else if (name == "quote")
        s.m_cQuote =
            Lower(value) == "none"
                ? 0
                : (Lower(value) == "double" ? u'"'
                                            : (Lower(value) == "single" ? u'\'' : ParseCharacterName(value, "quote")));
    else if (name == "encoding")
        s.m_nEncoding = ParseEncodingName(value);
    else if (name == "codepage")
    {
        s.m_nCodePage = static_cast<int32_t>(ParseNumber(name, value, 1));
        if (!IsKnownCodePage(s.m_nCodePage))
            ThrowBadSetting(3546, {value});
        s.m_nEncoding = ENCODING_CODE_PAGE;
    }
    else if (name == "names")
        s.m_bAttributeNames = ParseFlag(name, value);
    else if (name == "nameline")
        s.m_nAttributeNameLine = static_cast<int32_t>(ParseNumber(name, value, 1));
    else if (name == "dataline")
    {
        s.m_nFirstDataLine = static_cast<int32_t>(ParseNumber(name, value, 1));
        *dataLineGiven = true;
    }
    else if (name == "maxrecords")
        s.m_nMaxRecords = static_cast<int32_t>(ParseNumber(name, value, -1));
    else if (name == "transposed")
        s.m_bTransposed = ParseFlag(name, value);
    else if (name == "fixedwidth")
        s.m_bFixedWidth = ParseFlag(name, value);
    else if (name == "replacebars")
        s.m_bReplaceBars = ParseFlag(name, value);
    else if (name == "widths")
    {
        s.m_vColumnWidths.clear();
        size_t start = 0;
        while (start <= value.size())
        {
            const size_t comma = std::min(value.find(',', start), value.size());
            s.m_vColumnWidths.push_back(static_cast<int32_t>(ParseNumber(name, value.substr(start, comma - start), 1)));
            start = comma + 1;
        }
        s.m_bFixedWidth = true;
    }
    else
        ThrowBadSetting(3547, {name});
}
} // namespace

void ApplyImportSettings(const std::vector<std::string>& settings, CImportSettings& s, bool* delimiterGiven)
{
    bool dataLineGiven = false;
    bool delimiter = false;
    for (const std::string& setting : settings)
        ApplyImportSetting(setting, s, &delimiter, &dataLineGiven);
    if (delimiterGiven)
        *delimiterGiven = delimiter;
    if (!dataLineGiven)
        s.m_nFirstDataLine = s.m_bAttributeNames ? s.m_nAttributeNameLine + 1 : 1;
}

void ApplyExportSetting(const std::string& setting, SExportOptions& options)
{
    const auto [name, value] = SplitSetting(setting);
    if (name == "delimiter")
        options.m_cDelimiter = ParseCharacterName(value, "delimiter");
    else if (name == "quote")
        options.m_cQuote =
            Lower(value) == "none"
                ? 0
                : (Lower(value) == "double" ? u'"'
                                            : (Lower(value) == "single" ? u'\'' : ParseCharacterName(value, "quote")));
    else if (name == "encoding")
    {
        options.m_nEncoding = ParseEncodingName(value);
        if (options.m_nEncoding > ENCODING_UTF16_LE)
            ThrowBadSetting(3548, {});
    }
    else if (name == "codepage")
    {
        options.m_nCodePage = static_cast<int32_t>(ParseNumber(name, value, 1));
        if (!IsKnownCodePage(options.m_nCodePage))
            ThrowBadSetting(3546, {value});
        options.m_nEncoding = ENCODING_CODE_PAGE;
    }
    else if (name == "bom")
        options.m_bWriteBOM = ParseFlag(name, value);
    else if (name == "names")
        options.m_bWriteNames = ParseFlag(name, value);
    else if (name == "importlayout")
        options.m_bImportLayout = ParseFlag(name, value);
    else
        ThrowBadSetting(3549, {name});
}

} // namespace exchange
