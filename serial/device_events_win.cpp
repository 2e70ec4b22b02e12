// DeviceEvents on Windows: a hidden window of its own that hears
// WM_DEVICECHANGE, for serial port interfaces it registered for and for the
// port arrivals that drivers broadcast to every top-level window.
#include "serial/device_events.h"

#include <QMetaObject>

#include <qt_windows.h>

#include <dbt.h>

namespace {

// GUID_DEVINTERFACE_COMPORT (ntddser.h).
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

constexpr wchar_t kWindowClass[] = L"rs232test.DeviceEvents";

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEARRIVAL) {
        auto *events = reinterpret_cast<DeviceEvents *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        // The system waits for this answer: the port is looked at later, from
        // the event loop.
        if (events)
            QMetaObject::invokeMethod(
                events, [events] { emit events->changed(); }, Qt::QueuedConnection);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

struct DeviceEvents::Private
{
    ~Private()
    {
        if (registration)
            ::UnregisterDeviceNotification(registration);
        if (window)
            ::DestroyWindow(window);
    }

    HWND window = nullptr;
    HDEVNOTIFY registration = nullptr;
};

DeviceEvents::DeviceEvents(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass); // fails harmlessly when registered before
    // A top-level window, never shown: a message-only window would not get
    // the broadcasts of drivers that register no interface.
    d->window = ::CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!d->window)
        return; // no events: the waiter's own retries still find the device
    ::SetWindowLongPtrW(d->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_W filter {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    d->registration =
        ::RegisterDeviceNotificationW(d->window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

DeviceEvents::~DeviceEvents() = default;
