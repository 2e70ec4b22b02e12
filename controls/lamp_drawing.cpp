// An indicator lamp: a dark rim, a face of the lamp's colour, a highlight and
// a reflection, measured on a 17x16 picture.
#include "controls/drawings.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    // Worked out in double, as the drawing was made, then stored as QColor's floats.
    const auto along = [t](float from, float to) { return float(from + (to - from) * t); };
    return QColor::fromRgbF(along(a.redF(), b.redF()), along(a.greenF(), b.greenF()),
                            along(a.blueF(), b.blueF()), along(a.alphaF(), b.alphaF()));
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

} // namespace

void paintLamp(QPainter &p, const QColor &face)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const QPointF centre(7.5, 7.5);
    const qreal outerRadius = 7.0;
    const qreal faceRadius = 5.7;

    // Rim: a dark ring, lightest at the upper left and darkest at the lower right.
    QLinearGradient rim(QPointF(2.0, 2.0), QPointF(13.0, 13.0));
    rim.setColorAt(0.0, mix(face, QColor(96, 96, 96), 0.55));
    rim.setColorAt(0.5, mix(face, QColor(40, 40, 40), 0.70));
    rim.setColorAt(1.0, mix(face, QColor(8, 8, 8), 0.88));
    p.setBrush(rim);
    p.drawEllipse(centre, outerRadius, outerRadius);

    // Face: the lamp colour, a little brighter towards the light.
    QRadialGradient faceGradient(QPointF(6.6, 6.6), faceRadius * 1.15, QPointF(5.6, 5.6));
    faceGradient.setColorAt(0.0, mix(face, Qt::white, 0.18));
    faceGradient.setColorAt(0.45, face);
    faceGradient.setColorAt(0.85, face);
    faceGradient.setColorAt(1.0, mix(face, Qt::black, 0.22));
    p.setBrush(faceGradient);
    p.drawEllipse(centre, faceRadius, faceRadius);

    // Pale highlight at the upper left.
    p.save();
    p.translate(5.4, 5.1);
    p.rotate(-45.0);
    QRadialGradient highlight(QPointF(0, 0), 2.6);
    highlight.setColorAt(0.0, QColor(255, 255, 255, 235));
    highlight.setColorAt(0.55, QColor(255, 255, 255, 150));
    highlight.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(highlight);
    p.scale(1.0, 0.72);
    p.drawEllipse(QPointF(0, 0), 2.6, 2.6);
    p.restore();

    // Small reflection at the lower right, just inside the rim.
    QRadialGradient reflection(QPointF(10.4, 10.4), 1.5);
    reflection.setColorAt(0.0, withAlpha(mix(face, Qt::white, 0.75), 220));
    reflection.setColorAt(1.0, withAlpha(mix(face, Qt::white, 0.75), 0));
    p.setBrush(reflection);
    p.drawEllipse(QPointF(10.4, 10.4), 1.5, 1.5);

    p.restore();
}
