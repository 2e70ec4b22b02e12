// Code page 936 through ICU's GBK converter, which Qt uses on Linux.
#include "serial/gbk.h"

#include "serial/gbk_platform.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Gbk {

namespace {

const char *const codecName = "GBK";

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
    return m_state->decoder.decode(bytes);
}

void Decoder::reset()
{
    m_state->decoder.resetState();
}

} // namespace Gbk
