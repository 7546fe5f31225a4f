// The progress window driven through real batches of generated files: its log, progress
// blocks, Pause, the Cancel question, the stopped and finished states and the notification.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/core/AudioScan.h"
#include "app/core/TaskBuilder.h"
#include "batch/ConvProg.h"
#include "controls/PaletteColors.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"

namespace fs = std::filesystem;

namespace {

// The encoder's delay and padding plus one frame: how far an MP3 may differ in length.
constexpr double LENGTH_SLACK_FRAMES = 1152 + 1152 + 576;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Label(const CConvProg& dlg, int id) {
    return dlg.ControlAs<QLabel>(id)->text();
}

QPushButton* Button(const CConvProg& dlg, int id) {
    return dlg.ControlAs<QPushButton>(id);
}

// A button's caption as shown, without its mnemonic mark.
QString Caption(const CConvProg& dlg, int id) {
    return Button(dlg, id)->text().remove(QLatin1Char('&'));
}

QStringList LogTexts(const CConvProg& dlg) {
    QStringList texts;
    for (int i = 0; i < dlg.LogList()->topLevelItemCount(); ++i)
        texts << dlg.LogList()->topLevelItem(i)->text(3);
    return texts;
}

int LogKind(const CConvProg& dlg, int row) {
    return dlg.LogList()->topLevelItem(row)->data(0, Qt::UserRole).toInt();
}

// Answers the Cancel question with the given button as soon as it shows, while it lives.
class QuestionAnswerer {
public:
    explicit QuestionAnswerer(QMessageBox::StandardButton answer) {
        QObject::connect(&m_poll, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->objectName() != QStringLiteral("cancelQuestion"))
                return;
            ++asked;
            asPlatformWants = box->text() == QStringLiteral("Do You Want to Cancel?") &&
                              box->icon() == QMessageBox::NoIcon &&
                              box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
            m_poll.stop();
            box->button(answer)->click();
        });
        m_poll.start(10);
    }
    int asked = 0;
    bool asPlatformWants = false;

private:
    QTimer m_poll;
};

// Records the file URLs the window asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void Open(const QUrl& url) { opened << url; }
};

// A notification service of our own on the test's private session bus.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList bodies;
public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        summaries << summary;
        bodies << body;
        return static_cast<uint>(summaries.size());
    }
};

struct Source {
    std::string path;
    fixtures::OggStream spec;
};

}  // namespace

class ConvProgTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_root;
    Source m_short[3];
    Source m_long;
    std::string m_bad;
    UrlRecorder m_urls;

    std::string OutFolder(const char* name) { return m_root + "/" + name + "/"; }

    // A window whose batch holds the given files, built as the main window builds its batches;
    // a file that does not scan as good is left out, as a bad row is.
    std::unique_ptr<CConvProg> MakeWindow(const std::vector<std::string>& files,
                                          const std::string& outputFolder, int filesAtOnce = 2,
                                          bool stopOnError = false) {
        auto dlg = std::make_unique<CConvProg>();
        ApplyBatchSettings(*dlg->m_state);
        dlg->m_state->m_filesAtOnce = filesAtOnce;
        dlg->m_state->m_stopOnError = stopOnError;
        CTaskSettings settings;
        settings.m_outputFolder = outputFolder;
        for (const std::string& path : files) {
            CAudioFileItem item;
            CFileFacts facts;
            if (!ReadFileFacts(path, item, facts))
                continue;
            ScanFile(path, item);
            AppendConversionTask(*dlg->m_state, facts.m_folder, facts.m_name, item, settings);
        }
        dlg->m_outputFolder = Q(outputFolder);
        return dlg;
    }

    static void Open(CConvProg& dlg) {
        dlg.open();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }

    // Waits until the current file has made some progress.
    static void WaitUnderWay(CConvProg& dlg) {
        QTRY_VERIFY_WITH_TIMEOUT(dlg.m_state->m_batchSamplesDone.load() > 0 &&
                                     Label(dlg, 1080) != QStringLiteral(" 0.00%"),
                                 20000);
    }

    static void CheckMp3Length(const Source& source, const std::string& mp3Path,
                               uint32_t destRate) {
        const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(mp3Path);
        QCOMPARE(mp3.rate, static_cast<long>(destRate));
        const double expected =
            static_cast<double>(source.spec.frames) * destRate / source.spec.rate;
        QVERIFY2(
            std::abs(static_cast<double>(mp3.frames) - expected) <= LENGTH_SLACK_FRAMES,
            qPrintable(QStringLiteral("%1 frames, %2 expected").arg(mp3.frames).arg(expected)));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_root = m_dir.path().toStdString();
        fs::create_directories(m_root + "/in/a");
        // Different formats, short enough to convert in a moment.
        const uint32_t rates[3] = {44100, 22050, 48000};
        const uint32_t channels[3] = {2, 1, 2};
        const char* names[3] = {"in/one.ogg", "in/a/two.ogg", "in/three.ogg"};
        for (int i = 0; i < 3; ++i) {
            m_short[i].path = m_root + "/" + names[i];
            m_short[i].spec.rate = rates[i];
            m_short[i].spec.channels = channels[i];
            m_short[i].spec.frames = rates[i] * 3 / 2;
            m_short[i].spec.tones = {fixtures::Tone{440.0 * (i + 1), -10}};
            fixtures::WriteOgg(m_short[i].path, m_short[i].spec);
        }
        // Long enough to pause, ask and cancel in the middle of it.
        m_long.path = m_root + "/in/long.ogg";
        m_long.spec.frames = 44100 * 240;
        m_long.spec.tones = {fixtures::Tone{440, -10}};
        fixtures::WriteOgg(m_long.path, m_long.spec);
        m_bad = m_root + "/in/bad.ogg";
        fixtures::WriteTextFile(m_bad, "no Ogg at all");

        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "Open");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void init() { m_urls.opened.clear(); }

    void convertsEveryGoodFileInOrderAndFinishes() {
        const std::string out = OutFolder("out-all");
        auto dlg = MakeWindow({m_short[0].path, m_bad, m_short[1].path, m_short[2].path}, out);
        QCOMPARE(dlg->m_state->m_tasks.size(), size_t(3));
        const unsigned firstRow = CConvProg::LogRowCounter() + 1;
        QSignalSpy titles(dlg.get(), &QWidget::windowTitleChanged);
        Open(*dlg);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->IsFinished(), 60000);

        const QString separator(99, QLatin1Char('-'));
        QStringList expected;
        const std::string outs[3] = {out + "one.mp3", out + "two.mp3", out + "three.mp3"};
        for (int i = 0; i < 3; ++i)
            expected << separator << QStringLiteral("Start a new converting task.")
                     << Q("Source:  " + m_short[i].path + ".") << Q("Destination: " + outs[i] + ".")
                     << QStringLiteral("*") << QStringLiteral("Converting status: OK.");
        expected << separator << QStringLiteral("*")
                 << QStringLiteral("Finished converting, all done.");
        const QStringList log = LogTexts(*dlg);
        QCOMPARE(log.size(), expected.size());
        for (int i = 0; i < log.size(); ++i) {
            if (expected[i] == QStringLiteral("*"))
                QVERIFY2(log[i].startsWith(QStringLiteral("Time elapsed ")) ||
                             log[i].startsWith(QStringLiteral("Total time elapsed ")),
                         qPrintable(log[i]));
            else
                QCOMPARE(log[i], expected[i]);
            QCOMPARE(LogKind(*dlg, i), LOG_INFO);
            // Numbers follow on from earlier windows, three digits and a blank at least.
            QCOMPARE(dlg->LogList()->topLevelItem(i)->text(1),
                     QString::asprintf("%03u ", firstRow + i));
            QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                        .match(dlg->LogList()->topLevelItem(i)->text(2))
                        .hasMatch());
        }
        // The newest row is entirely in view, top to bottom.
        QTreeWidget* list = dlg->LogList();
        auto lastRow = [list] {
            return list->visualItemRect(list->topLevelItem(list->topLevelItemCount() - 1));
        };
        QTRY_VERIFY2(lastRow().top() >= 0 && lastRow().bottom() < list->viewport()->height(),
                     qPrintable(QStringLiteral("row at %1 to %2 in a view %3 high")
                                    .arg(lastRow().top())
                                    .arg(lastRow().bottom())
                                    .arg(list->viewport()->height())));
        QVERIFY(list->verticalScrollBar()->value() > 0);

        QVERIFY(titles.contains({QStringLiteral("Converting 1/3")}));
        QVERIFY(titles.contains({QStringLiteral("Converting 3/3")}));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Finished Converting"));
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Open Dir"));
        QVERIFY(Button(*dlg, 1075)->isEnabled());
        QCOMPARE(Caption(*dlg, 2), QStringLiteral("Finish"));
        for (int id : {1080, 1081})
            QCOMPARE(Label(*dlg, id), QStringLiteral("100.00%"));
        for (int id : {1088, 1091})
            QCOMPARE(Label(*dlg, id), QStringLiteral("00:00:00"));
        QCOMPARE(dlg->ControlAs<QProgressBar>(1073)->value(), 100);
        QCOMPARE(dlg->ControlAs<QProgressBar>(1074)->value(), 100);
        // The path labels show a file of the batch, in full as their tooltip.
        const QString shownDest = dlg->ControlAs<QLabel>(1093)->toolTip();
        QVERIFY2(shownDest == Q(outs[1]) || shownDest == Q(outs[2]), qPrintable(shownDest));
        QCOMPARE(dlg->ConvertedCount(), 3);
        QVERIFY(!dlg->AnyFailed());

        CheckMp3Length(m_short[0], outs[0], 44100);
        CheckMp3Length(m_short[1], outs[1], 22050);
        CheckMp3Length(m_short[2], outs[2], 44100);

        // Open Dir opens the output folder; Finish closes at once, with result 0.
        Button(*dlg, 1075)->click();
        QCOMPARE(m_urls.opened, QList<QUrl>{QUrl::fromLocalFile(Q(out))});
        QSignalSpy finished(dlg.get(), &QDialog::finished);
        Button(*dlg, 2)->click();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 0);
        QVERIFY(!dlg->isVisible());
        QVERIFY(g_convProg == nullptr);
        QSettings profile(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                          QCoreApplication::applicationName());
        QCOMPARE(
            profile.value(QStringLiteral("Position/") + QString::fromLatin1(CONVPROG_PLACEMENT_KEY))
                .toByteArray()
                .size(),
            44);
    }

    void pauseHoldsTheBatchAndResumeContinues() {
        auto dlg = MakeWindow({m_long.path}, OutFolder("out-pause"));
        Open(*dlg);
        WaitUnderWay(*dlg);
        QPushButton* pause = Button(*dlg, 1075);
        pause->click();
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Resume"));
        QCOMPARE(dlg->m_state->m_paused.load(), 1);
        // Let a report already on its way arrive, then nothing may move.
        QTest::qWait(250);
        const QString filePercent = Label(*dlg, 1080);
        const QString batchPercent = Label(*dlg, 1081);
        const uint64_t done = dlg->m_state->m_batchSamplesDone.load();
        const unsigned messages = CConvProg::ProgressMessageCounter();
        QTest::qWait(700);
        QCOMPARE(Label(*dlg, 1080), filePercent);
        QCOMPARE(Label(*dlg, 1081), batchPercent);
        QCOMPARE(dlg->m_state->m_batchSamplesDone.load(), done);
        QCOMPARE(CConvProg::ProgressMessageCounter(), messages);

        // Timer 1 has fitted the description column to its longest text meanwhile.
        QTreeWidget* list = dlg->LogList();
        int widest = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            widest = std::max(
                widest, list->fontMetrics().horizontalAdvance(list->topLevelItem(i)->text(3)));
        QVERIFY2(list->columnWidth(3) >= widest && list->columnWidth(3) < widest + 60,
                 qPrintable(QStringLiteral("%1 for %2").arg(list->columnWidth(3)).arg(widest)));

        // Clear empties the log; the numbering goes on.
        const unsigned lastNumber = CConvProg::LogRowCounter();
        Button(*dlg, 1096)->click();
        QCOMPARE(list->topLevelItemCount(), 0);
        dlg->AddLogRow(QStringLiteral("after clearing"), LOG_INFO);
        QCOMPARE(list->topLevelItem(0)->text(1), QString::asprintf("%03u ", lastNumber + 1));

        pause->click();
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Pause"));
        QTRY_VERIFY_WITH_TIMEOUT(dlg->m_state->m_batchSamplesDone.load() > done, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(Label(*dlg, 1080) != filePercent, 5000);

        // Percentages over 100 show as 100 with a full bar.
        dlg->m_state->m_window->Post(Message{WM_CONV_PROGRESS, 0, 0, ProgressPayload{180, 250}});
        QTRY_COMPARE(Label(*dlg, 1081), QStringLiteral("100.00%"));
        QCOMPARE(Label(*dlg, 1080), QStringLiteral("100.00%"));
        QCOMPARE(dlg->ControlAs<QProgressBar>(1074)->value(), 100);
        QCOMPARE(dlg->ControlAs<QProgressBar>(1073)->value(), 100);

        QuestionAnswerer yes(QMessageBox::Yes);
        Button(*dlg, 2)->click();
        QCOMPARE(yes.asked, 1);
        QVERIFY(!dlg->isVisible());
    }

    void noTimesBeforeTheBatchHasStarted() {
        auto dlg = MakeWindow({m_long.path}, OutFolder("out-early"));
        Open(*dlg);
        // Reports before the worker has started anything; one of them is a tenth.
        for (int i = 0; i < 10; ++i)
            dlg->m_state->m_window->Post(Message{WM_CONV_PROGRESS, 0, 0, ProgressPayload{0, 0}});
        QTest::qWait(50);
        QVERIFY(dlg->m_state->m_batchStartTick.load() == 0);
        for (int id : {1087, 1088, 1086, 1091})
            QCOMPARE(Label(*dlg, id), QStringLiteral("00:00:00"));
        for (int id : {1082, 1083})
            QCOMPARE(Label(*dlg, id), QStringLiteral("0.00x"));
        QuestionAnswerer yes(QMessageBox::Yes);
        dlg->close();
        QVERIFY(!dlg->isVisible());
    }

    void enterAndEscapeCloseNothing() {
        auto dlg = MakeWindow({m_long.path}, OutFolder("out-keys"));
        Open(*dlg);
        WaitUnderWay(*dlg);
        for (QWidget* target :
             {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(Button(*dlg, 2)),
              static_cast<QWidget*>(Button(*dlg, 1075)), static_cast<QWidget*>(dlg->LogList())}) {
            target->setFocus();
            for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(target, static_cast<Qt::Key>(key));
        }
        QTest::qWait(50);
        QVERIFY(dlg->isVisible());
        QVERIFY(QApplication::activeModalWidget() == nullptr ||
                QApplication::activeModalWidget() == dlg.get());
        QCOMPARE(dlg->m_state->m_paused.load(), 0);
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Pause"));

        // The buttons answer their mnemonics instead.
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QTest::keyClick(dlg.get(), Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(dlg->m_state->m_paused.load(), 1);
        QTest::keyClick(dlg.get(), Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(dlg->m_state->m_paused.load(), 0);

        // The close box asks the same question as Cancel.
        {
            QuestionAnswerer no(QMessageBox::No);
            dlg->close();
            QCOMPARE(no.asked, 1);
            QVERIFY(no.asPlatformWants);
        }
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->m_state->m_paused.load(), 0);
        QCOMPARE(dlg->m_state->m_running.load(), 1);

        QuestionAnswerer yes(QMessageBox::Yes);
        dlg->close();
        QCOMPARE(yes.asked, 1);
        QVERIFY(!dlg->isVisible());
    }

    void cancelNoKeepsThePauseAndYesStopsPromptly() {
        const std::string out = OutFolder("out-cancel");
        // One file at a time, so that the second one is still waiting at the cancel.
        auto dlg = MakeWindow({m_long.path, m_short[0].path}, out, 1);
        QSignalSpy titles(dlg.get(), &QWidget::windowTitleChanged);
        Open(*dlg);
        WaitUnderWay(*dlg);
        Button(*dlg, 1075)->click();  // paused
        {
            QuestionAnswerer no(QMessageBox::No);
            Button(*dlg, 2)->click();
            QCOMPARE(no.asked, 1);
        }
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->m_state->m_paused.load(), 1);
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Resume"));

        // The batch runs again, and the question pauses it while it is open.
        Button(*dlg, 1075)->click();
        QTest::qWait(200);
        std::shared_ptr<CThread> worker = dlg->m_state->m_workerThread.Get();
        QVERIFY(worker && !worker->HasEnded());
        int pausedWhileAsking = -1;
        QElapsedTimer closing;
        auto* poll = new QTimer(dlg.get());
        connect(poll, &QTimer::timeout, poll, [&, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            pausedWhileAsking = dlg->m_state->m_paused.load();
            closing.start();
            box->button(QMessageBox::Yes)->click();
            poll->stop();
        });
        poll->start(10);
        Button(*dlg, 2)->click();
        const qint64 closeMs = closing.elapsed();
        QCOMPARE(pausedWhileAsking, 1);
        QVERIFY(!dlg->isVisible());
        QVERIFY2(closeMs < 1000, qPrintable(QStringLiteral("closed after %1 ms").arg(closeMs)));
        QVERIFY(titles.contains({QStringLiteral("Aborting, Please Wait...")}));
        // Every thread ended on its own, nothing was killed: the worker returns only after the
        // file's stage threads have ended.
        QVERIFY(worker->HasEnded());
        qInfo("closed %lld ms after Yes", static_cast<long long>(closeMs));
        QCOMPARE(dlg->m_state->m_running.load(), 0);

        // The file in progress is a whole, tagged MP3; the next task never started.
        const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(out + "long.mp3");
        QCOMPARE(mp3.infoTag, std::string("Info"));
        QVERIFY(mp3.frames > 0);
        QVERIFY(mp3.frames < m_long.spec.frames);
        QVERIFY(mp3.IsConstantBitrate(128));
        QVERIFY(!fs::exists(out + "one.mp3"));
    }

    void folderThatCannotBeCreatedFailsItsFiles_data() {
        QTest::addColumn<bool>("stopOnError");
        QTest::newRow("stop on error: the batch stops") << true;
        QTest::newRow("the others go on: the batch finishes") << false;
    }

    void folderThatCannotBeCreatedFailsItsFiles() {
        QFETCH(bool, stopOnError);
        // A regular file stands where the output folder's parent should be.
        const std::string blocker = m_root + "/blocker";
        fixtures::WriteTextFile(blocker, "a file, not a folder");
        const std::string out = blocker + "/out/";
        auto dlg = MakeWindow({m_short[0].path, m_short[1].path}, out, 1, stopOnError);
        Open(*dlg);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->m_state->m_workerThread.Get()->HasEnded(), 20000);
        QTest::qWait(50);

        const QStringList log = LogTexts(*dlg);
        // The line names the folder and the system's reason.
        const QString failure = Q("Fail to create folder " + blocker + "/out (Not a directory) !");
        const int failureRow = static_cast<int>(log.indexOf(failure));
        QVERIFY2(failureRow >= 0, qPrintable(log.join(QLatin1Char('\n'))));
        QCOMPARE(LogKind(*dlg, failureRow), LOG_ERROR);
        QVERIFY(dlg->AnyFailed());
        QCOMPARE(dlg->ConvertedCount(), 0);

        // The red row on a light palette.
        QPalette light;
        light.setColor(QPalette::Base, Qt::white);
        const LogRowColors red = GetLogRowColors(light, 1, LOG_ERROR);
        QCOMPARE(red.text, QColor(255, 0, 0));
        QCOMPARE(red.background, QColor(243, 245, 252));

        if (!stopOnError) {
            // The batch's summary comes last, then the finished state's own line.
            QVERIFY(dlg->IsFinished());
            QCOMPARE(log.last(), QStringLiteral("Finished converting, all done."));
            QVERIFY(log.contains(QStringLiteral("0 of 2 files converted, 2 failed.")));
            QVERIFY(log.indexOf(QStringLiteral("0 of 2 files converted, 2 failed.")) >
                    log.lastIndexOf(failure));
            QCOMPARE(Caption(*dlg, 2), QStringLiteral("Finish"));
            Button(*dlg, 2)->click();
            QVERIFY(!dlg->isVisible());
            return;
        }
        QVERIFY(!dlg->IsFinished());
        QVERIFY(dlg->isVisible());
        QVERIFY(!log.contains(QStringLiteral("Finished converting, all done.")));
        QCOMPARE(LogKind(*dlg, static_cast<int>(log.size()) - 1), LOG_ERROR);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Converting 1/2"));
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Pause"));
        QCOMPARE(Caption(*dlg, 2), QStringLiteral("Cancel"));

        // "Pause" now opens the folder; Cancel closes without a question.
        Button(*dlg, 1075)->click();
        QCOMPARE(m_urls.opened, QList<QUrl>{QUrl::fromLocalFile(Q(out))});
        QCOMPARE(Caption(*dlg, 1075), QStringLiteral("Pause"));
        QuestionAnswerer no(QMessageBox::No);
        Button(*dlg, 2)->click();
        QCOMPARE(no.asked, 0);
        QVERIFY(!dlg->isVisible());
    }

    void logRowColours_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void logRowColours() {
        QFETCH(bool, dark);
        QPalette palette;
        if (dark) {
            palette.setColor(QPalette::Window, QColor(42, 42, 46));
            palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
            palette.setColor(QPalette::Base, QColor(30, 30, 34));
            palette.setColor(QPalette::Highlight, QColor(61, 174, 233));
        } else {
            palette.setColor(QPalette::Base, QColor(255, 255, 255));
        }
        const LogRowColors even = GetLogRowColors(palette, 0, LOG_INFO);
        const LogRowColors odd = GetLogRowColors(palette, 1, LOG_INFO);
        const LogRowColors error = GetLogRowColors(palette, 2, LOG_ERROR);
        QVERIFY(even.background != odd.background);
        QVERIFY(even.text != error.text);
        if (!dark) {
            QCOMPARE(even.background, QColor(255, 255, 255));
            QCOMPARE(odd.background, QColor(243, 245, 252));
            QCOMPARE(even.text, QColor(0, 0, 255));
            QCOMPARE(error.text, QColor(255, 0, 0));
            return;
        }
        // Readable on both backgrounds, blue stays blue and red stays red.
        for (const LogRowColors& c : {even, odd, error})
            QVERIFY2(ContrastRatio(c.text, c.background) >= 4.5,
                     qPrintable(c.text.name() + QStringLiteral(" on ") + c.background.name()));
        QVERIFY(even.text.blue() > even.text.red());
        QVERIFY(error.text.red() > error.text.blue());
        QVERIFY(odd.background.lightness() < 128);
    }

    void widerWindowStretchesTheLogAndBars() {
        auto dlg = MakeWindow({m_long.path}, OutFolder("out-size"));
        Open(*dlg);
        const int logWidth = dlg->LogList()->width();
        const int logHeight = dlg->LogList()->height();
        const int barWidth = dlg->ControlAs<QProgressBar>(1074)->width();
        QPushButton* cancel = Button(*dlg, 2);
        const double centre = (cancel->x() + cancel->width() / 2.0) / dlg->width();
        const int cancelTop = cancel->y();
        dlg->resize(dlg->width() + 100, dlg->height() + 50);
        QTRY_COMPARE(dlg->LogList()->width(), logWidth + 100);
        QCOMPARE(dlg->LogList()->height(), logHeight + 50);
        QCOMPARE(dlg->ControlAs<QProgressBar>(1074)->width(), barWidth + 100);
        QCOMPARE(cancel->y(), cancelTop + 50);
        QVERIFY(std::abs((cancel->x() + cancel->width() / 2.0) / dlg->width() - centre) < 0.01);
        QuestionAnswerer yes(QMessageBox::Yes);
        dlg->close();
        QVERIFY(!dlg->isVisible());
    }

    // Last: the session bus and the fake service stay for the rest of the process.
    void notifiesWhenTheBatchEndsInTheBackground() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());

        // No service on the bus: nothing fails, nothing hangs.
        {
            auto dlg = MakeWindow({m_short[1].path}, OutFolder("out-noservice"));
            Open(*dlg);
            QApplication::setActiveWindow(nullptr);
            QTRY_VERIFY_WITH_TIMEOUT(dlg->m_state->m_workerThread.Get()->HasEnded(), 20000);
            QTRY_VERIFY(dlg->IsFinished());
            Button(*dlg, 2)->click();
        }

        FakeNotifications service;
        const QString address = QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
        QDBusConnection serviceBus =
            QDBusConnection::connectToBus(address, QStringLiteral("fake-notifications"));
        QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                          &service, QDBusConnection::ExportAllSlots));

        struct Case {
            std::vector<std::string> files;
            std::string out;
            bool active;
            QString summary;
            QString body;
        };
        const std::string blocker = m_root + "/blocker2";
        fixtures::WriteTextFile(blocker, "a file, not a folder");
        const Case cases[] = {
            {{m_short[0].path, m_short[1].path},
             OutFolder("out-note"),
             false,
             QStringLiteral("Converting finished"),
             QStringLiteral("2 of 2 files converted.")},
            {{m_short[1].path},
             blocker + "/x/",
             false,
             QStringLiteral("Converting finished with errors"),
             QStringLiteral("0 of 1 file converted. 1 failed.")},
            {{m_short[1].path}, OutFolder("out-active"), true, QString(), QString()},
        };
        for (const Case& c : cases) {
            service.summaries.clear();
            service.bodies.clear();
            auto dlg = MakeWindow(c.files, c.out);
            Open(*dlg);
            if (c.active) {
                dlg->activateWindow();
                QTRY_VERIFY(QApplication::activeWindow() == dlg.get());
            } else {
                QApplication::setActiveWindow(nullptr);
                QVERIFY(QApplication::activeWindow() == nullptr);
            }
            QTRY_VERIFY_WITH_TIMEOUT(dlg->m_state->m_workerThread.Get()->HasEnded(), 20000);
            if (c.active) {
                QTest::qWait(300);
                QVERIFY(service.summaries.isEmpty());
            } else {
                QTRY_COMPARE(service.summaries, QStringList{c.summary});
                QCOMPARE(service.bodies, QStringList{c.body});
            }
            Button(*dlg, 2)->click();
            QVERIFY(!dlg->isVisible());
        }
        serviceBus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        serviceBus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    }
};

int main(int argc, char** argv) {
    // Before the application exists, so nothing it sets up looks at the real home or bus.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit().constData(),
           1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // A private session bus, so the notification goes to a service of the test's own.
    QProcess bus;
    bus.setProgram(QStringLiteral("dbus-daemon"));
    bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
    bus.start();
    if (!bus.waitForStarted(5000) || !bus.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start dbus-daemon\n");
        return 2;
    }
    const QByteArray address = bus.readLine().trimmed();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);

    QApplication app(argc, argv);
    ConvProgTest test;
    const int result = QTest::qExec(&test, argc, argv);
    bus.kill();
    bus.waitForFinished(2000);
    return result;
}

#include "ConvProgTest.moc"
