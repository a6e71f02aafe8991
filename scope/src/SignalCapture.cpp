#include <scope/SignalCapture.h>

#include <cmath>
#include <limits>
#include <vector>

namespace scope {

namespace {

void CaptureChannel(const CChannelProps& settings, const CSignalData* trace, SignalChannel& out) {
  out = SignalChannel{};
  out.m_bPresent = settings.m_nModeEnable != 0;
  if (!out.m_bPresent) return;
  out.m_nCoupling = static_cast<uint8_t>(settings.m_nCoupling);
  if (!trace || trace->GetCount() == 0) return;

  const int n = trace->GetCount();
  std::vector<double> values(static_cast<size_t>(n));
  std::vector<uint8_t> valid(static_cast<size_t>(n)), clip(static_cast<size_t>(n));
  double low = 0.0, high = 0.0;
  bool any = false;
  for (int k = 0; k < n; ++k) {
    values[static_cast<size_t>(k)] = trace->m_Values[k];
    valid[static_cast<size_t>(k)] = k < trace->m_PointFlags.GetSize() && trace->m_PointFlags[k] ? 1 : 0;
    clip[static_cast<size_t>(k)] = k < trace->m_SaturationFlags.GetSize() ? trace->m_SaturationFlags[k] : 0;
    if (!valid[static_cast<size_t>(k)]) continue;
    const double v = values[static_cast<size_t>(k)];
    low = any ? std::min(low, v) : v;
    high = any ? std::max(high, v) : v;
    any = true;
  }
  // The screen's volts per division: the range table already carries the probe's multiplier.
  out.m_dPerDivision = settings.PerDivision(settings.GetRangeValue());
  out.m_dFullScale = 10.0 * out.m_dPerDivision;
  out.m_nUnit = settings.GetUnit();
  out.m_nPosition = static_cast<uint16_t>(settings.m_nPosition);
  StoreTrace(out, values, valid, clip, trace->m_nMultiplier < 0 ? -1 : 1, low, high);
}

}  // namespace

SignalFile CaptureSignalFile(const CMeasureProps& props, const CSignalData* const traces[2], int angleMode) {
  SignalFile file;
  const double rate = props.m_TimeBase.GetValueOrZero();
  file.m_nSampleRate = std::isfinite(rate) && std::fabs(rate) < 2147483647.0 ? static_cast<int32_t>(rate) : 0;
  file.m_bAngleMode = static_cast<uint8_t>(angleMode != 0);
  file.m_nModeSelector = props.m_nSlowRateModifier;
  file.m_bModeSelectorFlag = props.m_nSlowRateModifier != 0;
  file.m_nTriggerSource = props.m_nTriggerSourceKind;
  file.m_nTriggerEdge = props.m_nTriggerEdge;
  file.m_nSweep = props.m_nTriggerMode;
  file.m_nTriggerFilter = props.m_nTriggerFilter;
  file.m_dTriggerLevel = props.m_TriggerLevelMap.ToValue(props.m_nTriggerLevel);
  const int triggerChannel = (props.m_nTriggerSourceKind == 1 || props.m_nTriggerSourceKind == 3) ? 1 : 0;
  file.m_nTriggerUnit = props.m_Channels[triggerChannel].GetUnit();
  for (int ch = 0; ch < 2; ++ch) {
    CaptureChannel(props.m_Channels[ch], traces[ch], file.m_Channels[static_cast<size_t>(ch)]);
    if (file.m_Channels[static_cast<size_t>(ch)].m_bPresent && !file.m_Channels[static_cast<size_t>(ch)].m_Points.empty())
      ++file.m_nChannelsStored;
  }
  return file;
}

}  // namespace scope
