// The engine tester's firmware check against the board model: the version compare, the line by
// line download, the correction values, and how each step fails.
#include "EngineTesterFirmware.h"
#include "EngineTesterFixture.h"

#include <algorithm>
#include <functional>

namespace kv310::testing {
namespace {

using sim::BoardScenario;
using sim::Fault;
using sim::FaultKind;

// Each row on a started link, a fresh board and a fresh firmware object.
class FirmwareCheckTest : public EngineTesterFixture {
 protected:
  bool StartsLink() const override { return true; }

  int RunCheck(EngineTesterFirmware& firmware) {
    auto check = InBackground([&] { return firmware.Check(); });
    AdvanceUntilReady(check, 100);  // time-outs run on the virtual clock
    return check.get();
  }

  // The HEX lines the board received (60 03 requests), without the subcommand.
  std::vector<std::string> LinesSent() {
    std::vector<std::string> lines;
    for (const sim::Bytes& request : Requests())
      if (request.size() >= 2 && request[0] == 0x60 && request[1] == 0x03) lines.emplace_back(request.begin() + 2, request.end());
    return lines;
  }
};

const FirmwareImage kImage = FirmwareImage::WithRecords(3, "Version 2.05");

FirmwareImage WithLineEnd(FirmwareImage image, const char* lineEnd) {
  image.lineEnd = lineEnd;
  return image;
}

TEST_F(FirmwareCheckTest, Dialogue) {
  const std::vector<uint8_t> kSame = {0x01, 0x05};
  const std::vector<uint8_t> kDownload = {0x01, 0x04, 0x03, 0x03, 0x03, 0x01, 0x05};
  const std::string longLine = ":" + std::string(4095, '0');
  struct Case {
    const char* what;
    std::string file;        // the file's text; empty: no file is written
    std::string board;       // the board's version text
    std::function<void(BoardScenario&)> scenario;
    int code;
    std::vector<uint8_t> dialogue;  // 60 subcommands in order
    std::vector<std::string> lines;  // HEX lines sent
  } cases[] = {
      {"equal versions: no download", kImage.Text(), "Version 2.05", nullptr, kOk, kSame, {}},
      {"different versions: every record up to the end record, in order", kImage.Text(), "Version 1.00", nullptr, kOk,
       kDownload, kImage.records},
      {"equal versions in a file with CR LF line ends", WithLineEnd(kImage, "\r\n").Text(), "Version 2.05", nullptr,
       kOk, kSame, {}},
      {"CR LF lines go out without their CR", WithLineEnd(kImage, "\r\n").Text(), "Version 1.00", nullptr, kOk,
       kDownload, kImage.records},
      {"a file shorter than 40 bytes is read whole", "Version 2.05\n", "Version 2.05", nullptr, kOk, kSame, {}},
      {"a version line without a final line feed keeps its last character",
       kImage.Text().substr(0, kImage.Text().size() - 1), "Version 2.05", nullptr, kOk, kSame, {}},
      {"a file without end record: its last line goes out without a line feed",
       kImage.records[0] + "\n" + kImage.records[1] + "\n" + kImage.records[2], "Version 1.00", nullptr, kOk,
       {0x01, 0x04, 0x03, 0x03, 0x03, 0x01, 0x05}, kImage.records},
      {"the end record with a trailing blank is sent like any line (and refused by the loader)",
       kImage.records[0] + "\n" + std::string(kHexEndRecord) + " \n" + kImage.records[1] + "\n", "Version 1.00",
       nullptr, kFirmwareLineRefused, {0x01, 0x04, 0x03, 0x03}, {kImage.records[0], std::string(kHexEndRecord) + " "}},
      {"a line too long for one request is refused without being sent", kImage.records[0] + "\n" + longLine + "\n",
       "Version 1.00", nullptr, kFirmwareLineRefused, {0x01, 0x04, 0x03}, {kImage.records[0]}},
      {"a line the board refuses", kImage.Text(), "Version 1.00",
       [](BoardScenario& s) { s.refuseFirmwareLine = 2; }, kFirmwareLineRefused, {0x01, 0x04, 0x03, 0x03},
       {kImage.records[0], kImage.records[1]}},
      {"a corrupt record is refused by the board",
       kImage.records[0] + "\n:10000000FF\n" + kHexEndRecord + "\n", "Version 1.00", nullptr,
       kFirmwareLineRefused, {0x01, 0x04, 0x03, 0x03}, {kImage.records[0], ":10000000FF"}},
      {"no engine tester: version status 1", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) { s.engineTesterAttached = false; }, kFirmwareVersionStatus, {0x01}, {}},
      {"version status with detail 2", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) {
         s.firmwareVersionStatus = 3;
         s.firmwareVersionDetail = 2;
       }, kBoardErrorStatus,
       {0x01}, {}},
      {"another version status", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) { s.firmwareVersionStatus = 3; }, kBadReply, {0x01}, {}},
      {"version reply too short", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) { s.faultOnRequest[1] = Fault{FaultKind::Truncate, {}, 0, 3}; }, kBadReply, {0x01}, {}},
      {"download mode not confirmed", kImage.Text(), "Version 1.00",
       [](BoardScenario& s) { s.faultOnRequest[2] = Fault{FaultKind::Truncate, {}, 0, 3}; }, kNoDownloadMode,
       {0x01, 0x04}, {}},
      {"corrections reply without its last value", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) { s.faultOnRequest[2] = Fault{FaultKind::Truncate, {}, 0, 8}; }, kBoardErrorStatus,
       {0x01, 0x05}, {}},
      {"corrections refused", kImage.Text(), "Version 2.05",
       [](BoardScenario& s) { s.faultOnRequest[2] = Fault{FaultKind::ErrorStatus, {}, 0x81}; }, kBoardErrorStatus,
       {0x01, 0x05}, {}},
      {"the board falls silent during the download", kImage.Text(), "Version 1.00",
       [](BoardScenario& s) { s.faultOnRequest[4] = Fault{FaultKind::Silence}; }, kLinkTimeout,
       {0x01, 0x04, 0x03, 0x03}, {kImage.records[0], kImage.records[1]}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (m_link->GetState() == kStateError) {
      ASSERT_EQ(m_link->Recover(), kStateIdle);
    }
    Board().Reset();
    WriteFile(kFirmwarePath, c.file);
    SetFirmwareFileValue(kFirmwarePath);
    Board().Update([&](BoardScenario& s) {
      s.engineTesterAttached = true;
      s.engineTesterFirmware = c.board;
      s.engineTesterFirmwareAfterDownload = "Version 2.05";
      s.corrections = {11, 12, 13, 14, 15, 16};
      if (c.scenario) c.scenario(s);
    });
    EngineTesterFirmware firmware;
    EXPECT_EQ(RunCheck(firmware), c.code);
    EXPECT_EQ(FirmwareDialogue(), c.dialogue);
    EXPECT_EQ(LinesSent(), c.lines);
    if (c.code == kOk) {
      // Read again right after the download, while the board still runs its loader.
      const bool downloaded = std::find(c.dialogue.begin(), c.dialogue.end(), 0x04) != c.dialogue.end();
      EXPECT_EQ(firmware.BoardVersion(), downloaded ? "V-LOADER" : "Version 2.05");
      for (int i = 0; i < 6; ++i) EXPECT_EQ(firmware.Correction(i), 11 + i);
    }
  }
}

TEST_F(FirmwareCheckTest, RegistryAndFileRefusals) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int code;
  } cases[] = {
      {"no parameter key", [] { RemoveParameterKey(); }, kFirmwareKeyMissing},
      {"no value", [] { SetFirmwareFileValue(nullptr); }, kNoLink},
      {"a file that does not exist", [] { SetFirmwareFileValue("missing.hex"); }, kNoLink},
  };
  Board().Update([](BoardScenario& s) { s.engineTesterAttached = true; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().ClearLog();
    c.prepare();
    EngineTesterFirmware firmware;
    EXPECT_EQ(firmware.Check(), c.code);
    EXPECT_TRUE(Requests().empty()) << "nothing is asked of the board";
  }
}

TEST_F(FirmwareCheckTest, FileWithoutVersionKeepsThePreviousText) {
  Board().Update([](BoardScenario& s) {
    s.engineTesterAttached = true;
    s.engineTesterFirmware = "Version 2.05";
  });
  WriteFile(kFirmwarePath, kImage.Text());
  SetFirmwareFileValue(kFirmwarePath);
  EngineTesterFirmware firmware;
  ASSERT_EQ(firmware.Check(), kOk);

  // No 'V' in the last 40 bytes: the text of the earlier check stays, and still matches.
  FirmwareImage unnamed = kImage;
  unnamed.version = "0123456789";
  WriteFile(kFirmwarePath, unnamed.Text());
  Board().ClearLog();
  EXPECT_EQ(firmware.Check(), kOk);
  EXPECT_EQ(firmware.FileVersion(), "Version 2.05");
  EXPECT_EQ(FirmwareDialogue(), (std::vector<uint8_t>{0x01, 0x05}));
}

TEST_F(FirmwareCheckTest, InterruptedDownloadStartsAgain) {
  WriteFile(kFirmwarePath, kImage.Text());
  SetFirmwareFileValue(kFirmwarePath);
  Board().Update([](BoardScenario& s) {
    s.engineTesterAttached = true;
    s.engineTesterFirmware = "Version 1.00";
    s.engineTesterFirmwareAfterDownload = "Version 2.05";
    s.refuseFirmwareLine = 3;
  });
  EngineTesterFirmware firmware;
  ASSERT_EQ(firmware.Check(), kFirmwareLineRefused);
  EXPECT_TRUE(Board().State().downloadMode) << "the board stays in its loader";

  Board().Update([](BoardScenario& s) { s.refuseFirmwareLine = 0; });
  Board().ClearLog();
  EXPECT_EQ(firmware.Check(), kOk);
  EXPECT_EQ(FirmwareDialogue(), (std::vector<uint8_t>{0x01, 0x04, 0x03, 0x03, 0x03, 0x01, 0x05}))
      << "the loader's version differs from the file's, so the download starts over";
  EXPECT_EQ(firmware.BoardVersion(), "V-LOADER") << "read before the board leaves its loader";
}

}  // namespace
}  // namespace kv310::testing
