// Centres a top-level window, frame included, on a point. On X11 the frame is
// asked of the window manager as soon as the window exists, where it answers
// that request (mutter, metacity, xfwm4, openbox), so that the window appears
// where it belongs; where it does not (KWin), or its answer has not come by
// the time the window is shown, the window is placed again as soon as the
// window manager has said what frame it put round it. On Wayland
// a client cannot place itself, so the compositor's placement is left alone.
#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>
#include <optional>

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
    void place(const QMargins &frame);
    void placeOnceFramed();

    QWidget *m_window;
    std::function<QPoint()> m_centre;
    std::optional<QMargins> m_placedWith; // the frame the last placing allowed for
    QTimer m_frameWait; // after mapping, until the window manager tells the frame
    int m_frameChecksLeft = 0;
    bool m_shown = false;
};
