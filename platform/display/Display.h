// Inside of the display back ends: how a back end is installed, and the X11 one.
#pragma once

#include "window/WindowSystem.h"

#include <memory>

namespace kvp::win {

// Makes the calling thread the GUI thread with this back end; false when a display is open.
bool OpenDisplay(std::unique_ptr<Backend> backend);
// The dialog whose keys (Enter, Escape, Tab) a message's window takes part in, or 0.
HWND DialogFor(HWND hwnd);
// The X11 back end for a display name (null = $DISPLAY), or null when it cannot be reached.
std::unique_ptr<Backend> MakeX11Backend(const char* name);

}  // namespace kvp::win
