// The options dialog and the about box opened from the real main window.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <algorithm>
#include <thread>

#include "MainWindowFixture.h"
#include "ProgressWatcher.h"
#include "app/AboutDlg.h"
#include "app/OptionDlg.h"
#include "app/core/AudioScan.h"
#include "app/core/Settings.h"
#include "app/core/TaskBuilder.h"
#include "controls/ModalDriver.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TagTable.h"

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Chooses entry index in the list a label's mnemonic leads to, with the keys a user presses;
// false when the keys did not get there.
bool ChooseWithKeys(COption* dlg, Qt::Key mnemonic, int index) {
    QTest::keyClick(dlg, mnemonic, Qt::AltModifier);
    auto* list = qobject_cast<QComboBox*>(QApplication::focusWidget());
    if (!list)
        return false;
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    return list->currentIndex() == index;
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

    // A conversion started after OK writes what the dialog chose: decoded back, the MP3 has the
    // chosen bit rate in every frame, the channel mode, the rate and the source's length, and its
    // tag the chosen ID3 version. Each row starts from other settings than it chooses.
    void ConversionAfterOkUsesTheChoice_data() {
        QTest::addColumn<int>("sourceRate");
        QTest::addColumn<int>("sourceChannels");
        QTest::addColumn<int>("freqEntry");
        QTest::addColumn<int>("channelEntry");
        QTest::addColumn<int>("bitsEntry");
        QTest::addColumn<int>("id3Entry");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kbps");
        QTest::addColumn<int>("id3");
        QTest::newRow("48000 Hz stereo to 22050 Hz mono, 64 kbit/s, ID3v2.4")
            << 48000 << 2 << 5 << 1 << 7 << 1 << 22050 << 1 << 64 << 4;
        QTest::newRow("22050 Hz mono to 32000 Hz stereo, 160 kbit/s, ID3v2.3")
            << 22050 << 1 << 7 << 2 << 12 << 0 << 32000 << 2 << 160 << 3;
        // Below 32 kbit/s an 8000 Hz frame cannot hold the Info frame that makes the length
        // exact.
        QTest::newRow("44100 Hz stereo to 8000 Hz mono, 32 kbit/s, ID3v2.4")
            << 44100 << 2 << 1 << 1 << 3 << 1 << 8000 << 1 << 32 << 4;
    }
    void ConversionAfterOkUsesTheChoice() {
        QFETCH(int, sourceRate);
        QFETCH(int, sourceChannels);
        QFETCH(int, freqEntry);
        QFETCH(int, channelEntry);
        QFETCH(int, bitsEntry);
        QFETCH(int, id3Entry);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, kbps);
        QFETCH(int, id3);

        const QString sources = m_home->Path() + QStringLiteral("/in");
        const QString out = m_home->Path() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(sources));
        QVERIFY(QDir().mkpath(out));
        const QString source = sources + QStringLiteral("/song.ogg");
        fixtures::OggStream stream;
        stream.rate = uint32_t(sourceRate);
        stream.channels = uint32_t(sourceChannels);
        stream.frames = uint64_t(sourceRate) * 3 / 2 + 7;  // not a whole number of MP3 frames
        stream.tones = {fixtures::Tone{440.0, -12.0}};
        stream.comments = fixtures::TaggedComments();
        fixtures::WriteOgg(source.toStdString(), stream);

        // Settings other than the ones chosen below, as Config.ini holds them.
        QVERIFY(QDir().mkpath(m_home->ConfigFolder()));
        {
            QFile file(m_home->ConfigFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                QStringLiteral("[MP3]\nLameBits=%1\nLameChannel=%2\nFreq=%3\nId3Version=%4\n")
                    .arg(bitsEntry == 11 ? 13 : 11)
                    .arg(channelEntry == 0 ? 2 : 0)
                    .arg(freqEntry == 0 ? 8 : 0)
                    .arg(id3 == 3 ? 4 : 3)
                    .toUtf8());
        }
        OpenWindow w;
        QVERIFY(w.active);
        QVERIFY(w.Load({source}));
        QCOMPARE(w->List()->GetItemCount(), 1);

        ModalDriver<QFileDialog> pick([&](QFileDialog* chooser) {
            chooser->setDirectory(out);
            static_cast<QDialog*>(chooser)->accept();
        });
        bool chosen = false;
        ModalDriver<COption> ok([&](COption* dlg) {
            if (!QTest::qWaitForWindowActive(dlg))
                return dlg->reject();
            QTest::mouseClick(dlg->Control(IDC_BROWSE), Qt::LeftButton);
            if (!pick.Answered())
                return dlg->reject();
            // The headless platform leaves no window active after the chooser closes; a
            // desktop gives the activation back to the dialog.
            dlg->activateWindow();
            if (!QTest::qWaitForWindowActive(dlg))
                return dlg->reject();
            chosen = ChooseWithKeys(dlg, Qt::Key_F, freqEntry) &&
                     ChooseWithKeys(dlg, Qt::Key_C, channelEntry) &&
                     ChooseWithKeys(dlg, Qt::Key_B, bitsEntry) &&
                     ChooseWithKeys(dlg, Qt::Key_T, id3Entry);
            QTest::keyClick(dlg->focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(ok.Answered());
        QVERIFY(pick.Answered());
        QVERIFY(chosen);
        QCOMPARE(g_outputFolder, (out + QLatin1Char('/')).toStdString());

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        ProgressWatcher watcher;
        QTest::keyClick(w.window.get(), Qt::Key_F3);
        QVERIFY(watcher.shown > 0);
        QVERIFY2(watcher.finished, qPrintable(watcher.log.join(QLatin1Char('\n'))));
        QCOMPARE(watcher.log.count(QStringLiteral("Converting status: OK.")), 1);

        const std::string mp3 = (out + QStringLiteral("/song.mp3")).toStdString();
        fixtures::Mp3Info info;
        try {
            info = fixtures::DecodeMp3(mp3);
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        QCOMPARE(info.rate, long(rate));
        QCOMPARE(info.channels, channels);
        QVERIFY(info.IsConstantBitrate(kbps));
        const int mode = channels == 1 ? 3 : 0;  // mono, or plain stereo
        QVERIFY(!info.frameModes.empty());
        QVERIFY(std::all_of(info.frameModes.begin(), info.frameModes.end(),
                            [mode](int m) { return m == mode; }));
        // The Info frame gives the decoder the encoder's delay and padding to trim.
        QCOMPARE(QString::fromStdString(info.infoTag), QStringLiteral("Info"));
        const double expected = double(stream.frames) * rate / sourceRate;
        QVERIFY2(
            std::abs(double(info.frames) - expected) <= 1.0,
            qPrintable(QStringLiteral("%1 frames, %2 expected").arg(info.frames).arg(expected)));
        QCOMPARE(QString::fromStdString(fixtures::CheckCarriedTags(mp3, id3)), QString());
    }

    // The batch that starts after OK converts as many files at once as chosen and stops at the
    // first failure when asked to.
    void BatchAfterOkUsesTheChoice_data() {
        QTest::addColumn<int>("filesEntry");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<int>("filesAtOnce");
        QTest::newRow("three at once, stop at a failure") << 3 << true << 3;
        QTest::newRow("automatic, go on after a failure")
            << 0 << false << int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    }
    void BatchAfterOkUsesTheChoice() {
        QFETCH(int, filesEntry);
        QFETCH(bool, stop);
        QFETCH(int, filesAtOnce);
        const QString source = m_home->Path() + QStringLiteral("/tone.ogg");
        fixtures::OggStream stream;
        stream.frames = 4410;
        fixtures::WriteOgg(source.toStdString(), stream);
        OpenWindow w;
        QVERIFY(w.Load({source}));
        g_outputFolder = (m_home->Path() + QStringLiteral("/out/")).toStdString();
        // Settings other than the ones chosen.
        g_filesAtOnce = short(filesEntry == 1 ? 2 : 1);
        g_stopOnError = stop ? 0 : 1;
        bool chosen = false;
        ModalDriver<COption> ok([&](COption* dlg) {
            if (!QTest::qWaitForWindowActive(dlg))
                return dlg->reject();
            chosen = ChooseWithKeys(dlg, Qt::Key_A, filesEntry);
            auto* box = dlg->ControlAs<QCheckBox>(IDC_STOP_ON_ERROR);
            if (box->isChecked() != stop)
                QTest::keyClick(dlg, Qt::Key_S, Qt::AltModifier);
            chosen = chosen && QTest::qWaitFor([&] { return box->isChecked() == stop; });
            QTest::keyClick(dlg->focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(ok.Answered());
        QVERIFY(chosen);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        ProgressWatcher watcher;
        QTest::keyClick(w.window.get(), Qt::Key_F3);
        QVERIFY(watcher.shown > 0);
        QVERIFY2(watcher.finished, qPrintable(watcher.log.join(QLatin1Char('\n'))));
        QCOMPARE(watcher.filesAtOnce, filesAtOnce);
        QCOMPARE(watcher.stopOnError, stop);
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
    // No desktop bus: the notification of a finished batch must not reach the user's own.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    MainWindowOptionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "MainWindowOptionsTest.moc"
