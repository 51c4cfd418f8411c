#include "display/TableLayout.h"

#include "display/LayoutAccess.h"
#include "engine/Record.h"
#include "platform/Resources.h"
#include "platform/System.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace display
{

namespace
{

// An integer pixel count from a double: NaN and negatives 0, at most the grid cap.
int ToPixels(double value)
{
    if (!(value > 0.0))
        return 0;
    return value >= CTableLayout::s_nMaxGridWidth ? CTableLayout::s_nMaxGridWidth : static_cast<int>(value);
}

} // namespace

int64_t CLayoutWindow::GetTickCount()
{
    return static_cast<int64_t>(platform::GetTickCountMs());
}

void CLayoutWindow::Wait(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? ms : 0));
}

CTableLayout::CTableLayout(CTable& table, int iconWidth)
    : m_table(table), m_nColumnWidth(3 * std::clamp(iconWidth, 1, 10000)),
      m_pModeLink(access::FollowViewModes(table, [this](int mode, bool notify) { SetViewMode(mode, notify, false); }))
{
}

CTableLayout::CTableLayout(CTable& table) : CTableLayout(table, platform::GetSystemIconWidth()) {}

CTableLayout::~CTableLayout() = default;

// ---- modes ----

bool CTableLayout::IsCompressed() const
{
    return access::IsCompressed(m_table);
}

bool CTableLayout::IsSortAll() const
{
    return access::IsSortAll(m_table);
}

EViewMode CTableLayout::GetViewMode() const
{
    if (!IsCompressed())
        return VIEW_FULL;
    return IsSortAll() ? VIEW_OVERVIEW : VIEW_COMPRESSED;
}

void CTableLayout::SetViewMode(int mode, bool notify, bool remember)
{
    if (mode == VIEW_FULL)
    {
        if (IsSortAll())
            SetSortAllMode(false, notify);
        if (IsCompressed())
            SetCompressedMode(false, notify);
    }
    else if (mode == VIEW_COMPRESSED)
    {
        if (IsSortAll())
            SetSortAllMode(false, notify);
        if (!IsCompressed())
            SetCompressedMode(true, notify);
    }
    else
    {
        if (!IsCompressed())
            SetCompressedMode(true, notify);
        if (!IsSortAll())
            SetSortAllMode(true, notify);
    }
    if (remember)
    {
        m_nRememberedMode = mode;
        access::SetRememberedViewMode(m_table, mode == VIEW_FULL || mode == VIEW_COMPRESSED ? mode : VIEW_OVERVIEW);
    }
}

void CTableLayout::SetSortAllMode(bool on, bool notify)
{
    if (IsSortAll() == on)
        return;
    access::SetSortAllFlag(m_table, on);
    // Entering and leaving the overview both drop the refused records from the screen, without animation.
    access::HideRefusedRecords(m_table);
    InvalidateRecords();
    if (notify)
    {
        RecomputeGridWidth(0.0);
        if (m_pWindow)
            m_pWindow->RepaintData();
    }
}

void CTableLayout::SetCompressedMode(bool on, bool notify)
{
    if (!notify)
    {
        access::SetCompressedFlag(m_table, on);
        return;
    }
    if (IsCompressed() == on)
        return;
    AnimateCompression(on); // sets the flag and recomputes, animated or not
    if (m_pWindow)
        m_pWindow->RepaintData();
}

// ---- settings ----

void CTableLayout::SetColumnWidth(int width)
{
    m_nColumnWidth = std::max(width, 1);
}

void CTableLayout::SetDataAreaWidth(int width)
{
    m_nDataAreaWidth = std::max(width, 0);
}

void CTableLayout::SetWidthAttribute(CAttribute* attribute, double blend)
{
    access::SetWidthAttribute(m_table, attribute);
    m_dWidthBlend = std::isnan(blend) ? 1.0 : std::clamp(blend, 0.0, 1.0);
    InvalidateRecords();
}

CAttribute* CTableLayout::GetWidthAttribute() const
{
    return access::WidthAttribute(m_table);
}

CAttribute* CTableLayout::ActiveWidthAttribute() const
{
    // The table forgets its width attribute when the attribute is deleted.
    CAttribute* attribute = access::WidthAttribute(m_table);
    return attribute && !access::IsHeaderAttribute(*attribute) ? attribute : nullptr;
}

double CTableLayout::GetGridWidth() const
{
    return IsCompressed() ? m_dCompressedWidth : static_cast<double>(m_nColumnWidth);
}

long CTableLayout::GetQualifiedCount() const
{
    return m_display.Count(CLASS_QUALIFIED) + m_display.Count(CLASS_OPEN);
}

double CTableLayout::ColumnWidth() const
{
    return m_dAnimatedColumnWidth >= 0.0 ? m_dAnimatedColumnWidth : static_cast<double>(m_nColumnWidth);
}

// ---- recomputing ----

CTableLayout::SSignature CTableLayout::CurrentSignature() const
{
    SSignature signature;
    signature.m_pRecords = access::ShownRecords(m_table, &signature.m_nShown);
    signature.m_nQualified = access::NumberQualified(m_table);
    signature.m_nOpen = access::NumberOpen(m_table);
    signature.m_pWidthAttribute = ActiveWidthAttribute();
    signature.m_bSortAll = IsSortAll();
    signature.m_nOrderGeneration = access::RecordOrderGeneration(m_table);
    return signature;
}

void CTableLayout::InvalidateRecords()
{
    m_bDisplayValid = false;
    m_lines.clear();
}

void CTableLayout::EnsureDisplayGeometry(bool rebuild)
{
    const SSignature signature = CurrentSignature();
    if (!rebuild && m_bDisplayValid && signature == m_signature)
        return;
    m_lines.clear();
    m_display.Build(signature.m_pRecords, signature.m_nShown, signature.m_pWidthAttribute, signature.m_bSortAll);
    m_signature = signature;
    m_bDisplayValid = true;
}

void CTableLayout::RecomputeGridWidth(double progress)
{
    if (!(progress > 0.0))
        progress = 0.0;
    progress = std::min(progress, 1.0);
    Recompute(progress, progress == 0.0);
}

void CTableLayout::Recompute(double progress, bool rebuild)
{
    EnsureDisplayGeometry(rebuild);
    if (IsCompressed())
        RecomputeCompressed(progress);
    else
        RecomputeFull(progress);
    UpdateRule();
}

void CTableLayout::RecomputeFull(double progress)
{
    const long n = m_display.GetSize();
    if (n > 0 && m_nColumnWidth > s_nMaxGridWidth / n)
    {
        m_nColumnWidth = std::max(1, static_cast<int>(s_nMaxGridWidth / n));
        ReportColumnWidthReduced();
    }
    const double column = ColumnWidth();
    if (progress == 0.0)
        m_dRefusedWidth = column;
    else
        m_dRefusedWidth = std::max(5.0, (1.0 - progress) * column);
    const long qualified = GetQualifiedCount();
    m_nTotalGridWidth = ToPixels(column * qualified + m_dRefusedWidth * static_cast<double>(n - qualified));
}

void CTableLayout::RecomputeCompressed(double progress)
{
    const long n = m_display.GetSize();
    if (n == 0)
    {
        m_nTotalGridWidth = 0; // no columns; the widths stay as they were
        return;
    }
    const bool sortAll = IsSortAll();
    const long open = m_display.Count(CLASS_OPEN); // 0 in the overview, where open records count as qualified
    const double column = ColumnWidth();
    double available = static_cast<double>(m_nDataAreaWidth) - (s_nSmallMargin + 1);
    available -= sortAll ? s_nLargeMargin + s_nSmallMargin : static_cast<double>(open) * column;
    m_nAvailableWidth = std::max(1, ToPixels(available));
    const double width = m_nAvailableWidth;

    const long refused = m_display.Count(CLASS_REFUSED);
    double weightQualified;
    double weightRefused;
    if (m_display.HasWeights())
    {
        weightQualified = m_display.SumWeights(CLASS_QUALIFIED);
        weightRefused = m_display.SumWeights(CLASS_REFUSED);
    }
    else
    {
        weightQualified = static_cast<double>(m_display.Count(CLASS_QUALIFIED));
        weightRefused = static_cast<double>(refused);
    }
    m_dTotalWeight = weightQualified + weightRefused;
    m_dRefusedFactor = 1.0 - progress;
    const double shrunk = weightRefused * m_dRefusedFactor;
    // The qualified records grow by exactly the weight that the refused ones give up.
    m_dQualifiedFactor = weightQualified != 0.0 ? (m_dTotalWeight - shrunk) / weightQualified : 0.0;
    const long sharing = n - open;
    if (sharing > 0)
    {
        m_dCompressedWidth = width / static_cast<double>(sharing) * m_dQualifiedFactor;
        m_dRefusedWidth = width / static_cast<double>(sharing) * m_dRefusedFactor;
    }
    else
    {
        m_dCompressedWidth = 0.0;
        m_dRefusedWidth = 0.0;
    }
    // Without any weight (a width attribute of zeros, or only open records) the shared part is empty.
    const double shared = m_dTotalWeight > 0.0 ? std::trunc(0.5 + width * (weightQualified + shrunk) / m_dTotalWeight)
                                               : 0.0;
    m_nTotalGridWidth = ToPixels(static_cast<double>(open) * column + shared);
}

void CTableLayout::UpdateRule()
{
    SWidthRule rule;
    const double column = ColumnWidth();
    if (!IsCompressed())
    {
        rule.m_dBase[CLASS_REFUSED] = m_dRefusedWidth;
        rule.m_dBase[CLASS_QUALIFIED] = column;
        rule.m_dBase[CLASS_OPEN] = column;
    }
    else if (!m_display.HasWeights())
    {
        rule.m_dBase[CLASS_REFUSED] = m_dRefusedWidth;
        rule.m_dBase[CLASS_QUALIFIED] = m_dCompressedWidth;
        rule.m_dBase[CLASS_OPEN] = column;
    }
    else
    {
        rule.m_dBase[CLASS_OPEN] = column;
        if (m_dTotalWeight > 0.0)
        {
            const double width = m_nAvailableWidth;
            const double sharing = static_cast<double>(std::max(1L, m_display.GetSize() - GetOpenCount()));
            const double blend = m_dWidthBlend;
            // (total / n) * (1 - blend) + weight * factor * blend, scaled to the available width.
            rule.m_dBase[CLASS_REFUSED] = width * (1.0 - blend) / sharing;
            rule.m_dBase[CLASS_QUALIFIED] = width * (1.0 - blend) / sharing;
            rule.m_dPerWeight[CLASS_REFUSED] = width * blend * m_dRefusedFactor / m_dTotalWeight;
            rule.m_dPerWeight[CLASS_QUALIFIED] = width * blend * m_dQualifiedFactor / m_dTotalWeight;
        }
    }
    for (int c = 0; c < CLASS_COUNT; ++c)
    {
        // Widths are never negative nor NaN, so that left edges only grow.
        rule.m_dBase[c] = rule.m_dBase[c] > 0.0 ? rule.m_dBase[c] : 0.0;
        rule.m_dPerWeight[c] = rule.m_dPerWeight[c] > 0.0 ? rule.m_dPerWeight[c] : 0.0;
    }
    m_rule = rule;
}

void CTableLayout::ReportColumnWidthReduced()
{
    access::ShowMessage(m_table, LoadResourceString(s_nColumnWidthReducedMessage));
}

// ---- geometry of records ----

const CRecordGeometry& CTableLayout::Line(CAttribute* attribute)
{
    EnsureDisplayGeometry(false);
    if (!attribute || !IsSortAll())
        return m_display;
    auto& line = m_lines[attribute];
    if (!line)
    {
        line = std::make_unique<CRecordGeometry>();
        const std::vector<CRecord*>& sorted = access::SortedShownRecords(*attribute);
        line->Build(sorted.data(), static_cast<long>(sorted.size()), m_signature.m_pWidthAttribute, true);
    }
    return *line;
}

double CTableLayout::GetWidth(const CRecord* record) const
{
    if (!record)
        return 0.0;
    const ERecordClass c = CRecordGeometry::Classify(record, IsSortAll());
    double weight = 0.0;
    if (m_rule.m_dPerWeight[c] > 0.0)
    {
        if (CAttribute* attribute = ActiveWidthAttribute())
            weight = CRecordGeometry::Weight(access::NumericValue(*attribute, record));
    }
    return m_rule.m_dBase[c] + m_rule.m_dPerWeight[c] * weight;
}

double CTableLayout::GetLeft(const CRecord* record, CAttribute* attribute)
{
    const CRecordGeometry& line = Line(attribute);
    const long position = line.FindPosition(record);
    return position < 0 ? -1.0 : line.GetLeft(position, m_rule);
}

double CTableLayout::GetRight(const CRecord* record)
{
    const double left = GetLeft(record);
    return left < 0.0 ? -1.0 : left + GetWidth(record);
}

long CTableLayout::GetLineCount(CAttribute* attribute)
{
    return Line(attribute).GetSize();
}

CRecord* CTableLayout::GetLineRecord(long position, CAttribute* attribute)
{
    const CRecordGeometry& line = Line(attribute);
    return position >= 0 && position < line.GetSize() ? line.GetRecord(position) : nullptr;
}

double CTableLayout::GetLineLeft(long position, CAttribute* attribute)
{
    const CRecordGeometry& line = Line(attribute);
    return line.GetLeft(std::clamp(position, 0L, line.GetSize()), m_rule);
}

double CTableLayout::GetLineWidth(long position, CAttribute* attribute)
{
    const CRecordGeometry& line = Line(attribute);
    return position >= 0 && position < line.GetSize() ? line.GetWidth(position, m_rule) : 0.0;
}

long CTableLayout::FindPositionAt(double x, CAttribute* attribute)
{
    return Line(attribute).FindPositionAt(x, m_rule);
}

CRecord* CTableLayout::FindRecordAt(double x, CAttribute* attribute)
{
    const CRecordGeometry& line = Line(attribute);
    const long position = line.FindPositionAt(x, m_rule);
    return position < 0 ? nullptr : line.GetRecord(position);
}

std::pair<long, long> CTableLayout::FindPositionsIn(double x0, double x1, CAttribute* attribute)
{
    return Line(attribute).FindPositionsIn(x0, x1, m_rule);
}

std::vector<SValueBar> CTableLayout::GetValueBars(CAttribute& attribute)
{
    const CRecordGeometry& line = Line(&attribute);
    std::vector<SValueBar> bars;
    const long n = line.GetSize();
    long first = 0;
    while (first < n)
    {
        const long value = access::ValueIndex(attribute, line.GetRecord(first));
        long end = first + 1;
        while (end < n && access::ValueIndex(attribute, line.GetRecord(end)) == value)
            ++end;
        const double left = line.GetLeft(first, m_rule);
        bars.push_back({value, first, end - first, left, std::max(0.0, line.GetLeft(end, m_rule) - left)});
        first = end;
    }
    return bars;
}

// ---- open records and lines ----

void CTableLayout::CloseAllRecords()
{
    access::CloseAllRecords(m_table);
    InvalidateRecords();
}

void CTableLayout::SetRecordOpen(CRecord* record, bool open)
{
    access::SetRecordOpen(m_table, record, open);
    InvalidateRecords();
}

void CTableLayout::GuessTwoLineCompression()
{
    access::GuessTwoLineCompression(m_table);
}

// ---- animation ----

bool CTableLayout::IsAnimated() const
{
    return access::AnimatedOption(m_table) >= 1;
}

bool CTableLayout::CanAnimate() const
{
    return HasWindow() && IsAnimated() && !m_bRedrawLocked && !m_bAnimationSuppressed;
}

namespace
{
// Ends an animation's state however the loop is left.
struct SAnimationScope
{
    bool& m_bAnimating;
    double& m_dAnimatedColumnWidth;
    ~SAnimationScope()
    {
        m_bAnimating = false;
        m_dAnimatedColumnWidth = -1.0;
    }
};
} // namespace

void CTableLayout::ApplyZoomFrame(double e)
{
    Recompute(std::clamp(std::isnan(e) ? 0.0 : e, 0.0, 1.0), false);
}

bool CTableLayout::AnimateQuery(bool reverse)
{
    if (!CanAnimate() || m_bAnimating)
        return false;
    m_bAnimating = true;
    {
        SAnimationScope scope{m_bAnimating, m_dAnimatedColumnWidth};
        if (!reverse)
            ++m_nDisplayGeneration;
        EnsureDisplayGeometry(true); // the flags changed just before the animation
        CAnimationTimeline timeline(kZoomDurationMs * AnimationSpeedFactor(access::AnimatedOption(m_table)), reverse,
                                    IsSortAll());
        timeline.Start(m_pWindow->GetTickCount());
        for (;;)
        {
            ApplyZoomFrame(timeline.Frame(m_pWindow->GetTickCount()));
            if (!IsCompressed())
                m_pWindow->ScrollToSelection();
            m_pWindow->RepaintData();
            if (timeline.IsOver())
                break;
            m_pWindow->Wait(1);
        }
    }
    RecomputeGridWidth(0.0);
    return true;
}

void CTableLayout::ApplyCompressionFrame(const SCompressionFrame& frame, double finalCompressedWidth,
                                         double finalQualifiedFactor)
{
    access::SetCompressedFlag(m_table, frame.m_bCompressedPhase);
    if (!frame.m_bCompressedPhase)
    {
        m_dAnimatedColumnWidth = frame.m_dWidth;
        Recompute(0.0, false);
        return;
    }
    m_dAnimatedColumnWidth = -1.0;
    Recompute(0.0, false);
    m_dCompressedWidth = frame.m_dWidth;
    if (finalCompressedWidth > 0.0)
        m_dQualifiedFactor = finalQualifiedFactor * frame.m_dWidth / finalCompressedWidth;
    UpdateRule();
    m_nTotalGridWidth = ToPixels(m_display.GetLeft(m_display.GetSize(), m_rule));
}

bool CTableLayout::AnimateCompression(bool compressed)
{
    if (m_bAnimating)
        return false;
    EnsureDisplayGeometry(true);
    if (compressed == IsCompressed() || !CanAnimate() || m_display.GetSize() == 0)
    {
        access::SetCompressedFlag(m_table, compressed);
        RecomputeGridWidth(0.0);
        return false;
    }
    // The widths of the compressed mode at rest are where the compressed phase starts or ends.
    const bool old = IsCompressed();
    access::SetCompressedFlag(m_table, true);
    Recompute(0.0, false);
    const double finalCompressedWidth = m_dCompressedWidth;
    const double finalQualifiedFactor = m_dQualifiedFactor;
    access::SetCompressedFlag(m_table, old);
    Recompute(0.0, false);

    m_bAnimating = true;
    {
        SAnimationScope scope{m_bAnimating, m_dAnimatedColumnWidth};
        CAnimationTimeline timeline(kCompressionDurationMs * AnimationSpeedFactor(access::AnimatedOption(m_table)),
                                    false, IsSortAll());
        timeline.Start(m_pWindow->GetTickCount());
        for (;;)
        {
            const double e = timeline.Frame(m_pWindow->GetTickCount());
            ApplyCompressionFrame(CompressionFrame(e, compressed, m_nColumnWidth, finalCompressedWidth),
                                  finalCompressedWidth, finalQualifiedFactor);
            m_pWindow->RepaintData();
            if (timeline.IsOver())
                break;
            m_pWindow->Wait(1);
        }
    }
    // The compressed mode's values at rest stay, also when the full table is the end.
    m_dCompressedWidth = finalCompressedWidth;
    m_dQualifiedFactor = finalQualifiedFactor;
    access::SetCompressedFlag(m_table, compressed);
    RecomputeGridWidth(0.0);
    return true;
}

} // namespace display
