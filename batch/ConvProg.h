#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <cstdint>
#include <memory>

#include "batch/ConversionState.h"
#include "controls/PlacementStore.h"
#include "controls/ResizeDlg.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The worker tells the window that RunBatch has returned, whatever the outcome.
constexpr uint32_t WM_CONV_WORKER_ENDED = WM_USER + 110;

// The window's profile key, in the "Position" section beside the main window's.
inline constexpr char CONVPROG_PLACEMENT_KEY[] = "{104A7F6F-FFA3-4293-B808-9578D46FEC55}";

// Colours of a log row: the fixed blue and red on alternating white and pale blue rows for a
// light palette; for a dark one, derived from the palette with readable contrast.
struct LogRowColors {
    QColor background;
    QColor text;
};
LogRowColors GetLogRowColors(const QPalette& palette, int row, int kind);

// The modal window that runs one batch: two progress blocks, the current file's paths, a
// coloured log, Pause and Cancel, then Open Dir and Finish. Fill m_state's tasks and total,
// then exec(); the worker starts when the window initialises.
class CConvProg : public CResizeDlg {
    Q_OBJECT

public:
    explicit CConvProg(QWidget* parent = nullptr);
    ~CConvProg() override;

    // The batch, shared with the worker and the stage threads; a thread that outlives the
    // window keeps it alive.
    std::shared_ptr<CConversionState> m_state;
    // What Open Dir opens: the output folder when the window was made.
    QString m_outputFolder;

    // Appends one log row: the next number, the local time and the text, in the kind's colour.
    void AddLogRow(const QString& text, int kind);

    // Counters kept for the whole process: a new window or Clear never resets them.
    static unsigned LogRowCounter();
    static unsigned ProgressMessageCounter();

    QTreeWidget* LogList() const { return m_log; }
    bool IsFinished() const { return m_finished; }
    bool IsAborting() const { return m_aborting; }
    // Files the batch converted so far, and whether a file failed or the batch stopped short.
    int ConvertedCount() const { return m_state->m_filesConverted.load(); }
    bool AnyFailed() const {
        return m_state->m_filesFailed.load() > 0 || (m_workerEnded && !m_finished);
    }

protected:
    bool OnInitDialog() override;
    void OnSize(SizeType type, int cx, int cy) override;
    void OnCommand(int id) override;
    void OnCancel() override;
    void OnDestroy() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    intptr_t OnMessage(Message& message);
    void OnProgress(const ProgressPayload& progress);
    void OnDone();
    void OnWorkerEnded();
    void OnPauseButton();
    bool AskCancel();
    void StopStageThreads();
    void SetPathText(int id, const QString& text);
    void ElidePaths();
    void NotifyIfInactive();

    std::shared_ptr<CWindowPort> m_port;
    QTreeWidget* m_log = nullptr;
    QProgressBar* m_fileBar = nullptr;
    QProgressBar* m_batchBar = nullptr;
    QPushButton* m_pauseButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    CPlacementStore m_ownPlacement;
    int m_timer1 = 0;      // Qt's id of timer 1, 0 when it is not running
    QString m_sourceText;  // full texts of the path labels, which show them elided
    QString m_destText;
    bool m_finished = false;
    bool m_aborting = false;
    bool m_asking = false;
    bool m_workerEnded = false;
    // What the file block shows: the leading file's last report.
    float m_fileShown = 0;
    float m_fileSecondsDone = 0;
    uint32_t m_fileStartTick = 0;
};
