// CPanelFaces: how the control panel's controls look. It draws the spinners' value boxes and
// captions and the buttons' faces (texts, the trigger-edge symbol, the file and dock symbols, the
// blinking record dot) in the fonts the panel's layout made, and says which text each face and
// value box shows. The panel hands it to its spinners and buttons as their draw callback.
//
// It reads the controls' values, the range texts, the probe names and the fonts through its
// IOwner, the panel that owns it; it changes nothing. Everything runs on the GUI thread.
#pragma once

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>

#include <platform/afx.h>
#include <platform/afxgdi.h>

namespace scope {

class CPanelFaces : public CRepeatCtrl::IDrawClbck, public CXPCtrlBtn::IDrawClbck {
 public:
  // What the faces read of the panel that owns them; controls are named by their ids
  // (PanelControlIds.h).
  class IOwner {
   public:
    // A button's value; 0 for an id that is no button.
    virtual int ButtonValue(int id) const = 0;
    // A spinner's option record; null for an id that is no spinner.
    virtual const NumericOptionRecord* SpinnerRecord(int id) const = 0;
    // The engine-tester path shows the selected probe's name on a channel's on/off button.
    virtual bool EngineTesterPath() const = 0;
    virtual CString GetProbeName(int channel) const = 0;
    // The texts of the channel's volts-per-division range and of the time base, by index.
    virtual const CStringArray& RangeTexts(int channel) const = 0;
    virtual const CStringArray& TimeTexts() const = 0;
    // The fonts the layout made for the panel's size: 1 captions and faces, 2 the small buttons,
    // 3 the position labels, 4 the value boxes.
    virtual CFont& Font(int index) = 0;
    // The record button's blink: 0 shows the dot.
    virtual int GetBlinkPhase() const = 0;

   protected:
    ~IOwner() = default;
  };

  explicit CPanelFaces(IOwner& owner) : m_Owner(owner) {}
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
  IOwner& m_Owner;
  CPen m_boxPen;
  CBrush m_boxBrush;
  CBrush m_boxDisabledBrush;
};

}  // namespace scope
