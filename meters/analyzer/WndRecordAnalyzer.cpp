#include <meters/analyzer/WndRecordAnalyzer.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Messages.h>
#include <core/MemDC.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

using namespace analyzer;

CWndRecordAnalyzer::CWndRecordAnalyzer(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()),
      m_Chart(m_pRecorder),
      m_StatusArea(m_pRecorder),
      m_Tools(m_pRecorder),
      m_TimeLine(m_pRecorder),
      m_ControlPanel(m_pRecorder),
      m_CursorsArea(m_pRecorder) {
  EnsureWindowClass(kClassName, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, 145);
  if (m_pRecorder->m_Cursors[0].Kind() != CRecorder::CURSOR_KIND_L) m_pRecorder->InitCursors();
  SetAnalyzerNotify(this);
}

CWndRecordAnalyzer::~CWndRecordAnalyzer() {
  UnregisterAnalyzerNotify(this);
  if (GetSafeHwnd() && m_pRecorder->m_hAnalyzerWnd == GetSafeHwnd()) m_pRecorder->m_hAnalyzerWnd = 0;
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL CWndRecordAnalyzer::Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CWnd::Create(kClassName, name, style, rect, parent, id)) return FALSE;
  m_pRecorder->m_hAnalyzerWnd = GetSafeHwnd();
  return TRUE;
}

int CWndRecordAnalyzer::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  const CRect none(0, 0, 0, 0);
  if (!m_StatusArea.Create("AnalyzerStatusAreaWnd", style, none, this, kStatusId)) return -1;
  if (!m_Chart.Create("AnalyzerChartWnd", style, none, this, kChartId)) return -1;
  if (!m_Tools.Create("AnalyzerToolsWnd", style, none, this, kToolsId)) return -1;
  if (!m_TimeLine.Create("AnalyzerTimeLineWnd", style, none, this, kTimeLineId)) return -1;
  if (!m_ControlPanel.Create("AnalyzerControlPanelWnd", style, none, this, kControlPanelId)) return -1;
  if (!m_CursorsArea.Create("AnalyzerCursorsAreaWnd", style, CRect(0, 0, 1, 1), this, kCursorsId)) return -1;
  for (CWnd* w : {static_cast<CWnd*>(&m_StatusArea), static_cast<CWnd*>(&m_Chart), static_cast<CWnd*>(&m_Tools),
                  static_cast<CWnd*>(&m_TimeLine), static_cast<CWnd*>(&m_ControlPanel)})
    w->ShowWindow(SW_SHOW);
  return 0;
}

void CWndRecordAnalyzer::Init() { Notify(kFromPane, kInit); }

void CWndRecordAnalyzer::Activate(int) {
  m_Chart.Redraw();
  CRecordList& list = GetRecordList();
  bool pending = false;
  for (int k = 0; k < list.GetSize(); ++k) pending = pending || list[k]->m_bTransferPending;
  if (list.IsEmpty()) {
    Notify(kFromPane, kNoRecords);
  } else if (pending) {
    Notify(kFromPane, kDataReplaced);
    Notify(kFromPane, kTransferBegins);
    // A transfer that cannot start leaves the records pending for the next activation; the tools
    // come back so the pane is not left with every control disabled.
    if (!m_pRecorder->Start()) Notify(kFromPane, kDataReady);
  } else if (m_pRecorder->m_View.m_nPlayState != 0) {
    m_ControlPanel.SetTimer(CWndAnalyzerControlPanel::kPlayTimer, CWndAnalyzerControlPanel::kPlayPeriodMs);
    if (CXPCtrlBtn* play = m_ControlPanel.Button(CWndAnalyzerControlPanel::kPlay)) play->Redraw();
  }
  Show(TRUE);
}

BOOL CWndRecordAnalyzer::Deactivate() {
  if (m_pRecorder->IsThreadRunning()) m_pRecorder->Stop();
  if (m_ControlPanel.GetSafeHwnd()) m_ControlPanel.KillTimer(CWndAnalyzerControlPanel::kPlayTimer);
  Show(FALSE);
  return TRUE;
}

void CWndRecordAnalyzer::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CWndRecordAnalyzer::OnAnalyzerNotify(int sender, int code, int value) {
  if ((code == kDataReplaced || code == kSaved) && GetSafeHwnd()) {
    Invalidate(TRUE);
    UpdateWindow();
  }
  if (code == kCursorsShown && m_CursorsArea.GetSafeHwnd()) {
    m_CursorsArea.ShowWindow(value ? SW_SHOW : SW_HIDE);
    m_StatusArea.ShowWindow(value ? SW_HIDE : SW_SHOW);
  }
  m_TimeLine.OnAnalyzerNotify(sender, code, value);
  m_ControlPanel.OnAnalyzerNotify(sender, code, value);
  m_Tools.OnAnalyzerNotify(sender, code, value);
  m_StatusArea.OnAnalyzerNotify(sender, code, value);
  m_Chart.OnAnalyzerNotify(sender, code, value);
  m_CursorsArea.OnAnalyzerNotify(sender, code, value);
}

LRESULT CWndRecordAnalyzer::OnTransferProgress(WPARAM percent) {
  Notify(kFromPane, kProgress, static_cast<int>(percent));
  return 1;
}

LRESULT CWndRecordAnalyzer::OnTransferFinished() {
  if (m_pRecorder->FinishTransfer()) {
    // A new recording starts at zoom 1 and amplitude 1, so the tools' states below match it, and
    // with its traces on their level marks at 0, whatever level the previous records were given.
    CRecorder::ViewState& view = m_pRecorder->m_View;
    view.m_nZoom = 1;
    for (int& a : view.m_nAmplitudeStep) a = 1;
    for (double& offset : view.m_dLevelOffset) offset = 0.0;
    m_pRecorder->UpdateTimeAxis(view.m_nChartWidth);
    m_pRecorder->SetPosition(view.m_nZoom * CRecorder::SCREEN_COLUMNS / 2);
    Notify(kFromPane, kDataReady);
    Notify(kFromPane, kDataReplaced);
    Notify(kFromPane, kNewData);
    Notify(kFromTools, kDataLoaded);
  } else if (GetRecordList().IsEmpty()) {
    // A discarded recording leaves no records: the tools show that, not a finished transfer.
    Notify(kFromPane, kNoRecords);
  }
  return 1;
}

LRESULT CWndRecordAnalyzer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ANALYZERNOTIFY) return OnTransferProgress(wParam);
  if (message == WM_ANALYZERRESET) return OnTransferFinished();
  return CWnd::WindowProc(message, wParam, lParam);
}

void CWndRecordAnalyzer::OnWindowPosChanged(WINDOWPOS* pos) {
  CWnd::OnWindowPosChanged(pos);
  CRect rc;
  GetClientRect(&rc);
  if (rc != m_rcLast) {
    m_rcLast = rc;
    RecalcLayout();
  }
}

void CWndRecordAnalyzer::RecalcLayout() {
  const CRect c = m_rcLast;
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int H = B - T;
  const int g = (R - L) / 26;
  const int x = H / 18;
  const BYTE charSet = GetGlobalProps().GetCharSet();
  m_fntTitle.DeleteObject();
  m_fntTitle.CreateFont(-(H / 32), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntName.DeleteObject();
  m_fntName.CreateFont(-(H / 32) / 2, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  const int CL = L + static_cast<int>(g * 0.2);
  const int CT = T + static_cast<int>(x * 1.35);
  const int CW = 20 * g;
  const int CH = static_cast<int>(x * 12.25);
  // The recorder learns the chart size before the chart moves.
  m_pRecorder->UpdateTimeAxis(CW);
  SetRecordChartHeight(CH);
  m_rcClient = c;
  m_rcChartFrame.SetRect(CL, CT, CL + CW, CT + CH);
  if (m_Chart.GetSafeHwnd()) m_Chart.MoveWindow(&m_rcChartFrame);
  const int RL = CL + CW + static_cast<int>(g * 0.2);
  const int RR = R - static_cast<int>(g * 0.2);
  const int SH = static_cast<int>((H - x * 1.35) * 0.4);
  m_rcStatusFrame.SetRect(RL, CT, RR, CT + SH);
  if (m_StatusArea.GetSafeHwnd()) m_StatusArea.MoveWindow(&m_rcStatusFrame);
  if (m_CursorsArea.GetSafeHwnd()) m_CursorsArea.MoveWindow(&m_rcStatusFrame);
  m_rcToolsFrame.SetRect(RL, CT + SH + static_cast<int>(x * 0.2), RR, B - static_cast<int>(x * 0.2));
  if (m_Tools.GetSafeHwnd()) m_Tools.MoveWindow(&m_rcToolsFrame);
  const int tlTop = T + 2 + static_cast<int>(x * 13.65);
  const int tlHeight = static_cast<int>(x * 0.5);
  if (m_TimeLine.GetSafeHwnd()) m_TimeLine.MoveWindow(CL, tlTop, CW, tlHeight);
  const int cpTop = tlTop + 2 + static_cast<int>(x * 0.5) + static_cast<int>(x * 0.1);
  m_rcControlFrame.SetRect(CL, cpTop, CL + CW, B - static_cast<int>(x * 0.2));
  if (m_ControlPanel.GetSafeHwnd()) m_ControlPanel.MoveWindow(&m_rcControlFrame);
}

BOOL CWndRecordAnalyzer::OnEraseBkgnd(CDC*) { return TRUE; }

void CWndRecordAnalyzer::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintPane(&mem);
}

void CWndRecordAnalyzer::PaintPane(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  dc->FillSolidRect(&client, GetSchemeColor(6));
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(GetSchemeColor(13));
  {
    kvp::DcSelect font(dc, &m_fntTitle);
    const CString title = GetGlobalProps().GetText(kTextRecordAnalyzer);
    CRect tr = client;
    dc->DrawText(title, &tr, DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    tr.left = client.left;
    tr.right = client.right;
    tr.OffsetRect(0, client.Height() / 180);
    dc->DrawText(title, &tr, DT_CENTER | DT_SINGLELINE);
    if (!m_pRecorder->m_strFileName.IsEmpty()) {
      font.Select(&m_fntName);
      CRect nr(m_rcChartFrame.left - 2, tr.bottom + 2, m_rcStatusFrame.right + 2, m_rcChartFrame.top - 4);
      dc->DrawText(m_pRecorder->m_strFileName, &nr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS);
    }
  }
  CRect frame = m_rcChartFrame;
  frame.InflateRect(2, 2);
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);
  for (CRect r : {m_rcStatusFrame, m_rcToolsFrame, m_rcControlFrame}) {
    r.InflateRect(2, 2);
    dc->DrawEdge(&r, EDGE_RAISED, BF_RECT);
  }
}
