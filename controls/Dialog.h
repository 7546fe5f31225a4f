#pragma once

#include <QDialog>

#include "controls/DialogBuilder.h"

// A dialog built from a template of resources/. OnInitDialog runs once, before the window
// first shows; a dialog of fixed size then fits its controls to their texts once more; OnDestroy
// runs each time the dialog ends (accept, reject, close box, done). A click on a button of the
// template is command OnCommand(id); commands 1 and 2 are OnOK and OnCancel, and Escape and the
// close box go to OnCancel too, as a dialog's cancel command.
class CDialog : public QDialog {
    Q_OBJECT

public:
    // An unknown template id leaves an empty dialog.
    explicit CDialog(int templateId, QWidget* parent = nullptr,
                     const DialogBuildOptions& options = {});

    int TemplateId() const { return m_templateId; }
    // The control with that id, or null.
    QWidget* Control(int id) const { return FindControl(this, id); }
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // Runs OnInitDialog now unless it ran already (a window shown by other means than show()).
    void InitDialog();

    void setVisible(bool visible) override;
    void done(int result) override;
    void reject() override { OnCancel(); }

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnCommand(int id);
    virtual void OnOK() { QDialog::accept(); }
    virtual void OnCancel() { QDialog::reject(); }
    virtual void OnDestroy() {}
    // True between the first show of a cycle and the dialog's end.
    bool DestroyPending() const { return m_destroyPending; }
    void ClearDestroyPending() { m_destroyPending = false; }

private:
    int m_templateId;
    bool m_initialized = false;
    bool m_destroyPending = false;
};
