#include <meters/PolledMeterPane.h>

#include <core/ColorScheme.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>

CPolledMeterPane::CPolledMeterPane(CMeasureEngine* engine) : m_pEngine(engine ? engine : &GetMeasureEngine()) {}

CPolledMeterPane::~CPolledMeterPane() = default;

BOOL CPolledMeterPane::CreateChild(CXPCtrlBtn& button, const char* name, int id, bool display, int displayColor) {
  button.drawClbck = this;
  button.btnClbck = this;
  if (display) button.SetColors(GetSchemeColor(displayColor), 0x10000, m_crBack, kDisplayFrame);
  return button.Create(name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, id);
}

void CPolledMeterPane::Activate(int) {
  Show(TRUE);
  m_bRunning = 1;
  StartReading();
  SetTimer(TIMER_POLL, POLL_MS);
}

BOOL CPolledMeterPane::Deactivate() {
  if (CMotortesterData* tester = GetMotortesterDevice()) tester->SetHelpMode(HelpModeOnLeave());
  StopReading();
  KillTimer(TIMER_POLL);
  m_bRunning = 0;
  Show(FALSE);
  return TRUE;
}

void CPolledMeterPane::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CPolledMeterPane::OnTimer(UINT_PTR id) {
  if (id == TIMER_POLL)
    Poll();
  else
    CXPWndBaseColor::OnTimer(id);
}
