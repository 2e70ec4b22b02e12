// Opening the serial line at start-up and on a choice from comdk.
#include "serial/port_opening.h"

#include "app/form1_controls.h"
#include "app/module1.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "serial/comm_error.h"
#include "serial/serial_port.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace {

const QString kSettings = QStringLiteral("9600,N,8,1");
const QString kPortPrefix = QStringLiteral("COM");
const QString kStatusPrefix = QStringLiteral("串口COM");
const QString kStatusOpened = QStringLiteral("打开成功！ 波特率：9600bps");
const QString kStatusFailed = QStringLiteral("打开失败！");
const QString kStatusLost = QStringLiteral("已断开！");
const QString kWarningText =
    QStringLiteral("RS232串口无法打开！可能该串口被其它程序占用或该串口无效，请重新设置通信端口。");
const QString kWarningTitle = QStringLiteral("警告");
const QString kOkText = QStringLiteral("确定");
const QString kNoDevice = QStringLiteral("没有对应的串口设备");

constexpr int kHighestPort = 8;

void openingSequence(MSComm &comm, quint8 portNo)
{
    comm.setCommPort(portNo);
    comm.setSettings(kSettings);
    comm.setRThreshold(1);
    comm.setInputLen(1);
    comm.setPortOpen(true);
    comm.setInBufferCount(0);
}

void failurePresentation(const Form1Controls &form, quint8 portNo)
{
    form.zttext->setText(kStatusPrefix + QString::number(portNo) + kStatusFailed);
    form.LEDR->hide();
    form.LEDG->show();
    form.LEDM2->show();

    QMessageBox box(QMessageBox::NoIcon, kWarningTitle, kWarningText, QMessageBox::Ok, form.Form1);
    box.setFont(form.Form1->font());
    box.button(QMessageBox::Ok)->setText(kOkText);
    box.exec();
}

// The list index as the unsigned 8-bit port number it becomes, or nothing
// when it does not fit.
std::optional<quint8> toPortByte(int value)
{
    if (value < 0 || value > 255)
        return std::nullopt;
    return static_cast<quint8>(value);
}

} // namespace

void startupOpening(const Form1Controls &form, Module1 &state)
{
    try {
        state.portNo = 1;
        form.comdk->setEditText(kPortPrefix + QString::number(state.portNo));
        openingSequence(*form.MSComm1, state.portNo);
        form.zttext->setText(kStatusPrefix + QString::number(state.portNo) + kStatusOpened);
    } catch (const CommError &) {
        failurePresentation(form, state.portNo);
    }
}

void portSelection(const Form1Controls &form, Module1 &state)
{
    try {
        // A number that does not fit fails like a port that cannot be opened.
        const auto index = toPortByte(form.comdk->currentIndex());
        if (!index) {
            failurePresentation(form, state.portNo);
            return;
        }
        state.portNo = *index;
        const auto next = toPortByte(state.portNo + 1);
        if (!next) {
            failurePresentation(form, state.portNo);
            return;
        }
        state.portNo = *next;
        if (state.portNo < 1 || state.portNo > kHighestPort) {
            failurePresentation(form, state.portNo);
            return;
        }
        if (form.MSComm1->PortOpen())
            form.MSComm1->setPortOpen(false);
        openingSequence(*form.MSComm1, state.portNo);
        form.zttext->setText(kStatusPrefix + QString::number(state.portNo) + kStatusOpened);
        form.LEDR->hide();
        form.LEDG->show();
        form.LEDM2->hide();
    } catch (const CommError &) {
        failurePresentation(form, state.portNo);
    }
}

void portLost(const Form1Controls &form, const Module1 &state)
{
    form.zttext->setText(kStatusPrefix + QString::number(state.portNo) + kStatusLost);
}

void refreshPortTooltips(const Form1Controls &form)
{
    for (int i = 0; i < form.comdk->count(); ++i) {
        const QString device = form.MSComm1->deviceName(i + 1);
        form.comdk->setItemData(i, device.isEmpty() ? kNoDevice : device, Qt::ToolTipRole);
    }
}
