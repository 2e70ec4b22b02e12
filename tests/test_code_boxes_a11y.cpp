// The code boxes show every code whole, and what a screen reader is told:
// control names, the lit lamp, and the receive box's text. Run on a real X
// server (Xvfb), where Qt's accessibility is there to switch on, at scale 1,
// 1.5 and 2 (QT_SCALE_FACTOR).
#include "accessible_events.h"
#include "fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

} // namespace

class TestCodeBoxesA11y : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widestCodesShowWholeAndCentred_data();
    void widestCodesShowWholeAndCentred();
    void controlsAreNamedAfterTheirCaptions();
    void lampsSayWhichIsLit();
    void receiveBoxReadsAsText();
    void arrivalsAreAnnouncedGathered();
    void droppedTextIsAnnouncedInBoundedPieces();

private:
    std::unique_ptr<FormFixture> m_f; // no boards: nothing here talks to a port
};

void TestCodeBoxesA11y::init()
{
    m_f = std::make_unique<FormFixture>(QList<int> {});
    m_f->form.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&m_f->form));
}

void TestCodeBoxesA11y::cleanup()
{
    m_f.reset();
}

void TestCodeBoxesA11y::widestCodesShowWholeAndCentred_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal, most negative") << "Text2"
                                            << "-32768";
    QTest::newRow("decimal, a Chinese comma") << "Text2"
                                              << "-23636";
    QTest::newRow("decimal, widest digits") << "Text2"
                                            << "-10000";
    QTest::newRow("decimal, one digit") << "Text2"
                                        << "8";
    QTest::newRow("hexadecimal, widest") << "Text3"
                                         << "FFFFH";
    QTest::newRow("hexadecimal, Chinese") << "Text3"
                                          << "D6D0H";
    QTest::newRow("character") << "Text1"
                               << "中";
}

// The text fits inside the border, its ink is centred to within a few device
// pixels, and the box keeps its size from the table.
void TestCodeBoxesA11y::widestCodesShowWholeAndCentred()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    auto *edit = m_f->form.findChild<QLineEdit *>(box);
    QVERIFY(edit);
    QCOMPARE(edit->size(), QSize(41, 18));
    edit->setText(text);

    const QRect contents = edit->rect().adjusted(1, 1, -1, -1); // inside the border
    const int advance = edit->fontMetrics().horizontalAdvance(text);
    QVERIFY2(advance <= contents.width(),
             qPrintable(QStringLiteral("%1 is %2 px wide, the box has %3 px inside its border")
                            .arg(text)
                            .arg(advance)
                            .arg(contents.width())));

    // What the box really shows: the text's ink lies inside the border, with
    // as much room on the left as on the right, give or take the rounding of
    // pixel positions and a digit's own bearings.
    const QImage image = edit->grab().toImage();
    int left = image.width(), right = -1;
    const qreal ratio = image.devicePixelRatio();
    for (int y = int(ratio); y < image.height() - int(ratio); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > c.green()) { // red text on pale green, black border
                left = qMin(left, x);
                right = qMax(right, x);
            }
        }
    }
    QVERIFY2(right >= 0, "nothing drawn");
    QVERIFY2(left >= int(ratio) && right < image.width() - int(ratio),
             qPrintable(QStringLiteral("ink from %1 to %2 of %3 device pixels")
                            .arg(left)
                            .arg(right)
                            .arg(image.width())));
    const int leftRoom = left, rightRoom = image.width() - 1 - right;
    QVERIFY2(qAbs(leftRoom - rightRoom) <= qRound(3 * ratio),
             qPrintable(QStringLiteral("%1 device pixels free on the left, %2 on the right")
                            .arg(leftRoom)
                            .arg(rightRoom)));
}

void TestCodeBoxesA11y::controlsAreNamedAfterTheirCaptions()
{
    const Form1Controls &c = m_f->c;
    const QList<std::pair<QWidget *, QString>> expected {
        {c.Text1, "PC按键"},     {c.Text2, "10进制"},           {c.Text3, "16进制"},
        {c.zttext, "状态"},      {c.comdk, "串口选择"},         {c.fssj0, "PC发送数据窗"},
        {c.fssj1, "接收数据窗"}, {c.Frame1[0], "PC发送数据窗"}, {c.Frame1[1], "接收数据窗"},
        {c.Command1, "继电器"},  {c.Command2, "清 屏"},
    };
    for (const auto &[widget, name] : expected)
        QCOMPARE(accessible(widget)->text(QAccessible::Name), name);
    QCOMPARE(accessible(c.comdk)->role(), QAccessible::ComboBox);
    QCOMPARE(accessible(c.comdk)->text(QAccessible::Value), QStringLiteral("COM1"));
    QCOMPARE(accessible(c.comdk)->childCount(), 2); // the list and the text field
    QCOMPARE(accessible(c.comdk)->child(0)->role(), QAccessible::List);
    // Nothing visible changed.
    QCOMPARE(c.Label5->text(), QStringLiteral("10进制："));
    QCOMPARE(c.comdk->currentText(), QStringLiteral("COM1"));
}

void TestCodeBoxesA11y::lampsSayWhichIsLit()
{
    const Form1Controls &c = m_f->c;
    QCOMPARE(shownLamps(c), QStringLiteral("RGM")); // as built: green in front
    for (PictureBox *lamp : {c.LEDG, c.LEDR, c.LEDM2})
        QCOMPARE(accessible(lamp)->text(QAccessible::Name), QStringLiteral("指示灯：绿灯亮"));
    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
    for (PictureBox *lamp : {c.LEDG, c.LEDR, c.LEDM2})
        QCOMPARE(accessible(lamp)->text(QAccessible::Name), QStringLiteral("指示灯：红灯亮"));
    c.LEDR->hide();
    c.LEDM2->show();
    QCOMPARE(accessible(c.LEDM2)->text(QAccessible::Name), QStringLiteral("指示灯：不亮"));
}

void TestCodeBoxesA11y::receiveBoxReadsAsText()
{
    ReceiveView *view = m_f->c.fssj1;
    view->setText(QStringLiteral("中文 echo\r\nline two"));
    QAccessibleInterface *iface = accessible(view);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QVERIFY(iface->state().readOnly);
    QAccessibleTextInterface *text = iface->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 17);
    QCOMPARE(text->text(0, text->characterCount()), view->text());
    QCOMPARE(text->text(0, 2), QStringLiteral("中文"));
    QCOMPARE(iface->text(QAccessible::Value), view->text());

    QCOMPARE(text->selectionCount(), 0);
    text->setCursorPosition(3);
    QCOMPARE(view->cursorPosition(), 3);
    QCOMPARE(text->cursorPosition(), 3);
    text->setSelection(0, 3, 7);
    QCOMPARE(view->selectedText(), QStringLiteral("echo"));
    int start = -1, end = -1;
    text->selection(0, &start, &end);
    QCOMPARE(std::make_pair(start, end), std::make_pair(3, 7));
    text->removeSelection(0);
    QCOMPARE(text->selectionCount(), 0);

    // Where a character is on the screen, and back.
    const QRect rect = text->characterRect(12);
    QVERIFY(rect.isValid());
    QCOMPARE(text->offsetAtPoint(rect.center()), 12);
    QCOMPARE(text->textAtOffset(13, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("line two"));
}

// Text added is announced once per pass, at most one announcement per 100 ms;
// text dropped is announced at once, with the characters dropped.
void TestCodeBoxesA11y::arrivalsAreAnnouncedGathered()
{
    ReceiveView *view = m_f->c.fssj1;
    AccessibleEventsKept events;
    QTRY_VERIFY(QAccessible::isActive());
    const auto textEvents = [&] { return events.takeTextChanges(); };

    view->appendText(u"ab");
    for (const QChar ch : QStringLiteral("中文\r\n"))
        view->appendText(QStringView(&ch, 1));
    QCOMPARE(textEvents(), QStringList()); // nothing until the pass ends
    QCoreApplication::processEvents();
    QCOMPARE(textEvents(), QStringList({QStringLiteral("+0:ab中文\r\n")}));

    view->appendText(u"x");
    QCoreApplication::processEvents();
    view->appendText(u"y");
    QVERIFY(events.waitForTextChange());
    QCOMPARE(textEvents(), QStringList({QStringLiteral("+6:xy")}));

    // Cleared, then text again before the next announcement: what was there
    // goes at once, what came after it in one announcement.
    view->appendText(u"z");
    view->clear();
    QCOMPARE(textEvents(), QStringList({QStringLiteral("-0:ab中文\r\nxy")}));
    view->appendText(u"12");
    QVERIFY(events.waitForTextChange());
    QCOMPARE(textEvents(), QStringList({QStringLiteral("+0:12")}));

    // The oldest text dropped when the box is full: the characters dropped,
    // up to the line start where the drop ends.
    view->setMaximumCharacters(16);
    view->appendText(u"\r\nthird\r\n");
    QVERIFY(events.waitForTextChange());
    QCOMPARE(textEvents(), QStringList({QStringLiteral("+2:\r\nthird\r\n")}));
    view->appendText(u"fourth\r\n");
    QCOMPARE(textEvents(), QStringList({QStringLiteral("-0:12\r\nthird\r\n")}));
    QCOMPARE(view->text(), QStringLiteral("fourth\r\n"));
    QVERIFY(events.waitForTextChange());
    QCOMPARE(textEvents(), QStringList({QStringLiteral("+0:fourth\r\n")}));
}

// Clearing a box of more than one announcement's worth: pieces that together
// are the text, none larger than 64 Ki characters, none ending inside a pair.
void TestCodeBoxesA11y::droppedTextIsAnnouncedInBoundedPieces()
{
    ReceiveView *view = m_f->c.fssj1;
    AccessibleEventsKept events;
    QTRY_VERIFY(QAccessible::isActive());
    QString text(65535, u'a');
    text += QStringLiteral("😀"); // a pair across the 64 Ki boundary
    text += QString(80000, u'b');
    view->setText(text);
    QCoreApplication::processEvents();
    QCOMPARE(events.takeTextChanges().size(), 1); // the text, inserted

    view->clear();
    const QStringList pieces = events.takeTextChanges();
    QCOMPARE(pieces.size(), 3);
    QString removed;
    for (const QString &piece : pieces) {
        QVERIFY(piece.startsWith(u"-0:"));
        const QString chars = piece.mid(3);
        QVERIFY2(chars.size() <= 64 * 1024, qPrintable(QString::number(chars.size())));
        QVERIFY(!chars.back().isHighSurrogate());
        removed += chars;
    }
    QCOMPARE(removed.size(), text.size());
    QVERIFY(removed == text);
}

QTEST_MAIN(TestCodeBoxesA11y)
#include "test_code_boxes_a11y.moc"
