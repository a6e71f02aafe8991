#include <ui/dialogs/OwnerDrawnDlg.h>

#include <ui/dialogs/DialogResources.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>

using namespace ui_dialogs;

COwnerDrawnDlg::COwnerDrawnDlg(UINT templateId, CWnd* parent, CursorQueries cursor)
    : CDialog(templateId, parent), cursor_(cursor) {
  m_hCursor = AfxGetApp() ? AfxGetApp()->LoadCursor(IDC_CLIENT_CURSOR) : 0;
}

COwnerDrawnDlg::~COwnerDrawnDlg() = default;

BOOL COwnerDrawnDlg::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (hitTest == HTCLIENT && m_hCursor) {
    ::SetCursor(m_hCursor);
    return TRUE;
  }
  if (cursor_ == CursorQueries::kEveryQuery) return TRUE;
  return CDialog::OnSetCursor(wnd, hitTest, message);
}

BOOL COwnerDrawnDlg::FillBackground(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  dc->FillSolidRect(&rc, GetSchemeColor(kSchemeBackground));
  return TRUE;
}

BOOL COwnerDrawnDlg::CreateButton(CXPCtrlBtn& button, LPCSTR name, DWORD style, const RECT& rect, UINT id) {
  button.btnClbck = this;
  button.drawClbck = this;
  return button.Create(name, style, rect, this, id);
}

void COwnerDrawnDlg::CreateOkCancel(LPCSTR cancelName, const RECT& cancel, LPCSTR okName, const RECT& ok) {
  for (CXPCtrlBtn* b : {&m_BtnCancel, &m_BtnOK}) {
    b->btnClbck = this;
    b->drawClbck = this;
  }
  m_BtnCancel.Create(cancelName, WS_CHILD | WS_VISIBLE, cancel, this, ID_CANCEL);
  m_BtnOK.Create(okName, WS_CHILD | WS_VISIBLE, ok, this, ID_OK);
}

void COwnerDrawnDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  DrawFace(dc, content, GetGlobalProps().GetText(data->id == ID_OK ? 10092 : 10087), &m_Font, TextColor());
}

void COwnerDrawnDlg::DrawFace(CDC* dc, RECT* content, LPCSTR text, CFont* font, COLORREF colour, UINT format) {
  CFont* old = dc->SelectObject(font);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc->SetTextColor(colour);
  dc->DrawText(text, -1, content, format);
  dc->SetTextColor(oldColour);
  dc->SetBkMode(oldMode);
  dc->SelectObject(old);
}

COLORREF COwnerDrawnDlg::TextColor() { return GetSchemeColor(kSchemeText); }
