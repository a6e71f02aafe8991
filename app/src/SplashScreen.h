// CSplashScreen: the modal window shown while the start-up worker binds the measurement library,
// opens the link and reads the board. The GUI thread only animates it (SplashSteps) and polls the
// worker's done flag; the worker runs RunStartupSteps unless a test gives its own work.
#pragma once

#include "SplashSteps.h"

#include <platform/afxwin.h>
#include <platform/worker.h>

#include <atomic>
#include <functional>

enum : UINT {
  IDD_SPLASH = 164,
  IDB_SPLASH = 172,
  kSplashTimer = 1,
  kBlinkTimer = 2,
};
// The splash's own result when the worker met a fatal start (the library could not be bound).
inline constexpr int kSplashFatal = IDABORT;

// The flag the worker sets as its last step (release) and the splash's timer reads (acquire).
std::atomic<int>& StartupDoneFlag();

class CSplashScreen : public CDialog {
 public:
  using Work = std::function<void(CSplashScreen& splash)>;

  // Without work the worker runs RunStartupSteps; without a fatal test the engine's.
  explicit CSplashScreen(Work work = {}, std::function<bool()> fatal = {}, std::atomic<int>* done = nullptr);
  ~CSplashScreen() override;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnTimer(UINT_PTR id) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

  const SplashSteps& Steps() const { return steps_; }
  // Runs the work and sets the done flag (the worker thread's body).
  void RunWorker();

 private:
  void Draw(CDC* dc);
  void RedrawNow();
  void StartWorker();

  Work work_;
  std::function<bool()> fatal_;
  std::atomic<int>* done_;
  SplashSteps steps_;
  HBITMAP bitmap_ = 0;
  CFont font_;
  CBrush background_;
  CBrush bar_;
  kvp::Worker worker_;
};

// The worker's steps in order: the settings and the device (RunDeviceStartup), the resource
// holder's shared cursors and images, the recorder's two cursors.
void RunStartupSteps(HWND owner);
