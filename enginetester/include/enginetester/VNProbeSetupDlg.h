// CVNProbeSetupDlg: the modal dialog in which the engine-tester board finds the polarity of the
// four high-voltage probes. A worker thread runs the board's blocking measurement while the
// dialog blinks "Taking polarity"; then the dialog ends by itself (found), offers manual
// configuration ("Next", automatic set-up not possible) or shows what to check and "Repeat"
// (failed). "Next" turns the automatic polarity detection of the kV panels on, a found polarity
// turns it off.
//
// Threads: the worker shares only a small state block with the dialog; it never touches the
// dialog, and its result is dropped when the dialog has ended before the board answered.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/dialogs/OwnerDrawnDlg.h>

#include <platform/afxwin.h>
#include <platform/worker.h>

#include <atomic>
#include <memory>

class CVNProbeSetupDlg : public COwnerDrawnDlg {
 public:
  enum { IDD = 180 };
  enum { STATE_TAKING = 0, STATE_FAILED = 2, STATE_NOT_POSSIBLE = 3, STATE_DONE = 4 };
  enum { ID_NEXT = 0, ID_EXIT = 1, ID_REPEAT = 2, BUTTONS = 3 };
  enum { TIMER_BLINK = 0, BLINK_MS = 500 };
  // The board's answer when it cannot find the polarity by itself.
  enum { RESULT_NOT_POSSIBLE = 33 };

  explicit CVNProbeSetupDlg(CWnd* parent = nullptr);
  ~CVNProbeSetupDlg() override;

  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  int GetState() const { return m_pShared->state.load(); }
  int GetBlink() const { return m_nBlink; }
  CXPCtrlBtn& Button(int id) { return m_Btn[id]; }
  // Workers still inside the board call, over every dialog (they outlive their dialog).
  static int RunningWorkers();

 private:
  // What the dialog and its worker share: the state, and whether the dialog is still there.
  struct Shared {
    std::atomic<int> state{STATE_TAKING};
    std::atomic<bool> ended{false};
  };

  void StartWorker();
  void UpdateButtons();
  void Layout(const CRect& client);
  void DrawProbes(CDC* dc, const CRect& client);

  std::shared_ptr<Shared> m_pShared;
  // The board call's thread; let go of, never waited for, when the dialog ends or repeats.
  kvp::Worker m_worker;
  CXPCtrlBtn m_Btn[BUTTONS];
  COLORREF m_crBack;
  CBrush m_brBack;
  CFont m_fntButton;
  CFont m_fntBody;
  CFont m_fntTitle;
  CRect m_rcLayout;
  int m_nBlink = 0;
};
