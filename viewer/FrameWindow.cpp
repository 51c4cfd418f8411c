#include "viewer/FrameWindow.h"

#include "viewer/TableView.h"
#include "viewer/Viewer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <utility>

namespace viewer
{

namespace
{

// Qt keys and their Windows key codes (letters and digits have the same codes in both and are not listed).
constexpr std::pair<int, int> kKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},      {Qt::Key_Return, 0x0D},   {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},     {Qt::Key_Control, 0x11},  {Qt::Key_Alt, 0x12},      {Qt::Key_Pause, 0x13},
    {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},    {Qt::Key_PageUp, 0x21},   {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},     {Qt::Key_Left, 0x25},     {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},     {Qt::Key_Insert, 0x2D},   {Qt::Key_Delete, 0x2E},
    {Qt::Key_Plus, 0xBB},      {Qt::Key_Comma, 0xBC},    {Qt::Key_Minus, 0xBD},    {Qt::Key_Period, 0xBE},
};

int ShiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

// The application object: the host's, or one made here when the host has none. Null when there is no window
// system to show windows on (Qt would end the process when it cannot reach one).
QApplication* EnsureApplication()
{
    if (QCoreApplication::instance())
        return qobject_cast<QApplication*>(QCoreApplication::instance());
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!(platform && *platform))
    {
        if (!HasDisplay())
            return nullptr;
        setenv("QT_QPA_PLATFORM", std::getenv("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "korvalin";
    static char* argv[] = {name, nullptr};
    // Never destroyed: frames the host did not destroy outlive every static of the library, and a widget must not
    // outlive its application object.
    static QApplication* application = new QApplication(argc, argv);
    return application;
}

// Whether id names a window of the X server (Qt takes any number for a foreign window); other window systems are
// taken at their word.
bool IsNativeWindow(WId id)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return true;
    xcb_connection_t* connection = x11->connection();
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, static_cast<xcb_drawable_t>(id)), nullptr);
    const bool exists = reply != nullptr;
    std::free(reply);
    return exists;
}

// The frame: the table's view filling it, 4 pixels smaller in each direction; the keys of the view go to the host
// first.
class CFrameWidget final : public QWidget
{
public:
    CFrameWidget(const SHostWindowRequest& request, QWidget* parent) : QWidget(parent), m_request(request)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(2, 2, 2, 2);
        m_pView = new CTableView(this);
        layout->addWidget(m_pView);
        m_pView->SetTable(request.m_pTable);
        m_pView->installEventFilter(this);
    }
    ~CFrameWidget() override { m_pView->SetTable(nullptr); }

    CTableView* GetView() const { return m_pView; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_pView || m_bResending ||
            (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
            return QWidget::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = WindowsKeyCode(key->key());
        const int shift = ShiftState(key->modifiers());
        if (event->type() == QEvent::KeyRelease)
        {
            const int left = code && m_request.m_keyUp ? m_request.m_keyUp(code, shift) : code;
            return code && left == 0;
        }
        const int left = code && m_request.m_keyDown ? m_request.m_keyDown(code, shift) : code;
        if (!key->text().isEmpty() && m_request.m_keyPress)
            m_request.m_keyPress(key->text().at(0).unicode());
        if (left == code)
            return false;
        if (left != 0 && QtKey(left) != 0)
        {
            // The view goes on with the key the host left.
            QKeyEvent changed(QEvent::KeyPress, QtKey(left), key->modifiers());
            m_bResending = true;
            QCoreApplication::sendEvent(m_pView, &changed);
            m_bResending = false;
        }
        return true;
    }

private:
    SHostWindowRequest m_request;
    CTableView* m_pView = nullptr; // a child
    bool m_bResending = false;     // a key the host changed is on its way to the view
};

class CHostWindowImpl final : public CHostWindow
{
public:
    explicit CHostWindowImpl(CFrameWidget* frame) : m_pFrame(frame) {}
    ~CHostWindowImpl() override { delete m_pFrame.data(); } // gone already when its parent went first
    void Refresh() override
    {
        if (m_pFrame)
            m_pFrame->GetView()->Refresh();
    }

private:
    QPointer<CFrameWidget> m_pFrame;
};

} // namespace

int WindowsKeyCode(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 0x70 + (qtKey - Qt::Key_F1);
    for (const auto& [key, code] : kKeys)
    {
        if (key == qtKey)
            return code;
    }
    return 0;
}

int QtKey(int windowsKeyCode)
{
    if ((windowsKeyCode >= 'A' && windowsKeyCode <= 'Z') || (windowsKeyCode >= '0' && windowsKeyCode <= '9'))
        return windowsKeyCode;
    if (windowsKeyCode >= 0x70 && windowsKeyCode <= 0x87)
        return Qt::Key_F1 + (windowsKeyCode - 0x70);
    for (const auto& [key, code] : kKeys)
    {
        if (code == windowsKeyCode)
            return key;
    }
    return 0;
}

std::unique_ptr<CHostWindow> MakeHostWindow(const SHostWindowRequest& request)
{
    if (!request.m_pTable || !request.m_nParent || !EnsureApplication())
        return nullptr;
    // A window of this process (a host that uses Qt itself), else a native window of the window system.
    QWidget* parent = QWidget::find(static_cast<WId>(request.m_nParent));
    QWindow* foreign = parent ? nullptr : QWindow::fromWinId(static_cast<WId>(request.m_nParent));
    if (foreign && !IsNativeWindow(static_cast<WId>(request.m_nParent)))
    {
        delete foreign;
        foreign = nullptr;
    }
    if (!parent && !foreign)
        return nullptr;
    QWidget* view = request.m_nView ? QWidget::find(static_cast<WId>(request.m_nView)) : nullptr;
    if (request.m_nView && !view)
        return nullptr;
    auto* frame = new CFrameWidget(request, view ? view : parent);
    if (foreign)
    {
        frame->winId(); // a native window of its own, put into the host's
        frame->windowHandle()->setParent(foreign);
    }
    const QSize size(request.m_nWidth > 0 ? request.m_nWidth : (parent ? parent->width() : 640),
                     request.m_nHeight > 0 ? request.m_nHeight : (parent ? parent->height() : 480));
    frame->resize(size);
    frame->show();
    return std::make_unique<CHostWindowImpl>(frame);
}

void RunEventLoop()
{
    if (QCoreApplication::instance())
        QCoreApplication::exec();
}

} // namespace viewer
