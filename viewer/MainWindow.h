#pragma once
// CMainWindow: the table window. It holds one table and its CTableView, and offers the zooms, the history steps,
// sorting by the attribute clicked last and the three view modes from its menu, its toolbar, the view's context menu and keys; each is enabled only
// while the engine says it is possible, and the history steps carry their captions from the histories (menu text
// and tooltip). The status bar counts the records, the qualified and the selected ones. A file comes in through
// File > Open, by dropping it on the window, or from the command line. Every text is a string resource.
//
// Threading: the GUI thread.

#include "display/TableLayout.h"
#include "selection/HistorySteps.h"

#include <QMainWindow>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

class CTable;
class QAction;
class QLabel;

namespace viewer
{

class CTableView;

class CMainWindow final : public QMainWindow
{
public:
    static constexpr int kStepCount = static_cast<int>(selection::EStep::Redo) + 1;

    CMainWindow();
    ~CMainWindow() override;

    // Reads path into a new table and shows it; on failure the shown table stays and error gets the message.
    bool OpenFile(const std::filesystem::path& path, std::string* error);
    // Takes a step as its button does (a zoom in or exclude animates); false when it was not taken (the reason
    // shows in the status bar).
    bool TakeStep(selection::EStep step);
    // Switches the view mode (animated when the table animates).
    void SetViewMode(display::EViewMode mode);
    // Sorts the records by the attribute clicked last, ascending or descending (a step of the query); false
    // when there is no such attribute or the step was not taken.
    bool SortRecords(bool descending);

    CTable* GetTable() const { return m_pTable.get(); }
    CTableView* GetView() const { return m_pView; }
    QAction* GetStepAction(selection::EStep step) const { return m_steps[static_cast<size_t>(step)]; }
    QAction* GetModeAction(display::EViewMode mode) const;
    QAction* GetSortAction(bool descending) const { return m_sorts[descending ? 1 : 0]; }
    // The counts of the status bar, as shown.
    QString GetStatusText() const;
    // Enables the actions as the engine allows and gives them their captions; updates the status bar.
    void UpdateActions();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void OpenWithDialog();
    // OpenFile, telling a failure in a message box.
    void OpenReporting(const std::filesystem::path& path);
    void TableChanged();

    std::unique_ptr<CTable> m_pTable; // the table shown; null before the first file
    CTableView* m_pView = nullptr;    // owned by the window as its central widget
    QLabel* m_pCounts = nullptr;      // owned by the status bar
    std::array<QAction*, kStepCount> m_steps{}; // by selection::EStep; owned by the window
    std::array<QAction*, 3> m_modes{};          // full, compressed, overview
    std::array<QAction*, 2> m_sorts{};          // ascending, descending
    std::filesystem::path m_file;               // the file of the table
};

} // namespace viewer
