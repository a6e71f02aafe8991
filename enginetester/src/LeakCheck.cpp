#include <enginetester/LeakCheck.h>

#include <ui/dialogs/DlgTurnOn.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/ProbeKind.h>
#include <core/Reg.h>
#include <core/TextIds.h>

#include <kv310/Kv310.h>

#include <platform/dcscope.h>
#include <platform/window.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace leakcheck {

// One test: what the worker needs, shared with the panel so that neither outlives the other's
// data. The results are published under the lock, never while a library call runs.
struct Job {
  std::mutex mu;
  float results[CWndSpecialTest_LeakCheck::kMaxCylinders] = {};
  int running = 0;
  int count = 0;  // checked once at the start; the worker, the results and the drawing use it
  HWND panel = 0;
  LPARAM generation = 0;
  IMTLeakTest_15* leak = nullptr;
  ICommunication_1* communication = nullptr;
  // The start and the read are one request: the link stays reserved until the read is done.
  CMeasureEngine* engine = nullptr;
  unsigned reservation = 0;
  std::atomic<bool> abandoned{false};
};

namespace {

// A worker's whole life: start the test, wait for the board or the stop, read and publish the
// results; the report to post to the panel.
kvp::WorkerDone RunLeakTest(const std::shared_ptr<Job>& job, HANDLE stop) {

  float measured[CWndSpecialTest_LeakCheck::kMaxCylinders] = {};
  int code = kv310::kOk;
  HANDLE idle = job->communication ? job->communication->GetIdleEvent() : 0;
  if (!idle) {
    code = kv310::kNoData;  // no link to wait on: an error, not a finished test
  } else if ((code = job->leak->Start()) == kv310::kOk) {
    const HANDLE waits[2] = {idle, stop};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) {
      code = job->leak->Read(static_cast<uint8_t>(job->count), measured);
      if (code != kv310::kOk) std::fill(std::begin(measured), std::end(measured), 0.0f);
    } else if (woke != WAIT_OBJECT_0 + 1) {
      code = kv310::kNoData;
    }  // the stop event: the user aborted, zero results and code 0
  }
  {
    std::lock_guard<std::mutex> lock(job->mu);
    for (int i = 0; i < job->count; ++i)
      job->results[i] = code == kv310::kOk ? std::min(measured[i], 100.0f) : 0.0f;
  }
  // The test is over whichever way it ended, so the link is free again. A worker given up has had
  // its reservation released by the panel already; the token makes this second release a no-op
  // (and one made after a newer reservation leaves that one standing).
  job->engine->ReleaseLink(job->reservation);
  if (job->abandoned.load()) return {};
  return {job->panel, WM_LEAKTEST_DONE, static_cast<WPARAM>(code), job->generation};
}

}  // namespace

void MakePictures(CBitmap& picture, CBitmap& mask, int w, int h) {
  CDC screen;
  screen.Attach(::CreateCompatibleDC(0));
  picture.CreateCompatibleBitmap(&screen, w, h);
  mask.CreateCompatibleBitmap(&screen, w, h);
  CDC dc;
  dc.Attach(::CreateCompatibleDC(0));

  // The shapes, drawn twice: in colour on black for the picture, in black on white for the mask.
  auto shapes = [&](bool forMask) {
    auto brush = [&](COLORREF c) {
      CBrush* b = new CBrush;
      b->CreateSolidBrush(forMask ? RGB(0, 0, 0) : c);
      return b;
    };
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, forMask ? RGB(0, 0, 0) : RGB(20, 20, 20));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* body = brush(RGB(200, 40, 40));
    CBrush* glass = brush(RGB(170, 210, 240));
    CBrush* tyre = brush(RGB(30, 30, 30));
    CBrush* rim = brush(RGB(190, 190, 190));
    CBrush* bolt = brush(RGB(255, 210, 0));
    CBrush* old = dc.SelectObject(body);
    // Body and cabin.
    const POINT car[] = {{2, h * 22 / 44},  {w * 14 / 72, h * 20 / 44}, {w * 22 / 72, h * 10 / 44},
                         {w * 46 / 72, h * 10 / 44}, {w * 56 / 72, h * 20 / 44}, {w - 3, h * 22 / 44},
                         {w - 3, h * 33 / 44}, {2, h * 33 / 44}};
    dc.Polygon(car, 8);
    dc.SelectObject(glass);
    dc.Rectangle(w * 24 / 72, h * 13 / 44, w * 34 / 72, h * 20 / 44);
    dc.Rectangle(w * 36 / 72, h * 13 / 44, w * 46 / 72, h * 20 / 44);
    // Wheels.
    const int r = h * 7 / 44;
    for (int cx : {w * 16 / 72, w * 56 / 72}) {
      dc.SelectObject(tyre);
      dc.Ellipse(cx - r, h * 33 / 44 - r, cx + r, h * 33 / 44 + r);
      dc.SelectObject(rim);
      dc.Ellipse(cx - r / 2, h * 33 / 44 - r / 2, cx + r / 2, h * 33 / 44 + r / 2);
    }
    // The starter's current: a lightning bolt over the bonnet.
    dc.SelectObject(bolt);
    const POINT flash[] = {{w * 60 / 72, 1}, {w * 52 / 72, h * 10 / 44}, {w * 58 / 72, h * 10 / 44},
                           {w * 54 / 72, h * 19 / 44}, {w * 66 / 72, h * 7 / 44}, {w * 60 / 72, h * 7 / 44},
                           {w * 66 / 72, 1}};
    dc.Polygon(flash, 7);
    dc.SelectObject(old);
    dc.SelectObject(oldPen);
    for (CBrush* b : {body, glass, tyre, rim, bolt}) delete b;
  };

  kvp::DcSelect selectBitmap(&dc, &picture);
  dc.FillSolidRect(0, 0, w, h, RGB(0, 0, 0));
  shapes(false);
  dc.SelectObject(&mask);
  dc.FillSolidRect(0, 0, w, h, RGB(255, 255, 255));
  shapes(true);
}

}  // namespace leakcheck

using leakcheck::Job;

CWndSpecialTest_LeakCheck::CWndSpecialTest_LeakCheck() {
  const CKelo_DLL& dll = GetKeloDll();
  m_pLeak = dll.MTLeakTest();
  m_pCommunication = dll.Communication();
  m_bEngineTester = GetMotortesterDevice()->IsReady() ? 1 : 0;
  m_job = std::make_shared<Job>();  // an idle job holds the results before the first test
}

CWndSpecialTest_LeakCheck::~CWndSpecialTest_LeakCheck() {
  if (m_worker.Held()) {
    m_job->abandoned.store(true);
    if (m_job->communication) m_job->communication->AbortRead();
    m_worker.SignalStop();
    JoinWorker(kStopWaitMs);
  }
}

void CWndSpecialTest_LeakCheck::SetLibrary(IMTLeakTest_15* leak, ICommunication_1* communication,
                                           CMeasureEngine* engine) {
  m_pLeak = leak;
  m_pCommunication = communication;
  m_pEngine = engine;
}

int CWndSpecialTest_LeakCheck::CylinderCount() const {
  if (m_bEngineTester) {
    const CMotortesterData* data = GetMotortesterDevice();
    return data->GetNumberCylinders(data->GetEngineType());
  }
  return m_nOwnCount;
}

bool CWndSpecialTest_LeakCheck::Running() const {
  std::lock_guard<std::mutex> lock(m_job->mu);
  return m_job->running != 0;
}

void CWndSpecialTest_LeakCheck::GetLeakResults(int* count, float* r1, float* r2, float* r3, float* r4, float* r5,
                                               float* r6) {
  float* out[kMaxCylinders] = {r1, r2, r3, r4, r5, r6};
  // The count of the test whose results these are, as the bars show them; before any test, the
  // count the next one would take.
  int tested = 0;
  {
    std::lock_guard<std::mutex> lock(m_job->mu);
    tested = m_job->count;
    for (int i = 0; i < kMaxCylinders; ++i)
      if (out[i]) *out[i] = m_job->results[i];
  }
  if (count) *count = tested ? tested : CylinderCount();
}

void CWndSpecialTest_LeakCheck::ClearResults() {
  std::lock_guard<std::mutex> lock(m_job->mu);
  std::fill(std::begin(m_job->results), std::end(m_job->results), 0.0f);
}

BOOL CWndSpecialTest_LeakCheck::CreateChildren() {
  if (!m_title.Create("Title", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kTitle)) return FALSE;
  SetOption(m_title, CXPCtrlBtn::kFlat | CXPCtrlBtn::kFlatNoEdge, TRUE);
  const COLORREF face = GetSchemeColor(6);
  m_title.SetColors(face, face, face, face);
  m_title.drawClbck = this;
  if (!m_leakButton.Create("Leak check", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kLeakButton)) return FALSE;
  m_leakButton.drawClbck = this;
  m_leakButton.btnClbck = this;
  if (!m_cylinderCount.Create("CylinderCount", WS_CHILD, CRect(0, 0, 0, 0), this, kCylinderCount)) return FALSE;
  NumericOptionRecord record;
  InitRepeatData(&record);
  record.enabled = 1;
  record.step = 1;
  record.bigStep = 1;
  record.value = m_nOwnCount;
  record.min = 2;
  record.max = 7;
  m_cylinderCount.InitOptionFromRecord(&record);
  m_cylinderCount.scrollClbck = this;
  m_cylinderCount.drawClbck = this;
  m_cylinderCount.ShowWindow(m_bEngineTester ? SW_HIDE : SW_SHOW);
  if (!m_background.GetSafeHandle()) m_background.CreateSolidBrush(GetSchemeColor(24));
  if (!m_dashedPen.GetSafeHandle()) m_dashedPen.CreatePen(PS_DOT, 1, RGB(192, 192, 192));
  if (!m_picture.GetSafeHandle())
    leakcheck::MakePictures(m_picture, m_mask, leakcheck::kPictureWidth, leakcheck::kPictureHeight);
  return TRUE;
}

void CWndSpecialTest_LeakCheck::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const int W = m_rcClient.Width();
  const int H = m_rcClient.Height();
  const BYTE charSet = GetGlobalProps().GetCharSet();
  for (CFont* f : {&m_titleFont, &m_scaleFont, &m_valueFont}) f->DeleteObject();
  CreateFontOnce(m_titleFont, "Arial", static_cast<int>(H / 8.25 / 2), charSet, TRUE, FALSE, FALSE, 0);
  CreateFontOnce(m_scaleFont, "Arial", H / 32, charSet, TRUE, FALSE, FALSE, 0);
  CreateFontOnce(m_valueFont, "Arial", H / 20, charSet, TRUE, FALSE, FALSE, 0);
  if (!m_title.GetSafeHwnd()) return;
  m_title.MoveWindow(0, 0, W, static_cast<int>(H / 8.25));
  const int buttonTop = H - H / 7;
  m_leakButton.MoveWindow((W - W / 3) / 2, buttonTop, W / 3, H / 10);
  const int left = W / 2 + W / 6 + W / 24;
  m_cylinderCount.MoveWindow(left, buttonTop + 2, W - W / 20 - left, H / 10 - 3);
}

void CWndSpecialTest_LeakCheck::PaintContent(CDC* dc) {
  const CRect R = m_rcClient;
  CRect frame(R.left + R.Width() / 20, R.top + R.Height() / 7, R.right - R.Width() / 20,
              R.bottom - R.Height() / 6);
  dc->FillRect(&frame, &m_background);
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);
  CRect inner = frame;
  inner.DeflateRect(2, 2);

  // Scale: the 100 % line an eighth of the inner height below the top, a quarter step t apart.
  const int line100 = inner.top + inner.Height() / 8;
  const int t = (inner.bottom - line100) / 4;
  kvp::DcSelect selectFont(dc, &m_scaleFont);
  dc->SetBkMode(TRANSPARENT);
  m_nLabelWidth = dc->GetTextExtent("100%").cx;
  static const char* const labels[4] = {"100%", "75%", "50%", "25%"};
  dc->SetTextColor(RGB(192, 192, 192));
  {
    kvp::DcSelect selectPen(dc, &m_dashedPen);
    for (int k = 0; k < 4; ++k) {
      const int y = line100 + k * t;
      dc->MoveTo(inner.left, y);
      dc->LineTo(inner.right, y);
      CRect label(inner.left, y - t, inner.right, y);
      dc->DrawText(labels[k], -1, &label, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    }
  }

  if (Running()) {
    const int x = inner.left + inner.Width() / 2 + 24 - leakcheck::kPictureWidth / 2;
    const int y = inner.bottom - 2 * t - leakcheck::kPictureHeight / 2;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    kvp::DcSelect selectBitmap(&mem, &m_mask);
    dc->BitBlt(x, y, leakcheck::kPictureWidth, leakcheck::kPictureHeight, &mem, 0, 0, SRCAND);
    selectBitmap.Select(&m_picture);
    dc->BitBlt(x, y, leakcheck::kPictureWidth, leakcheck::kPictureHeight, &mem, 0, 0, SRCPAINT);
    if (m_bBlink) {
      dc->SelectObject(&m_titleFont);
      dc->SetTextColor(RGB(255, 0, 0));
      CRect text(inner.left, inner.top, inner.right, inner.bottom - 4 * t);
      dc->DrawText(GetGlobalProps().GetText(kTextStartingUp), -1, &text, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
    }
  } else if (!m_bError) {
    int n;
    float results[kMaxCylinders];
    {
      std::lock_guard<std::mutex> lock(m_job->mu);
      n = m_job->running ? 0 : (m_job->count ? m_job->count : CylinderCount());
      std::copy(std::begin(m_job->results), std::end(m_job->results), results);
    }
    if (n >= 3 && n <= kMaxCylinders) {
      dc->SelectObject(&m_valueFont);
      dc->SetTextColor(RGB(0, 0, 0));
      const int usable = inner.Width() - m_nLabelWidth;
      const int b = usable / (n + 2);
      const int gap = (usable - n * b) / (n + 1);
      for (int i = 0; i < n; ++i) {
        const float value = std::min(results[i], 100.0f);
        const int left = inner.left + (i + 1) * gap + i * b;
        const int height = value <= 0.0f ? 1 : static_cast<int>((inner.bottom - line100) * value / 100.0f);
        const int top = inner.bottom - std::max(height, 1);
        // Vertical gradient: black at the bottom to dark blue at the top.
        const int span = inner.bottom - top;
        for (int row = 0; row < span; ++row) {
          const int blue = span > 1 ? 187 * row / (span - 1) : 187;
          dc->FillSolidRect(left, inner.bottom - 1 - row, b, 1, RGB(0, 0, blue));
        }
        CString label;
        label.Format("%.1f%%", value);
        CRect box(left - gap / 2, inner.top, left + b + gap / 2, line100);
        dc->DrawText(label, &box, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
      }
    }
  } else {
    dc->SelectObject(&m_valueFont);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->DrawText(GetGlobalProps().GetText(kTextError), -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

void CWndSpecialTest_LeakCheck::OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) {
  if (!control || control->GetDlgCtrlID() != kCylinderCount) return;
  int value = static_cast<int>(record->value);
  if (value <= 2) value = 6;
  if (value >= 7) value = 3;
  record->value = value;
  control->record.value = value;
  if (m_bEngineTester) {
    CMotortesterData* data = GetMotortesterDevice();
    data->SetNumberCylinders(data->GetEngineType(), value);
  } else {
    m_nOwnCount = value;
  }
  {
    std::lock_guard<std::mutex> lock(m_job->mu);
    std::fill(std::begin(m_job->results), std::end(m_job->results), 0.0f);
    m_job->count = value;
  }
  m_bError = 0;
  control->Redraw();
  Redraw();
}

void CWndSpecialTest_LeakCheck::Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) {
  if (!control || control->GetDlgCtrlID() != kCylinderCount || !client) return;
  const CRect r(*client);
  const int h = r.Height();
  CRect box(r.right - static_cast<int>(1.7 * h), r.top + h / 6, r.right - static_cast<int>(h / 1.2),
            r.bottom - h / 6);
  CBrush fill;
  fill.CreateSolidBrush(GetSchemeColor(16));
  dc->FillRect(&box, &fill);
  CPen outline;
  outline.CreatePen(PS_SOLID, 1, GetSchemeColor(17));
  {
    kvp::DcSelect selectPen(dc, &outline);
    kvp::DcSelect selectBrush(dc->GetSafeHdc(), GetStockObject(NULL_BRUSH));
    dc->Rectangle(&box);
  }
  CString value;
  value.Format("%d", static_cast<int>(record->value));
  dc->SetBkMode(TRANSPARENT);
  kvp::DcSelect selectFont(dc, &m_valueFont);
  dc->SetTextColor(GetSchemeColor(17));
  dc->DrawText(value, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SetTextColor(GetSchemeColor(18));
  dc->SelectObject(&m_scaleFont);
  CRect label(r.left + 4, r.top, box.left - 4, r.bottom - h / 6);
  const char* text = GetGlobalProps().GetText(kTextCylinderCount);
  // Bottom-aligned on one line when it fits, else wrapped at its blanks onto lines that end at the
  // same bottom; only a text that fits neither way ends with an ellipsis.
  CRect wrapped(label.left, 0, label.right, 0);
  dc->DrawText(text, -1, &wrapped, DT_WORDBREAK | DT_CALCRECT);
  if (dc->GetTextExtent(text).cx > label.Width() && wrapped.Width() <= label.Width() &&
      wrapped.Height() <= label.Height()) {
    CRect lines(label.left, label.bottom - wrapped.Height(), label.right, label.bottom);
    dc->DrawText(text, -1, &lines, DT_WORDBREAK);
  } else {
    dc->DrawText(text, -1, &label, DT_BOTTOM | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
}

void CWndSpecialTest_LeakCheck::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (!content) return;
  dc->SetBkMode(TRANSPARENT);
  if (data->id == kTitle) {
    kvp::DcSelect selectFont(dc, &m_titleFont);
    dc->SetTextColor(GetSchemeColor(8));
    dc->DrawText(GetGlobalProps().GetText(kTextLeakCheck), -1, content, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  } else if (data->id == kLeakButton) {
    kvp::DcSelect selectFont2(dc, &m_valueFont);
    dc->SetTextColor(GetSchemeColor(13));
    dc->DrawText(GetGlobalProps().GetText(Running() ? 10139 : 10138), -1, content,
                 DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

void CWndSpecialTest_LeakCheck::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != kLeakButton) return;
  if (Running())
    StopLeakTest();
  else
    StartLeakTest();
}

void CWndSpecialTest_LeakCheck::CommandError() {
  m_cylinderCount.Enable(TRUE, TRUE);
  AfxMessageBox("Some error command.", MB_OK | MB_ICONEXCLAMATION);
}

void CWndSpecialTest_LeakCheck::StartLeakTest() {
  if (Running() || m_worker.Held()) return;
  m_cylinderCount.Enable(FALSE, TRUE);
  const int count = CylinderCount();
  if (m_bEngineTester && (count < 3 || count > kMaxCylinders)) {
    AfxMessageBox(GetGlobalProps().GetText(kTextCylinderCountOutOfRange), MB_ICONINFORMATION | MB_TOPMOST);
    m_cylinderCount.Enable(TRUE, TRUE);
    return;
  }
  if (!m_pLeak || !m_pCommunication) {
    CommandError();
    return;
  }
  m_pLeak->SelectInput(m_bEngineTester ? 2 : 0);
  ProbeDescriptor probe{};
  if (m_pLeak->ReadProbe(&probe) != kv310::kOk) {
    CommandError();
    return;
  }
  if (probe.kind != probekind::kClamp500A && m_pLeak->SelectInput(m_bEngineTester ? 3 : 1) != kv310::kOk) {
    CommandError();
    return;
  }
  DWORD show = 1;
  if (CReg().ReadDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, show) != CReg::OK)
    show = 1;
  if (show) {
    CDlgTurnOn notice(AfxGetMainWnd());
    notice.DoModal();
  }

  auto job = std::make_shared<Job>();
  job->count = std::clamp(count, 0, kMaxCylinders);
  job->panel = m_hWnd;
  job->generation = ++m_nGeneration;
  job->leak = m_pLeak;
  job->communication = m_pCommunication;
  job->engine = m_pEngine ? m_pEngine : &GetMeasureEngine();
  job->running = 1;
  // Reserved before the worker sends anything, so a pane shown right after waits for the test.
  job->reservation = job->engine->ReserveLink(kReservationMs);
  m_job = job;
  if (!m_worker.Start([job](HANDLE stop) { return leakcheck::RunLeakTest(job, stop); })) {
    job->engine->ReleaseLink(job->reservation);
    std::lock_guard<std::mutex> lock(job->mu);
    job->running = 0;
    m_cylinderCount.Enable(TRUE, TRUE);
    return;
  }
  SetTimer(kBlinkTimer, kBlinkMs, nullptr);
  m_leakButton.Redraw();
  Redraw();
}

void CWndSpecialTest_LeakCheck::JoinWorker(DWORD timeoutMs) {
  const std::shared_ptr<leakcheck::Job> job = m_job;
  m_worker.Join(timeoutMs, [job] {
    job->abandoned.store(true);  // its later report is dropped
    // Nothing waits for a test that was given up.
    if (job->engine) job->engine->ReleaseLink(job->reservation);
  });
}

void CWndSpecialTest_LeakCheck::StopLeakTest() {
  if (GetSafeHwnd()) KillTimer(kBlinkTimer);
  if (!Running() || !m_worker.Held()) return;
  m_cylinderCount.Enable(TRUE, TRUE);
  {
    std::lock_guard<std::mutex> lock(m_job->mu);
    m_job->running = 0;
  }
  if (m_pCommunication) m_pCommunication->AbortRead();
  m_worker.SignalStop();
  JoinWorker(kStopWaitMs);
  m_leakButton.Redraw();
  Redraw();
}

void CWndSpecialTest_LeakCheck::OnLeakTestDone(int code, LPARAM generation) {
  if (generation != m_job->generation) return;  // a test already replaced by a newer one
  JoinWorker(kStopWaitMs);  // it has posted and is ending
  m_cylinderCount.Enable(TRUE, TRUE);
  {
    std::lock_guard<std::mutex> lock(m_job->mu);
    m_job->running = 0;
  }
  if (code == kv310::kOk) {
    m_bError = 0;
  } else if (code == kv310::kLeakAnalysisFailed) {
    m_bError = 0;
    AfxMessageBox(GetGlobalProps().GetText(kTextLeakCheckFailed), MB_OK | MB_ICONEXCLAMATION);
  } else {
    if (m_pCommunication) m_pCommunication->Recover();
    m_bError = 1;
  }
  m_cylinderCount.Redraw();
  m_leakButton.Redraw();
  Redraw();
}

LRESULT CWndSpecialTest_LeakCheck::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LEAKTEST_DONE) {
    OnLeakTestDone(static_cast<int>(wParam), lParam);
    return 0;
  }
  return CXPWndBaseColor::WindowProc(message, wParam, lParam);
}

void CWndSpecialTest_LeakCheck::OnShowWindow(BOOL show, UINT status) {
  CXPWndBaseColor::OnShowWindow(show, status);
  if (show)
    m_bError = 0;
  else
    StopLeakTest();
}

void CWndSpecialTest_LeakCheck::OnTimer(UINT_PTR id) {
  if (id != kBlinkTimer) return;
  m_bBlink = !m_bBlink;
  Redraw();
}
