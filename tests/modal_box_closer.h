// Test helper: answers the modal message boxes the program shows, clicking
// their first button, and records what each showed.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

struct SeenBox
{
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool windowVisible = false; // whether the watched window was showing then
};

class ModalBoxCloser : public QObject
{
    Q_OBJECT

public:
    // window: the program's window, whose visibility is noted for each box.
    explicit ModalBoxCloser(QWidget *window = nullptr, QObject *parent = nullptr);

    const QList<SeenBox> &seen() const { return m_seen; }
    void setWindow(QWidget *window) { m_window = window; }

private:
    void check();

    QPointer<QWidget> m_window;
    QTimer m_timer;
    QList<SeenBox> m_seen;
};
