// CDialog: modal and modeless dialogs, and the modal state every modal window shares.
#include "window/WindowSystem.h"

#include <platform/afxwin.h>
#include <platform/dialogtemplate.h>

namespace kvp::win {

HWND FirstTabStop(HWND dialog);
HWND BuildDialog(const kvp::DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM init, CWnd* object,
                 bool* focusFirst);

bool BeginModal(HWND owner) {
  // Whatever the mouse was doing ends when a modal window opens.
  CancelMode();
  if (owner && IsWindow(owner) && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    return true;
  }
  return false;
}

void EndModal(HWND owner, bool reenable) {
  if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
}

}  // namespace kvp::win

using namespace kvp::win;

CDialog::CDialog() = default;
CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
CDialog::CDialog(LPCSTR templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {}

HWND CDialog::PreModal() {
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : 0;
  if (!parent) {
    // A dialog without a parent belongs to the application's main window (not to itself).
    CWnd* main = AfxGetMainWnd();
    if (main && main != this) parent = main->m_hWnd;
  }
  return parent ? TopLevelOf(parent) : 0;
}

BOOL CDialog::CreateDialogWindow(HWND owner) {
  LPCSTR name = m_lpszTemplateName ? m_lpszTemplateName : MAKEINTRESOURCE(m_nIDTemplate);
  if (const kvp::DialogTemplate* t = (m_lpszTemplateName || m_nIDTemplate)
                                         ? kvp::FindDialogTemplate(AfxGetResourceHandle(), name)
                                         : nullptr) {
    // A template dialog: a modal one is a hidden popup until DoModal shows it.
    kvp::DialogTemplate shape = *t;
    if (m_bModal) shape.style &= ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
    return BuildDialog(shape, owner, nullptr, 0, this, nullptr) != 0;
  }
  DWORD style = m_dwStyle & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
  if (!CreateEx(m_dwExStyle, m_strClassName, m_strCaption, style, m_rcDialog.left, m_rcDialog.top,
                m_rcDialog.Width(), m_rcDialog.Height(), owner, 0, nullptr)) {
    return FALSE;
  }
  HWND first = FirstTabStop(m_hWnd);
  BOOL focusDefault = static_cast<BOOL>(SendMessage(WM_INITDIALOG, static_cast<WPARAM>(first), 0));
  if (!m_hWnd) return FALSE;
  if (focusDefault) {
    // The focus goes there when the dialog is activated.
    Lock lock(Sys().mu);
    if (auto w = Get(m_hWnd)) w->lastFocus = first;
  }
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  HWND owner = PreModal();
  bool reenable = BeginModal(owner);
  m_bModal = true;
  m_bEnded = false;
  m_nModalResult = -1;
  HWND focusBefore = ::GetFocus();
  if (CreateDialogWindow(owner)) {
    if (!m_bEnded && m_hWnd) {
      ShowWindow(SW_SHOW);
      if (RunModalLoop(m_hWnd, [this] { return m_bEnded || !m_hWnd; }) == ModalEnd::QuitRequest) {
        m_nModalResult = IDCANCEL;
        m_bEnded = true;
      }
    }
  }
  m_bModal = false;
  // The owner is enabled again before the dialog goes, so it takes the activation back.
  EndModal(owner, reenable);
  if (m_hWnd) ShowWindow(SW_HIDE);
  if (owner && ::IsWindow(owner)) ::SetActiveWindow(owner);
  if (focusBefore && ::IsWindow(focusBefore) && owner && ::IsChild(owner, focusBefore)) ::SetFocus(focusBefore);
  DestroyWindow();
  return m_nModalResult;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
  if (!m_hWnd) return;
  if (m_bModal) {
    PostMessage(WM_NULL);  // lets the modal loop see the end even when woken by a send
  } else {
    ShowWindow(SW_HIDE);
  }
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  m_pParentWnd = parent;
  HWND owner = parent ? parent->m_hWnd : 0;
  if (!CreateDialogWindow(owner)) return FALSE;
  if (m_dwStyle & WS_VISIBLE) ShowWindow(SW_SHOW);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;  // the failed validation told the user; the dialog stays
  EndDialog(IDOK);
}

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (!control) return;
  ::SetFocus(control->m_hWnd);
  if (::SendMessage(control->m_hWnd, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessage(control->m_hWnd, EM_SETSEL, 0, -1);
}

void CDialog::NextDlgCtrl() const {
  HWND next = ::GetNextDlgTabItem(m_hWnd, ::GetFocus(), FALSE);
  if (next) ::SetFocus(next);
}

void CDialog::PrevDlgCtrl() const {
  HWND prev = ::GetNextDlgTabItem(m_hWnd, ::GetFocus(), TRUE);
  if (prev) ::SetFocus(prev);
}
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    default: return CWnd::OnCommand(wParam, lParam);
  }
}
