#include "Calibration.h"

#include "Library.h"

namespace kv310 {

namespace {

// Factors of ordinary probes and of current clamps (class 1) by range index.
float OrdinaryFactor(int range) { return range <= 2 ? 1.0123f : range <= 5 ? 1.024f : 1.0488f; }
float ClampFactor(int range) { return range <= 5 ? 1.05875f : 1.08445f; }

// Ohmmeter: k1 per range, k2 per range and sub-range.
constexpr float kOhmK1[5] = {-9.9933402e-07f, -2.77869003e-06f, -2.06072e-05f, -0.000197077999f, -0.00196178001f};
constexpr float kOhmK2[5][4] = {
    {8.32778085e-07f, 4.76349078e-06f, 1.33244503e-05f, 2.41505695e-05f},
    {5.28117698e-06f, 3.02083299e-05f, 8.44988317e-05f, 0.000153154106f},
    {4.98523914e-05f, 0.000285155606f, 0.000797638204f, 0.00144571904f},
    {0.000491029001f, 0.00280868495f, 0.00785646215f, 0.0142398402f},
    {0.00490279403f, 0.0280439202f, 0.078444697f, 0.142180994f},
};

}  // namespace

void LoadDefaultCalibration(ChannelCalibration* c) {
  for (int probeClass = 0; probeClass < 2; ++probeClass) {
    for (int channel = 0; channel < 2; ++channel) {
      for (int range = 0; range < 10; ++range) {
        const float f = probeClass == 0 ? OrdinaryFactor(range) : ClampFactor(range);
        float* pair = c->factors[range + 10 * channel + 20 * probeClass];
        pair[0] = f;
        pair[1] = f;
      }
    }
  }
  for (int range = 0; range < 5; ++range) {
    for (int sub = 0; sub < 4; ++sub) {
      c->ohmFactors[4 * range + sub][0] = kOhmK1[range];
      c->ohmFactors[4 * range + sub][1] = kOhmK2[range][sub];
    }
  }
  c->ohmOffset = 2.7f;
  c->loaded = 1;
}

const float* CalibrationPair(int channel, int rangeIndex, int probeClass) {
  return Calibration().factors[rangeIndex + 10 * channel + 20 * probeClass];
}

}  // namespace kv310
