#include "controls/HyperLink.h"

#include "controls/PaletteColors.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimerEvent>
#include <QUrl>

#include <cmath>

namespace {

constexpr int HOVER_PERIOD_MS = 100;
constexpr int OPEN_OK = 33;
constexpr double MIN_CONTRAST = 4.5;

// Lightens colour step by step until it reads on the dark background.
QColor Readable(QColor colour, const QColor& background) {
    for (int step = 0; step < 20 && ContrastRatio(colour, background) < MIN_CONTRAST; ++step) {
        const QColor hsl = colour.toHsl();
        colour = QColor::fromHslF(hsl.hslHueF() < 0 ? 0 : hsl.hslHueF(), hsl.hslSaturationF(),
                                  std::min(1.0, hsl.lightnessF() + 0.05));
    }
    return colour;
}

// The browser programs to try, each with its arguments, the target not yet added: $BROWSER
// (a list separated by ":", as Debian has it), else the desktop's default browser command.
QList<QStringList> BrowserCommands() {
    QList<QStringList> commands;
    const QString browser = qEnvironmentVariable("BROWSER");
    const QStringList entries =
        browser.isEmpty()
            ? QStringList{QStringLiteral("x-www-browser"), QStringLiteral("sensible-browser")}
            : browser.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (QString entry : entries) {
        // The target goes where the command names it; what follows that place is dropped.
        for (const QString& mark : {QStringLiteral("\"%s\""), QStringLiteral("%s")}) {
            const qsizetype at = entry.indexOf(mark);
            if (at >= 0) {
                entry.truncate(at);
                break;
            }
        }
        QStringList words = QProcess::splitCommand(entry);
        if (!words.isEmpty()) {
            commands << words;
        }
    }
    return commands;
}

}  // namespace

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // A static text's place: top left, unless the owner aligns it otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
}

CHyperLink::~CHyperLink() = default;

void CHyperLink::PreSubclassWindow() {
    if (m_target.isEmpty()) {
        m_target = text();
    }
    if (text().isEmpty()) {
        setText(m_target);
    }
    setToolTip(m_target);
    FitToText();
    LoadHandCursor();
}

void CHyperLink::SetTarget(const QString& target) {
    m_target = target;
    setToolTip(m_target);
    FitToText();
}

bool CHyperLink::IsUnderlined() const {
    return m_underlineMode == 1 || (m_underlineMode == -1 && m_hovering);
}

void CHyperLink::FitToText() {
    if (!m_fitToText) {
        return;
    }
    QFont underlined = font();
    underlined.setUnderline(true);
    const QSize extent = QFontMetrics(underlined).size(Qt::TextSingleLine, text());
    const QMargins margins = contentsMargins();
    const int width = extent.width() + margins.left() + margins.right();
    const int height = extent.height() + margins.top() + margins.bottom();
    QRect rect = geometry();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        rect.setTop(rect.top() + (rect.height() - height) / 2);
    }
    rect.setHeight(height);
    if (align & Qt::AlignHCenter) {
        rect.setLeft(rect.left() + (rect.width() - width) / 2);
    } else if (align & Qt::AlignRight) {
        rect.setLeft(rect.right() + 1 - width);
    }
    rect.setWidth(width);
    setGeometry(rect);
}

void CHyperLink::showEvent(QShowEvent* event) {
    // The owner's layout may have stretched the label since it was bound; the link is as
    // wide as its text, so the pointer over blank space beside it is not over the link.
    FitToText();
    QLabel::showEvent(event);
}

void CHyperLink::LoadHandCursor() {
    if (!m_handCursor) {
        setCursor(Qt::PointingHandCursor);
        m_handCursor = true;
    }
}

bool CHyperLink::IsDarkPalette(const QPalette& palette) {
    return ::IsDarkPalette(palette);
}

QColor CHyperLink::TextColor() const {
    const QPalette& pal = palette();
    if (!IsDarkPalette(pal)) {
        return m_hovering ? m_hoverColor : m_visited ? m_visitedColor : m_linkColor;
    }
    const QColor background = pal.color(QPalette::Window);
    if (m_hovering) {
        return Readable(m_hoverColor, background);
    }
    return Readable(pal.color(m_visited ? QPalette::LinkVisited : QPalette::Link), background);
}

void CHyperLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont face = font();
    face.setUnderline(IsUnderlined());
    painter.setFont(face);
    painter.setPen(TextColor());
    const QRect area = contentsRect();
    painter.drawText(area, Qt::TextSingleLine | alignment(), text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = area;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CHyperLink::StartHover() {
    if (m_hovering) {
        return;
    }
    m_hovering = true;
    update();
    if (!m_hoverTimerId) {
        m_hoverTimerId = startTimer(HOVER_PERIOD_MS);
    }
}

void CHyperLink::EndHover() {
    if (m_hoverTimerId) {
        killTimer(m_hoverTimerId);
        m_hoverTimerId = 0;
    }
    if (m_hovering) {
        m_hovering = false;
        update();
    }
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event) {
    StartHover();
    QLabel::mouseMoveEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
    EndHover();
    QLabel::leaveEvent(event);
}

void CHyperLink::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_hoverTimerId) {
        QLabel::timerEvent(event);
        return;
    }
    // The pointer may leave without a move reaching this window (a window appearing above it).
    if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
        EndHover();
    }
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Click();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
                Click();
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QLabel::keyPressEvent(event);
}

void CHyperLink::Click() {
    m_hovering = false;
    const int result = OpenTarget(m_target);
    if (result > 32) {
        m_visited = true;
        update();
    } else {
        QApplication::beep();
        ShowOpenError(result);
    }
    Q_EMIT Opened(result);
}

int CHyperLink::OpenTarget(const QString& target) {
    const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
    if (url.isValid() && QDesktopServices::openUrl(url)) {
        return OPEN_OK;
    }
    // The desktop could not open it: for a file that is not there say so, otherwise no
    // program is known for it.
    const int shellResult = url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()) ? 2 : 31;
    const QList<QStringList> commands = BrowserCommands();
    int result = shellResult;
    bool tried = false;
    for (const QStringList& words : commands) {
        const QString program = QStandardPaths::findExecutable(words.first());
        if (program.isEmpty()) {
            continue;
        }
        tried = true;
        QStringList arguments = words.mid(1);
        arguments << (url.isLocalFile() ? url.toLocalFile() : url.toString());
        if (QProcess::startDetached(program, arguments)) {
            return OPEN_OK;
        }
        result = 5;
    }
    // A browser was named but is not there at all.
    if (!tried && !qEnvironmentVariableIsEmpty("BROWSER") && !commands.isEmpty()) {
        return 2;
    }
    return result;
}

QString CHyperLink::OpenErrorText(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("The operating system is out\nof memory or resources.");
        case 2:
            return QStringLiteral("The specified file was not found.");
        case 3:
            return QStringLiteral("The specified path was not found.");
        case 5:
            return QStringLiteral("The operating system denied\naccess to the specified file.");
        case 8:
            return QStringLiteral("There was not enough memory to complete the operation.");
        case 11:
            return QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return QStringLiteral("A sharing violation occurred. ");
        case 27:
            return QStringLiteral("The filename association is\nincomplete or invalid.");
        case 28:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return QStringLiteral("The DDE transaction failed.");
        case 30:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.");
        case 31:
            return QStringLiteral(
                "There is no application associated\nwith the given filename extension.");
        case 32:
            return QStringLiteral("The specified dynamic-link library was not found.");
        default:
            return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

void CHyperLink::ShowOpenError(int code) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                    QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code),
                    QMessageBox::Ok, window());
    box.exec();
}
