#include "controls/Dialog.h"

CDialog::CDialog(int templateId, QWidget* parent, const DialogBuildOptions& options)
    : QDialog(parent), m_templateId(templateId) {
    BuildDialog(this, templateId, options);
}

void CDialog::InitDialog() {
    if (!m_initialized) {
        m_initialized = true;
        OnInitDialog();
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
