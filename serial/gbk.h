// Conversion between text and code page 936 (GBK) bytes, the character set of
// the serial line and of the character codes the program shows.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
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
// arrived. A lead byte followed by a byte that cannot be its second becomes
// one U+FFFD, and that byte is then decoded on its own.
class Decoder
{
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    QString decode(QByteArrayView bytes);
    // The end of the stream: a lead byte kept from the last call comes out as
    // one U+FFFD (nothing when none is kept), and the decoder starts afresh.
    QString flush();
    // Forgets a lead byte kept from the last call.
    void reset();

private:
    // The platform's conversion state (gbk_icu.cpp, gbk_win.cpp).
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace Gbk
