#include <core/MotortesterReaders.h>
#include <core/ProbeKind.h>

#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>

namespace {

constexpr int kOk = CMotortesterData::STATUS_OK;
constexpr int kFailed = CMotortesterData::STATUS_FAILED;
constexpr int kNoProbe = CMotortesterData::STATUS_NO_PROBE;
constexpr int kWrongProbe = CMotortesterData::STATUS_WRONG_PROBE;

// Status of a measured value whose probe must be of an accepted kind; on 1 `take` stores it.
template <typename Accept, typename Take>
int Judge(const MeasuredValue& v, Accept accepted, Take take) {
  if (v.probe.kind == probekind::kNone) return kNoProbe;
  if (!accepted(v.probe.kind)) return kWrongProbe;
  take(v.valid != 0, ScaledValueToDouble(v.value));
  return kOk;
}

bool IsAdvanceProbe(int kind) {
  return kind == probekind::kInductive || kind == probekind::kStroboscope || kind == probekind::kSemiconductor;
}

void RecoverWhenNeeded(ICommunication_1* comm, const int* statuses, int count) {
  for (int i = 0; i < count; ++i) {
    if (statuses[i] != kOk) {
      if (comm) comm->Recover();
      return;
    }
  }
}

}  // namespace

// ---- advance ---------------------------------------------------------------------------------

void CAdvanceReader::SetInterfaces(IMTAdvancemeter_11* meter, ICommunication_1* communication) {
  m_pMeter = meter;
  m_pCommunication = communication;
}

void CAdvanceReader::Start() {
  GetMeasureEngine().WaitLinkIdle();
  if (m_bStarted) return;
  m_bStarted = true;
  if (m_pMeter && GetMotortesterDevice()->IsReady() && m_pMeter->SelectProbe(9) == 0) m_nSelectedKind = 9;
}

void CAdvanceReader::Read(int& speed, double& advance, double& temperature, int statuses[3], BOOL& hold) {
  AdvanceReading r{};
  if (!m_pMeter || m_pMeter->Measure(&r) != 0) {
    statuses[SPEED] = statuses[ADVANCE] = statuses[TEMPERATURE] = kFailed;
    RecoverWhenNeeded(m_pCommunication, statuses, 3);
    return;
  }
  const int button = r.flag & 0xFF;
  if (button != 0 && m_nLastButton == 0) hold = hold ? FALSE : TRUE;
  m_nLastButton = button;
  const bool keep = hold != FALSE;

  statuses[SPEED] = Judge(r.speed, [](int k) { return k == probekind::kIgnitionPickup || k == probekind::kPressure || k == probekind::kIgnitionPickupDouble; }, [&](bool valid, double v) {
    if (!keep) speed = valid ? static_cast<int>(v) : -1;
  });
  statuses[TEMPERATURE] = Judge(r.temperature, [](int k) { return k == probekind::kTemperature; }, [&](bool valid, double v) {
    if (!keep) temperature = valid ? v : -1.0;
  });
  const int selected = m_nSelectedKind;
  statuses[ADVANCE] = Judge(r.advance, [selected](int k) { return IsAdvanceProbe(k) && k == selected; },
                            [&](bool valid, double v) {
                              if (!keep) advance = valid ? v : -1000.0;
                            });
  RecoverWhenNeeded(m_pCommunication, statuses, 3);
}

BOOL CAdvanceReader::HasSpeedProbe() {
  ProbeDescriptor advance{}, speed{}, temperature{};
  if (!m_pMeter || m_pMeter->ReadProbes(&advance, &speed, &temperature) != 0) return FALSE;
  return probekind::IsSpeedSensor(speed.kind) ? TRUE : FALSE;
}

// ---- dwell -----------------------------------------------------------------------------------

void CDwellReader::SetInterfaces(IMTDwellanglemeter_13* meter, ICommunication_1* communication) {
  m_pMeter = meter;
  m_pCommunication = communication;
}

void CDwellReader::Start() {
  GetMeasureEngine().WaitLinkIdle();
  ProbeDescriptor dwell{}, temperature{};
  if (m_pMeter) m_pMeter->ReadProbes(&dwell, &temperature);
}

void CDwellReader::Read(int& speed, double& dwell, double& temperature, int statuses[2]) {
  DwellReading r{};
  if (!m_pMeter || m_pMeter->Measure(&r) != 0) {
    statuses[DWELL] = statuses[TEMPERATURE] = kFailed;
    RecoverWhenNeeded(m_pCommunication, statuses, 2);
    return;
  }
  if (r.dwellProbe.kind == probekind::kNone) {
    statuses[DWELL] = kNoProbe;
  } else if (r.dwellProbe.probeClass != probekind::kClassVolt) {
    statuses[DWELL] = kWrongProbe;
  } else {
    statuses[DWELL] = kOk;
    dwell = r.valid ? ScaledValueToDouble(r.dwell) : -1.0;
    speed = r.valid ? static_cast<int>(ScaledValueToDouble(r.speed)) : -1;
  }
  statuses[TEMPERATURE] = Judge(r.temperature, [](int k) { return k == probekind::kTemperature; },
                                [&](bool valid, double v) { temperature = valid ? v : -1.0; });
  RecoverWhenNeeded(m_pCommunication, statuses, 2);
}

// ---- temperature -----------------------------------------------------------------------------

void CTemperatureReader::SetInterfaces(IMTTemperaturemeter_12* meter, ICommunication_1* communication) {
  m_pMeter = meter;
  m_pCommunication = communication;
}

void CTemperatureReader::Start() { GetMeasureEngine().WaitLinkIdle(); }

void CTemperatureReader::Read(int& speed, int& temperature, int statuses[2]) {
  SpeedTemperatureReading r{};
  if (!m_pMeter || m_pMeter->Measure(&r) != 0) {
    statuses[SPEED] = statuses[TEMPERATURE] = kFailed;
    RecoverWhenNeeded(m_pCommunication, statuses, 2);
    return;
  }
  statuses[SPEED] = Judge(r.speed, probekind::IsSpeedSensor, [&](bool valid, double v) { speed = valid ? static_cast<int>(v) : -1; });
  statuses[TEMPERATURE] =
      Judge(r.temperature, [](int k) { return k == probekind::kTemperature; }, [&](bool valid, double v) { temperature = valid ? static_cast<int>(v) : -1; });
  RecoverWhenNeeded(m_pCommunication, statuses, 2);
}
