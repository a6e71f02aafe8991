// The board's analog front end between a probe and the converter: the ranges, what each probe
// divides the signal by, and the gain of the input stage. The input stage reads a little low (more
// behind a current clamp's shunt); the host multiplies every reading by its calibration factors to
// undo that. Every instrument of the board and of the engine-tester module makes its converter
// values through this one model, so that a signal of the scenario reads back as its true value.
#pragma once

#include <cstdint>

namespace sim {

inline constexpr int kRangeCount = 10;
// Ranges whose reading the host takes from the high-voltage reference probe's samples (4 V) and
// from the polarity frames (2 V).
inline constexpr int kEngineRangeIndex = 6;
inline constexpr int kPolarityRangeIndex = 7;

// Full scale (volts) of the board's range code within a coupling's range group: couplings 1 and 2
// cover 400/200/80 V (codes 1, 2, 5), couplings 3 and 4 cover 40 V down to 0.4 V (codes 1 .. 100).
// 0 for a combination the board does not have.
double FullScaleOfCode(uint8_t coupling, uint8_t rangeCode);

// Index 0..9 of a coupling and range code in the range list (400 V first); -1 for none.
int RangeIndexOfCode(uint8_t coupling, uint8_t rangeCode);

// Coupling (1 or 3) and range code of a range index 0..9.
struct RangeSetting {
  uint8_t coupling;
  uint8_t code;
};
RangeSetting RangeSettingOf(int rangeIndex);

// Automatic ranging: the smallest range whose full scale x probe scale x `headroom` is above
// `peak`, else the largest range.
int AutoRangeIndex(double peak, double probeScale, double headroom);

// The scale factor of a probe code (clamps and high-voltage probes divide the signal before the
// converter); 1 for test leads and unknown codes.
double ProbeScaleOfCode(uint8_t code);

// Current clamps go through the shunt input, whose gain differs from the voltage input's.
bool IsClampCode(uint8_t code);

// The engine-tester module's clamp input is told in byte 2 of the voltmeter's configuration record
// which clamp the host reads channel 1 through: 3 the 50 A clamp, 5 the 500 A clamp, 0 none. Set
// to the 500 A clamp, the input raises the clamp's signal tenfold, so that either clamp reaches the
// converter on the 50 A clamp's scale (1.25): the host reads the current channel's ranges times
// 1.25 whichever clamp measures.
inline constexpr uint8_t kClampSetting50A = 3;
inline constexpr uint8_t kClampSetting500A = 5;
double ClampInputGain(uint8_t clampSetting);

// How an instrument's readings are decoded by the host, which decides the gain the board's
// converter values must carry: the calibration pair of the probe's class (or always the ordinary
// one), and behind a clamp an extra gain and, on range 2, a divisor.
struct ReadingPath {
  bool clampPair;
  double clampGain;
  double clampRange2Divisor;
};
inline constexpr ReadingPath kScopeSamples{true, 1.04, 1.206897};  // board and module oscilloscope
inline constexpr ReadingPath kVoltmeterMean{true, 1.04, 1.0};      // the board voltmeter's mean field
inline constexpr ReadingPath kMeterFields{true, 1.0, 1.0};         // other voltmeter fields
inline constexpr ReadingPath kOrdinaryPair{false, 1.0, 1.0};       // engine samples, sampling, sparks

// The factor by which the host raises a converter value of this path, range index and probe:
// the board's converter value of a true value v is v / (full scale x probe scale x gain).
// 1 for a range index outside the list.
double FrontEndGain(const ReadingPath& path, int rangeIndex, uint8_t probeCode);

// How a channel turns volts into converter bytes: full scale of the range times the probe's
// factor times the front end's gain (FrontEndGain), and whether the input is AC-coupled (the DC
// level does not reach the converter).
struct ChannelInput {
  double scale = 1.0;  // full scale x probe factor x front-end gain, in the signal's units
  bool acCoupled = false;
};

// The input of a channel set to a coupling and range code, with the probe of `probeCode`, whose
// readings the host decodes along `path`.
ChannelInput ChannelInputOf(const ReadingPath& path, uint8_t coupling, uint8_t rangeCode, uint8_t probeCode);

}  // namespace sim
