// What a screen reader hears for Form1's controls: each control is named
// after its caption or the label beside it, the lamps after the one lit, the
// receive box exposes its text, and what changes away from the focus (what
// arrives, the status line, the lamp seen) is told as a notice.
#pragma once

struct Form1Controls;

void setAccessibleNames(const Form1Controls &form);
