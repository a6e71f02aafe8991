#include "FrontEnd.h"

namespace sim {

namespace {

struct BoardRange {
  uint8_t coupling;  // 1 for the high-voltage group, 3 for the others (2 and 4 are their AC forms)
  uint8_t code;
  double volts;
};
constexpr BoardRange kRanges[kRangeCount] = {{1, 1, 400}, {1, 2, 200}, {1, 5, 80},  {3, 1, 40},  {3, 2, 20},
                                             {3, 5, 8},   {3, 10, 4},  {3, 20, 2}, {3, 50, 0.8}, {3, 100, 0.4}};

// The input stage's gain by range group, for the voltage input and for the clamp input.
struct StageGain {
  int lastRange;
  double voltage;
  double clamp;
};
constexpr StageGain kStageGains[] = {{2, 1.0123, 1.05875}, {5, 1.024, 1.05875}, {9, 1.0488, 1.08445}};

struct Probe {
  uint8_t code;
  double scale;
  bool clamp;
};
constexpr Probe kProbes[] = {
    {4, 1.25, true},    {132, 1.25, true},    // 50 A clamp
    {5, 12.5, true},    {133, 12.5, true},    // 500 A clamp
    {20, 0.125, true},  {18, 2500.0, false},
    {36, 10000.0, false}, {67, 10000.0, false}, {84, 10000.0, false},  // high-voltage reference probe
};

const Probe* ProbeOf(uint8_t code) {
  for (const Probe& p : kProbes)
    if (p.code == code) return &p;
  return nullptr;
}

uint8_t Group(uint8_t coupling) { return coupling == 2 ? 1 : coupling == 4 ? 3 : coupling; }

}  // namespace

int RangeIndexOfCode(uint8_t coupling, uint8_t rangeCode) {
  for (int i = 0; i < kRangeCount; ++i)
    if (kRanges[i].coupling == Group(coupling) && kRanges[i].code == rangeCode) return i;
  return -1;
}

double FullScaleOfCode(uint8_t coupling, uint8_t rangeCode) {
  const int index = RangeIndexOfCode(coupling, rangeCode);
  return index < 0 ? 0.0 : kRanges[index].volts;
}

RangeSetting RangeSettingOf(int rangeIndex) {
  const BoardRange& r = kRanges[rangeIndex < 0 ? 0 : rangeIndex >= kRangeCount ? kRangeCount - 1 : rangeIndex];
  return {r.coupling, r.code};
}

int AutoRangeIndex(double peak, double probeScale, double headroom) {
  for (int i = kRangeCount - 1; i >= 0; --i)
    if (peak < headroom * kRanges[i].volts * probeScale) return i;
  return 0;
}

double ProbeScaleOfCode(uint8_t code) {
  const Probe* p = ProbeOf(code);
  return p ? p->scale : 1.0;
}

bool IsClampCode(uint8_t code) {
  const Probe* p = ProbeOf(code);
  return p && p->clamp;
}

double ClampInputGain(uint8_t clampSetting) { return clampSetting == kClampSetting500A ? 10.0 : 1.0; }

double FrontEndGain(const ReadingPath& path, int rangeIndex, uint8_t probeCode) {
  if (rangeIndex < 0 || rangeIndex >= kRangeCount) return 1.0;
  const bool clamp = path.clampPair && IsClampCode(probeCode);
  double gain = 1.0;
  for (const StageGain& g : kStageGains) {
    if (rangeIndex <= g.lastRange) {
      gain = clamp ? g.clamp : g.voltage;
      break;
    }
  }
  if (clamp) {
    gain *= path.clampGain;
    if (rangeIndex == 2) gain /= path.clampRange2Divisor;
  }
  return gain;
}

ChannelInput ChannelInputOf(const ReadingPath& path, uint8_t coupling, uint8_t rangeCode, uint8_t probeCode) {
  ChannelInput input;
  input.scale = FullScaleOfCode(coupling, rangeCode) * ProbeScaleOfCode(probeCode) *
                FrontEndGain(path, RangeIndexOfCode(coupling, rangeCode), probeCode);
  input.acCoupled = coupling == 2 || coupling == 4;
  return input;
}

}  // namespace sim
