#include <enginetester/WndMotortester_VoltageCurrent.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/ProbeKind.h>
#include <core/Sound.h>
#include <core/TextIds.h>
#include <core/ValueText.h>

#include <cmath>
#include <vector>

namespace {

const char* const kChildNames[CWndMotortester_VoltageCurrent::CHILD_COUNT] = {"Title",      "Speed",  "Voltmeter",
                                                                              "Ampermeter", "Probe0", "ProbeB"};
constexpr int kCurrentChannel = 1;

// The voltage in the precision of its size; exactly 0 as the zero of a small value's precision.
CString VoltageNumber(double v) { return v == 0.0 ? FormatMeasuredValue(0.01) : FormatValueByMagnitude(v); }

// The current's value and minimum/maximum texts in the display mode; false for a mode without a
// format (the texts stay).
bool CurrentTexts(int mode, double value, LPCSTR mark, CString& withMark, CString& plain) {
  int decimals = 0;
  const char* zero = nullptr;
  switch (mode) {
    case 2: decimals = 1, zero = "0.0"; break;
    case 3: decimals = 0, zero = "0"; break;
    case 15: decimals = 2, zero = "0.00"; break;
    default: return false;
  }
  RoundToDecimals(value, decimals);
  if (value == 0.0) {
    withMark.Format("%s%s %s", zero, "A", mark);
    plain.Format("%s%s", zero, "A");
    return true;
  }
  switch (mode) {
    case 2:
      withMark.Format("%5.1f%s %s", value, "A", mark);
      plain.Format("%5.1f%s", value, "A");
      break;
    case 3:
      withMark.Format("%d%s %s", static_cast<int>(value), "A", mark);
      plain.Format("%d%s", static_cast<int>(value), "A");
      break;
    default:
      withMark.Format("%.2f%s %s", value, "A", mark);
      plain.Format("%.2f%s", value, "A");
      break;
  }
  return true;
}

}  // namespace

CWndMotortester_VoltageCurrent::CWndMotortester_VoltageCurrent() = default;

CWndMotortester_VoltageCurrent::~CWndMotortester_VoltageCurrent() = default;

BOOL CWndMotortester_VoltageCurrent::CreateChildren() {
  for (int id = 0; id < CHILD_COUNT; ++id) {
    const et::Face face = id == ID_TITLE                           ? et::Face::Title
                          : id == ID_PROBE0 || id == ID_PROBEB ? et::Face::Plain
                                                                   : et::Face::Display;
    const BOOL visible = id != ID_PROBE0 && id != ID_PROBEB;
    if (!et::CreatePanelButton(m_Child[id], this, kChildNames[id], id, face, visible, this, this)) return FALSE;
  }
  return TRUE;
}

void CWndMotortester_VoltageCurrent::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect& c = m_rcClient;
  const int w = c.Width();
  const int h = c.Height();
  const int titleHeight = h / 8;
  et::MakePanelFont(m_fntLarge, -(titleHeight / 2));
  et::MakePanelFont(m_fntSmall, h / -32);
  if (!m_Child[ID_TITLE].GetSafeHwnd()) return;
  const int margin = w / 20;
  m_Child[ID_TITLE].MoveWindow(c.left + margin, c.top, w - 2 * margin, titleHeight);
  const int rowTop = c.top + titleHeight + h / 30;
  m_Child[ID_SPEED].MoveWindow(c.right - margin - w / 3, rowTop, w / 3, h / 8);
  const int meterTop = rowTop + h / 8 + h / 30;
  const int meterWidth = (w - 3 * margin) / 2;
  const int meterHeight = h / 2;
  m_Child[ID_VOLTMETER].MoveWindow(c.left + margin, meterTop, meterWidth, meterHeight);
  m_Child[ID_AMPERMETER].MoveWindow(c.left + 2 * margin + meterWidth, meterTop, meterWidth, meterHeight);
  const int buttonTop = meterTop + meterHeight + h / 40;
  const int buttonWidth = (meterWidth - margin) / 2;
  m_Child[ID_PROBE0].MoveWindow(c.left + 2 * margin + meterWidth, buttonTop, buttonWidth, h / 12);
  m_Child[ID_PROBEB].MoveWindow(c.left + 3 * margin + meterWidth + buttonWidth, buttonTop, buttonWidth, h / 12);
}

void CWndMotortester_VoltageCurrent::OnSize(UINT type, int cx, int cy) {
  CXPWndBaseColor::OnSize(type, cx, cy);
  Invalidate();
}

void CWndMotortester_VoltageCurrent::OnShowWindow(BOOL show, UINT status) {
  CXPWndBaseColor::OnShowWindow(show, status);
  if (show)
    StartVoltagePolling();
  else
    StopVoltagePolling();
}

void CWndMotortester_VoltageCurrent::ShowInputButtons(bool show) {
  for (int id : {ID_PROBE0, ID_PROBEB})
    if (m_Child[id].GetSafeHwnd()) m_Child[id].ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CWndMotortester_VoltageCurrent::StartVoltagePolling() {
  ShowInputButtons(false);
  CMotortesterData* data = GetMotortesterDevice();
  if (data->IsReady()) {
    m_bPolling = 1;
    data->StartVoltCurrent();
    ReadVoltmeterRecords();
    m_pVoltage = &data->GetChannel(CMotortesterData::CHANNEL_VOLTAGE).m_Reading;
    m_pCurrent = &data->GetChannel(CMotortesterData::CHANNEL_CURRENT).m_Reading;
  }
  SetTimer(TIMER_POLL, POLL_MS);
}

int CWndMotortester_VoltageCurrent::StopVoltagePolling() {
  if (m_nSoundState >= 0) {
    GetSound().Stop();
    m_nSoundState = -1;
  }
  if (GetSafeHwnd()) KillTimer(TIMER_POLL);
  m_bPolling = 0;
  m_pVoltage = nullptr;
  m_pCurrent = nullptr;
  return 1;
}

int CWndMotortester_VoltageCurrent::ReadVoltmeterRecords() {
  IMTVoltmeter_8* volt = GetMotortesterDevice()->GetVoltmeter();
  if (!volt) return 0;
  uint16_t count = 0;
  if (volt->GetInputCount(kCurrentChannel, &count) != 0) return 0;
  if (count == 0) {
    m_nActiveInput = -1;
    ShowInputButtons(false);
    return 1;
  }
  std::vector<ChannelProbeRecord> records(count);
  if (volt->ReadChannelProbes(kCurrentChannel, records.data()) != 0) return 0;
  int clamps = 0;
  for (const ChannelProbeRecord& r : records) {
    if (clamps == 2) break;
    if (r.probe.kind == probekind::kNone || r.probe.probeClass != probekind::kClassAmpere) continue;
    ScaledValue range{};
    range.mantissa = r.probe.codeA;
    range.exponent = static_cast<int8_t>(r.probe.codeB & 0xFF);
    m_strInput[clamps].Format("%dA", static_cast<int>(ScaledValueToDouble(range)));
    m_nInputCode[clamps] = r.slot;
    ++clamps;
  }
  if (clamps == 2 && m_strInput[0] == m_strInput[1]) {
    // Two clamps of one range: the board input each sits on (the current channel's slots 0 to 2
    // are the inputs 1 to 3).
    for (int i = 0; i < 2; ++i) {
      CString caption;
      caption.Format("%s (%d)", static_cast<LPCSTR>(m_strInput[i]), m_nInputCode[i] + 1);
      m_strInput[i] = caption;
    }
  }
  if (clamps == 0) {
    m_nActiveInput = -1;
    ShowInputButtons(false);
    return 1;
  }
  // The current is measured through a clamp, never through the test lead the channel may still
  // have selected: the clamp chosen on an earlier visit when it is still there, else the first.
  const int choice = clamps == 2 && m_nChosenCode == m_nInputCode[1] ? 1 : 0;
  if (!SelectClamp(choice)) return 0;
  ShowInputButtons(clamps == 2);
  return 1;
}

bool CWndMotortester_VoltageCurrent::SelectClamp(int button) {
  IMTVoltmeter_8* volt = GetMotortesterDevice()->GetVoltmeter();
  if (!volt || button < 0 || button > 1) return false;
  if (volt->SelectChannelInput(kCurrentChannel, m_nInputCode[button]) != 0) return false;
  m_nActiveInput = button;
  m_nChosenCode = m_nInputCode[button];
  PressInputButtons();
  return true;
}

void CWndMotortester_VoltageCurrent::PressInputButtons() {
  for (int i = 0; i < 2; ++i) {
    CXPCtrlBtn& b = m_Child[ID_PROBE0 + i];
    const bool active = i == m_nActiveInput;
    b.data.state = active ? 1 : 0;
    b.data.enabled = active ? 0 : 1;
    if (b.GetSafeHwnd()) {
      b.EnableWindow(active ? FALSE : TRUE);
      b.Redraw();
    }
  }
}

void CWndMotortester_VoltageCurrent::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != ID_PROBE0 && data->id != ID_PROBEB) return;
  SelectClamp(data->id - ID_PROBE0);
}

void CWndMotortester_VoltageCurrent::OnTimer(UINT_PTR id) {
  if (id == TIMER_POLL)
    Poll();
  else
    CXPWndBaseColor::OnTimer(id);
}

void CWndMotortester_VoltageCurrent::ZeroAdjust() {
  MeterReading& r = *m_pCurrent;
  const int mode = r.GetDisplayMode();
  const double band = r.GetFullScaleValue() / (mode == 2 || mode == 15 ? 25.0 : 50.0);
  if (r.m_dRawValue > -band && r.m_dRawValue < band) {
    ApplyZeroOffset(r);
  } else {
    // The alarm may still be playing when polling stops: that stop ends it.
    m_nSoundState = 0;
    PlayAlarmSound();
  }
}

void CWndMotortester_VoltageCurrent::Poll() {
  for (int& e : m_bError) e = 0;
  CMotortesterData* data = GetMotortesterDevice();
  if (!data->IsReady()) {
    m_strVoltage = m_strVoltageMin = m_strVoltageMax = "V";
    m_strCurrent = m_strCurrentMin = m_strCurrentMax = "A";
    m_strSpeed = " ";
  } else if (!m_bPolling || !m_pVoltage || !m_pCurrent) {
    for (int& e : m_bError) e = 1;
    m_strSpeed = m_strVoltage = m_strCurrent = GetGlobalProps().GetText(kTextError);
    m_strVoltageMin.Empty();
    m_strVoltageMax.Empty();
    m_strCurrentMin.Empty();
    m_strCurrentMax.Empty();
  } else {
    if (m_nResetCount > 0) {
      // When the reset ends, the statistics start again from the next reading.
      if (--m_nResetCount == 0) {
        for (MeterReading* r : {m_pVoltage, m_pCurrent}) {
          r->m_dMin = r->m_dMax = 0.0;
          r->m_bMinMaxSet = 0;
        }
      }
    }
    if (m_nZeroCount > 0 && --m_nZeroCount == 0) ZeroAdjust();

    const CMotortesterData::StatusRecord status = data->ReadVoltCurrent();
    const MeterReading& current = *m_pCurrent;
    const MeterReading& voltage = *m_pVoltage;
    if (status.m_nStatus[1] == CMotortesterData::STATUS_OK) {
      const char* mark = current.m_bAC ? "~" : "=";
      CString plain;
      if (CurrentTexts(current.GetDisplayMode(), current.m_dValue, mark, m_strCurrent, plain)) {
        m_dCurrent = current.m_dValue;
        if (m_bMinMax == 1) {
          CString unused;
          CurrentTexts(current.GetDisplayMode(), current.m_dMin, mark, unused, m_strCurrentMin);
          CurrentTexts(current.GetDisplayMode(), current.m_dMax, mark, unused, m_strCurrentMax);
          m_dCurrentMin = current.m_dMin;
          m_dCurrentMax = current.m_dMax;
        }
      }
    } else {
      m_bError[ERROR_CURRENT] = 1;
      m_strCurrent = et::StatusText(status.m_nStatus[1]);
    }
    if (status.m_nStatus[0] == CMotortesterData::STATUS_OK) {
      const char* mark = voltage.m_bAC ? "~" : "=";
      m_dVoltage = voltage.m_dValue;
      m_strVoltage.Format("%s%s %s", (LPCSTR)VoltageNumber(voltage.m_dValue), "V", mark);
      if (m_bMinMax == 1) {
        m_strVoltageMin.Format("%s%s", (LPCSTR)VoltageNumber(voltage.m_dMin), "V");
        m_strVoltageMax.Format("%s%s", (LPCSTR)VoltageNumber(voltage.m_dMax), "V");
        m_dVoltageMin = voltage.m_dMin;
        m_dVoltageMax = voltage.m_dMax;
      }
    } else {
      m_bError[ERROR_VOLTAGE] = 1;
      m_strVoltage = et::StatusText(status.m_nStatus[0]);
    }
    double speed = 0.0;
    m_nSpeedStatus = data->ReadVoltCurrentSpeed(speed).m_nStatus[0];
    if (m_nSpeedStatus == CMotortesterData::STATUS_OK) {
      m_dSpeed = speed;
      m_strSpeed.Format("%d", static_cast<int>(speed));
    } else {
      m_bError[ERROR_SPEED] = 1;
      m_strSpeed = et::StatusText(m_nSpeedStatus);
    }
  }
  for (int id : {ID_SPEED, ID_VOLTMETER, ID_AMPERMETER})
    if (m_Child[id].GetSafeHwnd()) m_Child[id].Redraw();
}

CWndMotortester_VoltageCurrent::PrintValues CWndMotortester_VoltageCurrent::GetPrintValues() const {
  PrintValues p;
  p.voltage = m_dVoltage;
  p.voltageMin = m_dVoltageMin;
  p.voltageMax = m_dVoltageMax;
  p.current = m_dCurrent;
  p.currentMin = m_dCurrentMin;
  p.currentMax = m_dCurrentMax;
  p.polling = m_bPolling;
  p.minMax = m_bMinMax;
  p.speed = m_dSpeed;
  return p;
}

void CWndMotortester_VoltageCurrent::DrawMeter(CDC* dc, const RECT& rect, const MeterReading* reading,
                                               const CString& value, const CString& min, const CString& max,
                                               LPCSTR zero) {
  const CRect r(rect);
  const COLORREF color = GetSchemeColor(et::kTitleTextScheme);
  const int line = r.Height() / 6;
  CString probe;
  probe.Format("%s: %s", GetGlobalProps().GetText(kTextProbe), reading ? reading->GetProbeName() : "");
  et::DrawFaceText(dc, CRect(r.left + 10, r.top + 5, r.right - 10, r.top + 5 + line), probe, &m_fntSmall, color,
                   DT_LEFT | DT_VCENTER);
  et::DrawFaceText(dc, CRect(r.left + 10, r.top + line, r.right - 10, r.bottom - 2 * line), value, &m_fntLarge, color,
                   DT_CENTER | DT_VCENTER);
  if (m_bMinMax == 1) {
    const bool reset = m_nResetCount > 0;
    const CRect low(r.left + 10, r.bottom - 2 * line, r.right - 10, r.bottom - 5);
    // The minimum at the left, the maximum at the right.
    et::DrawFaceText(dc, low, reset ? zero : (LPCSTR)min, &m_fntSmall, color, DT_LEFT | DT_VCENTER);
    et::DrawFaceText(dc, low, reset ? zero : (LPCSTR)max, &m_fntSmall, color, DT_RIGHT | DT_VCENTER);
  }
}

void CWndMotortester_VoltageCurrent::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const COLORREF color = GetSchemeColor(et::kTitleTextScheme);
  switch (data->id) {
    case ID_TITLE:
      et::DrawFaceText(dc, *content, GetGlobalProps().GetText(kTextVoltageCurrent), &m_fntLarge, color, DT_LEFT | DT_BOTTOM);
      break;
    case ID_SPEED: {
      const int oldMode = dc->SetBkMode(TRANSPARENT);
      const COLORREF oldColor = dc->SetTextColor(color);
      DrawValueWithUnit(m_strSpeed, GetGlobalProps().GetText(kTextRpm), content->left, content->top, content->right - 5,
                        content->bottom, dc);
      dc->SetTextColor(oldColor);
      dc->SetBkMode(oldMode);
      break;
    }
    case ID_VOLTMETER:
      DrawMeter(dc, *content, m_pVoltage, m_strVoltage, m_strVoltageMin, m_strVoltageMax, "0V");
      break;
    case ID_AMPERMETER:
      DrawMeter(dc, *content, m_pCurrent, m_strCurrent, m_strCurrentMin, m_strCurrentMax, "0A");
      break;
    case ID_PROBE0:
    case ID_PROBEB:
      et::DrawFaceText(dc, *content, m_strInput[data->id - ID_PROBE0], &m_fntSmall,
                       GetSchemeColor(et::kCaptionTextScheme), DT_CENTER | DT_VCENTER);
      break;
    default: break;
  }
}
