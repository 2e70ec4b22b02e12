// What arrives in the receive box, told to a screen reader as notices: a short
// while after the first character of a batch, the batch; after that no sooner
// than its telling takes, so that a flood is heard a piece at a time rather
// than one character at a time, and speech never falls behind for long.
#pragma once

#include <QAccessible>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QTimer>

class ReceiveView;
class ScreenReaderNotice;

class ArrivalNotices : public QObject, public QAccessible::ActivationObserver
{
public:
    static constexpr int kGatherMs = 150; // a batch's first character to its notice
    static constexpr int kPauseMs = 1000; // least time between notices
    static constexpr int kMsPerCharacter = 100; // added to the pause per character told
    static constexpr qsizetype kMaxToldCharacters = 40; // of one batch

    explicit ArrivalNotices(ReceiveView *view);
    ~ArrivalNotices() override;

    void accessibilityActiveChanged(bool active) override;

    // A batch as told: its characters with control characters as spaces and
    // runs of white space as one; past kMaxToldCharacters, the first of them,
    // "……" and how many arrived. Empty when nothing but white space arrived.
    static QString noticeText(QStringView arrived, qsizetype arrivedCount);

private:
    void changed(qsizetype removedFromFront, qsizetype appended);
    void tell();

    QPointer<ReceiveView> m_view;
    ScreenReaderNotice *m_notice;
    QTimer m_timer;
    QDeadlineTimer m_quietUntil; // the last notice's telling
    qsizetype m_pending = 0; // characters at the end not yet told
    QMetaObject::Connection m_listening;
};
