// The viewer's entry: the application object, the window, and drawing it into an image when asked or when there
// is no display.

#include "viewer/Viewer.h"

#include "display/TableLayout.h"
#include "platform/Resources.h"
#include "viewer/MainWindow.h"
#include "viewer/TableView.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <unistd.h>

namespace viewer
{

namespace
{
constexpr int kNoDisplay = 4221;
constexpr int kImageWritten = 4222;
constexpr int kImageNotWritten = 4223;
constexpr int kDisplayUnreachable = 4225;

std::string Text(int id, const std::string& argument = {})
{
    return platform::ToUtf8(FormatResource(id, {platform::FromUtf8(argument)}));
}

// Qt's own notes of the offscreen platform (no runtime folder, no size hints) say nothing to the user of an image:
// only its errors are passed on there; with a display its warnings too.
bool g_bOffscreen = false;
void FilterQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg || (type == QtWarningMsg && !g_bOffscreen))
        std::fprintf(stderr, "korvalin: %s\n", message.toLocal8Bit().constData());
}

} // namespace

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::filesystem::path SampleTablePath()
{
    return KORVALIN_SAMPLE_TABLE;
}

int RunViewer(const SViewRequest& request, std::ostream& out, std::ostream& err)
{
    std::filesystem::path screenshot = request.m_screenshot;
    bool tellPath = screenshot.empty() && !HasDisplay();
    if (tellPath)
    {
        out << Text(kNoDisplay) << '\n';
        screenshot = std::filesystem::temp_directory_path() / ("korvalin-view-" + std::to_string(getpid()) + ".png");
    }
    g_bOffscreen = !screenshot.empty();
    if (g_bOffscreen)
        setenv("QT_QPA_PLATFORM", "offscreen", 1); // drawn without a display, whatever the environment names
    else if (!std::getenv("QT_QPA_PLATFORM") || !*std::getenv("QT_QPA_PLATFORM"))
    {
        // A display that is named but cannot be reached falls back to the offscreen platform (Qt tries the list
        // in order) instead of ending the process.
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", wayland && *wayland ? "wayland;xcb;offscreen" : "xcb;offscreen", 1);
    }
    qInstallMessageHandler(FilterQtMessages);
    static int argc = 1;
    static char name[] = "korvalin";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    if (screenshot.empty() && QGuiApplication::platformName() == QLatin1String("offscreen"))
    {
        out << Text(kDisplayUnreachable) << '\n';
        screenshot = std::filesystem::temp_directory_path() / ("korvalin-view-" + std::to_string(getpid()) + ".png");
        tellPath = true;
        g_bOffscreen = true;
    }
    CMainWindow window;
    const std::filesystem::path file = request.m_file.empty() ? SampleTablePath() : request.m_file;
    std::string error;
    if (!window.OpenFile(file, &error))
    {
        err << "korvalin: " << error << '\n';
        return 1;
    }
    if (request.m_nMode != 0)
    {
        // The mode the window starts in is not animated.
        display::CTableLayout* layout = window.GetView()->GetLayout();
        layout->SetAnimationSuppressed(true);
        window.SetViewMode(static_cast<display::EViewMode>(request.m_nMode));
        layout->SetAnimationSuppressed(false);
    }
    window.show();
    if (screenshot.empty())
        return application.exec();
    QApplication::processEvents();
    const QPixmap image = window.grab();
    if (!image.save(QString::fromStdString(screenshot.string()), "PNG"))
    {
        err << "korvalin: " << Text(kImageNotWritten, screenshot.string()) << '\n';
        return 1;
    }
    if (tellPath)
        out << Text(kImageWritten, screenshot.string()) << '\n';
    return 0;
}

} // namespace viewer
