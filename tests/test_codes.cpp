// Pure logic: code page 936 conversion both ways, the character codes shown
// for a key, the character a key press produces, and the order of the
// system's serial ports.
#include "console/char_codes.h"
#include "controls/text_box_events.h"
#include "fuzz/expected_text.h"
#include "serial/gbk.h"
#include "serial/port_locator.h"

#include <QKeyEvent>
#include <QStringDecoder>
#include <QTest>

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void characters_data();
    void characters();
    void textLeavesOutWhatTheCodePageLacks_data();
    void textLeavesOutWhatTheCodePageLacks();
    void decoding_data();
    void decoding();
    void keyPresses_data();
    void keyPresses();
    void portOrder_data();
    void portOrder();
};

void TestCodes::characters_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QByteArray>("bytes"); // empty: no such character in the code page
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("hex");

    const struct
    {
        const char *name;
        QString character;
        QByteArray bytes;
        const char *decimal;
        const char *hex;
    } rows[] = {
        {"letter", "A", "A", "65", "41H"},
        {"space", " ", " ", "32", "20H"},
        {"enter", "\r", "\r", "13", "DH"},
        {"backspace", "\b", "\b", "8", "8H"},
        {"nul", QString(QChar(0)), QByteArray(1, '\0'), "0", "0H"},
        {"highest single byte", "\x7f", "\x7f", "127", "7FH"},
        {"euro, single byte in cp936", "€", "\x80", "128", "80H"},
        {"chinese", "中", "\xD6\xD0", "-10544", "D6D0H"},
        {"full-width comma", "，", "\xA3\xAC", "-23636", "A3ACH"},
        {"lowest double byte", "丂", "\x81\x40", "-32448", "8140H"},
        {"emoji (surrogate pair)", "😀", "", "", ""},
        {"korean syllable", "한", "", "", ""},
        {"no-break space", QString(QChar(0x00A0)), "", "", ""},
        {"lone surrogate", QString(QChar(0xD83D)), "", "", ""},
        {"nothing", QString(), "", "", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.character << row.bytes << row.decimal << row.hex;
}

void TestCodes::characters()
{
    QFETCH(QString, character);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, decimal);
    QFETCH(QString, hex);

    const auto encoded = Gbk::encodeChar(character);
    QCOMPARE(encoded.has_value(), !bytes.isEmpty());
    QCOMPARE(encoded.value_or(QByteArray()), bytes);
    const auto code = ansiCode(character);
    QCOMPARE(code.has_value(), !bytes.isEmpty());
    if (code) {
        QCOMPARE(decimalCode(*code), decimal);
        QCOMPARE(hexCode(*code), hex);
    }
}

void TestCodes::textLeavesOutWhatTheCodePageLacks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("mixed") << QStringLiteral("a中b") << QByteArray("a\xD6\xD0\x62");
    QTest::newRow("line ends unchanged") << QStringLiteral("a\r\nb\n") << QByteArray("a\r\nb\n");
    QTest::newRow("left out") << QStringLiteral("x한\u00A0中😀b") << QByteArray("x\xD6\xD0\x62");
    QTest::newRow("nothing left") << QStringLiteral("😀한") << QByteArray();
}

void TestCodes::textLeavesOutWhatTheCodePageLacks()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Gbk::encode(text), bytes);
}

void TestCodes::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("text and a character") << QByteArray("a\xD6\xD0\x62") << QStringLiteral("a中b");
    QTest::newRow("0x80 is the euro sign") << QByteArray("\x80") << QStringLiteral("€");
    QTest::newRow("0xFF as Windows maps it") << QByteArray("\xFF"
                                                           "A")
                                             << QStringLiteral("\uF8F5A");
    QTest::newRow("lead byte before space") << QByteArray("\x81 ") << bad + u' ';
    QTest::newRow("lead byte before NUL") << QByteArray("\x81\0A", 3) << bad + QChar(0) + u'A';
    QTest::newRow("lead byte before DEL") << QByteArray("\x81\x7F") << bad + QChar(0x7F);
    QTest::newRow("lead byte before 0xFF") << QByteArray("\x81\xFF") << bad + QChar(0xF8F5);
    QTest::newRow("two bad sequences") << QByteArray("\x81\n\x82\n") << bad + u'\n' + bad + u'\n';
    QTest::newRow("lead byte before digit (no four-byte GB18030)")
        << QByteArray("\x81\x30\x81\x30") << bad + u'0' + bad + u'0';
    QTest::newRow("lead byte before a character")
        << QByteArray("\x81\xD6\xD0") << QStringLiteral("\u4F52"); // 0x81D6 is itself one
    QTest::newRow("user-defined area") << QByteArray("\xAA\xA1") << QStringLiteral("\uE000");
    QTest::newRow("lead byte at the end") << QByteArray("x\x81") << QStringLiteral("x");
}

// Each sequence decodes the same at once, byte by byte, and as the fuzz
// check works it out; a lead byte left at the end of one piece pairs with the
// next piece.
void TestCodes::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

#ifndef Q_OS_WIN
    // Qt's own GBK codec is ICU's, which Qt for Windows is built without;
    // test_gbk_table holds both platforms' conversion to ICU's table.
    QCOMPARE(QStringDecoder("GBK").decode(bytes), text);
#endif
    QCOMPARE(Gbk::Decoder().decode(bytes), text);
    QCOMPARE(ReceiveCheck::expectedText(bytes), text);
    Gbk::Decoder decoder;
    QString byByte;
    for (const char b : bytes)
        byByte += decoder.decode(QByteArrayView(&b, 1));
    QCOMPARE(byByte, text);

    byByte += decoder.decode("A\xD6\xD0");
    QCOMPARE(byByte, Gbk::Decoder().decode(bytes + "A\xD6\xD0"));
}

void TestCodes::keyPresses_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("character");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const struct
    {
        const char *name;
        int key;
        int modifiers;
        const char *text;
        const char *character;
    } rows[] = {
        {"letter", Qt::Key_A, none, "a", "a"},
        {"shifted letter", Qt::Key_A, Qt::ShiftModifier, "A", "A"},
        {"enter with text", Qt::Key_Return, none, "\r", "\r"},
        {"enter without text", Qt::Key_Return, none, "", "\r"},
        {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, "", "\r"},
        {"backspace", Qt::Key_Backspace, none, "", "\b"},
        {"escape", Qt::Key_Escape, none, "", "\x1b"},
        {"ctrl+a", Qt::Key_A, ctrl, "", "\x01"},
        {"ctrl+z", Qt::Key_Z, ctrl, "\x1a", "\x1a"},
        {"tab moves focus", Qt::Key_Tab, none, "\t", ""},
        {"backtab", Qt::Key_Backtab, Qt::ShiftModifier, "", ""},
        {"delete edits", Qt::Key_Delete, none, "\x7f", ""},
        {"arrow", Qt::Key_Left, none, "", ""},
        {"chinese text", Qt::Key_unknown, none, "中", "中"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.key << row.modifiers << QString::fromUtf8(row.text)
                                << QString::fromUtf8(row.character);
}

void TestCodes::keyPresses()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, character);

    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QCOMPARE(keyPressCharacter(event), character);
}

void TestCodes::portOrder_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("none") << QStringList {} << QStringList {};
    QTest::newRow("ttySAC is not a built-in ttyS")
        << QStringList {"/dev/ttySAC0", "/dev/ttyS3"} << QStringList {"/dev/ttyS3", "/dev/ttySAC0"};
    QTest::newRow("built-in first, then by name, each in numeric order")
        << QStringList {"/dev/ttyUSB10", "/dev/ttyS1",  "/dev/ttyACM1", "/dev/ttyUSB2",
                        "/dev/ttyS0",    "/dev/ttyS11", "/dev/ttyS2",   "/dev/ttyACM0"}
        << QStringList {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS11",
                        "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyUSB2", "/dev/ttyUSB10"};
}

void TestCodes::portOrder()
{
    QFETCH(QStringList, system);
    QFETCH(QStringList, ordered);
    QCOMPARE(orderedPortLocations(system), ordered);
}

QTEST_GUILESS_MAIN(TestCodes)
#include "test_codes.moc"
