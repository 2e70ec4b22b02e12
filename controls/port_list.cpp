// The port list comdk.
#include "controls/port_list.h"

#include <QEvent>
#include <QLineEdit>

PortList::PortList(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    // Typed text is neither added to the list nor completed from it.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // QComboBox treats a typed text that matches an item as a choice once
    // editing finishes (Enter or leaving the field); here it is only text.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    // The field is narrow, 57 pixels less the arrow. Set a pixel tighter,
    // "COM1" to "COM8" fit whole in every Chinese face the window uses, whose
    // Latin letters are wider than the 6 pixels the layout was made for; the
    // face and size still come from the window.
    QFont tighter;
    tighter.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    setFont(tighter);
}

void PortList::showPopup()
{
    emit listAboutToOpen();
    QComboBox::showPopup();
}

bool PortList::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip)
        emit toolTipAboutToShow();
    return QComboBox::event(event);
}
