#include "TrayNotify.h"

#include <platform/module.h>
#include <platform/window.h>

#include <algorithm>
#include <cstring>

namespace kvlink::usb {

std::atomic<CTrayNotify*> g_pTrayNotify{nullptr};

namespace {

constexpr DWORD kWaitMs = 1000;
constexpr DWORD kPumpMs = 10;

// 2 when the shell's major version is above 4 (balloons), else 1.
int QueryShellLevel() {
  HMODULE shell = LoadLibrary("Shell32.dll");
  if (!shell) return 1;
  int level = 1;
  if (auto get = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")))) {
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (get(&info) == 0 && info.dwMajorVersion > 4) level = 2;
  }
  FreeLibrary(shell);
  return level;
}

void CopyText(char* field, size_t fieldSize, const char* text, size_t limit) {
  std::memset(field, 0, fieldSize);
  if (text) std::strncpy(field, text, std::min(limit, fieldSize - 1));
}

}  // namespace

CTrayNotify::CTrayNotify() {
  m_hInstance = GetModuleHandle("ZLINKUSB.dll");
  g_pTrayNotify = this;
}

CTrayNotify::~CTrayNotify() {
  CTrayNotify* self = this;
  g_pTrayNotify.compare_exchange_strong(self, nullptr);
}

BOOL CTrayNotify::Create() {
  m_nShellLevel = QueryShellLevel();
  m_nPlatformId = DLLVER_PLATFORM_NT;
  WNDCLASS wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = m_hInstance;
  wc.lpszClassName = kTrayClass;
  if (!RegisterClass(&wc)) return FALSE;  // still registered from before
  m_hWindowReady = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  m_hQuit = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  m_hRegister = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  m_hUnregister = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  m_hThread = CreateThread(nullptr, 0, TrayWindowThread, this, 0, nullptr);
  if (!m_hThread || WaitForSingleObject(m_hWindowReady, kWaitMs) != WAIT_OBJECT_0) {
    if (m_hThread) {
      SetEvent(m_hQuit);
      if (WaitForSingleObject(m_hThread, kWaitMs) != WAIT_OBJECT_0) kvp::AbandonThread(m_hThread);
      CloseHandle(m_hThread);
      m_hThread = 0;
    }
    CloseEvents();
    UnregisterClass(kTrayClass, m_hInstance);
    return FALSE;
  }
  std::memset(&m_oData, 0, sizeof m_oData);
  m_oData.cbSize = sizeof m_oData;
  m_oData.hWnd = m_hWnd;
  m_oData.uID = 0;
  m_oData.uFlags = NIF_ICON | NIF_MESSAGE;
  m_oData.uCallbackMessage = kTrayCallbackMessage;
  m_oData.uTimeout = 10000;
  m_bBalloonReady = 0;
  m_bIconShown = 0;
  return TRUE;
}

BOOL CTrayNotify::LoadTrayIcon(UINT resource) {
  if (!m_hInstance) return FALSE;
  m_oData.hIcon = resource;  // the library's icon resource stands for its icon
  return TRUE;
}

BOOL CTrayNotify::SetTip(const char* text) {
  std::memset(m_oData.szTip, 0, sizeof m_oData.szTip);
  if (!text) {
    m_oData.uFlags &= ~NIF_TIP;
    return TRUE;
  }
  CopyText(m_oData.szTip, sizeof m_oData.szTip, text, m_nShellLevel == 2 ? 127 : 63);
  m_oData.uFlags |= NIF_TIP;
  return TRUE;
}

BOOL CTrayNotify::SetBalloon(const char* text, const char* title, DWORD infoFlags, UINT timeoutMs) {
  if (m_nShellLevel != 2) return FALSE;
  std::memset(m_oData.szInfo, 0, sizeof m_oData.szInfo);
  std::memset(m_oData.szInfoTitle, 0, sizeof m_oData.szInfoTitle);
  if (!text) {
    m_bBalloonReady = 0;
    return TRUE;
  }
  CopyText(m_oData.szInfo, sizeof m_oData.szInfo, text, 255);
  CopyText(m_oData.szInfoTitle, sizeof m_oData.szInfoTitle, title, 63);
  m_oData.dwInfoFlags = infoFlags;
  m_oData.uTimeout = timeoutMs;
  m_bBalloonReady = 1;
  return TRUE;
}

BOOL CTrayNotify::Show(int mode) {
  if (mode == 2 && m_nShellLevel != 2) mode = 1;
  if (mode == 0) {
    m_oData.uFlags &= ~NIF_INFO;
    if (!m_bIconShown) return TRUE;
    m_bIconShown = 0;
    return Shell_NotifyIcon(NIM_DELETE, &m_oData);
  }
  if (mode == 2) {
    if (!m_bBalloonReady) return FALSE;
    m_oData.uFlags |= NIF_INFO;
  } else {
    m_oData.uFlags &= ~NIF_INFO;
  }
  const BOOL ok = Shell_NotifyIcon(m_bIconShown ? NIM_MODIFY : NIM_ADD, &m_oData);
  if (ok) m_bIconShown = 1;
  return ok;
}

BOOL CTrayNotify::RegisterFilter(const GUID* interfaceClass, DeviceChangeHandler handler) {
  if (handler) m_pHandler = handler;
  m_pClass = interfaceClass;
  SetEvent(m_hRegister);
  return handler != nullptr;
}

BOOL CTrayNotify::Shutdown() {
  m_pHandler = nullptr;
  BOOL ok = TRUE;
  if (m_hThread) {
    SetEvent(m_hUnregister);
    SetEvent(m_hQuit);
    if (WaitForSingleObject(m_hThread, kWaitMs) != WAIT_OBJECT_0) kvp::AbandonThread(m_hThread);
    CloseHandle(m_hThread);
    m_hThread = 0;
  }
  CloseEvents();
  if (m_hWnd && IsWindow(m_hWnd) && !DestroyWindow(m_hWnd)) {
    m_bBalloonReady = 0;
    return FALSE;  // the class stays registered
  }
  m_hWnd = 0;
  if (!UnregisterClass(kTrayClass, m_hInstance)) ok = FALSE;
  m_bBalloonReady = 0;
  return ok;
}

void CTrayNotify::CloseEvents() {
  for (HANDLE* h : {&m_hWindowReady, &m_hQuit, &m_hRegister, &m_hUnregister}) {
    if (*h) CloseHandle(*h);
    *h = 0;
  }
}

DWORD CTrayNotify::TrayWindowThread(LPVOID param) {
  auto* self = static_cast<CTrayNotify*>(param);
  self->m_hWnd = CreateWindowEx(0, kTrayClass, kTrayTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, 0, 0, self->m_hInstance, nullptr);
  if (!self->m_hWnd) return 1;
  SetEvent(self->m_hWindowReady);
  const HANDLE waits[] = {self->m_hQuit, self->m_hRegister, self->m_hUnregister};
  for (;;) {
    // Up to 10 ms per pass; a notice sent from another thread wakes the pass at once.
    const DWORD r = MsgWaitForMultipleObjects(3, waits, FALSE, kPumpMs, QS_SENDMESSAGE | QS_POSTMESSAGE);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1 && !self->m_hDevNotify && self->m_pClass) {
      DEV_BROADCAST_DEVICEINTERFACE filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      filter.dbcc_classguid = *self->m_pClass;
      self->m_hDevNotify = RegisterDeviceNotification(self->m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    if (r == WAIT_OBJECT_0 + 2 && self->m_hDevNotify) {
      UnregisterDeviceNotification(self->m_hDevNotify);
      self->m_hDevNotify = 0;
    }
    MSG msg;
    if (PeekMessage(&msg, self->m_hWnd, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  if (self->m_hDevNotify) UnregisterDeviceNotification(self->m_hDevNotify);
  self->m_hDevNotify = 0;
  DestroyWindow(self->m_hWnd);
  return 0;
}

LRESULT CTrayNotify::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) return 0;
  if (msg == WM_DEVICECHANGE) {
    CTrayNotify* self = g_pTrayNotify.load();
    DeviceChangeHandler handler = self ? self->m_pHandler.load() : nullptr;
    return handler ? handler(wParam, lParam) : 0;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace kvlink::usb
