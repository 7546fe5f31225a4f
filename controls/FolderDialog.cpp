#include "controls/FolderDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QUrl>

// The chooser itself: only here does a typed name that is no folder reach the caller.
class FolderChooser : public QFileDialog {
public:
    FolderChooser(CFolderDialog* owner, QWidget* parent, const QString& title)
        : QFileDialog(parent, title), m_owner(owner) {}

    void accept() override {
        if (m_owner->m_flags & BIF_VALIDATE) {
            const QStringList chosen = selectedFiles();
            const QString typed = chosen.isEmpty() ? QString() : chosen.first();
            if (!QFileInfo(typed).isDir()) {
                if (m_owner->Callback(this, [&] { return m_owner->OnValidateFailed(typed); })) {
                    return;
                }
                reject();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    CFolderDialog* m_owner;
};

namespace {

const char STATUS_LABEL[] = "folderStatusText";

// The folder itself when it exists, else its nearest existing parent, else empty.
QString ExistingFolder(const QString& path) {
    QString folder = QDir::cleanPath(path);
    while (!folder.isEmpty()) {
        if (QFileInfo(folder).isDir()) {
            return folder;
        }
        const QString parent = QFileInfo(folder).path();
        if (parent == folder) {
            break;
        }
        folder = parent;
    }
    return QString();
}

}  // namespace

CFolderDialog::CFolderDialog(const QString& title, const QString& startFolder, QWidget* parent,
                             unsigned flags)
    : m_startFolder(startFolder), m_title(title), m_parent(parent), m_flags(flags) {}

CFolderDialog::~CFolderDialog() = default;

int CFolderDialog::DoModal() {
    m_path.clear();
    FolderChooser chooser(this, m_parent, m_title);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    // Without the new style the chooser offers no way to create a folder.
    chooser.setOption(QFileDialog::ReadOnly, !(m_flags & BIF_NEWDIALOGSTYLE));
    if (m_flags & BIF_RETURNONLYFSDIRS) {
        chooser.setSupportedSchemes({QStringLiteral("file")});
    }
    // The desktop's own chooser cannot host the status text or refuse a typed name.
    if (m_flags & (BIF_STATUSTEXT | BIF_VALIDATE)) {
        chooser.setOption(QFileDialog::DontUseNativeDialog);
    }
    if (m_flags & BIF_STATUSTEXT) {
        if (auto* grid = qobject_cast<QGridLayout*>(chooser.layout())) {
            auto* status = new QLabel(&chooser);
            status->setObjectName(QLatin1String(STATUS_LABEL));
            status->setTextFormat(Qt::PlainText);
            status->setTextInteractionFlags(Qt::TextSelectableByMouse);
            grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    QObject::connect(
        &chooser, &QFileDialog::currentChanged, &chooser,
        [this, &chooser](const QString& path) { Callback(&chooser, [&] { OnSelChanged(path); }); });
    Callback(&chooser, [this] { OnInitialized(); });

    if (chooser.exec() != QDialog::Accepted) {
        return IDCANCEL;
    }
    return PathFromUrls(chooser.selectedUrls(), &m_path);
}

int CFolderDialog::PathFromUrls(const QList<QUrl>& urls, QString* path) {
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return -1;
    }
    *path = QDir::toNativeSeparators(QDir::cleanPath(urls.first().toLocalFile()));
    return path->isEmpty() ? -1 : IDOK;
}

void CFolderDialog::OnInitialized() {
    if (m_startFolder.isEmpty() || !m_browseWnd) {
        return;
    }
    // A folder that is gone opens its nearest parent that is still there.
    const QString folder = ExistingFolder(m_startFolder);
    if (!folder.isEmpty()) {
        m_browseWnd->setDirectory(folder);
    }
}

void CFolderDialog::OnSelChanged(const QString& path) {
    if (m_flags & BIF_STATUSTEXT) {
        const QFileInfo info(path);
        SetStatusText(info.isDir() ? QDir::toNativeSeparators(info.absoluteFilePath()) : QString());
    }
}

int CFolderDialog::OnValidateFailed(const QString&) {
    QApplication::beep();
    return 1;
}

void CFolderDialog::SetStatusText(const QString& text) {
    m_statusText = text;
    if (m_browseWnd) {
        if (auto* status = m_browseWnd->findChild<QLabel*>(QLatin1String(STATUS_LABEL))) {
            status->setText(text);
        }
    }
}
