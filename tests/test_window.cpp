// Form1: its controls, geometry, stacking, focus and initial state.
#include "app/control_table.h"
#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

PortLocator noPorts()
{
    return [](int) { return QString(); };
}

QRect pixels(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyControlOfTheTable();
    void labelsSizeThemselvesToTheirCaption();
    void windowSettings();
    void initialState();
    void lampsShareOneSpotGreenInFront();
    void drawingBoxShowsOnlyItsBackground();
    void codeBoxesColours();
    void tabSkipsBoxesThatAreNoTabStops();
    void resizingKeepsEveryControl();
    void typingInThePortListChangesOnlyItsText();

private:
    Form1 *m_form = nullptr;
};

void TestWindow::init()
{
    m_form = new Form1(noPorts());
}

void TestWindow::cleanup()
{
    delete m_form;
    m_form = nullptr;
}

void TestWindow::everyControlOfTheTable()
{
    const QList<ControlRow> &table = form1ControlTable();
    QCOMPARE(table.size(), 21);
    QCOMPARE(table.first().name, QStringLiteral("MSComm1"));
    QVERIFY(m_form->findChild<MSComm *>(QStringLiteral("MSComm1")));

    for (const ControlRow &row : table) {
        if (row.kind == ControlKind::SerialControl || row.kind == ControlKind::Label)
            continue;
        auto *widget = m_form->findChild<QWidget *>(row.name);
        QVERIFY2(widget, qPrintable(row.name));
        const QString container = row.container.isEmpty() ? QStringLiteral("Form1") : row.container;
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(), pixels(row.left, row.top, row.width, row.height));
        QVERIFY2(widget->isVisibleTo(m_form), qPrintable(row.name));
        QVERIFY2(widget->isEnabled(), qPrintable(row.name));
    }

    // A few controls checked by kind and text, independently of the table.
    const Form1Controls &c = m_form->controls();
    QCOMPARE(c.Frame1[0]->title(), QStringLiteral("PC发送数据窗"));
    QCOMPARE(c.Frame1[1]->title(), QStringLiteral("接收数据窗"));
    QCOMPARE(c.Command1->text(), QStringLiteral("继电器"));
    QCOMPARE(c.Command2->text(), QStringLiteral("清 屏"));
    QCOMPARE(c.fssj0->geometry(), QRect(104, 16, 401, 129));
    QCOMPARE(c.zttext->geometry(), QRect(184, 334, 337, 23));
}

void TestWindow::labelsSizeThemselvesToTheirCaption()
{
    const Form1Controls &c = m_form->controls();
    const struct
    {
        QLabel *label;
        QString text;
        QRect table;
    } labels[] = {
        {c.Label4, QStringLiteral("16进制："), pixels(120, 1380, 720, 180)},
        {c.Label5, QStringLiteral("10进制："), pixels(120, 900, 720, 180)},
        {c.Label3, QStringLiteral("PC按键："), pixels(120, 405, 720, 180)},
        {c.Label2, QStringLiteral("状态："), pixels(2160, 5080, 540, 180)},
        {c.Label1, QStringLiteral("串口选择："), pixels(120, 5100, 900, 180)},
    };
    for (const auto &l : labels) {
        QCOMPARE(l.label->text(), l.text);
        QCOMPARE(l.label->pos(), l.table.topLeft());
        // The font is chosen so that the captions come out at the laid-out size.
        QVERIFY2(
            qAbs(l.label->width() - l.table.width()) <= 2,
            qPrintable(l.text
                       + QStringLiteral(": %1x%2").arg(l.label->width()).arg(l.label->height())));
        QVERIFY2(qAbs(l.label->height() - l.table.height()) <= 2, qPrintable(l.text));
    }
}

void TestWindow::windowSettings()
{
    QVERIFY(m_form->windowTitle().startsWith(QStringLiteral(" RS-232串行通信测试程序  ")));
    QVERIFY(m_form->windowTitle().size() > 20);
    QCOMPARE(m_form->size(), QSize(529, 365));
    const Qt::WindowFlags flags = m_form->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!m_form->windowIcon().isNull());
    QVERIFY(m_form->windowIcon().availableSizes().contains(QSize(32, 32)));
}

void TestWindow::initialState()
{
    const Form1Controls &c = m_form->controls();
    const QString prompt = c.fssj0->toPlainText();
    QVERIFY(prompt.startsWith(QStringLiteral("请点击此处激活输入窗口，")));
    QVERIFY(prompt.endsWith(QStringLiteral("会显示在接收数据窗中。\n")));
    QVERIFY(c.fssj0->isReadOnly());
    QCOMPARE(c.fssj1->text(), QString());
    QCOMPARE(c.Text1->text(), QString());
    QCOMPARE(c.Text2->text(), QString());
    QCOMPARE(c.Text3->text(), QString());
    QCOMPARE(c.zttext->text(), QString());
    QVERIFY(c.zttext->isReadOnly());
    QVERIFY(!c.Text1->isReadOnly());

    QCOMPARE(c.comdk->currentText(), QStringLiteral("COM1"));
    QCOMPARE(c.comdk->count(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(c.comdk->itemText(i), QStringLiteral("COM%1").arg(i + 1));
        QCOMPARE(c.comdk->itemData(i).toInt(), 0);
    }
    QVERIFY(!c.MSComm1->PortOpen());
    QCOMPARE(m_form->module1().portNo, quint8(0));
    QCOMPARE(m_form->module1().relayState, false);
    QCOMPARE(m_form->module1().keyChar, QString());
}

void TestWindow::lampsShareOneSpotGreenInFront()
{
    const Form1Controls &c = m_form->controls();
    QCOMPARE(c.LEDG->geometry(), QRect(80, 120, 17, 16));
    QCOMPARE(c.LEDR->geometry(), c.LEDG->geometry());
    QCOMPARE(c.LEDM2->geometry(), c.LEDG->geometry());
    for (PictureBox *lamp : {c.LEDG, c.LEDR, c.LEDM2})
        QCOMPARE(lamp->pictureSize(), lamp->size());

    const QPoint spot = c.LEDG->geometry().center();
    QWidget *frame = c.Frame1[0];
    QCOMPARE(frame->childAt(spot), c.LEDG);
    c.LEDG->hide();
    QCOMPARE(frame->childAt(spot), c.LEDR);
    c.LEDR->hide();
    QCOMPARE(frame->childAt(spot), c.LEDM2);
}

void TestWindow::drawingBoxShowsOnlyItsBackground()
{
    PictureBox *picture = m_form->controls().Picture1;
    QCOMPARE(picture->pictureSize(), QSize(439, 338));
    m_form->show();
    const QImage shown = picture->grab().toImage();
    const QRgb background = picture->palette().color(QPalette::Window).rgb();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            QCOMPARE(shown.pixel(x, y), background);
}

void TestWindow::codeBoxesColours()
{
    m_form->show();
    for (QLineEdit *box : {m_form->controls().Text1, m_form->controls().Text2})
        QCOMPARE(box->grab().toImage().pixelColor(box->width() / 2, box->height() / 2),
                 QColor(192, 255, 192));
    QCOMPARE(m_form->controls().Text3->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

void TestWindow::tabSkipsBoxesThatAreNoTabStops()
{
    QVERIFY(showAndActivate(*m_form));
    const Form1Controls &c = m_form->controls();
    QTRY_COMPARE(QApplication::focusWidget(), c.fssj0);

    QList<QWidget *> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    const QList<QWidget *> expected {c.comdk, c.Command1, c.Command2, c.fssj0};
    QCOMPARE(visited, expected);
    // Tab did not put a tab character into the send box or unlock it.
    QVERIFY(c.fssj0->isReadOnly());
}

void TestWindow::resizingKeepsEveryControl()
{
    m_form->show();
    QHash<QWidget *, QRect> before;
    for (QWidget *widget : m_form->findChildren<QWidget *>())
        before.insert(widget, widget->geometry());
    m_form->resize(300, 200);
    m_form->resize(800, 600);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(it.key()->geometry(), it.value());
}

void TestWindow::typingInThePortListChangesOnlyItsText()
{
    QVERIFY(showAndActivate(*m_form));
    PortList *list = m_form->controls().comdk;
    QSignalSpy chosen(list, &PortList::activated);
    QVERIFY(chosen.isValid());
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, QStringLiteral("COM5"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(list->currentText(), QStringLiteral("COM5"));
    QCOMPARE(list->count(), 8);
    QCOMPARE(chosen.count(), 0);
    QVERIFY(m_form->controls().zttext->text().isEmpty());
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
