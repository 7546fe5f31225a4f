#pragma once

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

// The list's in-place editor: a line edit that can tell where its text starts, so the list can
// put that start on the cell text's own.
class CCellEditor : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    // Pixels from the editor's left edge to its first character.
    int TextOffset() const {
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
        // A line edit keeps 2 pixels between its contents rectangle and the text.
        return contents.left() + textMargins().left() + 2;
    }
};
