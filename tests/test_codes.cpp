// Character codes of typed keys and the characters key presses produce.
#include "console/char_codes.h"
#include "controls/text_box_events.h"

#include <QKeyEvent>
#include <QTest>

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void codes_data();
    void codes();
    void charactersWithoutCode_data();
    void charactersWithoutCode();
    void keyPresses_data();
    void keyPresses();
};

void TestCodes::codes_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("hex");

    QTest::newRow("letter") << "A"
                            << "65"
                            << "41H";
    QTest::newRow("space") << " "
                           << "32"
                           << "20H";
    QTest::newRow("enter") << "\r"
                           << "13"
                           << "DH";
    QTest::newRow("backspace") << "\b"
                               << "8"
                               << "8H";
    QTest::newRow("nul") << QString(QChar(0)) << "0"
                         << "0H";
    QTest::newRow("highest single byte") << "\x7f"
                                         << "127"
                                         << "7FH";
    QTest::newRow("euro, single byte in cp936") << "€"
                                                << "128"
                                                << "80H";
    QTest::newRow("chinese") << "中"
                             << "-10544"
                             << "D6D0H";
    QTest::newRow("full-width comma") << "，"
                                      << "-23636"
                                      << "A3ACH";
    QTest::newRow("lowest double byte") << "丂"
                                        << "-32448"
                                        << "8140H";
}

void TestCodes::codes()
{
    QFETCH(QString, character);
    QFETCH(QString, decimal);
    QFETCH(QString, hex);

    const auto code = ansiCode(character);
    QVERIFY(code.has_value());
    QCOMPARE(decimalCode(*code), decimal);
    QCOMPARE(hexCode(*code), hex);
}

void TestCodes::charactersWithoutCode_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("emoji (surrogate pair)") << QString::fromUtf8("😀");
    QTest::newRow("korean syllable") << QString::fromUtf8("한");
    QTest::newRow("no-break space") << QString(QChar(0x00A0));
    QTest::newRow("lone surrogate") << QString(QChar(0xD800));
}

void TestCodes::charactersWithoutCode()
{
    QFETCH(QString, character);
    QVERIFY(!ansiCode(character).has_value());
}

void TestCodes::keyPresses_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("character");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("letter") << int(Qt::Key_A) << none << "a"
                            << "a";
    QTest::newRow("shifted letter") << int(Qt::Key_A) << int(Qt::ShiftModifier) << "A"
                                    << "A";
    QTest::newRow("enter with text") << int(Qt::Key_Return) << none << "\r"
                                     << "\r";
    QTest::newRow("enter without text") << int(Qt::Key_Return) << none << ""
                                        << "\r";
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << ""
                                  << "\r";
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << ""
                               << "\b";
    QTest::newRow("escape") << int(Qt::Key_Escape) << none << ""
                            << "\x1b";
    QTest::newRow("ctrl+a") << int(Qt::Key_A) << ctrl << ""
                            << "\x01";
    QTest::newRow("ctrl+z") << int(Qt::Key_Z) << ctrl << "\x1a"
                            << "\x1a";
    QTest::newRow("tab moves focus") << int(Qt::Key_Tab) << none << "\t"
                                     << "";
    QTest::newRow("backtab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << ""
                             << "";
    QTest::newRow("delete edits") << int(Qt::Key_Delete) << none << "\x7f"
                                  << "";
    QTest::newRow("arrow") << int(Qt::Key_Left) << none << ""
                           << "";
    QTest::newRow("chinese text") << int(Qt::Key_unknown) << none << "中"
                                  << "中";
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

QTEST_GUILESS_MAIN(TestCodes)
#include "test_codes.moc"
