// Starts the RS-232 echo test tool: one window, opening COM1 as it loads.
#include "app/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window was laid out for the classic desktop look: frames with the
    // caption on their border and sunken three-dimensional text boxes.
    QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setFont(form1Font());
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.rs232test"));
    Form1 form;
    form.load();
    form.showCentred();
    return app.exec();
}
