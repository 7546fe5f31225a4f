#include <QLineEdit>
#include <QSignalSpy>
#include <QWheelEvent>

#include "controls/ListBusy.h"
#include "platform/Message.h"
#include "tests/controls/ReportCtrlFixture.h"

using Keys = std::vector<ColumnSortInfo>;
Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(std::vector<COLORREF>)

// The owner's side of the list's messages: a port on this thread's queue that records them.
struct OwnerPort {
    CMessageQueue queue;
    std::vector<Message> received;
    std::function<void(const Message&)> onMessage;
    std::shared_ptr<CWindowPort> port = CWindowPort::Create(queue, [this](Message& m) {
        if (onMessage)
            onMessage(m);
        received.push_back(std::move(m));
        return intptr_t(0);
    });
};

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

    void textOrderIsUtf8ByteOrder_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("accents after ASCII")
            << Strings({"\u00e9t\u00e9", "zoo", "eau"}) << Strings({"eau", "zoo", "\u00e9t\u00e9"});
        // UTF-16 would put the surrogate pair first; UTF-8 puts U+1F3B5 after U+FF21.
        QTest::newRow("beyond the basic plane last")
            << Strings({"\U0001F3B5", "\uFF21", "a"}) << Strings({"a", "\uFF21", "\U0001F3B5"});
        QTest::newRow("prefix first") << Strings({"ab", "a", "abc"}) << Strings({"a", "ab", "abc"});
    }
    void textOrderIsUtf8ByteOrder() {
        QFETCH(QStringList, input);
        QFETCH(QStringList, ascending);
        QStringList byBytes = input;
        std::sort(byBytes.begin(), byBytes.end(),
                  [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
        QCOMPARE(byBytes, ascending);  // the expectation itself is the byte order
        for (const QString& name : input)
            f->AddRow(name);
        f->list->SortItems(0, f->list->GetItemCount() - 1, true);
        QCOMPARE(f->Names(), ascending);
    }

    void recordColumnsSortByValue_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("ascending");
        // a: 8000 Hz, 6 channels; b: 44100 Hz, 1 channel; c: 22050 Hz, 2 channels
        QTest::newRow("Frequency") << 6 << Strings({"a", "c", "b"});
        QTest::newRow("Channel") << 7 << Strings({"b", "c", "a"});
    }
    void recordColumnsSortByValue() {
        QFETCH(int, column);
        QFETCH(QStringList, ascending);
        f->AddRow(QStringLiteral("a"), 1.0, 0, 8000, 6);
        f->AddRow(QStringLiteral("b"), 1.0, 0, 44100, 1);
        f->AddRow(QStringLiteral("c"), 1.0, 0, 22050, 2);
        f->ClickHeader(column);
        QCOMPARE(f->Names(), ascending);
    }

    void sortRangeBoundsAndOneLayoutChange() {
        Fill({{"d", 1}, {"c", 1}, {"b", 1}, {"a", 1}});
        int busy = -1, layouts = 0;
        connect(f->list->model(), &QAbstractItemModel::layoutChanged, this, [&] {
            busy = g_listBusy.load();
            ++layouts;
        });
        QVERIFY(f->list->SortRange(1, 2, 0, true));
        QCOMPARE(f->Names(), Strings({"d", "b", "c", "a"}));
        QVERIFY(!f->list->SortRange(2, 2, 0, true));
        QVERIFY(!f->list->SortRange(2, 4, 0, true));
        QVERIFY(!f->list->SortRange(-1, 2, 0, true));
        QCOMPARE(f->Names(), Strings({"d", "b", "c", "a"}));
        layouts = 0;
        f->list->SortItems(0, 3, true);
        QCOMPARE(layouts, 1);
        QCOMPARE(busy, 1);  // set while the rows move
        QCOMPARE(g_listBusy.load(), 0);
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

    void sortedColumnTintAndAlternatingRows_data() {
        QTest::addColumn<bool>("highlight");
        QTest::addColumn<std::vector<COLORREF>>("rowColours");  // per row: other, sorted column
        const COLORREF pink = RGB(255, 225, 241);
        QTest::newRow("highlighted") << true << std::vector<COLORREF>{RGB(255, 255, 255),
                                                                      RGB(241, 242, 247),
                                                                      RGB(244, 245, 252),
                                                                      RGB(227, 230, 242),
                                                                      pink,
                                                                      pink,
                                                                      RGB(244, 245, 252),
                                                                      RGB(227, 230, 242)};
        QTest::newRow("plain") << false << std::vector<COLORREF>{RGB(255, 255, 255),
                                                                 RGB(255, 255, 255),
                                                                 RGB(244, 245, 252),
                                                                 RGB(244, 245, 252),
                                                                 pink,
                                                                 pink,
                                                                 RGB(244, 245, 252),
                                                                 RGB(244, 245, 252)};
    }
    void sortedColumnTintAndAlternatingRows() {
        QFETCH(bool, highlight);
        QFETCH(std::vector<COLORREF>, rowColours);
        f->AddRow(QStringLiteral("d.ogg"), 4.0);
        f->AddRow(QStringLiteral("c.ogg"), 3.0, 1);  // bad: pink, also in the sorted column
        f->AddRow(QStringLiteral("b.ogg"), 2.0);
        f->AddRow(QStringLiteral("a.ogg"), 1.0);
        f->ClickHeader(3);  // by size: a b c d, sorted column 3
        QCOMPARE(f->Names(), Strings({"a.ogg", "b.ogg", "c.ogg", "d.ogg"}));
        if (!highlight)
            f->list->RefreshRowColors(false);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 8; ++c) {
                const COLORREF expected = rowColours[size_t(2 * r + (c == 3 ? 1 : 0))];
                QVERIFY2(f->list->GetItemBkColor(r, c) == expected,
                         qPrintable(QStringLiteral("row %1 column %2").arg(r).arg(c)));
            }
        }
        // The view paints what the records hold.
        QCOMPARE(f->list->model()->index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(highlight ? 227 : 244, highlight ? 230 : 245, highlight ? 242 : 252));
    }

    void ownerHearsOfSortsAlsoWithOneRow_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("one row") << 1;
        QTest::newRow("three rows") << 3;
    }
    void ownerHearsOfSortsAlsoWithOneRow() {
        QFETCH(int, rows);
        OwnerPort owner;
        f->list->m_notifyWnd = owner.port;
        for (int r = 0; r < rows; ++r)
            f->AddRow(QStringLiteral("f%1.ogg").arg(r), 1.0 + r);
        f->ClickHeader(3);
        f->ClickHeader(3);  // descending
        owner.queue.ProcessAll();
        QCOMPARE(owner.received.size(), size_t(2));
        for (const Message& m : owner.received) {
            QCOMPARE(m.id, WM_LIST_SORTED);
            QCOMPARE(m.wParam, uintptr_t(3));
        }
        QCOMPARE(owner.received[0].lParam, intptr_t(1));
        QCOMPARE(owner.received[1].lParam, intptr_t(0));
        QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("f%1.ogg").arg(rows - 1));
        QCOMPARE(f->list->GetItemBkColor(0, 3), RGB(241, 242, 247));  // recoloured either way
    }

    void headerWithoutButtonsOnlyRecordsTheKey() {
        Fill({{"b.ogg", 1}, {"a.ogg", 2}});
        QVERIFY(f->list->SetSortable(false));
        f->ClickHeader(3);
        QCOMPARE(f->list->GetSortKeys(), (Keys{{3, 1}, {0, 1}}));
        QCOMPARE(f->Names(), Strings({"b.ogg", "a.ogg"}));
        QVERIFY(f->list->SetSortable(true));
        f->ClickHeader(0);
        QCOMPARE(f->Names(), Strings({"a.ogg", "b.ogg"}));
    }

    // ---- in-place editing ----

    void ownerGetsTheEditedCellWithTheNewText() {
        OwnerPort owner;
        f->list->m_notifyWnd = owner.port;
        f->AddRow(QStringLiteral("one.ogg"));
        f->AddRow(QStringLiteral("two.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QString seen;
        owner.onMessage = [&](const Message&) { seen = f->list->GetItemText(1, 0); };
        QVERIFY(f->list->StartEdit(1, 0));
        QTest::keyClicks(f->list->GetEditor(), QStringLiteral("zwei"));
        QTest::keyClick(f->list->GetEditor(), Qt::Key_Return);
        QCOMPARE(owner.received.size(), size_t(1));  // sent: handled before Enter returned
        QCOMPARE(owner.received[0].id, WM_LIST_CELL_EDITED);
        QCOMPARE(owner.received[0].wParam, uintptr_t(1));
        QCOMPARE(owner.received[0].lParam, intptr_t(0));
        QCOMPARE(seen, QStringLiteral("zwei.ogg"));
        QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("one.ogg"));
    }

    void ownerWritingTheOldTextBackEndsOnce() {
        f->AddRow(QStringLiteral("a.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        int notified = 0;
        connect(f->list.get(), &CReportCtrl::CellEdited, this,
                [&](int row, int column, const QString& oldText) {
                    ++notified;
                    QCOMPARE(oldText, QStringLiteral("a.ogg"));
                    // A failed rename puts the old name back while the notification runs.
                    f->list->SetItemText(row, column, oldText);
                });
        QVERIFY(f->list->StartEdit(0, 0));
        QTest::keyClicks(f->list->GetEditor(), QStringLiteral("b"));
        QTest::keyClick(f->list->GetEditor(), Qt::Key_Return);
        QCOMPARE(notified, 1);
        QVERIFY(!f->list->IsEditing());
        QCOMPARE(f->list->GetItemText(0, 0), QStringLiteral("a.ogg"));
    }

    void tabVisitsTheEditableColumns_data() {
        QTest::addColumn<std::vector<int>>("editable");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("next");
        QTest::newRow("tab to the next") << std::vector<int>{0, 5, 2} << 5 << false << 2;
        QTest::newRow("tab wraps to the first") << std::vector<int>{0, 5, 2} << 2 << false << 0;
        QTest::newRow("shift tab back") << std::vector<int>{0, 5, 2} << 5 << true << 0;
        QTest::newRow("shift tab wraps to the last") << std::vector<int>{0, 5, 2} << 0 << true << 2;
        QTest::newRow("one column reopens itself") << std::vector<int>{0} << 0 << false << 0;
    }
    void tabVisitsTheEditableColumns() {
        QFETCH(std::vector<int>, editable);
        QFETCH(int, start);
        QFETCH(bool, shift);
        QFETCH(int, next);
        f->AddRow(QStringLiteral("one.ogg"));
        f->AddRow(QStringLiteral("two.ogg"));
        f->list->EnableEdit(true);
        for (int c : editable)
            QVERIFY(f->list->AddEditableColumn(c));
        QVERIFY(!f->list->AddEditableColumn(editable.front()));  // each column once
        QVERIFY(!f->list->AddEditableColumn(8));
        QSignalSpy edited(f->list.get(), &CReportCtrl::CellEdited);
        QVERIFY(f->list->StartEdit(1, start));
        QTest::keyClicks(f->list->GetEditor(), QStringLiteral("x"));
        QTest::keyClick(f->list->GetEditor(), Qt::Key_Tab,
                        shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(edited.count(), 1);  // the left cell was committed
        QVERIFY(f->list->IsEditing());
        QCOMPARE(f->list->GetEditRow(), 1);
        QCOMPARE(f->list->GetEditColumn(), next);
    }

    void spaceWithoutAnEditLeavesTheSelection() {
        Fill({{"one.ogg", 1}, {"two.ogg", 2}});
        f->list->setFocus();
        f->list->selectionModel()->setCurrentIndex(f->list->model()->index(1, 0),
                                                   QItemSelectionModel::NoUpdate);
        QTest::keyClick(f->list.get(), Qt::Key_Space);
        QCOMPARE(f->list->GetItemCount(RC_ITEM_SELECTED), 0);
    }

    void whatEndsAnEdit_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("committed");
        QTest::newRow("adding a row commits") << QStringLiteral("insert") << true;
        QTest::newRow("setting a text commits") << QStringLiteral("text") << true;
        QTest::newRow("a header click commits") << QStringLiteral("header") << true;
        QTest::newRow("deleting another row commits") << QStringLiteral("deleteOther") << true;
        QTest::newRow("disabling editing commits") << QStringLiteral("disable") << true;
        QTest::newRow("deleting the edited row cancels") << QStringLiteral("deleteEdited") << false;
        QTest::newRow("deleting all rows cancels") << QStringLiteral("deleteAll") << false;
        QTest::newRow("a column resize cancels") << QStringLiteral("resize") << false;
    }
    void whatEndsAnEdit() {
        QFETCH(QString, action);
        QFETCH(bool, committed);
        f->AddRow(QStringLiteral("one.ogg"));
        f->AddRow(QStringLiteral("two.ogg"));
        f->list->EnableEdit(true);
        f->list->AddEditableColumn(0);
        QSignalSpy edited(f->list.get(), &CReportCtrl::CellEdited);
        QVERIFY(f->list->StartEdit(1, 0));
        QTest::keyClicks(f->list->GetEditor(), QStringLiteral("new"));
        if (action == QLatin1String("insert"))
            f->AddRow(QStringLiteral("three.ogg"));
        else if (action == QLatin1String("text"))
            f->list->SetItemText(0, 2, QStringLiteral("OGG"));
        else if (action == QLatin1String("header"))
            f->ClickHeader(2);
        else if (action == QLatin1String("deleteOther"))
            f->list->DeleteItem(0);
        else if (action == QLatin1String("disable"))
            f->list->EnableEdit(false);
        else if (action == QLatin1String("deleteEdited"))
            f->list->DeleteItem(1);
        else if (action == QLatin1String("deleteAll"))
            f->list->DeleteItems(RC_ITEM_ALL);
        else if (action == QLatin1String("resize")) {
            const int x = f->Header()->sectionViewportPosition(0) + f->list->GetColumnWidth(0) - 1;
            Drag(f->Header()->viewport(), QPoint(x, 5), QPoint(x + 30, 5));
        }
        QVERIFY(!f->list->IsEditing());
        QVERIFY(f->list->GetEditor()->isHidden());
        QCOMPARE(edited.count(), committed ? 1 : 0);
        if (committed)
            QCOMPARE(f->Names().count(QStringLiteral("new.ogg")), 1);
    }

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
