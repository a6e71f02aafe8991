#include "SplashScreen.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MemDC.h>
#include <core/ResourceHolder.h>

#include <meters/Recorder.h>

#include <platform/dcscope.h>
#include <platform/dialogtemplate.h>
#include <platform/resources.h>

namespace {

const kvp::DialogTemplate kSplashTemplate{WS_POPUP | DS_SETFONT, 0, 0, 0, 254, 168, "Dravix Scope", nullptr,
                                          "MS Shell Dlg", 8, {}};

void RegisterSplashTemplate() {
  static const bool registered = [] {
    kvp::RegisterDialogTemplate(0, IDD_SPLASH, &kSplashTemplate);
    return true;
  }();
  (void)registered;
}

}  // namespace

std::atomic<int>& StartupDoneFlag() {
  static std::atomic<int> done{0};
  return done;
}

void RunStartupSteps(HWND owner) {
  RunDeviceStartup(GetGlobalProps(), owner);
  GetResourceHolder().LoadResources();
  // After the colours are loaded: the cursors take theirs from the scheme.
  GetRecorder().InitCursors();
}

CSplashScreen::CSplashScreen(Work work, std::function<bool()> fatal, std::atomic<int>* done)
    : CDialog(IDD_SPLASH), work_(std::move(work)), fatal_(std::move(fatal)), done_(done ? done : &StartupDoneFlag()) {
  RegisterSplashTemplate();
  if (!work_) {
    work_ = [](CSplashScreen& splash) { RunStartupSteps(splash.GetSafeHwnd()); };
  }
  if (!fatal_) fatal_ = [] { return GetMeasureEngine().IsStartupFatal() != FALSE; };
}

CSplashScreen::~CSplashScreen() {
  // The start-up steps use the splash and the settings: they are waited for to the end, serving
  // the sends and message boxes they bring to this thread meanwhile.
  worker_.Join(INFINITE);
  if (bitmap_) DeleteObject(bitmap_);
}

void CSplashScreen::RunWorker() {
  work_(*this);
  done_->store(1, std::memory_order_release);
}

void CSplashScreen::StartWorker() {
  const bool started = worker_.Start([this](HANDLE) {
    RunWorker();
    return kvp::WorkerDone{};  // the splash's timer reads the done flag
  });
  if (!started) done_->store(1, std::memory_order_release);
}

BOOL CSplashScreen::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowText(m_hWnd, "Dravix Scope");
  bitmap_ = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(IDB_SPLASH));
  SetTimer(kSplashTimer, SplashSteps::kTickMs);
  if (!font_.m_hObject) font_.CreateFont(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  background_.DeleteObject();
  background_.CreateSolidBrush(RGB(228, 228, 228));
  bar_.DeleteObject();
  bar_.CreateSolidBrush(RGB(38, 11, 132));
  MoveWindow(0, 0, 381, 270, TRUE);
  Invalidate(FALSE);
  return TRUE;
}

void CSplashScreen::OnOK() {}

void CSplashScreen::OnCancel() {
  if (steps_.MayCancel()) EndDialog(IDCANCEL);
}

void CSplashScreen::OnTimer(UINT_PTR id) {
  if (id == kSplashTimer) {
    SplashSteps::Actions a = steps_.Tick(done_->load(std::memory_order_acquire), fatal_());
    if (a.startWorker) StartWorker();
    if (a.startBlink) SetTimer(kBlinkTimer, SplashSteps::kBlinkMs);
    if (a.stopBlink) KillTimer(kBlinkTimer);
    if (a.finish || a.fatal) {
      KillTimer(kSplashTimer);
      KillTimer(kBlinkTimer);
      EndDialog(a.finish ? IDOK : kSplashFatal);
      return;
    }
  } else if (id == kBlinkTimer) {
    steps_.ToggleBlink();
  } else {
    CDialog::OnTimer(id);
    return;
  }
  RedrawNow();
}

void CSplashScreen::RedrawNow() {
  if (!IsWindowVisible()) return;
  CDC* dc = GetDC();
  if (!dc) return;
  Draw(dc);
  ReleaseDC(dc);
}

void CSplashScreen::OnPaint() {
  CPaintDC dc(this);
  Draw(&dc);
}

BOOL CSplashScreen::OnEraseBkgnd(CDC*) { return TRUE; }

void CSplashScreen::Draw(CDC* target) {
  if (!IsWindowVisible()) return;
  CMemDC mem(target);
  CDC* dc = &mem;
  CRect r;
  GetClientRect(&r);
  if (bitmap_) {
    BITMAP info{};
    GetObject(bitmap_, sizeof info, &info);
    CDC source;
    source.CreateCompatibleDC(dc);
    kvp::DcSelect selectObject(source.m_hDC, bitmap_);
    dc->BitBlt(0, 0, info.bmWidth, info.bmHeight, &source, 0, 0, SRCCOPY);
  } else {
    dc->FillSolidRect(&r, RGB(255, 255, 255));
  }
  CRect frame(r.left + 5, r.top + 192, r.right - 5, r.bottom - 57);
  dc->FillRect(&frame, &background_);
  CRect barRect(frame.left + 3, frame.top + 3,
                frame.left + 3 + SplashSteps::BarWidth(steps_.Counter(), frame.Width()), frame.bottom - 2);
  dc->FillRect(&barRect, &bar_);
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);
  if (steps_.Blinking()) {
    dc->SetBkMode(TRANSPARENT);
    kvp::DcSelect selectFont(dc, &font_);
    COLORREF oldColor = dc->SetTextColor(RGB(255, 255, 255));
    dc->TextOut(145, 194, "Loading firmware...");
    dc->SetTextColor(oldColor);
  }
}
