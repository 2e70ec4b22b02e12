// Turns what the user does in the fssj text boxes into their KeyPress and
// Click events, reported with the box's index before the box itself reacts.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QKeyEvent;
class QWidget;

// The character a key press produces ("" for none): its text, Enter as CR,
// Backspace as BS, Escape as ESC and Ctrl+letter as its control code. Tab
// moves the focus and Delete edits the box; neither produces a character.
QString keyPressCharacter(const QKeyEvent &event);

// Only what the user confirms in a box is a key press. An input method's
// composition that is still open when the focus leaves the box (for a button,
// the port list, another window, or as the window closes) or when the box is
// clicked is thrown away, and the input method reset, so that its candidate
// window closes; the text an input method hands over on such occasions is
// not sent.
class TextBoxEvents : public QObject
{
    Q_OBJECT

public:
    explicit TextBoxEvents(QObject *parent = nullptr);
    ~TextBoxEvents() override;

    // Reports the events of box (and of its viewport, if it has one) with index.
    void watch(QWidget *box, int index);

    // Whether an input method is composing text in box, not yet confirmed.
    bool isComposing(const QWidget *box) const;

    // Throws away any unconfirmed composition and resets the input method.
    void discardComposition();

signals:
    // A character typed or committed by an input method; one per character.
    void KeyPress(int index, const QString &keyChar);
    // A left-button click inside the box.
    void Click(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class FocusWatcher;

    bool inputMethodEvent(QObject *watched, QEvent *event, int index);
    void setComposing(QObject *box, bool composing);

    QHash<QObject *, int> m_indexOf;
    QObject *m_pressedIn = nullptr;
    QSet<QObject *> m_composing;
    bool m_discarding = false;
    FocusWatcher *m_focusWatcher = nullptr;
};
