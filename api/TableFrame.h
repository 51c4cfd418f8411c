#pragma once
// CTableFrame: the frame that hosts one CTable for the flat interface, the handle through which hosts reach a
// table. It owns its table, hears of every attribute added, moved or deleted and of the events around actions
// (as the table's observer) and passes them to the host's registered callback object; it keeps the change
// protocol of the interface (the changed flag, the records marked for deletion, TableRefresh) and the interface's
// own settings (import and export settings, application name, working directory).
//
// A frame made with a parent window holds its window (api/WindowFactory.h), which shows the table and enters
// through KeyDown, KeyUp, KeyPress and ReportProgress; without a window factory frames have no window.
// Threading: the table's thread only.

#include "engine/Export.h"
#include "engine/ImportSettings.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "korvalin/TableExport.h"

#include <memory>

class COptionSet;
namespace api
{
class CFrameWindow;
}

// The frame's settings for text export (their meaning: the text export).
struct SExportSettings
{
    char16_t m_cDelimiter = u'\t';            // column delimiter
    char16_t m_cQuote = u'"';                 // text qualifier; 0 for none
    int32_t m_nEncoding = ENCODING_CODE_PAGE; // 0 code page, 1 UTF-8, 2 UTF-16 big-endian, 3 UTF-16 little-endian
    int32_t m_nCodePage = CODE_PAGE_UTF8;     // code page of encoding 0
    bool m_bUseImportNames = false;           // write the attributes under their import names
};

class KORVALIN_CLASS CTableFrame : public CTableObserver
{
public:
    // A frame with a new empty table named title; options: borrowed, the module's option set shared by all frames.
    CTableFrame(COptionSet& options, KStringView title);
    ~CTableFrame() override;
    CTableFrame(const CTableFrame&) = delete;
    CTableFrame& operator=(const CTableFrame&) = delete;

    // The table, owned by the frame; never null while the frame lives.
    CTable& GetTable() const { return *m_pTable; }
    // Whether the frame has a window (made by CreateNewTable with a parent window).
    bool HasWindow() const { return m_pWindow != nullptr; }
    // Gives the frame its window (owned; destroyed before the table).
    void SetWindow(std::unique_ptr<api::CFrameWindow> window);

    // ---- the host's callback object ----
    TableExport::TableCallback* GetCallback() const { return m_pCallback; }
    void SetCallback(TableExport::TableCallback* callback) { m_pCallback = callback; }
    // True while a host callback of this frame runs (the frame must not be destroyed or cleared then).
    bool IsInCallback() const { return m_nCallbackDepth > 0; }

    // ---- the change protocol ----
    // Marks the table modified and the frame changed: TableRefresh must make the table consistent.
    void MarkChanged();
    bool IsChanged() const { return m_bChanged; }
    // Marks a record for deletion; Refresh removes it from the table.
    void MarkRecordForDeletion(const CRecord* record) { m_recordsToDelete.AddTail(record); }
    bool IsMarkedForDeletion(const CRecord* record) const { return m_recordsToDelete.Find(record); }
    void ClearRecordsToDelete() { m_recordsToDelete.RemoveAll(); }
    // Asks the next Refresh to analyse the whole table again.
    void RequestReinitialize() { m_bReinitialize = true; }
    // Removes the records marked for deletion; when the frame is changed, gives missing fields the undefined value,
    // recounts qualified and shown records and re-sorts values (TableRefresh).
    void Refresh();

    // ---- making attributes ----
    // Makes an attribute of the kind (normal or header) and places it after predecessor (null or not in the table:
    // after the last attribute), indented like the predecessor, one deeper below a header, minus levelsToClose
    // (at least 0). The host hears of it only through AnnounceAttribute. Returns the attribute, owned by the table.
    CAttribute* MakeAttribute(AttributeType type, KStringView name, CAttribute* predecessor, long levelsToClose,
                              long expectedValues);
    // Undoes MakeAttribute for an attribute that could not be finished; the host hears nothing.
    void DiscardAttribute(CAttribute* attribute);
    // Tells the host of an attribute made by MakeAttribute.
    void AnnounceAttribute(CAttribute* attribute, CAttribute* predecessor);

    // ---- from the table (CTableObserver) ----
    void OnAttributeAdded(CAttribute* attribute) override;
    void OnAttributeDeleted(CAttribute* attribute) override;
    void OnAttributeMoved(CAttribute* attribute, CAttribute* neighbour) override;
    // Asks the host before an action (returns 1 when it vetoes) or tells it afterwards (returns 0).
    int OnEvent(KStringView eventName, KStringView className, KStringView commandText, long parameter,
                bool before) override;

    // ---- from the window layer and the engine's messages ----
    // Offers a message to the host as its error object (text, type: the buttons, code: the string resource's number);
    // returns the answer: the host's simulated user action when it cleared the report flag and the action is one of
    // the type's buttons, else defaultAnswer (this build has no message boxes).
    int ReportMessage(KStringView text, int type, int code, int defaultAnswer);
    // Key events; each returns the code the host left in the event.
    int KeyDown(int keyCode, int shift);
    int KeyUp(int keyCode, int shift);
    int KeyPress(int charCode);
    void ReportProgress(int percent);

    // ---- the interface's own settings ----
    CImportSettings& GetImportSettings() { return m_importSettings; }
    SExportSettings& GetExportSettings() { return m_exportSettings; }
    const KString& GetApplicationName() const { return m_strApplicationName; }
    void SetApplicationName(KStringView name) { m_strApplicationName = name; }
    const KString& GetWorkingDirectory() const { return m_strWorkingDirectory; }
    void SetWorkingDirectory(KStringView directory) { m_strWorkingDirectory = directory; }

private:
    // Runs a call into the host; an exception leaving it is swallowed and reported as false.
    template <class F> bool CallHost(F&& call);

    std::unique_ptr<CTable> m_pTable;                  // the hosted table, never null
    TableExport::TableCallback* m_pCallback = nullptr; // the host's object; borrowed, may be null
    int m_nCallbackDepth = 0;                          // host callbacks of this frame now running
    bool m_bChanged = false;                           // data changed since the last Refresh
    bool m_bReinitialize = false;                      // the next Refresh analyses the whole table
    bool m_bPlacingAttribute = false;                  // MakeAttribute runs: table events are not passed on
    CSet m_recordsToDelete;                            // records to drop at the next Refresh
    CImportSettings m_importSettings;                  // settings for the interface's import calls
    SExportSettings m_exportSettings;                  // settings for the interface's export calls
    KString m_strApplicationName;                      // the host's name for itself; may be empty
    KString m_strWorkingDirectory;                     // the host's working directory; may be empty
    int m_nLastPercent = -1;                           // the last progress told to the host (repeats are not)
    std::unique_ptr<api::CFrameWindow> m_pWindow;      // shows m_pTable; null without a window; goes first
};
