// CWndAnalyzerControlPanel: the record analyzer's transport. Six buttons move the view to the
// start, back, forward, to the end, and play backward or forward (a 100 ms timer steps the
// position by the play speed); "PlaySpeed" and "MoveStep" set the play speed and the step; the
// read-out shows the time and sample at the position and the record's totals. Moves are announced
// as sender 14. GUI thread only.
#pragma once

#include <core/Notify.h>

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

class CRecorder;

class CWndAnalyzerControlPanel : public CXPWndBaseColor,
                                 public CRepeatCtrl::IScrollClbck,
                                 public CRepeatCtrl::IDrawClbck,
                                 public CXPCtrlBtn::IDrawClbck,
                                 public CXPCtrlBtn::IBtnClbck,
                                 public IAnalyzerNotify {
 public:
  enum ButtonId { kLongBack = 2000, kBack = 2001, kPlay = 2002, kNext = 2003, kRollMode = 2004, kPlayBack = 2007 };
  enum { kPlaySpeedId = 2005, kMoveStepId = 2006 };
  enum { kButtonCount = 6, kPlayTimer = 0, kPlayPeriodMs = 100 };
  enum PlayState { kStopped = 0, kForward = 1, kBackward = 2 };

  explicit CWndAnalyzerControlPanel(CRecorder* recorder = nullptr);
  ~CWndAnalyzerControlPanel() override;

  // The button of an id (null for another id).
  CXPCtrlBtn* Button(int id);
  void OnAnalyzerNotify(int sender, int code, int value) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;

  // Starts playing in a direction, or stops when it already plays that way.
  void TogglePlay(int state);
  void StopPlaying();
  void EnableAll(BOOL enable);
  // One play-timer step.
  void PlayStep();
  int MoveStep() const;

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;
  void OnTimer(UINT_PTR id) override;

  CRecorder* m_pRecorder;
  CFont m_fntValue;
  CFont m_fntCaption;
  CXPCtrlBtn m_Buttons[kButtonCount];  // in layout order: LongBack, Back, PlayBack, Play, Next, RollMode
  CRepeatCtrl m_PlaySpeed;
  CRepeatCtrl m_MoveStep;
  CRect m_rcReadout{0, 0, 0, 0};
};
