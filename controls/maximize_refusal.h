// Keeps a window that has no maximize out of the maximized state, however the
// window manager or a title bar of the platform's own brought it about, and
// gives it back the size it had. Where the window manager offers maximize to
// every window the user can resize (KWin), the window's size is fixed before
// it is shown, so that no maximize is offered at all.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>

class QWidget;

class MaximizeRefusal : public QObject
{
    Q_OBJECT

public:
    // Watches window, whose child it becomes.
    explicit MaximizeRefusal(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rememberNormalGeometry();
    void undoMaximize();

    QWidget *m_window;
    QRect m_normalGeometry; // the last geometry while not maximized
    bool m_undoingMaximize = false;
    QElapsedTimer m_sinceUndo; // since a maximized state was undone
    bool m_shown = false;
};
