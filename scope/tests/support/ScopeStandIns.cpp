#include <kvtest/ScopeStandIns.h>

#include <scope/pane/WndOscPane.h>

#include <core/ColorScheme.h>
#include <core/ResourceHolder.h>

namespace kvtest {

BOOL CStandInControlPanel::CreatePanel(CWnd* pane, UINT id) {
  SetColor(GetSchemeColor(6));
  return Create("WndControlPanel", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), pane, id);
}

void CStandInControlPanel::OnTimer(UINT_PTR id) {
  if (id != kTimerAutoHide) {
    CXPWndBaseColor::OnTimer(id);
    return;
  }
  KillTimer(kTimerAutoHide);
  // The undocked panel hides itself when left alone.
  if (m_pPane && !GetResourceHolder().m_bNarrowChart && m_pPane->IsPanelMinimized()) m_pPane->OnMinimizeToggle();
}

}  // namespace kvtest
