// Test windows: a CWnd that records the messages it gets and lets a test hook any of them.
#pragma once

#include <platform/afxwin.h>
#include <platform/display.h>

#include <functional>
#include <map>
#include <vector>

namespace kvtest {

inline const char* ProbeClass() {
  static bool registered = false;
  if (!registered) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "TestProbe";
    AfxRegisterClass(&wc);
    registered = true;
  }
  return "TestProbe";
}

struct Seen {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

class Probe : public CWnd {
 public:
  std::vector<Seen> seen;
  std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> hooks;

  BOOL CreateTop(const CRect& r, DWORD style = WS_POPUP | WS_VISIBLE, HWND owner = 0) {
    return CreateEx(0, ProbeClass(), "top", style, r.left, r.top, r.Width(), r.Height(), owner, 0);
  }
  BOOL CreateChild(CWnd* parent, const CRect& r, UINT id, DWORD style = WS_CHILD | WS_VISIBLE) {
    return Create(ProbeClass(), "child", style, r, parent, id);
  }
  int Count(UINT msg) const {
    int n = 0;
    for (const Seen& s : seen) n += s.msg == msg;
    return n;
  }
  const Seen* Last(UINT msg) const {
    for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
      if (it->msg == msg) return &*it;
    }
    return nullptr;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    seen.push_back(Seen{msg, wParam, lParam});
    auto it = hooks.find(msg);
    if (it != hooks.end()) return it->second(wParam, lParam);
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

inline CPoint ClientPoint(LPARAM lParam) { return CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); }

}  // namespace kvtest
