#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>

#include <functional>

#include "resources/DialogTemplates.h"

class QDialog;
class QWidget;

// Turns a dialog template of resources/ into Qt widgets: every control becomes a direct child
// of the dialog at its rectangle converted from dialog units, tagged with its control id.

// Name of the widget property that holds a control's id.
inline constexpr char CONTROL_ID_PROPERTY[] = "controlId";

// The dialog font's base units in pixels: the average width of a letter and the line height.
struct DialogBaseUnits {
    int cx = 0;
    int cy = 0;
};

DialogBaseUnits GetDialogBaseUnits(const QFont& font);
// One value each: x, cx use cx / 4 per unit, y, cy use cy / 8 per unit, rounded to nearest.
QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy);
// The template's face at its point size; where the face is not installed, the default UI font
// stands in at the same point size.
QFont TemplateFont(const DlgTemplate& dlg);

struct DialogBuildOptions {
    // Creates the widget for a control, e.g. a CReportCtrl for a list or a CHyperLink for a
    // label; null hands the control to the builder's own widget for its kind.
    std::function<QWidget*(const DlgControl&, QWidget* parent)> factory;
    // Icon of an Icon control's resource id; null or a null icon: the application's icon.
    std::function<QIcon(int resourceId)> icon;
};

// Sets the caption, window flags, font and initial client size of the dialog (a fixed size
// unless the template has a resizable frame) and creates the controls in template order.
// False, and nothing changed, when no template has that id.
bool BuildDialog(QDialog* dialog, int templateId, const DialogBuildOptions& options = {});

// The builder's own widget for a control kind, text and styles applied, not yet placed. An
// unknown kind gets a plain placeholder widget.
QWidget* CreateControl(const DlgControl& control, QWidget* parent,
                       const DialogBuildOptions& options = {});

void SetControlId(QWidget* widget, int id);
// The id given with SetControlId, or 0 for an untagged widget.
int ControlId(const QWidget* widget);
// The first descendant of dialog tagged with id (direct children first), or null.
QWidget* FindControl(const QWidget* dialog, int id);
