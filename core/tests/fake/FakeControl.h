// The control side of the fake measurement library "FakeKv310.dll": what the test sets (missing
// interfaces, results per slot, the link model, the data the instruments report) and what it
// reads back (the call log). The module owns the one instance; a test reaches it through the
// module's export "FakeKv310Control".
#pragma once

#include <kv310/Kv310.h>

#include <platform/sync.h>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace fake {

inline constexpr const char* kModule = "FakeKv310.dll";
inline constexpr const char* kControlExport = "FakeKv310Control";

struct Call {
  unsigned id;
  int slot;
};

inline ScaledValue Scaled(int32_t mantissa, int8_t exponent) {
  ScaledValue v{};
  v.mantissa = mantissa;
  v.exponent = exponent;
  return v;
}

// A probe of the given kind and class with a full scale of codeA x 10^codeB and scale 1.
inline ProbeDescriptor Probe(int kind, int probeClass = 0, int codeA = 20, int codeB = 0) {
  ProbeDescriptor p{};
  p.kind = kind;
  p.probeClass = probeClass;
  p.codeA = codeA;
  p.codeB = codeB;
  p.scaleMantissa = 1;
  p.scaleExponent = 0;
  p.rangeWindow = (0 << 16) | 2;
  return p;
}

class FakeControl {
 public:
  FakeControl() {
    idle = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    release = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  }
  ~FakeControl() {
    CloseHandle(idle);
    CloseHandle(release);
  }

  // Everything back to a healthy board with nothing logged.
  void Reset() {
    std::lock_guard<std::mutex> lock(m);
    missing.clear();
    queued.clear();
    standing.clear();
    log.clear();
    linkState = kv310::kLinkIdle;
    recoverResult = 0;
    abortResult = 0;
    autoComplete = true;
    boardStatus = 1;
    stuckId = -1;
    stuckSlot = -1;
    ResetEvent(release);
    SetEvent(idle);
    engineTesterReady = false;
    rates = {500, 5000, 50000, 500000};
    rateIndex = 2;
    ranges = {Scaled(2, -1), Scaled(2, 0), Scaled(20, 0)};
    rangeIndex = {1, 1};
    probes = {Probe(3), Probe(3)};
    channelState = {1, 1};
    partCount = 1000;
    upperLimit = 30000;
    lowerLimit = -30000;
    triggerState = 0;
    triggerIndex = 300;
    measuredValid = 1;
    measured = Scaled(50, 0);
    probeInputs = {2, 0};
    inputProbes = {Probe(0), Probe(11, 0, 4, 4)};
    cylinders = 4;
    enginePeak = 1000;
    voltProbes = {Probe(3), Probe(2, 1)};
    voltReading = {};
    voltReading.values[0] = 16384;
    voltReading.rangeIndex = 1;
    voltReading.probe = Probe(3);
    ohmRanges = {Scaled(1, 2), Scaled(1, 3), Scaled(1, 4)};
    ohmReading = {};
    ohmReading.value = 3277;
    ohmReading.rangeIndex = 2;
    ohmReading.probeKind = 0;
    ohmReading.valid = 1;
    diodeRange = Scaled(5, 0);
    diodeReading = {};
    diodeReading.value = 4260;
  }

  // ---- results per slot ------------------------------------------------------------------------
  // The next `times` calls of (id, slot) answer code; times -1: every call from now on.
  void Answer(unsigned id, int slot, int code, int times = 1) {
    std::lock_guard<std::mutex> lock(m);
    if (times < 0) {
      standing[Key(id, slot)] = code;
    } else {
      for (int i = 0; i < times; ++i) queued[Key(id, slot)].push_back(code);
    }
  }
  // (id, slot) blocks until Release (a stuck library).
  void Stick(unsigned id, int slot) {
    std::lock_guard<std::mutex> lock(m);
    stuckId = static_cast<int>(id);
    stuckSlot = slot;
    ResetEvent(release);
  }
  void Release() { SetEvent(release); }

  // Logs the call; true with rc when the test set an answer for it.
  bool Intercept(unsigned id, int slot, int& rc) {
    std::unique_lock<std::mutex> lock(m);
    log.push_back({id, slot});
    if (static_cast<int>(id) == stuckId && slot == stuckSlot) {
      lock.unlock();
      WaitForSingleObject(release, INFINITE);
      lock.lock();
    }
    auto q = queued.find(Key(id, slot));
    if (q != queued.end() && !q->second.empty()) {
      rc = q->second.front();
      q->second.pop_front();
      return true;
    }
    auto s = standing.find(Key(id, slot));
    if (s != standing.end()) {
      rc = s->second;
      return true;
    }
    return false;
  }
  void Log(unsigned id, int slot) {
    std::lock_guard<std::mutex> lock(m);
    log.push_back({id, slot});
  }

  // ---- reading back ----------------------------------------------------------------------------
  int Count(unsigned id, int slot) {
    std::lock_guard<std::mutex> lock(m);
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const Call& c) { return c.id == id && c.slot == slot; }));
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(m);
    return log;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(m);
    log.clear();
  }
  // The slots called on one interface, in order.
  std::vector<int> SlotsOf(unsigned id) {
    std::lock_guard<std::mutex> lock(m);
    std::vector<int> slots;
    for (const Call& c : log)
      if (c.id == id) slots.push_back(c.slot);
    return slots;
  }

  // ---- the link model --------------------------------------------------------------------------
  // A started measurement is pending (state 3, idle event clear) until Complete or Fail.
  void Begin() {
    std::lock_guard<std::mutex> lock(m);
    if (autoComplete) return;
    linkState = kv310::kLinkPending;
    ResetEvent(idle);
  }
  void Complete() {
    std::lock_guard<std::mutex> lock(m);
    linkState = kv310::kLinkIdle;
    SetEvent(idle);
  }
  void Fail() {
    std::lock_guard<std::mutex> lock(m);
    linkState = kv310::kLinkFailed;
    SetEvent(idle);
  }
  int State() {
    std::lock_guard<std::mutex> lock(m);
    return linkState;
  }

  std::mutex m;
  std::set<unsigned> missing;  // ids QueryInterface leaves null
  HANDLE idle = 0;             // the link's manual-reset idle event
  HANDLE release = 0;
  int linkState = kv310::kLinkIdle;
  int recoverResult = 0;  // Recover's answer; 0 also brings a failed link back to idle
  int abortResult = 0;    // AbortRead's answer; 0 ends a pending measurement
  bool autoComplete = true;  // a started measurement completes at once
  uint8_t boardStatus = 1;
  int stuckId = -1, stuckSlot = -1;

  // Both oscilloscopes.
  bool engineTesterReady = false;
  std::vector<int32_t> rates;
  uint16_t rateIndex = 0;
  std::vector<ScaledValue> ranges;
  std::array<uint16_t, 2> rangeIndex{};
  std::array<ProbeDescriptor, 2> probes{};
  std::array<int32_t, 2> channelState{};  // 0 off, 1 AC, 2 DC
  uint32_t partCount = 0;                 // samples per channel and measurement
  int16_t upperLimit = 0, lowerLimit = 0;
  int32_t triggerState = 0, triggerIndex = 0;
  int32_t measuredValid = 0;
  ScaledValue measured{};
  // Engine-tester oscilloscope.
  std::array<uint16_t, 2> probeInputs{};     // probe inputs per channel
  std::vector<ProbeDescriptor> inputProbes;  // descriptors of the inputs of a channel, in order
  uint16_t cylinders = 0;
  int16_t enginePeak = 0;
  // Meters.
  std::array<ProbeDescriptor, 2> voltProbes{};
  VoltmeterReading voltReading{};
  std::vector<ScaledValue> ohmRanges;
  OhmReading ohmReading{};
  ScaledValue diodeRange{};
  DiodeReading diodeReading{};

 private:
  static uint32_t Key(unsigned id, int slot) { return (id << 16) | static_cast<uint32_t>(slot & 0xFFFF); }
  std::map<uint32_t, std::deque<int>> queued;
  std::map<uint32_t, int> standing;
  std::vector<Call> log;
};

// The module's instance (inside the module).
FakeControl& Control();

using ControlProc = FakeControl* (*)();

// The n-th sample the fake oscilloscope reports: a ramp over the whole raw range, so samples lie
// beyond any saturation limit on both sides.
inline int16_t SampleAt(uint32_t i) { return static_cast<int16_t>(-32768 + static_cast<int32_t>((i * 331u) % 65536u)); }

}  // namespace fake
