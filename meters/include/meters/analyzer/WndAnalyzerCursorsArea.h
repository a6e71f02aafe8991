// CWndAnalyzer_CursorsArea: the record analyzer's cursor read-out, shown instead of the status
// area while the time cursors are shown. It measures signals A and B at the L and R cursors (the
// values, their difference and the time between them); two spin controls set the cursors in
// samples and two buttons bring a cursor to the view position. Changes are announced as sender 17.
// GUI thread only.
#pragma once

#include <core/Notify.h>

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

class CRecorder;

class CWndAnalyzer_CursorsArea : public CXPWndBaseColor,
                                 public IAnalyzerNotify,
                                 public CRepeatCtrl::IScrollClbck,
                                 public CRepeatCtrl::IDrawClbck,
                                 public CXPCtrlBtn::IDrawClbck,
                                 public CXPCtrlBtn::IBtnClbck {
 public:
  enum { kLeftCtrl = 0, kRightCtrl = 1, kSetVisibleL = 2, kSetVisibleR = 3 };
  static constexpr COLORREF kValueColor = 0xD12905;

  explicit CWndAnalyzer_CursorsArea(CRecorder* recorder = nullptr);
  ~CWndAnalyzer_CursorsArea() override;

  void OnAnalyzerNotify(int sender, int code, int value) override;
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // Sets a control's value when it lies in its range and differs.
  static void SetValueInRange(CRepeatCtrl& control, double value);

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;

  CRecorder* m_pRecorder;
  CFont m_fntCaption;
  CFont m_fntLabel;
  CFont m_fntValue;
  CRepeatCtrl m_Ctrl[2];
  CXPCtrlBtn m_SetVisible[2];
  CPen m_penA;
  CPen m_penB;
};
