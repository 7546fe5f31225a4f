#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/AboutDlg.h"
#include "controls/HyperLink.h"

class AboutDlgTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ShowsNameIconAndLink() {
        CAboutDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("About Quillon"));
        QStringList texts;
        const QLabel* icon = nullptr;
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            texts << label->text();
            if (label->property("imageId").toInt() == 128) {
                icon = label;
            }
        }
        QVERIFY(texts.contains(QStringLiteral("Quillon")));
        QVERIFY(texts.contains(QStringLiteral("Homepage:")));
        QVERIFY(icon);
        QVERIFY(!icon->property("icon").value<QIcon>().isNull());
        QVERIFY(!icon->pixmap().isNull());

        QVERIFY(dlg.m_link);
        QCOMPARE(dlg.m_link, dlg.Control(IDC_HOMEPAGE));
        const QString target = HomepageTarget();
        QCOMPARE(dlg.m_link->Target(), target);
        QCOMPARE(dlg.m_link->toolTip(), target);
        QCOMPARE(dlg.m_link->text(), HomepageText(target));
        // Fitted to its text and inside the box.
        QVERIFY(dlg.m_link->width() >=
                QFontMetrics(dlg.m_link->font()).horizontalAdvance(dlg.m_link->text()));
        QVERIFY(dlg.rect().contains(dlg.m_link->geometry()));
    }

    // Without a web address set at build time the link opens the README that exists.
    void TargetIsReal() {
        const QString target = HomepageTarget();
        if (target.startsWith(QLatin1String("http"))) {
            QVERIFY(!target.contains(QLatin1String("example")));
            return;
        }
        QVERIFY2(QFileInfo(target).isFile(), qPrintable(target));
        QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("README.md"));
        QCOMPARE(HomepageText(target), QStringLiteral("README.md"));
    }

    void HomepageTexts_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::newRow("web address")
            << QStringLiteral("https://quillon.test/") << QStringLiteral("https://quillon.test/");
        QTest::newRow("local README")
            << QStringLiteral("/usr/share/doc/quillon/README.md") << QStringLiteral("README.md");
    }
    void HomepageTexts() {
        QFETCH(QString, target);
        QFETCH(QString, text);
        QCOMPARE(HomepageText(target), text);
    }

    void CloseBoxDisabledOkCloses() {
        CAboutDlg dlg;
        dlg.show();
        QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(dlg.windowFlags() & Qt::WindowTitleHint);
        // A close request from a window manager that shows the button anyway does nothing.
        QVERIFY(!dlg.close());
        QVERIFY(dlg.isVisible());
        auto* ok = dlg.ControlAs<QPushButton>(1);
        QVERIFY(ok->isDefault());
        ok->click();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void EscapeCloses() {
        CAboutDlg dlg;
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void EnterClosesWithOk() {
        CAboutDlg dlg;
        dlg.show();
        dlg.ControlAs<QPushButton>(1)->setFocus();
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

int RunAboutDlgTests(int argc, char** argv) {
    AboutDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AboutDlgTest.moc"
