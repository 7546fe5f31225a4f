#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "app/OptionDlg.h"
#include "app/core/Settings.h"
#include "controls/ModalDriver.h"

namespace {

struct Values {
    std::string folder;
    short bits, channel, freq, type, id3, filesAtOnce, stopOnError;
    bool operator==(const Values&) const = default;
};

Values Current() {
    return {g_outputFolder, g_lameBits,   g_lameChannel, g_freq,
            g_outputType,   g_id3Version, g_filesAtOnce, g_stopOnError};
}

// A label's text as shown: a mnemonic marker is not part of it.
QString VisibleText(const QLabel* label) {
    QString text = label->text();
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

QStringList Entries(const QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// Chooses folder in the folder picker the next time it opens.
ModalDriver<QFileDialog> PickFolder(const QString& folder) {
    return ModalDriver<QFileDialog>([folder](QFileDialog* chooser) {
        chooser->setDirectory(folder);
        static_cast<QDialog*>(chooser)->accept();
    });
}

}  // namespace

class OptionDlgTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_out;

    // The dialog as the main window runs it, already shown.
    struct Shown {
        COption dlg;
        int encoderInfoUpdates = 0;
        Shown() {
            dlg.m_updateEncoderInfo = [this] { ++encoderInfoUpdates; };
            dlg.show();
        }
        QComboBox* List(int id) { return dlg.ControlAs<QComboBox>(id); }
        QLineEdit* Folder() { return dlg.ControlAs<QLineEdit>(IDC_OUTPUT_FOLDER); }
        void Click(int id) { dlg.ControlAs<QPushButton>(id)->click(); }
        QCheckBox* StopOnError() { return dlg.ControlAs<QCheckBox>(IDC_STOP_ON_ERROR); }
    };

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        QVERIFY(m_out.isValid());
        g_configFolder = m_config.path().toStdString();
    }
    void init() {
        QFile::remove(QString::fromStdString(ConfigFilePath()));
        ResetSettings();
        g_outputFolder = (m_out.path() + QStringLiteral("/start/")).toStdString();
    }

    void InitialisationShowsTheSettings() {
        g_lameBits = 14;
        g_lameChannel = 1;
        g_freq = 5;
        g_id3Version = 4;
        g_filesAtOnce = 16;
        g_stopOnError = 1;
        Shown s;
        QCOMPARE(s.dlg.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(s.Folder()->text(), QString::fromStdString(g_outputFolder));
        QVERIFY(!s.Folder()->isEnabled());
        QVERIFY(s.dlg.Control(IDC_BROWSE)->isEnabled());
        QCOMPARE(VisibleText(s.dlg.ControlAs<QLabel>(IDC_FREQ_LABEL)),
                 QStringLiteral("Sampling Frequency:"));
        QCOMPARE(VisibleText(s.dlg.ControlAs<QLabel>(IDC_ROW2_LABEL)),
                 QStringLiteral("Channel Mode:"));
        QCOMPARE(VisibleText(s.dlg.ControlAs<QLabel>(IDC_ROW3_LABEL)),
                 QStringLiteral("Bits per Second:"));
        // Each label's mnemonic leads to the list on its own row.
        QCOMPARE(s.dlg.ControlAs<QLabel>(IDC_ROW2_LABEL)->buddy(), s.List(IDC_CHANNEL));
        QCOMPARE(s.dlg.ControlAs<QLabel>(IDC_ROW3_LABEL)->buddy(), s.List(IDC_BITRATE));
        QCOMPARE(VisibleText(s.dlg.ControlAs<QLabel>(IDC_ID3_LABEL)),
                 QStringLiteral("Tag Version:"));
        QCOMPARE(s.dlg.ControlAs<QLabel>(IDC_ID3_LABEL)->buddy(), s.List(IDC_ID3_VERSION));
        QCOMPARE(VisibleText(s.dlg.ControlAs<QLabel>(IDC_FILES_AT_ONCE_LABEL)),
                 QStringLiteral("Files at once:"));
        QCOMPARE(s.dlg.ControlAs<QLabel>(IDC_FILES_AT_ONCE_LABEL)->buddy(),
                 s.List(IDC_FILES_AT_ONCE));
        QCOMPARE(s.StopOnError()->text(), QStringLiteral("&Stop the batch at the first failure"));
        QVERIFY(s.dlg.Control(IDC_NOTE)->isVisible());

        const QString automatic = QStringLiteral(" Automatic (Fastest & Optimal Way, Recommended)");
        QCOMPARE(
            Entries(s.List(IDC_FREQ)),
            (QStringList{automatic, QStringLiteral("   8000 Hertz"), QStringLiteral(" 11025 Hertz"),
                         QStringLiteral(" 12000 Hertz"), QStringLiteral(" 16000 Hertz"),
                         QStringLiteral(" 22050 Hertz"), QStringLiteral(" 24000 Hertz"),
                         QStringLiteral(" 32000 Hertz"), QStringLiteral(" 44100 Hertz")}));
        QCOMPARE(Entries(s.List(IDC_CHANNEL)),
                 (QStringList{automatic, QStringLiteral(" Mono"), QStringLiteral(" Stereo")}));
        const QStringList bitrates = {
            QStringLiteral("   8 kbits per second"), QStringLiteral("  16 kbits per second"),
            QStringLiteral("  24 kbits per second"), QStringLiteral("  32 kbits per second"),
            QStringLiteral("  40 kbits per second"), QStringLiteral("  48 kbits per second"),
            QStringLiteral("  56 kbits per second"), QStringLiteral("  64 kbits per second"),
            QStringLiteral("  80 kbits per second"), QStringLiteral("  96 kbits per second"),
            QStringLiteral(" 112 kbits per second"), QStringLiteral(" 128 kbits per second"),
            QStringLiteral(" 160 kbits per second"), QStringLiteral(" 192 kbits per second"),
            QStringLiteral(" 224 kbits per second"), QStringLiteral(" 256 kbits per second"),
            QStringLiteral(" 320 kbits per second")};
        QCOMPARE(Entries(s.List(IDC_BITRATE)), bitrates);
        QCOMPARE(Entries(s.List(IDC_ID3_VERSION)),
                 (QStringList{QStringLiteral(" ID3v2.3 (Read by Most Players, Recommended)"),
                              QStringLiteral(" ID3v2.4 (UTF-8 Text)")}));
        QStringList files{QStringLiteral(" Automatic (One per Processor Core)")};
        for (int n = 1; n <= 16; ++n)
            files << QStringLiteral(" %1").arg(n);
        QCOMPARE(Entries(s.List(IDC_FILES_AT_ONCE)), files);

        QCOMPARE(s.List(IDC_FREQ)->currentIndex(), 5);
        QCOMPARE(s.List(IDC_CHANNEL)->currentIndex(), 1);
        QCOMPARE(s.List(IDC_BITRATE)->currentIndex(), 14);
        QCOMPARE(s.List(IDC_ID3_VERSION)->currentIndex(), 1);
        QCOMPARE(s.List(IDC_FILES_AT_ONCE)->currentIndex(), 16);
        QVERIFY(s.StopOnError()->isChecked());
    }

    // No two mnemonics of the dialog share a letter, so each reaches its own control.
    void MnemonicsAreDistinct() {
        Shown s;
        QVERIFY(QTest::qWaitForWindowExposed(&s.dlg));
        const QRegularExpression marker(QStringLiteral("&([^&])"));
        QStringList letters;
        for (QWidget* w : s.dlg.findChildren<QWidget*>()) {
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w))
                text = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
                text = button->text();
            const QRegularExpressionMatch m = marker.match(text);
            if (m.hasMatch())
                letters << m.captured(1).toLower();
        }
        letters.sort();
        QCOMPARE(letters,
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                              QStringLiteral("f"), QStringLiteral("o"), QStringLiteral("r"),
                              QStringLiteral("s"), QStringLiteral("t")}));
        QTest::keyClick(&s.dlg, Qt::Key_T, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), s.List(IDC_ID3_VERSION));
        QTest::keyClick(&s.dlg, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), s.List(IDC_FILES_AT_ONCE));
        QTest::keyClick(&s.dlg, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(s.StopOnError()->isChecked());
    }

    // OK stores the selections and the folder with exactly one final separator.
    void OkStoresTheChoice_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("browseTo");  // empty: no browsing
        QTest::addColumn<QString>("stored");
        const QString out = m_out.path();
        QTest::newRow("picked folder gets its separator")
            << out + QStringLiteral("/start/") << out << out + QLatin1Char('/');
        QTest::newRow("root keeps its single separator")
            << out + QStringLiteral("/start/") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("stored folder without separator")
            << out + QStringLiteral("/kept") << QString() << out + QStringLiteral("/kept/");
        QTest::newRow("stored folder with separator")
            << out + QStringLiteral("/kept/") << QString() << out + QStringLiteral("/kept/");
    }
    void OkStoresTheChoice() {
        QFETCH(QString, start);
        QFETCH(QString, browseTo);
        QFETCH(QString, stored);
        g_outputFolder = start.toStdString();
        g_outputType = 0;
        Shown s;
        if (!browseTo.isEmpty()) {
            auto pick = PickFolder(browseTo);
            s.Click(IDC_BROWSE);
            QVERIFY(pick.Answered());
            QCOMPARE(s.Folder()->text(), QDir::cleanPath(browseTo));
            // Nothing changes before OK.
            QCOMPARE(g_outputFolder, start.toStdString());
        }
        s.List(IDC_FREQ)->setCurrentIndex(8);
        s.List(IDC_CHANNEL)->setCurrentIndex(2);
        s.List(IDC_BITRATE)->setCurrentIndex(16);
        s.List(IDC_ID3_VERSION)->setCurrentIndex(1);
        s.List(IDC_FILES_AT_ONCE)->setCurrentIndex(3);
        s.StopOnError()->click();
        s.Click(1);
        QVERIFY(!s.dlg.isVisible());
        QCOMPARE(s.dlg.result(), int(QDialog::Accepted));
        QCOMPARE(Current(), (Values{stored.toStdString(), 16, 2, 8, 2, 4, 3, 1}));
        QCOMPARE(s.encoderInfoUpdates, 0);
    }

    // Cancel, the close box and Escape leave every variable as it was.
    void CancelChangesNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void CancelChangesNothing() {
        QFETCH(int, how);
        const Values before = Current();
        Shown s;
        auto pick = PickFolder(m_out.path());
        s.Click(IDC_BROWSE);
        QVERIFY(pick.Answered());
        s.List(IDC_FREQ)->setCurrentIndex(1);
        s.List(IDC_CHANNEL)->setCurrentIndex(1);
        s.List(IDC_BITRATE)->setCurrentIndex(0);
        s.List(IDC_ID3_VERSION)->setCurrentIndex(1);
        s.List(IDC_FILES_AT_ONCE)->setCurrentIndex(5);
        s.StopOnError()->click();
        if (how == 0) {
            s.Click(2);
        } else if (how == 1) {
            QTest::keyClick(&s.dlg, Qt::Key_Escape);
        } else {
            s.dlg.close();
        }
        QVERIFY(!s.dlg.isVisible());
        QCOMPARE(s.dlg.result(), int(QDialog::Rejected));
        QCOMPARE(Current(), before);
    }

    // Enter is OK, also while the browse button has the focus.
    void EnterIsOk() {
        Shown s;
        s.dlg.Control(IDC_BROWSE)->setFocus();
        s.List(IDC_BITRATE)->setCurrentIndex(1);
        // Should the picker open after all, it is closed again so the test can fail.
        ModalDriver<QFileDialog> browsed([](QFileDialog* chooser) { chooser->reject(); }, 500);
        QTest::keyClick(s.dlg.Control(IDC_BROWSE), Qt::Key_Return);
        QVERIFY(!browsed.Answered());
        QVERIFY(!s.dlg.isVisible());
        QCOMPARE(s.dlg.result(), int(QDialog::Accepted));
        QCOMPARE(g_lameBits, short(1));
    }

    void BrowseCancelKeepsTheField() {
        Shown s;
        const QString before = s.Folder()->text();
        ModalDriver<QFileDialog> cancel([](QFileDialog* chooser) { chooser->reject(); });
        s.Click(IDC_BROWSE);
        QVERIFY(cancel.Answered());
        QCOMPARE(s.Folder()->text(), before);
    }

    // The picker starts at the folder the field shows.
    void BrowseStartsAtTheField() {
        QVERIFY(QDir(m_out.path()).mkpath(QStringLiteral("a/b")));
        g_outputFolder = (m_out.path() + QStringLiteral("/a/b/")).toStdString();
        Shown s;
        QString opened;
        QString title;
        ModalDriver<QFileDialog> look([&](QFileDialog* chooser) {
            opened = chooser->directory().absolutePath();
            title = chooser->windowTitle();
            chooser->reject();
        });
        s.Click(IDC_BROWSE);
        QCOMPARE(opened, m_out.path() + QStringLiteral("/a/b"));
        QCOMPARE(title, QStringLiteral("Specify the Output Folder"));
    }

    void EmptyFolderRefused() {
        g_outputFolder.clear();
        Shown s;
        s.List(IDC_BITRATE)->setCurrentIndex(3);
        SeenBox seen;
        auto answer = AnswerBox(&seen, QMessageBox::Ok);
        s.Click(1);
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Invalidate Output Folder!"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(s.dlg.isVisible());
        QCOMPARE(g_lameBits, DEFAULT_LAME_BITS);
        // A folder chosen afterwards is taken.
        auto pick = PickFolder(m_out.path());
        s.Click(IDC_BROWSE);
        s.Click(1);
        QVERIFY(!s.dlg.isVisible());
        QCOMPARE(g_outputFolder, (m_out.path() + QLatin1Char('/')).toStdString());
        QCOMPARE(g_lameBits, short(3));
    }

    // A value out of a list's range opens that list at its default, and OK stores it.
    void OutOfRangeValues_data() {
        QTest::addColumn<QByteArray>("config");  // empty: set the variables directly
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("id3");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("stop");
        QTest::newRow("LameBits 17 in Config.ini")
            << QByteArray("[MP3]\nLameBits=17\nLameChannel=1\nFreq=3\nId3Version=4\n") << 17 << 1
            << 3 << 4 << 0 << 0;
        QTest::newRow("negatives in Config.ini")
            << QByteArray("[MP3]\nLameBits=-1\nLameChannel=-4\nFreq=-2\nId3Version=-1\n") << -1
            << -4 << -2 << -1 << 0 << 0;
        QTest::newRow("Id3Version 2 in Config.ini")
            << QByteArray("[MP3]\nId3Version=2\n") << int(DEFAULT_LAME_BITS)
            << int(DEFAULT_LAME_CHANNEL) << int(DEFAULT_FREQ) << 2 << 0 << 0;
        QTest::newRow("batch settings out of range in Config.ini")
            << QByteArray("[MP3]\nLameBits=2\n[CONVERT]\nFilesAtOnce=17\nStopOnError=2\n") << 2
            << int(DEFAULT_LAME_CHANNEL) << int(DEFAULT_FREQ) << 3 << 17 << 2;
        QTest::newRow("batch settings in range in Config.ini")
            << QByteArray("[CONVERT]\nFilesAtOnce=16\nStopOnError=1\n") << int(DEFAULT_LAME_BITS)
            << int(DEFAULT_LAME_CHANNEL) << int(DEFAULT_FREQ) << 3 << 16 << 1;
        QTest::newRow("variables above their lists")
            << QByteArray() << 99 << 3 << 9 << 5 << 17 << 1;
        QTest::newRow("variables below their lists")
            << QByteArray() << -1 << -1 << -1 << 2 << -1 << 0;
        QTest::newRow("ID3 version 0") << QByteArray() << 0 << 0 << 0 << 0 << 1 << 0;
    }
    void OutOfRangeValues() {
        QFETCH(QByteArray, config);
        QFETCH(int, bits);
        QFETCH(int, channel);
        QFETCH(int, freq);
        QFETCH(int, id3);
        QFETCH(int, files);
        QFETCH(int, stop);
        if (config.isEmpty()) {
            g_lameBits = short(bits);
            g_lameChannel = short(channel);
            g_freq = short(freq);
            g_id3Version = short(id3);
            g_filesAtOnce = short(files);
            g_stopOnError = short(stop);
        } else {
            WriteFile(QString::fromStdString(ConfigFilePath()), config);
            QCOMPARE(LoadSettings(), 1);
        }
        auto expected = [](int value, int count, int def) {
            return value >= 0 && value < count ? value : def;
        };
        Shown s;
        QCOMPARE(s.List(IDC_BITRATE)->currentIndex(),
                 expected(bits, BITRATE_COUNT, DEFAULT_LAME_BITS));
        QCOMPARE(s.List(IDC_CHANNEL)->currentIndex(), expected(channel, 3, DEFAULT_LAME_CHANNEL));
        QCOMPARE(s.List(IDC_FREQ)->currentIndex(), expected(freq, FREQ_COUNT, DEFAULT_FREQ));
        const bool id3Valid = id3 == 3 || id3 == 4;
        QCOMPARE(s.List(IDC_ID3_VERSION)->currentIndex(), id3Valid ? id3 - 3 : 0);
        const int filesExpected = expected(files, MAX_FILES_AT_ONCE + 1, DEFAULT_FILES_AT_ONCE);
        QCOMPARE(s.List(IDC_FILES_AT_ONCE)->currentIndex(), filesExpected);
        // Config.ini's loader takes a StopOnError other than 0 and 1 as the default.
        const bool stopExpected = config.isEmpty() ? stop != 0 : stop == 1;
        QCOMPARE(s.StopOnError()->isChecked(), stopExpected);
        s.Click(1);
        QCOMPARE(g_lameBits, short(expected(bits, BITRATE_COUNT, DEFAULT_LAME_BITS)));
        QCOMPARE(g_lameChannel, short(expected(channel, 3, DEFAULT_LAME_CHANNEL)));
        QCOMPARE(g_freq, short(expected(freq, FREQ_COUNT, DEFAULT_FREQ)));
        QCOMPARE(g_id3Version, short(id3Valid ? id3 : DEFAULT_ID3_VERSION));
        QCOMPARE(g_filesAtOnce, short(filesExpected));
        QCOMPARE(g_stopOnError, short(stopExpected ? 1 : 0));
    }

    // Reset asks first; Yes deletes Config.ini and shows the defaults at once, and Cancel
    // does not bring the old values back.
    void Reset_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No keeps everything") << false;
        QTest::newRow("Yes resets") << true;
    }
    void Reset() {
        QFETCH(bool, yes);
        const QString config = QString::fromStdString(ConfigFilePath());
        g_outputFolder = (m_out.path() + QStringLiteral("/mine/")).toStdString();
        WriteFile(config, QByteArray("[OUTPUT]\nDesDir=") +
                              QByteArray::fromStdString(g_outputFolder) +
                              "\n[MP3]\nLameBits=3\nLameChannel=2\nFreq=7\nId3Version=4\n"
                              "[CONVERT]\nFilesAtOnce=2\nStopOnError=1\n");
        QCOMPARE(LoadSettings(), 1);
        QCOMPARE(g_id3Version, short(4));
        QCOMPARE(g_filesAtOnce, short(2));
        QCOMPARE(g_stopOnError, short(1));
        const Values before = Current();
        Shown s;
        s.List(IDC_BITRATE)->setCurrentIndex(5);
        SeenBox seen;
        auto answer = AnswerBox(&seen, yes ? QMessageBox::Yes : QMessageBox::No);
        s.Click(IDC_RESET);
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Reset ALL Options, Are You Sure?"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(s.dlg.isVisible());
        if (!yes) {
            QVERIFY(QFile::exists(config));
            QCOMPARE(Current(), before);
            QCOMPARE(s.List(IDC_BITRATE)->currentIndex(), 5);
            QCOMPARE(s.List(IDC_ID3_VERSION)->currentIndex(), 1);
            QCOMPARE(s.List(IDC_FILES_AT_ONCE)->currentIndex(), 2);
            QVERIFY(s.StopOnError()->isChecked());
            QCOMPARE(s.encoderInfoUpdates, 0);
            return;
        }
        QVERIFY(!QFile::exists(config));
        const Values defaults{
            DefaultOutputFolder(), DEFAULT_LAME_BITS,     DEFAULT_LAME_CHANNEL, DEFAULT_FREQ, 2,
            DEFAULT_ID3_VERSION,   DEFAULT_FILES_AT_ONCE, DEFAULT_STOP_ON_ERROR};
        QCOMPARE(Current(), defaults);
        QCOMPARE(s.encoderInfoUpdates, 1);
        QCOMPARE(s.Folder()->text(), QString::fromStdString(DefaultOutputFolder()));
        QCOMPARE(s.List(IDC_BITRATE)->currentIndex(), int(DEFAULT_LAME_BITS));
        QCOMPARE(s.List(IDC_CHANNEL)->currentIndex(), int(DEFAULT_LAME_CHANNEL));
        QCOMPARE(s.List(IDC_FREQ)->currentIndex(), int(DEFAULT_FREQ));
        QCOMPARE(s.List(IDC_ID3_VERSION)->currentIndex(), 0);
        QCOMPARE(s.List(IDC_ID3_VERSION)->count(), 2);
        QCOMPARE(s.List(IDC_FILES_AT_ONCE)->currentIndex(), int(DEFAULT_FILES_AT_ONCE));
        QCOMPARE(s.List(IDC_FILES_AT_ONCE)->count(), MAX_FILES_AT_ONCE + 1);
        QVERIFY(!s.StopOnError()->isChecked());
        QCOMPARE(s.List(IDC_FREQ)->count(), FREQ_COUNT);
        QCOMPARE(s.List(IDC_BITRATE)->count(), BITRATE_COUNT);
        s.Click(2);
        QCOMPARE(Current(), defaults);
        QVERIFY(!QFile::exists(config));
    }

    // Something that is no plain file in Config.ini's place cannot be deleted: the defaults
    // are in force all the same.
    void ResetWhenTheFileCannotGo() {
        const QString config = QString::fromStdString(ConfigFilePath());
        QVERIFY(QDir().mkpath(config + QStringLiteral("/inside")));
        g_lameBits = 2;
        Shown s;
        SeenBox seen;
        auto answer = AnswerBox(&seen, QMessageBox::Yes);
        s.Click(IDC_RESET);
        QVERIFY(seen.seen);
        QCOMPARE(g_lameBits, DEFAULT_LAME_BITS);
        QCOMPARE(s.List(IDC_BITRATE)->currentIndex(), int(DEFAULT_LAME_BITS));
        s.Click(2);
        QVERIFY(QDir(config).removeRecursively());
    }
};

int RunOptionDlgTests(int argc, char** argv) {
    OptionDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OptionDlgTest.moc"
