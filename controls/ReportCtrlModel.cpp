#include "controls/ReportCtrlModel.h"

#include <QColor>

namespace {

Qt::Alignment AlignmentOf(int format) {
    switch (format & 3) {
        case LVCFMT_RIGHT:
            return Qt::AlignRight | Qt::AlignVCenter;
        case LVCFMT_CENTER:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

CReportModel::CReportModel(CReportCtrl* ctrl) : QAbstractTableModel(ctrl), m_ctrl(ctrl) {}

int CReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()) || !IsColumn(index.column()))
        return {};
    const Row& row = RowAt(index.row());
    const auto column = static_cast<size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return row.cells[column].text;
        case Qt::DecorationRole: {
            const CImageList* images = m_ctrl->GetImageList();
            if (images == nullptr || row.cells[column].image < 0)
                return {};
            return images->Icon(row.cells[column].image);
        }
        case Qt::ForegroundRole:
            if (row.record && column < row.record->textColors.size())
                return m_ctrl->CellTextColor(index.row(), index.column());
            return {};
        case Qt::BackgroundRole:
            if (row.record && column < row.record->backColors.size())
                return m_ctrl->CellBackColor(index.row(), index.column());
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(AlignmentOf(ColumnAt(index.column()).format));
        case Qt::CheckStateRole:
            if (index.column() == 0 && (m_ctrl->GetExtendedStyle() & LVS_EX_CHECKBOXES))
                return row.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        default:
            return {};
    }
}

bool CReportModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || !IsRow(index.row()))
        return false;
    RowAt(index.row()).checked = value.toInt() == Qt::Checked;
    CellChanged(index.row(), 0);
    return true;
}

QVariant CReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !IsColumn(section))
        return {};
    const Column& column = ColumnAt(section);
    switch (role) {
        case Qt::DisplayRole:
            return column.heading;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(AlignmentOf(column.format));
        case Qt::DecorationRole: {
            const CImageList* images = m_ctrl->GetHeaderImageList();
            if (images == nullptr || column.image < 0)
                return {};
            return images->Icon(column.image);
        }
        default:
            return {};
    }
}

Qt::ItemFlags CReportModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && (m_ctrl->GetExtendedStyle() & LVS_EX_CHECKBOXES))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

int CReportModel::InsertRow(int index, Row row) {
    const int count = static_cast<int>(m_rows.size());
    if (index < 0)
        return -1;
    index = std::min(index, count);
    row.cells.resize(m_columns.size());
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(m_rows.begin() + index, std::move(row));
    endInsertRows();
    return index;
}

void CReportModel::RemoveRows(int first, int last) {
    beginRemoveRows(QModelIndex(), first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    endRemoveRows();
}

void CReportModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int CReportModel::InsertColumn(int index, Column column, COLORREF text, COLORREF back) {
    const int count = static_cast<int>(m_columns.size());
    if (index < 0)
        return -1;
    index = std::min(index, count);
    beginInsertColumns(QModelIndex(), index, index);
    m_columns.insert(m_columns.begin() + index, std::move(column));
    for (Row& row : m_rows) {
        row.cells.insert(row.cells.begin() + index, Cell{});
        if (!row.record)
            continue;
        auto& texts = row.record->textColors;
        auto& backs = row.record->backColors;
        texts.insert(texts.begin() + std::min<ptrdiff_t>(index, std::ssize(texts)), text);
        backs.insert(backs.begin() + std::min<ptrdiff_t>(index, std::ssize(backs)), back);
    }
    endInsertColumns();
    return index;
}

void CReportModel::RemoveColumn(int column) {
    beginRemoveColumns(QModelIndex(), column, column);
    m_columns.erase(m_columns.begin() + column);
    for (Row& row : m_rows) {
        row.cells.erase(row.cells.begin() + column);
        if (!row.record)
            continue;
        // Colours follow their columns, so later columns keep theirs.
        auto& texts = row.record->textColors;
        auto& backs = row.record->backColors;
        if (column < std::ssize(texts))
            texts.erase(texts.begin() + column);
        if (column < std::ssize(backs))
            backs.erase(backs.begin() + column);
    }
    endRemoveColumns();
}

void CReportModel::CellChanged(int row, int column) {
    if (!IsRow(row) || m_columns.empty())
        return;
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? columnCount() - 1 : column;
    Q_EMIT dataChanged(index(row, first), index(row, last));
}

void CReportModel::HeaderChanged(int column) {
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void CReportModel::Permute(const std::vector<int>& order) {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    std::vector<int> newPosition(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        rows.push_back(std::move(m_rows[static_cast<size_t>(order[i])]));
        newPosition[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_rows = std::move(rows);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.push_back(index(newPosition[static_cast<size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
