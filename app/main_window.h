// Form1, the program's only window.
//
// Map: the controls are built from the control table (app/control_table.cpp)
// by app/form1_builder.cpp; Form1Controls names them for the handlers. The
// control kinds Qt lacks (receive box, flat code box, picture box, port list,
// the fssj key/click filter) are in controls/; the serial control MSComm1 is
// serial/serial_port. Each event goes to one handler, wired in
// Form1::connectHandlers():
//   Load, comdk's choice, MSComm1's lost port -> serial/port_opening
//   fssj KeyPress and Click                   -> console/keyboard_send
//   MSComm1's OnComm, Command2's Click        -> console/receive_display
//   Command1's Click                          -> relay/relay_switch
// Input-method text the user never confirmed is dropped by the key/click
// filter (controls/text_box_events) before it becomes a KeyPress. The window
// keeps its size (a maximized state is undone) and is centred with its frame
// (app/window_placement); SIGTERM, SIGINT and SIGHUP close it like the close
// button (app/signal_exit). The program-wide variables live in the Module1
// object the window owns (app/module1.h).
#pragma once

#include "app/form1_controls.h"
#include "app/form1_font.h"
#include "app/module1.h"
#include "serial/port_locator.h"

#include <QElapsedTimer>
#include <QWidget>

class TextBoxEvents;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(PortLocator locator, QWidget *parent = nullptr);

    const Form1Controls &controls() const { return m_controls; }
    const Module1 &module1() const { return m_module1; }

    // The window's Load event: opens COM1. Any warning it shows appears
    // before the window does.
    void load();

    // Shows the window centred on its screen.
    void showCentred();

protected:
    // A maximized state, however the window manager or a title bar of the
    // platform's own brought it about, is undone: the window has no maximize.
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void connectHandlers();
    void centreOnScreen();
    QPoint screenCentre() const;
    void rememberNormalGeometry();
    void undoMaximize();

    Form1Controls m_controls;
    Module1 m_module1;
    TextBoxEvents *m_fssjEvents = nullptr;
    QRect m_normalGeometry; // the last geometry while not maximized
    bool m_undoingMaximize = false;
    QElapsedTimer m_sinceUndo; // since a maximized state was undone
};
