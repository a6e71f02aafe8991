// CKELOApp: the program's application object. InitInstance asks the two sibling programs to quit,
// registers the main window's class, keeps a second instance out (mutex "DravixScope"), runs the
// splash (the start-up worker does the device work) and then the main window modally; on every
// way out the engine is shut down in order.
#pragma once

#include <platform/afxwin.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class CMainWndDlg;

class CKELOApp : public CWinApp {
 public:
  CKELOApp();
  BOOL InitInstance() override;

  // Seams for tests: the pause between sibling polls, the splash run (its modal result) and the
  // main window run. The defaults are the real ones.
  std::function<void(DWORD ms)> sleep;
  std::function<INT_PTR()> runSplash;
  std::function<INT_PTR(CMainWndDlg& main)> runMain;
  std::vector<std::string> args;

  // What InitInstance did, for tests and the exit code.
  int siblingPolls = 0;
  bool refused = false;
  bool mainWindowRun = false;

  // Asks the program to end as a confirmed quit does, without the question (signals): any dialog or
  // message box open over the main window ends as cancelled, then the main window closes.
  static void RequestQuit();
  static bool QuitRequested();

 private:
  void QuitSiblings();
  bool RefuseSecondInstance();
};

// The text of the box a second start shows while the board is in use by another program.
inline constexpr const char* kHardwareInUseText =
    "Dravix Scope cannot be run.\nHardware is in use by another application.\n(Gas Analyzer)";
inline constexpr const char* kHardwareInUseCaption = "KV310 Error";
