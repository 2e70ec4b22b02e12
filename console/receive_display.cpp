// Receive display and clearing.
#include "console/receive_display.h"

#include "controls/receive_view.h"
#include "form/form1_controls.h"
#include "serial/serial_port.h"

#include <QPlainTextEdit>

void MSComm1OnComm(const Form1Controls &form)
{
    const auto event = static_cast<qint16>(form.MSComm1->CommEvent());
    if (event == MSComm::kComEvReceive)
        form.fssj1->appendText(form.MSComm1->Input());
}

void Command2Click(const Form1Controls &form)
{
    form.fssj0->setPlainText(QString());
    form.fssj1->clear();
    form.fssj0->setFocus();
}
