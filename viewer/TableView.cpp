#include "viewer/TableView.h"

#include "engine/Attribute.h"
#include "engine/Record.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "selection/AttributeSelection.h"
#include "selection/TableSelection.h"
#include "viewer/DefinitionDialog.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <limits>

namespace viewer
{

namespace
{

QString ToQString(const KString& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kIndentStep = 14;  // pixels per level of the attribute tree
constexpr int kSymbolWidth = 14; // the open or closed symbol of a header
constexpr int kTextPadding = 3;

// The open (pointing down) or closed (pointing right) symbol of a header in a square at left, top.
void PaintHeaderSymbol(QPainter& painter, int left, int top, int size, bool open)
{
    const double s = size * 0.35;
    const QPointF c(left + size / 2.0, top + size / 2.0);
    QPolygonF triangle;
    if (open)
        triangle << QPointF(c.x() - s, c.y() - s / 2) << QPointF(c.x() + s, c.y() - s / 2) << QPointF(c.x(), c.y() + s);
    else
        triangle << QPointF(c.x() - s / 2, c.y() - s) << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s / 2, c.y() + s);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 70, 70));
    painter.drawPolygon(triangle);
    painter.setBrush(Qt::NoBrush);
}

// text cut into at most lines lines of width pixels (broken at blanks where it can be), the last one elided.
QString WrappedText(const QFontMetrics& metrics, const QString& text, int width, int lines)
{
    QStringList out;
    QString rest = text;
    while (!rest.isEmpty() && static_cast<int>(out.size()) < lines - 1 && metrics.horizontalAdvance(rest) > width)
    {
        int fits = 1;
        while (fits < rest.size() && metrics.horizontalAdvance(rest.left(fits + 1)) <= width)
            ++fits;
        const int blank = rest.left(fits + 1).lastIndexOf(QLatin1Char(' '));
        const int cut = blank > 0 ? blank : fits;
        out << rest.left(cut);
        rest = rest.mid(cut).trimmed();
    }
    if (!rest.isEmpty())
        out << metrics.elidedText(rest, Qt::ElideRight, width);
    return out.join(QLatin1Char('\n'));
}

} // namespace

int CTableView::TextLines(const CAttribute* attribute) const
{
    return attribute->IsHeader() ? 1 : std::clamp(static_cast<int>(attribute->GetNrOfLines()), 1, kMaxTextLines);
}

int CTableView::LineHeight(const CAttribute* attribute) const
{
    return m_nLineHeight + (TextLines(attribute) - 1) * fontMetrics().lineSpacing();
}

CTableView::CTableView(QWidget* parent) : QAbstractScrollArea(parent)
{
    m_nLineHeight = fontMetrics().height() + 6;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
}

CTableView::~CTableView()
{
    if (m_pLayout)
        m_pLayout->SetWindow(nullptr);
}

void CTableView::SetTable(CTable* table)
{
    m_pLayout.reset();
    m_pTable = table;
    m_pAnchorAttribute = nullptr;
    m_pAnchorValue = nullptr;
    m_pCurrentAttribute = nullptr;
    m_pCursorAttribute = nullptr;
    m_nCursorPosition = 0;
    if (table)
    {
        m_pLayout = std::make_unique<display::CTableLayout>(*table);
        m_pLayout->SetWindow(this);
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    Refresh();
}

void CTableView::Refresh()
{
    RebuildLines();
    if (m_pAnchorAttribute && std::find(m_lines.begin(), m_lines.end(), m_pAnchorAttribute) == m_lines.end())
    {
        m_pAnchorAttribute = nullptr;
        m_pAnchorValue = nullptr;
    }
    if (m_pCurrentAttribute && std::find(m_lines.begin(), m_lines.end(), m_pCurrentAttribute) == m_lines.end())
        m_pCurrentAttribute = nullptr;
    if (m_pCursorAttribute && std::find(m_lines.begin(), m_lines.end(), m_pCursorAttribute) == m_lines.end())
        m_pCursorAttribute = nullptr;
    UpdateGeometry();
    viewport()->update();
}

void CTableView::RebuildLines()
{
    m_lines.clear();
    m_lineTops.assign(1, 0);
    if (!m_pTable)
        return;
    // A closed header hides the attributes below it that are indented deeper.
    int closedIndent = -1;
    for (long i = 0; i < m_pTable->GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_pTable->FindAttributeFromIndex(i);
        if (closedIndent >= 0 && attribute->GetIndent() > closedIndent)
            continue;
        closedIndent = -1;
        if (attribute->IsHidden())
            continue;
        m_lines.push_back(attribute);
        if (attribute->IsHeader() && !attribute->IsHeaderOpen())
            closedIndent = attribute->GetIndent();
    }
    for (CAttribute* attribute : m_lines)
        m_lineTops.push_back(m_lineTops.back() + LineHeight(attribute));
    int widest = 0;
    const QFontMetrics metrics = fontMetrics();
    for (CAttribute* attribute : m_lines)
        widest = std::max(widest, attribute->GetIndent() * kIndentStep + kSymbolWidth +
                                      metrics.horizontalAdvance(ToQString(attribute->GetDisplayName(40))));
    m_nNameWidth = std::clamp(widest + 2 * kTextPadding + 4, 80, 260);
}

void CTableView::UpdateGeometry()
{
    const int dataWidth = std::max(0, viewport()->width() - m_nNameWidth);
    if (m_pLayout && !m_pLayout->IsAnimating())
    {
        m_pLayout->SetDataAreaWidth(dataWidth);
        m_pLayout->RecomputeGridWidth(0.0);
    }
    const int grid = m_pLayout ? m_pLayout->GetTotalGridWidth() : 0;
    horizontalScrollBar()->setRange(0, std::max(0, grid - dataWidth));
    horizontalScrollBar()->setPageStep(std::max(1, dataWidth));
    horizontalScrollBar()->setSingleStep(m_pLayout ? std::max(1, m_pLayout->GetColumnWidth() / 4) : 20);
    // The last lines that fit the window together: the scroll range ends where they show.
    int fitting = 0;
    const int lineCount = static_cast<int>(m_lines.size());
    while (fitting < lineCount && m_lineTops[static_cast<size_t>(lineCount)] -
                                          m_lineTops[static_cast<size_t>(lineCount - fitting - 1)] <=
                                      viewport()->height())
        ++fitting;
    verticalScrollBar()->setRange(0, std::max(0, lineCount - fitting));
    verticalScrollBar()->setPageStep(std::max(1, fitting));
    verticalScrollBar()->setSingleStep(1);
}

int CTableView::ScrollX() const
{
    return horizontalScrollBar()->value();
}

int CTableView::LineTop(int line) const
{
    const auto at = [this](int i)
    { return m_lineTops[static_cast<size_t>(std::clamp(i, 0, static_cast<int>(m_lines.size())))]; };
    return at(line) - at(verticalScrollBar()->value());
}

CAttribute* CTableView::LineKey(CAttribute* attribute) const
{
    return m_pLayout && m_pLayout->GetViewMode() == display::VIEW_OVERVIEW ? attribute : nullptr;
}

CAttribute* CTableView::AttributeAt(int y) const
{
    if (y < 0)
        return nullptr;
    const int scrolled = y - LineTop(0);
    // The last line whose top is at or above the point.
    const auto it = std::upper_bound(m_lineTops.begin(), m_lineTops.end(), scrolled);
    const size_t line = static_cast<size_t>(it - m_lineTops.begin()) - 1;
    return line < m_lines.size() ? m_lines[line] : nullptr;
}

QRect CTableView::CellRect(CAttribute* attribute, const CRecord* record)
{
    const auto it = std::find(m_lines.begin(), m_lines.end(), attribute);
    if (!m_pLayout || it == m_lines.end() || attribute->IsHeader())
        return {};
    const double left = m_pLayout->GetLeft(record, LineKey(attribute));
    if (left < 0.0)
        return {};
    const double width = m_pLayout->GetWidth(record);
    const int x0 = m_nNameWidth + static_cast<int>(std::floor(left)) - ScrollX();
    const int x1 = m_nNameWidth + static_cast<int>(std::floor(left + width)) - ScrollX();
    return QRect(x0, LineTop(static_cast<int>(it - m_lines.begin())), std::max(0, x1 - x0), LineHeight(attribute));
}

// ---- drawing ----

void CTableView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(kCellColour));
    m_bFrameSamplesValid = false;
    if (!m_pTable)
        return;
    const int height = viewport()->height();
    for (size_t line = static_cast<size_t>(verticalScrollBar()->value()); line < m_lines.size(); ++line)
    {
        const int top = LineTop(static_cast<int>(line));
        if (top >= height)
            break;
        CAttribute* attribute = m_lines[line];
        PaintValues(painter, attribute, top);
        PaintName(painter, attribute, top);
    }
    painter.setPen(QColor(kGridColour));
    painter.drawLine(m_nNameWidth - 1, 0, m_nNameWidth - 1, height);
    // The keyboard cursor: a frame round its cell (round the name of a header).
    if (m_pCursorAttribute && hasFocus())
    {
        CRecord* record = GetCursorRecord();
        QRect cell = record ? CellRect(m_pCursorAttribute, record)
                            : QRect(0, LineTop(CursorLine()), m_nNameWidth - 1, LineHeight(m_pCursorAttribute));
        if (!cell.isEmpty())
        {
            painter.setClipping(false);
            painter.setPen(QPen(QColor(kCursorColour), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(cell.adjusted(1, 1, -1, -1));
        }
    }
}

void CTableView::PaintName(QPainter& painter, CAttribute* attribute, int top)
{
    const int height = LineHeight(attribute);
    const QRect cell(0, top, m_nNameWidth - 1, height);
    const bool selected = CTableSelection::Of(*m_pTable).IsSelected(attribute);
    painter.fillRect(cell, QColor(selected ? kSelectedValueColour : (attribute->IsHeader() ? kHeaderLineColour
                                                                                            : 0xfff4f6f8)));
    const int indent = attribute->GetIndent() * kIndentStep + kTextPadding;
    if (attribute->IsHeader())
        PaintHeaderSymbol(painter, indent, top + (height - kSymbolWidth) / 2, kSymbolWidth,
                          attribute->IsHeaderOpen());
    const QRect text(indent + kSymbolWidth, top, m_nNameWidth - indent - kSymbolWidth - kTextPadding, height);
    QFont font = painter.font();
    font.setBold(attribute->IsHeader());
    painter.setFont(font);
    painter.setPen(selected ? Qt::white : Qt::black);
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(ToQString(attribute->GetDisplayName()), Qt::ElideRight,
                                                      text.width()));
    font.setBold(false);
    painter.setFont(font);
    painter.setPen(QColor(kGridColour));
    painter.drawLine(0, top + height - 1, m_nNameWidth - 1, top + height - 1);
}

bool CTableView::IsRecordSelected(const CRecord* record) const
{
    // A qualified record carrying a selected value of any attribute with selected values.
    if (!record->m_bQualified)
        return false;
    CTableSelection& selection = CTableSelection::Of(*m_pTable);
    for (CAttribute* attribute : selection.GetValueSelectionList())
    {
        const CAttributeSelection* state = selection.Find(*attribute);
        const char16_t* value = attribute->GetFieldValue(record);
        if (state && value && state->IsValueSelected(value))
            return true;
    }
    return false;
}

void CTableView::PaintValues(QPainter& painter, CAttribute* attribute, int top)
{
    const int dataWidth = viewport()->width() - m_nNameWidth;
    if (dataWidth <= 0)
        return;
    painter.save();
    const int height = LineHeight(attribute);
    const int textLines = TextLines(attribute);
    painter.setClipRect(m_nNameWidth, top, dataWidth, height);
    if (attribute->IsHeader())
    {
        painter.fillRect(m_nNameWidth, top, dataWidth, height, QColor(kHeaderLineColour));
        painter.restore();
        return;
    }
    CTableSelection& selection = CTableSelection::Of(*m_pTable);
    const CAttributeSelection* state = selection.Find(*attribute);
    CAttribute* key = LineKey(attribute);
    const bool full = m_pLayout->GetViewMode() == display::VIEW_FULL;
    const int scroll = ScrollX();
    const std::pair<long, long> range = m_pLayout->FindPositionsIn(scroll, scroll + dataWidth, key);
    const QFontMetrics metrics = painter.fontMetrics();
    // The records to look at: every record in the full table; elsewhere the record under each pixel, so that a
    // frame costs the visible pixels, not the records (the compressed table and the overview squeeze all of them
    // into the window, many to a pixel).
    // The display list's samples serve every line of the full and compressed table: made once per frame.
    std::vector<long> ownSamples;
    if (!full && key)
        ownSamples = SamplePositions(key, scroll, dataWidth);
    else if (!full && !m_bFrameSamplesValid)
    {
        m_frameSamples = SamplePositions(nullptr, scroll, dataWidth);
        m_bFrameSamplesValid = true;
    }
    const std::vector<long>& samples = key ? ownSamples : m_frameSamples;
    size_t sample = 0;
    const auto nextPosition = [&](long p) -> long
    {
        while (sample < samples.size() && samples[sample] <= p)
            ++sample;
        return sample < samples.size() ? samples[sample] : range.second;
    };
    // Runs of neighbouring records with the same value and the same state are drawn as one cell (one bar in the
    // overview); in the full table every record is a cell of its own.
    // What a cell shows of a record; each record is looked at once (the one that ends a run starts the next).
    struct SLook
    {
        long m_nPosition = -1;
        CRecord* m_pRecord = nullptr;
        const char16_t* m_pValue = nullptr;
        bool m_bRefused = false;
        bool m_bValueSelected = false;
        bool m_bRecordSelected = false; // and its value not
        bool SameCell(const SLook& other) const
        {
            return m_pValue == other.m_pValue && m_bRefused == other.m_bRefused &&
                   m_bRecordSelected == other.m_bRecordSelected;
        }
    };
    SLook next;
    const auto look = [&](long p)
    {
        if (next.m_nPosition == p)
            return next;
        SLook result;
        result.m_nPosition = p;
        result.m_pRecord = m_pLayout->GetLineRecord(p, key);
        result.m_pValue = attribute->GetFieldValue(result.m_pRecord);
        result.m_bRefused = !result.m_pRecord->m_bQualified;
        result.m_bValueSelected =
            !result.m_bRefused && state && result.m_pValue && state->IsValueSelected(result.m_pValue);
        result.m_bRecordSelected = !result.m_bRefused && !result.m_bValueSelected && IsRecordSelected(result.m_pRecord);
        return result;
    };
    long position = full ? range.first : (samples.empty() ? range.second : samples.front());
    while (position < range.second)
    {
        const SLook head = look(position);
        CRecord* record = head.m_pRecord;
        const char16_t* value = head.m_pValue;
        const bool refused = head.m_bRefused;
        const bool valueSelected = head.m_bValueSelected;
        const bool recordSelected = head.m_bRecordSelected;
        long end = full ? position + 1 : nextPosition(position);
        if (!full)
        {
            while (end < range.second)
            {
                next = look(end);
                if (!next.SameCell(head))
                    break;
                end = nextPosition(end);
            }
        }
        const double left = m_pLayout->GetLineLeft(position, key);
        const double right = m_pLayout->GetLineLeft(end, key);
        const int x0 = m_nNameWidth + static_cast<int>(std::floor(left)) - scroll;
        const int x1 = std::max(x0 + 1, m_nNameWidth + static_cast<int>(std::floor(right)) - scroll);
        const QRect cell(x0, top, x1 - x0, height - 1);
        QRgb fill = full ? kCellColour : kBarColour;
        if (refused)
            fill = kRefusedColour;
        else if (valueSelected)
            fill = kSelectedValueColour;
        else if (recordSelected)
            fill = kSelectedRecordColour;
        painter.fillRect(cell, QColor(fill));
        if (cell.width() >= 3)
        {
            painter.setPen(QColor(kGridColour));
            painter.drawLine(x1 - 1, top, x1 - 1, top + height - 1);
        }
        if (value && cell.width() > 2 * kTextPadding + 4)
        {
            const QString text = ToQString(attribute->GetFieldText(record));
            const QRect inner = cell.adjusted(kTextPadding, 0, -kTextPadding - 1, 0);
            // A bar shows its value only where the value fits; a cell of the full table cuts it, after wrapping
            // it onto the attribute's lines.
            if (full || metrics.horizontalAdvance(text) <= inner.width())
            {
                painter.setPen(valueSelected ? Qt::white : (refused ? QColor(110, 110, 110) : Qt::black));
                if (full && textLines > 1)
                    painter.drawText(inner, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWrapAnywhere,
                                     WrappedText(metrics, text, inner.width(), textLines));
                else
                    painter.drawText(inner, Qt::AlignVCenter | (full ? Qt::AlignLeft : Qt::AlignHCenter),
                                     metrics.elidedText(text, Qt::ElideRight, inner.width()));
            }
        }
        position = end;
    }
    painter.setPen(QColor(kGridColour));
    painter.drawLine(m_nNameWidth, top + height - 1, m_nNameWidth + dataWidth, top + height - 1);
    painter.restore();
}

std::vector<long> CTableView::SamplePositions(CAttribute* key, int scroll, int width)
{
    std::vector<long> samples;
    const long n = m_pLayout->GetLineCount(key);
    // The first position whose right edge lies beyond x, searched from the last one found plus the last advance
    // (exact while the widths are even) by galloping: the probes stay near each other and few.
    long found = 0;
    long advance = 1;
    const auto right = [&](long position) { return m_pLayout->GetLineLeft(position + 1, key); };
    for (int pixel = 0; pixel < width && found < n; ++pixel)
    {
        const double x = scroll + pixel;
        if (right(found) <= x)
        {
            long low = found; // right(low) <= x
            long high = std::min(n, found + advance);
            if (high < n && right(high) > x)
            {
                // Back from the guess towards low.
                long step = 1;
                while (high - step > low && right(high - step) > x)
                {
                    high -= step;
                    step *= 2;
                }
                low = std::max(low, high - step);
            }
            else if (high < n)
            {
                // On from the guess.
                low = high;
                long step = 1;
                high = low + 1;
                while (high < n && right(high) <= x)
                {
                    low = high;
                    step *= 2;
                    high = low + step;
                }
                high = std::min(high, n);
            }
            while (high - low > 1) // right(low) <= x < right(high), high == n counting as beyond
            {
                const long middle = low + (high - low) / 2;
                if (right(middle) <= x)
                    low = middle;
                else
                    high = middle;
            }
            advance = std::max(1L, high - found);
            found = high;
            if (found >= n)
                break;
        }
        if (samples.empty() || samples.back() != found)
            samples.push_back(found);
    }
    return samples;
}

// ---- events ----

void CTableView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateGeometry();
}

void CTableView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CTableView::mousePressEvent(QMouseEvent* event)
{
    if (!m_pTable || event->button() != Qt::LeftButton || (m_pLayout && m_pLayout->IsAnimating()))
    {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    CAttribute* attribute = AttributeAt(at.y());
    if (!attribute)
        return;
    CTableSelection& selection = CTableSelection::Of(*m_pTable);
    m_pCurrentAttribute = attribute;
    if (at.x() < m_nNameWidth)
    {
        const int symbol = attribute->GetIndent() * kIndentStep + kTextPadding;
        if (attribute->IsHeader() && at.x() >= symbol && at.x() < symbol + kSymbolWidth)
        {
            attribute->SetHeaderOpen(!attribute->IsHeaderOpen());
            Refresh();
            return;
        }
        const bool keep = event->modifiers() & Qt::ControlModifier;
        if (keep && selection.IsSelected(attribute))
            selection.DeselectAttribute(attribute);
        else
            selection.SelectAttribute(attribute, keep);
        SelectionChanged();
        return;
    }
    if (attribute->IsHeader())
        return;
    CRecord* record = m_pLayout->FindRecordAt(at.x() - m_nNameWidth + ScrollX(), LineKey(attribute));
    if (record)
        ClickValue(attribute, record, event->modifiers());
}

void CTableView::ClickValue(CAttribute* attribute, CRecord* record, Qt::KeyboardModifiers modifiers)
{
    CTableSelection& selection = CTableSelection::Of(*m_pTable);
    CAttributeSelection& state = CAttributeSelection::Of(attribute);
    const char16_t* value = attribute->GetFieldValue(record);
    if (!value)
        return; // an undefined value is not selected by a click
    if ((modifiers & Qt::ShiftModifier) && m_pAnchorAttribute == attribute && m_pAnchorValue)
    {
        // The values from the anchor to this one in the attribute's order of values.
        const std::vector<CRecord*>& sorted = attribute->GetSortedRecords();
        long from = -1;
        long to = -1;
        for (long i = 0; i < static_cast<long>(sorted.size()) && (from < 0 || to < 0); ++i)
        {
            const char16_t* v = attribute->GetFieldValue(sorted[static_cast<size_t>(i)]);
            if (from < 0 && v == m_pAnchorValue)
                from = i;
            if (to < 0 && v == value)
                to = i;
        }
        if (from >= 0 && to >= 0)
        {
            if (from > to)
                std::swap(from, to);
            auto values = std::make_unique<CSet>();
            for (long i = from; i <= to; ++i)
            {
                const char16_t* v = attribute->GetFieldValue(sorted[static_cast<size_t>(i)]);
                if (v)
                    values->AddTail(v);
            }
            const char16_t* low = attribute->GetFieldValue(sorted[static_cast<size_t>(from)]);
            const char16_t* high = attribute->GetFieldValue(sorted[static_cast<size_t>(to)]);
            if (!(modifiers & Qt::ControlModifier))
                selection.DeselectAllValues();
            state.SelectValues(std::move(values), true, low, high);
            SelectionChanged();
            return;
        }
    }
    if (modifiers & Qt::ControlModifier)
    {
        if (state.IsValueSelected(value))
            state.DeselectValue(value, nullptr);
        else
            state.SelectValue(value, nullptr, true);
    }
    else
    {
        selection.DeselectAllValues();
        state.SelectValue(value, nullptr, false);
    }
    m_pAnchorAttribute = attribute;
    m_pAnchorValue = value;
    SelectionChanged();
}

void CTableView::SelectionChanged()
{
    viewport()->update();
    if (m_onSelectionChanged)
        m_onSelectionChanged();
}

// ---- the keyboard ----

int CTableView::CursorLine() const
{
    const auto it = std::find(m_lines.begin(), m_lines.end(), m_pCursorAttribute);
    return it == m_lines.end() ? 0 : static_cast<int>(it - m_lines.begin());
}

CRecord* CTableView::GetCursorRecord()
{
    if (!m_pLayout || !m_pCursorAttribute || m_pCursorAttribute->IsHeader())
        return nullptr;
    CAttribute* key = LineKey(m_pCursorAttribute);
    const long count = m_pLayout->GetLineCount(key);
    return count > 0 ? m_pLayout->GetLineRecord(std::clamp(m_nCursorPosition, 0L, count - 1), key) : nullptr;
}

void CTableView::MoveCursor(int line, long position)
{
    if (m_lines.empty() || !m_pLayout)
        return;
    line = std::clamp(line, 0, static_cast<int>(m_lines.size()) - 1);
    m_pCursorAttribute = m_lines[static_cast<size_t>(line)];
    const long count = m_pLayout->GetLineCount(LineKey(m_pCursorAttribute));
    m_nCursorPosition = std::clamp(position, 0L, std::max(0L, count - 1));
    // Into view: the line vertically, the cell horizontally.
    QScrollBar* vertical = verticalScrollBar();
    if (line < vertical->value())
        vertical->setValue(line);
    while (vertical->value() < line && LineTop(line + 1) > viewport()->height())
        vertical->setValue(vertical->value() + 1);
    if (!m_pCursorAttribute->IsHeader() && count > 0)
    {
        CAttribute* key = LineKey(m_pCursorAttribute);
        const int left = static_cast<int>(m_pLayout->GetLineLeft(m_nCursorPosition, key));
        const int right = static_cast<int>(m_pLayout->GetLineLeft(m_nCursorPosition + 1, key));
        const int dataWidth = std::max(1, viewport()->width() - m_nNameWidth);
        QScrollBar* horizontal = horizontalScrollBar();
        if (left < horizontal->value())
            horizontal->setValue(left);
        else if (right > horizontal->value() + dataWidth)
            horizontal->setValue(right - dataWidth);
    }
    viewport()->update();
}

void CTableView::keyPressEvent(QKeyEvent* event)
{
    if (!m_pTable || m_lines.empty() || (m_pLayout && m_pLayout->IsAnimating()))
    {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool started = m_pCursorAttribute != nullptr;
    const int line = CursorLine();
    switch (event->key())
    {
    case Qt::Key_Left:
        MoveCursor(line, started ? m_nCursorPosition - 1 : 0);
        break;
    case Qt::Key_Right:
        MoveCursor(line, started ? m_nCursorPosition + 1 : 0);
        break;
    case Qt::Key_Up:
        MoveCursor(started ? line - 1 : 0, m_nCursorPosition);
        break;
    case Qt::Key_Down:
        MoveCursor(started ? line + 1 : 0, m_nCursorPosition);
        break;
    case Qt::Key_Home:
        MoveCursor(line, 0);
        break;
    case Qt::Key_End:
        MoveCursor(line, std::numeric_limits<long>::max());
        break;
    case Qt::Key_Space:
        if (!started)
            MoveCursor(0, 0);
        else if (m_pCursorAttribute->IsHeader())
        {
            m_pCursorAttribute->SetHeaderOpen(!m_pCursorAttribute->IsHeaderOpen());
            Refresh();
        }
        else if (CRecord* record = GetCursorRecord())
        {
            m_pCurrentAttribute = m_pCursorAttribute;
            ClickValue(m_pCursorAttribute, record, event->modifiers() & Qt::ControlModifier);
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_onStep)
            m_onStep(selection::EStep::ZoomIn);
        else if (selection::TakeStep(CTableSelection::Of(*m_pTable), selection::EStep::ZoomIn).IsTaken())
        {
            m_pLayout->AnimateQuery(false);
            Refresh();
            SelectionChanged();
        }
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CTableView::contextMenuEvent(QContextMenuEvent* event)
{
    const bool onName = m_pNameContextMenu && event->pos().x() < m_nNameWidth;
    QMenu* menu = onName ? m_pNameContextMenu : m_pContextMenu;
    if (onName && AttributeAt(event->pos().y()))
    {
        // The name's menu sorts by the attribute under it.
        m_pCurrentAttribute = AttributeAt(event->pos().y());
        if (m_onSelectionChanged)
            m_onSelectionChanged();
    }
    if (menu)
        menu->exec(event->globalPos());
}

QString CTableView::ToolTipAt(const QPoint& at) const
{
    const CAttribute* attribute = at.x() >= 0 && at.x() < m_nNameWidth ? AttributeAt(at.y()) : nullptr;
    return attribute ? DefinitionToolTip(*attribute) : QString();
}

bool CTableView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty())
    {
        QToolTip::hideText();
        event->ignore();
    }
    else
    {
        QToolTip::showText(help->globalPos(), text, viewport());
    }
    return true;
}

// ---- display::CLayoutWindow ----

void CTableView::Wait(int ms)
{
    // The animation runs inside the command: the window keeps painting, but takes no input until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
}

void CTableView::RepaintData()
{
    if (m_pLayout && !m_pLayout->IsAnimating())
        UpdateGeometry();
    viewport()->repaint();
}

} // namespace viewer
