#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "controls/CellEditor.h"
#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlHeader.h"
#include "controls/ReportCtrlModel.h"

void CReportCtrl::EnableEdit(bool enable) {
    if (!enable)
        EndEdit(true);
    m_editEnabled = enable;
}

bool CReportCtrl::AddEditableColumn(int column) {
    if (column < 0 || column >= GetColumnCount() || IsEditableColumn(column))
        return false;
    m_editableColumns.push_back(static_cast<unsigned>(column));
    return true;
}

bool CReportCtrl::IsEditableColumn(int column) const {
    return column >= 0 && std::find(m_editableColumns.begin(), m_editableColumns.end(),
                                    static_cast<unsigned>(column)) != m_editableColumns.end();
}

bool CReportCtrl::IsEditing() const {
    return m_model->IsRow(m_editRow) && m_model->IsColumn(m_editColumn);
}

int CReportCtrl::ColumnAlignment(int column) const {
    if (m_header->isHidden() || !m_model->IsColumn(column))
        return ES_LEFT;
    switch (m_model->ColumnAt(column).format & 3) {
        case LVCFMT_CENTER:
            return ES_CENTER;
        case LVCFMT_RIGHT:
            return ES_RIGHT;
        default:
            return ES_LEFT;
    }
}

// Over the cell's text, with the editor's first character where the cell's first character
// was, and never over the cell's image.
QRect CReportCtrl::EditRect(int row, int column) const {
    const QModelIndex index = m_model->index(row, column);
    const QRect cell = visualRect(index);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    option.index = index;
    option.text = GetItemText(row, column);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    int left = cell.left();
    if (!icon.isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = icon;
        option.decorationSize = iconSize();
        const QRect image =
            style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
        left = image.right() + 1;
    }
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The item's text is drawn this far inside its rectangle.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    left = std::max(left, text.left() + margin - static_cast<CCellEditor*>(m_edit)->TextOffset());
    const int height = std::max(cell.height(), m_edit->sizeHint().height());
    return QRect(left, cell.center().y() - (height - 1) / 2, cell.right() - left + 1, height);
}

bool CReportCtrl::StartEdit(int row, int column) {
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    if (IsEditing() && row == m_editRow && column == m_editColumn)
        return true;
    EndEdit(true);
    // The owner may have changed the rows while it handled a committed edit.
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    m_editRow = row;
    m_editColumn = column;
    selectionModel()->setCurrentIndex(
        m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_editAlign = ColumnAlignment(column);
    m_edit->setAlignment((m_editAlign == ES_CENTER  ? Qt::AlignHCenter
                          : m_editAlign == ES_RIGHT ? Qt::AlignRight
                                                    : Qt::AlignLeft) |
                         Qt::AlignVCenter);
    m_edit->setFont(font());
    const QString text = GetItemText(row, column);
    m_editOldText = text;
    m_edit->setGeometry(EditRect(row, column));
    m_edit->setText(text);
    m_edit->show();
    // The extension after the last period stays unselected.
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    m_edit->setSelection(0, static_cast<int>(dot < 0 ? text.size() : dot));
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->setGeometry(EditRect(row, column));
    Q_EMIT EditStarted(row, column);
    return true;
}

bool CReportCtrl::EndEdit(bool commit) {
    if (!IsEditing())
        return false;
    const int row = m_editRow;
    const int column = m_editColumn;
    const QString text = m_edit->text();
    const bool changed = commit && text != GetItemText(row, column);
    // The edit is over before the owner hears of it: an owner that writes the cell back must
    // not commit this edit a second time.
    if (m_edit->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_edit->hide();
    m_editRow = -1;
    m_editColumn = -1;
    if (changed) {
        m_model->RowAt(row).cells[static_cast<size_t>(column)].text = text;
        m_model->CellChanged(row, column);
        Q_EMIT CellEdited(row, column, m_editOldText);
        if (m_notifyWnd)
            m_notifyWnd->Send(
                Message{WM_LIST_CELL_EDITED, static_cast<uintptr_t>(row), column, {}});
    }
    return changed;
}

bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_edit || watched == this) &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::ShortcutOverride) {
            // While editing, the editing keys belong to the list, not to window shortcuts.
            static const int keys[] = {Qt::Key_Tab,   Qt::Key_Backtab, Qt::Key_Return,
                                       Qt::Key_Enter, Qt::Key_Escape,  Qt::Key_Up,
                                       Qt::Key_Down};
            if (IsEditing() &&
                std::find(std::begin(keys), std::end(keys), key->key()) != std::end(keys))
                event->accept();
            return false;
        }
        if (!IsEditing()) {
            if (watched == this && key->key() == Qt::Key_Space)
                return true;  // the list never toggles selection with the space key
            return false;
        }
        return HandleEditKey(key);
    }
    return QTreeView::eventFilter(watched, event);
}

bool CReportCtrl::HandleEditKey(QKeyEvent* event) {
    const int row = m_editRow;
    const int column = m_editColumn;
    switch (event->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            const bool back =
                event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
            const int n = static_cast<int>(m_editableColumns.size());
            if (n == 0) {
                EndEdit(true);
                return true;
            }
            const auto at = std::find(m_editableColumns.begin(), m_editableColumns.end(),
                                      static_cast<unsigned>(column));
            const int i = at == m_editableColumns.end()
                              ? (back ? 0 : n - 1)
                              : static_cast<int>(at - m_editableColumns.begin());
            const int next = back ? (n + i - 1) % n : (i + 1) % n;
            const int nextColumn = static_cast<int>(m_editableColumns[static_cast<size_t>(next)]);
            EndEdit(true);
            EnsureColumnVisible(nextColumn, false);
            StartEdit(row, nextColumn);
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            EndEdit(true);
            return true;
        case Qt::Key_Escape:
            EndEdit(false);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const int count = m_model->rowCount();
            const int next =
                event->key() == Qt::Key_Up ? (count + row - 1) % count : (row + 1) % count;
            EndEdit(true);
            if (m_model->IsRow(next))
                scrollTo(m_model->index(next, column), QAbstractItemView::EnsureVisible);
            StartEdit(next, column);
            return true;
        }
        default:
            return false;
    }
}

void CReportCtrl::wheelEvent(QWheelEvent* event) {
    EndEdit(false);
    QTreeView::wheelEvent(event);
}
