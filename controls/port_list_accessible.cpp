// The port list's accessible interface. Qt names a combo box after its current
// text on Linux; here the name is the control's accessible name (its label)
// and the current text is the value.
#include "controls/port_list_accessible.h"

#include "controls/port_list.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>

class PortListAccessible : public QAccessibleWidget
{
public:
    explicit PortListAccessible(PortList *list)
        : QAccessibleWidget(list, QAccessible::ComboBox)
    {
    }

    PortList *list() const { return static_cast<PortList *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return list()->currentText();
        return QAccessibleWidget::text(t);
    }

    // The drop-down list first, then the text field, as Qt's own combo box
    // has them, so that a screen reader finds the items and the chosen one.
    int childCount() const override { return list()->lineEdit() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(list()->view());
        if (index == 1 && list()->lineEdit())
            return QAccessible::queryAccessibleInterface(list()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == list()->view())
            return 0;
        if (list()->lineEdit() && child->object() == list()->lineEdit())
            return 1;
        return -1;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = list()->view()->isVisible();
        s.editable = list()->isEditable();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList {showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == showMenuAction() || actionName == pressAction())
            list()->showPopup();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

namespace {

QAccessibleInterface *portListFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("PortList") && object && object->isWidgetType())
        return new PortListAccessible(static_cast<PortList *>(object));
    return nullptr;
}

} // namespace

void makeAccessible(PortList *list)
{
    static const bool installed = [] {
        QAccessible::installFactory(portListFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // One made before the factory was there is Qt's own: replace it.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
    if (iface && !dynamic_cast<PortListAccessible *>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}
