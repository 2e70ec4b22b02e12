// A notice for screen readers: an accessible object in the notification role,
// which Orca, Narrator and NVDA speak whatever has the keyboard focus, so that
// a change away from the focus (an echo, the status line, the lamp) is heard.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

class ScreenReaderNotice : public QObject
{
    Q_OBJECT

public:
    // The notice sits under owner in the accessibility tree. said is the text
    // taken as already known, which sayIfChanged() does not repeat.
    explicit ScreenReaderNotice(QWidget *owner, const QString &said = {});

    // Presents text at once (nothing while no screen reader listens).
    void say(const QString &text);

    // Presents text at the end of this event-loop pass unless it is what was
    // said last; changes within one pass make one notice of the last of them.
    // While owner's window is inactive the notice waits for its activation,
    // as a screen reader presents nothing of a window the user is not in.
    void sayIfChanged(const QString &text);

    QString text() const { return m_text; }
    QWidget *owner() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void sayWanted();
    // Raises the event on which the platform's screen readers speak the
    // notice's text (screen_reader_notice_unix.cpp, _win.cpp).
    void present();

    QPointer<QWidget> m_owner;
    QString m_text; // what the notice holds now
    QString m_said; // what sayIfChanged() last had said
    QString m_wanted;
    bool m_scheduled = false;
};
