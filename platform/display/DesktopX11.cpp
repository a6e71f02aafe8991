// Foreign X11 clients for the window search: through EWMH when a window manager offers it
// (_NET_CLIENT_LIST_STACKING), else the root window's stacking order with the clients found by
// WM_STATE (or, with no window manager at all, the mapped top-level windows that name a class).
// Each call uses its own short-lived connection, so it never disturbs the display back end's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "window/DesktopInternal.h"

namespace kvp::desktop {
namespace {

std::mutex gNameMu;
std::string gName;
bool gOpen = false;

// A connection to the display the back end uses. Windows vanish at any time: the back end's error
// handler (installed while it is open) keeps an error from ending the program.
class Connection {
 public:
  Connection() {
    std::string name;
    {
      std::lock_guard lock(gNameMu);
      if (!gOpen) return;
      name = gName;
    }
    dpy_ = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  }
  ~Connection() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ::Display* get() const { return dpy_; }
  Atom A(const char* name) { return XInternAtom(dpy_, name, False); }

 private:
  ::Display* dpy_ = nullptr;
};

// A property as a list of 32-bit items (longs in Xlib's format).
std::vector<unsigned long> Property(::Display* d, ::Window w, Atom prop, Atom type) {
  std::vector<unsigned long> out;
  Atom actual;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, prop, 0, 4096, False, type, &actual, &format, &count, &after, &data) == Success &&
      data && format == 32) {
    auto* items = reinterpret_cast<unsigned long*>(data);
    out.assign(items, items + count);
  }
  if (data) XFree(data);
  return out;
}

std::string TextProperty(::Display* d, ::Window w, Atom prop, Atom type) {
  std::string out;
  Atom actual;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, prop, 0, 4096, False, type, &actual, &format, &count, &after, &data) == Success &&
      data && format == 8) {
    out.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  return out;
}

bool HasProperty(::Display* d, ::Window w, Atom prop) {
  Atom actual = None;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(d, w, prop, 0, 1, False, AnyPropertyType, &actual, &format, &count, &after, &data);
  if (data) XFree(data);
  return actual != None;
}

// The client window in a frame's subtree (the one with WM_STATE), or None.
::Window ClientIn(::Display* d, ::Window w, Atom wmState, int depth) {
  if (HasProperty(d, w, wmState)) return w;
  if (depth == 0) return None;
  ::Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return None;
  ::Window found = None;
  for (unsigned int i = 0; i < n && found == None; ++i) found = ClientIn(d, children[i], wmState, depth - 1);
  if (children) XFree(children);
  return found;
}

bool Describe(Connection& c, ::Window w, ForeignX* out) {
  ::Display* d = c.get();
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(d, w, &attrs)) return false;
  out->xid = w;
  XClassHint hint{};
  if (XGetClassHint(d, w, &hint)) {
    out->instance = hint.res_name ? hint.res_name : "";
    out->cls = hint.res_class ? hint.res_class : "";
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  out->title = TextProperty(d, w, c.A("_NET_WM_NAME"), c.A("UTF8_STRING"));
  if (out->title.empty()) out->title = TextProperty(d, w, XA_WM_NAME, XA_STRING);
  const Atom wmState = c.A("WM_STATE");
  auto state = Property(d, w, wmState, wmState);
  bool hidden = false;
  const Atom hiddenAtom = c.A("_NET_WM_STATE_HIDDEN");
  for (unsigned long a : Property(d, w, c.A("_NET_WM_STATE"), XA_ATOM)) hidden = hidden || a == hiddenAtom;
  out->iconic = hidden || (!state.empty() && state[0] == IconicState);
  out->visible = attrs.map_state == IsViewable || out->iconic;
  auto pid = Property(d, w, c.A("_NET_WM_PID"), XA_CARDINAL);
  out->pid = pid.empty() ? 0 : static_cast<long>(pid[0]);
  out->overrideRedirect = attrs.override_redirect;
  return true;
}

bool WindowManagerRuns(Connection& c) {
  ::Display* d = c.get();
  auto check = Property(d, DefaultRootWindow(d), c.A("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  return !check.empty() && check[0] != None;
}

}  // namespace

void NoteX11Display(const char* name, bool open) {
  std::lock_guard lock(gNameMu);
  gOpen = open;
  gName = name ? name : "";
}

std::vector<ForeignX> X11Clients() {
  std::vector<ForeignX> out;
  Connection c;
  ::Display* d = c.get();
  if (!d) return out;
  const ::Window root = DefaultRootWindow(d);
  std::vector<::Window> clients;  // top first
  auto stacking = Property(d, root, c.A("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
  if (!stacking.empty()) {
    clients.assign(stacking.rbegin(), stacking.rend());
  } else {
    ::Window r, parent, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, root, &r, &parent, &children, &n)) {
      const Atom wmState = c.A("WM_STATE");
      for (unsigned int i = n; i-- > 0;) {
        ::Window client = ClientIn(d, children[i], wmState, 3);
        if (client == None) {
          // No window manager: a mapped top-level window that names its class is a client.
          XWindowAttributes attrs;
          XClassHint hint{};
          if (XGetWindowAttributes(d, children[i], &attrs) && attrs.map_state == IsViewable &&
              !attrs.override_redirect && XGetClassHint(d, children[i], &hint)) {
            client = children[i];
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
          }
        }
        if (client != None) clients.push_back(client);
      }
    }
    if (children) XFree(children);
  }
  for (::Window w : clients) {
    ForeignX f;
    if (Describe(c, w, &f) && !f.overrideRedirect) out.push_back(f);
  }
  return out;
}

bool X11Query(unsigned long xid, ForeignX* out) {
  Connection c;
  return c.get() && Describe(c, xid, out);
}

bool X11Activate(unsigned long xid, bool restoreOnly) {
  Connection c;
  ::Display* d = c.get();
  if (!d) return false;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(d, xid, &attrs)) return false;
  if (WindowManagerRuns(c)) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xid;
    e.xclient.message_type = c.A("_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager: the user asked for it
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  } else {
    XMapRaised(d, xid);
    if (!restoreOnly) {
      XSync(d, False);
      XSetInputFocus(d, xid, RevertToParent, CurrentTime);
    }
  }
  XSync(d, False);
  return true;
}

bool X11Close(unsigned long xid) {
  Connection c;
  ::Display* d = c.get();
  if (!d) return false;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(d, xid, &attrs)) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = xid;
  e.xclient.message_type = c.A("WM_PROTOCOLS");
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(c.A("WM_DELETE_WINDOW"));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, xid, False, NoEventMask, &e);
  XSync(d, False);
  return true;
}

}  // namespace kvp::desktop
