// SerialLine: one serial device of the platform as MSComm needs it: opened
// with line settings, bytes read and written, and word when it goes away.
// serial_line_unix.cpp (QSerialPort) and serial_line_win.cpp (Win32) implement it.
#pragma once

#include "serial/line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class SerialLine : public QObject
{
    Q_OBJECT

public:
    // What the line reads from the device ahead of its reader. Once that much
    // waits untaken it stops reading, so the system holds the rest and, on a
    // line that can, the sender.
    static constexpr qint64 kReadAheadBytes = 16 * 1024;

    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    // Whether the system has the device now, as far as can be told without
    // opening it (a node in /dev, a name Windows knows).
    static bool isPresent(const QString &device);

    // Opens device as COMn, exclusively; throws CommError when it cannot.
    void open(int portNumber, const QString &device, const LineSettings &settings);
    // Closes the device; nothing is signalled after this.
    void close();
    bool isOpen() const;

    // Takes every byte received so far (also after lost(), until closed).
    QByteArray readAll();
    // Discards everything received, including what the system still holds.
    void clearInput();
    // Hands the bytes to the system without blocking; false when the line
    // takes nothing because it has gone away.
    bool write(const QByteArray &bytes);

signals:
    // Bytes have arrived; readAll() takes them.
    void readyRead();
    // The device went away (hang-up, unplugged adapter). The line stays open
    // until closed, so the last bytes can still be taken.
    void lost();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
