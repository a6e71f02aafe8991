// Inside of the window system: window records, message queues, the global state and the seam to
// the display back ends.
//
// Locking: one recursive mutex (Sys().mu) guards every record, queue list and the global state.
// It is never held while a window procedure, a timer procedure or a wait runs. A queue's wake
// signal lives under the wait engine's lock (taken after Sys().mu, never before it).
#pragma once

#include "base/HandleTable.h"

#include <platform/afxwin.h>
#include <platform/display.h>
#include <platform/window.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace kvp::win {

struct Queue;

struct WindowClass {
  std::string name;
  WNDCLASS wc{};
  bool builtIn = false;
};

// Which part of a DC's picture the window system keeps safe while it is drawn: visible children
// and siblings above keep their pixels.
struct Snapshot {
  RECT rect;  // top-level coordinates
  cairo_surface_t* pixels;
};

struct Window : KernelObject {
  bool AllowCloseHandle() const override { return false; }

  HWND hwnd = 0;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  CWnd* object = nullptr;           // attached class-library object
  std::unique_ptr<CWnd> wrapper;    // FromHandle's wrapper for a window without object
  HWND parent = 0;                  // for children
  HWND owner = 0;                   // for top-level windows
  std::vector<HWND> children;       // z-order, top first
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  std::string text;
  RECT rect{};                      // parent client coordinates, or screen for top-level
  RECT normalRect{};                // top-level: the rectangle to restore to
  bool maximized = false;
  bool minimized = false;
  bool hasUpdate = false;
  RECT update{};                    // client coordinates
  bool erase = false;
  unsigned validations = 0;         // BeginPaint / ValidateRect calls, to spot a WM_PAINT left unanswered
  std::shared_ptr<Queue> queue;
  DWORD threadId = 0;
  bool destroying = false;
  HWND lastFocus = 0;               // top-level: the focus to give back on activation
  bool dialogKeys = false;          // runs a modal loop: Enter, Escape and Tab go to it
  HICON iconBig = 0, iconSmall = 0;
  HMENU sysMenu = 0;
  cairo_surface_t* surface = nullptr;  // top-level back buffer
  void* backendData = nullptr;
  std::shared_ptr<void> controlState;  // a standard control's own state

  bool IsChild() const { return (style & WS_CHILD) != 0; }
  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }
};

// A cross-thread send (or a marshalled call) waiting for its target thread.
struct SentCall : Waitable {
  std::function<LRESULT()> fn;
  LRESULT result = 0;
  bool taken = false;  // under Sys().mu: the receiving thread has started it
  bool done = false;   // under WaitLock
  bool IsSignalledFor(DWORD) override { return done; }
  bool Consume(DWORD) override { return false; }
  void Complete(LRESULT r);  // stores the result and releases the sender
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT periodMs;
  uint64_t dueMs;
  TIMERPROC proc;
};

enum class InputKind { MouseMove, ButtonDown, ButtonUp, Wheel, KeyDown, KeyUp };

struct RawInput {
  InputKind kind;
  POINT screen{};      // mouse
  int button = 0;      // 0 left, 1 right, 2 middle
  int wheel = 0;
  UINT vk = 0;         // keys
  UINT modifiers = 0;  // MOD_*
  char ch = 0;
};

// One thread's message queue. Its wake signal is a waitable the thread waits on.
struct Queue : Waitable {
  DWORD threadId = 0;
  // Under Sys().mu:
  std::deque<MSG> posted;
  std::deque<RawInput> input;
  std::deque<std::shared_ptr<SentCall>> sent;
  std::deque<std::function<void()>> loopCalls;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  int inSend = 0;     // depth of cross-thread sends being served
  bool ended = false; // its thread has ended: sends to it are answered 0 at once
  uint64_t lastLookMs = 0;     // when the thread last looked at its queue (platform clock)
  int waitingForMessages = 0;  // the thread blocks in a wait that its messages end
  std::vector<HWND> modalLoops;  // the modal loops the thread runs, outermost first (their windows)
  // A quit request (RequestQuit): the window whose modal loop stays and the message it is sent
  // once every loop above it has ended. Kept until the queue is cleared.
  bool quitRequested = false;
  HWND quitWindow = 0;
  UINT quitMessage = 0;
  bool quitMessagePosted = false;
  MSG current{};      // last message taken (time, position)
  char keyChar = 0;   // the character of the last key-down taken, for TranslateMessage
  // Under WaitLock:
  bool signalled = false;

  bool IsSignalledFor(DWORD) override { return signalled; }
  bool Consume(DWORD) override {
    signalled = false;
    return false;
  }
  void Signal();
};

// What the window system asks of a display back end. All calls come from the GUI thread; Poll and
// ArmWake without Sys().mu held, the others with it.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual bool Headless() const = 0;
  virtual SIZE ScreenSize() = 0;
  virtual void TopLevelCreated(Window& w) {}
  virtual void TopLevelDestroyed(Window& w) {}
  virtual void TopLevelShown(Window& w, bool shown) {}
  virtual void TopLevelMoved(Window& w) {}
  virtual void TopLevelTextChanged(Window& w) {}
  virtual void TopLevelIconChanged(Window& w) {}
  virtual void TopLevelRaised(Window& w) {}
  // The rectangle (top-level coordinates) of the back buffer changed: show it.
  virtual void Flush(Window& top, const RECT& r) {}
  virtual void CursorChanged(HCURSOR cursor) {}
  virtual bool GrabHotKey(UINT modifiers, UINT vk) { return true; }
  virtual void UngrabHotKey(UINT modifiers, UINT vk) {}
  // Called by the GUI thread's message retrieval before it looks at its queue: turn pending
  // display events into raw input.
  virtual void Poll() {}
  // The GUI thread is about to block: make sure display events wake it.
  virtual void ArmWake() {}
};

struct DcInfo {
  HWND hwnd;
  HWND top;
  RECT clip;  // top-level coordinates
  std::vector<Snapshot> kept;
};

struct HotKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT vk;
};

struct State {
  std::recursive_mutex mu;
  std::map<std::string, std::shared_ptr<WindowClass>> classes;  // key: lower-case name
  std::vector<HWND> topLevels;                                  // z-order, top first
  std::map<DWORD, std::weak_ptr<Queue>> queues;
  std::map<HDC, DcInfo> dcs;
  std::vector<HotKey> hotKeys;
  std::unique_ptr<Backend> backend;
  std::atomic<DWORD> guiThread{0};
  HWND capture = 0;
  HWND focus = 0;
  HWND active = 0;
  bool appActive = false;
  HCURSOR cursor = 0;
  POINT cursorPos{0, 0};
  UINT buttons = 0;   // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON held
  UINT modifiers = 0; // MOD_* held
  bool keyDown[256] = {};
  UINT_PTR nextThreadTimerId = 0x7FFF0000;
  std::vector<MessageBoxCall> boxes;
  MessageBoxResponder responder;
  std::map<HMENU, std::vector<std::pair<UINT_PTR, std::string>>> menus;
  HMENU nextMenu = 0x4D000001;
};

State& Sys();
using Lock = std::unique_lock<std::recursive_mutex>;

// Records. Get returns null for 0 or a destroyed window.
std::shared_ptr<Window> Get(HWND hwnd);
DWORD ThreadId();
std::shared_ptr<Queue> CurrentQueue();           // creates the calling thread's queue
std::shared_ptr<Queue> FindQueue(DWORD threadId);  // existing queue or null

// Tree helpers (with mu held).
HWND TopLevelOf(HWND hwnd);
POINT ScreenOrigin(const Window& w);
POINT OriginInTop(const Window& w);
bool VisibleChain(const Window& w);  // it and every ancestor visible
bool EnabledChain(const Window& w);
bool IsDescendant(HWND ancestor, HWND hwnd);  // hwnd == ancestor counts
RECT VisibleRectInTop(const Window& w);       // empty when hidden
HWND HitTest(POINT screen, bool enabledOnly);
std::vector<HWND> TopLevelsOfThread(DWORD threadId);

// Calls the window procedure (mu not held).
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Serves the cross-thread sends waiting in the queue; returns whether any ran.
bool ServeSent(Queue& q);
// Marks the calling thread as waiting for its messages while it blocks: it counts as responding.
class MessageWait {
 public:
  explicit MessageWait(Queue* q);
  ~MessageWait();
  MessageWait(const MessageWait&) = delete;
  MessageWait& operator=(const MessageWait&) = delete;

 private:
  Queue* q_;
};
// With mu held: the thread neither waits for messages nor has looked at its queue for a while.
bool LooksHung(const Queue& q);
// Runs a function on the GUI thread (directly when called there) and returns its result.
LRESULT CallOnGuiThread(std::function<LRESULT()> fn);
LRESULT SendToWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* ok);
bool PostLoopCall(DWORD threadId, std::function<void()> fn);
void DropPostedFor(HWND hwnd);  // posted messages and timers of a destroyed window
void ClearQueue(Queue& q);
uint64_t NextGuiTimerDue();

// Input and activation.
void CancelMode();                         // WM_CANCELMODE to the capture owner, capture released
void CancelModeIfInside(HWND ancestor);    // the same when the capture window is ancestor or inside it
void ActivateTopLevel(HWND top, bool fromUser);
void DeactivateApp();
void MoveFocusAway(HWND ancestor);         // the focus leaves a window being hidden or destroyed
void PushInput(const RawInput& in);        // from the display: queued for the GUI thread
// What taking an input message asks for before it is delivered (done without mu held).
struct InputEffects {
  HWND activate = 0;      // a click activates its top-level window
  HWND cursorWindow = 0;  // WM_SETCURSOR goes there (no capture)
  UINT mouseMsg = 0;
  bool mouseInput = false;  // a mouse event (tracking and tooltips follow the pointer)
  HWND mouseTarget = 0;     // the window under the pointer (0: none of ours)
  POINT mouseScreen{};
  UINT mouseEvent = 0;
};
bool TakeInput(Queue& q, MSG* msg, InputEffects* fx);  // with mu held
void ApplyInputEffects(const InputEffects& fx);
void ForgetWindowInput(HWND hwnd);         // hot keys of a destroyed window

// Geometry: a new rectangle (repainting what it uncovers) and the WM_WINDOWPOSCHANGED after it.
void ApplyRect(HWND hwnd, RECT r, bool redraw, bool fromDisplay);
void NotifyPosChanged(HWND hwnd, UINT flags);
bool CursorIdOf(HCURSOR cursor, ULONG_PTR* id, bool* system);

// Painting.
void InvalidateInternal(Window& w, const RECT* rect, bool erase, bool children);
void InvalidateParentArea(Window& w);      // uncovered area after hide/move
bool TakePaint(Queue& q, MSG* msg, HWND filter);
void ResizeSurface(Window& top);
void FreeSurface(Window& top);
HDC MakeDC(HWND hwnd, const RECT* clipClient);
void FreeDC(HDC dc);

// Modal loops: runs until done() is true; serves sends, dispatches, routes dialog keys to
// `dialog`. A WM_QUIT ends it too (the quit is posted again), and so does a quit request while the
// loop lies above the modal loop of the request's window (RequestQuit): its caller then ends as if
// cancelled (IDCANCEL).
enum class ModalEnd { Done, QuitMessage, QuitRequest };
ModalEnd RunModalLoop(HWND dialog, const std::function<bool()>& done);
// Disables the owner and cancels the capture for a modal window; returns whether the owner was
// disabled by this call.
bool BeginModal(HWND owner);
void EndModal(HWND owner, bool reenable);

// Message boxes.
int ShowMessageBoxOnGui(HWND owner, const std::string& text, const std::string& caption, UINT type,
                        DWORD callerThread);

// Display.
void ResetState();  // closes every window; used when the display closes
void WakeGui();

}  // namespace kvp::win
