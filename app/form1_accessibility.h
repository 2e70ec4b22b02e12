// What a screen reader hears for Form1's controls: each control is named
// after its caption or the label beside it, the lamps after the one lit, the
// receive box exposes its text, and what changes away from the focus (what
// arrives, the status line, the lamp seen) is told as a notice.
#pragma once

struct Form1Controls;
class QWidget;

// Names control after the caption of a label (its buddy from now on, without
// the colon that ends the caption) or of a frame.
void nameAfterCaption(QWidget *control, QWidget *captioned);

// The rest, once every control is built and named: the lamps, the receive
// box and port list's own accessible interfaces, the notices.
void setAccessibleNames(const Form1Controls &form);
