// Windows: the system draws the frame, and Qt knows it before showing.
#include "controls/window_manager.h"

QString WindowManager::name()
{
    return {};
}

void WindowManager::requestFrame(QWindow *) { }

std::optional<QMargins> WindowManager::frame(QWindow *)
{
    return std::nullopt;
}

bool WindowManager::offersMaximizeWithResize()
{
    return false;
}
