#include "LeakAnalysis.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv310 {

namespace {

constexpr int kLast = kLeakSampleCount - 1;
// The 17-point triangular smoothing (weights 9 - |i|, sum 81) and the range it covers.
constexpr int kWideHalf = 8;
constexpr float kWideSum = 81.0f;
constexpr int kWideFirst = 9;
constexpr int kWideLast = 1014;
// The residue that decides which samples are outliers.
constexpr int kResidueFirst = 18;
constexpr int kResidueLast = 1005;
constexpr int kResidueCount = kResidueLast + 1;  // r[0..17] take part as zeros
// The 11-point smoothing between noisy passes (weights 6 - |i|, sum 36).
constexpr int kNarrowHalf = 5;
constexpr float kNarrowSum = 36.0f;
constexpr int kPassCount = 4;
// A cylinder whose heights scatter more than this (percent of the strongest mean) makes a pass noisy.
constexpr float kNoisySpread = 10.0f;
// One sample every 2.5 ms; plausible cranking speeds 360..1600 rpm.
constexpr float kSamplePeriodS = 0.0025f;
constexpr float kFastestRpm = 1600.0f;
constexpr float kSlowestRpm = 360.0f;

struct Extreme {
  int index;
  float value;
};

// Mean, then the root of the mean squared difference from it.
float StandardDeviation(const float* values, int count) {
  float sum = 0.0f;
  for (int i = 0; i < count; ++i) sum += values[i];
  const float mean = sum / static_cast<float>(count);
  float squares = 0.0f;
  for (int i = 0; i < count; ++i) {
    const float d = values[i] - mean;
    squares += d * d;
  }
  return LeakSquareRoot(squares / static_cast<float>(count));
}

void SmoothWide(const std::vector<float>& in, std::vector<float>& out) {
  for (int k = kWideFirst; k <= kWideLast; ++k) {
    float sum = 0.0f;
    for (int i = -kWideHalf; i <= kWideHalf; ++i) sum += static_cast<float>(9 - std::abs(i)) * in[k + i];
    out[k] = sum / kWideSum;
  }
}

// Smooths the working signal in place, reading from a copy so that every point sees the
// unsmoothed neighbours.
void SmoothNarrow(std::vector<float>& signal, int pass) {
  const std::vector<float> in = signal;
  for (int k = 12; k <= 993 - 12 * pass; ++k) {
    float sum = 0.0f;
    for (int i = -kNarrowHalf; i <= kNarrowHalf; ++i) sum += static_cast<float>(6 - std::abs(i)) * in[k + i];
    signal[k] = sum / kNarrowSum;
  }
}

// Reversals of the working signal. The first ones arm the detector (a minimum sets the level to
// 1, a maximum raises it), so the list starts with a minimum and alternates from there.
std::vector<Extreme> FindExtremes(const std::vector<float>& s, int pass) {
  std::vector<Extreme> extremes;
  int direction = s[11] > s[10] ? 1 : -1;
  int level = 0;
  for (int k = 11; k < 1005 - 12 * pass; ++k) {
    const int step = s[k + 1] > s[k] ? 1 : (s[k + 1] < s[k] ? -1 : 0);
    if (step == 0 || step == direction) continue;
    if (level <= 1) {
      level = direction == -1 ? 1 : level + 1;
    } else {
      extremes.push_back({k, s[k]});
    }
    direction = step;
  }
  return extremes;
}

enum class PassVerdict { Clean, Noisy, Failed };

// Steps b to d: cycles, peak distances, compression heights, per-cylinder means and their spread.
PassVerdict EvaluatePass(const std::vector<Extreme>& extremes, int cylinders, float means[kLeakMaxCylinders],
                         LeakAnalysisResult* result) {
  const int n = static_cast<int>(extremes.size());
  const int cycles = n >= 1 ? (n - 1) / (2 * cylinders) : 0;
  if (cycles == 0) return PassVerdict::Failed;
  int smallest = 0, largest = 0, last = 0;
  for (int j = 0; j < 2 * cylinders * cycles - 1; j += 2) {
    const int d = extremes[j + 2].index - extremes[j].index;
    if (j == 0 || d < smallest) smallest = d;
    if (j == 0 || d > largest) largest = d;
    last = d;
  }
  result->smallestDistance = static_cast<int16_t>(smallest);
  result->largestDistance = static_cast<int16_t>(largest);
  result->lastDistance = static_cast<int16_t>(last);

  const int compressions = cylinders * cycles;
  std::vector<float> heights(static_cast<size_t>(compressions));
  for (int j = 0; j < compressions; ++j) {
    heights[j] = extremes[2 * j + 1].value - (extremes[2 * j].value + extremes[2 * j + 2].value) / 2.0f;
  }
  float strongest = 0.0f;
  std::vector<float> perCylinder(static_cast<size_t>(cycles));
  for (int c = 0; c < cylinders; ++c) {
    float sum = 0.0f;
    for (int t = 0; t < cycles; ++t) sum += heights[c + t * cylinders];
    means[c] = sum / static_cast<float>(cycles);
    if (c == 0 || means[c] > strongest) strongest = means[c];
  }
  // No compression at all (or only dips): nothing to relate the cylinders to.
  if (!(strongest > 0.0f)) return PassVerdict::Failed;
  const float rootCycles = LeakSquareRoot(static_cast<float>(cycles));
  bool noisy = false;
  for (int c = 0; c < cylinders; ++c) {
    for (int t = 0; t < cycles; ++t) perCylinder[t] = heights[c + t * cylinders];
    const float spread = StandardDeviation(perCylinder.data(), cycles) * 100.0f / strongest / rootCycles;
    if (!(spread <= kNoisySpread)) noisy = true;
  }
  return noisy ? PassVerdict::Noisy : PassVerdict::Clean;
}

// Pass 3, still noisy: find the compression period among the half-waves and fill in the humps the
// detector missed, so that the cylinders line up again.
bool FillGaps(std::vector<Extreme>& extremes, const std::vector<float>& signal, int cylinders) {
  const int n = static_cast<int>(extremes.size());
  if (n < 2) return false;
  float sum = 0.0f;
  for (const Extreme& e : extremes) sum += e.value;
  const float reference = sum / static_cast<float>(n);

  const float L = static_cast<float>(cylinders);
  const float shortest = 120.0f / (L * kFastestRpm * kSamplePeriodS);
  const float longest = 120.0f / (L * kSlowestRpm * kSamplePeriodS);
  int period = 0;
  int bestAgreements = -1;
  for (int i = 0; i + 1 < n; ++i) {
    const bool opposite = (extremes[i].value > reference && extremes[i + 1].value < reference) ||
                          (extremes[i].value < reference && extremes[i + 1].value > reference);
    if (!opposite) continue;
    const int d = extremes[i + 1].index - extremes[i].index;
    const float fd = static_cast<float>(d);
    if (!(fd > shortest && fd < longest)) continue;
    int agreements = 0;
    for (int k = 0; k + 1 < n; ++k) {
      const float e = static_cast<float>(extremes[k + 1].index - extremes[k].index);
      if (0.9f * e < fd && fd < 1.1f * e) ++agreements;
    }
    if (agreements > bestAgreements) {
      bestAgreements = agreements;
      period = d;
    }
  }
  if (period <= 0) return false;

  const auto nextAbove = [&](size_t from) {
    while (from < extremes.size() && !(extremes[from].value > reference)) ++from;
    return from;
  };
  size_t j = nextAbove(0);
  while (j < extremes.size()) {
    size_t i = nextAbove(j + 1);
    if (i >= extremes.size()) break;
    const int quotient = (extremes[i].index - extremes[j].index) / period;
    if (quotient > 2) {
      const int group = quotient > 4 ? 5 : 3;
      const int remainder = static_cast<int>(i - j - 1) % group;
      if (remainder != 0) {
        const int missing = group - remainder;
        std::vector<Extreme> inserted;
        for (int t = 1; t <= missing; ++t) {
          const int at = std::min(extremes[j].index + t, kLast);
          inserted.push_back({at, signal[at]});
        }
        extremes.insert(extremes.begin() + static_cast<std::ptrdiff_t>(j + 1), inserted.begin(), inserted.end());
        // The pair's later extreme moved up by what was inserted; the walk goes on from there.
        i += static_cast<size_t>(missing);
      }
    }
    j = i;
  }
  return true;
}

// Step 7: in compression order from the weakest, relative to the second-strongest, with the
// strongest pulled towards it. False when fewer than two cylinders show a compression: relating
// the others to a second-strongest value at or below zero would turn them into nonsense percentages.
bool Normalise(const float means[kLeakMaxCylinders], int cylinders, LeakAnalysisResult* result) {
  int weakest = 0;
  for (int c = 1; c < cylinders; ++c)
    if (means[c] < means[weakest]) weakest = c;
  float v[kLeakMaxCylinders];
  for (int t = 0; t < cylinders; ++t) v[t] = means[(weakest + t) % cylinders];
  if (cylinders >= 3 && v[1] < v[2]) v[1] = (0.2f * v[0] + 1.8f * v[1]) / 2.0f;

  int strongestAt = 0;
  for (int t = 1; t < cylinders; ++t)
    if (v[t] > v[strongestAt]) strongestAt = t;
  float sorted[kLeakMaxCylinders];
  std::copy(v, v + cylinders, sorted);
  std::sort(sorted, sorted + cylinders, [](float a, float b) { return a > b; });
  const float second = cylinders >= 2 ? sorted[1] : sorted[0];
  if (!(second > 0.0f)) return false;
  v[strongestAt] = 1.05f * second - 0.05f * v[strongestAt];

  for (int t = 0; t < cylinders; ++t) {
    float ratio = v[t] / second;
    if (ratio < 0.0f) ratio = 0.0f;
    result->relative[t] = ratio * 100.0f;
    const float whole = std::min(result->relative[t], 255.0f);
    result->percent[t] = static_cast<uint8_t>(whole);
  }
  return true;
}

}  // namespace

float LeakSquareRoot(float value) {
  if (!(value >= 1e-6f)) return 0.0f;
  // The reduction and the polynomial run in the wider precision of the arithmetic unit; only the
  // root is rounded to single precision (so the root of 4 is 2.0000004, not 2.0000002).
  double c = value;
  double f = 1.0;
  while (c >= 10.0) {
    c /= 100.0;
    f *= 10.0;
  }
  while (c < 0.1) {
    c *= 100.0;
    f /= 10.0;
  }
  while (c >= 2.0) {
    c *= 0.25;
    f *= 2.0;
  }
  while (c < 0.5) {
    c *= 4.0;
    f *= 0.5;
  }
  if (c > 1.2) {
    c /= 2.25;
    f *= 1.5;
  } else if (c > 1.0) {
    c /= 1.96;
    f *= 1.4;
  }
  const double poly = ((((0.1121216 * c - 0.536499) * c + 1.106812) * c - 1.34491) * c + 1.454895) * c + 0.2075806;
  return static_cast<float>(f * poly);
}

uint16_t DecodeLeakSample(uint8_t high, uint8_t low) {
  int v = ((high << 8) & 0xFFF) | low;
  if ((high & 0x08) == 0) v = 4096 - v;
  return static_cast<uint16_t>(v & 0xFFF);
}

bool AnalyseLeakRecording(const uint16_t samples[kLeakSampleCount], int cylinders, LeakAnalysisResult* result) {
  *result = LeakAnalysisResult{};
  if (!samples || cylinders < 1 || cylinders > kLeakMaxCylinders) return false;

  // 1. Without the mean, the end samples copied from their neighbours.
  std::vector<float> x(kLeakSampleCount);
  float sum = 0.0f;
  for (int i = 0; i < kLeakSampleCount; ++i) {
    x[i] = static_cast<float>(samples[i]);
    sum += x[i];
  }
  const float mean = sum / static_cast<float>(kLeakSampleCount);
  for (float& v : x) v -= mean;
  x[0] = x[1];
  x[kLast] = x[kLast - 1];

  // 2.-4. Smooth, take the samples that stray far from the smooth curve as outliers, replace them
  // and smooth again into the working signal.
  std::vector<float> smooth = x;
  SmoothWide(x, smooth);
  float residue[kResidueCount] = {};
  for (int k = kResidueFirst; k <= kResidueLast; ++k) residue[k] = std::fabs(smooth[k] - x[k]);
  const float sigma = StandardDeviation(residue, kResidueCount);
  for (int k = kResidueFirst; k <= kResidueLast; ++k)
    if (residue[k] >= 2.0f * sigma) x[k] = smooth[k];
  std::vector<float> work = x;
  SmoothWide(x, work);

  // 5. Up to four passes, each on a smoother signal than the one before.
  float means[kLeakMaxCylinders] = {};
  bool found = false;
  for (int pass = 0; pass < kPassCount && !found; ++pass) {
    std::vector<Extreme> extremes = FindExtremes(work, pass);
    PassVerdict verdict = EvaluatePass(extremes, cylinders, means, result);
    if (verdict == PassVerdict::Failed) return false;
    if (verdict == PassVerdict::Clean) {
      found = true;
    } else if (pass < kPassCount - 1) {
      SmoothNarrow(work, pass);
    } else {
      if (!FillGaps(extremes, work, cylinders)) return false;
      if (EvaluatePass(extremes, cylinders, means, result) != PassVerdict::Clean) return false;
      found = true;
    }
  }
  if (!found) return false;

  if (!Normalise(means, cylinders, result)) return false;
  // 8. An even engine whose peak distances wander is not a measurement either.
  if (result->relative[0] >= 81.0f &&
      static_cast<float>(result->largestDistance) > 1.4f * static_cast<float>(result->smallestDistance)) {
    result->relative[0] = 0.0f;
    result->percent[0] = 0;
    return false;
  }
  return true;
}

}  // namespace kv310
