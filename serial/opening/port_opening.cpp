// Opening the serial line at start-up and on a choice from comdk.
#include "serial/opening/port_opening.h"

#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/window_centring.h"
#include "form/form1_controls.h"
#include "form/module1.h"
#include "serial/comm_error.h"
#include "serial/port_failure.h"
#include "serial/serial_port.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>

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

// Why it failed, for the status box's tooltip.
const QString kReasonNoPort = QStringLiteral("COM%1没有对应的串口设备。");
const QString kReasonNoDevice = QStringLiteral("设备%1不存在，可能已被拔出。");
const QString kReasonPermission =
    QStringLiteral("没有打开%1的权限。串口设备属于dialout组，请把当前用户加入该组：\n"
                   "sudo usermod -aG dialout $USER\n然后注销并重新登录。");
const QString kReasonInUse = QStringLiteral("%1正被其它程序占用。");
const QString kReasonInUseBy = QStringLiteral("%1正被其它程序占用：%2（进程号%3）。");
const QString kReasonInUseByPid = QStringLiteral("%1正被其它程序占用（进程号%2）。");
const QString kReasonLockedBy =
    QStringLiteral("%1正被其它程序占用：锁文件%2记录的进程号是%3，但该进程没有打开此设备。");
const QString kReasonStaleLock =
    QStringLiteral("%1正被其它程序占用；锁文件%2已失效（记录的进程号%3已不存在）。");
const QString kReasonOddLockFile =
    QStringLiteral("%1正被未知程序占用：锁文件%2不是普通文件（可能是管道、设备或链接）。");
const QString kReasonOversizedLockFile =
    QStringLiteral("%1正被未知程序占用：锁文件%2过大，不是有效的锁文件。");
const QString kReasonHungUp = QStringLiteral("%1的线路已挂断。");
// What each item of comdk stands for, beyond its device.
const QString kItemManufacturer = QStringLiteral("制造商：%1");
const QString kItemSerialNumber = QStringLiteral("序列号：%1");

// Ports the list cannot choose, in the list's own tooltip: Windows gives each
// port its number, which Device Manager changes; this program numbers the
// others in the order it finds them.
const QString kHighPortsNamedBySystem = QStringLiteral(
    "%1不在列表中，本程序只能使用COM1到COM8。请在设备管理器 › 端口（COM 和 LPT） › "
    "该端口 › 属性 › 端口设置 › 高级 › COM 端口号 中为它选一个1到8的编号，然后重新选择该串口。");
const QString kHighPortsNumbered =
    QStringLiteral("%1不在列表中，本程序只能使用COM1到COM8。串口设备按出现的先后编号："
                   "拔下暂时不用的串口设备，再重新启动本程序，它就会得到1到8之间的编号。");
const QString kHighPortSeparator = QStringLiteral("、");
const QString kHighPortDevice = QStringLiteral("%1（%2）");

constexpr int kHighestPort = 8;
// COM256, the highest number Windows gives a port.
constexpr int kHighestPortNumber = 256;

void openingSequence(MSComm &comm, quint8 portNo)
{
    comm.setCommPort(portNo);
    comm.setSettings(kSettings);
    comm.setRThreshold(1);
    comm.setInputLen(1);
    comm.setPortOpen(true);
    comm.setInBufferCount(0);
}

// One arg() for all: a holder's name such as "a%1" is outside text, never a
// place for the next argument.
QString inUseReason(const QString &device, const DeviceHolder &holder)
{
    const QString pid = QString::number(holder.pid);
    switch (holder.kind) {
    case DeviceHolder::Kind::Process:
        if (holder.name.isEmpty())
            return kReasonInUseByPid.arg(device, pid);
        return kReasonInUseBy.arg(device, holder.name, pid);
    case DeviceHolder::Kind::LockedBy:
        return kReasonLockedBy.arg(device, holder.lockFile, pid);
    case DeviceHolder::Kind::StaleLock:
        return kReasonStaleLock.arg(device, holder.lockFile, pid);
    case DeviceHolder::Kind::OddLockFile:
        return kReasonOddLockFile.arg(device, holder.lockFile);
    case DeviceHolder::Kind::OversizedLockFile:
        return kReasonOversizedLockFile.arg(device, holder.lockFile);
    case DeviceHolder::Kind::Unknown:
        break;
    }
    return kReasonInUse.arg(device);
}

QString failureReason(const CommError &error, quint8 portNo)
{
    const QString device = error.device();
    switch (error.reason()) {
    case CommError::Reason::NoDevice:
        return device.isEmpty() ? kReasonNoPort.arg(portNo) : kReasonNoDevice.arg(device);
    case CommError::Reason::PermissionDenied:
        return kReasonPermission.arg(device);
    case CommError::Reason::InUse:
        return inUseReason(device, error.holder());
    case CommError::Reason::HungUp:
        return kReasonHungUp.arg(device);
    case CommError::Reason::Other:
        break;
    }
    return error.message(); // in its own words, the system's among them
}

// The label that shows the box's text.
QLabel *textLabel(const QMessageBox &box)
{
    const QList<QLabel *> labels = box.findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->text() == box.text())
            return label;
    }
    return nullptr;
}

// The message box caps its width at about 500 pixels and wraps the rest of
// the text onto a line of its own. The label is made wide enough for the text
// on one line, or, on a screen too narrow for that, for two even lines.
void fitWarningText(QMessageBox &box)
{
    QLabel *label = textLabel(box);
    if (!label)
        return;
    const int oneLine = label->fontMetrics().horizontalAdvance(kWarningText) + 2;
    const QScreen *screen = box.screen();
    const int room = screen ? screen->availableGeometry().width() * 3 / 4 : oneLine;
    if (oneLine <= room)
        label->setMinimumWidth(oneLine);
    else
        label->setFixedWidth(oneLine / 2 + label->fontMetrics().height());
}

// A tooltip that shows text as it is: Qt takes a tooltip that looks like
// markup for rich text, and process names, device names and what the system
// says of them are outside text.
QString plainToolTip(const QString &text)
{
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

// Why the port failed or was lost, in the status box's tooltip; screen
// readers get the same words as its description.
void setReason(const Form1Controls &form, const QString &reason)
{
    form.zttext->setToolTip(plainToolTip(reason));
    form.zttext->setAccessibleDescription(reason);
}

void failurePresentation(const Form1Controls &form, quint8 portNo, const QString &reason = {})
{
    form.zttext->setText(kStatusPrefix + QString::number(portNo) + kStatusFailed);
    setReason(form, reason);
    form.LEDR->hide();
    form.LEDG->show();
    form.LEDM2->show();

    QMessageBox box(QMessageBox::NoIcon, kWarningTitle, kWarningText, QMessageBox::Ok, form.Form1);
    box.setFont(form.Form1->font());
    box.button(QMessageBox::Ok)->setText(kOkText);
    fitWarningText(box);
    // Over the middle of the window, or of where it is going to appear.
    const QWidget *window = form.Form1;
    new WindowCentring(&box, [window] { return window->frameGeometry().center(); });
    box.exec();
}

void openingSucceeded(const Form1Controls &form, quint8 portNo)
{
    form.zttext->setText(kStatusPrefix + QString::number(portNo) + kStatusOpened);
    setReason(form, QString());
}

// The lamps after a port was chosen and opened, whatever the relay flag holds.
void showChosenPortLamps(const Form1Controls &form)
{
    form.LEDR->hide();
    form.LEDG->show();
    form.LEDM2->hide();
}

QString itemTooltip(const SerialDevice &device)
{
    if (device.location.isEmpty())
        return kNoDevice;
    QStringList lines {device.location};
    if (!device.description.isEmpty())
        lines.append(device.description);
    if (!device.manufacturer.isEmpty())
        lines.append(kItemManufacturer.arg(device.manufacturer));
    if (device.vendorId && device.productId)
        lines.append(QStringLiteral("VID:PID %1:%2")
                         .arg(*device.vendorId, 4, 16, QLatin1Char('0'))
                         .arg(*device.productId, 4, 16, QLatin1Char('0')));
    if (!device.serialNumber.isEmpty())
        lines.append(kItemSerialNumber.arg(device.serialNumber));
    return lines.join(QLatin1Char('\n'));
}

// What the list's own tooltip says of the ports above COM8 among devices
// (element n - 1 is COMn); empty when there are none.
QString highPortsHint(const QList<SerialDevice> &devices)
{
    QStringList named;
    bool namedBySystem = true;
    for (qsizetype i = kHighestPort; i < devices.size(); ++i) {
        const SerialDevice &device = devices.at(i);
        if (device.location.isEmpty())
            continue;
        const QString port = kPortPrefix + QString::number(i + 1);
        // Where the system's own name is COMn, the description says what it is.
        const bool systemName = device.location.compare(port, Qt::CaseInsensitive) == 0;
        namedBySystem = namedBySystem && systemName;
        const QString what = systemName ? device.description : device.location;
        named.append(what.isEmpty() ? port : kHighPortDevice.arg(port, what));
    }
    if (named.isEmpty())
        return {};
    const QString &hint = namedBySystem ? kHighPortsNamedBySystem : kHighPortsNumbered;
    return hint.arg(named.join(kHighPortSeparator));
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
        openingSucceeded(form, state.portNo);
    } catch (const CommError &error) {
        failurePresentation(form, state.portNo, failureReason(error, state.portNo));
    }
}

void portSelection(const Form1Controls &form, Module1 &state)
{
    // Whatever the user chooses, a port lost before is no longer awaited.
    form.MSComm1->stopAwaitingReturn();
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
        openingSucceeded(form, state.portNo);
        showChosenPortLamps(form);
    } catch (const CommError &error) {
        failurePresentation(form, state.portNo, failureReason(error, state.portNo));
    }
}

void portLost(const Form1Controls &form, const Module1 &state)
{
    form.zttext->setText(kStatusPrefix + QString::number(state.portNo) + kStatusLost);
    const CommError lost = lostLine(state.portNo, form.MSComm1->openedDevice());
    setReason(form, failureReason(lost, state.portNo));
}

void portReturned(const Form1Controls &form, const Module1 &state)
{
    // The port was lost closed, so nothing is closed first.
    try {
        openingSequence(*form.MSComm1, state.portNo);
    } catch (const CommError &) {
        // Not ready yet (still being set up, or held for a moment): the control
        // raises portReturned again, and the status line keeps saying the port
        // was lost until it opens.
        return;
    }
    openingSucceeded(form, state.portNo);
    showChosenPortLamps(form);
}

void refreshPortTooltips(const Form1Controls &form)
{
    // One survey of the system for the whole list and the ports above it.
    const QList<SerialDevice> devices = form.MSComm1->locator().devices(kHighestPortNumber);
    for (int i = 0; i < form.comdk->count() && i < devices.size(); ++i)
        form.comdk->setItemData(i, plainToolTip(itemTooltip(devices.at(i))), Qt::ToolTipRole);
    const QString hint = highPortsHint(devices);
    form.comdk->setToolTip(plainToolTip(hint));
    form.comdk->setAccessibleDescription(hint);
}
