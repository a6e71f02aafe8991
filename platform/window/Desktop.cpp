// Windows across processes. Each process with an open display serves a Unix socket
// "kvwin-<pid>.sock" in the per-user runtime folder (its wire: window/DesktopWire.h); a connection
// carries one request and its answer. Proxy handles stand for the windows of other processes on
// this side.
//
// The server is one poll loop and a small pool of workers. The loop keeps at most
// kMaxConnections connections (more are closed at once), waits kRequestDeadline for a request and
// kAnswerDeadline for its answer to be taken, and answers lists and posts itself: the window
// records are read under the window-system lock, so it answers while the GUI thread is busy.
// What needs the GUI thread (show, foreground, send) goes to a worker, which waits at most the
// request's time-out. Only this process's top-level windows can be named, and a message crosses
// only as the wire's carriage rule lets it: numbers, or a text or bytes by value.
//
// The client never waits without a deadline: connects are non-blocking, one search asks all peers
// at once within one deadline, a peer that did not answer in time is not asked again for
// kSkipFor, and a GW_HWNDNEXT walk goes on in the list its search took. Socket files of ended
// processes are removed.
//
// These waits run on the steady clock, not the platform clock: the other process does not run on
// this process's virtual clock.
#include "window/DesktopInternal.h"
#include "window/DesktopWire.h"

#include <platform/desktop.h>
#include <platform/codepage.h>
#include <platform/files.h>
#include <platform/registry.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "window/WindowSystem.h"

namespace kvp::desktop {
namespace {

using win::Sys;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using wire::Op;

// The client's bounds.
constexpr milliseconds kLookDeadline{1000};  // one search, or one query of a window: all peers together
constexpr milliseconds kActDeadline{1000};   // ShowWindow, SetForegroundWindow, PostMessage
constexpr milliseconds kSendGrace{500};      // a send's answer may come this long after the peer's own time-out
constexpr milliseconds kSkipFor{3000};       // a peer that did not answer in time is not asked meanwhile
constexpr milliseconds kSnapshotLife{2000};  // how long a walk may go on in the list its search took
constexpr uint32_t kMaxSendMs = 30000;       // the longest a peer's GUI thread is waited for
// The server's bounds.
constexpr milliseconds kRequestDeadline{2000};
constexpr milliseconds kAnswerDeadline{2000};
constexpr size_t kMaxConnections = 16;
constexpr int kWorkers = 2;
constexpr size_t kMaxQueued = 8;
constexpr int kBacklog = 16;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

std::string SocketFolder() { return RuntimeDir(); }
std::string SocketPath(pid_t pid) { return SocketFolder() + "/kvwin-" + std::to_string(pid) + ".sock"; }

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

wire::Answer Failure(DWORD error) {
  wire::Answer a;
  a.error = static_cast<uint32_t>(error);
  return a;
}

// ---------------------------------------------------------------------------------------------
// Server side: what a request does here.

std::vector<wire::WindowRecord> OwnTopLevels() {
  std::vector<wire::WindowRecord> out;
  win::Lock lock(Sys().mu);
  for (HWND h : Sys().topLevels) {
    auto w = win::Get(h);
    if (!w || w->destroying) continue;
    wire::WindowRecord info;
    info.hwnd = h;
    info.threadId = w->threadId;
    info.flags = ((w->style & WS_VISIBLE) ? 1u : 0u) | (w->minimized ? 2u : 0u);
    info.cls = w->cls ? w->cls->name : std::string();
    info.title = w->text;
    out.push_back(std::move(info));
  }
  return out;
}

// The windows another process may name: this process's top-level windows, the ones it lists.
bool IsOwnTopLevel(uint32_t hwnd) {
  win::Lock lock(Sys().mu);
  const auto& tops = Sys().topLevels;
  if (std::find(tops.begin(), tops.end(), static_cast<HWND>(hwnd)) == tops.end()) return false;
  auto w = win::Get(hwnd);
  return w && !w->destroying;
}

// Runs fn on the GUI thread, waiting at most timeoutMs; false when it did not run in time.
bool OnGuiWithin(std::function<LRESULT()> fn, UINT timeoutMs, LRESULT* result) {
  DWORD gui = GuiThreadId();
  if (!gui) return false;
  auto promise = std::make_shared<std::promise<LRESULT>>();
  auto future = promise->get_future();
  if (!win::PostLoopCall(gui, [promise, fn] { promise->set_value(fn()); })) return false;
  if (future.wait_for(milliseconds(timeoutMs)) != std::future_status::ready) return false;
  *result = future.get();
  return true;
}

wire::Answer DoPost(const wire::Request& r) {
  if (!IsOwnTopLevel(r.hwnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE);
  if (wire::CarriageOf(r.msg, r.wParam, r.lParam, true) != wire::Carriage::Numbers) return Failure(ERROR_ACCESS_DENIED);
  BOOL ok;
  if (r.msg == WM_QUIT) {
    // WM_QUIT ends the owner's current message loop, as the system's own posted quit does.
    const DWORD thread = GetWindowThreadProcessId(r.hwnd, nullptr);
    const int code = static_cast<int>(r.wParam);
    ok = win::PostLoopCall(thread, [code] { PostQuitMessage(code); }) ? TRUE : FALSE;
  } else {
    ok = PostMessage(r.hwnd, r.msg, static_cast<WPARAM>(r.wParam), static_cast<LPARAM>(r.lParam));
  }
  if (!ok) return Failure(ERROR_INVALID_WINDOW_HANDLE);
  wire::Answer a;
  a.ok = 1;
  return a;
}

// Why a request for the GUI thread is refused before it is queued; nothing when it may run.
std::optional<wire::Answer> Refusal(const wire::Request& r) {
  if (!IsOwnTopLevel(r.hwnd)) return Failure(ERROR_INVALID_WINDOW_HANDLE);
  if (r.op == Op::Send && wire::CarriageOf(r.msg, r.wParam, r.lParam, false) == wire::Carriage::Refused) {
    return Failure(ERROR_ACCESS_DENIED);
  }
  return std::nullopt;
}

// A send from another process: texts and bytes arrive by value and live here until the handler
// is done with them (also when the send times out before it ran).
wire::Answer RunSend(const wire::Request& r, UINT timeoutMs) {
  const HWND hwnd = r.hwnd;
  DWORD_PTR result = 0;
  LRESULT ok = 0;
  wire::Answer a;
  switch (wire::CarriageOf(r.msg, r.wParam, r.lParam, false)) {
    case wire::Carriage::Numbers:
      ok = SendMessageTimeout(hwnd, r.msg, static_cast<WPARAM>(r.wParam), static_cast<LPARAM>(r.lParam), SMTO_NORMAL,
                              timeoutMs, &result);
      break;
    case wire::Carriage::SetText: {
      auto text = std::make_shared<std::string>(r.data);
      ok = SendMessageTimeoutKeeping(text, hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text->c_str()), SMTO_NORMAL,
                                     timeoutMs, &result);
      break;
    }
    case wire::Carriage::GetText: {
      const size_t size = static_cast<size_t>(std::min<uint64_t>(r.wParam, wire::kMaxText + 1));
      auto buffer = std::make_shared<std::vector<char>>(size + 1, '\0');
      ok = SendMessageTimeoutKeeping(buffer, hwnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer->data()),
                                     SMTO_NORMAL, timeoutMs, &result);
      if (ok && size > 0) {
        a.data.assign(buffer->data(), strnlen(buffer->data(), size - 1));
        result = a.data.size();
      }
      break;
    }
    case wire::Carriage::CopyData: {
      struct Kept {
        std::string bytes;
        COPYDATASTRUCT cds{};
      };
      auto kept = std::make_shared<Kept>();
      kept->bytes = r.data;
      kept->cds.dwData = static_cast<ULONG_PTR>(r.lParam);
      kept->cds.cbData = static_cast<DWORD>(kept->bytes.size());
      kept->cds.lpData = kept->bytes.empty() ? nullptr : kept->bytes.data();
      ok = SendMessageTimeoutKeeping(kept, hwnd, WM_COPYDATA, static_cast<WPARAM>(r.wParam),
                                     reinterpret_cast<LPARAM>(&kept->cds), SMTO_NORMAL, timeoutMs, &result);
      break;
    }
    case wire::Carriage::Refused: return Failure(ERROR_ACCESS_DENIED);
  }
  if (!ok) return Failure(GetLastError() ? GetLastError() : ERROR_TIMEOUT);
  a.ok = 1;
  a.result = static_cast<int64_t>(result);
  return a;
}

struct Job {
  uint64_t connection = 0;
  wire::Request request;
  Clock::time_point queued;
};

// A job's answer; its time-out counts from when it was queued.
wire::Answer RunJob(const Job& job) {
  const wire::Request& r = job.request;
  const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - job.queued).count();
  const uint32_t limit = std::min(r.timeoutMs, kMaxSendMs);
  if (waited >= limit) return Failure(ERROR_TIMEOUT);
  const UINT timeoutMs = limit - static_cast<UINT>(waited);
  switch (r.op) {
    case Op::Show:
    case Op::Foreground: {
      const bool show = r.op == Op::Show;
      const HWND hwnd = r.hwnd;
      const int cmd = static_cast<int>(r.wParam);
      LRESULT result = 0;
      const bool ran = OnGuiWithin(
          [=]() -> LRESULT {
            if (!IsWindow(hwnd)) return 0;
            return show ? ShowWindow(hwnd, cmd) : SetForegroundWindow(hwnd);
          },
          timeoutMs, &result);
      if (!ran) return Failure(ERROR_TIMEOUT);
      wire::Answer a;
      a.ok = 1;
      a.result = result;  // ShowWindow: whether it was visible before
      return a;
    }
    case Op::Send: return RunSend(r, timeoutMs);
    default: return Failure(ERROR_INVALID_PARAMETER);
  }
}

// What the server's loop and its workers share. Workers are not joined: one may be in a wait for
// the GUI thread (bounded by its request) while that thread stops the server; it ends afterwards.
struct Shared {
  std::mutex mu;
  std::condition_variable wake;
  std::deque<Job> jobs;
  std::deque<std::pair<uint64_t, wire::Answer>> done;
  bool stopping = false;
  int notifyFd = -1;  // the loop's wake pipe; -1 once the loop has ended
};

void WorkerLoop(std::shared_ptr<Shared> shared) {
  std::unique_lock lock(shared->mu);
  for (;;) {
    shared->wake.wait(lock, [&] { return shared->stopping || !shared->jobs.empty(); });
    if (shared->stopping) return;
    Job job = std::move(shared->jobs.front());
    shared->jobs.pop_front();
    lock.unlock();
    wire::Answer answer = RunJob(job);
    lock.lock();
    if (shared->stopping) return;
    shared->done.emplace_back(job.connection, std::move(answer));
    if (shared->notifyFd >= 0) {
      const char byte = 1;
      (void)!write(shared->notifyFd, &byte, 1);  // non-blocking: a full pipe wakes the loop all the same
    }
  }
}

class ServerLoop {
 public:
  ServerLoop(std::shared_ptr<Shared> shared, int listenFd, int stopFd, int notifyFd)
      : shared_(std::move(shared)), listenFd_(listenFd), stopFd_(stopFd), notifyFd_(notifyFd) {}

  void Run() {
    for (;;) {
      TakeDone();
      const auto now = Clock::now();
      for (Connection& c : connections_) {
        if (c.phase != Phase::Working && now >= c.deadline) Close(c);
      }
      Sweep();
      std::vector<pollfd> fds{{stopFd_, POLLIN, 0}, {notifyFd_, POLLIN, 0}};
      const bool accepting = now >= acceptPausedUntil_;
      fds.push_back({accepting ? listenFd_ : -1, POLLIN, 0});
      Clock::time_point next = accepting ? Clock::time_point::max() : acceptPausedUntil_;
      for (const Connection& c : connections_) {
        const short events = c.phase == Phase::Reading ? POLLIN : c.phase == Phase::Writing ? POLLOUT : 0;
        fds.push_back({c.fd, events, 0});
        if (c.phase != Phase::Working) next = std::min(next, c.deadline);
      }
      const int timeout = next == Clock::time_point::max() ? -1 : std::max(1, RemainingMs(next));
      if (poll(fds.data(), fds.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents) break;
      if (fds[1].revents) {
        char drain[64];
        while (read(notifyFd_, drain, sizeof drain) > 0) {
        }
      }
      // Connections first (their poll entries follow the first three), then new ones.
      const size_t count = connections_.size();
      for (size_t i = 0; i < count; ++i) {
        Connection& c = connections_[i];
        const short revents = fds[3 + i].revents;
        if (!revents || c.fd < 0) continue;
        if (c.phase == Phase::Reading) {
          Read(c);
        } else if (c.phase == Phase::Writing) {
          Write(c);
        } else if (revents & (POLLHUP | POLLERR)) {
          Close(c);  // the client went away while its job runs; the job's answer is dropped
        }
      }
      Sweep();  // what ended above makes room for the connections waiting now
      if (fds[2].revents) Accept();
    }
    {
      std::lock_guard lock(shared_->mu);
      shared_->stopping = true;
      shared_->notifyFd = -1;
      shared_->jobs.clear();
    }
    shared_->wake.notify_all();
    for (Connection& c : connections_) Close(c);
  }

 private:
  enum class Phase { Reading, Working, Writing };
  struct Connection {
    uint64_t id = 0;
    int fd = -1;
    Phase phase = Phase::Reading;
    Clock::time_point deadline;
    std::string in;
    std::string out;
    size_t sent = 0;
  };

  void Close(Connection& c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
  }
  void Sweep() {
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(), [](const Connection& c) { return c.fd < 0; }),
                       connections_.end());
  }

  void Accept() {
    for (;;) {
      int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        // Out of descriptors or the like: look again a little later rather than spin.
        if (errno != EAGAIN && errno != EWOULDBLOCK) acceptPausedUntil_ = Clock::now() + milliseconds(100);
        return;
      }
      ucred cred{};
      socklen_t length = sizeof cred;
      const bool sameUser = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.uid == geteuid();
      if (!sameUser || connections_.size() >= kMaxConnections) {
        close(fd);  // refused at once
        continue;
      }
      Connection c;
      c.id = nextId_++;
      c.fd = fd;
      c.deadline = Clock::now() + kRequestDeadline;
      connections_.push_back(std::move(c));
    }
  }

  // Reads what the request still lacks; a complete request is handled, a malformed one closes
  // the connection.
  void Read(Connection& c) {
    for (;;) {
      uint32_t length = 0;
      if (c.in.size() >= sizeof length) memcpy(&length, c.in.data(), sizeof length);
      const size_t want = c.in.size() < sizeof length ? sizeof length : sizeof length + length;
      if (c.in.size() == want) {
        wire::Request request;
        if (!wire::DecodeRequest(c.in.substr(sizeof length), &request)) return Close(c);
        c.in.clear();
        return Handle(c, request);
      }
      char buffer[65536];
      const ssize_t n = recv(c.fd, buffer, std::min(want - c.in.size(), sizeof buffer), MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      if (n <= 0) return Close(c);
      c.in.append(buffer, static_cast<size_t>(n));
      if (c.in.size() >= sizeof length) {
        memcpy(&length, c.in.data(), sizeof length);
        if (length > wire::kMaxFrame) return Close(c);
      }
    }
  }

  void Handle(Connection& c, const wire::Request& r) {
    switch (r.op) {
      case Op::List: return Answer(c, wire::EncodeList(OwnTopLevels()));
      case Op::Post: return Answer(c, wire::EncodeAnswer(DoPost(r)));
      default: break;
    }
    if (auto refusal = Refusal(r)) return Answer(c, wire::EncodeAnswer(*refusal));
    {
      std::lock_guard lock(shared_->mu);
      if (shared_->jobs.size() < kMaxQueued) {
        shared_->jobs.push_back(Job{c.id, r, Clock::now()});
        c.phase = Phase::Working;
      }
    }
    if (c.phase != Phase::Working) return Answer(c, wire::EncodeAnswer(Failure(ERROR_TIMEOUT)));  // too busy
    shared_->wake.notify_one();
  }

  void Answer(Connection& c, const std::string& payload) {
    c.out = wire::Frame(payload);
    c.sent = 0;
    c.phase = Phase::Writing;
    c.deadline = Clock::now() + kAnswerDeadline;
    Write(c);
  }

  void Write(Connection& c) {
    while (c.sent < c.out.size()) {
      const ssize_t n = send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      if (n <= 0) return Close(c);
      c.sent += static_cast<size_t>(n);
    }
    Close(c);  // answered: the connection has done its one request
  }

  void TakeDone() {
    std::deque<std::pair<uint64_t, wire::Answer>> done;
    {
      std::lock_guard lock(shared_->mu);
      done.swap(shared_->done);
    }
    for (auto& [id, answer] : done) {
      for (Connection& c : connections_) {
        if (c.id == id && c.fd >= 0 && c.phase == Phase::Working) Answer(c, wire::EncodeAnswer(answer));
      }
    }
  }

  std::shared_ptr<Shared> shared_;
  int listenFd_, stopFd_, notifyFd_;
  std::vector<Connection> connections_;
  uint64_t nextId_ = 1;
  Clock::time_point acceptPausedUntil_{};
};

struct Server {
  std::mutex mu;
  int listenFd = -1;
  int stopPipe[2] = {-1, -1};
  int notifyPipe[2] = {-1, -1};
  std::thread thread;
  std::string path;
};
Server gServer;

// ---------------------------------------------------------------------------------------------
// Client side: asking peers.

// Peers that did not answer in time, and until when they are left alone.
std::mutex gSkipMu;
std::map<pid_t, Clock::time_point> gSkipUntil;

bool Skipped(pid_t pid) {
  std::lock_guard lock(gSkipMu);
  auto it = gSkipUntil.find(pid);
  if (it == gSkipUntil.end()) return false;
  if (Clock::now() < it->second) return true;
  gSkipUntil.erase(it);
  return false;
}

void NoteSilent(pid_t pid) {
  std::lock_guard lock(gSkipMu);
  gSkipUntil[pid] = Clock::now() + kSkipFor;
}

void NoteAnswered(pid_t pid) {
  std::lock_guard lock(gSkipMu);
  gSkipUntil.erase(pid);
}

// When a process started, in seconds since the epoch (0 when unknown): /proc/<pid>/stat gives it
// in clock ticks since the boot, /proc/stat the boot time.
double ProcessStartSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 22) ticks = std::strtoull(field.c_str(), nullptr, 10);
  }
  std::ifstream system("/proc/stat");
  unsigned long long boot = 0;
  while (std::getline(system, line)) {
    if (sscanf(line.c_str(), "btime %llu", &boot) == 1) break;
  }
  const long hz = sysconf(_SC_CLK_TCK);
  if (!ticks || !boot || hz <= 0) return 0;
  return static_cast<double>(boot) + static_cast<double>(ticks) / static_cast<double>(hz);
}

// Removes the socket file of a process that has ended, or (`refused`: nobody listens on it) one
// left by an earlier process of the same number: the file is older than the process. A live
// process's own file is kept, also between its bind and its listen.
void RemoveIfStale(pid_t pid, bool refused) {
  const std::string path = SocketPath(pid);
  if (kill(pid, 0) != 0 && errno == ESRCH) {
    unlink(path.c_str());
    return;
  }
  if (!refused) return;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return;
  const double started = ProcessStartSeconds(pid);
  if (started > 0 && started > static_cast<double>(st.st_mtime) + 1.0) unlink(path.c_str());
}

enum class Outcome { Answered, Failed, Silent };
struct Reply {
  Outcome outcome = Outcome::Failed;
  std::string payload;
};

// Sends one request frame to each peer, all at once, and gathers the answers until the deadline.
// A peer that is not asked (skipped), whose backlog is full, or that has not answered by then is
// Silent and left alone for a while; a peer that is gone or closed the connection has Failed.
std::vector<Reply> AskAll(const std::vector<pid_t>& pids, const std::string& frame, Clock::time_point deadline) {
  enum class State { Connecting, Sending, Receiving, Done };
  struct Call {
    int fd = -1;
    State state = State::Done;
    size_t sent = 0;
    std::string in;
  };
  std::vector<Reply> replies(pids.size());
  std::vector<Call> calls(pids.size());
  std::vector<bool> skipped(pids.size(), false);
  auto fail = [&](size_t i, Outcome outcome) {
    replies[i].outcome = outcome;
    calls[i].state = State::Done;
  };
  for (size_t i = 0; i < pids.size(); ++i) {
    if (Skipped(pids[i])) {
      skipped[i] = true;
      fail(i, Outcome::Silent);
      continue;
    }
    sockaddr_un addr;
    const std::string path = SocketPath(pids[i]);
    int fd = FillAddress(path, &addr) ? socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0) {
      fail(i, Outcome::Failed);
      continue;
    }
    calls[i].fd = fd;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      calls[i].state = State::Sending;
    } else if (errno == EINPROGRESS || errno == EINTR) {
      calls[i].state = State::Connecting;
    } else if (errno == EAGAIN) {
      fail(i, Outcome::Silent);  // its backlog is full: it does not serve
    } else {
      if (errno == ECONNREFUSED || errno == ENOENT) RemoveIfStale(pids[i], errno == ECONNREFUSED);
      fail(i, Outcome::Failed);
    }
  }
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<size_t> which;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].state == State::Done) continue;
      fds.push_back({calls[i].fd, static_cast<short>(calls[i].state == State::Receiving ? POLLIN : POLLOUT), 0});
      which.push_back(i);
    }
    if (fds.empty()) break;
    const int left = RemainingMs(deadline);
    if (left == 0) break;
    const int n = poll(fds.data(), fds.size(), left);
    if (n < 0 && errno != EINTR) break;
    for (size_t k = 0; n > 0 && k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      const size_t i = which[k];
      Call& call = calls[i];
      if (call.state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(call.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error) {
          if (error == ECONNREFUSED) RemoveIfStale(pids[i], true);
          fail(i, Outcome::Failed);
          continue;
        }
        call.state = State::Sending;
      }
      if (call.state == State::Sending) {
        const ssize_t sent = send(call.fd, frame.data() + call.sent, frame.size() - call.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (sent <= 0) {
          fail(i, Outcome::Failed);
          continue;
        }
        call.sent += static_cast<size_t>(sent);
        if (call.sent == frame.size()) call.state = State::Receiving;
        continue;
      }
      // Receiving: a length word and the payload.
      char buffer[65536];
      const ssize_t got = recv(call.fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) {
        fail(i, Outcome::Failed);  // closed without an answer: refused, or the peer ended
        continue;
      }
      call.in.append(buffer, static_cast<size_t>(got));
      uint32_t length = 0;
      if (call.in.size() < sizeof length) continue;
      memcpy(&length, call.in.data(), sizeof length);
      if (length > wire::kMaxFrame) {
        fail(i, Outcome::Failed);
      } else if (call.in.size() >= sizeof length + length) {
        replies[i].payload = call.in.substr(sizeof length, length);
        fail(i, Outcome::Answered);
      }
    }
  }
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].state != State::Done) fail(i, Outcome::Silent);
    if (calls[i].fd >= 0) close(calls[i].fd);
    if (replies[i].outcome == Outcome::Silent && !skipped[i]) NoteSilent(pids[i]);
    if (replies[i].outcome == Outcome::Answered) NoteAnswered(pids[i]);
  }
  return replies;
}

Reply Ask(pid_t pid, const wire::Request& request, Clock::time_point deadline) {
  return AskAll({pid}, wire::Frame(wire::EncodeRequest(request)), deadline)[0];
}

// The answer to an operation on a window; false when none came (error set: the peer did not
// answer in time, or it and its window are gone).
bool AnswerOf(const Reply& reply, wire::Answer* answer) {
  if (reply.outcome == Outcome::Answered && wire::DecodeAnswer(reply.payload, answer)) return true;
  SetLastError(reply.outcome == Outcome::Silent ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
  return false;
}

// The other processes serving windows, most recently started first; files of ended ones go.
std::vector<pid_t> Peers() {
  std::vector<pid_t> out;
  const pid_t self = getpid();
  if (DIR* d = opendir(SocketFolder().c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      constexpr const char* kPrefix = "kvwin-";
      constexpr const char* kSuffix = ".sock";
      if (name.size() <= 11 || name.compare(0, 6, kPrefix) != 0 || name.compare(name.size() - 5, 5, kSuffix) != 0) {
        continue;
      }
      const std::string digits = name.substr(6, name.size() - 11);
      if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
      const pid_t pid = static_cast<pid_t>(std::stol(digits));
      if (pid <= 0 || pid == self) continue;
      if (kill(pid, 0) != 0 && errno == ESRCH) {
        unlink((SocketFolder() + "/" + name).c_str());
        continue;
      }
      out.push_back(pid);
    }
    closedir(d);
  }
  std::sort(out.rbegin(), out.rend());
  return out;
}

// ---------------------------------------------------------------------------------------------
// Client side: proxies.

struct Proxy final : KernelObject {
  pid_t pid = 0;
  uint32_t remote = 0;
  uint32_t threadId = 0;
  bool fake = false;  // a headless foreign window
  unsigned long xid = 0;  // a foreign X11 client
  std::string cls, title;
  bool iconic = false, visible = true;
  std::vector<std::string> actions;
};

std::mutex gProxyMu;
std::map<std::pair<pid_t, uint32_t>, HWND> gProxies;
std::vector<HWND> gFakes;  // headless foreign windows, in the order they were added

std::shared_ptr<Proxy> LookupProxy(HWND h) { return HandleTable::Instance().GetAs<Proxy>(h); }

std::map<unsigned long, HWND> gXProxies;

HWND ProxyForX(const ForeignX& f) {
  std::lock_guard lock(gProxyMu);
  auto it = gXProxies.find(f.xid);
  if (it != gXProxies.end() && LookupProxy(it->second)) return it->second;
  auto p = std::make_shared<Proxy>();
  p->xid = f.xid;
  p->pid = static_cast<pid_t>(f.pid);
  p->threadId = f.pid > 0 ? static_cast<uint32_t>(f.pid) : 1u;  // a nonzero thread id: the window exists
  HWND h = RegisterHandle(p);
  gXProxies[f.xid] = h;
  return h;
}

// The WM_CLASS names a Windows class stands for (HKLM "SOFTWARE\KV310Platform\WindowClasses",
// names separated by ';'), besides the class name itself.
std::vector<std::string> ClassAliases(LPCSTR windowsClass) {
  std::vector<std::string> out{windowsClass};
  HKEY key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310Platform\\WindowClasses", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return out;
  }
  char buf[512];
  DWORD size = sizeof buf - 1, type = 0;
  if (RegQueryValueEx(key, windowsClass, nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size) == ERROR_SUCCESS &&
      type == REG_SZ) {
    buf[std::min<DWORD>(size, sizeof buf - 1)] = 0;
    std::string all = buf;
    size_t start = 0;
    while (start <= all.size()) {
      size_t semi = all.find(';', start);
      std::string name = all.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
      if (!name.empty()) out.push_back(name);
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
  }
  RegCloseKey(key);
  return out;
}

bool MatchesX(const ForeignX& f, LPCSTR wantClass, LPCSTR wantTitle) {
  if (wantClass) {
    bool any = false;
    for (const std::string& name : ClassAliases(wantClass)) {
      any = any || strcasecmp(f.instance.c_str(), name.c_str()) == 0 || strcasecmp(f.cls.c_str(), name.c_str()) == 0;
    }
    if (!any) return false;
  }
  return !wantTitle || FromUtf8(f.title, ActiveCodePage()) == wantTitle;
}

HWND ProxyFor(pid_t pid, const wire::WindowRecord& info) {
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

wire::Request ListRequest() {
  wire::Request r;
  r.op = Op::List;
  r.timeoutMs = static_cast<uint32_t>(kLookDeadline.count());
  return r;
}

bool Matches(const std::string& cls, const std::string& title, LPCSTR wantClass, LPCSTR wantTitle) {
  if (wantClass && strcasecmp(cls.c_str(), wantClass) != 0) return false;
  return !wantTitle || title == wantTitle;
}

// The foreign windows in search order at one moment: the other processes' windows, the foreign
// X11 clients, the headless foreign windows.
struct Candidate {
  enum class Kind { Peer, X11, Fake } kind = Kind::Peer;
  HWND h = 0;
  wire::WindowRecord peer;
  ForeignX x;
};
struct Snapshot {
  Clock::time_point taken;
  std::vector<Candidate> list;
};

std::mutex gSnapshotMu;
std::shared_ptr<const Snapshot> gSnapshot;  // the last search's

std::shared_ptr<const Snapshot> TakeSnapshot() {
  auto snap = std::make_shared<Snapshot>();
  snap->taken = Clock::now();
  const std::vector<pid_t> peers = Peers();
  const std::vector<Reply> replies =
      AskAll(peers, wire::Frame(wire::EncodeRequest(ListRequest())), snap->taken + kLookDeadline);
  for (size_t i = 0; i < peers.size(); ++i) {
    std::vector<wire::WindowRecord> windows;
    if (replies[i].outcome != Outcome::Answered || !wire::DecodeList(replies[i].payload, &windows)) continue;
    for (wire::WindowRecord& w : windows) {
      Candidate c;
      c.h = ProxyFor(peers[i], w);
      c.peer = std::move(w);
      snap->list.push_back(std::move(c));
    }
  }
  for (const ForeignX& f : X11Clients()) {
    // Our own windows were searched already, those of the platform's programs through their sockets.
    if (f.pid == getpid() || std::find(peers.begin(), peers.end(), static_cast<pid_t>(f.pid)) != peers.end()) continue;
    Candidate c;
    c.kind = Candidate::Kind::X11;
    c.h = ProxyForX(f);
    c.x = f;
    snap->list.push_back(std::move(c));
  }
  std::vector<HWND> fakes;
  {
    std::lock_guard lock(gProxyMu);
    fakes = gFakes;
  }
  for (HWND h : fakes) {
    Candidate c;
    c.kind = Candidate::Kind::Fake;
    c.h = h;
    snap->list.push_back(std::move(c));
  }
  std::lock_guard lock(gSnapshotMu);
  gSnapshot = snap;
  return snap;
}

bool IndexAfter(const Snapshot& snap, HWND after, size_t* from) {
  for (size_t i = 0; i < snap.list.size(); ++i) {
    if (snap.list[i].h == after) {
      *from = i + 1;
      return true;
    }
  }
  return false;
}

bool CandidateMatches(const Candidate& c, LPCSTR wantClass, LPCSTR wantTitle) {
  switch (c.kind) {
    case Candidate::Kind::Peer: return Matches(c.peer.cls, c.peer.title, wantClass, wantTitle);
    case Candidate::Kind::X11: return MatchesX(c.x, wantClass, wantTitle);
    case Candidate::Kind::Fake: {
      auto p = LookupProxy(c.h);
      return p && Matches(p->cls, p->title, wantClass, wantTitle);
    }
  }
  return false;
}

// The proxy's window as its owner sees it now; false when it is gone (or its owner silent).
bool Query(const Proxy& p, wire::WindowRecord* out) {
  const Reply reply = Ask(p.pid, ListRequest(), Clock::now() + kLookDeadline);
  std::vector<wire::WindowRecord> windows;
  if (reply.outcome != Outcome::Answered || !wire::DecodeList(reply.payload, &windows)) return false;
  for (const wire::WindowRecord& info : windows) {
    if (info.hwnd == p.remote) {
      *out = info;
      return true;
    }
  }
  return false;
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
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, kBacklog) != 0 ||
      pipe2(gServer.stopPipe, O_CLOEXEC) != 0) {
    close(fd);
    unlink(path.c_str());
    return;
  }
  if (pipe2(gServer.notifyPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    close(fd);
    close(gServer.stopPipe[0]);
    close(gServer.stopPipe[1]);
    unlink(path.c_str());
    return;
  }
  auto shared = std::make_shared<Shared>();
  shared->notifyFd = gServer.notifyPipe[1];
  gServer.listenFd = fd;
  gServer.path = path;
  gServer.thread = std::thread([shared, fd, stop = gServer.stopPipe[0], notify = gServer.notifyPipe[0]] {
    ServerLoop(shared, fd, stop, notify).Run();
  });
  for (int i = 0; i < kWorkers; ++i) std::thread(WorkerLoop, shared).detach();
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
  (void)!write(gServer.stopPipe[1], &byte, 1);
  gServer.thread.join();  // the loop has told the workers to end and no longer uses the pipes
  for (int fd : {gServer.listenFd, gServer.stopPipe[0], gServer.stopPipe[1], gServer.notifyPipe[0],
                 gServer.notifyPipe[1]}) {
    close(fd);
  }
  unlink(gServer.path.c_str());
  gServer.listenFd = -1;
}

bool IsProxy(HWND hwnd) { return hwnd && LookupProxy(hwnd) != nullptr; }

HWND FindForeign(HWND after, LPCSTR className, LPCSTR windowName) {
  // A search from the start (or after a window of ours) takes a new snapshot; a search after a
  // foreign window goes on in the snapshot that holds it while that is fresh.
  std::shared_ptr<const Snapshot> snap;
  size_t from = 0;
  const bool walking = after != 0 && IsProxy(after);
  if (walking) {
    std::lock_guard lock(gSnapshotMu);
    if (gSnapshot && Clock::now() - gSnapshot->taken < kSnapshotLife && IndexAfter(*gSnapshot, after, &from)) {
      snap = gSnapshot;
    }
  }
  if (!snap) {
    snap = TakeSnapshot();
    if (walking && !IndexAfter(*snap, after, &from)) return 0;
  }
  for (size_t i = from; i < snap->list.size(); ++i) {
    if (CandidateMatches(snap->list[i], className, windowName)) return snap->list[i].h;
  }
  return 0;
}

BOOL ProxyIsWindow(HWND hwnd) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) return TRUE;
  if (p->xid) {
    ForeignX f;
    return X11Query(p->xid, &f) ? TRUE : FALSE;
  }
  wire::WindowRecord info;
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
  if (p->xid) {
    ForeignX f;
    if (!X11Query(p->xid, &f)) return 0;
    CopyOut(className ? f.cls : FromUtf8(f.title, ActiveCodePage()), buffer, size, &length);
    return length;
  }
  wire::WindowRecord info;
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
  if (p->xid) {
    ForeignX f;
    if (!X11Query(p->xid, &f)) return FALSE;
    return (iconic ? f.iconic : f.visible) ? TRUE : FALSE;
  }
  wire::WindowRecord info;
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
  if (p->xid) {
    ForeignX f;
    if (!X11Query(p->xid, &f)) return FALSE;
    if (cmd == SW_SHOW || cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) X11Activate(p->xid, true);
    return f.visible ? TRUE : FALSE;
  }
  wire::Request r;
  r.op = Op::Show;
  r.hwnd = p->remote;
  r.wParam = static_cast<uint64_t>(cmd);
  r.timeoutMs = static_cast<uint32_t>(kActDeadline.count());
  wire::Answer a;
  if (!AnswerOf(Ask(p->pid, r, Clock::now() + kActDeadline + kSendGrace), &a)) return FALSE;
  return a.ok && a.result ? TRUE : FALSE;  // whether it was visible before
}

BOOL ProxyForeground(HWND hwnd) {
  auto p = LookupProxy(hwnd);
  if (!p) return FALSE;
  if (p->fake) {
    std::lock_guard lock(gProxyMu);
    p->actions.push_back("foreground");
    return TRUE;
  }
  if (p->xid) return X11Activate(p->xid, false) ? TRUE : FALSE;
  wire::Request r;
  r.op = Op::Foreground;
  r.hwnd = p->remote;
  r.timeoutMs = static_cast<uint32_t>(kActDeadline.count());
  wire::Answer a;
  if (!AnswerOf(Ask(p->pid, r, Clock::now() + kActDeadline + kSendGrace), &a)) return FALSE;
  return a.ok && a.result ? TRUE : FALSE;
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
  if (p->xid) {
    // A foreign client understands only being asked to close.
    if (msg == WM_CLOSE || msg == WM_QUIT) return X11Close(p->xid) ? TRUE : FALSE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (wire::CarriageOf(msg, static_cast<uint64_t>(wParam), static_cast<uint64_t>(lParam), true) !=
      wire::Carriage::Numbers) {
    SetLastError(ERROR_ACCESS_DENIED);  // an address means nothing in another process
    return FALSE;
  }
  wire::Request r;
  r.op = Op::Post;
  r.hwnd = p->remote;
  r.msg = msg;
  r.wParam = static_cast<uint64_t>(wParam);
  r.lParam = static_cast<uint64_t>(lParam);
  r.timeoutMs = static_cast<uint32_t>(kActDeadline.count());
  wire::Answer a;
  if (!AnswerOf(Ask(p->pid, r, Clock::now() + kActDeadline), &a)) return FALSE;
  if (!a.ok) {
    SetLastError(a.error ? a.error : ERROR_INVALID_WINDOW_HANDLE);
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
  if (p->xid) {
    *ok = msg == WM_CLOSE && X11Close(p->xid);
    if (!*ok) SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  wire::Request r;
  r.op = Op::Send;
  r.hwnd = p->remote;
  r.msg = msg;
  r.wParam = static_cast<uint64_t>(wParam);
  r.lParam = static_cast<uint64_t>(lParam);
  const wire::Carriage carriage = wire::CarriageOf(msg, r.wParam, r.lParam, false);
  switch (carriage) {
    case wire::Carriage::Numbers: break;
    case wire::Carriage::Refused: SetLastError(ERROR_ACCESS_DENIED); return 0;
    case wire::Carriage::SetText: {
      const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      const size_t length = strnlen(text, wire::kMaxText + 1);
      if (length > wire::kMaxText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      r.data.assign(text, length);
      r.lParam = 0;
      break;
    }
    case wire::Carriage::GetText:
      if (!lParam && wParam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      r.wParam = std::min<uint64_t>(wParam, wire::kMaxText + 1);
      r.lParam = 0;
      break;
    case wire::Carriage::CopyData: {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!cds || (cds->cbData && !cds->lpData) || cds->cbData > wire::kMaxFrame - 64) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      r.data.assign(static_cast<const char*>(cds->lpData), cds->cbData);
      r.lParam = cds->dwData;
      break;
    }
  }
  const UINT wait = std::min<UINT>(timeoutMs, kMaxSendMs);
  r.timeoutMs = wait;
  wire::Answer a;
  if (!AnswerOf(Ask(p->pid, r, Clock::now() + milliseconds(wait) + kSendGrace), &a)) return 0;
  if (!a.ok) {
    SetLastError(a.error ? a.error : ERROR_TIMEOUT);
    return 0;
  }
  LRESULT value = static_cast<LRESULT>(a.result);
  if (carriage == wire::Carriage::GetText) {
    // The text as the other window gave it, cut to the caller's buffer.
    const size_t n = wParam ? std::min<size_t>(a.data.size(), static_cast<size_t>(wParam) - 1) : 0;
    if (wParam) {
      char* buffer = reinterpret_cast<char*>(lParam);
      memcpy(buffer, a.data.data(), n);
      buffer[n] = 0;
    }
    value = static_cast<LRESULT>(n);
  }
  *ok = true;
  if (result) *result = static_cast<DWORD_PTR>(value);
  return value;
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
