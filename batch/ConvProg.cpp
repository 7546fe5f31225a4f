#include "batch/ConvProg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <ctime>

#include "app/core/ListTexts.h"
#include "app/core/Settings.h"
#include "batch/DesktopNotify.h"
#include "controls/PaletteColors.h"
#include "controls/UiMessageQueue.h"
#include "engine/Engine.h"
#include "platform/Tick.h"
#include "resources/DialogTemplates.h"

namespace {

// Ids of the window's controls.
constexpr int IDC_FILE_ETA = 1088;
constexpr int IDC_FILE_ELAPSED = 1087;
constexpr int IDC_BATCH_BAR = 1074;
constexpr int IDC_FILE_BAR = 1073;
constexpr int IDC_BATCH_ETA = 1091;
constexpr int IDC_BATCH_ELAPSED = 1086;
constexpr int IDC_LOG = 1003;
constexpr int IDC_FILE_PERCENT = 1080;
constexpr int IDC_BATCH_PERCENT = 1081;
constexpr int IDC_FILE_SPEED = 1082;
constexpr int IDC_BATCH_SPEED = 1083;
constexpr int IDC_SOURCE = 1092;
constexpr int IDC_DEST = 1093;
constexpr int IDC_CLEAR = 1096;
constexpr int IDC_PAUSE = 1075;
constexpr int IDC_CANCEL = 2;

constexpr int LOG_COLUMN_KIND = 0;
constexpr int LOG_COLUMN_NUMBER = 1;
constexpr int LOG_COLUMN_TIME = 2;
constexpr int LOG_COLUMN_TEXT = 3;

// How long Cancel waits for the threads to end before the window closes regardless. They see
// the cleared run flag within milliseconds; a thread stuck longer (a read from a sleeping
// disk) finishes on its own, holding everything it uses.
constexpr uint32_t STOP_WAIT_MS = 1000;

unsigned g_logRowCounter = 0;
unsigned g_progressMessageCounter = 0;

QString Printf(const char* format, auto... args) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return QString::fromUtf8(buffer);
}

QString Hms(double seconds) {
    return QString::fromStdString(FormatHms(seconds));
}

// Percent for display: at most 100, and nothing odd (NaN, negative) reaches a bar.
float ClampPercent(float percent) {
    if (!(percent > 0.0f))
        return 0.0f;
    return std::min(percent, 100.0f);
}

// Paints the log's rows in their kind's colour on alternating backgrounds, at paint time, so
// a palette change just works.
class LogRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const int kind = index.siblingAtColumn(LOG_COLUMN_KIND).data(Qt::UserRole).toInt();
        const LogRowColors colors = GetLogRowColors(option->palette, index.row(), kind);
        option->backgroundBrush = colors.background;
        option->palette.setColor(QPalette::Text, colors.text);
    }
};

}  // namespace

LogRowColors GetLogRowColors(const QPalette& palette, int row, int kind) {
    const bool odd = row % 2 != 0;
    const QColor fixedText = kind == LOG_ERROR ? QColor(255, 0, 0) : QColor(0, 0, 255);
    if (!IsDarkPalette(palette))
        return {odd ? QColor(243, 245, 252) : QColor(Qt::white), fixedText};
    // Dark: the odd rows take a touch of the highlight, the blue and red lighten until readable.
    const QColor base = palette.color(QPalette::Base);
    const QColor background =
        odd ? MixColors(base, palette.color(QPalette::Highlight), 0.12) : base;
    return {background, EnsureContrast(fixedText, background)};
}

CConvProg::CConvProg(QWidget* parent)
    : CResizeDlg(IDD_CONVPROG, parent),
      m_state(std::make_shared<CConversionState>()),
      m_outputFolder(QString::fromStdString(g_outputFolder)) {
    m_log = ControlAs<QTreeWidget>(IDC_LOG);
    m_fileBar = ControlAs<QProgressBar>(IDC_FILE_BAR);
    m_batchBar = ControlAs<QProgressBar>(IDC_BATCH_BAR);
    m_pauseButton = ControlAs<QPushButton>(IDC_PAUSE);
    m_cancelButton = ControlAs<QPushButton>(IDC_CANCEL);
    // No button answers Enter, so Enter never ends or pauses a batch by accident; Escape is
    // swallowed too, so the buttons take mnemonics for the keyboard.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    if (auto* clear = ControlAs<QPushButton>(IDC_CLEAR))
        clear->setText(QStringLiteral("C&lear"));
    m_pauseButton->setText(QStringLiteral("&Pause"));
    m_cancelButton->setText(QStringLiteral("&Cancel"));
    for (int id : {IDC_SOURCE, IDC_DEST}) {
        if (auto* label = ControlAs<QLabel>(id)) {
            label->setWordWrap(false);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
    }
}

CConvProg::~CConvProg() {
    if (m_port)
        m_port->Close();
    if (g_convProg == m_state.get())
        g_convProg = nullptr;
}

unsigned CConvProg::LogRowCounter() {
    return g_logRowCounter;
}

unsigned CConvProg::ProgressMessageCounter() {
    return g_progressMessageCounter;
}

bool CConvProg::OnInitDialog() {
    CResizeDlg::OnInitDialog();
    setWindowIcon(QGuiApplication::windowIcon());

    g_convProg = m_state.get();
    m_state->ResetCounters();  // paused and running cleared, every counter zero
    // Zero until the worker starts the batch and its first file; no times show before that.
    m_state->m_batchStartTick.store(0, std::memory_order_release);
    m_state->m_taskStartTick.store(0, std::memory_order_release);
    for (QProgressBar* bar : {m_fileBar, m_batchBar}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }

    m_log->setItemDelegate(new LogRowDelegate(m_log));
    m_log->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_log->setAllColumnsShowFocus(true);
    m_log->setUniformRowHeights(true);
    m_log->setHeaderLabels(
        {QString(), QStringLiteral("#"), QStringLiteral("Time"), QStringLiteral("Description")});
    QHeaderView* header = m_log->header();
    header->setSectionsMovable(true);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QTreeWidgetItem* headerItem = m_log->headerItem();
    headerItem->setTextAlignment(LOG_COLUMN_NUMBER, Qt::AlignCenter);
    headerItem->setTextAlignment(LOG_COLUMN_TIME, Qt::AlignCenter);
    // The first column holds only the row's kind.
    m_log->setColumnHidden(LOG_COLUMN_KIND, true);
    // The widths fit the texts in the desktop's font, never narrower than the classic ones.
    const QFontMetrics metrics(m_log->font());
    const int padding = 2 * metrics.averageCharWidth();
    m_log->setColumnWidth(
        LOG_COLUMN_NUMBER,
        std::max(55, metrics.horizontalAdvance(QStringLiteral("00000 ")) + padding));
    m_log->setColumnWidth(
        LOG_COLUMN_TIME,
        std::max(63, metrics.horizontalAdvance(QStringLiteral("00:00:00")) + padding));
    m_log->setColumnWidth(LOG_COLUMN_TEXT, 500);

    AddAnchor(1071, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_FIXED, 0);
    AddAnchor(1072, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_FIXED, 0);
    AddAnchor(1073, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_FIXED, 0);
    AddAnchor(1074, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_FIXED, 0);
    for (int id : {1096, 1075, 2})
        AddAnchor(id, ANCHOR_CENTER, ANCHOR_CENTER, ANCHOR_MOVE, ANCHOR_MOVE, 0, 1);
    for (int id : {1076, 1077, 1078, 1079, 1085, 1084, 1090, 1089})
        AddAnchor(id, ANCHOR_CENTER, ANCHOR_CENTER, ANCHOR_FIXED, ANCHOR_FIXED, 0, 1);
    AddAnchor(1080, ANCHOR_CENTER, ANCHOR_CENTER, ANCHOR_FIXED, ANCHOR_FIXED, ANCHOR_NO_ERASE, 1);
    for (int id : {1081, 1082, 1083, 1087, 1086, 1088, 1091})
        AddAnchor(id, ANCHOR_CENTER, ANCHOR_CENTER, ANCHOR_FIXED, ANCHOR_FIXED, 0, 1);
    for (int id : {1092, 1093})
        AddAnchor(id, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_FIXED, ANCHOR_FIXED, 0, 1);
    AddAnchor(IDC_LOG, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, 0, 1);

    m_ownPlacement.Restore(this, QString::fromLatin1(CONVPROG_PLACEMENT_KEY),
                           QStringLiteral("Position"));

    // Enter and Escape are swallowed wherever the focus is in this window.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    m_port = CWindowPort::Create(UiMessageQueue(),
                                 [this](Message& message) { return OnMessage(message); });
    m_state->m_window = m_port;
    m_port->Post(Message{WM_CONV_PROGRESS, 0, 0, ProgressPayload{0, 0}});
    m_state->m_running.store(1, std::memory_order_release);

    InitializeEngine();
    // The worker holds the state and the port, never the window: a worker that outlives the
    // window reaches a closed port, which drops what it sends.
    auto state = m_state;
    auto port = m_port;
    auto worker = CThread::Create([state, port] {
        state->RunBatch();
        port->Post(Message{WM_CONV_WORKER_ENDED, 0, 0, {}});
        return 0;
    });
    m_state->m_workerThread.Set(worker);
    worker->Resume();
    return true;
}

intptr_t CConvProg::OnMessage(Message& message) {
    switch (message.id) {
        case WM_CONV_PROGRESS:
            if (const auto* p = std::any_cast<ProgressPayload>(&message.payload))
                OnProgress(*p);
            return 0;
        case WM_CONV_LOG:
            if (const auto* text = std::any_cast<std::string>(&message.payload))
                AddLogRow(QString::fromStdString(*text), static_cast<int>(message.lParam));
            return 0;
        case WM_CONV_DONE:
            OnDone();
            return 0;
        case WM_CONV_WORKER_ENDED:
            OnWorkerEnded();
            return 0;
        case WM_CONV_START_TIMER:
            if (message.wParam == 1 && m_timer1 == 0)
                m_timer1 = startTimer(static_cast<int>(message.lParam));
            return 0;
        case WM_SETTEXT: {
            const auto* text = std::any_cast<std::string>(&message.payload);
            if (!text)
                return 0;
            const QString value = QString::fromStdString(*text);
            if (message.wParam == 0) {
                // The worker may name its next task just as Cancel took over the title.
                if (!m_aborting)
                    setWindowTitle(value);
            } else if (message.wParam == IDC_SOURCE || message.wParam == IDC_DEST) {
                SetPathText(static_cast<int>(message.wParam), value);
            } else if (auto* label = ControlAs<QLabel>(static_cast<int>(message.wParam))) {
                label->setText(value);
            }
            return 1;
        }
        default:
            return 0;
    }
}

void CConvProg::OnProgress(const ProgressPayload& progress) {
    if (!m_state->m_running.load(std::memory_order_acquire))
        return;
    ++g_progressMessageCounter;
    // With several files in flight the file block follows the earliest started one; every
    // report carries the batch's part.
    if (progress.leading) {
        m_fileShown = ClampPercent(progress.filePercent);
        m_fileSecondsDone = progress.fileSecondsDone;
        m_fileStartTick = progress.fileStartTick;
        ControlAs<QLabel>(IDC_FILE_PERCENT)
            ->setText(Printf("%5.2lf%%", static_cast<double>(m_fileShown)));
        m_fileBar->setValue(static_cast<int>(m_fileShown));
    }
    const float b = ClampPercent(progress.batchPercent);
    ControlAs<QLabel>(IDC_BATCH_PERCENT)->setText(Printf("%5.2lf%%", static_cast<double>(b)));
    m_batchBar->setValue(static_cast<int>(b));

    // Times need a started file and a started batch: the report the window posts itself at
    // its start has neither.
    const uint32_t batchStart = m_state->m_batchStartTick.load(std::memory_order_acquire);
    if (g_progressMessageCounter % 10 != 0 || m_fileStartTick == 0 || batchStart == 0)
        return;
    const uint32_t now = GetTickCount();
    const float fe = static_cast<float>(static_cast<uint32_t>(now - m_fileStartTick)) / 1000.0f;
    const float be = static_cast<float>(static_cast<uint32_t>(now - batchStart)) / 1000.0f;
    if (!(fe > 0.1f))
        return;
    const float f = m_fileShown;
    ControlAs<QLabel>(IDC_FILE_ELAPSED)->setText(Hms(fe));
    if (f > 0)
        ControlAs<QLabel>(IDC_FILE_ETA)->setText(Hms((100.0 - f) * fe / f));
    ControlAs<QLabel>(IDC_BATCH_ELAPSED)->setText(Hms(be));
    if (b > 0)
        ControlAs<QLabel>(IDC_BATCH_ETA)->setText(Hms((100.0 - b) * be / b));
    ControlAs<QLabel>(IDC_FILE_SPEED)
        ->setText(Printf(" %5.2fx", static_cast<double>(m_fileSecondsDone / fe)));
    if (be > 0)
        ControlAs<QLabel>(IDC_BATCH_SPEED)
            ->setText(
                Printf(" %5.2fx", static_cast<double>(m_state->m_batchSecondsDone.load() / be)));
}

void CConvProg::AddLogRow(const QString& text, int kind) {
    ++g_logRowCounter;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const bool haveTime = localtime_r(&now, &local) != nullptr;
    auto* item = new QTreeWidgetItem;
    item->setData(LOG_COLUMN_KIND, Qt::UserRole, kind);
    item->setText(LOG_COLUMN_NUMBER, Printf("%03u ", g_logRowCounter));
    item->setText(LOG_COLUMN_TIME,
                  haveTime ? Printf("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec)
                           : QStringLiteral("-1:-1:-1"));
    item->setText(LOG_COLUMN_TEXT, text);
    item->setToolTip(LOG_COLUMN_TEXT, text);
    item->setTextAlignment(LOG_COLUMN_NUMBER, Qt::AlignCenter);
    item->setTextAlignment(LOG_COLUMN_TIME, Qt::AlignCenter);
    m_log->addTopLevelItem(item);
    m_log->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void CConvProg::OnDone() {
    m_state->m_running.store(0, std::memory_order_release);
    m_finished = true;
    ControlAs<QLabel>(IDC_FILE_PERCENT)->setText(QStringLiteral("100.00%"));
    m_fileBar->setValue(100);
    ControlAs<QLabel>(IDC_FILE_ETA)->setText(QStringLiteral("00:00:00"));
    ControlAs<QLabel>(IDC_BATCH_PERCENT)->setText(QStringLiteral("100.00%"));
    m_batchBar->setValue(100);
    ControlAs<QLabel>(IDC_BATCH_ETA)->setText(QStringLiteral("00:00:00"));
    m_pauseButton->setEnabled(true);
    m_pauseButton->setText(QStringLiteral("&Open Dir"));
    m_cancelButton->setText(QStringLiteral("&Finish"));
    setWindowTitle(QStringLiteral("Finished Converting"));
    AddLogRow(QStringLiteral("Finished converting, all done."), LOG_INFO);
}

void CConvProg::OnWorkerEnded() {
    m_workerEnded = true;
    if (!m_aborting)
        NotifyIfInactive();
}

void CConvProg::NotifyIfInactive() {
    if (QApplication::activeWindow())
        return;
    const int total = static_cast<int>(m_state->m_tasks.size());
    const bool failed = AnyFailed();
    const QString summary = failed ? QStringLiteral("Converting finished with errors")
                                   : QStringLiteral("Converting finished");
    const int converted = ConvertedCount();
    QString body = total == 1
                       ? QStringLiteral("%1 of 1 file converted.").arg(converted)
                       : QStringLiteral("%1 of %2 files converted.").arg(converted).arg(total);
    if (failed) {
        const int failures = std::max(m_state->m_filesFailed.load(), 1);
        body += failures == 1 ? QStringLiteral(" 1 failed.")
                              : QStringLiteral(" %1 failed.").arg(failures);
    }
    NotifyDesktop(summary, body);
}

void CConvProg::OnCommand(int id) {
    switch (id) {
        case IDC_CLEAR:
            m_log->clear();
            break;
        case IDC_PAUSE:
            OnPauseButton();
            break;
        default:
            CResizeDlg::OnCommand(id);
            break;
    }
}

void CConvProg::OnPauseButton() {
    if (m_state->m_running.load(std::memory_order_acquire)) {
        const int paused = m_state->m_paused.load(std::memory_order_acquire) ? 0 : 1;
        m_state->m_paused.store(paused, std::memory_order_release);
        m_pauseButton->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_outputFolder));
    }
}

bool CConvProg::AskCancel() {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QStringLiteral("Do You Want to Cancel?"), QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setObjectName(QStringLiteral("cancelQuestion"));
    return box.exec() == QMessageBox::Yes;
}

void CConvProg::OnCancel() {
    // The question is open, or the window is already on its way out.
    if (m_asking || m_aborting)
        return;
    if (m_state->m_running.load(std::memory_order_acquire)) {
        // The batch rests while the question is open.
        const int wasPaused = m_state->m_paused.load(std::memory_order_acquire);
        m_state->m_paused.store(1, std::memory_order_release);
        m_asking = true;
        const bool yes = AskCancel();
        m_asking = false;
        if (!yes) {
            m_state->m_paused.store(wasPaused, std::memory_order_release);
            return;
        }
        // The batch may have ended while the question was open; then there is nothing to stop.
        if (m_state->m_running.load(std::memory_order_acquire)) {
            m_state->m_running.store(0, std::memory_order_release);
            m_aborting = true;
            m_pauseButton->setEnabled(false);
            m_cancelButton->setEnabled(false);
            setWindowTitle(QStringLiteral("Aborting, Please Wait..."));
            StopStageThreads();
        }
    }
    done(0);
}

// The stages see the cleared run flag at their next poll; the encode stage then finishes,
// closes and tags its MP3 and sends its last report. Meanwhile the window keeps its event
// loop turning (user input aside), so that report, the worker's synchronous texts and the
// title's repaint all go through. Nothing is ever killed.
void CConvProg::StopStageThreads() {
    // The worker returns once every file in flight has ended.
    const std::shared_ptr<CThread> worker = m_state->m_workerThread.Get();
    const uint32_t start = GetTickCount();
    while (worker && !worker->HasEnded() && GetTickCount() - start < STOP_WAIT_MS) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        UiMessageQueue().ProcessSent();
        worker->WaitFor(5);
    }
}

void CConvProg::OnDestroy() {
    CResizeDlg::OnDestroy();
    if (m_timer1) {
        killTimer(m_timer1);
        m_timer1 = 0;
    }
    m_ownPlacement.Save(this, QString::fromLatin1(CONVPROG_PLACEMENT_KEY),
                        QStringLiteral("Position"));
    // Whatever is still on its way to the window is dropped, and a waiting sender released.
    if (m_port)
        m_port->Close();
    if (g_convProg == m_state.get())
        g_convProg = nullptr;
}

bool CConvProg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return CResizeDlg::eventFilter(watched, event);
}

void CConvProg::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer1 || m_timer1 == 0) {
        CResizeDlg::timerEvent(event);
        return;
    }
    if (m_state->m_running.load(std::memory_order_acquire)) {
        m_log->resizeColumnToContents(LOG_COLUMN_TEXT);
    } else {
        killTimer(m_timer1);
        m_timer1 = 0;
    }
}

void CConvProg::SetPathText(int id, const QString& text) {
    (id == IDC_SOURCE ? m_sourceText : m_destText) = text;
    if (auto* label = ControlAs<QLabel>(id))
        label->setToolTip(text);
    ElidePaths();
}

// A long path shows its start and its file name, with the middle left out.
void CConvProg::ElidePaths() {
    for (int id : {IDC_SOURCE, IDC_DEST}) {
        auto* label = ControlAs<QLabel>(id);
        if (!label)
            continue;
        const QString& text = id == IDC_SOURCE ? m_sourceText : m_destText;
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
    }
}

void CConvProg::OnSize(SizeType type, int cx, int cy) {
    CResizeDlg::OnSize(type, cx, cy);
    ElidePaths();
}
