// The control table of Form1.
#include "app/control_table.h"

#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "serial/serial_port.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <type_traits>

namespace {

const QColor kCaptionGreen(0, 128, 0);
const QColor kLampGrey(192, 192, 192);
const QColor kCodeBoxBack(192, 255, 192);
const QColor kCodeBoxText(255, 0, 0);
const QColor kLabelBlue(0, 0, 255);
// The system's scroll-bar colour on the desktop this window was laid out for.
const QColor kScrollBarGrey(200, 200, 200);

template<typename Kind> Kind *as(QObject *control, const QString &name)
{
    auto *kept = qobject_cast<Kind *>(control);
    if (!kept)
        qFatal("Form1: %s is not a %s", qPrintable(name), Kind::staticMetaObject.className());
    return kept;
}

template<typename Kind> const void *keepOnce(Kind *&member, QObject *control, const QString &name)
{
    if (member)
        qFatal("Form1: %s takes the place of another control", qPrintable(name));
    member = as<Kind>(control, name);
    return &member;
}

// The slot of a member of Form1Controls.
template<auto member> const void *in(Form1Controls &form, QObject *control, const QString &name)
{
    return keepOnce(form.*member, control, name);
}

// The slot of an element of an array member.
template<auto member, int index>
const void *at(Form1Controls &form, QObject *control, const QString &name)
{
    return keepOnce((form.*member)[index], control, name);
}

} // namespace

QString form1Caption()
{
    return QStringLiteral(" RS-232串行通信测试程序  ")
           + QStringLiteral("示例电子工作室 www.example.com");
}

QString sendBoxPrompt()
{
    return QStringLiteral(
        "请点击此处激活输入窗口，然后按压PC键盘，输入要发送给单片机的字符，即可看到发送给"
        "单片机的字符被单片机接收后重新发送回来，电脑接收后会显示在接收数据窗中。\r\n");
}

QStringList portListItems()
{
    return {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
            QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("COM6"),
            QStringLiteral("COM7"), QStringLiteral("COM8")};
}

const QList<ControlRow> &form1ControlTable()
{
    using K = ControlKind;
    using F = Form1Controls;
    const QString window;
    const QString frame0 = QStringLiteral("Frame1(0)");
    const QString frame1 = QStringLiteral("Frame1(1)");
    const int codeBox = Centred | FlatBorder | NotTabStop;

    // clang-format off
    static const QList<ControlRow> table {
        {"MSComm1",   in<&F::MSComm1>,     K::SerialControl, window, 0, 0, 0, 0, {}, {}, {}, NoFlags, -1, {}},
        {"zttext",    in<&F::zttext>,      K::TextBox,    window, 2760, 5010, 5055, 345, {}, {}, {}, ReadOnly | NotTabStop, 7, "Label2"},
        {"comdk",     in<&F::comdk>,       K::PortList,   window, 1080, 5040, 855, 300, "COM1", {}, {}, NoFlags, 4, "Label1"},
        {"Frame1(1)", at<&F::Frame1, 1>,   K::Frame,      window, 120, 2520, 7695, 2295, "接收数据窗", {}, kCaptionGreen, NoFlags, 2, {}},
        {"Command2",  in<&F::Command2>,    K::Button,     frame1, 240, 1680, 975, 375, "清 屏", {}, {}, NoFlags, 19, {}},
        {"Picture1",  in<&F::Picture1>,    K::PictureBox, frame1, 120, 360, 1335, 975, "computer", kScrollBarGrey, {}, NoFlags, 18, {}},
        {"fssj(1)",   in<&F::fssj1>,       K::ReceiveBox, frame1, 1560, 240, 6015, 1935, {}, {}, {}, ReadOnly | NotTabStop, 3, "Frame1(1)"},
        {"Frame1(0)", at<&F::Frame1, 0>,   K::Frame,      window, 120, 120, 7695, 2295, "PC发送数据窗", {}, kCaptionGreen, NoFlags, 0, {}},
        {"Command1",  in<&F::Command1>,    K::Button,     frame0, 120, 1730, 975, 375, "继电器", {}, {}, NoFlags, 17, {}},
        {"LEDG",      in<&F::LEDG>,        K::PictureBox, frame0, 1200, 1800, 255, 240, "led_green", kLampGrey, {}, NoFlags, 14, {}},
        {"Text3",     in<&F::Text3>,       K::TextBox,    frame0, 840, 1320, 615, 270, {}, kCodeBoxBack, kCodeBoxText, codeBox, 13, "Label4"},
        {"Text2",     in<&F::Text2>,       K::TextBox,    frame0, 840, 840, 615, 270, {}, kCodeBoxBack, kCodeBoxText, codeBox, 11, "Label5"},
        {"Text1",     in<&F::Text1>,       K::TextBox,    frame0, 840, 360, 615, 270, {}, kCodeBoxBack, kCodeBoxText, codeBox, 10, "Label3"},
        {"fssj(0)",   in<&F::fssj0>,       K::SendBox,    frame0, 1560, 240, 6015, 1935, sendBoxPrompt(), {}, {}, ReadOnly, 1, "Frame1(0)"},
        {"LEDR",      in<&F::LEDR>,        K::PictureBox, frame0, 1200, 1800, 255, 240, "led_red", kLampGrey, {}, NoFlags, 16, {}},
        {"LEDM2",     in<&F::LEDM2>,       K::PictureBox, frame0, 1200, 1800, 255, 240, "led_grey", kLampGrey, {}, NoFlags, 15, {}},
        {"Label4",    in<&F::Label4>,      K::Label,      frame0, 120, 1380, 720, 180, "16进制：", {}, kLabelBlue, NoFlags, 12, {}},
        {"Label5",    in<&F::Label5>,      K::Label,      frame0, 120, 900, 720, 180, "10进制：", {}, kLabelBlue, NoFlags, 9, {}},
        {"Label3",    in<&F::Label3>,      K::Label,      frame0, 120, 405, 720, 180, "PC按键：", {}, kLabelBlue, NoFlags, 8, {}},
        {"Label2",    in<&F::Label2>,      K::Label,      window, 2160, 5080, 540, 180, "状态：", {}, QColor(192, 0, 192), NoFlags, 6, {}},
        {"Label1",    in<&F::Label1>,      K::Label,      window, 120, 5100, 900, 180, "串口选择：", {}, QColor(192, 0, 0), NoFlags, 5, {}},
    };
    // clang-format on
    return table;
}
