#pragma once

#include <QHeaderView>

class CReportCtrl;
class QStyleOptionHeader;

// The list's header: refuses resizing hidden columns, owns the column menu and draws the sort
// mark in a slot at the trailing end of every section that the title never uses, so titles
// keep their place whether a mark is shown or not. A header image on the right of a title is
// drawn in the same slot; one on the left goes before the title as usual.
class CReportHeader : public QHeaderView {
    Q_OBJECT

public:
    explicit CReportHeader(CReportCtrl* ctrl);

    // The column whose divider lies under x (header coordinates), or -1.
    int DividerAt(int x) const;

    void SetSortMark(int column, bool ascending);
    int SortMarkColumn() const { return m_markColumn; }
    bool SortMarkAscending() const { return m_markAscending; }

    // Where the title and the mark slot of a section lie, in viewport coordinates.
    QRect TitleRect(int logicalIndex) const;
    QRect MarkRect(int logicalIndex) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    void SectionOption(QStyleOptionHeader* option, int logicalIndex, const QRect& rect) const;
    bool ImageInSlot(int logicalIndex) const;

    CReportCtrl* m_ctrl;
    int m_markColumn = -1;
    bool m_markAscending = true;
};
