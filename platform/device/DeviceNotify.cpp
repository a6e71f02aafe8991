// Device-change notices: the kernel host tells this service when an interface is enabled or
// disabled; registered windows receive WM_DEVICECHANGE with the interface record, every top-level
// window the device-nodes-changed notice.
#include <platform/device.h>
#include <platform/kernel/KernelHost.h>
#include <platform/window.h>

#include "base/HandleTable.h"

#include <cstring>
#include <mutex>

namespace kvp::device {

namespace {

struct NotifyRegistration : KernelObject {
  HWND window = 0;
  GUID interfaceClass{};
};

struct Registrations {
  std::mutex mu;
  std::vector<std::shared_ptr<NotifyRegistration>> list;
};
Registrations& Regs() {
  static auto* regs = new Registrations;
  return *regs;
}

// The notices come from the kernel host's plug-and-play worker, which goes on removing the device
// only after they have been delivered: a window whose thread does not answer within this bound (or
// has stopped answering altogether) misses the notice instead of stalling plug and play.
constexpr UINT kNoticeTimeoutMs = 5000;
constexpr UINT kNoticeFlags = SMTO_BLOCK | SMTO_ABORTIFHUNG;

void Deliver(const kernel::InterfaceNotice& notice) {
  DWORD_PTR answer = 0;
  if (notice.kind == kernel::InterfaceNotice::NodesChanged) {
    std::vector<HWND> windows;
    for (HWND w = GetTopWindow(0); w; w = GetWindow(w, GW_HWNDNEXT)) windows.push_back(w);
    for (HWND w : windows)
      SendMessageTimeout(w, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, kNoticeFlags, kNoticeTimeoutMs, &answer);
    return;
  }
  std::vector<HWND> targets;
  {
    auto& regs = Regs();
    std::lock_guard lock(regs.mu);
    for (auto& r : regs.list)
      if (IsEqualGUID(r->interfaceClass, notice.interfaceClass)) targets.push_back(r->window);
  }
  if (targets.empty()) return;
  // Shared with the sends: a handler still running when its send timed out keeps the record.
  auto record =
      std::make_shared<std::vector<char>>(sizeof(DEV_BROADCAST_DEVICEINTERFACE) + notice.symbolicLink.size());
  auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE*>(record->data());
  b->dbcc_size = static_cast<DWORD>(record->size());
  b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  b->dbcc_classguid = notice.interfaceClass;
  std::memcpy(b->dbcc_name, notice.symbolicLink.c_str(), notice.symbolicLink.size() + 1);
  const WPARAM code =
      notice.kind == kernel::InterfaceNotice::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  for (HWND w : targets)
    SendMessageTimeoutKeeping(record, w, WM_DEVICECHANGE, code, reinterpret_cast<LPARAM>(b), kNoticeFlags,
                              kNoticeTimeoutMs, &answer);
}

struct Install {
  Install() { kernel::SetDefaultNoticeSink(Deliver); }
} gInstall;

}  // namespace

}  // namespace kvp::device

using kvp::device::NotifyRegistration;

extern "C" {

PLATFORM_API HDEVNOTIFY RegisterDeviceNotification(HANDLE recipient, LPVOID filter, DWORD flags) {
  auto* header = static_cast<DEV_BROADCAST_HDR*>(filter);
  if (!recipient || !header || flags != DEVICE_NOTIFY_WINDOW_HANDLE ||
      header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE) - 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto r = std::make_shared<NotifyRegistration>();
  r->window = recipient;
  r->interfaceClass = static_cast<DEV_BROADCAST_DEVICEINTERFACE*>(filter)->dbcc_classguid;
  const HANDLE h = kvp::RegisterHandle(r);
  if (!h) return 0;
  auto& regs = kvp::device::Regs();
  std::lock_guard lock(regs.mu);
  regs.list.push_back(r);
  return h;
}

PLATFORM_API BOOL UnregisterDeviceNotification(HDEVNOTIFY h) {
  auto r = kvp::LookupHandle<NotifyRegistration>(h);
  if (!r) return FALSE;
  {
    auto& regs = kvp::device::Regs();
    std::lock_guard lock(regs.mu);
    std::erase(regs.list, r);
  }
  kvp::HandleTable::Instance().Remove(h);
  return TRUE;
}

}  // extern "C"
