#include "display/LayoutAnimation.h"

#include <algorithm>
#include <cmath>

namespace display
{

double EaseProgress(double p, bool reverse)
{
    if (!(p > 0.0))
        p = 0.0;
    p = std::min(p, 1.0);
    // The constant is 3.14 on purpose: the curve ends just short of 1, so that a forward animation never
    // draws its last state twice.
    const double e = std::trunc(1000.0 * (0.5 + 0.5 * std::sin(3.14 * (p - 0.5)))) / 1000.0;
    return reverse ? 1.0 - e : e;
}

double AnimationSpeedFactor(int animated)
{
    if (animated <= 0)
        return 0.0;
    if (animated == 1)
        return 2.0;
    return animated == 2 ? 1.0 : 0.5;
}

CAnimationTimeline::CAnimationTimeline(double durationMs, bool reverse, bool skipZero)
    : m_dDuration(durationMs > 0.0 ? durationMs : 1.0), m_bReverse(reverse), m_bSkipZero(skipZero)
{
}

double CAnimationTimeline::Frame(int64_t now)
{
    // Once the progress is 1, e is 0.999 (or 0.001 reversed) and is drawn, so the loop ends.
    const int64_t limit = static_cast<int64_t>(m_dDuration / kSkippedFrameMs) + 2;
    for (int64_t attempt = 0;; ++attempt)
    {
        m_dLastElapsed = static_cast<double>(now - m_nStart);
        const double e = EaseProgress(m_dLastElapsed / m_dDuration, m_bReverse);
        if (!IsSkipped(e) || attempt > limit)
            return e;
        m_nStart -= kSkippedFrameMs;
    }
}

SCompressionFrame CompressionFrame(double e, bool toCompressed, double columnWidth, double compressedWidth)
{
    const double from = toCompressed ? columnWidth : compressedWidth;
    const double to = toCompressed ? compressedWidth : columnWidth;
    const bool newMode = 1.0 - e < 0.5;
    return {newMode ? toCompressed : !toCompressed, std::max(0.0, from + (to - from) * e)};
}

} // namespace display
