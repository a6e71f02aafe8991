// Where one of the program's dialogs goes: the rectangle (screen coordinates) of its parent, of the
// main window for a dialog made without one, or of the screen when there is no main window.
#pragma once

#include <platform/afxwin.h>

namespace ui_dialogs {

CRect PlacementRect(CWnd* parent);
// A font "Arial" of the height and weight in the language's character set.
void MakeArial(CFont& font, int height, int weight);

}  // namespace ui_dialogs
