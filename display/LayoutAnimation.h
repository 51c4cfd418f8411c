#pragma once
// The zoom and compression animations as functions of time.
//
// An animation runs for a duration (600 ms for a zoom, 1000 ms for a change of compression, times the speed
// factor of the option Animated) and draws frames until the elapsed time exceeds it. Each frame's progress
// is eased:
//     e = truncate(1000 * (0.5 + 0.5 * sin(3.14 * (p - 0.5)))) / 1000,   p = min(1, elapsed / duration)
// (3.14, not pi: e runs from 0 to 0.999 and never reaches 1); reversed, e becomes 1 - e. A frame whose e is
// exactly 1 (or, in the overview, exactly 0 or 1) is not drawn: the start moves 50 ms back and the frame is
// computed again. Nothing here reads a clock: the caller gives the times, so the timeline can be driven by a
// window's clock or by a test's.
//
// Threading: any; the objects are not shared.

#include <cstdint>

namespace display
{

// Duration of a zoom animation at medium speed, in milliseconds.
constexpr double kZoomDurationMs = 600.0;
// Duration of a compression animation at medium speed, in milliseconds.
constexpr double kCompressionDurationMs = 1000.0;
// How far the start moves back for a frame that is not drawn, in milliseconds.
constexpr int64_t kSkippedFrameMs = 50;

// The eased progress at p (clamped to 0..1), reversed when asked.
double EaseProgress(double p, bool reverse);

// The time factor of the option Animated: 2.0 slow (1), 1.0 medium (2), 0.5 fast (3 and above); 0 when the
// table does not animate (0 and below).
double AnimationSpeedFactor(int animated);

// The frames of one animation over time.
class CAnimationTimeline
{
public:
    // durationMs > 0; skipZero: frames with e exactly 0 are skipped too (the overview).
    CAnimationTimeline(double durationMs, bool reverse, bool skipZero);

    void Start(int64_t now) { m_nStart = now; }
    // The eased progress of the frame drawn at now; skipped frames move the start back first.
    double Frame(int64_t now);
    // Whether the frame last computed lies beyond the duration (the loop ends after drawing it).
    bool IsOver() const { return m_dLastElapsed > m_dDuration; }
    int64_t GetStart() const { return m_nStart; }
    double GetDuration() const { return m_dDuration; }

private:
    bool IsSkipped(double e) const { return e == 1.0 || (m_bSkipZero && e == 0.0); }

    double m_dDuration;          // milliseconds, > 0
    bool m_bReverse;             // zooming out: e becomes 1 - e
    bool m_bSkipZero;            // skip frames at e == 0 as well as at e == 1
    int64_t m_nStart = 0;        // start time; moves back by skipped frames
    double m_dLastElapsed = 0.0; // elapsed milliseconds of the last frame computed
};

// One frame of a compression animation: which mode the table shows and how wide a qualified record is.
struct SCompressionFrame
{
    bool m_bCompressedPhase; // the compressed flag during this frame
    double m_dWidth;         // the width of a qualified record (column width or compressed width)
};

// The frame at eased progress e of the change to compressed (or back to the full table) between the column
// width and the compressed width of the compressed mode. The width moves from the old mode's to the new
// mode's; while the distance still to go (1 - e) is at least 0.5 the old mode stays, after that the new one
// shows. In the full table the column width is the one animated, in the compressed table the compressed width.
SCompressionFrame CompressionFrame(double e, bool toCompressed, double columnWidth, double compressedWidth);

} // namespace display
