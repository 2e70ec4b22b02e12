// The serial ports on Windows: COMn is the port of that name, and SetupAPI's
// Ports class describes the ones it knows (friendly name, maker, USB ids).
#include "serial/port_locator.h"

#include <qt_windows.h>

#include <setupapi.h>

#include <vector>

namespace {

// COM1 to COM256, the names Windows gives serial ports.
constexpr int kHighestComNumber = 256;

// Longest device instance id (MAX_DEVICE_ID_LEN of cfgmgr32.h).
constexpr DWORD kMaxDeviceIdLength = 200;

// The Ports (COM & LPT) device setup class.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA *device, DWORD property)
{
    DWORD type = 0;
    DWORD size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type,
                                             reinterpret_cast<PBYTE>(text.data()), size, nullptr))
        return {};
    return QString::fromWCharArray(text.data()); // of a list, the first
}

QString portName(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    const HKEY key = ::SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result =
        ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? QString::fromWCharArray(name) : QString();
}

QString instanceId(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    wchar_t id[kMaxDeviceIdLength + 1] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set, device, id, kMaxDeviceIdLength, nullptr))
        return {};
    return QString::fromWCharArray(id);
}

// The four hex digits after tag in a hardware id such as
// "USB\VID_0403&PID_6001&REV_0600".
std::optional<quint16> idAfter(const QString &hardwareId, QLatin1String tag)
{
    const qsizetype at = hardwareId.indexOf(tag, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const uint value = QStringView(hardwareId).mid(at + tag.size(), 4).toUInt(&ok, 16);
    return ok ? std::optional<quint16>(quint16(value)) : std::nullopt;
}

void describe(HDEVINFO set, SP_DEVINFO_DATA *info, SerialDevice &device)
{
    device.description = deviceProperty(set, info, SPDRP_FRIENDLYNAME);
    if (device.description.isEmpty())
        device.description = deviceProperty(set, info, SPDRP_DEVICEDESC);
    device.manufacturer = deviceProperty(set, info, SPDRP_MFG);
    const QString hardwareId = deviceProperty(set, info, SPDRP_HARDWAREID);
    device.vendorId = idAfter(hardwareId, QLatin1String("VID_"));
    device.productId = idAfter(hardwareId, QLatin1String("PID_"));
    // A USB device's instance id ends in its serial number, unless Windows
    // made one up (those contain '&').
    const QString instance = instanceId(set, info);
    if (instance.startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive)) {
        const QString last = instance.section(QLatin1Char('\\'), -1);
        if (!last.contains(QLatin1Char('&')))
            device.serialNumber = last;
    }
}

QList<SerialDevice> surveySystemPorts()
{
    QList<SerialDevice> devices;
    devices.reserve(kHighestComNumber);
    for (int n = 1; n <= kHighestComNumber; ++n)
        devices.append(SerialDevice {QStringLiteral("COM%1").arg(n), {}, {}, {}, {}, {}, {}});

    const HDEVINFO set = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return devices;
    SP_DEVINFO_DATA info {};
    info.cbSize = sizeof info;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        const QString name = portName(set, &info);
        if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue; // printer ports share the class
        bool ok = false;
        const int n = QStringView(name).sliced(3).toInt(&ok);
        if (ok && n >= 1 && n <= kHighestComNumber)
            describe(set, &info, devices[n - 1]);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return devices;
}

} // namespace

PortLocator systemPortLocator()
{
    return PortLocator::fromSurvey(surveySystemPorts);
}
