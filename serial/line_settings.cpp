#include "serial/line_settings.h"

#include <QStringList>

#include <algorithm>

namespace {

bool isAllDigits(QStringView text)
{
    return !text.isEmpty()
           && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString &text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings settings;
    bool ok = false;
    settings.baudRate = fields.at(0).toInt(&ok);
    if (!isAllDigits(fields.at(0)) || !ok || settings.baudRate <= 0)
        return std::nullopt;

    const QString parity = fields.at(1).toUpper();
    if (parity == u"N")
        settings.parity = LineSettings::Parity::None;
    else if (parity == u"E")
        settings.parity = LineSettings::Parity::Even;
    else if (parity == u"O")
        settings.parity = LineSettings::Parity::Odd;
    else if (parity == u"M")
        settings.parity = LineSettings::Parity::Mark;
    else if (parity == u"S")
        settings.parity = LineSettings::Parity::Space;
    else
        return std::nullopt;

    const QString &dataBits = fields.at(2);
    if (dataBits == u"5")
        settings.dataBits = 5;
    else if (dataBits == u"6")
        settings.dataBits = 6;
    else if (dataBits == u"7")
        settings.dataBits = 7;
    else if (dataBits == u"8")
        settings.dataBits = 8;
    else
        return std::nullopt;

    const QString &stopBits = fields.at(3);
    if (stopBits == u"1")
        settings.stopBits = LineSettings::StopBits::One;
    else if (stopBits == u"1.5")
        settings.stopBits = LineSettings::StopBits::OneAndHalf;
    else if (stopBits == u"2")
        settings.stopBits = LineSettings::StopBits::Two;
    else
        return std::nullopt;

    return settings;
}

QString lineSettingsText(const LineSettings &settings)
{
    const char parity = settings.parity == LineSettings::Parity::Even    ? 'E'
                        : settings.parity == LineSettings::Parity::Odd   ? 'O'
                        : settings.parity == LineSettings::Parity::Mark  ? 'M'
                        : settings.parity == LineSettings::Parity::Space ? 'S'
                                                                         : 'N';
    const QString stop = settings.stopBits == LineSettings::StopBits::OneAndHalf
                             ? QStringLiteral("1.5")
                         : settings.stopBits == LineSettings::StopBits::Two ? QStringLiteral("2")
                                                                            : QStringLiteral("1");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QLatin1Char(parity))
        .arg(settings.dataBits)
        .arg(stop);
}
