// A notice presented over UI Automation. Qt's bridge drops a notification's
// ObjectShow; a value change whose value is text is the one event it passes on
// for any object, as UiaRaiseNotificationEvent (Windows 10 1709 and later, the
// "most recent, important" kind Narrator and NVDA speak at once) or, before
// that, as a change of the Value property.
#include "controls/screen_reader_notice.h"

#include <QAccessible>

void ScreenReaderNotice::present()
{
    QAccessibleValueChangeEvent changed(this, m_text);
    QAccessible::updateAccessibility(&changed);
}
