#include "PluginSettings.h"

#include <platform/hardware.h>
#include <platform/registry.h>
#include <platform/unique.h>

#include <cctype>
#include <cstdio>

namespace simplugin {

namespace {

const char* OutcomeName(sim::Outcome outcome) {
  switch (outcome) {
    case sim::Outcome::Reply: return "reply";
    case sim::Outcome::Busy: return "busy";
    case sim::Outcome::Nack: return "nack";
    case sim::Outcome::Silence: return "silence";
    case sim::Outcome::Malformed: return "malformed";
    case sim::Outcome::EmptyEvent: return "empty-event";
  }
  return "?";
}

void AppendHex(std::string& line, const std::vector<uint8_t>& bytes) {
  char hex[4];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, " %02X", b);
    line += hex;
  }
}

}  // namespace

SettingsSource RegistrySettings() {
  SettingsSource source;
  source.dword = [](const char* name) -> std::optional<uint32_t> {
    kvp::UniqueHKey key;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueEx(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
      return std::nullopt;
    }
    return value;
  };
  source.text = [](const char* name) -> std::optional<std::string> {
    kvp::UniqueHKey key;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    char text[1024] = {};
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueEx(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return std::nullopt;
    }
    return std::string(text);
  };
  return source;
}

bool ParseProbeCodes(const std::string& text, size_t count, std::vector<uint8_t>& codes) {
  std::vector<uint8_t> parsed;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch == ',' || std::isspace(ch)) {
      ++i;
      continue;
    }
    if (!std::isdigit(ch)) return false;
    unsigned value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      if (value > 255) return false;
      ++i;
    }
    parsed.push_back(static_cast<uint8_t>(value));
  }
  if (parsed.size() != count) return false;
  codes = std::move(parsed);
  return true;
}

std::vector<std::string> ApplyScenarioSettings(const SettingsSource& settings, sim::BoardScenario& scenario) {
  std::vector<std::string> refused;
  if (auto tester = settings.dword("SimulatedEngineTester")) {
    if (*tester == 0) {
      scenario.engineTesterAttached = false;
    } else if (*tester == 1 || *tester == 7 || *tester == 23) {
      scenario.engineTesterAttached = true;
      scenario.engineTesterIdentity = static_cast<uint8_t>(*tester == 23 ? 23 : 7);
    } else {
      refused.push_back("SimulatedEngineTester: 0, 1, 7 or 23 expected");
    }
  }
  if (auto hardware = settings.dword("SimulatedHardwareByte")) {
    if (*hardware <= 1) {
      scenario.hardwareByte = static_cast<uint8_t>(*hardware);
    } else {
      refused.push_back("SimulatedHardwareByte: 0 or 1 expected");
    }
  }
  std::vector<uint8_t> codes;
  if (auto inputs = settings.text("SimulatedInputProbes")) {
    if (ParseProbeCodes(*inputs, scenario.inputProbeCodes.size(), codes)) {
      std::copy(codes.begin(), codes.end(), scenario.inputProbeCodes.begin());
    } else {
      refused.push_back("SimulatedInputProbes: ten codes 0..255 expected");
    }
  }
  if (auto channels = settings.text("SimulatedChannelProbes")) {
    if (ParseProbeCodes(*channels, scenario.channelProbeCodes.size(), codes)) {
      std::copy(codes.begin(), codes.end(), scenario.channelProbeCodes.begin());
    } else {
      refused.push_back("SimulatedChannelProbes: two codes 0..255 expected");
    }
  }
  // The engine: the cylinder count first, the weak cylinders are checked against it.
  const auto inRange = [&](const char* name, uint32_t low, uint32_t high) -> std::optional<uint32_t> {
    auto value = settings.dword(name);
    if (!value) return std::nullopt;
    if (*value >= low && *value <= high) return value;
    refused.push_back(std::string(name) + ": " + std::to_string(low) + ".." + std::to_string(high) + " expected");
    return std::nullopt;
  };
  sim::EngineScenario& engine = scenario.engine;
  if (auto rpm = inRange("SimulatedEngineRpm", 0, 20000)) engine.rpm = *rpm;
  if (auto cylinders = inRange("SimulatedEngineCylinders", 1, sim::kMaxEngineCylinders)) {
    engine.cylinders = static_cast<int>(*cylinders);
  }
  const uint32_t cylinders = static_cast<uint32_t>(engine.cylinders);
  if (auto weak = inRange("SimulatedWeakCylinder", 0, cylinders)) engine.weakCylinder = static_cast<int>(*weak);
  if (auto kv = inRange("SimulatedWeakCylinderKilovolts", 0, 50)) engine.weakCylinderKilovolts = *kv;
  if (auto weak = inRange("SimulatedLeakWeakCylinder", 0, cylinders)) {
    scenario.leak.weakCylinder = static_cast<int>(*weak);
  }
  if (auto percent = inRange("SimulatedLeakWeakPercent", 0, 100)) scenario.leak.weakCompression = *percent / 100.0;
  if (auto silent = settings.dword("SimulatedSilent"); silent && *silent == 1) {
    sim::CommandFault silence;
    silence.fault.kind = sim::FaultKind::Silence;
    for (int command = 0; command < 256; ++command) scenario.commandFaults[static_cast<uint8_t>(command)] = silence;
  }
  return refused;
}

std::string FormatRequestLine(const sim::LoggedRequest& request) {
  std::string line = std::to_string(request.number);
  AppendHex(line, request.payload);
  line += " -> ";
  line += OutcomeName(request.outcome);
  AppendHex(line, request.reply);
  return line;
}

}  // namespace simplugin
