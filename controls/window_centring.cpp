// Centring a window with its frame.
#include "controls/window_centring.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

WindowCentring::WindowCentring(QWidget *window, std::function<QPoint()> centre)
    : QObject(window)
    , m_window(window)
    , m_centre(std::move(centre))
{
    if (clientPlacesWindows())
        window->installEventFilter(this);
}

bool WindowCentring::clientPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowCentring::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Show && !m_framed) {
        // Before it is mapped: centred as far as the frame is known, which on
        // X11 is not at all yet.
        place();
        if (QWindow *handle = m_window->windowHandle())
            handle->installEventFilter(this);
    } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose && !m_framed
               && m_window->windowHandle()->isExposed()) {
        // Mapped, so the window manager has put its frame round the window.
        m_framed = true;
        watched->removeEventFilter(this);
        m_window->removeEventFilter(this);
        if (!m_window->windowHandle()->frameMargins().isNull())
            place();
    }
    return false;
}

void WindowCentring::place()
{
    // A top-level widget's position is that of its frame.
    const QSize frame = m_window->frameGeometry().size();
    m_window->move(m_centre() - QPoint(frame.width() / 2, frame.height() / 2));
}
