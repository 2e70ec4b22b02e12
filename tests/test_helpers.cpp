// Small helpers shared by the test programs.
#include "test_helpers.h"

#include "app/form1_controls.h"
#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <time.h>

QString shownLamps(const Form1Controls &form)
{
    QString shown;
    shown += form.LEDR->isVisibleTo(form.Form1) ? QLatin1Char('R') : QLatin1Char('-');
    shown += form.LEDG->isVisibleTo(form.Form1) ? QLatin1Char('G') : QLatin1Char('-');
    shown += form.LEDM2->isVisibleTo(form.Form1) ? QLatin1Char('M') : QLatin1Char('-');
    return shown;
}

QString shownCodes(const Form1Controls &form)
{
    return form.Text1->text() + u' ' + form.Text2->text() + u' ' + form.Text3->text();
}

bool showAndActivate(Form1 &form)
{
    form.showCentred();
    QApplication::setActiveWindow(&form);
    return QTest::qWaitForWindowActive(&form);
}

void choose(PortList *list, int index)
{
    list->showPopup();
    QAbstractItemView *view = list->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(view, Qt::Key_Return);
}

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool idlesWithoutBusyLoop(int ms)
{
    const double before = processCpuSeconds();
    idleFor(ms);
    const double used = processCpuSeconds() - before;
    if (used < 0.25 * ms / 1000)
        return true;
    qWarning("%.0f ms of CPU in %d ms of idling", used * 1000, ms);
    return false;
}

QByteArray numberedLines(qsizetype byteCount)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < byteCount; ++i)
        bytes += QByteArray::number(i).rightJustified(7, '0') + " the quick brown fox\r\n";
    bytes.truncate(byteCount);
    return bytes;
}
