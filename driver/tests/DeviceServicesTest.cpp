// The platform's device services over the real driver: enumeration, CreateFile and the calls on
// a device handle with the status-to-result rule, handles closed under a call in flight, and the
// device-change notices to a registered window.
#include <platform/device.h>
#include <platform/module.h>
#include <platform/window.h>

#include "DriverFixture.h"

#include <atomic>
#include <mutex>

namespace qrtdrv::test {
namespace {

class DeviceServicesTest : public DriverFixture {
 protected:
  // The board's path as the enumeration hands it out.
  std::string EnumeratedPath() {
    HDEVINFO set = SetupDiGetClassDevs(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    std::string path;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, 0, &data)) {
      DWORD required = 0;
      EXPECT_FALSE(SetupDiGetDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
      std::vector<uint8_t> buffer(required);
      auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA>(buffer.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA);
      EXPECT_TRUE(SetupDiGetDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr));
      path = detail->DevicePath;
      EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, 1, &data));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return path;
  }

  HANDLE OpenDevice(const std::string& path) {
    return CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH,
                      0);
  }
};

TEST_F(DeviceServicesTest, EnumerationGivesTheWindowsPathInLowerCase) {
  EXPECT_EQ(EnumeratedPath(), "");
  Plug();
  const std::string path = EnumeratedPath();
  EXPECT_EQ(path, "\\\\?\\usb#vid_2f91&pid_0006#" + board_->InstanceId() + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_EQ(path.find("\\\\?\\usb#vid_2f91&pid_0006"), 0u);
}

struct ResultCase {
  const char* name;
  uint32_t replyDelayMs;
  BOOL result;
  DWORD bytes;
  DWORD error;
};

TEST_F(DeviceServicesTest, StatusBecomesTheWin32ResultTable) {
  Plug();
  std::string upper = EnumeratedPath();
  for (auto& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  const HANDLE h = OpenDevice(upper);  // looked up without regard to case
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const ResultCase cases[] = {
      {"success", 0, TRUE, 4, 0},
      {"warning keeps the byte count", 1500, FALSE, 4, 0xA0000102},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    board_->UpdateKnobs([&](sim::UsbBoardKnobs& k) { k.replyDelayMs = c.replyDelayMs; });
    DWORD written = 99, error = 0;
    EXPECT_EQ(Drive([&] {
                const BOOL ok = WriteFile(h, kInfoRequest.data(), 4, &written, nullptr);
                error = ok ? 0 : GetLastError();  // the last error belongs to the calling thread
                return ok;
              }),
              c.result);
    EXPECT_EQ(written, c.bytes);
    EXPECT_EQ(error, c.error);
  }
  uint8_t buffer[256];
  DWORD got = 0;
  EXPECT_TRUE(Drive([&] { return ReadFile(h, buffer, sizeof buffer, &got, nullptr); }));
  EXPECT_EQ(got, 2 * kInfoReplySize) << "the second reply came through the catch-up read";

  DWORD returned = 5;
  uint32_t in = 1;
  EXPECT_FALSE(DeviceIoControl(h, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x8FF, METHOD_NEITHER, FILE_ANY_ACCESS), &in, 4,
                               nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), 87u);
  EXPECT_EQ(returned, 0u);
  EXPECT_TRUE(FlushFileBuffers(h));

  EXPECT_EQ(OpenDevice(upper), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 1450u);

  board_->Unplug();
  host_->WaitIdle();
  DWORD written = 9;
  EXPECT_FALSE(WriteFile(h, kInfoRequest.data(), 4, &written, nullptr));
  EXPECT_EQ(GetLastError(), 5u) << "STATUS_DELETE_PENDING";
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  host_->WaitIdle();
  EXPECT_TRUE(host_->DeviceNames().empty());
  EXPECT_EQ(OpenDevice(upper), INVALID_HANDLE_VALUE);
}

TEST_F(DeviceServicesTest, ClosingAHandleInUseOnAnotherThreadIsSafe) {
  Plug();
  const std::string path = EnumeratedPath();
  const HANDLE h = OpenDevice(path);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  board_->UpdateKnobs([](sim::UsbBoardKnobs& k) { k.replyDelayMs = sim::kNeverMs; });
  DWORD written = 0;
  auto call = std::async(std::launch::async, [&] { return WriteFile(h, kInfoRequest.data(), 4, &written, nullptr); });
  while (board_->OutTransfers().empty()) std::this_thread::yield();
  EXPECT_TRUE(CloseHandle(h));  // the write in flight keeps the file object
  while (call.wait_for(std::chrono::microseconds(200)) != std::future_status::ready) kvp::ClockAdvance(10);
  EXPECT_FALSE(call.get());
  EXPECT_EQ(written, 4u);
  // The file object was closed once the call had returned: the device opens again.
  const HANDLE again = OpenDevice(path);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_NE(again, h) << "handle values are not reused at once";
  CloseHandle(again);
}

// Notices a window received.
struct Notice {
  WPARAM code;
  std::string name;
};
std::mutex gNoticeMu;
std::vector<Notice> gNotices;

LRESULT NoticeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_DEVICECHANGE) return DefWindowProc(hwnd, msg, wParam, lParam);
  std::lock_guard lock(gNoticeMu);
  std::string name;
  if (lParam) name = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE*>(lParam)->dbcc_name;
  gNotices.push_back({wParam, name});
  return 1;
}

TEST_F(DeviceServicesTest, RegisteredWindowReceivesArrivalRemovalAndNodesChanged) {
  gNotices.clear();
  std::atomic<bool> stop{false};
  std::atomic<HWND> window{0};
  std::thread pump([&] {
    WNDCLASS wc{};
    wc.lpfnWndProc = NoticeProc;
    wc.lpszClassName = "DeviceNoticeTestWindow";
    RegisterClass(&wc);
    HWND w = CreateWindowEx(0, wc.lpszClassName, "", 0, 0, 0, 10, 10, 0, 0, 0, nullptr);
    DEV_BROADCAST_DEVICEINTERFACE filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    HDEVNOTIFY n = RegisterDeviceNotification(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    window = w;
    while (!stop) {
      MSG msg;
      while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
      std::this_thread::yield();
    }
    UnregisterDeviceNotification(n);
    DestroyWindow(w);
    UnregisterClass(wc.lpszClassName, 0);
  });
  while (!window) std::this_thread::yield();
  Plug();
  const std::string path = OsciPath();
  board_->Unplug();
  host_->WaitIdle();
  stop = true;
  pump.join();
  std::lock_guard lock(gNoticeMu);
  ASSERT_EQ(gNotices.size(), 4u);
  EXPECT_EQ(gNotices[0].code, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
  EXPECT_EQ(gNotices[0].name, path);
  EXPECT_EQ(gNotices[1].code, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
  EXPECT_EQ(gNotices[2].code, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE));
  EXPECT_EQ(gNotices[2].name, path);
  EXPECT_EQ(gNotices[3].code, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
}

TEST(ShellTest, VersionQueryAllowsBalloons) {
  HMODULE shell = LoadLibrary("Shell32.dll");
  ASSERT_NE(shell, 0u);
  auto get = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")));
  ASSERT_TRUE(get);
  DLLVERSIONINFO info{};
  info.cbSize = sizeof info;
  EXPECT_EQ(get(&info), 0);
  EXPECT_GT(info.dwMajorVersion, 4u);
  FreeLibrary(shell);
}

TEST(TrayTest, IconsAndBalloonsAreRecorded) {
  kvp::ClearTrayRecords();
  NOTIFYICONDATA data{};
  data.cbSize = sizeof data;
  data.hWnd = 77;
  data.uFlags = NIF_TIP;
  strcpy(data.szTip, "Dravix Scope");
  EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &data)) << "no icon to modify yet";
  EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
  EXPECT_EQ(kvp::TrayIconsShown(), 1u);
  data.uFlags |= NIF_INFO;
  strcpy(data.szInfo, "text");
  strcpy(data.szInfoTitle, "Error");
  data.dwInfoFlags = NIIF_ERROR;
  EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &data));
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &data));
  EXPECT_EQ(kvp::TrayIconsShown(), 0u);
  const auto records = kvp::TrayRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_FALSE(records[0].balloon);
  EXPECT_EQ(records[0].tip, "Dravix Scope");
  EXPECT_TRUE(records[1].balloon);
  EXPECT_EQ(records[1].title, "Error");
}

}  // namespace
}  // namespace qrtdrv::test
