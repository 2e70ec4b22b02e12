// Form1: its controls, geometry, stacking, focus and initial state: every
// control of the table the window is built from, and a few places checked
// against numbers of their own.
#include "app/control_table.h"
#include "fixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(ControlRow)

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_f = std::make_unique<FormFixture>(QList<int> {}); }
    void cleanup() { m_f.reset(); }

    void controls_data();
    void controls();
    void somePlacesInPixels();
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
    QTest::addColumn<ControlRow>("row");
    for (const ControlRow &row : form1ControlTable()) {
        if (row.kind != ControlKind::SerialControl)
            QTest::newRow(qPrintable(row.name)) << row;
    }
}

// Each control of the table where the table puts it, with its caption, and
// named for a screen reader after the caption beside it.
void TestWindow::controls()
{
    QFETCH(ControlRow, row);

    auto *widget = m_f->form.findChild<QWidget *>(row.name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(),
             row.container.isEmpty() ? QStringLiteral("Form1") : row.container);
    QCOMPARE(widget->pos(), QPoint(twipsToPixels(row.left), twipsToPixels(row.top)));
    // Labels size themselves to their caption; the font is chosen so that
    // the captions come out at the laid-out size.
    const int slack = row.kind == ControlKind::Label ? 2 : 0;
    QVERIFY2(qAbs(widget->width() - twipsToPixels(row.width)) <= slack, qPrintable(row.name));
    QVERIFY2(qAbs(widget->height() - twipsToPixels(row.height)) <= slack, qPrintable(row.name));
    QVERIFY(widget->isVisibleTo(&m_f->form));
    QVERIFY(widget->isEnabled());
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(frame->title(), row.text);
    else if (auto *list = qobject_cast<PortList *>(widget))
        QCOMPARE(list->currentText(), row.text);
    else if (row.kind == ControlKind::Label || row.kind == ControlKind::Button)
        QCOMPARE(widget->property("text").toString(), row.text);
    if (!row.namedAfter.isEmpty()) {
        auto *captioned = m_f->form.findChild<QWidget *>(row.namedAfter);
        QVERIFY(captioned);
        const QString caption =
            captioned->property(qobject_cast<QGroupBox *>(captioned) ? "title" : "text").toString();
        QCOMPARE(widget->accessibleName(), QString(caption).remove(u'：'));
    }
}

// A few places and sizes in pixels, worked out from the layout by hand, so
// that the table itself is held to something.
void TestWindow::somePlacesInPixels()
{
    const Form1Controls &c = m_f->c;
    QCOMPARE(c.Frame1[0]->geometry(), QRect(8, 8, 513, 153));
    QCOMPARE(c.fssj0->geometry(), QRect(104, 16, 401, 129));
    QCOMPARE(c.Text1->geometry(), QRect(56, 24, 41, 18));
    QCOMPARE(c.Command1->geometry(), QRect(8, 115, 65, 25));
    QCOMPARE(c.Frame1[1]->geometry(), QRect(8, 168, 513, 153));
    QCOMPARE(c.Picture1->geometry(), QRect(8, 24, 89, 65));
    QCOMPARE(c.comdk->geometry(), QRect(72, 336, 57, 20));
    QCOMPARE(c.zttext->geometry(), QRect(184, 334, 337, 23));
    QCOMPARE(c.Label2->pos(), QPoint(144, 338));
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
