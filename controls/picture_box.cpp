// A picture box that draws its picture unscaled and clipped.
#include "controls/picture_box.h"

#include "controls/drawings.h"

#include <QPainter>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setPicture(const QString &name)
{
    m_name = name;
    m_drawing = findDrawing(name);
    update();
}

QSize PictureBox::pictureSize() const
{
    return m_drawing ? m_drawing->size : QSize();
}

void PictureBox::setBackgroundColor(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (!m_drawing)
        return;
    // Drawn straight onto the device at its own pixel ratio, never through a
    // bitmap made for another one.
    QPainter painter(this);
    painter.setClipRect(rect());
    m_drawing->paint(painter);
}
