// Builds Form1's controls from the control table.
#include "app/form1_builder.h"

#include "app/control_table.h"
#include "app/form1_accessibility.h"
#include "controls/flat_text_box.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "serial/serial_port.h"

#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <type_traits>

namespace {

void setColours(QWidget *widget, const ControlRow &row, QPalette::ColorRole backRole,
                QPalette::ColorRole textRole)
{
    QPalette pal = widget->palette();
    if (row.background.isValid())
        pal.setColor(backRole, row.background);
    if (row.foreground.isValid())
        pal.setColor(textRole, row.foreground);
    widget->setPalette(pal);
}

QWidget *createTextBox(const ControlRow &row, QWidget *container)
{
    auto *box = (row.flags & FlatBorder) ? new FlatTextBox(container) : new QLineEdit(container);
    box->setText(row.text);
    box->setReadOnly(row.flags & ReadOnly);
    if (row.flags & Centred)
        box->setAlignment(Qt::AlignCenter);
    setColours(box, row, QPalette::Base, QPalette::Text);
    return box;
}

QWidget *createMultiLineBox(const ControlRow &row, QWidget *container)
{
    QWidget *box = nullptr;
    if (row.kind == ControlKind::SendBox) {
        auto *send = new QPlainTextEdit(container);
        send->setPlainText(row.text);
        send->setReadOnly(row.flags & ReadOnly);
        send->setTabChangesFocus(true);
        send->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        send->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        send->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box = send;
    } else {
        auto *receive = new ReceiveView(container);
        receive->setText(row.text);
        box = receive;
    }
    return box;
}

QWidget *createControl(const ControlRow &row, QWidget *container)
{
    switch (row.kind) {
    case ControlKind::SerialControl:
        return nullptr;
    case ControlKind::TextBox:
        return createTextBox(row, container);
    case ControlKind::SendBox:
    case ControlKind::ReceiveBox:
        return createMultiLineBox(row, container);
    case ControlKind::PortList: {
        auto *list = new PortList(container);
        for (const QString &item : portListItems())
            list->addItem(item, 0);
        list->setEditText(row.text);
        return list;
    }
    case ControlKind::Frame: {
        // The caption takes the frame's window-text colour; the controls
        // inside set their own text colours or use other colour roles.
        auto *frame = new QGroupBox(row.text, container);
        setColours(frame, row, QPalette::Window, QPalette::WindowText);
        return frame;
    }
    case ControlKind::Button:
        return new QPushButton(row.text, container);
    case ControlKind::PictureBox: {
        auto *picture = new PictureBox(container);
        picture->setPicture(row.text);
        picture->setBackgroundColor(row.background);
        return picture;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(row.text, container);
        label->setAutoFillBackground(true);
        setColours(label, row, QPalette::Window, QPalette::WindowText);
        return label;
    }
    }
    return nullptr;
}

void setGeometryFromTable(QWidget *widget, const ControlRow &row)
{
    widget->move(twipsToPixels(row.left), twipsToPixels(row.top));
    if (row.kind == ControlKind::Label) {
        // Labels size themselves to their one-line caption.
        const QFontMetrics metrics = widget->fontMetrics();
        widget->resize(metrics.horizontalAdvance(row.text), metrics.ascent() + metrics.descent());
    } else {
        widget->resize(twipsToPixels(row.width), twipsToPixels(row.height));
    }
}

void setFocusBehaviour(QWidget *widget, const ControlRow &row)
{
    switch (row.kind) {
    case ControlKind::Frame:
    case ControlKind::Label:
    case ControlKind::PictureBox:
        widget->setFocusPolicy(Qt::NoFocus);
        break;
    case ControlKind::ReceiveBox:
    case ControlKind::TextBox:
        // Not tab stops, but a click still reaches them.
        widget->setFocusPolicy((row.flags & NotTabStop) ? Qt::ClickFocus : Qt::StrongFocus);
        break;
    default:
        widget->setFocusPolicy(Qt::StrongFocus);
        break;
    }
}

// The control as the kind the handlers expect; anything else stops the
// program at start-up.
template<typename Kind> Kind *as(QWidget *widget, const QString &name)
{
    auto *control = qobject_cast<Kind *>(widget);
    if (!control)
        qFatal("Form1: %s is not a %s", qPrintable(name), Kind::staticMetaObject.className());
    return control;
}

template<auto member> void keepIn(Form1Controls &c, QWidget *widget, const QString &name)
{
    using Kind = std::remove_pointer_t<std::remove_reference_t<decltype(c.*member)>>;
    c.*member = as<Kind>(widget, name);
}

// Puts a new control where the handlers find it in Form1Controls.
void keep(Form1Controls &c, const QString &name, QWidget *widget)
{
    using Place = void (*)(Form1Controls &, QWidget *, const QString &);
    using F = Form1Controls;
    static const QHash<QString, Place> places {
        {"zttext", keepIn<&F::zttext>},
        {"comdk", keepIn<&F::comdk>},
        {"Frame1(0)",
         [](F &form, QWidget *w, const QString &n) { form.Frame1[0] = as<QGroupBox>(w, n); }},
        {"Frame1(1)",
         [](F &form, QWidget *w, const QString &n) { form.Frame1[1] = as<QGroupBox>(w, n); }},
        {"Command2", keepIn<&F::Command2>},
        {"Picture1", keepIn<&F::Picture1>},
        {"fssj(0)", keepIn<&F::fssj0>},
        {"fssj(1)", keepIn<&F::fssj1>},
        {"Command1", keepIn<&F::Command1>},
        {"LEDG", keepIn<&F::LEDG>},
        {"Text3", keepIn<&F::Text3>},
        {"Text2", keepIn<&F::Text2>},
        {"Text1", keepIn<&F::Text1>},
        {"LEDR", keepIn<&F::LEDR>},
        {"LEDM2", keepIn<&F::LEDM2>},
        {"Label4", keepIn<&F::Label4>},
        {"Label5", keepIn<&F::Label5>},
        {"Label3", keepIn<&F::Label3>},
        {"Label2", keepIn<&F::Label2>},
        {"Label1", keepIn<&F::Label1>},
    };
    if (const Place place = places.value(name))
        place(c, widget, name);
}

// Every control the handlers use came from the table.
void checkComplete(const Form1Controls &c)
{
    const QObject *controls[] = {
        c.MSComm1, c.zttext, c.comdk,    c.Frame1[0], c.Frame1[1], c.Command2, c.Picture1,
        c.fssj0,   c.fssj1,  c.Command1, c.LEDG,      c.Text3,     c.Text2,    c.Text1,
        c.LEDR,    c.LEDM2,  c.Label4,   c.Label5,    c.Label3,    c.Label2,   c.Label1};
    for (const QObject *control : controls) {
        if (!control)
            qFatal("Form1: the control table lacks a control the handlers use");
    }
}

} // namespace

Form1Controls buildForm1Controls(QWidget *form, const PortLocator &locator)
{
    Form1Controls c;
    c.Form1 = form;
    QHash<QString, QWidget *> containers;
    QMap<int, QWidget *> tabOrder;

    for (const ControlRow &row : form1ControlTable()) {
        if (row.kind == ControlKind::SerialControl) {
            c.MSComm1 = new MSComm(locator, form);
            c.MSComm1->setObjectName(row.name);
            continue;
        }
        QWidget *container = row.container.isEmpty() ? form : containers.value(row.container);
        Q_ASSERT(container);
        QWidget *widget = createControl(row, container);
        widget->setObjectName(row.name);
        keep(c, row.name, widget);
        setGeometryFromTable(widget, row);
        setFocusBehaviour(widget, row);
        // Each control goes behind the ones created before it in its container.
        widget->lower();
        if (row.kind == ControlKind::Frame)
            containers.insert(row.name, widget);
        if (widget->focusPolicy() != Qt::NoFocus)
            tabOrder.insert(row.tabIndex, widget);
    }

    QWidget *previous = nullptr;
    for (QWidget *widget : std::as_const(tabOrder)) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }

    checkComplete(c);
    setAccessibleNames(c);
    return c;
}
