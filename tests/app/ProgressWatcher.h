#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include "batch/ConvProg.h"

// Watches for the progress window while a command runs it modally; once its batch has ended
// it keeps the log, the task sources and the batch settings and presses Finish (or, stuck,
// closes the window).
class ProgressWatcher {
public:
    ProgressWatcher() {
        m_clock.start();
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<CConvProg*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            ++shown;
            // The worker ends a moment before the window has handled its last messages; until
            // then the window still offers Cancel, which would ask first. So a window that is not
            // finished is given a while after its worker ended.
            if (dlg->m_state->m_workerThread.Get()->HasEnded() && !m_workerEnded.isValid())
                m_workerEnded.start();
            const bool ended =
                dlg->IsFinished() || (m_workerEnded.isValid() && m_workerEnded.elapsed() > 2000);
            if (!ended && m_clock.elapsed() < 60000)
                return;
            for (int i = 0; i < dlg->LogList()->topLevelItemCount(); ++i)
                log << dlg->LogList()->topLevelItem(i)->text(3);
            for (const CConversionTask& task : dlg->m_state->m_tasks)
                sources << QString::fromStdString(task.m_sourcePath);
            filesAtOnce = dlg->m_state->m_filesAtOnce;
            stopOnError = dlg->m_state->m_stopOnError;
            finished = dlg->IsFinished();
            m_poll.stop();
            dlg->ControlAs<QPushButton>(2)->click();
        });
        m_poll.start(20);
    }
    int shown = 0;
    bool finished = false;
    int filesAtOnce = -1;
    bool stopOnError = false;
    QStringList log;
    QStringList sources;

private:
    QTimer m_poll;
    QElapsedTimer m_clock;
    QElapsedTimer m_workerEnded;
};
