// The taskbar notification area: icons are tracked and, while a test asks, every call is recorded;
// a balloon also becomes a desktop notification through libnotify when a session bus is there
// (loaded at run time, so the platform runs without it).
#include <platform/device.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace kvp {

namespace {

struct Tray {
  std::mutex mu;
  bool recording = false;  // only tests read the records: nothing grows while none asks
  std::vector<TrayRecord> records;
  std::set<std::pair<HWND, UINT>> shown;
};
Tray& TheTray() {
  static auto* tray = new Tray;
  return *tray;
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

// libnotify, when it and a session bus exist.
void DesktopNotify(const std::string& title, const std::string& text) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || std::getenv("KV_NO_DESKTOP_NOTIFY")) return;
  static void* lib = dlopen("libnotify.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!lib) return;
  using InitFn = int (*)(const char*);
  using NewFn = void* (*)(const char*, const char*, const char*);
  using ShowFn = int (*)(void*, void**);
  using UnrefFn = void (*)(void*);
  static auto init = reinterpret_cast<InitFn>(dlsym(lib, "notify_init"));
  static auto create = reinterpret_cast<NewFn>(dlsym(lib, "notify_notification_new"));
  static auto show = reinterpret_cast<ShowFn>(dlsym(lib, "notify_notification_show"));
  static auto unref = reinterpret_cast<UnrefFn>(dlsym(lib, "g_object_unref"));
  if (!init || !create || !show || !init("Dravix Scope")) return;
  if (void* n = create(title.c_str(), text.c_str(), "dialog-error")) {
    show(n, nullptr);
    if (unref) unref(n);
  }
}

}  // namespace

std::vector<TrayRecord> TrayRecords() {
  std::lock_guard lock(TheTray().mu);
  return TheTray().records;
}

void ClearTrayRecords() {
  std::lock_guard lock(TheTray().mu);
  TheTray().records.clear();
  TheTray().recording = true;
}

void RecordTrayCalls(bool on) {
  std::lock_guard lock(TheTray().mu);
  TheTray().recording = on;
  if (!on) TheTray().records.clear();
}

size_t TrayIconsShown() {
  std::lock_guard lock(TheTray().mu);
  return TheTray().shown.size();
}

}  // namespace kvp

extern "C" {

PLATFORM_API BOOL Shell_NotifyIcon(DWORD message, PNOTIFYICONDATA data) {
  if (!data || message > NIM_DELETE) return FALSE;
  kvp::TrayRecord r{};
  r.message = message;
  r.window = data->hWnd;
  r.id = data->uID;
  if (data->uFlags & NIF_TIP) r.tip = kvp::Field(data->szTip, sizeof data->szTip);
  r.balloon = (data->uFlags & NIF_INFO) && data->szInfo[0];
  if (r.balloon) {
    r.info = kvp::Field(data->szInfo, sizeof data->szInfo);
    r.title = kvp::Field(data->szInfoTitle, sizeof data->szInfoTitle);
    r.infoFlags = data->dwInfoFlags;
    r.timeoutMs = data->uTimeout;
  }
  auto& tray = kvp::TheTray();
  {
    std::lock_guard lock(tray.mu);
    const auto key = std::make_pair(data->hWnd, data->uID);
    const bool known = tray.shown.count(key) != 0;
    if ((message == NIM_ADD && known) || (message != NIM_ADD && !known)) return FALSE;
    if (message == NIM_ADD) tray.shown.insert(key);
    if (message == NIM_DELETE) tray.shown.erase(key);
    if (tray.recording) tray.records.push_back(r);
  }
  if (r.balloon && message != NIM_DELETE) kvp::DesktopNotify(r.title, r.info);
  return TRUE;
}

}  // extern "C"
