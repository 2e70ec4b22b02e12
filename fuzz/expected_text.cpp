// What code page 936 bytes stand for, worked out byte by byte.
#include "fuzz/expected_text.h"

#include "serial/gbk.h"

namespace ReceiveCheck {

namespace {

constexpr int kLeadCount = 0xFE - 0x81 + 1;
constexpr int kTrailCount = (0x7E - 0x40 + 1) + (0xFE - 0x80 + 1);

bool isTrail(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

int trailIndex(uchar b)
{
    return b <= 0x7E ? b - 0x40 : b - 0x80 + (0x7E - 0x40 + 1);
}

// The character of every lead and second byte pair, from decoding all pairs
// one after another; empty when some pair does not give one character.
const QString &pairTable()
{
    static const QString table = [] {
        QByteArray pairs;
        pairs.reserve(2 * kLeadCount * kTrailCount);
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (isTrail(uchar(trail))) {
                    pairs += char(lead);
                    pairs += char(trail);
                }
            }
        }
        QString text = Gbk::Decoder().decode(pairs);
        if (text.size() != kLeadCount * kTrailCount || text.contains(QChar::ReplacementCharacter))
            return QString();
        return text;
    }();
    return table;
}

} // namespace

QString expectedText(QByteArrayView bytes)
{
    const QString &pairs = pairTable();
    if (pairs.isEmpty())
        return QString();
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
        } else if (b == 0x80) {
            text += QChar(0x20AC);
        } else if (b == 0xFF) {
            text += QChar(0xF8F5);
        } else if (i + 1 == bytes.size()) {
            break; // waits for its second byte
        } else if (isTrail(uchar(bytes[i + 1]))) {
            text += pairs.at((b - 0x81) * kTrailCount + trailIndex(uchar(bytes[i + 1])));
            ++i;
        } else {
            text += QChar(QChar::ReplacementCharacter);
        }
        ++i;
    }
    return text;
}

} // namespace ReceiveCheck
