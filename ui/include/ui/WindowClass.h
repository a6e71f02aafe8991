// Window classes and cursors shared by the program's own windows (the toolkit's controls, the
// record analyzer's areas): a cursor by resource id, and the registration of a class once.
#pragma once

#include <platform/afxwin.h>

namespace ui_toolkit {

// A shared cursor by resource id: the resource holder's once it has loaded them, else the
// module's cursor resource of that id, else the arrow.
HCURSOR SharedCursor(int resourceId);

// Registers a window class unless the module knows it: default window procedure, no icon or
// menu, the cursor of `cursorResource` (as SharedCursor), background brush value 5. Throws
// std::runtime_error when the class can be neither found nor registered.
void EnsureWindowClass(const char* name, UINT style, int cursorResource);

}  // namespace ui_toolkit
