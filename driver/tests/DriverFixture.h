// A kernel host with qrtdrv and the simulated board on its bus, on the virtual clock. Tears the
// whole tree down again and checks that the driver left nothing in the pool.
#pragma once

#include <platform/clock.h>
#include <platform/kernel/KernelHost.h>
#include <platform/registry.h>
#include <platform/sync.h>
#include <qrtdrv/OsciIoctl.h>
#include <sim/UsbBoard.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace qrtdrv::test {

using kvp::kernel::KernelFile;
using kvp::kernel::KernelHost;

inline constexpr GUID kOsciGuid = {0x267EF074, 0xE508, 0x4465, {0x97, 0xA7, 0xE3, 0x7F, 0xF7, 0x36, 0x6D, 0x31}};
inline constexpr const char* kServiceParameters = "SYSTEM\\CurrentControlSet\\Services\\qrtdrv\\Parameters";

// Runs `op` on its own thread and moves the virtual clock in small steps until it has returned,
// so every timed wait inside it ends where the clock says.
template <class F>
auto Drive(F op) {
  auto result = std::async(std::launch::async, op);
  while (result.wait_for(std::chrono::microseconds(200)) != std::future_status::ready) kvp::ClockAdvance(10);
  return result.get();
}

// Lets the host's threads and the board catch up with a clock that moved.
inline void AdvanceBy(uint64_t ms) {
  for (uint64_t t = 0; t < ms; t += 10) {
    kvp::ClockAdvance(10);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

inline void SetDriverParameters(int standby, int hibernate) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kServiceParameters, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                           nullptr),
            ERROR_SUCCESS);
  for (auto [name, value] : {std::pair{"Standby", standby}, std::pair{"Hibernate", hibernate}}) {
    if (value < 0) {
      RegDeleteValue(key, name);
    } else {
      const DWORD v = static_cast<DWORD>(value);
      RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
  }
  RegCloseKey(key);
}

class DriverFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::ClockUseVirtual(true);
    host_ = std::make_unique<KernelHost>();
    host_->RegisterDriver("qrtdrv", sim::kUsbHardwareId, "qrtdrv.dll");
    board_ = std::make_shared<sim::UsbBoard>(model_);
    board_->SetMode(sim::UsbBoardMode::App);
  }

  void TearDown() override {
    file_.reset();
    if (event_) CloseHandle(event_);
    board_->Unplug();
    host_->WaitIdle();
    host_->UnloadDriver("qrtdrv");
    host_.reset();
    board_.reset();
    EXPECT_EQ(kvp::kernel::PoolBlocksAll(), 0u) << "the kernel pool is not empty after remove and unload";
    kvp::ClockUseVirtual(false);
  }

  void Plug() {
    board_->Plug(*host_);
    host_->WaitIdle();
  }

  std::string OsciPath() {
    auto list = host_->EnabledInterfaces(kvp::kernel::kGuidDevInterfaceUsbDevice);
    return list.empty() ? std::string() : list.front().symbolicLink;
  }

  std::shared_ptr<KernelFile> Open(NTSTATUS* status = nullptr) {
    NTSTATUS s = STATUS_UNSUCCESSFUL;
    auto f = host_->Open(OsciPath(), &s);
    if (status) *status = s;
    return f;
  }

  // Opens the board, hands it a data event and keeps the file for the test.
  void OpenWithEvent() {
    file_ = Open();
    ASSERT_TRUE(file_);
    event_ = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    uint32_t h = event_;
    ULONG_PTR info = 0;
    ASSERT_EQ(file_->IoControl(IOCTL_SET_DATA_EVENT, &h, sizeof h, nullptr, 0, &info), STATUS_SUCCESS);
  }

  void CloseFile() {
    if (!file_) return;
    file_->Cleanup();
    file_->Close();
    file_.reset();
  }

  NTSTATUS Write(const sim::Bytes& bytes, ULONG_PTR* info) {
    return Drive([&] { return file_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), info); });
  }

  sim::Bytes Read(ULONG length, NTSTATUS* status = nullptr) {
    sim::Bytes buffer(length);
    ULONG_PTR info = 0;
    const NTSTATUS s = Drive([&] { return file_->Read(buffer.data(), length, &info); });
    if (status) *status = s;
    buffer.resize(info);
    return buffer;
  }

  bool EventSet() { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

  sim::BoardModel model_;
  std::unique_ptr<KernelHost> host_;
  std::shared_ptr<sim::UsbBoard> board_;
  std::shared_ptr<KernelFile> file_;
  HANDLE event_ = 0;
};

inline const sim::Bytes kInfoRequest = {0x04, 0x00, 0x00, 0xFC};
inline constexpr size_t kInfoReplySize = 64;

}  // namespace qrtdrv::test
