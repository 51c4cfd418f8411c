#include "viewer/TableView.h"

#include "engine/Attribute.h"
#include "engine/Record.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "selection/AttributeSelection.h"
#include "selection/TableSelection.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <cmath>

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

} // namespace

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
    UpdateGeometry();
    viewport()->update();
}

void CTableView::RebuildLines()
{
    m_lines.clear();
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
    const int visibleLines = std::max(1, viewport()->height() / m_nLineHeight);
    if (m_pLayout && !m_pLayout->IsAnimating())
    {
        m_pLayout->SetDataAreaWidth(dataWidth);
        m_pLayout->RecomputeGridWidth(0.0);
    }
    const int grid = m_pLayout ? m_pLayout->GetTotalGridWidth() : 0;
    horizontalScrollBar()->setRange(0, std::max(0, grid - dataWidth));
    horizontalScrollBar()->setPageStep(std::max(1, dataWidth));
    horizontalScrollBar()->setSingleStep(m_pLayout ? std::max(1, m_pLayout->GetColumnWidth() / 4) : 20);
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(m_lines.size()) - visibleLines));
    verticalScrollBar()->setPageStep(visibleLines);
    verticalScrollBar()->setSingleStep(1);
}

int CTableView::ScrollX() const
{
    return horizontalScrollBar()->value();
}

int CTableView::LineTop(int line) const
{
    return (line - verticalScrollBar()->value()) * m_nLineHeight;
}

CAttribute* CTableView::LineKey(CAttribute* attribute) const
{
    return m_pLayout && m_pLayout->GetViewMode() == display::VIEW_OVERVIEW ? attribute : nullptr;
}

CAttribute* CTableView::AttributeAt(int y) const
{
    if (y < 0)
        return nullptr;
    const size_t line = static_cast<size_t>(y / m_nLineHeight + verticalScrollBar()->value());
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
    return QRect(x0, LineTop(static_cast<int>(it - m_lines.begin())), std::max(0, x1 - x0), m_nLineHeight);
}

// ---- drawing ----

void CTableView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(kCellColour));
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
}

void CTableView::PaintName(QPainter& painter, CAttribute* attribute, int top)
{
    const QRect cell(0, top, m_nNameWidth - 1, m_nLineHeight);
    const bool selected = CTableSelection::Of(*m_pTable).IsSelected(attribute);
    painter.fillRect(cell, QColor(selected ? kSelectedValueColour : (attribute->IsHeader() ? kHeaderLineColour
                                                                                            : 0xfff4f6f8)));
    const int indent = attribute->GetIndent() * kIndentStep + kTextPadding;
    if (attribute->IsHeader())
        PaintHeaderSymbol(painter, indent, top + (m_nLineHeight - kSymbolWidth) / 2, kSymbolWidth,
                          attribute->IsHeaderOpen());
    const QRect text(indent + kSymbolWidth, top, m_nNameWidth - indent - kSymbolWidth - kTextPadding, m_nLineHeight);
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
    painter.drawLine(0, top + m_nLineHeight - 1, m_nNameWidth - 1, top + m_nLineHeight - 1);
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
    painter.setClipRect(m_nNameWidth, top, dataWidth, m_nLineHeight);
    if (attribute->IsHeader())
    {
        painter.fillRect(m_nNameWidth, top, dataWidth, m_nLineHeight, QColor(kHeaderLineColour));
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
    // Runs of neighbouring records with the same value and the same state are drawn as one cell (one bar in the
    // overview); in the full table every record is a cell of its own.
    long position = range.first;
    while (position < range.second)
    {
        CRecord* record = m_pLayout->GetLineRecord(position, key);
        const char16_t* value = attribute->GetFieldValue(record);
        const bool refused = !record->m_bQualified;
        const bool valueSelected = !refused && state && value && state->IsValueSelected(value);
        const bool recordSelected = !valueSelected && IsRecordSelected(record);
        long end = position + 1;
        if (!full)
        {
            while (end < range.second)
            {
                CRecord* next = m_pLayout->GetLineRecord(end, key);
                if (attribute->GetFieldValue(next) != value || !next->m_bQualified != refused)
                    break;
                if (!refused && !valueSelected && IsRecordSelected(next) != recordSelected)
                    break;
                ++end;
            }
        }
        const double left = m_pLayout->GetLineLeft(position, key);
        const double right = m_pLayout->GetLineLeft(end, key);
        const int x0 = m_nNameWidth + static_cast<int>(std::floor(left)) - scroll;
        const int x1 = std::max(x0 + 1, m_nNameWidth + static_cast<int>(std::floor(right)) - scroll);
        const QRect cell(x0, top, x1 - x0, m_nLineHeight - 1);
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
            painter.drawLine(x1 - 1, top, x1 - 1, top + m_nLineHeight - 1);
        }
        if (value && cell.width() > 2 * kTextPadding + 4)
        {
            const QString text = ToQString(attribute->GetFieldText(record));
            const QRect inner = cell.adjusted(kTextPadding, 0, -kTextPadding - 1, 0);
            // A bar shows its value only where the value fits; a cell of the full table cuts it.
            if (full || metrics.horizontalAdvance(text) <= inner.width())
            {
                painter.setPen(valueSelected ? Qt::white : (refused ? QColor(110, 110, 110) : Qt::black));
                painter.drawText(inner, Qt::AlignVCenter | (full ? Qt::AlignLeft : Qt::AlignHCenter),
                                 metrics.elidedText(text, Qt::ElideRight, inner.width()));
            }
        }
        position = end;
    }
    painter.setPen(QColor(kGridColour));
    painter.drawLine(m_nNameWidth, top + m_nLineHeight - 1, m_nNameWidth + dataWidth, top + m_nLineHeight - 1);
    painter.restore();
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

void CTableView::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_pContextMenu)
        m_pContextMenu->exec(event->globalPos());
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
