// Faults a user meets with the whole program: the board hanging up in the
// middle of a burst and coming back, a flood of typed keys, a megabyte of random and broken
// code page 936 in random pieces, the window closed while text pours in, and
// the inputs the receive-path fuzzer found, replayed. tests/test_program_faults.sh
// has those only the real program shows: signals, hostile lock files.
#include "fixture.h"
#include "fuzz/receive_check.h"
#include "serial/comm_error.h"
#include "serial/gbk.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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

// Line noise: words and spaces, line breaks, NULs, double-byte characters,
// lead bytes before bytes that cannot follow them, 0x80 and 0xFF, and plain
// random bytes.
QByteArray lineNoise(qsizetype size, QRandomGenerator &random)
{
    QByteArray bytes;
    while (bytes.size() < size) {
        switch (random.bounded(9)) {
        case 0: // a word of up to 20 letters, up to 3 spaces
            bytes += QByteArray(1 + random.bounded(20), char('a' + random.bounded(26)));
            bytes += QByteArray(random.bounded(4), ' ');
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

// Commands for ReceiveCheck::run: line noise appended by character and in
// pieces, with the box resized, cleared and limited in between.
QByteArray receiveCommands(quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray input;
    while (input.size() < 4000) {
        const int kind = random.bounded(40);
        if (kind == 0) {
            input += char(0xC0 + random.bounded(16)); // resize
            input += char(random.bounded(256));
        } else if (kind == 1) {
            input += char(0xD8); // a size limit
            input += char(random.bounded(256));
        } else if (kind == 2) {
            input += char(0xD0); // clear
        } else {
            const QByteArray data = lineNoise(1 + random.bounded(64), random);
            input += char((kind % 2 ? 0x00 : 0x40) + data.size() - 1); // by character or at once
            input += data;
        }
    }
    return input;
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

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void hangUpInTheMiddleOfABurstAndComingBack();
    void typingFlood();
    void megabyteOfBadBytesThroughTheWindow();
    void windowClosedWhileTextPoursIn();
    void receivePath_data();
    void receivePath();
};

// The board hangs up in the middle of a burst: reported in the status line
// only, nothing received is lost, keys and the relay meet a closed port and
// nothing keeps running; it comes back as another device and the user
// chooses COM1 again.
void TestFaults::hangUpInTheMiddleOfABurstAndComingBack()
{
    FormFixture f;
    QVERIFY(f.start());
    const Form1Controls &c = f.c;
    const QByteArray burst = numberedLines(100 * 1024);
    // Once everything has reached the program (decoded, as ASCII, one
    // character per byte) while the receive box is still being given it one
    // character per notification, the line goes away with notifications owed.
    bool hungUp = false;
    connect(c.MSComm1, &MSComm::OnComm, &f.board(), [&] {
        const qsizetype waiting = c.MSComm1->inBufferCount();
        if (!hungUp && waiting > 0 && c.fssj1->length() + waiting == burst.size()) {
            hungUp = true;
            f.board().hangUp();
        }
    });
    const bool sentAll = f.board().send(burst, 120000); // false when the hang-up comes first
    QVERIFY(sentAll || hungUp);
    QTRY_VERIFY_WITH_TIMEOUT(hungUp, 120000);

    QTRY_COMPARE_WITH_TIMEOUT(c.zttext->text(), lostStatus(1), 10000);
    QVERIFY(!c.MSComm1->PortOpen());
    QCOMPARE(shownLamps(c), QStringLiteral("RGM"));
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= burst.size(); }, 120000));
    QVERIFY(c.fssj1->text() == QString::fromLatin1(burst));
    QTest::keyClick(c.fssj0, Qt::Key_B);
    QCOMPARE(shownCodes(c), QStringLiteral("b 98 62H"));
    c.Command1->click();
    QVERIFY(idlesWithoutBusyLoop(2000));
    QCOMPARE(c.fssj1->length(), burst.size());
    QVERIFY(f.boxes.seen().isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    PtyBoard &back = f.addBoard(1);
    choose(c.comdk, 0);
    QCOMPARE(c.zttext->text(), openedStatus(1));
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QVERIFY(f.unlockSendBox());
    QTest::keyClicks(c.fssj0, QStringLiteral("back"));
    QVERIFY(back.waitForReceived(4));
    QCOMPARE(back.received(), QByteArray("back"));
    QTRY_VERIFY(c.fssj1->text() == QString::fromLatin1(burst + "back"));
    QCOMPARE(shownCodes(c), QStringLiteral("k 107 6BH"));
    QVERIFY(f.boxes.seen().isEmpty());
}

void TestFaults::typingFlood()
{
    FormFixture f;
    QVERIFY(f.start());
    // Keys a person might type, an Enter after every 60.
    static const char keys[] = "the quick brown fox jumps over 13 lazy dogs ";
    QByteArray expected;
    for (int i = 0; i < 10000; ++i)
        expected += i % 61 == 60 ? '\r' : keys[i % (sizeof keys - 1)];
    for (const char key : expected) {
        if (key == '\r')
            QTest::keyClick(f.c.fssj0, Qt::Key_Return);
        else
            QTest::keyClick(f.c.fssj0, key);
        // Each key is followed by one pass of the event loop, as when the
        // keyboard is faster than the program.
        QCoreApplication::processEvents();
    }
    QVERIFY(f.board().waitForReceived(expected.size(), 120000));
    QVERIFY(spinEventLoopUntil([&] { return f.c.fssj1->length() >= expected.size(); }, 120000));
    QVERIFY(f.board().received() == expected);
    QVERIFY(f.c.fssj1->text() == QString::fromLatin1(expected));
    QString shown = QString::fromLatin1(expected);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QVERIFY(f.c.fssj0->toPlainText() == shown);
}

void TestFaults::megabyteOfBadBytesThroughTheWindow()
{
    QRandomGenerator random(20);
    const QByteArray bytes = lineNoise(1 << 20, random);
    const QString expected = ReceiveCheck::expectedText(bytes);
    QVERIFY(expected.contains(QChar::ReplacementCharacter));
    QCOMPARE(QStringDecoder("GBK").decode(bytes), expected);

    FormFixture f;
    f.board().setEcho(false);
    QVERIFY(f.start(FormFixture::Loaded));
    const Form1Controls &c = f.c;
    QVERIFY(c.MSComm1->PortOpen());
    const auto decoded = [&] { return c.fssj1->length() + c.MSComm1->inBufferCount(); };

    // Each piece is read by the program before the next is sent, so the
    // decoder gets the bytes in these pieces, split anywhere.
    Gbk::Decoder reference;
    qsizetype from = 0;
    qsizetype characters = 0;
    for (const qsizetype length : pieceLengths(bytes.size(), 7)) {
        const QByteArray piece = bytes.mid(from, length);
        from += length;
        characters += reference.decode(piece).size();
        QVERIFY(f.board().send(piece, 60000));
        QVERIFY(spinEventLoopUntil(
            [&] { return decoded() >= characters && f.board().pendingForProgram() == 0; }, 60000));
    }
    QCOMPARE(characters, expected.size());
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= expected.size(); }, 600000));
    const QString shown = c.fssj1->text();
    QVERIFY2(shown == expected, qPrintable(firstDifference(shown, expected)));

    // The program is still there for the user.
    QVERIFY(c.MSComm1->PortOpen());
    c.Command1->click();
    QVERIFY(f.board().waitForReceived(1));
    QCOMPARE(f.board().received(), QByteArray("K"));
    QVERIFY(f.board().send("ok"));
    QTRY_COMPARE(c.fssj1->text().right(2), QStringLiteral("ok"));
}

// The window goes while text is still owed to the receive box: the serial
// control has closed the port, and released the device to other programs,
// before the receive box it notifies is destroyed.
void TestFaults::windowClosedWhileTextPoursIn()
{
    bool boxDestroyed = false;
    bool openWhenBoxWent = true;
    QString takenWhenBoxWent;
    {
        FormFixture f;
        f.board().setEcho(false);
        QVERIFY(f.start(FormFixture::Loaded));
        const QString device = f.board().slavePath();
        QVERIFY(f.board().send(numberedLines(256 * 1024)));
        QVERIFY(spinEventLoopUntil([&] { return f.c.fssj1->length() > 0; }, 30000));
        const MSComm *comm = f.c.MSComm1;
        QObject::connect(f.c.fssj1, &QObject::destroyed, [&, comm, device] {
            boxDestroyed = true;
            openWhenBoxWent = comm->PortOpen();
            MSComm other(ptyLocator({{1, device}}));
            try {
                other.setPortOpen(true);
            } catch (const CommError &error) {
                takenWhenBoxWent = error.message();
            }
        });
    }
    QVERIFY(boxDestroyed);
    QVERIFY2(!openWhenBoxWent, "the port was still open when the receive box was destroyed");
    QVERIFY2(takenWhenBoxWent.isEmpty(), qPrintable(takenWhenBoxWent));
}

// The receive path checked by fuzz/receive_check on the inputs the fuzzer
// was seeded with and found, and on inputs made here from fixed seeds.
void TestFaults::receivePath_data()
{
    QTest::addColumn<QByteArray>("input");
    for (const QString &folder : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
        const QDir dir(QStringLiteral(FUZZ_DIR "/") + folder);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(folder + u'/' + name)) << file.readAll();
        }
    }
    for (quint32 seed = 1; seed <= 50; ++seed)
        QTest::addRow("seed %u", seed) << receiveCommands(seed);
}

void TestFaults::receivePath()
{
    QFETCH(QByteArray, input);
    const QString broken = ReceiveCheck::run(input);
    QVERIFY2(broken.isEmpty(), qPrintable(broken.left(2000)));
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
