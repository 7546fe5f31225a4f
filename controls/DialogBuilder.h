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

// The dialog font's base units in pixels, kept fractional: the average width of a letter and
// the line height. Rounding them to whole pixels would shrink every template by up to a letter
// per four units.
struct DialogBaseUnits {
    double cx = 0;
    double cy = 0;
};

DialogBaseUnits GetDialogBaseUnits(const QFont& font);
// x, cx use cx / 4 pixels per unit, y, cy use cy / 8; each edge is rounded to the nearest
// pixel, so controls that touch in units touch on screen.
QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy);
// The font a template is laid out in: the desktop's dialog font (the application font, which
// follows the user's setting). The face and size a template names stood for the dialog font of
// its time, so they are not used.
QFont TemplateFont(const DlgTemplate& dlg);

struct DialogBuildOptions {
    // Creates the widget for a control, e.g. a CReportCtrl for a list or a CHyperLink for a
    // label; null hands the control to the builder's own widget for its kind.
    std::function<QWidget*(const DlgControl&, QWidget* parent)> factory;
    // Icon of an Icon control's resource id; null or a null icon: the application's icon.
    std::function<QIcon(int resourceId)> icon;
};

// Sets the caption, window flags and initial client size of the dialog (a fixed size unless
// the template has a resizable frame) and creates the controls in template order, then fits
// them to their texts (FitDialogToText). Push buttons never become the default on focus: only
// the template's default push button, or else button 1 (OK), takes Enter. A label with a
// mnemonic gets the control it names as its buddy. False, and nothing changed, when no template
// has that id.
bool BuildDialog(QDialog* dialog, int templateId, const DialogBuildOptions& options = {});

// Places every template control at its converted rectangle grown to what its current text
// needs (a rectangle is a minimum, never a maximum), centres one-line labels on the one-line
// control beside them, and grows the dialog to hold every control. Run again after texts or
// combo box entries changed, before the dialog shows; a dialog with a fixed size keeps it fixed.
void FitDialogToText(QDialog* dialog);

// The builder's own widget for a control kind, text and styles applied, not yet placed. An
// unknown kind gets a plain placeholder widget.
QWidget* CreateControl(const DlgControl& control, QWidget* parent,
                       const DialogBuildOptions& options = {});

void SetControlId(QWidget* widget, int id);
// The id given with SetControlId, or 0 for an untagged widget.
int ControlId(const QWidget* widget);
// The first descendant of dialog tagged with id (direct children first), or null.
QWidget* FindControl(const QWidget* dialog, int id);
