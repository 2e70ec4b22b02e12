// The named drawings a picture box can show.
#include "controls/drawings.h"

#include <QColor>

namespace {

constexpr QSize kLampSizePx(17, 16);
constexpr QSize kComputerSizePx(439, 338);

void paintGreenLamp(QPainter &painter)
{
    paintLamp(painter, QColor(14, 183, 10));
}

void paintRedLamp(QPainter &painter)
{
    paintLamp(painter, QColor(241, 17, 33));
}

void paintGreyLamp(QPainter &painter)
{
    paintLamp(painter, QColor(163, 158, 157));
}

} // namespace

const Drawing *findDrawing(const QString &name)
{
    static const Drawing drawings[] = {
        {QStringLiteral("computer"), kComputerSizePx, paintComputer},
        {QStringLiteral("led_green"), kLampSizePx, paintGreenLamp},
        {QStringLiteral("led_red"), kLampSizePx, paintRedLamp},
        {QStringLiteral("led_grey"), kLampSizePx, paintGreyLamp},
    };
    for (const Drawing &drawing : drawings) {
        if (drawing.name == name)
            return &drawing;
    }
    return nullptr;
}
