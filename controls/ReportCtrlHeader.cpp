#include "controls/ReportCtrlHeader.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QStyleOptionHeader>

#include "controls/ReportCtrl.h"
#include "controls/ReportCtrlModel.h"

CReportHeader::CReportHeader(CReportCtrl* ctrl) : QHeaderView(Qt::Horizontal, ctrl), m_ctrl(ctrl) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
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

void CReportHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const auto* model = qobject_cast<const CReportModel*>(this->model());
    if (model != nullptr && model->IsColumn(logicalIndex) &&
        !model->ColumnAt(logicalIndex).imageOnLeft)
        option->iconAlignment = Qt::AlignRight | Qt::AlignVCenter;
}
