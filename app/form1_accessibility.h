// What a screen reader hears for Form1's controls: each control is named
// after its caption or the label beside it, the lamps after the one lit, and
// the receive box exposes its text.
#pragma once

struct Form1Controls;

void setAccessibleNames(const Form1Controls &form);
