// The leak check panel ("Leak Check Of Cylinders"): while the starter cranks the engine, the board
// records the starter current and the measurement library turns its peaks into one relative
// value per cylinder. The panel sets the cylinder count (without the engine-tester board), starts
// and aborts the test, runs the board's blocking read on a worker thread and draws one bar per
// cylinder. It sits on a page of the special tests pane, which prints its results.
#pragma once

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>
#include <platform/worker.h>

#include <memory>

class IMTLeakTest_15;
class ICommunication_1;
class CMeasureEngine;

namespace leakcheck {
struct Job;
// The running picture (a car with its starter) and its mask, drawn by the program: the mask is
// white where the picture is transparent; the picture is black there.
void MakePictures(CBitmap& picture, CBitmap& mask, int width, int height);
constexpr int kPictureWidth = 72;
constexpr int kPictureHeight = 44;
}  // namespace leakcheck

class CWndSpecialTest_LeakCheck : public CXPWndBaseColor,
                                  public CRepeatCtrl::IScrollClbck,
                                  public CRepeatCtrl::IDrawClbck,
                                  public CXPCtrlBtn::IDrawClbck,
                                  public CXPCtrlBtn::IBtnClbck {
 public:
  enum { kTitle = 0, kLeakButton = 1, kCylinderCount = 2 };
  enum { kBlinkTimer = 0 };
  static constexpr UINT kBlinkMs = 600;
  static constexpr DWORD kStopWaitMs = 2000;
  static constexpr int kMaxCylinders = 6;
  // How long a test holds the link: the board records 1024 samples 2.5 ms apart, and the
  // recording's reply may take the link's reply time-out (700 ms, and 800 ms more for this
  // command) after it.
  static constexpr DWORD kRecordingMs = 2560;
  static constexpr DWORD kReservationMs = kRecordingMs + 700 + 800;

  CWndSpecialTest_LeakCheck();
  ~CWndSpecialTest_LeakCheck() override;

  // The library the panel works with, and the engine whose link users wait for a running test
  // instead of ending it; by default the bound measurement library's and the process-wide engine.
  // Tests give their own.
  void SetLibrary(IMTLeakTest_15* leak, ICommunication_1* communication, CMeasureEngine* engine = nullptr);

  void StartLeakTest();
  void StopLeakTest();
  // The panel's cylinder count and the six results, for printing.
  void GetLeakResults(int* count, float* r1, float* r2, float* r3, float* r4, float* r5, float* r6);

  // The cylinder count every step uses: the data object's for its engine type with the
  // engine-tester board, else the panel's own.
  int CylinderCount() const;
  bool Running() const;
  bool ErrorShown() const { return m_bError != 0; }
  bool Blink() const { return m_bBlink != 0; }
  bool EngineTester() const { return m_bEngineTester != 0; }
  // The font of the scale's labels and of the cylinder-count label.
  CFont& ScaleFont() { return m_scaleFont; }

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;

  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnShowWindow(BOOL show, UINT status) override;
  void OnTimer(UINT_PTR id) override;

  CXPCtrlBtn m_title;
  CXPCtrlBtn m_leakButton;
  CRepeatCtrl m_cylinderCount;

 private:
  void OnLeakTestDone(int code, LPARAM generation);
  void CommandError();
  // Waits for the worker (serving sends) and closes its handle; abandons a worker that does not end.
  void JoinWorker(DWORD timeoutMs);
  void ClearResults();

  CFont m_titleFont, m_scaleFont, m_valueFont;
  CBrush m_background;
  CPen m_dashedPen;
  CBitmap m_picture, m_mask;
  IMTLeakTest_15* m_pLeak = nullptr;
  ICommunication_1* m_pCommunication = nullptr;
  CMeasureEngine* m_pEngine = nullptr;
  BYTE m_bEngineTester = 0;
  int m_nOwnCount = 4;
  int m_bError = 0;
  int m_bBlink = 1;
  int m_nLabelWidth = 0;
  // The running test: its count and results, shared with the worker; and the worker.
  std::shared_ptr<leakcheck::Job> m_job;
  kvp::Worker m_worker;
  LPARAM m_nGeneration = 0;
};
