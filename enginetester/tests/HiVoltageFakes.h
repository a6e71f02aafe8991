// Scripted stand-ins for the high-voltage meter and the link: the link's idle event is cleared
// by every arm and set by the test (Complete), so each batch waits until the test lets it go.
#pragma once

#include <kv310/Interfaces.h>

#include <platform/sync.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace ettest {

inline CylinderValue Cylinder(int volts, uint16_t channel, int kind = 11, uint8_t valid = 1) {
  CylinderValue c{};
  c.value.mantissa = volts;
  c.value.exponent = 0;
  c.cylinder = channel;
  c.valid = valid;
  c.probe.kind = kind;
  return c;
}

class FakeLink : public ICommunication_1 {
 public:
  FakeLink() { idle = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~FakeLink() { CloseHandle(idle); }
  HANDLE GetIdleEvent() override { return noIdle ? HANDLE(0) : idle; }
  int GetState() override { return 0; }
  int Open() override { return 0; }
  int Close() override { return 0; }
  int Start() override { return 0; }
  int Stop() override { return 0; }
  int Recover() override { return ++recovers, 0; }
  int AbortRead() override { return 0; }
  int WaitIdle() override { return 0; }
  int SetNotification(HWND, UINT, UINT) override { return 0; }
  void Complete() { SetEvent(idle); }

  HANDLE idle = 0;
  std::atomic<bool> noIdle{false};
  std::atomic<int> recovers{0};
};

class FakeMeter : public IMTHiVoltage_14 {
 public:
  explicit FakeMeter(FakeLink& l) : link(l) { gate = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~FakeMeter() { CloseHandle(gate); }

  int ReadProbe(ProbeDescriptor*) override { return 0; }
  int GetMode(int32_t*) override { return 0; }
  int SetMode(int32_t) override { return 0; }
  int Rearm() override { return ++rearms, 0; }
  int TogglePolarity() override { return 0; }
  int Arm() override {
    const int now = ++inside;
    int seen = maxInside.load();
    while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
    }
    ++arms;
    WaitForSingleObject(gate, INFINITE);  // a library that does not answer
    int rc = 0;
    {
      std::lock_guard<std::mutex> lock(m);
      if (!armResults.empty()) {
        rc = armResults.front();
        armResults.pop_front();
      }
    }
    if (rc == 0 && pend.load()) ResetEvent(link.idle);  // a measurement is pending until the test completes it
    --inside;
    return rc;
  }
  int ReadFrame() override { return frameResult.load(); }
  int GetCylinderRecordCount(uint16_t* count) override {
    *count = reported.load();
    return 0;
  }
  int GetCylinderValues(uint16_t index, CylinderValue* values) override {
    std::lock_guard<std::mutex> lock(m);
    indexes.push_back(index);
    if (valuesResult) return valuesResult;
    // Writes as many records as it holds, like the library in a mode other than the panel's.
    for (size_t i = 0; i < records.size(); ++i) values[i] = records[i];
    return 0;
  }
  int GetEngineSpeed(MeasuredValue* speed) override {
    ++speedReads;
    MeasuredValue m{};
    m.value.mantissa = speedValue.load();
    m.probe.kind = speedKind.load();
    m.valid = 1;
    *speed = m;
    return 0;
  }

  void SetRecords(std::vector<CylinderValue> r) {
    std::lock_guard<std::mutex> lock(m);
    records = std::move(r);
  }
  void QueueArm(int rc) {
    std::lock_guard<std::mutex> lock(m);
    armResults.push_back(rc);
  }
  std::vector<uint16_t> Indexes() {
    std::lock_guard<std::mutex> lock(m);
    return indexes;
  }

  FakeLink& link;
  HANDLE gate = 0;  // reset: Arm blocks
  std::mutex m;
  std::deque<int> armResults;
  std::vector<CylinderValue> records;
  std::vector<uint16_t> indexes;
  int valuesResult = 0;
  std::atomic<bool> pend{true};  // false: the link is idle again at once
  std::atomic<int> frameResult{0};
  std::atomic<uint16_t> reported{4};
  std::atomic<int> speedValue{3000};
  std::atomic<int> speedKind{5};
  std::atomic<int> arms{0}, rearms{0}, speedReads{0}, inside{0}, maxInside{0};
};

}  // namespace ettest
