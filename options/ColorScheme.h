#pragma once
// Table colour schemes. A colour is a 32-bit value with red in the lowest byte, green in
// the next and blue in the third (0x00BBGGRR), as the tables draw them.

#include <array>
#include <cstdint>

// A colour from its red, green and blue components (each 0 ... 255).
constexpr uint32_t MakeColor(int red, int green, int blue)
{
    return static_cast<uint32_t>(red & 0xFF) | static_cast<uint32_t>(green & 0xFF) << 8 |
           static_cast<uint32_t>(blue & 0xFF) << 16;
}
constexpr int ColorRed(uint32_t color)
{
    return static_cast<int>(color & 0xFF);
}
constexpr int ColorGreen(uint32_t color)
{
    return static_cast<int>((color >> 8) & 0xFF);
}
constexpr int ColorBlue(uint32_t color)
{
    return static_cast<int>((color >> 16) & 0xFF);
}

// One colour scheme of the table view: the bar, odd-row, even-row and background colours
// and whether the overview and the table are drawn with colour shading. Schemes 1, 2, 3, 4
// and 256 exist; 4 is the default. Copying is intended (CopyFrom is the same as assignment).
// Not thread-safe: change a scheme only while no table draws with it.
class CColorScheme
{
public:
    // The colour indices of GetColor and SetColor.
    enum EColor
    {
        Bar = 0,
        Odd = 1,
        Even = 2,
        Background = 3,
    };
    static constexpr int nColors = 4;

    // The default scheme 4.
    CColorScheme() { ResetDefault(4); }
    explicit CColorScheme(int number) { ResetDefault(number); }

    // Gives the scheme the default colours and flags of scheme number (1, 2, 3, 4 or 256;
    // any other number gets those of the default scheme 4).
    void ResetDefault(int number);

    // Whether number is one of the scheme numbers 1, 2, 3, 4 and 256.
    static bool IsSchemeNumber(int number);

    // The colour at index (EColor); 0 for an index outside 0 ... 3.
    uint32_t GetColor(int index) const;

    // Sets the colour at index (EColor); an index outside 0 ... 3 changes nothing.
    void SetColor(int index, uint32_t color);

    // Takes over every field of other.
    void CopyFrom(const CColorScheme& other) { *this = other; }

    bool operator==(const CColorScheme&) const = default;

    std::array<uint32_t, nColors> m_aColors{}; // bar, odd, even, background; each 0x00BBGGRR
    bool m_bColorShadingOverview = true;       // the overview is drawn with colour shading
    bool m_bColorShadingTable = false;         // the table is drawn with colour shading
    int m_nExtraFlag1 = 0;                     // kept with the scheme in table files only, never in the profile
    int m_nExtraFlag2 = 0;                     // kept with the scheme in table files only, never in the profile
};
