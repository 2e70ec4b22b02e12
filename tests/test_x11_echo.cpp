// The whole program on a real X server: real key and mouse events from
// xdotool go into the window, out over a pseudo-terminal to an echoing board,
// and back into the receive box. Run under Xvfb with the xcb platform.
#include "fixture.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

namespace {

bool xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        qWarning() << "xdotool" << arguments << process.readAllStandardError();
        return false;
    }
    return true;
}

} // namespace

class TestX11Echo : public QObject
{
    Q_OBJECT

private slots:
    void typedCharactersComeBack();
};

void TestX11Echo::typedCharactersComeBack()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    FormFixture f;
    QVERIFY(f.start(FormFixture::Loaded));
    f.form.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    const Form1Controls &c = f.c;
    PtyBoard &board = f.board();
    QCOMPARE(c.zttext->text(), openedStatus(1));

    const QString window = QString::number(f.form.winId());
    QVERIFY(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    QTRY_VERIFY(f.form.isActiveWindow());

    // A real click in the send box clears the instructions.
    const QPoint inSendBox = c.fssj0->mapTo(&f.form, QPoint(40, 40));
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                     QString::number(inSendBox.x()), QString::number(inSendBox.y()),
                     QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY(!c.fssj0->isReadOnly());
    QTRY_COMPARE(QApplication::focusWidget(), c.fssj0);

    const QByteArray typed("Hello, board 123!");
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                     QString::fromLatin1(typed)}));
    QVERIFY(board.waitForReceived(typed.size(), 10000));
    QCOMPARE(board.received(), typed);
    QTRY_COMPARE(c.fssj1->text(), QString::fromLatin1(typed));
    QCOMPARE(c.fssj0->toPlainText(), QString::fromLatin1(typed));
    QCOMPARE(shownCodes(c), QStringLiteral("! 33 21H"));

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    QVERIFY(board.waitForReceived(typed.size() + 1));
    QCOMPARE(board.received().back(), '\r');
    QCOMPARE(shownCodes(c), QStringLiteral("\r 13 DH"));
}

QTEST_MAIN(TestX11Echo)
#include "test_x11_echo.moc"
