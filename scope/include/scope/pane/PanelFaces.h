// CPanelFaces: how the control panel's controls look. It draws the spinners' value boxes and
// captions and the buttons' faces (texts, the trigger-edge symbol, the file and dock symbols, the
// blinking record dot) in the fonts the panel's layout made, and says which text each face and
// value box shows. The panel hands it to its spinners and buttons as their draw callback.
//
// It belongs to one CWndOsc_ControlPanel and reads the controls' values, the range texts and the
// probe names from it; it changes nothing. Everything runs on the GUI thread.
#pragma once

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>

#include <platform/afxgdi.h>

class CWndOsc_ControlPanel;

namespace scope {

class CPanelFaces : public CRepeatCtrl::IDrawClbck, public CXPCtrlBtn::IDrawClbck {
 public:
  explicit CPanelFaces(CWndOsc_ControlPanel& panel) : m_Panel(panel) {}
  CPanelFaces(const CPanelFaces&) = delete;
  CPanelFaces& operator=(const CPanelFaces&) = delete;

  // The trigger source's channel colour.
  static COLORREF TriggerColour();
  // The text a button face shows (lines separated by '\n'); empty for drawn symbols.
  CString FaceText(int id) const;
  // The value text and caption of a spinner.
  CString SpinnerText(int id) const;
  static const char* SpinnerCaption(int id);

  // A spinner's value box and caption.
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;
  // A button's face.
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;

 private:
  CWndOsc_ControlPanel& m_Panel;
  CPen m_boxPen;
  CBrush m_boxBrush;
  CBrush m_boxDisabledBrush;
};

}  // namespace scope
