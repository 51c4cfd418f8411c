#include "options/ColorScheme.h"

#include <gtest/gtest.h>

TEST(ColorScheme, UnknownNumbersGetTheDefaultAndResetRestoresAScheme)
{
    for (int n : {1, 2, 3, 4, 256})
        EXPECT_TRUE(CColorScheme::IsSchemeNumber(n)) << n;
    for (int n : {0, 5, 255, 257, -1})
        EXPECT_FALSE(CColorScheme::IsSchemeNumber(n)) << n;
    EXPECT_EQ(CColorScheme(), CColorScheme(4));
    EXPECT_EQ(CColorScheme(5), CColorScheme(4)) << "an unknown number gets the default scheme";
    EXPECT_NE(CColorScheme(1), CColorScheme(2));

    CColorScheme scheme(256);
    scheme.m_nExtraFlag1 = 3;
    scheme.ResetDefault(2);
    EXPECT_EQ(scheme, CColorScheme(2));
}

TEST(ColorScheme, ColorsOutOfRangeAndCopy)
{
    CColorScheme scheme(1);
    scheme.SetColor(CColorScheme::Bar, 0xFF010203u); // the unused top byte is dropped
    EXPECT_EQ(scheme.GetColor(CColorScheme::Bar), 0x00010203u);
    EXPECT_EQ(scheme.GetColor(CColorScheme::Odd), CColorScheme(1).GetColor(CColorScheme::Odd));

    const CColorScheme before = scheme;
    scheme.SetColor(-1, 7);
    scheme.SetColor(4, 7);
    EXPECT_EQ(scheme, before) << "indices outside 0 ... 3 change nothing";
    EXPECT_EQ(scheme.GetColor(4), 0u);
    EXPECT_EQ(scheme.GetColor(-1), 0u);

    CColorScheme copy(256);
    copy.CopyFrom(scheme);
    EXPECT_EQ(copy, scheme);
}
