// The quit request (a signal's way to end the program): the modal loops above the request's
// window end as if cancelled, the innermost first and also those opened later, and only then the
// window gets the request's message; the window's own modal loop stays.
#include "Probe.h"

#include <gtest/gtest.h>

#include <platform/filedialog.h>
#include <platform/window.h>

#include <string>
#include <thread>
#include <vector>

namespace hl = kvp::headless;

namespace {

constexpr UINT kQuitMessage = WM_APP + 7;

class Dialog : public CDialog {
 public:
  explicit Dialog(CWnd* parent) : CDialog(100u, parent) {}
  std::function<void(Dialog&)> onInit;
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
  }
};

// Boxes stay open until something else ends them; the first box asks for the quit from a thread
// of its own, as the program's signal thread does.
struct OpenBoxes {
  std::thread requester;
  HWND window = 0;
  OpenBoxes() {
    kvp::SetMessageBoxResponder([this](const kvp::MessageBoxCall&) {
      if (!requester.joinable()) requester = std::thread([this] { EXPECT_TRUE(kvp::RequestQuit(window, kQuitMessage)); });
      return 0;
    });
  }
  ~OpenBoxes() {
    if (requester.joinable()) requester.join();
    kvp::SetMessageBoxResponder(nullptr);
  }
};

TEST(QuitRequest, EndsTheLoopsAboveTheWindowInnermostFirstThenPostsItsMessage) {
  kvp::HeadlessWorld world;
  kvtest::Probe main;
  main.CreateTop(CRect(0, 0, 400, 300));
  std::vector<std::string> trace;
  main.hooks[kQuitMessage] = [&](WPARAM, LPARAM) {
    trace.push_back(main.IsWindowEnabled() ? "message, window enabled" : "message, window disabled");
    return 0;
  };
  OpenBoxes boxes;
  boxes.window = main.m_hWnd;
  Dialog dialog(&main);
  dialog.onInit = [&](Dialog& d) {
    hl::RunInLoop([&] {
      const int answer = ::MessageBox(d.m_hWnd, "Still there?", "Box", MB_YESNO | MB_ICONQUESTION);
      trace.push_back("box " + std::to_string(answer));
    });
  };
  trace.push_back("dialog " + std::to_string(dialog.DoModal()));
  hl::Pump();
  EXPECT_EQ(trace, (std::vector<std::string>{"box " + std::to_string(IDCANCEL), "dialog " + std::to_string(IDCANCEL),
                                             "message, window enabled"}));
  EXPECT_EQ(main.Count(kQuitMessage), 1);

  // Loops opened after the request end at once, the message is not posted again.
  EXPECT_EQ(::MessageBox(main.m_hWnd, "Later", "Box", MB_OKCANCEL), IDCANCEL);
  Dialog later(&main);
  EXPECT_EQ(later.DoModal(), IDCANCEL);
  char file[260] = "";
  OPENFILENAME ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = main.m_hWnd;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  EXPECT_FALSE(GetOpenFileName(&ofn));
  hl::Pump();
  EXPECT_EQ(main.Count(kQuitMessage), 1);
  EXPECT_TRUE(main.IsWindowEnabled());
  // Both boxes are logged with the answer they ended with.
  const auto log = kvp::MessageBoxLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].text, "Still there?");
  EXPECT_EQ(log[log.size() - 2].result, IDCANCEL);
  EXPECT_EQ(log.back().result, IDCANCEL);
}

// The request's window runs a modal loop of its own: that loop stays and handles the message.
TEST(QuitRequest, TheWindowsOwnLoopStaysAndGetsTheMessage) {
  kvp::HeadlessWorld world;
  CWinApp app("Test");
  class Main : public Dialog {
   public:
    Main() : Dialog(nullptr) {}
    int quits = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == kQuitMessage) {
        ++quits;
        EndDialog(42);
        return 0;
      }
      return Dialog::WindowProc(message, wParam, lParam);
    }
  } main;
  app.m_pMainWnd = &main;
  OpenBoxes boxes;
  int answer = 0;
  main.onInit = [&](Dialog& d) {
    boxes.window = d.m_hWnd;
    hl::RunInLoop([&] { answer = ::MessageBox(d.m_hWnd, "Quit?", "Main", MB_YESNO); });
  };
  EXPECT_EQ(main.DoModal(), 42);
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(main.quits, 1);
  app.m_pMainWnd = nullptr;
}

TEST(QuitRequest, WithoutADisplayOrWindowIsRefused) {
  EXPECT_FALSE(kvp::RequestQuit(0x1234, kQuitMessage));
  kvp::HeadlessWorld world;
  EXPECT_FALSE(kvp::RequestQuit(0x1234, kQuitMessage));
}

}  // namespace
