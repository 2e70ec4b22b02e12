// SerialLine over the Win32 communications API: \\.\COMn opened exclusively,
// the line set through its DCB, overlapped reads and writes whose ends wake
// the event loop through QWinEventNotifier.
#include "serial/serial_line.h"

#include "serial/comm_error.h"
#include "serial/port_failure.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QWinEventNotifier>

#include <qt_windows.h>

#include <algorithm>
#include <memory>

namespace {

// The driver's own queues, as most serial programs ask for them.
constexpr DWORD kDriverInputBytes = 1024;
constexpr DWORD kDriverOutputBytes = 512;
// XON and XOFF (DC1 and DC3), and when a driver would send them: with a
// quarter of its input queue left free or filled.
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
constexpr WORD kFlowLimitBytes = kDriverInputBytes / 4;
// Longest wait, in all, for cancelled reads and writes to end when closing.
constexpr qint64 kCancelWaitMs = 250;

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
// system raises them on opening. Every field the line depends on is set here
// rather than kept from what the driver reported:
// - QSerialPort keeps the driver's XonChar and XoffChar; some virtual and USB
//   drivers report the two equal, and SetCommState then refuses the whole DCB.
//   Here they are always DC1 and DC3, with limits inside the input queue.
// - QSerialPort lowers DTR and RTS unless they are handshake lines; here they
//   are raised, as on Linux, since boards powered or enabled by them (and
//   adapters that light a lamp on DTR) would otherwise stay dark.
// - fAbortOnError stays off, as in QSerialPort: a line error (framing,
//   parity, overrun, break) must not stop every later read and write.
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
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    dcb.XonLim = kFlowLimitBytes;
    dcb.XoffLim = kFlowLimitBytes;
}

// What an overlapped operation lends the system until the operation has
// ended: the OVERLAPPED, its event and the buffer.
struct IoBlock
{
    IoBlock()
        : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~IoBlock() { ::CloseHandle(event); }
    IoBlock(const IoBlock &) = delete;
    IoBlock &operator=(const IoBlock &) = delete;

    HANDLE event;
    OVERLAPPED overlapped {};
    QByteArray buffer;
};

// One overlapped operation: what it lends the system, and the notifier that
// wakes the event loop when it ends.
struct Operation
{
    Operation()
        : block(std::make_unique<IoBlock>())
        , notifier(block->event)
    {
        notifier.setEnabled(false);
    }

    OVERLAPPED *start()
    {
        block->overlapped = OVERLAPPED {};
        block->overlapped.hEvent = block->event;
        pending = true;
        return &block->overlapped;
    }

    // Cancels the operation under way and waits for its end until deadline.
    // One that a driver has not ended by then keeps its block, which is left
    // to the system for good; a new one serves the next opening.
    void cancel(HANDLE handle, const QDeadlineTimer &deadline)
    {
        if (!pending)
            return;
        ::CancelIoEx(handle, &block->overlapped);
        const qint64 left = std::max<qint64>(deadline.remainingTime(), 0);
        if (::WaitForSingleObject(block->event, DWORD(left)) != WAIT_OBJECT_0) {
            notifier.setEnabled(false);
            // NOLINTNEXTLINE(bugprone-unused-return-value): the system may still write to it
            (void)block.release();
            block = std::make_unique<IoBlock>();
            notifier.setHandle(block->event);
        }
        pending = false;
        ::ResetEvent(block->event);
    }

    std::unique_ptr<IoBlock> block;
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
    void fail();

    SerialLine *q;
    HANDLE handle = INVALID_HANDLE_VALUE;
    Operation reading;
    Operation writing;
    QByteArray readAhead; // read from the device, not yet taken
    QByteArray unsent; // waits for the write under way to end; what it writes is its block's
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

bool SerialLine::isPresent(const QString &device)
{
    // The name of a port that is there leads to its device object.
    wchar_t target[MAX_PATH] = {};
    return !device.isEmpty()
           && ::QueryDosDeviceW(reinterpret_cast<const wchar_t *>(device.utf16()), target, MAX_PATH)
                  != 0;
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
    // The queue sizes are a recommendation the driver may turn down (USB and
    // virtual ports often do); the port works with the driver's own, so
    // nothing depends on the answer. QSerialPort does not ask at all.
    ::SetupComm(handle, kDriverInputBytes, kDriverOutputBytes);
    bool set = ::GetCommState(handle, &dcb) != FALSE;
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
    // What an operation under way was lent belongs to the system until the
    // operation has ended, cancelled or not; a driver that does not end it
    // in time must not hold the window up.
    const QDeadlineTimer deadline(kCancelWaitMs);
    d->reading.cancel(d->handle, deadline);
    d->writing.cancel(d->handle, deadline);
    ::CloseHandle(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    d->reading.notifier.setEnabled(false);
    d->writing.notifier.setEnabled(false);
    d->readAhead.clear();
    d->unsent.clear();
    d->writing.block->buffer.clear();
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
        && (::GetOverlappedResult(d->handle, &d->reading.block->overlapped, &count, FALSE)
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
    QByteArray &chunk = reading.block->buffer;
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
    ::ResetEvent(reading.block->event);
    if (!reading.pending)
        return;
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &reading.block->overlapped, &count, FALSE)) {
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
        readAhead.append(reading.block->buffer.constData(), count);
    startRead();
    if (kept)
        emit q->readyRead();
}

void SerialLine::Private::startWrite()
{
    if (unsent.isEmpty() || lost)
        return;
    QByteArray &sending = writing.block->buffer;
    sending = std::move(unsent);
    unsent = QByteArray();
    if (!::WriteFile(handle, sending.constData(), DWORD(sending.size()), nullptr, writing.start())
        && ::GetLastError() != ERROR_IO_PENDING) {
        writing.pending = false;
        fail();
    }
}

void SerialLine::Private::finishWrite()
{
    ::ResetEvent(writing.block->event);
    if (!writing.pending)
        return;
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &writing.block->overlapped, &count, FALSE)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return;
        writing.pending = false;
        fail();
        return;
    }
    writing.pending = false;
    // Without write timeouts a write ends when all is written; whatever was
    // not goes first in the next one.
    QByteArray &sending = writing.block->buffer;
    if (qsizetype(count) < sending.size())
        unsent.prepend(sending.constData() + count, sending.size() - qsizetype(count));
    sending.clear();
    startWrite();
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
