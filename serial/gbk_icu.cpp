// Code page 936 through ICU's GBK converter, which Qt uses on Linux.
#include "serial/gbk.h"

#include "serial/gbk_platform.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Gbk {

namespace {

const char *const codecName = "GBK";

// Bytes that start a double-byte character; every one of them can also be
// the second byte of one.
bool isLead(uchar b)
{
    return b >= 0x81 && b <= 0xFE;
}

} // namespace

std::optional<QByteArray> Platform::encodeWhole(QStringView text)
{
    // ICU turns a character it cannot map into '?' and only reports it
    // through hasError(), so the flag is what tells the two apart.
    QStringEncoder encoder(codecName);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        return std::nullopt;
    return bytes;
}

struct Decoder::State
{
    // ICU keeps a lead byte at the end of one call for the next.
    QStringDecoder decoder {codecName};
    // Whether it keeps one now, which ICU does not tell.
    bool leadKept = false;
};

Decoder::Decoder()
    : m_state(std::make_unique<State>())
{
    Q_ASSERT(m_state->decoder.isValid());
}

Decoder::~Decoder() = default;

QString Decoder::decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    // ASCII stands for itself in code page 936: a read of nothing else, with
    // no lead byte kept, needs no converter.
    if (!m_state->leadKept) {
        uchar all = 0;
        for (const char b : bytes) // no early exit, so that it vectorises
            all |= uchar(b);
        if (all < 0x80)
            return QString::fromLatin1(bytes);
    }
    // Any byte that cannot start a character leaves nothing kept, whether it
    // ended a pair or stood alone; the lead bytes after the last such byte
    // pair up in order, so one is left over when they are odd in number.
    qsizetype leads = 0;
    qsizetype i = bytes.size();
    while (i > 0 && isLead(uchar(bytes[i - 1]))) {
        --i;
        ++leads;
    }
    if (i == 0 && m_state->leadKept)
        ++leads;
    m_state->leadKept = leads % 2 == 1;
    return m_state->decoder.decode(bytes);
}

QString Decoder::flush()
{
    if (!m_state->leadKept)
        return {};
    reset();
    return QString(QChar(QChar::ReplacementCharacter));
}

void Decoder::reset()
{
    m_state->decoder.resetState();
    m_state->leadKept = false;
}

} // namespace Gbk
