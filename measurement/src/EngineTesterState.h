// What the library knows of the engine-tester board, shared by every instrument on any caller
// thread: whether its firmware has been checked since load and whether it is ready, whether the
// engine parameters changed since the last configuration, the engine parameters themselves, the
// probe last seen on each of its ten inputs, and its firmware with the correction words of the
// last check.
//
// One record beside the library's other shared state (EngineState() in Library.h). IMotortester_6
// is the callers' interface to it; the instruments, the command set and the arithmetic read and
// write it here. The flags are atomics; the parameter blocks and the input store are guarded by
// one lock.
#pragma once

#include "EngineTesterFirmware.h"

#include <kv310/Records.h>

#include <atomic>
#include <mutex>

namespace kv310 {

class EngineTesterState {
 public:
  static constexpr int kInputCount = 10;

  EngineTesterState();
  EngineTesterState(const EngineTesterState&) = delete;
  EngineTesterState& operator=(const EngineTesterState&) = delete;

  bool FirmwareChecked() const { return m_firmwareChecked.load(); }
  void SetFirmwareChecked(bool on) { m_firmwareChecked.store(on); }
  bool EngineTesterReady() const { return m_engineTesterReady.load(); }
  void SetEngineTesterReady(bool on) { m_engineTesterReady.store(on); }
  // A reply without the engine-tester module: the next engine-tester operation checks again.
  void ClearEngineTesterFlags() {
    m_firmwareChecked.store(false);
    m_engineTesterReady.store(false);
  }

  // Set by every change of an engine parameter; the instruments configure again when they find it.
  bool ParamsChanged() const { return m_paramsChanged.load(); }
  void SetParamsChanged(bool on) { m_paramsChanged.store(on); }
  // Clears ParamsChanged and tells whether it was set.
  bool TakeParamsChanged() { return m_paramsChanged.exchange(false); }

  EngineParameterBlock CurrentParams() const;
  EngineParameterBlock DefaultParams() const { return m_defaults; }
  // Edits the current parameters under the lock (`change(block)`); marks ParamsChanged when
  // `change` returns true.
  template <typename Change>
  void UpdateParams(Change change) {
    bool changed;
    {
      std::lock_guard<std::mutex> hold(m_lock);
      changed = change(m_current);
    }
    if (changed) SetParamsChanged(true);
  }
  // The high-voltage probe type follows the reference probe the board reports (not a setting
  // change: ParamsChanged stays as it is).
  void SetHiVoltageProbeType(int32_t type);

  // The probe descriptor last seen on an engine-tester input (0..9); no probe for another input.
  ProbeDescriptor InputDescriptor(int input) const;
  void StoreInputDescriptor(int input, const ProbeDescriptor& probe);

  EngineTesterFirmware& Firmware() { return m_firmware; }
  const EngineTesterFirmware& Firmware() const { return m_firmware; }
  // Correction word 1..6 of the last firmware check, in the order the board sends them; 0 before
  // the first check and outside 1..6.
  uint16_t Correction(int word) const { return m_firmware.Correction(word - 1); }

 private:
  std::atomic<bool> m_firmwareChecked{false};
  std::atomic<bool> m_engineTesterReady{false};
  std::atomic<bool> m_paramsChanged{false};

  mutable std::mutex m_lock;  // parameter blocks and the per-input store
  const EngineParameterBlock m_defaults;
  EngineParameterBlock m_current;
  ProbeDescriptor m_inputs[kInputCount];

  EngineTesterFirmware m_firmware;
};

// The engine tester's built-in parameters: a four-cylinder four-stroke spark-ignition engine.
EngineParameterBlock BuiltInEngineParams();

// The firmware check: clears the ready flag, compares and if needed downloads the engine tester's
// firmware, takes its correction values and sets the ready flag again on success.
int UpdateEngineTesterFirmware();
// Runs the check unless it has succeeded since load (FirmwareChecked), and marks it done.
int EnsureFirmwareChecked();

}  // namespace kv310
