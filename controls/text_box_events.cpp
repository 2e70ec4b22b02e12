// The KeyPress and Click events of the fssj text boxes.
#include "controls/text_box_events.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

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

// Watches the program's windows while a composition is open. A window sees a
// press before Qt moves the focus for it, and learns that it is losing the
// focus before its widgets do; some input methods hand the composition over
// as committed text as soon as the focus starts to move, so it is thrown away
// first.
class TextBoxEvents::FocusWatcher : public QObject
{
public:
    explicit FocusWatcher(TextBoxEvents *events)
        : QObject(events)
        , m_events(events)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!watched->isWindowType())
            return false;
        const QWidget *top = widgetOf(static_cast<QWindow *>(watched));
        if (!top)
            return false; // not one of ours: the input method's candidate window
        switch (event->type()) {
        case QEvent::FocusAboutToChange: // another window, or this one closing
            m_events->discardComposition();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
        case QEvent::TabletPress: {
            auto *pointer = static_cast<QPointerEvent *>(event);
            if (pointer->pointCount() == 0)
                break;
            const QPoint at = pointer->point(0).position().toPoint();
            const QWidget *target = top->childAt(at);
            if (takesTheFocus(target ? target : top))
                m_events->discardComposition();
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    static const QWidget *widgetOf(const QWindow *window)
    {
        const QWidgetList tops = QApplication::topLevelWidgets();
        for (const QWidget *top : tops) {
            if (top->windowHandle() == window)
                return top;
        }
        return nullptr;
    }

    // Whether a press on widget clears a box or moves the focus, as Qt gives
    // it to the first widget up the chain that takes the focus on a click.
    bool takesTheFocus(const QWidget *widget) const
    {
        for (; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
            if (m_events->m_indexOf.contains(const_cast<QWidget *>(widget)))
                return true;
            if (widget->isEnabled() && (widget->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus)
                return true;
        }
        return false;
    }

    TextBoxEvents *m_events;
};

TextBoxEvents::TextBoxEvents(QObject *parent)
    : QObject(parent)
    , m_focusWatcher(new FocusWatcher(this))
{
}

TextBoxEvents::~TextBoxEvents()
{
    if (!m_composing.isEmpty())
        qApp->removeEventFilter(m_focusWatcher);
}

void TextBoxEvents::watch(QWidget *box, int index)
{
    QList<QWidget *> parts {box};
    if (auto *area = qobject_cast<QAbstractScrollArea *>(box))
        parts.append(area->viewport());
    for (QWidget *part : parts) {
        m_indexOf.insert(part, index);
        part->installEventFilter(this);
        connect(part, &QObject::destroyed, this, [this](QObject *gone) {
            m_indexOf.remove(gone);
            setComposing(gone, false);
        });
    }
}

bool TextBoxEvents::isComposing(const QWidget *box) const
{
    return m_composing.contains(const_cast<QWidget *>(box));
}

void TextBoxEvents::setComposing(QObject *box, bool composing)
{
    const bool before = !m_composing.isEmpty();
    if (composing)
        m_composing.insert(box);
    else
        m_composing.remove(box);
    const bool after = !m_composing.isEmpty();
    if (after && !before)
        qApp->installEventFilter(m_focusWatcher);
    else if (before && !after)
        qApp->removeEventFilter(m_focusWatcher);
}

void TextBoxEvents::discardComposition()
{
    if (m_composing.isEmpty() || m_discarding)
        return;
    m_discarding = true;
    // Whatever the input method hands over while it resets is dropped below.
    QGuiApplication::inputMethod()->reset();
    m_discarding = false;
    const QSet<QObject *> boxes = m_composing;
    for (QObject *box : boxes) {
        QInputMethodEvent ended; // takes the composition off the screen, enters nothing
        QCoreApplication::sendEvent(box, &ended);
        setComposing(box, false);
    }
}

// A commit counts as typed only while the box has the focus in the active
// window and no composition is being thrown away; otherwise it is the input
// method handing over what the user never confirmed, and is dropped.
bool TextBoxEvents::inputMethodEvent(QObject *watched, QEvent *event, int index)
{
    const auto *im = static_cast<QInputMethodEvent *>(event);
    auto *box = static_cast<QWidget *>(watched);
    const bool typed = !m_discarding && QApplication::focusWidget() == box && box->isActiveWindow()
                       && QGuiApplication::focusWindow() == box->window()->windowHandle();
    if (!im->commitString().isEmpty() && !typed) {
        setComposing(box, false);
        QInputMethodEvent ended;
        QCoreApplication::sendEvent(box, &ended);
        return true;
    }
    for (const QString &character : characters(im->commitString()))
        emit KeyPress(index, character);
    setComposing(box, !im->preeditString().isEmpty());
    return false;
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
    case QEvent::InputMethod:
        return inputMethodEvent(watched, event, index);
    case QEvent::FocusOut:
        if (isComposing(static_cast<QWidget *>(watched)))
            discardComposition();
        break;
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
