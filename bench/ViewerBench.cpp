// Benchmarks of the table window drawn offscreen (QPainter on the offscreen platform), on a table read from a CSV
// file of the peer benchmark's shape (1 million or 10 million records), in a window of 1600 x 900 pixels:
//   Paint/full, Paint/compressed, Paint/overview  one repaint of the data area after zooming in on two values of
//                                                 region (about two thirds of the records stay), in each mode;
//                                                 the first frame after the switch, which builds the geometry of
//                                                 the lines, is not timed (FirstPaint is)
//   FirstPaint/overview                           that first frame in the overview (each line's prefix sums)
//   ClickToRepaint/<mode>                         a click on a value (the selection, the counts of the status bar
//                                                 and the title) and the repaint of the data area
// Real and processor time are both reported (the machine may be loaded). The aim is 16 ms per frame.
//
//   KORVALIN_BENCH_CSV=/tmp/peer-bench/data/rows_10000000.csv build/bin/viewer_bench

#include "display/TableLayout.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "selection/AttributeSelection.h"
#include "selection/HistorySteps.h"
#include "selection/TableSelection.h"
#include "viewer/MainWindow.h"
#include "viewer/TableView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>
#include <memory>
#include <string>

namespace
{

struct SBench
{
    std::unique_ptr<QApplication> application;
    std::unique_ptr<viewer::CMainWindow> window;
    std::string error; // why there is no window
};

int g_argc = 1;
char g_name[] = "viewer_bench";
char* g_argv[] = {g_name, nullptr};

// The window with the table of KORVALIN_BENCH_CSV, zoomed in on North and East of region; made once.
SBench& Bench()
{
    static SBench bench = []
    {
        SBench made;
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        made.application = std::make_unique<QApplication>(g_argc, g_argv);
        const char* path = std::getenv("KORVALIN_BENCH_CSV");
        if (!path)
        {
            made.error = "KORVALIN_BENCH_CSV is not set (a CSV file of the peer benchmark's shape)";
            return made;
        }
        made.window = std::make_unique<viewer::CMainWindow>();
        std::string error;
        if (!made.window->OpenFile(path, &error))
        {
            made.window.reset();
            made.error = "KORVALIN_BENCH_CSV cannot be read: " + error;
            return made;
        }
        made.window->resize(1600, 900);
        made.window->show();
        QApplication::processEvents();
        CTable& table = *made.window->GetTable();
        made.window->GetView()->GetLayout()->SetAnimationSuppressed(true);
        CAttribute* region = table.FindAttribute(u"region");
        if (!region)
        {
            made.window.reset();
            made.error = "the file has no column region";
            return made;
        }
        for (const char16_t* value : {u"North", u"East"})
        {
            if (const char16_t* stored = region->FindValue(value))
                CAttributeSelection::Of(region).SelectValue(stored, nullptr, true);
        }
        made.window->TakeStep(selection::EStep::ZoomIn);
        return made;
    }();
    return bench;
}

viewer::CMainWindow* WindowOrSkip(benchmark::State& state)
{
    SBench& bench = Bench();
    if (!bench.window)
        state.SkipWithError(bench.error.c_str());
    return bench.window.get();
}

// One repaint of the data area into image, as the window's paint event draws it.
void Paint(viewer::CTableView& view, QImage& image)
{
    QPainter painter(&image);
    view.viewport()->render(&painter);
}

display::EViewMode ModeOf(benchmark::State& state)
{
    return static_cast<display::EViewMode>(state.range(0));
}

void SetMode(viewer::CMainWindow& window, display::EViewMode mode)
{
    window.SetViewMode(mode);
    window.GetView()->Refresh();
}

void PaintFrame(benchmark::State& state)
{
    viewer::CMainWindow* window = WindowOrSkip(state);
    if (!window)
        return;
    SetMode(*window, ModeOf(state));
    viewer::CTableView& view = *window->GetView();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    Paint(view, image); // builds the geometry of the lines
    for (auto _ : state)
        Paint(view, image);
    state.counters["records"] = static_cast<double>(window->GetTable()->GetRecordCount());
}
BENCHMARK(PaintFrame)->Arg(display::VIEW_FULL)->Arg(display::VIEW_COMPRESSED)
    ->Arg(display::VIEW_OVERVIEW)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void FirstPaint(benchmark::State& state)
{
    viewer::CMainWindow* window = WindowOrSkip(state);
    if (!window)
        return;
    viewer::CTableView& view = *window->GetView();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
    {
        state.PauseTiming();
        SetMode(*window, display::VIEW_FULL);
        SetMode(*window, ModeOf(state)); // the lines' geometry is dropped with the mode switch
        state.ResumeTiming();
        Paint(view, image);
    }
}
BENCHMARK(FirstPaint)->Arg(display::VIEW_OVERVIEW)->Unit(benchmark::kMillisecond)->Iterations(3)
    ->MeasureProcessCPUTime()->UseRealTime();

void ClickToRepaint(benchmark::State& state)
{
    viewer::CMainWindow* window = WindowOrSkip(state);
    if (!window)
        return;
    SetMode(*window, ModeOf(state));
    viewer::CTableView& view = *window->GetView();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    Paint(view, image);
    // The line of category, a third of the way into the data area (a different record each time).
    const auto& lines = view.GetLines();
    int line = -1;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (lines[i]->GetName() == u"category")
            line = static_cast<int>(i);
    }
    if (line < 0)
    {
        state.SkipWithError("the file has no column category");
        return;
    }
    const int dataWidth = view.viewport()->width() - view.GetNameColumnWidth();
    int step = 0;
    for (auto _ : state)
    {
        const QPointF at(view.GetNameColumnWidth() + dataWidth / 3 + (step++ % 50) * 7,
                         line * view.GetLineHeight() + view.GetLineHeight() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, view.viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &press);
        Paint(view, image);
    }
    state.counters["selected"] = static_cast<double>(CTableSelection::Of(*window->GetTable()).CountSelectedRecords());
}
BENCHMARK(ClickToRepaint)->Arg(display::VIEW_FULL)->Arg(display::VIEW_COMPRESSED)->Arg(display::VIEW_OVERVIEW)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace
