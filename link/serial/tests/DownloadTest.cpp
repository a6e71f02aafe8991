// The firmware decision of the serial start, as a table over the settings and the board's answers.
#include "../src/Download.h"

#include <link/FirmwareVersion.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

using namespace kvlink;
using kvlink::serial::Download;
using kvlink::serial::DownloadInputs;

// Records the steps taken as letters: C compare, I information record only, F flash load, R RAM load.
class ScriptedSteps : public kvlink::serial::DownloadSteps {
 public:
  ScriptedSteps(std::deque<int> compares, bool flashOk, bool ramOk)
      : compares_(std::move(compares)), flashOk_(flashOk), ramOk_(ramOk) {}
  int Compare() override {
    trail += 'C';
    if (compares_.empty()) return kVersionNoAnswer;
    const int r = compares_.front();
    compares_.pop_front();
    return r;
  }
  void ReadInfo() override { trail += 'I'; }
  bool LoadFlash() override {
    trail += 'F';
    return flashOk_;
  }
  bool LoadRam() override {
    trail += 'R';
    return ramOk_;
  }
  void Wait(uint32_t ms) override { waitedMs += ms; }
  std::string trail;
  uint32_t waitedMs = 0;

 private:
  std::deque<int> compares_;
  bool flashOk_, ramOk_;
};

TEST(FirmwareDecision, Table) {
  const int S = kVersionSame, N = kVersionFileNewer, B = kVersionBoardNewer, Z = kVersionNoAnswer;
  struct Case {
    const char* name;
    bool reload;
    uint32_t useFlash;
    uint16_t manual;
    std::deque<int> compares;
    bool flashOk, ramOk;
    bool result;
    const char* trail;
    uint32_t waitedMs;
  } cases[] = {
      {"same firmware: no load", false, 0, 0, {S}, true, true, true, "C", 0},
      {"file newer, RAM only", false, 0, 0, {N, S}, true, true, true, "CRC", 400},
      {"board newer loads into RAM", false, 0, 0, {B, S}, true, true, true, "CRC", 400},
      {"no answer with flash allowed", false, 1, 0, {Z, S}, true, true, true, "CFC", 1100},
      {"board newer never takes the flash path", false, 1, 0, {B, S}, true, true, true, "CRC", 400},
      {"UseFlash 2 goes to flash without asking", false, 2, 0, {S}, true, true, true, "FC", 1100},
      {"UseFlash 3 too", false, 3, 0, {S}, true, true, true, "FC", 1100},
      {"flash fails: RAM", false, 1, 0, {N, S}, false, true, true, "CFRC", 400},
      {"reload skips the comparison and flash", true, 2, 0, {S}, true, true, true, "RC", 400},
      {"manual 1 never loads", true, 0, 1, {N}, true, true, true, "C", 0},
      {"manual 1 with UseFlash 2 still reads the record", false, 2, 1, {}, true, true, true, "I", 0},
      {"manual 2 always loads, flash first", true, 0, 2, {S}, true, true, true, "FC", 1100},
      {"load fails", false, 0, 0, {N}, true, false, false, "CR", 0},
      {"check gives up after six tries", false, 0, 0, {N, N, N, N, N, N, N}, true, true, false, "CRCCCCCC", 900},
      {"check passes on the third try", false, 0, 0, {N, Z, B, S}, true, true, true, "CRCCC", 600},
  };
  for (const auto& c : cases) {
    ScriptedSteps steps(c.compares, c.flashOk, c.ramOk);
    DownloadInputs in;
    in.reload = c.reload;
    in.useFlash = c.useFlash;
    in.manualMode = c.manual;
    in.reloadWait = 300;
    EXPECT_EQ(Download(in, steps), c.result) << c.name;
    EXPECT_EQ(steps.trail, c.trail) << c.name;
    EXPECT_EQ(steps.waitedMs, c.waitedMs) << c.name;
  }
}

}  // namespace
