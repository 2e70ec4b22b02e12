// Centres a top-level window, frame included, on a point: when it is shown,
// and once more when the window manager has framed it (on X11 the frame is
// only known after the window is mapped). On Wayland a client cannot place
// itself, so the compositor's placement is left alone.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QWidget;

class WindowCentring : public QObject
{
    Q_OBJECT

public:
    // centre: where the middle of the window belongs, asked each time it is placed.
    WindowCentring(QWidget *window, std::function<QPoint()> centre);

    // Whether this platform lets a window place itself.
    static bool clientPlacesWindows();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QWidget *m_window;
    std::function<QPoint()> m_centre;
    bool m_framed = false;
};
