// CWndAnalyzer_Tools: the record analyzer's tools panel. Ten buttons change the horizontal zoom
// and the amplitude zoom of signals A and B, open, save and print records, and show or hide the
// time cursors; each command changes the recorder's view or calls the record files and is then
// announced as sender 13. GUI thread only.
#pragma once

#include <core/Notify.h>

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

class CRecorder;

class CWndAnalyzer_Tools : public CXPWndBaseColor,
                           public IAnalyzerNotify,
                           public CXPCtrlBtn::IDrawClbck,
                           public CXPCtrlBtn::IBtnClbck {
 public:
  enum ButtonId { kHZoomIn = 0, kHZoomOut, kAZoomIn, kAZoomOut, kBZoomIn, kBZoomOut, kOpen, kSave, kPrint, kCursors, kCount };
  static constexpr COLORREF kHeadingColor = 0xD12905;

  explicit CWndAnalyzer_Tools(CRecorder* recorder = nullptr);
  ~CWndAnalyzer_Tools() override;

  void OnAnalyzerNotify(int sender, int code, int value) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // Sets a button's enabled flag and window state and redraws it.
  void Enable(int id, BOOL enable);
  BOOL IsEnabled(int id) const { return m_Buttons[id].data.enabled; }
  // The command of a button (the click handler's work).
  void Command(int id);

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;

  CRecorder* m_pRecorder;
  CFont m_fntHeading;
  CFont m_fntSub;
  CFont m_fntButton;
  CXPCtrlBtn m_Buttons[kCount];
  CRect m_rcFonts{0, 0, 0, 0};
};
