// X11 and the desktop on a private Xvfb without a window manager: a plain Xlib window (class and
// title set here) is found by class, title and alias, raised and focused, and asked to close; and
// this test, acting as the window manager, sees our window's size limits and minimises, restores
// and maximises it.
#include <gtest/gtest.h>

#include <platform/desktop.h>
#include <platform/display.h>
#include <platform/registry.h>
#include <platform/window.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include <kvtest/Xvfb.h>

namespace {

using kvtest::Xvfb;

Window MakeClient(Display* d, const char* instance, const char* cls, const char* title) {
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 20, 120, 80, 0, 0, 0xFFFFFF);
  XClassHint hint{const_cast<char*>(instance), const_cast<char*>(cls)};
  XSetClassHint(d, w, &hint);
  XStoreName(d, w, title);
  Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &del, 1);
  XMapWindow(d, w);
  XSync(d, False);
  return w;
}

Window TopMost(Display* d) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
  Window top = n ? children[n - 1] : None;
  if (children) XFree(children);
  return top;
}

TEST(X11Foreign, PlainXlibClientIsFoundRaisedAndClosed) {
  Xvfb server;
  if (!server.Ready()) GTEST_SKIP() << "Xvfb not available";
  Display* d = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  const Window client = MakeClient(d, "kvfake", "KvFake", "Foreign title");
  const Window other = MakeClient(d, "other", "Other", "Covering window");
  ASSERT_EQ(TopMost(d), other);

  HWND w = FindWindow("KvFake", nullptr);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(kvp::IsForeignWindow(w));
  EXPECT_EQ(FindWindow("kvfake", "Foreign title"), w);  // instance or class, without regard to case
  EXPECT_EQ(FindWindow(nullptr, "Foreign title"), w);
  EXPECT_EQ(FindWindow("KvFake", "Wrong"), 0u);
  char text[64];
  EXPECT_GT(GetClassName(w, text, sizeof text), 0);
  EXPECT_STREQ(text, "KvFake");
  EXPECT_GT(GetWindowText(w, text, sizeof text), 0);
  EXPECT_STREQ(text, "Foreign title");
  EXPECT_TRUE(IsWindow(w));
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_FALSE(IsIconic(w));

  // The alias table names WM_CLASS names for a Windows class.
  HKEY key;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310Platform\\WindowClasses", 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char aliases[] = "nothing;kvfake";
  RegSetValueEx(key, "OSKMainClass", 0, REG_SZ, reinterpret_cast<const BYTE*>(aliases), sizeof aliases);
  EXPECT_EQ(FindWindow("OSKMainClass", nullptr), w);
  RegDeleteValue(key, "OSKMainClass");
  RegCloseKey(key);

  // Without a window manager, bringing it forward maps, raises and focuses it.
  EXPECT_TRUE(SetForegroundWindow(w));
  EXPECT_EQ(TopMost(d), client);

  // Our own windows are never foreign.
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "KvOwnClass";
  RegisterClass(&wc);
  HWND own = CreateWindowEx(0, "KvOwnClass", "Own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 50, 50, 0, 0, 0, nullptr);
  EXPECT_EQ(FindWindow("KvOwnClass", nullptr), own);
  EXPECT_EQ(FindWindowEx(0, own, "KvOwnClass", nullptr), 0u);

  // WM_CLOSE reaches the client as WM_DELETE_WINDOW.
  EXPECT_TRUE(PostMessage(w, WM_CLOSE, 0, 0));
  bool asked = false;
  for (int i = 0; i < 100 && !asked; ++i) {
    XEvent e;
    while (!asked && XCheckTypedWindowEvent(d, client, ClientMessage, &e)) {
      asked = static_cast<Atom>(e.xclient.data.l[0]) == XInternAtom(d, "WM_DELETE_WINDOW", False);
    }
    if (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(asked);
  XDestroyWindow(d, client);
  XSync(d, False);
  EXPECT_FALSE(IsWindow(w));
  DestroyWindow(own);
  kvp::CloseDisplay();
  XCloseDisplay(d);
}

// Records WM_SIZE and limits its size through WM_GETMINMAXINFO.
std::vector<WPARAM> gSizes;
LRESULT CALLBACK LimitedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_GETMINMAXINFO) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    mmi->ptMinTrackSize = POINT{150, 100};
    mmi->ptMaxTrackSize = POINT{600, 400};
    return 0;
  }
  if (msg == WM_SIZE) gSizes.push_back(wParam);
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

// Runs our message loop until `done` or two seconds.
template <class Fn>
bool PumpUntil(Fn done) {
  for (int i = 0; i < 200; ++i) {
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

Window XWindowTitled(Display* d, const char* title) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  Window found = None;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
  for (unsigned int i = 0; i < n && found == None; ++i) {
    char* name = nullptr;
    if (XFetchName(d, children[i], &name) && name) {
      if (std::string(name) == title) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

void SetState(Display* d, Window w, long state) {
  Atom wmState = XInternAtom(d, "WM_STATE", False);
  long data[2] = {state, None};
  XChangeProperty(d, w, wmState, wmState, 32, PropModeReplace, reinterpret_cast<unsigned char*>(data), 2);
  XSync(d, False);
}

TEST(X11Desktop, SizeLimitsGoToTheWindowManagerAndItsStatesAreFollowed) {
  Xvfb server;
  if (!server.Ready()) GTEST_SKIP() << "Xvfb not available";
  Display* d = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  WNDCLASS wc{};
  wc.lpfnWndProc = LimitedProc;
  wc.lpszClassName = "KvLimitedClass";
  RegisterClass(&wc);
  HWND hwnd = CreateWindowEx(0, "KvLimitedClass", "Limited window", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, 0, 0, 0,
                             nullptr);
  ShowWindow(hwnd, SW_SHOW);
  Window x = None;
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(PumpUntil([&] {
    x = XWindowTitled(d, "Limited window");
    return x != None && XGetWMNormalHints(d, x, &hints, &supplied) && (hints.flags & PMinSize);
  }));
  EXPECT_EQ(hints.min_width, 150);
  EXPECT_EQ(hints.min_height, 100);
  EXPECT_TRUE(hints.flags & PMaxSize);
  EXPECT_EQ(hints.max_width, 600);
  EXPECT_EQ(hints.max_height, 400);

  gSizes.clear();
  SetState(d, x, IconicState);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }));
  SetState(d, x, NormalState);
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(hwnd); }));
  Atom max[2] = {XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False),
                 XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)};
  XChangeProperty(d, x, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(max), 2);
  XSync(d, False);
  EXPECT_TRUE(PumpUntil([&] { return IsZoomed(hwnd) != FALSE; }));
  EXPECT_EQ(gSizes, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED, SIZE_MAXIMIZED}));
  DestroyWindow(hwnd);
  kvp::CloseDisplay();
  XCloseDisplay(d);
}

}  // namespace
