#include "KELOApp.h"

#include "PaneTable.h"
#include "SplashScreen.h"

#include <ui/MainWndDlg.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>

#include <platform/display.h>
#include <platform/ole.h>
#include <platform/sync.h>
#include <platform/unique.h>
#include <platform/window.h>

#include <cstdlib>

namespace {

struct Sibling {
  const char* windowClass;
  const char* title;
};
constexpr Sibling kSiblings[] = {
    {"TFormGasAnalysis", "Gas Analyser KV660"},
    {"TFormSmokeAnalysis", "Opacimeter KV880"},
};
// A sibling that ignores WM_QUIT is waited for at most 10 s (40 polls of 250 ms).
constexpr int kSiblingPolls = 40;
constexpr DWORD kSiblingPollMs = 250;

std::atomic<bool> g_quitRequested{false};
std::atomic<HWND> g_mainWindow{0};

}  // namespace

CKELOApp::CKELOApp() : CWinApp("KV310") {}

void CKELOApp::RequestQuit() {
  g_quitRequested.store(true);
  // Dialogs and message boxes open over the main window end as cancelled first; the main window's
  // close then finds the quit flag and ends without asking.
  if (HWND main = g_mainWindow.load()) kvp::RequestQuit(main, WM_CLOSE);
}

bool CKELOApp::QuitRequested() { return g_quitRequested.load(); }

void CKELOApp::QuitSiblings() {
  for (const Sibling& sibling : kSiblings) {
    HWND window = ::FindWindow(sibling.windowClass, sibling.title);
    if (!window || !::IsWindow(window)) continue;
    ::PostMessage(window, WM_QUIT, 0, 0);
    sleep(kSiblingPollMs);
    for (int poll = 0; poll < kSiblingPolls && ::FindWindow(sibling.windowClass, sibling.title); ++poll) {
      ++siblingPolls;
      sleep(kSiblingPollMs);
      MSG msg;
      while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
      }
    }
  }
}

bool CKELOApp::RefuseSecondInstance() {
  HWND first = ::FindWindow(kMainWindowClass, nullptr);
  if (first) {
    if (::IsIconic(first)) ::ShowWindow(first, SW_RESTORE);
    if (!::IsWindowVisible(first)) ::ShowWindow(first, SW_SHOW);
    ::SetForegroundWindow(first);
  } else {
    ::MessageBox(0, kHardwareInUseText, kHardwareInUseCaption, MB_OK | MB_ICONERROR);
  }
  refused = true;
  return true;
}

BOOL CKELOApp::InitInstance() {
  if (!sleep) sleep = [](DWORD ms) { ::Sleep(ms); };
  if (args.empty()) {
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  }
  // Whatever happens below, the engine is shut down in order before InitInstance returns.
  struct Shutdown {
    ~Shutdown() { CoreShutdown(); }
  } shutdown;

  QuitSiblings();
  RegisterMainWindowClass();
  AfxOleInit();

  // Closed on every way out.
  kvp::UniqueHandle mutex(CreateMutex(nullptr, TRUE, "DravixScope"));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    mutex.reset();
    RefuseSecondInstance();
    return FALSE;
  }

  CSplashScreen splash;
  INT_PTR splashResult = runSplash ? runSplash() : splash.DoModal();
  if (splashResult == IDCANCEL || splashResult == kSplashFatal || splashResult < 0 || QuitRequested()) return FALSE;

  MainWndEnvironment env;
  env.args = args;
  env.devicePresent = [] { return GetMeasureEngine().IsDevicePresent(); };
  env.reduced = [] { return GetMeasureEngine().IsReducedVariant(); };
  env.engineTesterReady = [] {
    IMotortester_6* tester = GetMeasureEngine().GetBinding().Motortester();
    return tester && tester->IsReady() ? TRUE : FALSE;
  };
  env.registerWindows = [](HWND main, HWND engineTester) {
    g_mainWindow.store(main);
    // A signal taken after the splash and before the window existed finds it now.
    if (QuitRequested()) kvp::RequestQuit(main, WM_CLOSE);
    GetMeasureEngine().SetMainWindow(main);
    GetMeasureEngine().SetEngineTesterWindow(engineTester);
    GetMeasureEngine().SetOwnerWindow(main);
  };
  env.quitWithoutAsking = [] { return QuitRequested(); };
  if (const char* shot = std::getenv("KV_SCREENSHOT"); shot && *shot) {
    std::string path = shot;
    env.onShown = [path](HWND main) { kvp::SaveWindowPng(main, path.c_str()); };
  }

  CMainWndDlg main(MakePaneTable(), std::move(env), GetGlobalProps());
  m_pMainWnd = &main;
  mainWindowRun = true;
  if (runMain) {
    runMain(main);
  } else {
    main.DoModal();
  }
  m_pMainWnd = nullptr;
  g_mainWindow.store(0);
  GetMeasureEngine().SetMainWindow(0);
  GetMeasureEngine().SetEngineTesterWindow(0);
  GetMeasureEngine().SetOwnerWindow(0);
  mutex.reset();
  return FALSE;
}
