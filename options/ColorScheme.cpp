#include "ColorScheme.h"

#include <cstddef>

namespace
{

struct SSchemeDefaults
{
    int m_nNumber;                     // scheme number
    std::array<uint32_t, 4> m_aColors; // bar, odd, even, background
    bool m_bShadingOverview;           // default of ColorShadingOverview
    bool m_bShadingTable;              // default of ColorShadingTable
};

constexpr SSchemeDefaults g_defaults[] = {
    {1,
     {MakeColor(245, 245, 250), MakeColor(255, 255, 255), MakeColor(230, 230, 242), MakeColor(160, 160, 208)},
     true,
     false},
    {2,
     {MakeColor(191, 197, 255), MakeColor(255, 234, 159), MakeColor(255, 241, 191), MakeColor(230, 230, 255)},
     true,
     false},
    {3,
     {MakeColor(207, 215, 235), MakeColor(250, 250, 250), MakeColor(220, 236, 215), MakeColor(216, 216, 216)},
     true,
     false},
    {4,
     {MakeColor(234, 236, 238), MakeColor(234, 236, 238), MakeColor(255, 255, 255), MakeColor(205, 212, 219)},
     true,
     false},
    {256,
     {MakeColor(255, 255, 255), MakeColor(255, 255, 255), MakeColor(255, 255, 0), MakeColor(192, 192, 192)},
     false,
     false},
};

} // namespace

bool CColorScheme::IsSchemeNumber(int number)
{
    for (const SSchemeDefaults& d : g_defaults)
        if (d.m_nNumber == number)
            return true;
    return false;
}

void CColorScheme::ResetDefault(int number)
{
    const SSchemeDefaults* defaults = &g_defaults[3]; // scheme 4
    for (const SSchemeDefaults& d : g_defaults)
        if (d.m_nNumber == number)
            defaults = &d;
    m_aColors = defaults->m_aColors;
    m_bColorShadingOverview = defaults->m_bShadingOverview;
    m_bColorShadingTable = defaults->m_bShadingTable;
    m_nExtraFlag1 = 0;
    m_nExtraFlag2 = 0;
}

uint32_t CColorScheme::GetColor(int index) const
{
    return index >= 0 && index < nColors ? m_aColors[static_cast<size_t>(index)] : 0;
}

void CColorScheme::SetColor(int index, uint32_t color)
{
    if (index >= 0 && index < nColors)
        m_aColors[static_cast<size_t>(index)] = color & 0x00FFFFFF;
}
