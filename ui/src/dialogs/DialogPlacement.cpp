#include <ui/dialogs/DialogPlacement.h>

#include <core/GlobalProps.h>

namespace ui_dialogs {

CRect PlacementRect(CWnd* parent) {
  CWnd* over = parent && parent->GetSafeHwnd() ? parent : AfxGetMainWnd();
  CRect rc;
  if (over && over->GetSafeHwnd()) {
    over->GetWindowRect(&rc);
  } else {
    rc.SetRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
  }
  return rc;
}

void MakeArial(CFont& font, int height, int weight) {
  font.DeleteObject();
  font.CreateFont(height, 0, 0, 0, weight, 0, 0, 0, GetGlobalProps().GetCharSet(), OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

}  // namespace ui_dialogs
