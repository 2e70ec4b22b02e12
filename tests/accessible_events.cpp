// Recording what a screen reader is sent.
#include "accessible_events.h"

#include <QAccessibleEvent>
#include <QTest>

#include <algorithm>

namespace {

QStringList *s_events = nullptr;
constexpr QStringView kNotice = u"notice:";

void keep(QAccessibleEvent *event)
{
    if (!s_events)
        return;
    if (event->type() == QAccessible::TextInserted) {
        const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
        s_events->append(QStringLiteral("+%1:%2").arg(e->changePosition()).arg(e->textInserted()));
    } else if (event->type() == QAccessible::TextRemoved) {
        const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
        s_events->append(QStringLiteral("-%1:%2").arg(e->changePosition()).arg(e->textRemoved()));
    } else if (event->type() == QAccessible::ObjectShow) {
        QAccessibleInterface *iface = event->accessibleInterface();
        if (iface && iface->role() == QAccessible::Notification)
            s_events->append(kNotice.toString() + iface->text(QAccessible::Name));
    }
}

} // namespace

AccessibleEventsKept::AccessibleEventsKept()
    : m_previous(QAccessible::installUpdateHandler(keep))
{
    s_events = new QStringList;
    QAccessible::setActive(true);
}

AccessibleEventsKept::~AccessibleEventsKept()
{
    QAccessible::installUpdateHandler(m_previous);
    QAccessible::setActive(false);
    delete s_events;
    s_events = nullptr;
}

namespace {

// Takes the recorded events that are, or are not, notices.
QStringList takeEvents(bool notices)
{
    QStringList taken;
    for (auto it = s_events->begin(); it != s_events->end();) {
        if (it->startsWith(kNotice) == notices) {
            taken.append(notices ? it->mid(kNotice.size()) : *it);
            it = s_events->erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

bool waitFor(bool notice, int ms)
{
    return QTest::qWaitFor(
        [notice] {
            return std::any_of(s_events->cbegin(), s_events->cend(), [notice](const QString &e) {
                return e.startsWith(kNotice) == notice;
            });
        },
        ms);
}

} // namespace

QStringList AccessibleEventsKept::takeTextChanges()
{
    return takeEvents(false);
}

QStringList AccessibleEventsKept::takeNotices()
{
    return takeEvents(true);
}

bool AccessibleEventsKept::waitForTextChange(int ms) const
{
    return waitFor(false, ms);
}

bool AccessibleEventsKept::waitForNotice(int ms) const
{
    return waitFor(true, ms);
}
