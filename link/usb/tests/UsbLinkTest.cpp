// ZLINKUSB end to end: the library loaded by name, the platform's device services, the driver
// qrtdrv on the kernel host and the simulated board on its USB bus, all on the virtual clock.
#include <kv310/Interfaces.h>
#include <kv310/Kv310.h>
#include <link/LinkBinding.h>
#include <link/LinkExports.h>
#include <link/LinkSettings.h>
#include <platform/clock.h>
#include <platform/device.h>
#include <platform/kernel/KernelHost.h>
#include <platform/module.h>
#include <platform/registry.h>
#include <platform/sync.h>
#include <sim/BoardFrame.h>
#include <sim/UsbBoard.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <future>
#include <thread>

namespace {

using kvp::kernel::KernelHost;

constexpr const char* kKey = "SOFTWARE\\KELO\\Kv310USB";
constexpr const char* kFirmwareFile = "usbfirmware.hex";
const sim::Bytes kStatusRequest = sim::BuildFrame(sim::Bytes{0x02, 0x02});
const int kRequestLength = static_cast<int>(kStatusRequest.size());

template <class F>
auto Drive(F op) {
  auto result = std::async(std::launch::async, op);
  while (result.wait_for(std::chrono::microseconds(200)) != std::future_status::ready) kvp::ClockAdvance(10);
  return result.get();
}

// Waits for the plug-and-play worker while the clock moves (the link's window thread pumps on it).
void WaitIdle(KernelHost& host) {
  Drive([&] {
    host.WaitIdle();
    return 0;
  });
}

size_t ThreadsOfProcess() {
  size_t n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

// An Intel HEX line.
std::string HexLine(uint8_t type, uint16_t address, const sim::Bytes& data) {
  uint8_t sum = static_cast<uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
  char text[16];
  std::string line = ":";
  std::snprintf(text, sizeof text, "%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
  line += text;
  for (uint8_t b : data) {
    std::snprintf(text, sizeof text, "%02X", b);
    line += text;
    sum = static_cast<uint8_t>(sum + b);
  }
  std::snprintf(text, sizeof text, "%02X\r\n", static_cast<uint8_t>(-sum));
  return line + text;
}

// A firmware file of `records` 32-byte records from address 0 whose image carries its version.
void WriteFirmware(const std::string& version, int records, const char* path = kFirmwareFile) {
  std::string file = HexLine(4, 0, {0x00, 0x00});
  const std::string marker = "Version " + version;
  for (int i = 0; i < records; ++i) {
    sim::Bytes data(32, static_cast<uint8_t>(i));
    if (i == records - 1) std::copy(marker.begin(), marker.end(), data.begin());
    file += HexLine(0, static_cast<uint16_t>(i * 32), data);
  }
  file += HexLine(5, 0, {0, 0, 0, 0});  // a start address: not memory
  file += HexLine(1, 0, {});
  file += marker + "\r\n";
  FILE* f = std::fopen(path, "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
}

void SetParameters(const char* firmware, int reload, const char* linkKey = kKey) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, (std::string(linkKey) + "\\Parameter").c_str(), 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(key, "Firmware", 0, REG_SZ, reinterpret_cast<const BYTE*>(firmware), strlen(firmware) + 1);
  if (reload < 0) {
    RegDeleteValue(key, "ReloadFirmware");
  } else {
    const DWORD v = reload;
    RegSetValueEx(key, "ReloadFirmware", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  RegCloseKey(key);
}

// A USB device of another maker (a mouse) with no driver of ours.
class OtherUsbDevice : public kvp::kernel::ISimUsbDevice {
 public:
  bool DeviceDescriptor(std::vector<uint8_t>& out) override {
    out = {18, 1, 0, 2, 0, 0, 0, 8, 0x6D, 0x04, 0x77, 0xC0, 0, 1, 1, 2, 0, 1};
    return true;
  }
  bool ConfigurationDescriptor(uint8_t, std::vector<uint8_t>&) override { return false; }
  NTSTATUS InterfaceFeature(bool, uint16_t, uint16_t) override { return STATUS_SUCCESS; }
  NTSTATUS ResetPipe(uint8_t) override { return STATUS_SUCCESS; }
  void Submit(std::shared_ptr<kvp::kernel::SimUsbTransfer> t) override {
    if (t->Claim()) t->Finish(STATUS_UNSUCCESSFUL, 0);
  }
  void Cancel(const std::shared_ptr<kvp::kernel::SimUsbTransfer>&) override {}
  void Disconnected() override {}
};

class UsbLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool warm = [] {  // threads the process starts once (runtime, sanitizer) are not the link's
      { KernelHost warmUp; }
      FreeLibrary(LoadLibrary("ZLINKUSB.dll"));
      return true;
    }();
    (void)warm;
    threadsBefore_ = ThreadsOfProcess();
    kvp::ClockUseVirtual(true);
    host_ = std::make_unique<KernelHost>();
    host_->RegisterDriver("qrtdrv", sim::kUsbHardwareId, "qrtdrv.dll");
    board_ = std::make_shared<sim::UsbBoard>(model_);
    WriteFirmware("2.05", 60);
    SetParameters(kFirmwareFile, -1);
    module_ = LoadLibrary("ZLINKUSB.dll");
    ASSERT_NE(module_, 0u);
    init_ = Bind<LinkInitProc>("Init");
    deinit_ = Bind<LinkDeinitProc>("Deinit");
    write_ = Bind<LinkWriteProc>("Write");
    read_ = Bind<LinkReadProc>("Read");
    getEvent_ = Bind<LinkGetEventProc>("GetEvent");
    getInfo_ = Bind<LinkGetHwSwInfoProc>("GetHwSwInfo");
    setManual_ = Bind<LinkSetManualFlashModeProc>("SetManualFlashMode");
    kvp::ClearTrayRecords();
  }

  void TearDown() override {
    Drive([&] { return deinit_(); });
    setManual_(0);
    FreeLibrary(module_);
    board_->Unplug();
    WaitIdle(*host_);
    host_->UnloadDriver("qrtdrv");
    host_.reset();
    board_.reset();
    EXPECT_EQ(kvp::kernel::PoolBlocksAll(), 0u) << "kernel pool not empty after remove and unload";
    kvp::ClockUseVirtual(false);
    EXPECT_EQ(ThreadsOfProcess(), threadsBefore_) << "a thread is left";
  }

  template <class P>
  P Bind(const char* name) {
    auto p = kvlink::BindExport<P>(module_, name);
    EXPECT_TRUE(p) << name;
    return p;
  }

  void Plug() {
    board_->Plug(*host_);
    WaitIdle(*host_);
  }

  int Init() { return Drive([&] { return init_(kKey, nullptr); }); }

  // One request and its reply, as the measurement library's link worker does it.
  sim::Bytes Request(const sim::Bytes& frame) {
    const int written = Drive([&] { return write_(frame.data(), static_cast<int>(frame.size())); });
    if (written != static_cast<int>(frame.size())) return {};
    const HANDLE event = getEvent_();
    if (Drive([&] { return WaitForSingleObject(event, 1000); }) != WAIT_OBJECT_0) return {};
    sim::Bytes reply(4224);
    const int got = Drive([&] { return read_(reply.data(), static_cast<int>(reply.size())); });
    reply.resize(got > 0 ? got : 0);
    return reply;
  }

  HwSwInfo Info() {
    HwSwInfo info{};
    getInfo_(&info);
    return info;
  }

  size_t Balloons() {
    size_t n = 0;
    for (auto& r : kvp::TrayRecords()) n += r.balloon;
    return n;
  }

  size_t threadsBefore_ = 0;
  sim::BoardModel model_;
  std::unique_ptr<KernelHost> host_;
  std::shared_ptr<sim::UsbBoard> board_;
  HMODULE module_ = 0;
  LinkInitProc init_ = nullptr;
  LinkDeinitProc deinit_ = nullptr;
  LinkWriteProc write_ = nullptr;
  LinkReadProc read_ = nullptr;
  LinkGetEventProc getEvent_ = nullptr;
  LinkGetHwSwInfoProc getInfo_ = nullptr;
  LinkSetManualFlashModeProc setManual_ = nullptr;
};

const sim::Bytes kStatusReply = sim::BuildFrame(sim::Bytes{0x02, 0x00, 0x00});

TEST_F(UsbLinkTest, StartLoadsTheFirmwareFromLoaderModeAndAnswersRequests) {
  Plug();
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(board_->Mode(), sim::UsbBoardMode::App);
  EXPECT_EQ(board_->Starts(), 1);
  EXPECT_EQ(board_->LoadedBytes(), 60u * 32u);
  EXPECT_EQ(board_->LoaderWrites(), 2u) << "runs are sent once they hold 1400 bytes or more";
  const HwSwInfo info = Info();
  EXPECT_EQ(info.boardStatus, 0x0208);
  EXPECT_STREQ(std::string(info.firmwareText, 9).c_str(), "2.05");
  EXPECT_TRUE(board_->WatchdogArmed());
  EXPECT_EQ(kvp::TrayIconsShown(), 1u);
  EXPECT_EQ(kvp::TrayRecords().front().tip, "Dravix Scope");
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
}

TEST_F(UsbLinkTest, NoLoadWhenTheBoardRunsTheFilesVersion) {
  model_.Update([](sim::BoardScenario& s) { sim::SetHwSwText(s.hwSwInfo.firmwareText, "2.05"); });
  board_->SetMode(sim::UsbBoardMode::App);
  Plug();
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(board_->LoaderWrites(), 0u);
  EXPECT_EQ(board_->Starts(), 0);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
}

struct FlashCase {
  const char* name;
  int manualMode;
  int reload;  // -1: absent
  bool loads;
};

// Every start that leaves the firmware alone still holds the board's information record.

TEST_F(UsbLinkTest, ManualFlashModeAndReloadTable) {
  const FlashCase cases[] = {
      {"board older, defaults", 0, -1, true},
      {"manual mode 1", 1, -1, false},
      {"manual mode 2 with reload", 2, 1, false},
      {"reload 2 counts as false", 0, 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setManual_(c.manualMode);
    SetParameters(kFirmwareFile, c.reload);
    Plug();
    const int starts = board_->Starts();
    const int result = Init();
    EXPECT_EQ(board_->Starts() > starts, c.loads);
    if (c.loads) {
      EXPECT_EQ(result, 0);
    }
    // Packed fields: read by value.
    const int boardId = Info().boardId;
    const int expected = model_.Scenario().hwSwInfo.boardId;
    EXPECT_EQ(boardId, expected) << "the board's information record";
    Drive([&] { return deinit_(); });
    board_->Unplug();
    WaitIdle(*host_);
  }
}

TEST_F(UsbLinkTest, FirmwareFileVersionReadsIntoSettingsOfItsOwn) {
  // Two callers at once, each with a key of its own, each get their own file's version.
  constexpr const char* kOtherKey = "SOFTWARE\\KELO\\Kv310USBOther";
  WriteFirmware("9.99", 1, "other.hex");
  SetParameters("other.hex", -1, kOtherKey);
  Plug();
  ASSERT_EQ(Init(), 0);
  const auto version = Bind<LinkGetFirmwareFileVersionProc>("GetFirmwareFileVersion");
  const auto ask = [version](const char* key, const std::string& expected) {
    for (int i = 0; i < 300; ++i) {
      char out[kvlink::kPathField + 1] = {};
      if (version(key, out) != 1 || out != expected) return false;
    }
    return true;
  };
  auto own = std::async(std::launch::async, ask, kKey, "2.05");
  auto other = std::async(std::launch::async, ask, kOtherKey, "9.99");
  EXPECT_TRUE(own.get());
  EXPECT_TRUE(other.get());
  EXPECT_EQ(Request(kStatusRequest), kStatusReply) << "the running link is untouched";
}

TEST_F(UsbLinkTest, LateReplyIsFetchedByTheCatchUpRead) {
  Plug();
  ASSERT_EQ(Init(), 0);
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.replyDelayMs = 1500; });
  EXPECT_EQ(Request(kStatusRequest), kStatusReply) << "the write reports its bytes and wakes the reader";
}

TEST_F(UsbLinkTest, NoDeviceFailsTheStartWithMinus4) {
  EXPECT_EQ(Init(), -4);
  EXPECT_EQ(write_(kStatusRequest.data(), kRequestLength), 0);
}

TEST_F(UsbLinkTest, LoaderThatDoesNotAnswerFailsTheLoad) {
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.replyDelayMs = sim::kNeverMs; });
  Plug();
  EXPECT_EQ(Init(), -16);
  EXPECT_EQ(board_->Starts(), 0) << "the image was not started after a failed run";
}

TEST_F(UsbLinkTest, BoardThatStaysInLoaderAfterTheStartFailsWithMinus17AndInitRecovers) {
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.startDelayMs = 600000; });
  Plug();
  EXPECT_EQ(Init(), -17);
  // A new Init without Deinit: the old link object (which still holds the device) goes first.
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.startDelayMs = 300; });
  board_->Unplug();
  WaitIdle(*host_);
  Plug();
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
}

TEST_F(UsbLinkTest, BoardThatReenumeratesOnStartIsOpenedAgain) {
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.reenumerateOnStart = true; });
  Plug();
  const std::string first = board_->InstanceId();
  ASSERT_EQ(Init(), 0);
  EXPECT_NE(board_->InstanceId(), first);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
}

TEST_F(UsbLinkTest, UnplugDuringCommunicationShowsTheBalloonOnceAndRecoverRestores) {
  Plug();
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Request(kStatusRequest), kStatusReply);
  board_->Unplug();
  WaitIdle(*host_);
  EXPECT_EQ(Balloons(), 1u);
  const auto records = kvp::TrayRecords();
  const auto balloon = std::find_if(records.begin(), records.end(), [](auto& r) { return r.balloon; });
  ASSERT_NE(balloon, records.end());
  EXPECT_EQ(balloon->title, "Error");
  EXPECT_EQ(balloon->info,
            "Dravix Scope\nDevice was removed during communication!\nReconnecting it and restarting the "
            "communication\nshould help.");
  EXPECT_EQ(balloon->infoFlags, static_cast<DWORD>(NIIF_ERROR));
  EXPECT_EQ(write_(kStatusRequest.data(), kRequestLength), 0);
  sim::Bytes buffer(64);
  EXPECT_EQ(read_(buffer.data(), 64), 0);

  // Recover: the board is plugged back; the link is stopped and started again.
  Plug();
  Drive([&] { return deinit_(); });
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
  EXPECT_EQ(Balloons(), 1u);
}

TEST_F(UsbLinkTest, UnpluggingAnotherUsbDeviceChangesNothing) {
  Plug();
  ASSERT_EQ(Init(), 0);
  host_->PlugUsbDevice(std::make_shared<OtherUsbDevice>(), "USB\\VID_046D&PID_C077", "7&2a1b&0&3");
  WaitIdle(*host_);
  EXPECT_EQ(host_->EnabledInterfaces(GUID_DEVINTERFACE_USB_DEVICE).size(), 2u);
  host_->UnplugUsbDevice("7&2a1b&0&3");
  WaitIdle(*host_);
  EXPECT_EQ(Balloons(), 0u);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
}

TEST_F(UsbLinkTest, SecondOpenOfTheDeviceFailsWith1450) {
  Plug();
  ASSERT_EQ(Init(), 0);
  auto list = host_->EnabledInterfaces(GUID_DEVINTERFACE_USB_DEVICE);
  ASSERT_EQ(list.size(), 1u);
  const HANDLE second = CreateFile(list.front().symbolicLink.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, 0);
  EXPECT_EQ(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 1450u) << "STATUS_INSUFFICIENT_RESOURCES";
}

TEST_F(UsbLinkTest, RequestsFromASecondThreadSurviveUnplugAndReplug) {
  Plug();
  ASSERT_EQ(Init(), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::thread sender([&] {
    sim::Bytes reply(4224);
    while (!stop) {
      if (write_(kStatusRequest.data(), kRequestLength) == kRequestLength && read_(reply.data(), 4224) > 0) ++answered;
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 3; ++round) {
    board_->Unplug();
    WaitIdle(*host_);
    Plug();
    Drive([&] { return deinit_(); });
    EXPECT_EQ(Init(), 0);
  }
  stop = true;
  Drive([&] {
    sender.join();
    return 0;
  });
  EXPECT_GT(answered.load(), 0);
}

// The measurement library on top: it loads ZLINKUSB by the registry's "DLL name", starts the
// link (loading the board's RAM firmware), asks the board, and restores the link after an unplug.
TEST_F(UsbLinkTest, MeasurementLibraryRunsTheBoardThroughTheUsbPath) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310\\Parameter", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(key, "Firmware", 0, REG_SZ, reinterpret_cast<const BYTE*>(kFirmwareFile), strlen(kFirmwareFile) + 1);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const char* dll = "ZLINKUSB.dll";
  RegSetValueEx(key, "DLL name", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll), strlen(dll) + 1);
  RegCloseKey(key);

  Plug();
  const HMODULE kv310 = LoadLibrary("Kv310.dll");
  if (!kv310) GTEST_SKIP() << "the measurement library is not built";
  auto query = kvlink::BindExport<Kv310QueryInterfaceProc>(kv310, "QueryInterface");
  ASSERT_TRUE(query);
  ICommunication_1* comm = nullptr;
  IInfo_0* info = nullptr;
  ASSERT_EQ(query(1, reinterpret_cast<void**>(&comm)), 1);
  ASSERT_EQ(query(0, reinterpret_cast<void**>(&info)), 1);
  ASSERT_EQ(Drive([&] { return comm->Open(); }), 0);
  ASSERT_EQ(Drive([&] { return comm->Start(); }), 0);
  EXPECT_EQ(board_->Mode(), sim::UsbBoardMode::App);
  uint8_t hardware = 0xFF;
  EXPECT_EQ(Drive([&] { return info->GetBoardStatus(&hardware); }), 0);

  board_->Unplug();
  WaitIdle(*host_);
  EXPECT_NE(Drive([&] { return info->GetBoardStatus(&hardware); }), 0) << "the next request fails";
  Plug();
  EXPECT_EQ(Drive([&] { return comm->Recover(); }), 0);
  EXPECT_EQ(Drive([&] { return info->GetBoardStatus(&hardware); }), 0);
  EXPECT_EQ(Balloons(), 1u);

  Drive([&] { return comm->Stop(); });
  Drive([&] { return comm->Close(); });
  FreeLibrary(kv310);
}

}  // namespace
