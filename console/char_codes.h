// The character codes shown for a typed key: its code page 936 code as a
// signed 16-bit number, in decimal ("65", "-10544") and hexadecimal ("41H").
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The code page 936 code of one character (a single QChar or a surrogate
// pair): 0 to 255 for a single-byte character, the two-byte code taken as a
// signed 16-bit number for a double-byte one; nothing when the code page has
// no such character.
std::optional<qint16> ansiCode(QStringView character);

// "65", "-10544"
QString decimalCode(qint16 code);

// Upper-case hexadecimal of the 16-bit pattern, no leading zeros, then "H":
// "41H", "DH", "D6D0H".
QString hexCode(qint16 code);
