// CPrintDlg: the small dialog a pane opens right after it put its result into the print queue as
// the pending item. Add queues the item with a comment, Print prints what was queued before,
// View shows the queue, Clear empties it, Cancel (also Escape and the close box) drops the
// pending item. Every way out leaves only queued items in the queue.
#pragma once

#include <ui/XPCtrlStaticWFont.h>
#include <ui/dialogs/OwnerDrawnDlg.h>

#include <platform/afxwin.h>

#include <functional>
#include <memory>

class CPrintQueue;

class CPrintDlg : public COwnerDrawnDlg {
 public:
  enum { ID_CANCEL = 0, ID_PRINT = 1, ID_ADD = 2, ID_VIEW = 3, ID_CLEAR = 4 };
  enum { IDB_ADD = 209, IDB_PRINT = 210 };

  // Without a parent the dialog is centred on the main window, without one on the screen.
  explicit CPrintDlg(CWnd* parent = nullptr);
  ~CPrintDlg() override;

  // What View opens; unset: the queue preview (CDlgPrintQueueView), modal over this dialog.
  std::function<void(CWnd* owner)> m_ShowPreview;

  BOOL OnInitDialog() override;
  void OnCancel() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return FillBackground(dc); }
  void OnDestroy() override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  std::unique_ptr<CXPCtrlStaticWFont> m_Title;
  std::unique_ptr<CXPCtrlStaticWFont> m_Count;
  CXPCtrlBtn m_BtnAdd;
  CXPCtrlBtn m_BtnPrint;
  CXPCtrlBtn m_BtnClear;
  CXPCtrlBtn m_BtnView;
  CFont m_BtnFont;
  CFont m_TitleFont;
  CFont m_CountFont;
  CBitmap m_PrintPicture;  // 210
  CBitmap m_AddPicture;    // 209

 private:
  void Enable(CXPCtrlBtn& button, bool enable);
  void UpdateCount();
  // Removes the last item when it is still pending.
  void DropPending();
};
