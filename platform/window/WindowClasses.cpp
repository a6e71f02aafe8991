// Window classes registered by name (names compare without regard to case).
#include "window/DesktopInternal.h"
#include "window/WindowSystem.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kvp::win {

std::string ClassKey(LPCSTR name) {
  std::string key;
  if (IS_INTRESOURCE(name)) {
    key = "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
  } else {
    key = name;
  }
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  return key;
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  if (!name) return nullptr;
  Lock lock(Sys().mu);
  auto& classes = Sys().classes;
  if (classes.empty()) {
    // The built-in dialog class; programs copy it under their own name.
    auto dlg = std::make_shared<WindowClass>();
    dlg->name = WC_DIALOG;
    dlg->wc.style = CS_DBLCLKS | CS_SAVEBITS;
    dlg->wc.lpfnWndProc = DefDlgProc;
    dlg->wc.cbWndExtra = 30;
    dlg->wc.hbrBackground = 0;
    dlg->builtIn = true;
    classes[ClassKey(WC_DIALOG)] = dlg;
  }
  auto it = classes.find(ClassKey(name));
  return it == classes.end() ? nullptr : it->second;
}

}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

ATOM RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  FindClass(WC_DIALOG);  // make sure the built-in classes exist
  Lock lock(Sys().mu);
  std::string key = ClassKey(wc->lpszClassName);
  if (Sys().classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->wc = *wc;
  cls->wc.lpszClassName = nullptr;  // the name lives in cls->name
  cls->wc.lpszMenuName = nullptr;
  if (!cls->wc.lpfnWndProc) cls->wc.lpfnWndProc = DefWindowProc;
  Sys().classes[key] = cls;
  return static_cast<ATOM>(0xC000 + Sys().classes.size());
}

BOOL UnregisterClass(LPCSTR className, HINSTANCE instance) {
  if (!className) return FALSE;
  Lock lock(Sys().mu);
  auto it = Sys().classes.find(ClassKey(className));
  if (it == Sys().classes.end() || it->second->builtIn) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  Sys().classes.erase(it);
  return TRUE;
}

BOOL GetClassInfo(HINSTANCE instance, LPCSTR className, LPWNDCLASS wc) {
  auto cls = FindClass(className);
  if (!cls || !wc) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  Lock lock(Sys().mu);
  *wc = cls->wc;
  wc->lpszClassName = cls->name.c_str();
  return TRUE;
}

int GetClassName(HWND hwnd, LPSTR buffer, int size) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyText(hwnd, true, buffer, size);
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || !buffer || size <= 0) return 0;
  int n = std::min<int>(static_cast<int>(w->cls->name.size()), size - 1);
  std::memcpy(buffer, w->cls->name.data(), static_cast<size_t>(n));
  buffer[n] = 0;
  return n;
}

}  // extern "C"
