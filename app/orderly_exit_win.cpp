// Windows has no termination signals: the end of the session (logging off,
// shutting down) comes as WM_ENDSESSION, after which the process may be ended
// at any moment, so the port is closed before the message is answered.
#include "app/orderly_exit.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <qt_windows.h>

#include <functional>

namespace {

class SessionEndFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    SessionEndFilter(std::function<void()> onEnd, QObject *parent)
        : QObject(parent)
        , m_onEnd(std::move(onEnd))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_ENDSESSION && msg->wParam && !m_ended) {
            m_ended = true;
            m_onEnd();
        }
        return false;
    }

private:
    std::function<void()> m_onEnd;
    bool m_ended = false;
};

} // namespace

void OrderlyExit::listen()
{
    m_listener = new SessionEndFilter(
        [this] {
            releasePort();
            endProgram();
        },
        this);
}

void OrderlyExit::stopListening()
{
    delete m_listener; // removes the filter
    m_listener = nullptr;
}
