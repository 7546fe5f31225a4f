// Start-up and shutdown of the main window, what survives a restart, the single instance with
// its handover, and dropped folders.
#include <unistd.h>

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "MainWindowFixture.h"
#include "app/SingleInstance.h"
#include "app/core/Settings.h"
#include "tests/fixtures/OggFixtures.h"

namespace {

fixtures::OggStream ShortStream() {
    fixtures::OggStream stream;
    stream.rate = 8000;
    stream.channels = 1;
    stream.frames = 8000;
    return stream;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A window whose toolbar cannot be made.
class NoToolBarDlg : public CKestoDlg {
protected:
    bool CreateToolBar() override { return false; }
};

}  // namespace

class AppLifecycleTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_files;
    QString m_ogg;
    std::unique_ptr<IsolatedHome> m_home;

private Q_SLOTS:
    void initTestCase() {
        m_ogg = m_files.filePath(QStringLiteral("tone.ogg"));
        fixtures::WriteOgg(m_ogg.toStdString(), ShortStream());
    }
    void init() { m_home = std::make_unique<IsolatedHome>(); }
    void cleanup() { m_home.reset(); }

    void firstStartCreatesConfigAndOpensMaximised() {
        QVERIFY(!QFile::exists(m_home->ConfigFile()));
        OpenWindow w;
        QVERIFY(QFile::exists(m_home->ConfigFile()));
        QCOMPARE(QFileInfo(m_home->ConfigFile()).size(), 0);
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->List()->GetColumnCount(), static_cast<int>(FILE_LIST_COLUMNS));
        QVERIFY(w->List()->IsShowingHints());
        QCOMPARE(w->PaneText(0), QStringLiteral("No file"));
        QCOMPARE(w->PaneText(2),
                 QStringLiteral("  MP3:  CBR 128 kbps; Automatic Frequency; Automatic Channel;"));
        QCOMPARE(w->PaneToolTip(2), w->PaneText(2));
        QCOMPARE(g_lameBits, short{11});
        QCOMPARE(Q(g_outputFolder).right(1), QStringLiteral("/"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon"));
        QVERIFY(!w->windowIcon().isNull());
        QVERIFY(!w->windowIcon().pixmap(QSize(64, 64), 2.0).isNull());
        // The toolbar sits above the list, the status bar below it, nothing overlaps.
        QVERIFY(w->ToolBar()->geometry().bottom() < w->List()->geometry().top());
        QVERIFY(w->List()->geometry().bottom() < w->StatusBar()->geometry().top());
        QCOMPARE(w->StatusBar()->geometry().bottom(), w->height() - 1);
    }

    void storedSettingsAreReadAtStart() {
        QVERIFY(QDir().mkpath(m_home->ConfigFolder()));
        QFile ini(m_home->ConfigFile());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[OUTPUT]\nDesDir=/srv/mp3/\n[MP3]\nLameBits=16\nLameChannel=2\nFreq=1\n");
        ini.close();
        OpenWindow w;
        QCOMPARE(w->PaneText(2), QStringLiteral("  MP3:  CBR 320 kbps;  8000 Hz; Stereo;"));
        QCOMPARE(g_outputFolder, std::string("/srv/mp3/"));
        ResetSettings();
    }

    void unusableConfigFolderIsReported() {
        // A regular file where the configuration home should be: no one can make folders in it.
        const QString blocker = m_home->Path() + QStringLiteral("/blocker");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        setenv("XDG_CONFIG_HOME", blocker.toLocal8Bit().constData(), 1);
        BoxAnswerer boxes;
        OpenWindow w;
        QTRY_COMPARE(
            boxes.m_texts,
            QStringList{QStringLiteral("Fail to create folder %1/Quillon !!").arg(blocker)});
        // The window still works with the built-in settings.
        QCOMPARE(w->List()->GetColumnCount(), static_cast<int>(FILE_LIST_COLUMNS));
        QVERIFY(w.Load({m_ogg}));
        QCOMPARE(w->List()->GetItemCount(), 1);
    }

    void barFailureLeavesTheWindowWithoutColumns() {
        BoxAnswerer boxes;
        NoToolBarDlg dlg;
        dlg.m_exitProcess = [](int) {};
        dlg.show();
        QTRY_COMPARE(boxes.m_texts, QStringList{QStringLiteral("Failed to create toolbar!")});
        QCOMPARE(dlg.List()->GetColumnCount(), 0);
        QVERIFY(dlg.isVisible());
        dlg.OnRemove();
        dlg.OnSelectAll();
        dlg.LoadFiles({m_ogg}, false);
        QVERIFY(!dlg.IsLoading());
    }

    void closingSavesOnceAndExitsWithOne() {
        OpenWindow w;
        g_lameBits = 3;
        w->close();
        QCOMPARE(w.exits, 1);
        QCOMPARE(w.exitCode, 1);
        // A second request while the first is handled is ignored.
        w->close();
        QCOMPARE(w.exits, 1);
        const QByteArray ini = ReadAll(m_home->ConfigFile());
        QVERIFY(ini.contains("[OUTPUT]"));
        QVERIFY(ini.contains("LameBits=3"));
        QVERIFY(ini.contains("LameChannel=0"));
        QVERIFY(ini.contains("Freq=0"));
        auto profile = m_home->Profile();
        QVERIFY(profile->contains(QStringLiteral("FileList/Column")));
        QVERIFY(profile->contains(QStringLiteral("FileList/SortEx")));
        QVERIFY(profile->contains(QStringLiteral("Position/") +
                                  QString::fromLatin1(MAIN_PLACEMENT_KEY)));
        ResetSettings();
    }

    void closeWaitsForARunningLoad() {
        OpenWindow w;
        std::atomic<bool> reached{false};
        std::atomic<bool> release{false};
        w->m_prepareLoad = [&](CLoadJob& job) {
            job.m_afterFile = [&](size_t) {
                reached = true;
                while (!release)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            };
        };
        w->LoadFiles({m_ogg}, false);
        QTRY_VERIFY(reached.load());
        w->close();
        QCOMPARE(w.exits, 0);
        release = true;
        QVERIFY(w.WaitIdle());
        w->close();
        QCOMPARE(w.exits, 1);
    }

    void layoutSortAndPlacementSurviveARestart() {
        const QRect normal(40, 60, 700, 480);
        std::vector<int> widths;
        {
            OpenWindow w;
            QVERIFY(w.Load({m_ogg}));
            CReportCtrl* list = w->List();
            list->SetColumnWidth(COL_PATH, 233);
            list->ShowColumn(COL_MODIFIED, false);
            list->OnColumnClick(COL_SIZE);
            list->OnColumnClick(COL_SIZE);  // descending
            w->setWindowState(Qt::WindowNoState);
            w->setGeometry(normal);
            QTRY_COMPARE(w->geometry(), normal);
            for (int c = 0; c < FILE_LIST_COLUMNS; ++c)
                widths.push_back(list->GetColumnWidth(c));
            w->close();
            QCOMPARE(w.exits, 1);
        }
        OpenWindow w;
        CReportCtrl* list = w->List();
        QVERIFY(!(w->windowState() & Qt::WindowMaximized));
        QCOMPARE(w->geometry(), normal);
        QCOMPARE(list->GetColumnWidth(COL_PATH), 233);
        QVERIFY(!list->IsColumnVisible(COL_MODIFIED));
        for (int c = 0; c < FILE_LIST_COLUMNS; ++c)
            if (c != COL_MODIFIED)
                QCOMPARE(list->GetColumnWidth(c), widths[static_cast<size_t>(c)]);
        QCOMPARE(list->GetSortKeys().front(), (ColumnSortInfo{COL_SIZE, 0}));
        QCOMPARE(list->GetHeaderImage(COL_SIZE), 2);
    }

    void droppedFolderTreeWithALinkLoop() {
        QTemporaryDir tree;
        const QDir root(tree.path());
        QVERIFY(root.mkpath(QStringLiteral("sub/deeper")));
        QVERIFY(root.mkpath(QStringLiteral(".hidden")));
        const auto copy = [&](const char* to) {
            QVERIFY(QFile::copy(m_ogg, root.filePath(QString::fromUtf8(to))));
        };
        copy("a.ogg");
        copy("sub/b.OGG");
        copy("sub/deeper/c.Ogg");
        copy("sub/.secret.ogg");
        copy(".hidden/d.ogg");
        copy("notes.txt");
        // A link back to the top would walk for ever if links to folders were followed.
        QVERIFY(QFile::link(tree.path(), root.filePath(QStringLiteral("sub/loop"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("a.ogg")),
                            root.filePath(QStringLiteral("linked.ogg"))));

        OpenWindow w;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(tree.path())});
        QWidget* viewport = w->List()->viewport();
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(w->IsLoading());
        QVERIFY(w.WaitIdle());
        QStringList names;
        for (int r = 0; r < w->List()->GetItemCount(); ++r)
            names << w->List()->GetItemText(r, COL_PATH).mid(tree.path().size()) +
                         w->List()->GetItemText(r, COL_NAME);
        names.sort();
        QCOMPARE(names,
                 (QStringList{QStringLiteral("/a.ogg"), QStringLiteral("/linked.ogg"),
                              QStringLiteral("/sub/b.OGG"), QStringLiteral("/sub/deeper/c.Ogg")}));
    }

    void secondStartRaisesTheFirstAndHandsOverItsFiles() {
        // The real program, started while this process plays the running instance.
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        CSingleInstance first(QStringLiteral("quillon-") + QString::number(::getuid()));
        QVERIFY(!first.HandOverOrListen({}));
        QVERIFY(first.IsListening());

        OpenWindow w;
        QObject::connect(&first, &CSingleInstance::Activated, w.window.get(),
                         [&w](const QStringList& files) {
                             w->Activate();
                             w->LoadFiles(files, true);
                         });
        w->showMinimized();
        QTRY_VERIFY(w->windowState() & Qt::WindowMinimized);

        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(m_files.path());
        // A relative name: the second start makes it absolute before handing it over.
        second.start(QStringLiteral(QUILLON_EXE), {QStringLiteral("tone.ogg")});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QVERIFY(!(w->windowState() & Qt::WindowMinimized));
        QTRY_COMPARE(w->List()->GetItemCount(), 1);
        QVERIFY(w.WaitIdle());
        QCOMPARE(w->List()->GetItemText(0, COL_PATH), m_files.path() + QStringLiteral("/"));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void handoverWithoutARunningInstanceFails() {
        QTemporaryDir runtime;
        QVERIFY(!CSingleInstance::HandOver(runtime.filePath(QStringLiteral("nobody")), {}, 500));
        // A socket file left by a crashed instance does not keep the next one from listening.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QFile stale(runtime.filePath(QStringLiteral("stale")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        CSingleInstance instance(QStringLiteral("stale"));
        QVERIFY(!instance.HandOverOrListen({}));
        QVERIFY(instance.IsListening());
        QStringList received;
        QObject::connect(&instance, &CSingleInstance::Activated,
                         [&received](const QStringList& files) { received = files; });
        // A client in this very process must not block the event loop the server needs, so the
        // handover runs from a thread.
        std::atomic<int> handed{-1};
        std::thread client([&] {
            handed =
                CSingleInstance::HandOver(instance.ServerName(), {QStringLiteral("/x.ogg")}, 5000);
        });
        QTRY_VERIFY(handed.load() != -1);
        client.join();
        QCOMPARE(handed.load(), 1);
        QCOMPARE(received, QStringList{QStringLiteral("/x.ogg")});
        qunsetenv("XDG_RUNTIME_DIR");
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    AppLifecycleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppLifecycleTest.moc"
