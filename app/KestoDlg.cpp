#include "app/KestoDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QToolBar>

#include <cstdio>
#include <cstdlib>

#include "app/Icons.h"
#include "app/Processing.h"
#include "controls/UiMessageQueue.h"
#include "app/core/ListTexts.h"
#include "app/core/Settings.h"
#include "controls/ListBusy.h"
#include "engine/ConversionTask.h"
#include "engine/Engine.h"
#include "platform/FileSystem.h"
#include "platform/Thread.h"

namespace {

struct ColumnSpec {
    const char* title;
    int format;
    int width;
};

const ColumnSpec kColumns[FILE_LIST_COLUMNS] = {
    {"Name", LVCFMT_LEFT, 150},           {"Path", LVCFMT_LEFT, 150},
    {"Type", LVCFMT_RIGHT, 65},           {"Size(MB)", LVCFMT_RIGHT, 85},
    {"Last Modified", LVCFMT_RIGHT, 120}, {"Duration", LVCFMT_RIGHT, 88},
    {"Frequency", LVCFMT_RIGHT, 96},      {"Channel", LVCFMT_RIGHT, 88},
};

constexpr int STATUS_BAR_HEIGHT = 25;
constexpr int LAYOUT_TIMER_MS = 1000;

DialogBuildOptions MainBuildOptions() {
    DialogBuildOptions options;
    options.factory = [](const DlgControl& control, QWidget* parent) -> QWidget* {
        if (control.id == IDC_FILE_LIST)
            return new CReportCtrl(parent);
        return nullptr;
    };
    return options;
}

}  // namespace

std::string EncoderInfoText(int outputType, int lameBits, int freq, int lameChannel) {
    if (lameBits < 0 || lameBits >= BITRATE_COUNT)
        lameBits = DEFAULT_LAME_BITS;
    if (freq < 0 || freq >= FREQ_COUNT)
        freq = DEFAULT_FREQ;
    std::string text = outputType == 2 ? "MP3:  " : "";
    char buffer[96];
    if (freq == 0)
        std::snprintf(buffer, sizeof buffer, "CBR %3d kbps; Automatic Frequency;",
                      g_bitrateTable[lameBits]);
    else
        std::snprintf(buffer, sizeof buffer, "CBR %3d kbps; %5u Hz;", g_bitrateTable[lameBits],
                      g_freqTable[freq]);
    text += buffer;
    switch (lameChannel) {
        case 0:
            text += " Automatic Channel;";
            break;
        case 1:
            text += " Mono;";
            break;
        case 2:
            text += " Stereo;";
            break;
        default:
            break;
    }
    return text;
}

CKestoDlg::CKestoDlg(QWidget* parent) : CResizeDlg(IDD_MAIN, parent, MainBuildOptions()) {
    m_list = ControlAs<CReportCtrl>(IDC_FILE_LIST);
    m_port = CWindowPort::Create(UiMessageQueue(),
                                 [this](Message& message) { return OnMessage(message); });
    m_rowTimer.setInterval(0);
    connect(&m_rowTimer, &QTimer::timeout, this, &CKestoDlg::AddPendingRows);
    m_layoutTimer.setSingleShot(true);
    connect(&m_layoutTimer, &QTimer::timeout, this, &CKestoDlg::RecalcLayout);
    m_summaryTimer.setSingleShot(true);
    connect(&m_summaryTimer, &QTimer::timeout, this, [this] {
        const QString summary =
            QString::fromStdString(SummaryText(m_fileCount, m_totalSizeMB, m_totalDuration));
        m_panes[0]->setText(summary);
        m_panes[0]->setToolTip(summary);
        m_statusBar->repaint();
    });
    m_exitProcess = [](int code) {
        std::fflush(nullptr);
        std::_Exit(code);
    };
    setWindowTitle(QString::fromLatin1(MAIN_TITLE));
}

CKestoDlg::~CKestoDlg() {
    // A load still running finishes on its own; its messages are dropped from here on.
    if (m_loadJob)
        m_loadJob->RequestStop();
    m_port->Close();
    // The image lists die with this object, before the base class takes the list down.
    if (m_list) {
        m_list->SetImageList(nullptr);
        m_list->SetHeaderImageList(nullptr);
    }
}

bool CKestoDlg::OnInitDialog() {
    CResizeDlg::OnInitDialog();

    const QIcon appIcon = ResourceIcon(IDI_APPLICATION_ICON);
    if (!appIcon.isNull())
        setWindowIcon(appIcon);

    m_processing = new CProcessing(this);
    m_processing->m_onCancel = [this] { CancelLoading(); };
    HideSizeGrip();
    m_closing = 0;

    SetUpConfiguration();

    if (!CreateStatusBar()) {
        ShowMessage(QStringLiteral("Failed to create status bar!"), QMessageBox::NoIcon);
        return true;
    }
    if (!CreateToolBar()) {
        ShowMessage(QStringLiteral("Failed to create toolbar!"), QMessageBox::NoIcon);
        return true;
    }
    m_barsCreated = true;
    BuildList();

    InitializeEngine();
    UpdateEncoderInfo();
    return true;
}

void CKestoDlg::SetUpConfiguration() {
    g_outputFolder = DefaultOutputFolder();
    g_configFolder = DefaultConfigFolder();
    if (!IsDirectory(g_configFolder) && !CreateDirectoryTree(g_configFolder)) {
        ShowMessage(QStringLiteral("Fail to create folder %1 !!")
                        .arg(QString::fromStdString(g_configFolder)),
                    QMessageBox::NoIcon);
    }
    const std::string configFile = ConfigFilePath();
    if (PathFileExists(configFile)) {
        LoadSettings();
    } else {
        // An empty file marks the first start; the defaults stay in force. When it cannot be
        // made the window still works: the settings are written, or reported, on closing.
        const int fd = ::open(configFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

bool CKestoDlg::CreateStatusBar() {
    m_statusBar = new QStatusBar(this);
    SetControlId(m_statusBar, IDC_STATUS_BAR);
    m_statusBar->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        m_panes[i] = new QLabel(m_statusBar);
        m_panes[i]->setTextFormat(Qt::PlainText);
        m_panes[i]->setMinimumWidth(STATUS_BAR_HEIGHT);
        m_statusBar->addWidget(m_panes[i], i == 2 ? 1 : 0);
    }
    m_panes[0]->setText(QStringLiteral("No file"));
    m_panes[0]->setToolTip(QStringLiteral("No file"));
    m_panes[1]->setText(QStringLiteral(" No file selected"));
    m_panes[1]->setToolTip(QStringLiteral("No file selected"));
    return true;
}

bool CKestoDlg::CreateToolBar() {
    m_toolBar = new QToolBar(this);
    SetControlId(m_toolBar, IDC_TOOLBAR);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(48, 48));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    struct Command {
        int id;
        const char* text;
        QKeySequence key;
        int icon;
        const char* tip;
    };
    const Command commands[] = {
        {ID_ADD_FILES, "&Add Files", QKeySequence(Qt::Key_F6), IDI_ADD_FILES,
         "Add audio files to the current file list"},
        {ID_CONVERT_ALL, "&Convert All", QKeySequence(Qt::Key_F3), IDI_CONVERT,
         "Convert the files in the list"},
        {ID_OPTIONS, "&Options", QKeySequence(Qt::CTRL | Qt::Key_O), IDI_OPTIONS,
         "Open the option dialog"},
        {ID_ABOUT, "A&bout", QKeySequence(), IDI_ABOUT, "About Quillon"},
        {ID_CONVERT_SELECTED, "Convert Selected", QKeySequence(Qt::SHIFT | Qt::Key_F3), 0, ""},
        {ID_OPEN, "Open", QKeySequence(), 0, ""},
        {ID_PROPERTIES, "Properties", QKeySequence(), 0, ""},
        {ID_RENAME, "Rename", QKeySequence(Qt::Key_F2), 0, ""},
        {ID_REMOVE, "Remove", QKeySequence(Qt::Key_Delete), 0, ""},
        {ID_SELECT_ALL, "Select All", QKeySequence(Qt::CTRL | Qt::Key_A), 0, ""},
    };
    for (const Command& c : commands) {
        auto* action = new QAction(QString::fromUtf8(c.text), this);
        action->setShortcut(c.key);
        action->setShortcutContext(Qt::WindowShortcut);
        if (c.icon != 0)
            action->setIcon(ResourceIcon(c.icon));
        if (c.tip[0] != '\0') {
            action->setToolTip(QString::fromUtf8(c.tip));
            action->setStatusTip(QString::fromUtf8(c.tip));
        }
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(action);
        m_actions[id] = action;
    }
    for (int id : {ID_ADD_FILES, ID_CONVERT_ALL, ID_OPTIONS, ID_ABOUT})
        m_toolBar->addAction(m_actions[id]);
    return true;
}

void CKestoDlg::BuildList() {
    m_busy = 0;
    AddAnchor(IDC_FILE_LIST, ANCHOR_FIXED, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_STRETCH);
    AddAnchor(IDC_STATUS_BAR, ANCHOR_FIXED, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_MOVE);

    m_list->SetExtendedStyle(0x10430);
    m_list->ApplyExplorerTheme();

    const auto layout = CReportCtrl::ReadColumnLayout(FILE_LIST_COLUMNS);
    for (int c = 0; c < FILE_LIST_COLUMNS; ++c) {
        const QString title = QString::fromLatin1(kColumns[c].title);
        // Defaults follow the desktop's font; a stored width is the user's own.
        const int width = layout ? (*layout)[static_cast<size_t>(c)].width
                                 : m_list->DefaultColumnWidth(title, kColumns[c].width);
        m_list->InsertColumn(c, title, kColumns[c].format, width);
    }
    if (layout)
        m_list->ApplyColumnVisibility(*layout);

    m_list->SetImageList(&m_fileIcons);
    for (int id : {IDI_SORT_NONE, IDI_SORT_ASCENDING, IDI_SORT_DESCENDING})
        m_headerIcons.Add(ResourceIcon(id));
    m_list->SetHeaderImageList(&m_headerIcons);
    m_list->SetSortable(true);
    m_list->ReadSortKeys();
    // The marks show the order the next load will be sorted in.
    if (!m_list->GetSortKeys().empty())
        SetHeaderImages(m_list->GetSortKeys().front().column,
                        m_list->GetSortKeys().front().ascending != 0);

    m_list->EnableEdit(true);
    m_list->AddEditableColumn(COL_NAME);
    m_list->ShowHints(true);
    // Rows are added at the end while a load runs; a sort would move them under its feet.
    m_list->SetClickSortGuard([this] { return !m_loading; });

    connect(m_list, &CReportCtrl::ListSorted, this, &CKestoDlg::OnListSorted);
    connect(m_list, &CReportCtrl::CellEdited, this, &CKestoDlg::OnCellEdited);
    connect(m_list, &CReportCtrl::RightClicked, this, &CKestoDlg::OnRightClick);
    connect(m_list, &CReportCtrl::DoubleClicked, this, &CKestoDlg::OnDoubleClick);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_busy && !g_listBusy.load())
            UpdateSelectionText();
    });
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);

    m_totalDuration = 0.0;
    m_totalSizeMB = 0.0;
    m_loaderThread.reset();
    m_fileCount = 0;

    RecalcLayout();

    bool restored = false;
    try {
        restored = m_placementStore.Restore(this, QString::fromLatin1(MAIN_PLACEMENT_KEY),
                                            QStringLiteral("Position"));
    } catch (...) {
        m_placementStore.Apply(this);
        restored = true;
    }
    if (!restored)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CKestoDlg::RecalcLayout() {
    if (!m_barsCreated)
        return;
    const int w = width();
    const int h = height();
    const int toolHeight = m_toolBar->sizeHint().height();
    m_toolBar->setGeometry(0, 0, w, toolHeight);
    m_toolBar->update();

    const int statusHeight = std::max(STATUS_BAR_HEIGHT, m_statusBar->sizeHint().height());
    m_statusBar->setGeometry(0, h - statusHeight, w, statusHeight);
    // Panes end at a quarter and at half of the bar; the last one takes the rest.
    const int first = static_cast<int>(w * 0.25);
    const int second = static_cast<int>(w * 0.5);
    const int spacing = m_statusBar->layout() ? m_statusBar->layout()->spacing() : 0;
    m_panes[0]->setFixedWidth(std::max(STATUS_BAR_HEIGHT, first - spacing));
    m_panes[1]->setFixedWidth(std::max(STATUS_BAR_HEIGHT, second - first - spacing));

    // The list fills the band between the bars, whatever height the desktop's font and
    // icons give the toolbar.
    const int margin = std::max(0, m_list->x());
    m_list->setGeometry(margin, toolHeight, std::max(0, w - 2 * margin),
                        std::max(0, h - statusHeight - toolHeight));
    AddAnchor(IDC_FILE_LIST, ANCHOR_FIXED, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_STRETCH);
    AddAnchor(IDC_STATUS_BAR, ANCHOR_FIXED, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_MOVE);
    m_statusBar->update();
    m_list->update();
}

void CKestoDlg::OnSize(SizeType type, int cx, int cy) {
    CResizeDlg::OnSize(type, cx, cy);
    // The status bar carries the grip; the dialog's own stays hidden.
    HideSizeGrip();
    if (type != SIZE_MINIMIZED)
        RecalcLayout();
}

void CKestoDlg::showEvent(QShowEvent* event) {
    CResizeDlg::showEvent(event);
    if (m_firstPaint) {
        m_firstPaint = false;
        RecalcLayout();
    }
}

void CKestoDlg::moveEvent(QMoveEvent* event) {
    CResizeDlg::moveEvent(event);
    if (!m_positioned && isVisible()) {
        m_positioned = true;
        m_layoutTimer.start(LAYOUT_TIMER_MS);
    }
}

void CKestoDlg::UpdateEncoderInfo() {
    if (!m_statusBar)
        return;
    const QString text =
        QStringLiteral("  ") +
        QString::fromStdString(EncoderInfoText(g_outputType, g_lameBits, g_freq, g_lameChannel));
    m_panes[2]->setText(text);
    m_panes[2]->setToolTip(text);
}

QString CKestoDlg::PaneText(int pane) const {
    return pane >= 0 && pane < 3 && m_panes[pane] ? m_panes[pane]->text() : QString();
}

QString CKestoDlg::PaneToolTip(int pane) const {
    return pane >= 0 && pane < 3 && m_panes[pane] ? m_panes[pane]->toolTip() : QString();
}

QAction* CKestoDlg::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CKestoDlg::keyPressEvent(QKeyEvent* event) {
    // Neither key closes or confirms anything in this window.
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            CResizeDlg::keyPressEvent(event);
    }
}

void CKestoDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    // A load keeps the window open: Cancel ends it first.
    if (m_loading)
        return;
    OnClose();
}

void CKestoDlg::OnClose() {
    if (m_closing)
        return;
    m_busy = 1;
    m_closing = 1;
    // The sample rings live until the process ends; nothing may use them after this point,
    // and ending the process releases them.
    SaveSettings();
    if (m_barsCreated) {
        m_placementStore.Save(this, QString::fromLatin1(MAIN_PLACEMENT_KEY),
                              QStringLiteral("Position"));
        m_list->WriteProfile();
    }
    done(QDialog::Accepted);
    m_exitProcess(1);
}

QMessageBox::StandardButton CKestoDlg::ShowMessage(const QString& text, QMessageBox::Icon icon,
                                                   QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromLatin1(MAIN_TITLE), text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

intptr_t CKestoDlg::OnMessage(Message& message) {
    switch (message.id) {
        case WM_LIST_ADD_ROW:
            if (auto* batch = std::any_cast<CLoadBatch>(&message.payload))
                OnRowsArrived(*batch);
            return 0;
        case WM_LIST_LOAD_DONE:
            if (auto* end = std::any_cast<CLoadEnd>(&message.payload))
                OnLoadEnded(*end);
            return 0;
        default:
            return 0;
    }
}
