// The main window's file list driven through the real window: loads, cell texts, bad rows,
// status texts, cancel, rename, removal, keys and menus.
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "MainWindowFixture.h"
#include "app/Processing.h"
#include "app/core/ListTexts.h"
#include "controls/ListBusy.h"
#include "tests/fixtures/OggFixtures.h"

namespace {

fixtures::OggStream Stream(uint32_t rate, uint32_t channels, uint64_t frames) {
    fixtures::OggStream stream;
    stream.rate = rate;
    stream.channels = channels;
    stream.frames = frames;
    stream.tones = {fixtures::Tone{440.0, -12.0}};
    return stream;
}

QString SizeOf(const QString& path) {
    return QString::asprintf("%.2f", static_cast<double>(QFileInfo(path).size()) / 1048576.0);
}

QString ModifiedOf(const QString& path) {
    struct stat st {};
    ::stat(path.toLocal8Bit().constData(), &st);
    return Q(LastModifiedText(st.st_mtime));
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_files;
    QString File(const char* name) const { return m_files.filePath(QString::fromUtf8(name)); }
    std::unique_ptr<IsolatedHome> m_home;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_files.isValid());
        const auto write = [this](const char* name, const fixtures::OggStream& s) {
            fixtures::WriteOgg(File(name).toStdString(), s);
        };
        write("stereo48k.ogg", Stream(48000, 2, 523200));  // 10.9 s
        write("six.ogg", Stream(44100, 6, 88200));
        write("mono.ogg", Stream(22050, 1, 33075));
        write("short.ogg", Stream(44100, 2, 22050));  // half a second
        write("one.ogg", Stream(8000, 1, 60 * 8000));
        write("two.ogg", Stream(8000, 1, 120 * 8000));
        write("three.ogg", Stream(8000, 1, 180 * 8000));
        for (int i = 0; i < 10; ++i)
            write(QStringLiteral("ten%1.ogg").arg(i).toUtf8().constData(), Stream(8000, 1, 8000));
        // Bad files: an Ogg file under an MP3 name, a name without extension, text, a stub.
        QFile::copy(File("mono.ogg"), File("song.mp3"));
        QFile::copy(File("mono.ogg"), File("noextension"));
        fixtures::WriteTextFile(File("text.ogg").toStdString(), "not audio at all\n");
        fixtures::WriteTruncatedCopy(File("stereo48k.ogg").toStdString(),
                                     File("truncated.ogg").toStdString(), 3000);
    }

    void init() {
        m_home = std::make_unique<IsolatedHome>();
        g_listBusy.store(0);
    }
    void cleanup() { m_home.reset(); }

    void goodRowsShowTheirCells_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QString>("channel");
        QTest::newRow("48 kHz stereo, 10.9 s") << "stereo48k.ogg"
                                               << "00:00:10"
                                               << "48000 Hz"
                                               << "2 (Stereo)";
        QTest::newRow("six channels") << "six.ogg"
                                      << "00:00:02"
                                      << "44100 Hz"
                                      << "6";
        QTest::newRow("mono") << "mono.ogg"
                              << "00:00:01"
                              << "22050 Hz"
                              << "1 (Mono)";
        QTest::newRow("under a second stays good") << "short.ogg"
                                                   << ""
                                                   << "44100 Hz"
                                                   << "2 (Stereo)";
    }
    void goodRowsShowTheirCells() {
        QFETCH(QString, name);
        QFETCH(QString, duration);
        QFETCH(QString, frequency);
        QFETCH(QString, channel);
        OpenWindow w;
        const QString path = m_files.filePath(name);
        QVERIFY(w.Load({path}));
        CReportCtrl* list = w->List();
        QCOMPARE(list->GetItemCount(), 1);
        QCOMPARE(list->GetItemText(0, COL_NAME), name);
        QCOMPARE(list->GetItemText(0, COL_PATH), m_files.path() + QStringLiteral("/"));
        QCOMPARE(list->GetItemText(0, COL_TYPE), QStringLiteral("OGG"));
        QCOMPARE(list->GetItemText(0, COL_SIZE), SizeOf(path));
        QCOMPARE(list->GetItemText(0, COL_MODIFIED), ModifiedOf(path));
        QCOMPARE(list->GetItemText(0, COL_DURATION), duration);
        QCOMPARE(list->GetItemText(0, COL_FREQUENCY), frequency);
        QCOMPARE(list->GetItemText(0, COL_CHANNEL), channel);
        QCOMPARE(w->Record(0)->m_error, 0);
        QVERIFY(list->GetItemImage(0, COL_NAME) >= 0);
        QCOMPARE(w->m_fileCount, 1);
    }

    void badRowsAreMarked_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("MP3 name") << "song.mp3";
        QTest::newRow("no extension") << "noextension";
        QTest::newRow("text named .ogg") << "text.ogg";
        QTest::newRow("truncated Ogg") << "truncated.ogg";
    }
    void badRowsAreMarked() {
        QFETCH(QString, name);
        OpenWindow w;
        QVERIFY(w.Load({m_files.filePath(name), File("mono.ogg")}));
        CReportCtrl* list = w->List();
        QCOMPARE(list->GetItemCount(), 2);
        const int bad = w.Row(name);
        const int good = w.Row(QStringLiteral("mono.ogg"));
        QVERIFY(bad >= 0 && good >= 0);
        QCOMPARE(list->GetItemText(bad, COL_TYPE), QStringLiteral("Unknown"));
        QCOMPARE(list->GetItemTextColor(bad, COL_TYPE), RGB(255, 0, 0));
        QCOMPARE(list->GetItemBkColor(bad, COL_NAME), RGB(255, 225, 241));
        QVERIFY(list->GetItemBkColor(good, COL_NAME) != RGB(255, 225, 241));
        for (int c : {COL_DURATION, COL_FREQUENCY, COL_CHANNEL})
            QCOMPARE(list->GetItemText(bad, c), QString());
        QCOMPARE(list->GetItemText(bad, COL_SIZE), SizeOf(m_files.filePath(name)));
        QCOMPARE(w->Record(bad)->m_error, 1);
        // A bad row counts in the file count and size, never in the time.
        QCOMPARE(w->m_fileCount, 2);
        QCOMPARE(Q(FormatHms(w->m_totalDuration)), QStringLiteral("00:00:01"));
    }

    void summaryAddsUpAndListIsSorted() {
        OpenWindow w;
        const QStringList paths = {File("two.ogg"), File("three.ogg"), File("one.ogg")};
        QVERIFY(w.Load(paths));
        const double mb =
            (QFileInfo(paths[0]).size() + QFileInfo(paths[1]).size() + QFileInfo(paths[2]).size()) /
            1048576.0;
        const QString summary = QString::asprintf("3 file(s)   %.2f MB   00:06:00", mb);
        QCOMPARE(w->PaneText(0), summary);
        QCOMPARE(w->PaneToolTip(0), summary);
        QCOMPARE(w->PaneText(1), QStringLiteral(" No file selected"));
        QCOMPARE(w->PaneToolTip(1), QStringLiteral("No file selected"));
        // Sorted by name, ascending, with the header marks to say so.
        CReportCtrl* list = w->List();
        QCOMPARE(list->GetItemText(0, COL_NAME), QStringLiteral("one.ogg"));
        QCOMPARE(list->GetItemText(1, COL_NAME), QStringLiteral("three.ogg"));
        QCOMPARE(list->GetItemText(2, COL_NAME), QStringLiteral("two.ogg"));
        QCOMPARE(list->GetHeaderImage(COL_NAME), 1);
        QCOMPARE(list->GetHeaderImage(COL_SIZE), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon"));
        QVERIFY(list->viewport()->updatesEnabled());
        // Timer 2 writes the summary again.
        QTRY_COMPARE(w->PaneText(0), summary);

        // Two selected rows: one and two minutes.
        list->SetItemStates(0, RC_ITEM_SELECTED);
        list->SetItemStates(2, RC_ITEM_SELECTED);
        const double selectedMb =
            (QFileInfo(paths[0]).size() + QFileInfo(paths[2]).size()) / 1048576.0;
        QCOMPARE(w->PaneText(1),
                 QString::asprintf(" 2 file(s) selected, %.2f MB   00:03:00", selectedMb));
        // A header click sorts again and moves the marks.
        list->OnColumnClick(COL_NAME);
        QTRY_COMPARE(list->GetHeaderImage(COL_NAME), 2);
        QCOMPARE(list->GetItemText(0, COL_NAME), QStringLiteral("two.ogg"));
    }

    void loadingWindowShowsLateAndCancelStopsTheLoad() {
        OpenWindow w;
        std::atomic<bool> reached{false};
        std::atomic<bool> release{false};
        w->m_prepareLoad = [&](CLoadJob& job) {
            job.m_afterFile = [&](size_t done) {
                if (done == 2) {
                    reached = true;
                    while (!release)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            };
        };
        QStringList ten;
        for (int i = 0; i < 10; ++i)
            ten << File(QStringLiteral("ten%1.ogg").arg(i).toUtf8().constData());
        w->m_chooseFiles = [ten] { return ten; };
        QElapsedTimer sinceStart;
        sinceStart.start();
        QTest::keyClick(w.window.get(), Qt::Key_F6);
        QVERIFY(w->IsLoading());
        QTRY_VERIFY(reached.load());
        CProcessing* loading = w->LoadingWindow();
        QCOMPARE(w->windowTitle(), QString::fromLatin1(LOADING_TITLE));
        QVERIFY(w->IsListBusy());
        // Not before half a second, then with the file being read in its caption.
        if (sinceStart.elapsed() < 400)
            QVERIFY(!loading->isVisible());
        QTRY_VERIFY(loading->isVisible());
        QVERIFY(sinceStart.elapsed() >= CProcessing::SHOW_DELAY_MS);
        QVERIFY(loading->windowTitle().startsWith(QStringLiteral("Reading  ") + m_files.path()));
        QCOMPARE(loading->ControlAs<QProgressBar>(IDC_LOADING_PROGRESS)->maximum(), 0);
        // Removal and header sorts wait for the load.
        w->OnRemove();
        w->List()->OnColumnClick(COL_SIZE);
        QCOMPARE(w->List()->GetSortKeys().front().column, COL_NAME);

        QTest::mouseClick(loading->Control(IDC_LOADING_CANCEL), Qt::LeftButton);
        QCOMPARE(g_listBusy.load(), 1);
        release = true;
        QVERIFY(w.WaitIdle());
        QCOMPARE(w->List()->GetItemCount(), 2);
        QCOMPARE(w->m_fileCount, 2);
        QVERIFY(!loading->isVisible());
        QCOMPARE(g_listBusy.load(), 0);
        QVERIFY(!w->IsListBusy());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon"));
        QCOMPARE(w->PaneText(0).left(10), QStringLiteral("2 file(s) "));
    }

    void newAddFilesStopsTheRunningLoad() {
        OpenWindow w;
        std::atomic<bool> reached{false};
        std::atomic<bool> release{false};
        w->m_prepareLoad = [&](CLoadJob& job) {
            job.m_afterFile = [&](size_t done) {
                if (done == 1) {
                    reached = true;
                    while (!release)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            };
        };
        QStringList ten;
        for (int i = 0; i < 10; ++i)
            ten << File(QStringLiteral("ten%1.ogg").arg(i).toUtf8().constData());
        w->m_chooseFiles = [ten] { return ten; };
        w->OnAddFiles();
        QTRY_VERIFY(reached.load());
        // The second Add Files returns at once although the first thread is still held.
        w->m_prepareLoad = nullptr;
        QElapsedTimer timer;
        timer.start();
        w->m_chooseFiles = [this] { return QStringList{File("mono.ogg")}; };
        w->OnAddFiles();
        QVERIFY(timer.elapsed() < 400);
        release = true;
        QVERIFY(w.WaitIdle());
        // The first load kept its first file, the second one added its own.
        QCOMPARE(w->List()->GetItemCount(), 2);
        QVERIFY(w.Row(QStringLiteral("mono.ogg")) >= 0);
        QVERIFY(w.Row(QStringLiteral("ten0.ogg")) >= 0);
    }

    void failingLoadReportsAndFinishes() {
        OpenWindow w;
        BoxAnswerer boxes;
        w->m_prepareLoad = [](CLoadJob& job) {
            job.m_afterFile = [](size_t done) {
                if (done == 2)
                    throw std::runtime_error("disk gone");
            };
        };
        QVERIFY(w.Load({File("one.ogg"), File("two.ogg"), File("three.ogg")}));
        QCOMPARE(boxes.m_texts,
                 QStringList{QStringLiteral("An Error Occurred While Loading Files!")});
        QCOMPARE(boxes.m_icons.value(0), QMessageBox::Critical);
        QCOMPARE(w->List()->GetItemCount(), 2);
        QVERIFY(!w->IsListBusy());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon"));
    }

    void missingChoiceGetsNoRow() {
        OpenWindow w;
        QVERIFY(w.Load({File("gone.ogg"), File("mono.ogg")}));
        QCOMPARE(w->List()->GetItemCount(), 1);
        QCOMPARE(w->m_fileCount, 1);
    }

    void renameMovesTheFileOnDisk_data() {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("free name") << "b.ogg" << true;
        QTest::newRow("name of another file") << "other.ogg" << false;
        QTest::newRow("into a subfolder") << "sub/b.ogg" << false;
        QTest::newRow("parent folder") << ".." << false;
    }
    void renameMovesTheFileOnDisk() {
        QFETCH(QString, newName);
        QFETCH(bool, succeeds);
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.ogg"));
        const QString other = dir.filePath(QStringLiteral("other.ogg"));
        QVERIFY(QFile::copy(File("mono.ogg"), a));
        QVERIFY(QFile::copy(File("six.ogg"), other));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QByteArray aBytes = Contents(a);
        const QByteArray otherBytes = Contents(other);

        OpenWindow w;
        BoxAnswerer boxes;
        QVERIFY(w.Load({a}));
        w->List()->SetItemStates(0, RC_ITEM_SELECTED | RC_ITEM_FOCUSED);
        QTest::keyClick(w.window.get(), Qt::Key_F2);
        QLineEdit* editor = w->List()->GetEditor();
        QVERIFY(w->List()->IsEditing());
        QCOMPARE(editor->text(), QStringLiteral("a.ogg"));
        editor->setText(newName);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!w->List()->IsEditing());

        if (succeeds) {
            QVERIFY(boxes.m_texts.isEmpty());
            QCOMPARE(w->List()->GetItemText(0, COL_NAME), newName);
            QVERIFY(!QFile::exists(a));
            QCOMPARE(Contents(dir.filePath(newName)), aBytes);
        } else {
            QTRY_COMPARE(boxes.m_texts, QStringList{QStringLiteral("Fail to Rename File!")});
            QCOMPARE(w->List()->GetItemText(0, COL_NAME), QStringLiteral("a.ogg"));
            QCOMPARE(Contents(a), aBytes);
        }
        // The other file is never touched, and nothing else of the row changes.
        QCOMPARE(Contents(other), otherBytes);
        QCOMPARE(w->List()->GetItemText(0, COL_TYPE), QStringLiteral("OGG"));
        QCOMPARE(w->m_fileCount, 1);
    }

    void deleteInTheNameEditorEditsTheName() {
        OpenWindow w;
        QVERIFY(w.Load({File("mono.ogg"), File("six.ogg")}));
        w->List()->SetItemStates(0, RC_ITEM_SELECTED | RC_ITEM_FOCUSED);
        QTest::keyClick(w.window.get(), Qt::Key_F2);
        QLineEdit* editor = w->List()->GetEditor();
        QVERIFY(w->List()->IsEditing());
        editor->setFocus();
        editor->setCursorPosition(0);
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(editor->text(), QStringLiteral("ono.ogg"));
        QCOMPARE(w->List()->GetItemCount(), 2);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!w->List()->IsEditing());
        QCOMPARE(w->List()->GetItemText(0, COL_NAME), QStringLiteral("mono.ogg"));
        QCOMPARE(w.exits, 0);
    }

    void removeAndSelectAllKeepTheTotals() {
        OpenWindow w;
        QVERIFY(w.Load({File("one.ogg"), File("two.ogg"), File("three.ogg"), File("text.ogg")}));
        CReportCtrl* list = w->List();
        const int one = w.Row(QStringLiteral("one.ogg"));
        const int bad = w.Row(QStringLiteral("text.ogg"));
        list->SetItemStates(one, RC_ITEM_SELECTED);
        list->SetItemStates(bad, RC_ITEM_SELECTED);
        QTest::keyClick(w.window.get(), Qt::Key_Delete);
        QCOMPARE(list->GetItemCount(), 2);
        QCOMPARE(w->m_fileCount, 2);
        const double mb =
            (QFileInfo(File("two.ogg")).size() + QFileInfo(File("three.ogg")).size()) / 1048576.0;
        QCOMPARE(w->PaneText(0), QString::asprintf("2 file(s)   %.2f MB   00:05:00", mb));
        QCOMPARE(w->PaneText(1), QStringLiteral(" No file selected"));

        QTest::keyClick(w.window.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->GetItemCount(RC_ITEM_SELECTED), 2);
        QCOMPARE(w->PaneText(1), QString::asprintf(" 2 file(s) selected, %.2f MB   00:05:00", mb));
        w->OnRemove();
        QCOMPARE(list->GetItemCount(), 0);
        QCOMPARE(w->PaneText(0), QStringLiteral("No file"));
        QCOMPARE(w->PaneText(1), QStringLiteral(" No file selected"));
        QCOMPARE(w->m_totalSizeMB, 0.0);
        QCOMPARE(w->m_totalDuration, 0.0);
    }

    void openAsksToRemoveAMissingFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vanishing.ogg"));
        QVERIFY(QFile::copy(File("mono.ogg"), path));
        OpenWindow w;
        QVERIFY(w.Load({path, File("six.ogg")}));
        const int row = w.Row(QStringLiteral("vanishing.ogg"));

        // Present: handed to the desktop; no application for it: the warning.
        w->List()->SetItemStates(row, RC_ITEM_SELECTED);
        w->OnOpen();
        QCOMPARE(w.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
        w.openResult = false;
        {
            BoxAnswerer boxes;
            w->OnOpen();
            QCOMPARE(
                boxes.m_texts,
                QStringList{QStringLiteral(
                    "There is no application associated with the given file name extension.")});
            QCOMPARE(boxes.m_icons.value(0), QMessageBox::Warning);
        }

        QVERIFY(QFile::remove(path));
        {
            BoxAnswerer no(QMessageBox::No);
            w->OnOpen();
            QCOMPARE(no.m_texts,
                     QStringList{QStringLiteral("File NOT Found!  Remove It from the List?")});
            QCOMPARE(w->List()->GetItemCount(), 2);
        }
        {
            BoxAnswerer yes(QMessageBox::Yes);
            w->OnOpen();
            QCOMPARE(yes.m_texts.size(), 1);
        }
        QCOMPARE(w->List()->GetItemCount(), 1);
        QCOMPARE(w->m_fileCount, 1);
        QVERIFY(w->PaneText(0).startsWith(QStringLiteral("1 file(s)   ")));
        QVERIFY(w->PaneText(0).endsWith(QStringLiteral("00:00:02")));

        // Properties go to the desktop for the selected row's file.
        w->List()->SetItemStates(0, RC_ITEM_SELECTED);
        w->OnProperties();
        QCOMPARE(w.properties, QStringList{File("six.ogg")});
    }

    void commandsWithoutSelectionDoNothing() {
        OpenWindow w;
        BoxAnswerer boxes;
        QVERIFY(w.Load({File("mono.ogg")}));
        w->OnOpen();
        w->OnProperties();
        w->OnRename();
        w->OnRemove();
        QVERIFY(boxes.m_texts.isEmpty());
        QVERIFY(w.opened.isEmpty() && w.properties.isEmpty());
        QVERIFY(!w->List()->IsEditing());
        QCOMPARE(w->List()->GetItemCount(), 1);
    }

    void keysAndToolbar() {
        OpenWindow w;
        int chosen = 0;
        w->m_chooseFiles = [&chosen] {
            ++chosen;
            return QStringList();
        };
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(w.window.get(), key);
        QVERIFY(w->isVisible());
        QCOMPARE(w.exits, 0);
        QTest::keyClick(w.window.get(), Qt::Key_F6);
        QCOMPARE(chosen, 1);

        // Four 48-pixel buttons with their hints; the other commands are keys and menu items.
        QToolBar* bar = w->ToolBar();
        QCOMPARE(bar->iconSize(), QSize(48, 48));
        const QList<QAction*> buttons = bar->actions();
        QCOMPARE(buttons.size(), 4);
        const QStringList tips = {QStringLiteral("Add audio files to the current file list"),
                                  QStringLiteral("Convert the files in the list"),
                                  QStringLiteral("Open the option dialog"),
                                  QStringLiteral("About Quillon")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(buttons[i]->toolTip(), tips[i]);
            QVERIFY(!buttons[i]->icon().isNull());
            QVERIFY(!buttons[i]->icon().pixmap(QSize(48, 48), 2.0).isNull());
        }
        QCOMPARE(w->Action(ID_CONVERT_ALL)->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(w->Action(ID_CONVERT_SELECTED)->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
        QCOMPARE(w->Action(ID_OPTIONS)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        bar->widgetForAction(buttons[0])->setFocus();
        QTest::mouseClick(bar->widgetForAction(buttons[0]), Qt::LeftButton);
        QCOMPARE(chosen, 2);
    }

    void contextMenuOnRowsOnly() {
        OpenWindow w;
        QVERIFY(w.Load({File("mono.ogg")}));
        std::unique_ptr<QMenu> menu(w->CreateContextMenu());
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("Convert Selected"));
        QCOMPARE(items[0]->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
        QCOMPARE(menu->defaultAction(), items[0]);
        QCOMPARE(items[1]->text(), QStringLiteral("Open"));
        QCOMPARE(items[2]->text(), QStringLiteral("Properties"));

        CReportCtrl* list = w->List();
        const QPoint below(20, list->viewport()->height() - 5);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, below);
        QVERIFY(QApplication::activePopupWidget() == nullptr);
        const QPoint onRow = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onRow);
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(shown->actions().size(), 3);
        QVERIFY(shown->defaultAction() == w->Action(ID_CONVERT_SELECTED));
        shown->close();
    }

    void encoderInfoText_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("text");
        QTest::newRow("defaults") << 11 << 0 << 0
                                  << "MP3:  CBR 128 kbps; Automatic Frequency; Automatic Channel;";
        QTest::newRow("8 kbps 44100 mono") << 0 << 8 << 1 << "MP3:  CBR   8 kbps; 44100 Hz; Mono;";
        QTest::newRow("320 kbps 8000 stereo")
            << 16 << 1 << 2 << "MP3:  CBR 320 kbps;  8000 Hz; Stereo;";
        QTest::newRow("unknown channel mode")
            << 11 << 0 << 7 << "MP3:  CBR 128 kbps; Automatic Frequency;";
        QTest::newRow("indexes off the tables") << 40 << -3 << 0
                                                << "MP3:  CBR 128 kbps; Automatic Frequency; "
                                                   "Automatic Channel;";
    }
    void encoderInfoText() {
        QFETCH(int, bits);
        QFETCH(int, freq);
        QFETCH(int, channel);
        QFETCH(QString, text);
        QCOMPARE(Q(EncoderInfoText(2, bits, freq, channel)), text);
    }
};

int main(int argc, char** argv) {
    // Before the application exists, so nothing looks at the real home.
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
