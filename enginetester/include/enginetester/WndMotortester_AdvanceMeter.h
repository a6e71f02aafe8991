// CWndMotortester_AdvanceMeter: the ignition advance panel (preinjection in diesel mode) with
// engine speed and oil temperature. While shown it reads the advance meter every 250 ms; until
// the speed sensor is found it only looks for it. Three probe buttons choose the advance probe
// (semiconductor, stroboscope, inductive clamp); the probe's own button freezes the values, which
// are then drawn in red. GUI thread only; the meter calls block it while the board answers.
#pragma once

#include <enginetester/MotortesterPolledPanel.h>

#include <core/MotortesterReaders.h>
#include <core/ProbeKind.h>

class CWndMotortester_AdvanceMeter : public CMotortesterPolledPanel {
 public:
  // The probe buttons and the kinds they select.
  enum { ID_SEMICONDUCT = 4, ID_STROBO = 5, ID_INDUCT = 6, PROBE_BUTTONS = 3 };
  enum {
    KIND_SEMICONDUCT = probekind::kSemiconductor,
    KIND_STROBO = probekind::kStroboscope,
    KIND_INDUCT = probekind::kInductive
  };

  CWndMotortester_AdvanceMeter();

  // The meter and the link to use instead of the library binding's (tests).
  void SetInterfaces(IMTAdvancemeter_11* meter, ICommunication_1* communication) {
    m_pMeter = meter;
    m_pCommunication = communication;
    m_bInterfacesGiven = true;
  }
  IMTAdvancemeter_11* Meter() const;
  ~CWndMotortester_AdvanceMeter() override;

  // Petrol (FALSE, ignition advance) or diesel (TRUE, preinjection); set by the pane.
  void SetDieselMode(BOOL diesel);
  BOOL IsDieselMode() const { return m_bDiesel; }

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void StartPolling() override;
  void StopPolling() override;
  void OnReadTimer(UINT_PTR id) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // One 250 ms tick.
  void Tick();
  // Selects the advance probe of a button id (4, 5, 6); nothing when the board is not ready or
  // refuses the kind.
  void SelectProbe(int buttonId);

  int GetSelectedKind() const { return m_Reader.GetSelectedKind(); }
  BOOL IsHeld() const { return m_bHold; }
  BOOL IsSpeedSensorFound() const { return m_bSpeedSensorFound; }
  CXPCtrlBtn& ProbeButton(int id) { return m_Probe[id - ID_SEMICONDUCT]; }
  CString TitleText() const override;
  CString LabelText(int id) const override;
  COLORREF ValueColor() const override { return m_bHold ? RGB(255, 0, 0) : RGB(0, 0, 0); }

 protected:
  int ReservedBottom() const override;

 private:
  IMTAdvancemeter_11* m_pMeter = nullptr;
  void EnableProbeButtons(int selectedKind);
  void DrawPictogram(CDC* dc, const CRect& rc, int id, bool enabled);

  CAdvanceReader m_Reader;
  BOOL m_bDiesel = FALSE;
  BOOL m_bHold = FALSE;
  BOOL m_bSpeedSensorFound = FALSE;
  CXPCtrlBtn m_Probe[PROBE_BUTTONS];
};
