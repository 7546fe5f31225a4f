// Loads 5,000 and 50,000 generated Ogg Vorbis files into the real main window, as Add Files
// does, and prints for each size: the files per second from the command to the end of the
// final sort, the longest time the user-interface thread did not answer meanwhile (measured by
// a 2 ms timer on that thread; split into the time rows were added and the turn of the final
// sort), and how often the list painted during the load.
//   bench_load [COUNT...]   (default 5000 50000; runs offscreen unless a display is chosen)
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/KestoDlg.h"
#include "bench/PaintCounter.h"
#include "tests/fixtures/OggFixtures.h"

namespace {

// A few distinct sources, copied under many names: every copy is opened and scanned in full.
QStringList MakeFiles(const QString& folder, int count) {
    std::vector<QByteArray> sources;
    const uint32_t rates[] = {44100, 48000, 22050, 32000};
    for (int i = 0; i < 4; ++i) {
        fixtures::OggStream stream;
        stream.rate = rates[i];
        stream.channels = 1 + static_cast<uint32_t>(i % 2);
        stream.frames = rates[i] / 2 + static_cast<uint64_t>(i) * 1000;
        stream.tones = {fixtures::Tone{440.0 + 110 * i, -12.0}};
        const std::string path = (folder + QStringLiteral("/source%1.ogg").arg(i)).toStdString();
        fixtures::WriteOgg(path, stream);
        QFile file(QString::fromStdString(path));
        file.open(QIODevice::ReadOnly);
        sources.push_back(file.readAll());
        QFile::remove(QString::fromStdString(path));
    }
    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString path =
            folder + QStringLiteral("/track %1.ogg").arg(i, 6, 10, QLatin1Char('0'));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(sources[static_cast<size_t>(i) % sources.size()]);
        paths << path;
    }
    return paths;
}

void Run(int count) {
    QTemporaryDir folder;
    const QStringList paths = MakeFiles(folder.path(), count);

    CKestoDlg window;
    window.m_exitProcess = [](int) {};
    window.show();
    PaintCounter counter;
    window.List()->viewport()->installEventFilter(&counter);
    QApplication::processEvents();

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });

    bool done = false;
    int paintsAtEnd = 0;
    qint64 rowsPhaseGap = 0;
    qint64 finishGap = 0;
    QObject::connect(&window, &CKestoDlg::LoadFinished, [&] {
        done = true;
        paintsAtEnd = counter.paints;
        // The turn that ends here holds the final sort.
        rowsPhaseGap = longestGap;
        finishGap = sinceTick.elapsed();
    });
    window.m_chooseFiles = [&paths] { return paths; };
    counter.paints = 0;

    QElapsedTimer total;
    total.start();
    sinceTick.start();
    ticker.start();
    // The command itself runs on the UI thread too, so it counts as part of the stall.
    window.OnAddFiles();
    while (!done)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 ms = total.elapsed();
    longestGap = std::max(longestGap, sinceTick.elapsed());
    ticker.stop();

    std::printf(
        "%6d files: %7.0f ms, %8.0f files/s, longest UI stall %4lld ms (adding rows %lld "
        "ms, final sort %lld ms), %d list paints during the load, %d rows\n",
        count, static_cast<double>(ms), count * 1000.0 / std::max<qint64>(ms, 1),
        static_cast<long long>(longestGap), static_cast<long long>(rowsPhaseGap),
        static_cast<long long>(finishGap), paintsAtEnd, window.List()->GetItemCount());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit().constData(),
           1);
    if (!std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atoi(argv[i]));
    if (counts.empty())
        counts = {5000, 50000};
    for (int count : counts)
        Run(count);
    return 0;
}
