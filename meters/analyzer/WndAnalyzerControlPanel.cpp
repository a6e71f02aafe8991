#include <meters/analyzer/WndAnalyzerControlPanel.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>

#include <platform/dcscope.h>

#include <cmath>

using namespace analyzer;

namespace {

struct ButtonSpec {
  int id;
  const char* name;
};
// Left to right as laid out.
constexpr ButtonSpec kButtons[CWndAnalyzerControlPanel::kButtonCount] = {
    {CWndAnalyzerControlPanel::kLongBack, "LongBack"}, {CWndAnalyzerControlPanel::kBack, "Back"},
    {CWndAnalyzerControlPanel::kPlayBack, "PlayBack"}, {CWndAnalyzerControlPanel::kPlay, "Play"},
    {CWndAnalyzerControlPanel::kNext, "Next"},         {CWndAnalyzerControlPanel::kRollMode, "RollMode"}};

constexpr COLORREF kPanelColor = 0xDADADA;
constexpr COLORREF kRepeatFace = 12500670;
constexpr COLORREF kGreen = 65280;
constexpr COLORREF kRed = 255;

NumericOptionRecord Numeric(double step, double big, double value, double min, double max) {
  NumericOptionRecord r;
  InitRepeatData(&r);
  r.step = step;
  r.bigStep = big;
  r.value = value;
  r.min = min;
  r.max = max;
  r.decimals = 1;
  r.accelAfter = 10;
  return r;
}

double Shown(const NumericOptionRecord& r) { return r.reversed ? r.max - (r.value - r.min) : r.value; }

int Saturate(double v) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return v > 0 ? 2147483647 : -2147483647 - 1;
  return static_cast<int>(v);
}

}  // namespace

CWndAnalyzerControlPanel::CWndAnalyzerControlPanel(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()) {
  SetColor(kPanelColor);
}

CWndAnalyzerControlPanel::~CWndAnalyzerControlPanel() = default;

CXPCtrlBtn* CWndAnalyzerControlPanel::Button(int id) {
  for (int i = 0; i < kButtonCount; ++i)
    if (kButtons[i].id == id) return &m_Buttons[i];
  return nullptr;
}

BOOL CWndAnalyzerControlPanel::CreateChildren() {
  const CRect none(0, 0, 0, 0);
  for (int i = 0; i < kButtonCount; ++i) {
    CXPCtrlBtn& b = m_Buttons[i];
    b.drawClbck = this;
    b.btnClbck = this;
    b.SetColors(0xBEBEBE, 0x10000, 0xDADADA, 0x505050);
    if (!b.Create(kButtons[i].name, WS_CHILD | WS_VISIBLE, none, this, kButtons[i].id)) return FALSE;
  }
  struct {
    CRepeatCtrl* ctrl;
    const char* name;
    int id;
    NumericOptionRecord rec;
  } const repeats[2] = {{&m_PlaySpeed, "PlaySpeed", kPlaySpeedId, Numeric(1.0, 20.0, 10.0, 1.0, 300.0)},
                        {&m_MoveStep, "MoveStep", kMoveStepId, Numeric(1.0, 1.0, 16.0, 1.0, 16.0)}};
  for (const auto& r : repeats) {
    r.ctrl->face = kRepeatFace;
    r.ctrl->back = kPanelColor;
    r.ctrl->scrollClbck = this;
    r.ctrl->drawClbck = this;
    r.ctrl->InitOptionFromRecord(&r.rec);
    if (!r.ctrl->Create(r.name, WS_CHILD | WS_VISIBLE, none, this, r.id)) return FALSE;
  }
  return TRUE;
}

void CWndAnalyzerControlPanel::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  CRect c = m_rcClient;
  c.top -= 2;
  const int h = c.Height();
  const int cx = c.left + c.Width() / 2;
  const int s = static_cast<int>(h * 0.355);
  const BYTE charSet = GetGlobalProps().GetCharSet();
  const int valueHeight = static_cast<int>(h * 0.156);
  m_fntValue.DeleteObject();
  m_fntValue.CreateFont(-valueHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntCaption.DeleteObject();
  m_fntCaption.CreateFont(-static_cast<int>(valueHeight * 0.8), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  const int bottom = c.bottom - s / 4;
  int x = cx - static_cast<int>(s * 3.6);
  for (CXPCtrlBtn& b : m_Buttons) {
    if (b.GetSafeHwnd()) b.MoveWindow(x, bottom - s, s, s);
    x += static_cast<int>(s * 1.2);
  }
  if (m_PlaySpeed.GetSafeHwnd())
    m_PlaySpeed.MoveWindow(c.right - static_cast<int>(s * 0.2) - 3 * s, bottom - s, 3 * s, s - 2);
  if (m_MoveStep.GetSafeHwnd())
    m_MoveStep.MoveWindow(c.left + static_cast<int>(s * 0.2), bottom - s, 3 * s - static_cast<int>(s * 0.2), s - 2);
  // The read-out sits above the buttons, across the middle.
  m_rcReadout.SetRect(cx - static_cast<int>(s * 3.6), c.top + 4, cx + static_cast<int>(s * 3.6), bottom - s - 4);
}

void CWndAnalyzerControlPanel::PaintContent(CDC* dc) {
  if (m_rcReadout.Height() <= 4) return;
  CRect frame = m_rcReadout;
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(0x000000);
  const CRecorder& rec = *m_pRecorder;
  const bool any = !GetRecordList().IsEmpty();
  CString sample;
  sample.Format("%d", rec.m_View.m_nPosition);
  const CString texts[2][3] = {
      {"time", rec.GetPositionText(), rec.GetLengthText()},
      {"samples", any ? sample : CString("0"), any ? rec.GetLastIndexText() : CString("0")}};
  const int w = frame.Width() / 3;
  const int rowH = frame.Height() / 2;
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 3; ++col) {
      dc->SelectObject(col == 0 ? &m_fntCaption : &m_fntValue);
      CRect cell(frame.left + col * w, frame.top + row * rowH, frame.left + (col + 1) * w, frame.top + (row + 1) * rowH);
      dc->DrawText(texts[row][col], &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  }
}

int CWndAnalyzerControlPanel::MoveStep() const { return static_cast<int>(Shown(m_MoveStep.record)); }

void CWndAnalyzerControlPanel::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  CRecorder& rec = *m_pRecorder;
  const int z = rec.m_View.m_nZoom;
  const int half = z * CRecorder::SCREEN_COLUMNS / 2;
  const int last = rec.GetRecordLastIndex();
  const int p = rec.m_View.m_nPosition;
  switch (data->id) {
    case kLongBack:
      rec.SetPosition(half);
      Notify(kFromControlPanel, kToStart);
      break;
    case kBack: {
      int q = Saturate(p + std::trunc(z * (MoveStep() * -50.0)));
      if (q < half) q = half;
      rec.SetPosition(q);
      Notify(kFromControlPanel, kStepBack);
      break;
    }
    case kNext: {
      int q = Saturate(p + std::trunc(z * (MoveStep() * 50.0)));
      if (q > last - half) q = last - half;
      rec.SetPosition(q);
      Notify(kFromControlPanel, kStepNext);
      break;
    }
    case kRollMode:
      rec.SetPosition(last - half);
      Notify(kFromControlPanel, kToEnd);
      break;
    case kPlay:
      TogglePlay(kForward);
      return;
    case kPlayBack:
      TogglePlay(kBackward);
      return;
    default:
      return;
  }
  Redraw();
}

void CWndAnalyzerControlPanel::TogglePlay(int state) {
  int& play = m_pRecorder->m_View.m_nPlayState;
  if (play == state) {
    KillTimer(kPlayTimer);
    play = kStopped;
  } else {
    SetTimer(kPlayTimer, kPlayPeriodMs);
    play = state;
  }
  for (int id : {kPlay, kPlayBack})
    if (CXPCtrlBtn* b = Button(id)) b->Redraw();
}

void CWndAnalyzerControlPanel::StopPlaying() {
  if (GetSafeHwnd()) KillTimer(kPlayTimer);
  m_pRecorder->m_View.m_nPlayState = kStopped;
  for (int id : {kPlay, kPlayBack})
    if (CXPCtrlBtn* b = Button(id)) b->Redraw();
}

void CWndAnalyzerControlPanel::PlayStep() {
  CRecorder& rec = *m_pRecorder;
  const int half = rec.m_View.m_nZoom * CRecorder::SCREEN_COLUMNS / 2;
  const int last = rec.GetRecordLastIndex();
  const int speed = rec.m_View.m_nStepValue;
  int c;
  if (rec.m_View.m_nPlayState == kForward) {
    c = Saturate(static_cast<double>(rec.m_View.m_nPosition) + speed);
    if (c > last - half) {
      StopPlaying();
      c = last - half;
    }
  } else {
    c = Saturate(static_cast<double>(rec.m_View.m_nPosition) - speed);
    if (c < half) {
      StopPlaying();
      c = half;
    }
  }
  rec.SetPosition(c);
  Notify(kFromControlPanel, kPlayTick);
  Redraw();
}

void CWndAnalyzerControlPanel::OnTimer(UINT_PTR id) {
  if (id != kPlayTimer) {
    CXPWndBaseColor::OnTimer(id);
    return;
  }
  if (m_pRecorder->m_View.m_nPlayState == kStopped) {
    KillTimer(kPlayTimer);
    return;
  }
  PlayStep();
}

void CWndAnalyzerControlPanel::EnableAll(BOOL enable) {
  for (CXPCtrlBtn& b : m_Buttons) {
    b.data.enabled = enable ? 1 : 0;
    if (b.GetSafeHwnd()) {
      b.EnableWindow(enable);
      b.Redraw();
    }
  }
  for (CRepeatCtrl* r : {&m_PlaySpeed, &m_MoveStep}) {
    if (r->GetSafeHwnd())
      r->Enable(enable, TRUE);
    else
      r->record.enabled = enable ? 1 : 0;
  }
}

void CWndAnalyzerControlPanel::OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) {
  if (control != &m_PlaySpeed) return;
  m_pRecorder->m_View.m_nStepValue = Saturate(Shown(*record));
  Notify(kFromControlPanel, kPlaySpeed);
}

void CWndAnalyzerControlPanel::Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) {
  const CRect c(*client);
  const int d = c.Height();
  CPen pen(PS_SOLID, 1, GetSchemeColor(17));
  const COLORREF fill = record->enabled ? GetSchemeColor(16) : AdjustColor(GetSchemeColor(16), -50);
  CBrush brush(fill);
  kvp::DcSelect selectedPen(dc, &pen);
  kvp::DcSelect selectedBrush(dc, &brush);
  const int right = c.right - static_cast<int>(d / 1.2);
  const int width = static_cast<int>((d - 2 * (d / 10)) * 1.2);
  CRect box(right - width, c.top + d / 10, right, c.bottom - d / 10);
  dc->Rectangle(&box);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(0x000000);
  kvp::DcSelect font(dc, &m_fntValue);
  CString value;
  value.Format("%d", static_cast<int>(Shown(*record)));
  dc->DrawText(value, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  font.Select(&m_fntCaption);
  CRect caption(c.left + 5, c.top, box.left, c.bottom);
  dc->DrawText(control == &m_PlaySpeed ? "Speed" : "Step", -1, &caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void CWndAnalyzerControlPanel::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  CRect r(*content);
  const int inset = r.Width() / 10;
  r.DeflateRect(inset, inset);
  const bool enabled = data->enabled != 0;
  const COLORREF disabled = AdjustColor(0xC0C0C0, 100);
  CPen outline(PS_SOLID, 1, enabled ? 0x000000 : disabled);
  CBrush green(enabled ? kGreen : disabled);
  CBrush red(enabled ? kRed : disabled);
  kvp::DcSelect pen(dc, &outline);
  kvp::DcSelect brush(dc, &green);
  const int l = r.left, t = r.top, rr = r.right, b = r.bottom;
  const int mx = l + r.Width() / 2;
  auto triangle = [&](int tipX, int baseX, int top, int bottom) {
    const POINT pts[3] = {{baseX, top}, {tipX, top + (bottom - top) / 2}, {baseX, bottom}};
    dc->Polygon(pts, 3);
  };
  auto pause = [&] {
    brush.Select(&red);
    const int w = r.Width() / 3;
    dc->Rectangle(l, t, l + w, b);
    dc->Rectangle(rr - w, t, rr, b);
  };
  const int state = m_pRecorder->m_View.m_nPlayState;
  switch (data->id) {
    case kLongBack: {
      const int bar = r.Width() / 6;
      dc->Rectangle(l, t, l + bar, b);
      triangle(l + bar, rr, t, b);
      break;
    }
    case kBack:
      triangle(l, mx, t, b);
      triangle(mx, rr, t, b);
      break;
    case kPlayBack:
      if (state == kBackward) pause(); else triangle(l, rr, t, b);
      break;
    case kPlay:
      if (state == kForward) pause(); else triangle(rr, l, t, b);
      break;
    case kNext:
      triangle(mx, l, t, b);
      triangle(rr, mx, t, b);
      break;
    case kRollMode: {
      const int bar = r.Width() / 6;
      triangle(rr - bar, l, t, b);
      dc->Rectangle(rr - bar, t, rr, b);
      break;
    }
    default:
      break;
  }
}

void CWndAnalyzerControlPanel::OnAnalyzerNotify(int, int code, int) {
  switch (code) {
    case kQuit:
      if (m_pRecorder->IsThreadRunning()) m_pRecorder->Stop();
      break;
    case kNewData:
      m_pRecorder->m_View.m_nPlayState = kStopped;
      if (CXPCtrlBtn* b = Button(kPlay)) b->Redraw();
      if (GetSafeHwnd()) KillTimer(kPlayTimer);
      Redraw();
      break;
    case kTimeLineMoved:
    case kHZoomChanged:
    case kDataReplaced:
    case kSaved:
      Redraw();
      break;
    case kNoRecords:
      EnableAll(FALSE);
      StopPlaying();
      break;
    case kTransferBegins:
      EnableAll(FALSE);
      break;
    case kDataReady:
      EnableAll(TRUE);
      break;
    default:
      break;
  }
}
