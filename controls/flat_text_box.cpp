// A one-line text box with a flat border.
#include "controls/flat_text_box.h"

#include <QPainter>

FlatTextBox::FlatTextBox(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    // QLineEdit keeps two pixels of its own on each side inside the text
    // margins, and centres the text together with room for the caret at its
    // right end. Trimming the margins brings the text out to just inside the
    // one-pixel border, one pixel further on the right for the caret's room,
    // so that a six-character code like "-32768" shows whole and centred in
    // the box's 41 pixels.
    setTextMargins(0, 1, -1, 1);
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
