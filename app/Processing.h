#pragma once

#include <QTimer>

#include <functional>

#include "controls/Dialog.h"

class QProgressBar;

constexpr int IDC_LOADING_PROGRESS = 1054;
constexpr int IDC_LOADING_CANCEL = 3;

// The loading window: a marquee bar, the file being read in the caption, and Cancel. It shows
// only when a load lasts longer than half a second, and it is reused for every load.
class CProcessing : public CDialog {
    Q_OBJECT

public:
    explicit CProcessing(QWidget* owner);

    // Called for Cancel and for the window's close box.
    std::function<void()> m_onCancel;

    // Centres the window over its owner, clears the caption and arms the show timer.
    void BeginLoad();
    // Stops the show timer and hides the window.
    void EndLoad();
    bool ShowTimerActive() const { return m_showTimer.isActive(); }

    static constexpr int SHOW_DELAY_MS = 500;

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnShowTimer();

    QTimer m_showTimer;  // timer 1
};
