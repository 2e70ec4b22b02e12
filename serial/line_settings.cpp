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
        settings.parity = QSerialPort::NoParity;
    else if (parity == u"E")
        settings.parity = QSerialPort::EvenParity;
    else if (parity == u"O")
        settings.parity = QSerialPort::OddParity;
    else if (parity == u"M")
        settings.parity = QSerialPort::MarkParity;
    else if (parity == u"S")
        settings.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const QString &dataBits = fields.at(2);
    if (dataBits == u"5")
        settings.dataBits = QSerialPort::Data5;
    else if (dataBits == u"6")
        settings.dataBits = QSerialPort::Data6;
    else if (dataBits == u"7")
        settings.dataBits = QSerialPort::Data7;
    else if (dataBits == u"8")
        settings.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    const QString &stopBits = fields.at(3);
    if (stopBits == u"1")
        settings.stopBits = QSerialPort::OneStop;
    else if (stopBits == u"1.5")
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stopBits == u"2")
        settings.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;

    return settings;
}

QString lineSettingsText(const LineSettings &settings)
{
    const char parity = settings.parity == QSerialPort::EvenParity    ? 'E'
                        : settings.parity == QSerialPort::OddParity   ? 'O'
                        : settings.parity == QSerialPort::MarkParity  ? 'M'
                        : settings.parity == QSerialPort::SpaceParity ? 'S'
                                                                      : 'N';
    const QString stop = settings.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                         : settings.stopBits == QSerialPort::TwoStop      ? QStringLiteral("2")
                                                                          : QStringLiteral("1");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QLatin1Char(parity))
        .arg(int(settings.dataBits))
        .arg(stop);
}
