#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include <functional>

#include "DialogTests.h"
#include "controls/ResizeDlg.h"
#include "controls/SizeGripExt.h"

namespace {

constexpr int PROBE_ID = 500;
constexpr int STATUS_BAR_ID = 59393;

// A resizable dialog whose derived initialisation the test supplies.
class TestDlg : public CResizeDlg {
public:
    using Init = std::function<void(TestDlg&)>;
    TestDlg(int templateId, Init init) : CResizeDlg(templateId), m_init(std::move(init)) {}
    using CResizeDlg::m_initialClientRect;
    using CResizeDlg::m_lastClientRect;

protected:
    bool OnInitDialog() override {
        const bool result = CResizeDlg::OnInitDialog();
        if (m_init) {
            m_init(*this);
        }
        return result;
    }

private:
    Init m_init;
};

// An empty 300 x 150 dialog with one probe control at (100, 50) size 60 x 20.
std::unique_ptr<TestDlg> ProbeDialog(unsigned hKind, unsigned vKind) {
    auto dlg = std::make_unique<TestDlg>(0, [hKind, vKind](TestDlg& d) {
        QVERIFY(d.AddAnchor(PROBE_ID, hKind, hKind, vKind, vKind, 0, 1, -1, -1, -1));
    });
    dlg->resize(300, 150);
    auto* probe = new QLabel(QStringLiteral("probe"), dlg.get());
    probe->setGeometry(100, 50, 60, 20);
    SetControlId(probe, PROBE_ID);
    return dlg;
}

bool Settle(QWidget& w) {
    QCoreApplication::processEvents();
    return QTest::qWaitForWindowExposed(&w) || w.isMinimized();
}

}  // namespace

class ResizeDlgTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void anchoredListFollowsTheWindow() {
        // The main window's layout: the list on all four sides, the status bar at the bottom.
        TestDlg dlg(IDD_MAIN, [](TestDlg& d) {
            auto* bar = new QStatusBar(&d);
            bar->setGeometry(0, d.height() - 25, d.width(), 25);
            SetControlId(bar, STATUS_BAR_ID);
            QVERIFY(
                d.AddAnchor(1003, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH));
            QVERIFY(d.AddAnchor(STATUS_BAR_ID, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_MOVE,
                                ANCHOR_MOVE));
        });
        dlg.show();
        QVERIFY(Settle(dlg));
        QWidget* list = dlg.Control(1003);
        QWidget* bar = dlg.Control(STATUS_BAR_ID);
        const QRect list0 = list->geometry();
        const QRect bar0 = bar->geometry();

        dlg.resize(dlg.width() + 100, dlg.height());
        QCOMPARE(list->geometry(), list0.adjusted(0, 0, 100, 0));
        QCOMPARE(bar->geometry(), bar0.adjusted(0, 0, 100, 0));

        dlg.resize(dlg.width(), dlg.height() + 50);
        QCOMPARE(list->geometry(), list0.adjusted(0, 0, 100, 50));
        QCOMPARE(bar->geometry(), bar0.adjusted(0, 50, 100, 50));

        dlg.resize(dlg.width() - 100, dlg.height() - 50);
        QCOMPARE(list->geometry(), list0);
        QCOMPARE(bar->geometry(), bar0);
        QCOMPARE(dlg.m_lastClientRect.size(), dlg.size());
        QCOMPARE(dlg.m_initialClientRect.size(), dlg.size());
    }

    void anchorKinds_data() {
        QTest::addColumn<unsigned>("hKind");
        QTest::addColumn<unsigned>("vKind");
        QTest::addColumn<QSize>("newSize");
        QTest::addColumn<QRect>("expected");
        // Start: client 300 x 150, control (100, 50) 60 x 20, centre (130, 60).
        const QSize bigger(420, 210);
        QTest::newRow("fixed") << unsigned(ANCHOR_FIXED) << unsigned(ANCHOR_FIXED) << bigger
                               << QRect(100, 50, 60, 20);
        QTest::newRow("stretch") << unsigned(ANCHOR_STRETCH) << unsigned(ANCHOR_STRETCH) << bigger
                                 << QRect(100, 50, 180, 80);
        QTest::newRow("move") << unsigned(ANCHOR_MOVE) << unsigned(ANCHOR_MOVE) << bigger
                              << QRect(220, 110, 60, 20);
        // 420 * 130 / 300 - 30 = 152; 210 * 60 / 150 - 10 = 74.
        QTest::newRow("center") << unsigned(ANCHOR_CENTER) << unsigned(ANCHOR_CENTER) << bigger
                                << QRect(152, 74, 60, 20);
        QTest::newRow("stretch across, move down")
            << unsigned(ANCHOR_STRETCH) << unsigned(ANCHOR_MOVE) << bigger
            << QRect(100, 110, 180, 20);
        QTest::newRow("center across, fixed height")
            << unsigned(ANCHOR_CENTER) << unsigned(ANCHOR_FIXED) << bigger
            << QRect(152, 50, 60, 20);
        QTest::newRow("stretch, smaller") << unsigned(ANCHOR_STRETCH) << unsigned(ANCHOR_STRETCH)
                                          << QSize(250, 140) << QRect(100, 50, 10, 10);
        QTest::newRow("move, smaller") << unsigned(ANCHOR_MOVE) << unsigned(ANCHOR_MOVE)
                                       << QSize(250, 140) << QRect(50, 40, 60, 20);
        // 301 * 130 / 300 - 30 = 100.43 -> 100; 149 * 0.4 - 10 = 49.6 -> 49 (toward zero).
        QTest::newRow("center truncates") << unsigned(ANCHOR_CENTER) << unsigned(ANCHOR_CENTER)
                                          << QSize(301, 149) << QRect(100, 49, 60, 20);
        QTest::newRow("unknown kind stays") << 9u << 9u << bigger << QRect(100, 50, 60, 20);
    }

    void anchorKinds() {
        QFETCH(unsigned, hKind);
        QFETCH(unsigned, vKind);
        QFETCH(QSize, newSize);
        QFETCH(QRect, expected);
        auto dlg = ProbeDialog(hKind, vKind);
        dlg->show();
        QVERIFY(Settle(*dlg));
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), QRect(100, 50, 60, 20));
        dlg->resize(newSize);
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), expected);
        const AnchorRect r = dlg->Anchors().front().rect;
        QCOMPARE(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), expected);
    }

    void centredControlKeepsItsFraction() {
        // Centre at one third of the width: (90 + 110) / 2 = 100 of 300.
        auto dlg = std::make_unique<TestDlg>(0, [](TestDlg& d) {
            QVERIFY(d.AddAnchor(PROBE_ID, ANCHOR_CENTER, ANCHOR_CENTER, ANCHOR_FIXED, ANCHOR_FIXED,
                                0, 0.9 /* ignored */));
        });
        dlg->resize(300, 150);
        auto* probe = new QLabel(dlg.get());
        probe->setGeometry(90, 10, 20, 20);
        SetControlId(probe, PROBE_ID);
        dlg->show();
        QVERIFY(Settle(*dlg));
        QCOMPARE(dlg->Anchors().front().hRatio, 1.0 / 3.0);
        for (int width : {600, 451, 999, 120, 300, 3000}) {
            dlg->resize(width, 150);
            const QRect g = probe->geometry();
            QCOMPARE(g.size(), QSize(20, 20));
            const double centre = g.left() + g.width() / 2.0;
            QVERIFY2(std::abs(centre - width / 3.0) < 1.0,
                     qPrintable(QStringLiteral("%1 at %2").arg(centre).arg(width)));
        }
    }

    void shrinkingPastZeroComesBack() {
        auto dlg = ProbeDialog(ANCHOR_STRETCH, ANCHOR_STRETCH);
        dlg->show();
        QVERIFY(Settle(*dlg));
        dlg->resize(100, 40);  // 200 narrower, 110 lower: the control would be negative
        QCOMPARE(dlg->Control(PROBE_ID)->size(), QSize(0, 0));
        dlg->resize(300, 150);
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), QRect(100, 50, 60, 20));
    }

    void minimisingChangesNothing() {
        auto dlg = ProbeDialog(ANCHOR_STRETCH, ANCHOR_MOVE);
        dlg->show();
        QVERIFY(Settle(*dlg));
        dlg->resize(400, 200);
        const QRect before = dlg->Control(PROBE_ID)->geometry();
        QCOMPARE(before, QRect(100, 100, 160, 20));
        const QRect gripBefore = dlg->SizeGrip()->geometry();

        dlg->showMinimized();
        QVERIFY(Settle(*dlg));
        QVERIFY(dlg->isMinimized());
        // What a platform reports for a minimised window's client area.
        dlg->resize(160, 30);
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), before);
        QCOMPARE(dlg->SizeGrip()->geometry(), gripBefore);
        QCOMPARE(dlg->m_lastClientRect.size(), QSize(400, 200));

        dlg->resize(400, 200);
        dlg->showNormal();
        QVERIFY(Settle(*dlg));
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), before);
    }

    void anchorsRegisterOnceById() {
        auto dlg = ProbeDialog(ANCHOR_FIXED, ANCHOR_FIXED);
        dlg->show();
        QVERIFY(Settle(*dlg));
        QVERIFY(!dlg->AddAnchor(4711, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE));
        QVERIFY(dlg->AddAnchor(PROBE_ID, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_FIXED, ANCHOR_FIXED,
                               ANCHOR_NO_ERASE | ANCHOR_REDRAW_ON_MOVE));
        QCOMPARE(dlg->Anchors().size(), std::size_t(1));
        const AnchorRecord& a = dlg->Anchors().front();
        QCOMPARE(a.hKindRight, unsigned(ANCHOR_MOVE));
        QCOMPARE(a.noErase, 1u);
        QCOMPARE(a.redrawOnMove, 1u);
        dlg->resize(310, 150);
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), QRect(110, 50, 60, 20));
    }

    void gripHidesWhenMaximisedAndComesBack() {
        auto dlg = ProbeDialog(ANCHOR_STRETCH, ANCHOR_STRETCH);
        dlg->show();
        QVERIFY(Settle(*dlg));
        CSizeGripExt* grip = dlg->SizeGrip();
        QVERIFY(grip);
        QVERIFY(!grip->isHidden());
        QCOMPARE(grip->geometry().bottomRight(), dlg->rect().bottomRight());
        QVERIFY(grip->focusPolicy() == Qt::NoFocus);
        // Only the lower-right triangle belongs to the grip.
        const QRegion mask = grip->mask();
        QVERIFY(mask.contains(QPoint(grip->width() - 2, grip->height() - 2)));
        QVERIFY(!mask.contains(QPoint(1, 1)));

        dlg->showMaximized();
        QVERIFY(QTest::qWaitFor([&] { return dlg->isMaximized() && dlg->width() > 300; }));
        QVERIFY(grip->isHidden());
        QCOMPARE(dlg->Control(PROBE_ID)->width(), 60 + dlg->width() - 300);

        dlg->showNormal();
        QVERIFY(QTest::qWaitFor([&] { return !dlg->isMaximized() && dlg->width() == 300; }));
        QVERIFY(!grip->isHidden());
        QCOMPARE(grip->geometry().bottomRight(), dlg->rect().bottomRight());
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), QRect(100, 50, 60, 20));
    }

    void hiddenGripReturnsWithTheNextSize() {
        auto dlg = ProbeDialog(ANCHOR_FIXED, ANCHOR_FIXED);
        dlg->show();
        QVERIFY(Settle(*dlg));
        dlg->HideSizeGrip();
        QVERIFY(dlg->SizeGrip()->isHidden());
        dlg->resize(333, 170);
        QVERIFY(!dlg->SizeGrip()->isHidden());
        QCOMPARE(dlg->SizeGrip()->geometry().bottomRight(), QPoint(332, 169));
    }

    void draggingTheGripResizesTheDialog() {
        auto dlg = ProbeDialog(ANCHOR_STRETCH, ANCHOR_STRETCH);
        dlg->show();
        QVERIFY(Settle(*dlg));
        CSizeGripExt* grip = dlg->SizeGrip();
        const QPoint start(grip->width() - 2, grip->height() - 2);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QTest::mouseMove(grip, start + QPoint(40, 30));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(40, 30));
        QVERIFY(QTest::qWaitFor([&] { return dlg->size() == QSize(340, 180); }));
        QCOMPARE(dlg->Control(PROBE_ID)->geometry(), QRect(100, 50, 100, 50));
    }

    // Smaller than its template the progress window's labels and buttons would run into
    // each other; the main window and a window without a template have no least size.
    void aTemplateIsTheLeastSize() {
        CResizeDlg progress(IDD_CONVPROG);
        const QSize built = progress.size();
        progress.show();
        QVERIFY(Settle(progress));
        QCOMPARE(progress.minimumSize(), built);
        progress.resize(built.width() / 2, built.height() / 3);
        QCOMPARE(progress.size(), built);
        progress.resize(built.width() + 40, built.height() + 30);
        QCOMPARE(progress.size(), built + QSize(40, 30));

        CResizeDlg main(IDD_MAIN);
        main.show();
        QVERIFY(Settle(main));
        QCOMPARE(main.minimumSize(), QSize(0, 0));

        auto probe = ProbeDialog(ANCHOR_FIXED, ANCHOR_FIXED);
        probe->show();
        QVERIFY(Settle(*probe));
        QCOMPARE(probe->minimumSize(), QSize(0, 0));
    }
};

int RunResizeDlgTests(int argc, char** argv) {
    ResizeDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ResizeDlgTest.moc"
