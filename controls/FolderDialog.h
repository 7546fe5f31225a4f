#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QFileDialog;
class QWidget;

// Dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Browse flags; the values are the ones callers have always passed.
constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;  // only folders of the file system
constexpr unsigned BIF_STATUSTEXT = 0x0004;        // show the selected path under the list
constexpr unsigned BIF_EDITBOX = 0x0010;           // a field to type a name in
constexpr unsigned BIF_VALIDATE = 0x0020;  // a typed name that is no folder: ask OnValidateFailed
constexpr unsigned BIF_NEWDIALOGSTYLE = 0x0040;  // resizable, with "Create Folder"

// Asks the user for a folder the way any dialog is run: construct, DoModal, read m_path.
class CFolderDialog {
public:
    // An empty startFolder opens the chooser without a folder selected.
    CFolderDialog(const QString& title, const QString& startFolder, QWidget* parent,
                  unsigned flags);
    virtual ~CFolderDialog();
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    // IDOK with the folder in m_path, IDCANCEL, or -1 when the chosen folder has no path in
    // the file system (a remote location offered by the desktop's chooser).
    virtual int DoModal();

    // The path of the first chosen location: IDOK when it is a local folder, else -1.
    static int PathFromUrls(const QList<QUrl>& urls, QString* path);

    QString m_startFolder;
    QString m_path;

protected:
    // Each runs while the chooser is open; m_browseWnd is the chooser then, null otherwise.
    // Selects m_startFolder when there is one.
    virtual void OnInitialized();
    // With BIF_STATUSTEXT shows the path as the status text.
    virtual void OnSelChanged(const QString& path);
    // With BIF_VALIDATE, for a typed name that is not a folder. Nonzero keeps the chooser
    // open; zero closes it as cancelled.
    virtual int OnValidateFailed(const QString& path);

    void SetStatusText(const QString& text);
    QString StatusText() const { return m_statusText; }
    unsigned Flags() const { return m_flags; }

    QFileDialog* m_browseWnd = nullptr;

private:
    friend class FolderChooser;
    // The chooser's hooks arrive through here, so m_browseWnd is set only while one runs.
    template <class F>
    auto Callback(QFileDialog* chooser, F&& f) {
        struct Reset {
            QFileDialog*& wnd;
            ~Reset() { wnd = nullptr; }
        } reset{m_browseWnd};
        m_browseWnd = chooser;
        return f();
    }

    QString m_title;
    QWidget* m_parent;
    unsigned m_flags;
    QString m_statusText;
};
