// The port list comdk.
#include "controls/port_list.h"

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
}

void PortList::showPopup()
{
    emit listAboutToOpen();
    QComboBox::showPopup();
}
