#include "platform/Automation.h"

#include "platform/Error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace platform
{

namespace
{

// The block in front of the text: keeps the text 8-byte aligned and carries the length.
struct SStringHeader
{
    uint32_t m_nUnused; // padding, always 0
    uint32_t m_nLength; // text length in wchar_t units, without the terminator
};

SStringHeader* HeaderOf(const wchar_t* text)
{
    return reinterpret_cast<SStringHeader*>(const_cast<char*>(reinterpret_cast<const char*>(text)) -
                                            sizeof(SStringHeader));
}

wchar_t* AllocateBlock(size_t length)
{
    if (length > std::numeric_limits<uint32_t>::max() / sizeof(wchar_t) - 4)
        throw COutOfMemoryException(length * sizeof(wchar_t));
    const size_t bytes = sizeof(SStringHeader) + (length + 1) * sizeof(wchar_t);
    void* block = std::malloc(bytes);
    if (!block)
        throw COutOfMemoryException(bytes);
    auto* header = static_cast<SStringHeader*>(block);
    header->m_nUnused = 0;
    header->m_nLength = static_cast<uint32_t>(length);
    wchar_t* text = reinterpret_cast<wchar_t*>(header + 1);
    text[length] = 0;
    return text;
}

} // namespace

// ---- automation strings ----

wchar_t* AllocAutomationString(std::wstring_view text)
{
    wchar_t* result = AllocateBlock(text.size());
    if (!text.empty())
        std::memcpy(result, text.data(), text.size() * sizeof(wchar_t));
    return result;
}

wchar_t* AllocAutomationString(KStringView text)
{
    return AllocAutomationString(std::wstring_view(ToWide(text)));
}

void FreeAutomationString(wchar_t* text) noexcept
{
    if (text)
        std::free(HeaderOf(text));
}

uint32_t AutomationStringLength(const wchar_t* text) noexcept
{
    return text ? HeaderOf(text)->m_nLength : 0;
}

KString FromAutomationString(const wchar_t* text)
{
    if (!text)
        return KString();
    return FromWide(std::wstring_view(text, AutomationStringLength(text)));
}

// ---- automation dates ----

double MakeAutomationDateContinuous(double automationDate)
{
    if (!(automationDate < 0))
        return automationDate;
    const double day = std::trunc(automationDate);
    return day + (day - automationDate); // the fraction counts forward from the day
}

double MakeAutomationDateDiscontinuous(double continuousDate)
{
    if (!(continuousDate < 0))
        return continuousDate;
    const double day = std::floor(continuousDate);
    const double fraction = continuousDate - day;
    if (fraction == 0)
        return continuousDate;
    return day - fraction;
}

double DayNumberFromAutomationDate(double automationDate)
{
    return MakeAutomationDateContinuous(automationDate) - kAutomationDateOffset;
}

double AutomationDateFromDayNumber(double dayNumber)
{
    return MakeAutomationDateDiscontinuous(dayNumber + kAutomationDateOffset);
}

} // namespace platform
