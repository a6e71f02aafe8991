// Global state, window records, queues and the tree helpers everything else stands on.
#include "window/DesktopInternal.h"
#include "window/WindowSystem.h"

#include "sync/WaitEngine.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>

namespace kvp::win {

State& Sys() {
  static State* state = new State;  // never destroyed: windows may outlive static destruction
  return *state;
}

std::shared_ptr<Window> Get(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto w = HandleTable::Instance().GetAs<Window>(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

DWORD ThreadId() { return GetCurrentThreadId(); }

void SentCall::Complete(LRESULT r) {
  std::lock_guard<std::mutex> lock(WaitLock());
  result = r;
  done = true;
  WakeWaiters();
}

void Queue::Signal() {
  std::lock_guard<std::mutex> lock(WaitLock());
  signalled = true;
  WakeWaiters();
}

namespace {
// The calling thread's queue; it leaves the list when the thread ends.
struct QueueHolder {
  std::shared_ptr<Queue> q;
  ~QueueHolder() {
    if (!q) return;
    // As on the desktop, a thread's windows end with it.
    for (HWND t : TopLevelsOfThread(q->threadId)) DestroyWindow(t);
    {
      Lock lock(Sys().mu);
      Sys().queues.erase(q->threadId);
      q->ended = true;
    }
    ClearQueue(*q);  // the thread is gone: its senders get no answer
  }
};
thread_local QueueHolder tlsQueue;
}  // namespace

std::shared_ptr<Queue> CurrentQueue() {
  if (!tlsQueue.q) {
    auto q = std::make_shared<Queue>();
    q->threadId = ThreadId();
    q->lastLookMs = ClockNowMs();
    Lock lock(Sys().mu);
    Sys().queues[q->threadId] = q;
    tlsQueue.q = q;
  }
  return tlsQueue.q;
}

std::shared_ptr<Queue> FindQueue(DWORD threadId) {
  Lock lock(Sys().mu);
  auto it = Sys().queues.find(threadId);
  return it == Sys().queues.end() ? nullptr : it->second.lock();
}

void WakeGui() {
  auto q = FindQueue(Sys().guiThread);
  if (q) q->Signal();
}

// ------------------------------------------------------------------------------------------------
// Tree helpers

HWND TopLevelOf(HWND hwnd) {
  auto w = Get(hwnd);
  while (w && w->IsChild()) {
    auto p = Get(w->parent);
    if (!p) break;
    w = p;
  }
  return w ? w->hwnd : 0;
}

POINT ScreenOrigin(const Window& w) {
  POINT p{w.rect.left, w.rect.top};
  HWND parent = w.IsChild() ? w.parent : 0;
  while (auto pw = Get(parent)) {
    p.x += pw->rect.left;
    p.y += pw->rect.top;
    parent = pw->IsChild() ? pw->parent : 0;
  }
  return p;
}

POINT OriginInTop(const Window& w) {
  if (!w.IsChild()) return POINT{0, 0};
  POINT p{w.rect.left, w.rect.top};
  auto pw = Get(w.parent);
  while (pw && pw->IsChild()) {
    p.x += pw->rect.left;
    p.y += pw->rect.top;
    pw = Get(pw->parent);
  }
  return p;
}

bool VisibleChain(const Window& w) {
  if (!(w.style & WS_VISIBLE)) return false;
  if (!w.IsChild()) return !w.minimized;
  auto p = Get(w.parent);
  return p && VisibleChain(*p);
}

bool EnabledChain(const Window& w) {
  if (w.style & WS_DISABLED) return false;
  if (!w.IsChild()) return true;
  auto p = Get(w.parent);
  return p && EnabledChain(*p);
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
  auto w = Get(hwnd);
  while (w) {
    if (w->hwnd == ancestor) return true;
    if (!w->IsChild()) return false;
    w = Get(w->parent);
  }
  return false;
}

RECT VisibleRectInTop(const Window& w) {
  if (!VisibleChain(w)) return RECT{0, 0, 0, 0};
  POINT o = OriginInTop(w);
  CRect r(o.x, o.y, o.x + w.Width(), o.y + w.Height());
  auto p = w.IsChild() ? Get(w.parent) : nullptr;
  while (p) {
    POINT po = OriginInTop(*p);
    CRect pr(po.x, po.y, po.x + p->Width(), po.y + p->Height());
    CRect out;
    out.IntersectRect(r, pr);
    r = out;
    p = p->IsChild() ? Get(p->parent) : nullptr;
  }
  if (r.IsRectEmpty()) return RECT{0, 0, 0, 0};
  return r;
}

namespace {
HWND HitChild(const Window& w, POINT client, bool enabledOnly) {
  for (HWND c : w.children) {
    auto cw = Get(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    if (!CRect(cw->rect).PtInRect(client)) continue;
    if (enabledOnly && (cw->style & WS_DISABLED)) return 0;
    POINT inner{client.x - cw->rect.left, client.y - cw->rect.top};
    HWND deeper = HitChild(*cw, inner, enabledOnly);
    return deeper ? deeper : c;
  }
  return 0;
}
}  // namespace

HWND HitTest(POINT screen, bool enabledOnly) {
  Lock lock(Sys().mu);
  for (HWND t : Sys().topLevels) {
    auto w = Get(t);
    if (!w || !VisibleChain(*w) || !CRect(w->rect).PtInRect(screen)) continue;
    if (enabledOnly && (w->style & WS_DISABLED)) return 0;
    POINT client{screen.x - w->rect.left, screen.y - w->rect.top};
    HWND child = HitChild(*w, client, enabledOnly);
    return child ? child : t;
  }
  return 0;
}

std::vector<HWND> TopLevelsOfThread(DWORD threadId) {
  Lock lock(Sys().mu);
  std::vector<HWND> out;
  for (HWND t : Sys().topLevels) {
    auto w = Get(t);
    if (w && w->threadId == threadId) out.push_back(t);
  }
  return out;
}

// ------------------------------------------------------------------------------------------------
// Calling window procedures and serving sends

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  std::shared_ptr<Window> keep;
  {
    Lock lock(Sys().mu);
    keep = Get(hwnd);
    if (!keep) return 0;
    proc = keep->proc;
  }
  return proc ? proc(hwnd, msg, wParam, lParam) : ::DefWindowProc(hwnd, msg, wParam, lParam);
}

bool ServeSent(Queue& q) {
  bool any = false;
  {
    Lock lock(Sys().mu);
    q.lastLookMs = ClockNowMs();
  }
  for (;;) {
    std::shared_ptr<SentCall> call;
    {
      Lock lock(Sys().mu);
      if (q.sent.empty()) break;
      call = q.sent.front();
      q.sent.pop_front();
      call->taken = true;
      ++q.inSend;
    }
    LRESULT r = call->fn();
    {
      Lock lock(Sys().mu);
      --q.inSend;
      q.lastLookMs = ClockNowMs();
    }
    call->Complete(r);
    any = true;
  }
  return any;
}

MessageWait::MessageWait(Queue* q) : q_(q) {
  if (!q_) return;
  Lock lock(Sys().mu);
  ++q_->waitingForMessages;
}

MessageWait::~MessageWait() {
  if (!q_) return;
  Lock lock(Sys().mu);
  --q_->waitingForMessages;
  q_->lastLookMs = ClockNowMs();
}

// A thread that has not looked at its queue for this long, and is not waiting for messages,
// counts as not responding.
static constexpr uint64_t kHungMs = 5000;

bool LooksHung(const Queue& q) { return q.waitingForMessages == 0 && ClockNowMs() - q.lastLookMs >= kHungMs; }

namespace {

enum class SendEnd { Answered, TimedOut, NoReceiver };

// Queues a call for another thread and waits up to timeoutMs (INFINITE: no bound) for its answer.
// With serveOwn the sends reaching the calling thread meanwhile are served, so two threads sending
// to each other never deadlock. A call the receiver has not taken by the time-out is dropped: it
// never runs, so nothing it points to is used after the sender gave up.
SendEnd SendCall(const std::shared_ptr<Queue>& target, std::function<LRESULT()> fn, DWORD timeoutMs, bool serveOwn,
                 LRESULT* result) {
  *result = 0;
  auto call = std::make_shared<SentCall>();
  call->fn = std::move(fn);
  {
    Lock lock(Sys().mu);
    if (target->ended) return SendEnd::NoReceiver;
    target->sent.push_back(call);
  }
  target->Signal();
  std::shared_ptr<Queue> own = serveOwn ? FindQueue(ThreadId()) : nullptr;
  MessageWait waiting(own.get());
  const uint64_t deadline = timeoutMs == INFINITE ? UINT64_MAX : ClockNowMs() + timeoutMs;
  Waitable* objects[2] = {call.get(), own.get()};
  for (;;) {
    DWORD left = INFINITE;
    if (deadline != UINT64_MAX) {
      const uint64_t now = ClockNowMs();
      left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    DWORD r = WaitForObjects(objects, own ? 2 : 1, false, left);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_TIMEOUT) {
      Lock lock(Sys().mu);
      auto it = std::find(target->sent.begin(), target->sent.end(), call);
      if (it != target->sent.end()) {
        target->sent.erase(it);
        return SendEnd::TimedOut;
      }
      if (!call->taken) break;  // the receiver's thread ended meanwhile: answered with nothing
      std::lock_guard<std::mutex> wait(WaitLock());
      if (!call->done) return SendEnd::TimedOut;  // the handler runs still; its data stays alive with the call
      break;
    }
    if (own) ServeSent(*own);
  }
  Lock lock(Sys().mu);
  if (!call->taken) return SendEnd::NoReceiver;
  *result = call->result;
  return SendEnd::Answered;
}

}  // namespace

LRESULT CallOnGuiThread(std::function<LRESULT()> fn) {
  DWORD gui = Sys().guiThread;
  if (!gui || gui == ThreadId()) return fn();
  auto q = FindQueue(gui);
  if (!q) return fn();
  LRESULT r = 0;
  SendCall(q, std::move(fn), INFINITE, true, &r);
  return r;
}

// The queue of the window's thread; null when it is the calling thread's window.
static bool TargetOf(HWND hwnd, std::shared_ptr<Queue>* target) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return false;
  *target = w->threadId == ThreadId() ? nullptr : w->queue;
  return true;
}

LRESULT SendToWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* ok) {
  std::shared_ptr<Queue> target;
  *ok = TargetOf(hwnd, &target);
  if (!*ok) return 0;
  if (!target) return CallProc(hwnd, msg, wParam, lParam);
  LRESULT r = 0;
  SendCall(target, [hwnd, msg, wParam, lParam] { return CallProc(hwnd, msg, wParam, lParam); }, INFINITE, true, &r);
  return r;
}

static LRESULT SendWithTimeout(std::shared_ptr<const void> keep, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                               UINT flags, UINT timeoutMs, PDWORD_PTR result) {
  if (result) *result = 0;
  std::shared_ptr<Queue> target;
  if (!TargetOf(hwnd, &target)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!target) {
    const LRESULT r = CallProc(hwnd, msg, wParam, lParam);
    if (result) *result = static_cast<DWORD_PTR>(r);
    return TRUE;
  }
  if (flags & SMTO_ABORTIFHUNG) {
    Lock lock(Sys().mu);
    if (LooksHung(*target)) {
      SetLastError(ERROR_TIMEOUT);
      return 0;
    }
  }
  // Whether the window still existed when its thread took the send.
  auto reached = std::make_shared<std::atomic<bool>>(false);
  auto fn = [hwnd, msg, wParam, lParam, reached, keep = std::move(keep)]() -> LRESULT {
    if (!IsWindow(hwnd)) return 0;
    reached->store(true);
    return CallProc(hwnd, msg, wParam, lParam);
  };
  LRESULT r = 0;
  const SendEnd end = SendCall(target, std::move(fn), timeoutMs, (flags & SMTO_BLOCK) == 0, &r);
  if (end == SendEnd::TimedOut) {
    SetLastError(ERROR_TIMEOUT);
    return 0;
  }
  if (end == SendEnd::NoReceiver || !reached->load()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (result) *result = static_cast<DWORD_PTR>(r);
  return TRUE;
}

}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool ok = false;
  // Another process's window: a bounded wait, so a hung peer cannot hold us for ever.
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxySend(hwnd, msg, wParam, lParam, 30000, nullptr, &ok);
  return SendToWindow(hwnd, msg, wParam, lParam, &ok);
}

LRESULT SendMessageTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                           PDWORD_PTR result) {
  if (kvp::desktop::IsProxy(hwnd)) {
    bool ok = false;
    kvp::desktop::ProxySend(hwnd, msg, wParam, lParam, timeoutMs, result, &ok);
    return ok ? 1 : 0;
  }
  return SendWithTimeout(nullptr, hwnd, msg, wParam, lParam, flags, timeoutMs, result);
}

BOOL InSendMessage(void) {
  auto q = FindQueue(ThreadId());
  if (!q) return FALSE;
  Lock lock(Sys().mu);
  return q->inSend > 0;
}

}  // extern "C"

namespace kvp {

LRESULT SendMessageTimeoutKeeping(std::shared_ptr<const void> data, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                  UINT flags, UINT timeoutMs, PDWORD_PTR result) {
  return win::SendWithTimeout(std::move(data), hwnd, msg, wParam, lParam, flags, timeoutMs, result);
}

}  // namespace kvp
