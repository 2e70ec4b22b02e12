// Turns what the user does in the fssj text boxes into their KeyPress and
// Click events, reported with the box's index before the box itself reacts.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QKeyEvent;
class QWidget;

// The character a key press produces ("" for none): its text, Enter as CR,
// Backspace as BS, Escape as ESC and Ctrl+letter as its control code. Tab
// moves the focus and Delete edits the box; neither produces a character.
QString keyPressCharacter(const QKeyEvent &event);

class TextBoxEvents : public QObject
{
    Q_OBJECT

public:
    explicit TextBoxEvents(QObject *parent = nullptr);

    // Reports the events of box (and of its viewport, if it has one) with index.
    void watch(QWidget *box, int index);

signals:
    // A character typed or committed by an input method; one per character.
    void KeyPress(int index, const QString &keyChar);
    // A left-button click inside the box.
    void Click(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, int> m_indexOf;
    QObject *m_pressedIn = nullptr;
};
