// Centring a window with its frame.
#include "controls/window_centring.h"

#include "controls/window_manager.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int kFrameCheckMs = 20;
constexpr int kFrameChecks = 100; // two seconds

// The frame round window as Qt knows it: on Windows before the window is
// shown, on X11 only after the window manager has framed it.
QMargins qtFrame(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

} // namespace

WindowCentring::WindowCentring(QWidget *window, std::function<QPoint()> centre)
    : QObject(window)
    , m_window(window)
    , m_centre(std::move(centre))
{
    m_frameWait.setInterval(kFrameCheckMs);
    connect(&m_frameWait, &QTimer::timeout, this, &WindowCentring::placeOnceFramed);
    if (!clientPlacesWindows())
        return;
    window->installEventFilter(this);
    // The window manager is asked for the frame as soon as the window exists,
    // so that its answer is there by the time the window is shown.
    window->winId();
    WindowManager::requestFrame(window->windowHandle());
}

bool WindowCentring::clientPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowCentring::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WinIdChange && !m_shown) {
        WindowManager::requestFrame(m_window->windowHandle()); // made anew
    } else if (watched == m_window && event->type() == QEvent::Show && !m_shown) {
        // Not mapped yet: placed with the frame the window manager is going
        // to give it, if it has answered by now, or with what Qt knows of it.
        m_shown = true;
        m_window->winId();
        QWindow *handle = m_window->windowHandle();
        m_placedWith = WindowManager::frame(handle);
        place(m_placedWith.value_or(qtFrame(m_window)));
        handle->installEventFilter(this);
    } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose
               && m_window->windowHandle()->isExposed()) {
        // Mapped, so framed by now or soon.
        watched->removeEventFilter(this);
        m_window->removeEventFilter(this);
        // Only an X11 window manager says what frame it put round a window.
        m_frameChecksLeft = WindowManager::name().isEmpty() ? 1 : kFrameChecks;
        placeOnceFramed();
    }
    return false;
}

void WindowCentring::placeOnceFramed()
{
    const std::optional<QMargins> frame = WindowManager::frame(m_window->windowHandle());
    if (!frame && --m_frameChecksLeft > 0) {
        m_frameWait.start();
        return;
    }
    m_frameWait.stop();
    const QMargins known = frame.value_or(qtFrame(m_window));
    if (known != m_placedWith.value_or(QMargins()))
        place(known);
}

void WindowCentring::place(const QMargins &frame)
{
    // The window's own area, so that the frame lands round it wherever the
    // window manager measures a position from.
    const QSize size = m_window->size();
    const QSize outer = size.grownBy(frame);
    const QPoint topLeft = m_centre() - QPoint(outer.width() / 2, outer.height() / 2)
                           + QPoint(frame.left(), frame.top());
    m_window->setGeometry(QRect(topLeft, size));
    m_placedWith = frame;
}
