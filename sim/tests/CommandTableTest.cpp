// The command table: every command byte ends in a row that answers any request, and a request
// goes to the module's form of a command only while the module is attached and the request (or
// the set-up before it) is the module's.
#include "CommandTable.h"

#include <gtest/gtest.h>

#include <string>

namespace sim {
namespace {

TEST(CommandTableTest, EveryCommandEndsInARowForAnyRequest) {
  const std::span<const CommandEntry> table = CommandTable();
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(table[i].name);
    if (i > 0) {
      EXPECT_LE(table[i - 1].command, table[i].command) << "ordered by command byte";
    }
    const bool lastOfCommand = i + 1 == table.size() || table[i + 1].command != table[i].command;
    if (lastOfCommand) {
      EXPECT_EQ(table[i].accepts, nullptr);
    }
  }
}

TEST(CommandTableTest, EachVariantAnswersItsOwnRequests) {
  const Bytes arming{0x10, 0x07, 0x03, 0x14, 0x03, 0x14, 0x01, 0x06, 0x01,
                     0x60, 0x80, 0x01, 0xFF, 0x01, 0x12, 0x0A, 0x00, 0x04};
  const Bytes scopeSetup{0x10, 0x03, 0x03, 0x01, 0x03, 0x01, 0x01, 0x04,
                         0x01, 0x80, 0x80, 0x00, 0x00, 0x01, 0x00, 0x00};  // mode 3, type 0
  const Bytes highVoltage{0x10, 0x07, 0x03, 0x0A, 0x03, 0x0A, 0x01, 0x06, 0x01,
                          0x93, 0x80, 0x00, 0x00, 0x01, 0x00, 0x0C, 0x00};  // mode 7, type 12
  const Bytes read{0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xE8};
  struct Case {
    bool attached;
    Bytes lastSetup;
    Bytes request;
    std::string row;
  } cases[] = {
      {true, {}, arming, "polarity arming"},
      {false, {}, arming, "polarity arming"},
      {true, {}, scopeSetup, "engine-tester oscilloscope set-up"},
      {false, {}, scopeSetup, "acquisition set-up"},
      {true, {}, highVoltage, "acquisition set-up"},
      {true, arming, read, "engine frame"},
      {false, arming, read, "acquisition start and read"},
      {true, scopeSetup, read, "engine-tester oscilloscope record"},
      {true, highVoltage, read, "high-voltage frame"},
      {false, highVoltage, read, "acquisition start and read"},
      {true, {}, {0x20, 0x01}, "engine-tester voltmeter set-up"},
      {true, {}, {0x20}, "voltmeter set-up"},
      {false, {}, {0x21, 0x00}, "voltmeter reading"},
      {true, {}, {0x21, 0x00}, "engine-tester voltmeter reading"},
      {true, {}, {0x31}, "engine-tester ohmmeter reading"},
      {false, {}, {0x31}, "ohmmeter reading"},
  };
  for (const Case& c : cases) {
    BoardScenario scenario;
    scenario.engineTesterAttached = c.attached;
    BoardState state;
    state.lastSetup = c.lastSetup;
    const BoardContext board{scenario, state};
    const CommandEntry* entry = FindCommand(board, c.request);
    ASSERT_NE(entry, nullptr) << c.row;
    EXPECT_EQ(std::string(entry->name), c.row) << "attached " << c.attached;
  }
  const BoardScenario scenario;
  BoardState state;
  EXPECT_EQ(FindCommand(BoardContext{scenario, state}, Bytes{0x99}), nullptr);
}

}  // namespace
}  // namespace sim
