#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "tests/controls/ReportCtrlFixture.h"

using Layout = std::vector<ColumnLayoutEntry>;
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

QByteArray Int32s(std::initializer_list<int32_t> values) {
    QByteArray out;
    for (int32_t v : values) {
        const auto u = static_cast<uint32_t>(v);
        for (int b = 0; b < 4; ++b)
            out.append(char((u >> (8 * b)) & 0xFF));
    }
    return out;
}

}  // namespace

class ReportCtrlColumnsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportListFixture> f;

private Q_SLOTS:
    void init() {
        f = std::make_unique<ReportListFixture>();
        f->Create();
    }
    void cleanup() { f.reset(); }

    void hideAndShow_data() {
        QTest::addColumn<std::vector<int>>("hide");
        QTest::addColumn<int>("show");
        QTest::addColumn<std::vector<int>>("order");  // display order afterwards
        QTest::newRow("hide 4") << std::vector<int>{4} << -1
                                << std::vector<int>{4, 0, 1, 2, 3, 5, 6, 7};
        QTest::newRow("hide 4, show 4")
            << std::vector<int>{4} << 4 << std::vector<int>{0, 1, 2, 3, 5, 6, 7, 4};
        QTest::newRow("hide 2 and 5")
            << std::vector<int>{2, 5} << -1 << std::vector<int>{5, 2, 0, 1, 3, 4, 6, 7};
        QTest::newRow("hide 2 and 5, show 2")
            << std::vector<int>{2, 5} << 2 << std::vector<int>{5, 0, 1, 3, 4, 6, 7, 2};
    }
    void hideAndShow() {
        QFETCH(std::vector<int>, hide);
        QFETCH(int, show);
        QFETCH(std::vector<int>, order);
        for (int c : hide) {
            QVERIFY(f->list->ShowColumn(c, false));
            QCOMPARE(f->Header()->visualIndex(c), 0);
            QCOMPARE(f->list->GetColumnWidth(c), 0);
            QVERIFY(!f->list->IsColumnVisible(c));
            // The width rule refuses hidden columns, auto-size included.
            QVERIFY(!f->list->SetColumnWidth(c, 40));
            QVERIFY(!f->list->AutoSizeColumn(c, false));
            QCOMPARE(f->list->GetColumnWidth(c), 0);
        }
        if (show >= 0) {
            QVERIFY(f->list->ShowColumn(show, true));
            QVERIFY(f->list->IsColumnVisible(show));
            QCOMPARE(f->list->GetColumnWidth(show), ReportListFixture::WIDTHS[show]);
        }
        QCOMPARE(f->list->GetColumnOrder(), order);
    }

    void hideTwiceKeepsWidth() {
        f->list->ShowColumn(4, false);
        f->list->ShowColumn(4, false);
        f->list->ShowColumn(4, true);
        QCOMPARE(f->list->GetColumnWidth(4), ReportListFixture::WIDTHS[4]);
    }

    void dividerDrag_data() {
        QTest::addColumn<bool>("hideFirst");
        QTest::newRow("visible column resizes") << false;
        QTest::newRow("hidden column refuses") << true;
    }
    void dividerDrag() {
        QFETCH(bool, hideFirst);
        QWidget* header = f->Header()->viewport();
        if (hideFirst) {
            f->list->ShowColumn(2, false);
            // The hidden column's divider is the left grip of the first visible column.
            const int x = f->Header()->sectionViewportPosition(0) + 1;
            Drag(header, QPoint(x, 5), QPoint(x + 80, 5));
            QCOMPARE(f->list->GetColumnWidth(2), 0);
            QCOMPARE(f->list->GetColumnWidth(0), ReportListFixture::WIDTHS[0]);
            QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(x, 5));
            QCOMPARE(f->list->GetColumnWidth(2), 0);
        } else {
            const int x = f->Header()->sectionViewportPosition(0) + f->list->GetColumnWidth(0) - 1;
            Drag(header, QPoint(x, 5), QPoint(x + 80, 5));
            QCOMPARE(f->list->GetColumnWidth(0), ReportListFixture::WIDTHS[0] + 80);
        }
    }

    void ctrlKeypadPlusAutoSizes() {
        f->AddRow(QStringLiteral("a rather long file name that needs room.ogg"));
        f->list->SetColumnWidth(0, 10);
        f->list->ShowColumn(5, false);
        QTest::keyClick(f->list.get(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        QVERIFY(f->list->GetColumnWidth(0) > 100);
        QCOMPARE(f->list->GetColumnWidth(5), 0);
        // Without Ctrl the key is the list's ordinary one.
        f->list->SetColumnWidth(0, 10);
        QTest::keyClick(f->list.get(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f->list->GetColumnWidth(0), 10);
    }

    void dragInFrontOfHiddenColumns() {
        f->list->SetExtendedStyle(LVS_EX_HEADERDRAGDROP);
        f->list->ShowColumn(4, false);
        f->list->ShowColumn(5, false);
        const QPoint from = f->SectionCenter(6);
        Drag(f->Header()->viewport(), from, QPoint(2, from.y()));
        QCOMPARE(f->Header()->visualIndex(6), 2);
        QCOMPARE(f->Header()->visualIndex(4), 1);
        QCOMPARE(f->Header()->visualIndex(5), 0);
        // The pointer cannot reach a zero-width section, but a move that lands in front of
        // the hidden columns (as a drag end reports it) is raised behind them.
        f->Header()->moveSection(f->Header()->visualIndex(7), 0);
        QCOMPARE(f->Header()->visualIndex(7), 2);
        QCOMPARE(f->Header()->visualIndex(4), 1);
    }

    void headerMenu() {
        f->list->ShowColumn(5, false);
        QStringList texts;
        QList<bool> enabled, checked;
        int separatorBefore = -1;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            const QList<QAction*> actions = menu->actions();
            QAction* hide4 = nullptr;
            for (QAction* a : actions) {
                if (a->isSeparator()) {
                    separatorBefore = texts.size();
                    continue;
                }
                texts << a->text();
                enabled << a->isEnabled();
                checked << a->isChecked();
                if (a->data().toInt() == 4)
                    hide4 = a;
            }
            menu->setActiveAction(hide4);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QPoint at = f->SectionCenter(3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                f->Header()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(f->Header()->viewport(), &event);
        QCOMPARE(texts, (Strings({"Name", "Path", "Type", "Size(MB)", "Last Modified", "Duration",
                                  "Frequency", "Channel"})));
        QCOMPARE(enabled, (QList<bool>{false, false, true, true, true, true, true, true}));
        QCOMPARE(checked, (QList<bool>{true, true, true, true, true, false, true, true}));
        QCOMPARE(separatorBefore, 3);
        QVERIFY(!f->list->IsColumnVisible(4));
        QCOMPARE(f->list->GetColumnWidth(4), 0);
    }

    void noMenuBelowHeader() {
        f->AddRow(QStringLiteral("a.ogg"));
        bool popup = false;
        QTimer::singleShot(0, [&] {
            popup = QApplication::activePopupWidget() != nullptr;
            if (popup)
                QApplication::activePopupWidget()->close();
        });
        const QPoint at = f->CellCenter(0, 3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, f->list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(f->list->viewport(), &event);
        QTest::qWait(20);
        QVERIFY(!popup);
    }

    void formatNumber_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("text");
        QTest::newRow("5") << 5.0 << -1 << "5";
        QTest::newRow("0") << 0.0 << -1 << "0";
        QTest::newRow("2.5") << 2.5 << -1 << "2.5";
        QTest::newRow("10") << 10.0 << -1 << "10";
        QTest::newRow("3.14") << 3.14 << -1 << "3.14";
        QTest::newRow("-0.5") << -0.5 << -1 << "-0.5";
        QTest::newRow("two decimals") << 3.14159 << 2 << "3.14";
        QTest::newRow("two decimals keep zeros") << 5.0 << 2 << "5.00";
        QTest::newRow("no decimals") << 2.71828 << 0 << "3";
    }
    void formatNumber() {
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(QString, text);
        const int row = f->list->InsertItem(0, QStringLiteral("x"));
        QVERIFY(f->list->SetItemText(row, 3, value, precision));
        QCOMPARE(f->list->GetItemText(row, 3), text);
    }

    void cellColours_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("changed");  // cells of the 3 x 8 list that take the colour
        QTest::newRow("one cell") << 1 << 2 << 1;
        QTest::newRow("one row") << 1 << -1 << 8;
        QTest::newRow("one column") << -1 << 2 << 3;
        QTest::newRow("everything") << -1 << -1 << 24;
        QTest::newRow("row past the end, column past the end") << 9 << 99 << 24;
    }
    void cellColours() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, changed);
        for (int i = 0; i < 3; ++i)
            f->AddRow(QStringLiteral("f%1.ogg").arg(i));
        const COLORREF red = RGB(255, 0, 0);
        f->list->SetItemTextColor(row, column, red, true);
        f->list->SetItemBkColor(row, column, red, false);
        int text = 0, back = 0;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 8; ++c) {
                text += f->list->GetItemTextColor(r, c) == red;
                back += f->list->GetItemBkColor(r, c) == red;
            }
        }
        QCOMPARE(text, changed);
        QCOMPARE(back, changed);
        // -1 everywhere puts the system colours back in every cell.
        f->list->SetItemTextColor(-1, -1, RC_SYSTEM_COLOR, true);
        const QColor system = f->list->palette().color(QPalette::Text);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 8; ++c)
                QCOMPARE(f->list->GetItemTextColor(r, c),
                         RGB(system.red(), system.green(), system.blue()));
        }
        QCOMPARE(f->list->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), system);
    }

    void columnInsertedLaterGetsColours() {
        f->AddRow(QStringLiteral("a.ogg"));
        f->list->SetItemBkColor(0, 7, RGB(1, 2, 3), false);
        QCOMPARE(f->list->InsertColumn(2, QStringLiteral("Extra")), 2);
        QCOMPARE(f->list->GetItemBkColor(0, 8), RGB(1, 2, 3));  // colour moved with its column
        const QColor base = f->list->palette().color(QPalette::Base);
        QCOMPARE(f->list->GetItemBkColor(0, 2), RGB(base.red(), base.green(), base.blue()));
        QCOMPARE(f->list->GetColumnState(2).restorePos, -1);
    }

    void statesAndFilters() {
        for (int i = 0; i < 6; ++i)
            f->AddRow(QStringLiteral("f%1.ogg").arg(i));
        QCOMPARE(f->list->SetAllItemStates(RC_ITEM_ALL, 0), 0);
        QCOMPARE(f->list->SetAllItemStates(0, RC_ITEM_SELECTED), 0);
        QVERIFY(!f->list->SetItemStates(1, 0));
        QVERIFY(f->list->SetItemStates(1, RC_ITEM_SELECTED | RC_ITEM_FOCUSED));
        QVERIFY(f->list->SetItemStates(4, RC_ITEM_SELECTED));
        QCOMPARE(f->list->GetItemStates(1), RC_ITEM_SELECTED | RC_ITEM_FOCUSED | RC_ITEM_UNCHECKED);
        QCOMPARE(f->list->GetItemStates(2),
                 RC_ITEM_UNSELECTED | RC_ITEM_UNFOCUSED | RC_ITEM_UNCHECKED);
        QCOMPARE(f->list->GetItemCount(RC_ITEM_SELECTED), 2);
        QCOMPARE(f->list->GetItemCount(RC_ITEM_SELECTED | RC_ITEM_FOCUSED), 1);
        QCOMPARE(f->list->GetItemCount(0), 0);
        QCOMPARE(f->list->GetNextItem(RC_ITEM_SELECTED, -7), 1);
        QCOMPARE(f->list->GetNextItem(RC_ITEM_SELECTED, 1), 4);
        QCOMPARE(f->list->GetNextItem(RC_ITEM_SELECTED, 4), -1);
        QCOMPARE(f->list->DeleteItems(RC_ITEM_SELECTED), 2);
        QCOMPARE(f->Names(), (Strings({"f0.ogg", "f2.ogg", "f3.ogg", "f5.ogg"})));
        QCOMPARE(f->list->SetAllItemStates(RC_ITEM_ALL, RC_ITEM_SELECTED), 4);
        QCOMPARE(f->list->GetItemCount(RC_ITEM_UNSELECTED), 0);
        QVERIFY(f->list->DeleteItem(0, true));
        QCOMPARE(f->list->GetItemData(0), &f->items[2]);
        QCOMPARE(f->list->DeleteItems(RC_ITEM_ALL), 3);
        QCOMPARE(f->list->GetItemCount(), 0);
        QCOMPARE(f->list->GetItemData(0), nullptr);
        QVERIFY(!f->list->SetItemData(0, &f->items[0]));
    }

    void hints_data() {
        QTest::addColumn<uint32_t>("tick");
        QTest::addColumn<QString>("hint");
        const QString first =
            QStringLiteral("Load your files by clicking the \"Add Files\" toolbar button");
        QTest::newRow("0 s") << 0u << first;
        QTest::newRow("5.9 s") << 5999u << first;
        QTest::newRow("6 s") << 6000u
                             << "Right click items in the file list, then click the floating "
                                "popup menu to perform various file operations";
        QTest::newRow("12 s") << 12000u << "Click the column header to sort the file list";
        QTest::newRow("18 s") << 18000u
                              << "Right click the column header, then click the floating popup "
                                 "menu to show/hide columns";
        QTest::newRow("24 s") << 24000u << first;
    }
    void hints() {
        QFETCH(uint32_t, tick);
        QFETCH(QString, hint);
        QCOMPARE(CReportCtrl::HintText(tick), hint);
    }

    void hintsPaintOnlyWhenEmpty() {
        // Drawn in the placeholder colour straight onto the list: no pixel of another colour
        // than the list's base and the text's (and the blend of both at glyph edges). The
        // placeholder colour may be translucent; what lands on the base is the blend.
        const QColor base = f->list->palette().color(QPalette::Base);
        QColor hint = f->list->palette().color(QPalette::PlaceholderText);
        hint = QColor::fromRgbF(hint.redF() * hint.alphaF() + (1 - hint.alphaF()) * base.redF(),
                                hint.greenF() * hint.alphaF() + (1 - hint.alphaF()) * base.greenF(),
                                hint.blueF() * hint.alphaF() + (1 - hint.alphaF()) * base.blueF());
        auto hintPixels = [&] {
            const QImage image = f->list->viewport()->grab().toImage();
            int count = 0;
            // Below where a first row would be: the hint's half of the list.
            for (int y = image.height() / 3; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += c != base;
                    const bool between = std::min(hint.red(), base.red()) <= c.red() &&
                                         c.red() <= std::max(hint.red(), base.red());
                    if (!between)
                        return -1;
                }
            }
            return count;
        };
        QCOMPARE(hintPixels(), 0);
        f->list->ShowHints(true);
        QVERIFY(hintPixels() > 0);
        f->AddRow(QStringLiteral("a.ogg"));
        QCOMPARE(hintPixels(), 0);
    }

    void profileRoundTrip_data() {
        QTest::addColumn<QByteArray>("column");
        QTest::addColumn<QByteArray>("sortEx");
        QTest::newRow("column 2 hidden")
            << Int32s({1, 160, 1, 140, 0, 77, 1, 90, 1, 120, 1, 88, 1, 96, 1, 88})
            << Int32s({3, 0, 0, 1});
        QTest::newRow("all shown, six keys")
            << Int32s({1, 150, 1, 150, 1, 65, 1, 85, 1, 120, 1, 88, 1, 96, 1, 88})
            << Int32s({7, 1, 6, 0, 5, 1, 4, 0, 3, 1, 2, 0});
        QTest::newRow("two hidden")
            << Int32s({1, 10, 1, 20, 1, 30, 0, 40, 1, 50, 0, 60, 1, 70, 1, 80}) << Int32s({0, 1});
    }
    void profileRoundTrip() {
        QFETCH(QByteArray, column);
        QFETCH(QByteArray, sortEx);
        {
            const auto profile = CReportCtrl::OpenProfile();
            profile->setValue(QStringLiteral("FileList/Column"), column);
            profile->setValue(QStringLiteral("FileList/SortEx"), sortEx);
        }
        // Reopen the way the main window does: stored widths at insertion, then hide.
        const auto layout = CReportCtrl::ReadColumnLayout(8);
        QVERIFY(layout.has_value());
        std::vector<int> widths;
        for (const ColumnLayoutEntry& e : *layout)
            widths.push_back(e.width);
        f->list = std::make_unique<CReportCtrl>();
        f->AddColumns(widths);
        CReportCtrl& list = *f->list;
        list.ApplyColumnVisibility(*layout);
        list.ReadSortKeys();
        const std::vector<int> order = list.GetColumnOrder();
        int hidden = 0;
        for (int c = 0; c < 8; ++c) {
            const ColumnLayoutEntry& stored = (*layout)[size_t(c)];
            QCOMPARE(list.IsColumnVisible(c), stored.visible);
            QCOMPARE(list.GetColumnWidth(c), stored.visible ? stored.width : 0);
            if (!stored.visible) {
                QVERIFY(std::find(order.begin(), order.end(), c) - order.begin() < 2);
                ++hidden;
            }
        }
        QVERIFY(hidden <= 2);
        list.WriteProfile();
        const auto profile = CReportCtrl::OpenProfile();
        QCOMPARE(profile->value(QStringLiteral("FileList/Column")).toByteArray(), column);
        QCOMPARE(profile->value(QStringLiteral("FileList/SortEx")).toByteArray(), sortEx);
    }

    void malformedColumnLayout_data() {
        QTest::addColumn<QByteArray>("value");
        const QByteArray good = Int32s({1, 150, 1, 150, 1, 65, 1, 85, 1, 120, 1, 88, 1, 96, 1, 88});
        QTest::newRow("good") << good;  // control row: this one must parse
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte short") << good.left(good.size() - 1);
        QTest::newRow("seven columns") << good.left(56);
        QTest::newRow("nine columns") << good + Int32s({1, 50});
        QTest::newRow("negative width")
            << Int32s({1, 150, 1, 150, 1, -65, 1, 85, 1, 120, 1, 88, 1, 96, 1, 88});
        QTest::newRow("absurd width")
            << Int32s({1, 150, 1, 150, 1, 65, 1, 85, 1, 1200000, 1, 88, 1, 96, 1, 88});
        QTest::newRow("visible neither 0 nor 1")
            << Int32s({1, 150, 1, 150, 7, 65, 1, 85, 1, 120, 1, 88, 1, 96, 1, 88});
    }
    void malformedColumnLayout() {
        QFETCH(QByteArray, value);
        const bool good = QByteArray(QTest::currentDataTag()) == "good";
        QCOMPARE(CReportCtrl::ParseColumnLayout(value, 8).has_value(), good);
        CReportCtrl::OpenProfile()->setValue(QStringLiteral("FileList/Column"), value);
        QCOMPARE(CReportCtrl::ReadColumnLayout(8).has_value(), good);
    }

    void firstTwoColumnsNeverStartHidden() {
        const auto layout = CReportCtrl::ParseColumnLayout(
            Int32s({0, 150, 0, 150, 0, 65, 1, 85, 1, 120, 1, 88, 1, 96, 1, 88}), 8);
        QVERIFY(layout.has_value());
        QVERIFY((*layout)[0].visible && (*layout)[1].visible && !(*layout)[2].visible);
    }

    void malformedSortKeys_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("good");
        QTest::newRow("good") << Int32s({3, 0, 0, 1}) << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("twelve bytes") << Int32s({3, 0, 0}) << false;
        QTest::newRow("unknown column") << Int32s({9, 1}) << false;
        QTest::newRow("negative column") << Int32s({-1, 1}) << false;
        QTest::newRow("same column twice") << Int32s({3, 1, 3, 0}) << false;
        QTest::newRow("direction 5") << Int32s({3, 5}) << false;
        QTest::newRow("seven keys") << Int32s({0, 1, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1}) << false;
    }
    void malformedSortKeys() {
        QFETCH(QByteArray, value);
        QFETCH(bool, good);
        CReportCtrl::OpenProfile()->setValue(QStringLiteral("FileList/SortEx"), value);
        f->list->ReadSortKeys();
        const std::vector<ColumnSortInfo> fallback{{0, 1}};
        if (good)
            QCOMPARE(f->list->GetSortKeys(), (std::vector<ColumnSortInfo>{{3, 0}, {0, 1}}));
        else
            QCOMPARE(f->list->GetSortKeys(), fallback);
    }

    void absentSortKeysDefaultToName() {
        f->list->SetSortKeys({{5, 0}});
        f->list->ReadSortKeys();
        QCOMPARE(f->list->GetSortKeys(), (std::vector<ColumnSortInfo>{{0, 1}}));
    }
};

QTEST_MAIN(ReportCtrlColumnsTest)
#include "ReportCtrlColumnsTest.moc"
