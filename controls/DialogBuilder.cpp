#include "controls/DialogBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

int MulDiv(int value, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

QString Text(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

QWidget* CreateLabel(const DlgControl& control, QWidget* parent) {
    auto* label = new QLabel(Text(control.text), parent);
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment align = (control.style & CTL_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    if (control.style & CTL_CENTERIMAGE) {
        align |= Qt::AlignVCenter;
    } else {
        // Static text wraps at word breaks and starts at the top, as the platform's does.
        align |= Qt::AlignTop;
        label->setWordWrap(true);
    }
    label->setAlignment(align);
    if (control.style & CTL_BORDER) {
        label->setFrameShape(QFrame::Box);
    }
    return label;
}

QWidget* CreateListView(const DlgControl& control, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode((control.style & CTL_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                           : QAbstractItemView::ExtendedSelection);
    list->header()->setSectionsClickable(!(control.style & CTL_NOSORTHEADER));
    list->setHeaderHidden(!(control.style & CTL_REPORT));
    if (!(control.style & CTL_BORDER)) {
        list->setFrameShape(QFrame::NoFrame);
    }
    return list;
}

QWidget* CreateIcon(const DlgControl& control, QWidget* parent, const DialogBuildOptions& options) {
    auto* label = new QLabel(parent);
    QIcon icon;
    if (options.icon) {
        icon = options.icon(control.imageId);
    }
    if (icon.isNull()) {
        icon = QApplication::windowIcon();
    }
    label->setProperty("imageId", control.imageId);
    label->setProperty("icon", icon);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setPixmap(icon.pixmap(32, 32));
    return label;
}

}  // namespace

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    QFontMetrics metrics(font);
    // The average letter width over both alphabets, rounded, as dialog units are defined.
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    return QRect(MulDiv(x, units.cx, 4), MulDiv(y, units.cy, 8), MulDiv(cx, units.cx, 4),
                 MulDiv(cy, units.cy, 8));
}

QFont TemplateFont(const DlgTemplate& dlg) {
    QFont font = QApplication::font();
    const QString face = Text(dlg.fontFace);
    if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
        font.setFamily(face);
    }
    if (dlg.pointSize > 0) {
        font.setPointSize(dlg.pointSize);
    }
    return font;
}

QWidget* CreateControl(const DlgControl& control, QWidget* parent,
                       const DialogBuildOptions& options) {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case DlgControlKind::PushButton:
        case DlgControlKind::DefPushButton: {
            auto* button = new QPushButton(Text(control.text), parent);
            button->setDefault(control.kind == DlgControlKind::DefPushButton);
            widget = button;
            break;
        }
        case DlgControlKind::Label:
            widget = CreateLabel(control, parent);
            break;
        case DlgControlKind::Edit: {
            auto* edit = new QLineEdit(Text(control.text), parent);
            if (control.style & CTL_RIGHT) {
                edit->setAlignment(Qt::AlignRight);
            }
            widget = edit;
            break;
        }
        case DlgControlKind::DropDownList:
            widget = new QComboBox(parent);
            break;
        case DlgControlKind::ListView:
            widget = CreateListView(control, parent);
            break;
        case DlgControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case DlgControlKind::GroupBox:
            widget = new QGroupBox(Text(control.text), parent);
            break;
        case DlgControlKind::CheckBox:
            widget = new QCheckBox(Text(control.text), parent);
            break;
        case DlgControlKind::Icon:
            widget = CreateIcon(control, parent, options);
            break;
    }
    if (!widget) {
        // A kind this builder does not know still takes its place, so lookups by id work.
        widget = new QWidget(parent);
    }
    if (control.style & CTL_DISABLED) {
        widget->setEnabled(false);
    }
    return widget;
}

bool BuildDialog(QDialog* dialog, int templateId, const DialogBuildOptions& options) {
    const DlgTemplate* dlg = FindDlgTemplate(templateId);
    if (!dialog || !dlg) {
        return false;
    }
    dialog->setWindowTitle(Text(dlg->caption));

    // A resizable window with maximise box is a normal top-level window: many window
    // managers refuse to maximise windows typed as dialogs.
    const bool resizable = dlg->style & DLG_THICKFRAME;
    Qt::WindowFlags flags = (resizable ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint;
    if (dlg->style & DLG_CAPTION) {
        flags |= Qt::WindowTitleHint;
    }
    if (dlg->style & DLG_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (dlg->style & DLG_MINIMIZEBOX) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (dlg->style & DLG_MAXIMIZEBOX) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    dialog->setWindowFlags(flags);

    const QFont font = TemplateFont(*dlg);
    dialog->setFont(font);
    const DialogBaseUnits units = GetDialogBaseUnits(font);

    for (const DlgControl& control : dlg->controls) {
        QWidget* widget = options.factory ? options.factory(control, dialog) : nullptr;
        if (!widget) {
            widget = CreateControl(control, dialog, options);
        } else if (widget->parentWidget() != dialog) {
            widget->setParent(dialog);
        }
        SetControlId(widget, control.id);
        widget->setGeometry(MapDialogRect(units, control.x, control.y, control.cx, control.cy));
        auto* picture = qobject_cast<QLabel*>(widget);
        if (control.kind == DlgControlKind::Icon && picture) {
            // Square, as large as the converted rectangle allows.
            const int side = std::min(widget->width(), widget->height());
            picture->setPixmap(picture->property("icon").value<QIcon>().pixmap(side, side));
        }
    }

    const QRect client = MapDialogRect(units, 0, 0, dlg->cx, dlg->cy);
    if (resizable) {
        dialog->resize(client.size());
    } else {
        dialog->setFixedSize(client.size());
    }
    dialog->setProperty("templateId", dlg->id);
    return true;
}

void SetControlId(QWidget* widget, int id) {
    if (widget) {
        widget->setProperty(CONTROL_ID_PROPERTY, id);
    }
}

int ControlId(const QWidget* widget) {
    return widget ? widget->property(CONTROL_ID_PROPERTY).toInt() : 0;
}

QWidget* FindControl(const QWidget* dialog, int id) {
    if (!dialog) {
        return nullptr;
    }
    for (auto options : {Qt::FindDirectChildrenOnly, Qt::FindChildrenRecursively}) {
        for (QWidget* child : dialog->findChildren<QWidget*>(QString(), options)) {
            const QVariant value = child->property(CONTROL_ID_PROPERTY);
            if (value.isValid() && value.toInt() == id) {
                return child;
            }
        }
    }
    return nullptr;
}
