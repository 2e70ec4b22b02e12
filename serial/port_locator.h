// Decides which serial device "COMn" stands for. The control is given one, so
// tests can point COMn at pseudo-terminals instead of the machine's ports.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// One serial device as the system describes it; only location is certain.
struct SerialDevice
{
    QString location; // "/dev/ttyUSB0"; empty: no device
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    // What stays the same when the device is unplugged and plugged back,
    // wherever it then appears; empty: its location.
    QString identity;
};

// Maps COMn to a device, either one number at a time (a lookup, as tests use
// to map a few numbers onto pseudo-terminals) or from one survey of all the
// ports in COM order (as the system's ports are found: listing them costs a
// scan of the system, so one survey serves a whole port list).
class PortLocator
{
public:
    using Lookup = std::function<QString(int portNumber)>;
    using Survey = std::function<QList<SerialDevice>()>;

    PortLocator() = default;
    // Any callable taking the port number and returning the device's location.
    template<typename F, typename = std::enable_if_t<std::is_invocable_r_v<QString, F &, int>>>
    PortLocator(F lookup)
        : m_lookup(std::move(lookup))
    {
    }

    // All ports from one call of survey; element n - 1 is COMn.
    static PortLocator fromSurvey(Survey survey);
    // The ports that one call of survey finds present, each numbered the
    // first time it is found and keeping its number for as long as this
    // locator and its copies live (PortNumbering).
    static PortLocator numbered(Survey survey);

    explicit operator bool() const { return m_lookup || m_survey; }

    // The device for port number n >= 1, or an empty string when there is none.
    QString operator()(int portNumber) const;

    // COM1 to COMcount, with a single survey of the system.
    QList<SerialDevice> devices(int count) const;

private:
    Lookup m_lookup;
    Survey m_survey;
};

// The program's own mapping: the native "COMn" on Windows. On Linux the ports
// that QSerialPortInfo reports, numbered as they are first seen: at start-up
// the built-in ttyS ports first, then the others (ttyUSB, ttyACM, ...), each
// group in numeric order; a device plugged in later takes the lowest number
// no device has had, and one plugged back its own number again.
PortLocator systemPortLocator();

// The ordering used by systemPortLocator(), as a pure function of the system
// locations, so it can be tested without hardware.
QStringList orderedPortLocations(const QStringList &systemLocations);
