// Code page 936 through Win32's MultiByteToWideChar and WideCharToMultiByte,
// giving what ICU's GBK gives on Linux: the two single bytes Windows and wine
// disagree on are pinned, a lead byte is kept across calls, and a lead byte
// before a byte that cannot follow it becomes U+FFFD with that byte decoded
// on its own.
#include "serial/gbk.h"

#include "serial/gbk_platform.h"

#include <qt_windows.h>

#include <algorithm>
#include <utility>

namespace Gbk {

namespace {

constexpr UINT kCodePage = 936;
constexpr char16_t kEuro = 0x20AC; // 0x80
constexpr char16_t kPrivateF8F5 = 0xF8F5; // 0xFF, which wine does not map
constexpr char16_t kReplacement = 0xFFFD;
// The longest run handed to Win32 in one call, well inside its int sizes.
constexpr qsizetype kMaxRunBytes = 1 << 24;

bool isLead(uchar b)
{
    return b >= 0x81 && b <= 0xFE;
}

bool isTrail(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

char16_t pinned(uchar b)
{
    return b == 0x80 ? kEuro : kPrivateF8F5;
}

// Decodes a run of whole characters (ASCII and complete pairs) into out, which
// has room for one QChar per byte; returns the number written. A pair Win32
// does not know becomes U+FFFD.
qsizetype decodeRun(const char *bytes, qsizetype size, char16_t *out)
{
    if (size == 0)
        return 0;
    const int written = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, int(size),
                                            reinterpret_cast<wchar_t *>(out), int(size));
    if (written > 0)
        return written;

    // Some pair has no character: one character at a time.
    qsizetype count = 0;
    for (qsizetype i = 0; i < size;) {
        const int length = isLead(uchar(bytes[i])) && i + 1 < size ? 2 : 1;
        if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes + i, length,
                                reinterpret_cast<wchar_t *>(out + count), 1)
            != 1)
            out[count] = kReplacement;
        ++count;
        i += length;
    }
    return count;
}

// The bytes of a text without the two pinned characters, or nothing when some
// character has no form (Win32 would put its default character there).
bool encodeRun(QStringView text, QByteArray &bytes)
{
    if (text.isEmpty())
        return true;
    if (text.size() > kMaxRunBytes / 2) {
        qsizetype half = text.size() / 2;
        if (text.at(half - 1).isHighSurrogate())
            ++half;
        return encodeRun(text.first(half), bytes) && encodeRun(text.sliced(half), bytes);
    }
    const qsizetype start = bytes.size();
    bytes.resize(start + 2 * text.size());
    BOOL usedDefault = FALSE;
    const int written = WideCharToMultiByte(
        kCodePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t *>(text.utf16()),
        int(text.size()), bytes.data() + start, int(2 * text.size()), nullptr, &usedDefault);
    bytes.truncate(start + std::max(written, 0));
    return written > 0 && !usedDefault;
}

} // namespace

std::optional<QByteArray> Platform::encodeWhole(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(2 * text.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c != kEuro && c != kPrivateF8F5)
            continue;
        if (!encodeRun(text.sliced(runStart, i - runStart), bytes))
            return std::nullopt;
        bytes += char(c == kEuro ? 0x80 : 0xFF);
        runStart = i + 1;
    }
    if (!encodeRun(text.sliced(runStart), bytes))
        return std::nullopt;
    return bytes;
}

struct Decoder::State
{
    // A lead byte that ended the last call, or 0.
    uchar keptLead = 0;
};

Decoder::Decoder()
    : m_state(std::make_unique<State>())
{
}

Decoder::~Decoder() = default;

QString Decoder::decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};

    // Every byte gives at most one QChar, the kept lead byte at most one more.
    QString text(bytes.size() + 1, Qt::Uninitialized);
    char16_t *const out = reinterpret_cast<char16_t *>(text.data());
    qsizetype written = 0;
    const char *const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype i = 0;

    if (const uchar lead = std::exchange(m_state->keptLead, 0)) {
        if (isTrail(uchar(data[0]))) {
            const char pair[2] = {char(lead), data[0]};
            written += decodeRun(pair, 2, out);
            i = 1;
        } else {
            out[written++] = kReplacement;
        }
    }

    // Runs of ASCII and whole pairs go to Win32 in one call each.
    qsizetype runStart = i;
    const auto flush = [&](qsizetype end) {
        written += decodeRun(data + runStart, end - runStart, out + written);
    };
    while (i < size) {
        const uchar b = uchar(data[i]);
        if (i - runStart >= kMaxRunBytes) {
            flush(i);
            runStart = i;
        }
        if (b < 0x80) {
            ++i;
        } else if (!isLead(b)) {
            flush(i);
            out[written++] = pinned(b);
            runStart = ++i;
        } else if (i + 1 == size) {
            flush(i);
            m_state->keptLead = b;
            runStart = ++i;
        } else if (isTrail(uchar(data[i + 1]))) {
            i += 2;
        } else {
            flush(i);
            out[written++] = kReplacement;
            runStart = ++i;
        }
    }
    flush(size);
    text.truncate(written);
    return text;
}

QString Decoder::flush()
{
    if (!std::exchange(m_state->keptLead, 0))
        return {};
    return QString(QChar(kReplacement));
}

void Decoder::reset()
{
    m_state->keptLead = 0;
}

} // namespace Gbk
