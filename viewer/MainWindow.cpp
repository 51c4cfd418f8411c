#include "viewer/MainWindow.h"

#include "display/ViewModeSwitch.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"
#include "viewer/TableView.h"

#include <QAction>
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <string>
#include <vector>

namespace viewer
{

namespace
{

// The window's texts (string resources).
constexpr int kTitle = 4200;
constexpr int kFileMenu = 4201;
constexpr int kOpen = 4202;
constexpr int kQuit = 4203;
constexpr int kQueryMenu = 4204;
constexpr int kViewMenu = 4205;
constexpr int kStepTexts[CMainWindow::kStepCount] = {4206, 4207, 4208, 4209, 4210, 4211, 0, 0, 4212, 4213};
constexpr int kModeTexts[3] = {4214, 4215, 4216};
constexpr int kCounts = 4217;
constexpr int kOpenTitle = 4218;
constexpr int kOpenFilter = 4219;
constexpr int kNotRead = 4220;
constexpr int kToolbar = 4224;
constexpr int kSortTexts[2] = {4226, 4227};
constexpr int kSortCaptions[2] = {2710, 4228}; // "Sortieren nach '%1'", "Absteigend sortieren nach '%1'"

QString Resource(int id, std::initializer_list<KStringView> args = {})
{
    const KString text = args.size() == 0 ? LoadResourceString(id) : FormatResource(id, args);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString ToQString(const KString& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CMainWindow::CMainWindow()
{
    m_pView = new CTableView(this);
    setCentralWidget(m_pView);
    m_pCounts = new QLabel(this);
    statusBar()->addPermanentWidget(m_pCounts);
    setAcceptDrops(true);
    CreateActions();
    m_pView->SetSelectionChangedHandler([this] { UpdateActions(); });
    resize(1100, 700);
    UpdateActions();
}

CMainWindow::~CMainWindow()
{
    m_pView->SetTable(nullptr); // the layout goes before its table
}

void CMainWindow::CreateActions()
{
    using selection::EStep;
    QMenu* file = menuBar()->addMenu(Resource(kFileMenu));
    QAction* open = file->addAction(Resource(kOpen), this, [this] { OpenWithDialog(); });
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    QAction* quit = file->addAction(Resource(kQuit), this, [this] { close(); });
    quit->setShortcut(QKeySequence::Quit);

    const std::vector<std::pair<EStep, QKeySequence>> keys = {
        {EStep::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Plus)},    {EStep::Exclude, QKeySequence(Qt::Key_Delete)},
        {EStep::ZoomOut, QKeySequence(Qt::CTRL | Qt::Key_Minus)},  {EStep::Reset, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {EStep::Back, QKeySequence(QKeySequence::Back)},           {EStep::Forward, QKeySequence(QKeySequence::Forward)},
        {EStep::Rewind, QKeySequence(Qt::ALT | Qt::Key_Home)},     {EStep::FastForward, QKeySequence(Qt::ALT | Qt::Key_End)},
        {EStep::Undo, QKeySequence(QKeySequence::Undo)},           {EStep::Redo, QKeySequence(QKeySequence::Redo)},
    };
    const std::pair<EStep, QStyle::StandardPixmap> icons[] = {
        {EStep::Back, QStyle::SP_ArrowBack},     {EStep::Forward, QStyle::SP_ArrowForward},
        {EStep::Reset, QStyle::SP_BrowserReload}, {EStep::Undo, QStyle::SP_ArrowLeft},
        {EStep::Redo, QStyle::SP_ArrowRight},
    };
    for (const auto& [step, key] : keys)
    {
        QAction* action = new QAction(this);
        action->setShortcut(key);
        for (const auto& [iconStep, pixmap] : icons)
        {
            if (iconStep == step)
                action->setIcon(style()->standardIcon(pixmap));
        }
        connect(action, &QAction::triggered, this, [this, step = step] { TakeStep(step); });
        m_steps[static_cast<size_t>(step)] = action;
    }
    QMenu* query = menuBar()->addMenu(Resource(kQueryMenu));
    QMenu* context = new QMenu(this);
    QToolBar* toolbar = addToolBar(Resource(kToolbar));
    toolbar->setObjectName("toolbar");
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (EStep step : {EStep::ZoomIn, EStep::Exclude, EStep::ZoomOut, EStep::Reset})
    {
        query->addAction(GetStepAction(step));
        context->addAction(GetStepAction(step));
        toolbar->addAction(GetStepAction(step));
    }
    query->addSeparator();
    context->addSeparator();
    toolbar->addSeparator();
    for (EStep step : {EStep::Back, EStep::Forward, EStep::Rewind, EStep::FastForward, EStep::Undo, EStep::Redo})
    {
        query->addAction(GetStepAction(step));
        if (step != EStep::Rewind && step != EStep::FastForward)
        {
            context->addAction(GetStepAction(step));
            toolbar->addAction(GetStepAction(step));
        }
    }

    query->addSeparator();
    context->addSeparator();
    toolbar->addSeparator();
    const QStyle::StandardPixmap sortIcons[2] = {QStyle::SP_ArrowUp, QStyle::SP_ArrowDown};
    for (int i = 0; i < 2; ++i)
    {
        QAction* action = new QAction(Resource(kSortTexts[i]), this);
        action->setIcon(style()->standardIcon(sortIcons[i]));
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | (i ? Qt::Key_Down : Qt::Key_Up)));
        connect(action, &QAction::triggered, this, [this, descending = i == 1] { SortRecords(descending); });
        query->addAction(action);
        context->addAction(action);
        toolbar->addAction(action);
        m_sorts[static_cast<size_t>(i)] = action;
    }

    QMenu* view = menuBar()->addMenu(Resource(kViewMenu));
    QActionGroup* group = new QActionGroup(this);
    context->addSeparator();
    toolbar->addSeparator();
    const display::EViewMode modes[3] = {display::VIEW_FULL, display::VIEW_COMPRESSED, display::VIEW_OVERVIEW};
    for (int i = 0; i < 3; ++i)
    {
        QAction* action = group->addAction(Resource(kModeTexts[i]));
        action->setCheckable(true);
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
        connect(action, &QAction::triggered, this, [this, mode = modes[i]] { SetViewMode(mode); });
        view->addAction(action);
        context->addAction(action);
        toolbar->addAction(action);
        m_modes[static_cast<size_t>(i)] = action;
    }
    m_pView->SetContextMenu(context);
}

QAction* CMainWindow::GetModeAction(display::EViewMode mode) const
{
    return mode >= display::VIEW_FULL && mode <= display::VIEW_OVERVIEW ? m_modes[static_cast<size_t>(mode - 1)]
                                                                         : nullptr;
}

bool CMainWindow::OpenFile(const std::filesystem::path& path, std::string* error)
{
    auto table = std::make_unique<CTable>();
    std::vector<KString> notes;
    table->SetMessageHandler(
        [&notes](const KString& text, int answer)
        {
            notes.push_back(text);
            return answer;
        });
    files::SOpenRequest request;
    request.m_bExplicitImport = true; // as korvalin dump reads it
    try
    {
        files::ReadTable(*table, path, request);
    }
    catch (const std::exception& e)
    {
        if (error)
            *error = e.what(); // names the file, as korvalin dump says it
        return false;
    }
    // Later messages of the table (the layout's, the commands') go to the status bar: the window never blocks.
    table->SetMessageHandler(
        [this](const KString& text, int answer)
        {
            statusBar()->showMessage(ToQString(text), 10000);
            return answer;
        });
    m_pView->SetTable(nullptr);
    m_pTable = std::move(table);
    m_file = path;
    m_pView->SetTable(m_pTable.get());
    setWindowTitle(Resource(kTitle, {platform::FromUtf8(path.filename().string())}));
    if (!notes.empty())
        statusBar()->showMessage(ToQString(notes.front()), 10000);
    UpdateActions();
    return true;
}

void CMainWindow::OpenWithDialog()
{
    const QString file = QFileDialog::getOpenFileName(this, Resource(kOpenTitle), QString(), Resource(kOpenFilter));
    if (file.isEmpty())
        return;
    OpenReporting(std::filesystem::path(file.toStdString()));
}

void CMainWindow::OpenReporting(const std::filesystem::path& path)
{
    std::string error;
    if (!OpenFile(path, &error))
        QMessageBox::warning(this, Resource(kOpenTitle),
                             Resource(kNotRead, {platform::FromUtf8(path.string()), platform::FromUtf8(error)}));
}

bool CMainWindow::TakeStep(selection::EStep step)
{
    display::CTableLayout* layout = m_pView->GetLayout();
    if (!m_pTable || !layout || layout->IsAnimating())
        return false;
    const selection::SStepResult result = selection::TakeStep(CTableSelection::Of(*m_pTable), step);
    if (!result.IsTaken())
    {
        statusBar()->showMessage(ToQString(FormatResource(result.m_nMessage, {result.m_strArgument})), 10000);
        UpdateActions();
        return false;
    }
    statusBar()->clearMessage();
    // The refused records shrink away; other steps show their result at once.
    if (selection::IsNarrowingStep(step))
        layout->AnimateQuery(false);
    TableChanged();
    return true;
}

void CMainWindow::SetViewMode(display::EViewMode mode)
{
    display::CTableLayout* layout = m_pView->GetLayout();
    if (!layout || layout->IsAnimating())
        return;
    display::SwitchViewMode(*layout, mode);
    TableChanged();
}

bool CMainWindow::SortRecords(bool descending)
{
    CAttribute* attribute = m_pView->GetCurrentAttribute();
    display::CTableLayout* layout = m_pView->GetLayout();
    if (!m_pTable || !attribute || (layout && layout->IsAnimating()))
        return false;
    // The step turns the attribute's direction round first when it points the other way.
    const bool sorted = CTableSelection::Of(*m_pTable).SortRecords(attribute, descending != attribute->IsReverseSort());
    if (!sorted)
        statusBar()->showMessage(Resource(3912, {Resource(kSortCaptions[descending ? 1 : 0], {attribute->GetName()})
                                                     .toStdU16String()}));
    TableChanged();
    return sorted;
}

void CMainWindow::TableChanged()
{
    m_pView->Refresh();
    UpdateActions();
}

QString CMainWindow::GetStatusText() const
{
    return m_pCounts->text();
}

void CMainWindow::UpdateActions()
{
    using selection::EStep;
    CTableSelection* selection = m_pTable ? &CTableSelection::Of(*m_pTable) : nullptr;
    for (int i = 0; i < kStepCount; ++i)
    {
        const EStep step = static_cast<EStep>(i);
        QAction* action = m_steps[static_cast<size_t>(i)];
        const bool possible = selection && selection::IsStepPossible(*selection, step);
        KString caption = selection && possible ? selection::StepCaption(*selection, step) : KString();
        if (caption.empty() && kStepTexts[i])
            caption = LoadResourceString(kStepTexts[i]);
        else if (caption.empty())
            caption = CCommandHistory::GetOperationCaption(step == EStep::Rewind ? CCommandHistory::OP_REWIND
                                                                                  : CCommandHistory::OP_FAST_FORWARD);
        action->setEnabled(possible);
        action->setText(ToQString(caption));
        action->setToolTip(QString(ToQString(caption)).remove(QLatin1Char('&')));
    }
    CAttribute* current = m_pView->GetCurrentAttribute();
    for (int i = 0; i < 2; ++i)
    {
        QAction* sort = m_sorts[static_cast<size_t>(i)];
        sort->setEnabled(current != nullptr);
        sort->setToolTip(current ? Resource(kSortCaptions[i], {current->GetName()})
                                 : QString(Resource(kSortTexts[i])).remove(QLatin1Char('&')));
    }
    const display::CTableLayout* layout = m_pView->GetLayout();
    for (QAction* mode : m_modes)
        mode->setEnabled(layout != nullptr);
    if (layout)
        m_modes[static_cast<size_t>(layout->GetViewMode() - 1)]->setChecked(true);
    if (!m_pTable)
    {
        m_pCounts->clear();
        return;
    }
    const long records = m_pTable->GetRecordCount();
    const long qualified = m_pTable->CountQualRecords();
    const long selected = selection->CountSelectedRecords();
    m_pCounts->setText(Resource(kCounts, {platform::FromUtf8(std::to_string(records)),
                                         platform::FromUtf8(std::to_string(qualified)),
                                         platform::FromUtf8(std::to_string(selected))}));
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    OpenReporting(std::filesystem::path(urls.front().toLocalFile().toStdString()));
}

} // namespace viewer
