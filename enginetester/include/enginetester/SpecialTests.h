// The special tests pane (tab 5): a menu of drawn buttons for testing single vehicle components.
// A component button stores its measurement id, checks the probes, sets an oscilloscope preset
// and switches to the scope tab; one button opens the leak check, which lives inside this pane.
// With the engine-tester board the user first chooses a petrol or diesel engine; without it a
// reduced set of pages is offered directly.
#pragma once

#include <enginetester/LeakCheck.h>

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <functional>

class CWndSpecialTests : public CXPWndBaseColor,
                         public IPaneWnd,
                         public CXPCtrlBtn::IDrawClbck,
                         public CXPCtrlBtn::IBtnClbck {
 public:
  enum Button {
    kTitle = 0, kPetrol = 1, kDiesel = 2, kStartCurrent = 3, kOxygen = 4, kInjector = 5,
    kThrottlePot1 = 11, kThrottlePot2 = 12, kPressureSensor = 13, kNeedle = 19, kLeakCheck = 20,
    kScopePetrol = 21, kScopeTurnPetrol = 22, kScopeDiesel = 23, kScopeTurnDiesel = 24, kPlainScope = 25,
    kNext = 26, kPrev = 27, kBack = 28, kLeakPanel = 29, kPrint = 30,
  };
  enum LayoutBits {
    kLayoutBack = 64, kLayoutPrint = 2048, kLayoutNext = 4096, kLayoutPrev = 8192,
    kLayoutLeakCheck = kLayoutBack | kLayoutPrint,
    kLayoutFirstTestPage = kLayoutBack | kLayoutNext,
  };
  static constexpr int kButtonIds[30] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                         15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 30};

  CWndSpecialTests();
  ~CWndSpecialTests() override;

  // The probe check and its instruction dialog: the default runs WaitMotortesterReady and, when
  // it fails, the modal CMessageDlg without a parent; true when the action may go on. Tests
  // script it.
  using ProbeCheck = std::function<bool(int measurementId)>;
  void SetProbeCheck(ProbeCheck check) { m_probeCheck = std::move(check); }

  // IPaneWnd
  void Init() override;
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  int Page() const { return m_nPage; }
  int LayoutCode() const { return m_nLayout; }
  int SavedPage() const { return m_nSavedPage; }
  bool EngineTester() const { return m_bEngineTester != 0; }
  CXPCtrlBtn* ButtonById(int id);

  // Shows the current page: hides the children the page does not show, lays out, shows the
  // page's windows.
  void ShowPage();
  void OnButtonClicked(int id);

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CWndSpecialTest_LeakCheck m_leakCheck;
  CXPCtrlBtn m_buttons[30];

 private:
  void SetPage(int page, int layout);
  bool ProbesReady(int measurementId);
  void ComponentTest(int id);
  void ScopePreset(int id);
  void PlainScope();
  void OpenLeakCheck();
  void Print();
  // Step 7 of the presets: leave angle mode and re-read the rate table.
  void LeaveAngleMode();
  void SwitchToScope(bool notify);
  // Whether the window of a button or the leak panel belongs on the current page.
  bool OnPage(int id) const;

  CFont m_largeFont, m_smallFont, m_boldFont;
  int m_bEngineTester = 0;
  int m_nPage = 0;
  int m_nLayout = 0;
  int m_nSavedPage = 0;
  int m_nKeptEngineType = 0;
  ProbeCheck m_probeCheck;
};
