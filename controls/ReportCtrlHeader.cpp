#include "controls/ReportCtrlHeader.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlModel.h"

CReportHeader::CReportHeader(CReportCtrl* ctrl) : QHeaderView(Qt::Horizontal, ctrl), m_ctrl(ctrl) {
    setSectionsClickable(true);
    setHighlightSections(false);
    // The last column in display order takes the spare width of a wide window.
    setStretchLastSection(true);
    setMinimumSectionSize(0);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

// Same grip rule as the header's own: the right edge of a section, or the left edge, which
// belongs to the section before it in display order.
int CReportHeader::DividerAt(int x) const {
    const int visual = visualIndexAt(x);
    if (visual < 0)
        return -1;
    const int logical = logicalIndex(visual);
    const int left = sectionViewportPosition(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (x < left + grip) {
        for (int v = visual - 1; v >= 0; --v) {
            if (!isSectionHidden(logicalIndex(v)))
                return logicalIndex(v);
        }
        return -1;
    }
    if (x > left + sectionSize(logical) - grip)
        return logical;
    return -1;
}

void CReportHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int divider = DividerAt(event->position().toPoint().x());
        if (divider >= 0 && m_ctrl->OnHeaderBeginTrack(divider)) {
            event->accept();
            return;
        }
    }
    QHeaderView::mousePressEvent(event);
}

void CReportHeader::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        return;
    }
    m_ctrl->OnContextMenu(event->globalPos());
    event->accept();
}

bool CReportHeader::ImageInSlot(int logicalIndex) const {
    const auto* model = qobject_cast<const CReportModel*>(this->model());
    return model != nullptr && model->IsColumn(logicalIndex) &&
           model->ColumnAt(logicalIndex).image >= 0 && !model->ColumnAt(logicalIndex).imageOnLeft;
}

// The section as the style would draw it, with the title's room always cut for a mark.
void CReportHeader::SectionOption(QStyleOptionHeader* option, int logicalIndex,
                                  const QRect& rect) const {
    initStyleOption(option);
    initStyleOptionForIndex(option, logicalIndex);
    option->rect = rect;
    if (ImageInSlot(logicalIndex))
        option->icon = QIcon();
    option->sortIndicator = QStyleOptionHeader::SortDown;
}

QRect CReportHeader::TitleRect(int logicalIndex) const {
    const QRect section(sectionViewportPosition(logicalIndex), 0, sectionSize(logicalIndex),
                        height());
    QStyleOptionHeader option;
    SectionOption(&option, logicalIndex, section);
    return style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
}

QRect CReportHeader::MarkRect(int logicalIndex) const {
    const QRect section(sectionViewportPosition(logicalIndex), 0, sectionSize(logicalIndex),
                        height());
    QStyleOptionHeader option;
    SectionOption(&option, logicalIndex, section);
    return style()->subElementRect(QStyle::SE_HeaderArrow, &option, this);
}

void CReportHeader::SetSortMark(int column, bool ascending) {
    m_markColumn = column;
    m_markAscending = ascending;
    viewport()->update();
}

void CReportHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    SectionOption(&option, logicalIndex, rect);
    const QStyleOptionHeader::SortIndicator reserved = option.sortIndicator;
    // Drawn as the style draws a section (background, title, mark), but with the title's room
    // the same whether this section carries a mark or not.
    option.sortIndicator = QStyleOptionHeader::None;
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    QStyleOptionHeader title = option;
    title.sortIndicator = reserved;
    title.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &title, this);
    title.sortIndicator = QStyleOptionHeader::None;
    if (title.rect.isValid())
        style()->drawControl(QStyle::CE_HeaderLabel, &title, painter, this);

    QStyleOptionHeader mark = option;
    mark.sortIndicator = reserved;
    mark.rect = style()->subElementRect(QStyle::SE_HeaderArrow, &mark, this);
    if (ImageInSlot(logicalIndex)) {
        const QIcon icon =
            model()->headerData(logicalIndex, orientation(), Qt::DecorationRole).value<QIcon>();
        const int side = std::min(mark.rect.width(), mark.rect.height());
        const QRect square(mark.rect.center().x() - side / 2, mark.rect.center().y() - side / 2,
                           side, side);
        icon.paint(painter, square);
    } else if (logicalIndex == m_markColumn) {
        // The same direction convention as every Qt view's header.
        mark.sortIndicator =
            m_markAscending ? QStyleOptionHeader::SortDown : QStyleOptionHeader::SortUp;
        style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &mark, painter, this);
    }
}

QSize CReportHeader::sectionSizeFromContents(int logicalIndex) const {
    QStyleOptionHeader option;
    SectionOption(&option, logicalIndex, QRect());
    QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    if (ImageInSlot(logicalIndex))
        size = size.expandedTo(QSize(0, iconSize().height()));
    return size;
}
