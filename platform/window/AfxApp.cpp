// The application object, worker threads, the window DCs and the system menu.
#include "window/WindowSystem.h"

#include <platform/afxwin.h>
#include <platform/display.h>

#include <cstdlib>
#include <map>
#include <mutex>

int __argc = 0;
char** __argv = nullptr;

namespace kvp::win {
bool AfxPreTranslate(MSG* msg);
}
using namespace kvp::win;

namespace {
CWinApp* gApp = nullptr;
std::string gCmdLine;
}  // namespace

CWinApp::CWinApp(LPCSTR appName) : m_pszAppName(appName) { gApp = this; }
CWinApp::~CWinApp() {
  if (gApp == this) gApp = nullptr;
}
BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessage(&msg, 0, 0, 0)) {
    if (AfxPreTranslate(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessage(&msg);
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

CWinApp* AfxGetApp() { return gApp; }
CWnd* AfxGetMainWnd() { return gApp ? gApp->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return gApp ? gApp->m_hInstance : 0; }
HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

int AfxMessageBox(LPCSTR text, UINT type, UINT) {
  CWnd* main = AfxGetMainWnd();
  LPCSTR caption = gApp ? gApp->m_pszAppName : nullptr;
  return ::MessageBox(main ? main->m_hWnd : 0, text, caption, type);
}

BOOL AfxRegisterClass(WNDCLASS* wc) {
  WNDCLASS existing;
  if (wc && wc->lpszClassName && ::GetClassInfo(wc->hInstance, wc->lpszClassName, &existing)) return TRUE;
  return ::RegisterClass(wc) != 0;
}

int AfxWinMain(int argc, char** argv) {
  __argc = argc;
  __argv = argv;
  gCmdLine.clear();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) gCmdLine += ' ';
    gCmdLine += argv[i];
  }
  const char* display = std::getenv("DISPLAY");
  if (!(display && *display && kvp::OpenX11Display(nullptr))) kvp::OpenHeadlessDisplay();
  int code = 0;
  CWinApp* app = AfxGetApp();
  if (app) {
    app->m_lpCmdLine = gCmdLine.data();
    if (!app->InitApplication() || !app->InitInstance()) {
      code = app->ExitInstance();
    } else {
      code = app->Run();
    }
  }
  kvp::CloseDisplay();
  return code;
}

// ------------------------------------------------------------------------------------------------
// Threads

CWinThread::~CWinThread() {
  if (m_hThread) ::CloseHandle(m_hThread);
}

static DWORD ThreadTrampoline(LPVOID param) {
  auto* thread = static_cast<CWinThread*>(param);
  UINT code = thread->m_pfnThreadProc(thread->m_pThreadParams);
  if (thread->m_bAutoDelete) delete thread;
  return code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD flags,
                           LPSECURITY_ATTRIBUTES sa) {
  auto* thread = new CWinThread;
  thread->m_pfnThreadProc = proc;
  thread->m_pThreadParams = param;
  thread->m_hThread = ::CreateThread(sa, stackSize, ThreadTrampoline, thread, CREATE_SUSPENDED, &thread->m_nThreadID);
  if (!thread->m_hThread) {
    delete thread;
    return nullptr;
  }
  ::SetThreadPriority(thread->m_hThread, priority);
  if (!(flags & CREATE_SUSPENDED)) ::ResumeThread(thread->m_hThread);
  return thread;
}

// ------------------------------------------------------------------------------------------------
// Window DCs

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : 0) { Attach(::BeginPaint(m_hWnd, &m_ps)); }
CPaintDC::~CPaintDC() {
  Detach();
  ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : 0) { Attach(::GetDC(m_hWnd)); }
CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : 0) { Attach(::GetWindowDC(m_hWnd)); }
CWindowDC::~CWindowDC() { ::ReleaseDC(m_hWnd, Detach()); }

// ------------------------------------------------------------------------------------------------
// System menu

CMenu* CMenu::FromHandle(HMENU menu) {
  static std::mutex mu;
  static std::map<HMENU, CMenu*> wrappers;  // kept for the life of the process
  if (!menu) return nullptr;
  std::lock_guard<std::mutex> lock(mu);
  CMenu*& m = wrappers[menu];
  if (!m) {
    m = new CMenu;
    m->m_hMenu = menu;
  }
  return m;
}

extern "C" {

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  if (revert) {
    if (w->sysMenu) Sys().menus[w->sysMenu].clear();
    return 0;
  }
  if (!w->sysMenu) {
    w->sysMenu = Sys().nextMenu++;
    Sys().menus[w->sysMenu];
  }
  return w->sysMenu;
}

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCSTR text) {
  Lock lock(Sys().mu);
  auto it = Sys().menus.find(menu);
  if (it == Sys().menus.end()) return FALSE;
  it->second.emplace_back((flags & MF_SEPARATOR) ? 0 : idNewItem, text && !(flags & MF_SEPARATOR) ? text : "");
  return TRUE;
}

int GetMenuItemCount(HMENU menu) {
  Lock lock(Sys().mu);
  auto it = Sys().menus.find(menu);
  return it == Sys().menus.end() ? -1 : static_cast<int>(it->second.size());
}

}  // extern "C"
