// Global state, window records, queues and the tree helpers everything else stands on.
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
  for (;;) {
    std::shared_ptr<SentCall> call;
    {
      Lock lock(Sys().mu);
      if (q.sent.empty()) break;
      call = q.sent.front();
      q.sent.pop_front();
      ++q.inSend;
    }
    LRESULT r = call->fn();
    {
      Lock lock(Sys().mu);
      --q.inSend;
    }
    call->Complete(r);
    any = true;
  }
  return any;
}

// Sends a call to another thread's queue and waits for it, serving the sends that reach the
// calling thread meanwhile (so two threads sending to each other never deadlock).
static LRESULT SendCall(const std::shared_ptr<Queue>& target, std::function<LRESULT()> fn) {
  auto call = std::make_shared<SentCall>();
  call->fn = std::move(fn);
  {
    Lock lock(Sys().mu);
    if (target->ended) return 0;
    target->sent.push_back(call);
  }
  target->Signal();
  std::shared_ptr<Queue> own = FindQueue(ThreadId());
  Waitable* objects[2] = {call.get(), own.get()};
  for (;;) {
    DWORD r = WaitForObjects(objects, own ? 2 : 1, false, INFINITE);
    if (r == WAIT_OBJECT_0) break;
    if (own) ServeSent(*own);
  }
  return call->result;
}

LRESULT CallOnGuiThread(std::function<LRESULT()> fn) {
  DWORD gui = Sys().guiThread;
  if (!gui || gui == ThreadId()) return fn();
  auto q = FindQueue(gui);
  if (!q) return fn();
  return SendCall(q, std::move(fn));
}

LRESULT SendToWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* ok) {
  std::shared_ptr<Queue> target;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) {
      *ok = false;
      return 0;
    }
    target = w->queue;
    if (w->threadId == ThreadId()) target = nullptr;
  }
  *ok = true;
  if (!target) return CallProc(hwnd, msg, wParam, lParam);
  return SendCall(target, [hwnd, msg, wParam, lParam] { return CallProc(hwnd, msg, wParam, lParam); });
}

}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool ok = false;
  return SendToWindow(hwnd, msg, wParam, lParam, &ok);
}

BOOL InSendMessage(void) {
  auto q = FindQueue(ThreadId());
  if (!q) return FALSE;
  Lock lock(Sys().mu);
  return q->inSend > 0;
}

}  // extern "C"
