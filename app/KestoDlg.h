#pragma once

#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/FileLoader.h"
#include "controls/ReportCtrl.h"
#include "controls/ResizeDlg.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QUrl;
class CProcessing;
class CThread;

// Command ids of the main window.
constexpr int ID_ADD_FILES = 32861;
constexpr int ID_CONVERT_ALL = 32874;
constexpr int ID_CONVERT_SELECTED = 32873;
constexpr int ID_OPTIONS = 32875;
constexpr int ID_ABOUT = 32889;
constexpr int ID_OPEN = 32780;
constexpr int ID_PROPERTIES = 32855;
constexpr int ID_RENAME = 32853;
constexpr int ID_REMOVE = 32788;
constexpr int ID_SELECT_ALL = 32823;

// Control ids.
constexpr int IDC_FILE_LIST = 1003;
constexpr int IDC_TOOLBAR = 59392;
constexpr int IDC_STATUS_BAR = 59393;

// Columns of the file list.
enum FileListColumn {
    COL_NAME = 0,
    COL_PATH,
    COL_TYPE,
    COL_SIZE,
    COL_MODIFIED,
    COL_DURATION,
    COL_FREQUENCY,
    COL_CHANNEL,
    FILE_LIST_COLUMNS
};

// Profile entry of the main window's placement.
inline constexpr char MAIN_PLACEMENT_KEY[] = "{08498238-9FCE-4F3C-861C-BE77C5E25FD5}";
inline constexpr char MAIN_TITLE[] = "Quillon";
inline constexpr char LOADING_TITLE[] =
    "Loading files, this may takes up to minutes, please wait...";

// Status pane 2 without its two leading blanks: "MP3:  CBR 128 kbps; Automatic Frequency;
// Automatic Channel;". Indexes outside the tables count as their defaults.
std::string EncoderInfoText(int outputType, int lameBits, int freq, int lameChannel);

// The application's main window: a toolbar band, the file list and a three-pane status bar.
// It owns the list's rows and their records, the loading thread and the loading window.
class CKestoDlg : public CResizeDlg {
    Q_OBJECT

public:
    explicit CKestoDlg(QWidget* parent = nullptr);
    ~CKestoDlg() override;

    // Commands, also reachable by id.
    void OnCommand(int id) override;
    void OnAddFiles();
    // Convert All and Convert Selected: StartConversion over every row or the selected ones.
    virtual void OnConvertAll();
    virtual void OnConvertSelected();
    // Turns the good rows (all, or the selected ones) into a batch, in list order, and runs it
    // in the progress window. Nothing happens while the list is busy or when no row qualifies.
    void StartConversion(bool selectedOnly);
    // The options dialog and the about box; they do nothing here yet.
    virtual void OnOptions();
    virtual void OnAbout();
    void OnOpen();
    void OnProperties();
    void OnRename();
    void OnRemove();
    void OnSelectAll();

    // Adds the files as one load, as Add Files does after its dialog; with walkFolders a folder
    // is searched for *.ogg files. While a load runs, the paths wait for it to end. Relative
    // paths must have been made absolute by the caller.
    void LoadFiles(const QStringList& paths, bool walkFolders);
    // True from the start of a load until its final sort.
    bool IsLoading() const { return m_loading; }
    // True while the list must not be read for a conversion: a load, a removal, a sort.
    bool IsListBusy() const;
    // The running load's Cancel: no further file is added, and the load finishes as usual.
    void CancelLoading();
    // Brings the window to the front, restoring it from minimised.
    void Activate();

    void UpdateStatusText();
    void UpdateSelectionText();
    void UpdateEncoderInfo();
    void RecalcLayout();

    CReportCtrl* List() const { return m_list; }
    CProcessing* LoadingWindow() const { return m_processing; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QStatusBar* StatusBar() const { return m_statusBar; }
    QString PaneText(int pane) const;
    QString PaneToolTip(int pane) const;
    QAction* Action(int id) const;
    // The record behind a row, or null.
    CAudioFileItem* Record(int row) const;
    // The selected rows in list order.
    std::vector<int> SelectedRows() const;
    // The menu a right click on a row opens, built anew; the caller owns it.
    QMenu* CreateContextMenu();

    // Chooses the files of Add Files; the file-open dialog unless a test replaces it.
    std::function<QStringList()> m_chooseFiles;
    // Ends the process after the saving steps; std::_Exit unless a test replaces it.
    std::function<void(int)> m_exitProcess;
    // Opens a file or folder with the desktop's application for it; false when none took it.
    std::function<bool(const QUrl&)> m_openUrl;
    // Shows the desktop's properties window of a file; false when the desktop has none.
    std::function<bool(const QString&)> m_showProperties;
    // Sees each load's job before its thread starts (tests hold the thread at a chosen file).
    std::function<void(CLoadJob&)> m_prepareLoad;

    int m_busy = 0;
    int m_closing = 0;
    int m_fileCount = 0;
    double m_totalSizeMB = 0;
    double m_totalDuration = 0;

Q_SIGNALS:
    // A load has gone through its final sort; the list is free again.
    void LoadFinished();

protected:
    bool OnInitDialog() override;
    void OnSize(SizeType type, int cx, int cy) override;
    void OnCancel() override {}  // Escape closes nothing here
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Bars; false when one cannot be made, which ends the window's set-up.
    virtual bool CreateStatusBar();
    virtual bool CreateToolBar();
    // A message box over the window with the exact text; returns the button pressed.
    virtual QMessageBox::StandardButton ShowMessage(
        const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

private:
    void BuildList();
    void SetUpConfiguration();
    void OnClose();
    intptr_t OnMessage(Message& message);

    // Loading
    void StartLoad(std::vector<std::string> paths, bool walkFolders);
    void BeginLoading();
    void OnRowsArrived(CLoadBatch& batch);
    void OnLoadEnded(const CLoadEnd& end);
    void AddPendingRows();
    void FinishLoading();
    void AddFileRow(CLoadedFile& file);
    int IconIndex(const std::string& path, const std::string& extension);
    void DeleteRow(int row);

    void OnListSorted(int column, int ascending);
    void OnCellEdited(int row, int column, const QString& oldText);
    void OnRightClick(int row, const QPoint& globalPos);
    void OnDoubleClick(int row);
    void SetHeaderImages(int column, bool ascending);
    QString RowPath(int row) const;
    // The first selected row, for a command on one file; -1 when there is none (or no list yet).
    int CommandRow() const;
    bool OpenUrl(const QUrl& url);

    CReportCtrl* m_list = nullptr;
    QToolBar* m_toolBar = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_panes[3] = {nullptr, nullptr, nullptr};
    std::map<int, QAction*> m_actions;
    CImageList m_fileIcons;
    CImageList m_headerIcons;
    std::map<std::string, int> m_iconByExtension;
    QString m_renameOldName;
    int m_currentItem = -1;

    // One record per row, owned here; the list keeps only the pointer.
    std::unordered_map<const CAudioFileItem*, std::unique_ptr<CAudioFileItem>> m_records;

    std::shared_ptr<CWindowPort> m_port;
    CProcessing* m_processing = nullptr;
    std::shared_ptr<CLoadJob> m_loadJob;
    std::shared_ptr<CThread> m_loaderThread;
    unsigned m_loadSerial = 0;
    int m_runningLoads = 0;  // loading threads whose end has not arrived yet
    bool m_loading = false;
    bool m_loadFailed = false;
    std::deque<CLoadedFile> m_pendingRows;
    QTimer m_rowTimer;
    std::vector<std::pair<std::vector<std::string>, bool>> m_queuedLoads;

    QTimer m_layoutTimer;   // timer 1: one more layout a second after the first placement
    QTimer m_summaryTimer;  // timer 2: the summary after a load
    bool m_firstPaint = true;
    bool m_positioned = false;
    bool m_barsCreated = false;
};
