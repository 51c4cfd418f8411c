#pragma once
// The window layer as the flat interface sees it: who makes the frame windows of CreateNewTable and runs
// MainMessageLoop. No window-system header here: a library built with the viewer registers its factory when it is
// loaded (ViewerWindows.cpp); without one, CreateNewTable with a parent window gives CannotCreateTable and the
// message loop returns at once, as in a build without windows.
//
// Threading: the thread that calls the flat interface (the window system's thread).

#include <cstdint>
#include <memory>

class CTableFrame;

namespace api
{

// The window that shows one frame's table; the frame owns it and destroys it before its table.
class CFrameWindow
{
public:
    virtual ~CFrameWindow() = default;
    // Takes up what changed in the table (after TableRefresh).
    virtual void Refresh() = 0;
};

class CWindowFactory
{
public:
    virtual ~CWindowFactory() = default;
    // A window showing frame's table inside parent (a native window handle) and, when view is given, the table's
    // view inside that window; width and height in pixels. Null when no window can be made there.
    virtual std::unique_ptr<CFrameWindow> MakeFrameWindow(CTableFrame& frame, void* parent, void* view, int width,
                                                          int height, uint32_t style) = 0;
    // Runs the window system's event loop until the application quits; returns at once when no window was made.
    virtual void RunMessageLoop() = 0;
};

// The factory in use (borrowed, lives as long as the library); null for none.
void SetWindowFactory(CWindowFactory* factory);
CWindowFactory* GetWindowFactory();

} // namespace api
