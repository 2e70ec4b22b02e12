// MSComm: the program's serial communications control, a thin event-driven
// wrapper over the platform's serial device (SerialLine) with the operations
// the program uses.
//
// Failing operations throw CommError. Received bytes are decoded from code
// page 936 and kept in memory until read with Input(); OnComm is raised once
// per received character, in arrival order, from the event loop and never
// inside the handler of another OnComm. The program's own handler is called
// directly (a signal connected to it costs several times as much per
// character), the signal then goes out for anyone else, and Input() hands out
// the text without copying it, so that a notification costs a few calls
// rather than an allocation. Owed notifications go out in batches
// of a few milliseconds, so a fast line costs one event-loop pass per batch
// rather than per character while keys, clicks and painting still get their
// turn between batches. While too much waits unread the control stops taking
// bytes from the device, so the sender is held back instead of memory growing.
// A port that goes away is closed and then awaited: portReturned says when
// its device is there again, for the program to open it.
#pragma once

#include "serial/gbk.h"
#include "serial/line_settings.h"
#include "serial/port_locator.h"
#include "serial/port_watch.h"
#include "serial/serial_line.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class MSComm : public QObject
{
    Q_OBJECT

public:
    // CommEvent codes
    static constexpr int kComEvReceive = 2;

    // Most characters kept waiting unread before the control stops taking
    // bytes from the device: 128 KiB of text and a few milliseconds of the
    // program's work, yet several reads' worth, so a fast link is held back
    // only when the program really is behind. A 9600-baud line never comes
    // near it.
    static constexpr qsizetype kMaxWaitingCharacters = 64 * 1024;

    explicit MSComm(PortLocator locator, QObject *parent = nullptr);
    ~MSComm() override;

    // The device that COMn stands for ("" when there is none).
    QString deviceName(int portNumber) const;
    // How COMn is mapped, for listing the ports with a single survey.
    const PortLocator &locator() const { return m_locator; }
    // The device of the last successful opening ("" before the first).
    QString openedDevice() const { return m_device; }

    // Port number n of COMn used by the next opening; error while open.
    void setCommPort(int portNumber);
    int commPort() const { return m_commPort; }

    // "baud,parity,data,stop", for example "9600,N,8,1"; error while open or
    // when malformed.
    void setSettings(const QString &settings);
    QString settings() const { return m_settings; }

    // Whether received text raises OnComm: 0 never; any other value once per
    // received character (the program sets 1; larger values act as 1).
    // Setting 0 also drops the notifications still owed.
    void setRThreshold(int characters);
    int rThreshold() const { return m_rThreshold; }

    // Most characters one read of Input() returns (0: all waiting).
    void setInputLen(int characters);
    int inputLen() const { return m_inputLen; }

    // True opens COMn with the current settings, False closes. Either ends
    // the wait for a lost port once it has succeeded.
    bool PortOpen() const;
    void setPortOpen(bool open);

    // Whether the port that was lost is awaited: from its loss until a port
    // is opened or closed, or stopAwaitingReturn().
    bool awaitsReturn() const { return m_returnWatch.isActive(); }
    void stopAwaitingReturn() { m_returnWatch.stop(); }

    // Only 0 is accepted: discards everything received so far, including
    // what the system still holds.
    void setInBufferCount(int count);
    int inBufferCount() const;

    // Sends the code page 936 bytes of the text at once; nothing is written
    // when no port is open. Never throws: a line that takes nothing is closed
    // as lost.
    void setOutput(const QString &text);

    // Code of the notification being delivered.
    int CommEvent() const { return m_commEvent; }

    // Removes and returns up to InputLen waiting characters. The text stays
    // with the control: it is valid until the next Input(), until the input
    // is cleared or a port opened or closed, and no longer than the OnComm
    // handler that read it; keep a copy (toString()) for longer.
    QStringView Input();

    // The OnComm handler of the program, called for every notification before
    // the signal is emitted. It may not replace itself while it runs.
    void setOnCommHandler(std::function<void()> handler) { m_onCommHandler = std::move(handler); }
    const std::function<void()> &onCommHandler() const { return m_onCommHandler; }

signals:
    void OnComm();
    // The open port went away (hang-up or unplugged device) and was closed.
    void portLost();
    // The lost port's device is there again (COMn has a device once more).
    // Raised again, more and more slowly up to once a second, while it is
    // there and the wait goes on: a device just plugged in may refuse to be
    // opened for a moment.
    void portReturned();

private:
    void readArrivedBytes();
    void resumeReading();
    void scheduleNotification();
    void deliverNotifications();
    void closeLostPort();
    void reportLoss(quint64 opening);
    void awaitReturnOf(int portNumber);
    void appendReceived(QByteArrayView bytes);
    void appendDecoded(const QString &text);
    void takeIncoming();
    void discardReceived();
    void closePort();

    PortLocator m_locator;
    SerialLine m_line;
    Gbk::Decoder m_decoder;
    QString m_received; // decoded, not yet read; starts at m_readPos
    qsizetype m_readPos = 0;
    // Decoded after m_received, added to it only by Input(), so that text
    // arriving while a handler runs leaves the text it was handed in place.
    QString m_incoming;
    qsizetype m_notificationsOwed = 0;
    std::function<void()> m_onCommHandler;
    // Fires from the event loop, once per pass, while notifications are owed
    // or reading waits to resume.
    QTimer m_notificationTimer;
    bool m_readingPaused = false; // bytes left with the device until the backlog drains
    PortWatch m_returnWatch;
    // Counts openings and closings, so that a loss notice still in the queue
    // when the program has opened or closed a port since changes nothing.
    quint64 m_opening = 0;
    int m_commPort = 1;
    QString m_device;
    LineSettings m_lineSettings;
    QString m_settings = lineSettingsText(m_lineSettings);
    int m_rThreshold = 0;
    int m_inputLen = 0;
    int m_commEvent = 0;
};
