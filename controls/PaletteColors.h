#pragma once

#include <QColor>
#include <QPalette>

// Colour helpers for controls that carry fixed colours of their own: on a light palette the
// fixed colours stand; on a dark one they are derived from the palette and kept readable.

// A dark palette: the window is darker than its text.
bool IsDarkPalette(const QPalette& palette);
// The contrast ratio of two colours, 1 to 21, from their relative luminance (sRGB).
double ContrastRatio(const QColor& a, const QColor& b);
// a blended toward b by t (0 gives a, 1 gives b).
QColor MixColors(const QColor& a, const QColor& b, double t);
// text unchanged when it reaches ratio against back; otherwise text blended toward white or
// black, whichever lies farther from back, just far enough to reach it.
QColor EnsureContrast(const QColor& text, const QColor& back, double ratio = 4.5);
