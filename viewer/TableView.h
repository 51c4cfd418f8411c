#pragma once
// CTableView: the data area of a table window. One line per attribute (the names in a fixed column on the left,
// headers with their open or closed symbol), one column per record at the left edge and width the table's
// CTableLayout gives; in the overview each line orders the records by its own values, so that equal values form
// bars. Refused records are grey, selected values and the other cells of selected records highlighted. A repaint
// asks the layout only for the records under the visible pixels. Clicks select values (Ctrl adds, Shift takes
// the range of values in order) and attributes; a click on a header's symbol opens or closes it.
//
// The keyboard moves a cursor over the values (the arrow keys along a line and between lines, Home and End to the
// line's ends): Space selects the value under it as a click does (with Ctrl it adds), or opens or closes a header;
// Enter zooms in on the selected values through the step handler.
//
// The view is the layout's window (display::CLayoutWindow): the zoom and compression animations repaint it frame
// by frame and wait by processing the window's events other than the user's input.
//
// Threading: the GUI thread.

#include "display/TableLayout.h"
#include "selection/HistorySteps.h"

#include <QAbstractScrollArea>
#include <QRgb>

#include <functional>
#include <memory>
#include <vector>

class CAttribute;
class CTable;
class QMenu;
struct CRecord;

namespace viewer
{

// The colours of the cells.
constexpr QRgb kCellColour = 0xffffffff;
constexpr QRgb kSelectedValueColour = 0xff1f6fc5;  // a cell whose value is selected
constexpr QRgb kSelectedRecordColour = 0xffcfe3f7; // the other cells of a selected record
constexpr QRgb kRefusedColour = 0xffc8c8c8;        // a record that is not qualified
constexpr QRgb kBarColour = 0xffe9eef3;            // a value bar of the overview, and runs in the compressed table
constexpr QRgb kHeaderLineColour = 0xffdde3ea;     // the line of a header attribute
constexpr QRgb kGridColour = 0xffb4bcc6;
constexpr QRgb kCursorColour = 0xffe07b00;         // the frame of the keyboard cursor

class CTableView final : public QAbstractScrollArea, public display::CLayoutWindow
{
public:
    explicit CTableView(QWidget* parent = nullptr);
    ~CTableView() override;

    // Shows table (borrowed; null shows nothing) with a new layout.
    void SetTable(CTable* table);
    CTable* GetTable() const { return m_pTable; }
    display::CTableLayout* GetLayout() const { return m_pLayout.get(); }
    // Told after every change of the selection by the user.
    void SetSelectionChangedHandler(std::function<void()> handler) { m_onSelectionChanged = std::move(handler); }
    // Takes a step asked for by a key (Enter: zoom in); without one the view takes it itself.
    void SetStepHandler(std::function<void(selection::EStep)> handler) { m_onStep = std::move(handler); }
    // The menu shown on a right click (borrowed).
    void SetContextMenu(QMenu* menu) { m_pContextMenu = menu; }
    // The menu shown on a right click into the name column (borrowed; null: the context menu).
    void SetNameContextMenu(QMenu* menu) { m_pNameContextMenu = menu; }
    // The tooltip at a point of the viewport: a derived attribute's kind and definition over its name, else empty.
    QString ToolTipAt(const QPoint& at) const;
    // Takes up what changed in the table (records, flags, mode, attributes): lines, widths, scroll bars, repaint.
    void Refresh();

    // ---- geometry, in viewport pixels ----
    int GetNameColumnWidth() const { return m_nNameWidth; }
    // The height of a line of one text line; an attribute of more text lines (CAttribute::GetNrOfLines, at most
    // kMaxTextLines) has a higher line, its values wrapped onto them in the full table.
    int GetLineHeight() const { return m_nLineHeight; }
    int LineHeight(const CAttribute* attribute) const;
    static constexpr int kMaxTextLines = 4;
    // The attributes drawn as lines, in order (hidden ones and those under closed headers left out).
    const std::vector<CAttribute*>& GetLines() const { return m_lines; }
    // The rectangle of a record's cell in an attribute's line (empty when the line or the record is not laid out).
    QRect CellRect(CAttribute* attribute, const CRecord* record);
    // The attribute of the line at y, null when none.
    CAttribute* AttributeAt(int y) const;
    // The attribute whose name or value was clicked last (what the sort buttons sort by); null when none.
    CAttribute* GetCurrentAttribute() const { return m_pCurrentAttribute; }
    // The keyboard cursor: its line's attribute (null before the first key) and its record (null on a header).
    CAttribute* GetCursorAttribute() const { return m_pCursorAttribute; }
    CRecord* GetCursorRecord();

    // ---- display::CLayoutWindow ----
    void Wait(int ms) override;
    void RepaintData() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    void RebuildLines();
    void UpdateGeometry();
    // The x of the data area's pixel 0 in the layout's coordinates.
    int ScrollX() const;
    int LineTop(int line) const;
    int TextLines(const CAttribute* attribute) const;
    // The layout line an attribute is drawn along: its own order in the overview, the display list otherwise.
    CAttribute* LineKey(CAttribute* attribute) const;
    void PaintName(class QPainter& painter, CAttribute* attribute, int top);
    void PaintValues(class QPainter& painter, CAttribute* attribute, int top);
    // The positions of the records under the pixels scroll .. scroll + width of a line, each once, in order.
    std::vector<long> SamplePositions(CAttribute* key, int scroll, int width);
    bool IsRecordSelected(const CRecord* record) const;
    void ClickValue(CAttribute* attribute, CRecord* record, Qt::KeyboardModifiers modifiers);
    void SelectionChanged();
    // Moves the cursor to line (clamped) and position (clamped to the line's records) and scrolls it into view.
    void MoveCursor(int line, long position);
    int CursorLine() const;

    CTable* m_pTable = nullptr;                           // borrowed
    std::unique_ptr<display::CTableLayout> m_pLayout;     // the layout of m_pTable; null without a table
    std::vector<CAttribute*> m_lines;                     // the attributes drawn, top to bottom
    std::vector<int> m_lineTops{0};                       // the top of each line unscrolled, and the bottom: size+1
    int m_nNameWidth = 200;                               // the fixed column of the names
    int m_nLineHeight = 20;
    QMenu* m_pContextMenu = nullptr;                      // borrowed
    QMenu* m_pNameContextMenu = nullptr;                  // borrowed
    std::function<void()> m_onSelectionChanged;
    CAttribute* m_pAnchorAttribute = nullptr;             // the attribute of the last plain or Ctrl click
    const char16_t* m_pAnchorValue = nullptr;             // and its value: Shift selects from here
    CAttribute* m_pCurrentAttribute = nullptr;            // the attribute clicked last, name or value
    std::function<void(selection::EStep)> m_onStep;
    std::vector<long> m_frameSamples;                     // SamplePositions of the display list in this frame
    bool m_bFrameSamplesValid = false;                    // made in the paint running now
    CAttribute* m_pCursorAttribute = nullptr;             // the keyboard cursor's line; null: none yet
    long m_nCursorPosition = 0;                           // its position along the line (LineKey order)
};

} // namespace viewer
