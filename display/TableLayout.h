#pragma once
// CTableLayout: the geometry of a table's record columns in the three view modes.
//
// The full table (compressed and sort-all flags off) gives every record the column width; the compressed
// table (compressed on) squeezes all records into the available width of the data area, open records
// keeping the column width; the overview (both on) does the same, each attribute line ordering the records
// by its own values so that equal values form bars. Refused records (shown, not qualified) shrink while a
// zoom is animated. A width attribute makes the compressed widths follow its numbers.
//
// One layout belongs to one table and is held beside it by whoever holds the table (the korvalin command's
// script runner, later the flat interface's frame and the window): the engine does not know the display.
// The mode flags, the width attribute and the open flags live in the table; the layout changes them and
// keeps the rest. A layout follows the table: the view-mode switches of commands, resets and going back run
// through its SetViewMode (the latest layout of a table), and a new order of the records (a sort) is noticed
// when the geometry is next asked for. After every change of records, flags, order, mode, data-area width or column width the
// holder calls RecomputeGridWidth(0) (or InvalidateRecords when it cannot recompute at once); a recompute
// with a progress above 0 (an animation frame) reuses the prefix sums of the records.
//
// Threading: the table's thread.

#include "display/LayoutAnimation.h"
#include "display/RecordGeometry.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

class CAttribute;
class CTable;
struct CRecord;

namespace display
{

namespace access
{
class CViewModeLink;
}

// The window a layout is shown in: its clock, its repaint and its scrolling. Implemented by the window
// layer; a layout without one never animates.
class CLayoutWindow
{
public:
    virtual ~CLayoutWindow() = default;
    // Milliseconds of the clock animations run by (the platform's tick count).
    virtual int64_t GetTickCount();
    // Lets at least ms milliseconds pass between two frames.
    virtual void Wait(int ms);
    // Repaints the data area and its headers at once.
    virtual void RepaintData() = 0;
    // Scrolls so that the selected records are in view (after each frame outside the compressed modes).
    virtual void ScrollToSelection() {}
};

// One value bar of an attribute line in the overview: a run of records with the same value.
struct SValueBar
{
    long m_nValueIndex; // the value's index in the attribute (-1 when none)
    long m_nFirst;      // position of its first record in the attribute's order
    long m_nCount;      // number of records in the bar
    double m_dLeft;     // left edge in pixels
    double m_dWidth;    // width in pixels
};

// The view modes, as SetViewMode numbers them.
enum EViewMode : int
{
    VIEW_FULL = 1,
    VIEW_COMPRESSED = 2,
    VIEW_OVERVIEW = 3,
};

class CTableLayout
{
public:
    static constexpr int s_nMaxGridWidth = std::numeric_limits<int32_t>::max(); // cap of the total grid width
    static constexpr int s_nLargeMargin = 20; // kept free beside the overview's bars
    static constexpr int s_nSmallMargin = 5;  // kept free at the right of the compressed records
    // Resource id of the message that the column width had to be reduced.
    static constexpr int s_nColumnWidthReducedMessage = 4100;

    // table: borrowed, outlives the layout. iconWidth: the system icon width (the column width starts at three
    // times it); values below 1 count as 1.
    explicit CTableLayout(CTable& table, int iconWidth);
    explicit CTableLayout(CTable& table);
    ~CTableLayout();
    CTableLayout(const CTableLayout&) = delete;
    CTableLayout& operator=(const CTableLayout&) = delete;

    CTable& GetTable() const { return m_table; }

    // ---- modes ----
    bool IsCompressed() const;
    bool IsSortAll() const;
    // VIEW_FULL, VIEW_COMPRESSED or VIEW_OVERVIEW from the two flags.
    EViewMode GetViewMode() const;
    // 1 full table, 2 compressed table, any other value the overview. Flags already as wanted are left alone;
    // remember stores the mode as the remembered mode.
    void SetViewMode(int mode, bool notify, bool remember);
    int GetRememberedMode() const { return m_nRememberedMode; }
    // Sets the sort-all flag; a change hides the refused records. With notify the widths are recomputed.
    void SetSortAllMode(bool on, bool notify);
    // Sets the compressed flag; with notify through the mode change (animated when the layout can animate,
    // then the widths are recomputed and the window repainted).
    void SetCompressedMode(bool on, bool notify);

    // ---- settings ----
    int GetColumnWidth() const { return m_nColumnWidth; }
    // The width of a record at full size; values below 1 count as 1.
    void SetColumnWidth(int width);
    int GetDataAreaWidth() const { return m_nDataAreaWidth; }
    // The width of the data area in pixels (negative counts as 0).
    void SetDataAreaWidth(int width);
    // The attribute whose numbers set the relative widths in the compressed modes (null: none; a header counts
    // as none) and how far the widths follow it (0 equal widths .. 1 fully proportional; clamped, NaN is 1).
    void SetWidthAttribute(CAttribute* attribute, double blend = 1.0);
    CAttribute* GetWidthAttribute() const;
    double GetWidthBlend() const { return m_dWidthBlend; }

    // ---- widths as last computed ----
    double GetRefusedWidth() const { return m_dRefusedWidth; }
    double GetCompressedWidth() const { return m_dCompressedWidth; }
    int GetAvailableWidth() const { return m_nAvailableWidth; }
    double GetTotalWeight() const { return m_dTotalWeight; }
    double GetRefusedFactor() const { return m_dRefusedFactor; }
    double GetQualifiedFactor() const { return m_dQualifiedFactor; }
    // The width of all record columns together as last computed, at most s_nMaxGridWidth.
    int GetTotalGridWidth() const { return m_nTotalGridWidth; }
    // The compressed width in the compressed modes, the column width otherwise.
    double GetGridWidth() const;
    // Records in the display list, qualified ones among them, open ones (counted only where their columns
    // are expanded, not in the overview).
    long GetShownCount() const { return m_display.GetSize(); }
    long GetQualifiedCount() const;
    long GetOpenCount() const { return m_display.Count(CLASS_OPEN); }
    // Qualified shown records whose width value is not positive or not a number (0 without a width attribute).
    long GetQualifiedZeroWidthCount() const { return m_display.CountQualifiedWithoutWeight(); }

    // Recomputes the widths for an animation progress in 0..1 (0 when no animation runs; NaN counts as 0).
    // Progress 0 also rebuilds the prefix sums of the records.
    void RecomputeGridWidth(double progress);
    // Marks the prefix sums as outdated; the next recompute or geometry question rebuilds them.
    void InvalidateRecords();

    // ---- geometry of records ----
    // The record's current width in pixels (any record of the table; >= 0).
    double GetWidth(const CRecord* record) const;
    // The sum of the widths of the records before record in the display list or, in the overview with an
    // attribute, in the attribute's order of values; -1 when the record is not among them.
    double GetLeft(const CRecord* record, CAttribute* attribute = nullptr);
    // GetLeft without attribute plus GetWidth; -1 when the record is not shown.
    double GetRight(const CRecord* record);

    // The records of a line by position: the display list, or in the overview the attribute's own order.
    long GetLineCount(CAttribute* attribute = nullptr);
    CRecord* GetLineRecord(long position, CAttribute* attribute = nullptr);
    double GetLineLeft(long position, CAttribute* attribute = nullptr);
    double GetLineWidth(long position, CAttribute* attribute = nullptr);
    // The position of the record under pixel x, -1 when none (O(log n)).
    long FindPositionAt(double x, CAttribute* attribute = nullptr);
    // The record under pixel x, null when none.
    CRecord* FindRecordAt(double x, CAttribute* attribute = nullptr);
    // The positions [first, last) of the records intersecting [x0, x1), for drawing (O(log n)).
    std::pair<long, long> FindPositionsIn(double x0, double x1, CAttribute* attribute = nullptr);
    // The value bars of an attribute's line in the overview (in the full and compressed table the runs of
    // equal values along the display list).
    std::vector<SValueBar> GetValueBars(CAttribute& attribute);

    // ---- open records and lines ----
    // Clears every open flag.
    void CloseAllRecords();
    // Opens or closes one record's column in the compressed table.
    void SetRecordOpen(CRecord* record, bool open);
    // Two text lines for every one-line text attribute of more than 20 distinct values (not headers).
    void GuessTwoLineCompression();

    // ---- animation ----
    // The window the table is shown in; null for none (then nothing animates). Borrowed.
    void SetWindow(CLayoutWindow* window) { m_pWindow = window; }
    bool HasWindow() const { return m_pWindow != nullptr; }
    // The two states in which no animation runs because another operation redraws the table.
    void SetRedrawLocked(bool locked) { m_bRedrawLocked = locked; }
    void SetAnimationSuppressed(bool suppressed) { m_bAnimationSuppressed = suppressed; }
    // The option Animated is at least 1.
    bool IsAnimated() const;
    // Whether an animation would run now: a window, IsAnimated, neither blocking state.
    bool CanAnimate() const;
    bool IsAnimating() const { return m_bAnimating; }
    // Raised when a forward zoom animation starts: every attribute's display information is to be recomputed
    // by whoever draws it.
    long GetDisplayGeneration() const { return m_nDisplayGeneration; }
    // Runs the zoom animation (reverse: zooming out), then recomputes the widths with progress 0. Returns
    // false when no animation ran.
    bool AnimateQuery(bool reverse);
    // Runs the change of the compressed flag to compressed as an animation and sets the flag; without an
    // animation (or without records) it only sets the flag. Returns false when no animation ran.
    bool AnimateCompression(bool compressed);

    // One frame of each animation, for a window that runs its own timer (the loops above use them).
    void ApplyZoomFrame(double e);
    void ApplyCompressionFrame(const SCompressionFrame& frame, double finalCompressedWidth,
                               double finalQualifiedFactor);

private:
    // The geometry of a line (rebuilt when outdated); the display list unless attribute is given in the overview.
    const CRecordGeometry& Line(CAttribute* attribute);
    void EnsureDisplayGeometry(bool rebuild);
    // The state of the table the display geometry was built from.
    struct SSignature
    {
        CRecord* const* m_pRecords = nullptr;
        long m_nShown = -1;
        long m_nQualified = -1;
        long m_nOpen = -1;
        CAttribute* m_pWidthAttribute = nullptr;
        bool m_bSortAll = false;
        uint64_t m_nOrderGeneration = 0; // the table's record order
        bool operator==(const SSignature&) const = default;
    };
    SSignature CurrentSignature() const;
    double ColumnWidth() const; // the animated column width while a compression animation runs
    CAttribute* ActiveWidthAttribute() const;
    // RecomputeGridWidth, rebuilding the prefix sums when asked (else only when outdated).
    void Recompute(double progress, bool rebuild);
    void RecomputeFull(double progress);
    void RecomputeCompressed(double progress);
    void UpdateRule();
    void ReportColumnWidthReduced();

    CTable& m_table;                            // the table laid out (borrowed)
    int m_nColumnWidth;                         // width of a record at full size, >= 1
    double m_dRefusedWidth = 10.0;              // current width of a refused record, >= 0
    double m_dCompressedWidth = 10.0;           // current width of a compressed qualified record, >= 0
    int m_nAvailableWidth = 200;                // data-area pixels the compressed records share, >= 1
    int m_nDataAreaWidth = 206;                 // data-area width in pixels, >= 0
    double m_dWidthBlend = 1.0;                 // 0 .. 1
    double m_dTotalWeight = 0.0;                // Wq + Wr of the last compressed recompute, >= 0
    double m_dRefusedFactor = 1.0;              // 1 - progress
    double m_dQualifiedFactor = 1.0;            // growth of the qualified records, >= 0
    int m_nTotalGridWidth = 0;                  // 0 .. s_nMaxGridWidth
    int m_nRememberedMode = 0;                  // last mode stored with remember; 0 none
    double m_dAnimatedColumnWidth = -1.0;       // the column width during a compression animation; < 0 none
    SWidthRule m_rule;                          // widths of the current mode by record class and weight
    CRecordGeometry m_display;                  // prefix sums over the display list
    bool m_bDisplayValid = false;               // m_display matches m_signature and the table
    SSignature m_signature;                     // what m_display was built from
    // Prefix sums over each attribute's order of values (overview), built on first use; dropped with m_display.
    std::unordered_map<const CAttribute*, std::unique_ptr<CRecordGeometry>> m_lines;
    CLayoutWindow* m_pWindow = nullptr;         // borrowed; null: no window
    bool m_bRedrawLocked = false;               // blocking state 1: no animation
    bool m_bAnimationSuppressed = false;        // blocking state 2: no animation
    bool m_bAnimating = false;                  // an animation runs
    long m_nDisplayGeneration = 0;              // raised at each forward zoom animation
    // Routes the view-mode switches of commands, resets and going back through SetViewMode; never null.
    std::unique_ptr<access::CViewModeLink, void (*)(access::CViewModeLink*)> m_pModeLink;
};

} // namespace display
