#pragma once
// The desktop viewer's entry for the korvalin command: plain C++, so that the command knows nothing of the window
// system. Threading: the main thread; one viewer per process.

#include <filesystem>
#include <iosfwd>

namespace viewer
{

struct SViewRequest
{
    std::filesystem::path m_file;       // the table to open; empty: the sample table shipped with Korvalin
    int m_nMode = 0;                    // display::EViewMode to start in; 0 the full table
    std::filesystem::path m_screenshot; // draw the window offscreen into this PNG and end; empty: show the window
};

// Opens the table in a window (or draws it into the screenshot) and returns the exit status: 0 when the window
// was closed or the image written, 1 when the table could not be read or the image not written (the message
// goes to err). Without a display and without a screenshot, out gets one line saying so, the window is drawn
// into an image in the system's temporary folder and out gets its path.
int RunViewer(const SViewRequest& request, std::ostream& out, std::ostream& err);

// The sample table: a public data set of aircraft (viewer/sample/planes.csv).
std::filesystem::path SampleTablePath();

// True when the environment names a display (X or Wayland) for windows to be shown on.
bool HasDisplay();

} // namespace viewer
