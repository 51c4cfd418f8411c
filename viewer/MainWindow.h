#pragma once
// CMainWindow: the table window. It holds one table and its CTableView, and offers the zooms, the history steps,
// sorting by the attribute clicked last and the three view modes from its menu, its toolbar, the view's context menu and keys; each is enabled only
// while the engine says it is possible, and the history steps carry their captions from the histories (menu text
// and tooltip). The status bar counts the records, the qualified and the selected ones, and the title repeats the
// counts (so that scripts driving the window can read them). A file comes in through File > Open, the recent files,
// by dropping it on the window, or from the command line; a long read shows a progress dialog whose Cancel keeps
// the table shown. Every text is a string resource in the language chosen from the Language menu (kept in the
// profile with the recent files), and switching it retranslates the window at once.
//
// Threading: the GUI thread.

#include "display/TableLayout.h"
#include "viewer/DefinitionDialog.h"
#include "platform/Resources.h"
#include "selection/HistorySteps.h"

#include <QMainWindow>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CTable;
class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QToolBar;

namespace viewer
{

class CTableView;

class CMainWindow final : public QMainWindow
{
public:
    static constexpr int kStepCount = static_cast<int>(selection::EStep::Redo) + 1;

    CMainWindow();
    ~CMainWindow() override;

    // Reads path into a new table and shows it, with a progress dialog for long reads; on failure or when the
    // read is cancelled the shown table stays and error gets the message (WasLastReadCancelled tells which).
    bool OpenFile(const std::filesystem::path& path, std::string* error);
    bool WasLastReadCancelled() const { return m_bLastReadCancelled; }
    // OpenFile, telling a failure in a message box (window-modal, not waiting) and a cancel in the status bar.
    void OpenReporting(const std::filesystem::path& path);
    // Switches every text of the window to language at once and keeps the choice in the profile.
    void SetLanguage(ELanguage language);
    // Takes a step as its button does (a zoom in or exclude animates); false when it was not taken (the reason
    // shows in the status bar).
    bool TakeStep(selection::EStep step);
    // Switches the view mode (animated when the table animates).
    void SetViewMode(display::EViewMode mode);
    // Sorts the records by the attribute clicked last, ascending or descending (a step of the query); false
    // when there is no such attribute or the step was not taken.
    bool SortRecords(bool descending);

    // A dialog defining a derived attribute of kind for the shown table (null without one; the caller owns it):
    // the Attribute menu shows it, and the window takes up the new attribute when it is accepted.
    std::unique_ptr<CDefinitionDialog> CreateDefinitionDialog(EDefinitionKind kind);
    // Recomputes the outdated derived attributes (all of them with all), the manual ones too.
    void Recompute(bool all);

    CTable* GetTable() const { return m_pTable.get(); }
    CTableView* GetView() const { return m_pView; }
    QAction* GetStepAction(selection::EStep step) const { return m_steps[static_cast<size_t>(step)]; }
    QAction* GetModeAction(display::EViewMode mode) const;
    QAction* GetSortAction(bool descending) const { return m_sorts[descending ? 1 : 0]; }
    QAction* GetLanguageAction(ELanguage language) const { return m_languages[language == ELanguage::German ? 0 : 1]; }
    QAction* GetDefinitionAction(EDefinitionKind kind) const { return m_definitions[static_cast<size_t>(kind)]; }
    QAction* GetRecomputeAction(bool all) const { return m_recomputes[all ? 1 : 0]; }
    QMenu* GetAttributeMenu() const { return m_pAttributeMenu; }
    QMenu* GetRecentMenu() const { return m_pRecentMenu; }
    // The counts of the status bar, as shown.
    QString GetStatusText() const;
    // Enables the actions as the engine allows and gives them their captions; updates the status bar.
    void UpdateActions();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateAttributeActions(QMenu* nameContext);
    void ShowDefinitionDialog(EDefinitionKind kind);
    void OpenWithDialog();
    void TableChanged();
    // Gives every menu, action and bar its text in the current language.
    void Retranslate();
    void FillRecentMenu();
    void UpdateTitle();
    // The table's progress handler: long work of the engine (recomputes) in a progress dialog that shows itself
    // after a moment and whose Cancel cancels the work; closed when fraction reaches 1. False: cancelled.
    bool ShowWorkProgress(const QString& text, double fraction);

    std::unique_ptr<QProgressDialog> m_pWorkProgress; // while the engine's work runs; null otherwise
    std::unique_ptr<CTable> m_pTable; // the table shown; null before the first file
    CTableView* m_pView = nullptr;    // owned by the window as its central widget
    QLabel* m_pCounts = nullptr;      // owned by the status bar
    std::array<QAction*, kStepCount> m_steps{}; // by selection::EStep; owned by the window
    std::array<QAction*, 3> m_modes{};          // full, compressed, overview
    std::array<QAction*, 2> m_sorts{};          // ascending, descending
    std::array<QAction*, 2> m_languages{};      // German, English
    std::array<QAction*, 5> m_definitions{};    // by EDefinitionKind
    std::array<QAction*, 2> m_recomputes{};     // the outdated ones, all
    QAction* m_pOpen = nullptr;                 // owned by the window, as are the menus and the toolbar
    QAction* m_pQuit = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QMenu* m_pRecentMenu = nullptr;
    QMenu* m_pQueryMenu = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pAttributeMenu = nullptr;
    QMenu* m_pLanguageMenu = nullptr;
    QToolBar* m_pToolbar = nullptr;
    std::vector<std::filesystem::path> m_recent; // the recent files as the menu shows them, most recent first
    std::filesystem::path m_file;               // the file of the table
    bool m_bLastReadCancelled = false;          // the last OpenFile ended by the user's cancel
};

} // namespace viewer
