// The viewer as the flat interface's window factory (built into the library with KORVALIN_VIEWER): frame windows
// from viewer/FrameWindow.h, their key events passed to the frame's host, and Qt's event loop.

#include "api/TableFrame.h"
#include "api/WindowFactory.h"
#include "viewer/FrameWindow.h"

#include <memory>

namespace
{

class CViewerFrameWindow final : public api::CFrameWindow
{
public:
    explicit CViewerFrameWindow(std::unique_ptr<viewer::CHostWindow> window) : m_pWindow(std::move(window)) {}
    void Refresh() override { m_pWindow->Refresh(); }

private:
    std::unique_ptr<viewer::CHostWindow> m_pWindow; // never null
};

class CViewerWindowFactory final : public api::CWindowFactory
{
public:
    std::unique_ptr<api::CFrameWindow> MakeFrameWindow(CTableFrame& frame, void* parent, void* view, int width,
                                                       int height, uint32_t) override
    {
        viewer::SHostWindowRequest request;
        request.m_pTable = &frame.GetTable();
        request.m_nParent = reinterpret_cast<uintptr_t>(parent);
        request.m_nView = reinterpret_cast<uintptr_t>(view);
        request.m_nWidth = width;
        request.m_nHeight = height;
        request.m_keyDown = [&frame](int code, int shift) { return frame.KeyDown(code, shift); };
        request.m_keyUp = [&frame](int code, int shift) { return frame.KeyUp(code, shift); };
        request.m_keyPress = [&frame](int code) { return frame.KeyPress(code); };
        std::unique_ptr<viewer::CHostWindow> window = viewer::MakeHostWindow(request);
        if (!window)
            return nullptr;
        return std::make_unique<CViewerFrameWindow>(std::move(window));
    }

    void RunMessageLoop() override { viewer::RunEventLoop(); }
};

// Registered when the library is loaded.
CViewerWindowFactory g_factory;
const bool g_bRegistered = []
{
    api::SetWindowFactory(&g_factory);
    return true;
}();

} // namespace
