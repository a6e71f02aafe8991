// CCommentDlg: the free-text comment of a print-queue item. The caller sets `comment` before
// DoModal and reads it after: the edited text after IDOK, the text it held before after a cancel.
#pragma once

#include <ui/XPCtrlStaticWFont.h>
#include <ui/dialogs/OwnerDrawnDlg.h>

#include <platform/afxwin.h>
// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>

#include <memory>

class CCommentDlg : public COwnerDrawnDlg {
 public:
  // Without a parent the dialog is centred on the main window, without one on the screen.
  explicit CCommentDlg(CWnd* parent = nullptr);
  ~CCommentDlg() override;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnEraseBkgnd(CDC* dc) override { return FillBackground(dc); }

  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CString comment;
  // m_Font: "Arial" 20 bold, title and buttons.
  std::unique_ptr<CXPCtrlStaticWFont> m_Title;
  CEdit m_Edit;
};
