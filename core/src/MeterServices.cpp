// The meter services of the engine: voltmeter/ammeter and ohmmeter/diode test, called by the meter
// panes on the GUI thread. Each picks the engine-tester instrument when its board is ready, else
// the board's own, and leaves its outcome in the engine's voltmeter or ohmmeter result.
#include <core/MeasureEngine.h>
#include <core/ProbeKind.h>

#include <core/MotortesterData.h>
#include <core/NumberFormat.h>

#include <vector>

// The same operation on the path in use (`mt`).
#define VOLT(call) (mt ? m_pMTVoltmeter->call : m_pVoltmeter->call)
#define OHM(call) (mt ? m_pMTOhmmeter->call : m_pOhmmeter->call)
#define DIODE(call) (mt ? m_pMTDiodeTest->call : m_pDiodeTest->call)

namespace {

CLinearMap RawMap(double r) {
  CLinearMap map;
  map.Set(-r, r, -32768.0, 32767.0);
  return map;
}

int StatusOfCode(int code) {
  switch (code) {
    case 10: return RESULT_TIMEOUT;
    case 16: return RESULT_WRONG_PROBE;
    case 17: return RESULT_NOT_READY;
    default: return RESULT_OTHER_ERROR;
  }
}

}  // namespace

bool CMeasureEngine::HasOhmInterfaces(bool mt) const {
  return mt ? (m_pMTOhmmeter && m_pMTDiodeTest) : (m_pOhmmeter && m_pDiodeTest);
}

void CMeasureEngine::MeterFailure(MeterResult& result, int status, int code) {
  result.m_nStatus = status;
  result.m_nValue = code;
  result.m_Lines.RemoveAll();
  Recover();
}

void CMeasureEngine::ReadMeterRanges(bool mt, int channel, MeterReading& reading) {
  reading.m_Ranges.RemoveAll();
  if (reading.m_Ranges.m_nKind == probekind::kNone) return;
  const uint16_t ch = static_cast<uint16_t>(channel);
  uint16_t count = 0;
  if (VOLT(GetRangeCount(ch, &count)) != 0 || count == 0) return;
  std::vector<ScaledValue> values(count);
  if (VOLT(GetRanges(ch, count, values.data())) != 0) return;
  for (const ScaledValue& v : values) reading.m_Ranges.Add(ScaledValueToDouble(v) * reading.m_Ranges.m_dMultiplier);
}

void CMeasureEngine::ApplyMeterProbe(bool mt, int channel, MeterReading& reading, const ProbeDescriptor& probe) {
  CNxDoubleArray description;
  ApplyProbeInfo(description, probe);
  if (description.IsSameScale(reading.m_Ranges)) return;
  reading.m_Ranges.CopyFrom(description);
  ReadMeterRanges(mt, channel, reading);
  reading.ClearValues();
  reading.m_Ranges.m_nChangeMark = 1;
}

MeterResult& CMeasureEngine::ReadVoltmeterProbes() {
  MeterResult& result = m_VoltResult;
  result.Clear();
  m_pVoltmeter = m_Kelo.Voltmeter();
  m_pMTVoltmeter = m_Kelo.MTVoltmeter();
  WaitLinkIdle();
  const bool mt = GetMotortesterDevice()->IsReady() != FALSE;
  if (mt ? !m_pMTVoltmeter : !m_pVoltmeter) {
    MeterFailure(result, RESULT_NO_INTERFACE, 0);
    return result;
  }
  VOLT(SetMode(0));
  uint16_t count = 0;
  if (VOLT(GetChannelCount(&count)) != 0) {
    MeterFailure(result, RESULT_LIBRARY_FAILED, 0);
    return result;
  }
  if (count > 2) count = 2;
  for (int ch = 0; ch < count; ++ch) {
    MeterReading& reading = m_Readings[ch];
    reading.m_nCachedRange = -1;
    ProbeDescriptor probe{};
    if (VOLT(ReadProbe(static_cast<uint16_t>(ch), &probe)) != 0) {
      reading.m_Ranges.Reset();
      reading.ClearValues();
      MeterFailure(result, RESULT_LIBRARY_FAILED, 0);
      continue;
    }
    ApplyMeterProbe(mt, ch, reading, probe);
  }
  return result;
}

MeterResult& CMeasureEngine::MeasureVoltage() {
  MeterResult& result = m_VoltResult;
  result.Clear();
  const bool mt = GetMotortesterDevice()->IsReady() != FALSE;
  if (mt ? !m_pMTVoltmeter : !m_pVoltmeter) {
    // Never a success without a reading.
    MeterFailure(result, RESULT_NO_INTERFACE, 0);
    return result;
  }
  Recover();
  const int ch = m_nSelectedVoltChannel == 1 ? 1 : 0;
  MeterReading& reading = m_Readings[ch];
  VoltmeterReading measured{};
  const int rc = reading.m_bAC ? VOLT(MeasureRms(static_cast<uint16_t>(ch), &measured))
                               : VOLT(Measure(static_cast<uint16_t>(ch), &measured));
  if (rc != 0) {
    MeterFailure(result, rc == 10 ? RESULT_TIMEOUT : (rc == 16 ? RESULT_WRONG_PROBE : RESULT_OTHER_ERROR), 0);
    return result;
  }
  ApplyMeterProbe(mt, ch, reading, measured.probe);
  if (reading.m_Ranges.m_nKind == probekind::kNone) {
    MeterFailure(result, RESULT_NO_PROBE, 0);
    return result;
  }
  const SHORT index = static_cast<SHORT>(measured.rangeIndex);
  if (index != reading.m_nCachedRange) {
    reading.m_Map = RawMap(reading.m_Ranges.GetValueOrZero(index));
    reading.m_nCachedRange = index;
  }
  const double value = reading.m_Map.ToValue(measured.values[0]);
  reading.m_dRawValue = value;
  reading.m_dValue = value - reading.m_dOffset;
  UpdateReadingMinMax(reading);
  return result;
}

MeterResult& CMeasureEngine::ReadOhmmeterRanges() {
  MeterResult& result = m_OhmResult;
  WaitLinkIdle();
  result.Clear();
  m_nFixedRangeIndex = -1;
  m_pOhmmeter = m_Kelo.Ohmmeter();
  m_pDiodeTest = m_Kelo.DiodeTest();
  m_pMTOhmmeter = m_Kelo.MTOhmmeter();
  m_pMTDiodeTest = m_Kelo.MTDiodeTest();
  const bool mt = GetMotortesterDevice()->IsReady() != FALSE;
  if (!HasOhmInterfaces(mt)) return result;

  COhmReading& reading = m_OhmReading;
  reading.Reset();
  uint16_t count = 0;
  int rc = OHM(GetRangeCount(&count));
  if (rc != 0) {
    MeterFailure(result, RESULT_LIBRARY_FAILED, rc);
    return result;
  }
  if (count != 0) {
    std::vector<ScaledValue> values(count);
    if (OHM(GetRanges(count, values.data())) == 0)
      for (const ScaledValue& v : values) reading.m_Ranges.Add(ScaledValueToDouble(v));
    m_nFixedRangeIndex = static_cast<SHORT>(count - 1);
  }
  ScaledValue diode{};
  rc = DIODE(GetRange(&diode));
  if (rc != 0) {
    MeterFailure(result, RESULT_LIBRARY_FAILED, rc);
    reading.Reset();
  } else {
    reading.m_dDiodeRange = ScaledValueToDouble(diode);
  }
  if (result.m_nStatus == RESULT_OK) ConfigureOhmmeter();
  return result;
}

MeterResult& CMeasureEngine::ConfigureOhmmeter() {
  MeterResult& result = m_OhmResult;
  result.Clear();
  const bool mt = GetMotortesterDevice()->IsReady() != FALSE;
  if (!HasOhmInterfaces(mt)) {
    MeterFailure(result, RESULT_NO_INTERFACE, 0);
    return result;
  }
  int rc = 0;
  switch (m_nOhmMode) {
    case OHM_AUTO: {
      const int automatic = OHM(GetAutoRangeIndex());
      rc = OHM(SetRangeIndex(static_cast<uint16_t>(automatic)));
      break;
    }
    case OHM_FIXED:
      rc = OHM(SetRangeIndex(static_cast<uint16_t>(m_nFixedRangeIndex)));
      break;
    case OHM_DIODE:
      rc = DIODE(Configure());
      break;
    default:
      break;
  }
  if (rc != 0) MeterFailure(result, RESULT_OTHER_ERROR, rc);
  return result;
}

MeterResult& CMeasureEngine::MeasureResistance() {
  MeterResult& result = m_OhmResult;
  result.Clear();
  const bool mt = GetMotortesterDevice()->IsReady() != FALSE;
  if (!HasOhmInterfaces(mt)) {
    MeterFailure(result, RESULT_NO_INTERFACE, 0);
    return result;
  }
  COhmReading& reading = m_OhmReading;
  // A probe of another kind than the last reading's starts afresh.
  auto takeKind = [&reading](int kind) {
    if (kind == reading.m_Ranges.m_nKind) return;
    reading.m_Ranges.m_nKind = kind;
    reading.ClearValues();
    reading.m_Ranges.m_nChangeMark = 1;
  };
  if (m_nOhmMode == OHM_DIODE) {
    DiodeReading measured{};
    const int rc = DIODE(Measure(&measured));
    if (rc != 0) {
      MeterFailure(result, StatusOfCode(rc), rc);
      return result;
    }
    reading.m_nMode = OHM_DIODE;
    takeKind(measured.probeKind);
    if (!reading.m_bDiodeMapSet || reading.m_dDiodeMapRange != reading.m_dDiodeRange) {
      reading.m_DiodeMap = RawMap(reading.m_dDiodeRange);
      reading.m_dDiodeMapRange = reading.m_dDiodeRange;
      reading.m_bDiodeMapSet = true;
    }
    reading.m_dValue = reading.m_dRawValue = reading.m_DiodeMap.ToValue(measured.value);
    reading.m_bOverRange = 0;
  } else {
    OhmReading measured{};
    const int rc = OHM(Measure(&measured));
    if (rc != 0) {
      if (rc == 16) reading.ClearValues();
      MeterFailure(result, StatusOfCode(rc), rc);
      return result;
    }
    reading.m_nMode = m_nOhmMode;
    if (!measured.valid) {
      reading.m_dValue = reading.m_dRawValue = 0.0;
      reading.m_nValueExponent = reading.m_nValueDecimals = reading.m_nRawExponent = reading.m_nRawDecimals = 0;
      reading.m_bOverRange = 1;
      return result;
    }
    takeKind(measured.probeKind);
    const SHORT index = static_cast<SHORT>(measured.rangeIndex);
    if (index != reading.m_nOhmMapIndex) {
      reading.m_OhmMap = RawMap(reading.m_Ranges.GetValueOrZero(index));
      reading.m_nOhmMapIndex = index;
    }
    reading.m_dRawValue = reading.m_OhmMap.ToValue(measured.value);
    const double value = reading.m_dRawValue - reading.m_dOffset;
    reading.m_dValue = value < 0.0 ? 0.0 : value;
    reading.m_bOverRange = m_nOhmMode == OHM_FIXED && reading.m_dValue > 15.0 ? 1 : 0;
  }
  RoundForDisplay(reading.m_dValue, reading.m_nValueExponent, reading.m_nValueDecimals);
  RoundForDisplay(reading.m_dRawValue, reading.m_nRawExponent, reading.m_nRawDecimals);
  return result;
}
