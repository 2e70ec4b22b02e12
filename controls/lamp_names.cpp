// Screen-reader names for stacked lamp pictures.
#include "controls/lamp_names.h"

#include <QEvent>
#include <QWidget>

LampNames::LampNames(const QList<Lamp> &lamps, QObject *parent)
    : QObject(parent)
    , m_lamps(lamps)
{
    for (const Lamp &lamp : lamps)
        lamp.picture->installEventFilter(this);
    update();
}

QString LampNames::currentName() const
{
    for (const Lamp &lamp : m_lamps) {
        if (!lamp.picture->isHidden())
            return lamp.name;
    }
    return {};
}

bool LampNames::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        update();
    return QObject::eventFilter(watched, event);
}

void LampNames::update()
{
    const QString name = currentName();
    if (name == m_name)
        return;
    m_name = name;
    for (const Lamp &lamp : m_lamps)
        lamp.picture->setAccessibleName(name);
    emit currentNameChanged();
}
