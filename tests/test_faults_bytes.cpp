// Bad bytes on the line: a megabyte of random and broken code page 936 sent
// to Form1 in random pieces, how single odd sequences decode, and the inputs
// the receive-path fuzzer found, replayed.
#include "app/main_window.h"
#include "controls/receive_view.h"
#include "fuzz/receive_check.h"
#include "pty_board.h"
#include "serial/gbk.h"
#include "serial/serial_port.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

namespace {

char leadByte(QRandomGenerator &random)
{
    return char(0x81 + random.bounded(0xFE - 0x81 + 1));
}

char trailByte(QRandomGenerator &random)
{
    const int index = random.bounded(190); // 0x40-0x7E, then 0x80-0xFE
    return char(index < 63 ? 0x40 + index : 0x80 + index - 63);
}

// A byte no character starts with a lead byte and it: 0x00-0x3F, 0x7F, 0xFF.
char badTrailByte(QRandomGenerator &random)
{
    const int index = random.bounded(66);
    return char(index < 64 ? index : index == 64 ? 0x7F : 0xFF);
}

// Line noise: text, line breaks, NULs, double-byte characters, lead bytes
// before bytes that cannot follow them, 0x80 and 0xFF, and plain random bytes.
QByteArray badBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    bytes.reserve(size + 32);
    while (bytes.size() < size) {
        switch (random.bounded(9)) {
        case 0:
            for (int n = 1 + random.bounded(20); n > 0; --n)
                bytes += char(0x20 + random.bounded(0x5F));
            break;
        case 1:
            bytes += QByteArrayList {"\r\n", "\r", "\n"}.at(random.bounded(3));
            break;
        case 2:
            bytes += QByteArray(1 + random.bounded(3), '\0');
            break;
        case 3:
            bytes += leadByte(random);
            bytes += trailByte(random);
            break;
        case 4:
            bytes += leadByte(random);
            bytes += badTrailByte(random);
            break;
        case 5:
            bytes += random.bounded(2) ? '\x80' : '\xFF';
            break;
        case 6: // a lead byte, then a whole character
            bytes += leadByte(random);
            bytes += leadByte(random);
            bytes += trailByte(random);
            break;
        default:
            for (int n = 1 + random.bounded(16); n > 0; --n)
                bytes += char(random.bounded(256));
            break;
        }
    }
    bytes.truncate(size);
    return bytes;
}

// Piece lengths from 1 to 4096, short ones as likely as long ones.
QList<qsizetype> pieceLengths(qsizetype total, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<qsizetype> lengths;
    for (qsizetype sent = 0; sent < total;) {
        const qsizetype length =
            qMin<qsizetype>(total - sent, 1 + random.bounded(1 << random.bounded(13)));
        lengths.append(length);
        sent += length;
    }
    return lengths;
}

QString decodedAtOnce(const QByteArray &bytes)
{
    return QStringDecoder("GBK").decode(bytes);
}

// Where two texts first differ, for failure messages.
QString firstDifference(const QString &actual, const QString &expected)
{
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual.at(i) == expected.at(i))
        ++i;
    return QStringLiteral("%1 and %2 characters, first difference at %3: U+%4 for U+%5")
        .arg(actual.size())
        .arg(expected.size())
        .arg(i)
        .arg(i < actual.size() ? actual.at(i).unicode() : 0, 4, 16, QLatin1Char('0'))
        .arg(i < expected.size() ? expected.at(i).unicode() : 0, 4, 16, QLatin1Char('0'));
}

} // namespace

class TestFaultsBytes : public QObject
{
    Q_OBJECT

private slots:
    void oddSequences_data();
    void oddSequences();
    void decodingInPiecesEqualsDecodingAtOnce();
    void megabyteOfBadBytesThroughTheWindow();
    void fuzzInputsReplayed_data();
    void fuzzInputsReplayed();
};

void TestFaultsBytes::oddSequences_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("0x80 is the euro sign") << QByteArray("\x80") << QStringLiteral("€");
    QTest::newRow("0xFF as Windows maps it") << QByteArray("\xFF"
                                                           "A")
                                             << QStringLiteral("\uF8F5A");
    QTest::newRow("lead byte before space") << QByteArray("\x81 ") << bad + u' ';
    QTest::newRow("lead byte before NUL") << QByteArray("\x81\0A", 3) << bad + QChar(0) + u'A';
    QTest::newRow("lead byte before DEL") << QByteArray("\x81\x7F") << bad + QChar(0x7F);
    QTest::newRow("lead byte before 0xFF") << QByteArray("\x81\xFF") << bad + QChar(0xF8F5);
    QTest::newRow("lead byte before digit (no four-byte GB18030)")
        << QByteArray("\x81\x30\x81\x30") << bad + u'0' + bad + u'0';
    QTest::newRow("lead byte before a character")
        << QByteArray("\x81\xD6\xD0") << QStringLiteral("\u4F52"); // 0x81D6 is itself one
    QTest::newRow("user-defined area") << QByteArray("\xAA\xA1") << QStringLiteral("\uE000");
    QTest::newRow("lead byte at the end") << QByteArray("x\x81") << QStringLiteral("x");
}

// Each odd sequence decodes the same at once, byte by byte, and as worked
// out byte by byte; a lead byte left at the end of one piece pairs with the
// next piece.
void TestFaultsBytes::oddSequences()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    QCOMPARE(decodedAtOnce(bytes), text);
    QCOMPARE(Gbk::Decoder().decode(bytes), text);
    Gbk::Decoder decoder;
    QString byByte;
    for (const char b : bytes)
        byByte += decoder.decode(QByteArrayView(&b, 1));
    QCOMPARE(byByte, text);
    QCOMPARE(ReceiveCheck::expectedText(bytes), text);

    // Whatever follows later decodes as it would have in one piece.
    byByte += decoder.decode("A\xD6\xD0");
    QCOMPARE(byByte, decodedAtOnce(bytes + "A\xD6\xD0"));
}

void TestFaultsBytes::decodingInPiecesEqualsDecodingAtOnce()
{
    const QByteArray bytes = badBytes(1 << 20, 936);
    const QString atOnce = decodedAtOnce(bytes);
    QVERIFY(atOnce.contains(QChar::ReplacementCharacter));
    QCOMPARE(Gbk::Decoder().decode(bytes), atOnce);
    const QString expected = ReceiveCheck::expectedText(bytes);
    QVERIFY2(atOnce == expected, qPrintable(firstDifference(atOnce, expected)));

    Gbk::Decoder decoder;
    QString inPieces;
    qsizetype from = 0;
    for (const qsizetype length : pieceLengths(bytes.size(), 1252)) {
        inPieces += decoder.decode(QByteArrayView(bytes).sliced(from, length));
        from += length;
    }
    QVERIFY2(inPieces == atOnce, qPrintable(firstDifference(inPieces, atOnce)));
}

void TestFaultsBytes::megabyteOfBadBytesThroughTheWindow()
{
    const QByteArray bytes = badBytes(1 << 20, 20);
    const QString expected = decodedAtOnce(bytes);
    QCOMPARE(ReceiveCheck::expectedText(bytes), expected);

    PtyBoard board;
    board.setEcho(false);
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();
    QVERIFY(c.MSComm1->PortOpen());
    const auto decoded = [&] { return c.fssj1->length() + c.MSComm1->inBufferCount(); };

    // Each piece is read by the program before the next is sent, so the
    // decoder gets the bytes in these pieces, split anywhere.
    QElapsedTimer clock;
    clock.start();
    Gbk::Decoder reference;
    qsizetype from = 0;
    qsizetype characters = 0;
    for (const qsizetype length : pieceLengths(bytes.size(), 7)) {
        const QByteArray piece = bytes.mid(from, length);
        from += length;
        characters += reference.decode(piece).size();
        QVERIFY(board.send(piece, 60000));
        QVERIFY(spinEventLoopUntil(
            [&] { return decoded() >= characters && board.pendingForProgram() == 0; }, 60000));
    }
    QCOMPARE(characters, expected.size());
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= expected.size(); }, 600000));
    qInfo("%lld bytes, %lld characters shown in %lld ms", qint64(bytes.size()),
          qint64(expected.size()), clock.elapsed());
    const QString shown = c.fssj1->text();
    QVERIFY2(shown == expected, qPrintable(firstDifference(shown, expected)));

    // The program is still there for the user.
    QVERIFY(c.MSComm1->PortOpen());
    c.Command1->click();
    QVERIFY(board.waitForReceived(1));
    QCOMPARE(board.received(), QByteArray("K"));
    board.send("ok");
    QTRY_COMPARE(c.fssj1->text().right(2), QStringLiteral("ok"));
}

void TestFaultsBytes::fuzzInputsReplayed_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &folder : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
        const QDir dir(QStringLiteral(FUZZ_DIR "/") + folder);
        const QStringList names = dir.entryList(QDir::Files, QDir::Name);
        for (const QString &name : names)
            QTest::newRow(qPrintable(folder + u'/' + name)) << dir.filePath(name);
    }
}

void TestFaultsBytes::fuzzInputsReplayed()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString broken = ReceiveCheck::run(file.readAll());
    QVERIFY2(broken.isEmpty(), qPrintable(broken.left(2000)));
}

QTEST_MAIN(TestFaultsBytes)
#include "test_faults_bytes.moc"
