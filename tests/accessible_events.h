// What a screen reader is sent, recorded in the tests: Qt's accessibility
// switched on with a handler of its updates that keeps the text changes and
// the notices shown, as short strings.
#pragma once

#include <QAccessible>
#include <QStringList>

// While one lives, accessibility is on and every update is recorded:
//     "+6:x"       text "x" inserted at 6
//     "-0:ab"      text "ab" removed at 0
//     "notice:…"   a notification shown, with its name
// However the test ends, Qt's own handler is back and accessibility off.
class AccessibleEventsKept
{
public:
    AccessibleEventsKept();
    ~AccessibleEventsKept();
    AccessibleEventsKept(const AccessibleEventsKept &) = delete;
    AccessibleEventsKept &operator=(const AccessibleEventsKept &) = delete;

    // The text changes recorded since the last call; the notices are kept.
    QStringList takeTextChanges();
    // The notices recorded since the last call, as their names; the text
    // changes are kept.
    QStringList takeNotices();
    // Waits up to ms for a text change, or a notice, not yet taken.
    bool waitForTextChange(int ms = 2000) const;
    bool waitForNotice(int ms = 2000) const;

private:
    QAccessible::UpdateHandler m_previous;
};
