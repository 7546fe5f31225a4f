#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

// A label that acts as a web link: blue, red and underlined while the pointer is over it, a
// hand cursor, the target in a tooltip, and a click (or Enter or Space while it has the focus)
// that opens the target with the desktop, after which it turns purple.
class CHyperLink : public QLabel {
    Q_OBJECT

public:
    explicit CHyperLink(QWidget* parent = nullptr);
    ~CHyperLink() override;

    // Call once the label has its text, font and rectangle: an empty target takes the text, an
    // empty text shows the target; the label is fitted to its text.
    void PreSubclassWindow();
    void SetTarget(const QString& target);
    QString Target() const { return m_target; }
    void FitToText();

    // Greater than 32 on success, else a code ShowOpenError knows: 2 a missing file or
    // browser program, 5 a browser that cannot be run, 31 nothing to open the target with.
    virtual int OpenTarget(const QString& target);
    void ShowOpenError(int code);
    static QString OpenErrorText(int code);

    bool IsHovering() const { return m_hovering; }
    bool IsUnderlined() const;
    bool IsVisited() const { return m_visited; }
    // The colour the text is drawn in now, resolved against the current palette.
    QColor TextColor() const;
    // True when the palette's window is darker than its text: the fixed colours would be
    // unreadable there, so the palette's link colours stand in.
    static bool IsDarkPalette(const QPalette& palette);

    QColor m_linkColor{0, 0, 238};
    QColor m_visitedColor{85, 26, 139};
    QColor m_hoverColor{255, 0, 0};
    int m_underlineMode = -1;  // -1: underlined while hovered
    bool m_fitToText = true;

Q_SIGNALS:
    // After every click, with the result of OpenTarget.
    void Opened(int result);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Click();
    void StartHover();
    void EndHover();
    void LoadHandCursor();

    bool m_hovering = false;
    bool m_visited = false;
    QString m_target;
    bool m_handCursor = false;
    int m_hoverTimerId = 0;  // the running hover timer, 0 when none
};
