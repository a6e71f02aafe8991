#include <core/EngineRecords.h>

#include <core/NumberFormat.h>

OscMeasureRecord& GetCursorSettings() {
  static OscMeasureRecord record;
  return record;
}

void MeterReading::ClearValues() {
  m_dOffset = 0.0;
  m_dMin = 0.0;
  m_dMax = 0.0;
  m_bMinMaxSet = 0;
  m_nCachedRange = -1;
}

void UpdateReadingMinMax(MeterReading& reading) {
  if (!reading.m_bActive) return;
  RoundMeterValue(reading.m_dValue, reading.m_nValueDecimals);
  RoundMeterValue(reading.m_dRawValue, reading.m_nRawDecimals);
  if (!reading.m_bMinMaxSet) {
    reading.m_dMin = reading.m_dMax = reading.m_dValue;
    reading.m_bMinMaxSet = 1;
    return;
  }
  if (reading.m_dValue < reading.m_dMin) reading.m_dMin = reading.m_dValue;
  if (reading.m_dValue > reading.m_dMax) reading.m_dMax = reading.m_dValue;
}

void COhmReading::Reset() {
  m_Ranges.RemoveAll();
  m_dDiodeRange = 0.0;
  m_OhmMap.Reset();
  m_nOhmMapIndex = -1;
  m_DiodeMap.Reset();
  m_dDiodeMapRange = 0.0;
  m_bDiodeMapSet = false;
}

void COhmReading::ClearValues() {
  m_dValue = m_dRawValue = m_dOffset = 0.0;
  m_nValueExponent = m_nValueDecimals = m_nRawExponent = m_nRawDecimals = 0;
}

void COhmReading::Zero() {
  m_dOffset = m_dRawValue;
  m_dValue = 0.0;
  RoundForDisplay(m_dValue, m_nValueExponent, m_nValueDecimals);
}
