#include "controls/DialogBuilder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTreeWidget>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// Where a control's template rectangle lives on the widget, for the fitting pass.
constexpr char TEMPLATE_INDEX_PROPERTY[] = "templateIndex";
constexpr char TEMPLATE_ID_PROPERTY[] = "templateId";

QString Text(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

// A label wraps only when its rectangle holds two lines or more (8 units are one line);
// otherwise a long word would break onto a line nobody can see.
bool WrapsText(const DlgControl& control) {
    return control.kind == DlgControlKind::Label && control.cy >= 16;
}

QWidget* CreateLabel(const DlgControl& control, QWidget* parent) {
    auto* label = new QLabel(Text(control.text), parent);
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment align = (control.style & CTL_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    // Static text starts at the top, as the platform's does, unless it is centred on its line.
    align |= (control.style & CTL_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(align);
    label->setWordWrap(WrapsText(control));
    if (control.style & CTL_BORDER) {
        label->setFrameShape(QFrame::Box);
    }
    return label;
}

void SetUpListView(QAbstractItemView* list) {
    // A list is a sunken well on every desktop style; a zero-width column must really be zero
    // wide, and focus is shown on the row, not on a cell that may be that column.
    list->setFrameShape(QFrame::StyledPanel);
    if (auto* tree = qobject_cast<QTreeView*>(list)) {
        tree->header()->setMinimumSectionSize(0);
        tree->setAllColumnsShowFocus(true);
    }
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

bool IsPushButton(DlgControlKind kind) {
    return kind == DlgControlKind::PushButton || kind == DlgControlKind::DefPushButton;
}

// Controls one line high that a label beside them names.
bool IsOneLineInput(DlgControlKind kind) {
    return kind == DlgControlKind::Edit || kind == DlgControlKind::DropDownList ||
           kind == DlgControlKind::CheckBox || IsPushButton(kind);
}

bool TakesFocus(const DlgControl& control) {
    return !(control.style & CTL_DISABLED) &&
           (IsOneLineInput(control.kind) || control.kind == DlgControlKind::ListView);
}

bool HasMnemonic(const QString& text) {
    for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < text.size();
         i = text.indexOf(QLatin1Char('&'), i + 2)) {
        if (text[i + 1] != QLatin1Char('&')) {
            return true;
        }
    }
    return false;
}

// The text as shown: "&&" is one ampersand, a single "&" marks the mnemonic and is not drawn.
QString ShownText(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

// The control on the same row, right of the label, that the label names; -1 when none.
int PartnerOf(const DlgTemplate& dlg, size_t labelIndex) {
    const DlgControl& label = dlg.controls[labelIndex];
    int best = -1;
    for (size_t i = 0; i < dlg.controls.size(); ++i) {
        const DlgControl& c = dlg.controls[i];
        const bool sameRow = c.y < label.y + label.cy && label.y < c.y + c.cy;
        if (i == labelIndex || !IsOneLineInput(c.kind) || !sameRow ||
            c.x < label.x + label.cx - 2) {
            continue;
        }
        if (best < 0 || c.x < dlg.controls[static_cast<size_t>(best)].x) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

// The control a label with a mnemonic hands the focus to: the one beside it, else the next one
// in tab order that can take the focus.
int BuddyOf(const DlgTemplate& dlg, size_t labelIndex) {
    const int partner = PartnerOf(dlg, labelIndex);
    if (partner >= 0 && TakesFocus(dlg.controls[static_cast<size_t>(partner)])) {
        return partner;
    }
    for (size_t i = labelIndex + 1; i < dlg.controls.size(); ++i) {
        if (TakesFocus(dlg.controls[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// What the control's current text needs, in pixels; 0 on an axis where the text sets no need.
QSize TextNeed(QWidget* widget, const DlgControl& control, const QRect& rect) {
    QStyle* style = widget->style();
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        return check->sizeHint();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        // The text and the button's own margins; a style's minimum button width is no need
        // of the text and would push a small "..." button over its neighbour.
        const int margins = 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                            2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        const int text =
            qCeil(QFontMetricsF(button->font()).horizontalAdvance(ShownText(button->text())));
        return QSize(text + margins, button->sizeHint().height());
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (control.kind == DlgControlKind::Icon || label->text().isEmpty()) {
            return QSize();
        }
        if (label->wordWrap()) {
            return QSize(0, label->heightForWidth(rect.width()));
        }
        return label->sizeHint();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return QSize(group->minimumSizeHint().width(), 0);
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The longest entry in the field the style leaves for it, as the box measures itself.
        const QFontMetricsF metrics(combo->font());
        qreal longest = 0;
        for (int i = 0; i < combo->count(); ++i) {
            longest = std::max(longest, metrics.horizontalAdvance(combo->itemText(i)));
        }
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QSize contents(qCeil(longest) + 2, std::max(qCeil(metrics.height()), 14) + 2);
        return style->sizeFromContents(QStyle::CT_ComboBox, &option, contents, combo);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return QSize(0, edit->sizeHint().height());
    }
    return QSize();
}

// Grows rect to need: text that starts on the right grows to the left, centred controls grow
// both ways, the rest to the right; one-line controls grow up and down about their middle.
QRect Grow(QRect rect, QSize need, QWidget* widget, const DlgControl& control) {
    if (need.width() > rect.width()) {
        const int extra = need.width() - rect.width();
        const auto* label = qobject_cast<QLabel*>(widget);
        if (label && (label->alignment() & Qt::AlignRight)) {
            rect.setLeft(rect.left() - extra);
        } else if (IsPushButton(control.kind)) {
            rect.adjust(-extra / 2, 0, extra - extra / 2, 0);
        } else {
            rect.setRight(rect.right() + extra);
        }
    }
    if (need.height() > rect.height()) {
        const int extra = need.height() - rect.height();
        if (IsOneLineInput(control.kind)) {
            rect.adjust(0, -extra / 2, 0, extra - extra / 2);
        } else {
            rect.setBottom(rect.bottom() + extra);
        }
    }
    return rect;
}

}  // namespace

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    QFontMetricsF metrics(font);
    // The average width of a letter over both alphabets, and the line height.
    const qreal alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {alphabet / 52.0, metrics.height()};
}

QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    const auto px = [](double units, double perFour) {
        return static_cast<int>(std::lround(units * perFour / 4.0));
    };
    const int left = px(x, units.cx);
    const int right = px(x + cx, units.cx);
    const int top = px(y, units.cy / 2.0);
    const int bottom = px(y + cy, units.cy / 2.0);
    return QRect(left, top, right - left, bottom - top);
}

QFont TemplateFont(const DlgTemplate&) {
    return QApplication::font();
}

QWidget* CreateControl(const DlgControl& control, QWidget* parent,
                       const DialogBuildOptions& options) {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case DlgControlKind::PushButton:
        case DlgControlKind::DefPushButton: {
            auto* button = new QPushButton(Text(control.text), parent);
            button->setAutoDefault(false);
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
        case DlgControlKind::DropDownList: {
            // Fitting measures the entries itself: a combo box that adjusts to its contents
            // shrinks itself to them a moment after an entry is added.
            widget = new QComboBox(parent);
            break;
        }
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
    dialog->setFont(TemplateFont(*dlg));

    std::vector<QWidget*> widgets;
    bool hasDefault = false;
    for (size_t i = 0; i < dlg->controls.size(); ++i) {
        const DlgControl& control = dlg->controls[i];
        QWidget* widget = options.factory ? options.factory(control, dialog) : nullptr;
        if (!widget) {
            widget = CreateControl(control, dialog, options);
        } else if (widget->parentWidget() != dialog) {
            widget->setParent(dialog);
        }
        SetControlId(widget, control.id);
        widget->setProperty(TEMPLATE_INDEX_PROPERTY, static_cast<int>(i));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // Enter belongs to the default button alone, wherever the focus is.
            button->setAutoDefault(false);
            button->setDefault(control.kind == DlgControlKind::DefPushButton);
            hasDefault = hasDefault || button->isDefault();
        }
        if (auto* list = qobject_cast<QAbstractItemView*>(widget);
            list && control.kind == DlgControlKind::ListView) {
            SetUpListView(list);
        }
        widgets.push_back(widget);
    }
    if (!hasDefault) {
        if (auto* ok = qobject_cast<QPushButton*>(FindControl(dialog, 1))) {
            ok->setDefault(true);
        }
    }
    for (size_t i = 0; i < dlg->controls.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        if (!label || (dlg->controls[i].style & CTL_NOPREFIX) || !HasMnemonic(label->text())) {
            continue;
        }
        const int buddy = BuddyOf(*dlg, i);
        if (buddy >= 0) {
            label->setBuddy(widgets[static_cast<size_t>(buddy)]);
        }
    }

    dialog->setProperty(TEMPLATE_ID_PROPERTY, dlg->id);
    FitDialogToText(dialog);
    return true;
}

void FitDialogToText(QDialog* dialog) {
    const DlgTemplate* dlg =
        dialog ? FindDlgTemplate(dialog->property(TEMPLATE_ID_PROPERTY).toInt()) : nullptr;
    if (!dlg) {
        return;
    }
    const DialogBaseUnits units = GetDialogBaseUnits(dialog->font());
    const size_t count = dlg->controls.size();
    std::vector<QWidget*> widgets(count, nullptr);
    for (QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant index = child->property(TEMPLATE_INDEX_PROPERTY);
        if (index.isValid() && index.toInt() >= 0 && static_cast<size_t>(index.toInt()) < count) {
            widgets[static_cast<size_t>(index.toInt())] = child;
        }
    }

    std::vector<QRect> templateRects(count);
    std::vector<QRect> rects(count);
    for (size_t i = 0; i < count; ++i) {
        const DlgControl& c = dlg->controls[i];
        templateRects[i] = MapDialogRect(units, c.x, c.y, c.cx, c.cy);
        rects[i] = widgets[i] ? Grow(templateRects[i], TextNeed(widgets[i], c, templateRects[i]),
                                     widgets[i], c)
                              : templateRects[i];
    }
    // A one-line label sits on the line of the control it names.
    for (size_t i = 0; i < count; ++i) {
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        if (!label || label->wordWrap() || dlg->controls[i].kind != DlgControlKind::Label) {
            continue;
        }
        const int partner = PartnerOf(*dlg, i);
        if (partner < 0) {
            continue;
        }
        const QRect line = rects[static_cast<size_t>(partner)];
        rects[i].setTop(line.top());
        rects[i].setHeight(std::max(line.height(), label->sizeHint().height()));
        label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }

    // The dialog grows so that a control that grew keeps its margin to the edge; controls
    // centred in the template stay centred.
    const QRect client = MapDialogRect(units, 0, 0, dlg->cx, dlg->cy);
    int width = client.width();
    int height = client.height();
    int shiftRight = 0;
    for (size_t i = 0; i < count; ++i) {
        if (rects[i].right() > templateRects[i].right()) {
            width = std::max(width, rects[i].right() + client.width() - templateRects[i].right());
        }
        if (rects[i].bottom() > templateRects[i].bottom()) {
            height =
                std::max(height, rects[i].bottom() + client.height() - templateRects[i].bottom());
        }
        shiftRight = std::max(shiftRight, -rects[i].left());
    }
    width += shiftRight;
    const int grown = width - client.width() - shiftRight;
    for (size_t i = 0; i < count; ++i) {
        const DlgControl& c = dlg->controls[i];
        const bool centred = std::abs(2 * c.x + c.cx - dlg->cx) <= 2;
        rects[i].translate(shiftRight + (centred ? grown / 2 : 0), 0);
        if (!widgets[i]) {
            continue;
        }
        widgets[i]->setGeometry(rects[i]);
        auto* picture = qobject_cast<QLabel*>(widgets[i]);
        if (c.kind == DlgControlKind::Icon && picture) {
            // Square, as large as the converted rectangle allows.
            const int side = std::min(rects[i].width(), rects[i].height());
            picture->setPixmap(picture->property("icon").value<QIcon>().pixmap(side, side));
        }
    }

    if (dlg->style & DLG_THICKFRAME) {
        dialog->resize(width, height);
    } else {
        dialog->setFixedSize(width, height);
    }
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
