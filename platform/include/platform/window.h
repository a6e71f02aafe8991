// Windows, messages, timers, input and message boxes: the window system the program is written
// against, with the Win32 semantics it relies on.
//
// Threads: a window belongs to the thread that created it; that thread's queue receives its
// posted messages and runs its window procedure. The program keeps every visible window on one
// GUI thread (the thread that opened the display). PostMessage is thread-safe and never blocks; it
// fails for a destroyed window. SendMessage to a window of the calling thread is a direct call;
// to a window of another thread it blocks the sender until the owning thread has run the handler
// and returns its result, and a sender that owns windows keeps serving the sends that reach it
// meanwhile. Every message loop (GetMessage, PeekMessage, modal dialogs, message boxes) and the
// GUI-safe wait serve incoming sends.
//
// Queue order: sent messages first, then posted messages and input in arrival order, then
// WM_PAINT (made from invalid areas when nothing else is waiting), then WM_TIMER (made when a
// timer is due and nothing else is waiting; one per timer at most, never caught up).
//
// Windows have no non-client area: the client rectangle is the window rectangle. Top-level
// windows have screen coordinates, child windows coordinates in their parent's client area.
//
// Mouse capture: the capture window receives every mouse message, with client coordinates that
// may be negative or beyond its size; WM_SETCURSOR is sent only while no window holds the
// capture. WM_CANCELMODE goes to the capture owner (and the capture is released) when a modal
// dialog or a message box opens, when the application is deactivated and when the capture window
// is hidden or destroyed.
#pragma once

#include <platform/geometry.h>
#include <platform/types.h>

#include <memory>

// ------------------------------------------------------------------------------------------------
// Handles and records

typedef uint32_t HMENU;
typedef uint32_t HICON;
typedef uint32_t HCURSOR;
typedef uint32_t HBRUSH;
typedef uint32_t HDC;
typedef uint32_t HFONT;
typedef uint32_t HBITMAP;
typedef WORD ATOM;
typedef DWORD_PTR* PDWORD_PTR;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define MAKEINTRESOURCE(i) ((LPCSTR)(ULONG_PTR)((WORD)(i)))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
// Signed coordinates of a mouse message (may be negative while the mouse is captured).
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define GET_WHEEL_DELTA_WPARAM(wp) ((short)HIWORD(wp))
#define WHEEL_DELTA 120

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;

struct WNDCLASS {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;  // a brush, or a system colour index + 1
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
typedef WNDCLASS* LPWNDCLASS;

struct CREATESTRUCT {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};
typedef CREATESTRUCT* LPCREATESTRUCT;

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};
typedef WINDOWPOS* LPWINDOWPOS;

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};
typedef MINMAXINFO* LPMINMAXINFO;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;  // TRUE when WM_ERASEBKGND left the background to the painter
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;

struct HELPINFO {
  UINT cbSize;
  int iContextType;
  int iCtrlId;
  HANDLE hItemHandle;
  DWORD_PTR dwContextId;
  POINT MousePos;
};
typedef HELPINFO* LPHELPINFO;

// ------------------------------------------------------------------------------------------------
// Messages

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_CANCELMODE 0x001F
#define WM_SETCURSOR 0x0020
#define WM_GETMINMAXINFO 0x0024
#define WM_ICONERASEBKGND 0x0027
#define WM_DRAWITEM 0x002B
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_QUERYDRAGICON 0x0037
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_COPYDATA 0x004A
#define WM_HELP 0x0053
#define WM_CONTEXTMENU 0x007B
#define WM_GETICON 0x007F
#define WM_SETICON 0x0080
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_GETDLGCODE 0x0087
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_CTLCOLORMSGBOX 0x0132
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSCROLLBAR 0x0137
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WM_CAPTURECHANGED 0x0215
#define WM_HOTKEY 0x0312
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// WM_SIZE
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// WM_SETICON / WM_GETICON
#define ICON_SMALL 0
#define ICON_BIG 1

// WM_SETCURSOR hit-test code (the whole window is client area)
#define HTNOWHERE 0
#define HTCLIENT 1

// Mouse message key state (wParam)
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

// WM_VSCROLL / WM_HSCROLL codes
#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8

// WM_SYSCOMMAND
#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

// WM_DRAWITEM
#define ODT_BUTTON 4
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_DISABLED 0x0004
#define ODS_FOCUS 0x0010

// WM_GETDLGCODE answers: a control that wants Enter/Escape keeps them from the dialog.
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// WM_CTLCOLOR* kinds as the class library passes them to OnCtlColor
#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6

// ------------------------------------------------------------------------------------------------
// Styles

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_APPWINDOW 0x00040000L

#define DS_MODALFRAME 0x80L
#define DS_SETFONT 0x40L
#define DS_CENTER 0x0800L

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT ((int)0x80000000)

// The dialog window class: register a copy of it under another name to find dialogs by class.
#define WC_DIALOG "#32770"

// ------------------------------------------------------------------------------------------------
// Window functions' constants

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200

#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)0xFFFFFFFFu)
#define HWND_NOTOPMOST ((HWND)0xFFFFFFFEu)

#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)
#define GWLP_ID (-12)
#define GWLP_WNDPROC (-4)
#define GWLP_USERDATA (-21)
#define GWL_USERDATA (-21)
#define GWLP_HWNDPARENT (-8)
#define DWLP_MSGRESULT 0

#define RDW_INVALIDATE 0x0001
#define RDW_ERASE 0x0004
#define RDW_VALIDATE 0x0008
#define RDW_ALLCHILDREN 0x0080
#define RDW_UPDATENOW 0x0100
#define RDW_ERASENOW 0x0200
#define RDW_FRAME 0x0400

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXSMICON 49
#define SM_CYSMICON 50

// ------------------------------------------------------------------------------------------------
// Queue functions' constants

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

#define QS_KEY 0x0001
#define QS_MOUSEMOVE 0x0002
#define QS_MOUSEBUTTON 0x0004
#define QS_POSTMESSAGE 0x0008
#define QS_TIMER 0x0010
#define QS_PAINT 0x0020
#define QS_SENDMESSAGE 0x0040
#define QS_HOTKEY 0x0080
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY)
#define QS_ALLEVENTS (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY)
#define QS_ALLINPUT (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE)

#define USER_TIMER_MINIMUM 0x0000000A

// SendMessageTimeout: SMTO_BLOCK keeps the sender from serving the sends that reach it while it
// waits; SMTO_ABORTIFHUNG gives up at once when the receiving thread has not looked at its queue
// for 5 seconds and is not waiting for messages.
#define SMTO_NORMAL 0x0000
#define SMTO_BLOCK 0x0001
#define SMTO_ABORTIFHUNG 0x0002

// ------------------------------------------------------------------------------------------------
// Keys

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_HELP 0x2F
// '0'..'9' and 'A'..'Z' are their ASCII codes.
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90

// RegisterHotKey modifiers (also the low word of WM_HOTKEY's lParam)
#define MOD_ALT 0x0001
#define MOD_CONTROL 0x0002
#define MOD_SHIFT 0x0004
#define MOD_WIN 0x0008

// ------------------------------------------------------------------------------------------------
// Message boxes and dialog results

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR 0x00000010L
#define MB_ICONSTOP 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION 0x00000040L
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// ------------------------------------------------------------------------------------------------
// Cursors (system cursors; cursors from resources come from the drawing layer's resource loader)

#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDC_IBEAM MAKEINTRESOURCE(32513)
#define IDC_WAIT MAKEINTRESOURCE(32514)
#define IDC_CROSS MAKEINTRESOURCE(32515)
#define IDC_UPARROW MAKEINTRESOURCE(32516)
#define IDC_SIZENWSE MAKEINTRESOURCE(32642)
#define IDC_SIZENESW MAKEINTRESOURCE(32643)
#define IDC_SIZEWE MAKEINTRESOURCE(32644)
#define IDC_SIZENS MAKEINTRESOURCE(32645)
#define IDC_SIZEALL MAKEINTRESOURCE(32646)
#define IDC_NO MAKEINTRESOURCE(32648)
#define IDC_HAND MAKEINTRESOURCE(32649)

// ------------------------------------------------------------------------------------------------
// System menu. The desktop offers no system menu of ours: Alt+Space sends WM_SYSCOMMAND with the
// first item the program appended to the active window's menu.

#define MF_STRING 0x00000000L
#define MF_SEPARATOR 0x00000800L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_ENABLED 0x00000000L

extern "C" {

// Window classes. Registering a name twice fails (ERROR_CLASS_ALREADY_EXISTS); GetClassInfo finds
// the classes registered here and the built-in dialog class WC_DIALOG.
PLATFORM_API ATOM RegisterClass(const WNDCLASS* wc);
PLATFORM_API BOOL UnregisterClass(LPCSTR className, HINSTANCE instance);
PLATFORM_API BOOL GetClassInfo(HINSTANCE instance, LPCSTR className, LPWNDCLASS wc);
PLATFORM_API int GetClassName(HWND hwnd, LPSTR buffer, int size);

// Window tree.
PLATFORM_API HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                 int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);
PLATFORM_API BOOL DestroyWindow(HWND hwnd);
PLATFORM_API BOOL IsWindow(HWND hwnd);
PLATFORM_API BOOL IsChild(HWND parent, HWND hwnd);
PLATFORM_API HWND GetParent(HWND hwnd);  // the parent of a child, the owner of a top-level window
PLATFORM_API HWND SetParent(HWND hwnd, HWND newParent);
PLATFORM_API HWND GetWindow(HWND hwnd, UINT cmd);
PLATFORM_API HWND GetTopWindow(HWND hwnd);
PLATFORM_API HWND GetDesktopWindow(void);
PLATFORM_API HWND GetDlgItem(HWND dialog, int id);
PLATFORM_API int GetDlgCtrlID(HWND hwnd);
PLATFORM_API HWND FindWindow(LPCSTR className, LPCSTR windowName);
PLATFORM_API HWND FindWindowEx(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName);
PLATFORM_API LONG GetWindowLong(HWND hwnd, int index);
PLATFORM_API LONG SetWindowLong(HWND hwnd, int index, LONG value);
PLATFORM_API LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
PLATFORM_API LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);
PLATFORM_API DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
PLATFORM_API BOOL SetWindowText(HWND hwnd, LPCSTR text);
PLATFORM_API int GetWindowText(HWND hwnd, LPSTR buffer, int size);
PLATFORM_API int GetWindowTextLength(HWND hwnd);

// Geometry and state.
PLATFORM_API BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
PLATFORM_API BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
PLATFORM_API BOOL GetWindowRect(HWND hwnd, LPRECT rect);  // screen coordinates
PLATFORM_API BOOL GetClientRect(HWND hwnd, LPRECT rect);
PLATFORM_API BOOL ScreenToClient(HWND hwnd, LPPOINT point);
PLATFORM_API BOOL ClientToScreen(HWND hwnd, LPPOINT point);
PLATFORM_API int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
PLATFORM_API HWND WindowFromPoint(POINT screen);
PLATFORM_API HWND ChildWindowFromPoint(HWND parent, POINT client);
PLATFORM_API BOOL ShowWindow(HWND hwnd, int cmd);  // returns whether it was visible before
PLATFORM_API BOOL IsWindowVisible(HWND hwnd);       // it and all its ancestors are visible
PLATFORM_API BOOL IsIconic(HWND hwnd);
PLATFORM_API BOOL IsZoomed(HWND hwnd);
PLATFORM_API BOOL EnableWindow(HWND hwnd, BOOL enable);  // returns whether it was disabled before
PLATFORM_API BOOL IsWindowEnabled(HWND hwnd);
PLATFORM_API BOOL SetForegroundWindow(HWND hwnd);
PLATFORM_API HWND GetForegroundWindow(void);
PLATFORM_API HWND GetActiveWindow(void);
PLATFORM_API HWND SetActiveWindow(HWND hwnd);
PLATFORM_API BOOL BringWindowToTop(HWND hwnd);
PLATFORM_API int GetSystemMetrics(int index);

// Messages.
PLATFORM_API LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// SendMessage with a bound on the platform clock. Nonzero with the handler's answer in *result
// when the message was handled; 0 with ERROR_TIMEOUT when the receiving thread did not answer in
// time (a send it had not yet taken is dropped and never handled), 0 with
// ERROR_INVALID_WINDOW_HANDLE for a destroyed window. To a window of the calling thread it is a
// direct call.
PLATFORM_API LRESULT SendMessageTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                                        UINT timeoutMs, PDWORD_PTR result);
PLATFORM_API BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API void PostQuitMessage(int exitCode);
PLATFORM_API BOOL GetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
PLATFORM_API BOOL PeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
PLATFORM_API BOOL WaitMessage(void);
PLATFORM_API BOOL TranslateMessage(const MSG* msg);
PLATFORM_API LRESULT DispatchMessage(const MSG* msg);
PLATFORM_API BOOL IsDialogMessage(HWND dialog, LPMSG msg);
PLATFORM_API LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API BOOL InSendMessage(void);  // the current message was sent from another thread
PLATFORM_API DWORD GetQueueStatus(UINT flags);
PLATFORM_API DWORD GetMessageTime(void);
PLATFORM_API DWORD GetMessagePos(void);

// The GUI-safe wait: waits for the handles like WaitForMultipleObjects and returns
// WAIT_OBJECT_0 + count when a message of a kind in wakeMask reaches the calling thread's queue
// (QS_SENDMESSAGE: a cross-thread send is waiting to be served).
PLATFORM_API DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs,
                                             DWORD wakeMask);

// Timers on the platform clock. The same (window, id) replaces the timer; KillTimer also drops a
// WM_TIMER not yet taken. A window timer returns the id; a timer without a window returns a new id.
PLATFORM_API UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
PLATFORM_API BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Painting. The paint DC is clipped to the invalid area; a window DC to the visible part of the
// window. Drawing never reaches the visible children of the window or the siblings above it, and
// drawing into a hidden window has no effect.
PLATFORM_API BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
PLATFORM_API BOOL ValidateRect(HWND hwnd, const RECT* rect);
PLATFORM_API BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);
PLATFORM_API BOOL UpdateWindow(HWND hwnd);
PLATFORM_API BOOL RedrawWindow(HWND hwnd, const RECT* rect, void* region, UINT flags);
PLATFORM_API HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps);
PLATFORM_API BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
PLATFORM_API HDC GetDC(HWND hwnd);
PLATFORM_API HDC GetWindowDC(HWND hwnd);
PLATFORM_API int ReleaseDC(HWND hwnd, HDC dc);

// Mouse, cursor, focus, keyboard.
PLATFORM_API HWND SetCapture(HWND hwnd);
PLATFORM_API BOOL ReleaseCapture(void);
PLATFORM_API HWND GetCapture(void);
PLATFORM_API HCURSOR SetCursor(HCURSOR cursor);  // stays until changed; returns the previous one
PLATFORM_API HCURSOR GetCursor(void);
PLATFORM_API HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name);  // system cursors (IDC_*)
PLATFORM_API BOOL GetCursorPos(LPPOINT point);
PLATFORM_API HWND SetFocus(HWND hwnd);
PLATFORM_API HWND GetFocus(void);
PLATFORM_API SHORT GetKeyState(int vk);
PLATFORM_API SHORT GetAsyncKeyState(int vk);
// System-wide hot keys: the key reaches the window as WM_HOTKEY (wParam id) even while another
// application is active. Fails when another registration (ours or another program's) holds the key.
PLATFORM_API BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
PLATFORM_API BOOL UnregisterHotKey(HWND hwnd, int id);

// Message boxes. Callable from any thread: a box asked for on another thread is shown by the GUI
// thread while the caller waits. A null caption gives "Error". The owner (or, without one, the
// active window) is disabled while the box is open.
PLATFORM_API int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
PLATFORM_API BOOL MessageBeep(UINT type);

// System menu: items appended here reach the window as WM_SYSCOMMAND with their id.
PLATFORM_API HMENU GetSystemMenu(HWND hwnd, BOOL revert);
PLATFORM_API BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCSTR text);
PLATFORM_API int GetMenuItemCount(HMENU menu);

}  // extern "C"

inline HWND CreateWindow(LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                         HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menuOrId, instance, param);
}

#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_HOTKEY_ALREADY_REGISTERED 1409L
#define ERROR_HOTKEY_NOT_REGISTERED 1419L
#define ERROR_NOT_ENOUGH_QUOTA 1816L

namespace kvp {
// A request from outside the GUI to end the program (a signal). Every modal loop that the GUI
// thread runs above the modal loop of `window` (all of them when `window` runs none) ends as if
// cancelled: dialogs, message boxes and the file dialog return IDCANCEL. So does every such loop
// opened later. Once none is left, `message` is posted to `window`, whose handler ends the program
// its own way. Callable from any thread; FALSE without a display or when `window` is no window.
PLATFORM_API BOOL RequestQuit(HWND window, UINT message);

// The GUI-safe wait for stopping workers: waits for any of the handles (WAIT_OBJECT_0 + i) or the
// time-out, serving the sends and marshalled message boxes that reach the calling thread meanwhile,
// so a worker that is itself sending to this thread can finish.
PLATFORM_API DWORD WaitForObjectsServingSends(DWORD count, const HANDLE* handles, DWORD timeoutMs);

// SendMessageTimeout for a message whose lParam points into `data`: the window system keeps `data`
// alive until the handler has returned, also when the sender timed out while the handler ran.
PLATFORM_API LRESULT SendMessageTimeoutKeeping(std::shared_ptr<const void> data, HWND hwnd, UINT msg, WPARAM wParam,
                                               LPARAM lParam, UINT flags, UINT timeoutMs, PDWORD_PTR result);
}  // namespace kvp
