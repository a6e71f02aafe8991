// CWndVoltmeter: the voltmeter pane (role 1) and, as a second instance, the ammeter pane (role 2,
// current clamp). While active it polls the engine's meter services four times a second and shows
// the reading as a large value with its unit and AC/DC mark, an optional minimum and maximum, a
// delayed reset of those, a zero-offset adjustment (ammeter) and printing. GUI thread only; the
// engine's meter calls block it while the board answers.
#pragma once

#include <meters/PolledMeterPane.h>

#include <ui/XPCtrlBtn.h>

#include <platform/afxgdi.h>

class CMeasureEngine;
struct MeterReading;

class CWndVoltmeter : public CPolledMeterPane {
 public:
  enum { ROLE_VOLTMETER = 1, ROLE_AMMETER = 2 };
  enum { ID_TITLE = 0, ID_ACDC, ID_ONOFF, ID_ZERO, ID_CURRENT, ID_MIN, ID_MAX, ID_CALIBRATE, ID_PRINT, CHILD_COUNT };
  enum { RESET_TICKS = 4, ZERO_TICKS = 4 };

  // The engine whose meter services the pane polls (the program's engine unless a test hands one).
  explicit CWndVoltmeter(CMeasureEngine* engine = nullptr);
  ~CWndVoltmeter() override;

  // The toolkit's callbacks, by control id.
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  BOOL CreateChildren() override;
  void RecalcLayout() override;

  // One timer tick: the pending reset or zero, then a measurement and the texts.
  void Poll() override;
  LPCSTR UnitText() const { return m_nMode == ROLE_VOLTMETER ? "V" : "A"; }
  CString TitleText() const;

  int m_nMode = ROLE_VOLTMETER;  // the role
  int m_nResetCount = 0;
  int m_nZeroCount = 0;
  double m_dLastValue = 0.0;
  CString m_strMin;
  CString m_strMax;
  MeterReading* m_pReading = nullptr;
  int m_nButtonWidth = 0;
  int m_nButtonHeight = 0;
  CXPCtrlBtn m_Child[CHILD_COUNT];
  // Button, small caption, value, large value, title-size and zero-symbol fonts.
  CFont m_fntBold;
  CFont m_fntHalf;
  CFont m_fntSmall;
  CFont m_fntLarge;
  CFont m_fntCaption;
  CFont m_fntSymbol;
  CFont m_fntTitle;

 protected:
  // The role's channel selected and its probes read; the reading is let go on leaving.
  void StartReading() override;
  void StopReading() override { m_pReading = nullptr; }
  int HelpModeOnLeave() const override { return m_nMode == ROLE_VOLTMETER ? 22 : 23; }
};
