// The board's own instruments on a started link to the board model: the interface objects, and
// a wait for acquisition replies that moves the virtual clock while the board takes its samples.
#pragma once

#include "LinkFixture.h"
#include "instruments/ImplementationDiodeTest_5.h"
#include "instruments/ImplementationMotortester_6.h"
#include "instruments/ImplementationOhmmeter_4.h"
#include "instruments/ImplementationOscilloscope_2.h"
#include "instruments/ImplementationVoltmeter_3.h"

#include <platform/sync.h>

#include <chrono>
#include <kv310/ResultCodes.h>
#include <thread>

namespace kv310::testing {

class BoardInstrumentFixture : public LinkFixture {
 protected:
  template <typename Impl, typename Interface>
  static Impl& Instrument(unsigned id) {
    return *static_cast<Impl*>(static_cast<Interface*>(InterfaceOf(id)));
  }
  ImplementationOscilloscope_2& Osc() { return Instrument<ImplementationOscilloscope_2, IOscilloscope_2>(kOscilloscope); }
  ImplementationVoltmeter_3& Volt() { return Instrument<ImplementationVoltmeter_3, IVoltmeter_3>(kVoltmeter); }
  ImplementationOhmmeter_4& Ohm() { return Instrument<ImplementationOhmmeter_4, IOhmmeter_4>(kOhmmeter); }
  ImplementationDiodeTest_5& Diode() { return Instrument<ImplementationDiodeTest_5, IDiodeTest_5>(kDiodeTest); }
  ImplementationMotortester_6& Tester() { return *EngineTester(); }

  void Scenario(void (*change)(sim::BoardScenario&)) { Board().Update(change); }
  template <typename F>
  void Change(F change) {
    Board().Update(change);
  }

  // Moves the virtual clock in small steps while the link worker (or the board's delivery)
  // waits, until the pending request is complete.
  void WaitForReply(uint64_t stepMs = 1) {
    const HANDLE idle = m_link->IdleEvent();
    while (WaitForSingleObject(idle, 0) != WAIT_OBJECT_0) {
      if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(stepMs);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }

  // Start, wait for the board's samples, read them.
  int Acquire(uint32_t count = 1000, uint64_t stepMs = 1) {
    const int code = Osc().StartMeasurement(count);
    if (code != kOk) return code;
    WaitForReply(stepMs);
    return Osc().GetData();
  }

  // The last request of a command the board received.
  sim::Bytes LastRequest(uint8_t command) {
    const auto requests = Board().RequestPayloads();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it)
      if (!it->empty() && (*it)[0] == command) return *it;
    return {};
  }
};

}  // namespace kv310::testing
