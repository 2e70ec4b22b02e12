// Code page 936 conversion and the ordering of the system's serial ports.

#include "serial/gbk.h"
#include "serial/port_locator.h"

#include <QTest>

using ByteList = QList<QByteArray>;

class TestGbk : public QObject
{
    Q_OBJECT

private slots:
    void encodeChar_data();
    void encodeChar();
    void encodeLeavesOutUnmappable_data();
    void encodeLeavesOutUnmappable();
    void decodeInPieces_data();
    void decodeInPieces();
    void decoderReset();
    void orderedPortLocations_data();
    void orderedPortLocations();
    void systemLocatorHasNoPortZeroOrPastTheEnd();
};

void TestGbk::encodeChar_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<bool>("mappable");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii letter") << QStringLiteral("a") << true << QByteArray("\x61");
    QTest::newRow("ascii digit") << QStringLiteral("7") << true << QByteArray("7");
    QTest::newRow("line feed") << QStringLiteral("\n") << true << QByteArray("\n");
    QTest::newRow("nul") << QString(QChar(0)) << true << QByteArray(1, '\0');
    QTest::newRow("zhong") << QStringLiteral("中") << true << QByteArray("\xD6\xD0");
    QTest::newRow("euro sign") << QStringLiteral("€") << true << QByteArray("\x80");
    QTest::newRow("ideographic full stop")
        << QStringLiteral("。") << true << QByteArray("\xA1\xA3");
    QTest::newRow("emoji surrogate pair") << QStringLiteral("😀") << false << QByteArray();
    QTest::newRow("korean syllable") << QStringLiteral("한") << false << QByteArray();
    QTest::newRow("non-breaking space") << QString(QChar(0x00A0)) << false << QByteArray();
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) << false << QByteArray();
    QTest::newRow("empty") << QString() << false << QByteArray();
}

void TestGbk::encodeChar()
{
    QFETCH(QString, character);
    QFETCH(bool, mappable);
    QFETCH(QByteArray, bytes);

    const std::optional<QByteArray> encoded = Gbk::encodeChar(character);
    QCOMPARE(encoded.has_value(), mappable);
    if (mappable)
        QCOMPARE(*encoded, bytes);
}

void TestGbk::encodeLeavesOutUnmappable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("plain ascii") << QStringLiteral("abc") << QByteArray("abc");
    QTest::newRow("mixed") << QStringLiteral("a中b") << QByteArray("a\xD6\xD0\x62");
    QTest::newRow("emoji between letters") << QStringLiteral("a😀b") << QByteArray("ab");
    QTest::newRow("korean and nbsp")
        << (QStringLiteral("x한") + QChar(0x00A0) + QStringLiteral("中"))
        << QByteArray("x\xD6\xD0");
    QTest::newRow("nothing mappable") << QStringLiteral("😀한") << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestGbk::encodeLeavesOutUnmappable()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    const QByteArray encoded = Gbk::encode(text);
    QCOMPARE(encoded, bytes);
    QVERIFY(!encoded.contains('?'));
}

void TestGbk::decodeInPieces_data()
{
    QTest::addColumn<ByteList>("pieces");
    QTest::addColumn<QStringList>("texts"); // what each call returns

    QTest::newRow("ascii") << ByteList {"abc"} << QStringList {"abc"};
    QTest::newRow("whole double-byte char")
        << ByteList {"\xD6\xD0"} << QStringList {QStringLiteral("中")};
    QTest::newRow("double-byte char split across calls")
        << ByteList {"a\xD6", "\xD0\x62"} << QStringList {"a", QStringLiteral("中b")};
    QTest::newRow("lead byte alone, then trail alone")
        << ByteList {"\xD6", "\xD0"} << QStringList {"", QStringLiteral("中")};
    QTest::newRow("euro single byte") << ByteList {"\x80"} << QStringList {QStringLiteral("€")};
    QTest::newRow("lead byte before space")
        << ByteList {"\x81 x"} << QStringList {QStringLiteral("\uFFFD x")};
    QTest::newRow("lead byte before control char")
        << ByteList {"\x81\x7F\x63"} << QStringList {QStringLiteral("\uFFFD\u007Fc")};
    QTest::newRow("two invalid sequences")
        << ByteList {"\x81\x0A\x82\x0A"} << QStringList {QStringLiteral("\uFFFD\n\uFFFD\n")};
    QTest::newRow("invalid sequence split across calls")
        << ByteList {"\x81", " ok"} << QStringList {"", QStringLiteral("\uFFFD ok")};
}

void TestGbk::decodeInPieces()
{
    QFETCH(ByteList, pieces);
    QFETCH(QStringList, texts);

    Gbk::Decoder decoder;
    QStringList decoded;
    for (const QByteArray &piece : pieces)
        decoded.append(decoder.decode(piece));
    QCOMPARE(decoded, texts);
}

void TestGbk::decoderReset()
{
    Gbk::Decoder decoder;
    QCOMPARE(decoder.decode("\xD6"), QString());
    decoder.reset();
    // The dangling lead byte is forgotten: the next byte starts afresh.
    QCOMPARE(decoder.decode("a"), QStringLiteral("a"));
}

void TestGbk::orderedPortLocations_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("none") << QStringList {} << QStringList {};
    QTest::newRow("ttyS in numeric order")
        << QStringList {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyS0"}
        << QStringList {"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10"};
    QTest::newRow("ttyS before the others")
        << QStringList {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS1"}
        << QStringList {"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB0"};
    QTest::newRow("natural order in a group")
        << QStringList {"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB1"}
        << QStringList {"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"};
    QTest::newRow("grouped by base name")
        << QStringList {"/dev/ttyUSB1", "/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyACM0"}
        << QStringList {"/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyUSB1"};
    QTest::newRow("ttySAC is not a built-in ttyS")
        << QStringList {"/dev/ttySAC0", "/dev/ttyS3"} << QStringList {"/dev/ttyS3", "/dev/ttySAC0"};
    QTest::newRow("everything together")
        << QStringList {"/dev/ttyUSB10", "/dev/ttyS1",  "/dev/ttyACM0", "/dev/ttyUSB2",
                        "/dev/ttyS0",    "/dev/ttyS11", "/dev/ttyS2"}
        << QStringList {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS11",
                        "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10"};
}

void TestGbk::orderedPortLocations()
{
    QFETCH(QStringList, system);
    QFETCH(QStringList, ordered);

    QCOMPARE(::orderedPortLocations(system), ordered);
}

void TestGbk::systemLocatorHasNoPortZeroOrPastTheEnd()
{
    // Only asks the system which ports exist; nothing is opened.
    const PortLocator locator = systemPortLocator();
    QCOMPARE(locator(0), QString());
    QCOMPARE(locator(-1), QString());
    QCOMPARE(locator(100000), QString());
}

QTEST_GUILESS_MAIN(TestGbk)
#include "test_gbk.moc"
