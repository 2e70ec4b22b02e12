// Opening the serial line: at start-up (COM1) and whenever a port is chosen
// from comdk, with the status line, the lamps and the failure warning.
#pragma once

struct Form1Controls;
struct Module1;

// Form1's load: opens COM1 before the window is first shown.
void startupOpening(const Form1Controls &form, Module1 &state);

// comdk's click: closes the open port and opens the chosen one.
void portSelection(const Form1Controls &form, Module1 &state);

// The open port went away (hang-up or unplugged adapter): the status line
// says so instead of still claiming success.
void portLost(const Form1Controls &form, const Module1 &state);

// The lost port's device is back: opened again as on a choice from comdk,
// without a word while it is not yet ready to be opened.
void portReturned(const Form1Controls &form, const Module1 &state);

// Names the device each item of comdk stands for, in the item's tooltip, and
// in comdk's own tooltip how to bring a port numbered above COM8 into the list.
void refreshPortTooltips(const Form1Controls &form);
