// CWndMotortester_Params: the engine parameter panel of the engine-tester pane. Ten repeat
// controls edit the parameter set of the current engine type (spark or diesel) in the engine-
// tester data object, each wrapping round at its ends; four switches toggle the polarity of the
// high-voltage probes. The pane sends and saves the block ("WndSet") or reloads it ("WndCancel",
// then Reload here). GUI thread only.
#pragma once

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

class CWndMotortester_Params : public CXPWndBaseColor,
                               public CRepeatCtrl::IScrollClbck,
                               public CRepeatCtrl::IDrawClbck,
                               public CXPCtrlBtn::IDrawClbck,
                               public CXPCtrlBtn::IBtnClbck {
 public:
  // Control ids. Two controls share the window name "ComparativeLevel": look them up by id.
  enum {
    ID_CYLINDERS = 0,
    ID_MARKS = 1,
    ID_MARK_SHIFT = 2,
    ID_STROKE = 3,
    ID_SENSITIVITY = 4,
    ID_COMPARATIVE = 5,
    ID_SPEED_SENSOR = 6,
    ID_PRESSURE_SENSOR = 7,
    ID_COIL_TYPE = 8,
    ID_TITLE = 10,
    ID_SUBTITLE = 11,
    ID_SWITCH1 = 12,
    ID_CONFIGURE_PROBES = 16,
  };
  static constexpr int CONTROLS = 10;
  static constexpr int SWITCHES = 4;

  CWndMotortester_Params();
  ~CWndMotortester_Params() override;

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;
  void OnShowWindow(BOOL show, UINT status) override;

  // A repeat control changed: wrap, store for the current engine type, redraw.
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  // The repeat controls' value fields and the buttons' faces.
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  // A polarity switch.
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // Reads the current set from the library, then loads the controls for the engine type.
  void LoadFromLibrary();
  // The data object's values into the controls, each only when it lies strictly inside its
  // control's range; then visibility and the switches.
  void Reload();

  CRepeatCtrl* Control(int id);
  CXPCtrlBtn& Switch(int probe) { return m_Switch[probe - 1]; }
  // Spark engine, coil type 1 and the probe setup done: the polarity switches are shown.
  bool PolarityBoxShown() const;
  // The value text a control shows.
  CString ValueText(int id, int value) const;

 private:
  int IndexOf(int id) const;
  void LoadRecord(int id, int value);
  void UpdateVisibility();
  void Store(int id, int value);

  CRepeatCtrl m_Ctrl[CONTROLS];
  CXPCtrlBtn m_Title;
  CXPCtrlBtn m_SubTitle;
  CXPCtrlBtn m_Switch[SWITCHES];
  CFont m_fntLarge;
  CFont m_fntTitle;  // the large font, smaller where the title would not fit its button
  CFont m_fntSmall;
  CFont m_fntMedium;
  CPen m_Pen;
  CBrush m_brFace;
  CBrush m_brControl;
  CBrush m_brDark;
  CRect m_rcPolarity;
};
