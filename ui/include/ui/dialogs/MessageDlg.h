// CMessageDlg: the engine tester's "probes not connected" message. It sizes itself from its
// parent (half the width, 1/2.5 of the height, a little above the centre), draws its title, three
// lines and an OK button itself, and its OK checks the probes again: IDOK when they are there
// now, IDCANCEL when not.
#pragma once

#include <ui/dialogs/OwnerDrawnDlg.h>

#include <platform/afxwin.h>

#include <functional>

class CMessageDlg : public COwnerDrawnDlg {
 public:
  // Whether the probes the current measurement needs are connected. The default asks the
  // engine-tester data object (WaitMotortesterReady with its help mode); tests inject answers.
  using ProbeCheck = std::function<BOOL()>;

  // Without a parent the dialog is placed on the main window, without one on the screen.
  explicit CMessageDlg(CWnd* parent = nullptr);
  ~CMessageDlg() override;

  void SetProbeCheck(ProbeCheck check) { m_ProbeCheck = std::move(check); }

  BOOL OnInitDialog() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  COLORREF m_BkColor;
  CBrush m_BkBrush;
  CFont m_BtnFont;
  CFont m_BodyFont;
  CFont m_TitleFont;
  CRect m_rcLayout;  // the client rectangle at the last layout

 private:
  // Button place and fonts from the client size.
  void Layout(const CRect& client);
  ProbeCheck m_ProbeCheck;
};
