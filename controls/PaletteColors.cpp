#include "controls/PaletteColors.h"

#include <algorithm>
#include <cmath>

namespace {

double Channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor MixColors(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    const auto mix = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor EnsureContrast(const QColor& text, const QColor& back, double ratio) {
    if (ContrastRatio(text, back) >= ratio) {
        return text;
    }
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    const QColor target = ContrastRatio(white, back) >= ContrastRatio(black, back) ? white : black;
    // Contrast grows steadily toward the target; halve the step until the least blend is found.
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 16; ++i) {
        const double mid = (lo + hi) / 2;
        if (ContrastRatio(MixColors(text, target, mid), back) >= ratio) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return MixColors(text, target, hi);
}
