// Names stacked lamp pictures for screen readers after the lamp the user
// sees: every lamp of the stack carries the name of the frontmost shown one,
// kept up to date as lamps are shown and hidden.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

class LampNames : public QObject
{
    Q_OBJECT

public:
    struct Lamp
    {
        QWidget *picture;
        QString name; // what is said while this lamp is the one seen
    };

    // lamps from front to back, all on one spot.
    explicit LampNames(const QList<Lamp> &lamps, QObject *parent = nullptr);

    // The name of the lamp that is seen, or "" when none is shown.
    QString currentName() const;

signals:
    // The lamp seen is another one (or none).
    void currentNameChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();

    QList<Lamp> m_lamps;
    QString m_name;
};
