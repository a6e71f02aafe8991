// IInfo_0 against the board model: version, board texts and hardware type.
#include "EngineTesterFixture.h"

#include <functional>

namespace kv310::testing {
namespace {

using sim::BoardScenario;
using sim::Fault;
using sim::FaultKind;

class IdentityTest : public EngineTesterFixture {};

TEST_F(IdentityTest, Version) {
  uint16_t major = 0, high = 0, low = 0;
  EXPECT_EQ(Info().GetVersion(&major, &high, &low), kOk);
  EXPECT_EQ(major, 11);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(Info().GetVersion(nullptr, nullptr, &low), kOk) << "missing outputs are skipped";
}

TEST_F(IdentityTest, WithoutLink) {
  uint8_t type = 9;
  EXPECT_STREQ(Info().GetBoardName(), "Error reading Board Name");
  EXPECT_STREQ(Info().GetMotortesterName(), "Error reading Motortester Name");
  EXPECT_EQ(Info().GetBoardStatus(&type), kNoData);
  EXPECT_EQ(type, 0);
}

TEST_F(IdentityTest, BoardName) {
  struct Case {
    const char* what;
    uint16_t boardId;
    const char* firmware;
    const char* board;
    const char* text;
  } cases[] = {
      {"firmware and board texts", 0x0310, "3.10", "K310", "Measurement board KV310 version 3.10 (K310)"},
      {"cut to 14 characters", 0x0310, "12.3456", "K310A", "Measurement board KV310 version 12.3456 (K310A"},
      {"an empty information record", 0, "3.10", "K310", "Measurement board KV310 error "},
  };
  OpenAndStart();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().Update([&](BoardScenario& s) {
      s.hwSwInfo.boardId = c.boardId;
      sim::SetHwSwText(s.hwSwInfo.firmwareText, c.firmware);
      sim::SetHwSwText(s.hwSwInfo.boardName, c.board);
    });
    EXPECT_STREQ(Info().GetBoardName(), c.text);
  }
  EXPECT_TRUE(Requests().empty()) << "the name comes from the link's information record";
}

TEST_F(IdentityTest, MotortesterName) {
  struct Case {
    const char* what;
    bool attached;
    const char* version;
    const char* text;
  } cases[] = {
      {"the number after the word Version", true, "Version 2.05", "Measurement board Motortester version 2.05"},
      {"the text from its first V", true, "fw Version 3.1", "Measurement board Motortester version 3.1"},
      {"a text without an n is shown whole", true, "V3.1", "Measurement board Motortester version V3.1"},
      {"no engine tester", false, "Version 2.05", "Motortester board error"},
  };
  OpenAndStart();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AttachEngineTester(c.attached);
    Board().Update([&](BoardScenario& s) { s.engineTesterFirmware = c.version; });
    EXPECT_STREQ(Info().GetMotortesterName(), c.text);
    EXPECT_EQ(Requests().back(), (sim::Bytes{0x60, 0x01}));
  }
}

TEST_F(IdentityTest, BoardStatus) {
  struct Case {
    const char* what;
    std::function<void(BoardScenario&)> scenario;
    int code;
    uint8_t type;
  } cases[] = {
      {"full board", [](BoardScenario& s) { s.hardwareByte = 0; }, kOk, 1},
      {"reduced variant", [](BoardScenario& s) { s.hardwareByte = 1; }, kOk, 2},
      {"unknown hardware byte", [](BoardScenario& s) { s.hardwareByte = 7; }, kOk, 0},
      {"reply without the hardware byte",
       [](BoardScenario& s) { s.commandFaults[0x02] = {Fault{FaultKind::Truncate, {}, 0, 2}, 1}; }, kBadReply, 0},
      {"error status", [](BoardScenario& s) { s.commandFaults[0x02] = {Fault{FaultKind::ErrorStatus, {}, 1}, 1}; },
       kBadReply, 0},
      {"no answer", [](BoardScenario& s) { s.commandFaults[0x02] = {Fault{FaultKind::Silence}, 1}; }, kLinkTimeout,
       0},
  };
  OpenAndStart();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (Communication().GetState() == kLinkFailed) {
      ASSERT_EQ(Communication().Recover(), kOk);
    }
    Board().Update(c.scenario);
    uint8_t type = 9;
    auto status = InBackground([&] { return Info().GetBoardStatus(&type); });
    AdvanceUntilReady(status, 100);
    EXPECT_EQ(status.get(), c.code);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(Requests().back(), (sim::Bytes{0x02, 0x02}));
  }
  EXPECT_EQ(Info().GetBoardStatus(nullptr), kBadArgument);
}

TEST_F(IdentityTest, BoardStatusOnALinkNotStarted) {
  ASSERT_EQ(Communication().Open(), kOk);
  uint8_t type = 9;
  EXPECT_EQ(Info().GetBoardStatus(&type), kBadReply) << "the request cannot go out";
  EXPECT_EQ(type, 0);
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace kv310::testing
