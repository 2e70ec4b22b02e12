// Writes the code page 936 table tests/test_gbk_table.cpp holds both
// platforms to, as ICU's GBK converter gives it through Qt on Linux. Run by
// hand on Linux when the table must change:
//   cmake --build build-dev --target make_gbk_table
//   build-dev/tools/make_gbk_table > tests/gbk_table.txt
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstdio>
#include <vector>

namespace {

struct Entry
{
    QByteArray bytes;
    QString text;
};

// Consecutive entries become one line with a count when each one's last byte
// and last code unit are one higher than the one before's.
bool follows(const Entry &run, qsizetype count, const Entry &next)
{
    const QByteArray &a = run.bytes;
    const QByteArray &b = next.bytes;
    if (a.size() != b.size() || a.first(a.size() - 1) != b.first(b.size() - 1)
        || uchar(b.back()) != uchar(a.back()) + count)
        return false;
    const QString &s = run.text;
    const QString &t = next.text;
    if (s.size() != t.size())
        return false;
    if (s.isEmpty())
        return true;
    return s.first(s.size() - 1) == t.first(t.size() - 1)
           && t.back().unicode() == s.back().unicode() + count;
}

QByteArray hexBytes(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QByteArray("-") : bytes.toHex().toUpper();
}

QByteArray hexText(const QString &text)
{
    if (text.isEmpty())
        return "-";
    QByteArray units;
    for (const QChar c : text) {
        if (!units.isEmpty())
            units += '.';
        units += QByteArray::number(c.unicode(), 16).toUpper().rightJustified(4, '0');
    }
    return units;
}

// Prints the entries in runs; codePoints puts the text first as one code point.
void print(const std::vector<Entry> &entries, bool codePoints)
{
    for (size_t i = 0; i < entries.size();) {
        size_t count = 1;
        while (i + count < entries.size()
               && follows(entries[i], qsizetype(count), entries[i + count]))
            ++count;
        const Entry &e = entries[i];
        const QByteArray line = codePoints ? hexText(e.text) + ' ' + hexBytes(e.bytes)
                                           : hexBytes(e.bytes) + ' ' + hexText(e.text);
        if (count > 1)
            std::printf("%s %zu\n", line.constData(), count);
        else
            std::printf("%s\n", line.constData());
        i += count;
    }
}

QString decoded(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

} // namespace

int main()
{
    if (!QStringDecoder("GBK").isValid()) {
        std::fprintf(stderr, "this Qt has no GBK converter (built without ICU?)\n");
        return 1;
    }

    std::vector<Entry> decoding;
    for (int b = 0; b <= 0xFF; ++b)
        decoding.push_back({QByteArray(1, char(b)), {}});
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            const char pair[] = {char(lead), char(second)};
            decoding.push_back({QByteArray(pair, 2), {}});
        }
    }
    for (Entry &e : decoding)
        e.text = decoded(e.bytes);

    // Only code points with a form: the rest have none.
    std::vector<Entry> encoding;
    for (int u = 0; u <= 0xFFFF; ++u) {
        const QChar c {char16_t(u)};
        QStringEncoder encoder("GBK");
        const QByteArray bytes = encoder.encode(QStringView(&c, 1));
        if (!encoder.hasError() && !bytes.isEmpty())
            encoding.push_back({bytes, QString(c)});
    }

    std::printf("# Code page 936 as ICU's GBK converter gives it through Qt on Linux, for\n"
                "# tests/test_gbk_table.cpp. Made by tools/make_gbk_table.cpp:\n"
                "#   cmake --build build-dev --target make_gbk_table\n"
                "#   build-dev/tools/make_gbk_table > tests/gbk_table.txt\n"
                "#\n"
                "# [decode] lines: BYTES TEXT [COUNT], every single byte and every lead byte\n"
                "#   81-FE with every second byte 00-FF, decoded on their own by a fresh\n"
                "#   decoder. TEXT is UTF-16 code units in hex joined by '.', '-' for nothing.\n"
                "# [encode] lines: CODEPOINT BYTES [COUNT], every BMP code point with a form;\n"
                "#   one not listed has none.\n"
                "# A COUNT stands for that many lines, the last byte and the last code unit one\n"
                "#   higher in each.\n");
    std::printf("[decode]\n");
    print(decoding, false);
    std::printf("[encode]\n");
    print(encoding, true);
    return 0;
}
