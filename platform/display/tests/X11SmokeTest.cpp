// The X11 back end on a private Xvfb server: a top-level window with a child, a real click
// delivered through the X server, and a screenshot of what the server shows.
#include <gtest/gtest.h>

#include <platform/afxwin.h>
#include <platform/display.h>
#include <platform/gdi.h>
#include <platform/resources.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <kvtest/Xvfb.h>

namespace {

using kvtest::Xvfb;

class Solid : public CWnd {
 public:
  explicit Solid(COLORREF c) : colour(c) {}
  COLORREF colour;
  int paints = 0;
  int clicks = 0;
  CPoint clickAt;
  CPoint lastMove{-999, -999};
  bool hover = false;  // holds the capture while the pointer is over it, like the toolkit's buttons
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    HBRUSH b = CreateSolidBrush(colour);
    FillRect(dc.m_hDC, &rc, b);
    DeleteObject(b);
    ++paints;
  }
  void OnLButtonUp(UINT, CPoint p) override {
    ++clicks;
    clickAt = p;
  }
  void OnMouseMove(UINT, CPoint p) override {
    lastMove = p;
    if (hover && GetCapture() != this) SetCapture();
  }
  void OnHotKey(UINT id, UINT, UINT) override { hotKeys.push_back(id); }
  std::vector<UINT> hotKeys;
};

const char* SolidClass() {
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "SmokeSolid";
  AfxRegisterClass(&wc);
  return "SmokeSolid";
}

// Runs the message loop until cond holds or a generous bound passes.
bool PumpUntil(const std::function<bool()>& cond) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kvp::headless::Pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

// Reads one pixel of the server's screen and saves the whole screen as PNG.
COLORREF ScreenPixelAndSave(Display* d, int x, int y, const char* path) {
  Window root = DefaultRootWindow(d);
  XWindowAttributes attrs;
  XGetWindowAttributes(d, root, &attrs);
  XImage* image = XGetImage(d, root, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFFu;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, attrs.width, attrs.height);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int row = 0; row < attrs.height; ++row) {
    auto* out = reinterpret_cast<uint32_t*>(data + row * stride);
    for (int col = 0; col < attrs.width; ++col) out[col] = static_cast<uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFF;
  }
  cairo_surface_mark_dirty(s);
  cairo_surface_write_to_png(s, path);
  unsigned long p = XGetPixel(image, x, y);
  cairo_surface_destroy(s);
  XDestroyImage(image);
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(X11Smoke, WindowWithChildTakesAClickAndShowsOnTheServer) {
  Xvfb server;
  ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  EXPECT_FALSE(kvp::DisplayIsHeadless());
  {
    Solid top(RGB(0, 0, 255)), child(RGB(255, 0, 0));
    ASSERT_TRUE(top.CreateEx(0, SolidClass(), "Smoke", WS_POPUP | WS_CAPTION, 40, 30, 240, 160, 0, 0));
    ASSERT_TRUE(child.Create(SolidClass(), "child", WS_CHILD | WS_VISIBLE, CRect(60, 50, 140, 100), &top, 1));
    top.ShowWindow(SW_SHOW);

    Display* probe = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(probe, nullptr);
    // Painted, mapped and shown: the server has the child's colour where the child is.
    ASSERT_TRUE(PumpUntil([&] {
      return top.paints > 0 && child.paints > 0 &&
             ScreenPixelAndSave(probe, 40 + 100, 30 + 75, "x11_smoke.png") == RGB(255, 0, 0);
    }));

    XTestFakeMotionEvent(probe, 0, 40 + 70, 30 + 60, CurrentTime);
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return child.clicks > 0; }));
    EXPECT_EQ(child.clickAt, CPoint(10, 10));

    EXPECT_EQ(ScreenPixelAndSave(probe, 40 + 10, 30 + 10, "x11_smoke.png"), RGB(0, 0, 255));

    // A control holding the capture learns that the pointer left the window (else it stays hot).
    child.hover = true;
    XTestFakeMotionEvent(probe, 0, 40 + 80, 30 + 70, CurrentTime);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return ::GetCapture() == child.m_hWnd; }));
    XTestFakeMotionEvent(probe, 0, 600, 500, CurrentTime);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return child.lastMove == CPoint(600 - 100, 500 - 80); }));
    struct stat st;
    EXPECT_EQ(stat("x11_smoke.png", &st), 0);

    // The big icon reaches the desktop as _NET_WM_ICON (32 x 32 pixels).
    std::vector<uint32_t> bits(32 * 32, 0x0000FF00u);
    HBITMAP colour = CreateBitmap(32, 32, 1, 32, bits.data());
    ICONINFO info{TRUE, 0, 0, 0, colour};
    HICON icon = CreateIconIndirect(&info);
    top.SetIcon(icon, TRUE);
    Atom netWmIcon = XInternAtom(probe, "_NET_WM_ICON", False);
    long iconSize[2] = {0, 0};
    ASSERT_TRUE(PumpUntil([&] {
      Window root, parent, *children = nullptr;
      unsigned count = 0;
      XQueryTree(probe, DefaultRootWindow(probe), &root, &parent, &children, &count);
      for (unsigned i = 0; i < count && !iconSize[0]; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(probe, children[i], netWmIcon, 0, 2, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success && data && items == 2) {
          iconSize[0] = reinterpret_cast<long*>(data)[0];
          iconSize[1] = reinterpret_cast<long*>(data)[1];
        }
        if (data) XFree(data);
      }
      if (children) XFree(children);
      return iconSize[0] != 0;
    }));
    EXPECT_EQ(iconSize[0], 32);
    EXPECT_EQ(iconSize[1], 32);
    DestroyIcon(icon);
    DeleteObject(colour);
    XCloseDisplay(probe);
  }
  kvp::CloseDisplay();
}

// Hot keys are grabbed on the root window; a key another client holds cannot be registered.
TEST(X11Smoke, HotKeysAreGrabbedAndATakenKeyFails) {
  Xvfb server;
  ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
  Display* other = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(other, nullptr);
  KeyCode f5 = XKeysymToKeycode(other, XK_F5);
  XGrabKey(other, f5, 0, DefaultRootWindow(other), True, GrabModeAsync, GrabModeAsync);
  XSync(other, False);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  {
    Solid top(RGB(0, 0, 255));
    ASSERT_TRUE(top.CreateEx(0, SolidClass(), "Keys", WS_POPUP, 0, 0, 100, 100, 0, 0));
    EXPECT_FALSE(RegisterHotKey(top.m_hWnd, 4, 0, VK_F5));
    ASSERT_TRUE(RegisterHotKey(top.m_hWnd, 15, MOD_CONTROL, VK_F6));
    // Pressed while no window of ours has the focus, with Num Lock on.
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_Num_Lock), True, CurrentTime);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_Num_Lock), False, CurrentTime);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_Control_L), True, CurrentTime);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_F6), True, CurrentTime);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_F6), False, CurrentTime);
    XTestFakeKeyEvent(other, XKeysymToKeycode(other, XK_Control_L), False, CurrentTime);
    XFlush(other);
    ASSERT_TRUE(PumpUntil([&] { return !top.hotKeys.empty(); }));
    EXPECT_EQ(top.hotKeys, std::vector<UINT>{15});
    EXPECT_TRUE(UnregisterHotKey(top.m_hWnd, 15));
  }
  kvp::CloseDisplay();
  XCloseDisplay(other);
}


// A template dialog on the real server: a check box clicked, text typed through the input
// method, the combo box's list dropped (an unmanaged popup), a resource cursor shown.
TEST(X11Smoke, TemplateDialogTakesClicksKeysAndDropsTheComboList) {
  Xvfb server;
  ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  {
    static const kvp::DialogTemplate dialog{
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 0, 20, 20, 200, 120, "X11 dialog", nullptr, "MS Shell Dlg", 8,
        {{WC_BUTTON, "Check", 101, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 8, 8, 80, 12},
         {WC_EDIT, "", 102, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 8, 26, 100, 12},
         {WC_COMBOBOX, "", 103, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 8, 44, 100, 60},
         {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 140, 8, 50, 14}}};
    HWND dlg = ::CreateDialogIndirect(0, &dialog, 0, nullptr);
    ASSERT_NE(dlg, 0u);
    HWND combo = ::GetDlgItem(dlg, 103);
    for (const char* n : {"first", "second", "third"}) ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n));
    ::SendMessage(combo, CB_SETCURSEL, 0, 0);
    ::ShowWindow(dlg, SW_SHOW);
    Display* probe = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(probe, nullptr);
    auto screenOf = [](HWND h, POINT p) {
      ::ClientToScreen(h, &p);
      return p;
    };
    ASSERT_TRUE(PumpUntil([&] {
      POINT p = screenOf(dlg, POINT{2, 2});
      return ScreenPixelAndSave(probe, p.x, p.y, "x11_dialog.png") == GetSysColor(COLOR_3DFACE);
    }));
    auto click = [&](HWND h, POINT at) {
      POINT p = screenOf(h, at);
      XTestFakeMotionEvent(probe, 0, p.x, p.y, CurrentTime);
      XTestFakeButtonEvent(probe, 1, True, CurrentTime);
      XTestFakeButtonEvent(probe, 1, False, CurrentTime);
      XFlush(probe);
    };
    click(::GetDlgItem(dlg, 101), POINT{5, 5});
    ASSERT_TRUE(PumpUntil([&] { return ::IsDlgButtonChecked(dlg, 101) == BST_CHECKED; }));
    // Keys typed into the edit arrive as text through the input method.
    click(::GetDlgItem(dlg, 102), POINT{5, 5});
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == ::GetDlgItem(dlg, 102); }));
    for (KeySym sym : {XK_k, XK_v}) {
      XTestFakeKeyEvent(probe, XKeysymToKeycode(probe, sym), True, CurrentTime);
      XTestFakeKeyEvent(probe, XKeysymToKeycode(probe, sym), False, CurrentTime);
    }
    XFlush(probe);
    char typed[16] = {};
    ASSERT_TRUE(PumpUntil([&] {
      ::GetWindowText(::GetDlgItem(dlg, 102), typed, sizeof typed);
      return std::string(typed) == "kv";
    }));
    // The resource cursor becomes an ARGB cursor of the server.
    static std::vector<unsigned char> arrowPng = [] {
      std::vector<unsigned char> out;
      cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
      cairo_t* cr = cairo_create(img);
      cairo_set_source_rgba(cr, 0, 0, 0, 1);
      cairo_rectangle(cr, 0, 7, 16, 2);
      cairo_fill(cr);
      cairo_destroy(cr);
      cairo_surface_write_to_png_stream(
          img,
          [](void* c, const unsigned char* d, unsigned int n) {
            auto* v = static_cast<std::vector<unsigned char>*>(c);
            v->insert(v->end(), d, d + n);
            return CAIRO_STATUS_SUCCESS;
          },
          &out);
      cairo_surface_destroy(img);
      return out;
    }();
    kvp::RegisterCursorResource(0, 143, arrowPng.data(), arrowPng.size(), 8, 8);
    HCURSOR own = ::LoadCursor(0, MAKEINTRESOURCE(143));
    ASSERT_NE(own, 0u);
    ::SetCursor(own);
    EXPECT_EQ(::GetCursor(), own);
    // The combo box's list drops as a popup the window manager leaves alone.
    click(combo, POINT{10, 5});
    ASSERT_TRUE(PumpUntil([&] { return ::SendMessage(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }));
    RECT field;
    ::GetWindowRect(combo, &field);
    ASSERT_TRUE(PumpUntil([&] {
      return ScreenPixelAndSave(probe, field.left + 4, field.bottom + 4, "x11_dialog.png") != GetSysColor(COLOR_3DFACE);
    }));
    const char* root = std::getenv("KV_SCREENSHOT_DIR");
    std::string dir = root && *root ? std::string(root) + "/platform" : std::string(".");
    if (root && *root) mkdir(root, 0755);
    mkdir(dir.c_str(), 0755);
    ScreenPixelAndSave(probe, 0, 0, (dir + "/x11-template-dialog.png").c_str());
    ::DestroyWindow(dlg);
    XCloseDisplay(probe);
  }
  kvp::CloseDisplay();
}

}  // namespace
