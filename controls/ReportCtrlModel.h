#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

#include "controls/ReportCtrl.h"

// Stored as a cell's background instead of a fixed colour: one of the sort's row shades,
// resolved from the palette when the cell paints. The high byte of a colour is otherwise 0.
constexpr COLORREF RC_SHADE_TAG = 0xFE000000;
enum RowShade : COLORREF {
    SHADE_EVEN = RC_SHADE_TAG,
    SHADE_ODD,
    SHADE_EVEN_SORTED,
    SHADE_ODD_SORTED,
    SHADE_BAD,
};

// The rows behind CReportCtrl. Every row owns its record; cells are kept one per column.
class CReportModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Cell {
        QString text;
        int image = -1;
    };
    struct Row {
        std::unique_ptr<ReportRowRecord> record;
        std::vector<Cell> cells;
        bool checked = false;
    };
    struct Column {
        QString heading;
        int format = LVCFMT_LEFT;
        int image = -1;
        bool imageOnLeft = false;
    };

    explicit CReportModel(CReportCtrl* ctrl);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }
    bool IsColumn(int column) const {
        return column >= 0 && column < static_cast<int>(m_columns.size());
    }
    Row& RowAt(int row) { return m_rows[static_cast<size_t>(row)]; }
    const Row& RowAt(int row) const { return m_rows[static_cast<size_t>(row)]; }
    Column& ColumnAt(int column) { return m_columns[static_cast<size_t>(column)]; }
    const Column& ColumnAt(int column) const { return m_columns[static_cast<size_t>(column)]; }

    int InsertRow(int index, Row row);
    void RemoveRows(int first, int last);
    void Clear();
    int InsertColumn(int index, Column column, COLORREF text, COLORREF back);
    void RemoveColumn(int column);
    void CellChanged(int row, int column);  // one cell, every column when column is -1
    void HeaderChanged(int column);
    // Puts the rows into the order given (new position i holds old row order[i]) in one layout
    // change; selection and focus follow their rows.
    void Permute(const std::vector<int>& order);

private:
    CReportCtrl* m_ctrl;
    std::vector<Row> m_rows;
    std::vector<Column> m_columns;
};
