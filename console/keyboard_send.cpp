// Keyboard send and character codes.
#include "console/keyboard_send.h"

#include "console/char_codes.h"
#include "form/form1_controls.h"
#include "form/module1.h"
#include "serial/serial_port.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

void unlockSendBox(const Form1Controls &form)
{
    form.fssj0->setPlainText(QString());
    form.fssj0->setReadOnly(false);
}

} // namespace

void fssjKeyPress(const Form1Controls &form, Module1 &state, int /*index*/, const QString &keyChar)
{
    state.keyChar = keyChar;
    if (form.fssj0->isReadOnly()) {
        // The key that clears the prompt is not sent.
        unlockSendBox(form);
        return;
    }
    // A character that code page 936 lacks is shown but not sent: no
    // substitute byte goes on the line, and it has no code to show.
    form.MSComm1->setOutput(state.keyChar);
    form.Text1->setText(state.keyChar);
    const auto code = ansiCode(state.keyChar);
    form.Text2->setText(code ? decimalCode(*code) : QString());
    form.Text3->setText(code ? hexCode(*code) : QString());
}

void fssjClick(const Form1Controls &form, int index)
{
    switch (index) {
    case 0:
        unlockSendBox(form);
        break;
    case 1:
        form.fssj0->setFocus();
        break;
    default:
        break;
    }
}
