// The program's start-up.
#include "app/program.h"

#include "app/form1_font.h"
#include "app/form1_palette.h"
#include "app/main_window.h"
#include "app/orderly_exit.h"

#include <QApplication>

int runProgram(const PortLocator &locator)
{
    // The window was laid out for the classic desktop look: frames with the
    // caption on their border and sunken three-dimensional text boxes.
    QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setPalette(form1Palette());
    checkForChineseFont();
    QApplication::setFont(form1Font());
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.rs232test"));
    // Made before the window, so that it outlives the window: signals are
    // handled until the window has closed its port and released the lock.
    OrderlyExit orderlyExit;
    Form1 form(locator);
    orderlyExit.watch(&form, form.controls().MSComm1);
    form.load();
    if (orderlyExit.requested())
        return 0; // asked to end while the start-up warning was open
    form.showCentred();
    return QApplication::exec();
}
