#include "viewer/MainWindow.h"

#include "display/ViewModeSwitch.h"
#include "engine/Attribute.h"
#include "engine/Table.h"
#include "files/TableOpener.h"
#include "formula/DerivedAttributes.h"
#include "options/OptionSet.h"
#include "platform/Error.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"
#include "viewer/TableView.h"
#include "viewer/WindowProfile.h"

#include <QAction>
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <chrono>
#include <string>
#include <vector>

namespace viewer
{

namespace
{

// The window's texts (string resources).
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
constexpr int kTitleWithCounts = 4230;
constexpr int kRecentMenu = 4231;
constexpr int kNoRecentFiles = 4232;
constexpr int kLanguageMenu = 4233;
constexpr int kLanguageNames[2] = {4234, 4235}; // Deutsch, English
constexpr int kReading = 4236;
constexpr int kCancel = 4237;
constexpr int kReadCancelled = 4238;
constexpr int kDialogLabels[4] = {4239, 4240, 4241, 4242}; // the file dialog: look in, file name, type, open
constexpr int kAttributeMenu = 4243;
constexpr int kSeveralDropped = 4276;
constexpr int kRecomputeTexts[2] = {4249, 4250}; // the outdated ones, all
constexpr ELanguage kLanguages[2] = {ELanguage::German, ELanguage::English};
// A read shows its progress dialog when it takes longer than this.
constexpr int kProgressDelayMs = 400;

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
    m_pView->SetStepHandler([this](selection::EStep step) { TakeStep(step); });
    resize(1100, 700);
    m_recent = LoadRecentFiles();
    Retranslate();
}

CMainWindow::~CMainWindow()
{
    m_pView->SetTable(nullptr); // the layout goes before its table
}

void CMainWindow::CreateActions()
{
    using selection::EStep;
    m_pFileMenu = menuBar()->addMenu(QString());
    m_pOpen = m_pFileMenu->addAction(QString(), this, [this] { OpenWithDialog(); });
    m_pOpen->setShortcut(QKeySequence::Open);
    m_pRecentMenu = m_pFileMenu->addMenu(QString());
    m_pFileMenu->addSeparator();
    m_pQuit = m_pFileMenu->addAction(QString(), this, [this] { close(); });
    m_pQuit->setShortcut(QKeySequence::Quit);

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
    QMenu* query = m_pQueryMenu = menuBar()->addMenu(QString());
    QMenu* context = new QMenu(this);
    QToolBar* toolbar = m_pToolbar = addToolBar(QString());
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
        QAction* action = new QAction(this);
        action->setIcon(style()->standardIcon(sortIcons[i]));
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | (i ? Qt::Key_Down : Qt::Key_Up)));
        connect(action, &QAction::triggered, this, [this, descending = i == 1] { SortRecords(descending); });
        query->addAction(action);
        context->addAction(action);
        toolbar->addAction(action);
        m_sorts[static_cast<size_t>(i)] = action;
    }

    QMenu* view = m_pViewMenu = menuBar()->addMenu(QString());
    QActionGroup* group = new QActionGroup(this);
    context->addSeparator();
    toolbar->addSeparator();
    const display::EViewMode modes[3] = {display::VIEW_FULL, display::VIEW_COMPRESSED, display::VIEW_OVERVIEW};
    for (int i = 0; i < 3; ++i)
    {
        QAction* action = group->addAction(QString());
        action->setCheckable(true);
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
        connect(action, &QAction::triggered, this, [this, mode = modes[i]] { SetViewMode(mode); });
        view->addAction(action);
        context->addAction(action);
        toolbar->addAction(action);
        m_modes[static_cast<size_t>(i)] = action;
    }
    m_pView->SetContextMenu(context);

    QMenu* nameContext = new QMenu(this);
    CreateAttributeActions(nameContext);
    nameContext->addSeparator();
    for (QAction* sort : m_sorts)
        nameContext->addAction(sort);
    m_pView->SetNameContextMenu(nameContext);

    m_pLanguageMenu = menuBar()->addMenu(QString());
    QActionGroup* languages = new QActionGroup(this);
    for (int i = 0; i < 2; ++i)
    {
        QAction* action = languages->addAction(QString());
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, language = kLanguages[i]] { SetLanguage(language); });
        m_pLanguageMenu->addAction(action);
        m_languages[static_cast<size_t>(i)] = action;
    }
}

void CMainWindow::CreateAttributeActions(QMenu* nameContext)
{
    m_pAttributeMenu = menuBar()->addMenu(QString());
    const EDefinitionKind kinds[5] = {EDefinitionKind::Expression, EDefinitionKind::Summary,
                                      EDefinitionKind::Classification, EDefinitionKind::Case, EDefinitionKind::Link};
    for (EDefinitionKind kind : kinds)
    {
        QAction* action = new QAction(this);
        connect(action, &QAction::triggered, this, [this, kind] { ShowDefinitionDialog(kind); });
        m_pAttributeMenu->addAction(action);
        nameContext->addAction(action);
        m_definitions[static_cast<size_t>(kind)] = action;
    }
    m_pAttributeMenu->addSeparator();
    nameContext->addSeparator();
    for (int i = 0; i < 2; ++i)
    {
        QAction* action = new QAction(this);
        if (i == 0)
            action->setShortcut(QKeySequence(Qt::Key_F9));
        connect(action, &QAction::triggered, this, [this, all = i == 1] { Recompute(all); });
        m_pAttributeMenu->addAction(action);
        nameContext->addAction(action);
        m_recomputes[static_cast<size_t>(i)] = action;
    }
}

std::unique_ptr<CDefinitionDialog> CMainWindow::CreateDefinitionDialog(EDefinitionKind kind)
{
    if (!m_pTable)
        return nullptr;
    auto dialog = std::make_unique<CDefinitionDialog>(*m_pTable, kind, this);
    connect(dialog.get(), &QDialog::accepted, this, [this] { TableChanged(); });
    return dialog;
}

void CMainWindow::ShowDefinitionDialog(EDefinitionKind kind)
{
    const display::CTableLayout* layout = m_pView->GetLayout();
    if (layout && layout->IsAnimating())
        return;
    if (std::unique_ptr<CDefinitionDialog> dialog = CreateDefinitionDialog(kind))
        dialog->exec();
}

void CMainWindow::Recompute(bool all)
{
    const display::CTableLayout* layout = m_pView->GetLayout();
    if (!m_pTable || (layout && layout->IsAnimating()))
        return;
    formula::CDerivedAttributes::Of(*m_pTable).RecomputeDerivedAttributesManually(all);
    TableChanged();
}

void CMainWindow::Retranslate()
{
    m_pAttributeMenu->setTitle(Resource(kAttributeMenu));
    for (size_t i = 0; i < m_definitions.size(); ++i)
        m_definitions[i]->setText(DefinitionCaption(static_cast<EDefinitionKind>(i)));
    for (int i = 0; i < 2; ++i)
        m_recomputes[static_cast<size_t>(i)]->setText(Resource(kRecomputeTexts[i]));
    m_pFileMenu->setTitle(Resource(kFileMenu));
    m_pOpen->setText(Resource(kOpen));
    m_pRecentMenu->setTitle(Resource(kRecentMenu));
    m_pQuit->setText(Resource(kQuit));
    m_pQueryMenu->setTitle(Resource(kQueryMenu));
    m_pViewMenu->setTitle(Resource(kViewMenu));
    m_pLanguageMenu->setTitle(Resource(kLanguageMenu));
    m_pToolbar->setWindowTitle(Resource(kToolbar));
    for (int i = 0; i < 2; ++i)
        m_sorts[static_cast<size_t>(i)]->setText(Resource(kSortTexts[i]));
    for (int i = 0; i < 3; ++i)
        m_modes[static_cast<size_t>(i)]->setText(Resource(kModeTexts[i]));
    for (int i = 0; i < 2; ++i)
    {
        m_languages[static_cast<size_t>(i)]->setText(Resource(kLanguageNames[i]));
        m_languages[static_cast<size_t>(i)]->setChecked(platform::GetResourceLanguage() == kLanguages[i]);
    }
    FillRecentMenu();
    UpdateActions(); // the step captions, the tooltips, the counts and the title
}

void CMainWindow::SetLanguage(ELanguage language)
{
    platform::SetResourceLanguage(language);
    if (m_pTable)
        m_pTable->GetOptions().m_nLanguage = static_cast<int>(language);
    SaveWindowLanguage(language); // a profile that cannot be written keeps the choice for this window only
    Retranslate();
}

void CMainWindow::FillRecentMenu()
{
    m_pRecentMenu->clear();
    if (m_recent.empty())
    {
        m_pRecentMenu->addAction(Resource(kNoRecentFiles))->setEnabled(false);
        return;
    }
    for (size_t i = 0; i < m_recent.size(); ++i)
    {
        const std::filesystem::path file = m_recent[i];
        // The first nine carry their number as the access key.
        const QString number = i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
        QString name = QString::fromStdString(file.string());
        name.replace(QLatin1Char('&'), QLatin1String("&&"));
        m_pRecentMenu->addAction(number + name, this, [this, file] { OpenReporting(file); });
    }
}

QAction* CMainWindow::GetModeAction(display::EViewMode mode) const
{
    return mode >= display::VIEW_FULL && mode <= display::VIEW_OVERVIEW ? m_modes[static_cast<size_t>(mode - 1)]
                                                                         : nullptr;
}

bool CMainWindow::OpenFile(const std::filesystem::path& path, std::string* error)
{
    m_bLastReadCancelled = false;
    auto table = std::make_unique<CTable>();
    table->GetOptions().m_nLanguage = static_cast<int>(platform::GetResourceLanguage());
    const KString fileName = platform::FromUtf8(path.string());
    // The dialog shows itself when the read takes longer than a moment; its Cancel ends the read (the read's
    // question whether to keep the records read so far is answered No: the table shown stays as it was).
    QProgressDialog progress(Resource(kReading, {fileName}), Resource(kCancel), 0, 1000, this);
    progress.setWindowTitle(Resource(kOpenTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    std::vector<KString> notes;
    table->SetMessageHandler(
        [&notes, &progress](const KString& text, int answer)
        {
            if (progress.wasCanceled())
                return static_cast<int>(ANSWER_NO);
            notes.push_back(text);
            return answer;
        });
    files::SOpenRequest request;
    request.m_bExplicitImport = true; // as korvalin dump reads it
    request.m_read.m_progress = [&progress](double fraction, long)
    {
        progress.setValue(static_cast<int>(fraction * 1000));
        // Input reaches only the dialog once it shows (it is modal); before, the window takes none.
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        return !progress.wasCanceled();
    };
    try
    {
        files::ReadTable(*table, path, request);
    }
    catch (const CUserException&)
    {
        m_bLastReadCancelled = true;
        if (error)
            *error = platform::ToUtf8(FormatResource(kReadCancelled, {fileName}));
        return false;
    }
    catch (const std::exception& e)
    {
        if (error)
            *error = e.what(); // names the file, as korvalin dump says it
        return false;
    }
    progress.close();
    // Later messages of the table (the layout's, the commands') go to the status bar: the window never blocks.
    table->SetMessageHandler(
        [this](const KString& text, int answer)
        {
            statusBar()->showMessage(ToQString(text), 10000);
            return answer;
        });
    table->GetMessages().SetProgressHandler([this](const KString& text, double fraction)
                                            { return ShowWorkProgress(ToQString(text), fraction); });
    m_pView->SetTable(nullptr);
    m_pTable = std::move(table);
    m_file = path;
    m_pView->SetTable(m_pTable.get());
    m_recent = RememberRecentFile(path);
    FillRecentMenu();
    if (!notes.empty())
        statusBar()->showMessage(ToQString(notes.front()), 10000);
    UpdateActions();
    return true;
}

bool CMainWindow::ShowWorkProgress(const QString& text, double fraction)
{
    if (!m_pWorkProgress)
    {
        m_pWorkProgress = std::make_unique<QProgressDialog>(text, Resource(kCancel), 0, 1000, this);
        m_pWorkProgress->setWindowModality(Qt::WindowModal);
        m_pWorkProgress->setMinimumDuration(kProgressDelayMs);
        m_pWorkProgress->setAutoReset(false);
        m_pWorkProgress->setAutoClose(false);
    }
    m_pWorkProgress->setLabelText(text);
    m_pWorkProgress->setValue(static_cast<int>(fraction * 1000));
    // As while reading: input reaches only the dialog once it shows.
    QCoreApplication::processEvents(m_pWorkProgress->isVisible() ? QEventLoop::AllEvents
                                                                 : QEventLoop::ExcludeUserInputEvents);
    const bool go = !m_pWorkProgress->wasCanceled();
    if (!go || fraction >= 1.0)
        m_pWorkProgress.reset();
    return go;
}

void CMainWindow::OpenWithDialog()
{
    // Qt's own dialog, so that its labels speak the window's language too.
    QFileDialog dialog(this, Resource(kOpenTitle), QString(), Resource(kOpenFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QFileDialog::DialogLabel labels[4] = {QFileDialog::LookIn, QFileDialog::FileName, QFileDialog::FileType,
                                                QFileDialog::Accept};
    for (int i = 0; i < 4; ++i)
        dialog.setLabelText(labels[i], Resource(kDialogLabels[i]));
    dialog.setLabelText(QFileDialog::Reject, Resource(kCancel));
    if (!m_file.empty())
        dialog.setDirectory(QString::fromStdString(m_file.parent_path().string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenReporting(std::filesystem::path(dialog.selectedFiles().front().toStdString()));
}

void CMainWindow::OpenReporting(const std::filesystem::path& path)
{
    std::string error;
    if (OpenFile(path, &error))
        return;
    if (m_bLastReadCancelled)
    {
        statusBar()->showMessage(QString::fromStdString(error), 10000);
        return;
    }
    // Window-modal without waiting: the window stays as it was behind it.
    auto* box = new QMessageBox(QMessageBox::Warning, Resource(kOpenTitle),
                                Resource(kNotRead, {platform::FromUtf8(path.string()), platform::FromUtf8(error)}),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("openError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
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
    for (QAction* action : m_definitions)
        action->setEnabled(m_pTable != nullptr);
    for (QAction* action : m_recomputes)
        action->setEnabled(m_pTable != nullptr);
    if (layout)
        m_modes[static_cast<size_t>(layout->GetViewMode() - 1)]->setChecked(true);
    if (!m_pTable)
    {
        m_pCounts->clear();
        setWindowTitle(QStringLiteral("Korvalin"));
        return;
    }
    const KString records = platform::FromUtf8(std::to_string(m_pTable->GetRecordCount()));
    const KString qualified = platform::FromUtf8(std::to_string(m_pTable->GetNumberQualified()));
    const KString selected = platform::FromUtf8(std::to_string(selection->CountSelectedRecords()));
    m_pCounts->setText(Resource(kCounts, {records, qualified, selected}));
    setWindowTitle(Resource(kTitleWithCounts,
                            {platform::FromUtf8(m_file.filename().string()), records, qualified, selected}));
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
    if (urls.size() > 1)
    {
        // One table a window: which of several files was meant is the user's to say, so none is opened.
        auto* box = new QMessageBox(QMessageBox::Information, Resource(kOpenTitle),
                                    Resource(kSeveralDropped, {platform::FromUtf8(std::to_string(urls.size()))}),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("dropError"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    OpenReporting(std::filesystem::path(urls.front().toLocalFile().toStdString()));
}

} // namespace viewer
