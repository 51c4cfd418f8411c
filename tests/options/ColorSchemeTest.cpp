#include "options/ColorScheme.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// The scheme rendered as "bar odd even background shadingOverview shadingTable", colours as r,g,b.
std::string Describe(const CColorScheme& scheme)
{
    std::string text;
    for (int i = 0; i < CColorScheme::nColors; ++i)
    {
        const uint32_t c = scheme.GetColor(i);
        text += std::to_string(ColorRed(c)) + "," + std::to_string(ColorGreen(c)) + "," + std::to_string(ColorBlue(c)) +
                " ";
    }
    return text + std::to_string(scheme.m_bColorShadingOverview) + " " + std::to_string(scheme.m_bColorShadingTable);
}

} // namespace

TEST(ColorScheme, DefaultsOfEveryScheme)
{
    EXPECT_EQ(Describe(CColorScheme(1)), "245,245,250 255,255,255 230,230,242 160,160,208 1 0");
    EXPECT_EQ(Describe(CColorScheme(2)), "191,197,255 255,234,159 255,241,191 230,230,255 1 0");
    EXPECT_EQ(Describe(CColorScheme(3)), "207,215,235 250,250,250 220,236,215 216,216,216 1 0");
    EXPECT_EQ(Describe(CColorScheme(4)), "234,236,238 234,236,238 255,255,255 205,212,219 1 0");
    EXPECT_EQ(Describe(CColorScheme(256)), "255,255,255 255,255,255 255,255,0 192,192,192 0 0");
    EXPECT_EQ(CColorScheme(), CColorScheme(4));
    EXPECT_EQ(CColorScheme(5), CColorScheme(4)) << "an unknown number gets the default scheme";

    CColorScheme scheme(256);
    scheme.m_nExtraFlag1 = 3;
    scheme.ResetDefault(2);
    EXPECT_EQ(scheme, CColorScheme(2));
}

TEST(ColorScheme, SchemeNumbers)
{
    for (int n : {1, 2, 3, 4, 256})
        EXPECT_TRUE(CColorScheme::IsSchemeNumber(n)) << n;
    for (int n : {0, 5, 255, 257, -1})
        EXPECT_FALSE(CColorScheme::IsSchemeNumber(n)) << n;
}

TEST(ColorScheme, ColorsAreRedInTheLowestByte)
{
    EXPECT_EQ(MakeColor(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(ColorRed(0x00563412u), 0x12);
    EXPECT_EQ(ColorGreen(0x00563412u), 0x34);
    EXPECT_EQ(ColorBlue(0x00563412u), 0x56);
    EXPECT_EQ(CColorScheme(256).GetColor(CColorScheme::Even), MakeColor(255, 255, 0));
}

TEST(ColorScheme, SetGetAndCopy)
{
    CColorScheme scheme(1);
    scheme.SetColor(CColorScheme::Background, MakeColor(1, 2, 3));
    EXPECT_EQ(scheme.GetColor(CColorScheme::Background), MakeColor(1, 2, 3));
    scheme.SetColor(CColorScheme::Bar, 0xFF010203u); // the unused top byte is dropped
    EXPECT_EQ(scheme.GetColor(CColorScheme::Bar), 0x00010203u);

    const CColorScheme before = scheme;
    scheme.SetColor(-1, 7);
    scheme.SetColor(4, 7);
    EXPECT_EQ(scheme, before) << "indices outside 0 ... 3 change nothing";
    EXPECT_EQ(scheme.GetColor(4), 0u);
    EXPECT_EQ(scheme.GetColor(-1), 0u);

    CColorScheme copy(256);
    copy.CopyFrom(scheme);
    EXPECT_EQ(copy, scheme);
    EXPECT_EQ(Describe(copy), "3,2,1 255,255,255 230,230,242 1,2,3 1 0");
}
