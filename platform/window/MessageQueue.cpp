// Posting, retrieving and dispatching messages; timers; the GUI-safe waits.
#include "window/DesktopInternal.h"
#include "window/WindowSystem.h"

#include "sync/WaitEngine.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>

namespace kvp::win {

// A function queued with the posted messages (RunInLoop); run by the loop, never returned.
static constexpr UINT kMsgLoopCall = 0xFFF0;

bool AfxPreTranslate(MSG* msg);  // the class library's PreTranslateMessage chain (afxwin)

namespace {

bool Matches(const MSG& m, HWND filter, UINT min, UINT max) {
  if (filter && m.hwnd != filter && !IsDescendant(filter, m.hwnd)) return false;
  if (min == 0 && max == 0) return true;
  return m.message >= min && m.message <= max;
}

MSG MakeMsg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = static_cast<DWORD>(ClockNowMs());
  m.pt = Sys().cursorPos;
  return m;
}

bool PostTo(const std::shared_ptr<Queue>& q, const MSG& m) {
  {
    Lock lock(Sys().mu);
    q->posted.push_back(m);
  }
  q->Signal();
  return true;
}

uint64_t NextTimerDue(const Queue& q) {
  uint64_t next = UINT64_MAX;
  for (const Timer& t : q.timers) next = std::min(next, t.dueMs);
  return next;
}

bool TakeTimer(Queue& q, MSG* msg, HWND filter, UINT min, UINT max, bool remove) {
  uint64_t now = ClockNowMs();
  Timer* best = nullptr;
  for (Timer& t : q.timers) {
    if (t.dueMs > now) continue;
    MSG m = MakeMsg(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
    if (!Matches(m, filter, min, max)) continue;
    if (!best || t.dueMs < best->dueMs) best = &t;
  }
  if (!best) return false;
  *msg = MakeMsg(best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc));
  // One WM_TIMER per expiry at most, and no catching up: the next one is a period from now.
  if (remove) best->dueMs = now + best->periodMs;
  return true;
}

enum class Took { Nothing, Message, LoopCall };

Took TakeOne(Queue& q, MSG* msg, HWND filter, UINT min, UINT max, bool remove, std::function<void()>* call,
             InputEffects* fx) {
  Lock lock(Sys().mu);
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (it->message == kMsgLoopCall && it->hwnd == 0) {
      if (filter || min || max) continue;
      auto* fn = reinterpret_cast<std::function<void()>*>(it->lParam);
      *call = std::move(*fn);
      delete fn;
      q.posted.erase(it);
      return Took::LoopCall;
    }
    if (!Matches(*it, filter, min, max)) continue;
    *msg = *it;
    if (remove) q.posted.erase(it);
    return Took::Message;
  }
  if (!filter && min == 0 && max == 0) {
    const size_t postedBefore = q.posted.size();
    while (!q.input.empty()) {
      if (TakeInput(q, msg, fx)) {
        if (!remove) q.posted.push_front(*msg);
        return Took::Message;
      }
    }
    // Input that became no message may have posted one (the pointer left a tracked window).
    if (q.posted.size() > postedBefore) return TakeOne(q, msg, filter, min, max, remove, call, fx);
  }
  if (q.quit && (min == 0 && max == 0 ? true : (WM_QUIT >= min && WM_QUIT <= max))) {
    *msg = MakeMsg(0, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
    if (remove) q.quit = false;
    return Took::Message;
  }
  if (TakePaint(q, msg, filter) && Matches(*msg, filter, min, max)) return Took::Message;
  if (TakeTimer(q, msg, filter, min, max, remove)) return Took::Message;
  return Took::Nothing;
}

bool IsGuiThread() { return Sys().guiThread && Sys().guiThread == ThreadId(); }

// Looks for a message; with wait, blocks until one comes. Serves sends and loop calls meanwhile.
bool Retrieve(MSG* msg, HWND filter, UINT min, UINT max, bool remove, bool wait) {
  auto q = CurrentQueue();
  for (;;) {
    if (IsGuiThread() && Sys().backend) Sys().backend->Poll();
    // After serving sends or a loop call the caller gets a WM_NULL, so a modal loop looks at
    // its end condition (the work may have ended it, and a nested loop may have taken the
    // message that was to wake it).
    if (ServeSent(*q)) {
      *msg = MakeMsg(0, WM_NULL, 0, 0);
      return true;
    }
    std::function<void()> call;
    InputEffects fx;
    Took took = TakeOne(*q, msg, filter, min, max, remove, &call, &fx);
    if (took == Took::LoopCall) {
      call();
      *msg = MakeMsg(0, WM_NULL, 0, 0);
      return true;
    }
    if (took == Took::Message) {
      ApplyInputEffects(fx);
      Lock lock(Sys().mu);
      q->current = *msg;
      return true;
    }
    if (!wait) return false;
    DWORD timeout = INFINITE;
    {
      Lock lock(Sys().mu);
      uint64_t next = NextTimerDue(*q);
      if (next != UINT64_MAX) {
        uint64_t now = ClockNowMs();
        timeout = next <= now ? 0 : static_cast<DWORD>(std::min<uint64_t>(next - now, 0x7FFFFFFF));
      }
    }
    if (IsGuiThread() && Sys().backend) Sys().backend->ArmWake();
    Waitable* objects[1] = {q.get()};
    MessageWait waiting(q.get());
    WaitForObjects(objects, 1, false, timeout);
  }
}

}  // namespace

// Input queued by the display for the GUI thread.
void PushInput(const RawInput& in) {
  std::shared_ptr<Queue> q;
  {
    Lock lock(Sys().mu);
    DWORD gui = Sys().guiThread;
    if (!gui) return;
    auto it = Sys().queues.find(gui);
    if (it == Sys().queues.end()) return;
    q = it->second.lock();
    if (!q) return;
    q->input.push_back(in);
  }
  q->Signal();
}

bool PostLoopCall(DWORD threadId, std::function<void()> fn) {
  auto q = FindQueue(threadId);
  if (!q) return false;
  auto* heap = new std::function<void()>(std::move(fn));
  return PostTo(q, MakeMsg(0, kMsgLoopCall, 0, reinterpret_cast<LPARAM>(heap)));
}

void DropPostedFor(HWND hwnd) {
  Lock lock(Sys().mu);
  for (auto& [tid, weak] : Sys().queues) {
    auto q = weak.lock();
    if (!q) continue;
    q->posted.erase(std::remove_if(q->posted.begin(), q->posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                    q->posted.end());
    q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                    q->timers.end());
  }
}

void ClearQueue(Queue& q) {
  // Senders still waiting learn that nobody will answer (result 0) instead of waiting forever.
  std::deque<std::shared_ptr<SentCall>> unanswered;
  {
    Lock lock(Sys().mu);
    unanswered.swap(q.sent);
  }
  for (auto& call : unanswered) call->Complete(0);
  Lock lock(Sys().mu);
  for (MSG& m : q.posted) {
    if (m.message == kMsgLoopCall && m.hwnd == 0) delete reinterpret_cast<std::function<void()>*>(m.lParam);
  }
  q.posted.clear();
  q.input.clear();
  q.timers.clear();
  q.quit = false;
  q.quitRequested = false;
  q.quitWindow = 0;
  q.quitMessage = 0;
  q.quitMessagePosted = false;
}

uint64_t NextGuiTimerDue() {
  auto q = FindQueue(Sys().guiThread);
  if (!q) return UINT64_MAX;
  Lock lock(Sys().mu);
  return NextTimerDue(*q);
}

namespace {

// With mu held: whether the quit request ends the modal loop at `index` of the queue's loops. The
// loops above the quit window's own loop end; when that window runs no loop, every loop does.
bool EndsByQuitLocked(const Queue& q, size_t index) {
  if (!q.quitRequested || q.modalLoops[index] == q.quitWindow) return false;
  for (size_t i = 0; i < q.modalLoops.size(); ++i) {
    if (q.modalLoops[i] == q.quitWindow) return i < index;
  }
  return true;
}

// Posts the quit request's message once no loop that the request ends is left.
void PostQuitTargetIfDue(Queue& q) {
  HWND target = 0;
  UINT message = 0;
  {
    Lock lock(Sys().mu);
    if (!q.quitRequested || q.quitMessagePosted) return;
    for (size_t i = 0; i < q.modalLoops.size(); ++i) {
      if (EndsByQuitLocked(q, i)) return;
    }
    q.quitMessagePosted = true;
    target = q.quitWindow;
    message = q.quitMessage;
  }
  PostMessage(target, message, 0, 0);
}

}  // namespace

ModalEnd RunModalLoop(HWND dialog, const std::function<bool()>& done) {
  auto q = CurrentQueue();
  size_t index;
  {
    Lock lock(Sys().mu);
    if (auto w = Get(dialog)) w->dialogKeys = true;
    q->modalLoops.push_back(dialog);
    index = q->modalLoops.size() - 1;
  }
  // Loops nest, so this one is the last of the list whenever it ends.
  struct Leave {
    Queue& q;
    ~Leave() {
      {
        Lock lock(Sys().mu);
        q.modalLoops.pop_back();
      }
      PostQuitTargetIfDue(q);
    }
  } leave{*q};
  while (!done()) {
    {
      Lock lock(Sys().mu);
      if (EndsByQuitLocked(*q, index)) return ModalEnd::QuitRequest;
    }
    MSG msg;
    if (!Retrieve(&msg, 0, 0, 0, true, true)) continue;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return ModalEnd::QuitMessage;
    }
    if (AfxPreTranslate(&msg)) continue;
    if (dialog && IsWindow(dialog) && IsDialogMessage(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return ModalEnd::Done;
}

// The GUI-safe wait: the handles, or a message of the mask kinds in the calling thread's queue.
static DWORD WaitWithQueue(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs, DWORD wakeMask,
                           bool serveSends) {
  if (count > MAXIMUM_WAIT_OBJECTS - 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> keep;
  std::vector<Waitable*> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto obj = LookupHandle<Waitable>(handles[i]);
    if (!obj) return WAIT_FAILED;
    objects.push_back(obj.get());
    keep.push_back(std::move(obj));
  }
  auto q = CurrentQueue();
  const uint64_t start = ClockNowMs();
  auto hasWork = [&] {
    Lock lock(Sys().mu);
    if ((wakeMask & QS_SENDMESSAGE) && !q->sent.empty()) return true;
    if ((wakeMask & QS_POSTMESSAGE) && !q->posted.empty()) return true;
    if ((wakeMask & QS_INPUT) && !q->input.empty()) return true;
    if ((wakeMask & QS_TIMER) && NextTimerDue(*q) <= ClockNowMs()) return true;
    return false;
  };
  for (;;) {
    if (serveSends) ServeSent(*q);
    DWORD r = count ? WaitForObjects(objects.data(), count, waitAll != 0, 0) : WAIT_TIMEOUT;
    if (r != WAIT_TIMEOUT) return r;
    if (!serveSends && hasWork()) return WAIT_OBJECT_0 + count;
    DWORD left = INFINITE;
    if (timeoutMs != INFINITE) {
      uint64_t spent = ClockNowMs() - start;
      if (spent >= timeoutMs) return WAIT_TIMEOUT;
      left = static_cast<DWORD>(timeoutMs - spent);
    }
    if (waitAll) {
      // Waiting for all handles does not watch the queue.
      return WaitForObjects(objects.data(), count, true, left);
    }
    if (IsGuiThread() && Sys().backend) Sys().backend->ArmWake();
    std::vector<Waitable*> all = objects;
    all.push_back(q.get());
    {
      MessageWait waiting(q.get());
      r = WaitForObjects(all.data(), count + 1, false, left);
    }
    if (r == WAIT_TIMEOUT) return WAIT_TIMEOUT;
    if (r == WAIT_OBJECT_0 + count) {
      if (IsGuiThread() && Sys().backend) Sys().backend->Poll();
      continue;  // served (or reported) at the top of the loop
    }
    return r;
  }
}

}  // namespace kvp::win

using namespace kvp::win;
using kvp::ClockNowMs;

extern "C" {

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyPost(hwnd, msg, wParam, lParam);
  if (!hwnd) return PostThreadMessage(ThreadId(), msg, wParam, lParam);
  std::shared_ptr<Queue> q;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w || w->destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    q = w->queue;
  }
  return PostTo(q, MakeMsg(hwnd, msg, wParam, lParam));
}

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto q = threadId == ThreadId() ? CurrentQueue() : FindQueue(threadId);
  if (!q) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return PostTo(q, MakeMsg(0, msg, wParam, lParam));
}

void PostQuitMessage(int exitCode) {
  auto q = CurrentQueue();
  {
    Lock lock(Sys().mu);
    q->quit = true;
    q->quitCode = exitCode;
  }
  q->Signal();
}

BOOL GetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  Retrieve(msg, hwnd, filterMin, filterMax, true, true);
  return msg->message != WM_QUIT;
}

BOOL PeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  return Retrieve(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0, false);
}

BOOL WaitMessage(void) {
  MSG msg;
  Retrieve(&msg, 0, 0, 0, false, true);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  auto q = CurrentQueue();
  char ch;
  {
    Lock lock(Sys().mu);
    ch = q->keyChar;
    q->keyChar = 0;
  }
  if (!ch) return FALSE;
  UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  PostTo(q, MakeMsg(msg->hwnd, charMsg, static_cast<BYTE>(ch), msg->lParam));
  return TRUE;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg) return 0;
  // A timer with a procedure calls it, also a thread timer (no window).
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(ClockNowMs()));
    return 0;
  }
  if (!msg->hwnd) return 0;
  if (msg->message != WM_PAINT) return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  unsigned before = 0;
  {
    Lock lock(Sys().mu);
    if (auto w = Get(msg->hwnd)) before = w->validations;
  }
  LRESULT r = CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A handler that neither painted nor validated would get WM_PAINT again and again: the area
  // counts as painted.
  Lock lock(Sys().mu);
  if (auto w = Get(msg->hwnd)) {
    if (w->validations == before) {
      w->hasUpdate = false;
      w->erase = false;
    }
  }
  return r;
}

DWORD GetQueueStatus(UINT flags) {
  auto q = CurrentQueue();
  Lock lock(Sys().mu);
  DWORD status = 0;
  if (!q->posted.empty()) status |= QS_POSTMESSAGE;
  if (!q->sent.empty()) status |= QS_SENDMESSAGE;
  if (!q->input.empty()) status |= QS_INPUT;
  if (NextTimerDue(*q) <= ClockNowMs()) status |= QS_TIMER;
  status &= flags;
  return MAKELONG(status, status);
}

DWORD GetMessageTime(void) {
  auto q = CurrentQueue();
  Lock lock(Sys().mu);
  return q->current.time;
}

DWORD GetMessagePos(void) {
  auto q = CurrentQueue();
  Lock lock(Sys().mu);
  return static_cast<DWORD>(MAKELONG(q->current.pt.x, q->current.pt.y));
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs, DWORD wakeMask) {
  return WaitWithQueue(count, handles, waitAll, timeoutMs, wakeMask, false);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  std::shared_ptr<Queue> q;
  {
    Lock lock(Sys().mu);
    if (hwnd) {
      auto w = Get(hwnd);
      if (!w || w->destroying) return 0;
      q = w->queue;
    }
  }
  if (!q) q = CurrentQueue();
  UINT period = std::max<UINT>(elapseMs, USER_TIMER_MINIMUM);
  {
    Lock lock(Sys().mu);
    bool found = false;
    if (!hwnd && id == 0) id = Sys().nextThreadTimerId++;
    for (Timer& t : q->timers) {
      if (t.hwnd == hwnd && t.id == id) {
        t = Timer{hwnd, id, period, ClockNowMs() + period, proc};
        found = true;
      }
    }
    if (!found) q->timers.push_back(Timer{hwnd, id, period, ClockNowMs() + period, proc});
  }
  q->Signal();  // a waiting loop recomputes its time-out
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  Lock lock(Sys().mu);
  for (auto& [tid, weak] : Sys().queues) {
    auto q = weak.lock();
    if (!q) continue;
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != q->timers.end()) {
      q->timers.erase(it);  // a WM_TIMER is made only when taken, so none is left behind
      return TRUE;
    }
  }
  return FALSE;
}

}  // extern "C"

namespace kvp {

BOOL RequestQuit(HWND window, UINT message) {
  const DWORD gui = win::Sys().guiThread;
  auto q = gui ? win::FindQueue(gui) : nullptr;
  if (!q || !IsWindow(window)) return FALSE;
  {
    win::Lock lock(win::Sys().mu);
    q->quitRequested = true;
    q->quitWindow = window;
    q->quitMessage = message;
    q->quitMessagePosted = false;
  }
  win::PostQuitTargetIfDue(*q);
  // Wakes the innermost loop, which may be waiting for a message; it ends at its next look, and
  // each loop below it as control comes back to it.
  win::PostLoopCall(gui, [] {});
  return TRUE;
}

DWORD WaitForObjectsServingSends(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
  return win::WaitWithQueue(count, handles, FALSE, timeoutMs, QS_SENDMESSAGE, true);
}

}  // namespace kvp
