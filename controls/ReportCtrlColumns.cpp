#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QStyleOptionHeader>

#include <cmath>

#include "controls/DialogBuilder.h"

#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlHeader.h"
#include "controls/ReportCtrlModel.h"

// LVSCW_AUTOSIZE and LVSCW_AUTOSIZE_USEHEADER as width requests.
constexpr int AUTOSIZE = -1;
constexpr int AUTOSIZE_USEHEADER = -2;

int CReportCtrl::InsertColumn(int index, const QString& heading, int format, int width, int) {
    EndEdit(true);
    if (index < 0)
        return -1;
    const int at = m_model->InsertColumn(index, CReportModel::Column{heading, format, -1, false},
                                         RC_SYSTEM_COLOR, RC_SYSTEM_COLOR);
    if (at < 0)
        return -1;
    width = std::max(width, 0);
    m_columns.insert(m_columns.begin() + at, ColumnState{1, width, -1});
    m_header->setSectionResizeMode(at, QHeaderView::Interactive);
    m_header->resizeSection(at, width);
    return at;
}

bool CReportCtrl::DeleteColumn(int column) {
    EndEdit(true);
    if (!m_model->IsColumn(column))
        return false;
    m_model->RemoveColumn(column);
    m_columns.erase(m_columns.begin() + column);
    m_editableColumns.erase(
        std::remove(m_editableColumns.begin(), m_editableColumns.end(), unsigned(column)),
        m_editableColumns.end());
    for (unsigned& c : m_editableColumns) {
        if (c > unsigned(column))
            --c;
    }
    return true;
}

int CReportCtrl::GetColumnCount() const {
    return m_model->columnCount();
}

QString CReportCtrl::GetColumnHeading(int column) const {
    return m_model->IsColumn(column) ? m_model->ColumnAt(column).heading : QString();
}

// The column's own width: the last column may be drawn wider to fill the list, but the spare
// width is not its own and is neither stored nor remembered when it is hidden.
int CReportCtrl::GetColumnWidth(int column) const {
    if (!m_model->IsColumn(column))
        return 0;
    if (!m_header->stretchLastSection() || column != m_header->logicalIndex(LastVisualColumn()))
        return m_header->sectionSize(column);
    // The header gives the last section its own size back while it does not stretch.
    m_header->setStretchLastSection(false);
    const int own = m_header->sectionSize(column);
    m_header->setStretchLastSection(true);
    return own;
}

int CReportCtrl::LastVisualColumn() const {
    for (int v = m_header->count() - 1; v >= 0; --v) {
        if (!m_header->isSectionHidden(m_header->logicalIndex(v)))
            return v;
    }
    return -1;
}

bool CReportCtrl::SetColumnWidth(int column, int width) {
    if (!m_model->IsColumn(column) || !m_columns[static_cast<size_t>(column)].visible)
        return false;
    if (width == AUTOSIZE || width == AUTOSIZE_USEHEADER) {
        const int content = sizeHintForColumn(column);
        width = width == AUTOSIZE_USEHEADER ? std::max(content, m_header->sectionSizeHint(column))
                                            : std::max(content, 0);
    }
    if (width < 0)
        return false;
    m_header->resizeSection(column, width);
    return true;
}

bool CReportCtrl::AutoSizeColumn(int column, bool useHeader) {
    const int request = useHeader ? AUTOSIZE_USEHEADER : AUTOSIZE;
    if (column != -1)
        return SetColumnWidth(column, request);
    for (int c = 0; c < GetColumnCount(); ++c)
        SetColumnWidth(c, request);
    return true;
}

std::vector<int> CReportCtrl::GetColumnOrder() const {
    std::vector<int> order(static_cast<size_t>(GetColumnCount()));
    for (int v = 0; v < std::ssize(order); ++v)
        order[static_cast<size_t>(v)] = m_header->logicalIndex(v);
    return order;
}

bool CReportCtrl::SetColumnOrder(const std::vector<int>& order) {
    if (std::ssize(order) != GetColumnCount())
        return false;
    m_movingSections = true;
    for (int v = 0; v < std::ssize(order); ++v) {
        const int from = m_header->visualIndex(order[static_cast<size_t>(v)]);
        if (from >= 0 && from != v)
            m_header->moveSection(from, v);
    }
    m_movingSections = false;
    return true;
}

bool CReportCtrl::IsColumnVisible(int column) const {
    return m_model->IsColumn(column) && m_columns[static_cast<size_t>(column)].visible;
}

ColumnState CReportCtrl::GetColumnState(int column) const {
    return m_model->IsColumn(column) ? m_columns[static_cast<size_t>(column)] : ColumnState{};
}

// Hidden columns gather at the left end with width 0; a column shown again walks to the right
// end (past every position up to its restorePos, and past hidden ones) and gets its width back.
bool CReportCtrl::ShowColumn(int column, bool show) {
    if (!m_model->IsColumn(column))
        return false;
    ColumnState& state = m_columns[static_cast<size_t>(column)];
    SetRedraw(false);
    std::vector<int> order = GetColumnOrder();
    const int n = std::ssize(order);
    const bool wasVisible = state.visible != 0;
    int p = -1;
    if (show) {
        for (int i = 0; i < n; ++i) {
            if (p < 0) {
                if (order[static_cast<size_t>(i)] == column)
                    p = i;
                continue;
            }
            if (i <= state.restorePos ||
                !m_columns[static_cast<size_t>(order[size_t(i)])].visible) {
                std::swap(order[static_cast<size_t>(p)], order[static_cast<size_t>(i)]);
                p = i;
            }
        }
    } else {
        for (int i = n - 1; i >= 0; --i) {
            if (p < 0) {
                if (order[static_cast<size_t>(i)] == column) {
                    p = i;
                    state.restorePos = n;
                }
                continue;
            }
            std::swap(order[static_cast<size_t>(p)], order[static_cast<size_t>(i)]);
            p = i;
        }
    }
    SetColumnOrder(order);
    if (show) {
        state.visible = 1;
        SetColumnWidth(column, state.width & 0xFFFF);
        m_header->setSectionResizeMode(column, QHeaderView::Interactive);
    } else {
        // Hiding a hidden column must not forget the width it will come back with.
        if (wasVisible)
            state.width = GetColumnWidth(column);
        SetColumnWidth(column, 0);
        state.visible = 0;
        m_header->setSectionResizeMode(column, QHeaderView::Fixed);
    }
    SetRedraw(true);
    viewport()->update();
    return true;
}

bool CReportCtrl::EnsureColumnVisible(int column, bool partialOK) {
    if (!m_model->IsColumn(column))
        return false;
    const int left = m_header->sectionPosition(column);
    const int right = left + m_header->sectionSize(column);
    const int clientLeft = 0;
    const int clientRight = viewport()->width();
    const int scroll = horizontalScrollBar()->value();
    if (partialOK && left - scroll < clientRight && right - scroll > 0)
        return true;
    int dx = 0;
    if (right - left <= clientRight - clientLeft && left - scroll >= 0) {
        if (right - scroll <= clientRight)
            return true;
        dx = right - clientRight - scroll;
    } else {
        dx = left - scroll;
    }
    if (dx != 0)
        horizontalScrollBar()->setValue(scroll + dx);
    return true;
}

void CReportCtrl::SetHeaderImage(int column, int image, bool imageOnLeft) {
    if (!m_model->IsColumn(column))
        return;
    if (m_headerImageList == nullptr)
        m_headerImageList = m_imageList;
    CReportModel::Column& header = m_model->ColumnAt(column);
    header.image = image;
    header.imageOnLeft = imageOnLeft;
    m_model->HeaderChanged(column);
}

int CReportCtrl::GetHeaderImage(int column) const {
    return m_model->IsColumn(column) ? m_model->ColumnAt(column).image : -1;
}

bool CReportCtrl::SetSortable(bool sortable) {
    if (m_header->isHidden())
        return false;
    m_sortable = sortable;
    m_header->viewport()->update();
    return true;
}

void CReportCtrl::SetSortMark(int column, bool ascending) {
    m_header->SetSortMark(m_model->IsColumn(column) ? column : -1, ascending);
}

int CReportCtrl::GetSortMarkColumn() const {
    return m_header->SortMarkColumn();
}

bool CReportCtrl::IsSortMarkAscending() const {
    return m_header->SortMarkAscending();
}

int CReportCtrl::DefaultColumnWidth(const QString& heading, int templatePixels) const {
    // 6 pixels is the average letter of the 8-point dialog font the pixel defaults were
    // chosen for; dialog units measure the same letter.
    const double letter = GetDialogBaseUnits(font()).cx;
    const int scaled = static_cast<int>(std::lround(templatePixels * letter / 6.0));
    QStyleOptionHeader option;
    option.initFrom(m_header);
    option.text = heading;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const QSize title =
        m_header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), m_header);
    return std::max(scaled, title.width());
}

void CReportCtrl::SetColumnHeaderVisible(bool visible) {
    m_header->setHidden(!visible);
}

// ---- header notifications ----

bool CReportCtrl::OnHeaderBeginTrack(int column) {
    EndEdit(false);
    return m_model->IsColumn(column) && !m_columns[static_cast<size_t>(column)].visible;
}

// A column dragged in front of the hidden ones lands right after them instead.
void CReportCtrl::OnHeaderEndDrag(int column, int, int newVisual) {
    if (m_movingSections)
        return;
    EndEdit(false);
    int firstVisible = 0;
    for (int v = 0; v < GetColumnCount(); ++v) {
        const int logical = m_header->logicalIndex(v);
        if (logical == column)
            continue;
        if (m_columns[static_cast<size_t>(logical)].visible)
            break;
        ++firstVisible;
    }
    if (newVisual < firstVisible) {
        m_movingSections = true;
        m_header->moveSection(newVisual, firstVisible);
        m_movingSections = false;
    }
}

void CReportCtrl::OnHeaderDividerDblClick(int column) {
    AutoSizeColumn(column, false);
}

void CReportCtrl::keyPressEvent(QKeyEvent* event) {
    OnKeyDown(event);
}

void CReportCtrl::OnKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Plus && (event->modifiers() & Qt::KeypadModifier) &&
        (event->modifiers() & Qt::ControlModifier)) {
        AutoSizeColumn(-1, false);
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

// ---- column menu ----

void CReportCtrl::OnContextMenu(const QPoint& globalPos) {
    const QPoint at = m_header->mapFromGlobal(globalPos);
    if (m_header->isHidden() || !m_header->rect().contains(at))
        return;
    QMenu menu(this);
    for (int c = 0; c < GetColumnCount(); ++c) {
        if (c == 3)
            menu.addSeparator();
        QAction* action = menu.addAction(GetColumnHeading(c).left(511));
        action->setData(c);
        action->setCheckable(true);
        action->setChecked(IsColumnVisible(c));
        action->setEnabled(c >= 2);
    }
    const QAction* chosen = menu.exec(globalPos);
    if (chosen != nullptr)
        OnCommand(chosen->data().toInt());
}

void CReportCtrl::OnCommand(int column) {
    if (m_model->IsColumn(column))
        ShowColumn(column, !IsColumnVisible(column));
}
