// A picture box: a background colour with a picture drawn at its stored size
// from the top-left corner and clipped to the box. The pictures are drawings
// (see drawings.h), sharp at any device pixel ratio; nothing happens when the
// box is clicked.
#pragma once

#include <QWidget>

struct Drawing;

class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    // One of the drawings by name ("computer", "led_green" ...); an unknown
    // name leaves the box empty.
    void setPicture(const QString &name);
    QString picture() const { return m_name; }

    // The picture's stored size in logical pixels (an empty size when none).
    QSize pictureSize() const;

    void setBackgroundColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    const Drawing *m_drawing = nullptr;
};
