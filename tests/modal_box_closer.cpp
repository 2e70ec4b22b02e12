// Answers modal message boxes in tests.
#include "modal_box_closer.h"

#include <QAbstractButton>
#include <QApplication>

ModalBoxCloser::ModalBoxCloser(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxCloser::check);
    m_timer.start(5);
}

void ModalBoxCloser::check()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    SeenBox seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton *button : box->buttons())
        seen.buttons.append(button->text());
    seen.windowVisible = m_window && m_window->isVisible();
    m_seen.append(seen);
    box->buttons().constFirst()->click();
}
