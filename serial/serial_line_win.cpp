// SerialLine over the Win32 communications API: \\.\COMn opened exclusively,
// the line set through its DCB, overlapped reads and writes whose ends wake
// the event loop through QWinEventNotifier.
#include "serial/serial_line.h"

#include "serial/comm_error.h"
#include "serial/port_failure.h"

#include <QMetaObject>
#include <QWinEventNotifier>

#include <qt_windows.h>

#include <algorithm>

namespace {

// The driver's own queues, as most serial programs ask for them.
constexpr DWORD kDriverInputBytes = 1024;
constexpr DWORD kDriverOutputBytes = 512;

OpenRefusal refusal(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        return OpenRefusal::NoDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return OpenRefusal::Refused;
    default:
        return OpenRefusal::Other;
    }
}

BYTE parityCode(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even:
        return EVENPARITY;
    case LineSettings::Parity::Odd:
        return ODDPARITY;
    case LineSettings::Parity::Mark:
        return MARKPARITY;
    case LineSettings::Parity::Space:
        return SPACEPARITY;
    case LineSettings::Parity::None:
        break;
    }
    return NOPARITY;
}

BYTE stopBitsCode(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case LineSettings::StopBits::Two:
        return TWOSTOPBITS;
    case LineSettings::StopBits::One:
        break;
    }
    return ONESTOPBIT;
}

// 9600,N,8,1 and the like, no flow control, DTR and RTS raised as a POSIX
// system raises them on opening.
void applySettings(DCB &dcb, const LineSettings &settings)
{
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityCode(settings.parity);
    dcb.StopBits = stopBitsCode(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity == LineSettings::Parity::None ? FALSE : TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

// One overlapped operation: its event, and the notifier that wakes the event
// loop when the operation ends.
struct Operation
{
    Operation()
        : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
        , notifier(event)
    {
        notifier.setEnabled(false);
    }
    ~Operation() { ::CloseHandle(event); }
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    OVERLAPPED *start()
    {
        overlapped = OVERLAPPED {};
        overlapped.hEvent = event;
        pending = true;
        return &overlapped;
    }

    HANDLE event;
    OVERLAPPED overlapped {};
    QWinEventNotifier notifier;
    bool pending = false;
};

} // namespace

struct SerialLine::Private
{
    explicit Private(SerialLine *line)
        : q(line)
    {
    }

    void startRead();
    void finishRead();
    void startWrite();
    void finishWrite();
    void waitForEnd(Operation &operation);
    void fail();

    SerialLine *q;
    HANDLE handle = INVALID_HANDLE_VALUE;
    Operation reading;
    Operation writing;
    QByteArray readAhead; // read from the device, not yet taken
    QByteArray chunk; // what the read under way reads into
    QByteArray unsent; // waits for the write under way to end
    QByteArray sending; // what the write under way writes
    quint64 openings = 0; // counts openings, so a late loss notice can be told apart
    quint64 clearings = 0; // counts clearings of the input
    quint64 readClearing = 0; // the clearing the read under way belongs to
    bool lost = false;
};

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    connect(&d->reading.notifier, &QWinEventNotifier::activated, this, [this] { d->finishRead(); });
    connect(&d->writing.notifier, &QWinEventNotifier::activated, this,
            [this] { d->finishWrite(); });
}

SerialLine::~SerialLine()
{
    close();
}

void SerialLine::open(int portNumber, const QString &device, const LineSettings &settings)
{
    const QString path = QStringLiteral("\\\\.\\") + device;
    // Share mode 0: nobody else may have the port while it is open here.
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throw openFailure(portNumber, device, refusal(error), qt_error_string(int(error)));
    }

    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    // All timeouts zero: a read waits until it has every byte it asked for,
    // so a read of one byte stays under way until something arrives.
    COMMTIMEOUTS timeouts {};
    bool set =
        ::SetupComm(handle, kDriverInputBytes, kDriverOutputBytes) && ::GetCommState(handle, &dcb);
    if (set) {
        applySettings(dcb, settings);
        set = ::SetCommState(handle, &dcb) && ::SetCommTimeouts(handle, &timeouts);
    }
    if (!set) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        throw openFailure(portNumber, device, OpenRefusal::Other, qt_error_string(int(error)));
    }

    d->handle = handle;
    d->lost = false;
    ++d->openings;
    d->reading.notifier.setEnabled(true);
    d->writing.notifier.setEnabled(true);
    d->startRead();
}

void SerialLine::close()
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    // The buffers of an operation under way belong to the system until it
    // has ended, cancelled or not.
    ::CancelIo(d->handle);
    d->waitForEnd(d->reading);
    d->waitForEnd(d->writing);
    ::CloseHandle(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    d->reading.notifier.setEnabled(false);
    d->writing.notifier.setEnabled(false);
    d->readAhead.clear();
    d->unsent.clear();
    d->sending.clear();
    d->lost = false;
}

bool SerialLine::isOpen() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

QByteArray SerialLine::readAll()
{
    QByteArray bytes = std::move(d->readAhead);
    d->readAhead = QByteArray();
    // Reading stops while the read-ahead is full; taking it lets it go on.
    d->startRead();
    return bytes;
}

void SerialLine::clearInput()
{
    d->readAhead.clear();
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    ::PurgeComm(d->handle, PURGE_RXCLEAR);
    // A read still waiting takes only what comes from now on; one that has
    // already ended holds bytes from before.
    DWORD count = 0;
    if (d->reading.pending
        && (::GetOverlappedResult(d->handle, &d->reading.overlapped, &count, FALSE)
            || ::GetLastError() != ERROR_IO_INCOMPLETE))
        ++d->clearings;
}

bool SerialLine::write(const QByteArray &bytes)
{
    if (d->handle == INVALID_HANDLE_VALUE || d->lost)
        return false;
    d->unsent += bytes;
    if (!d->writing.pending)
        d->startWrite();
    return !d->lost;
}

// Reads what the driver holds, or waits for one byte when it holds nothing;
// the read's end is handled in finishRead() from the event loop.
void SerialLine::Private::startRead()
{
    if (handle == INVALID_HANDLE_VALUE || lost || reading.pending
        || readAhead.size() >= kReadAheadBytes)
        return;
    DWORD errors = 0;
    COMSTAT status {};
    if (!::ClearCommError(handle, &errors, &status)) {
        fail();
        return;
    }
    const qint64 room = kReadAheadBytes - readAhead.size();
    const DWORD count = DWORD(std::clamp<qint64>(status.cbInQue, 1, room));
    chunk.resize(count);
    readClearing = clearings;
    if (!::ReadFile(handle, chunk.data(), count, nullptr, reading.start())
        && ::GetLastError() != ERROR_IO_PENDING) {
        reading.pending = false;
        fail();
    }
}

void SerialLine::Private::finishRead()
{
    ::ResetEvent(reading.event);
    if (!reading.pending)
        return;
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &reading.overlapped, &count, FALSE)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return;
        // Unplugged adapters fail their reads with ERROR_ACCESS_DENIED,
        // ERROR_BAD_COMMAND, ERROR_OPERATION_ABORTED and the like, a hung-up
        // line under wine with ERROR_BROKEN_PIPE: all mean the line is gone.
        reading.pending = false;
        fail();
        return;
    }
    reading.pending = false;
    const bool kept = count > 0 && readClearing == clearings;
    if (kept)
        readAhead.append(chunk.constData(), count);
    startRead();
    if (kept)
        emit q->readyRead();
}

void SerialLine::Private::startWrite()
{
    if (unsent.isEmpty() || lost)
        return;
    sending = std::move(unsent);
    unsent = QByteArray();
    if (!::WriteFile(handle, sending.constData(), DWORD(sending.size()), nullptr, writing.start())
        && ::GetLastError() != ERROR_IO_PENDING) {
        writing.pending = false;
        lost = true;
    }
}

void SerialLine::Private::finishWrite()
{
    ::ResetEvent(writing.event);
    if (!writing.pending)
        return;
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &writing.overlapped, &count, FALSE)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return;
        writing.pending = false;
        fail();
        return;
    }
    writing.pending = false;
    // Without write timeouts a write ends when all is written; whatever was
    // not goes first in the next one.
    if (qsizetype(count) < sending.size())
        unsent.prepend(sending.constData() + count, sending.size() - qsizetype(count));
    sending.clear();
    startWrite();
}

void SerialLine::Private::waitForEnd(Operation &operation)
{
    if (!operation.pending)
        return;
    DWORD count = 0;
    ::GetOverlappedResult(handle, &operation.overlapped, &count, TRUE);
    operation.pending = false;
    ::ResetEvent(operation.event);
}

// The line has gone away: nothing more is read or written, and the owner
// hears of it from the event loop, unless it has closed or reopened the line
// by then.
void SerialLine::Private::fail()
{
    if (lost)
        return;
    lost = true;
    const quint64 opening = openings;
    SerialLine *line = q;
    QMetaObject::invokeMethod(
        q,
        [line, opening] {
            if (line->isOpen() && line->d->openings == opening && line->d->lost)
                emit line->lost();
        },
        Qt::QueuedConnection);
}
