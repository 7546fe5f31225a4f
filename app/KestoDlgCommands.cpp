// The main window's commands, its context menu, renaming and dropped files.
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/KestoDlg.h"
#include "app/OptionDlg.h"
#include "controls/ListBusy.h"
#include "platform/FileSystem.h"

namespace {

// A new name must stay a name in the row's folder: no separator, nothing that names the
// folder itself or its parent.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char(PATH_SEPARATOR)) && !name.contains(QChar(0));
}

bool AskFileManagerForProperties(const QString& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

void CKestoDlg::OnCommand(int id) {
    switch (id) {
        case ID_ADD_FILES:
            OnAddFiles();
            break;
        case ID_CONVERT_ALL:
            OnConvertAll();
            break;
        case ID_CONVERT_SELECTED:
            OnConvertSelected();
            break;
        case ID_OPTIONS:
            OnOptions();
            break;
        case ID_ABOUT:
            OnAbout();
            break;
        case ID_OPEN:
            OnOpen();
            break;
        case ID_PROPERTIES:
            OnProperties();
            break;
        case ID_RENAME:
            OnRename();
            break;
        case ID_REMOVE:
            OnRemove();
            break;
        case ID_SELECT_ALL:
            OnSelectAll();
            break;
        default:
            CResizeDlg::OnCommand(id);
    }
}

void CKestoDlg::OnOptions() {
    COption dlg(this);
    // Reset puts the defaults in force at once, so the status bar shows them at once too.
    dlg.m_updateEncoderInfo = [this] { UpdateEncoderInfo(); };
    dlg.exec();
    UpdateEncoderInfo();
}

void CKestoDlg::OnAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

QString CKestoDlg::RowPath(int row) const {
    return m_list->GetItemText(row, COL_PATH) + m_list->GetItemText(row, COL_NAME);
}

int CKestoDlg::CommandRow() const {
    return m_barsCreated ? m_list->GetNextItem(RC_ITEM_SELECTED, -1) : -1;
}

bool CKestoDlg::OpenUrl(const QUrl& url) {
    return m_openUrl ? m_openUrl(url) : QDesktopServices::openUrl(url);
}

void CKestoDlg::OnOpen() {
    const int row = CommandRow();
    if (row < 0)
        return;
    const QString path = RowPath(row);
    if (PathFileExists(path.toStdString())) {
        if (!OpenUrl(QUrl::fromLocalFile(path)))
            ShowMessage(
                QStringLiteral(
                    "There is no application associated with the given file name extension."),
                QMessageBox::Warning);
        return;
    }
    if (ShowMessage(QStringLiteral("File NOT Found!  Remove It from the List?"),
                    QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    // The list may have changed while the question was up.
    if (m_loading || RowPath(row) != path)
        return;
    m_busy = 1;
    DeleteRow(row);
    UpdateStatusText();
    m_busy = 0;
}

void CKestoDlg::OnProperties() {
    const int row = CommandRow();
    if (row < 0)
        return;
    const QString path = RowPath(row);
    const bool shown =
        m_showProperties ? m_showProperties(path) : AskFileManagerForProperties(path);
    if (!shown) {
        // Without a file manager that shows properties, the folder is the next best thing.
        OpenUrl(QUrl::fromLocalFile(m_list->GetItemText(row, COL_PATH)));
    }
}

void CKestoDlg::OnRename() {
    const int row = CommandRow();
    if (row < 0)
        return;
    m_renameOldName = m_list->GetItemText(row, COL_NAME);
    m_list->StartEdit(row, COL_NAME);
}

// The list reports the text the cell held when the edit began, also for an edit opened by a
// click, so the file moved is always the one the row showed.
void CKestoDlg::OnCellEdited(int row, int column, const QString& oldText) {
    if (column != COL_NAME)
        return;
    m_renameOldName = oldText;
    const QString folder = m_list->GetItemText(row, COL_PATH);
    const QString newName = m_list->GetItemText(row, COL_NAME);
    const bool renamed =
        IsPlainFileName(newName) && MoveFileNoReplace((folder + m_renameOldName).toStdString(),
                                                      (folder + newName).toStdString());
    if (!renamed) {
        // The old name goes back before the box opens: a load ending meanwhile may sort the
        // rows, and row would then name another one.
        m_list->SetItemText(row, COL_NAME, m_renameOldName);
        ShowMessage(QStringLiteral("Fail to Rename File!"), QMessageBox::NoIcon);
    }
}

QMenu* CKestoDlg::CreateContextMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(Action(ID_CONVERT_SELECTED));
    menu->addAction(Action(ID_OPEN));
    menu->addAction(Action(ID_PROPERTIES));
    menu->setDefaultAction(Action(ID_CONVERT_SELECTED));
    return menu;
}

void CKestoDlg::OnRightClick(int row, const QPoint& globalPos) {
    if (row < 0)
        return;
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void CKestoDlg::OnDoubleClick(int) {
    if (m_list->GetNextItem(RC_ITEM_SELECTED, -1) >= 0)
        OnConvertSelected();
}

void CKestoDlg::OnListSorted(int column, int ascending) {
    SetHeaderImages(column, ascending != 0);
}

void CKestoDlg::SetHeaderImages(int column, bool ascending) {
    for (int c = 0; c < m_list->GetColumnCount(); ++c)
        m_list->SetHeaderImage(c, 0, false);
    m_list->SetHeaderImage(column, ascending ? 1 : 2, false);
}

void CKestoDlg::Activate() {
    if (windowState() & Qt::WindowMinimized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // The last window this one opened (a dialog) comes to the front with it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

bool CKestoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (m_list && watched == m_list->viewport()) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                const QMimeData* data = drag->mimeData();
                if (data && data->hasUrls() && !m_closing) {
                    drag->acceptProposedAction();
                    return true;
                }
                break;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                QStringList paths;
                for (const QUrl& url : drop->mimeData()->urls())
                    if (url.isLocalFile())
                        paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
                drop->acceptProposedAction();
                LoadFiles(paths, true);
                return true;
            }
            default:
                break;
        }
    }
    return CResizeDlg::eventFilter(watched, event);
}
