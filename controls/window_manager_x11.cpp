// Asking the X11 window manager through the EWMH properties and messages,
// never waiting for its answer: only reading what it has said.
#include "controls/window_manager.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeDeleter
{
    // xcb's replies are malloc'd.
    void operator()(void *reply) const { std::free(reply); }
};
template<typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

xcb_connection_t *connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t *c)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

ReplyPtr<xcb_get_property_reply_t> property(xcb_connection_t *c, xcb_window_t window,
                                            xcb_atom_t name, xcb_atom_t type, uint32_t longs)
{
    return ReplyPtr<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, longs), nullptr));
}

// The window manager's own window (_NET_SUPPORTING_WM_CHECK), which carries its name.
xcb_window_t supportingWindow(xcb_connection_t *c)
{
    const auto reply =
        property(c, rootOf(c), atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 1);
    if (!reply || reply->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(reply.get()) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
}

bool supports(xcb_connection_t *c, xcb_atom_t wanted)
{
    const auto reply = property(c, rootOf(c), atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096);
    if (!reply || reply->type != XCB_ATOM_ATOM)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, wanted) != atoms + count;
}

std::optional<QMargins> frameExtents(xcb_connection_t *c, xcb_window_t window)
{
    const auto reply = property(c, window, atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32
        || xcb_get_property_value_length(reply.get()) < 16)
        return std::nullopt;
    // left, right, top, bottom
    const auto *extents = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    return QMargins(int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3]));
}

} // namespace

QString WindowManager::name()
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    const xcb_window_t wm = supportingWindow(c);
    if (wm == XCB_WINDOW_NONE)
        return {};
    const auto reply = property(c, wm, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 64);
    if (!reply)
        return {};
    return QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
}

void WindowManager::requestFrame(QWindow *window)
{
    xcb_connection_t *c = connection();
    if (!c || !window || supportingWindow(c) == XCB_WINDOW_NONE
        || !supports(c, atom(c, "_NET_REQUEST_FRAME_EXTENTS")))
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_client_message_event_t request {};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = id;
    request.type = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(c, 0, rootOf(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&request));
    xcb_flush(c);
}

std::optional<QMargins> WindowManager::frame(QWindow *window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    return frameExtents(c, static_cast<xcb_window_t>(window->winId()));
}

bool WindowManager::offersMaximizeWithResize()
{
    // KWin 5.27 offers maximize to every X11 window it can resize
    // (X11Window::isMaximizable() in src/x11window.cpp asks isResizable()
    // and the user's window rules only); the Motif hints' maximize bit is
    // read but never consulted. KWin under Wayland calls itself KWin too.
    return name() == QLatin1String("KWin");
}
