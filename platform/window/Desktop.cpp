// Windows across processes. Each process with an open display serves a Unix socket
// "kvwin-<pid>.sock" in the per-user runtime folder; a connection carries one request and its
// answer. Listing windows reads the window records under the window-system lock, so it answers
// even while the GUI thread is busy; acting on a window goes through the GUI thread with the
// caller's time-out. Proxy handles stand for the windows of other processes on this side.
#include "window/DesktopInternal.h"

#include <platform/desktop.h>
#include <platform/files.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "window/WindowSystem.h"

namespace kvp::desktop {
namespace {

using win::Sys;
using Clock = std::chrono::steady_clock;

enum class Op : uint32_t { List = 1, Show, Foreground, Post, Send };

constexpr uint32_t kMaxMessage = 16u << 20;
constexpr int kListTimeoutMs = 1000;

// ---------------------------------------------------------------------------------------------
// Wire: a message is a 4-byte length and that many bytes; fields are little-endian as in memory.

class Writer {
 public:
  template <class T>
  void Put(T v) {
    bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  void PutString(const std::string& s) {
    Put(static_cast<uint32_t>(s.size()));
    bytes += s;
  }
  std::string bytes;
};

class Reader {
 public:
  explicit Reader(const std::string& b) : bytes_(b) {}
  template <class T>
  bool Get(T* v) {
    if (at_ + sizeof(T) > bytes_.size()) return false;
    memcpy(v, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  bool GetString(std::string* s) {
    uint32_t n;
    if (!Get(&n) || n > bytes_.size() - at_) return false;
    s->assign(bytes_, at_, n);
    at_ += n;
    return true;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

bool WaitFd(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, RemainingMs(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

enum class Io { Ok, Timeout, Broken };

Io WriteAll(int fd, const std::string& bytes, Clock::time_point deadline) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFd(fd, POLLOUT, deadline)) return Io::Timeout;
      continue;
    }
    return Io::Broken;
  }
  return Io::Ok;
}

Io ReadExact(int fd, char* out, size_t size, Clock::time_point deadline) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = recv(fd, out + done, size - done, MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return Io::Broken;
    if (errno == EAGAIN || errno == EINTR) {
      if (!WaitFd(fd, POLLIN, deadline)) return Io::Timeout;
      continue;
    }
    return Io::Broken;
  }
  return Io::Ok;
}

Io SendFrame(int fd, const std::string& payload, Clock::time_point deadline) {
  Writer w;
  w.Put(static_cast<uint32_t>(payload.size()));
  w.bytes += payload;
  return WriteAll(fd, w.bytes, deadline);
}

Io ReadFrame(int fd, std::string* payload, Clock::time_point deadline) {
  uint32_t n = 0;
  Io io = ReadExact(fd, reinterpret_cast<char*>(&n), sizeof n, deadline);
  if (io != Io::Ok) return io;
  if (n > kMaxMessage) return Io::Broken;
  payload->resize(n);
  return ReadExact(fd, payload->data(), n, deadline);
}

std::string SocketFolder() { return RuntimeDir(); }
std::string SocketPath(pid_t pid) { return SocketFolder() + "/kvwin-" + std::to_string(pid) + ".sock"; }

// ---------------------------------------------------------------------------------------------
// Server side.

struct WindowInfo {
  uint32_t hwnd = 0;
  uint32_t threadId = 0;
  uint32_t flags = 0;  // 1 visible, 2 iconic
  std::string cls, title;
};

std::vector<WindowInfo> OwnTopLevels() {
  std::vector<WindowInfo> out;
  win::Lock lock(Sys().mu);
  for (HWND h : Sys().topLevels) {
    auto w = win::Get(h);
    if (!w || w->destroying) continue;
    WindowInfo info;
    info.hwnd = h;
    info.threadId = w->threadId;
    info.flags = ((w->style & WS_VISIBLE) ? 1u : 0u) | (w->minimized ? 2u : 0u);
    info.cls = w->cls ? w->cls->name : std::string();
    info.title = w->text;
    out.push_back(info);
  }
  return out;
}

// Runs fn on the GUI thread, waiting at most timeoutMs; false when it did not run in time.
bool OnGuiWithin(std::function<LRESULT()> fn, UINT timeoutMs, LRESULT* result) {
  DWORD gui = GuiThreadId();
  if (!gui) return false;
  auto promise = std::make_shared<std::promise<LRESULT>>();
  auto future = promise->get_future();
  if (!win::PostLoopCall(gui, [promise, fn] { promise->set_value(fn()); })) return false;
  if (future.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) return false;
  *result = future.get();
  return true;
}

void Serve(int fd) {
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  std::string request;
  if (ReadFrame(fd, &request, deadline) != Io::Ok) return;
  Reader r(request);
  uint32_t op = 0, hwnd = 0, msg = 0, timeoutMs = 0;
  uint64_t wParam = 0, lParam = 0;
  std::string data;
  if (!r.Get(&op) || !r.Get(&hwnd) || !r.Get(&msg) || !r.Get(&wParam) || !r.Get(&lParam) || !r.Get(&timeoutMs) ||
      !r.GetString(&data)) {
    return;
  }
  Writer w;
  switch (static_cast<Op>(op)) {
    case Op::List: {
      auto list = OwnTopLevels();
      w.Put(static_cast<uint32_t>(list.size()));
      for (const WindowInfo& i : list) {
        w.Put(i.hwnd);
        w.Put(i.threadId);
        w.Put(i.flags);
        w.PutString(i.cls);
        w.PutString(i.title);
      }
      break;
    }
    case Op::Show:
    case Op::Foreground: {
      LRESULT result = 0;
      const bool ran = OnGuiWithin(
          [=]() -> LRESULT {
            if (!IsWindow(hwnd)) return 0;
            if (static_cast<Op>(op) == Op::Show) {
              ShowWindow(hwnd, static_cast<int>(wParam));
              return 1;
            }
            return SetForegroundWindow(hwnd);
          },
          timeoutMs, &result);
      w.Put(static_cast<uint32_t>(ran ? 1 : 0));
      w.Put(static_cast<int64_t>(result));
      break;
    }
    case Op::Post: {
      BOOL ok = FALSE;
      if (IsWindow(hwnd)) {
        if (msg == WM_QUIT) {
          DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
          const int code = static_cast<int>(wParam);
          ok = win::PostLoopCall(thread, [code] { PostQuitMessage(code); }) ? TRUE : FALSE;
        } else {
          ok = PostMessage(hwnd, msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
        }
      }
      w.Put(static_cast<uint32_t>(ok ? 1 : 0));
      w.Put(int64_t{0});
      break;
    }
    case Op::Send: {
      DWORD_PTR result = 0;
      LRESULT ok;
      if (msg == WM_COPYDATA) {
        auto copy = std::make_shared<std::string>(data);
        auto cds = std::make_shared<COPYDATASTRUCT>();
        cds->dwData = static_cast<ULONG_PTR>(lParam);
        cds->cbData = static_cast<DWORD>(copy->size());
        cds->lpData = copy->empty() ? nullptr : copy->data();
        auto keep = std::make_shared<std::pair<std::shared_ptr<std::string>, std::shared_ptr<COPYDATASTRUCT>>>(copy, cds);
        ok = SendMessageTimeoutKeeping(keep, hwnd, WM_COPYDATA, static_cast<WPARAM>(wParam),
                                       reinterpret_cast<LPARAM>(cds.get()), SMTO_NORMAL, timeoutMs, &result);
      } else {
        ok = SendMessageTimeout(hwnd, msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam), SMTO_NORMAL,
                                timeoutMs, &result);
      }
      w.Put(static_cast<uint32_t>(ok ? 1 : 0));
      w.Put(static_cast<int64_t>(result));
      w.Put(static_cast<uint32_t>(ok ? ERROR_SUCCESS : GetLastError()));
      break;
    }
  }
  SendFrame(fd, w.bytes, Clock::now() + std::chrono::seconds(5));
}

struct Server {
  std::mutex mu;
  int listenFd = -1;
  int wakePipe[2] = {-1, -1};
  std::thread thread;
  std::string path;
};
Server gServer;

void ServerLoop(int listenFd, int wakeFd) {
  for (;;) {
    pollfd p[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    if (poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (p[1].revents) return;
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::thread([fd] {
      Serve(fd);
      close(fd);
    }).detach();
  }
}

// ---------------------------------------------------------------------------------------------
// Client side: proxies.

struct Proxy final : KernelObject {
  pid_t pid = 0;
  uint32_t remote = 0;
  uint32_t threadId = 0;
  bool fake = false;  // a headless foreign window
  std::string cls, title;
  bool iconic = false, visible = true;
  std::vector<std::string> actions;
};

std::mutex gProxyMu;
std::map<std::pair<pid_t, uint32_t>, HWND> gProxies;
std::vector<HWND> gFakes;  // headless foreign windows, in the order they were added

std::shared_ptr<Proxy> LookupProxy(HWND h) { return HandleTable::Instance().GetAs<Proxy>(h); }

HWND ProxyFor(pid_t pid, const WindowInfo& info) {
  std::lock_guard lock(gProxyMu);
  auto key = std::make_pair(pid, info.hwnd);
  auto it = gProxies.find(key);
  if (it != gProxies.end()) {
    if (auto p = LookupProxy(it->second)) {
      p->threadId = info.threadId;
      return it->second;
    }
  }
  auto p = std::make_shared<Proxy>();
  p->pid = pid;
  p->remote = info.hwnd;
  p->threadId = info.threadId;
  HWND h = RegisterHandle(p);
  gProxies[key] = h;
  return h;
}

struct Reply {
  bool ok = false;      // the request was answered
  std::string payload;
  bool timedOut = false;
};

Reply Ask(pid_t pid, Op op, uint32_t hwnd, uint32_t msg, uint64_t wParam, uint64_t lParam, uint32_t timeoutMs,
          const std::string& data) {
  Reply reply;
  const std::string path = SocketPath(pid);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return reply;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    close(fd);
    return reply;
  }
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    // Nobody serves it any more: the process is gone.
    if (errno == ECONNREFUSED) unlink(path.c_str());
    close(fd);
    return reply;
  }
  Writer w;
  w.Put(static_cast<uint32_t>(op));
  w.Put(hwnd);
  w.Put(msg);
  w.Put(wParam);
  w.Put(lParam);
  w.Put(timeoutMs);
  w.PutString(data);
  // The peer itself waits at most timeoutMs; give the answer a little longer to arrive.
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs + 500);
  if (SendFrame(fd, w.bytes, deadline) == Io::Ok) {
    Io io = ReadFrame(fd, &reply.payload, deadline);
    reply.ok = io == Io::Ok;
    reply.timedOut = io == Io::Timeout;
  }
  close(fd);
  return reply;
}

std::vector<WindowInfo> ListOf(pid_t pid) {
  std::vector<WindowInfo> out;
  Reply r = Ask(pid, Op::List, 0, 0, 0, 0, kListTimeoutMs, {});
  if (!r.ok) return out;
  Reader rd(r.payload);
  uint32_t n = 0;
  if (!rd.Get(&n)) return out;
  for (uint32_t i = 0; i < n; ++i) {
    WindowInfo info;
    if (!rd.Get(&info.hwnd) || !rd.Get(&info.threadId) || !rd.Get(&info.flags) || !rd.GetString(&info.cls) ||
        !rd.GetString(&info.title)) {
      break;
    }
    out.push_back(info);
  }
  return out;
}

// The other processes serving windows, most recently started first.
std::vector<pid_t> Peers() {
  std::vector<std::pair<long, pid_t>> found;
  const pid_t self = getpid();
  if (DIR* d = opendir(SocketFolder().c_str())) {
    while (dirent* e = readdir(d)) {
      long pid = 0;
      char tail[8] = {};
      if (sscanf(e->d_name, "kvwin-%ld.%5s", &pid, tail) == 2 && strcmp(tail, "sock") == 0 && pid != self) {
        found.emplace_back(pid, static_cast<pid_t>(pid));
      }
    }
    closedir(d);
  }
  std::sort(found.rbegin(), found.rend());
  std::vector<pid_t> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

// The proxy's window as its owner sees it now; false when it is gone.
bool Query(const Proxy& p, WindowInfo* out) {
  for (const WindowInfo& info : ListOf(p.pid)) {
    if (info.hwnd == p.remote) {
      *out = info;
      return true;
    }
  }
  return false;
}

bool Matches(const std::string& cls, const std::string& title, LPCSTR wantClass, LPCSTR wantTitle) {
  if (wantClass && strcasecmp(cls.c_str(), wantClass) != 0) return false;
  return !wantTitle || title == wantTitle;
}

void CopyOut(const std::string& s, LPSTR buffer, int size, int* length) {
  if (!buffer || size <= 0) {
    *length = 0;
    return;
  }
  const size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
  memcpy(buffer, s.data(), n);
  buffer[n] = 0;
  *length = static_cast<int>(n);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void StartServer() {
  std::lock_guard lock(gServer.mu);
  if (gServer.listenFd >= 0) return;
  const std::string path = SocketPath(getpid());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    close(fd);
    return;
  }
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
      pipe2(gServer.wakePipe, O_CLOEXEC) != 0) {
    close(fd);
    unlink(path.c_str());
    return;
  }
  gServer.listenFd = fd;
  gServer.path = path;
  gServer.thread = std::thread(ServerLoop, fd, gServer.wakePipe[0]);
}

void StopServer() {
  {
    std::lock_guard plock(gProxyMu);
    for (HWND h : gFakes) HandleTable::Instance().Remove(h);
    gFakes.clear();
  }
  std::lock_guard lock(gServer.mu);
  if (gServer.listenFd < 0) return;
  const char byte = 1;
  (void)!write(gServer.wakePipe[1], &byte, 1);
  gServer.thread.join();
  close(gServer.listenFd);
  close(gServer.wakePipe[0]);
  close(gServer.wakePipe[1]);
  unlink(gServer.path.c_str());
  gServer.listenFd = -1;
}

bool IsProxy(HWND hwnd) { return hwnd && LookupProxy(hwnd) != nullptr; }

HWND FindForeign(HWND after, LPCSTR className, LPCSTR windowName) {
  // Candidates in order: the other processes' windows, then the headless foreign ones.
  bool passed = after == 0 || !IsProxy(after);
  for (pid_t pid : Peers()) {
    for (const WindowInfo& info : ListOf(pid)) {
      HWND h = ProxyFor(pid, info);
      if (!passed) {
        passed = h == after;
        continue;
      }
      if (Matches(info.cls, info.title, className, windowName)) return h;
    }
  }
  std::vector<HWND> fakes;
  {
    std::lock_guard lock(gProxyMu);
    fakes = gFakes;
  }
  for (HWND h : fakes) {
    auto p = LookupProxy(h);
    if (!p) continue;
    if (!passed) {
      passed = h == after;
      continue;
    }
    if (Matches(p->cls, p->title, className, windowName)) return h;
  }
  return 0;
}

BOOL ProxyIsWindow(HWND hwnd) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) return TRUE;
  WindowInfo info;
  return Query(*p, &info) ? TRUE : FALSE;
}

int ProxyText(HWND hwnd, bool className, LPSTR buffer, int size) {
  auto p = LookupProxy(hwnd);
  int length = 0;
  if (!p) return 0;
  if (p->fake) {
    CopyOut(className ? p->cls : p->title, buffer, size, &length);
    return length;
  }
  WindowInfo info;
  if (!Query(*p, &info)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  CopyOut(className ? info.cls : info.title, buffer, size, &length);
  return length;
}

BOOL ProxyState(HWND hwnd, bool iconic) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    return iconic ? p->iconic : p->visible;
  }
  WindowInfo info;
  if (!Query(*p, &info)) return FALSE;
  return (info.flags & (iconic ? 2u : 1u)) ? TRUE : FALSE;
}

BOOL ProxyShow(HWND hwnd, int cmd) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    const BOOL was = p->visible;
    p->actions.push_back("show " + std::to_string(cmd));
    if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) p->iconic = false;
    if (cmd == SW_MINIMIZE) p->iconic = true;
    p->visible = cmd != SW_HIDE;
    return was;
  }
  WindowInfo before;
  const bool known = Query(*p, &before);
  Reply r = Ask(p->pid, Op::Show, p->remote, 0, static_cast<uint64_t>(cmd), 0, kListTimeoutMs, {});
  return known && r.ok && (before.flags & 1u) ? TRUE : FALSE;
}

BOOL ProxyForeground(HWND hwnd) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    p->actions.push_back("foreground");
    return TRUE;
  }
  Reply r = Ask(p->pid, Op::Foreground, p->remote, 0, 0, 0, kListTimeoutMs, {});
  Reader rd(r.payload);
  uint32_t ran = 0;
  int64_t result = 0;
  return r.ok && rd.Get(&ran) && rd.Get(&result) && ran && result ? TRUE : FALSE;
}

HWND ProxyNext(HWND hwnd) { return FindForeign(hwnd, nullptr, nullptr); }

DWORD ProxyThreadProcessId(HWND hwnd, LPDWORD processId) {
  auto p = LookupProxy(hwnd);
  if (!p) return 0;
  if (processId) *processId = static_cast<DWORD>(p->pid);
  return p->threadId;
}

BOOL ProxyPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    p->actions.push_back(msg == WM_CLOSE ? "close" : msg == WM_QUIT ? "quit" : "post " + std::to_string(msg));
    return TRUE;
  }
  Reply r = Ask(p->pid, Op::Post, p->remote, msg, static_cast<uint64_t>(wParam), static_cast<uint64_t>(lParam),
                kListTimeoutMs, {});
  Reader rd(r.payload);
  uint32_t ok = 0;
  if (!r.ok || !rd.Get(&ok) || !ok) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LRESULT ProxySend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, PDWORD_PTR result, bool* ok) {
  *ok = false;
  if (result) *result = 0;
  auto p = LookupProxy(hwnd);
  if (!p) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    p->actions.push_back(msg == WM_CLOSE ? "close" : "send " + std::to_string(msg));
    *ok = true;
    return 0;
  }
  std::string data;
  uint64_t dataWord = 0;
  if (msg == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!cds || (cds->cbData && !cds->lpData)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    data.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    dataWord = cds->dwData;
  } else {
    dataWord = static_cast<uint64_t>(lParam);  // numbers only across processes
  }
  Reply r = Ask(p->pid, Op::Send, p->remote, msg, static_cast<uint64_t>(wParam), dataWord, timeoutMs, data);
  Reader rd(r.payload);
  uint32_t sent = 0, error = 0;
  int64_t value = 0;
  if (!r.ok || !rd.Get(&sent) || !rd.Get(&value) || !rd.Get(&error)) {
    SetLastError(r.timedOut ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!sent) {
    SetLastError(error ? error : ERROR_TIMEOUT);
    return 0;
  }
  *ok = true;
  if (result) *result = static_cast<DWORD_PTR>(value);
  return static_cast<LRESULT>(value);
}

}  // namespace kvp::desktop

namespace kvp {

bool IsForeignWindow(HWND hwnd) { return desktop::IsProxy(hwnd); }

namespace headless {

HWND AddForeignWindow(const char* className, const char* title, bool iconic, bool visible) {
  auto p = std::make_shared<desktop::Proxy>();
  p->fake = true;
  p->cls = className ? className : "";
  p->title = title ? title : "";
  p->iconic = iconic;
  p->visible = visible;
  HWND h = RegisterHandle(p);
  std::lock_guard lock(desktop::gProxyMu);
  desktop::gFakes.push_back(h);
  return h;
}

std::vector<std::string> ForeignWindowActions(HWND foreign) {
  auto p = desktop::LookupProxy(foreign);
  if (!p) return {};
  std::lock_guard lock(desktop::gProxyMu);
  return p->actions;
}

}  // namespace headless
}  // namespace kvp
