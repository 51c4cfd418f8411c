// The easing, the frames of the zoom and compression animations over time, and their end states.

#include "DisplayTestSupport.h"

#include "display/LayoutAnimation.h"
#include "options/OptionSet.h"
#include "selection/TableSelection.h"

using namespace display;

namespace
{

// A window with a clock of its own: each wait moves it by a fixed step; every repaint records the widths.
class CRecordingWindow : public CLayoutWindow
{
public:
    explicit CRecordingWindow(CTableLayout& layout, int step) : m_layout(layout), m_nStep(step) {}
    int64_t GetTickCount() override { return m_nNow; }
    void Wait(int ms) override { m_nNow += std::max(ms, m_nStep); }
    void RepaintData() override
    {
        SFrame frame;
        frame.m_nTime = m_nNow;
        frame.m_bCompressed = m_layout.IsCompressed();
        frame.m_bAnimating = m_layout.IsAnimating();
        frame.m_dRefused = m_layout.GetRefusedWidth();
        frame.m_dQualified = m_layout.GetLineCount() > 0 ? m_layout.GetLineWidth(0) : 0.0;
        frame.m_dTotal = m_layout.GetLineLeft(m_layout.GetLineCount());
        m_frames.push_back(frame);
    }
    void ScrollToSelection() override { ++m_nScrolls; }

    struct SFrame
    {
        int64_t m_nTime;
        bool m_bCompressed;
        bool m_bAnimating;
        double m_dRefused;
        double m_dQualified; // width of the first record of the display list
        double m_dTotal;     // width of all columns
    };
    CTableLayout& m_layout;
    int m_nStep;
    int64_t m_nNow = 0;
    int m_nScrolls = 0;
    std::vector<SFrame> m_frames;
};

// Every number a layout reports, for comparing two layouts exactly.
std::string LayoutState(CTableLayout& layout)
{
    std::string out = std::to_string(layout.GetViewMode()) + " refused " + std::to_string(layout.GetRefusedWidth()) +
                      " compressed " + std::to_string(layout.GetCompressedWidth()) + " available " +
                      std::to_string(layout.GetAvailableWidth()) + " qf " +
                      std::to_string(layout.GetQualifiedFactor()) + " rf " +
                      std::to_string(layout.GetRefusedFactor()) + " total " +
                      std::to_string(layout.GetTotalGridWidth()) + " column " +
                      std::to_string(layout.GetColumnWidth()) + " |";
    char buffer[64];
    for (long i = 0; i < layout.GetLineCount(); ++i)
    {
        std::snprintf(buffer, sizeof buffer, " %.17g+%.17g", layout.GetLineLeft(i), layout.GetLineWidth(i));
        out += buffer;
    }
    return out;
}

} // namespace

TEST(Easing, FollowsTheSineWithItsConstantAndTruncation)
{
    EXPECT_EQ(EaseProgress(0.0, false), 0.0);
    EXPECT_EQ(EaseProgress(0.5, false), 0.5);
    EXPECT_EQ(EaseProgress(1.0, false), 0.999); // 3.14 falls short of pi: the end is never reached
    EXPECT_EQ(EaseProgress(1.0, true), 1.0 - 0.999);
    EXPECT_EQ(EaseProgress(0.0, true), 1.0);
    EXPECT_EQ(EaseProgress(0.25, false), 0.146); // 0.5 + 0.5 sin(-0.785) = 0.14648...
    EXPECT_EQ(EaseProgress(-3.0, false), 0.0);
    EXPECT_EQ(EaseProgress(4.0, false), 0.999);
    EXPECT_EQ(EaseProgress(std::nan(""), false), 0.0);
    double previous = -1.0;
    for (int i = 0; i <= 1000; ++i)
    {
        const double e = EaseProgress(i / 1000.0, false);
        ASSERT_GE(e, previous);
        ASSERT_EQ(e, std::trunc(e * 1000.0 + 0.5) / 1000.0); // whole thousandths
        previous = e;
    }
}

TEST(AnimationTimeline, SkippedFramesMoveTheStartBack)
{
    // Forward in the table: e = 0 is drawn, e = 1 never comes.
    CAnimationTimeline forward(600.0, false, false);
    forward.Start(1000);
    EXPECT_EQ(forward.Frame(1000), 0.0);
    EXPECT_EQ(forward.GetStart(), 1000);
    EXPECT_EQ(forward.Frame(1300), 0.5);
    EXPECT_FALSE(forward.IsOver());
    EXPECT_EQ(forward.Frame(1600), 0.999);
    EXPECT_FALSE(forward.IsOver()); // the elapsed time must exceed the duration
    EXPECT_EQ(forward.Frame(1601), 0.999);
    EXPECT_TRUE(forward.IsOver());

    // Forward in the overview: the frame at e = 0 is skipped, 50 ms at a time.
    CAnimationTimeline overview(600.0, false, true);
    overview.Start(1000);
    EXPECT_EQ(overview.Frame(1000), EaseProgress(50.0 / 600.0, false));
    EXPECT_EQ(overview.GetStart(), 950);

    // Reverse: e = 1 at the start is skipped.
    CAnimationTimeline reverse(300.0, true, false);
    reverse.Start(0);
    EXPECT_EQ(reverse.Frame(0), 1.0 - EaseProgress(50.0 / 300.0, false));
    EXPECT_EQ(reverse.GetStart(), -50);
    EXPECT_EQ(reverse.Frame(251), 1.0 - 0.999);
    EXPECT_TRUE(reverse.IsOver());
}

TEST(CompressionFrames, SwitchModesHalfWay)
{
    // To compressed, from the column width 96 to the compressed width 10.
    SCompressionFrame frame = CompressionFrame(0.0, true, 96.0, 10.0);
    EXPECT_FALSE(frame.m_bCompressedPhase);
    EXPECT_EQ(frame.m_dWidth, 96.0);
    frame = CompressionFrame(0.5, true, 96.0, 10.0); // the distance still to go is 0.5: the old mode stays
    EXPECT_FALSE(frame.m_bCompressedPhase);
    EXPECT_EQ(frame.m_dWidth, 53.0);
    frame = CompressionFrame(0.501, true, 96.0, 10.0);
    EXPECT_TRUE(frame.m_bCompressedPhase);
    frame = CompressionFrame(1.0, true, 96.0, 10.0);
    EXPECT_EQ(frame.m_dWidth, 10.0);
    // Back to the full table: compressed first, full at the end.
    frame = CompressionFrame(0.2, false, 96.0, 10.0);
    EXPECT_TRUE(frame.m_bCompressedPhase);
    EXPECT_NEAR(frame.m_dWidth, 10.0 + 86.0 * 0.2, 1e-12);
    frame = CompressionFrame(0.9, false, 96.0, 10.0);
    EXPECT_FALSE(frame.m_bCompressedPhase);
}

TEST(ZoomAnimation, RefusedRecordsShrinkAndTheEndStateIsExact)
{
    for (const int speed : {1, 2, 3})
    {
        CTable table;
        table.GetOptions().m_nAnimated = speed;
        SetRecordFlags(table, "QRQRRQ");
        CTableLayout layout(table, 32);
        CRecordingWindow window(layout, 16);
        layout.SetWindow(&window);
        const long generation = layout.GetDisplayGeneration();
        ASSERT_TRUE(layout.AnimateQuery(false));
        EXPECT_FALSE(layout.IsAnimating());
        EXPECT_EQ(layout.GetDisplayGeneration(), generation + 1);
        const auto& frames = window.m_frames;
        ASSERT_GT(frames.size(), 5u);
        EXPECT_EQ(frames.front().m_dRefused, 96.0);
        for (size_t i = 1; i < frames.size(); ++i)
        {
            ASSERT_LE(frames[i].m_dRefused, frames[i - 1].m_dRefused) << "frame " << i;
            ASSERT_TRUE(frames[i].m_bAnimating);
            ASSERT_EQ(frames[i].m_dQualified, 96.0);
        }
        EXPECT_EQ(frames.back().m_dRefused, 5.0);
        EXPECT_GT(frames.back().m_nTime, 600 * AnimationSpeedFactor(speed));
        EXPECT_LE(frames.back().m_nTime, 600 * AnimationSpeedFactor(speed) + 16);
        EXPECT_EQ(window.m_nScrolls, static_cast<int>(frames.size()));

        // After the animation the layout is the one of no animation, exactly.
        CTableLayout fresh(table, 32);
        fresh.RecomputeGridWidth(0.0);
        EXPECT_EQ(LayoutState(layout), LayoutState(fresh));
    }
}

TEST(ZoomAnimation, ZoomingOutInTheCompressedTable)
{
    CTable table;
    SetRecordFlags(table, "RQRRQR");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(606);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    CRecordingWindow window(layout, 10);
    layout.SetWindow(&window);
    ASSERT_TRUE(layout.AnimateQuery(true));
    const auto& frames = window.m_frames;
    ASSERT_GT(frames.size(), 10u);
    // Reverse: the first frame (e = 1) is skipped; the refused records grow back; the columns always fill the
    // available width.
    EXPECT_GT(frames.front().m_dRefused, 0.0);
    for (size_t i = 1; i < frames.size(); ++i)
    {
        ASSERT_GE(frames[i].m_dRefused, frames[i - 1].m_dRefused);
        ASSERT_NEAR(frames[i].m_dTotal, 600.0, 1e-6);
    }
    EXPECT_EQ(window.m_nScrolls, 0); // only outside the compressed table
    CTableLayout fresh(table, 32);
    fresh.SetDataAreaWidth(606);
    fresh.RecomputeGridWidth(0.0);
    EXPECT_EQ(LayoutState(layout), LayoutState(fresh));
    EXPECT_EQ(layout.GetCompressedWidth(), 100.0);
}

TEST(ZoomAnimation, NothingAnimatesWithoutWindowOptionOrWhileBlocked)
{
    CTable table;
    SetRecordFlags(table, "QRQ");
    CTableLayout layout(table, 32);
    EXPECT_FALSE(layout.AnimateQuery(false)); // no window
    CRecordingWindow window(layout, 16);
    layout.SetWindow(&window);
    layout.SetRedrawLocked(true);
    EXPECT_FALSE(layout.AnimateQuery(false));
    layout.SetRedrawLocked(false);
    layout.SetAnimationSuppressed(true);
    EXPECT_FALSE(layout.AnimateQuery(false));
    layout.SetAnimationSuppressed(false);
    table.GetOptions().m_nAnimated = 0;
    EXPECT_FALSE(layout.IsAnimated());
    EXPECT_FALSE(layout.AnimateQuery(false));
    EXPECT_TRUE(window.m_frames.empty());
    table.GetOptions().m_nAnimated = 3;
    EXPECT_TRUE(layout.AnimateQuery(false));
    EXPECT_FALSE(window.m_frames.empty());
}

TEST(CompressionAnimation, QualifiedWidthsMoveBetweenTheModesAndEndExactly)
{
    CTable table;
    CAttribute* amount = AddColumn(table, u"Amount", {u"1", u"2", u"3", u"4", u"5"});
    ASSERT_TRUE(amount->SetFormat(u"####"));
    for (const bool withWidths : {false, true})
    {
        SetRecordFlags(table, "QQRQO");
        CTableLayout layout(table, 32);
        layout.SetDataAreaWidth(300);
        layout.SetWidthAttribute(withWidths ? amount : nullptr, 0.5);
        layout.RecomputeGridWidth(0.0);
        CRecordingWindow window(layout, 16);
        layout.SetWindow(&window);
        layout.SetCompressedMode(true, true);
        EXPECT_TRUE(layout.IsCompressed());
        const auto& frames = window.m_frames;
        ASSERT_GT(frames.size(), 10u);
        // The first frames show the full table with a shrinking column, the later ones the compressed table.
        EXPECT_FALSE(frames.front().m_bCompressed);
        EXPECT_EQ(frames.front().m_dQualified, 96.0);
        size_t switched = 0;
        for (size_t i = 1; i + 1 < frames.size(); ++i)
        {
            ASSERT_LE(frames[i].m_dQualified, frames[i - 1].m_dQualified + 1e-9) << "frame " << i;
            if (frames[i].m_bCompressed && !frames[i - 1].m_bCompressed)
                switched = i;
            ASSERT_FALSE(!frames[i].m_bCompressed && frames[i - 1].m_bCompressed) << "frame " << i;
        }
        EXPECT_GT(switched, 0u);
        EXPECT_GT(frames[switched].m_nTime, 400); // past half the eased way
        CTableLayout fresh(table, 32);
        fresh.SetDataAreaWidth(300);
        fresh.SetWidthAttribute(withWidths ? amount : nullptr, 0.5);
        fresh.RecomputeGridWidth(0.0);
        EXPECT_EQ(LayoutState(layout), LayoutState(fresh));
        ExpectSoundLine(layout);

        // And back to the full table.
        window.m_frames.clear();
        layout.SetCompressedMode(false, true);
        EXPECT_FALSE(layout.IsCompressed());
        ASSERT_GT(window.m_frames.size(), 10u);
        EXPECT_TRUE(window.m_frames.front().m_bCompressed);
        fresh.SetCompressedMode(false, false);
        fresh.RecomputeGridWidth(0.0);
        EXPECT_EQ(LayoutState(layout), LayoutState(fresh));
        EXPECT_EQ(layout.GetColumnWidth(), 96);
        CTableSelection::Of(table).SetCompressedMode(false);
    }
}

TEST(CompressionAnimation, NoRecordsOnlySetTheFlag)
{
    CTable table;
    CTableLayout layout(table, 32);
    CRecordingWindow window(layout, 16);
    layout.SetWindow(&window);
    EXPECT_FALSE(layout.AnimateCompression(true));
    EXPECT_TRUE(layout.IsCompressed());
    EXPECT_TRUE(window.m_frames.empty());
}
