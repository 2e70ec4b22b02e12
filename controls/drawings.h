// The program's pictures, drawn with QPainter so that they stay sharp at any
// device pixel ratio: the three indicator lamps and the computer.
#pragma once

#include <QSize>
#include <QString>

class QColor;
class QPainter;

struct Drawing
{
    QString name;
    QSize size; // in logical pixels, drawn from (0, 0)
    void (*paint)(QPainter &painter);
};

// The drawing called name ("computer", "led_green", "led_red", "led_grey"), or
// nullptr when there is none of that name.
const Drawing *findDrawing(const QString &name);

// One round glossy lamp of the given colour on a 17x16 picture.
void paintLamp(QPainter &painter, const QColor &face);

// A desktop computer on a 439x338 picture; its top-left 110x90 corner stays
// empty.
void paintComputer(QPainter &painter);
