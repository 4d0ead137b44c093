#include "views/db_navigator_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

namespace {

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.addPolygon(QPolygonF{{a, b, c, a}});
    return path;
}

// A line drawn as a shape of its own, `width` pixels thick, so that every glyph is one fill.
QPainterPath Stroke(const QPainterPath& line, qreal width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(line);
}

QPainterPath Polyline(std::initializer_list<QPointF> points, qreal width) {
    QPainterPath line;
    line.addPolygon(QPolygonF(points));
    return Stroke(line, width);
}

QPainterPath Bar(qreal x, qreal y, qreal w, qreal h) {
    QPainterPath path;
    path.addRect(x, y, w, h);
    return path;
}

// A circular arrow turning clockwise: an arc around the centre with a head at its end.
QPainterPath RefreshArrow() {
    QPainterPath arc;
    arc.arcMoveTo(2.5, 2, 9, 9, 60);
    arc.arcTo(2.5, 2, 9, 9, 60, 270);
    return Stroke(arc, 2).united(Triangle({8, 0}, {12.5, 3.5}, {8, 6}));
}

// Each shape in the 14 x 13 cell.
QPainterPath Shape(TNavigateBtn button) {
    switch (button) {
        case TNavigateBtn::nbFirst:
            return Bar(3, 2, 2, 9).united(Triangle({5, 6.5}, {10, 1.5}, {10, 11.5}));
        case TNavigateBtn::nbPrior:
            return Triangle({4, 6.5}, {9, 1.5}, {9, 11.5});
        case TNavigateBtn::nbNext:
            return Triangle({10, 6.5}, {5, 1.5}, {5, 11.5});
        case TNavigateBtn::nbLast:
            return Triangle({9, 6.5}, {4, 1.5}, {4, 11.5}).united(Bar(9, 2, 2, 9));
        case TNavigateBtn::nbInsert:
            return Bar(2, 5, 10, 2).united(Bar(6, 1, 2, 10));
        case TNavigateBtn::nbDelete:
            return Bar(2, 5, 10, 2);
        case TNavigateBtn::nbEdit:
            return Triangle({7, 2.5}, {2, 10.5}, {12, 10.5});
        case TNavigateBtn::nbPost:
            return Polyline({{2, 6}, {5.5, 9.5}, {12, 2.5}}, 2);
        case TNavigateBtn::nbCancel:
            return Polyline({{3, 2}, {11, 10}}, 2).united(Polyline({{11, 2}, {3, 10}}, 2));
        case TNavigateBtn::nbRefresh:
            return RefreshArrow();
    }
    return {};
}

}  // namespace

QImage NavigatorGlyphs(TNavigateBtn button) {
    QImage image(2 * kGlyphWidth, kGlyphHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QPainterPath shape = Shape(button);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.fillPath(shape, Qt::black);
    // The disabled look: a white shape one pixel down and right under a grey one.
    painter.fillPath(shape.translated(kGlyphWidth + 1, 1), Qt::white);
    painter.fillPath(shape.translated(kGlyphWidth, 0), QColor(128, 128, 128));
    return image;
}
