#include <enginetester/WndMotortester_DwellAngleMeter.h>

#include <enginetester/PanelCommon.h>

#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/TextIds.h>

#include <cmath>

namespace {
constexpr int kOk = CMotortesterData::STATUS_OK;
}  // namespace

CWndMotortester_DwellAngleMeter::CWndMotortester_DwellAngleMeter() = default;

IMTDwellanglemeter_13* CWndMotortester_DwellAngleMeter::Meter() const {
  return m_bInterfacesGiven ? m_pMeter : GetKeloDll().MTDwellanglemeter();
}

CWndMotortester_DwellAngleMeter::~CWndMotortester_DwellAngleMeter() = default;

BOOL CWndMotortester_DwellAngleMeter::CreateChildren() {
  static const FieldDef kFields[] = {{"Title", ID_TITLE, -1},
                                      {"Current", ID_SPEED, TEXT_SPEED},
                                      {"Advance", ID_VALUE, TEXT_VALUE},
                                      {"Temperature", ID_TEMPERATURE, TEXT_TEMPERATURE}};
  return CreateFields(kFields, 4);
}

void CWndMotortester_DwellAngleMeter::StartPolling() {
  if (BoardReady()) {
    m_Reader.SetInterfaces(Meter(), Communication());
    m_Reader.Start();
  }
  SetTimer(TIMER_READ, READ_MS);
}

void CWndMotortester_DwellAngleMeter::StopPolling() { KillTimer(TIMER_READ); }

void CWndMotortester_DwellAngleMeter::OnReadTimer(UINT_PTR id) {
  if (id == TIMER_READ) Tick();
}

void CWndMotortester_DwellAngleMeter::Tick() {
  ClearErrors();
  if (!BoardReady()) {
    SetText(TEXT_SPEED, CString());
    SetText(TEXT_VALUE, "%");
    SetText(TEXT_TEMPERATURE, "\260C");
    RepaintFields();
    return;
  }
  m_Reader.SetInterfaces(Meter(), Communication());
  int statuses[2] = {kOk, kOk};
  m_Reader.Read(m_Values.speed, m_Values.value, m_Values.temperature, statuses);
  // The speed comes with the dwell angle from one input: it shares that status.
  m_nStatus[TEXT_SPEED] = m_nStatus[TEXT_VALUE] = statuses[CDwellReader::DWELL];
  m_nStatus[TEXT_TEMPERATURE] = statuses[CDwellReader::TEMPERATURE];

  CString s;
  if (m_nStatus[TEXT_VALUE] == kOk) {
    if (m_Values.value == -1.0) {
      SetText(TEXT_VALUE, "--- %");
    } else {
      s.Format("%d%%", static_cast<int>(std::lround(m_Values.value)));
      SetText(TEXT_VALUE, s);
    }
  } else {
    SetText(TEXT_VALUE, et::StatusText(m_nStatus[TEXT_VALUE]), 1);
  }
  ShowTemperature();
  ShowSpeed("---");
  RepaintFields();
}

CString CWndMotortester_DwellAngleMeter::TitleText() const { return GetGlobalProps().GetText(kTextDwellAngle); }

CString CWndMotortester_DwellAngleMeter::LabelText(int id) const {
  const GlobalProps& props = GetGlobalProps();
  switch (id) {
    case ID_SPEED:
      return props.GetText(kTextEngineSpeed);
    case ID_VALUE:
      return props.GetText(kTextDwellAngle);
    default:
      return props.GetText(kTextOilTemperature);
  }
}
