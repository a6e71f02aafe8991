// CWndMotortester_VoltageCurrent: the engine-tester panel that shows, four times a second, the
// voltage on the board's voltage input, the current through a clamp and the engine speed, each
// with an optional minimum and maximum and an AC or DC mark. It runs the zero adjustment of the
// clamp (sounding the alarm when the clamp is not near zero) and the reset of the minimum and
// maximum when the engine-tester pane starts their countdowns, and chooses the clamp input when
// the current channel has two. GUI thread only; the library calls block it while the board
// answers.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

struct MeterReading;

class CWndMotortester_VoltageCurrent : public CXPWndBaseColor,
                                       public CXPCtrlBtn::IDrawClbck,
                                       public CXPCtrlBtn::IBtnClbck {
 public:
  enum { ID_TITLE = 0, ID_SPEED, ID_VOLTMETER, ID_AMPERMETER, ID_PROBE0, ID_PROBEB, CHILD_COUNT };
  enum { TIMER_POLL = 1, POLL_MS = 250 };
  enum { ERROR_SPEED, ERROR_VOLTAGE, ERROR_CURRENT, ERROR_COUNT };

  // What the pane prints.
  struct PrintValues {
    double voltage = 0.0, voltageMin = 0.0, voltageMax = 0.0;
    double current = 0.0, currentMin = 0.0, currentMax = 0.0;
    int polling = 0;
    int minMax = 0;  // the minimum/maximum display flag
    double speed = 0.0;
  };

  CWndMotortester_VoltageCurrent();
  ~CWndMotortester_VoltageCurrent() override;

  // Hides the input buttons; with the board ready: polling on, the data object's voltage and
  // current reading prepared, the clamp inputs read, the two channel records taken. Timer 1 in
  // either case.
  void StartVoltagePolling();
  // Stops a sound still playing, kills the timer, drops the polling state. Returns 1.
  int StopVoltagePolling();
  // The clamp inputs of the current channel: captions and codes of the first two clamps (two of
  // one range are told apart by their input, "50A (2)"). A clamp is always the selected input: the
  // only one, or of two the one chosen on an earlier visit, else the first; two show both buttons,
  // the active one pressed; none hides them. 1 done, 0 library failure (the buttons stay as they
  // were).
  int ReadVoltmeterRecords();
  // Selects the clamp of input button 0 or 1 and presses its button; false when the library
  // refuses (nothing changes).
  bool SelectClamp(int button);
  // One tick of timer 1.
  void Poll();
  PrintValues GetPrintValues() const;

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnShowWindow(BOOL show, UINT status) override;
  void OnTimer(UINT_PTR id) override;
  void OnSize(UINT type, int cx, int cy) override;

  // Set by the engine-tester pane.
  int m_bMinMax = 0;         // 1: show the minimum and maximum
  int m_nZeroCount = 0;      // ticks until the zero adjustment
  int m_nResetCount = 0;     // ticks the minimum and maximum show zero

  int m_bPolling = 0;
  MeterReading* m_pVoltage = nullptr;
  MeterReading* m_pCurrent = nullptr;
  int m_bError[ERROR_COUNT] = {};
  int m_nSoundState = -1;  // 0 or more while an alarm may still sound
  CString m_strSpeed;
  CString m_strVoltage, m_strVoltageMin, m_strVoltageMax;
  CString m_strCurrent, m_strCurrentMin, m_strCurrentMax;
  CString m_strInput[2];
  uint8_t m_nInputCode[2] = {};
  int m_nActiveInput = -1;     // the input button whose clamp is selected, -1 none
  int m_nChosenCode = -1;      // the clamp chosen last, kept over visits; -1 none
  double m_dVoltage = 0.0, m_dVoltageMin = 0.0, m_dVoltageMax = 0.0;
  double m_dCurrent = 0.0, m_dCurrentMin = 0.0, m_dCurrentMax = 0.0;
  int m_nSpeedStatus = 0;
  double m_dSpeed = 0.0;

  CXPCtrlBtn m_Child[CHILD_COUNT];
  CFont m_fntLarge;
  CFont m_fntSmall;

 private:
  void ZeroAdjust();
  void ShowInputButtons(bool show);
  // The active input's button pressed and disabled, the other released and enabled.
  void PressInputButtons();
  void DrawMeter(CDC* dc, const RECT& r, const MeterReading* reading, const CString& value, const CString& min,
                 const CString& max, LPCSTR zero);
};
