#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "DialogTests.h"
#include "controls/PlacementStore.h"
#include "controls/ResizeDlg.h"

namespace {

const QString MAIN_KEY = QStringLiteral("{08498238-9FCE-4F3C-861C-BE77C5E25FD5}");
const QString PROGRESS_KEY = QStringLiteral("{104A7F6F-FFA3-4293-B808-9578D46FEC55}");
const QString SECTION = QStringLiteral("Position");

constexpr uint32_t NORMAL = WINDOWPLACEMENT::SW_SHOWNORMAL;
constexpr uint32_t MINIMIZED = WINDOWPLACEMENT::SW_SHOWMINIMIZED;
constexpr uint32_t MAXIMIZED = WINDOWPLACEMENT::SW_SHOWMAXIMIZED;
constexpr uint32_t TO_MAX = WINDOWPLACEMENT::WPF_RESTORETOMAXIMIZED;

WINDOWPLACEMENT Placement(uint32_t showCmd, uint32_t flags, QRect r) {
    WINDOWPLACEMENT p;
    p.length = 44;
    p.flags = flags;
    p.showCmd = showCmd;
    p.ptMinPosition = {-1, -1};
    p.ptMaxPosition = {-1, -1};
    p.rcNormalPosition = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return p;
}

QByteArray Bytes(const WINDOWPLACEMENT& p) {
    const auto bytes = EncodePlacement(p);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

QRect NormalRect(const WINDOWPLACEMENT& p) {
    const auto& r = p.rcNormalPosition;
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

std::unique_ptr<QDialog> Window() {
    auto w = std::make_unique<QDialog>(nullptr, Qt::Window);
    w->setGeometry(40, 50, 320, 200);
    return w;
}

bool Settle(QWidget& w) {
    QCoreApplication::processEvents();
    return QTest::qWaitForWindowExposed(&w) || w.isMinimized();
}

// Answers the next modal message box with OK and remembers its text.
class MessageBoxWatcher : public QObject {
public:
    MessageBoxWatcher() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                icons << box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(10);
    }
    QStringList texts;
    QList<QMessageBox::Icon> icons;

private:
    QTimer m_timer;
};

class KeyedDlg : public CResizeDlg {
public:
    KeyedDlg() : CResizeDlg(IDD_MAIN) { m_placementKey = MAIN_KEY; }
};

// Restores at the end of its initialisation, as the windows of the program do.
class RestoringDlg : public CResizeDlg {
public:
    RestoringDlg() : CResizeDlg(IDD_MAIN) {}
    QSize templateSize;
    bool restored = false;

protected:
    bool OnInitDialog() override {
        const bool result = CResizeDlg::OnInitDialog();
        templateSize = size();
        AddAnchor(1003, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH);
        m_placementKey = MAIN_KEY;
        restored = m_placementStore.Restore(this, MAIN_KEY, SECTION);
        return result;
    }
};

}  // namespace

class PlacementStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempProfile> m_profile;

private Q_SLOTS:
    void init() { m_profile = std::make_unique<TempProfile>(); }
    void cleanup() { m_profile.reset(); }

    void recordLayoutIsLittleEndian() {
        WINDOWPLACEMENT p = Placement(MINIMIZED, TO_MAX, QRect(10, 20, 620, 450));
        p.ptMinPosition = {-32000, -32000};
        const QByteArray expected = QByteArray::fromHex(
            "2c000000"
            "02000000"
            "02000000"
            "0083ffff0083ffff"
            "ffffffffffffffff"
            "0a00000014000000"
            "76020000d6010000");
        QCOMPARE(Bytes(p), expected);
        WINDOWPLACEMENT back;
        QVERIFY(DecodePlacement(reinterpret_cast<const uint8_t*>(expected.constData()), 44, back));
        QVERIFY(back == p);
        for (std::size_t size : {0u, 43u, 45u}) {
            QVERIFY(!DecodePlacement(reinterpret_cast<const uint8_t*>(expected.constData()), size,
                                     back));
        }
    }

    void showOverride_data() {
        QTest::addColumn<int>("showOverride");
        QTest::addColumn<uint32_t>("stored");
        QTest::addColumn<uint32_t>("flags");
        QTest::addColumn<uint32_t>("expected");
        QTest::newRow("none, minimised to maximised") << 0 << MINIMIZED << TO_MAX << MAXIMIZED;
        QTest::newRow("none, minimised to normal") << 0 << MINIMIZED << 0u << NORMAL;
        QTest::newRow("none, maximised stays") << 0 << MAXIMIZED << 0u << MAXIMIZED;
        QTest::newRow("none, other flag bits") << 0 << MINIMIZED << 1u << NORMAL;
        QTest::newRow("none, all flag bits") << 0 << MINIMIZED << 7u << MAXIMIZED;
        QTest::newRow("unknown value acts as none") << 9 << MINIMIZED << TO_MAX << MAXIMIZED;
        QTest::newRow("1 keeps minimised") << 1 << MINIMIZED << TO_MAX << MINIMIZED;
        QTest::newRow("2 normal") << 2 << MAXIMIZED << 0u << NORMAL;
        QTest::newRow("3 maximised") << 3 << NORMAL << 0u << MAXIMIZED;
        QTest::newRow("4 minimised") << 4 << NORMAL << 0u << MINIMIZED;
    }

    void showOverride() {
        QFETCH(int, showOverride);
        QFETCH(uint32_t, stored);
        QFETCH(uint32_t, flags);
        QFETCH(uint32_t, expected);
        WINDOWPLACEMENT p = Placement(stored, flags, QRect(10, 10, 100, 100));
        ApplyShowOverride(p, showOverride);
        QCOMPARE(p.showCmd, expected);
        QCOMPARE(p.flags, flags);
    }

    void restoreReopensAsSaved_data() {
        QTest::addColumn<uint32_t>("showCmd");
        QTest::addColumn<uint32_t>("flags");
        QTest::addColumn<QVariant>("showOverride");  // invalid: no unnamed value
        QTest::addColumn<int>("state");
        const QVariant none;
        QTest::newRow("normal") << NORMAL << 0u << none << int(Qt::WindowNoState);
        QTest::newRow("maximised") << MAXIMIZED << 0u << none << int(Qt::WindowMaximized);
        QTest::newRow("minimised, restore to maximised")
            << MINIMIZED << TO_MAX << none << int(Qt::WindowMaximized);
        QTest::newRow("minimised, flags 0") << MINIMIZED << 0u << none << int(Qt::WindowNoState);
        QTest::newRow("override 0") << MINIMIZED << 0u << QVariant(0) << int(Qt::WindowNoState);
        QTest::newRow("override 1 keeps minimised")
            << MINIMIZED << TO_MAX << QVariant(1) << int(Qt::WindowMinimized | Qt::WindowMaximized);
        QTest::newRow("override 2") << MAXIMIZED << 0u << QVariant(2) << int(Qt::WindowNoState);
        QTest::newRow("override 3") << NORMAL << 0u << QVariant(3) << int(Qt::WindowMaximized);
        QTest::newRow("override 4") << NORMAL << 0u << QVariant(4) << int(Qt::WindowMinimized);
        QTest::newRow("override not a number")
            << MINIMIZED << TO_MAX << QVariant(QStringLiteral("x")) << int(Qt::WindowMaximized);
        QTest::newRow("stored hide shows normally")
            << WINDOWPLACEMENT::SW_HIDE << 0u << none << int(Qt::WindowNoState);
    }

    void restoreReopensAsSaved() {
        QFETCH(uint32_t, showCmd);
        QFETCH(uint32_t, flags);
        QFETCH(QVariant, showOverride);
        QFETCH(int, state);
        const QRect normal(60, 70, 400, 300);
        {
            auto profile = m_profile->Open();
            profile->setValue(SECTION + QStringLiteral("/") + MAIN_KEY,
                              Bytes(Placement(showCmd, flags, normal)));
            if (showOverride.isValid()) {
                profile->setValue(SECTION + QStringLiteral("/."), showOverride);
            }
        }
        auto window = Window();
        CPlacementStore store;
        QVERIFY(store.Restore(window.get(), MAIN_KEY, SECTION));
        QCOMPARE(int(window->windowState()), state);
        QCOMPARE(window->normalGeometry(), normal);
        window->show();
        QVERIFY(Settle(*window));
        QCOMPARE(int(window->windowState()), state);
        if (state == Qt::WindowNoState) {
            QCOMPARE(window->geometry(), normal);
        }
        if (state == Qt::WindowMaximized) {
            QVERIFY(window->width() > normal.width());
        }
    }

    void overrideIsReadOncePerStore() {
        auto profile = m_profile->Open();
        profile->setValue(SECTION + QStringLiteral("/") + MAIN_KEY,
                          Bytes(Placement(NORMAL, 0, QRect(60, 70, 400, 300))));
        profile->setValue(SECTION + QStringLiteral("/."), 3);
        CPlacementStore store;
        auto first = Window();
        QVERIFY(store.Restore(first.get(), MAIN_KEY, SECTION));
        QVERIFY(first->isMaximized());
        profile->setValue(SECTION + QStringLiteral("/."), 2);
        auto second = Window();
        QVERIFY(store.Restore(second.get(), MAIN_KEY, SECTION));
        QVERIFY(second->isMaximized());
        CPlacementStore fresh;
        auto third = Window();
        QVERIFY(fresh.Restore(third.get(), MAIN_KEY, SECTION));
        QVERIFY(!third->isMaximized());
    }

    void saveWritesTheRecordAndTheOverride_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<uint32_t>("showCmd");
        QTest::addColumn<uint32_t>("flags");
        QTest::newRow("normal") << int(Qt::WindowNoState) << NORMAL << 0u;
        QTest::newRow("maximised") << int(Qt::WindowMaximized) << MAXIMIZED << 0u;
        QTest::newRow("minimised") << int(Qt::WindowMinimized) << MINIMIZED << 0u;
        QTest::newRow("minimised from maximised")
            << int(Qt::WindowMinimized | Qt::WindowMaximized) << MINIMIZED << TO_MAX;
    }

    void saveWritesTheRecordAndTheOverride() {
        QFETCH(int, state);
        QFETCH(uint32_t, showCmd);
        QFETCH(uint32_t, flags);
        auto window = Window();
        window->show();
        QVERIFY(Settle(*window));
        const QRect normal = window->geometry();
        window->setWindowState(Qt::WindowStates(state));
        QVERIFY(Settle(*window));

        CPlacementStore store;
        QVERIFY(store.Save(window.get(), MAIN_KEY, SECTION));
        auto profile = m_profile->Open();
        QVERIFY(QFile::exists(profile->fileName()));
        const QByteArray bytes =
            profile->value(SECTION + QStringLiteral("/") + MAIN_KEY).toByteArray();
        QCOMPARE(bytes.size(), 44);
        WINDOWPLACEMENT saved;
        QVERIFY(DecodePlacement(reinterpret_cast<const uint8_t*>(bytes.constData()), 44, saved));
        QCOMPARE(saved.length, 44u);
        QCOMPARE(saved.showCmd, showCmd);
        QCOMPARE(saved.flags, flags);
        QCOMPARE(NormalRect(saved), normal);
        QCOMPARE(profile->value(SECTION + QStringLiteral("/.")).toInt(), 0);
        QVERIFY(saved == store.m_placement);
    }

    void placementRoundTripsByteForByte_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("showOverride");
        QTest::newRow("normal") << Bytes(Placement(NORMAL, 0, QRect(30, 40, 500, 400))) << 0;
        QTest::newRow("maximised") << Bytes(Placement(MAXIMIZED, 0, QRect(5, 6, 300, 200))) << 0;
        WINDOWPLACEMENT minimised = Placement(MINIMIZED, TO_MAX, QRect(70, 80, 250, 260));
        minimised.ptMinPosition = {-32000, -32000};
        minimised.ptMaxPosition = {-8, -8};
        QTest::newRow("minimised, kept by override 1") << Bytes(minimised) << 1;
    }

    void placementRoundTripsByteForByte() {
        QFETCH(QByteArray, stored);
        QFETCH(int, showOverride);
        {
            auto profile = m_profile->Open();
            profile->setValue(SECTION + QStringLiteral("/") + PROGRESS_KEY, stored);
            profile->setValue(SECTION + QStringLiteral("/."), showOverride);
        }
        auto window = Window();
        CPlacementStore store;
        QVERIFY(store.Restore(window.get(), PROGRESS_KEY, SECTION));
        window->show();
        QVERIFY(Settle(*window));
        QVERIFY(store.Save(window.get(), PROGRESS_KEY, SECTION));
        auto profile = m_profile->Open();
        QCOMPARE(profile->value(SECTION + QStringLiteral("/") + PROGRESS_KEY).toByteArray(),
                 stored);
        QCOMPARE(profile->value(SECTION + QStringLiteral("/.")).toInt(), showOverride);
    }

    void malformedValuesAreIgnored_data() {
        QTest::addColumn<QVariant>("value");
        const QRect good(60, 70, 400, 300);
        const QByteArray valid = Bytes(Placement(NORMAL, 0, good));
        QTest::newRow("absent") << QVariant();
        QTest::newRow("43 bytes") << QVariant(valid.left(43));
        QTest::newRow("45 bytes") << QVariant(valid + '\0');
        QTest::newRow("empty") << QVariant(QByteArray());
        QTest::newRow("text, not binary") << QVariant(QString::fromLatin1(valid.toHex().left(44)));
        QTest::newRow("number") << QVariant(44);
        WINDOWPLACEMENT p = Placement(NORMAL, 0, good);
        p.length = 40;
        QTest::newRow("length field 40") << QVariant(Bytes(p));
        p = Placement(99, 0, good);
        QTest::newRow("show command 99") << QVariant(Bytes(p));
        QTest::newRow("inverted rectangle")
            << QVariant(Bytes(Placement(NORMAL, 0, QRect(400, 300, -300, -200))));
        QTest::newRow("empty rectangle")
            << QVariant(Bytes(Placement(NORMAL, 0, QRect(100, 100, 0, 0))));
        QTest::newRow("absurdly large")
            << QVariant(Bytes(Placement(MAXIMIZED, 0, QRect(0, 0, 30000, 30000))));
        QTest::newRow("beyond the coordinate range")
            << QVariant(Bytes(Placement(NORMAL, 0, QRect(2000000000, 5, 300, 200))));
        QTest::newRow("on no screen")
            << QVariant(Bytes(Placement(NORMAL, 0, QRect(20000, 20000, 400, 300))));
        QTest::newRow("a sliver on screen")
            << QVariant(Bytes(Placement(NORMAL, 0, QRect(-395, -295, 400, 300))));
    }

    void malformedValuesAreIgnored() {
        QFETCH(QVariant, value);
        if (value.isValid()) {
            m_profile->Open()->setValue(SECTION + QStringLiteral("/") + MAIN_KEY, value);
        }
        auto window = Window();
        CPlacementStore store;
        QVERIFY(!store.Restore(window.get(), MAIN_KEY, SECTION));
        QCOMPARE(window->geometry(), QRect(40, 50, 320, 200));
        QCOMPARE(window->windowState(), Qt::WindowNoState);
        QVERIFY(store.m_placement == WINDOWPLACEMENT{});
        // Nothing usable to apply either.
        QVERIFY(!store.Apply(window.get()));
        QCOMPARE(window->geometry(), QRect(40, 50, 320, 200));
    }

    void bothWindowsShareTheSection() {
        auto main = Window();
        auto progress = Window();
        main->setGeometry(10, 20, 500, 400);
        progress->setGeometry(110, 120, 300, 200);
        CPlacementStore mainStore;
        CPlacementStore progressStore;
        QVERIFY(mainStore.Save(main.get(), MAIN_KEY, SECTION));
        QVERIFY(progressStore.Save(progress.get(), PROGRESS_KEY, SECTION));

        m_profile->Open()->remove(SECTION + QStringLiteral("/") + MAIN_KEY);
        auto main2 = Window();
        auto progress2 = Window();
        QVERIFY(!CPlacementStore().Restore(main2.get(), MAIN_KEY, SECTION));
        QVERIFY(CPlacementStore().Restore(progress2.get(), PROGRESS_KEY, SECTION));
        QCOMPARE(progress2->geometry(), QRect(110, 120, 300, 200));

        // One shared override: 3 opens every restored window maximised.
        QVERIFY(mainStore.Save(main.get(), MAIN_KEY, SECTION));
        m_profile->Open()->setValue(SECTION + QStringLiteral("/."), 3);
        auto main3 = Window();
        auto progress3 = Window();
        QVERIFY(CPlacementStore().Restore(main3.get(), MAIN_KEY, SECTION));
        QVERIFY(CPlacementStore().Restore(progress3.get(), PROGRESS_KEY, SECTION));
        QVERIFY(main3->isMaximized());
        QVERIFY(progress3->isMaximized());
    }

    void saveKeepsTheUsersOverride() {
        m_profile->Open()->setValue(SECTION + QStringLiteral("/."), 4);
        auto window = Window();
        CPlacementStore store;  // never restored, so it never read the override
        QVERIFY(store.Save(window.get(), MAIN_KEY, SECTION));
        QCOMPARE(m_profile->Open()->value(SECTION + QStringLiteral("/.")).toInt(), 4);
    }

    void dialogSavesWhenItEnds() {
        KeyedDlg dlg;
        dlg.show();
        QVERIFY(Settle(dlg));
        dlg.setGeometry(33, 44, 555, 333);
        QVERIFY(Settle(dlg));
        MessageBoxWatcher watcher;
        dlg.done(0);
        QVERIFY(watcher.texts.isEmpty());
        const QByteArray bytes =
            m_profile->Open()->value(SECTION + QStringLiteral("/") + MAIN_KEY).toByteArray();
        WINDOWPLACEMENT saved;
        QVERIFY(DecodePlacement(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(),
                                saved));
        QCOMPARE(NormalRect(saved), QRect(33, 44, 555, 333));

        // And the next one opens there.
        KeyedDlg next;
        QVERIFY(next.m_placementStore.Restore(&next, MAIN_KEY, SECTION));
        QCOMPARE(next.geometry(), QRect(33, 44, 555, 333));
    }

    void restoredDialogLaysOutItsControlsOnce_data() {
        QTest::addColumn<uint32_t>("showCmd");
        QTest::newRow("normal") << NORMAL;
        QTest::newRow("maximised") << MAXIMIZED;
    }

    void restoredDialogLaysOutItsControlsOnce() {
        QFETCH(uint32_t, showCmd);
        const QRect normal(30, 40, 700, 500);
        m_profile->Open()->setValue(SECTION + QStringLiteral("/") + MAIN_KEY,
                                    Bytes(Placement(showCmd, 0, normal)));
        RestoringDlg dlg;
        const QRect list0 = dlg.Control(1003)->geometry();
        dlg.show();
        QVERIFY(dlg.restored);
        QVERIFY(QTest::qWaitFor([&] {
            return dlg.isMaximized() == (showCmd == MAXIMIZED) && dlg.width() >= normal.width();
        }));
        QCOMPARE(dlg.normalGeometry(), normal);
        const QSize grown = dlg.size() - dlg.templateSize;
        QCOMPARE(dlg.Control(1003)->geometry(),
                 list0.adjusted(0, 0, grown.width(), grown.height()));
    }

    void dialogWithoutKeySavesNothing() {
        CResizeDlg dlg(IDD_CONVPROG);
        dlg.show();
        QVERIFY(Settle(dlg));
        dlg.done(0);
        QVERIFY(m_profile->Open()->allKeys().isEmpty());
    }

    void failedSaveShowsTheMessage() {
        // A regular file where the profile's folder belongs: no one can write there.
        QFile blocker(m_profile->Path() + QStringLiteral("/Quillon"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        auto window = Window();
        QVERIFY(!CPlacementStore().Save(window.get(), PROGRESS_KEY, SECTION));

        KeyedDlg dlg;
        dlg.show();
        QVERIFY(Settle(dlg));
        MessageBoxWatcher watcher;
        dlg.done(0);
        QCOMPARE(watcher.texts, QStringList{QStringLiteral("Fail to Save!")});
        QCOMPARE(watcher.icons.value(0), QMessageBox::NoIcon);
    }
};

int RunPlacementStoreTests(int argc, char** argv) {
    PlacementStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PlacementStoreTest.moc"
