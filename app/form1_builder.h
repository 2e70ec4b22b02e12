// Builds Form1's controls from the control table.
#pragma once

#include "form/form1_controls.h"
#include "serial/port_locator.h"

class QWidget;

// Creates every control of the table on form, in table order, named after the
// table, with its geometry, texts, colours, stacking and tab order.
Form1Controls buildForm1Controls(QWidget *form, const PortLocator &locator);
