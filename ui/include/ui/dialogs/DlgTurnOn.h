// CDlgTurnOn: the safety notice shown before an engine test, with a box to stop showing it. When
// the box is checked (or indeterminate) at OK, "ShowMessage" = 0 goes to the user's
// "SOFTWARE\KELO\KV310\Behaviour" key; the engine tester shows the notice only while it is not 0.
#pragma once

#include <platform/afxwin.h>
// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>

class CDlgTurnOn : public CDialog {
 public:
  static constexpr const char* kBehaviourKey = "SOFTWARE\\KELO\\KV310\\Behaviour";
  static constexpr const char* kShowMessage = "ShowMessage";

  explicit CDlgTurnOn(CWnd* parent = nullptr);

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnDestroy() override;

  CButton m_Check;  // check box 1042

 private:
  CFont m_TextFont;
  CFont m_CheckFont;
};
