// The computer drawing: cables, a monitor on its stand, a tower, a keyboard
// seen slightly from above and a mouse. Outlines are drawn as a vector drawing
// draws them: mitred joins limited at 4 and flat caps unless said otherwise,
// gradients stretched over each shape's bounding box.
#include "controls/drawings.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QVector>

#include <initializer_list>
#include <utility>

namespace {

using Stops = std::initializer_list<std::pair<qreal, QColor>>;

// A gradient from (x1, y1) to (x2, y2) in fractions of the shape's bounding box.
QBrush boxGradient(qreal x1, qreal y1, qreal x2, qreal y2, Stops stops)
{
    QLinearGradient gradient(x1, y1, x2, y2);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    for (const auto &stop : stops)
        gradient.setColorAt(stop.first, stop.second);
    return gradient;
}

QBrush downwards(const QColor &top, const QColor &bottom)
{
    return boxGradient(0, 0, 0, 1, {{0, top}, {1, bottom}});
}

QBrush rightwards(const QColor &left, const QColor &right)
{
    return boxGradient(0, 0, 1, 0, {{0, left}, {1, right}});
}

QColor seeThrough(const QColor &color, qreal opacity)
{
    QColor c = color;
    c.setAlphaF(float(opacity));
    return c;
}

QPen outline(const QColor &color, qreal width, Qt::PenJoinStyle join = Qt::SvgMiterJoin,
             Qt::PenCapStyle cap = Qt::FlatCap)
{
    QPen pen(color, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(4);
    return pen;
}

QPen rounded(const QColor &color, qreal width)
{
    return outline(color, width, Qt::RoundJoin);
}

QPen roundEnds(const QColor &color, qreal width)
{
    return outline(color, width, Qt::SvgMiterJoin, Qt::RoundCap);
}

// Corner radii are taken as whole percentages of half the sides, cut down, as
// the drawing has always been rendered (a 172-pixel side with an 11-pixel
// radius gets 12%, 10.3 pixels).
void roundedBox(QPainter &p, const QRectF &box, qreal radius)
{
    p.drawRoundedRect(box, int(radius * 200 / box.width()), int(radius * 200 / box.height()),
                      Qt::RelativeSize);
}

void circle(QPainter &p, const QPointF &centre, qreal radius)
{
    p.drawEllipse(centre, radius, radius);
}

// Coordinates kept to two decimals, as the drawing was first laid out.
qreal twoPlaces(qreal v)
{
    return qRound(v * 100) / 100.0;
}

QPointF twoPlaces(const QPointF &point)
{
    return {twoPlaces(point.x()), twoPlaces(point.y())};
}

// The top of the keyboard: (u, v) in [0, 1] runs from its back left corner
// to its front right corner.
struct KeyboardTop
{
    QPointF backLeft {80, 236};
    QPointF backRight {300, 236};
    QPointF frontLeft {56, 312};
    QPointF frontRight {316, 312};

    QPointF at(qreal u, qreal v) const
    {
        const QPointF back = backLeft + (backRight - backLeft) * u;
        const QPointF front = frontLeft + (frontRight - frontLeft) * u;
        return back + (front - back) * v;
    }

    QPolygonF quad(qreal u0, qreal v0, qreal u1, qreal v1) const
    {
        return QPolygonF({twoPlaces(at(u0, v0)), twoPlaces(at(u1, v0)), twoPlaces(at(u1, v1)),
                          twoPlaces(at(u0, v1))});
    }
};

void paintCables(QPainter &p)
{
    p.setPen(roundEnds(QColor(0x5a, 0x5a, 0x5a), 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath mouseCable(QPointF(341, 296));
    mouseCable.cubicTo(339, 282, 348, 276, 362, 270);
    QPainterPath keyboardCable(QPointF(268, 236));
    keyboardCable.cubicTo(274, 222, 300, 218, 326, 228);
    keyboardCable.cubicTo(338, 232, 348, 240, 360, 246);
    p.drawPath(mouseCable);
    p.drawPath(keyboardCable);
}

void paintMonitor(QPainter &p, const QBrush &side, const QBrush &button)
{
    p.setPen(rounded(QColor(0x6e, 0x6e, 0x6e), 1.5));
    p.setBrush(downwards(QColor(0x9a, 0x9a, 0x9a), QColor(0xc8, 0xc8, 0xc8)));
    p.drawPolygon(QPolygonF({{212, 186}, {236, 186}, {242, 204}, {206, 204}}), Qt::WindingFill);
    p.setBrush(downwards(QColor(0xe2, 0xe2, 0xe2), QColor(0xa2, 0xa2, 0xa2)));
    p.drawEllipse(QPointF(224, 207), 56, 9);
    p.setBrush(side);
    p.drawPolygon(QPolygonF({{322, 24}, {342, 36}, {342, 164}, {322, 176}}), Qt::WindingFill);
    p.setBrush(downwards(QColor(0xef, 0xef, 0xef), QColor(0xbd, 0xbd, 0xbd)));
    roundedBox(p, QRectF(124, 14, 200, 172), 11);
    p.setPen(rounded(QColor(0x6e, 0x6e, 0x6e), 1));
    p.setBrush(downwards(QColor(0x5e, 0x5e, 0x5e), QColor(0xa4, 0xa4, 0xa4)));
    roundedBox(p, QRectF(138, 26, 172, 136), 7);

    p.setPen(Qt::NoPen);
    p.setBrush(boxGradient(0, 0, 1, 1,
                           {{0, QColor(0x3f, 0x83, 0xf4)},
                            {0.55, QColor(0x1a, 0x4f, 0xc4)},
                            {1, QColor(0x0b, 0x2c, 0x8c)}}));
    roundedBox(p, QRectF(144, 32, 160, 124), 5);
    p.setBrush(boxGradient(0, 0, 1, 1,
                           {{0, seeThrough(Qt::white, 0.30)}, {1, seeThrough(Qt::white, 0.04)}}));
    QPainterPath glare(QPointF(149, 36));
    glare.lineTo(262, 36);
    glare.cubicTo(226, 58, 186, 92, 149, 122);
    glare.closeSubpath();
    p.drawPath(glare);

    // Vents at the lower left, the power button and the power lamp.
    p.setPen(roundEnds(QColor(0xa9, 0xa9, 0xa9), 1.2));
    for (qreal y : {171, 175, 179})
        p.drawLine(QPointF(142, y), QPointF(172, y));
    p.setPen(outline(QColor(0x7a, 0x7a, 0x7a), 0.8));
    p.setBrush(button);
    roundedBox(p, QRectF(280, 169, 14, 9), 2);
    QRadialGradient lamp(QPointF(0.5, 0.5), 0.5, QPointF(0.35, 0.35));
    lamp.setCoordinateMode(QGradient::ObjectMode);
    lamp.setColorAt(0, QColor(0xd6, 0xff, 0xc8));
    lamp.setColorAt(0.35, QColor(0x3f, 0xe0, 0x3a));
    lamp.setColorAt(1, QColor(0x0c, 0x7a, 0x0a));
    p.setPen(outline(QColor(0x2e, 0x4a, 0x2e), 0.8));
    p.setBrush(lamp);
    circle(p, QPointF(306, 173.5), 3.8);
}

void paintTower(QPainter &p, const QBrush &side, const QBrush &button)
{
    p.setPen(rounded(QColor(0x6e, 0x6e, 0x6e), 1.5));
    p.setBrush(side);
    p.drawPolygon(QPolygonF({{356, 70}, {370, 58}, {370, 300}, {356, 292}}), Qt::WindingFill);
    p.setBrush(rightwards(QColor(0xee, 0xee, 0xee), QColor(0xc8, 0xc8, 0xc8)));
    roundedBox(p, QRectF(370, 58, 60, 242), 3);

    // Two drive bays with their eject buttons, and a floppy drive.
    p.setPen(outline(QColor(0x8a, 0x8a, 0x8a), 1));
    p.setBrush(QColor(0xda, 0xda, 0xda));
    roundedBox(p, QRectF(377, 72, 46, 16), 1.5);
    roundedBox(p, QRectF(377, 94, 46, 16), 1.5);
    p.setBrush(QColor(0xbc, 0xbc, 0xbc));
    roundedBox(p, QRectF(412, 82, 7, 3), 1);
    roundedBox(p, QRectF(412, 104, 7, 3), 1);
    p.setBrush(QColor(0xdc, 0xdc, 0xdc));
    roundedBox(p, QRectF(384, 122, 32, 11), 1.5);
    p.setPen(roundEnds(QColor(0x9c, 0x9c, 0x9c), 1));
    p.drawLine(QPointF(382, 80), QPointF(406, 80));
    p.drawLine(QPointF(382, 102), QPointF(406, 102));
    p.setPen(roundEnds(QColor(0x3c, 0x3c, 0x3c), 1.6));
    p.drawLine(QPointF(388, 127), QPointF(412, 127));

    // Power button, two lamps and a grille.
    p.setPen(outline(QColor(0x6e, 0x6e, 0x6e), 1.2));
    p.setBrush(button);
    circle(p, QPointF(400, 244), 8);
    p.setPen(outline(QColor(0x8c, 0x8c, 0x8c), 1));
    p.setBrush(Qt::NoBrush);
    circle(p, QPointF(400, 244), 4);
    p.setPen(outline(QColor(0x3e, 0x5a, 0x3e), 0.5));
    p.setBrush(QColor(0x36, 0xc8, 0x32));
    roundedBox(p, QRectF(385, 263, 8, 3), 1);
    p.setPen(outline(QColor(0x6a, 0x55, 0x30), 0.5));
    p.setBrush(QColor(0xe8, 0xa6, 0x30));
    roundedBox(p, QRectF(407, 263, 8, 3), 1);
    p.setPen(roundEnds(QColor(0xa4, 0xa4, 0xa4), 1.2));
    for (qreal y : {278, 283, 288})
        p.drawLine(QPointF(380, y), QPointF(420, y));
}

void paintKeys(QPainter &p, const KeyboardTop &top)
{
    // Key widths in key units, row by row, for the main block; a numeric block follows.
    const QVector<QVector<qreal>> rows = {
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2},
        {1.5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1.5},
        {1.75, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2.25},
        {2.25, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2.75},
        {1.5, 1, 1.5, 7, 1.5, 1, 1.5},
    };
    const qreal mainUnits = 15.0;
    const qreal padUnits = 4.0;
    const qreal gapUnits = 0.7;
    const qreal uStart = 0.035;
    const qreal uEnd = 0.965;
    const qreal vStart = 0.14;
    const qreal vEnd = 0.94;
    const qreal unit = (uEnd - uStart) / (mainUnits + gapUnits + padUnits);
    const qreal rowHeight = (vEnd - vStart) / qreal(rows.size());
    const qreal uGap = unit * 0.09;
    const qreal vGap = rowHeight * 0.09;

    const QPen keyEdge = rounded(QColor(0x7c, 0x7c, 0x7c), 0.6);
    const QBrush keyColour(QColor(0x9c, 0x9c, 0x9c));
    const QBrush cap = downwards(QColor(0xfb, 0xfb, 0xfb), QColor(0xe0, 0xe0, 0xe0));
    auto key = [&](qreal u0, qreal u1, qreal v0, qreal v1) {
        u0 += uGap / 2;
        u1 -= uGap / 2;
        v0 += vGap / 2;
        v1 -= vGap / 2;
        const qreal inset = unit * 0.12;
        const qreal capDepth = (v1 - v0) * 0.22;
        p.setPen(keyEdge);
        p.setBrush(keyColour);
        p.drawPolygon(top.quad(u0, v0, u1, v1), Qt::WindingFill);
        p.setPen(Qt::NoPen);
        p.setBrush(cap);
        p.drawPolygon(top.quad(u0 + inset, v0 + vGap * 0.2, u1 - inset, v1 - capDepth),
                      Qt::WindingFill);
    };

    for (int r = 0; r < rows.size(); ++r) {
        const qreal v0 = vStart + r * rowHeight;
        const qreal v1 = v0 + rowHeight;
        qreal u = uStart;
        for (qreal width : rows.at(r)) {
            key(u, u + width * unit, v0, v1);
            u += width * unit;
        }
        const qreal padStart = uStart + (mainUnits + gapUnits) * unit;
        for (int c = 0; c < int(padUnits); ++c)
            key(padStart + c * unit, padStart + (c + 1) * unit, v0, v1);
    }

    // Three small status lamps above the numeric block, the first one lit.
    p.setPen(outline(QColor(0x50, 0x50, 0x50), 0.4));
    for (int i = 0; i < 3; ++i) {
        const qreal u = uStart + (mainUnits + gapUnits + 0.6 + i * 1.4) * unit;
        p.setBrush(i == 0 ? QColor(0x3a, 0xd1, 0x3a) : QColor(0x6f, 0x8f, 0x6f));
        p.drawEllipse(twoPlaces(top.at(u, 0.07)), 1.5, 1);
    }
}

void paintKeyboard(QPainter &p)
{
    const KeyboardTop top;
    const QPointF down(0, 8);
    p.setPen(rounded(QColor(0x6e, 0x6e, 0x6e), 1.5));
    p.setBrush(QColor(0xa6, 0xa6, 0xa6));
    p.drawPolygon(QPolygonF({top.frontLeft, top.frontRight, top.frontRight + down - QPointF(2, 0),
                             top.frontLeft + down + QPointF(2, 0)}),
                  Qt::WindingFill);
    p.setBrush(downwards(QColor(0xcf, 0xcf, 0xcf), QColor(0xe4, 0xe4, 0xe4)));
    p.drawPolygon(QPolygonF({top.backLeft, top.backRight, top.frontRight, top.frontLeft}),
                  Qt::WindingFill);
    paintKeys(p, top);
}

void paintMouse(QPainter &p)
{
    QPainterPath body(QPointF(341, 296));
    body.cubicTo(355, 296, 361, 308, 359, 320);
    body.cubicTo(357, 330, 350, 334, 341, 334);
    body.cubicTo(332, 334, 325, 330, 323, 320);
    body.cubicTo(321, 308, 327, 296, 341, 296);
    body.closeSubpath();
    p.setPen(rounded(QColor(0x6e, 0x6e, 0x6e), 1.5));
    p.setBrush(
        boxGradient(0, 0, 1, 1, {{0, QColor(0xf6, 0xf6, 0xf6)}, {1, QColor(0xb6, 0xb6, 0xb6)}}));
    p.drawPath(body);

    QPainterPath buttons(QPointF(341, 297));
    buttons.lineTo(341, 310);
    QPainterPath palmEdge(QPointF(324.5, 309));
    palmEdge.quadTo(341, 314, 357.5, 309);
    p.setPen(roundEnds(QColor(0x8a, 0x8a, 0x8a), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(buttons);
    p.drawPath(palmEdge);
}

} // namespace

void paintComputer(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QBrush side = rightwards(QColor(0xb4, 0xb4, 0xb4), QColor(0x8e, 0x8e, 0x8e));
    const QBrush button = downwards(QColor(0xf4, 0xf4, 0xf4), QColor(0xa8, 0xa8, 0xa8));
    // Cables first, so that what they plug into covers their ends.
    paintCables(p);
    paintMonitor(p, side, button);
    paintTower(p, side, button);
    paintKeyboard(p);
    paintMouse(p);
    p.restore();
}
