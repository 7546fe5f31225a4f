#pragma once

#include <QHeaderView>

class CReportCtrl;

// The list's header: refuses resizing hidden columns, owns the column menu and draws sort
// marks on either side of the title.
class CReportHeader : public QHeaderView {
    Q_OBJECT

public:
    explicit CReportHeader(CReportCtrl* ctrl);

    // The column whose divider lies under x (header coordinates), or -1.
    int DividerAt(int x) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    CReportCtrl* m_ctrl;
};
