// Character codes in code page 936.
#include "console/char_codes.h"

#include "serial/gbk.h"

std::optional<qint16> ansiCode(QStringView character)
{
    const auto bytes = Gbk::encodeChar(character);
    if (!bytes || bytes->isEmpty() || bytes->size() > 2)
        return std::nullopt;
    const auto byte = [&](int i) { return static_cast<quint8>(bytes->at(i)); };
    if (bytes->size() == 1)
        return static_cast<qint16>(byte(0));
    return static_cast<qint16>(static_cast<quint16>(byte(0) << 8 | byte(1)));
}

QString decimalCode(qint16 code)
{
    return QString::number(code);
}

QString hexCode(qint16 code)
{
    return QString::number(static_cast<quint16>(code), 16).toUpper() + QLatin1Char('H');
}
