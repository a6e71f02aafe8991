// The notification-area icon of the USB link, its hidden window and the thread that pumps it; the
// window hands device-change notices to the link's handler.
#pragma once

#include <platform/device.h>
#include <platform/unique.h>
#include <platform/windows.h>

#include <atomic>
#include <memory>

namespace kvlink::usb {

typedef LRESULT (*DeviceChangeHandler)(WPARAM wParam, LPARAM lParam);

// Owned through shared pointers: the notification thread holds one for as long as it runs, so an
// object whose thread had to be abandoned by Shutdown stays alive, with its events, until that
// thread has ended.
class CTrayNotify : public std::enable_shared_from_this<CTrayNotify> {
 public:
  // Makes the object and makes it the library's one tray object.
  static std::shared_ptr<CTrayNotify> Make();
  CTrayNotify();
  virtual ~CTrayNotify();
  CTrayNotify(const CTrayNotify&) = delete;
  CTrayNotify& operator=(const CTrayNotify&) = delete;

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
  void UnregisterWindowClass();
  // Asks the thread to end and waits up to 1000 ms; a thread that does not end is abandoned.
  void StopThread();

  HWND m_hWnd = 0;
  HINSTANCE m_hInstance = 0;
  NOTIFYICONDATA m_oData{};
  int m_nShellLevel = 1;
  int m_bBalloonReady = 0;
  int m_bIconShown = 0;
  int m_nPlatformId = 0;
  kvp::UniqueHandle m_hWindowReady, m_hQuit, m_hRegister, m_hUnregister;
  kvp::UniqueHandle m_hThread;
  bool m_bThreadRuns = false;     // a thread was started and may still hold the events
  bool m_bClassRegistered = false;
  const GUID* m_pClass = nullptr;
  HDEVNOTIFY m_hDevNotify = 0;
  std::atomic<DeviceChangeHandler> m_pHandler{nullptr};
};

// The library's one tray object, or null; cleared by the link's stop.
std::shared_ptr<CTrayNotify> TrayNotify();
void ClearTrayNotify();

inline constexpr const char* kTrayClass = "HadexNorvikWndClassTrayNotify";
inline constexpr const char* kTrayTitle = "HadexNorvikTrayNotify";
inline constexpr UINT kTrayCallbackMessage = 1025;

}  // namespace kvlink::usb
