// Windows of another process (a small peer program): finding them, WM_COPYDATA, restoring and
// bringing forward, quitting, time-outs and dead peers; and the headless foreign windows.
#include <platform/desktop.h>
#include <platform/display.h>
#include <platform/sync.h>
#include <platform/window.h>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A running peer: started through a pipe that also carries its "ready <pid>" line.
class Peer {
 public:
  explicit Peer(const std::string& mode) {
    const char* bin = getenv("KV_BIN_DIR");
    const std::string cmd = std::string(bin ? bin : "bin") + "/tests/platform_desktop_peer " + mode;
    pipe_ = popen(cmd.c_str(), "r");
    char line[64] = {};
    if (pipe_ && fgets(line, sizeof line, pipe_)) sscanf(line, "ready %d", &pid_);
  }
  ~Peer() { Finish(); }
  int pid() const { return pid_; }
  // Waits for the peer to end; its exit status.
  int Finish() {
    if (!pipe_) return status_;
    status_ = pclose(pipe_);
    pipe_ = nullptr;
    return status_;
  }

 private:
  FILE* pipe_ = nullptr;
  int pid_ = 0;
  int status_ = -1;
};

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

}  // namespace
