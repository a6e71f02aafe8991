// ZLINKUSB over the libusb bus: the real libusb and the platform's USB service reach a mocked
// device 2F91:0006 (umockdev) whose requests the simulated board answers. Arrival, the driver's
// start, the firmware load, requests, the measurement library's identity and oscilloscope record,
// removal during a running read and re-arrival, and a board that refuses to open.
#include "UmockdevBoard.h"

#include <kv310/Interfaces.h>
#include <kv310/Kv310.h>
#include <link/LinkExports.h>
#include <platform/device.h>
#include <platform/hardware.h>
#include <platform/kernel/UsbService.h>
#include <platform/module.h>
#include <platform/registry.h>
#include <platform/sync.h>
#include <sim/BoardFrame.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

namespace {

using kvp::kernel::KernelHost;
using kvp::kernel::UsbService;

constexpr const char* kKey = "SOFTWARE\\KELO\\Kv310LibUSB";
constexpr const char* kFirmwareFile = "libusbfirmware.hex";
const sim::Bytes kStatusRequest = sim::BuildFrame(sim::Bytes{0x02, 0x02});
const sim::Bytes kStatusReply = sim::BuildFrame(sim::Bytes{0x02, 0x00, 0x00});

void SetText(const std::string& key, const char* name, const char* text) {
  HKEY k = 0;
  RegCreateKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(k);
}

// A small firmware image whose last record carries its version.
void WriteFirmware() {
  std::string file = ":020000040000FA\r\n";
  const std::string marker = "Version 2.05";
  uint8_t sum = 0x10;
  std::string line = ":10000000";
  for (char c : std::string(marker + "    ").substr(0, 16)) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<uint8_t>(c));
    line += hex;
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  }
  char check[8];
  std::snprintf(check, sizeof check, "%02X\r\n", static_cast<uint8_t>(-sum));
  file += line + check + ":00000001FF\r\n" + marker + "\r\n";
  FILE* f = std::fopen(kFirmwareFile, "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
}

class LibusbLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = usbmock::UmockdevBoard::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    // The process's own bus stays off: this test runs its own service on its own host.
    SetText(kvp::kPlatformSettingsKey, kvp::kernel::kUsbBackendValue, "simulated");
    unsetenv("KV_NO_LIBUSB");
    kvp::ClearTrayRecords();
    WriteFirmware();
    SetText(std::string(kKey) + "\\Parameter", "Firmware", kFirmwareFile);
    mock_ = std::make_unique<usbmock::UmockdevBoard>(model_);
    host_ = std::make_unique<KernelHost>();  // after the mock's own: the active host
    service_ = std::make_unique<UsbService>(*host_);
    ASSERT_TRUE(service_->Running()) << service_->Error();
    module_ = LoadLibrary("ZLINKUSB.dll");
    ASSERT_NE(module_, 0u);
    auto bind = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); };
    init_ = reinterpret_cast<LinkInitProc>(bind("Init"));
    deinit_ = reinterpret_cast<LinkDeinitProc>(bind("Deinit"));
    write_ = reinterpret_cast<LinkWriteProc>(bind("Write"));
    read_ = reinterpret_cast<LinkReadProc>(bind("Read"));
    getEvent_ = reinterpret_cast<LinkGetEventProc>(bind("GetEvent"));
    getInfo_ = reinterpret_cast<LinkGetHwSwInfoProc>(bind("GetHwSwInfo"));
    ASSERT_TRUE(init_ && deinit_ && write_ && read_ && getEvent_ && getInfo_);
  }

  void TearDown() override {
    if (module_) {
      deinit_();
      FreeLibrary(module_);
    }
    if (mock_) mock_->Unplug();
    if (service_) service_->WaitIdle();
    service_.reset();
    if (host_) host_->UnloadDriver("qrtdrv");
    host_.reset();
    mock_.reset();
    kvp::RecordTrayCalls(false);
  }

  void Plug() {
    mock_->Plug();
    WaitForBoards(1);
  }
  void Unplug() {
    mock_->Unplug();
    WaitForBoards(0);
  }
  // Hot-plug events come from the mocked udev monitor on libusb's own thread.
  void WaitForBoards(size_t n) {
    for (int i = 0; i < 500 && service_->Boards() != n; ++i) Sleep(10);
    service_->WaitIdle();
    ASSERT_EQ(service_->Boards(), n);
  }

  sim::Bytes Request(const sim::Bytes& frame) {
    if (write_(frame.data(), static_cast<int>(frame.size())) != static_cast<int>(frame.size())) return {};
    if (WaitForSingleObject(getEvent_(), 2000) != WAIT_OBJECT_0) return {};
    sim::Bytes reply(4224);
    const int got = read_(reply.data(), static_cast<int>(reply.size()));
    reply.resize(got > 0 ? got : 0);
    return reply;
  }

  size_t Balloons() {
    size_t n = 0;
    for (auto& r : kvp::TrayRecords()) n += r.balloon;
    return n;
  }

  sim::BoardModel model_;
  std::unique_ptr<usbmock::UmockdevBoard> mock_;
  std::unique_ptr<KernelHost> host_;
  std::unique_ptr<UsbService> service_;
  HMODULE module_ = 0;
  LinkInitProc init_ = nullptr;
  LinkDeinitProc deinit_ = nullptr;
  LinkWriteProc write_ = nullptr;
  LinkReadProc read_ = nullptr;
  LinkGetEventProc getEvent_ = nullptr;
  LinkGetHwSwInfoProc getInfo_ = nullptr;
};

TEST_F(LibusbLinkTest, ArrivalStartsTheDriverLoadsTheFirmwareAndAnswersRequests) {
  Plug();
  ASSERT_EQ(init_(kKey, nullptr), 0);
  EXPECT_EQ(mock_->Board().Mode(), sim::UsbBoardMode::App);
  EXPECT_EQ(mock_->Board().Starts(), 1) << "loaded in LOADER mode, then started";
  EXPECT_GT(mock_->Board().LoadedBytes(), 0u);
  HwSwInfo info{};
  getInfo_(&info);
  EXPECT_EQ(info.boardStatus, 0x0208);
  EXPECT_STREQ(std::string(info.firmwareText, 9).c_str(), "2.05");
  EXPECT_TRUE(mock_->Board().WatchdogArmed()) << "the feature request went over the wire";
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
  EXPECT_GE(mock_->Board().PipeResets(), 2u) << "the open reset both pipes by clear-halt";
}

TEST_F(LibusbLinkTest, RemovalDuringARunningReadIsReportedAndTheLinkRecoversAfterReArrival) {
  Plug();
  ASSERT_EQ(init_(kKey, nullptr), 0);
  ASSERT_EQ(Request(kStatusRequest), kStatusReply);
  // A reply that never comes keeps the request's read pending on the wire when the board goes.
  mock_->Board().UpdateKnobs([](sim::UsbBoardKnobs& k) { k.replyDelayMs = sim::kNeverMs; });
  auto request = std::async(std::launch::async, [&] {
    return write_(kStatusRequest.data(), static_cast<int>(kStatusRequest.size()));
  });
  for (int i = 0; i < 1000 && mock_->PendingTransfers() == 0; ++i) Sleep(1);
  ASSERT_EQ(mock_->PendingTransfers(), 1u) << "the read of the reply is on the wire";
  Unplug();
  request.get();
  EXPECT_EQ(mock_->PendingTransfers(), 0u) << "the read ended with the board";
  EXPECT_EQ(Balloons(), 1u) << "the loss is reported once";
  EXPECT_EQ(write_(kStatusRequest.data(), static_cast<int>(kStatusRequest.size())), 0);

  mock_->Board().UpdateKnobs([](sim::UsbBoardKnobs& k) { k.replyDelayMs = 0; });
  Plug();
  deinit_();
  ASSERT_EQ(init_(kKey, nullptr), 0);
  EXPECT_EQ(Request(kStatusRequest), kStatusReply);
  EXPECT_EQ(Balloons(), 1u);
}

TEST_F(LibusbLinkTest, MeasurementLibraryReadsTheIdentityAndAnOscilloscopeRecord) {
  SetText("Software\\KELO\\Kv310\\Parameter", "Firmware", kFirmwareFile);
  SetText("Software\\KELO\\Kv310", "DLL name", "ZLINKUSB.dll");
  model_.Update([](sim::BoardScenario& s) {
    s.instantAcquisition = true;
    s.channelSignals[1] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, 1000.0};
  });
  Plug();
  const HMODULE kv310 = LoadLibrary("Kv310.dll");
  if (!kv310) GTEST_SKIP() << "the measurement library is not built";
  auto query =
      reinterpret_cast<Kv310QueryInterfaceProc>(reinterpret_cast<void*>(GetProcAddress(kv310, "QueryInterface")));
  ASSERT_TRUE(query);
  ICommunication_1* comm = nullptr;
  IInfo_0* info = nullptr;
  IOscilloscope_2* osc = nullptr;
  ASSERT_EQ(query(kv310::kCommunication, reinterpret_cast<void**>(&comm)), 1);
  ASSERT_EQ(query(kv310::kInfo, reinterpret_cast<void**>(&info)), 1);
  ASSERT_EQ(query(kv310::kOscilloscope, reinterpret_cast<void**>(&osc)), 1);
  ASSERT_EQ(comm->Open(), 0);
  ASSERT_EQ(comm->Start(), 0);
  uint8_t hardware = 0xFF;
  EXPECT_EQ(info->GetBoardStatus(&hardware), 0);
  EXPECT_STRNE(info->GetBoardName(), "");

  ASSERT_EQ(osc->Init(), 0);
  osc->SetChannelMode(1, 1);
  ASSERT_EQ(osc->StartMeasurement(1000), 0);
  comm->WaitIdle();
  ASSERT_EQ(osc->GetData(), 0);
  std::vector<int16_t> samples(1000);
  ASSERT_EQ(osc->GetSamples(1, 1000, samples.data()), 0);
  EXPECT_NE(*std::min_element(samples.begin(), samples.end()), *std::max_element(samples.begin(), samples.end()))
      << "the square wave of channel 1 came over the wire";

  comm->Stop();
  comm->Close();
  FreeLibrary(kv310);
}

TEST_F(LibusbLinkTest, BoardThatRefusesToOpenGivesAClearErrorAndNoDevice) {
  mock_->RefuseOpen(true);
  mock_->Plug();
  for (int i = 0; i < 500 && service_->Error().empty(); ++i) Sleep(10);
  service_->WaitIdle();
  mock_->RefuseOpen(false);
  EXPECT_EQ(service_->Boards(), 0u);
  const std::string error = service_->Error();
  EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
  EXPECT_NE(error.find("permission denied"), std::string::npos) << error;
  EXPECT_NE(error.find("udev rule"), std::string::npos) << error;
  EXPECT_EQ(init_(kKey, nullptr), -4) << "no device for the link";
}

}  // namespace
