// Helpers for the tests of the whole window.
#include "window_helpers.h"

#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "form/form1_controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>

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

QString shownToolTip(const QString &toolTip)
{
    if (!Qt::mightBeRichText(toolTip))
        return toolTip;
    QTextDocument document;
    document.setHtml(toolTip);
    return document.toPlainText();
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
