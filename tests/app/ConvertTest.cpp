// Starting conversions from the real main window: which rows become tasks, in which order,
// and when nothing is started at all. The batches run in the real progress window.
#include <QTest>

#include <filesystem>

#include "MainWindowFixture.h"
#include "ProgressWatcher.h"
#include "app/core/Settings.h"
#include "controls/ListBusy.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"

namespace fs = std::filesystem;

namespace {

fixtures::OggStream Stream(uint32_t rate, uint32_t channels, double seconds) {
    fixtures::OggStream stream;
    stream.rate = rate;
    stream.channels = channels;
    stream.frames = static_cast<uint64_t>(rate * seconds);
    stream.tones = {fixtures::Tone{440.0, -12.0}};
    return stream;
}

QStringList SourceLines(const QStringList& log) {
    QStringList lines;
    for (const QString& line : log)
        if (line.startsWith(QStringLiteral("Source:  ")))
            lines << line;
    return lines;
}

}  // namespace

class ConvertTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<IsolatedHome> m_home;
    std::map<QString, fixtures::OggStream> m_streams;

    QString File(const char* name) const { return m_files.filePath(QString::fromUtf8(name)); }
    QString OutFolder() const { return m_home->Path() + QStringLiteral("/out/"); }

    // The window with the four files loaded, the output folder in the test's home.
    void Prepare(OpenWindow& w) {
        QVERIFY(w.active);
        QVERIFY(w.Load(
            {File("b-stereo.ogg"), File("c-bad.ogg"), File("a-mono.ogg"), File("d-48k.ogg")}));
        QCOMPARE(w->List()->GetItemCount(), 4);
        g_outputFolder = OutFolder().toStdString();
    }

    QStringList ExpectedSources(OpenWindow& w, const QStringList& names) const {
        QStringList lines;
        for (int row = 0; row < w->List()->GetItemCount(); ++row) {
            const QString name = w->List()->GetItemText(row, COL_NAME);
            if (names.contains(name))
                lines << QStringLiteral("Source:  ") + w->List()->GetItemText(row, COL_PATH) +
                             name + QStringLiteral(".");
        }
        return lines;
    }

    void CheckMp3(const char* name, uint32_t destRate) {
        const std::string mp3Path =
            (OutFolder() +
             QString::fromUtf8(name).replace(QStringLiteral(".ogg"), QStringLiteral(".mp3")))
                .toStdString();
        const fixtures::OggStream& spec = m_streams.at(QString::fromUtf8(name));
        const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(mp3Path);
        QCOMPARE(mp3.rate, static_cast<long>(destRate));
        const double expected = static_cast<double>(spec.frames) * destRate / spec.rate;
        QVERIFY2(std::abs(static_cast<double>(mp3.frames) - expected) <= 1152 + 1152 + 576,
                 qPrintable(QStringLiteral("%1: %2 frames, %3 expected")
                                .arg(QString::fromUtf8(name))
                                .arg(mp3.frames)
                                .arg(expected)));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_files.isValid());
        m_streams[QStringLiteral("b-stereo.ogg")] = Stream(44100, 2, 1.5);
        m_streams[QStringLiteral("a-mono.ogg")] = Stream(22050, 1, 1.0);
        m_streams[QStringLiteral("d-48k.ogg")] = Stream(48000, 2, 1.2);
        for (const auto& [name, stream] : m_streams)
            fixtures::WriteOgg(m_files.filePath(name).toStdString(), stream);
        fixtures::WriteTextFile(File("c-bad.ogg").toStdString(), "not an Ogg file");
    }

    void init() { m_home = std::make_unique<IsolatedHome>(); }
    void cleanup() { m_home.reset(); }

    void convertAllConvertsTheGoodRowsInListOrder() {
        OpenWindow w;
        Prepare(w);
        // The list's own order, whatever the load's: the rows sorted by name, descending.
        w->List()->SortRange(0, w->List()->GetItemCount() - 1, COL_NAME, false);
        QCOMPARE(w->List()->GetItemText(0, COL_NAME), QStringLiteral("d-48k.ogg"));
        QStringList before;
        for (int row = 0; row < 4; ++row)
            before << w->List()->GetItemText(row, COL_NAME);

        ProgressWatcher watcher;
        QTest::keyClick(w.window.get(), Qt::Key_F3);
        QCOMPARE(watcher.shown > 0, true);
        QVERIFY2(watcher.finished, qPrintable(watcher.log.join(QLatin1Char('\n'))));
        QCOMPARE(SourceLines(watcher.log),
                 ExpectedSources(w, {QStringLiteral("d-48k.ogg"), QStringLiteral("b-stereo.ogg"),
                                     QStringLiteral("a-mono.ogg")}));
        QCOMPARE(watcher.log.count(QStringLiteral("Converting status: OK.")), 3);
        QCOMPARE(watcher.log.last(), QStringLiteral("Finished converting, all done."));
        CheckMp3("d-48k.ogg", 44100);
        CheckMp3("b-stereo.ogg", 44100);
        CheckMp3("a-mono.ogg", 22050);
        QVERIFY(!fs::exists((OutFolder() + QStringLiteral("c-bad.mp3")).toStdString()));

        // The list is as it was.
        QCOMPARE(w->List()->GetItemCount(), 4);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(w->List()->GetItemText(row, COL_NAME), before[row]);
    }

    void theBatchTakesTheSavedBatchSettings_data() {
        QTest::addColumn<short>("filesAtOnce");
        QTest::addColumn<short>("stopOnError");
        QTest::addColumn<int>("expectedAtOnce");
        QTest::newRow("automatic: one per core") << short(0) << short(0) << FilesAtOnce(0);
        QTest::newRow("three, stop on error") << short(3) << short(1) << 3;
        QTest::newRow("one") << short(1) << short(0) << 1;
    }

    void theBatchTakesTheSavedBatchSettings() {
        QFETCH(short, filesAtOnce);
        QFETCH(short, stopOnError);
        QFETCH(int, expectedAtOnce);
        OpenWindow w;
        Prepare(w);
        g_filesAtOnce = filesAtOnce;
        g_stopOnError = stopOnError;
        ProgressWatcher watcher;
        QTest::keyClick(w.window.get(), Qt::Key_F3);
        g_filesAtOnce = DEFAULT_FILES_AT_ONCE;
        g_stopOnError = DEFAULT_STOP_ON_ERROR;
        QVERIFY2(watcher.finished, qPrintable(watcher.log.join(QLatin1Char('\n'))));
        QCOMPARE(watcher.filesAtOnce, expectedAtOnce);
        QCOMPARE(watcher.stopOnError, stopOnError != 0);
        // Whatever runs at once, each file's lines stay together, in list order.
        QCOMPARE(SourceLines(watcher.log),
                 ExpectedSources(w, {QStringLiteral("b-stereo.ogg"), QStringLiteral("a-mono.ogg"),
                                     QStringLiteral("d-48k.ogg")}));
        QCOMPARE(watcher.log.count(QStringLiteral("Converting status: OK.")), 3);
        CheckMp3("b-stereo.ogg", 44100);
        CheckMp3("a-mono.ogg", 22050);
        CheckMp3("d-48k.ogg", 44100);
    }

    void convertSelectedTakesTheSelectedGoodRows_data() {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("converted");
        QTest::addColumn<bool>("doubleClick");
        const QString bad = QStringLiteral("c-bad.ogg");
        const QString mono = QStringLiteral("a-mono.ogg");
        const QString big = QStringLiteral("d-48k.ogg");
        QTest::newRow("only a bad row: nothing shown")
            << QStringList{bad} << QStringList{} << false;
        QTest::newRow("nothing selected: nothing shown") << QStringList{} << QStringList{} << false;
        QTest::newRow("a bad and a good row")
            << QStringList{bad, mono} << QStringList{mono} << false;
        QTest::newRow("double click with two rows selected")
            << QStringList{big, mono} << QStringList{mono, big} << true;
    }

    void convertSelectedTakesTheSelectedGoodRows() {
        QFETCH(QStringList, selected);
        QFETCH(QStringList, converted);
        QFETCH(bool, doubleClick);
        OpenWindow w;
        Prepare(w);
        w->List()->SortRange(0, w->List()->GetItemCount() - 1, COL_NAME, true);
        w->List()->SetAllItemStates(RC_ITEM_SELECTED, 0);
        for (const QString& name : selected)
            w->List()->SetItemStates(w.Row(name), RC_ITEM_SELECTED);

        ProgressWatcher watcher;
        if (doubleClick)
            Q_EMIT w->List()->DoubleClicked(w.Row(selected.first()));
        else
            QTest::keyClick(w.window.get(), Qt::Key_F3, Qt::ShiftModifier);
        if (converted.isEmpty()) {
            QTest::qWait(100);
            QCOMPARE(watcher.shown, 0);
            QVERIFY(QApplication::activeModalWidget() == nullptr);
            QVERIFY(!fs::exists((OutFolder() + QStringLiteral("a-mono.mp3")).toStdString()));
            return;
        }
        QVERIFY(watcher.finished);
        QCOMPARE(SourceLines(watcher.log), ExpectedSources(w, converted));
    }

    void nothingStartsWhileTheListIsBusy_data() {
        QTest::addColumn<int>("listBusy");
        QTest::addColumn<int>("busy");
        QTest::newRow("sorting") << 1 << 0;
        QTest::newRow("removing") << 0 << 1;
    }

    void nothingStartsWhileTheListIsBusy() {
        QFETCH(int, listBusy);
        QFETCH(int, busy);
        OpenWindow w;
        Prepare(w);
        g_listBusy = listBusy;
        w->m_busy = busy;
        ProgressWatcher watcher;
        QTest::keyClick(w.window.get(), Qt::Key_F3);
        QTest::qWait(100);
        g_listBusy = 0;
        w->m_busy = 0;
        QCOMPARE(watcher.shown, 0);
        QVERIFY(!fs::exists((OutFolder() + QStringLiteral("a-mono.mp3")).toStdString()));
    }
};

int main(int argc, char** argv) {
    // Before the application exists, so nothing looks at the real home.
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // No desktop bus: the notification must not be tried on the user's own.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    ConvertTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ConvertTest.moc"
