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

#include <algorithm>
#include <vector>

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

// Every member of Form1Controls but the window has been filled, each by a row
// of its own (a row never takes another's place): the members the rows
// filled and the window's must cover the whole of it, so that a control the
// handlers use that the table lacks, or a member that is no control, stops
// the program at start-up.
void checkComplete(const Form1Controls &form, const QList<const void *> &filled)
{
    const auto *start = reinterpret_cast<const char *>(&form);
    std::vector<bool> covered(sizeof form, false);
    const auto cover = [&](const void *member) {
        const auto offset = std::size_t(static_cast<const char *>(member) - start);
        for (std::size_t i = offset; i < offset + sizeof(void *) && i < covered.size(); ++i)
            covered[i] = true;
    };
    cover(&form.Form1);
    for (const void *member : filled)
        cover(member);
    const auto gap = std::find(covered.begin(), covered.end(), false);
    if (gap != covered.end())
        qFatal("Form1: no control of the table fills byte %lld of Form1Controls",
               qlonglong(gap - covered.begin()));
}

} // namespace

Form1Controls buildForm1Controls(QWidget *form, const PortLocator &locator)
{
    Form1Controls c;
    c.Form1 = form;
    QList<const void *> filled;
    QHash<QString, QWidget *> built;
    QMap<int, QWidget *> tabOrder;

    for (const ControlRow &row : form1ControlTable()) {
        if (row.kind == ControlKind::SerialControl) {
            auto *comm = new MSComm(locator, form);
            comm->setObjectName(row.name);
            filled.append(row.slot(c, comm, row.name));
            continue;
        }
        QWidget *container = row.container.isEmpty() ? form : built.value(row.container);
        Q_ASSERT(container);
        QWidget *widget = createControl(row, container);
        widget->setObjectName(row.name);
        filled.append(row.slot(c, widget, row.name));
        built.insert(row.name, widget);
        setGeometryFromTable(widget, row);
        setFocusBehaviour(widget, row);
        // Each control goes behind the ones created before it in its container.
        widget->lower();
        if (widget->focusPolicy() != Qt::NoFocus)
            tabOrder.insert(row.tabIndex, widget);
    }

    QWidget *previous = nullptr;
    for (QWidget *widget : std::as_const(tabOrder)) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }

    checkComplete(c, filled);
    for (const ControlRow &row : form1ControlTable()) {
        if (row.namedAfter.isEmpty())
            continue;
        QWidget *captioned = built.value(row.namedAfter);
        if (!captioned)
            qFatal("Form1: %s is named after %s, which the table lacks", qPrintable(row.name),
                   qPrintable(row.namedAfter));
        nameAfterCaption(built.value(row.name), captioned);
    }
    setAccessibleNames(c);
    return c;
}
