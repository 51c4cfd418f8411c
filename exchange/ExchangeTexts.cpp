#include "exchange/ExchangeTexts.h"

#include "platform/Error.h"
#include "platform/Resources.h"

#include <iterator>

namespace exchange
{

[[noreturn]] void ThrowBadSetting(int id, std::initializer_list<std::string> args)
{
    KString texts[3];
    size_t n = 0;
    for (const std::string& arg : args)
    {
        if (n < std::size(texts))
            texts[n++] = platform::FromUtf8(arg);
    }
    throw CKorvalinException(EStatus::IllegalArgumentValue,
                             platform::ToUtf8(FormatResource(id, {texts[0], texts[1], texts[2]})));
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
        return LoadResourceString(3524);
    case u';':
        return LoadResourceString(3525);
    case u'|':
        return LoadResourceString(3526);
    case u' ':
        return LoadResourceString(3527);
    default:
        return KString(1, c);
    }
}

} // namespace exchange
