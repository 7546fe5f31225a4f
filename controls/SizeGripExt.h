#pragma once

#include <QSize>
#include <QSizeGrip>

// The dialog's size grip: a square of scroll-bar thickness in the lower-right corner of the
// client area (lower-left for right-to-left layouts), optionally cut to its lower-right
// triangle. Dragging it resizes the window; it never takes the focus.
class CSizeGripExt : public QSizeGrip {
    Q_OBJECT

public:
    explicit CSizeGripExt(QWidget* parent);

    // Sizes the grip, sets its shape and visibility flag and puts it in the corner. The
    // transparent drawing mode is not supported; the grip always paints itself.
    bool Create(QWidget* parent, bool visible, bool triangular, bool transparent);
    void SetTriangular(bool on);
    // Corner of parent's client area, on top of its siblings, shown when m_visible is set.
    void Reposition(QWidget* parent);

    bool m_visible = false;
    QSize m_gripSize;
    bool m_triangular = false;

protected:
    void changeEvent(QEvent* event) override;

private:
    QSize GripMetrics() const;
    void ApplyRegion();
};
