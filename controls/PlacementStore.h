#pragma once

#include <QString>

#include "controls/WindowPlacement.h"

class QWidget;

// Reads a window's placement from the profile and writes it back. A section holds one 44-byte
// placement per window key and one show-mode override (its unnamed value) shared by all.
class CPlacementStore {
public:
    // Applies the stored placement; false when nothing usable is stored (absent, not 44
    // bytes, or a rectangle that is absurd or on no screen), leaving the window as it is.
    bool Restore(QWidget* wnd, const QString& key, const QString& section);
    // Stores the window's placement and the override; true only when both were written.
    bool Save(QWidget* wnd, const QString& key, const QString& section);
    // Applies m_placement; false when it is not a usable placement.
    bool Apply(QWidget* wnd);

    int m_showOverride = 0;
    WINDOWPLACEMENT m_placement{};
    bool m_firstRestore = true;

private:
    void LoadShowOverride(const QString& section);

    bool m_overrideLoaded = false;
};

// The window's placement as the platform would report it. Fields Qt has no notion of (the
// minimised and maximised positions) are taken over from base.
bool GetWindowPlacement(const QWidget* wnd, WINDOWPLACEMENT& placement,
                        const WINDOWPLACEMENT& base = {});
// Applies a placement: the normal rectangle, then the state. Refuses implausible records and
// rectangles that lie on no screen. A hidden window takes the state when it shows.
bool SetWindowPlacement(QWidget* wnd, const WINDOWPLACEMENT& placement);
