#include "app/AboutDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/Icons.h"
#include "controls/HyperLink.h"

namespace {

DialogBuildOptions AboutOptions() {
    DialogBuildOptions options;
    options.factory = [](const DlgControl& control, QWidget* parent) -> QWidget* {
        if (control.id != IDC_HOMEPAGE) {
            return nullptr;
        }
        auto* link = new CHyperLink(parent);
        link->setText(QString::fromUtf8(control.text));
        return link;
    };
    options.icon = ResourceIcon;
    return options;
}

}  // namespace

QString HomepageTarget() {
    const QString homepage = QStringLiteral(QUILLON_HOMEPAGE_URL);
    if (!homepage.isEmpty()) {
        return homepage;
    }
    // Installed: the documentation folder beside the program's prefix; run from the build
    // folder: the source tree it was built from.
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString candidates[] = {
        bin.absoluteFilePath(QStringLiteral("../" QUILLON_DOC_DIR "/README.md")),
        QStringLiteral(QUILLON_SOURCE_DIR "/README.md"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QDir::cleanPath(candidate);
        }
    }
    return QDir::cleanPath(candidates[0]);
}

QString HomepageText(const QString& target) {
    const QUrl url(target);
    if (url.scheme().startsWith(QLatin1String("http"))) {
        return target;
    }
    return QFileInfo(target).fileName();
}

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent, AboutOptions()) {
    m_link = ControlAs<CHyperLink>(IDC_HOMEPAGE);
}

CAboutDlg::~CAboutDlg() = default;

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_link) {
        const QString target = HomepageTarget();
        m_link->setText(HomepageText(target));
        m_link->PreSubclassWindow();
        m_link->SetTarget(target);
    }
    // No close button: the box ends with OK (or Escape).
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    return true;
}

void CAboutDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}
