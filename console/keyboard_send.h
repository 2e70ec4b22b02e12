// The sending half of the echo test: every key typed in an fssj box goes out
// on the line at once, with its character and codes shown in Text1-Text3.
// The send box's prompt is cleared by the first click or key.
#pragma once

#include <QString>

struct Form1Controls;
struct Module1;

// fssj's KeyPress, for either box.
void fssjKeyPress(const Form1Controls &form, Module1 &state, int index, const QString &keyChar);

// fssj's Click.
void fssjClick(const Form1Controls &form, int index);
