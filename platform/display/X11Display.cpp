// The X11 back end: one X window per top-level window, painted from its back buffer with
// cairo-xlib; X input turned into the window system's raw input; hot keys through XGrabKey.
//
// Only the GUI thread talks to Xlib. A small watcher thread only waits for the connection's file
// descriptor to become readable and then wakes the GUI thread's queue.
#include "display/Display.h"
#include "window/DesktopInternal.h"

#include <platform/codepage.h>
#include <platform/controls.h>
#include <platform/gdi.h>
#include <platform/gdi_surface.h>
#include <platform/resources.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrender.h>
#include <X11/keysym.h>
#include <cairo-xlib-xrender.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <poll.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <thread>
#include <vector>

namespace kvp::win {

bool CursorIdOf(HCURSOR cursor, ULONG_PTR* id, bool* system);

namespace {

struct KeyMap {
  KeySym sym;
  UINT vk;
};

const KeyMap kKeys[] = {
    {XK_Return, VK_RETURN}, {XK_KP_Enter, VK_RETURN}, {XK_Escape, VK_ESCAPE}, {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB}, {XK_BackSpace, VK_BACK}, {XK_space, VK_SPACE}, {XK_Left, VK_LEFT},
    {XK_Right, VK_RIGHT}, {XK_Up, VK_UP}, {XK_Down, VK_DOWN}, {XK_Home, VK_HOME}, {XK_End, VK_END},
    {XK_Prior, VK_PRIOR}, {XK_Next, VK_NEXT}, {XK_Insert, VK_INSERT}, {XK_Delete, VK_DELETE},
    {XK_Shift_L, VK_SHIFT}, {XK_Shift_R, VK_SHIFT}, {XK_Control_L, VK_CONTROL}, {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU}, {XK_Alt_R, VK_MENU}, {XK_Pause, VK_PAUSE}, {XK_Caps_Lock, VK_CAPITAL},
    {XK_Num_Lock, VK_NUMLOCK}, {XK_KP_Add, VK_ADD}, {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Multiply, VK_MULTIPLY}, {XK_KP_Divide, VK_DIVIDE}, {XK_KP_Decimal, VK_DECIMAL},
};

UINT VkOfKeySym(KeySym sym) {
  if (sym >= XK_F1 && sym <= XK_F12) return VK_F1 + static_cast<UINT>(sym - XK_F1);
  if (sym >= XK_a && sym <= XK_z) return 'A' + static_cast<UINT>(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return 'A' + static_cast<UINT>(sym - XK_A);
  if (sym >= XK_0 && sym <= XK_9) return '0' + static_cast<UINT>(sym - XK_0);
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return VK_NUMPAD0 + static_cast<UINT>(sym - XK_KP_0);
  for (const KeyMap& k : kKeys) {
    if (k.sym == sym) return k.vk;
  }
  return 0;
}

KeySym KeySymOfVk(UINT vk) {
  if (vk >= VK_F1 && vk <= VK_F12) return XK_F1 + (vk - VK_F1);
  if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
  for (const KeyMap& k : kKeys) {
    if (k.vk == vk) return k.sym;
  }
  return NoSymbol;
}

UINT ModifiersOf(unsigned state) {
  UINT m = 0;
  if (state & ShiftMask) m |= MOD_SHIFT;
  if (state & ControlMask) m |= MOD_CONTROL;
  if (state & Mod1Mask) m |= MOD_ALT;
  if (state & Mod4Mask) m |= MOD_WIN;
  return m;
}

unsigned XModsOf(UINT modifiers) {
  unsigned m = 0;
  if (modifiers & MOD_SHIFT) m |= ShiftMask;
  if (modifiers & MOD_CONTROL) m |= ControlMask;
  if (modifiers & MOD_ALT) m |= Mod1Mask;
  if (modifiers & MOD_WIN) m |= Mod4Mask;
  return m;
}

// A grab is also made with Caps Lock and Num Lock on, which X treats as modifiers.
const unsigned kLockVariants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

int gXError = 0;
int CatchError(Display*, XErrorEvent* e) {
  gXError = e->error_code;
  return 0;
}

unsigned FontCursorOf(ULONG_PTR id, bool system) {
  if (!system) return id == 146 || id == 187 ? XC_hand2 : XC_left_ptr;
  switch (id) {
    case 32513: return XC_xterm;
    case 32514: return XC_watch;
    case 32515: return XC_crosshair;
    case 32516: return XC_center_ptr;
    case 32642:
    case 32643: return XC_sizing;
    case 32644: return XC_sb_h_double_arrow;
    case 32645: return XC_sb_v_double_arrow;
    case 32646: return XC_fleur;
    case 32648: return XC_X_cursor;
    case 32649: return XC_hand2;
    default: return XC_left_ptr;
  }
}

struct XWin {
  ::Window id = 0;
  XIC ic = nullptr;  // keyboard text through the input method
  cairo_surface_t* surface = nullptr;
  bool mapped = false;
  bool hinted = false;  // the size limits of WM_GETMINMAXINFO were given to the window manager
};

class X11Backend : public Backend {
 public:
  explicit X11Backend(Display* dpy) : dpy_(dpy) {
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    wmDelete_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
    netWmName_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
    utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
    netWmState_ = XInternAtom(dpy_, "_NET_WM_STATE", False);
    netWmStateAbove_ = XInternAtom(dpy_, "_NET_WM_STATE_ABOVE", False);
    wmState_ = XInternAtom(dpy_, "WM_STATE", False);
    netWmStateHidden_ = XInternAtom(dpy_, "_NET_WM_STATE_HIDDEN", False);
    netWmStateMaxVert_ = XInternAtom(dpy_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    netWmStateMaxHorz_ = XInternAtom(dpy_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    // An X error (a window gone between a request and its reply, a key another client holds)
    // must not end the program the way Xlib's default handler does: it is recorded instead.
    XSetErrorHandler(CatchError);
    XSelectInput(dpy_, root_, KeyPressMask);
    // Key text through an input method (any language's characters); without one, XLookupString.
    XSetLocaleModifiers("");
    im_ = XOpenIM(dpy_, nullptr, nullptr, nullptr);
    if (pipe(stopPipe_) != 0) stopPipe_[0] = stopPipe_[1] = -1;
    fd_ = ConnectionNumber(dpy_);
    watcher_ = std::thread([this] { Watch(); });
  }

  ~X11Backend() override {
    {
      std::lock_guard<std::mutex> lock(watchMu_);
      stopping_ = true;
      armed_ = true;
    }
    watchCv_.notify_all();
    if (stopPipe_[1] >= 0) (void)!write(stopPipe_[1], "x", 1);
    watcher_.join();
    if (stopPipe_[0] >= 0) close(stopPipe_[0]);
    if (stopPipe_[1] >= 0) close(stopPipe_[1]);
    for (auto& [code, cursor] : cursors_) XFreeCursor(dpy_, cursor);
    for (auto& [handle, cursor] : pictureCursors_) XFreeCursor(dpy_, cursor);
    for (auto& [hwnd, xw] : windows_) {
      if (xw.ic) XDestroyIC(xw.ic);
      if (xw.surface) cairo_surface_destroy(xw.surface);
      XDestroyWindow(dpy_, xw.id);
    }
    if (im_) XCloseIM(im_);
    XCloseDisplay(dpy_);
  }

  bool Headless() const override { return false; }

  SIZE ScreenSize() override { return SIZE{DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)}; }

  void TopLevelCreated(Window& w) override {
    XSetWindowAttributes attrs{};
    attrs.background_pixmap = None;
    attrs.bit_gravity = NorthWestGravity;
    attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                       LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask |
                       PropertyChangeMask;
    // Drop-down lists and tooltips are never managed: they neither take the focus nor move.
    attrs.override_redirect = (w.exStyle & WS_EX_NOACTIVATE) ? True : False;
    XWin xw;
    xw.id = XCreateWindow(dpy_, root_, w.rect.left, w.rect.top, std::max(w.Width(), 1), std::max(w.Height(), 1), 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWBitGravity | CWEventMask | CWOverrideRedirect, &attrs);
    if ((w.style & WS_POPUP) && (w.style & WS_CAPTION) != WS_CAPTION) {
      // A popup without a caption is undecorated (Motif hints: decorations none).
      long motif[5] = {2 /* MWM_HINTS_DECORATIONS */, 0, 0, 0, 0};
      Atom hintsAtom = XInternAtom(dpy_, "_MOTIF_WM_HINTS", False);
      XChangeProperty(dpy_, xw.id, hintsAtom, hintsAtom, 32, PropModeReplace, reinterpret_cast<unsigned char*>(motif), 5);
    }
    if (im_ && !(w.exStyle & WS_EX_NOACTIVATE)) {
      xw.ic = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, xw.id, XNFocusWindow,
                        xw.id, nullptr);
    }
    XSetWMProtocols(dpy_, xw.id, &wmDelete_, 1);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = w.rect.left;
    hints.y = w.rect.top;
    hints.width = w.Width();
    hints.height = w.Height();
    XSetWMNormalHints(dpy_, xw.id, &hints);
    // Our process id: other programs' window searches skip what this process serves itself.
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy_, xw.id, XInternAtom(dpy_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    if (w.owner) {
      auto it = windows_.find(w.owner);
      if (it != windows_.end()) XSetTransientForHint(dpy_, xw.id, it->second.id);
    }
    if (w.exStyle & WS_EX_TOPMOST) {
      XChangeProperty(dpy_, xw.id, netWmState_, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&netWmStateAbove_), 1);
    }
    xw.surface = cairo_xlib_surface_create(dpy_, xw.id, DefaultVisual(dpy_, screen_), std::max(w.Width(), 1),
                                           std::max(w.Height(), 1));
    if (currentCursor_) XDefineCursor(dpy_, xw.id, currentCursor_);
    windows_[w.hwnd] = xw;
    byX_[xw.id] = w.hwnd;
    TopLevelTextChanged(w);
  }

  void TopLevelDestroyed(Window& w) override {
    auto it = windows_.find(w.hwnd);
    if (it != windows_.end() && it->second.ic) {
      XDestroyIC(it->second.ic);
      it->second.ic = nullptr;
    }
    if (it == windows_.end()) return;
    if (it->second.surface) cairo_surface_destroy(it->second.surface);
    byX_.erase(it->second.id);
    XDestroyWindow(dpy_, it->second.id);
    windows_.erase(it);
    XFlush(dpy_);
  }

  void TopLevelShown(Window& w, bool shown) override {
    auto it = windows_.find(w.hwnd);
    if (it == windows_.end()) return;
    if (shown && w.minimized) {
      XIconifyWindow(dpy_, it->second.id, screen_);
    } else if (shown) {
      XMapRaised(dpy_, it->second.id);
    } else {
      XUnmapWindow(dpy_, it->second.id);
      it->second.mapped = false;
    }
    XFlush(dpy_);
  }

  void TopLevelMoved(Window& w) override {
    auto it = windows_.find(w.hwnd);
    if (it == windows_.end()) return;
    XMoveResizeWindow(dpy_, it->second.id, w.rect.left, w.rect.top, std::max(w.Width(), 1), std::max(w.Height(), 1));
    cairo_xlib_surface_set_size(it->second.surface, std::max(w.Width(), 1), std::max(w.Height(), 1));
    XFlush(dpy_);
  }

  void TopLevelTextChanged(Window& w) override {
    auto it = windows_.find(w.hwnd);
    if (it == windows_.end()) return;
    std::string utf8 = ToUtf8(w.text, ActiveCodePage());
    XChangeProperty(dpy_, it->second.id, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XStoreName(dpy_, it->second.id, utf8.c_str());
    XFlush(dpy_);
  }

  void TopLevelIconChanged(Window& w) override {
    auto it = windows_.find(w.hwnd);
    if (it == windows_.end()) return;
    std::vector<long> data;
    AppendIcon(w.iconBig, data);
    AppendIcon(w.iconSmall, data);
    Atom netWmIcon = XInternAtom(dpy_, "_NET_WM_ICON", False);
    if (data.empty()) {
      XDeleteProperty(dpy_, it->second.id, netWmIcon);
    } else {
      XChangeProperty(dpy_, it->second.id, netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    }
    XFlush(dpy_);
  }

  void TopLevelRaised(Window& w) override {
    auto it = windows_.find(w.hwnd);
    if (it == windows_.end()) return;
    XRaiseWindow(dpy_, it->second.id);
    if (it->second.mapped) XSetInputFocus(dpy_, it->second.id, RevertToParent, CurrentTime);
    XFlush(dpy_);
  }

  void Flush(Window& top, const RECT& r) override {
    auto it = windows_.find(top.hwnd);
    if (it == windows_.end() || !top.surface) return;
    cairo_t* cr = cairo_create(it->second.surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, top.surface, 0, 0);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(it->second.surface);
    XFlush(dpy_);
  }

  void CursorChanged(HCURSOR cursor) override {
    ULONG_PTR id = 0;
    bool system = true;
    if (cursor && !CursorIdOf(cursor, &id, &system)) return;
    if (cursor && !system) {
      // A resource cursor: its own picture as an ARGB cursor.
      ::Cursor made = PictureCursor(cursor);
      if (made) {
        currentCursor_ = made;
        for (auto& [hwnd, xw] : windows_) XDefineCursor(dpy_, xw.id, currentCursor_);
        XFlush(dpy_);
        return;
      }
    }
    unsigned shape = cursor ? FontCursorOf(id, system) : XC_left_ptr;
    auto it = cursors_.find(shape);
    if (it == cursors_.end()) it = cursors_.emplace(shape, XCreateFontCursor(dpy_, shape)).first;
    currentCursor_ = it->second;
    for (auto& [hwnd, xw] : windows_) XDefineCursor(dpy_, xw.id, currentCursor_);
    XFlush(dpy_);
  }

  // An ARGB cursor (XRender) from a resource cursor's picture; 0 when the server cannot make one.
  ::Cursor PictureCursor(HCURSOR cursor) {
    auto found = pictureCursors_.find(cursor);
    if (found != pictureCursors_.end()) return found->second;
    cairo_surface_t* picture = nullptr;
    POINT hot{};
    if (!kvp::CursorPicture(cursor, &picture, &hot)) return 0;
    XRenderPictFormat* format = XRenderFindStandardFormat(dpy_, PictStandardARGB32);
    if (!format) return 0;
    const int w = cairo_image_surface_get_width(picture), h = cairo_image_surface_get_height(picture);
    Pixmap pixmap = XCreatePixmap(dpy_, root_, static_cast<unsigned>(w), static_cast<unsigned>(h), 32);
    cairo_surface_t* target = cairo_xlib_surface_create_with_xrender_format(dpy_, pixmap, ScreenOfDisplay(dpy_, screen_),
                                                                            format, w, h);
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    Picture pict = XRenderCreatePicture(dpy_, pixmap, format, 0, nullptr);
    ::Cursor made = XRenderCreateCursor(dpy_, pict, static_cast<unsigned>(hot.x), static_cast<unsigned>(hot.y));
    XRenderFreePicture(dpy_, pict);
    XFreePixmap(dpy_, pixmap);
    pictureCursors_[cursor] = made;
    return made;
  }

  bool GrabHotKey(UINT modifiers, UINT vk) override {
    KeySym sym = KeySymOfVk(vk);
    KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy_, sym);
    if (!code) return false;
    XSync(dpy_, False);
    gXError = 0;
    for (unsigned extra : kLockVariants) {
      XGrabKey(dpy_, code, XModsOf(modifiers) | extra, root_, True, GrabModeAsync, GrabModeAsync);
    }
    XSync(dpy_, False);
    if (gXError == BadAccess) {
      // Another program holds the key: take back whatever part we got.
      for (unsigned extra : kLockVariants) XUngrabKey(dpy_, code, XModsOf(modifiers) | extra, root_);
      XSync(dpy_, False);
      return false;
    }
    return gXError == 0;
  }

  void UngrabHotKey(UINT modifiers, UINT vk) override {
    KeySym sym = KeySymOfVk(vk);
    KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy_, sym);
    if (!code) return;
    for (unsigned extra : kLockVariants) XUngrabKey(dpy_, code, XModsOf(modifiers) | extra, root_);
    XFlush(dpy_);
  }

  void Poll() override {
    bool focusLeft = false;
    while (XPending(dpy_)) {
      XEvent e;
      XNextEvent(dpy_, &e);
      if (e.type == FocusOut) focusLeft = true;
      if (e.type == FocusIn) focusLeft = false;
      Handle(e);
    }
    // Focus moving between our own windows is no deactivation; to another program it is.
    if (focusLeft && !FocusIsOurs()) DeactivateApp();
  }

  void ArmWake() override {
    // Events Xlib has already read (during a reply) leave nothing on the connection to wake us.
    if (XEventsQueued(dpy_, QueuedAfterFlush) > 0) {
      WakeGui();
      return;
    }
    {
      std::lock_guard<std::mutex> lock(watchMu_);
      armed_ = true;
    }
    watchCv_.notify_all();
  }

 private:
  HWND HwndOf(::Window x) {
    auto it = byX_.find(x);
    return it == byX_.end() ? 0 : it->second;
  }

  // An icon as the desktop wants it: width, height, then non-premultiplied ARGB pixels. The icon is
  // drawn by the drawing layer onto a transparent surface and cut to what it covered.
  static void AppendIcon(HICON icon, std::vector<long>& out) {
    if (!icon) return;
    constexpr int kMax = 64;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kMax, kMax);
    HDC dc = CreateSurfaceDC(s, POINT{0, 0}, RECT{0, 0, kMax, kMax});
    bool drawn = dc && DrawIcon(dc, 0, 0, icon);
    if (dc) DeleteSurfaceDC(dc);
    cairo_surface_flush(s);
    const unsigned char* px = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    int w = 0, h = 0;
    for (int y = 0; drawn && y < kMax; ++y) {
      for (int x = 0; x < kMax; ++x) {
        if (reinterpret_cast<const uint32_t*>(px + y * stride)[x] >> 24) {
          w = std::max(w, x + 1);
          h = std::max(h, y + 1);
        }
      }
    }
    if (w && h) {
      out.push_back(w);
      out.push_back(h);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          uint32_t v = reinterpret_cast<const uint32_t*>(px + y * stride)[x];
          uint32_t a = v >> 24;
          auto un = [a](uint32_t c) { return a ? std::min<uint32_t>(255, c * 255 / a) : 0u; };
          out.push_back(static_cast<long>((a << 24) | (un((v >> 16) & 0xFF) << 16) | (un((v >> 8) & 0xFF) << 8) |
                                          un(v & 0xFF)));
        }
      }
    }
    cairo_surface_destroy(s);
  }

  bool FocusIsOurs() {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    if (focus == PointerRoot) {
      // Without a window manager the keyboard follows the pointer.
      ::Window root, child;
      int rx, ry, wx, wy;
      unsigned mask;
      if (XQueryPointer(dpy_, root_, &root, &child, &rx, &ry, &wx, &wy, &mask)) focus = child;
    }
    return HwndOf(focus) != 0;
  }

  // The window's WM_GETMINMAXINFO limits as size hints, so the window manager keeps to them.
  void GiveSizeLimits(HWND hwnd, ::Window id) {
    const SIZE screen = ScreenSize();
    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{screen.cx, screen.cy};
    mmi.ptMaxTrackSize = POINT{screen.cx, screen.cy};
    SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(dpy_, id, &hints, &supplied);
    if (mmi.ptMinTrackSize.x > 0 || mmi.ptMinTrackSize.y > 0) {
      hints.flags |= PMinSize;
      hints.min_width = std::max<int>(mmi.ptMinTrackSize.x, 1);
      hints.min_height = std::max<int>(mmi.ptMinTrackSize.y, 1);
    }
    if (mmi.ptMaxTrackSize.x < screen.cx || mmi.ptMaxTrackSize.y < screen.cy) {
      hints.flags |= PMaxSize;
      hints.max_width = std::max<int>(mmi.ptMaxTrackSize.x, 1);
      hints.max_height = std::max<int>(mmi.ptMaxTrackSize.y, 1);
    }
    XSetWMNormalHints(dpy_, id, &hints);
    XFlush(dpy_);
  }

  // Minimised and maximised as the window manager says (WM_STATE, _NET_WM_STATE): the window's
  // state follows, with the WM_SIZE the program expects.
  void TrackState(HWND hwnd, ::Window id) {
    bool iconic = false, maxVert = false, maxHorz = false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, id, wmState_, 0, 2, False, wmState_, &type, &format, &count, &after, &data) ==
            Success && data && format == 32 && count > 0) {
      iconic = reinterpret_cast<unsigned long*>(data)[0] == IconicState;
    }
    if (data) XFree(data);
    data = nullptr;
    if (XGetWindowProperty(dpy_, id, netWmState_, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success && data && format == 32) {
      auto* atoms = reinterpret_cast<Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) {
        iconic = iconic || atoms[i] == netWmStateHidden_;
        maxVert = maxVert || atoms[i] == netWmStateMaxVert_;
        maxHorz = maxHorz || atoms[i] == netWmStateMaxHorz_;
      }
    }
    if (data) XFree(data);
    UINT sizeType;
    {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      if (!w) return;
      const bool maximized = maxVert && maxHorz && !iconic;
      if (w->minimized == iconic && w->maximized == maximized) return;
      if (maximized && !w->maximized && !w->minimized) w->normalRect = w->rect;
      w->minimized = iconic;
      w->maximized = maximized;
      sizeType = iconic ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
      if (!iconic) InvalidateInternal(*w, nullptr, true, true);
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    SendMessage(hwnd, WM_SIZE, sizeType,
                sizeType == SIZE_MINIMIZED ? 0 : MAKELPARAM(client.right - client.left, client.bottom - client.top));
  }

  void Handle(XEvent& e) {
    HWND hwnd = HwndOf(e.xany.window);
    switch (e.type) {
      case Expose: {
        if (!hwnd) return;
        Lock lock(Sys().mu);
        auto w = Get(hwnd);
        if (w) Flush(*w, RECT{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height});
        return;
      }
      case MapNotify: {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        it->second.mapped = true;
        if (!it->second.hinted) {
          it->second.hinted = true;
          GiveSizeLimits(hwnd, it->second.id);
        }
        // The window the program made active (a dialog just shown) takes the keyboard.
        bool active;
        {
          Lock lock(Sys().mu);
          active = Sys().active == hwnd && Sys().appActive;
        }
        if (active) XSetInputFocus(dpy_, it->second.id, RevertToParent, CurrentTime);
        return;
      }
      case PropertyNotify:
        if (hwnd && (e.xproperty.atom == wmState_ || e.xproperty.atom == netWmState_)) TrackState(hwnd, e.xany.window);
        return;
      case ConfigureNotify: {
        if (!hwnd) return;
        int x = e.xconfigure.x, y = e.xconfigure.y;
        if (!e.xconfigure.send_event) {
          ::Window child;
          XTranslateCoordinates(dpy_, e.xconfigure.window, root_, 0, 0, &x, &y, &child);
        }
        auto it = windows_.find(hwnd);
        if (it != windows_.end()) {
          cairo_xlib_surface_set_size(it->second.surface, std::max(e.xconfigure.width, 1),
                                      std::max(e.xconfigure.height, 1));
        }
        RECT r{x, y, x + e.xconfigure.width, y + e.xconfigure.height};
        RECT old;
        GetWindowRect(hwnd, &old);
        if (CRect(old) == r) return;
        ApplyRect(hwnd, r, true, true);
        NotifyPosChanged(hwnd, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
      }
      case MotionNotify: Pointer(InputKind::MouseMove, e.xmotion.x_root, e.xmotion.y_root, 0, 0); return;
      case LeaveNotify:
        // The pointer left our window: the capture owner still learns where it went.
        if (e.xcrossing.mode == NotifyNormal) Pointer(InputKind::MouseMove, e.xcrossing.x_root, e.xcrossing.y_root, 0, 0);
        return;
      case ButtonPress:
      case ButtonRelease: {
        unsigned b = e.xbutton.button;
        if (b == 4 || b == 5) {
          if (e.type == ButtonPress) Pointer(InputKind::Wheel, e.xbutton.x_root, e.xbutton.y_root, 0, b == 4 ? 120 : -120);
          return;
        }
        int button = b == 1 ? 0 : b == 3 ? 1 : b == 2 ? 2 : -1;
        if (button < 0) return;
        Pointer(e.type == ButtonPress ? InputKind::ButtonDown : InputKind::ButtonUp, e.xbutton.x_root,
                e.xbutton.y_root, button, 0);
        return;
      }
      case KeyPress:
      case KeyRelease: {
        char buffer[32] = {};
        KeySym sym = NoSymbol;
        RawInput in{e.type == KeyPress ? InputKind::KeyDown : InputKind::KeyUp};
        XIC ic = nullptr;
        if (auto it = windows_.find(hwnd); it != windows_.end()) ic = it->second.ic;
        if (e.type == KeyPress && ic) {
          // The typed text in UTF-8, converted to the active code page; a character the code page
          // lacks types nothing.
          Status status = 0;
          int n = Xutf8LookupString(ic, &e.xkey, buffer, sizeof buffer - 1, &sym, &status);
          if (status == XLookupChars || status == XLookupBoth) {
            const std::string utf8(buffer, static_cast<size_t>(std::max(n, 0)));
            const std::string bytes = kvp::FromUtf8(utf8, kvp::ActiveCodePage());
            if (bytes.size() == 1 && kvp::ToUtf8(bytes, kvp::ActiveCodePage()) == utf8) in.ch = bytes[0];
          }
          if (status == XLookupChars) XLookupString(&e.xkey, nullptr, 0, &sym, nullptr);
        } else {
          int n = XLookupString(&e.xkey, buffer, sizeof buffer, &sym, nullptr);
          // Without an input method: Latin-1 text, as the built-in code page holds it.
          if (e.type == KeyPress && n == 1) {
            const std::string latin1(1, buffer[0]);
            const std::string utf8 = kvp::ToUtf8(latin1, 28591);
            const std::string bytes = kvp::FromUtf8(utf8, kvp::ActiveCodePage());
            if (bytes.size() == 1 && kvp::ToUtf8(bytes, kvp::ActiveCodePage()) == utf8) in.ch = bytes[0];
          }
        }
        in.vk = VkOfKeySym(sym);
        in.modifiers = ModifiersOf(e.xkey.state);
        if (!in.vk) return;
        PushInput(in);
        return;
      }
      case FocusIn:
        if (hwnd && e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab) {
          bool ours;
          {
            Lock lock(Sys().mu);
            ours = Sys().appActive && Sys().active == hwnd;
          }
          if (!ours) ActivateTopLevel(hwnd, true);
        }
        return;
      case ClientMessage:
        if (hwnd && static_cast<Atom>(e.xclient.data.l[0]) == wmDelete_ && IsWindowEnabled(hwnd)) {
          PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return;
      default: return;
    }
  }

  void Pointer(InputKind kind, int x, int y, int button, int wheel) {
    RawInput in{kind};
    in.screen = POINT{x, y};
    in.button = button;
    in.wheel = wheel;
    PushInput(in);
  }

  // Waits for the connection to have data, wakes the GUI thread, and waits until it has read the
  // events and is about to block again.
  void Watch() {
    const int fd = fd_;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(watchMu_);
        watchCv_.wait(lock, [this] { return armed_; });
        if (stopping_) return;
      }
      pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
      if (poll(fds, stopPipe_[0] >= 0 ? 2 : 1, -1) < 0) continue;
      {
        std::lock_guard<std::mutex> lock(watchMu_);
        if (stopping_) return;
        armed_ = false;
      }
      WakeGui();
    }
  }

  Display* dpy_;
  int screen_;
  ::Window root_;
  Atom wmDelete_, wmProtocols_, netWmName_, utf8_, netWmState_, netWmStateAbove_;
  Atom wmState_, netWmStateHidden_, netWmStateMaxVert_, netWmStateMaxHorz_;
  std::map<HWND, XWin> windows_;
  std::map<::Window, HWND> byX_;
  std::map<unsigned, Cursor> cursors_;
  std::map<HCURSOR, Cursor> pictureCursors_;  // resource cursors made as ARGB cursors
  XIM im_ = nullptr;
  Cursor currentCursor_ = 0;
  std::thread watcher_;
  std::mutex watchMu_;
  std::condition_variable watchCv_;
  bool armed_ = false;
  bool stopping_ = false;
  int stopPipe_[2] = {-1, -1};
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<Backend> MakeX11Backend(const char* name) {
  Display* dpy = XOpenDisplay(name);
  if (!dpy) return nullptr;
  return std::make_unique<X11Backend>(dpy);
}

}  // namespace kvp::win

namespace kvp {

bool OpenX11Display(const char* name) {
  auto backend = win::MakeX11Backend(name);
  if (!backend || !win::OpenDisplay(std::move(backend))) return false;
  desktop::NoteX11Display(name, true);  // foreign clients become findable
  return true;
}

}  // namespace kvp
