// Windows: the system draws the frame, and Qt knows it before showing.
#include "controls/window_manager.h"

QString WindowManager::name()
{
    return {};
}

std::optional<QMargins> WindowManager::frameBeforeMapping(QWindow *)
{
    return std::nullopt;
}

std::optional<QMargins> WindowManager::frame(QWindow *)
{
    return std::nullopt;
}

bool WindowManager::offersMaximizeWithResize()
{
    return false;
}
