// The engine-tester pane (tab 4): a menu of drawn buttons that leads from the choice of engine
// (petrol or diesel) to one measurement and shows that measurement's panel, or turns an
// oscilloscope preset of the engine tester into a switch to the scope tab. Every measurement
// choice first stores its measurement id in the engine-tester data object and checks that the
// probes it needs are connected. The pane hosts the nine engine-tester panels (parameters,
// advance, voltage and current, dwell angle, the four kV panels, thermometer) and prints the
// values the shown panel displays. It is the target of the engine's kV refusal (WM_KVREFUSED).
// GUI thread only; the panels' workers report through their own messages.
#pragma once

#include <enginetester/WndMotortester_AdvanceMeter.h>
#include <enginetester/WndMotortester_AllCylinders.h>
#include <enginetester/WndMotortester_DwellAngleMeter.h>
#include <enginetester/WndMotortester_OneCylinder.h>
#include <enginetester/WndMotortester_OneCylinder_DblCoil.h>
#include <enginetester/WndMotortester_Params.h>
#include <enginetester/WndMotortester_SelectedCylinder.h>
#include <enginetester/WndMotortester_Thermometer.h>
#include <enginetester/WndMotortester_VoltageCurrent.h>

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

#include <kv310/Interfaces.h>

#include <functional>
#include <vector>

class CWndMotortester : public CXPWndBaseColor,
                        public IPaneWnd,
                        public CXPCtrlBtn::IDrawClbck,
                        public CXPCtrlBtn::IBtnClbck {
 public:
  // Control ids of the buttons (two windows are named "Diesel": look them up by id).
  enum Button {
    kPetrol = 0, kDiesel = 1, kAdvance = 2, kVoltCurrent = 3, kPrimary = 4, kSecondary = 5, kThermometer = 6,
    kScopePetrol = 7, kPreinjection = 8, kDieselVoltCurrent = 9, kPressure = 10, kDieselThermometer = 11,
    kScopeDiesel = 12, kScopeTurnDiesel = 13, kScopeTurnPetrol = 14, kOneCylinder = 15, kAllCylinders = 16,
    kSelectedCylinder = 17, kPrimaryVoltage = 18, kDwell = 19, kBack = 20, kParams = 21, kSet = 22,
    kReset = 23, kACDC = 24, kMinMax = 25, kZeroing = 26, kZeroMinMax = 27, kGraph = 28, kTitle = 39,
    kSubtitle = 40, kSetParamsTitle = 41, kSync = 42, kAverage = 43, kPrint = 44,
  };
  // Control ids of the panels.
  enum Panel {
    kParamsPanel = 29, kAdvancePanel = 30, kVoltCurrentPanel = 31, kDwellPanel = 32, kOneCylinderPanel = 33,
    kAllCylindersPanel = 34, kSelectedCylinderPanel = 35, kDblCoilPanel = 36, kThermometerPanel = 37,
  };
  static constexpr int kButtonCount = 35;
  static constexpr int kPanelCount = 9;
  static constexpr int kButtonIds[kButtonCount] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                   12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                                                   24, 25, 26, 27, 28, 39, 40, 41, 42, 43, 44};
  // The bits of a layout code: which buttons the bottom row holds.
  enum LayoutBits {
    kLayoutParams = 1, kLayoutReset = 2, kLayoutSet = 4, kLayoutACDC = 8, kLayoutMinMax = 16,
    kLayoutZeroing = 32, kLayoutBack = 64, kLayoutAverage = 128, kLayoutZero = 256, kLayoutSync = 512,
    kLayoutGraph = 1024, kLayoutPrint = 2048,
    // The bottom rows the pages use.
    kLayoutBackParams = kLayoutBack | kLayoutParams,
    kLayoutMeter = kLayoutBack | kLayoutPrint,
    kLayoutVoltCurrent = kLayoutACDC | kLayoutMinMax | kLayoutZeroing | kLayoutBack | kLayoutZero | kLayoutPrint,
    kLayoutHiVoltage = kLayoutBack | kLayoutAverage | kLayoutGraph | kLayoutPrint,
    kLayoutHiVoltageSync = kLayoutHiVoltage | kLayoutSync,
    kLayoutBackResetSet = kLayoutBack | kLayoutReset | kLayoutSet,
  };
  // The pages by the system's numbers; a page's measurement id is its number.
  enum Page : int {
    kPageStart = 0, kPagePetrol = 1, kPageDiesel = 2, kPageParams = 3, kPageAdvance = 4, kPageVoltCurrent = 5,
    kPagePrimary = 6, kPageSecondary = 7, kPageThermometer = 9, kPageOneCylinder = 11, kPageAllCylinders = 12,
    kPageSelectedCylinder = 13, kPageDoubleCoil = 14, kPageDwell = 16, kPagePreinjection = 17,
    kPageDieselVoltCurrent = 18, kPageDieselThermometer = 20,
  };
  enum { TIMER_SET_TITLE = 1, SET_TITLE_MS = 2000 };
  // The library's code for parameters it refuses.
  enum { PARAMS_REFUSED = 29 };

  CWndMotortester();
  ~CWndMotortester() override;

  // The probe check of a measurement id: the default runs WaitMotortesterReady. Tests script it.
  using ProbeCheck = std::function<BOOL(int measurementId)>;
  void SetProbeCheck(ProbeCheck check) { m_probeCheck = std::move(check); }
  // The modal runs of the instruction dialog (CMessageDlg over the main window) and of the probe
  // set-up dialog; their results. Tests script them.
  using ModalRun = std::function<INT_PTR()>;
  void SetInstructionDialog(ModalRun run) { m_instructionDialog = std::move(run); }
  void SetProbeSetupDialog(ModalRun run) { m_probeSetupDialog = std::move(run); }
  // The high-voltage meter the mode and synchronisation buttons use; null: the binding's.
  void SetHiVoltageMeter(IMTHiVoltage_14* meter) { m_pMeter = meter; }

  // IPaneWnd
  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  int Page() const { return m_nPage; }
  int PreviousPage() const { return m_nPreviousPage; }
  int LayoutCode() const { return m_nLayout; }
  int ReferenceProbeCode() const { return m_nReferenceCode; }
  int KeptEngineType() const { return m_nKeptEngineType; }
  CXPCtrlBtn* ButtonById(int id);
  CWnd* PanelById(int id);
  // The ids of the buttons and panels the current page shows.
  std::vector<int> PageWindows() const;
  // The caption a button draws as text ("Title" and "Subtitle" by page and settings).
  CString Caption(int id) const;

  // Hides the children the current page does not show, lays out, then shows the page's windows.
  void ShowPage();
  // Hides every button and panel.
  void HideAllPanels();
  void OnButtonClicked(int id);

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnTimer(UINT_PTR id) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  CWndMotortester_Params m_Params;
  CWndMotortester_AdvanceMeter m_Advance;
  CWndMotortester_VoltageCurrent m_VoltCurrent;
  CWndMotortester_DwellAngleMeter m_Dwell;
  CWndMotortester_OneCylinder m_OneCylinder;
  CWndMotortester_AllCylinders m_AllCylinders;
  CWndMotortester_SelectedCylinder m_SelectedCylinder;
  CWndMotortester_OneCylinder_DblCoil m_DblCoil;
  CWndMotortester_Thermometer m_Thermometer;
  CXPCtrlBtn m_Buttons[kButtonCount];
  // Normal, bold title, bold small, bold bottom row, normal small.
  CFont m_Fonts[5];

 protected:
  // Both reduced-variant flags of the board are set (the board has no oscilloscope of its own).
  virtual BOOL ReducedVariant() const;

 private:
  struct Preset {
    int measurementId, acquisitionMode, title, measureType, engineMode, pressure, plain, angle;
  };
  // A row of the page table (Motortester.cpp): what a page shows and where its buttons lead.
  struct PageEntry;
  // The page's row; null for a number that is no page.
  static const PageEntry* PageEntryOf(int page);

  void SetPage(int page, int layout);
  // Makes the page current (and the previous page) with the bottom row it opens with, and shows it.
  void OpenPage(int page);
  // Shows the parameters page over the current one; the previous page stays, for Back.
  void ShowParams();
  // Steps 1 and 2 of a measurement choice: TRUE when the measurement may go on.
  bool ChooseMeasurement(int measurementId);
  // A measurement choice that ends on its page (the page's number is the measurement id).
  void Measurement(int page);
  void RunPreset(const Preset& preset);
  // The flags and angle mode shared by the presets and "Graph"; the rate table is re-read when
  // the angle mode changes.
  void ApplyScopeFlags(int engineMode, int pressure, int plain, int angle);
  void HiVoltageMeasurement(int id);
  // The meter's mode; a refusal shows "Bad params of engine!" and opens the parameters page.
  bool SetMeterMode(int mode);
  void Graph();
  void Back();
  void Print();
  IMTHiVoltage_14* Meter() const;
  IMotortester_6* Tester() const;
  int CoilType() const;
  CWnd* MainWindow();

  int m_nPage = 0;
  int m_nPreviousPage = 0;
  int m_nLayout = 0;
  int m_nReferenceCode = 110;
  int m_nKeptEngineType = 0;
  ProbeCheck m_probeCheck;
  ModalRun m_instructionDialog;
  ModalRun m_probeSetupDialog;
  IMTHiVoltage_14* m_pMeter = nullptr;
};
