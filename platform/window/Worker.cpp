// kvp::Worker: a thread per body, its stop event and done message in a block the thread shares
// with its owner, and the GUI-safe bounded join.
#include <platform/worker.h>

#include <platform/window.h>

#include <atomic>
#include <utility>

namespace kvp {

// Shared by the owner and the thread; the thread holds it until its body has returned and the
// done message is posted, so abandoning the thread never frees what it still uses.
struct Worker::Control {
  UniqueHandle stop;
  Body body;
  std::atomic<bool> dropped{false};  // the owner let go first: post nothing
};

namespace {

DWORD WINAPI WorkerThread(LPVOID param) {
  std::unique_ptr<std::shared_ptr<Worker::Control>> hold(static_cast<std::shared_ptr<Worker::Control>*>(param));
  Worker::Control& control = **hold;
  const WorkerDone done = control.body(control.stop.get());
  // The body's captures go before the post: once the owner sees the message, nothing of the
  // worker's hold on the shared block is left.
  control.body = nullptr;
  if (done.window && !control.dropped.load() && !CurrentThreadAbandoned() && IsWindow(done.window))
    PostMessage(done.window, done.message, done.wParam, done.lParam);
  return 0;
}

}  // namespace

Worker::~Worker() { Release(); }

bool Worker::Start(Body body, int priority) {
  if (thread_ || !body) return false;
  auto control = std::make_shared<Control>();
  control->stop.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  if (!control->stop) return false;
  control->body = std::move(body);
  auto* param = new std::shared_ptr<Control>(control);
  UniqueHandle thread(CreateThread(nullptr, 0, &WorkerThread, param, CREATE_SUSPENDED, nullptr));
  if (!thread) {
    delete param;
    return false;
  }
  if (priority != THREAD_PRIORITY_NORMAL) SetThreadPriority(thread.get(), priority);
  control_ = std::move(control);
  thread_ = std::move(thread);
  ResumeThread(thread_.get());
  return true;
}

bool Worker::Ended() const { return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0; }

void Worker::SignalStop() {
  if (thread_) SetEvent(control_->stop.get());
}

bool Worker::Join(DWORD boundMs, const std::function<void()>& beforeAbandon) {
  if (!thread_) return true;
  const HANDLE thread = thread_.get();
  const bool ended = WaitForObjectsServingSends(1, &thread, boundMs) == WAIT_OBJECT_0;
  if (!ended) {
    if (beforeAbandon) beforeAbandon();
    control_->dropped.store(true);
    AbandonThread(thread);
  }
  thread_.reset();
  control_.reset();
  return ended;
}

bool Worker::Stop(DWORD boundMs, const std::function<void()>& beforeAbandon) {
  SignalStop();
  return Join(boundMs, beforeAbandon);
}

void Worker::Release() {
  if (!thread_) return;
  control_->dropped.store(true);
  SetEvent(control_->stop.get());
  thread_.reset();
  control_.reset();
}

}  // namespace kvp
