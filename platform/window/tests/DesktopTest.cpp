// Windows of another process (a small peer program): finding them, WM_COPYDATA, restoring and
// bringing forward, quitting, time-outs, dead and stopped peers, stale sockets, walks in one
// snapshot; and the headless foreign windows.
#include <platform/desktop.h>
#include <platform/display.h>
#include <platform/files.h>
#include <platform/sync.h>
#include <platform/window.h>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "PeerProcess.h"

namespace {

using Peer = kvtest::PeerProcess;

TEST(Desktop, FindsAnotherProcessWindowByClassTitleOrBoth) {
  Peer peer("pump");
  ASSERT_GT(peer.pid(), 0);
  HWND byClass = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(byClass, 0u);
  EXPECT_TRUE(kvp::IsForeignWindow(byClass));
  EXPECT_EQ(FindWindow(nullptr, "Peer window"), byClass);
  EXPECT_EQ(FindWindow("kvpeerclass", "Peer window"), byClass);  // classes without regard to case
  EXPECT_EQ(FindWindow("KvPeerClass", "Other title"), 0u);
  EXPECT_TRUE(IsWindow(byClass));
  char text[64];
  EXPECT_EQ(GetClassName(byClass, text, sizeof text), 11);
  EXPECT_STREQ(text, "KvPeerClass");
  EXPECT_EQ(GetWindowText(byClass, text, sizeof text), 11);
  EXPECT_STREQ(text, "Peer window");
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(byClass, &pid), 0u);
  EXPECT_EQ(pid, static_cast<DWORD>(peer.pid()));
  EXPECT_TRUE(IsWindowVisible(byClass));

  // WM_COPYDATA: the peer's answer is computed from the bytes sent.
  const char bytes[] = {1, 2, 3, 100};
  COPYDATASTRUCT cds{1000, sizeof bytes, const_cast<char*>(bytes)};
  EXPECT_EQ(SendMessage(byClass, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1106);

  // WM_QUIT ends the peer's loop; the window is gone with it.
  EXPECT_TRUE(PostMessage(byClass, WM_QUIT, 0, 0));
  EXPECT_EQ(peer.Finish(), 0);
  EXPECT_FALSE(IsWindow(byClass));
  EXPECT_EQ(FindWindow("KvPeerClass", nullptr), 0u);
}

TEST(Desktop, RestoresAndBringsForwardAMinimisedWindow) {
  Peer peer("iconic");
  HWND w = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(IsIconic(w));
  ShowWindow(w, SW_RESTORE);
  EXPECT_FALSE(IsIconic(w));
  EXPECT_TRUE(SetForegroundWindow(w));
  EXPECT_TRUE(PostMessage(w, WM_CLOSE, 0, 0));
  EXPECT_EQ(peer.Finish(), 0);
}

TEST(Desktop, SendsToAPeerThatDoesNotPumpTimeOut) {
  Peer peer("hang");
  HWND w = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(w, 0u);
  DWORD_PTR result = 7;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessageTimeout(w, WM_USER, 1, 2, SMTO_NORMAL, 300, &result), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(Desktop, AKilledPeerFailsTheSendAtOnce) {
  Peer peer("pump");
  HWND w = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(w, 0u);
  kill(peer.pid(), SIGKILL);
  peer.Finish();
  const auto start = std::chrono::steady_clock::now();
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeout(w, WM_USER, 0, 0, SMTO_NORMAL, 5000, &result), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(IsWindow(w));
}

TEST(Desktop, HeadlessForeignWindowsAreFoundAndRecordWhatIsDone) {
  kvp::HeadlessWorld world;
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "KvEditorClass";
  RegisterClass(&wc);
  HWND mine = CreateWindowEx(0, "KvEditorClass", "Editor", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  ASSERT_NE(mine, 0u);
  HWND foreign = kvp::headless::AddForeignWindow("gedit", "Editor", true, true);
  EXPECT_EQ(FindWindow(nullptr, "Editor"), mine);  // ours first
  EXPECT_EQ(FindWindowEx(0, mine, nullptr, "Editor"), foreign);
  EXPECT_EQ(FindWindow("GEDIT", nullptr), foreign);
  EXPECT_TRUE(IsIconic(foreign));
  ShowWindow(foreign, SW_RESTORE);
  EXPECT_FALSE(IsIconic(foreign));
  EXPECT_TRUE(SetForegroundWindow(foreign));
  PostMessage(foreign, WM_CLOSE, 0, 0);
  EXPECT_EQ(kvp::headless::ForeignWindowActions(foreign),
            (std::vector<std::string>{"show 9", "foreground", "close"}));
  DestroyWindow(mine);
}

// Runs fn with a bound on its real time, a bound meant to catch a call that never returns: a
// stopped peer would hold it for ever. On a hang the peer is continued so that fn can return.
template <class Fn>
auto WithinBound(Fn fn, std::chrono::seconds bound, const Peer& hostage) {
  auto call = std::async(std::launch::async, fn);
  if (call.wait_for(bound) != std::future_status::ready) {
    ADD_FAILURE() << "the call did not return within " << bound.count() << " s";
    hostage.Continue();
  }
  return call.get();
}

TEST(Desktop, AStoppedPeerHoldsNoFindWindowBeyondItsDeadline) {
  Peer live("pump Live");
  Peer stopped("pump Stopped");
  ASSERT_GT(live.pid(), 0);
  ASSERT_GT(stopped.pid(), 0);
  ASSERT_NE(FindWindow(nullptr, "Stopped"), 0u);
  stopped.Stop();
  // Each search waits at most its own deadline for the stopped peer (or skips it), however many
  // searches there are: the stopped peer's backlog never fills up to a connect without limit.
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(i);
    const HWND found = WithinBound([] { return FindWindow(nullptr, "Live"); }, std::chrono::seconds(5), stopped);
    EXPECT_NE(found, 0u);
    WithinBound([] { return FindWindow("NoSuchClass", nullptr); }, std::chrono::seconds(5), stopped);
  }
  stopped.Continue();
  // Continued, it serves again; the connections it missed meanwhile did not harm it.
  HWND back = 0;
  for (int i = 0; i < 100 && !back; ++i) {
    back = FindWindow(nullptr, "Stopped");
    if (!back) Sleep(50);
  }
  EXPECT_NE(back, 0u);
  EXPECT_TRUE(PostMessage(back, WM_CLOSE, 0, 0));
  EXPECT_EQ(stopped.Finish(), 0);
}

TEST(Desktop, AWindowWalkGoesOnInTheSnapshotItsSearchTook) {
  Peer peer("pump Walked 5");
  ASSERT_GT(peer.pid(), 0);
  HWND first = FindWindow("KvPeerClass", nullptr);
  ASSERT_NE(first, 0u);
  // The next windows come from the search's own list: the stopped peer is not asked again.
  peer.Stop();
  std::vector<HWND> walked{first};
  WithinBound(
      [&] {
        for (HWND h = GetWindow(first, GW_HWNDNEXT); h && walked.size() < 10; h = GetWindow(h, GW_HWNDNEXT)) {
          walked.push_back(h);
        }
      },
      std::chrono::seconds(5), peer);
  peer.Continue();
  EXPECT_EQ(walked.size(), 5u);
  for (HWND h : walked) EXPECT_TRUE(kvp::IsForeignWindow(h));
  char title[64] = {};
  for (HWND h : walked) {
    GetWindowText(h, title, sizeof title);
    EXPECT_EQ(std::string(title).rfind("Walked", 0), 0u) << title;
  }
}

// A socket file named for a process, bound and left without a server.
void LeaveSocket(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
}

TEST(Desktop, StaleSocketFilesAreRemovedAndAStartingServersFileIsKept) {
  // A process that has ended, and a live one.
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  pid_t alive = fork();
  if (alive == 0) {
    pause();
    _exit(0);
  }
  struct Case {
    const char* name;
    pid_t pid;
    int ageSeconds;  // the file's age; older than the live process: left by an earlier one of its number
    bool removed;
  };
  const Case cases[] = {
      {"a process that has ended", dead, 0, true},
      {"a live process that has not begun serving yet", alive, 0, false},
      {"a live process younger than the file", alive, 100000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = kvp::RuntimeDir() + "/kvwin-" + std::to_string(c.pid) + ".sock";
    LeaveSocket(path);
    if (c.ageSeconds) {
      timeval times[2];
      gettimeofday(&times[0], nullptr);
      times[0].tv_sec -= c.ageSeconds;
      times[1] = times[0];
      utimes(path.c_str(), times);
    }
    EXPECT_EQ(FindWindow("NoSuchClass", nullptr), 0u);
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st) != 0, c.removed);
    unlink(path.c_str());
  }
  kill(alive, SIGKILL);
  waitpid(alive, nullptr, 0);
}

}  // namespace
