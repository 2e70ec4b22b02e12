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

template<typename T> T *child(QWidget *form, const char *name)
{
    auto *found = form->findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
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

    c.zttext = child<QLineEdit>(form, "zttext");
    c.comdk = child<PortList>(form, "comdk");
    c.Frame1 = {child<QGroupBox>(form, "Frame1(0)"), child<QGroupBox>(form, "Frame1(1)")};
    c.Command2 = child<QPushButton>(form, "Command2");
    c.Picture1 = child<PictureBox>(form, "Picture1");
    c.fssj0 = child<QPlainTextEdit>(form, "fssj(0)");
    c.fssj1 = child<ReceiveView>(form, "fssj(1)");
    c.Command1 = child<QPushButton>(form, "Command1");
    c.LEDG = child<PictureBox>(form, "LEDG");
    c.Text3 = child<QLineEdit>(form, "Text3");
    c.Text2 = child<QLineEdit>(form, "Text2");
    c.Text1 = child<QLineEdit>(form, "Text1");
    c.LEDR = child<PictureBox>(form, "LEDR");
    c.LEDM2 = child<PictureBox>(form, "LEDM2");
    c.Label4 = child<QLabel>(form, "Label4");
    c.Label5 = child<QLabel>(form, "Label5");
    c.Label3 = child<QLabel>(form, "Label3");
    c.Label2 = child<QLabel>(form, "Label2");
    c.Label1 = child<QLabel>(form, "Label1");
    setAccessibleNames(c);
    return c;
}
