#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ModalDriver.h"
#include "controls/FolderDialog.h"

namespace {

// Records what the chooser's hooks saw.
class ProbeFolderDialog : public CFolderDialog {
public:
    using CFolderDialog::CFolderDialog;
    using CFolderDialog::m_browseWnd;
    using CFolderDialog::StatusText;

    bool browseWndAtInit = false;
    QStringList selections;
    QStringList refused;
    int validateAnswer = 1;

protected:
    void OnInitialized() override {
        browseWndAtInit = m_browseWnd != nullptr;
        CFolderDialog::OnInitialized();
    }
    void OnSelChanged(const QString& path) override {
        selections << path;
        CFolderDialog::OnSelChanged(path);
    }
    int OnValidateFailed(const QString& path) override {
        refused << path;
        CFolderDialog::OnValidateFailed(path);
        return validateAnswer;
    }
};

// Presses the chooser's accept button as a user would.
void Choose(QFileDialog* chooser) {
    auto* box = chooser->findChild<QDialogButtonBox*>();
    QPushButton* button = box ? box->button(QDialogButtonBox::Open) : nullptr;
    QVERIFY(button && button->isEnabled());
    button->click();
}

// Hands the chooser a typed name as accepted. Qt's own chooser greys its button for a name
// that is no folder; a chooser that lets it through gets here.
void AcceptTyped(QFileDialog* chooser, const QString& typed) {
    chooser->selectFile(typed);
    static_cast<QDialog*>(chooser)->accept();
}

// Makes folder the current item of the chooser's list, as a click on it does.
bool ClickFolder(QFileDialog* chooser, const QString& folder) {
    auto* view = chooser->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (!view) {
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    // The file system model fills in the background.
    while (waited.elapsed() < 5000) {
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
            if (index.data().toString() == QFileInfo(folder).fileName()) {
                view->setCurrentIndex(index);
                return true;
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return false;
}

QString Clean(const QString& path) {
    return QDir::cleanPath(path);
}

}  // namespace

class FolderDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString Folder(const QString& name) const {
        return name.isEmpty() ? m_root.path() : m_root.path() + QLatin1Char('/') + name;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("music/rock")));
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("other")));
    }

    // Where the chooser opens and what OK without another choice returns.
    void StartFolder_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("opensAt");
        QTest::newRow("existing") << QStringLiteral("music") << QStringLiteral("music");
        QTest::newRow("existing, final separator")
            << QStringLiteral("music/") << QStringLiteral("music");
        QTest::newRow("gone: its nearest parent")
            << QStringLiteral("music/gone/deeper") << QStringLiteral("music");
    }
    void StartFolder() {
        QFETCH(QString, start);
        QFETCH(QString, opensAt);
        ProbeFolderDialog picker(QStringLiteral("Pick"), Folder(start), nullptr,
                                 BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE);
        QString shownAt;
        QString title;
        ModalDriver<QFileDialog> drive([&](QFileDialog* chooser) {
            shownAt = Clean(chooser->directory().absolutePath());
            title = chooser->windowTitle();
            Choose(chooser);
        });
        QCOMPARE(picker.DoModal(), IDOK);
        QVERIFY(drive.Answered());
        QCOMPARE(title, QStringLiteral("Pick"));
        QCOMPARE(shownAt, Clean(Folder(opensAt)));
        QCOMPARE(picker.m_path, Clean(Folder(opensAt)));
        QVERIFY(picker.browseWndAtInit);
        QVERIFY(!picker.m_browseWnd);
    }

    void EmptyStartFolderSelectsNothing() {
        ProbeFolderDialog picker(QStringLiteral("Pick"), QString(), nullptr, 0);
        // The chooser opens where Qt would put it; the test only checks nothing was picked for
        // it, then chooses a folder itself.
        ModalDriver<QFileDialog> drive([&](QFileDialog* chooser) {
            chooser->setDirectory(Folder(QStringLiteral("other")));
            Choose(chooser);
        });
        QCOMPARE(picker.DoModal(), IDOK);
        QCOMPARE(picker.m_path, Clean(Folder(QStringLiteral("other"))));
    }

    void ChoosingAnotherFolder() {
        ProbeFolderDialog picker(QStringLiteral("Pick"), Folder(QStringLiteral("music")), nullptr,
                                 BIF_RETURNONLYFSDIRS);
        ModalDriver<QFileDialog> drive([&](QFileDialog* chooser) {
            chooser->selectFile(Folder(QStringLiteral("music/rock")));
            Choose(chooser);
        });
        QCOMPARE(picker.DoModal(), IDOK);
        QCOMPARE(picker.m_path, Clean(Folder(QStringLiteral("music/rock"))));
    }

    void CancelLeavesNoPath() {
        ProbeFolderDialog picker(QStringLiteral("Pick"), Folder(QStringLiteral("music")), nullptr,
                                 BIF_RETURNONLYFSDIRS);
        picker.m_path = QStringLiteral("/left/over");
        ModalDriver<QFileDialog> drive([](QFileDialog* chooser) { chooser->reject(); });
        QCOMPARE(picker.DoModal(), IDCANCEL);
        QVERIFY(drive.Answered());
        QVERIFY(picker.m_path.isEmpty());
    }

    // A typed name that is no folder: with BIF_VALIDATE the caller decides, and a nonzero
    // answer keeps the chooser open.
    void ValidateFailed_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("keep open") << 1;
        QTest::newRow("close") << 0;
    }
    void ValidateFailed() {
        QFETCH(int, answer);
        ProbeFolderDialog picker(QStringLiteral("Pick"), Folder(QStringLiteral("music")), nullptr,
                                 BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE);
        picker.validateAnswer = answer;
        bool openAfterRefusal = false;
        ModalDriver<QFileDialog> drive([&](QFileDialog* chooser) {
            AcceptTyped(chooser, Folder(QStringLiteral("music/no such folder")));
            openAfterRefusal = chooser->isVisible();
            if (openAfterRefusal) {
                chooser->reject();
            }
        });
        QCOMPARE(picker.DoModal(), IDCANCEL);
        QCOMPARE(openAfterRefusal, answer != 0);
        QCOMPARE(picker.refused, QStringList{Folder(QStringLiteral("music/no such folder"))});
        QVERIFY(picker.m_path.isEmpty());
    }

    // The status text shows the selected folder only when the caller asked for it.
    void StatusText_data() {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<bool>("shown");
        QTest::newRow("asked") << (BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT) << true;
        QTest::newRow("options dialog's flags")
            << (BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE) << false;
    }
    void StatusText() {
        QFETCH(unsigned, flags);
        QFETCH(bool, shown);
        ProbeFolderDialog picker(QStringLiteral("Pick"), Folder(QStringLiteral("music")), nullptr,
                                 flags);
        QString labelText;
        bool hasLabel = false;
        bool clicked = false;
        ModalDriver<QFileDialog> drive([&](QFileDialog* chooser) {
            clicked = ClickFolder(chooser, Folder(QStringLiteral("music/rock")));
            const auto labels = chooser->findChildren<QLabel*>(QStringLiteral("folderStatusText"));
            hasLabel = !labels.isEmpty();
            if (hasLabel) {
                labelText = labels.first()->text();
            }
            chooser->reject();
        });
        QCOMPARE(picker.DoModal(), IDCANCEL);
        QVERIFY(clicked);
        QVERIFY(picker.selections.contains(Folder(QStringLiteral("music/rock"))));
        QCOMPARE(hasLabel, shown);
        const QString expected = shown ? Folder(QStringLiteral("music/rock")) : QString();
        QCOMPARE(labelText, expected);
        QCOMPARE(picker.StatusText(), expected);
    }

    void PathFromUrls_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("path");
        QTest::newRow("local folder")
            << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv/music/"))} << IDOK
            << QStringLiteral("/srv/music");
        QTest::newRow("root keeps its separator")
            << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/"))} << IDOK << QStringLiteral("/");
        QTest::newRow("remote place")
            << QList<QUrl>{QUrl(QStringLiteral("smb://server/share"))} << -1 << QString();
        QTest::newRow("nothing") << QList<QUrl>{} << -1 << QString();
    }
    void PathFromUrls() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(int, result);
        QFETCH(QString, path);
        QString got;
        QCOMPARE(CFolderDialog::PathFromUrls(urls, &got), result);
        QCOMPARE(got, path);
    }
};

int RunFolderDialogTests(int argc, char** argv) {
    FolderDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FolderDialogTest.moc"
