// Text sizes in a font, measured once and remembered: the grid asks for the row heights and
// column widths for every cell it paints, and measuring text lays it out each time.
#pragma once

#include <QFont>
#include <QString>

// The height of a line of text in `font`.
int TextHeight(const QFont& font);
// The advance of `text` in `font`.
int TextWidth(const QFont& font, const QString& text);
