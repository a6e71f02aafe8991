// CCommentDlg: the free-text comment of a print-queue item. The caller sets `comment` before
// DoModal and reads it after: the edited text after IDOK, the text it held before after a cancel.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPCtrlStaticWFont.h>

#include <platform/afxwin.h>
// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>

#include <memory>

class CCommentDlg : public CDialog, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  enum { ID_CANCEL = 0, ID_OK = 1 };

  // Without a parent the dialog is centred on the main window, without one on the screen.
  explicit CCommentDlg(CWnd* parent = nullptr);
  ~CCommentDlg() override;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CString comment;
  CFont m_Font;  // "Arial" 20 bold: title and buttons
  std::unique_ptr<CXPCtrlStaticWFont> m_Title;
  CXPCtrlBtn m_BtnCancel;
  CXPCtrlBtn m_BtnOK;
  CEdit m_Edit;
  HCURSOR m_hCursor = 0;
};
