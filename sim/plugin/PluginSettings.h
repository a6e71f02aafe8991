// The simulated board's scenario as the plug-in reads it from the platform settings key (HKLM
// "SOFTWARE\KV310Platform"), so a program run as a child process meets the board a test chose:
//   "SimulatedEngineTester"   DWORD, 0 absent (default); 7 or 23 attached with that identity
//                             (1 stands for 7)
//   "SimulatedHardwareByte"   DWORD, 0 full board (default), 1 reduced variant
//   "SimulatedInputProbes"    REG_SZ, the probe codes of the ten engine-tester inputs ("3,3,4,...")
//   "SimulatedChannelProbes"  REG_SZ, the probe codes of channels A and B ("3,3")
//   "SimulatedSilent"         DWORD, 1 = the board answers no request
//   "SimulatedEngineRpm"      DWORD 0..20000, the engine's speed (0: the engine stands)
//   "SimulatedEngineCylinders" DWORD 1..8
//   "SimulatedWeakCylinder"   DWORD, the cylinder (1 up to the count) whose spark is weak; 0 none
//   "SimulatedWeakCylinderKilovolts" DWORD 0..50, that spark's secondary voltage in whole kV
//   "SimulatedLeakWeakCylinder" DWORD, the cylinder (1 up to the count, in firing order) whose
//                             compression the leak recording shows low; 0 none
//   "SimulatedLeakWeakPercent" DWORD 0..100, its compression hump relative to the others
//   "SimulatedRequestLog"     REG_SZ, a file that gets one line per request (number, request
//                             payload, outcome, reply payload, in hex)
// A value that cannot be read as described is reported on stderr and leaves the default.
#pragma once

#include <sim/BoardModel.h>
#include <sim/BoardScenario.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace simplugin {

struct SettingsSource {
  std::function<std::optional<uint32_t>(const char* name)> dword;
  std::function<std::optional<std::string>(const char* name)> text;
};

// The platform settings key of the registry.
SettingsSource RegistrySettings();

// Exactly `count` numbers 0..255, separated by commas and/or blanks; false otherwise.
bool ParseProbeCodes(const std::string& text, size_t count, std::vector<uint8_t>& codes);

// Applies the scenario values found; messages for the values that were refused.
std::vector<std::string> ApplyScenarioSettings(const SettingsSource& settings, sim::BoardScenario& scenario);

// "12 05 04 04 00 -> reply 06 02 ..." for one logged request.
std::string FormatRequestLine(const sim::LoggedRequest& request);

}  // namespace simplugin
