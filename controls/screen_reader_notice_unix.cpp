// A notice presented over AT-SPI: Orca speaks a notification as it is shown.
#include "controls/screen_reader_notice.h"

#include <QAccessible>

void ScreenReaderNotice::present()
{
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
