// Code page 936 against one table made from ICU on Linux (tests/gbk_table.txt):
// every single byte, every lead byte with every second byte, every BMP code
// point, on each platform's conversion; and a stream read in pieces.
#include "serial/gbk.h"

#include <QFile>
#include <QTest>

#include <array>
#include <optional>
#include <vector>

namespace {

constexpr int kFirstLead = 0x81;
constexpr int kLeadCount = 0xFE - kFirstLead + 1;
// At most this many differences are spelled out in one failure.
constexpr qsizetype kMissesShown = 20;

QString hexText(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("-");
    QStringList units;
    for (const QChar c : text)
        units += QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return units.join(u'.');
}

QString hexBytes(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return QStringLiteral("no form");
    return bytes->isEmpty() ? QStringLiteral("-")
                            : QString::fromLatin1(bytes->toHex(' ').toUpper());
}

// What ICU gives, read from the table.
struct Table
{
    std::array<std::optional<QString>, 256> singles;
    std::array<std::array<std::optional<QString>, 256>, kLeadCount> pairs;
    std::vector<std::optional<QByteArray>> codePoints =
        std::vector<std::optional<QByteArray>>(0x10000);

    // Reads the table; an empty string when it is whole, else what is wrong.
    QString load(const QString &path);
};

std::optional<QByteArray> parseBytes(const QByteArray &field)
{
    const QByteArray bytes = QByteArray::fromHex(field);
    if (bytes.isEmpty() || bytes.size() > 2 || bytes.toHex().toUpper() != field)
        return std::nullopt;
    return bytes;
}

std::optional<QString> parseText(const QByteArray &field)
{
    if (field == "-")
        return QString();
    QString text;
    for (const QByteArray &unit : field.split('.')) {
        bool ok = false;
        const uint value = unit.toUInt(&ok, 16);
        if (!ok || unit.size() != 4)
            return std::nullopt;
        text += QChar(char16_t(value));
    }
    return text;
}

QString Table::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": ") + file.errorString();
    enum { None, Decode, Encode } section = None;
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++lineNumber;
        const QString where = QStringLiteral("line %1: ").arg(lineNumber);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line == "[decode]" || line == "[encode]") {
            section = line == "[decode]" ? Decode : Encode;
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        bool countOk = fields.size() == 2;
        const int count = fields.size() == 3 ? fields.at(2).toInt(&countOk) : 1;
        if (section == None || fields.size() < 2 || !countOk || count < 1)
            return where + QString::fromLatin1(line);
        const auto bytes = parseBytes(fields.at(section == Decode ? 0 : 1));
        const auto text = parseText(fields.at(section == Decode ? 1 : 0));
        if (!bytes || !text || (section == Encode && text->size() != 1)
            || uchar(bytes->back()) + count > 0x100
            || (!text->isEmpty() && text->back().unicode() + count > 0x10000))
            return where + QString::fromLatin1(line);
        for (int i = 0; i < count; ++i) {
            QByteArray b = *bytes;
            b.back() = char(uchar(b.back()) + i);
            QString t = *text;
            if (!t.isEmpty())
                t.back() = QChar(char16_t(t.back().unicode() + i));
            if (section == Encode)
                codePoints[t.at(0).unicode()] = b;
            else if (b.size() == 1)
                singles[uchar(b[0])] = t;
            else if (uchar(b[0]) >= kFirstLead && uchar(b[0]) < kFirstLead + kLeadCount)
                pairs[uchar(b[0]) - kFirstLead][uchar(b[1])] = t;
            else
                return where + QString::fromLatin1(line);
        }
    }
    for (int b = 0; b < 256; ++b) {
        if (!singles[b])
            return QStringLiteral("no line for byte %1").arg(b, 2, 16, QLatin1Char('0'));
    }
    for (int lead = 0; lead < kLeadCount; ++lead) {
        for (int second = 0; second < 256; ++second) {
            if (!pairs[lead][second])
                return QStringLiteral("no line for %1 %2")
                    .arg(kFirstLead + lead, 2, 16)
                    .arg(second, 2, 16, QLatin1Char('0'));
        }
    }
    return {};
}

// Collects differences and fails once with the first few of them.
class Misses
{
public:
    void compare(const QString &what, const QString &got, const QString &expected)
    {
        if (got != expected)
            add(QStringLiteral("%1: got %2, expected %3")
                    .arg(what, hexText(got), hexText(expected)));
    }
    void compare(const QString &what, const std::optional<QByteArray> &got,
                 const std::optional<QByteArray> &expected)
    {
        if (got != expected)
            add(QStringLiteral("%1: got %2, expected %3")
                    .arg(what, hexBytes(got), hexBytes(expected)));
    }
    void add(const QString &miss)
    {
        if (m_shown.size() < kMissesShown)
            m_shown += miss;
        ++m_count;
    }
    QByteArray report() const
    {
        return QStringLiteral("%1 differences:\n  %2")
            .arg(m_count)
            .arg(m_shown.join("\n  "))
            .toUtf8();
    }
    bool isEmpty() const { return m_count == 0; }

private:
    QStringList m_shown;
    qsizetype m_count = 0;
};

QString byteName(int b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

// The first difference between two results of one long read, for messages.
template<typename T> QString firstDifference(const T &got, const T &expected)
{
    qsizetype i = 0;
    while (i < got.size() && i < expected.size() && got.at(i) == expected.at(i))
        ++i;
    return QStringLiteral("sizes %1 and %2, first difference at %3")
        .arg(got.size())
        .arg(expected.size())
        .arg(i);
}

} // namespace

class TestGbkTable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void singleBytes();
    void pairs_data();
    void pairs();
    void codePoints_data();
    void codePoints();
    void piecesOfAStream_data();
    void piecesOfAStream();
    void everySplitOfAStream();
    void resetForgetsTheKeptLeadByte();
    void readLongerThanOneSystemCall();

private:
    Table m_table;
};

void TestGbkTable::initTestCase()
{
    const QString problem = m_table.load(QStringLiteral(":/gbk_table.txt"));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

// Each byte on its own in a fresh decoder: a lead byte gives nothing yet.
void TestGbkTable::singleBytes()
{
    Misses misses;
    const QString bad(QChar::ReplacementCharacter);
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        Gbk::Decoder decoder;
        misses.compare(QStringLiteral("byte ") + byteName(b),
                       decoder.decode(QByteArrayView(&byte, 1)), *m_table.singles[b]);
        // At the end of the stream a kept lead byte is not lost without a trace.
        const bool lead = b >= kFirstLead && b < kFirstLead + kLeadCount;
        misses.compare(QStringLiteral("byte %1, then the end").arg(byteName(b)), decoder.flush(),
                       lead ? bad : QString());
    }
    QVERIFY2(misses.isEmpty(), misses.report().constData());
}

void TestGbkTable::pairs_data()
{
    QTest::addColumn<int>("lead");
    for (int lead = kFirstLead; lead < kFirstLead + kLeadCount; ++lead)
        QTest::addRow("lead %s", qPrintable(byteName(lead))) << lead;
}

// The lead byte with each second byte 00-FF, each pair in a fresh decoder, and
// all 256 pairs as one read (long runs with bad pairs among them).
void TestGbkTable::pairs()
{
    QFETCH(int, lead);
    const auto &expected = m_table.pairs[lead - kFirstLead];
    Misses misses;
    QByteArray row;
    QString rowText;
    for (int second = 0; second < 256; ++second) {
        const char pair[] = {char(lead), char(second)};
        Gbk::Decoder decoder;
        misses.compare(QStringLiteral("bytes %1 %2").arg(byteName(lead), byteName(second)),
                       decoder.decode(QByteArrayView(pair, 2)), *expected[second]);
        // Nothing is kept after two bytes, whether they paired up or not.
        misses.compare(
            QStringLiteral("bytes %1 %2, then the end").arg(byteName(lead), byteName(second)),
            decoder.flush(), QString());
        row.append(pair, 2);
        rowText += *expected[second];
    }
    QVERIFY2(misses.isEmpty(), misses.report().constData());

    const QString got = Gbk::Decoder().decode(row);
    QVERIFY2(got == rowText,
             qPrintable(QStringLiteral("all pairs as one read: ") + firstDifference(got, rowText)));
}

void TestGbkTable::codePoints_data()
{
    QTest::addColumn<int>("first");
    constexpr int kBlock = 0x1000;
    for (int first = 0; first < 0x10000; first += kBlock)
        QTest::addRow("U+%04X..U+%04X", first, first + kBlock - 1) << first;
}

// Each code point of a block on its own, and the block (without surrogates,
// which would pair up) as one text, where those without a form are left out.
void TestGbkTable::codePoints()
{
    QFETCH(int, first);
    Misses misses;
    QString text;
    QByteArray textBytes;
    for (int u = first; u < first + 0x1000; ++u) {
        const QChar c {char16_t(u)};
        const std::optional<QByteArray> &expected = m_table.codePoints[u];
        misses.compare(QStringLiteral("U+%1").arg(u, 4, 16, QLatin1Char('0')).toUpper(),
                       Gbk::encodeChar(QStringView(&c, 1)), expected);
        if (!c.isSurrogate()) {
            text += c;
            textBytes += expected.value_or(QByteArray());
        }
    }
    QVERIFY2(misses.isEmpty(), misses.report().constData());

    const QByteArray got = Gbk::encode(text);
    QVERIFY2(got == textBytes, qPrintable(QStringLiteral("the block as one text: ")
                                          + firstDifference(got, textBytes)));
}

void TestGbkTable::piecesOfAStream_data()
{
    QTest::addColumn<QByteArrayList>("reads");
    QTest::addColumn<QStringList>("texts");

    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("lead byte kept for a lead byte")
        << QByteArrayList {"a\x81", "\x81\x40"} << QStringList {"a", QStringLiteral("\u4E96\x40")};
    QTest::newRow("lead byte kept for 0x80, a second byte there")
        << QByteArrayList {"\x81", "\x80\x80"} << QStringList {"", QStringLiteral("\u4E90\u20AC")};
    QTest::newRow("lead byte kept for 0xFF")
        << QByteArrayList {"\x81", "\xFF"} << QStringList {"", bad + QChar(0xF8F5)};
    QTest::newRow("lead byte kept for a digit")
        << QByteArrayList {"\x81", "0\xD6", "\xD0"} << QStringList {"", bad + u'0', "中"};
    QTest::newRow("lead byte kept for NUL")
        << QByteArrayList {"\x81", QByteArray(1, '\0')} << QStringList {"", bad + QChar(0)};
    QTest::newRow("lead byte kept through an empty read")
        << QByteArrayList {"\xD6", "", "\xD0"} << QStringList {"", "", "中"};
    QTest::newRow("a lead byte at the end of every read")
        << QByteArrayList {"\xD6", "\xD0\xD6", "\xD0\xCE", "\xC4"}
        << QStringList {"", "中", "中", "文"};
}

// Each read gives what its bytes complete, and a lead byte at the end waits
// for the next read.
void TestGbkTable::piecesOfAStream()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QStringList, texts);
    Gbk::Decoder decoder;
    for (qsizetype i = 0; i < reads.size(); ++i) {
        const QString got = decoder.decode(reads.at(i));
        QVERIFY2(got == texts.at(i), qPrintable(QStringLiteral("read %1: got %2, expected %3")
                                                    .arg(i + 1)
                                                    .arg(hexText(got), hexText(texts.at(i)))));
    }
}

// A stream with every kind of sequence gives the same text however it is cut
// into three reads, and its last byte, a lead byte, comes out at its end.
void TestGbkTable::everySplitOfAStream()
{
    const QByteArray stream("a\xD6\xD0\x81\x30\x80\xFF\x81\xFF\xAA\xA1\x81\x81\x40\x81\x7F\xFE\xFE"
                            "\x81");
    const QString bad(QChar::ReplacementCharacter);
    const QString text = QStringLiteral("a中") + bad + QStringLiteral("0\u20AC\uF8F5") + bad
                         + QStringLiteral("\uF8F5\uE000\u4E96@") + bad
                         + QStringLiteral("\x7F\uE4C5");
    QCOMPARE(Gbk::Decoder().decode(stream), text);

    for (qsizetype i = 0; i <= stream.size(); ++i) {
        for (qsizetype j = i; j <= stream.size(); ++j) {
            Gbk::Decoder decoder;
            QString got = decoder.decode(stream.first(i));
            got += decoder.decode(stream.sliced(i, j - i));
            got += decoder.decode(stream.sliced(j));
            got += decoder.flush();
            QVERIFY2(
                got == text + bad,
                qPrintable(
                    QStringLiteral("cut at %1 and %2: got %3").arg(i).arg(j).arg(hexText(got))));
        }
    }
}

void TestGbkTable::resetForgetsTheKeptLeadByte()
{
    Gbk::Decoder decoder;
    QCOMPARE(decoder.decode("\xD6"), QString());
    decoder.reset();
    QCOMPARE(decoder.decode("AB"), QStringLiteral("AB"));
    // Without a reset the same bytes are one character.
    QCOMPARE(decoder.decode("\xD6"), QString());
    QCOMPARE(decoder.decode("AB"), QStringLiteral("\u8AE5B"));
    // Nor is anything left for the end of the stream after a reset.
    QCOMPARE(decoder.decode("\xD6"), QString());
    decoder.reset();
    QCOMPARE(decoder.flush(), QString());
}

// A read of many megabytes, with a pair where the conversion is cut in parts.
void TestGbkTable::readLongerThanOneSystemCall()
{
    constexpr qsizetype kAsciiBytes = (1 << 24) - 1;
    QByteArray bytes(kAsciiBytes, 'a');
    bytes += "\xD6\xD0\x62\x80";
    const QString text = Gbk::Decoder().decode(bytes);
    QCOMPARE(text.size(), kAsciiBytes + 3);
    QCOMPARE(text.first(kAsciiBytes), QString(kAsciiBytes, u'a'));
    QCOMPARE(text.sliced(kAsciiBytes), QStringLiteral("中b\u20AC"));
}

QTEST_GUILESS_MAIN(TestGbkTable)
#include "test_gbk_table.moc"
