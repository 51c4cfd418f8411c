#include "engine/FormatRegistry.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

CFormatRegistry::CFormatRegistry() : m_formats{KString()}
{
}

int CFormatRegistry::GetFormatID(KStringView format) const
{
    if (format.empty())
        return 0;
    for (int id = static_cast<int>(m_formats.size()) - 1; id > 0; --id)
    {
        if (m_formats[id] == format)
            return id;
    }
    return -1;
}

KString CFormatRegistry::GetFormat(int id) const
{
    if (id <= 0 || id >= static_cast<int>(m_formats.size()))
        return KString();
    return m_formats[id];
}

static bool IsPlainNumberFormat(KStringView format)
{
    return format == u"####" || format == u"####.";
}

bool CFormatRegistry::AddFormatIfNew(KStringView format)
{
    if (GetFormatID(format) >= 0)
        return true;
    if (!IsPlainNumberFormat(format))
        return false;
    m_formats.emplace_back(format);
    return true;
}

EValueType CFormatRegistry::GetType(int id) const
{
    if (id <= 0 || id >= static_cast<int>(m_formats.size()))
        return VALUE_TEXT;
    return m_formats[id] == u"####" ? VALUE_INTEGER : VALUE_DOUBLE;
}

double CFormatRegistry::ReadNumber(int id, KStringView text) const
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (id <= 0 || text.empty() || text.size() > 64)
        return nan;
    char buffer[65];
    size_t n = 0;
    for (char16_t c : text)
    {
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.' || c == u'e' || c == u'E';
        if (!allowed)
            return nan;
        buffer[n++] = static_cast<char>(c);
    }
    const char* first = buffer;
    if (*first == '+')
        ++first;
    double value = nan;
    const auto [end, error] = std::from_chars(first, buffer + n, value);
    if (error != std::errc() || end != buffer + n)
        return nan;
    return value;
}

KString CFormatRegistry::WriteNumber(int id, double number) const
{
    if (std::isnan(number))
        return KString();
    char buffer[64];
    std::to_chars_result result;
    if (GetType(id) == VALUE_INTEGER && std::fabs(number) < 9.2e18)
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(std::llround(number)));
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return KString(buffer, result.ptr);
}
