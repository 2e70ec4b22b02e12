// MSComm: the program's serial communications control, a thin event-driven
// wrapper over QSerialPort with the operations the program uses.
//
// Failing operations throw CommError. Received bytes are decoded from code
// page 936 and kept in memory until read with Input(); OnComm is raised once
// per received character, each time from the event loop, never inside the
// handler of another OnComm.
#pragma once

#include "serial/gbk.h"
#include "serial/line_settings.h"
#include "serial/port_locator.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

class MSComm : public QObject
{
    Q_OBJECT

public:
    // CommEvent codes
    static constexpr int comEvReceive = 2;

    explicit MSComm(PortLocator locator = systemPortLocator(), QObject *parent = nullptr);
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

    // Characters that must wait before OnComm is raised (0: never raised).
    void setRThreshold(int characters);
    int rThreshold() const { return m_rThreshold; }

    // Most characters one read of Input() returns (0: all waiting).
    void setInputLen(int characters);
    int inputLen() const { return m_inputLen; }

    // True opens COMn with the current settings, False closes.
    bool PortOpen() const;
    void setPortOpen(bool open);

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

    // Removes and returns up to InputLen waiting characters.
    QString Input();

signals:
    void OnComm();
    // The open port went away (hang-up or unplugged device) and was closed.
    void portLost();

private:
    void readArrivedBytes();
    void handleError(QSerialPort::SerialPortError error);
    void scheduleNotification();
    void deliverNotification();
    void closeLostPort();
    bool drainLine();
    void appendReceived(QByteArrayView bytes);
    void discardReceived();
    void closePort();

    PortLocator m_locator;
    QSerialPort m_port;
    Gbk::Decoder m_decoder;
    QString m_received; // decoded, not yet read; starts at m_readPos
    qsizetype m_readPos = 0;
    qsizetype m_notificationsOwed = 0;
    // Fires from the event loop, once per pass, while notifications are owed.
    QTimer m_notificationTimer;
    bool m_inNotification = false;
    bool m_closing = false;
    int m_commPort = 1;
    QString m_device;
    QString m_settings = QStringLiteral("9600,N,8,1");
    LineSettings m_lineSettings;
    int m_rThreshold = 0;
    int m_inputLen = 0;
    int m_commEvent = 0;
};
