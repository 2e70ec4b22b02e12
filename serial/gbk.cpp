// Code page 936 encoding on top of the platform's whole-text conversion:
// characters without a form are left out one by one.
#include "serial/gbk.h"

#include "serial/gbk_platform.h"

namespace Gbk {

namespace {

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
    auto bytes = Platform::encodeWhole(character);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    return bytes;
}

QByteArray encode(QStringView text)
{
    if (auto bytes = Platform::encodeWhole(text))
        return *bytes;

    // Something had no code page 936 form: go character by character and
    // leave those out.
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = characterLength(text, i);
        if (const auto encoded = encodeChar(text.sliced(i, length)))
            bytes += *encoded;
        i += length;
    }
    return bytes;
}

} // namespace Gbk
