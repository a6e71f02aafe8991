// The control panel's windows: creation of the controls, the fonts, the layout, the panel's frame,
// the spinner value areas, the button faces and the range rebuilders that refill the spinners
// from GlobalProps. The commands are in ControlPanelCommands.cpp.
#include <scope/pane/ControlPanel.h>

#include <scope/ScopeState.h>
#include <scope/pane/EdgeSymbol.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MeasureType.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

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
      m_Files(*this, device) {
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
        s->drawClbck = this;
        break;
      }
      case kButton: {
        CXPCtrlBtn* b = Button(c.id);
        if (!b->Create(c.name, style, CRect(0, 0, 0, 0), this, c.id)) return FALSE;
        b->btnClbck = this;
        b->drawClbck = this;
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

COLORREF CWndOsc_ControlPanel::TriggerColour() {
  const int source = GetGlobalProps().m_nTriggerSourceKind;
  return GetSchemeColor(source == 1 || source == 3 ? 5 : 4);
}

CString CWndOsc_ControlPanel::FaceText(int id) const {
  static const char* const kModes[3] = {"Trig", "Auto", "Single"};
  static const char* const kSources[4] = {"Ch A", "Ch B", "Ch A-B", "Ch B-A"};
  static const char* const kZoom[4] = {"1x", "2.5x", "5x", "0.5x"};
  static const char* const kInvert[4] = {"Inv A", "Inv B", "Inv AB", "NoInv"};
  static const char* const kCyl[4] = {"1st", "2nd", "3rd", "4th"};
  auto* self = const_cast<CWndOsc_ControlPanel*>(this);
  const CXPCtrlBtn* b = self->Button(id);
  const int v = b ? b->data.value : 0;
  const GlobalProps& p = GetGlobalProps();
  const measure::MeasureType type = GetMeasureType().Type();
  switch (id) {
    case kTriggerMode:
      if (measure::IsExternallyTriggered(type)) return "Mode\nEXT";
      return v >= 0 && v <= 2 ? CString("Mode\n") + kModes[v] : CString("Mode\n");
    case kRollMode:
      return v == 1 ? "Mode\nNO Trig" : "Mode\nTrig";
    case kTriggerSource:
      return CString("Source\n") + kSources[std::clamp(v, 0, 3)];
    case kTriggerSensitiv:
      return v == 1 ? "Noise" : "Full";
    case kChAMode:
    case kChBMode:
      return CString(id == kChAMode ? "Ch A " : "Ch B ") + (v == 1 ? "=" : "~");
    case kChAOnOff:
    case kChBOnOff: {
      const int ch = id == kChAOnOff ? 0 : 1;
      const CString name = ch == 0 ? "Ch A\n" : "Ch B\n";
      if (EngineTesterPath()) return name + m_strProbe[ch];
      return name + (v == 1 ? "On" : "Off");
    }
    case kBtnRun:
      return p.m_bRunning ? "Stop" : "Run";
    case kBtnZoom:
      return CString("Zoom\n") + kZoom[std::clamp(v, 0, 3)];
    case kBtnCursor:
      return p.m_bCursorsOn ? "Cursor\nOn" : "Cursor\nOff";
    case kBtnAutoSet:
      return "AutoSet";
    case kBtnCylFirst:
    case kBtnCylSecond:
    case kBtnCylThird:
    case kBtnCylFourth:
      return kCyl[id - kBtnCylFirst];
    case kBtnSynchro:
      return "Sync";
    case kBtnCSave:
      return "Save";
    case kBtnCLoad:
      return "Load";
    case kBtnRecord:
      return "Rec";
    case kBtnInvert:
      return kInvert[std::clamp(static_cast<int>(scope::GetScopeState().InvertState), 0, 3)];
    default:
      return "";
  }
}

const char* CWndOsc_ControlPanel::SpinnerCaption(int id) {
  switch (id) {
    case kTriggerPos:
      return "Trigger pos.";
    case kTriggerLevel:
      return "Trigger level";
    case kChAScale:
      return "Ch A Scale/div";
    case kChBScale:
      return "Ch B Scale/div";
    case kTimeScale:
      return "Time scale/div";
    case kTimePos:
      return "Window pos.";
    default:
      return "";
  }
}

CString CWndOsc_ControlPanel::SpinnerText(int id) const {
  auto* self = const_cast<CWndOsc_ControlPanel*>(this);
  const CRepeatCtrl* s = self->Spinner(id);
  if (!s) return "";
  const NumericOptionRecord& r = s->record;
  const int index = Trunc(r.reversed ? r.max - (r.value - r.min) : r.value);
  char format[32];
  CString text;
  auto fromList = [&](const CStringArray& list) {
    return index >= 0 && index < list.GetSize() ? list[index] : CString();
  };
  switch (id) {
    case kTriggerPos:
      std::snprintf(format, sizeof(format), "%%.%df%%%%", std::clamp(r.decimals, 0, 9));
      text.Format(format, r.value);
      return text;
    case kTriggerLevel:
      return GetGlobalProps().FormatTriggerLevel(Trunc(r.value));
    case kChAScale:
      return fromList(m_rangeTexts[0]);
    case kChBScale:
      return fromList(m_rangeTexts[1]);
    case kTimeScale:
      return fromList(m_timeTexts);
    case kTimePos:
      std::snprintf(format, sizeof(format), "%%.%dfdiv", std::clamp(r.decimals, 0, 9));
      text.Format(format, r.value);
      return text;
    default:
      return "";
  }
}

void CWndOsc_ControlPanel::Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) {
  if (!dc || !client || !control) return;
  const int id = control->GetDlgCtrlID();
  const CRect area(*client);
  const bool enabled = record->enabled != 0;
  dc->SetBkMode(TRANSPARENT);
  if (id == kChAPos || id == kChBPos) {
    // "Pos." and the channel name in the left half of the middle three fifths.
    const COLORREF colour = GetSchemeColor(id == kChAPos ? 4 : 5);
    dc->SetTextColor(enabled ? colour : AdjustColor(colour, 100));
    CFont* old = dc->SelectObject(&m_fonts[3]);
    const int band = area.Height() / 5;
    CRect top(area.left, area.top + band, area.left + area.Width() / 2, area.top + 2 * band + band / 2);
    CRect bottom(top.left, top.bottom, top.right, area.top + 4 * band);
    dc->DrawText("Pos.", &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->DrawText(id == kChAPos ? "Ch A" : "Ch B", &bottom, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->SelectObject(old);
    return;
  }
  const bool wide = id == kTriggerPos || id == kTimeScale || id == kTimePos;
  const double from = wide ? 0.25 : 0.05;
  const double to = wide ? 0.75 : 0.65;
  CRect box(area.left + Trunc(area.Width() * from), area.top + Trunc(area.Height() * 0.40),
            area.left + Trunc(area.Width() * to), 0);
  box.bottom = box.top + Trunc(area.Height() * 0.48);
  if (!m_boxPen.GetSafeHandle()) m_boxPen.CreatePen(PS_SOLID, 1, GetSchemeColor(17));
  if (!m_boxBrush.GetSafeHandle()) m_boxBrush.CreateSolidBrush(GetSchemeColor(16));
  if (!m_boxDisabledBrush.GetSafeHandle()) m_boxDisabledBrush.CreateSolidBrush(AdjustColor(GetSchemeColor(16), -50));
  CPen* oldPen = dc->SelectObject(&m_boxPen);
  CBrush* oldBrush = dc->SelectObject(enabled ? &m_boxBrush : &m_boxDisabledBrush);
  dc->Rectangle(&box);
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);

  CFont* old = dc->SelectObject(&m_fonts[4]);
  dc->SetTextColor(enabled ? RGB(0, 0, 0) : RGB(0x80, 0x80, 0x80));
  CRect valueRect = box;
  valueRect.right -= 10;
  dc->DrawText(SpinnerText(id), &valueRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);

  COLORREF captionColour = GetSchemeColor(18);
  if (id == kChAScale) captionColour = GetSchemeColor(4);
  if (id == kChBScale) captionColour = GetSchemeColor(5);
  dc->SetTextColor(enabled ? captionColour : AdjustColor(captionColour, 100));
  dc->SelectObject(&m_fonts[1]);
  CRect caption(area.left + Trunc(area.Width() * from), area.top, area.right, box.top);
  if (wide) caption = CRect(area.left, area.top, area.right, box.top);
  dc->DrawText(SpinnerCaption(id), &caption, (wide ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
  dc->SelectObject(old);
}

namespace {

void DrawLines(CDC* dc, const CString& text, const CRect& area) {
  std::vector<CString> lines;
  int start = 0;
  for (int i = 0; i <= text.GetLength(); ++i) {
    if (i == text.GetLength() || text[i] == '\n') {
      lines.push_back(text.Mid(start, i - start));
      start = i + 1;
    }
  }
  const int n = static_cast<int>(lines.size());
  for (int i = 0; i < n; ++i) {
    CRect band(area.left, area.top + area.Height() * i / n, area.right, area.top + area.Height() * (i + 1) / n);
    dc->DrawText(lines[i], &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

// The open, save, delete and print symbols and the dock arrow, inside the face.
void DrawSymbol(CDC* dc, int id, const CRect& face, COLORREF colour) {
  const int s = std::max(4, std::min(face.Width(), face.Height()) * 3 / 5);
  const CPoint c = face.CenterPoint();
  const CRect box(c.x - s / 2, c.y - s / 2, c.x + s / 2, c.y + s / 2);
  CPen pen;
  pen.CreatePen(PS_SOLID, 1, colour);
  CBrush brush;
  brush.CreateSolidBrush(colour);
  CPen* oldPen = dc->SelectObject(&pen);
  CBrush* oldBrush = dc->SelectObject(&brush);
  switch (id) {
    case CWndOsc_ControlPanel::kBtnOpen: {  // an opening folder
      const POINT folder[6] = {{box.left, box.top + s / 4}, {box.left + s / 3, box.top + s / 4},
                               {box.left + s / 2, box.top + s / 3}, {box.right, box.top + s / 3},
                               {box.right, box.bottom}, {box.left, box.bottom}};
      dc->Polygon(folder, 6);
      break;
    }
    case CWndOsc_ControlPanel::kBtnSave: {  // a disk with its label
      dc->Rectangle(&box);
      dc->FillSolidRect(box.left + s / 5, box.top + s / 8, s * 3 / 5, s / 3, RGB(255, 255, 255));
      break;
    }
    case CWndOsc_ControlPanel::kBtnDelete: {  // a cross
      const int w = std::max(1, s / 6);
      const POINT a[4] = {{box.left, box.top + w}, {box.left + w, box.top}, {box.right, box.bottom - w},
                          {box.right - w, box.bottom}};
      const POINT b[4] = {{box.right - w, box.top}, {box.right, box.top + w}, {box.left + w, box.bottom},
                          {box.left, box.bottom - w}};
      dc->Polygon(a, 4);
      dc->Polygon(b, 4);
      break;
    }
    case CWndOsc_ControlPanel::kBtnPrint: {  // a printer with its sheet
      dc->Rectangle(box.left, box.top + s / 3, box.right, box.bottom - s / 6);
      dc->FillSolidRect(box.left + s / 5, box.top, s * 3 / 5, s / 3, colour);
      dc->FillSolidRect(box.left + s / 5, box.bottom - s / 4, s * 3 / 5, s / 4, colour);
      break;
    }
    case CWndOsc_ControlPanel::kBtnDock: {  // a four-point arrow
      const int q = s / 2;
      const int t = std::max(1, s / 8);
      const POINT arrow[12] = {{c.x, c.y - q},     {c.x + t * 2, c.y - q / 2}, {c.x + t, c.y - t},
                               {c.x + q, c.y},     {c.x + t, c.y + t},         {c.x + t * 2, c.y + q / 2},
                               {c.x, c.y + q},     {c.x - t * 2, c.y + q / 2}, {c.x - t, c.y + t},
                               {c.x - q, c.y},     {c.x - t, c.y - t},         {c.x - t * 2, c.y - q / 2}};
      dc->Polygon(arrow, 12);
      break;
    }
    default:
      break;
  }
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
}

}  // namespace

void CWndOsc_ControlPanel::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (!dc || !content || !data) return;
  const int id = data->id;
  const CRect face(*content);
  const bool enabled = data->enabled != 0;
  auto shade = [enabled](COLORREF c) { return enabled ? c : AdjustColor(c, 100); };
  dc->SetBkMode(TRANSPARENT);
  COLORREF colour = GetSchemeColor(13);
  switch (id) {
    case kTriggerUpDown: {
      const int source = GetGlobalProps().m_nTriggerSourceKind;
      scope::DrawEdgeSymbol(dc, face, data->value, source, shade(source == 1 || source == 3 ? GetSchemeColor(5)
                                                                                           : GetSchemeColor(4)),
                            shade(GetSchemeColor(5)));
      return;
    }
    case kBtnOpen:
    case kBtnSave:
    case kBtnDelete:
    case kBtnPrint:
    case kBtnDock:
      DrawSymbol(dc, id, face, shade(colour));
      return;
    case kTriggerSource:
      colour = TriggerColour();
      break;
    case kChAMode:
    case kChAOnOff:
      colour = GetSchemeColor(4);
      break;
    case kChBMode:
    case kChBOnOff:
      colour = GetSchemeColor(5);
      break;
    case kBtnCylFirst:
    case kBtnCylSecond:
    case kBtnCylThird:
    case kBtnCylFourth:
      if (data->value == 1) colour = 0x0033FF;
      break;
    default:
      break;
  }
  const bool small = id >= kBtnCylFirst && id <= kBtnInvert;
  CFont* old = dc->SelectObject(&m_fonts[small ? 2 : 1]);
  if (id == kBtnRecord) {
    // The red dot in a square at the left; while recording the text is red and the dot blinks.
    const bool recording = scope::GetScopeState().ScopeRecording != 0;
    const int side = std::max(4, face.Height() * 3 / 5);
    const CRect square(face.left + 3, face.top + (face.Height() - side) / 2, face.left + 3 + side,
                       face.top + (face.Height() - side) / 2 + side);
    if (!recording || m_Recording.GetBlinkPhase() == 0) {
      CBrush red;
      red.CreateSolidBrush(0x0000FF);
      CPen pen;
      pen.CreatePen(PS_SOLID, 1, 0x0000FF);
      CBrush* ob = dc->SelectObject(&red);
      CPen* op = dc->SelectObject(&pen);
      dc->Ellipse(square.left + 1, square.top + 1, square.right - 1, square.bottom - 1);
      dc->SelectObject(ob);
      dc->SelectObject(op);
    }
    dc->SetTextColor(recording ? 0x0000FF : shade(colour));
    CRect text(square.right, face.top, face.right, face.bottom);
    dc->DrawText("Rec", &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->SelectObject(old);
    return;
  }
  dc->SetTextColor(shade(colour));
  DrawLines(dc, FaceText(id), face);
  dc->SelectObject(old);
}
