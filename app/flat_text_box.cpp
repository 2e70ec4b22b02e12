// A one-line text box with a flat border.
#include "app/flat_text_box.h"

#include <QPainter>

FlatTextBox::FlatTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setTextMargins(1, 1, 1, 1);
}

void FlatTextBox::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
