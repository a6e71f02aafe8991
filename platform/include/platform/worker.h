// kvp::Worker: the one way the program runs a worker thread. For panels, dialogs and the recorder
// that hand a piece of slow work (a board measurement, a transfer) to a thread of its own.
//
//   auto shared = std::make_shared<Block>();                  // what the worker reads and writes
//   worker.Start([shared](HANDLE stop) {                       // stop: set when the owner stops it
//     ... work, waiting on `stop` with whatever else it waits for ...
//     return kvp::WorkerDone{window, WM_DONE, 0, 0};           // posted when the body returns
//   });
//   worker.Stop(kStopWaitMs);                                  // signal, wait serving sends, abandon
//
// The body holds whatever it captured (the shared block) until it returns, so a worker that
// outlives its owner still has its data. The stop event is the worker's own (manual-reset) and
// stays open while the thread runs. The done message is posted unless the owner has let go of the
// thread first (an abandon after the bound, Release, destruction), or the window is gone.
//
// Waits are GUI-safe: Join and Stop serve the sends and marshalled message boxes that reach the
// calling thread, so a worker that is itself sending to it can finish. No thread is ever killed:
// one still running at the bound is abandoned (kvp::AbandonThread) and left to end on its own.
#pragma once

#include <platform/sync.h>
#include <platform/types.h>
#include <platform/unique.h>

#include <functional>
#include <memory>

namespace kvp {

// What a worker posts when its body has returned; a window of 0 posts nothing.
struct WorkerDone {
  HWND window = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class PLATFORM_API Worker {
 public:
  using Body = std::function<WorkerDone(HANDLE stop)>;

  Worker() = default;
  // Lets go as Release does: the thread is told to stop and is not waited for.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs `body` on a new thread at `priority`. False when a thread is still held or none could be
  // made (the body is then never run).
  bool Start(Body body, int priority = THREAD_PRIORITY_NORMAL);
  // A thread is held: started, and neither joined nor let go.
  bool Held() const { return static_cast<bool>(thread_); }
  // The held thread has ended (its done message, if any, is posted). False without one.
  bool Ended() const;
  // Sets the held thread's stop event; the body decides what a stop means.
  void SignalStop();
  // Waits up to `boundMs` (INFINITE: no bound) for the held thread to end, serving sends
  // meanwhile. One still running then is abandoned: `beforeAbandon` runs first (the owner marks
  // its shared block), and its done message is dropped. The thread is let go of either way. True
  // when it ended within the bound or none was held.
  bool Join(DWORD boundMs, const std::function<void()>& beforeAbandon = {});
  // SignalStop, then Join.
  bool Stop(DWORD boundMs, const std::function<void()>& beforeAbandon = {});
  // Lets go without waiting: the thread is told to stop, posts no done message and ends on its own.
  void Release();

  // The block the owner and the thread share (internal).
  struct Control;

 private:
  std::shared_ptr<Control> control_;
  UniqueHandle thread_;
};

}  // namespace kvp
