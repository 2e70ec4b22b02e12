// A one-line text box with a flat border.
#include "controls/flat_text_box.h"

#include <QPainter>

FlatTextBox::FlatTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    // QLineEdit keeps two pixels of its own on each side inside the text
    // margins; one pixel less brings the text out to just inside the border,
    // 39 of the box's 41 pixels, which a six-character code like "-32768"
    // needs to show whole and centred.
    setTextMargins(-1, 1, -1, 1);
}

void FlatTextBox::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    // The border as four strips one pixel wide, so that it stays even on a
    // high-DPI screen, where a line drawn along the bottom and right edges
    // would be thicker than the others and leave a gap outside it.
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), Qt::black);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), Qt::black);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), Qt::black);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), Qt::black);
}
