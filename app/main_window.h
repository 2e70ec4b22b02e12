// Form1, the program's only window.
//
// Map: the controls are built from the control table (app/control_table.cpp)
// by app/form1_builder.cpp; Form1Controls (form/form1_controls.h) names them
// for the handlers. The control kinds Qt lacks (receive box, flat code box,
// picture box, port list, the fssj key/click filter) are in controls/; the
// serial control MSComm1 is serial/serial_port. Each event goes to one
// handler, wired in Form1::connectHandlers():
//   Load, comdk's choice, MSComm1's lost and
//   returned port                             -> serial/opening/port_opening
//   fssj KeyPress and Click                   -> console/keyboard_send
//   MSComm1's OnComm, Command2's Click        -> console/receive_display
//   Command1's Click                          -> relay/relay_switch
// The handlers know only form/ and the layers below it; this window is the
// one place that knows them all. Input-method text the user never confirmed
// is dropped by the key/click filter (controls/text_box_events) before it
// becomes a KeyPress. The window is centred with its frame
// (controls/window_centring) and keeps its size, a maximized state undone
// (controls/maximize_refusal). The program-wide variables live in the Module1
// object the window owns (form/module1.h). app/program runs the start-up,
// with SIGTERM, SIGINT and SIGHUP closing the window like the close button
// (app/orderly_exit).
#pragma once

#include "app/form1_font.h"
#include "form/form1_controls.h"
#include "form/module1.h"
#include "serial/port_locator.h"

#include <QWidget>

class TextBoxEvents;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(const PortLocator &locator, QWidget *parent = nullptr);
    // Closes MSComm1's port first, before any control it notifies goes.
    ~Form1() override;

    const Form1Controls &controls() const { return m_controls; }
    const Module1 &module1() const { return m_module1; }

    // The window's Load event: opens COM1. Any warning it shows appears
    // before the window does.
    void load();

    // Shows the window centred on its screen.
    void showCentred();

private:
    void connectHandlers();
    void centreOnScreen();
    QPoint screenCentre() const;

    Form1Controls m_controls;
    Module1 m_module1;
    TextBoxEvents *m_fssjEvents = nullptr;
};
