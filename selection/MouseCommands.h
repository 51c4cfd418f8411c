#pragma once
// The pointer gestures of the table view and of the value lists, as commands that never enter a history:
//   CMouseCommand         the base: is handed pointer events (CCommandHistory::Submit with key flags, a point
//                         and two integers) and changes selections directly while the pointer moves; its Do
//                         answers false, so submitting it as a command records nothing
//   CSelectValuesCommand  selects a contiguous range of values in a value list, from the anchor to the value
//                         under the pointer (Shift extends from the anchor, Control adds to or toggles in the
//                         selection); the range bounds become the attribute's range selection
//   CSelectCommand        selects values and records in the table view (one attribute's row), and zooms on a
//                         single click (the SingleClickMode option) as the zoom-in button does with toggle
// No window system: the window hands in plain key flags, pixel points and the item under the pointer (a value's
// place in the list, a record's place among the shown records), which it found by its own hit test.
//
// Threading: the table's thread.

#include "selection/Command.h"

#include <cstdint>
#include <functional>
#include <vector>

class CAttribute;
struct CRecord;

// Key flags handed with a pointer event.
enum EMouseKeyFlags : unsigned
{
    MOUSE_KEY_SHIFT = 0x4,
    MOUSE_KEY_CONTROL = 0x8,
};

// The kind of a pointer event (the first integer handed with it).
enum EMouseEvent : int
{
    MOUSE_DOWN = 0,   // the button went down
    MOUSE_MOVE = 1,   // the pointer moved with the button down
    MOUSE_UP = 2,     // the button came up
    MOUSE_DOUBLE = 3, // a second press within the double-click time
};

// A point in the window's pixels.
struct SMousePoint
{
    int x = 0;
    int y = 0;
};

class CMouseCommand : public CCommand
{
public:
    CMouseCommand(CTable* table, KStringView className);
    // Gestures never enter a history.
    bool Do() override { return false; }
    bool IsValid() const override { return m_pAttribute != nullptr; }
    // One pointer event: kind is an EMouseEvent, item the place of the item under the pointer (-1: none).
    virtual void OnMouseEvent(unsigned keyFlags, SMousePoint point, int kind, int item) = 0;
    // The clock of the gesture in milliseconds (the system's tick count; tests set their own).
    void SetClock(std::function<uint64_t()> clock) { m_clock = std::move(clock); }

protected:
    uint64_t Now() const;

    std::function<uint64_t()> m_clock; // null: the system's tick count
};

class CSelectValuesCommand final : public CMouseCommand
{
public:
    // As the factory makes it: no list yet (events do nothing).
    explicit CSelectValuesCommand(CTable* table);
    // A gesture over the value list of attribute showing values (stored value pointers) in this order;
    // reverse: the list is sorted in descending order.
    CSelectValuesCommand(CAttribute* attribute, std::vector<const char16_t*> values, bool reverse);
    void OnMouseEvent(unsigned keyFlags, SMousePoint point, int kind, int item) override;

private:
    // Selects the base and the values from the anchor to item.
    void SelectRange(int item);

    std::vector<const char16_t*> m_values; // the list's values in display order
    bool m_bReverse = false;               // the list runs from the highest value down
    int m_nAnchor = -1;                    // where the range starts; -1 before the first press
    bool m_bPressed = false;               // the button is down
    std::vector<const char16_t*> m_base;   // with Control: the selection when the button went down
};

class CSelectCommand final : public CMouseCommand
{
public:
    // A gesture in attribute's row of the table view; items are places in the shown records.
    explicit CSelectCommand(CAttribute* attribute);
    void OnMouseEvent(unsigned keyFlags, SMousePoint point, int kind, int item) override;
    // Whether the last button-up was a single-click zoom that submitted a command.
    bool HasZoomed() const { return m_bZoomed; }

    static constexpr int s_nClickDistance = 2; // pixels a click may move and stay a click

private:
    CRecord* RecordAt(int item) const;
    // Selects the values of the shown records from the anchor to item, added to what was selected before.
    void SelectRun(int item);

    int m_nAnchor = -1;           // the shown record the gesture started on
    SMousePoint m_downPoint;      // where the button went down
    uint64_t m_nDownTime = 0;     // when
    bool m_bPressed = false;      // the button is down
    bool m_bDragged = false;      // the pointer left the click distance while down
    bool m_bModified = false;     // Control or Shift was held on the press
    bool m_bZoomed = false;
};
