// Opening and closing the display, and the headless back end with the controls tests use.
#include "window/DesktopInternal.h"
#include "display/Display.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <chrono>
#include <set>

namespace kvp::win {

bool AfxPreTranslate(MSG* msg);

namespace {

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend(int w, int h) : screen_{w, h} {}
  bool Headless() const override { return true; }
  SIZE ScreenSize() override { return screen_; }
  bool GrabHotKey(UINT modifiers, UINT vk) override {
    grabbed.insert({modifiers, vk});
    return true;
  }
  void UngrabHotKey(UINT modifiers, UINT vk) override { grabbed.erase({modifiers, vk}); }

  std::set<std::pair<UINT, UINT>> grabbed;
  POINT pointer{0, 0};

 private:
  SIZE screen_;
};

HeadlessBackend* Headless() {
  auto* b = Sys().backend.get();
  return b && b->Headless() ? static_cast<HeadlessBackend*>(b) : nullptr;
}

}  // namespace

HWND DialogFor(HWND hwnd) {
  HWND top = TopLevelOf(hwnd);
  Lock lock(Sys().mu);
  auto w = Get(top);
  return w && (w->dialogKeys || w->cls->wc.lpfnWndProc == DefDlgProc) ? top : 0;
}

bool OpenDisplay(std::unique_ptr<Backend> backend) {
  {
    Lock lock(Sys().mu);
    if (Sys().guiThread) return false;
    Sys().guiThread = ThreadId();
    Sys().backend = std::move(backend);
  }
  CurrentQueue();
  kvp::desktop::StartServer();  // other processes find our windows from now on
  return true;
}

void ResetState() {
  std::vector<HWND> tops = TopLevelsOfThread(ThreadId());
  for (HWND t : tops) DestroyWindow(t);
  auto q = CurrentQueue();
  ClearQueue(*q);
  {
    std::lock_guard<std::mutex> lock(WaitLock());
    q->signalled = false;
  }
  Lock lock(Sys().mu);
  for (const HotKey& k : Sys().hotKeys) {
    if (Sys().backend) Sys().backend->UngrabHotKey(k.modifiers, k.vk);
  }
  Sys().hotKeys.clear();
  Sys().boxes.clear();
  Sys().responder = nullptr;
  Sys().capture = Sys().focus = Sys().active = 0;
  Sys().appActive = false;
  Sys().cursor = 0;
  Sys().cursorPos = POINT{0, 0};
  Sys().buttons = Sys().modifiers = 0;
  std::fill(std::begin(Sys().keyDown), std::end(Sys().keyDown), false);
  std::unique_ptr<Backend> backend = std::move(Sys().backend);
  Sys().guiThread = 0;
  lock.unlock();
  backend.reset();  // its watcher thread may be waiting for the lock
}

}  // namespace kvp::win

using namespace kvp::win;

namespace kvp {

bool OpenHeadlessDisplay(int screenWidth, int screenHeight) {
  return OpenDisplay(std::make_unique<HeadlessBackend>(screenWidth, screenHeight));
}

void CloseDisplay() {
  {
    Lock lock(Sys().mu);
    if (!Sys().guiThread || Sys().guiThread != ThreadId()) return;
  }
  kvp::desktop::StopServer();
  kvp::desktop::NoteX11Display(nullptr, false);
  ResetState();
}

bool DisplayIsOpen() {
  Lock lock(Sys().mu);
  return Sys().guiThread != 0;
}

bool DisplayIsHeadless() {
  Lock lock(Sys().mu);
  return Sys().backend && Sys().backend->Headless();
}

DWORD GuiThreadId() {
  Lock lock(Sys().mu);
  return Sys().guiThread;
}

namespace headless {

namespace {
void Push(RawInput in) {
  {
    Lock lock(Sys().mu);
    if (auto* h = Headless()) {
      if (in.kind == InputKind::MouseMove) h->pointer = in.screen;
      in.screen = h->pointer;
    }
  }
  PushInput(in);
  Pump();
}
}  // namespace

void MoveMouse(POINT screen) {
  RawInput in{InputKind::MouseMove};
  in.screen = screen;
  Push(in);
}

void MoveMouseTo(HWND hwnd, POINT client) {
  ClientToScreen(hwnd, &client);
  MoveMouse(client);
}

void PressButton(Button button) {
  RawInput in{InputKind::ButtonDown};
  in.button = static_cast<int>(button);
  Push(in);
}

void ReleaseButton(Button button) {
  RawInput in{InputKind::ButtonUp};
  in.button = static_cast<int>(button);
  Push(in);
}

void Click(HWND hwnd, POINT client, Button button) {
  MoveMouseTo(hwnd, client);
  PressButton(button);
  ReleaseButton(button);
}

void Wheel(int delta) {
  RawInput in{InputKind::Wheel};
  in.wheel = delta;
  Push(in);
}

void PressKey(UINT vk, UINT modifiers, char ch) {
  RawInput down{InputKind::KeyDown};
  down.vk = vk;
  down.modifiers = modifiers;
  down.ch = ch;
  Push(down);
  RawInput up = down;
  up.kind = InputKind::KeyUp;
  up.ch = 0;
  Push(up);
}

bool PressSystemKey(UINT vk, UINT modifiers) {
  HWND target = 0;
  int id = 0;
  {
    Lock lock(Sys().mu);
    for (const HotKey& k : Sys().hotKeys) {
      if (k.vk == vk && k.modifiers == modifiers) {
        target = k.hwnd;
        id = k.id;
      }
    }
  }
  if (!target) return false;
  PostMessage(target, WM_HOTKEY, static_cast<WPARAM>(id), MAKELPARAM(modifiers, vk));
  Pump();
  return true;
}

void ActivateOtherApplication() {
  DeactivateApp();
  Pump();
}

void ActivateWindow(HWND topLevel) {
  ActivateTopLevel(TopLevelOf(topLevel), true);
  Pump();
}

bool Pump() {
  // A thread that keeps sending (a running scope on a slow build) can keep the queue from ever
  // emptying: the pump then hands back after ten seconds of real time, so a caller waiting for a
  // condition gets to check it.
  const auto giveBack = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  MSG msg;
  while (std::chrono::steady_clock::now() < giveBack && PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (AfxPreTranslate(&msg)) continue;
    HWND dialog = DialogFor(msg.hwnd);
    if (dialog && IsDialogMessage(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return true;
}

void Advance(uint64_t ms) {
  const uint64_t target = ClockNowMs() + ms;
  for (;;) {
    if (!Pump()) return;
    uint64_t now = ClockNowMs();
    uint64_t next = NextGuiTimerDue();
    if (next <= now) next = now + 1;  // a due timer the pump could not take (filtered): move on
    if (next > target) break;
    ClockAdvance(next - now);
  }
  uint64_t now = ClockNowMs();
  if (target > now) ClockAdvance(target - now);
  Pump();
}

bool RunInLoop(std::function<void()> fn) {
  DWORD gui = GuiThreadId();
  return gui && PostLoopCall(gui, std::move(fn));
}

std::vector<std::pair<UINT, UINT>> GrabbedHotKeys() {
  Lock lock(Sys().mu);
  auto* h = Headless();
  if (!h) return {};
  return std::vector<std::pair<UINT, UINT>>(h->grabbed.begin(), h->grabbed.end());
}

}  // namespace headless
}  // namespace kvp
