#include "app/common/window_style.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QString ApplicationTitle() {
    return QStringLiteral("Lorvena口腔诊所病历登记系统 V2006.10");
}

// Where "MS Sans Serif" is missing, Liberation Sans stands in for its Latin letters and digits:
// its widths are within a pixel of MS Sans Serif's at the windows' sizes (a date of ten
// characters at 13 pixels: 65 against 64), so the columns hold what they were laid out for; a
// CJK face's wider digits would not fit. Chinese text falls through to the CJK face.
QFont ClinicFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

QFont PrintFont(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

QPixmap ToothPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    QPainterPath tooth;
    tooth.moveTo(6, 10);
    tooth.cubicTo(4, 2, 12, 1, 16, 5);
    tooth.cubicTo(20, 1, 28, 2, 26, 10);
    tooth.cubicTo(25, 16, 24, 20, 23, 28);
    tooth.cubicTo(22, 31, 19, 31, 19, 27);
    tooth.cubicTo(18, 22, 14, 22, 13, 27);
    tooth.cubicTo(13, 31, 10, 31, 9, 28);
    tooth.cubicTo(8, 20, 7, 16, 6, 10);
    painter.setPen(QPen(QColor(40, 90, 170), 1.6));
    painter.setBrush(QColor(250, 250, 245));
    painter.drawPath(tooth);
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(ToothPixmap(size));
    return icon;
}
