// A hostile local program against another process's window server: it speaks the socket's
// frames by hand with bogus pointers, malformed and oversized frames and a flood of connections.
// The peer survives all of it, stays small and answers the next well-formed request; the window
// functions carry texts by value and refuse what would cross as an address.
#include <platform/controls.h>
#include <platform/desktop.h>
#include <platform/files.h>
#include <platform/window.h>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "PeerProcess.h"

namespace {

using kvtest::PeerProcess;

// The server's wire as a foreign program writes it: a 4-byte length, then op, window, message,
// wParam, lParam, time-out and the data with its length.
enum Op : uint32_t { kList = 1, kShow, kForeground, kPost, kSend };

template <class T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string Request(uint32_t op, uint32_t hwnd, uint32_t msg, uint64_t wParam, uint64_t lParam,
                    const std::string& data = {}) {
  std::string body;
  Put(body, op);
  Put(body, hwnd);
  Put(body, msg);
  Put(body, wParam);
  Put(body, lParam);
  Put(body, uint32_t{500});
  Put(body, static_cast<uint32_t>(data.size()));
  body += data;
  std::string frame;
  Put(frame, static_cast<uint32_t>(body.size()));
  return frame + body;
}

int Connect(int pid) {
  const std::string path = kvp::RuntimeDir() + "/kvwin-" + std::to_string(pid) + ".sock";
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything the server writes until it closes the connection or `ms` pass; `closed` says which.
std::string ReadUntilClosed(int fd, int ms, bool* closed) {
  std::string got;
  *closed = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return got;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return got;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      *closed = true;
      return got;
    }
    got.append(buffer, static_cast<size_t>(n));
  }
}

// Sends raw bytes on a fresh connection; the answer's payload (empty when none came).
std::string Exchange(int pid, const std::string& bytes, bool* closed = nullptr) {
  int fd = Connect(pid);
  if (fd < 0) return {};
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  bool wasClosed = false;
  std::string got = ReadUntilClosed(fd, 3000, &wasClosed);
  close(fd);
  if (closed) *closed = wasClosed;
  return got.size() >= 4 ? got.substr(4) : std::string();
}

struct Listed {
  uint32_t hwnd;
  std::string title;
};

// The peer's windows as its server lists them; empty when it does not answer.
std::vector<Listed> List(int pid) {
  const std::string a = Exchange(pid, Request(kList, 0, 0, 0, 0));
  std::vector<Listed> out;
  size_t at = 0;
  auto get32 = [&](uint32_t* v) {
    if (at + 4 > a.size()) return false;
    memcpy(v, a.data() + at, 4);
    at += 4;
    return true;
  };
  auto getString = [&](std::string* s) {
    uint32_t n = 0;
    if (!get32(&n) || n > a.size() - at) return false;
    s->assign(a, at, n);
    at += n;
    return true;
  };
  uint32_t count = 0;
  if (!get32(&count)) return out;
  for (uint32_t i = 0; i < count; ++i) {
    Listed l{};
    uint32_t thread = 0, flags = 0;
    std::string cls;
    if (!get32(&l.hwnd) || !get32(&thread) || !get32(&flags) || !getString(&cls) || !getString(&l.title)) break;
    out.push_back(l);
  }
  return out;
}

struct Answer {
  bool answered = false;
  uint32_t ok = 0;
  uint32_t error = 0;
};

Answer Decode(const std::string& payload) {
  Answer a;
  if (payload.size() < 16) return a;
  a.answered = true;
  memcpy(&a.ok, payload.data(), 4);
  memcpy(&a.error, payload.data() + 12, 4);
  return a;
}

constexpr UINT WM_NCCALCSIZE_ = 0x0083;
constexpr UINT WM_CREATE_ = 0x0001;

TEST(DesktopHostile, BogusPointersNeverReachThePeersWindow) {
  PeerProcess peer("pump");
  ASSERT_GT(peer.pid(), 0);
  auto windows = List(peer.pid());
  ASSERT_EQ(windows.size(), 1u);
  const uint32_t target = windows[0].hwnd;
  struct Case {
    const char* name;
    uint32_t op;
    uint32_t msg;
    uint64_t wParam, lParam;
    bool refused;  // answered with a failure and ERROR_ACCESS_DENIED
  };
  const Case cases[] = {
      {"post WM_SETTEXT", kPost, WM_SETTEXT, 0, 0x10, true},
      {"send WM_SETTEXT (the text travels as data)", kSend, WM_SETTEXT, 0, 0x10, false},
      {"post WM_GETTEXT", kPost, WM_GETTEXT, 64, 0x10, true},
      {"send WM_GETTEXT (the text comes back as data)", kSend, WM_GETTEXT, 64, 0x10, false},
      {"send WM_NOTIFY", kSend, WM_NOTIFY, 1, 0x10, true},
      {"post WM_NOTIFY", kPost, WM_NOTIFY, 1, 0x10, true},
      {"send WM_GETMINMAXINFO", kSend, WM_GETMINMAXINFO, 0, 0x10, true},
      {"send WM_NCCALCSIZE", kSend, WM_NCCALCSIZE_, 1, 0x10, true},
      {"send WM_DRAWITEM", kSend, WM_DRAWITEM, 1, 0x10, true},
      {"send WM_WINDOWPOSCHANGED", kSend, WM_WINDOWPOSCHANGED, 0, 0x10, true},
      {"send WM_CREATE", kSend, WM_CREATE_, 0, 0x10, true},
      {"post WM_TIMER with a procedure", kPost, WM_TIMER, 1, 0x10, true},
      {"post WM_COPYDATA", kPost, WM_COPYDATA, 0, 0x10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer a = Decode(Exchange(peer.pid(), Request(c.op, target, c.msg, c.wParam, c.lParam)));
    ASSERT_TRUE(peer.Alive());
    EXPECT_TRUE(a.answered);
    if (c.refused) {
      EXPECT_EQ(a.ok, 0u);
      EXPECT_EQ(a.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    } else {
      EXPECT_EQ(a.ok, 1u);
    }
    EXPECT_EQ(List(peer.pid()).size(), 1u);  // and it answers the next request
  }
}

TEST(DesktopHostile, MalformedFramesCloseTheirConnectionOnly) {
  PeerProcess peer("pump");
  ASSERT_GT(peer.pid(), 0);
  ASSERT_EQ(List(peer.pid()).size(), 1u);
  std::string huge;
  Put(huge, uint32_t{0xFFFFFFFF});
  std::string unknownOp = Request(kList, 0, 0, 0, 0);
  unknownOp[4] = 99;
  std::string shortBody;
  Put(shortBody, uint32_t{3});
  shortBody += "abc";
  std::string dataBeyond = Request(kSend, 0, WM_USER, 0, 0, "12345");
  uint32_t lie = 1000;
  memcpy(&dataBeyond[4 + 32], &lie, 4);  // the data's length word
  std::string grown = Request(kList, 0, 0, 0, 0) + "x";  // one byte more than the fields, counted
  uint32_t bigger = 37;
  memcpy(&grown[0], &bigger, 4);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"a length of 4 GiB", huge},
      {"an unknown operation", unknownOp},
      {"a request shorter than its fields", shortBody},
      {"a data length beyond the frame", dataBeyond},
      {"a byte after the request's fields", grown},
      {"a frame cut short", Request(kList, 0, 0, 0, 0).substr(0, 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int fd = Connect(peer.pid());
    ASSERT_GE(fd, 0);
    send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL);
    bool closed = false;
    const std::string got = ReadUntilClosed(fd, 5000, &closed);
    close(fd);
    EXPECT_TRUE(closed);  // the server ends it (a cut frame after its request deadline)
    EXPECT_TRUE(got.empty()) << got.size();
    ASSERT_TRUE(peer.Alive());
    EXPECT_EQ(List(peer.pid()).size(), 1u);
  }
}

TEST(DesktopHostile, AFloodOfSilentConnectionsHoldsNoThreadsAndIsRefused) {
  PeerProcess peer("pump");
  ASSERT_GT(peer.pid(), 0);
  ASSERT_EQ(List(peer.pid()).size(), 1u);
  const int before = peer.Threads();
  std::vector<int> flood;
  for (int i = 0; i < 64; ++i) {
    int fd = Connect(peer.pid());
    if (fd >= 0) flood.push_back(fd);
  }
  ASSERT_GE(flood.size(), 17u);
  // Beyond the server's limit of 16 the connections are closed at once, well before the silent
  // ones it took would reach their request deadline (2 s).
  const size_t beyond = flood.size() - 16;
  std::vector<bool> closed(flood.size(), false);
  size_t refused = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (refused < beyond && std::chrono::steady_clock::now() < until) {
    std::vector<pollfd> fds;
    for (size_t i = 0; i < flood.size(); ++i) fds.push_back({closed[i] ? -1 : flood[i], POLLIN, 0});
    if (poll(fds.data(), fds.size(), 100) <= 0) continue;
    for (size_t i = 0; i < fds.size(); ++i) {
      char byte;
      if (fds[i].revents && recv(flood[i], &byte, 1, MSG_DONTWAIT) <= 0) {
        closed[i] = true;
        ++refused;
      }
    }
  }
  EXPECT_GE(refused, beyond);
  EXPECT_LE(peer.Threads(), before);                        // no thread per connection
  for (int fd : flood) close(fd);
  ASSERT_TRUE(peer.Alive());
  EXPECT_EQ(List(peer.pid()).size(), 1u);
}

TEST(DesktopHostile, TextsCrossByValueAndPointerMessagesAreRefused) {
  PeerProcess peer("pump");
  HWND w = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(SendMessage(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed by a peer")), TRUE);
  char text[64] = {};
  EXPECT_EQ(GetWindowText(w, text, sizeof text), 17);
  EXPECT_STREQ(text, "Renamed by a peer");
  EXPECT_EQ(FindWindow(nullptr, "Renamed by a peer"), w);
  char small[8] = {};
  EXPECT_EQ(SendMessage(w, WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 7);
  EXPECT_STREQ(small, "Renamed");
  EXPECT_EQ(SendMessage(w, WM_GETTEXTLENGTH, 0, 0), 17);
  EXPECT_EQ(SendMessage(w, WM_USER + 1, 7, 42), 7042);  // the program's own messages: numbers

  NMHDR header{};
  struct Case {
    const char* name;
    bool post;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  const Case cases[] = {
      {"send WM_NOTIFY", false, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header)},
      {"send WM_GETMINMAXINFO", false, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&header)},
      {"post WM_SETTEXT", true, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")},
      {"post WM_GETTEXT", true, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)},
      {"post WM_TIMER with a procedure", true, WM_TIMER, 1, reinterpret_cast<LPARAM>(&header)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    if (c.post) {
      EXPECT_FALSE(PostMessage(w, c.msg, c.wParam, c.lParam));
    } else {
      DWORD_PTR result = 5;
      EXPECT_EQ(SendMessageTimeout(w, c.msg, c.wParam, c.lParam, SMTO_NORMAL, 1000, &result), 0);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  // Refused before anything is sent: a stopped peer gives the same answer at once, not a time-out.
  peer.Stop();
  SetLastError(0);
  EXPECT_EQ(SendMessageTimeout(w, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header), SMTO_NORMAL, 20000, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  peer.Continue();
  ASSERT_TRUE(peer.Alive());
  EXPECT_TRUE(PostMessage(w, WM_CLOSE, 0, 0));
  EXPECT_EQ(peer.Finish(), 0);
}

}  // namespace
