#include "TrayNotify.h"

#include <platform/module.h>
#include <platform/window.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kvlink::usb {

namespace {

std::mutex gTrayMu;
std::shared_ptr<CTrayNotify> gTray;

constexpr DWORD kWaitMs = 1000;
constexpr DWORD kPumpMs = 10;

// 2 when the shell's major version is above 4 (balloons), else 1.
int QueryShellLevel() {
  const kvp::UniqueModule shell(LoadLibrary("Shell32.dll"));
  if (!shell) return 1;
  int level = 1;
  if (auto get = reinterpret_cast<DLLGETVERSIONPROC>(
          reinterpret_cast<void*>(GetProcAddress(shell.get(), "DllGetVersion")))) {
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (get(&info) == 0 && info.dwMajorVersion > 4) level = 2;
  }
  return level;
}

void CopyText(char* field, size_t fieldSize, const char* text, size_t limit) {
  std::memset(field, 0, fieldSize);
  if (text) std::strncpy(field, text, std::min(limit, fieldSize - 1));
}

}  // namespace

std::shared_ptr<CTrayNotify> TrayNotify() {
  std::lock_guard lock(gTrayMu);
  return gTray;
}

void ClearTrayNotify() {
  std::shared_ptr<CTrayNotify> last;
  std::lock_guard lock(gTrayMu);
  last.swap(gTray);  // destroyed after the lock is left
}

std::shared_ptr<CTrayNotify> CTrayNotify::Make() {
  auto tray = std::make_shared<CTrayNotify>();
  std::lock_guard lock(gTrayMu);
  gTray = tray;
  return tray;
}

CTrayNotify::CTrayNotify() { m_hInstance = GetModuleHandle("ZLINKUSB.dll"); }

CTrayNotify::~CTrayNotify() {
  // The last owner: no thread of this object runs any more; the handles close with the members.
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
  UnregisterWindowClass();
}

void CTrayNotify::UnregisterWindowClass() {
  if (m_bClassRegistered && UnregisterClass(kTrayClass, m_hInstance)) m_bClassRegistered = false;
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
  m_bClassRegistered = true;
  for (kvp::UniqueHandle* event : {&m_hWindowReady, &m_hQuit, &m_hRegister, &m_hUnregister})
    event->reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  // The thread's own reference keeps this object alive until the thread ends.
  auto* owner = new std::shared_ptr<CTrayNotify>(shared_from_this());
  m_hThread.reset(CreateThread(nullptr, 0, TrayWindowThread, owner, 0, nullptr));
  if (!m_hThread) delete owner;
  m_bThreadRuns = static_cast<bool>(m_hThread);
  if (!m_hThread || WaitForSingleObject(m_hWindowReady.get(), kWaitMs) != WAIT_OBJECT_0) {
    StopThread();
    if (!m_bThreadRuns) {
      CloseEvents();
      UnregisterWindowClass();
    }
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
  SetEvent(m_hRegister.get());
  return handler != nullptr;
}

void CTrayNotify::StopThread() {
  if (!m_hThread) return;
  SetEvent(m_hQuit.get());
  if (WaitForSingleObject(m_hThread.get(), kWaitMs) == WAIT_OBJECT_0) {
    m_bThreadRuns = false;
  } else {
    // It does not end: it is abandoned, and its events and this object stay until it has ended.
    kvp::AbandonThread(m_hThread.get());
  }
  m_hThread.reset();
}

BOOL CTrayNotify::Shutdown() {
  m_pHandler = nullptr;
  if (m_hThread) SetEvent(m_hUnregister.get());
  StopThread();
  if (!m_bThreadRuns) CloseEvents();
  m_bBalloonReady = 0;
  if (m_hWnd && IsWindow(m_hWnd) && !DestroyWindow(m_hWnd)) return FALSE;  // the class stays registered
  m_hWnd = 0;
  UnregisterWindowClass();
  return m_bClassRegistered ? FALSE : TRUE;
}

void CTrayNotify::CloseEvents() {
  for (kvp::UniqueHandle* event : {&m_hWindowReady, &m_hQuit, &m_hRegister, &m_hUnregister}) event->reset();
}

DWORD CTrayNotify::TrayWindowThread(LPVOID param) {
  const std::unique_ptr<std::shared_ptr<CTrayNotify>> owner(static_cast<std::shared_ptr<CTrayNotify>*>(param));
  CTrayNotify* self = owner->get();
  self->m_hWnd = CreateWindowEx(0, kTrayClass, kTrayTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, 0, 0, self->m_hInstance, nullptr);
  if (!self->m_hWnd) return 1;
  SetEvent(self->m_hWindowReady.get());
  const HANDLE waits[] = {self->m_hQuit.get(), self->m_hRegister.get(), self->m_hUnregister.get()};
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
    const std::shared_ptr<CTrayNotify> self = TrayNotify();
    DeviceChangeHandler handler = self ? self->m_pHandler.load() : nullptr;
    return handler ? handler(wParam, lParam) : 0;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace kvlink::usb
