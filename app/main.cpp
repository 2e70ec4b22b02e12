// Starts the RS-232 echo test tool: one window, opening COM1 as it loads.
#include "app/main_window.h"
#include "app/signal_exit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window was laid out for the classic desktop look: frames with the
    // caption on their border and sunken three-dimensional text boxes.
    QApplication::setStyle(QStringLiteral("Windows"));
    checkForChineseFont();
    QApplication::setFont(form1Font());
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.rs232test"));
    Form1 form(systemPortLocator());
    const OrderlyExit orderlyExit(&form, form.controls().MSComm1);
    form.load();
    if (orderlyExit.requested())
        return 0; // asked to end while the start-up warning was open
    form.showCentred();
    return app.exec();
}
