// The table window drawn offscreen: the pixels at the places the layout gives, the actions against the engine.

#include "display/TableLayout.h"
#include "engine/Attribute.h"
#include "engine/Record.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"
#include "selection/AttributeSelection.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"
#include "viewer/DefinitionDialog.h"
#include "viewer/MainWindow.h"
#include "viewer/TableView.h"
#include "viewer/WindowProfile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <QToolBar>
#include <QMouseEvent>
#include <QUrl>
#include <QScrollBar>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <memory>
#include <algorithm>

using namespace viewer;
using selection::EStep;

namespace
{

// One application object for every test, on the offscreen platform.
class CQtEnvironment final : public testing::Environment
{
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The window keeps its recent files and language in the profile: one of the test's own.
        const std::filesystem::path profile =
            std::filesystem::temp_directory_path() / ("korvalin-viewer-tests-" + std::to_string(getpid()));
        std::filesystem::remove_all(profile);
        setenv("XDG_CONFIG_HOME", profile.c_str(), 1);
        m_pApplication = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_pApplication.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "viewer_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_pApplication;
};
[[maybe_unused]] testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new CQtEnvironment);

class ViewerWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        platform::SetResourceLanguage(ELanguage::English);
        std::string error;
        ASSERT_TRUE(m_window.OpenFile(std::filesystem::path(KORVALIN_TEST_FOLDER) / "data/towns.csv", &error)) << error;
        m_window.resize(900, 400);
        m_window.show();
        QApplication::processEvents();
        Layout().SetAnimationSuppressed(true); // each test says when it wants an animation
    }

    CTableView& View() { return *m_window.GetView(); }
    display::CTableLayout& Layout() { return *View().GetLayout(); }
    CTable& Table() { return *m_window.GetTable(); }
    CAttribute* Attribute(const char16_t* name) { return Table().FindAttribute(name); }
    CRecord* Record(long index) { return Table().GetAllRecords().GetRecord(index); }
    QImage Render() { return View().viewport()->grab().toImage(); }
    // The colour one pixel inside the top left corner of a record's cell (clear of its text).
    QRgb CellColour(const QImage& image, const char16_t* attribute, long record)
    {
        const QRect cell = View().CellRect(Attribute(attribute), Record(record));
        EXPECT_FALSE(cell.isEmpty()) << "record " << record;
        return image.pixel(cell.left() + 1, cell.top() + 1);
    }
    void Click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), View().viewport()->mapToGlobal(QPointF(at)),
                          Qt::LeftButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(View().viewport(), &press);
    }
    void ClickValue(const char16_t* attribute, long record, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Click(View().CellRect(Attribute(attribute), Record(record)).center(), modifiers);
    }
    bool Enabled(EStep step) { return m_window.GetStepAction(step)->isEnabled(); }

    CMainWindow m_window;
};

// Records of towns.csv: 0 Bern, 1 Basel, 2 Bern, 3 Genf, 4 Zürich, 5 Bern.

TEST_F(ViewerWindow, AClickedValueIsHighlightedWithTheOtherCellsOfItsRecords)
{
    ClickValue(u"city", 0);
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 3");
    const QImage image = Render();
    for (long bern : {0L, 2L, 5L})
    {
        EXPECT_EQ(CellColour(image, u"city", bern), kSelectedValueColour) << bern;
        EXPECT_EQ(CellColour(image, u"kind", bern), kSelectedRecordColour) << bern;
    }
    EXPECT_EQ(CellColour(image, u"city", 1), kCellColour);
    EXPECT_EQ(CellColour(image, u"size", 3), kCellColour);

    // Ctrl adds a value; a plain click starts again.
    ClickValue(u"city", 3, Qt::ControlModifier);
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 4");
    ClickValue(u"kind", 4);
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 1");
    EXPECT_EQ(CellColour(Render(), u"city", 0), kCellColour);
}

TEST_F(ViewerWindow, ShiftTakesTheValuesBetweenInTheirOrder)
{
    ClickValue(u"city", 1);                     // Basel
    ClickValue(u"city", 3, Qt::ShiftModifier); // to Genf: Basel, Bern, Genf
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 5");
    EXPECT_EQ(CellColour(Render(), u"city", 4), kCellColour); // Zürich is beyond
}

TEST_F(ViewerWindow, ANameClickSelectsTheAttribute)
{
    const QRect cell = View().CellRect(Attribute(u"kind"), Record(0));
    Click(QPoint(View().GetNameColumnWidth() / 2, cell.center().y()));
    EXPECT_TRUE(CTableSelection::Of(Table()).IsSelected(Attribute(u"kind")));
    EXPECT_EQ(Render().pixel(2, cell.top() + 1), kSelectedValueColour);
}

TEST_F(ViewerWindow, ActionsFollowTheEngineAndZoomingInRefusesTheOtherRecords)
{
    for (EStep step : {EStep::ZoomIn, EStep::Exclude, EStep::ZoomOut, EStep::Back, EStep::Forward, EStep::Undo,
                       EStep::Redo})
        EXPECT_FALSE(Enabled(step)) << static_cast<int>(step);
    EXPECT_TRUE(Enabled(EStep::Reset));

    ClickValue(u"city", 0);
    EXPECT_TRUE(Enabled(EStep::ZoomIn));
    EXPECT_TRUE(Enabled(EStep::Exclude));
    EXPECT_FALSE(Enabled(EStep::ZoomOut));
    m_window.GetStepAction(EStep::ZoomIn)->trigger();
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 3    Selected: 3");
    const QImage image = Render();
    for (long refused : {1L, 3L, 4L})
        EXPECT_EQ(CellColour(image, u"size", refused), kRefusedColour) << refused;
    EXPECT_EQ(CellColour(image, u"city", 0), kSelectedValueColour);

    // Back carries the history's caption; going back enables forward.
    QAction* back = m_window.GetStepAction(EStep::Back);
    ASSERT_TRUE(back->isEnabled());
    EXPECT_EQ(back->text().toStdU16String(), CTableSelection::Of(Table()).GetHistory().GetBackCaption());
    EXPECT_TRUE(back->toolTip().startsWith("Back: ")) << back->toolTip().toStdString();
    EXPECT_TRUE(Enabled(EStep::ZoomOut));
    back->trigger();
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 3");
    EXPECT_FALSE(Enabled(EStep::Back));
    EXPECT_TRUE(Enabled(EStep::Forward));
    m_window.GetStepAction(EStep::Forward)->trigger();
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 3    Selected: 3");
    m_window.GetStepAction(EStep::Reset)->trigger();
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 0");
}

TEST_F(ViewerWindow, TheSortButtonsSortByTheAttributeClickedLastAndGoBack)
{
    QAction* ascending = m_window.GetSortAction(false);
    QAction* descending = m_window.GetSortAction(true);
    EXPECT_FALSE(ascending->isEnabled()); // nothing clicked yet
    ClickValue(u"city", 3);
    ASSERT_TRUE(descending->isEnabled());
    EXPECT_EQ(descending->toolTip(), "Sort by 'city' descending");
    descending->trigger();
    // Zürich, Genf, Bern (three, in their earlier order), Basel: the columns left to right.
    auto order = [this]
    {
        std::vector<long> records;
        for (long i = 0; i < Layout().GetLineCount(); ++i)
            records.push_back(Layout().GetLineRecord(i)->m_nRecordNumber);
        return records;
    };
    EXPECT_EQ(order(), (std::vector<long>{4, 3, 0, 2, 5, 1}));
    // The view draws Zürich's column first now (the table's records are in the new order too).
    EXPECT_EQ(Record(0)->m_nRecordNumber, 4);
    EXPECT_LT(View().CellRect(Attribute(u"city"), Record(0)).left(),
              View().CellRect(Attribute(u"city"), Record(5)).left());
    ascending->trigger();
    EXPECT_EQ(order(), (std::vector<long>{1, 0, 2, 5, 3, 4}));
    m_window.GetStepAction(EStep::Back)->trigger();
    EXPECT_EQ(order(), (std::vector<long>{4, 3, 0, 2, 5, 1}));
}

TEST_F(ViewerWindow, OverviewBarsSpanTheirRecordsPixels)
{
    m_window.GetModeAction(display::VIEW_OVERVIEW)->trigger();
    ASSERT_EQ(Layout().GetViewMode(), display::VIEW_OVERVIEW);
    EXPECT_TRUE(m_window.GetModeAction(display::VIEW_OVERVIEW)->isChecked());
    CAttribute* city = Attribute(u"city");
    const QImage image = Render();
    const int top = View().CellRect(city, Record(0)).top() + 1;
    bool sawBern = false;
    for (const display::SValueBar& bar : Layout().GetValueBars(*city))
    {
        const int left = View().GetNameColumnWidth() + static_cast<int>(bar.m_dLeft);
        const int right = View().GetNameColumnWidth() + static_cast<int>(bar.m_dLeft + bar.m_dWidth);
        if (bar.m_nCount == 3)
        {
            sawBern = true;
            // Bern's three records of six share half of the data area.
            EXPECT_NEAR(bar.m_dWidth, Layout().GetAvailableWidth() / 2.0, 1.0);
        }
        // The bar is one piece: its colour from its left edge to its border line, which ends it.
        for (int x = left + 1; x < right - 1; x += 3)
            ASSERT_EQ(image.pixel(x, top), kBarColour) << x;
        EXPECT_EQ(image.pixel(right - 1, top), kGridColour);
    }
    EXPECT_TRUE(sawBern);

    // A selected value's bar is highlighted where the layout puts it in its own line.
    ClickValue(u"size", 1); // size 1: Basel and the last Bern
    const QRect cell = View().CellRect(Attribute(u"size"), Record(1));
    EXPECT_EQ(Render().pixel(cell.left() + 1, cell.top() + 1), kSelectedValueColour);
}

TEST_F(ViewerWindow, TheCompressedTableFitsTheWindowAndTheFullTableScrolls)
{
    m_window.GetModeAction(display::VIEW_COMPRESSED)->trigger();
    const int dataWidth = View().viewport()->width() - View().GetNameColumnWidth();
    EXPECT_LE(Layout().GetTotalGridWidth(), dataWidth);
    EXPECT_EQ(View().horizontalScrollBar()->maximum(), 0);
    m_window.GetModeAction(display::VIEW_FULL)->trigger();
    Layout().SetColumnWidth(300);
    View().Refresh();
    ASSERT_GT(View().horizontalScrollBar()->maximum(), 0);
    View().horizontalScrollBar()->setValue(600); // records 2 and 3 in view
    const QRect third = View().CellRect(Attribute(u"city"), Record(2));
    EXPECT_EQ(third.left(), View().GetNameColumnWidth());
    ClickValue(u"city", 3);
    EXPECT_EQ(CellColour(Render(), u"city", 3), kSelectedValueColour);
    EXPECT_EQ(CTableSelection::Of(Table()).CountSelectedRecords(), 1); // Genf, the record under the click
}

TEST_F(ViewerWindow, TheZoomAnimatesThroughTheWindow)
{
    Table().GetOptions().m_nAnimated = 3; // fast: 300 ms
    Layout().SetAnimationSuppressed(false);
    ClickValue(u"city", 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_window.TakeStep(EStep::Exclude));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_FALSE(Layout().IsAnimating());
    EXPECT_EQ(m_window.GetStatusText(), "Records: 6    Qualified: 3    Selected: 0");
}

TEST(ViewerDrop, ADroppedFileIsOpened)
{
    platform::SetResourceLanguage(ELanguage::English);
    CMainWindow window;
    EXPECT_FALSE(window.GetStepAction(EStep::Reset)->isEnabled()); // no table yet
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(std::string(KORVALIN_TEST_FOLDER) + "/data/towns.csv"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_NE(window.GetTable(), nullptr);
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("towns.csv – Korvalin – 6 records, 6 qualified, 0 selected"));
    EXPECT_EQ(window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 0");

    // Several files at once are answered with one message, and the table shown stays.
    const QString towns = QString::fromStdString(std::string(KORVALIN_TEST_FOLDER) + "/data/towns.csv");
    data.setUrls({QUrl::fromLocalFile(towns), QUrl::fromLocalFile(towns + "x")});
    QDragEnterEvent enterSeveral(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enterSeveral);
    EXPECT_TRUE(enterSeveral.isAccepted());
    QDropEvent several(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    const CTable* shown = window.GetTable();
    QApplication::sendEvent(&window, &several);
    QMessageBox* box = window.findChild<QMessageBox*>("dropError");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "2 files were dropped, but a window shows one table: please drop a single "
                                         "file. Nothing was opened.");
    EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(window.GetTable(), shown);
    EXPECT_EQ(window.GetStatusText(), "Records: 6    Qualified: 6    Selected: 0");
}

TEST(ViewerText, TheWindowSpeaksTheChosenLanguage)
{
    platform::SetResourceLanguage(ELanguage::German);
    CMainWindow window;
    std::string error;
    ASSERT_TRUE(window.OpenFile(std::filesystem::path(KORVALIN_TEST_FOLDER) / "data/towns.csv", &error));
    EXPECT_EQ(window.GetStatusText(), "Objekte: 6    Qualifiziert: 6    Selektiert: 0");
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("towns.csv – Korvalin – 6 Objekte, 6 qualifiziert, 0 selektiert"));
    EXPECT_EQ(window.GetStepAction(EStep::Undo)->text(), "&Rückgängig");
    platform::SetResourceLanguage(ELanguage::English);
}

// Every text of a window: the title, the status bar, the menus and every action's text and tooltip.
QStringList WindowTexts(CMainWindow& window)
{
    QStringList texts{window.windowTitle(), window.GetStatusText()};
    for (QMenu* menu : window.findChildren<QMenu*>())
        texts << menu->title();
    for (QToolBar* bar : window.findChildren<QToolBar*>())
        texts << bar->windowTitle();
    for (QAction* action : window.findChildren<QAction*>())
        texts << action->text() << action->toolTip();
    return texts;
}

TEST(ViewerText, SwitchingTheLanguageRetranslatesEveryTextAtOnceAndIsKept)
{
    const std::filesystem::path towns = std::filesystem::path(KORVALIN_TEST_FOLDER) / "data/towns.csv";
    std::string error;
    QStringList started[2]; // German, English: the texts of windows that started in the language
    for (ELanguage language : {ELanguage::German, ELanguage::English})
    {
        platform::SetResourceLanguage(language);
        CMainWindow window;
        ASSERT_TRUE(window.OpenFile(towns, &error)) << error;
        started[language == ELanguage::English] = WindowTexts(window);
    }
    ASSERT_NE(started[0], started[1]);

    CMainWindow window; // English, as the language was left
    ASSERT_TRUE(window.OpenFile(towns, &error)) << error;
    window.GetLanguageAction(ELanguage::German)->trigger();
    EXPECT_EQ(WindowTexts(window), started[0]);
    EXPECT_TRUE(window.GetLanguageAction(ELanguage::German)->isChecked());
    // The choice is kept: the next window (and the korvalin command) starts in it.
    EXPECT_EQ(ChooseWindowLanguage(), ELanguage::German);
    window.GetLanguageAction(ELanguage::English)->trigger();
    EXPECT_EQ(WindowTexts(window), started[1]);
    EXPECT_EQ(ChooseWindowLanguage(), ELanguage::English);
}

// Files that cannot be read, the part of the reason the message names.
class ViewerOpen : public ViewerWindow
{
protected:
    std::filesystem::path Scratch(const std::string& name, const std::string& content)
    {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / ("korvalin-viewer-" + name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // The table's state as a string: the table, its records, the qualified and selected ones, the title.
    std::string State()
    {
        return std::to_string(reinterpret_cast<uintptr_t>(m_window.GetTable())) + " " +
               m_window.GetStatusText().toStdString() + " " + m_window.windowTitle().toStdString();
    }
};

TEST_F(ViewerOpen, AFileThatCannotBeReadShowsOneMessageNamingItAndTheTableStays)
{
    ClickValue(u"city", 0);
    const std::string before = State();
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {std::filesystem::temp_directory_path() / "korvalin-viewer-missing.csv", "not found"},
        {Scratch("broken.qtc", ""), "No fields"}, // a legacy table without even a names line
        {std::filesystem::temp_directory_path(), ""}, // a folder
    };
    for (const auto& [path, reason] : cases)
    {
        m_window.OpenReporting(path);
        QMessageBox* box = m_window.findChild<QMessageBox*>("openError");
        ASSERT_NE(box, nullptr) << path;
        const std::string text = box->text().toStdString();
        EXPECT_NE(text.find(path.string()), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        EXPECT_GT(text.size(), text.find('\n') + 3) << "no reason: " << text;
        EXPECT_EQ(m_window.findChildren<QMessageBox*>().size(), 1);
        delete box;
        EXPECT_EQ(State(), before) << path;
        EXPECT_FALSE(m_window.WasLastReadCancelled());
    }
}

TEST_F(ViewerOpen, ACancelledReadLeavesTheTableShownAndTheSameReadUncancelledOpens)
{
    std::string rows = "id,name\n";
    for (int i = 0; i < 5000; ++i)
        rows += std::to_string(i) + ",n" + std::to_string(i % 7) + "\n";
    const std::filesystem::path large = Scratch("large.csv", rows);
    ClickValue(u"city", 0);
    const std::string before = State();
    // The Cancel button of the progress dialog, pressed while the read runs.
    QTimer::singleShot(0, &m_window, [this] { m_window.findChild<QProgressDialog*>()->cancel(); });
    std::string error;
    EXPECT_FALSE(m_window.OpenFile(large, &error));
    EXPECT_TRUE(m_window.WasLastReadCancelled());
    EXPECT_NE(error.find("large.csv"), std::string::npos) << error;
    EXPECT_EQ(State(), before);
    EXPECT_EQ(m_window.findChild<QProgressDialog*>(), nullptr);

    ASSERT_TRUE(m_window.OpenFile(large, &error)) << error;
    EXPECT_EQ(m_window.GetTable()->GetRecordCount(), 5000);
}

TEST_F(ViewerOpen, TheRecentFilesAreKeptMostRecentFirstAndOpenFromTheMenu)
{
    const std::filesystem::path towns = std::filesystem::path(KORVALIN_TEST_FOLDER) / "data/towns.csv";
    const std::filesystem::path other = Scratch("other.csv", "a,b\n1,2\n");
    std::string error;
    ASSERT_TRUE(m_window.OpenFile(other, &error)) << error;
    ASSERT_TRUE(m_window.OpenFile(towns, &error)) << error; // again: it moves to the top
    auto entries = [](CMainWindow& window)
    {
        QStringList texts;
        for (QAction* action : window.GetRecentMenu()->actions())
            texts << action->text();
        return texts.mid(0, 2);
    };
    const QStringList expected{"&1 " + QString::fromStdString(towns.lexically_normal().string()),
                               "&2 " + QString::fromStdString(other.string())};
    EXPECT_EQ(entries(m_window), expected);
    CMainWindow next; // reads the profile
    EXPECT_EQ(entries(next), expected);
    next.GetRecentMenu()->actions()[1]->trigger();
    ASSERT_NE(next.GetTable(), nullptr);
    EXPECT_EQ(next.GetTable()->GetRecordCount(), 1);
}

} // namespace

namespace
{

// Whether a dark (text) pixel lies in the rows from..to of the rectangle's columns.
bool HasText(const QImage& image, const QRect& cell, int from, int to)
{
    for (int y = from; y <= to; ++y)
        for (int x = cell.left() + 2; x < cell.right() - 2; ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return true;
    return false;
}

TEST_F(ViewerOpen, AnAttributeOfTwoLinesHasItsLinesAndItsValuesWrapOntoThem)
{
    std::string error;
    ASSERT_TRUE(m_window.OpenFile(Scratch("long.csv", "name,kind\nAlpha Beta Gamma Delta Epsilon Zeta,x\n"), &error));
    CAttribute* name = Table().FindAttribute(u"name");
    CAttribute* kind = Table().FindAttribute(u"kind");
    const QRect single = View().CellRect(name, Record(0));
    EXPECT_EQ(single.height(), View().GetLineHeight());

    name->SetNrOfLines(2);
    View().Refresh();
    const QRect cell = View().CellRect(name, Record(0));
    EXPECT_EQ(cell.height(), View().GetLineHeight() + View().fontMetrics().lineSpacing());
    EXPECT_EQ(View().CellRect(kind, Record(0)).top(), cell.bottom() + 1);
    const QImage image = Render();
    // Text in the top and the bottom quarter: two lines (one line would sit in the middle, clear of both).
    EXPECT_TRUE(HasText(image, cell, cell.top() + 2, cell.top() + cell.height() / 4));
    EXPECT_TRUE(HasText(image, cell, cell.bottom() - cell.height() / 4, cell.bottom() - 2));
    // A click on the lower part of the line still hits its value.
    Click(QPoint(cell.center().x(), cell.bottom() - 2));
    EXPECT_TRUE(CAttributeSelection::Of(name).IsValueSelected(name->GetFieldValue(Record(0))));
}

} // namespace

// ---- derived attributes from the Attribute menu ----

class ViewerDefinitions : public ViewerWindow
{
protected:
    // The attribute's values over all records, joined by ','; "(none)" when there is no such attribute.
    std::string Values(const char16_t* name)
    {
        CAttribute* attribute = Attribute(name);
        if (!attribute)
            return "(none)";
        std::string text;
        for (long i = 0; i < Table().GetRecordCount(); ++i)
        {
            const char16_t* value = attribute->GetFieldValue(Record(i));
            text += (i ? "," : "") + (value ? platform::ToUtf8(value) : std::string());
        }
        return text;
    }
    std::unique_ptr<CDefinitionDialog> Dialog(EDefinitionKind kind, const char* name)
    {
        std::unique_ptr<CDefinitionDialog> dialog = m_window.CreateDefinitionDialog(kind);
        EXPECT_NE(dialog, nullptr);
        dialog->GetNameEdit()->setText(QString::fromUtf8(name));
        return dialog;
    }
    static void Choose(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
    }
};

TEST_F(ViewerDefinitions, AnExpressionAndASummaryAreDefinedThroughTheirDialogsAndUndoTakesThemBack)
{
    const long before = Table().GetAttributeCount();
    auto expression = Dialog(EDefinitionKind::Expression, "double");
    expression->GetFormulaEdit()->setText("[size] * 2");
    expression->accept();
    EXPECT_EQ(expression->result(), QDialog::Accepted);
    EXPECT_EQ(Values(u"double"), "6,2,4,10,8,2");

    auto summary = Dialog(EDefinitionKind::Summary, "total");
    Choose(summary->GetFunctionBox(), "Sum");
    Choose(summary->GetAttributeBox(), "size");
    Choose(summary->GetGroupingBox(), "city");
    summary->accept();
    EXPECT_EQ(summary->result(), QDialog::Accepted);
    EXPECT_EQ(Values(u"total"), "6,1,6,5,4,6");
    EXPECT_EQ(Table().GetAttributeCount(), before + 2);
    EXPECT_NE(std::find(View().GetLines().begin(), View().GetLines().end(), Attribute(u"total")),
              View().GetLines().end()); // the window shows the new line

    ASSERT_TRUE(m_window.GetStepAction(EStep::Undo)->isEnabled());
    m_window.GetStepAction(EStep::Undo)->trigger();
    EXPECT_EQ(Values(u"total"), "(none)");
    EXPECT_EQ(Table().GetAttributeCount(), before + 1);
}

TEST_F(ViewerDefinitions, ARefusedDefinitionShowsOneMessageAndLeavesTheTable)
{
    const long before = Table().GetAttributeCount();
    auto classify = Dialog(EDefinitionKind::Classification, "band");
    Choose(classify->GetAttributeBox(), "size");
    classify->GetLinesEdit()->setPlainText("<=3:small\n<2:tiny\nelse:big");
    classify->accept();
    EXPECT_NE(classify->result(), QDialog::Accepted);
    EXPECT_EQ(Table().GetAttributeCount(), before);
    const QList<QMessageBox*> boxes = classify->findChildren<QMessageBox*>("definitionRefused");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.front()->text(), "classify: the bound '<2:tiny' is not ascending or overlaps an earlier class");
    delete boxes.front();

    // Mended, the same dialog defines it.
    classify->GetLinesEdit()->setPlainText("<2:tiny\n<=3:small\nelse:big");
    classify->accept();
    EXPECT_EQ(classify->result(), QDialog::Accepted);
    EXPECT_EQ(Values(u"band"), "small,tiny,small,big,big,tiny");
    EXPECT_TRUE(classify->findChildren<QMessageBox*>().isEmpty());
}

TEST_F(ViewerDefinitions, ADerivedAttributesNameShowsItsKindAndDefinitionAsTooltip)
{
    auto summary = Dialog(EDefinitionKind::Summary, "total");
    Choose(summary->GetFunctionBox(), "Sum");
    Choose(summary->GetAttributeBox(), "size");
    Choose(summary->GetGroupingBox(), "city");
    summary->GetDownBox()->setChecked(true);
    summary->accept();
    auto cases = Dialog(EDefinitionKind::Case, "class");
    cases->GetLinesEdit()->setPlainText("[size] > 3 -> large\nelse -> [kind]");
    cases->accept();
    ASSERT_EQ(cases->result(), QDialog::Accepted);
    EXPECT_EQ(Values(u"class"), "A,B,B,large,large,A");

    auto tipOf = [&](const char16_t* name)
    {
        const QRect line = View().CellRect(Attribute(name), Record(0));
        return View().ToolTipAt(QPoint(5, line.center().y())).toStdString();
    };
    EXPECT_EQ(tipOf(u"total"), "Summary: Sum of [size] per [city], downwards");
    EXPECT_EQ(tipOf(u"class"), "Case discrimination: [size] > 3 -> large; else -> [kind]");
    EXPECT_EQ(tipOf(u"size"), ""); // an attribute of the file has none
    m_window.GetLanguageAction(ELanguage::German)->trigger();
    EXPECT_EQ(tipOf(u"total"), "Zusammenfassung: Summe von [size] je [city], abwärts");
    EXPECT_EQ(m_window.GetAttributeMenu()->title(), "&Attribut");
    m_window.GetLanguageAction(ELanguage::English)->trigger();
}

TEST_F(ViewerDefinitions, ASummaryFollowsAZoomInFromTheWindow)
{
    auto summary = Dialog(EDefinitionKind::Summary, "total");
    Choose(summary->GetFunctionBox(), "Sum");
    Choose(summary->GetAttributeBox(), "size");
    summary->accept();
    ASSERT_EQ(Values(u"total"), "16,16,16,16,16,16");
    ClickValue(u"city", 0);
    m_window.GetStepAction(EStep::ZoomIn)->trigger();
    EXPECT_EQ(Values(u"total"), "6,6,6,6,6,6");
    m_window.GetRecomputeAction(true)->trigger(); // recompute all keeps what the query gives
    EXPECT_EQ(Values(u"total"), "6,6,6,6,6,6");
}
