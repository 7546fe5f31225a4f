#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

#include "controls/Dialog.h"
#include "controls/PlacementStore.h"

class CSizeGripExt;

// How a control follows the client area on one axis at each layout (d = change of the client
// width or height since the last layout, S = the new width or height).
enum AnchorKind : unsigned {
    ANCHOR_FIXED = 0,    // keeps position and size
    ANCHOR_STRETCH = 1,  // the far edge moves by d
    ANCHOR_MOVE = 2,     // both edges move by d
    ANCHOR_CENTER = 3,   // keeps its size; centred at the fraction measured at registration
};

// AddAnchor flag bits.
constexpr unsigned ANCHOR_NO_ERASE = 1u << 0;
constexpr unsigned ANCHOR_REDRAW_ON_MOVE = 1u << 1;

struct AnchorRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const AnchorRect&) const = default;
};

struct AnchorRecord {
    int id = 0;
    unsigned hKindLeft : 4 = 0;
    unsigned hKindRight : 4 = 0;  // the one the layout applies
    unsigned vKindTop : 4 = 0;
    unsigned vKindBottom : 4 = 0;  // the one the layout applies
    // Kept for callers; Qt paints into a backing store, so there is no background erase to
    // spare the control from.
    unsigned noErase : 1 = 0;
    unsigned redrawOnMove : 1 = 0;
    // Client coordinates after the last layout. It may hold a negative size after the window
    // shrank far; the widget then has size 0 and takes its size back when the window grows.
    AnchorRect rect;
    double hRatio = 0;
    double hRatio2 = 0;
    double vRatio = 0;
    double vRatio2 = 0;
    QPointer<QWidget> control;
};

// The rectangle of an anchored control after the client area changed by dx, dy to the new
// width and height; kinds hKindRight and vKindBottom apply, unknown kinds act as fixed.
AnchorRect ComputeAnchorRect(const AnchorRecord& anchor, int dx, int dy, int width, int height);

// A resizable dialog: registered controls follow the client area, a size grip sits in the
// corner, and the placement is saved under m_placementKey when the dialog ends.
class CResizeDlg : public CDialog {
    Q_OBJECT

public:
    enum SizeType { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

    explicit CResizeDlg(int templateId, QWidget* parent = nullptr,
                        const DialogBuildOptions& options = {});
    ~CResizeDlg() override;

    // Registers the control with that id; false when the dialog has none. Call after the base
    // OnInitDialog. A control already registered is registered anew.
    bool AddAnchor(int id, unsigned hKindLeft, unsigned hKindRight, unsigned vKindTop,
                   unsigned vKindBottom, unsigned flags = 0, double hRatio = -1,
                   double hRatio2 = -1, double vRatio = -1, double vRatio2 = -1);
    // Hides the grip until the next size change shows it again (unless maximised).
    void HideSizeGrip();

    const std::vector<AnchorRecord>& Anchors() const { return m_anchors; }
    CSizeGripExt* SizeGrip() const { return m_grip; }

    CPlacementStore m_placementStore;
    // Profile entry of the placement; empty: nothing is saved when the dialog ends.
    QString m_placementKey;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    virtual void OnSize(SizeType type, int cx, int cy);
    // Shows "Fail to Save!"; a test may intercept it.
    virtual void ShowSaveFailure();

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

    std::vector<AnchorRecord> m_anchors;
    QRect m_lastClientRect;     // screen coordinates
    QRect m_initialClientRect;  // screen coordinates
    // The template's size (0, 0 without a template and for a main window), bounded by the
    // screen when applied; a derived window may change it before its base initialisation.
    QSize m_minTrackSize{0, 0};
    bool m_resizeHorz = true;
    bool m_resizeVert = true;
    CSizeGripExt* m_grip = nullptr;

private:
    QRect ClientRectOnScreen() const;
    void ApplyTrackLimits();
    void Layout(int cx, int cy);
    void SizeChanged();
};
