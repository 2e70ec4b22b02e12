// What the X11 window manager says of itself and of the frame it puts round
// a window, asked of it directly (EWMH), before the window is mapped where it
// can answer; nothing waits for an answer. Elsewhere (Windows, Wayland)
// there is nothing to ask: every function answers "unknown".
#pragma once

#include <QMargins>
#include <QString>

#include <optional>

class QWindow;

namespace WindowManager {

// The name the running window manager gives itself ("KWin", "Mutter",
// "Openbox", ...), or an empty string.
QString name();

// Asks for the frame the window manager is going to put round window, which
// is not mapped yet (_NET_REQUEST_FRAME_EXTENTS), where the window manager
// takes that request (not KWin); returns at once. The answer, when it has
// come, is what frame() reads.
void requestFrame(QWindow *window);

// The frame round window as the window manager last set it
// (_NET_FRAME_EXTENTS), or nothing while it has not.
std::optional<QMargins> frame(QWindow *window);

// Whether the window manager offers maximize (button, menu, double-click,
// _NET_WM_ALLOWED_ACTIONS) to every window the user can resize, whatever the
// window's Motif hints say: then only a fixed size takes maximize away.
bool offersMaximizeWithResize();

} // namespace WindowManager
