// Notices for screen readers, as accessible objects in the notification role.
#include "controls/screen_reader_notice.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QEvent>
#include <QWidget>

namespace {

// The notice as a screen reader sees it: a notification named after its text.
// Orca 43 speaks a notification when its "showing" state is set, whichever
// object has the focus (its default script's onShowingChanged), and keeps it
// in its list of notification messages.
class NoticeAccessible : public QAccessibleObject
{
public:
    explicit NoticeAccessible(ScreenReaderNotice *notice)
        : QAccessibleObject(notice)
    {
    }

    ScreenReaderNotice *notice() const { return static_cast<ScreenReaderNotice *>(object()); }

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(notice()->owner());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? notice()->text() : QString();
    }
    QRect rect() const override { return {}; }
};

QAccessibleInterface *noticeFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ScreenReaderNotice") && object)
        return new NoticeAccessible(static_cast<ScreenReaderNotice *>(object));
    return nullptr;
}

} // namespace

ScreenReaderNotice::ScreenReaderNotice(QWidget *owner, const QString &said)
    : QObject(owner)
    , m_owner(owner)
    , m_said(said)
    , m_wanted(said)
{
    static const bool installed = [] {
        QAccessible::installFactory(noticeFactory);
        return true;
    }();
    Q_UNUSED(installed);
    owner->window()->installEventFilter(this);
}

QWidget *ScreenReaderNotice::owner() const
{
    return m_owner;
}

void ScreenReaderNotice::say(const QString &text)
{
    m_text = text;
    if (!QAccessible::isActive() || text.isEmpty())
        return;
    present();
}

void ScreenReaderNotice::sayIfChanged(const QString &text)
{
    m_wanted = text;
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &ScreenReaderNotice::sayWanted, Qt::QueuedConnection);
}

void ScreenReaderNotice::sayWanted()
{
    m_scheduled = false;
    if (m_wanted == m_said || !m_owner || !m_owner->isActiveWindow())
        return;
    m_said = m_wanted;
    say(m_wanted);
}

bool ScreenReaderNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && m_wanted != m_said)
        sayIfChanged(m_wanted);
    return QObject::eventFilter(watched, event);
}
