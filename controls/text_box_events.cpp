// The KeyPress and Click events of the fssj text boxes.
#include "controls/text_box_events.h"

#include <QAbstractScrollArea>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

// Splits a text into characters, keeping each surrogate pair whole.
QStringList characters(const QString &text)
{
    QStringList result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
        result.append(text.mid(i, length));
        i += length - 1;
    }
    return result;
}

} // namespace

QString keyPressCharacter(const QKeyEvent &event)
{
    const int key = event.key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Delete)
        return {};
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    if (mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier) && key >= Qt::Key_A
        && key <= Qt::Key_Z)
        return QString(QChar(key - Qt::Key_A + 1));
    if (!event.text().isEmpty())
        return event.text();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Backspace:
        return QStringLiteral("\b");
    case Qt::Key_Escape:
        return QStringLiteral("\x1b");
    default:
        return {};
    }
}

TextBoxEvents::TextBoxEvents(QObject *parent)
    : QObject(parent)
{
}

void TextBoxEvents::watch(QWidget *box, int index)
{
    m_indexOf.insert(box, index);
    box->installEventFilter(this);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(box)) {
        m_indexOf.insert(area->viewport(), index);
        area->viewport()->installEventFilter(this);
    }
}

bool TextBoxEvents::eventFilter(QObject *watched, QEvent *event)
{
    const auto found = m_indexOf.constFind(watched);
    if (found == m_indexOf.cend())
        return false;
    const int index = *found;

    switch (event->type()) {
    case QEvent::KeyPress: {
        const QString text = keyPressCharacter(*static_cast<QKeyEvent *>(event));
        for (const QString &character : characters(text))
            emit KeyPress(index, character);
        break;
    }
    case QEvent::InputMethod: {
        const auto *im = static_cast<QInputMethodEvent *>(event);
        for (const QString &character : characters(im->commitString()))
            emit KeyPress(index, character);
        break;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_pressedIn = watched;
        break;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool inside =
            static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && m_pressedIn == watched && inside) {
            m_pressedIn = nullptr;
            emit Click(index);
        }
        break;
    }
    default:
        break;
    }
    return false; // the box still applies the event in its usual way
}
