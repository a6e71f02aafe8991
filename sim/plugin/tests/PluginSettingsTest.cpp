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
