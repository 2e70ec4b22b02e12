// A picture box: a background colour with a picture drawn at its stored size
// from the top-left corner and clipped to the box. Shows a raster image (the
// lamps) or a vector drawing; nothing happens when it is clicked.
#pragma once

#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    // A JPEG/PNG or SVG file; resources (":/...") included.
    void setPicture(const QString &path);
    QString picture() const { return m_path; }

    // The picture's stored size in logical pixels (an empty size when none).
    QSize pictureSize() const;

    void setBackgroundColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_path;
    QPixmap m_pixmap;
    QPixmap m_pixmapDoubled; // the same picture drawn at twice the size, if there is one
    QSvgRenderer m_drawing;
};
