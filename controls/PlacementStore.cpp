#include "controls/PlacementStore.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "controls/Profile.h"

namespace {

QRect ToQRect(const WINDOWPLACEMENT::Rect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

WINDOWPLACEMENT::Rect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// Part of the window must be visible and large enough to grab.
constexpr int MIN_VISIBLE = 16;

bool LiesOnAScreen(const QRect& rect) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        return true;  // nothing to check against
    }
    QRect desktop;
    for (const QScreen* screen : screens) {
        desktop |= screen->geometry();
    }
    // A window several times larger than every screen together is no one's saved window.
    if (rect.width() > 2 * desktop.width() || rect.height() > 2 * desktop.height()) {
        return false;
    }
    for (const QScreen* screen : screens) {
        const QRect visible = rect & screen->availableGeometry();
        if (visible.width() >= std::min(MIN_VISIBLE, rect.width()) &&
            visible.height() >= std::min(MIN_VISIBLE, rect.height()) && !visible.isEmpty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool GetWindowPlacement(const QWidget* wnd, WINDOWPLACEMENT& placement,
                        const WINDOWPLACEMENT& base) {
    if (!wnd || !wnd->isWindow()) {
        return false;
    }
    WINDOWPLACEMENT p = base;
    p.length = WINDOWPLACEMENT::SIZE;
    const Qt::WindowStates state = wnd->windowState();
    const bool maximized = state & (Qt::WindowMaximized | Qt::WindowFullScreen);
    p.flags = 0;
    if (state & Qt::WindowMinimized) {
        p.showCmd = WINDOWPLACEMENT::SW_SHOWMINIMIZED;
        if (maximized) {
            p.flags = WINDOWPLACEMENT::WPF_RESTORETOMAXIMIZED;
        }
    } else if (maximized) {
        p.showCmd = WINDOWPLACEMENT::SW_SHOWMAXIMIZED;
    } else {
        p.showCmd = WINDOWPLACEMENT::SW_SHOWNORMAL;
    }
    QRect normal = wnd->normalGeometry();
    if (!normal.isValid()) {
        normal = wnd->geometry();
    }
    p.rcNormalPosition = FromQRect(normal);
    placement = p;
    return true;
}

bool SetWindowPlacement(QWidget* wnd, const WINDOWPLACEMENT& placement) {
    if (!wnd || !wnd->isWindow() || !IsPlausiblePlacement(placement)) {
        return false;
    }
    const QRect normal = ToQRect(placement.rcNormalPosition);
    if (!LiesOnAScreen(normal)) {
        return false;
    }
    Qt::WindowStates state = Qt::WindowNoState;
    if (IsMinimizedShowCommand(placement.showCmd)) {
        state = Qt::WindowMinimized;
        if (placement.flags & WINDOWPLACEMENT::WPF_RESTORETOMAXIMIZED) {
            state |= Qt::WindowMaximized;
        }
    } else if (placement.showCmd == WINDOWPLACEMENT::SW_SHOWMAXIMIZED) {
        state = Qt::WindowMaximized;
    }
    // A stored "hide" is never honoured: it would leave the window unreachable.

    // The rectangle is the normal one, so it goes in while the window is in the normal state.
    if (wnd->windowState() != Qt::WindowNoState) {
        wnd->setWindowState(Qt::WindowNoState);
    }
    wnd->setGeometry(normal);
    if (state != Qt::WindowNoState) {
        wnd->setWindowState(state);
    }
    return true;
}

void CPlacementStore::LoadShowOverride(const QString& section) {
    auto profile = OpenProfile();
    bool ok = false;
    const int value = profile->value(ProfileKey(section, QString())).toInt(&ok);
    m_showOverride = ok ? value : 0;
    m_overrideLoaded = true;
}

bool CPlacementStore::Restore(QWidget* wnd, const QString& key, const QString& section) {
    if (m_firstRestore) {
        m_firstRestore = false;
        WINDOWPLACEMENT current;
        if (!GetWindowPlacement(wnd, current)) {
            return false;
        }
        LoadShowOverride(section);
    }
    auto profile = OpenProfile();
    const QVariant value = profile->value(ProfileKey(section, key));
    if (value.typeId() != QMetaType::QByteArray) {
        return false;
    }
    const QByteArray bytes = value.toByteArray();
    WINDOWPLACEMENT stored;
    if (!DecodePlacement(reinterpret_cast<const uint8_t*>(bytes.constData()),
                         static_cast<std::size_t>(bytes.size()), stored) ||
        !IsPlausiblePlacement(stored)) {
        return false;
    }
    ApplyShowOverride(stored, m_showOverride);
    if (!SetWindowPlacement(wnd, stored)) {
        return false;
    }
    m_placement = stored;
    return true;
}

bool CPlacementStore::Save(QWidget* wnd, const QString& key, const QString& section) {
    if (!GetWindowPlacement(wnd, m_placement, m_placement)) {
        return false;
    }
    // The override belongs to the user; a store that never read it must not reset it to 0.
    if (!m_overrideLoaded) {
        LoadShowOverride(section);
    }
    const auto bytes = EncodePlacement(m_placement);
    auto profile = OpenProfile();
    profile->setValue(ProfileKey(section, key),
                      QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    profile->setValue(ProfileKey(section, QString()), m_showOverride);
    profile->sync();
    return profile->status() == QSettings::NoError;
}

bool CPlacementStore::Apply(QWidget* wnd) {
    return SetWindowPlacement(wnd, m_placement);
}
