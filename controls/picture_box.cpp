// A picture box that draws its picture unscaled and clipped.
#include "controls/picture_box.h"

#include <QPainter>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setPicture(const QString &path)
{
    m_path = path;
    m_pixmap = QPixmap();
    m_pixmapDoubled = QPixmap();
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        m_drawing.load(path);
    } else {
        m_pixmap.load(path);
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        m_pixmapDoubled.load(path.left(dot) + QLatin1String("@2x") + path.mid(dot));
    }
    update();
}

QSize PictureBox::pictureSize() const
{
    if (!m_pixmap.isNull())
        return m_pixmap.deviceIndependentSize().toSize();
    if (m_drawing.isValid())
        return m_drawing.defaultSize();
    return {};
}

void PictureBox::setBackgroundColor(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(rect());
    const QRectF stored(QPointF(0, 0), QSizeF(pictureSize()));
    if (!m_pixmap.isNull()) {
        // On a high-DPI screen the larger rendering is used where there is
        // one, and either is scaled smoothly to the box.
        const QPixmap &pixmap =
            devicePixelRatioF() > 1 && !m_pixmapDoubled.isNull() ? m_pixmapDoubled : m_pixmap;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(stored, pixmap, QRectF(pixmap.rect()));
    } else if (m_drawing.isValid()) {
        m_drawing.render(&painter, stored);
    }
}
