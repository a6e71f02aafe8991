// CWndOhmeter: the ohmmeter pane with three modes (resistance on the automatic range, continuity
// with a beeper, the diode test), a zero adjustment and printing. While active it polls the
// engine's meter services four times a second. GUI thread only.
#pragma once

#include <meters/PolledMeterPane.h>

#include <ui/XPCtrlBtn.h>

#include <platform/afxgdi.h>

class CMeasureEngine;

class CWndOhmeter : public CPolledMeterPane {
 public:
  // ID_OHM, ID_CONDUC and ID_DIODE equal CMeasureEngine::OHM_AUTO, OHM_FIXED and OHM_DIODE.
  enum { ID_OHM = 0, ID_CONDUC, ID_DIODE, ID_ZERO, ID_CURRENT, ID_TITLE, ID_PRINT, CHILD_COUNT };
  enum { ZERO_TICKS = 2 };
  static constexpr double kZeroLimit = 5.0;  // ohms the raw value may be off zero to be zeroed

  explicit CWndOhmeter(CMeasureEngine* engine = nullptr);
  ~CWndOhmeter() override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  BOOL CreateChildren() override;
  void RecalcLayout() override;

  // One timer tick: the pending zero, a measurement, the value text and the beeper.
  void Poll() override;

  int m_nZeroCount = 0;
  int m_nTone = -1;  // the beeper's looping tone, -1 silent
  CXPCtrlBtn m_Child[CHILD_COUNT];
  // The ten fonts: made on creation, all but the large symbol and the title rebuilt per layout.
  enum {
    FONT_TEXT = 0,      // Arial: button captions and status texts
    FONT_SYMBOL_SMALL,  // Symbol bold
    FONT_ZERO,          // Symbol bold: the "0" of Zero
    FONT_SYMBOL_MID,    // Symbol bold
    FONT_OHM_BUTTON,    // Symbol: the ohm sign of the Ohm button
    FONT_SYMBOL_LARGE,  // Symbol
    FONT_OHM_VALUE,     // Symbol bold: the ohm sign after the value
    FONT_VALUE,         // Arial bold: the resistance
    FONT_DIODE,         // Arial bold: the diode voltage
    FONT_TITLE,         // Arial: the title
    FONT_COUNT
  };
  CFont m_Fonts[FONT_COUNT];

 protected:
  // The ranges read on activation; the beeper silenced on leaving.
  void StartReading() override;
  void StopReading() override;
  int HelpModeOnLeave() const override { return 24; }
};
