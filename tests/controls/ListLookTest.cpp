// The file list as a user sees it in a light and a dark palette: row colours, the sort mark
// beside unmoved titles, the rename editor on the cell's text, the spare width.
#include <QLineEdit>
#include <QStyle>

#include "LookPalettes.h"
#include "LookTests.h"
#include "controls/PaletteColors.h"
#include "controls/ReportCtrlHeader.h"
#include "tests/controls/ReportCtrlFixture.h"

namespace {

// A fixture list with a bad row among good ones, sorted by Size(MB) with the column tinted.
void FillSorted(ReportListFixture& f) {
    for (int i = 0; i < 6; ++i) {
        const int row = f.AddRow(QStringLiteral("track %1.ogg").arg(i), 6 - i, i == 2 ? 1 : 0);
        f.list->SetItemText(row, 2, i == 2 ? QStringLiteral("Unknown") : QStringLiteral("OGG"));
        if (i == 2)
            f.list->SetItemTextColor(row, 2, RGB(255, 0, 0), true);
    }
    f.list->SetSortKeys({{0, 1}});
    f.list->OnColumnClick(RC_COLUMN_SIZE);
}

// The leftmost pixel of a row band that differs clearly from the background, or -1.
int FirstInk(const QImage& image, int top, int bottom, int from, const QColor& background) {
    for (int x = std::max(from, 0); x < image.width(); ++x) {
        for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.lightness() - background.lightness()) > 90)
                return x;
        }
    }
    return -1;
}

}  // namespace

class ListLookTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportListFixture> f;

private Q_SLOTS:
    void init() {
        f = std::make_unique<ReportListFixture>();
        f->Create();
    }
    void cleanup() { f.reset(); }

    // On the light palette every shade is exactly the fixed one; text keeps its colours.
    void lightPaletteKeepsTheFixedColours() {
        FillSorted(*f);
        for (int r = 0; r < f->list->GetItemCount(); ++r) {
            const bool bad = f->list->GetItemData(r)->m_error != 0;
            for (int c = 0; c < f->list->GetColumnCount(); ++c) {
                const bool sorted = c == RC_COLUMN_SIZE;
                COLORREF expected = RGB(255, 255, 255);
                if (bad)
                    expected = RGB(255, 225, 241);
                else if (r % 2)
                    expected = sorted ? RGB(227, 230, 242) : RGB(244, 245, 252);
                else if (sorted)
                    expected = RGB(241, 242, 247);
                QCOMPARE(f->list->GetItemBkColor(r, c), expected);
                const QColor text =
                    f->list->model()->index(r, c).data(Qt::ForegroundRole).value<QColor>();
                QCOMPARE(text, bad && c == 2 ? QColor(255, 0, 0)
                                             : f->list->palette().color(QPalette::Text));
            }
        }
    }

    // On the dark palette the shades come from the palette and every cell stays readable,
    // the red "Unknown" on its tinted row included.
    void darkPaletteIsReadable() {
        FillSorted(*f);
        f->list->setPalette(DarkPalette());
        const QColor base = DarkPalette().color(QPalette::Base);
        int badRow = -1;
        for (int r = 0; r < f->list->GetItemCount(); ++r) {
            for (int c = 0; c < f->list->GetColumnCount(); ++c) {
                const QModelIndex index = f->list->model()->index(r, c);
                const QColor text = index.data(Qt::ForegroundRole).value<QColor>();
                const QColor back = index.data(Qt::BackgroundRole).value<QColor>();
                QVERIFY2(ContrastRatio(text, back) >= 4.5,
                         qPrintable(QStringLiteral("row %1 column %2").arg(r).arg(c)));
                // Dark rows: nothing of the light shades is left.
                QVERIFY(back.lightness() < 96);
            }
            if (f->list->GetItemData(r)->m_error)
                badRow = r;
        }
        QVERIFY(badRow >= 0);
        const QColor unknown = f->list->CellTextColor(badRow, 2);
        QVERIFY(unknown.red() > unknown.green() + 40);  // still red
        QVERIFY(f->list->CellBackColor(badRow, 0).red() > base.red() + 20);
        const int even = badRow == 0 ? 2 : 0;
        QCOMPARE(f->list->CellBackColor(even, 0), base);
        QVERIFY(f->list->CellBackColor(1, 0) != base);                  // alternating
        QVERIFY(f->list->CellBackColor(even, RC_COLUMN_SIZE) != base);  // sorted tint
    }

    // Colours are resolved when the cells paint: rows made under one palette show the next.
    void paletteChangeRecolours() {
        FillSorted(*f);
        f->list->SetItemTextColor(-1, 1, RC_SYSTEM_COLOR, false);
        const QImage light = f->list->viewport()->grab().toImage();
        f->list->setPalette(DarkPalette());
        const QImage dark = f->list->viewport()->grab().toImage();
        const QRect cell = f->list->visualRect(f->list->model()->index(0, 4));
        QVERIFY(light.pixelColor(cell.center()).lightness() > 200);
        QVERIFY(dark.pixelColor(cell.center()).lightness() < 60);
        QCOMPARE(f->list->model()->index(0, 1).data(Qt::ForegroundRole).value<QColor>(),
                 DarkPalette().color(QPalette::Text));
    }

    // The first sort mark appears in room every title leaves free: no title moves, none is
    // covered, also when the owner sets the blank and arrow header images.
    void titlesKeepTheirPlace_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("ownerImages");
        QTest::newRow("light") << false << false;
        QTest::newRow("dark") << true << false;
        QTest::newRow("light, owner's images") << false << true;
    }
    void titlesKeepTheirPlace() {
        QFETCH(bool, dark);
        QFETCH(bool, ownerImages);
        if (dark)
            f->list->setPalette(DarkPalette());
        f->AddRow(QStringLiteral("b.ogg"), 2);
        f->AddRow(QStringLiteral("a.ogg"), 1);
        f->list->SetSortKeys({{0, 1}});
        auto* header = static_cast<CReportHeader*>(f->Header());
        const QImage before = header->viewport()->grab().toImage();
        QCOMPARE(f->list->GetSortMarkColumn(), -1);

        f->ClickHeader(RC_COLUMN_SIZE);
        CImageList marks;
        if (ownerImages) {
            QPixmap blank(16, 16);
            blank.fill(Qt::transparent);
            QPixmap arrow(16, 16);
            arrow.fill(Qt::darkBlue);
            marks.Add(QIcon(blank));
            marks.Add(QIcon(arrow));
            f->list->SetHeaderImageList(&marks);
            for (int c = 0; c < f->list->GetColumnCount(); ++c)
                f->list->SetHeaderImage(c, c == RC_COLUMN_SIZE ? 1 : 0, false);
        }
        QCOMPARE(f->list->GetSortMarkColumn(), RC_COLUMN_SIZE);
        QVERIFY(f->list->IsSortMarkAscending());
        const QImage after = header->viewport()->grab().toImage();
        const qreal ratio = after.devicePixelRatio();

        for (int c = 0; c < f->list->GetColumnCount(); ++c) {
            const QRect title = header->TitleRect(c);
            const QRect mark = header->MarkRect(c);
            const double width =
                QFontMetricsF(header->font()).horizontalAdvance(f->list->GetColumnHeading(c));
            // Where the text itself lies in its room, by the column's alignment.
            const int textLeft = c < 2 ? title.left() : title.right() + 1 - qCeil(width);
            const QRect text(textLeft, title.top(), qCeil(width), title.height());
            QVERIFY2(!text.intersects(mark), qPrintable(f->list->GetColumnHeading(c)));
            QVERIFY(title.right() < mark.left());
            const QRect pixels(qFloor(text.left() * ratio), qFloor(text.top() * ratio),
                               qCeil(text.width() * ratio), qCeil(text.height() * ratio));
            QCOMPARE(after.copy(pixels), before.copy(pixels));
        }
        // The mark is drawn in its slot of the sorted column only.
        const auto markPixels = [&](int c) {
            const QRect m = header->MarkRect(c);
            return QRect(qFloor(m.left() * ratio), qFloor(m.top() * ratio),
                         qCeil(m.width() * ratio), qCeil(m.height() * ratio));
        };
        QVERIFY(after.copy(markPixels(RC_COLUMN_SIZE)) != before.copy(markPixels(RC_COLUMN_SIZE)));
        QCOMPARE(after.copy(markPixels(4)), before.copy(markPixels(4)));
    }

    // The rename editor's first letter stands where the cell's first letter stood, and the
    // file's icon stays uncovered.
    void editorSitsOnTheCellText() {
        CImageList icons;
        QPixmap square(16, 16);
        square.fill(Qt::darkGreen);
        icons.Add(QIcon(square));
        f->list->SetImageList(&icons);
        const int row = f->AddRow(QStringLiteral("Hidden track.ogg"));
        f->list->SetItemImage(row, 0, 0);
        const QRect cell = f->list->visualRect(f->list->model()->index(row, 0));
        const QColor base = f->list->palette().color(QPalette::Base);
        QImage plain = f->list->viewport()->grab().toImage();
        const qreal ratio = plain.devicePixelRatio();
        const int band = qRound(cell.center().y() * ratio);
        const QColor icon(Qt::darkGreen);
        int afterIcon = 0;
        for (int x = 0; x < plain.width(); ++x) {
            if (plain.pixelColor(x, band) == icon)
                afterIcon = x + 1;
        }
        const int cellInk = FirstInk(plain, band - 3, band + 3, afterIcon, base);
        QVERIFY(cellInk > 0);

        QVERIFY(f->list->StartEdit(row, 0));
        QLineEdit* editor = f->list->GetEditor();
        editor->deselect();
        editor->setCursorPosition(editor->text().size());
        const QImage edited = f->list->viewport()->grab().toImage();
        const int editLeft = qRound(editor->geometry().left() * ratio);
        // The editor's frame first, then its text.
        const int frame =
            qCeil(editor->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, editor) *
                  ratio) +
            1;
        const int editInk = FirstInk(edited, band - 3, band + 3, editLeft + frame,
                                     editor->palette().color(QPalette::Base));
        QVERIFY(std::abs(editInk - cellInk) <= qCeil(ratio));
        // The icon, found by its colour in the plain cell, lies left of the editor.
        QVERIFY(afterIcon > 0);
        QVERIFY(editor->geometry().left() * ratio >= afterIcon);
    }

    // The last column takes the spare width of a wide list, but its own width is what is
    // stored and what it comes back with.
    void lastColumnTakesTheSpareWidth() {
        int sum = 0;
        for (int c = 0; c < f->list->GetColumnCount(); ++c)
            sum += f->Header()->sectionSize(c);
        QCOMPARE(sum, f->list->viewport()->width());
        QVERIFY(f->Header()->sectionSize(7) > ReportListFixture::WIDTHS[7]);
        QCOMPARE(f->list->GetColumnWidth(7), ReportListFixture::WIDTHS[7]);
        const QByteArray layout = f->list->GetColumnLayoutValue();
        QCOMPARE(layout.mid(7 * 8 + 4, 4), QByteArray::fromHex("58000000"));  // 88
        f->list->ShowColumn(7, false);
        f->list->ShowColumn(7, true);
        QCOMPARE(f->list->GetColumnWidth(7), ReportListFixture::WIDTHS[7]);
    }

    // Defaults follow the font: a larger font gives wider columns, and a column is never
    // narrower than its title with the sort mark's room.
    void defaultWidthsFollowTheFont() {
        const int normal = f->list->DefaultColumnWidth(QStringLiteral("Name"), 150);
        QFont big = f->list->font();
        big.setPointSizeF(big.pointSizeF() * 2);
        f->list->setFont(big);
        const int large = f->list->DefaultColumnWidth(QStringLiteral("Name"), 150);
        QVERIFY(large > normal * 3 / 2);
        const int narrow = f->list->DefaultColumnWidth(QStringLiteral("Last Modified"), 10);
        f->list->InsertColumn(8, QStringLiteral("Last Modified"), LVCFMT_RIGHT, narrow);
        QVERIFY(narrow >= f->Header()->sectionSizeHint(8));
    }
};

int RunListLookTests(int argc, char** argv) {
    ListLookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ListLookTest.moc"
