// Conversion between text and code page 936 (GBK) bytes, the character set of
// the serial line and of the character codes the program shows.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <optional>

namespace Gbk {

// The bytes of one character (a single QChar or a surrogate pair), or nothing
// when code page 936 has no such character.
std::optional<QByteArray> encodeChar(QStringView character);

// The bytes of a text; any character without a code page 936 form is left
// out rather than replaced by a substitute byte.
QByteArray encode(QStringView text);

// Decodes a byte stream that may arrive in arbitrary pieces: a double-byte
// character split across two calls comes out whole once its second byte has
// arrived. An invalid sequence becomes one U+FFFD.
class Decoder
{
public:
    Decoder();
    QString decode(QByteArrayView bytes);
    void reset();

private:
    QStringDecoder m_decoder;
};

} // namespace Gbk
