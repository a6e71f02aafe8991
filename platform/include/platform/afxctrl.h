// The class library's wrappers of the standard controls (CButton, CStatic, CEdit, CListBox,
// CComboBox, CScrollBar, CProgressCtrl), dialog data exchange (CDataExchange, DDX_*, DDV_*) and
// CWaitCursor. Included by <platform/afxwin.h>.
//
// A wrapper object is a CWnd: Create makes the control, DDX_Control (or Attach / SubclassDlgItem)
// attaches the object to a dialog's control so that its virtual handlers get the control's
// messages first; the control's own handling is the default (Default(), the base class handler).
//
// Data exchange: UpdateData(FALSE) loads the controls from the members, UpdateData(TRUE) saves and
// validates them. A failed validation shows its message box, puts the focus on the control (an
// edit gets its text selected) and ends the exchange: UpdateData returns FALSE, and CDialog::OnOK
// keeps the dialog open.
#pragma once

#include <platform/controls.h>

class CWnd;

class PLATFORM_API CButton : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(LPCSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_BUTTON, caption, style, rect, parent, id);
  }
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
  // Owner-drawn buttons: called by the parent's WM_DRAWITEM when it does not draw the item itself.
  virtual void DrawItem(LPDRAWITEMSTRUCT dis);
};

class PLATFORM_API CStatic : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) {
    return CWnd::Create(WC_STATIC, text, style, rect, parent, id);
  }
  HICON SetIcon(HICON icon) { return static_cast<HICON>(SendMessage(STM_SETICON, static_cast<WPARAM>(icon))); }
  HICON GetIcon() const { return static_cast<HICON>(SendMessage(STM_GETICON)); }
};

class PLATFORM_API CEdit : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_EDIT, "", style, rect, parent, id);
  }
  void SetLimitText(UINT max) { SendMessage(EM_LIMITTEXT, max); }
  void LimitText(int max = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(max)); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& start, int& end) const {
    DWORD s = 0, e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
  }
  void ReplaceSel(LPCSTR text, BOOL canUndo = FALSE) {
    (void)canUndo;
    SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
  }
  int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
  int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
};

class PLATFORM_API CListBox : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTBOX, "", style, rect, parent, id);
  }
  int AddString(LPCSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCSTR text) {
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetText(int index, LPSTR buffer) const {
    return static_cast<int>(SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
  }
  void GetText(int index, CString& text) const;
  int GetTextLen(int index) const { return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index))); }
  DWORD_PTR GetItemData(int index) const {
    return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)));
  }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
  int SetTopIndex(int index) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index))); }
  int FindString(int startAfter, LPCSTR text) const {
    return static_cast<int>(SendMessage(LB_FINDSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
  }
  int FindStringExact(int startAfter, LPCSTR text) const {
    return static_cast<int>(
        SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
  }
};

class PLATFORM_API CComboBox : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_COMBOBOX, "", style, rect, parent, id);
  }
  int AddString(LPCSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCSTR text) {
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetLBText(int index, LPSTR buffer) const {
    return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
  }
  void GetLBText(int index, CString& text) const;
  int GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
  DWORD_PTR GetItemData(int index) const {
    return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
  }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int FindStringExact(int startAfter, LPCSTR text) const {
    return static_cast<int>(
        SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
  }
  int SelectString(int startAfter, LPCSTR text) {
    return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
  }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, show); }
  BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
  BOOL LimitText(int max) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(max))); }
};

class PLATFORM_API CProgressCtrl : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(PROGRESS_CLASS, "", style, rect, parent, id);
  }
  void SetRange(short lower, short upper) {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
  }
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
  void GetRange(int& lower, int& upper) const {
    lower = static_cast<int>(SendMessage(PBM_GETRANGE, TRUE));
    upper = static_cast<int>(SendMessage(PBM_GETRANGE, FALSE));
  }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
  int OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
  int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

// ------------------------------------------------------------------------------------------------
// Dialog data exchange

class PLATFORM_API CDataExchange {
 public:
  CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlgWnd) {}
  BOOL m_bSaveAndValidate;  // TRUE: controls to members (and validate)
  CWnd* m_pDlgWnd;

  // The control of the exchange that follows (validations refer to it); 0 when missing.
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Ends the exchange as failed: the last prepared control gets the focus (an edit has its text
  // selected); the remaining exchanges do nothing.
  void Fail();
  bool Failed() const { return m_failed; }
  HWND LastControl() const { return m_lastControl; }

 private:
  HWND m_lastControl = 0;
  bool m_lastIsEdit = false;
  bool m_failed = false;
};

PLATFORM_API void DDX_Text(CDataExchange* dx, int id, CString& value);
PLATFORM_API void DDX_Text(CDataExchange* dx, int id, int& value);
PLATFORM_API void DDX_Text(CDataExchange* dx, int id, UINT& value);
PLATFORM_API void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked radio button of the group that starts at id (-1: none).
PLATFORM_API void DDX_Radio(CDataExchange* dx, int id, int& value);
PLATFORM_API void DDX_CBIndex(CDataExchange* dx, int id, int& index);
PLATFORM_API void DDX_LBIndex(CDataExchange* dx, int id, int& index);
// Attaches the object to the dialog's control (once).
PLATFORM_API void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Loading sets the edit's limit; saving refuses a longer text with the box
// "Please enter no more than %d characters.".
PLATFORM_API void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars);
PLATFORM_API void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);

// ------------------------------------------------------------------------------------------------

// The wait cursor for the object's life (nestable, any thread).
class PLATFORM_API CWaitCursor {
 public:
  CWaitCursor() { kvp::BeginWaitCursorHold(); }
  ~CWaitCursor() { kvp::EndWaitCursorHold(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore() {}
};
