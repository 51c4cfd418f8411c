#pragma once
// Helpers for display tests: tables whose record flags are given as a string, and the geometry of a line
// rendered for comparison.

#include "TableTestSupport.h"

#include "display/TableLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

// Sets the flags of the table's records from a pattern, one letter per record in table order: Q qualified,
// O qualified and open, R refused (shown, not qualified), - hidden. Adds records as needed, then brings the
// table's shown records and counts up to date as the selection does.
inline void SetRecordFlags(CTable& table, const std::string& pattern)
{
    while (table.GetRecordCount() < static_cast<long>(pattern.size()))
        table.AddRecord();
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        CRecord* record = table.GetRecord(static_cast<long>(i));
        const char c = pattern[i];
        record->m_bQualified = c == 'Q' || c == 'O';
        record->m_bShown = c != '-';
        table.SetRecordOpen(record, c == 'O');
    }
    table.GetShownRecords().RemoveAll();
    table.RecomputeShownRecords();
    table.CountQualRecords();
}

// The sum of the widths of a line's records, one after the other (the plain way the prefix sums replace).
inline double PlainLineWidth(display::CTableLayout& layout, CAttribute* attribute = nullptr)
{
    double sum = 0.0;
    for (long i = 0; i < layout.GetLineCount(attribute); ++i)
        sum += layout.GetWidth(layout.GetLineRecord(i, attribute));
    return sum;
}

// Every width and left edge of a line is finite and not negative, and the edges follow the widths.
inline void ExpectSoundLine(display::CTableLayout& layout, CAttribute* attribute = nullptr)
{
    double sum = 0.0;
    for (long i = 0; i < layout.GetLineCount(attribute); ++i)
    {
        const CRecord* record = layout.GetLineRecord(i, attribute);
        const double width = layout.GetWidth(record);
        ASSERT_TRUE(std::isfinite(width) && width >= 0.0) << "position " << i << " width " << width;
        ASSERT_NEAR(layout.GetLineLeft(i, attribute), sum, 1e-6 * (1.0 + sum)) << "position " << i;
        sum += width;
    }
    EXPECT_TRUE(std::isfinite(layout.GetRefusedWidth()) && layout.GetRefusedWidth() >= 0.0);
    EXPECT_TRUE(std::isfinite(layout.GetCompressedWidth()) && layout.GetCompressedWidth() >= 0.0);
    EXPECT_TRUE(std::isfinite(layout.GetQualifiedFactor()) && layout.GetQualifiedFactor() >= 0.0);
    EXPECT_GE(layout.GetTotalGridWidth(), 0);
    EXPECT_GE(layout.GetAvailableWidth(), 1);
}
