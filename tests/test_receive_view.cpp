// The receive box: text kept as received, wrapping, the caret and the view,
// selection and copying, and the size limit.
#include "controls/receive_view.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

// The box as the program shows it: 400 x 130 pixels, 12-pixel WenQuanYi.
void setUpView(ReceiveView &view)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(12);
    view.setFont(font);
    view.resize(400, 130);
}

QStringList visualLines(const ReceiveView &view)
{
    QStringList lines;
    for (qsizetype line = 0; line < view.visualLineCount(); ++line)
        lines.append(view.visualLineText(line));
    return lines;
}

// Width of text as the box lays it out: the sum of its characters' advances,
// line breaks taking none.
qreal textWidth(const ReceiveView &view, QStringView text)
{
    const QFontMetricsF metrics(view.font(), &view);
    qreal width = 0;
    for (const QChar c : text) {
        if (c != u'\r' && c != u'\n')
            width += metrics.horizontalAdvance(c);
    }
    return width;
}

void appendByCharacter(ReceiveView &view, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        view.appendText(text.sliced(i, 1));
}

QString numberedLines(int count, const QString &lineEnd)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1").arg(i, 3, 10, QLatin1Char('0')) + lineEnd;
    return text;
}

} // namespace

class TestReceiveView : public QObject
{
    Q_OBJECT

private slots:
    void keepsTextAndBreaksLines_data();
    void keepsTextAndBreaksLines();
    void wrapsAfterTheLastSpaceThatFits();
    void wrapsAtCharactersWithoutSpaces();
    void wrapsChineseByWidth();
    void rewrapsOnResize();
    void caretKeysMoveAndViewFollows();
    void appendingMovesNeitherCaretNorView();
    void selectsAndCopies();
    void fullBoxDropsOldestText();
    void largeBoxAcrossBlocks();
    void textChangedReachesListenersOnly();
    void ignoresTypingButTakesInputMethodEvents();
    void paints();
};

void TestReceiveView::keepsTextAndBreaksLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("no break") << QStringLiteral("abc") << 1;
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("CR LF") << QStringLiteral("ab\r\ncd") << 2;
    QTest::newRow("lone CR") << QStringLiteral("ab\rcd") << 2;
    QTest::newRow("lone LF") << QStringLiteral("ab\ncd") << 2;
    QTest::newRow("LF CR") << QStringLiteral("ab\n\rcd") << 3;
    QTest::newRow("CR CR") << QStringLiteral("ab\r\rcd") << 3;
    QTest::newRow("CR LF CR LF") << QStringLiteral("a\r\n\r\nb") << 3;
    QTest::newRow("ends with CR LF") << QStringLiteral("ab\r\n") << 2;
    QTest::newRow("ends with CR") << QStringLiteral("ab\r") << 2;
    QTest::newRow("only breaks") << QStringLiteral("\r\n\n\r") << 4;
    QTest::newRow("control characters")
        << QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c\x1b[0m\x7f\b") << 1;
}

void TestReceiveView::keepsTextAndBreaksLines()
{
    QFETCH(QString, text);
    QFETCH(int, lines);

    ReceiveView whole;
    setUpView(whole);
    whole.setText(text);
    QCOMPARE(whole.text(), text);
    QCOMPARE(whole.length(), text.size());
    QCOMPARE(whole.visualLineCount(), lines);
    QCOMPARE(visualLines(whole).join(QString()), text);

    // One character per append puts CR and LF in separate appends.
    ReceiveView byCharacter;
    setUpView(byCharacter);
    appendByCharacter(byCharacter, text);
    QCOMPARE(byCharacter.text(), text);
    QCOMPARE(visualLines(byCharacter), visualLines(whole));
    // Other splits: the receive path in tests/test_faults.
}

void TestReceiveView::wrapsAfterTheLastSpaceThatFits()
{
    ReceiveView view;
    setUpView(view);
    view.setText(
        QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa ").repeated(8));
    const QStringList lines = visualLines(view);
    QVERIFY(lines.size() > 3);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString &line = lines.at(i);
        QVERIFY2(line.endsWith(u' ') && !lines.at(i + 1).startsWith(u' '), qPrintable(line));
        QVERIFY(textWidth(view, line.trimmed()) <= view.wrapWidth());
        const QString nextWord = lines.at(i + 1).section(u' ', 0, 0);
        QVERIFY2(textWidth(view, line + nextWord) > view.wrapWidth(), qPrintable(line));
    }

    // A word longer than a line leaves the line after its space, then is
    // broken where it does not fit.
    view.setText(QStringLiteral("ab ") + QString(300, u'x'));
    QCOMPARE(view.visualLineText(0), QStringLiteral("ab "));
    QVERIFY(view.visualLineCount() > 2);
}

void TestReceiveView::wrapsAtCharactersWithoutSpaces()
{
    ReceiveView view;
    setUpView(view);
    view.setText(QStringLiteral("0123456789ABCDEF").repeated(40));
    const QStringList lines = visualLines(view);
    QVERIFY(lines.size() > 3);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QVERIFY(textWidth(view, lines.at(i)) <= view.wrapWidth());
        QVERIFY(textWidth(view, lines.at(i) + lines.at(i + 1).front()) > view.wrapWidth());
    }
}

void TestReceiveView::wrapsChineseByWidth()
{
    ReceiveView view;
    setUpView(view);
    const qreal advance = textWidth(view, u"中");
    QVERIFY(advance > 0);
    view.setText(QStringLiteral("中文显示测试").repeated(50));
    const qsizetype perLine = qsizetype(view.wrapWidth() / advance);
    const QStringList lines = visualLines(view);
    QCOMPARE(lines.size(), (300 + perLine - 1) / perLine);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QCOMPARE(lines.at(i).size(), perLine);

    // A line may break between Chinese characters, so a Latin word after
    // them moves to the next line whole.
    const qsizetype fitting = qsizetype((view.wrapWidth() - textWidth(view, u"abc")) / advance);
    view.setText(QString(fitting, u'中') + QStringLiteral("abcdefgh"));
    QCOMPARE(visualLines(view), QStringList({QString(fitting, u'中'), QStringLiteral("abcdefgh")}));

    // Characters that fill a line to the last pixel all stay on it.
    QCOMPARE(advance, qreal(qRound(advance)));
    view.resize(view.width() - qRound(view.wrapWidth()) % qRound(advance), view.height());
    QCOMPARE(qRound(view.wrapWidth()) % qRound(advance), 0);
    const qsizetype full = qRound(view.wrapWidth() / advance);
    view.setText(QString(3 * full, u'中'));
    QCOMPARE(visualLines(view), QStringList(3, QString(full, u'中')));
}

void TestReceiveView::rewrapsOnResize()
{
    const QString text =
        QStringLiteral("one two three four five six seven eight nine ten\r\n").repeated(40);
    ReceiveView view;
    setUpView(view);
    view.show();
    view.setText(text);
    const qsizetype wideLines = view.visualLineCount();
    view.setCursorPosition(text.size() / 2);
    const int first = view.firstVisibleLine();
    QVERIFY(first > 0);
    qsizetype topCharacter = 0;
    for (int line = 0; line < first; ++line)
        topCharacter += view.visualLineText(line).size();

    view.resize(200, 130);
    QVERIFY(view.visualLineCount() > wideLines);

    // The character that was at the top of the view stays on its top line.
    qsizetype newTop = 0;
    for (int line = 0; line < view.firstVisibleLine(); ++line)
        newTop += view.visualLineText(line).size();
    QVERIFY(newTop <= topCharacter);
    QVERIFY(topCharacter < newTop + view.visualLineText(view.firstVisibleLine()).size());

    view.resize(400, 130);
    QCOMPARE(view.visualLineCount(), wideLines);
}

void TestReceiveView::caretKeysMoveAndViewFollows()
{
    ReceiveView view;
    setUpView(view);
    const QString text = numberedLines(100, QStringLiteral("\r\n")); // 10 characters a line
    view.setText(text);
    const int shown = view.visibleLineCount();
    QVERIFY(shown >= 3);
    QCOMPARE(view.cursorPosition(), 0);

    for (int i = 1; i < shown; ++i)
        QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.cursorPosition(), 10 * (shown - 1));
    QCOMPARE(view.firstVisibleLine(), 0);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.firstVisibleLine(), 1);
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(view.firstVisibleLine(), 1);

    const qsizetype lineStart = view.cursorPosition();
    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.cursorPosition(), lineStart + 8);
    QTest::keyClick(&view, Qt::Key_Right); // over CR LF at once
    QCOMPARE(view.cursorPosition(), lineStart + 10);
    QTest::keyClick(&view, Qt::Key_Left);
    QCOMPARE(view.cursorPosition(), lineStart + 8);
    QTest::keyClick(&view, Qt::Key_Home);
    QCOMPARE(view.cursorPosition(), lineStart);

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), text.size());
    QCOMPARE(view.firstVisibleLine(), view.visualLineCount() - shown);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), 0);
    QCOMPARE(view.firstVisibleLine(), 0);

    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QCOMPARE(view.firstVisibleLine(), shown);
    QCOMPARE(view.cursorPosition(), 10 * shown + 1);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QCOMPARE(view.firstVisibleLine(), shown);
    QCOMPARE(view.cursorPosition(), 10 * shown + 1);
}

void TestReceiveView::appendingMovesNeitherCaretNorView()
{
    ReceiveView view;
    setUpView(view);
    view.setText(numberedLines(3, QStringLiteral("\n")));
    view.setCursorPosition(5);
    appendByCharacter(view, numberedLines(200, QStringLiteral("\r\n")));
    QCOMPARE(view.cursorPosition(), 5);
    QCOMPARE(view.firstVisibleLine(), 0);

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    const int first = view.firstVisibleLine();
    const qsizetype end = view.cursorPosition();
    QCOMPARE(end, view.length());
    appendByCharacter(view, QString(5000, u'z'));
    QCOMPARE(view.firstVisibleLine(), first);
    QCOMPARE(view.cursorPosition(), end);
    QVERIFY(view.visualLineCount() > first + view.visibleLineCount());

    // Only the caret keys reach text beyond the view; the wheel does not.
    const QPointF centre = QRectF(view.rect()).center();
    QWheelEvent wheel(centre, view.mapToGlobal(centre), QPoint(), QPoint(0, 360), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    QCOMPARE(view.firstVisibleLine(), first);
}

void TestReceiveView::selectsAndCopies()
{
    ReceiveView view;
    setUpView(view);
    view.show();
    view.setText(QStringLiteral("hello world\r\nsecond line"));
    QClipboard *clipboard = QGuiApplication::clipboard();

    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("hello"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("hello"));
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("hello world"));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("hello world\r\nsecond line"));
    QTest::keyClick(&view, Qt::Key_Left);
    QVERIFY(!view.hasSelectedText());
    QCOMPARE(view.cursorPosition(), 0);

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), view.text());

    // Dragging over the first line selects it, up to its line break.
    const QRect area = view.contentsRect();
    const int firstRow = area.top() + 4 + view.fontMetrics().height() / 2;
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(area.left() + 4, firstRow));
    QVERIFY(!view.hasSelectedText());
    QTest::mouseMove(&view, QPoint(area.right() - 2, firstRow));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(area.right() - 2, firstRow));
    QCOMPARE(view.selectedText(), QStringLiteral("hello world"));
    QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(area.left() + 6, firstRow));
    QCOMPARE(view.selectedText(), QStringLiteral("hello"));

    std::unique_ptr<QMenu> menu(view.createStandardContextMenu());
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("复制"));
    QCOMPARE(actions.at(2)->text(), QStringLiteral("全选"));
    clipboard->clear();
    actions.at(0)->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("hello"));
    actions.at(2)->trigger();
    QCOMPARE(view.selectedText(), view.text());

    view.setCursorPosition(3);
    menu.reset(view.createStandardContextMenu());
    QVERIFY(!menu->actions().at(0)->isEnabled());
}

void TestReceiveView::fullBoxDropsOldestText()
{
    ReceiveView view;
    setUpView(view);
    view.setMaximumCharacters(1000);

    const QString text = numberedLines(400, QStringLiteral("\r\n"));
    view.appendText(QStringView(text).first(600));
    view.setCursorPosition(500); // on "line 050"
    for (qsizetype i = 600; i < 1100; ++i) {
        view.appendText(QStringView(text).sliced(i, 1));
        QVERIFY(view.length() <= 1000);
    }
    QVERIFY(!text.startsWith(view.text()));
    QCOMPARE(view.text().mid(view.cursorPosition(), 8), QStringLiteral("line 050"));
    appendByCharacter(view, QStringView(text).sliced(1100));
    QVERIFY(view.length() <= 1000);
    QVERIFY(view.length() >= 1000 - 1000 / 8 - 10);
    QVERIFY(text.endsWith(view.text()));
    QVERIFY(view.text().startsWith(QStringLiteral("line ")));
    QCOMPARE(view.cursorPosition(), 0); // its line was dropped

    // That what is left is laid out as if it had arrived alone is checked
    // with the receive path in tests/test_faults.
    view.appendText(QString(3000, u'x'));
    QCOMPARE(view.text(), QString(1000, u'x'));

    // A limit shorter than one visual line (zero-width characters never wrap).
    view.setMaximumCharacters(100);
    appendByCharacter(view, QString(300, QChar(0)));
    QVERIFY(view.length() <= 100);
    QCOMPARE(view.text(), QString(view.length(), QChar(0)));
}

// A box holding several blocks of its store: the oldest text goes a block at
// a time, and what is held, its visual lines and pieces of it read across
// block boundaries are what a box given the same text at once shows.
void TestReceiveView::largeBoxAcrossBlocks()
{
    ReceiveView view;
    setUpView(view);
    constexpr qsizetype kLimit = 3 * WrappedText::kBlockCharacters + 123;
    view.setMaximumCharacters(kLimit);

    // Lines of many lengths, ending in CR LF, LF, CR or not at all, with
    // Chinese, surrogate pairs and runs longer than a visual line.
    QString stream;
    for (int i = 0; stream.size() < 5 * kLimit; ++i) {
        stream += QStringLiteral("line %1 ").arg(i) + QString(i % 97, QChar(u'a' + i % 26));
        const QStringList endings {QStringLiteral("\r\n"), QStringLiteral("\n"),
                                   QStringLiteral("中文😀 "), QStringLiteral("\r"),
                                   QString(1500, u'x')};
        stream += endings.at(i % endings.size());
    }
    // Pieces of many sizes, so that pieces, drops and blocks meet everywhere.
    qsizetype piece = 1;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        piece = piece * 7 % 40009 + 1;
        view.appendText(QStringView(stream).sliced(at, qMin(piece, stream.size() - at)));
        QVERIFY(view.length() <= kLimit);
    }

    const QString held = view.text();
    QCOMPARE(held.size(), view.length());
    QVERIFY(held.size() >= kLimit - kLimit / 8 - WrappedText::kMaxLineCharacters - 2);
    QVERIFY(stream.endsWith(held));
    for (const qsizetype from : {qsizetype(0), WrappedText::kBlockCharacters - 3,
                                 2 * WrappedText::kBlockCharacters - 1, held.size() - 5})
        QCOMPARE(view.mid(from, 10), held.mid(from, 10));
    QCOMPARE(view.mid(-3, 10), held.mid(-3, 10));
    QCOMPARE(view.mid(held.size() - 2, 10), held.mid(held.size() - 2, 10));

    const QStringList lines = visualLines(view);
    QCOMPARE(lines.join(QString()), held);
    ReceiveView fresh;
    setUpView(fresh);
    fresh.setMaximumCharacters(kLimit);
    fresh.setText(held);
    QCOMPARE(lines, visualLines(fresh));

    view.selectAll();
    QCOMPARE(view.selectedText(), held);
    view.clear();
    view.appendText(u"after");
    QCOMPARE(view.text(), QStringLiteral("after"));
    QCOMPARE(visualLines(view), QStringList {QStringLiteral("after")});
}

// textChanged goes out to whatever is connected, also to a listener that
// connects after the box has been working without one: what a pass of the
// event loop appends in one signal after the pass, or before a removal.
void TestReceiveView::textChangedReachesListenersOnly()
{
    ReceiveView view;
    setUpView(view);
    view.setMaximumCharacters(10);
    view.appendText(u"abc");
    {
        QSignalSpy spy(&view, &ReceiveView::textChanged);
        QVERIFY(spy.isValid());
        view.appendText(u"de");
        view.appendText(u"f");
        QCOMPARE(spy.size(), 0);
        QCoreApplication::processEvents();
        view.appendText(u"gh");
        view.appendText(u"ijk"); // one too many: the oldest go
        view.clear();
        QCoreApplication::processEvents();
        const QList<QList<QVariant>> expected {{0, 3}, {0, 5}, {2, 0}, {9, 0}};
        QCOMPARE(spy.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(spy.at(i).at(0).value<qsizetype>(), expected.at(i).at(0).toLongLong());
            QCOMPARE(spy.at(i).at(1).value<qsizetype>(), expected.at(i).at(1).toLongLong());
        }
    }
    view.appendText(u"no listener");
    QCOMPARE(view.text(), QStringLiteral("o listener"));
}

void TestReceiveView::ignoresTypingButTakesInputMethodEvents()
{
    ReceiveView view;
    setUpView(view);
    view.setText(QStringLiteral("received"));
    QTest::keyClicks(&view, QStringLiteral("abc"));
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(view.text(), QStringLiteral("received"));

    QVERIFY(view.testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(view.inputMethodQuery(Qt::ImEnabled).toBool());
    QVERIFY(view.inputMethodQuery(Qt::ImCursorRectangle).toRect().isValid());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中"));
    QVERIFY(QCoreApplication::sendEvent(&view, &commit));
    QCOMPARE(view.text(), QStringLiteral("received"));
}

// Text of every kind on white, and the caret only while the box has the focus.
void TestReceiveView::paints()
{
    ReceiveView view;
    setUpView(view);
    view.setText(QStringLiteral("中文 text") + QChar(0) + QStringLiteral("\x1b\t😀\r\n")
                 + QString(20, u'W') + QStringLiteral("\r\n"));
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    const QImage image = view.grab().toImage();
    const QRect area = view.contentsRect().adjusted(4, 4, -4, -4);
    QCOMPARE(image.pixelColor(area.center().x(), area.bottom()), QColor(Qt::white));
    int dark = 0;
    for (int x = area.left(); x < area.left() + 60; ++x) {
        for (int y = area.top(); y < area.top() + view.fontMetrics().height(); ++y)
            dark += qGray(image.pixel(x, y)) < 128;
    }
    QVERIFY(dark > 20);

    const int row = area.top() + 2 * view.fontMetrics().height() + 2; // third line
    const auto caretDrawn = [&] {
        return qGray(view.grab().toImage().pixel(area.left(), row)) < 128;
    };
    QVERIFY(!caretDrawn());
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(caretDrawn());
    view.clearFocus();
    QVERIFY(!caretDrawn());
}

QTEST_MAIN(TestReceiveView)
#include "test_receive_view.moc"
