#pragma once
// Table windows for hosts of the flat interface: a frame inside the host's window (a native window handle) that
// shows a table it does not own, and tells the host of every key (as the interface's key events: Windows key
// codes, shift state 1 Shift + 2 Control + 4 Alt); the view goes on with the key code the host leaves (0 swallows
// the key). Plain C++: the flat interface calls it without seeing Qt. The application object is made on first use
// when the host has none.
//
// Threading: the GUI thread.

#include <cstdint>
#include <functional>
#include <memory>

class CTable;

namespace viewer
{

struct SHostWindowRequest
{
    CTable* m_pTable = nullptr; // the table shown; borrowed, outlives the window
    uintptr_t m_nParent = 0;    // the native handle of the window the frame goes into
    uintptr_t m_nView = 0;      // the native handle of a window inside it for the view; 0: the frame's own area
    int m_nWidth = 0;           // the frame's size in pixels (below 1: the parent's size)
    int m_nHeight = 0;
    std::function<int(int keyCode, int shift)> m_keyDown; // each returns the key code to go on with
    std::function<int(int keyCode, int shift)> m_keyUp;
    std::function<int(int charCode)> m_keyPress;          // a typed character; returns the one to go on with
};

class CHostWindow
{
public:
    virtual ~CHostWindow() = default;
    // Takes up what changed in the table: lines, widths, repaint.
    virtual void Refresh() = 0;
};

// The frame, shown in its parent; null when no window system can be reached or the parent (or view) window is
// not a window of this process's window system.
std::unique_ptr<CHostWindow> MakeHostWindow(const SHostWindowRequest& request);

// Runs the event loop until the application quits; returns at once when there is no application object.
void RunEventLoop();

// The Windows key code of a Qt key (0 for a key without one) and back (0 for a code without a key).
int WindowsKeyCode(int qtKey);
int QtKey(int windowsKeyCode);

} // namespace viewer
