// The standard controls (window classes "Button", "Static", "Edit", "ScrollBar", "ListBox",
// "ComboBox" and the progress bar), window scroll bars, tooltips, mouse-leave tracking and the
// wait cursor, with the Win32 messages, styles and notifications the program uses.
//
// Controls are children of a dialog (or any window): they notify their parent with WM_COMMAND
// (notification code in the high word of wParam, the control's handle in lParam), WM_VSCROLL /
// WM_HSCROLL, WM_DRAWITEM and WM_NOTIFY, and ask it for colours with WM_CTLCOLOR*: a brush the
// parent returns paints the control's background, the DC's text colour its text. Texts are byte
// strings in the active code page; controls draw them in the active language's character set.
#pragma once

#include <platform/gdi.h>
#include <platform/window.h>

#include <string>

typedef int* LPINT;

// ------------------------------------------------------------------------------------------------
// Class names

#define WC_BUTTON "Button"
#define WC_STATIC "Static"
#define WC_EDIT "Edit"
#define WC_SCROLLBAR "ScrollBar"
#define WC_LISTBOX "ListBox"
#define WC_COMBOBOX "ComboBox"
#define PROGRESS_CLASS "msctls_progress32"

// ------------------------------------------------------------------------------------------------
// Messages shared by controls

#define WM_NOTIFY 0x004E
#define WM_MOUSELEAVE 0x02A3
#define WM_CTLCOLOR_FIRST WM_CTLCOLORMSGBOX

// A top-level window that a click does not activate (drop-down lists, tooltips).
#define WS_EX_NOACTIVATE 0x08000000L

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
typedef NMHDR* LPNMHDR;

// ------------------------------------------------------------------------------------------------
// Buttons

#define BS_PUSHBUTTON 0x0000L
#define BS_DEFPUSHBUTTON 0x0001L
#define BS_CHECKBOX 0x0002L
#define BS_AUTOCHECKBOX 0x0003L
#define BS_RADIOBUTTON 0x0004L
#define BS_3STATE 0x0005L
#define BS_AUTO3STATE 0x0006L
#define BS_GROUPBOX 0x0007L
#define BS_AUTORADIOBUTTON 0x0009L
#define BS_OWNERDRAW 0x000BL
#define BS_TYPEMASK 0x000FL
#define BS_LEFTTEXT 0x0020L

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5

#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008

#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5

// Dialog default button.
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

// ------------------------------------------------------------------------------------------------
// Statics

#define SS_LEFT 0x0000L
#define SS_CENTER 0x0001L
#define SS_RIGHT 0x0002L
#define SS_ICON 0x0003L
#define SS_BLACKRECT 0x0004L
#define SS_GRAYRECT 0x0005L
#define SS_WHITERECT 0x0006L
#define SS_LEFTNOWORDWRAP 0x000CL
#define SS_OWNERDRAW 0x000DL
#define SS_ETCHEDHORZ 0x0010L
#define SS_ETCHEDVERT 0x0011L
#define SS_ETCHEDFRAME 0x0012L
#define SS_TYPEMASK 0x001FL
#define SS_NOPREFIX 0x0080L
#define SS_NOTIFY 0x0100L
#define SS_CENTERIMAGE 0x0200L
#define SS_SUNKEN 0x1000L

#define STM_SETICON 0x0170
#define STM_GETICON 0x0171

// ------------------------------------------------------------------------------------------------
// Edits

#define ES_LEFT 0x0000L
#define ES_CENTER 0x0001L
#define ES_RIGHT 0x0002L
#define ES_MULTILINE 0x0004L
#define ES_UPPERCASE 0x0008L
#define ES_LOWERCASE 0x0010L
#define ES_PASSWORD 0x0020L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_NOHIDESEL 0x0100L
#define ES_READONLY 0x0800L
#define ES_WANTRETURN 0x1000L
#define ES_NUMBER 0x2000L

#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_SCROLLCARET 0x00B7
#define EM_GETLINECOUNT 0x00BA
#define EM_REPLACESEL 0x00C2
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETREADONLY 0x00CF
#define EM_GETFIRSTVISIBLELINE 0x00CE
#define EM_GETLIMITTEXT 0x00D5

#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_MAXTEXT 0x0501

// ------------------------------------------------------------------------------------------------
// Scroll bars (controls and the window's own bars)

#define SBS_HORZ 0x0000L
#define SBS_VERT 0x0001L
#define SBS_TOPALIGN 0x0002L
#define SBS_LEFTALIGN 0x0002L
#define SBS_BOTTOMALIGN 0x0004L
#define SBS_RIGHTALIGN 0x0004L

#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3

#define SIF_RANGE 0x0001
#define SIF_PAGE 0x0002
#define SIF_POS 0x0004
#define SIF_DISABLENOSCROLL 0x0008
#define SIF_TRACKPOS 0x0010
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

struct SCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
};
typedef SCROLLINFO* LPSCROLLINFO;
typedef const SCROLLINFO* LPCSCROLLINFO;

#define SBM_SETPOS 0x00E0
#define SBM_GETPOS 0x00E1
#define SBM_SETRANGE 0x00E2
#define SBM_GETRANGE 0x00E3
#define SBM_SETSCROLLINFO 0x00E9
#define SBM_GETSCROLLINFO 0x00EA

#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYVTHUMB 9
#define SM_CXHTHUMB 10
#define SM_CYVSCROLL 20
#define SM_CXHSCROLL 21

// ------------------------------------------------------------------------------------------------
// List boxes

#define LBS_NOTIFY 0x0001L
#define LBS_SORT 0x0002L
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)

#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_FINDSTRING 0x018F
#define LB_GETTOPINDEX 0x018E
#define LB_FINDSTRINGEXACT 0x01A2
#define LB_SETTOPINDEX 0x0197
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_GETITEMHEIGHT 0x01A1

#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// ------------------------------------------------------------------------------------------------
// Combo boxes

#define CBS_SIMPLE 0x0001L
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_AUTOHSCROLL 0x0040L
#define CBS_SORT 0x0100L

#define CB_GETEDITSEL 0x0140
#define CB_LIMITTEXT 0x0141
#define CB_SETEDITSEL 0x0142
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRING 0x014C
#define CB_SELECTSTRING 0x014D
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_GETDROPPEDSTATE 0x0157
#define CB_FINDSTRINGEXACT 0x0158

#define CB_OKAY 0
#define CB_ERR (-1)

#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10

// ------------------------------------------------------------------------------------------------
// Progress bars

#define PBS_SMOOTH 0x01

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

// ------------------------------------------------------------------------------------------------
// Tooltips: a window with tools asks for their text with WM_NOTIFY TTN_NEEDTEXTA.

#define TTN_FIRST (0U - 520U)
#define TTN_GETDISPINFOA (TTN_FIRST - 0)
#define TTN_NEEDTEXTA TTN_GETDISPINFOA
#define TTN_NEEDTEXT TTN_NEEDTEXTA
#define TTF_IDISHWND 0x0001

struct NMTTDISPINFOA {
  NMHDR hdr;
  LPSTR lpszText;  // may point to a text of any length instead of szText
  char szText[80];
  HINSTANCE hinst;  // with lpszText = MAKEINTRESOURCE(id): a string resource of this module
  UINT uFlags;
  LPARAM lParam;
};
typedef NMTTDISPINFOA NMTTDISPINFO;
typedef NMTTDISPINFOA TOOLTIPTEXTA;
typedef NMTTDISPINFOA TOOLTIPTEXT;
typedef NMTTDISPINFOA* LPNMTTDISPINFOA;

// ------------------------------------------------------------------------------------------------
// Mouse leave tracking

#define TME_HOVER 0x00000001
#define TME_LEAVE 0x00000002
#define TME_CANCEL 0x80000000
#define HOVER_DEFAULT 0xFFFFFFFF

struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};
typedef TRACKMOUSEEVENT* LPTRACKMOUSEEVENT;

// ------------------------------------------------------------------------------------------------
// Common controls initialisation (nothing to do; kept for the program's start-up code).

#define ICC_WIN95_CLASSES 0x000000FF
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_STANDARD_CLASSES 0x00004000
struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};

extern "C" {

PLATFORM_API void InitCommonControls(void);
PLATFORM_API BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc);

// Scroll bars. `bar` is SB_VERT / SB_HORZ for the window's own bars (WS_VSCROLL / WS_HSCROLL) or
// SB_CTL for a "ScrollBar" control. A shown window bar takes GetSystemMetrics(SM_CXVSCROLL)
// (SM_CYHSCROLL) pixels off the right (bottom) of the client rectangle. Bars never move by
// themselves: the owner answers WM_VSCROLL / WM_HSCROLL with SetScrollPos.
PLATFORM_API BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
PLATFORM_API int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
PLATFORM_API int GetScrollPos(HWND hwnd, int bar);
PLATFORM_API BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
PLATFORM_API BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos);
PLATFORM_API int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw);
PLATFORM_API BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info);

// One WM_MOUSELEAVE when the pointer leaves the window (also when it moves into a child of it);
// the tracking ends with it. TME_CANCEL ends it without a message.
PLATFORM_API BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme);

// Dialog helpers.
PLATFORM_API BOOL CheckDlgButton(HWND dialog, int id, UINT check);
PLATFORM_API UINT IsDlgButtonChecked(HWND dialog, int id);
PLATFORM_API BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
PLATFORM_API BOOL SetDlgItemText(HWND dialog, int id, LPCSTR text);
PLATFORM_API UINT GetDlgItemText(HWND dialog, int id, LPSTR buffer, int size);
PLATFORM_API BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
PLATFORM_API UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
PLATFORM_API LRESULT SendDlgItemMessage(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
PLATFORM_API HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
PLATFORM_API HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

}  // extern "C"

namespace kvp {
// The wait cursor: while any hold is taken (from any thread), IDC_WAIT shows over our windows
// whatever WM_SETCURSOR says. Holds nest.
PLATFORM_API void BeginWaitCursorHold();
PLATFORM_API void EndWaitCursorHold();
PLATFORM_API int WaitCursorHolds();
// Tooltip timing on the platform clock.
constexpr unsigned kToolTipDelayMs = 500;
constexpr unsigned kToolTipShowMs = 5000;
// Tooltips of a window: its children become tools (TTF_IDISHWND); the window is asked for the
// text with WM_NOTIFY TTN_NEEDTEXTA after the pointer rests on one for kToolTipDelayMs.
PLATFORM_API BOOL EnableWindowToolTips(HWND hwnd, BOOL enable);
// The tooltip popup now showing (0 for none) and its text (for tests).
PLATFORM_API HWND ShownToolTip();
PLATFORM_API std::string ShownToolTipText();
}  // namespace kvp
