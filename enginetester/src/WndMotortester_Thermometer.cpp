#include <enginetester/WndMotortester_Thermometer.h>

#include <enginetester/PanelCommon.h>

#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/TextIds.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

namespace {
constexpr int kOk = CMotortesterData::STATUS_OK;
}  // namespace

CWndMotortester_Thermometer::CWndMotortester_Thermometer() = default;

IMTTemperaturemeter_12* CWndMotortester_Thermometer::Meter() const {
  return m_bInterfacesGiven ? m_pMeter : GetKeloDll().MTTemperaturemeter();
}

CWndMotortester_Thermometer::~CWndMotortester_Thermometer() = default;

BOOL CWndMotortester_Thermometer::CreateChildren() {
  // The main value is the temperature; the panel has no third field.
  static const FieldDef kFields[] = {
      {"Title", ID_TITLE, -1}, {"Current", ID_SPEED, TEXT_SPEED}, {"Thermometer", ID_VALUE, TEXT_TEMPERATURE}};
  return CreateFields(kFields, 3);
}

void CWndMotortester_Thermometer::StartPolling() {
  m_Reader.SetInterfaces(Meter(), Communication());
  m_Reader.Start();
  SetTimer(TIMER_READ, READ_MS);
  SetTimer(TIMER_PROBES, PROBES_MS);
}

void CWndMotortester_Thermometer::StopPolling() {
  KillTimer(TIMER_READ);
  KillTimer(TIMER_PROBES);
}

void CWndMotortester_Thermometer::OnReadTimer(UINT_PTR id) {
  if (id == TIMER_READ)
    Tick();
  else if (id == TIMER_PROBES)
    CheckProbes();
}

void CWndMotortester_Thermometer::ReadAndFormat() {
  m_Reader.SetInterfaces(Meter(), Communication());
  int statuses[2] = {kOk, kOk};
  int temperature = static_cast<int>(m_Values.temperature);
  m_Reader.Read(m_Values.speed, temperature, statuses);
  m_Values.temperature = temperature;
  m_Values.value = temperature;
  m_nStatus[TEXT_SPEED] = statuses[CTemperatureReader::SPEED];
  m_nStatus[TEXT_TEMPERATURE] = m_nStatus[TEXT_VALUE] = statuses[CTemperatureReader::TEMPERATURE];

  ShowTemperature();
  ShowSpeed("--- ");
}

void CWndMotortester_Thermometer::Tick() {
  // Skipped ticks keep the texts and their flags as the probe check left them.
  if (m_nSkip > 0) {
    --m_nSkip;
    return;
  }
  m_bError[TEXT_SPEED] = m_bError[TEXT_TEMPERATURE] = 0;
  if (BoardReady()) {
    ReadAndFormat();
  } else {
    SetText(TEXT_SPEED, CString());
    SetText(TEXT_TEMPERATURE, "--- ");
  }
  RepaintFields();
}

void CWndMotortester_Thermometer::CheckProbes() {
  const int speedStatus = m_nStatus[TEXT_SPEED];
  if (speedStatus != 2 && speedStatus != 3 && m_Values.speed != -1) return;
  if (IMTTemperaturemeter_12* meter = Meter()) {
    ProbeDescriptor temperature{}, speed{};
    meter->ReadProbes(&temperature, &speed);
  }
  ReadAndFormat();
  m_nSkip = SKIP_TICKS;
  RepaintFields();
}

CString CWndMotortester_Thermometer::TitleText() const { return GetGlobalProps().GetText(kTextThermometer); }

CString CWndMotortester_Thermometer::LabelText(int id) const {
  return GetGlobalProps().GetText(id == ID_SPEED ? 10051 : 10056);
}

void CWndMotortester_Thermometer::DrawSpeed(CDC* dc, const CRect& rc, LPCSTR text) {
  // The small font is half the large one, and the text stands 100 pixels further left.
  CRect value(rc);
  value.left -= 100;
  value.right -= 10;
  DrawValueWithUnit(text, GetGlobalProps().GetText(kTextRpm), value.left, value.top, value.right, value.bottom, dc, 2.0);
}

void CWndMotortester_Thermometer::DrawValue(CDC* dc, const CRect& rc, int text) {
  kvp::DcSelect selectFont(dc, &m_fntValue);
  CRect value(rc);
  value.right -= 240;
  dc->DrawText(m_strText[text], &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
}
