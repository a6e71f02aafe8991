// The notification-area icon of the USB link, its hidden window and the thread that pumps it; the
// window hands device-change notices to the link's handler.
#pragma once

#include <platform/device.h>
#include <platform/windows.h>

#include <atomic>

namespace kvlink::usb {

typedef LRESULT (*DeviceChangeHandler)(WPARAM wParam, LPARAM lParam);

class CTrayNotify {
 public:
  CTrayNotify();
  virtual ~CTrayNotify();

  BOOL Create();
  BOOL LoadTrayIcon(UINT resource);
  BOOL SetTip(const char* text);
  BOOL SetBalloon(const char* text, const char* title, DWORD infoFlags, UINT timeoutMs);
  BOOL Show(int mode);
  BOOL RegisterFilter(const GUID* interfaceClass, DeviceChangeHandler handler);
  BOOL Shutdown();

  int ShellLevel() const { return m_nShellLevel; }
  HWND Window() const { return m_hWnd; }

 private:
  static DWORD TrayWindowThread(LPVOID self);
  static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void CloseEvents();

  HWND m_hWnd = 0;
  HINSTANCE m_hInstance = 0;
  NOTIFYICONDATA m_oData{};
  int m_nShellLevel = 1;
  int m_bBalloonReady = 0;
  int m_bIconShown = 0;
  int m_nPlatformId = 0;
  HANDLE m_hWindowReady = 0, m_hQuit = 0, m_hRegister = 0, m_hUnregister = 0;
  HANDLE m_hThread = 0;
  const GUID* m_pClass = nullptr;
  HDEVNOTIFY m_hDevNotify = 0;
  std::atomic<DeviceChangeHandler> m_pHandler{nullptr};
};

// The one tray object while it exists.
extern std::atomic<CTrayNotify*> g_pTrayNotify;

inline constexpr const char* kTrayClass = "HadexNorvikWndClassTrayNotify";
inline constexpr const char* kTrayTitle = "HadexNorvikTrayNotify";
inline constexpr UINT kTrayCallbackMessage = 1025;

}  // namespace kvlink::usb
