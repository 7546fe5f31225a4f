#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "DialogTests.h"
#include "controls/Dialog.h"
#include "controls/DialogBuilder.h"
#include "resources/DialogTemplates.h"

namespace {

const char* ExpectedClass(DlgControlKind kind) {
    switch (kind) {
        case DlgControlKind::PushButton:
        case DlgControlKind::DefPushButton:
            return "QPushButton";
        case DlgControlKind::Label:
        case DlgControlKind::Icon:
            return "QLabel";
        case DlgControlKind::Edit:
            return "QLineEdit";
        case DlgControlKind::DropDownList:
            return "QComboBox";
        case DlgControlKind::ListView:
            return "QTreeWidget";
        case DlgControlKind::ProgressBar:
            return "QProgressBar";
        case DlgControlKind::GroupBox:
            return "QGroupBox";
        case DlgControlKind::CheckBox:
            return "QCheckBox";
    }
    return "QWidget";
}

QString TextOf(QWidget* widget) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) {
        return b->text();
    }
    if (auto* l = qobject_cast<QLabel*>(widget)) {
        return l->text();
    }
    if (auto* g = qobject_cast<QGroupBox*>(widget)) {
        return g->title();
    }
    if (auto* e = qobject_cast<QLineEdit*>(widget)) {
        return e->text();
    }
    return QString();
}

// Records the order of the first initialisation relative to the window showing.
class InitProbe : public CDialog {
public:
    using CDialog::CDialog;
    int inits = 0;
    int destroys = 0;
    bool visibleAtInit = true;
    QWidget* okAtInit = nullptr;

protected:
    bool OnInitDialog() override {
        ++inits;
        visibleAtInit = isVisible();
        okAtInit = Control(1);
        return true;
    }
    void OnDestroy() override { ++destroys; }
    void OnCommand(int id) override {
        commands << id;
        CDialog::OnCommand(id);
    }

public:
    QList<int> commands;
};

}  // namespace

class DialogTemplateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void baseUnitsFollowTheFont() {
        QFont small = QApplication::font();
        small.setPointSize(8);
        QFont large = small;
        large.setPointSize(16);
        const DialogBaseUnits s = GetDialogBaseUnits(small);
        const DialogBaseUnits l = GetDialogBaseUnits(large);
        QVERIFY(s.cx > 0 && s.cy > 0);
        QVERIFY(l.cx > s.cx);
        QVERIFY(l.cy > s.cy);
        QCOMPARE(s.cy, QFontMetricsF(small).height());
        QCOMPARE(s.cx, QFontMetricsF(small).horizontalAdvance(
                           QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52.0);
        // Rounded to nearest, not truncated: 1 unit of a 7-pixel letter is 1.75 pixels.
        QCOMPARE(MapDialogRect({7, 13}, 1, 1, 3, 5), QRect(2, 2, 5, 8));
        // A letter of 6.4 pixels stays 6.4: 100 units are 160 pixels, not 150.
        QCOMPARE(MapDialogRect({6.4, 13}, 0, 0, 100, 8), QRect(0, 0, 160, 13));
        // Edges are rounded, so neighbours that touch in units touch in pixels.
        const QRect a = MapDialogRect({6.4, 13.3}, 3, 3, 7, 7);
        const QRect b = MapDialogRect({6.4, 13.3}, 10, 10, 7, 7);
        QCOMPARE(a.right() + 1, b.left());
        QCOMPARE(a.bottom() + 1, b.top());
    }

    void everyTemplateBuilds_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("cx");
        QTest::addColumn<int>("cy");
        QTest::addColumn<bool>("resizable");
        QTest::addColumn<int>("controlCount");
        QTest::newRow("about box 100")
            << IDD_ABOUTBOX << QStringLiteral("About Quillon") << 170 << 130 << false << 5;
        QTest::newRow("main window 102")
            << IDD_MAIN << QStringLiteral("Quillon") << 601 << 388 << true << 1;
        QTest::newRow("loading window 157")
            << IDD_PROCESSING << QStringLiteral("Processing Audio Files...") << 316 << 44 << false
            << 2;
        QTest::newRow("progress window 170")
            << IDD_CONVPROG << QString() << 367 << 273 << true << 28;
        QTest::newRow("options 172")
            << IDD_OPTIONS << QStringLiteral("Options") << 316 << 270 << false << 21;
    }

    void everyTemplateBuilds() {
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(int, cx);
        QFETCH(int, cy);
        QFETCH(bool, resizable);
        QFETCH(int, controlCount);

        const DlgTemplate* dlg = FindDlgTemplate(id);
        QVERIFY(dlg);
        QCOMPARE(int(dlg->controls.size()), controlCount);

        QDialog dialog;
        QVERIFY(BuildDialog(&dialog, id));
        QCOMPARE(dialog.windowTitle(), caption);
        QCOMPARE(dialog.font(), QApplication::font());
        const DialogBaseUnits units = GetDialogBaseUnits(dialog.font());
        const QSize client = MapDialogRect(units, 0, 0, cx, cy).size();
        // The template's size is the least the dialog gets; texts may widen it.
        QVERIFY(dialog.width() >= client.width() && dialog.height() >= client.height());
        QVERIFY(dialog.width() <= client.width() * 5 / 4);
        QVERIFY(dialog.height() <= client.height() * 11 / 10);
        QCOMPARE(dialog.minimumSize() == dialog.maximumSize(), !resizable);
        QCOMPARE(bool(dialog.windowFlags() & Qt::WindowMaximizeButtonHint), resizable);

        int tagged = 0;
        for (QObject* child : dialog.children()) {
            auto* w = qobject_cast<QWidget*>(child);
            tagged += (w && w->property(CONTROL_ID_PROPERTY).isValid()) ? 1 : 0;
        }
        QCOMPARE(tagged, controlCount);

        for (const DlgControl& control : dlg->controls) {
            if (control.id == IDC_STATIC) {
                continue;
            }
            QWidget* widget = FindControl(&dialog, control.id);
            QVERIFY2(widget, qPrintable(QString::number(control.id)));
            QCOMPARE(ControlId(widget), control.id);
            QCOMPARE(widget->parentWidget(), &dialog);
            QCOMPARE(widget->metaObject()->className(), ExpectedClass(control.kind));
            // A rectangle is a minimum: at least as wide, and as high unless the control is
            // a label set on the line of the control beside it.
            const QRect expected =
                MapDialogRect(units, control.x, control.y, control.cx, control.cy);
            QVERIFY2(widget->width() >= expected.width(), qPrintable(QString::number(control.id)));
            if (control.kind != DlgControlKind::Label) {
                QVERIFY(widget->height() >= expected.height());
            }
            QCOMPARE(TextOf(widget), QString::fromUtf8(control.text));
        }
    }

    // Texts and styles as the windows need them, looked up by id.
    void controlsByIdCarryTheirDetails() {
        QDialog options;
        QVERIFY(BuildDialog(&options, IDD_OPTIONS));
        QCOMPARE(qobject_cast<QLabel*>(FindControl(&options, 1091))->text(),
                 QStringLiteral("NOTE: The Bitrate is Estimated  for Stereo 44100 Hz."));
        QVERIFY(!FindControl(&options, 1012)->isEnabled());
        QVERIFY(qobject_cast<QComboBox*>(FindControl(&options, 1088)));
        QCOMPARE(qobject_cast<QPushButton*>(FindControl(&options, 3))->text(),
                 QStringLiteral("&Reset"));
        // Without a default push button in the template, OK is the default, and only it.
        QVERIFY(qobject_cast<QPushButton*>(FindControl(&options, 1))->isDefault());
        for (auto* button : options.findChildren<QPushButton*>()) {
            QVERIFY(!button->autoDefault());
            QCOMPARE(button->isDefault(), ControlId(button) == 1);
        }

        QDialog about;
        QVERIFY(BuildDialog(&about, IDD_ABOUTBOX));
        QVERIFY(qobject_cast<QPushButton*>(FindControl(&about, 1))->isDefault());
        // The about box fills in the link; no address is built into the template.
        QVERIFY(qobject_cast<QLabel*>(FindControl(&about, 1141))->text().isEmpty());

        QDialog progress;
        QVERIFY(BuildDialog(&progress, IDD_CONVPROG));
        QVERIFY(qobject_cast<QLabel*>(FindControl(&progress, 1080))->alignment() & Qt::AlignRight);
        QVERIFY(qobject_cast<QLabel*>(FindControl(&progress, 1076))->alignment() & Qt::AlignLeft);
        auto* bar = qobject_cast<QProgressBar*>(FindControl(&progress, 1074));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        auto* log = qobject_cast<QTreeWidget*>(FindControl(&progress, 1003));
        QCOMPARE(log->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(qobject_cast<QPushButton*>(FindControl(&progress, 2))->text(),
                 QStringLiteral("Cancel"));
        QCOMPARE(FindControl(&progress, 4242), nullptr);

        QDialog loading;
        QVERIFY(BuildDialog(&loading, IDD_PROCESSING));
        QCOMPARE(qobject_cast<QPushButton*>(FindControl(&loading, 3))->text(),
                 QStringLiteral("Cancel"));
        QCOMPARE(FindControl(&loading, 2), nullptr);  // its Cancel is command 3
    }

    // The template's Tahoma 8 stood for the desktop's dialog font: a larger desktop font
    // makes a larger dialog.
    void templateFontIsTheDesktopFont() {
        const QFont desktop = QApplication::font();
        QCOMPARE(TemplateFont(*FindDlgTemplate(IDD_MAIN)), desktop);
        QDialog normal;
        QVERIFY(BuildDialog(&normal, IDD_OPTIONS));
        QFont larger = desktop;
        larger.setPointSizeF(desktop.pointSizeF() * 1.5);
        QApplication::setFont(larger);
        QDialog big;
        QVERIFY(BuildDialog(&big, IDD_OPTIONS));
        QApplication::setFont(desktop);
        QCOMPARE(big.font(), larger);
        QVERIFY(big.width() > normal.width() * 5 / 4);
        QVERIFY(big.height() > normal.height() * 5 / 4);
    }

    void unknownTemplateAndKindDoNotCrash() {
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("untouched"));
        QVERIFY(!BuildDialog(&dialog, 4711));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("untouched"));
        QVERIFY(dialog.findChildren<QWidget*>().isEmpty());
        QVERIFY(!BuildDialog(nullptr, IDD_MAIN));

        const DlgControl odd{77, static_cast<DlgControlKind>(99), "?", 1, 2, 3, 4, 0, 0};
        QWidget* widget = CreateControl(odd, &dialog);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget(), &dialog);
        SetControlId(widget, odd.id);
        QCOMPARE(FindControl(&dialog, 77), widget);
    }

    void factoryReplacesAControlInPlace() {
        QDialog plain;
        QVERIFY(BuildDialog(&plain, IDD_MAIN));
        const QRect expected = FindControl(&plain, 1003)->geometry();

        DialogBuildOptions options;
        options.factory = [](const DlgControl& control, QWidget* parent) -> QWidget* {
            return control.id == 1003 ? new QCheckBox(parent) : nullptr;
        };
        QDialog dialog;
        QVERIFY(BuildDialog(&dialog, IDD_MAIN, options));
        QWidget* list = FindControl(&dialog, 1003);
        QVERIFY(qobject_cast<QCheckBox*>(list));
        QCOMPARE(list->geometry(), expected);
    }

    void initRunsOnceBeforeShowingAndDestroyAtTheEnd() {
        InitProbe dialog(IDD_ABOUTBOX);
        QCOMPARE(dialog.inits, 0);
        dialog.show();
        QCOMPARE(dialog.inits, 1);
        QVERIFY(!dialog.visibleAtInit);
        QVERIFY(dialog.okAtInit);
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog.Control(1)), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.destroys, 1);
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.inits, 1);
        QCOMPARE(dialog.destroys, 2);
        QCOMPARE(dialog.commands, QList<int>{1});
    }

    void buttonsAreCommandsById() {
        InitProbe options(IDD_OPTIONS);
        options.show();
        QTest::mouseClick(options.ControlAs<QPushButton>(3), Qt::LeftButton);
        QTest::mouseClick(options.ControlAs<QPushButton>(1047), Qt::LeftButton);
        QVERIFY(options.isVisible());  // neither ends the dialog
        QTest::mouseClick(options.ControlAs<QPushButton>(2), Qt::LeftButton);
        QCOMPARE(options.commands, (QList<int>{3, 1047, 2}));
        QCOMPARE(options.result(), int(QDialog::Rejected));
        QVERIFY(!options.isVisible());
    }
};

int RunDialogTemplateTests(int argc, char** argv) {
    DialogTemplateTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogTemplateTest.moc"
