#include "exchange/ExchangeTexts.h"

#include "platform/Resources.h"

namespace exchange
{

namespace
{
bool English()
{
    return platform::GetResourceLanguage() == ELanguage::English;
}
} // namespace

KString FormatExchangeText(EExchangeText id, std::initializer_list<KStringView> args)
{
    const char16_t* pattern = u"";
    switch (id)
    {
    case TEXT_READ_AS_WINDOWS_1252:
        pattern = English() ? u"The file '%1' is not valid UTF-8 text.\nIt was read as Windows-1252 (Western)."
                            : u"Die Datei '%1' enthält kein gültiges UTF-8.\nSie wurde als Windows-1252 (Westlich) "
                              u"gelesen.";
        break;
    case TEXT_DELIMITER_CHANGED:
        pattern = English() ? u"The file '%1' shows no column with the delimiter %2; it was read with the "
                              u"delimiter %3."
                            : u"Die Datei '%1' zeigt mit dem Trennzeichen %2 keine Spalten; sie wurde mit dem "
                              u"Trennzeichen %3 gelesen.";
        break;
    case TEXT_DELIMITER_UNEVEN:
        pattern = English() ? u"The file '%1' shows uneven column counts with the delimiter %2; it was read with the "
                              u"delimiter %3."
                            : u"Die Datei '%1' zeigt mit dem Trennzeichen %2 ungleich viele Spalten; sie wurde mit "
                              u"dem Trennzeichen %3 gelesen.";
        break;
    case TEXT_INVALID_SEQUENCES:
        pattern = English() ? u"The file '%1' holds %2 byte sequence(s) that are not valid in its encoding; they "
                              u"were replaced by \uFFFD."
                            : u"Die Datei '%1' enthält %2 in ihrer Kodierung ungültige Bytefolge(n); sie wurden "
                              u"durch \uFFFD ersetzt.";
        break;
    }
    return FormatMessageText(pattern, args);
}

KString DescribeSpecialCharacters(const CImportCounters& counters)
{
    KString text;
    auto line = [&text](const KString& part)
    {
        if (!text.empty())
            text += u'\n';
        text += part;
    };
    if (counters.m_nNullCharacters > 0)
        line(counters.m_nNullCharacters == 1 ? LoadResourceString(3513)
                                             : FormatResource(3514, {platform::ToKString(counters.m_nNullCharacters)}));
    if (counters.m_nControlCharacters > 0)
        line(counters.m_nControlCharacters == 1
                 ? LoadResourceString(3515)
                 : FormatResource(3516, {platform::ToKString(counters.m_nControlCharacters)}));
    if (counters.m_nMultipleValueCells > 0)
    {
        const long bars = counters.m_nBars;
        line((bars == 1 ? LoadResourceString(3517) : FormatResource(3518, {platform::ToKString(bars)})) + u' ' +
             LoadResourceString(bars == 1 ? 2046 : 2047));
    }
    return text;
}

KString DescribeCharacter(char16_t c)
{
    switch (c)
    {
    case u'\t':
        return u"TAB";
    case u',':
        return English() ? u"comma (,)" : u"Komma (,)";
    case u';':
        return English() ? u"semicolon (;)" : u"Semikolon (;)";
    case u'|':
        return English() ? u"vertical bar (|)" : u"senkrechter Strich (|)";
    case u' ':
        return English() ? u"blank" : u"Leerzeichen";
    default:
        return KString(1, c);
    }
}

} // namespace exchange
