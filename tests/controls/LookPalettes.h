#pragma once

#include <QColor>
#include <QPalette>

// The two palettes the look of the controls is checked in: the style's own light one and a
// dark one as dark desktop themes set it (Breeze Dark's roles).
inline QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2a, 0x2e, 0x32);
    const QColor base(0x1b, 0x1e, 0x20);
    const QColor text(0xfc, 0xfc, 0xfc);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xa1, 0xa9, 0xb1));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Link, QColor(0x1d, 0x99, 0xf3));
    p.setColor(QPalette::LinkVisited, QColor(0x9b, 0x59, 0xb6));
    p.setColor(QPalette::Light, QColor(0x40, 0x46, 0x4c));
    p.setColor(QPalette::Midlight, QColor(0x36, 0x3b, 0x40));
    p.setColor(QPalette::Mid, QColor(0x22, 0x25, 0x28));
    p.setColor(QPalette::Dark, QColor(0x19, 0x1b, 0x1d));
    p.setColor(QPalette::Shadow, QColor(0x10, 0x11, 0x12));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6e, 0x71, 0x75));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6e, 0x71, 0x75));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6e, 0x71, 0x75));
    return p;
}
