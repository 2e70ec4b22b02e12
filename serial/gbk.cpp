#include "serial/gbk.h"

#include <QStringEncoder>

namespace Gbk {

namespace {

const char *const codecName = "GBK";

// Length in QChars of the character starting at index i (2 for a surrogate pair).
qsizetype characterLength(QStringView text, qsizetype i)
{
    if (i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate())
        return 2;
    return 1;
}

} // namespace

std::optional<QByteArray> encodeChar(QStringView character)
{
    if (character.isEmpty())
        return std::nullopt;
    // ICU turns a character it cannot map into '?' and only reports it
    // through hasError(), so the flag is what tells the two apart.
    QStringEncoder encoder(codecName);
    QByteArray bytes = encoder.encode(character);
    if (!encoder.isValid() || encoder.hasError() || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(codecName);
    QByteArray bytes = encoder.encode(text);
    if (encoder.isValid() && !encoder.hasError())
        return bytes;

    // Something had no code page 936 form: go character by character and
    // leave those out.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = characterLength(text, i);
        if (const auto encoded = encodeChar(text.sliced(i, length)))
            bytes += *encoded;
        i += length;
    }
    return bytes;
}

Decoder::Decoder()
    : m_decoder(codecName)
{
    Q_ASSERT(m_decoder.isValid());
}

QString Decoder::decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    return m_decoder.decode(bytes);
}

void Decoder::reset()
{
    m_decoder.resetState();
}

} // namespace Gbk
