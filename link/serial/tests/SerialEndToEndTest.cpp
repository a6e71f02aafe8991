// ZLINKSER loaded by name, started over the virtual COM port against the serial board: the
// firmware decision with a real board dialogue, the board information, and requests answered.
#include "SerialTestSupport.h"

#include <link/LinkBinding.h>
#include <link/LinkExports.h>

#include <platform/debug.h>
#include <platform/module.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>
#include <cstdlib>
#include <cstring>

namespace {

using namespace serialtest;
using S = sim::SerialBoardState;

struct Link : kvlink::LinkExportSet {
  Link() {
    const char* bin = std::getenv("KV_BIN_DIR");
    const std::string name = bin ? std::string(bin) + "/ZLINKSER.dll" : "ZLINKSER.dll";
    module = LoadLibrary(name.c_str());
    LinkExportSet::Bind(module);
    fileVersion = kvlink::BindExport<LinkGetFirmwareFileVersionProc>(module, "GetFirmwareFileVersion");
    manualMode = kvlink::BindExport<LinkSetManualFlashModeProc>(module, "SetManualFlashMode");
  }
  ~Link() {
    if (module) FreeLibrary(module);
  }
  // One request, its reply frame (empty when none came within 20 s of real time).
  std::vector<uint8_t> Request(const std::vector<uint8_t>& payload) {
    const auto frame = Frame(payload);
    if (Write(frame.data(), static_cast<int>(frame.size())) != static_cast<int>(frame.size())) return {};
    std::vector<uint8_t> got;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < limit) {
      uint8_t buf[512];
      const int n = Read(buf, sizeof buf);
      got.insert(got.end(), buf, buf + n);
      if (got.size() >= 4 && got.size() >= static_cast<size_t>(got[2] | got[3] << 8) + 6u) break;
      if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
  }

  HMODULE module = 0;
  LinkGetFirmwareFileVersionProc fileVersion = nullptr;
  LinkSetManualFlashModeProc manualMode = nullptr;
};

bool Visited(const std::vector<S>& history, S state) {
  return std::find(history.begin(), history.end(), state) != history.end();
}

// Loaded, the library traces the start and the end of every thread the platform runs, as it
// traces its own load.
TEST(SerialEndToEnd, TracesThreadsStartingAndEnding) {
  std::vector<std::string> lines;
  std::mutex linesLock;
  auto previous = kvp::SetDebugSink([&](const std::string& line) {
    std::lock_guard lock(linesLock);
    lines.push_back(line);
  });
  {
    Link link;
    ASSERT_NE(link.module, 0u);
    HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
  }
  kvp::SetDebugSink(previous);
  auto count = [&](const std::string& line) { return std::count(lines.begin(), lines.end(), "J2534: " + line); };
  EXPECT_EQ(count("*** DLL_PROCESS_ATTACH ****\n"), 1);
  EXPECT_EQ(count("*** DLL_THREAD_ATTACH ****\n"), 1);
  EXPECT_EQ(count("*** DLL_THREAD_DETACH ****\n"), 1);
  EXPECT_EQ(count("*** DLL_PROCESS_DETACH ****\n"), 1);
}

TEST(SerialEndToEnd, StartsTheBoardAsTheSettingsAndFirmwareSay) {
  enum class Load { None, Ram, Flash };
  struct Case {
    const char* name;
    bool flashHasApp;
    std::string boardVersion;
    std::map<std::string, uint32_t> dwords;
    uint16_t manual;
    Load load;
  } cases[] = {
      {"equal firmware: no load", true, "3.10", {}, 0, Load::None},
      {"empty flash: RAM load", false, "", {}, 0, Load::Ram},
      {"empty flash, flash allowed: flash load", false, "", {{"UseFlash", 1}}, 0, Load::Flash},
      {"older board: RAM load", true, "3.9", {}, 0, Load::Ram},
      {"newer board is loaded too", true, "3.20", {}, 0, Load::Ram},
      {"ReloadFirmware with equal firmware", true, "3.10", {{"ReloadFirmware", 1}}, 0, Load::Ram},
      {"UseFlash 2 loads flash without asking", true, "3.10", {{"UseFlash", 2}}, 0, Load::Flash},
      {"manual mode 1 never loads", false, "", {}, 1, Load::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RigOptions options;
    options.board.flashHasApp = c.flashHasApp;
    options.board.flashVersion = c.boardVersion;
    options.board.eraseMs = 400;
    options.fileVersion = "3.10";
    options.dwords = c.dwords;
    SerialRig rig(options);
    Link link;
    ASSERT_NE(link.module, 0u);
    link.manualMode(c.manual);
    ASSERT_EQ(link.Init(kLinkKey, nullptr), 0) << ::testing::PrintToString(rig.trace.Lines());
    const auto history = rig.board->StateHistory();
    EXPECT_EQ(Visited(history, S::Rom), c.load != Load::None);
    EXPECT_EQ(Visited(history, S::Stage3), c.load != Load::None);
    if (c.load == Load::Flash) {
      EXPECT_GE(rig.board->Flash().size(), rig.files.firmwareImage.size());
      EXPECT_EQ(rig.board->RunningVersion(), "3.10");
    }
    if (c.load == Load::Ram) {
      EXPECT_GE(rig.board->Ram().size(), rig.files.firmwareImage.size());
      EXPECT_TRUE(rig.board->Flash().empty());
      EXPECT_EQ(rig.board->RunningVersion(), "3.10");
    }
    if (c.manual != 1) {
      EXPECT_EQ(rig.board->State(), S::App);
      HwSwInfo info{};
      link.GetHwSwInfo(&info);
      EXPECT_EQ(info.boardId, 0x0310);
      EXPECT_EQ(info.boardStatus, 0x0208);
      EXPECT_STREQ(info.firmwareText, "3.10");
      // A request goes through the block protocol and is answered.
      EXPECT_EQ(link.Request({0x02, 0x02}), Frame({0x02, 0x00, 0x00}));
    }
    if (c.dwords.count("UseFlash") && c.dwords.at("UseFlash") == 2) {
      EXPECT_EQ(rig.GetDword("UseFlash"), 1u);
    }
    EXPECT_EQ(link.Deinit(), 1);
    link.manualMode(0);
  }
}

// The firmware image arrives whole in the board's RAM however the runs are cut.
TEST(SerialEndToEnd, FirmwareRunsAndRecordTypes) {
  struct Case {
    const char* name;
    uint32_t bootBlockSize;
    size_t recordBytes;
    std::string insert;
    bool started;
  } cases[] = {
      {"runs of 240 from 16-byte records", 230, 16, "", true},
      {"32-byte records never pass 255 in a run", 240, 32, "", true},
      {"run limit 0 sends each record on its own", 0, 16, "", true},
      {"a start-segment record keeps the base", 230, 16, sim::hex::Record(3, 0, std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}), true},
      {"a start-linear record fails the load", 230, 16, sim::hex::Record(5, 0, std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RigOptions options;
    options.board.flashHasApp = false;
    options.dwords = {{"BootBlockSize", c.bootBlockSize}};
    options.firmwareRecordBytes = c.recordBytes;
    options.firmwareInsert = c.insert;
    SerialRig rig(options);
    Link link;
    EXPECT_EQ(link.Init(kLinkKey, nullptr), c.started ? 0 : -8);
    if (c.started) {
      const auto ram = rig.board->Ram();
      size_t same = 0;
      for (size_t i = 0; i < rig.files.firmwareImage.size(); ++i) {
        auto it = ram.find(static_cast<uint32_t>(0x10000 + i));
        same += it != ram.end() && it->second == rig.files.firmwareImage[i] ? 1 : 0;
      }
      EXPECT_EQ(same, rig.files.firmwareImage.size());
      EXPECT_EQ(ram.size(), rig.files.firmwareImage.size());
      EXPECT_EQ(rig.board->State(), S::App);
    }
    link.Deinit();
  }
}

TEST(SerialEndToEnd, StartFailures) {
  struct Case {
    const char* name;
    std::map<std::string, uint32_t> dwords;
    std::optional<uint8_t> romId;
    int code;
    const char* traced;
  } cases[] = {
      {"no such port", {{"ComPort", 9}}, 0x55, -4, ".\\Comm(1188): error: FFFFFFFC: m_hPort\n"},
      {"ROM refuses with 0xFF", {}, 0xFF, -8, ".\\Comm(1264): error: FFFFFFF8: Download( g_oComm.m_hPort )\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RigOptions options;
    options.board.flashHasApp = false;
    options.board.romId = c.romId;
    options.dwords = c.dwords;
    SerialRig rig(options);
    Link link;
    EXPECT_EQ(link.Init(kLinkKey, nullptr), c.code);
    EXPECT_EQ(rig.trace.Count(c.traced), 1) << ::testing::PrintToString(rig.trace.Lines());
    // The link was closed: the port can be opened again.
    link.Deinit();
  }
}

TEST(SerialEndToEnd, PortArgumentAndBootstrapStart) {
  RigOptions options;
  options.dwords = {{"ComPort", 9}, {"Baudrate", 0x80000000u | 115200}};
  SerialRig rig(options);
  Link link;
  ASSERT_EQ(link.Init(kLinkKey, "7"), 0);  // the port text wins over "ComPort"
  const auto history = rig.board->StateHistory();
  EXPECT_TRUE(Visited(history, S::Rom));
  EXPECT_FALSE(Visited(history, S::Stage1));  // the bootstrap block is not a boot file
  EXPECT_EQ(link.Request({0x02, 0x02}), Frame({0x02, 0x00, 0x00}));
  char version[64] = {};
  EXPECT_EQ(link.fileVersion(kLinkKey, version), 1);
  EXPECT_STREQ(version, "3.10");
  link.Deinit();
}

}  // namespace
