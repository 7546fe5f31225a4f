// The options dialog and the about box opened from the real main window.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "MainWindowFixture.h"
#include "app/AboutDlg.h"
#include "app/OptionDlg.h"
#include "app/core/AudioScan.h"
#include "app/core/Settings.h"
#include "app/core/TaskBuilder.h"
#include "controls/ModalDriver.h"
#include "tests/fixtures/OggFixtures.h"

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MainWindowOptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;

private Q_SLOTS:
    void init() { m_home = std::make_unique<IsolatedHome>(); }
    void cleanup() { m_home.reset(); }

    // Cancel rewrites the encoder description: a setting changed behind the window's back
    // shows up, and nothing the dialog's lists held is kept.
    void CtrlOCancelRewritesTheDescription() {
        OpenWindow w;
        QVERIFY(w.active);
        const QString before = w->PaneText(2);
        QVERIFY(before.contains(QStringLiteral("128 kbps")));
        g_lameBits = 16;
        ModalDriver<COption> cancel([](COption* dlg) {
            dlg->ControlAs<QComboBox>(IDC_BITRATE)->setCurrentIndex(2);
            dlg->ControlAs<QComboBox>(IDC_CHANNEL)->setCurrentIndex(1);
            dlg->ControlAs<QPushButton>(2)->click();
        });
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(cancel.Answered());
        QCOMPARE(g_lameBits, short(16));
        QCOMPARE(g_lameChannel, short(0));
        QVERIFY(w->PaneText(2).contains(QStringLiteral("320 kbps")));
        QCOMPARE(w->PaneText(2),
                 QString(before).replace(QStringLiteral("128"), QStringLiteral("320")));
    }

    void ToolbarOkShowsTheNewSettings() {
        OpenWindow w;
        QAction* options = w->Action(ID_OPTIONS);
        QVERIFY(w->ToolBar()->actions().contains(options));
        QVERIFY(options);
        ModalDriver<COption> ok([](COption* dlg) {
            dlg->ControlAs<QComboBox>(IDC_BITRATE)->setCurrentIndex(13);
            dlg->ControlAs<QComboBox>(IDC_CHANNEL)->setCurrentIndex(1);
            dlg->ControlAs<QComboBox>(IDC_FREQ)->setCurrentIndex(8);
            dlg->ControlAs<QPushButton>(1)->click();
        });
        options->trigger();
        QVERIFY(ok.Answered());
        QCOMPARE(w->PaneText(2), QStringLiteral("  MP3:  CBR 192 kbps; 44100 Hz; Mono;"));
    }

    // The task of the next conversion follows what OK stored: rate, channels and folder.
    void NextTaskFollowsOk() {
        QTemporaryDir files;
        const std::string source = (files.path() + QStringLiteral("/tone.ogg")).toStdString();
        fixtures::OggStream stream;
        stream.rate = 48000;
        stream.channels = 2;
        stream.frames = 48000;
        fixtures::WriteOgg(source, stream);
        CAudioFileItem item;
        CFileFacts facts;
        QVERIFY(ReadFileFacts(source, item, facts));
        QVERIFY(ScanFile(source, item) == ScanVerdict::Good);

        OpenWindow w;
        ModalDriver<QFileDialog> pick([&](QFileDialog* chooser) {
            chooser->setDirectory(files.path());
            static_cast<QDialog*>(chooser)->accept();
        });
        ModalDriver<COption> ok([](COption* dlg) {
            dlg->ControlAs<QComboBox>(IDC_FREQ)->setCurrentIndex(5);     // 22050 Hz
            dlg->ControlAs<QComboBox>(IDC_CHANNEL)->setCurrentIndex(1);  // mono
            dlg->ControlAs<QComboBox>(IDC_BITRATE)->setCurrentIndex(4);  // 40 kbit/s
            dlg->ControlAs<QPushButton>(IDC_BROWSE)->click();
            dlg->ControlAs<QPushButton>(1)->click();
        });
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(ok.Answered());
        QVERIFY(pick.Answered());
        CConversionTask task;
        QVERIFY(
            BuildConversionTask(facts.m_folder, facts.m_name, item, CurrentTaskSettings(), task));
        QCOMPARE(task.m_destRate, 22050u);
        QCOMPARE(task.m_destChannels, 1u);
        QCOMPARE(task.m_destPath, (files.path() + QStringLiteral("/tone.mp3")).toStdString());
        QCOMPARE(g_bitrateTable[g_lameBits], 40);
    }

    // Reset then Cancel: the defaults stay in force with no Config.ini, and closing the
    // window writes the file again.
    void ResetThenCancelThenClose() {
        QVERIFY(QDir().mkpath(m_home->ConfigFolder()));
        {
            QFile file(m_home->ConfigFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[MP3]\nLameBits=2\nLameChannel=2\nFreq=4\n");
        }
        OpenWindow w;
        QCOMPARE(g_lameBits, short(2));
        QString paneAfterReset;
        ModalDriver<COption> reset([&](COption* dlg) {
            SeenBox seen;
            auto yes = AnswerBox(&seen, QMessageBox::Yes);
            dlg->ControlAs<QPushButton>(IDC_RESET)->click();
            paneAfterReset = w->PaneText(2);
            dlg->ControlAs<QPushButton>(2)->click();
        });
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(reset.Answered());
        QCOMPARE(paneAfterReset,
                 QStringLiteral("  MP3:  CBR 128 kbps; Automatic Frequency; Automatic Channel;"));
        QCOMPARE(g_lameBits, DEFAULT_LAME_BITS);
        QCOMPARE(g_lameChannel, DEFAULT_LAME_CHANNEL);
        QCOMPARE(g_freq, DEFAULT_FREQ);
        QVERIFY(!QFile::exists(m_home->ConfigFile()));
        w->close();
        QCOMPARE(w.exits, 1);
        const QByteArray written = Contents(m_home->ConfigFile());
        QVERIFY(written.contains("LameBits=11"));
        QVERIFY(written.contains("LameChannel=0"));
        QVERIFY(written.contains("Freq=0"));
    }

    void ToolbarAboutOpensTheBox() {
        OpenWindow w;
        QAction* about = w->Action(ID_ABOUT);
        QVERIFY(w->ToolBar()->actions().contains(about));
        QVERIFY(about);
        QString title;
        ModalDriver<CAboutDlg> ok([&](CAboutDlg* dlg) {
            title = dlg->windowTitle();
            dlg->ControlAs<QPushButton>(1)->click();
        });
        about->trigger();
        QVERIFY(ok.Answered());
        QCOMPARE(title, QStringLiteral("About Quillon"));
    }
};

int main(int argc, char** argv) {
    // Before the application exists, so nothing looks at the real home.
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    MainWindowOptionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "MainWindowOptionsTest.moc"
