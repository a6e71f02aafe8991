// kv-window as a program: it lists this process's top-level window and posts a message to it by
// class; bad numbers and unknown classes are refused with their exit codes.
#include <gtest/gtest.h>

#include <platform/afxwin.h>
#include <platform/display.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <string>
#include <utility>
#include <vector>

namespace hl = kvp::headless;

namespace {

struct ToolRun {
  int code = -1;
  std::string out;
};

// Runs kv-window while this thread keeps serving its windows.
ToolRun RunTool(const std::string& args) {
  auto result = std::async(std::launch::async, [args] {
    ToolRun run;
    const std::string command = std::string(getenv("KV_BIN_DIR")) + "/kv-window " + args + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) run.out.append(buffer, n);
      const int status = pclose(pipe);
      run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
  });
  while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) hl::Pump();
  return result.get();
}

class Target : public CWnd {
 public:
  std::vector<std::pair<UINT, WPARAM>> posted;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_APP) posted.emplace_back(message, wParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

TEST(KvWindow, ListsAndPosts) {
  kvp::HeadlessWorld world;
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "KvWindowTestClass";
  AfxRegisterClass(&wc);
  Target target;
  ASSERT_TRUE(target.CreateEx(0, "KvWindowTestClass", "Window under test", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, 0, 0));
  hl::Pump();

  ToolRun list = RunTool("list");
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find(std::to_string(getpid()) + "\tKvWindowTestClass\tWindow under test\n"), std::string::npos)
      << list.out;

  struct Case {
    const char* args;
    int code;
  } cases[] = {
      {"post KvWindowTestClass 0x8005 7", 0},
      {"post KvWindowTestClass 32774", 0},
      {"post KvWindowTestClass 0x80zz", 1},
      {"post KvWindowTestClass 32774 -1", 1},
      {"post NoSuchClass 0x8005", 2},
      {"frobnicate", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(RunTool(c.args).code, c.code);
  }
  for (int i = 0; i < 20 && target.posted.size() < 2; ++i) hl::Pump();
  EXPECT_EQ(target.posted, (std::vector<std::pair<UINT, WPARAM>>{{0x8005, 7}, {32774, 0}}));
  target.DestroyWindow();
}

}  // namespace
