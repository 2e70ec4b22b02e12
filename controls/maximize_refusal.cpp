// Undoing a maximized state.
#include "controls/maximize_refusal.h"

#include "controls/window_centring.h"
#include "controls/window_manager.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

MaximizeRefusal::MaximizeRefusal(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

bool MaximizeRefusal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        // Before the window is mapped, when the window manager decides what
        // to offer. The border is resizable everywhere else.
        if (!m_shown && WindowManager::offersMaximizeWithResize())
            m_window->setFixedSize(m_window->size());
        m_shown = true;
        break;
    case QEvent::WindowStateChange:
        if ((m_window->windowState() & Qt::WindowMaximized) && !m_undoingMaximize) {
            // Undone from the event loop: the platform is still applying the
            // state it has just reported.
            m_undoingMaximize = true;
            QTimer::singleShot(0, this, &MaximizeRefusal::undoMaximize);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        rememberNormalGeometry();
        break;
    default:
        break;
    }
    return false;
}

void MaximizeRefusal::undoMaximize()
{
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMaximized);
    m_undoingMaximize = false;
    // On Wayland the compositor sizes a maximized window, and the client's
    // own size comes back with the configure that ends the state.
    if (!WindowCentring::clientPlacesWindows())
        return;
    if (m_normalGeometry.isValid())
        m_window->setGeometry(m_normalGeometry);
    m_sinceUndo.start();
}

void MaximizeRefusal::rememberNormalGeometry()
{
    if (m_undoingMaximize
        || (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // A window manager may apply the maximized size only after it has
    // reported the state, that is after the state was undone: the size the
    // window had is put back.
    constexpr qint64 kSettleMs = 500;
    if (m_sinceUndo.isValid() && m_sinceUndo.elapsed() < kSettleMs) {
        if (m_window->size() != m_normalGeometry.size())
            QTimer::singleShot(0, this, [this] { m_window->setGeometry(m_normalGeometry); });
        return;
    }
    m_normalGeometry = m_window->geometry();
}
