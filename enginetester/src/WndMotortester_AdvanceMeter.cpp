#include <enginetester/WndMotortester_AdvanceMeter.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

namespace {

constexpr int kOk = CMotortesterData::STATUS_OK;
const char* const kProbeNames[] = {"Semiconduct", "Strobo", "Induct"};
const int kProbeKinds[] = {CWndMotortester_AdvanceMeter::KIND_SEMICONDUCT, CWndMotortester_AdvanceMeter::KIND_STROBO,
                           CWndMotortester_AdvanceMeter::KIND_INDUCT};

const char* Degrees() { return GetGlobalProps().GetText(kTextCrankDegrees); }

CString DashedAdvance() {
  CString s;
  s.Format("--- %s", Degrees());
  return s;
}

}  // namespace

CWndMotortester_AdvanceMeter::CWndMotortester_AdvanceMeter() = default;

IMTAdvancemeter_11* CWndMotortester_AdvanceMeter::Meter() const {
  return m_bInterfacesGiven ? m_pMeter : GetKeloDll().MTAdvancemeter();
}

CWndMotortester_AdvanceMeter::~CWndMotortester_AdvanceMeter() = default;

void CWndMotortester_AdvanceMeter::SetDieselMode(BOOL diesel) {
  m_bDiesel = diesel ? TRUE : FALSE;
  if (GetSafeHwnd()) {
    RedrawNow(&m_Fields[0]);
    RepaintFields();
  }
}

BOOL CWndMotortester_AdvanceMeter::CreateChildren() {
  static const FieldDef kFields[] = {{"Title", ID_TITLE, -1},
                                      {"Current", ID_SPEED, TEXT_SPEED},
                                      {"Advance", ID_VALUE, TEXT_VALUE},
                                      {"Temperature", ID_TEMPERATURE, TEXT_TEMPERATURE}};
  if (!CreateFields(kFields, 4)) return FALSE;
  const CRect none(0, 0, 0, 0);
  for (int i = 0; i < PROBE_BUTTONS; ++i) {
    CXPCtrlBtn& b = m_Probe[i];
    b.drawClbck = this;
    b.btnClbck = this;
    b.SetColors(GetSchemeColor(14), 0x10000, m_crBack, RGB(80, 80, 80));
    if (!b.Create(kProbeNames[i], WS_CHILD | WS_VISIBLE, none, this, ID_SEMICONDUCT + i)) return FALSE;
  }
  // The reader selects the stroboscope when it first starts.
  EnableProbeButtons(KIND_STROBO);
  return TRUE;
}

int CWndMotortester_AdvanceMeter::ReservedBottom() const { return m_rcClient.Height() / 7; }

void CWndMotortester_AdvanceMeter::RecalcLayout() {
  CMotortesterPolledPanel::RecalcLayout();
  if (!m_Probe[0].GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  const int h = ReservedBottom() - 10;
  const int w = h * 3 / 2;
  const int gap = w / 3;
  const int left = c.left + (c.Width() - (PROBE_BUTTONS * w + (PROBE_BUTTONS - 1) * gap)) / 2;
  for (int i = 0; i < PROBE_BUTTONS; ++i) m_Probe[i].MoveWindow(left + i * (w + gap), c.bottom - h - 10, w, h > 0 ? h : 0);
}

void CWndMotortester_AdvanceMeter::EnableProbeButtons(int selectedKind) {
  for (int i = 0; i < PROBE_BUTTONS; ++i) {
    const bool enable = kProbeKinds[i] != selectedKind;
    m_Probe[i].data.enabled = enable ? 1 : 0;
    if (m_Probe[i].GetSafeHwnd()) {
      m_Probe[i].EnableWindow(enable);
      RedrawNow(&m_Probe[i]);
    }
  }
}

void CWndMotortester_AdvanceMeter::StartPolling() {
  m_Values = PolledPanelValues{};
  for (int i = 0; i < TEXTS; ++i) SetText(i, CString());
  m_bHold = FALSE;
  if (BoardReady()) {
    m_Reader.SetInterfaces(Meter(), Communication());
    m_Reader.Start();
    m_bSpeedSensorFound = FALSE;
    if (m_Reader.GetSelectedKind() != 0) EnableProbeButtons(m_Reader.GetSelectedKind());
  }
  SetTimer(TIMER_READ, READ_MS);
}

void CWndMotortester_AdvanceMeter::StopPolling() {
  // Lets the board finish what it measures before the next panel uses it.
  if (IMotortester_6* tester = GetMotortesterDevice()->GetMotortester()) tester->WaitReady();
  KillTimer(TIMER_READ);
}

void CWndMotortester_AdvanceMeter::OnReadTimer(UINT_PTR id) {
  if (id == TIMER_READ) Tick();
}

void CWndMotortester_AdvanceMeter::Tick() {
  ClearErrors();
  CString s;
  if (!BoardReady()) {
    SetText(TEXT_SPEED, CString());
    s.Format("%s", Degrees());
    SetText(TEXT_VALUE, s);
    SetText(TEXT_TEMPERATURE, "--");
    RepaintFields();
    return;
  }
  if (!m_bSpeedSensorFound) {
    m_Reader.SetInterfaces(Meter(), Communication());
    m_bSpeedSensorFound = m_Reader.HasSpeedProbe();
    if (!m_bSpeedSensorFound) {
      SetText(TEXT_SPEED, GetGlobalProps().GetText(kTextSpeedSensorMissing), 1);
      SetText(TEXT_VALUE, DashedAdvance());
      SetText(TEXT_TEMPERATURE, "--- ");
    }
    RepaintFields();
    return;
  }

  int statuses[3] = {kOk, kOk, kOk};
  m_Reader.Read(m_Values.speed, m_Values.value, m_Values.temperature, statuses, m_bHold);
  m_nStatus[TEXT_SPEED] = statuses[CAdvanceReader::SPEED];
  m_nStatus[TEXT_VALUE] = statuses[CAdvanceReader::ADVANCE];
  m_nStatus[TEXT_TEMPERATURE] = statuses[CAdvanceReader::TEMPERATURE];

  if (m_nStatus[TEXT_VALUE] == kOk) {
    if (m_Values.value == -1000.0) {
      SetText(TEXT_VALUE, DashedAdvance());
    } else {
      s.Format("%3.1f%s", m_Values.value, Degrees());
      SetText(TEXT_VALUE, s);
    }
  } else {
    SetText(TEXT_VALUE, et::StatusText(m_nStatus[TEXT_VALUE]), 1);
  }
  ShowTemperature();
  ShowSpeed("--- ");
  if (m_nStatus[TEXT_SPEED] != kOk) {
    // Without a valid speed the advance and the temperature mean nothing.
    SetText(TEXT_VALUE, DashedAdvance());
    SetText(TEXT_TEMPERATURE, "--- \260C");
  }
  RepaintFields();
}

void CWndMotortester_AdvanceMeter::SelectProbe(int buttonId) {
  if (buttonId < ID_SEMICONDUCT || buttonId > ID_INDUCT) return;
  if (!BoardReady()) return;
  IMTAdvancemeter_11* meter = Meter();
  const int kind = kProbeKinds[buttonId - ID_SEMICONDUCT];
  if (!meter || meter->SelectProbe(kind) != 0) return;
  m_Reader.SetSelectedKind(kind);
  EnableProbeButtons(kind);
}

void CWndMotortester_AdvanceMeter::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) { SelectProbe(data->id); }

CString CWndMotortester_AdvanceMeter::TitleText() const {
  return GetGlobalProps().GetText(m_bDiesel ? 10031 : 10024);
}

CString CWndMotortester_AdvanceMeter::LabelText(int id) const {
  const GlobalProps& props = GetGlobalProps();
  switch (id) {
    case ID_SPEED:
      return props.GetText(kTextEngineSpeed);
    case ID_VALUE:
      return props.GetText(m_bDiesel ? 10057 : 10053);
    default:
      return props.GetText(kTextOilTemperature);
  }
}

void CWndMotortester_AdvanceMeter::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  if (data->id >= ID_SEMICONDUCT && data->id <= ID_INDUCT) {
    DrawPictogram(dc, CRect(*content), data->id, data->enabled != 0);
    return;
  }
  CMotortesterPolledPanel::Draw(dc, content, data, button);
}

// The probes as small drawings: a semiconductor sensor (a chip on three leads), the stroboscope
// (a lamp with its beam) and the inductive clamp (an ring round a lead).
void CWndMotortester_AdvanceMeter::DrawPictogram(CDC* dc, const CRect& rc, int id, bool enabled) {
  const COLORREF ink = enabled ? RGB(0, 0, 0) : AdjustColor(GetSchemeColor(14), -60);
  CPen pen(PS_SOLID, 2, ink);
  CBrush fill(ink);
  kvp::DcSelect selectPen(dc, &pen);
  kvp::DcSelect selectBrush(dc->GetSafeHdc(), GetStockObject(NULL_BRUSH));
  const int cx = rc.CenterPoint().x, cy = rc.CenterPoint().y;
  const int u = (rc.Height() < rc.Width() ? rc.Height() : rc.Width()) / 6;
  switch (id) {
    case ID_SEMICONDUCT: {
      dc->SelectObject(&fill);
      dc->Rectangle(cx - 2 * u, cy - u, cx + 2 * u, cy + u);
      for (int i = -1; i <= 1; ++i) {
        dc->MoveTo(cx + i * u, cy + u);
        dc->LineTo(cx + i * u, cy + 2 * u);
      }
      break;
    }
    case ID_STROBO: {
      dc->Rectangle(cx - 2 * u, cy - u / 2, cx, cy + u / 2);
      const POINT beam[] = {{cx, cy - u / 2}, {cx + 2 * u, cy - 2 * u}, {cx + 2 * u, cy + 2 * u}, {cx, cy + u / 2}};
      dc->Polygon(beam, 4);
      break;
    }
    default: {
      dc->Ellipse(cx - 2 * u, cy - 2 * u, cx + 2 * u, cy + 2 * u);
      dc->MoveTo(cx - 3 * u, cy);
      dc->LineTo(cx + 3 * u, cy);
      break;
    }
  }
}
