#include "controls/SizeGripExt.h"

#include <QEvent>
#include <QPolygon>
#include <QRegion>
#include <QStyle>

CSizeGripExt::CSizeGripExt(QWidget* parent) : QSizeGrip(parent) {
    setFocusPolicy(Qt::NoFocus);
    m_gripSize = GripMetrics();
    resize(m_gripSize);
    QSizeGrip::setVisible(false);
}

QSize CSizeGripExt::GripMetrics() const {
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(extent, extent);
}

bool CSizeGripExt::Create(QWidget* parent, bool visible, bool triangular, bool transparent) {
    Q_UNUSED(transparent);
    if (!parent) {
        return false;
    }
    if (parentWidget() != parent) {
        setParent(parent);
    }
    m_gripSize = GripMetrics();
    resize(m_gripSize);
    SetTriangular(triangular);
    m_visible = visible;
    Reposition(parent);
    return true;
}

void CSizeGripExt::ApplyRegion() {
    if (!m_triangular) {
        clearMask();
        return;
    }
    const int w = width();
    const int h = height();
    QPolygon triangle;
    if (layoutDirection() == Qt::RightToLeft) {
        triangle << QPoint(0, 0) << QPoint(0, h) << QPoint(w, h);
    } else {
        triangle << QPoint(0, h) << QPoint(w, h) << QPoint(w, 0);
    }
    setMask(QRegion(triangle, Qt::WindingFill));
}

void CSizeGripExt::SetTriangular(bool on) {
    m_triangular = on;
    ApplyRegion();
}

void CSizeGripExt::Reposition(QWidget* parent) {
    if (!parent) {
        return;
    }
    const QRect client = parent->rect();
    const int x = layoutDirection() == Qt::RightToLeft ? client.left()
                                                       : client.left() + client.width() - width();
    move(x, client.top() + client.height() - height());
    raise();
    setVisible(m_visible);
}

void CSizeGripExt::changeEvent(QEvent* event) {
    QSizeGrip::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange) {
        ApplyRegion();
        Reposition(parentWidget());
    } else if (event->type() == QEvent::StyleChange) {
        // The new size grows from the same lower corner.
        const QSize size = GripMetrics();
        const QRect old = geometry();
        const bool rtl = layoutDirection() == Qt::RightToLeft;
        const int x = rtl ? old.left() : old.left() + old.width() - size.width();
        m_gripSize = size;
        setGeometry(x, old.top() + old.height() - size.height(), size.width(), size.height());
        if (m_triangular) {
            ApplyRegion();
        }
    }
}
