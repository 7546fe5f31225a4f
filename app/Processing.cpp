#include "app/Processing.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QScreen>

#include "controls/ListBusy.h"

CProcessing::CProcessing(QWidget* owner) : CDialog(IDD_PROCESSING, owner) {
    setModal(false);
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &CProcessing::OnShowTimer);
}

bool CProcessing::OnInitDialog() {
    // A marquee: the number of files is not known while folders are still being searched.
    if (auto* bar = ControlAs<QProgressBar>(IDC_LOADING_PROGRESS)) {
        bar->setRange(0, 0);
        bar->setTextVisible(false);
    }
    return CDialog::OnInitDialog();
}

void CProcessing::BeginLoad() {
    InitDialog();
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->frameGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
    setWindowTitle(QString());
    m_showTimer.start(SHOW_DELAY_MS);
}

void CProcessing::EndLoad() {
    m_showTimer.stop();
    hide();
}

void CProcessing::OnShowTimer() {
    if (!isVisible())
        show();
}

void CProcessing::OnCommand(int id) {
    if (id == IDC_LOADING_CANCEL) {
        if (m_onCancel)
            m_onCancel();
        return;
    }
    CDialog::OnCommand(id);
}

void CProcessing::closeEvent(QCloseEvent* event) {
    if (m_onCancel)
        m_onCancel();
    CDialog::closeEvent(event);  // hides the window
}
