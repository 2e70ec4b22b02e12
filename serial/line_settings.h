// The line settings of the serial control, parsed from its setting text such
// as "9600,N,8,1" (baud rate, parity, data bits, stop bits).
#pragma once

#include <QString>

#include <optional>

struct LineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
};

// Parity is one of N, E, O, M, S (either case), data bits 5 to 8, stop bits
// 1, 1.5 or 2. Nothing when the text is malformed.
std::optional<LineSettings> parseLineSettings(const QString &text);

// The setting text of the given settings, such as "9600,N,8,1".
QString lineSettingsText(const LineSettings &settings);
