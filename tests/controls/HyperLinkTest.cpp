#include <QDesktopServices>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>

#include "ModalDriver.h"
#include "controls/HyperLink.h"

namespace {

// Takes the URLs the desktop is asked to open for one scheme.
class UrlSink : public QObject {
    Q_OBJECT

public:
    explicit UrlSink(const QString& scheme) : m_scheme(scheme) {
        QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlSink() override { QDesktopServices::unsetUrlHandler(m_scheme); }
    QList<QUrl> opened;

public Q_SLOTS:
    void Open(const QUrl& url) { opened << url; }

private:
    QString m_scheme;
};

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

double Luminance(const QColor& c) {
    auto ch = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette LightPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(239, 239, 239));
    p.setColor(QPalette::WindowText, Qt::black);
    return p;
}

QPalette DarkPalette(const QColor& link, const QColor& visited) {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Link, link);
    p.setColor(QPalette::LinkVisited, visited);
    return p;
}

const QColor LINK(0, 0, 238);
const QColor VISITED(85, 26, 139);
const QColor HOVER(255, 0, 0);

}  // namespace

class HyperLinkTest : public QObject {
    Q_OBJECT

private:
    // A link in a shown window, bound as a dialog binds it.
    struct Fixture {
        QWidget window;
        CHyperLink* link;
        explicit Fixture(const QString& text, const QString& target = QString()) {
            window.resize(400, 120);
            link = new CHyperLink(&window);
            link->setText(text);
            link->setGeometry(20, 30, 60, 20);
            if (!target.isEmpty()) {
                link->SetTarget(target);
            }
            link->PreSubclassWindow();
            window.setPalette(LightPalette());
            window.show();
        }
        void MoveOver() { QTest::mouseMove(link, QPoint(3, 3)); }
        void MoveAway() {
            // Beside the link, inside the window, and the pointer is really there.
            QTest::mouseMove(&window, QPoint(300, 100));
            QCursor::setPos(window.mapToGlobal(QPoint(300, 100)));
        }
    };

private Q_SLOTS:
    void init() { QCursor::setPos(0, 0); }

    void BoundLabelTakesTextAsTargetAndFits() {
        Fixture f(QStringLiteral("quillon-ok://home"));
        QCOMPARE(f.link->Target(), QStringLiteral("quillon-ok://home"));
        QCOMPARE(f.link->toolTip(), QStringLiteral("quillon-ok://home"));
        QCOMPARE(f.link->cursor().shape(), Qt::PointingHandCursor);
        QFont underlined = f.link->font();
        underlined.setUnderline(true);
        const QSize text = QFontMetrics(underlined).size(Qt::TextSingleLine, f.link->text());
        QCOMPARE(f.link->size(), text);
        QCOMPARE(f.link->pos(), QPoint(20, 30));
    }

    // A layout that stretched the label after it was bound does not widen the link.
    void RefitsWhenShown() {
        QWidget window;
        auto* link = new CHyperLink(&window);
        link->setText(QStringLiteral("quillon-ok://home"));
        link->setGeometry(10, 10, 40, 20);
        link->PreSubclassWindow();
        const QSize fitted = link->size();
        link->setGeometry(10, 10, 300, 40);
        window.show();
        QCOMPARE(link->size(), fitted);
    }

    void EmptyLabelShowsItsTarget() {
        Fixture f(QString(), QStringLiteral("quillon-ok://a/longer/target/than/the/box"));
        QCOMPARE(f.link->text(), QStringLiteral("quillon-ok://a/longer/target/than/the/box"));
        QVERIFY(f.link->width() >
                QFontMetrics(f.link->font()).horizontalAdvance(QStringLiteral("quillon-ok://")));
        f.link->SetTarget(QStringLiteral("quillon-ok://b"));
        QCOMPARE(f.link->toolTip(), QStringLiteral("quillon-ok://b"));
    }

    // Centred and right-aligned labels keep their centre and right edge when fitted.
    void FitKeepsAlignment_data() {
        QTest::addColumn<int>("align");
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("centre") << int(Qt::AlignHCenter | Qt::AlignVCenter);
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop);
    }
    void FitKeepsAlignment() {
        QFETCH(int, align);
        QWidget window;
        auto* link = new CHyperLink(&window);
        link->setText(QStringLiteral("ab"));
        link->setAlignment(Qt::Alignment(align));
        const QRect before(100, 40, 300, 60);
        link->setGeometry(before);
        link->PreSubclassWindow();
        const QRect after = link->geometry();
        QVERIFY(after.width() < before.width());
        if (align & Qt::AlignHCenter) {
            QVERIFY(std::abs(after.center().x() - before.center().x()) <= 1);
            QVERIFY(std::abs(after.center().y() - before.center().y()) <= 1);
        } else if (align & Qt::AlignRight) {
            QCOMPARE(after.right(), before.right());
            QCOMPARE(after.top(), before.top());
        } else {
            QCOMPARE(after.topLeft(), before.topLeft());
        }
    }

    // Red and underlined at the first move over it; back at the next hover tick after the
    // pointer left without the window seeing it leave.
    void HoverColours() {
        Fixture f(QStringLiteral("quillon-ok://home"));
        QCOMPARE(f.link->TextColor(), LINK);
        QVERIFY(!f.link->IsUnderlined());
        f.MoveOver();
        QVERIFY(f.link->IsHovering());
        QCOMPARE(f.link->TextColor(), HOVER);
        QVERIFY(f.link->IsUnderlined());
        QCursor::setPos(f.window.mapToGlobal(QPoint(300, 100)));
        QTRY_VERIFY_WITH_TIMEOUT(!f.link->IsHovering(), 1000);
        QCOMPARE(f.link->TextColor(), LINK);
        QVERIFY(!f.link->IsUnderlined());
    }

    void HoverTimerKeepsHoverWhilePointerStays() {
        Fixture f(QStringLiteral("quillon-ok://home"));
        f.MoveOver();
        QCursor::setPos(f.link->mapToGlobal(QPoint(3, 3)));
        QTest::qWait(350);
        QVERIFY(f.link->IsHovering());
    }

    // A successful open turns the link purple for good; hovering still shows red.
    void VisitedAfterOpen() {
        UrlSink sink(QStringLiteral("quillon-ok"));
        Fixture f(QStringLiteral("quillon-ok://home"));
        QSignalSpy opened(f.link, &CHyperLink::Opened);
        f.MoveOver();
        QTest::mouseClick(f.link, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(sink.opened, QList<QUrl>{QUrl(QStringLiteral("quillon-ok://home"))});
        QCOMPARE(opened.count(), 1);
        QVERIFY(opened.first().first().toInt() > 32);
        QVERIFY(f.link->IsVisited());
        QCOMPARE(f.link->TextColor(), VISITED);
        f.MoveAway();
        f.MoveOver();
        QCOMPARE(f.link->TextColor(), HOVER);
        f.MoveAway();
        QTRY_VERIFY_WITH_TIMEOUT(!f.link->IsHovering(), 1000);
        QCOMPARE(f.link->TextColor(), VISITED);
    }

    void KeyboardOpens_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void KeyboardOpens() {
        QFETCH(int, key);
        UrlSink sink(QStringLiteral("quillon-ok"));
        Fixture f(QStringLiteral("quillon-ok://key"));
        QCOMPARE(f.link->focusPolicy(), Qt::TabFocus);
        QTest::keyClick(f.link, Qt::Key(key));
        QCOMPARE(sink.opened.size(), 1);
        QVERIFY(f.link->IsVisited());
    }

    // On a dark palette the fixed colours would be unreadable: the palette's link colours
    // stand in, lightened where even they lack contrast.
    void DarkPaletteColours_data() {
        QTest::addColumn<QColor>("link");
        QTest::addColumn<QColor>("visited");
        QTest::addColumn<bool>("readableAsIs");
        QTest::newRow("readable palette links")
            << QColor(100, 170, 255) << QColor(180, 140, 255) << true;
        QTest::newRow("palette keeps the light links")
            << QColor(0, 0, 255) << QColor(255, 0, 255) << false;
    }
    void DarkPaletteColours() {
        QFETCH(QColor, link);
        QFETCH(QColor, visited);
        QFETCH(bool, readableAsIs);
        UrlSink sink(QStringLiteral("quillon-ok"));
        Fixture f(QStringLiteral("quillon-ok://home"));
        const QPalette dark = DarkPalette(link, visited);
        f.window.setPalette(dark);
        QVERIFY(CHyperLink::IsDarkPalette(f.link->palette()));
        const QColor background = dark.color(QPalette::Window);
        auto check = [&](const QColor& expected) {
            const QColor shown = f.link->TextColor();
            QVERIFY2(Contrast(shown, background) >= 4.5, qPrintable(shown.name()));
            if (readableAsIs) {
                QCOMPARE(shown, expected);
            }
        };
        check(link);
        f.MoveOver();
        QVERIFY(Contrast(f.link->TextColor(), background) >= 4.5);
        QVERIFY(f.link->TextColor().hue() <= 10 || f.link->TextColor().hue() >= 350);
        f.MoveAway();
        QTRY_VERIFY_WITH_TIMEOUT(!f.link->IsHovering(), 1000);
        QTest::mouseClick(f.link, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(f.link->IsVisited());
        check(visited);
        // Back to a light palette: the fixed colours again, resolved at paint time.
        f.window.setPalette(LightPalette());
        QCOMPARE(f.link->TextColor(), VISITED);
    }

    // What the desktop cannot open goes to the browser command: $BROWSER, where "%s" marks
    // the place of the target.
    void BrowserCommandFallback_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expectedArgs");
        QTest::newRow("plain") << QStringLiteral("%1") << QStringLiteral("quillon-none://home");
        QTest::newRow("quoted mark, options kept")
            << QStringLiteral("%1 --new-window \"%s\" --ignored")
            << QStringLiteral("--new-window quillon-none://home");
        QTest::newRow("first of a list missing") << QStringLiteral("/nonexistent/browser:%1 %s")
                                                 << QStringLiteral("quillon-none://home");
    }
    void BrowserCommandFallback() {
        QFETCH(QString, command);
        QFETCH(QString, expectedArgs);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("args"));
        const QString script = dir.filePath(QStringLiteral("browser"));
        {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("#!/bin/sh\necho \"$*\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                           .arg(log)
                           .toUtf8());
        }
        QVERIFY(
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        ScopedEnv browser("BROWSER", command.arg(script).toUtf8());
        Fixture f(QStringLiteral("quillon-none://home"));
        QTest::mouseClick(f.link, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(f.link->IsVisited());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 5000);
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).trimmed(), expectedArgs);
    }

    // Nothing can open it: an error box with the code's text, and the link stays unvisited.
    void OpenFailure_data() {
        QTest::addColumn<QByteArray>("browser");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no browser at all")
            << QByteArray() << QStringLiteral("quillon-none://home")
            << QStringLiteral(
                   "There is no application associated\nwith the given filename extension.");
        QTest::newRow("missing local file, no browser")
            << QByteArray() << QStringLiteral("/nonexistent/README.md")
            << QStringLiteral("The specified file was not found.");
        QTest::newRow("named browser not there")
            << QByteArray("/nonexistent/browser %s") << QStringLiteral("quillon-none://home")
            << QStringLiteral("The specified file was not found.");
    }
    void OpenFailure() {
        QFETCH(QByteArray, browser);
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QTemporaryDir emptyPath;
        ScopedEnv path("PATH", emptyPath.path().toUtf8());
        ScopedEnv env("BROWSER", browser);
        Fixture f(target);
        SeenBox seen;
        auto answer = AnswerBox(&seen, QMessageBox::Ok);
        QTest::mouseClick(f.link, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Unable to open hyperlink:\n\n") + reason);
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!f.link->IsVisited());
        QCOMPARE(f.link->TextColor(), LINK);
    }

    void ErrorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0
                           << QStringLiteral(
                                  "The operating system is out\nof memory or resources.");
        QTest::newRow("5") << 5
                           << QStringLiteral(
                                  "The operating system denied\naccess to the specified file.");
        QTest::newRow("26") << 26 << QStringLiteral("A sharing violation occurred. ");
        QTest::newRow("30") << 30
                            << QStringLiteral(
                                   "The DDE transaction could not\nbe completed because other "
                                   "DDE transactions\nwere being processed.");
        QTest::newRow("32") << 32
                            << QStringLiteral("The specified dynamic-link library was not found.");
        QTest::newRow("unknown") << 7 << QStringLiteral("Unknown Error (7) occurred.");
        QTest::newRow("negative") << -1 << QStringLiteral("Unknown Error (-1) occurred.");
    }
    void ErrorTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(CHyperLink::OpenErrorText(code), text);
    }
};

int RunHyperLinkTests(int argc, char** argv) {
    HyperLinkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HyperLinkTest.moc"
