#include <core/MeasureProps.h>

#include <core/MeasureType.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/Texts.h>

#include <cmath>

namespace {

constexpr int kLevelSteps = 256;

// Stores `value` into `field` and sets `bit` in `flags` when it changed or when always sent.
template <typename T>
BOOL Store(T& field, T value, int& flags, int bit, Send send) {
  const bool changed = field != value;
  field = value;
  if (changed || send == Send::Always) flags |= bit;
  return changed ? TRUE : FALSE;
}

// Time per division of one rate: record length / rate / divisions of the time scale. Empty when
// the rate or the division count gives nothing to show.
CString FormatTimePerDivOf(double rate, int recordLength) {
  const int divisions = GetTimeStepScale().m_nSteps;
  if (rate <= 0.0 || divisions <= 0) return CString();
  const double t = recordLength / rate / divisions;
  CString text;
  if (GetMeasureType().m_nAngleMode.load()) {
    text.Format("%.0f\xB0", std::trunc(t));
  } else {
    FormatValue(text, t, "s", -1, FALSE);
  }
  return text;
}

}  // namespace

CString CTimeBaseProps::FormatTimePerDiv(int recordLength) const {
  if (m_nSelected < 0 || m_nSelected >= m_Rates.GetSize()) return CString();
  return FormatTimePerDivOf(m_Rates[m_nSelected], recordLength);
}

double CChannelProps::PerDivision(double rangeValue) const {
  const double scale = m_Ranges.m_dScale;  // the probe's scale factor (1, or 1.25 for clamps)
  if (scale == 0.0) return 0.0;
  return rangeValue * 2.0 / 16.0 / scale;
}

void CChannelProps::GetRangeLimits(int& lowest, int& highest) const {
  const int last = static_cast<int>(m_Ranges.GetSize()) - 1;
  lowest = 0;
  highest = last < 0 ? 0 : last;
  const int a = m_Ranges.m_nRangeLow, b = m_Ranges.m_nRangeHigh;
  // A window the table cannot hold says nothing about the ranges.
  if (a < 0 || b < 0 || a > last || b > last) return;
  lowest = a < b ? a : b;
  highest = a < b ? b : a;
}

int CChannelProps::AllowedRangeIndex(int index) const {
  int lowest = 0, highest = 0;
  GetRangeLimits(lowest, highest);
  if (index >= lowest && index <= highest) return index;
  if (m_nDefaultRangeIndex >= lowest && m_nDefaultRangeIndex <= highest) return m_nDefaultRangeIndex;
  return lowest;
}

int CChannelProps::SetChannelMode(int coupling, Send send) {
  return Store(m_nCoupling, coupling, m_nChangeFlags, CHN_COUPLING, send);
}

int CChannelProps::SetRangeIndex(int index, Send send) {
  return Store(m_nRangeIndex, index, m_nChangeFlags, CHN_RANGE, send);
}

BOOL CChannelProps::TakeProbeChangeMark() {
  if (!m_Ranges.m_nChangeMark) return FALSE;
  m_Ranges.m_nChangeMark = 0;
  m_nChangeFlags |= CHN_COUPLING;
  return TRUE;
}

int CChannelProps::SetChannelOption(int on) {
  if (m_nModeEnable == on) return 0;
  m_nModeEnable = on;
  m_nChangeFlags |= CHN_ON;
  return 1;
}

double CMeasureProps::GetRecordTime() const {
  const double rate = m_TimeBase.GetValueOrZero();
  return rate > 0.0 ? m_nRecordLength / rate : static_cast<double>(m_nRecordLength);
}

BOOL CMeasureProps::SetTimeBaseIndex(int index, BOOL rescaleCursors, BOOL force) {
  if (!force && index == m_TimeBase.m_nSelected) return FALSE;
  m_TimeBase.m_nSelected = index;
  const double rate = m_TimeBase.m_Rates.GetValueOrZero(index);
  double sensitivity = rate > 0.0 ? m_nRecordLength / rate : static_cast<double>(m_nRecordLength);
  sensitivity *= 2.5;
  if (sensitivity < 0.1) sensitivity = 0.1;
  if (sensitivity != m_dTriggerSensitivity) {
    m_dTriggerSensitivity = sensitivity;
    m_nChangeFlags |= CHG_TRIGGER_SENSITIVITY;
  }
  return TRUE;
}

BOOL CMeasureProps::IsChanged() const {
  return m_nChangeFlags != 0 || m_TimeBase.m_nFlags != 0 || m_Channels[0].m_nChangeFlags != 0 ||
         m_Channels[1].m_nChangeFlags != 0;
}

void CMeasureProps::ClearChanges() {
  m_nChangeFlags = 0;
  m_TimeBase.m_nFlags = 0;
  for (CChannelProps& c : m_Channels) c.ClearChanges();
}

void CMeasureProps::MarkAllChanged(bool engineSynchronous) {
  const int channelBits = CHN_ON | CHN_RANGE | CHN_COUPLING;
  m_TimeBase.m_nFlags |= TB_INDEX_CHANGED;
  m_Channels[CHANNEL_A].m_nChangeFlags |= channelBits;
  if (engineSynchronous) {
    m_nChangeFlags = CHG_TRIGGER_FILTER | CHG_TRIGGER_SENSITIVITY;
    m_Channels[CHANNEL_B].m_nChangeFlags = 0;
    return;
  }
  m_nChangeFlags = CHG_ALL;
  m_Channels[CHANNEL_B].m_nChangeFlags |= channelBits;
}

BOOL CMeasureProps::RequestTimeBaseIndex(int index, Send send) {
  return Store(m_nRequestedTimeBaseIndex, index, m_TimeBase.m_nFlags, TB_INDEX_CHANGED, send);
}

BOOL CMeasureProps::SetTriggerMode(int mode, Send send) {
  return Store(m_nTriggerMode, mode, m_nChangeFlags, CHG_TRIGGER_MODE, send);
}

BOOL CMeasureProps::SetSlowRateModifier(int modifier, Send send) {
  return Store(m_nSlowRateModifier, modifier, m_nChangeFlags, CHG_TRIGGER_MODE, send);
}

BOOL CMeasureProps::SetTriggerEdge(int edge, Send send) {
  return Store(m_nTriggerEdge, edge, m_nChangeFlags, CHG_TRIGGER_EDGE, send);
}

BOOL CMeasureProps::SetTriggerFilter(int filter, Send send) {
  return Store(m_nTriggerFilter, filter, m_nChangeFlags, CHG_TRIGGER_FILTER, send);
}

BOOL CMeasureProps::SetTriggerSource(int kind, Send send) {
  return Store(m_nTriggerSourceKind, kind, m_nChangeFlags, CHG_TRIGGER_SOURCE, send);
}

BOOL CMeasureProps::SetTriggerChannel(int channel, Send send) {
  if (!Store(m_nTriggerChannel, channel, m_nChangeFlags, CHG_TRIGGER_CHANNEL, send)) return FALSE;
  UpdateTriggerScale();
  return TRUE;
}

void CMeasureProps::SetTriggerLevelIndex(int step) {
  m_nTriggerLevel = step < 0 ? 0 : (step > kLevelSteps ? kLevelSteps : step);
  m_nChangeFlags |= CHG_TRIGGER_LEVEL;
}

BOOL CMeasureProps::SetHorizontalOffset(int offset, Send send) {
  return Store(m_nHorizontalOffset, offset, m_nChangeFlags, CHG_TRIGGER_SENSITIVITY, send);
}

BOOL CMeasureProps::SwitchChannel(int channel, int on) {
  CChannelProps* c = GetChannel(channel);
  if (!c || !c->SetChannelOption(on)) return FALSE;
  m_nChangeFlags |= CHG_TRIGGER_MODE;
  return TRUE;
}

void CMeasureProps::UpdateTriggerScale() {
  const CChannelProps* channel = GetChannel(m_nTriggerChannel);
  double x = 0.0;
  if (channel && channel->m_bEnabled) x = channel->GetRangeValue();
  m_TriggerLevelMap.Set(-x, x, 0.0, 256.0);
}

void CMeasureProps::RescaleChannel(int channel) {
  if (CChannelProps* c = GetChannel(channel)) c->m_nMarkWord |= 1;
}

int CMeasureProps::SetChannelRangeIndex(int channel, int index, BOOL updateTrigger, BOOL recompute) {
  CChannelProps* c = GetChannel(channel);
  if (!c) return 0;
  if (c->m_nRangeIndex == index) {
    if (updateTrigger && channel == m_nTriggerChannel) UpdateTriggerScale();
    return 0;
  }
  c->SetRangeIndex(index);
  MarkChannelChanged(channel, updateTrigger, recompute);
  return 1;
}

void CMeasureProps::MarkChannelChanged(int channel, BOOL updateTrigger, BOOL recompute) {
  CChannelProps* c = GetChannel(channel);
  if (!c) return;
  c->m_nChangeFlags |= CHN_RANGE;
  if (recompute) {
    RescaleChannel(channel);
  } else {
    c->m_nMarkWord |= 1;
  }
  if (updateTrigger && channel == m_nTriggerChannel) UpdateTriggerScale();
}

void CMeasureProps::MarkAllChannelsChanged(BOOL updateTrigger) {
  MarkChannelChanged(CHANNEL_A, updateTrigger, FALSE);
  MarkChannelChanged(CHANNEL_B, updateTrigger, FALSE);
}

int CMeasureProps::UpdateSlowRateTriggerMode() {
  const int index = m_nRequestedTimeBaseIndex;
  if (index < 0 || index >= m_TimeBase.m_Rates.GetSize()) return 0;
  const double rate = m_TimeBase.m_Rates[index];
  if (GetMeasureType().m_nAngleMode.load() || rate > 500.0) {
    m_nRollSampleCount = 0;
    return SetSlowRateModifier(0);
  }
  const double roll = std::trunc(rate / 10.0);
  m_nRollSampleCount = roll > 0.0 ? static_cast<int>(roll) : 0;
  if (m_nSlowRateModifier != 0) return 0;
  return SetSlowRateModifier(m_nTriggerMode == 1 ? 1 : 2);
}

int CMeasureProps::GetSubUnitExponent(double value, int channel) const {
  if (channel == -1) channel = m_nTriggerChannel;
  if (!IsValidChannel(channel)) return 0;
  return ScaleToUnitRange(value);
}

int CMeasureProps::GetTimeBaseTexts(CStringArray& list) const {
  list.RemoveAll();
  for (INT_PTR i = 0; i < m_TimeBase.m_Rates.GetSize(); ++i)
    list.Add(FormatTimePerDivOf(m_TimeBase.m_Rates[i], m_nRecordLength));
  return static_cast<int>(list.GetSize());
}

int CMeasureProps::GetVoltsPerDivTexts(int channel, CStringArray& list) const {
  list.RemoveAll();
  const CChannelProps* c = GetChannel(channel);
  if (!c) return 0;
  for (INT_PTR i = 0; i < c->m_Ranges.GetSize(); ++i)
    list.Add(FormatPerDivision(c->PerDivision(c->m_Ranges[i]), GetUnitSymbol(c->GetUnit())));
  return static_cast<int>(list.GetSize());
}

CString CMeasureProps::FormatVoltsPerDiv(int channel) const {
  const CChannelProps* c = GetChannel(channel);
  if (!c || c->m_nRangeIndex < 0) return CString();
  return FormatPerDivision(c->PerDivision(c->GetRangeValue()), GetUnitSymbol(c->GetUnit()));
}

CString CMeasureProps::FormatChannelValue(double value, int channel, int decimals, BOOL keepZeros) const {
  if (channel == -1) channel = m_nTriggerChannel;
  const CChannelProps* c = GetChannel(channel);
  const char* unit = c ? GetUnitSymbol(c->GetUnit()) : "";
  CString text;
  if (std::fabs(value) < 1.0) {
    FormatValue(text, value, unit, decimals, keepZeros);
  } else {
    FormatScaledValue(text, value, GetEngineeringExponent(value), decimals, keepZeros);
    text += unit;
  }
  return text;
}

CString CMeasureProps::FormatPlainValue(double value) const {
  CString text;
  FormatScaledValue(text, value, 0, -1, FALSE);
  return text;
}

CString CMeasureProps::FormatTriggerLevel(int level) const {
  return FormatChannelValue(m_TriggerLevelMap.ToValue(level), m_nTriggerChannel, -1, FALSE);
}
