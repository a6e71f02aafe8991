// The plug-in's scenario values: each one read into the board's scenario, malformed ones refused
// with the default kept, and the request log's lines from the board's observer.
#include "../PluginSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

struct FakeSettings {
  std::map<std::string, uint32_t> dwords;
  std::map<std::string, std::string> texts;
  simplugin::SettingsSource Source() const {
    simplugin::SettingsSource s;
    s.dword = [this](const char* name) -> std::optional<uint32_t> {
      auto it = dwords.find(name);
      return it == dwords.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    };
    s.text = [this](const char* name) -> std::optional<std::string> {
      auto it = texts.find(name);
      return it == texts.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    return s;
  }
};

TEST(PluginSettings, ProbeCodeLists) {
  struct Case {
    const char* text;
    size_t count;
    bool ok;
    std::vector<uint8_t> codes;
  } cases[] = {
      {"3,3", 2, true, {3, 3}},
      {" 1, 2 ", 2, true, {1, 2}},
      {"3 3 4 4 36 52 68 19 37 69", 10, true, {3, 3, 4, 4, 36, 52, 68, 19, 37, 69}},
      {"3,3,3", 2, false, {}},
      {"3", 2, false, {}},
      {"3,256", 2, false, {}},
      {"3,-1", 2, false, {}},
      {"3,x", 2, false, {}},
      {"", 2, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<uint8_t> codes;
    EXPECT_EQ(simplugin::ParseProbeCodes(c.text, c.count, codes), c.ok);
    if (c.ok) {
      EXPECT_EQ(codes, c.codes);
    }
  }
}

TEST(PluginSettings, ScenarioValues) {
  struct Case {
    const char* name;
    FakeSettings settings;
    bool attached;
    int identity;
    int hardware;
    int input4, channelB;
    bool silent;
    size_t refused;
  } cases[] = {
      {"nothing set: defaults", {}, false, 7, 0, 36, 3, false, 0},
      {"engine tester 23", {{{"SimulatedEngineTester", 23}}, {}}, true, 23, 0, 36, 3, false, 0},
      {"engine tester 1 stands for 7", {{{"SimulatedEngineTester", 1}}, {}}, true, 7, 0, 36, 3, false, 0},
      {"engine tester 5 refused", {{{"SimulatedEngineTester", 5}}, {}}, false, 7, 0, 36, 3, false, 1},
      {"reduced variant", {{{"SimulatedHardwareByte", 1}}, {}}, false, 7, 1, 36, 3, false, 0},
      {"hardware byte 2 refused", {{{"SimulatedHardwareByte", 2}}, {}}, false, 7, 0, 36, 3, false, 1},
      {"probe codes", {{}, {{"SimulatedInputProbes", "3,3,4,4,52,52,68,19,37,69"}, {"SimulatedChannelProbes", "3 4"}}},
       false, 7, 0, 52, 4, false, 0},
      {"short probe list refused", {{}, {{"SimulatedInputProbes", "3,3"}}}, false, 7, 0, 36, 3, false, 1},
      {"silent board", {{{"SimulatedSilent", 1}}, {}}, false, 7, 0, 36, 3, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::BoardScenario scenario;
    auto refused = simplugin::ApplyScenarioSettings(c.settings.Source(), scenario);
    EXPECT_EQ(refused.size(), c.refused);
    EXPECT_EQ(scenario.engineTesterAttached, c.attached);
    EXPECT_EQ(scenario.engineTesterIdentity, c.identity);
    EXPECT_EQ(scenario.hardwareByte, c.hardware);
    EXPECT_EQ(scenario.inputProbeCodes[4], c.input4);
    EXPECT_EQ(scenario.channelProbeCodes[1], c.channelB);
    EXPECT_EQ(scenario.commandFaults.size(), c.silent ? 256u : 0u);
  }
}

// The engine on the engine-tester module: its speed, cylinders, weak spark and the leak
// recording's weak compression; a weak cylinder is checked against the count read with it.
TEST(PluginSettings, EngineValues) {
  struct Case {
    const char* name;
    FakeSettings settings;
    double rpm;
    int cylinders, weak;
    double weakKilovolts;
    int leakWeak;
    double leakCompression;
    size_t refused;
  } cases[] = {
      {"nothing set: defaults", {}, 800, 4, 0, 5.0, 0, 0.5, 0},
      {"running engine, cylinder 3 weak",
       {{{"SimulatedEngineRpm", 3000}, {"SimulatedEngineCylinders", 4}, {"SimulatedWeakCylinder", 3},
         {"SimulatedWeakCylinderKilovolts", 4}},
        {}},
       3000, 4, 3, 4.0, 0, 0.5, 0},
      {"engine stands", {{{"SimulatedEngineRpm", 0}}, {}}, 0, 4, 0, 5.0, 0, 0.5, 0},
      {"too fast refused", {{{"SimulatedEngineRpm", 20001}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 1},
      {"eight cylinders, the last weak", {{{"SimulatedEngineCylinders", 8}, {"SimulatedWeakCylinder", 8}}, {}}, 800,
       8, 8, 5.0, 0, 0.5, 0},
      {"no cylinders refused", {{{"SimulatedEngineCylinders", 0}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 1},
      {"nine cylinders refused", {{{"SimulatedEngineCylinders", 9}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 1},
      {"weak cylinder beyond the count refused", {{{"SimulatedWeakCylinder", 5}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 1},
      {"weak spark above 50 kV refused", {{{"SimulatedWeakCylinderKilovolts", 51}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 1},
      {"leak: cylinder 2 at 40 %", {{{"SimulatedLeakWeakCylinder", 2}, {"SimulatedLeakWeakPercent", 40}}, {}}, 800,
       4, 0, 5.0, 2, 0.4, 0},
      {"leak: cylinder 6 of six", {{{"SimulatedEngineCylinders", 6}, {"SimulatedLeakWeakCylinder", 6}}, {}}, 800, 6,
       0, 5.0, 6, 0.5, 0},
      {"leak: beyond the count and above 100 % refused",
       {{{"SimulatedLeakWeakCylinder", 5}, {"SimulatedLeakWeakPercent", 101}}, {}}, 800, 4, 0, 5.0, 0, 0.5, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::BoardScenario scenario;
    const auto refused = simplugin::ApplyScenarioSettings(c.settings.Source(), scenario);
    EXPECT_EQ(refused.size(), c.refused);
    EXPECT_EQ(scenario.engine.rpm, c.rpm);
    EXPECT_EQ(scenario.engine.cylinders, c.cylinders);
    EXPECT_EQ(scenario.engine.weakCylinder, c.weak);
    EXPECT_EQ(scenario.engine.weakCylinderKilovolts, c.weakKilovolts);
    EXPECT_EQ(scenario.leak.weakCylinder, c.leakWeak);
    EXPECT_DOUBLE_EQ(scenario.leak.weakCompression, c.leakCompression);
  }
}

TEST(PluginSettings, SilentBoardAndRequestLogLines) {
  sim::BoardModel board;
  std::vector<std::string> lines;
  board.SetRequestObserver([&](const sim::LoggedRequest& r) { lines.push_back(simplugin::FormatRequestLine(r)); });
  const uint8_t info[] = {0x04, 0x00};
  board.Handle(info);
  FakeSettings settings;
  settings.dwords["SimulatedSilent"] = 1;
  board.Update([&](sim::BoardScenario& s) { simplugin::ApplyScenarioSettings(settings.Source(), s); });
  EXPECT_EQ(board.Handle(info).outcome, sim::Outcome::Silence);
  board.SetRequestObserver(nullptr);
  board.Handle(info);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("1 04 00 -> ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "2 04 00 -> silence");
}

}  // namespace
