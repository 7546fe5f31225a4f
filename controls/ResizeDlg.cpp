#include "controls/ResizeDlg.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>

#include "controls/SizeGripExt.h"

#include <algorithm>

namespace {

void ApplyKind(unsigned kind, int& nearEdge, int& farEdge, int d, int size, double ratio) {
    switch (kind) {
        case ANCHOR_STRETCH:
            farEdge += d;
            break;
        case ANCHOR_MOVE:
            nearEdge += d;
            farEdge += d;
            break;
        case ANCHOR_CENTER: {
            const int extent = farEdge - nearEdge;
            // Truncation toward zero, as a conversion to int does.
            nearEdge = static_cast<int>(size * ratio - extent * 0.5);
            farEdge = nearEdge + extent;
            break;
        }
        default:
            break;
    }
}

}  // namespace

AnchorRect ComputeAnchorRect(const AnchorRecord& anchor, int dx, int dy, int width, int height) {
    AnchorRect r = anchor.rect;
    ApplyKind(anchor.hKindRight, r.left, r.right, dx, width, anchor.hRatio);
    ApplyKind(anchor.vKindBottom, r.top, r.bottom, dy, height, anchor.vRatio);
    return r;
}

CResizeDlg::CResizeDlg(int templateId, QWidget* parent, const DialogBuildOptions& options)
    : CDialog(templateId, parent, options) {
    // Smaller than its template, a window's controls run into each other. An application's
    // main window is left free: its list stretches with it, and its template, laid out in
    // a 10-point desktop font, is taller than many screens.
    const DlgTemplate* dlg = FindDlgTemplate(templateId);
    if (dlg && !(dlg->style & DLG_APPWINDOW)) {
        m_minTrackSize = size();
    }
}

CResizeDlg::~CResizeDlg() {
    // A dialog deleted while still showing ends here; overrides of derived classes are gone
    // by now, so only this class's own saving runs.
    if (DestroyPending()) {
        ClearDestroyPending();
        CResizeDlg::OnDestroy();
    }
}

QRect CResizeDlg::ClientRectOnScreen() const {
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

bool CResizeDlg::OnInitDialog() {
    const bool result = CDialog::OnInitDialog();
    m_initialClientRect = ClientRectOnScreen();
    m_lastClientRect = m_initialClientRect;
    if (!m_grip) {
        m_grip = new CSizeGripExt(this);
    }
    m_grip->Create(this, true, true, false);
    ApplyTrackLimits();
    return result;
}

void CResizeDlg::ApplyTrackLimits() {
    // A fixed-size template stays fixed; the limits concern resizable ones.
    if (minimumSize() == maximumSize()) {
        return;
    }
    // A minimum larger than the screen would leave the window no size that fits.
    QSize minimum = m_minTrackSize;
    if (const QScreen* screen = this->screen()) {
        minimum = minimum.boundedTo(screen->availableSize());
    }
    setMinimumSize(minimum);
    if (!m_resizeHorz) {
        setMaximumWidth(minimum.width());
    }
    if (!m_resizeVert) {
        setMaximumHeight(minimum.height());
    }
}

bool CResizeDlg::AddAnchor(int id, unsigned hKindLeft, unsigned hKindRight, unsigned vKindTop,
                           unsigned vKindBottom, unsigned flags, double hRatio, double hRatio2,
                           double vRatio, double vRatio2) {
    QWidget* control = Control(id);
    if (!control || control == this) {
        return false;
    }
    AnchorRecord record;
    record.id = id;
    record.hKindLeft = hKindLeft & 0xF;
    record.hKindRight = hKindRight & 0xF;
    record.vKindTop = vKindTop & 0xF;
    record.vKindBottom = vKindBottom & 0xF;
    record.noErase = (flags & ANCHOR_NO_ERASE) ? 1 : 0;
    record.redrawOnMove = (flags & ANCHOR_REDRAW_ON_MOVE) ? 1 : 0;
    const QPoint topLeft = control->mapTo(this, QPoint(0, 0));
    record.rect = {topLeft.x(), topLeft.y(), topLeft.x() + control->width(),
                   topLeft.y() + control->height()};
    record.hRatio = hRatio;
    record.hRatio2 = hRatio2;
    record.vRatio = vRatio;
    record.vRatio2 = vRatio2;
    record.control = control;

    const QSize client = size();
    if (hKindLeft == ANCHOR_CENTER || hKindRight == ANCHOR_CENTER) {
        record.hRatio =
            client.width() > 0 ? (record.rect.left + record.rect.right) * 0.5 / client.width() : 0;
    }
    if (vKindTop == ANCHOR_CENTER || vKindBottom == ANCHOR_CENTER) {
        record.vRatio = client.height() > 0
                            ? (record.rect.top + record.rect.bottom) * 0.5 / client.height()
                            : 0;
    }

    for (AnchorRecord& existing : m_anchors) {
        if (existing.id == id) {
            existing = record;
            return true;
        }
    }
    m_anchors.push_back(record);
    return true;
}

void CResizeDlg::HideSizeGrip() {
    if (m_grip) {
        m_grip->m_visible = false;
        m_grip->hide();
    }
}

void CResizeDlg::Layout(int cx, int cy) {
    const int dx = cx - m_lastClientRect.width();
    const int dy = cy - m_lastClientRect.height();
    // Nothing to follow; also keeps a centred control from a rounding shift when a window
    // comes back from minimised at the size it had.
    if (dx == 0 && dy == 0) {
        return;
    }
    for (AnchorRecord& anchor : m_anchors) {
        const AnchorRect next = ComputeAnchorRect(anchor, dx, dy, cx, cy);
        if (next == anchor.rect) {
            continue;
        }
        QWidget* control = anchor.control;
        if (control) {
            const QRect old = control->geometry();
            QWidget* parent = control->parentWidget();
            const QPoint topLeft = parent ? parent->mapFrom(this, QPoint(next.left, next.top))
                                          : QPoint(next.left, next.top);
            // A negative extent ends up as 0 in the widget; the record keeps the true value.
            control->setGeometry(topLeft.x(), topLeft.y(), std::max(0, next.right - next.left),
                                 std::max(0, next.bottom - next.top));
            if (anchor.redrawOnMove) {
                control->update();
                if (parent) {
                    parent->update(old);
                }
            }
        }
        anchor.rect = next;
    }
}

void CResizeDlg::OnSize(SizeType type, int cx, int cy) {
    if (!m_anchors.empty()) {
        if (type == SIZE_MINIMIZED) {
            return;
        }
        Layout(cx, cy);
        m_lastClientRect = ClientRectOnScreen();
    }
    if (m_grip) {
        m_grip->m_visible = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
        m_grip->Reposition(this);
    }
}

void CResizeDlg::SizeChanged() {
    // Before OnInitDialog there is nothing to lay out: the template's own size is the start.
    if (!m_grip) {
        return;
    }
    const Qt::WindowStates state = windowState();
    SizeType type = SIZE_RESTORED;
    if (state & Qt::WindowMinimized) {
        type = SIZE_MINIMIZED;
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        type = SIZE_MAXIMIZED;
    }
    OnSize(type, width(), height());
}

void CResizeDlg::resizeEvent(QResizeEvent* event) {
    CDialog::resizeEvent(event);
    SizeChanged();
}

void CResizeDlg::changeEvent(QEvent* event) {
    CDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        SizeChanged();
    }
}

void CResizeDlg::OnDestroy() {
    CDialog::OnDestroy();
    if (!m_placementKey.isEmpty() &&
        !m_placementStore.Save(this, m_placementKey, QStringLiteral("Position"))) {
        ShowSaveFailure();
    }
}

void CResizeDlg::ShowSaveFailure() {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QStringLiteral("Fail to Save!"), QMessageBox::Ok, this);
    box.exec();
}
