// Form1: its controls, geometry, stacking, focus and initial state, checked
// against numbers of its own rather than the table the window is built from.
#include "fixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_f = std::make_unique<FormFixture>(QList<int> {}); }
    void cleanup() { m_f.reset(); }

    void controls_data();
    void controls();
    void windowSettings();
    void initialState();
    void lampsShareOneSpotGreenInFront();
    void picturesAndColours();
    void tabSkipsBoxesThatAreNoTabStops();
    void resizingKeepsEveryControl();
    void typingInThePortListChangesOnlyItsText();

private:
    std::unique_ptr<FormFixture> m_f;
};

void TestWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry"); // in pixels, 15 twips each
    QTest::addColumn<int>("slack"); // pixels either way in width and height
    QTest::addColumn<QString>("text");

    const struct
    {
        const char *name;
        const char *container;
        QRect geometry;
        int slack;
        const char *text;
    } rows[] = {
        {"Frame1(0)", "Form1", {8, 8, 513, 153}, 0, "PC发送数据窗"},
        {"fssj(0)", "Frame1(0)", {104, 16, 401, 129}, 0, ""},
        {"Text1", "Frame1(0)", {56, 24, 41, 18}, 0, ""},
        {"Text3", "Frame1(0)", {56, 88, 41, 18}, 0, ""},
        {"Command1", "Frame1(0)", {8, 115, 65, 25}, 0, "继电器"},
        {"Frame1(1)", "Form1", {8, 168, 513, 153}, 0, "接收数据窗"},
        {"fssj(1)", "Frame1(1)", {104, 16, 401, 129}, 0, ""},
        {"Picture1", "Frame1(1)", {8, 24, 89, 65}, 0, ""},
        {"Command2", "Frame1(1)", {16, 112, 65, 25}, 0, "清 屏"},
        {"comdk", "Form1", {72, 336, 57, 20}, 0, "COM1"},
        {"zttext", "Form1", {184, 334, 337, 23}, 0, ""},
        // Labels size themselves to their caption; the font is chosen so
        // that the captions come out at the laid-out size.
        {"Label3", "Frame1(0)", {8, 27, 48, 12}, 2, "PC按键："},
        {"Label5", "Frame1(0)", {8, 60, 48, 12}, 2, "10进制："},
        {"Label4", "Frame1(0)", {8, 92, 48, 12}, 2, "16进制："},
        {"Label1", "Form1", {8, 340, 60, 12}, 2, "串口选择："},
        {"Label2", "Form1", {144, 338, 36, 12}, 2, "状态："},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.name) << row.name << row.container << row.geometry << row.slack
                                << row.text;
    }
}

void TestWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(int, slack);
    QFETCH(QString, text);

    auto *widget = m_f->form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->pos(), geometry.topLeft());
    QVERIFY2(qAbs(widget->width() - geometry.width()) <= slack, qPrintable(name));
    QVERIFY2(qAbs(widget->height() - geometry.height()) <= slack, qPrintable(name));
    QVERIFY(widget->isVisibleTo(&m_f->form));
    QVERIFY(widget->isEnabled());
    const char *property = qobject_cast<QGroupBox *>(widget)  ? "title"
                           : qobject_cast<PortList *>(widget) ? "currentText"
                                                              : "text";
    if (!text.isEmpty())
        QCOMPARE(widget->property(property).toString(), text);
}

void TestWindow::windowSettings()
{
    Form1 &form = m_f->form;
    QVERIFY(form.windowTitle().startsWith(QStringLiteral(" RS-232串行通信测试程序  ")));
    QCOMPARE(form.size(), QSize(529, 365));
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));
}

void TestWindow::initialState()
{
    const Form1Controls &c = m_f->c;
    const QString prompt = c.fssj0->toPlainText();
    QVERIFY(prompt.startsWith(QStringLiteral("请点击此处激活输入窗口，")));
    QVERIFY(prompt.endsWith(QStringLiteral("会显示在接收数据窗中。\n")));
    QVERIFY(c.fssj0->isReadOnly());
    QCOMPARE(c.fssj1->text(), QString());
    for (QLineEdit *box : {c.Text1, c.Text2, c.Text3, c.zttext})
        QCOMPARE(box->text(), QString());
    QVERIFY(c.zttext->isReadOnly());
    QVERIFY(!c.Text1->isReadOnly());

    QCOMPARE(c.comdk->count(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(c.comdk->itemText(i), QStringLiteral("COM%1").arg(i + 1));
        QCOMPARE(c.comdk->itemData(i).toInt(), 0);
    }
    QVERIFY(!c.MSComm1->PortOpen());
    QCOMPARE(m_f->state.portNo, quint8(0));
    QCOMPARE(m_f->state.relayState, false);
    QCOMPARE(m_f->state.keyChar, QString());
}

void TestWindow::lampsShareOneSpotGreenInFront()
{
    const Form1Controls &c = m_f->c;
    for (PictureBox *lamp : {c.LEDG, c.LEDR, c.LEDM2}) {
        QCOMPARE(lamp->geometry(), QRect(80, 120, 17, 16));
        QCOMPARE(lamp->pictureSize(), lamp->size());
    }
    const QPoint spot = c.LEDG->geometry().center();
    QWidget *frame = c.Frame1[0];
    QCOMPARE(frame->childAt(spot), c.LEDG);
    c.LEDG->hide();
    QCOMPARE(frame->childAt(spot), c.LEDR);
    c.LEDR->hide();
    QCOMPARE(frame->childAt(spot), c.LEDM2);
}

// The drawing box shows only its background; the code boxes are green.
void TestWindow::picturesAndColours()
{
    PictureBox *picture = m_f->c.Picture1;
    QCOMPARE(picture->pictureSize(), QSize(439, 338));
    m_f->form.show();
    const QImage shown = picture->grab().toImage();
    const QRgb background = picture->palette().color(QPalette::Window).rgb();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            QCOMPARE(shown.pixel(x, y), background);
    for (QLineEdit *box : {m_f->c.Text1, m_f->c.Text2})
        QCOMPARE(box->grab().toImage().pixelColor(box->width() / 2, box->height() / 2),
                 QColor(192, 255, 192));
    QCOMPARE(m_f->c.Text3->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

void TestWindow::tabSkipsBoxesThatAreNoTabStops()
{
    QVERIFY(showAndActivate(m_f->form));
    const Form1Controls &c = m_f->c;
    QTRY_COMPARE(QApplication::focusWidget(), c.fssj0);
    QList<QWidget *> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    QCOMPARE(visited, (QList<QWidget *> {c.comdk, c.Command1, c.Command2, c.fssj0}));
    // Tab did not put a tab character into the send box or unlock it.
    QVERIFY(c.fssj0->isReadOnly());
}

void TestWindow::resizingKeepsEveryControl()
{
    m_f->form.show();
    QHash<QWidget *, QRect> before;
    for (QWidget *widget : m_f->form.findChildren<QWidget *>())
        before.insert(widget, widget->geometry());
    m_f->form.resize(300, 200);
    m_f->form.resize(800, 600);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(it.key()->geometry(), it.value());
}

void TestWindow::typingInThePortListChangesOnlyItsText()
{
    QVERIFY(showAndActivate(m_f->form));
    PortList *list = m_f->c.comdk;
    QSignalSpy chosen(list, &PortList::activated);
    QVERIFY(chosen.isValid());
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, QStringLiteral("COM5"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(list->currentText(), QStringLiteral("COM5"));
    QCOMPARE(list->count(), 8);
    QCOMPARE(chosen.count(), 0);
    QVERIFY(m_f->c.zttext->text().isEmpty());
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
