// The relay switch.
#include "relay/relay_switch.h"

#include "controls/picture_box.h"
#include "form/form1_controls.h"
#include "form/module1.h"
#include "serial/serial_port.h"

#include <QPlainTextEdit>

void Command1Click(const Form1Controls &form, Module1 &state)
{
    state.relayState = !state.relayState;
    if (state.relayState) {
        form.MSComm1->setOutput(QStringLiteral("K"));
        form.LEDR->show();
        form.LEDG->hide();
    } else {
        form.MSComm1->setOutput(QStringLiteral("G"));
        form.LEDR->hide();
        form.LEDG->show();
    }
    form.LEDM2->hide();
    form.fssj0->setFocus();
}
