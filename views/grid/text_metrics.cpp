#include "views/grid/text_metrics.h"

#include <QFontMetrics>
#include <QHash>

namespace {

// Keyed by the font's description and the text; only the GUI thread measures.
int& Remembered(const QFont& font, const QString& text, bool height) {
    static QHash<QString, int> sizes;
    return sizes[font.key() + QChar(height ? u'h' : u'w') + text];
}

}  // namespace

int TextHeight(const QFont& font) {
    int& height = Remembered(font, {}, true);
    if (height == 0) height = QFontMetrics(font).size(0, QStringLiteral("Wg")).height();
    return height;
}

int TextWidth(const QFont& font, const QString& text) {
    int& width = Remembered(font, text, false);
    if (width == 0 && !text.isEmpty()) width = QFontMetrics(font).horizontalAdvance(text);
    return width;
}
