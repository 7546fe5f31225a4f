#pragma once

#include <QString>

#include "controls/Dialog.h"

class CHyperLink;

constexpr int IDC_HOMEPAGE = 1141;

// Where the about box's link leads: the web address a packager set at build time, else
// Quillon's README as a local file (the installed copy, else the source tree's).
QString HomepageTarget();
// What the link shows for that target.
QString HomepageText(const QString& target);

// The about box: the application icon, the name and a link to the web page.
class CAboutDlg : public CDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    CHyperLink* m_link = nullptr;

protected:
    bool OnInitDialog() override;
    // The close box is disabled: a window manager that shows one anyway closes nothing.
    void closeEvent(QCloseEvent* event) override;
};
