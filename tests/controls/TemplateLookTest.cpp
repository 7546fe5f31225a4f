// Every template as a user sees it: in the desktop's font at several sizes, in a light and a
// dark palette (and, through the second registration of this test, at twice the scale).
// Nothing may be cut off, labels sit on the line of what they name, and Enter presses the
// default button only.
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

#include "LookPalettes.h"
#include "LookTests.h"
#include "controls/Dialog.h"
#include "resources/DialogTemplates.h"

namespace {

QString Shown(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

double Advance(const QWidget* widget, const QString& text) {
    return QFontMetricsF(widget->font()).horizontalAdvance(Shown(text));
}

// A dialog as its window fills it at initialisation: the options dialog's entries and renamed
// labels, the longest values the progress window shows.
class FilledDialog : public CDialog {
public:
    explicit FilledDialog(int id) : CDialog(id) {}
    QList<int> commands;

protected:
    bool OnInitDialog() override {
        if (TemplateId() == IDD_OPTIONS) {
            ControlAs<QLabel>(1085)->setText(QStringLiteral("&Channel Mode:"));
            ControlAs<QLabel>(1086)->setText(QStringLiteral("&Bits per Second:"));
            auto* frequency = ControlAs<QComboBox>(1088);
            frequency->addItem(QStringLiteral(" Automatic (Fastest & Optimal Way, Recommended)"));
            for (const char* hz : {"   8000 Hertz", " 11025 Hertz", " 44100 Hertz"})
                frequency->addItem(QString::fromLatin1(hz));
            auto* channel = ControlAs<QComboBox>(1089);
            channel->addItems({QStringLiteral(" Automatic (Fastest & Optimal Way, Recommended)"),
                               QStringLiteral(" Mono"), QStringLiteral(" Stereo")});
            ControlAs<QComboBox>(1090)->addItems(
                {QStringLiteral("   8 kbits per second"), QStringLiteral(" 320 kbits per second")});
            ControlAs<QComboBox>(1093)->addItems(
                {QStringLiteral(" ID3v2.3 (Read by Most Players, Recommended)"),
                 QStringLiteral(" ID3v2.4 (UTF-8 Text)")});
            ControlAs<QComboBox>(1095)->addItems(
                {QStringLiteral(" Automatic (One per Processor Core)"), QStringLiteral(" 16")});
            ControlAs<QLineEdit>(1012)->setText(QStringLiteral("/home/ada/Music/"));
        }
        return true;
    }
    void OnCommand(int id) override {
        commands << id;
        CDialog::OnCommand(id);
    }
};

// The widget built for a template control: by id, or for the unnamed ones by their place in
// creation order among the dialog's children.
QWidget* ControlOf(QDialog* dialog, const DlgControl& control) {
    const DlgTemplate* dlg = FindDlgTemplate(dialog->property("templateId").toInt());
    const auto index = &control - dlg->controls.data();
    QList<QWidget*> tagged;
    for (QWidget* w : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->property(CONTROL_ID_PROPERTY).isValid())
            tagged << w;
    }
    return index >= 0 && index < tagged.size() ? tagged[index] : nullptr;
}

struct Look {
    QString family;
    qreal points;
    bool dark;
};

}  // namespace

Q_DECLARE_METATYPE(Look)

class TemplateLookTest : public QObject {
    Q_OBJECT

    QFont m_desktopFont;
    QPalette m_desktopPalette;

    void Apply(const Look& look) {
        QFont font(look.family);
        font.setPointSizeF(look.points);
        QApplication::setFont(font);
        QApplication::setPalette(look.dark ? DarkPalette() : m_desktopPalette);
    }

private Q_SLOTS:
    void initTestCase() {
        m_desktopFont = QApplication::font();
        m_desktopPalette = QApplication::palette();
    }
    void cleanup() {
        QApplication::setFont(m_desktopFont);
        QApplication::setPalette(m_desktopPalette);
    }

    void nothingIsCutOff_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<Look>("look");
        // The fonts a Linux desktop ships, at a small, the usual and a large size.
        QStringList families{QApplication::font().family()};
        for (const QString& family : {QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")}) {
            if (QFontDatabase::hasFamily(family) && !families.contains(family))
                families << family;
        }
        for (const DlgTemplate& dlg : AllDlgTemplates()) {
            for (const QString& family : families) {
                for (qreal points : {8.0, 10.0, 13.0}) {
                    for (bool dark : {false, true}) {
                        const QString name =
                            QStringLiteral("%1 %2 %3pt %4")
                                .arg(dlg.id)
                                .arg(family)
                                .arg(points)
                                .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"));
                        QTest::newRow(qPrintable(name)) << dlg.id << Look{family, points, dark};
                    }
                }
            }
        }
    }

    void nothingIsCutOff() {
        QFETCH(int, id);
        QFETCH(Look, look);
        Apply(look);
        FilledDialog dialog(id);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // Controls that adjust themselves do so on timers after they are shown.
        QTest::qWait(40);
        const QRect client = dialog.rect();
        const DlgTemplate* dlg = FindDlgTemplate(id);
        const DialogBaseUnits units = GetDialogBaseUnits(dialog.font());
        QStyle* style = dialog.style();

        const QList<QWidget*> controls =
            dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* w : controls) {
            const int cid = ControlId(w);
            if (w->property(CONTROL_ID_PROPERTY).isNull())
                continue;
            const QByteArray what = QByteArray::number(cid) + ' ' + w->metaObject()->className();
            QVERIFY2(client.contains(w->geometry()), what);
            // Never narrower than the template's rectangle.
            const DlgControl& c = dlg->controls[static_cast<size_t>(
                std::find_if(dlg->controls.begin(), dlg->controls.end(),
                             [&](const DlgControl& t) { return ControlOf(&dialog, t) == w; }) -
                dlg->controls.begin())];
            QVERIFY2(w->width() >= MapDialogRect(units, c.x, c.y, c.cx, c.cy).width(), what);

            if (auto* label = qobject_cast<QLabel*>(w); label && c.kind == DlgControlKind::Label) {
                // Only a rectangle of two lines or more wraps its text.
                QCOMPARE(label->wordWrap(), c.cy >= 16);
            }
            if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
                const QRect room = label->contentsRect();
                if (label->wordWrap()) {
                    QVERIFY2(label->heightForWidth(room.width()) <= room.height(), what);
                } else {
                    QVERIFY2(Advance(label, label->text()) <= room.width(), what);
                    QVERIFY2(QFontMetricsF(label->font()).height() <= room.height() + 0.5, what);
                }
            } else if (auto* button = qobject_cast<QPushButton*>(w)) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const QRect room =
                    style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
                QVERIFY2(Advance(button, button->text()) <= room.width(), what);
                QVERIFY2(QFontMetricsF(button->font()).height() <= room.height() + 0.5, what);
            } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
                QStyleOptionComboBox option;
                option.initFrom(combo);
                option.editable = false;
                const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, combo);
                for (int i = 0; i < combo->count(); ++i) {
                    // The entry is drawn one pixel inside the field on either side.
                    QVERIFY2(Advance(combo, combo->itemText(i)) + 2 <= field.width(),
                             what + ' ' + combo->itemText(i).toUtf8());
                }
            } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
                QStyleOptionGroupBox option;
                option.initFrom(group);
                option.text = group->title();
                option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
                option.textAlignment = group->alignment();
                option.lineWidth = 1;
                const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option,
                                                          QStyle::SC_GroupBoxLabel, group);
                QVERIFY2(Advance(group, group->title()) <= title.width(), what);
                QVERIFY2(group->rect().contains(title), what);
            }
        }

        // No control runs into another; only a group box holds others.
        for (QWidget* a : controls) {
            for (QWidget* b : controls) {
                if (a >= b || qobject_cast<QGroupBox*>(a) || qobject_cast<QGroupBox*>(b))
                    continue;
                QVERIFY2(
                    !a->geometry().intersects(b->geometry()),
                    qPrintable(QStringLiteral("%1 and %2").arg(ControlId(a)).arg(ControlId(b))));
            }
        }
    }

    // A label beside a one-line control is centred on that control's line and hands it the
    // focus with its mnemonic.
    void labelsSitOnTheirControls() {
        FilledDialog dialog(IDD_OPTIONS);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (auto [labelId, comboId] :
             {std::pair{1084, 1088}, {1085, 1089}, {1086, 1090}, {1092, 1093}, {1094, 1095}}) {
            auto* label = dialog.ControlAs<QLabel>(labelId);
            QWidget* combo = dialog.Control(comboId);
            QCOMPARE(label->buddy(), combo);
            QVERIFY(label->alignment() & Qt::AlignVCenter);
            QVERIFY(std::abs(label->geometry().center().y() - combo->geometry().center().y()) <= 1);
            QVERIFY(!label->wordWrap());
        }
        // Its edit field is disabled; the label names the browse button instead.
        QCOMPARE(dialog.findChildren<QLabel*>().first()->buddy(), dialog.Control(1047));
        QTest::keyClick(&dialog, Qt::Key_F, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), dialog.Control(1088));
        QTest::keyClick(&dialog, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(dialog.commands, QList<int>{3});
    }

    void enterPressesTheDefaultOnly_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<bool>("ends");
        QTest::newRow("options, browse button") << IDD_OPTIONS << 1047 << QList<int>{1} << true;
        QTest::newRow("options, Reset") << IDD_OPTIONS << 3 << QList<int>{1} << true;
        QTest::newRow("options, combo box") << IDD_OPTIONS << 1090 << QList<int>{1} << true;
        QTest::newRow("about box") << IDD_ABOUTBOX << 1 << QList<int>{1} << true;
        QTest::newRow("loading window, Cancel") << IDD_PROCESSING << 3 << QList<int>{} << false;
        QTest::newRow("progress window, Clear") << IDD_CONVPROG << 1096 << QList<int>{} << false;
        QTest::newRow("progress window, Pause") << IDD_CONVPROG << 1075 << QList<int>{} << false;
        QTest::newRow("progress window, log") << IDD_CONVPROG << 1003 << QList<int>{} << false;
    }

    void enterPressesTheDefaultOnly() {
        QFETCH(int, id);
        QFETCH(int, focus);
        QFETCH(QList<int>, commands);
        QFETCH(bool, ends);
        FilledDialog dialog(id);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QWidget* target = dialog.Control(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        if (dialog.isVisible())
            QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dialog.commands, commands);
        QCOMPARE(dialog.isVisible(), !ends);
        for (auto* button : dialog.findChildren<QPushButton*>()) {
            QVERIFY(!button->autoDefault());
            // Only a template's default button, or OK, is drawn as the default.
            QCOMPARE(button->isDefault(), ends && ControlId(button) == 1);
        }
    }

    // Lists from templates are framed, and a zero-width column takes no room at all.
    void logListIsFramedAndItsFirstColumnZeroWide() {
        FilledDialog dialog(IDD_CONVPROG);
        auto* log = dialog.ControlAs<QTreeWidget>(1003);
        QVERIFY(log->frameShape() != QFrame::NoFrame);
        QVERIFY(log->frameWidth() > 0);
        log->setColumnCount(4);
        log->setColumnWidth(0, 0);
        log->setColumnWidth(1, 55);
        QCOMPARE(log->columnWidth(0), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(log->header()->sectionViewportPosition(1), 0);
        QVERIFY(log->allColumnsShowFocus());
    }
};

int RunTemplateLookTests(int argc, char** argv) {
    TemplateLookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TemplateLookTest.moc"
