// The class library's control wrappers and dialog data exchange.
#include "window/WindowSystem.h"

#include <platform/afxwin.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

void CListBox::GetText(int index, CString& text) const {
  const int n = GetTextLen(index);
  if (n < 0) {
    text.Empty();
    return;
  }
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  GetText(index, buffer.data());
  text = CString(buffer.data());
}

void CComboBox::GetLBText(int index, CString& text) const {
  const int n = GetLBTextLen(index);
  if (n < 0) {
    text.Empty();
    return;
  }
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  GetLBText(index, buffer.data());
  text = CString(buffer.data());
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  HWND item = ::GetDlgItem(m_hWnd, id);
  text.Empty();
  if (!item) return 0;
  const int n = ::GetWindowTextLength(item);
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  ::GetWindowText(item, buffer.data(), n + 1);
  text = CString(buffer.data());
  return text.GetLength();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  HWND item = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : 0;
  return item ? Attach(item) : FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return dx.Failed() ? FALSE : TRUE;
}

// ------------------------------------------------------------------------------------------------

HWND CDataExchange::PrepareCtrl(int id) {
  m_lastControl = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, id) : 0;
  m_lastIsEdit = false;
  return m_lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND h = PrepareCtrl(id);
  m_lastIsEdit = true;
  return h;
}

void CDataExchange::Fail() {
  m_failed = true;
  if (!m_bSaveAndValidate || !m_lastControl || !::IsWindow(m_lastControl)) return;
  ::SetFocus(m_lastControl);
  if (m_lastIsEdit) ::SendMessage(m_lastControl, EM_SETSEL, 0, -1);
}

namespace {
CString TextOf(HWND h) {
  const int n = ::GetWindowTextLength(h);
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  ::GetWindowText(h, buffer.data(), n + 1);
  return CString(buffer.data());
}

void Refuse(CDataExchange* dx, LPCSTR text) {
  AfxMessageBox(text, MB_ICONEXCLAMATION);
  dx->Fail();
}
}  // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareEditCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    value = TextOf(h);
  } else {
    ::SetWindowText(h, value);
  }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareEditCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    CString text = TextOf(h);
    text.Trim();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (text.IsEmpty() || *end || errno || v < -2147483647L - 1 || v > 2147483647L) {
      Refuse(dx, "Please enter an integer.");
      return;
    }
    value = static_cast<int>(v);
  } else {
    CString text;
    text.Format("%d", value);
    ::SetWindowText(h, text);
  }
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareEditCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    CString text = TextOf(h);
    text.Trim();
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 10);
    if (text.IsEmpty() || text[0] == '-' || *end || errno || v > 0xFFFFFFFFul) {
      Refuse(dx, "Please enter a positive integer.");
      return;
    }
    value = static_cast<UINT>(v);
  } else {
    CString text;
    text.Format("%u", value);
    ::SetWindowText(h, text);
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    value = static_cast<int>(::SendMessage(h, BM_GETCHECK, 0, 0));
  } else {
    ::SendMessage(h, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  if (dx->Failed()) return;
  HWND first = dx->PrepareCtrl(id);
  if (!first) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (HWND h = first; h; h = ::GetWindow(h, GW_HWNDNEXT), ++index) {
    if (h != first && (::GetWindowLong(h, GWL_STYLE) & WS_GROUP)) break;
    const DWORD type = static_cast<DWORD>(::GetWindowLong(h, GWL_STYLE)) & BS_TYPEMASK;
    if (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON) continue;
    if (dx->m_bSaveAndValidate) {
      if (::SendMessage(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessage(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    index = static_cast<int>(::SendMessage(h, CB_GETCURSEL, 0, 0));
  } else {
    ::SendMessage(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate) {
    index = static_cast<int>(::SendMessage(h, LB_GETCURSEL, 0, 0));
  } else {
    ::SendMessage(h, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (dx->Failed()) return;
  HWND h = dx->PrepareCtrl(id);
  if (!h || control.m_hWnd) return;
  control.Attach(h);
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars) {
  if (dx->Failed()) return;
  if (!dx->m_bSaveAndValidate) {
    // The limit goes to the edit that the exchange before prepared.
    if (HWND h = dx->LastControl()) ::SendMessage(h, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    return;
  }
  if (value.GetLength() > maxChars) {
    CString text;
    text.Format("Please enter no more than %d characters.", maxChars);
    Refuse(dx, text);
  }
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
  if (dx->Failed() || !dx->m_bSaveAndValidate) return;
  if (value < minValue || value > maxValue) {
    CString text;
    text.Format("Please enter an integer between %d and %d.", minValue, maxValue);
    Refuse(dx, text);
  }
}
