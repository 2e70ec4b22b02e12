// Helpers for the tests of the whole window: the lamps, codes and tooltips as
// the user sees them, showing the window, choosing from the port list.
#pragma once

#include <QString>

class Form1;
struct Form1Controls;
class PortList;

// The visible lamps as three letters, red, green and unlit: "RGM", "-G-"...
QString shownLamps(const Form1Controls &form);

// The three code boxes, character, decimal and hexadecimal: "z 122 7AH".
QString shownCodes(const Form1Controls &form);

// A tooltip's text as QToolTip shows it: rendered when Qt takes it for rich
// text, else as it is.
QString shownToolTip(const QString &toolTip);

// Shows the window centred and makes it the active one, as when the user
// starts the program; false if it never became active.
bool showAndActivate(Form1 &form);

// Chooses an item the way a user does: drop the list down, pick, press Enter.
void choose(PortList *list, int index);
