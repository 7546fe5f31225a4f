#include "controls/Dialog.h"

#include <QAbstractButton>

CDialog::CDialog(int templateId, QWidget* parent, const DialogBuildOptions& options)
    : QDialog(parent), m_templateId(templateId) {
    BuildDialog(this, templateId, options);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        const int id = ControlId(button);
        if (id > 0) {
            connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
}

void CDialog::OnCommand(int id) {
    if (id == 1) {
        OnOK();
    } else if (id == 2) {
        OnCancel();
    }
}

void CDialog::InitDialog() {
    if (!m_initialized) {
        m_initialized = true;
        OnInitDialog();
        // The initialisation may have filled combo boxes or changed texts. A resizable
        // window has laid out and anchored its controls by now, and keeps them where they are.
        const DlgTemplate* dlg = FindDlgTemplate(m_templateId);
        if (dlg && !(dlg->style & DLG_THICKFRAME)) {
            FitDialogToText(this);
        }
    }
}

void CDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        InitDialog();
        m_destroyPending = true;
    }
    QDialog::setVisible(visible);
}

void CDialog::done(int result) {
    QDialog::done(result);
    if (m_destroyPending) {
        m_destroyPending = false;
        OnDestroy();
    }
}
