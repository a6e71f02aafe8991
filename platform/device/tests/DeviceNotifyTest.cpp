// Device-change notices to a window whose thread does not pump: the removal goes on at the bound.
#include <platform/clock.h>
#include <platform/device.h>
#include <platform/kernel/KernelHost.h>
#include <platform/window.h>

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

namespace {

using kvp::kernel::KernelHost;

// A USB device without a driver of its own: it runs raw, with its bus interface.
class RawUsb : public kvp::kernel::ISimUsbDevice {
 public:
  bool DeviceDescriptor(std::vector<uint8_t>& out) override {
    out = {18, 1, 0, 2, 0, 0, 0, 8, 0x34, 0x12, 0x01, 0x00, 0, 1, 1, 2, 0, 1};
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

std::atomic<int> gNotices{0};

LRESULT CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DEVICECHANGE) {
    ++gNotices;
    return TRUE;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

// The removal notice waits 5 seconds for the window, then the removal completes; the other notice
// to that thread, which by then has stopped answering, does not wait again. The notices the
// window missed never reach it later.
class DeviceNotify : public kvtest::VirtualClockTest {};

TEST_F(DeviceNotify, AWindowThatNeverPumpsDoesNotHoldUpRemoval) {
  {
    KernelHost host;
    host.PlugUsbDevice(std::make_shared<RawUsb>(), "USB\\VID_1234&PID_0001", "5&1");
    host.WaitIdle();
    ASSERT_EQ(host.EnabledInterfaces(GUID_DEVINTERFACE_USB_DEVICE).size(), 1u);

    gNotices = 0;
    std::promise<HWND> ready;
    std::promise<void> release;
    std::thread stuck([&] {
      WNDCLASS wc{};
      wc.lpfnWndProc = CountingProc;
      wc.lpszClassName = "DeviceNotifyStuck";
      RegisterClass(&wc);
      HWND w = CreateWindowEx(0, wc.lpszClassName, "", 0, 0, 0, 10, 10, 0, 0, 0, nullptr);
      DEV_BROADCAST_DEVICEINTERFACE filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
      HDEVNOTIFY n = RegisterDeviceNotification(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
      ready.set_value(w);
      release.get_future().wait();  // busy elsewhere: never looks at its queue meanwhile
      MSG msg;
      while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
      UnregisterDeviceNotification(n);
      DestroyWindow(w);
      UnregisterClass(wc.lpszClassName, 0);
    });
    ASSERT_NE(ready.get_future().get(), 0u);

    const size_t before = kvp::ClockTimedWaiters();
    const uint64_t start = kvp::ClockNowMs();
    host.UnplugUsbDevice("5&1");
    while (kvp::ClockTimedWaiters() <= before) std::this_thread::yield();  // the worker waits for the window
    kvp::ClockAdvance(5000);
    host.WaitIdle();
    EXPECT_EQ(kvp::ClockNowMs() - start, 5000u);
    EXPECT_TRUE(host.EnabledInterfaces(GUID_DEVINTERFACE_USB_DEVICE).empty());

    release.set_value();
    stuck.join();
    EXPECT_EQ(gNotices.load(), 0);
  }
}

// A desktop that does not take a balloon holds up only the platform's notifier thread, never the
// window thread that showed the balloon.
TEST(TrayNotify, ABalloonNeverWaitsForTheDesktop) {
  std::promise<std::string> shown;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  kvp::SetDesktopNotifier([&shown, released](const std::string& title, const std::string& text) {
    shown.set_value(title + ": " + text);
    released.wait();
  });
  NOTIFYICONDATA data{};
  data.cbSize = sizeof data;
  data.hWnd = 0x4711;
  data.uFlags = NIF_INFO;
  std::strcpy(data.szInfo, "Device was removed");
  std::strcpy(data.szInfoTitle, "Error");
  auto call = std::async(std::launch::async, [&] { return Shell_NotifyIcon(NIM_ADD, &data); });
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the call waited for the desktop";
  EXPECT_TRUE(call.get());
  EXPECT_EQ(shown.get_future().get(), "Error: Device was removed");
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &data));
  release.set_value();
  kvp::SetDesktopNotifier(nullptr);
}

}  // namespace
