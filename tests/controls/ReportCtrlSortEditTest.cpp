#include <QLineEdit>
#include <QSignalSpy>
#include <QWheelEvent>

#include "controls/ListBusy.h"
#include "tests/controls/ReportCtrlFixture.h"

using Keys = std::vector<ColumnSortInfo>;
Q_DECLARE_METATYPE(std::vector<int>)

class ReportCtrlSortEditTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportListFixture> f;

    // Rows with the given names and sizes, in that order.
    void Fill(const std::vector<std::pair<const char*, double>>& rows) {
        for (const auto& [name, size] : rows)
            f->AddRow(QString::fromUtf8(name), size);
    }

private Q_SLOTS:
    void init() {
        f = std::make_unique<ReportListFixture>();
        f->Create();
        f->list->SetSortKeys({{0, 1}});
    }
    void cleanup() { f.reset(); }

    void keySequence() {
        Fill({{"b.ogg", 2}, {"a.ogg", 1}});
        f->ClickHeader(0);
        QCOMPARE(f->list->GetSortKeys(), (Keys{{0, 0}}));
        f->ClickHeader(3);
        QCOMPARE(f->list->GetSortKeys(), (Keys{{3, 1}, {0, 0}}));
        f->ClickHeader(0);  // a former key keeps its direction
        QCOMPARE(f->list->GetSortKeys(), (Keys{{0, 0}, {3, 1}}));
    }

    void atMostSixKeys() {
        for (int c = 1; c <= 6; ++c)
            f->list->OnColumnClick(c);
        const Keys keys = f->list->GetSortKeys();
        QCOMPARE(keys.size(), size_t(6));
        QCOMPARE(keys.front().column, 6);
        QCOMPARE(keys.back().column, 1);  // the oldest, column 0, dropped out
    }

    void order_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QStringList>("names");
        // Sizes: b 2, A 1, a 2, c 1. Equal sizes fall back to Name in the primary's direction.
        QTest::newRow("name ascending, upper case first")
            << 0 << 0 << Strings({"A.ogg", "a.ogg", "b.ogg", "c.ogg"});
        QTest::newRow("name descending") << 0 << 1 << Strings({"c.ogg", "b.ogg", "a.ogg", "A.ogg"});
        QTest::newRow("size ascending, ties by name ascending")
            << 3 << 1 << Strings({"A.ogg", "c.ogg", "a.ogg", "b.ogg"});
        QTest::newRow("size descending, ties by name descending")
            << 3 << 2 << Strings({"b.ogg", "a.ogg", "c.ogg", "A.ogg"});
    }
    void order() {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QStringList, names);
        Fill({{"b.ogg", 2}, {"A.ogg", 1}, {"a.ogg", 2}, {"c.ogg", 1}});
        f->list->SortItems(0, f->list->GetItemCount() - 1, true);
        for (int i = 0; i < clicks; ++i)
            f->ClickHeader(column);
        QCOMPARE(f->Names(), names);
    }

    void sizeSortsByValueNotText() {
        Fill({{"ten.ogg", 10.0}, {"nine.ogg", 9.5}, {"hundred.ogg", 100.0}});
        f->list->OnColumnClick(3);
        QCOMPARE(f->Names(), Strings({"nine.ogg", "ten.ogg", "hundred.ogg"}));
    }

    void selectionFollowsTheRowAndRecordsStay() {
        Fill({{"c.ogg", 3}, {"a.ogg", 1}, {"b.ogg", 2}});
        CAudioFileItem* record = f->list->GetItemData(0);
        f->list->setCurrentIndex(f->list->model()->index(0, 0));  // selects and focuses c.ogg
        f->list->OnColumnClick(3);                                // by size: a b c
        QCOMPARE(f->Names(), Strings({"a.ogg", "b.ogg", "c.ogg"}));
        QCOMPARE(f->list->GetItemData(2), record);
        QCOMPARE(f->list->GetItemText(2, 3), QStringLiteral("3.00"));
        QVERIFY(f->list->GetItemStates(2) & RC_ITEM_SELECTED);
        QVERIFY(f->list->GetItemStates(2) & RC_ITEM_FOCUSED);
        QVERIFY(f->list->GetItemStates(0) & RC_ITEM_UNSELECTED);
    }

    void badRowsArePinkInEveryColumn() {
        f->AddRow(QStringLiteral("good.ogg"), 1.0, 0);
        f->AddRow(QStringLiteral("bad.ogg"), 2.0, 1);
        f->list->SortItems(0, 1, true);
        const int bad = f->Names().indexOf(QStringLiteral("bad.ogg"));
        for (int c = 0; c < 8; ++c)
            QCOMPARE(f->list->GetItemBkColor(bad, c), RGB(255, 225, 241));
        QVERIFY(f->list->GetItemBkColor(1 - bad, 1) != RGB(255, 225, 241));
    }

    void sortReportsToTheOwnerAndClearsBusy() {
        Fill({{"b.ogg", 2}, {"a.ogg", 1}});
        QSignalSpy sorted(f->list.get(), &CReportCtrl::ListSorted);
        f->list->OnColumnClick(3);
        QCOMPARE(g_listBusy.load(), 0);
        QVERIFY(sorted.wait(1000));
        QCOMPARE(sorted.first().at(0).toInt(), 3);
        QCOMPARE(sorted.first().at(1).toInt(), 1);
    }

    void guardRefusesClicks() {
        Fill({{"b.ogg", 2}, {"a.ogg", 1}});
        f->list->SetClickSortGuard([] { return false; });
        f->ClickHeader(3);
        QCOMPARE(f->list->GetSortKeys(), (Keys{{0, 1}}));
        QCOMPARE(f->Names(), Strings({"b.ogg", "a.ogg"}));
    }

    // ---- in-place editing ----

    void editSelectsUpToTheLastPeriod() {
        f->AddRow(QStringLiteral("track.live.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QVERIFY(f->list->StartEdit(0, 0));
        QCOMPARE(f->list->GetEditor()->selectedText(), QStringLiteral("track.live"));
    }

    void endKeys_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("edited");
        QTest::newRow("enter unchanged") << QString() << int(Qt::Key_Return) << false;
        QTest::newRow("escape after typing")
            << QStringLiteral("new") << int(Qt::Key_Escape) << false;
        QTest::newRow("enter after typing") << QStringLiteral("new") << int(Qt::Key_Return) << true;
    }
    void endKeys() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, edited);
        f->AddRow(QStringLiteral("old.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QSignalSpy spy(f->list.get(), &CReportCtrl::CellEdited);
        QVERIFY(f->list->StartEdit(0, 0));
        if (!typed.isEmpty())
            QTest::keyClicks(f->list->GetEditor(), typed);
        QTest::keyClick(f->list->GetEditor(), Qt::Key(key));
        QVERIFY(!f->list->IsEditing());
        QCOMPARE(spy.count(), edited ? 1 : 0);
        if (edited) {
            QCOMPARE(spy.first().at(0).toInt(), 0);
            QCOMPARE(spy.first().at(1).toInt(), 0);
            QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("new.ogg"));
        } else {
            QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("old.ogg"));
        }
    }

    void downOnTheLastRowWraps() {
        f->AddRow(QStringLiteral("one.ogg"));
        f->AddRow(QStringLiteral("two.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QVERIFY(f->list->StartEdit(1, 0));
        QTest::keyClick(f->list->GetEditor(), Qt::Key_Down);
        QVERIFY(f->list->IsEditing());
        QCOMPARE(f->list->GetEditRow(), 0);
        QTest::keyClick(f->list->GetEditor(), Qt::Key_Up);
        QCOMPARE(f->list->GetEditRow(), 1);
    }

    void wheelCancelsAndFocusLossDoesNot() {
        f->AddRow(QStringLiteral("one.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QSignalSpy spy(f->list.get(), &CReportCtrl::CellEdited);
        QVERIFY(f->list->StartEdit(0, 0));
        QLineEdit elsewhere;
        elsewhere.show();
        elsewhere.setFocus();
        QApplication::processEvents();
        QVERIFY(f->list->IsEditing());  // losing the focus keeps the editor
        QTest::keyClicks(f->list->GetEditor(), QStringLiteral("x"));
        QWheelEvent wheel(QPointF(10, 10), f->list->viewport()->mapToGlobal(QPoint(10, 10)),
                          QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(f->list->viewport(), &wheel);
        QVERIFY(!f->list->IsEditing());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("one.ogg"));
    }

    void onlyASecondClickOpensTheEditor() {
        f->AddRow(QStringLiteral("one.ogg"));
        f->AddRow(QStringLiteral("two.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        f->ClickCell(1, 0);
        QVERIFY(!f->list->IsEditing());  // the first click only selects
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        f->ClickCell(1, 0);
        QVERIFY(f->list->IsEditing());
        QCOMPARE(f->list->GetEditRow(), 1);
        QCOMPARE(f->list->GetEditColumn(), 0);
        f->list->EndEdit(false);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        f->ClickCell(1, 3);  // not an editable column
        QVERIFY(!f->list->IsEditing());
    }
};

QTEST_MAIN(ReportCtrlSortEditTest)
#include "ReportCtrlSortEditTest.moc"
