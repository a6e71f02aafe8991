#include "ProbeTable.h"

#include "Library.h"
#include "EngineTesterState.h"

#include <atomic>

namespace kv310 {

namespace {

constexpr int32_t Window(int lowestRange, int highestRange) { return highestRange | (lowestRange << 16); }

// kind, class, code A, code B, scale mantissa, scale exponent, field 7 (low, high).
constexpr ProbeDescriptor kDescriptors[kProbeKindCount] = {
    {0, 0, 0, 0, 1, 0, Window(0, 9)},      // no probe        "NOPR"
    {1, 0, 4, 2, 1, 0, Window(0, 9)},      // 400 V lead      "400V"
    {2, 1, 5, 1, 125, -2, Window(2, 7)},   // 50 A clamp      "50A "
    {3, 1, 5, 2, 125, -1, Window(2, 6)},   // 500 A clamp     "500A"
    {4, 2, 0, 0, 0, 0, 0},                 // engine-tester module
    {5, 3, 0, 0, 9, 0, 0},
    {6, 0, 4, 2, 1, 0, Window(0, 9)},      // "PIE "
    {7, 6, 0, 0, 9, 0, 0},
    {8, 0, 15, 1, 1, 0, Window(0, 9)},     // temperature
    {9, 5, 0, 0, 9, 0, 0},
    {10, 8, 0, 0, 9, 0, 0},
    {11, 0, 25, 3, 1, 4, Window(6, 9)},    // high-voltage reference probe "25kV"
    {12, 9, 0, 0, 9, 0, 0},
    {13, 3, 0, 0, 9, 0, 0},
    {14, 0, 4, 2, 1, 0, Window(0, 9)},     // "SSCN"
    {15, 1, 5, 0, 125, -3, Window(2, 5)},
    {16, 0, 25, 3, 25, 2, Window(4, 7)},
};

std::atomic<int32_t> g_referenceProbeCode{kReferenceProbeNone};

}  // namespace

ProbeDescriptor DescriptorOfKind(int kind) {
  return (kind >= 0 && kind < kProbeKindCount) ? kDescriptors[kind] : kDescriptors[0];
}

int ProbeKindOfCode(int code) {
  switch (code & 0xFF) {
    case 2: case 130: return 14;
    case 3: case 131: return 1;
    case 4: case 132: return 2;
    case 5: case 133: return 3;
    case 7: case 23: return 4;
    case 18: return 16;
    case 19: case 51: return 9;
    case 20: return 15;
    case 35: return 12;
    case 36: case 67: case 84: return 11;
    case 37: return 7;
    case 52: return 6;
    case 53: return 10;
    case 68: return 8;
    case 69: return 5;
    case 85: return 13;
    default: return 0;
  }
}

void LookupProbeDescriptor(ProbeDescriptor* out, int code) {
  code &= 0xFF;
  int32_t reference = 0;
  int32_t hvProbeType = 0;
  switch (code) {
    case 36: reference = 110; break;
    case 84: reference = 111; hvProbeType = 1; break;
    case 67: reference = 112; break;
    default: break;
  }
  if (reference != 0) {
    SetReferenceProbeCode(reference);
    EngineState().SetHiVoltageProbeType(hvProbeType);
  }
  if (out) *out = DescriptorOfKind(ProbeKindOfCode(code));
}

bool IsEngineTesterModule(int code) { return DescriptorOfKind(ProbeKindOfCode(code)).probeClass == kEngineTesterClass; }

int32_t ReferenceProbeCode() { return g_referenceProbeCode.load(); }
void SetReferenceProbeCode(int32_t code) { g_referenceProbeCode.store(code); }

}  // namespace kv310
