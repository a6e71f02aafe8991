// The taskbar notification area: icons are tracked and, while a test asks, every call is recorded;
// a balloon also becomes a desktop notification through libnotify when a session bus is there
// (loaded at run time, so the platform runs without it). The desktop call may block on the session
// bus for as long as it likes, so it runs on a notifier thread of its own: the caller of
// Shell_NotifyIcon (a link's window thread) never waits for it.
#include <platform/device.h>

#include <dlfcn.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

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

bool DesktopPresent() { return std::getenv("DBUS_SESSION_BUS_ADDRESS") && !std::getenv("KV_NO_DESKTOP_NOTIFY"); }

// libnotify, when it and a session bus exist.
void LibnotifyNotify(const std::string& title, const std::string& text) {
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

// Balloons waiting for the desktop. A desktop that does not take them loses the oldest beyond a
// few, never the caller's time.
class Notifier {
 public:
  static constexpr size_t kMaxWaiting = 8;

  void Post(std::string title, std::string text) {
    {
      std::lock_guard lock(mu_);
      if (!notify_ && !DesktopPresent()) return;  // no desktop to show it: no thread either
      if (waiting_.size() == kMaxWaiting) waiting_.pop_front();
      waiting_.emplace_back(std::move(title), std::move(text));
      if (!started_) {
        started_ = true;
        std::thread([this] { Run(); }).detach();  // lives as long as the process
      }
    }
    ready_.notify_one();
  }

  DesktopNotifier Replace(DesktopNotifier notifier) {
    std::lock_guard lock(mu_);
    DesktopNotifier previous = std::move(notify_);
    notify_ = std::move(notifier);
    return previous;
  }

 private:
  void Run() {
    std::unique_lock lock(mu_);
    for (;;) {
      ready_.wait(lock, [&] { return !waiting_.empty(); });
      auto [title, text] = std::move(waiting_.front());
      waiting_.pop_front();
      const DesktopNotifier notify = notify_;
      lock.unlock();
      if (notify)
        notify(title, text);
      else
        LibnotifyNotify(title, text);
      lock.lock();
    }
  }

  std::mutex mu_;
  std::condition_variable ready_;
  std::deque<std::pair<std::string, std::string>> waiting_;
  DesktopNotifier notify_;
  bool started_ = false;
};
Notifier& TheNotifier() {
  static auto* notifier = new Notifier;
  return *notifier;
}

}  // namespace

DesktopNotifier SetDesktopNotifier(DesktopNotifier notifier) { return TheNotifier().Replace(std::move(notifier)); }

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
  if (r.balloon && message != NIM_DELETE) kvp::TheNotifier().Post(r.title, r.info);
  return TRUE;
}

}  // extern "C"
