// The control panel's windows: creation of the controls, the fonts, the layout, the panel's frame
// and the range rebuilders that refill the spinners from GlobalProps. The controls' faces are in
// PanelFaces.cpp, the commands in ControlPanelCommands.cpp.
#include <scope/pane/ControlPanel.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSpinnerIds[8] = {1000, 1001, 1007, 1008, 1011, 1012, 1015, 1016};
constexpr int kButtonIds[27] = {1002, 1003, 1006, 1004, 1005, 1009, 1010, 1013, 1014, 1027, 1028, 1029, 1030, 1031,
                                1032, 1033, 1035, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1034, 1036};

enum Kind { kSpin, kButton, kTitleText, kPopup };

struct ControlDef {
  int id;
  const char* name;
  Kind kind;
  bool hidden;
  int title;  // which title for kTitleText
};

// Creation order.
constexpr ControlDef kControls[] = {
    {1025, "TRIGGER MENU", kTitleText, false, 0},
    {1000, "TriggerPos", kSpin, false, 0},
    {1001, "TriggerLevel", kSpin, false, 0},
    {1002, "TriggerUpDown", kButton, false, 0},
    {1003, "TriggerMode", kButton, false, 0},
    {1006, "RollMode", kButton, false, 0},
    {1004, "TriggerSource", kButton, false, 0},
    {1005, "TriggerSensitiv", kButton, false, 0},
    {1025, "VERTICAL MENU", kTitleText, false, 1},
    {1007, "ChAScale", kSpin, false, 0},
    {1008, "ChAPos", kSpin, false, 0},
    {1009, "ChAMode", kButton, false, 0},
    {1010, "ChAOnOff", kButton, false, 0},
    {1011, "ChBScale", kSpin, false, 0},
    {1012, "ChBPos", kSpin, false, 0},
    {1013, "ChBMode", kButton, false, 0},
    {1014, "ChBOnOff", kButton, false, 0},
    {1025, "HIGH VOLTAGE MENU", kTitleText, true, 3},
    {1027, "BtnCylFirst", kButton, true, 0},
    {1028, "BtnCylSecond", kButton, true, 0},
    {1029, "BtnCylThird", kButton, true, 0},
    {1030, "BtnCylFourth", kButton, true, 0},
    {1031, "BtnSynchro", kButton, true, 0},
    {1032, "BtnCSave", kButton, false, 0},
    {1033, "BtnCLoad", kButton, false, 0},
    {1035, "BtnInvert", kButton, false, 0},
    {1025, "HORIZONTAL MENU", kTitleText, false, 2},
    {1015, "TimeScale", kSpin, false, 0},
    {1016, "TimePos", kSpin, false, 0},
    {1017, "BtnRun", kButton, false, 0},
    {1018, "BtnZoom", kButton, false, 0},
    {1019, "BtnCursor", kButton, false, 0},
    {1020, "BtnAutoSet", kButton, false, 0},
    {1021, "BtnOpen", kButton, false, 0},
    {1022, "BtnSave", kButton, false, 0},
    {1023, "BtnDelete", kButton, false, 0},
    {1024, "BtnPrint", kButton, false, 0},
    {1034, "BtnRecord", kButton, false, 0},
    {1036, "BtnDock", kButton, false, 0},
    {1026, "Dialogs", kPopup, true, 0},
};

int IndexOf(const int* ids, int count, int id) {
  for (int i = 0; i < count; ++i)
    if (ids[i] == id) return i;
  return -1;
}

bool HorizontalSpinner(int id) {
  return id == CWndOsc_ControlPanel::kTriggerPos || id == CWndOsc_ControlPanel::kTimeScale ||
         id == CWndOsc_ControlPanel::kTimePos;
}

NumericOptionRecord MakeRecord(double step, double bigStep, int accelAfter, double min, double max, double value) {
  NumericOptionRecord r;
  InitRepeatData(&r);
  r.step = step;
  r.bigStep = bigStep;
  r.accelAfter = accelAfter;
  r.min = min;
  r.max = max;
  r.value = value;
  return r;
}

int Trunc(double x) { return static_cast<int>(x); }

}  // namespace

CWndOsc_ControlPanel::CWndOsc_ControlPanel(scope::ISnapshotDevice& device, scope::IControlPanelDevice& library,
                                           scope::IScopeRecordTarget& records)
    : m_Device(device),
      m_Library(library),
      m_Records(records),
      m_Recording(*this, device, library, records),
      m_Files(*this, *this, device),
      m_Faces(*this) {
  m_strProbe[1] = "OFF";
}

CWndOsc_ControlPanel::~CWndOsc_ControlPanel() = default;

CRepeatCtrl* CWndOsc_ControlPanel::Spinner(int id) {
  const int i = IndexOf(kSpinnerIds, 8, id);
  return i < 0 ? nullptr : &m_spinners[i];
}

CXPCtrlBtn* CWndOsc_ControlPanel::Button(int id) {
  const int i = IndexOf(kButtonIds, 27, id);
  return i < 0 ? nullptr : &m_buttons[i];
}

int CWndOsc_ControlPanel::ButtonValue(int id) const {
  const int i = IndexOf(kButtonIds, 27, id);
  return i < 0 ? 0 : m_buttons[i].data.value;
}

const NumericOptionRecord* CWndOsc_ControlPanel::SpinnerRecord(int id) const {
  const int i = IndexOf(kSpinnerIds, 8, id);
  return i < 0 ? nullptr : &m_spinners[i].record;
}

CWnd* CWndOsc_ControlPanel::Control(int id) {
  if (CRepeatCtrl* s = Spinner(id)) return s;
  if (CXPCtrlBtn* b = Button(id)) return b;
  if (id == kDialogs) return &m_popup;
  return nullptr;
}

bool CWndOsc_ControlPanel::IsDocked() const { return GetResourceHolder().m_bNarrowChart != 0; }
int CWndOsc_ControlPanel::GetZoom() const { return GetResourceHolder().m_nZoomType; }

BOOL CWndOsc_ControlPanel::CreateChildren() {
  GlobalProps& p = GetGlobalProps();
  const BYTE charSet = p.GetCharSet();
  const int heights[6] = {17, 12, 14, 14, 16, 18};
  const BOOL bold[6] = {TRUE, FALSE, TRUE, FALSE, FALSE, FALSE};
  for (int i = 0; i < 6; ++i) {
    m_fonts[i].DeleteObject();
    CreateFontOnce(m_fonts[i], "Arial", heights[i], charSet, bold[i], FALSE, FALSE, 0);
  }
  for (const ControlDef& c : kControls) {
    const DWORD style = WS_CHILD | (c.hidden ? 0 : WS_VISIBLE);
    switch (c.kind) {
      case kTitleText: {
        m_titles[c.title] = std::make_unique<CXPCtrlStaticWFont>(GetSchemeColor(8), GetSchemeColor(6), &m_fonts[0],
                                                                 FALSE, DT_LEFT | DT_VCENTER | DT_SINGLELINE, 0);
        if (!m_titles[c.title]->Create(c.name, style, CRect(0, 0, 0, 0), this, c.id)) return FALSE;
        break;
      }
      case kSpin: {
        CRepeatCtrl* s = Spinner(c.id);
        s->orientation = HorizontalSpinner(c.id) ? 1 : 0;
        s->flags |= 1;
        if (!s->Create(c.name, style, CRect(0, 0, 0, 0), this, c.id)) return FALSE;
        s->scrollClbck = this;
        s->drawClbck = &m_Faces;
        break;
      }
      case kButton: {
        CXPCtrlBtn* b = Button(c.id);
        if (!b->Create(c.name, style, CRect(0, 0, 0, 0), this, c.id)) return FALSE;
        b->btnClbck = this;
        b->drawClbck = &m_Faces;
        break;
      }
      case kPopup:
        m_popup.SetOwner(this);
        if (!m_popup.Create(c.name, style, CRect(0, 0, 0, 0), this, c.id)) return FALSE;
        break;
    }
  }
  Button(kBtnDock)->SetColors(m_crBack, 0x10000, m_crBack, GetSchemeColor(13));

  // Option values.
  {
    const NumericOptionRecord pos = MakeRecord(1, 2, 20, 0, 90, p.m_dTriggerPosition);
    Spinner(kTriggerPos)->InitOptionFromRecord(&pos);
    const NumericOptionRecord level = MakeRecord(1, 3, 10, 0, 255, p.m_nTriggerLevel);
    Spinner(kTriggerLevel)->InitOptionFromRecord(&level);
    const NumericOptionRecord scale = MakeRecord(1, 0, -1, 0, 100, 0);
    Spinner(kChAScale)->InitOptionFromRecord(&scale);
    Spinner(kChBScale)->InitOptionFromRecord(&scale);
    const NumericOptionRecord time = MakeRecord(1, 0, -1, 0, 0, std::max(0, p.GetTimeBaseIndex()));
    Spinner(kTimeScale)->InitOptionFromRecord(&time);
  }
  RebuildPositionRange(-1);
  RebuildTimePosRange();
  SetButton(kTriggerUpDown, 0, 1, p.m_nTriggerEdge);
  SetButton(kTriggerMode, 0, 2, p.m_nTriggerMode);
  SetButton(kRollMode, 1, 2, p.m_nSlowRateModifier);
  SetButton(kTriggerSource, 0, 3, p.m_nTriggerSourceKind);
  SetButton(kTriggerSensitiv, 0, 1, p.m_nTriggerFilter);
  SetButton(kChAMode, 0, 1, p.m_Channels[0].m_nCoupling);
  SetButton(kChBMode, 0, 1, p.m_Channels[1].m_nCoupling);
  SetButton(kChAOnOff, 0, 1, p.m_Channels[0].m_nModeEnable);
  SetButton(kChBOnOff, 0, 1, p.m_Channels[1].m_nModeEnable);
  SetButton(kBtnRun, 1, 0, 0);
  SetButton(kBtnZoom, 0, 3, 0);
  SetButton(kBtnCursor, 0, 1, p.m_bCursorsOn);
  SetButton(kBtnAutoSet, 0, 0, 0);
  m_Recording.ResetBlink();
  EnableControl(kBtnDelete, false);
  return TRUE;
}

// ---- layout ------------------------------------------------------------------------------------

void CWndOsc_ControlPanel::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect client = m_rcClient;
  const double W = client.Width() - 16;
  const double H = client.Height();
  const int x0 = client.left + 8;
  const int right = x0 + Trunc(W);
  auto place = [this](CWnd* w, int x, int y, int cx, int cy) {
    if (!w || !w->GetSafeHwnd()) return;
    CRect now;
    w->GetWindowRect(&now);
    ScreenToClient(&now);
    if (now != CRect(x, y, x + cx, y + cy)) w->MoveWindow(x, y, cx, cy, TRUE);
  };
  auto at = [&](int id, int x, int y, int cx, int cy) { place(Control(id), x, y, cx, cy); };
  const int b = Trunc((W - 0.08 * W) / 4);
  const int half = Trunc(0.487 * W);

  // 1. Dock button.
  const int dock = Trunc(H / 40);
  at(kBtnDock, client.right - Trunc(W / 168) - dock, client.top + Trunc(H / 156), dock, dock);
  // 2. Trigger title.
  int y = client.top + 5;
  int h = Trunc(0.045 * H);
  place(m_titles[kTitleTrigger].get(), x0, y, Trunc(0.787 * W), h);
  y += h;
  // 3. Trigger spinners.
  y += Trunc(0.01 * H);
  h = Trunc(0.108 * H);
  at(kTriggerPos, x0, y, half, h);
  at(kTriggerLevel, right - half, y, half, h);
  y += h;
  // 4. Trigger buttons.
  y += Trunc(0.01 * H);
  h = Trunc(0.088 * H);
  at(kTriggerUpDown, x0, y, b, h);
  at(kTriggerMode, x0 + half - b, y, b, h);
  at(kRollMode, x0 + half - b, y, b, h);
  at(kTriggerSource, right - half, y, b, h);
  at(kTriggerSensitiv, right - b, y, b, h);
  y += h;
  // 5. Vertical title.
  y += Trunc(0.005 * H);
  h = Trunc(0.045 * H);
  place(m_titles[kTitleVertical].get(), x0, y, Trunc(0.633 * W), h);
  y += h;
  // 6., 7. Channel rows.
  int scaleHeight = 0;
  for (int ch = 0; ch < 2; ++ch) {
    y += Trunc((ch == 0 ? 0.01 : 0.015) * H);
    scaleHeight = Trunc(0.108 * H);
    const int scaleId = ch == 0 ? kChAScale : kChBScale;
    at(scaleId, x0, y, half, scaleHeight);
    const int posX = x0 + half + Trunc(0.037 * W);
    const int posW = Trunc(0.29 * W);
    at(scaleId + 1, posX, y, posW, scaleHeight);
    const int onX = posX + posW + Trunc(0.01 * W);
    const int onY = y + Trunc(0.012 * H);
    const int onH = Trunc(0.063 * H);
    at(scaleId + 3, onX, onY, right - onX, onH);
    const int modeY = onY + onH + Trunc(0.005 * H);
    at(scaleId + 2, onX, modeY, right - onX, y + scaleHeight - modeY);
    y += scaleHeight;
  }
  // 8. Small buttons.
  y += Trunc(0.01 * H);
  h = Trunc(0.45 * scaleHeight);
  const int small[5] = {kBtnCLoad, kBtnCSave, kBtnRecord, kBtnInvert, kBtnSynchro};
  for (int i = 0; i < 5; ++i) at(small[i], x0 + Trunc(i * 0.202 * W), y, Trunc(0.195 * W), h);
  y += h;
  // 9. High-voltage title and the cylinder buttons. The section takes its rows only while it is
  // shown: with it, the rows of the panel would need 1.11 times the panel's height.
  {
    int hy = y + Trunc(0.01 * H);
    h = Trunc(0.045 * H);
    place(m_titles[kTitleHighVoltage].get(), client.left, hy, Trunc(0.633 * W), h);
    hy += h + Trunc(0.005 * H);
    h = Trunc(0.069 * H);
    for (int i = 0; i < 4; ++i) at(kBtnCylFirst + i, client.left + Trunc(i * 0.269 * W), hy, Trunc(0.2 * W), h);
    const CXPCtrlStaticWFont* hv = m_titles[kTitleHighVoltage].get();
    if (hv && hv->GetSafeHwnd() && (hv->GetStyle() & WS_VISIBLE)) y = hy + h;
  }
  // 10. Horizontal title.
  y += Trunc(0.01 * H);
  h = Trunc(0.045 * H);
  place(m_titles[kTitleHorizontal].get(), x0, y, Trunc(0.633 * W), h);
  y += h;
  // 11. Time spinners.
  y += Trunc(0.01 * H);
  h = Trunc(0.108 * H);
  at(kTimeScale, x0, y, half, h);
  at(kTimePos, right - half, y, half, h);
  y += h;
  // 12., 13. Command rows.
  const int rows[2][4] = {{kBtnRun, kBtnZoom, kBtnCursor, kBtnAutoSet}, {kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint}};
  int row2Top = y;
  for (int r = 0; r < 2; ++r) {
    y += Trunc(0.01 * H);
    h = Trunc(0.091 * H);
    if (r == 1) row2Top = y;
    at(rows[r][0], x0, y, b, h);
    at(rows[r][1], x0 + half - b, y, b, h);
    at(rows[r][2], right - half, y, b, h);
    at(rows[r][3], right - b, y, b, h);
    y += h;
  }
  // 14. The popup over command row 2.
  place(&m_popup, x0, row2Top, Trunc(W), h);
}

void CWndOsc_ControlPanel::BuildFonts(const CRect& inner) {
  const double W = inner.Width();
  const double H = inner.Height();
  const BYTE charSet = GetGlobalProps().GetCharSet();
  struct FontSize {
    int index;
    double height;
    BOOL bold;
  };
  const FontSize sizes[5] = {{0, W / 17, TRUE}, {1, W / 24.1, FALSE}, {2, 0.8 * H / 36, FALSE}, {3, H / 36, FALSE},
                         {4, W / 18.125, FALSE}};
  for (const FontSize& s : sizes) {
    m_fonts[s.index].DeleteObject();
    CreateFontOnce(m_fonts[s.index], "Arial", -std::max(1, Trunc(s.height)), charSet, s.bold, FALSE, FALSE, 0);
  }
  ++m_nFontBuilds;
}

void CWndOsc_ControlPanel::PaintContent(CDC* dc) {
  CRect client = m_rcClient;
  if (!IsDocked()) dc->DrawEdge(&client, EDGE_RAISED, BF_RECT);
  CRect inner = m_rcClient;
  inner.left += 8;
  inner.right -= 8;
  if (inner != m_rcInner) {
    m_rcInner = inner;
    BuildFonts(inner);
    for (auto& t : m_titles)
      if (t && t->GetSafeHwnd()) t->Redraw();
  }
  RecalcLayout();
}

// ---- ranges ------------------------------------------------------------------------------------

void CWndOsc_ControlPanel::RebuildTimePosRange() {
  CRepeatCtrl* s = Spinner(kTimePos);
  const CStepScale& grid = GetTimeStepScale();
  NumericOptionRecord r = MakeRecord(1, 0, -1, 0, std::max(0, grid.m_nSteps - grid.m_nCurrentStep),
                                     GetOscScale().m_nHorizontalOffset);
  r.enabled = GetZoom() != 3;
  s->InitOptionFromRecord(&r);
  if (s->GetSafeHwnd()) s->Enable(r.enabled, FALSE);
  s->Redraw();
}

void CWndOsc_ControlPanel::RebuildTimeScaleRange(int useSettings) {
  GlobalProps& p = GetGlobalProps();
  m_timeTexts.RemoveAll();
  const int count = p.GetTimeBaseTexts(m_timeTexts);
  CRepeatCtrl* s = Spinner(kTimeScale);
  NumericOptionRecord r = s->record;
  r.min = 0;
  r.max = std::max(0, count - 1);
  r.step = 1;
  if (useSettings) r.value = std::max(0, p.GetTimeBaseIndex());
  s->InitOptionFromRecord(&r);
  s->Redraw();
}

void CWndOsc_ControlPanel::RebuildTriggerLevelRange(int useSettings) {
  CRepeatCtrl* s = Spinner(kTriggerLevel);
  NumericOptionRecord r = s->record;
  r.min = 0;
  r.max = 255;
  r.step = 1;
  r.bigStep = 3;
  r.accelAfter = 10;
  // A level of 256 stays 256 on the face; one step down gives 255.
  if (useSettings) r.value = GetGlobalProps().m_nTriggerLevel;
  s->InitOptionFromRecord(&r);
  s->Redraw();
}

void CWndOsc_ControlPanel::RebuildScaleRanges(int useSettings, int channel) {
  GlobalProps& p = GetGlobalProps();
  for (int ch = 0; ch < 2; ++ch) {
    if (channel != -1 && channel != ch) continue;
    CChannelProps& c = p.m_Channels[ch];
    m_rangeTexts[ch].RemoveAll();
    p.GetVoltsPerDivTexts(ch, m_rangeTexts[ch]);
    // Only the ranges the probe accepts: the board refuses the others.
    int lowest = 0, highest = 0;
    c.GetRangeLimits(lowest, highest);
    CRepeatCtrl* s = Spinner(ch == 0 ? kChAScale : kChBScale);
    NumericOptionRecord r = s->record;
    r.min = lowest;
    r.max = highest;
    r.step = 1;
    if (useSettings) {
      // An index the probe refuses is replaced and marked for the board.
      const int index = c.AllowedRangeIndex(c.m_nRangeIndex);
      if (index != c.m_nRangeIndex) p.SetChannelRangeIndex(ch, index, FALSE, FALSE);
      r.value = index;
    }
    s->InitOptionFromRecord(&r);
    s->Redraw();
  }
}

void CWndOsc_ControlPanel::RebuildPositionRange(int channel) {
  GlobalProps& p = GetGlobalProps();
  for (int ch = 0; ch < 2; ++ch) {
    if (channel != -1 && channel != ch) continue;
    CRepeatCtrl* s = Spinner(ch == 0 ? kChAPos : kChBPos);
    const NumericOptionRecord r = MakeRecord(-1, 0, -1, 0, 100, std::clamp(p.m_Channels[ch].m_nPosition, 0, 100));
    s->InitOptionFromRecord(&r);
    s->Redraw();
  }
}

// ---- faces -------------------------------------------------------------------------------------

void CWndOsc_ControlPanel::SetButton(int id, int min, int max, int value) {
  CXPCtrlBtn* b = Button(id);
  if (!b) return;
  b->data.min = min;
  b->data.max = max;
  b->data.value = value;
  b->Redraw();
}

void CWndOsc_ControlPanel::ShowTriggerMode() { SetButton(kTriggerMode, 0, 2, GetGlobalProps().m_nTriggerMode); }
void CWndOsc_ControlPanel::ShowRollMode() { SetButton(kRollMode, 1, 2, GetGlobalProps().m_nSlowRateModifier); }
void CWndOsc_ControlPanel::ShowZoom(int zoom) { SetButton(kBtnZoom, 0, 3, zoom); }
void CWndOsc_ControlPanel::ShowTriggerSource() {
  CXPCtrlBtn* b = Button(kTriggerSource);
  b->data.value = GetGlobalProps().m_nTriggerSourceKind;
  b->Redraw();
}
void CWndOsc_ControlPanel::ShowTriggerEdge() { SetButton(kTriggerUpDown, 0, 1, GetGlobalProps().m_nTriggerEdge); }
void CWndOsc_ControlPanel::ShowSensitivity() {
  SetButton(kTriggerSensitiv, 0, 1, GetGlobalProps().m_nTriggerFilter);
}
void CWndOsc_ControlPanel::ShowChannelMode(int channel) {
  SetButton(channel == 0 ? kChAMode : kChBMode, 0, 1, GetGlobalProps().m_Channels[channel & 1].m_nCoupling);
}

void CWndOsc_ControlPanel::NotifyScroll(CRepeatCtrl* spinner) {
  if (spinner && spinner->scrollClbck) spinner->scrollClbck->OnValueChanged(&spinner->record, spinner);
}
