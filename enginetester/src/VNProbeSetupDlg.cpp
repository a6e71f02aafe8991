#include <enginetester/VNProbeSetupDlg.h>

#include <ui/dialogs/DialogPlacement.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>
#include <platform/dialogtemplate.h>

#include <mutex>

namespace {

std::atomic<int> g_nRunningWorkers{0};

// The dialog draws everything itself and places itself over its parent at start.
const kvp::DialogTemplate kProbeSetup{WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 186, 95, nullptr, nullptr,
                                      "Arial", 8, {}};

int RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] { kvp::RegisterDialogTemplate(0, CVNProbeSetupDlg::IDD, &kProbeSetup); });
  return CVNProbeSetupDlg::IDD;
}

}  // namespace

using ui_dialogs::MakeArial;
using ui_dialogs::PlacementRect;

CVNProbeSetupDlg::CVNProbeSetupDlg(CWnd* parent)
    : COwnerDrawnDlg(RegisterTemplate(), parent),
      m_pShared(std::make_shared<Shared>()),
      m_crBack(AdjustColor(GetSchemeColor(kSchemeBackground), 70)) {}

CVNProbeSetupDlg::~CVNProbeSetupDlg() {
  // A dialog destroyed without its window going (never shown) still drops the worker's result.
  m_pShared->ended.store(true);
}

int CVNProbeSetupDlg::RunningWorkers() { return g_nRunningWorkers.load(); }

BOOL CVNProbeSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_brBack.DeleteObject();
  m_brBack.CreateSolidBrush(m_crBack);
  const COLORREF face = GetSchemeColor(kSchemeButton);
  static const char* const kNames[BUTTONS] = {"Next", "Exit", "Repeat"};
  for (int id = 0; id < BUTTONS; ++id) {
    CXPCtrlBtn& b = m_Btn[id];
    b.SetColors(face, AdjustColor(face, 40), m_crBack, RGB(80, 80, 80));
    CreateButton(b, kNames[id], WS_CHILD, CRect(0, 0, 10, 10), id);
  }

  // Half the parent's width, 1/2.5 of its height, a little above its centre.
  const CRect parent = PlacementRect(m_pParentWnd);
  const int w = parent.Width(), h = parent.Height();
  MoveWindow(parent.left + w / 2 - w / 4, parent.top + h / 2 - h / 5, w / 2, static_cast<int>(h / 2.5));
  CRect client;
  GetClientRect(&client);
  Layout(client);

  SetTimer(TIMER_BLINK, BLINK_MS);
  StartWorker();
  UpdateButtons();
  return TRUE;
}

void CVNProbeSetupDlg::StartWorker() {
  m_pShared->state.store(STATE_TAKING);
  std::shared_ptr<Shared> shared = m_pShared;
  IMotortester_6* tester = GetMotortesterDevice()->GetMotortester();
  // The worker before (a repeat) has set its state and is ending: it is let go of, not waited for.
  m_worker.Release();
  g_nRunningWorkers.fetch_add(1);
  const bool started = m_worker.Start([shared, tester](HANDLE) mutable {
    const int rc = tester ? tester->Measure() : -1;
    // The dialog may have ended meanwhile: then nobody waits for the answer.
    if (!shared->ended.load()) {
      shared->state.store(rc == 0 ? STATE_DONE : rc == RESULT_NOT_POSSIBLE ? STATE_NOT_POSSIBLE : STATE_FAILED);
    }
    // Lets go of the block before it counts as done: nothing of it is left when the count is 0.
    shared.reset();
    g_nRunningWorkers.fetch_sub(1);
    // The dialog polls the state on its timer: nothing to post.
    return kvp::WorkerDone{};
  });
  if (!started) {
    // No thread: the measurement failed, and the user may repeat it.
    g_nRunningWorkers.fetch_sub(1);
    m_pShared->state.store(STATE_FAILED);
  }
}

void CVNProbeSetupDlg::UpdateButtons() {
  const int state = GetState();
  const bool next = state == STATE_NOT_POSSIBLE;
  const bool repeat = state == STATE_FAILED;
  const bool exit = next || repeat;
  m_Btn[ID_NEXT].ShowWindow(next ? SW_SHOW : SW_HIDE);
  m_Btn[ID_REPEAT].ShowWindow(repeat ? SW_SHOW : SW_HIDE);
  m_Btn[ID_EXIT].ShowWindow(exit ? SW_SHOW : SW_HIDE);
}

void CVNProbeSetupDlg::OnTimer(UINT_PTR id) {
  if (id != TIMER_BLINK) {
    CDialog::OnTimer(id);
    return;
  }
  switch (GetState()) {
    case STATE_TAKING:
      m_nBlink = !m_nBlink;
      RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      break;
    case STATE_FAILED:
    case STATE_NOT_POSSIBLE:
      KillTimer(TIMER_BLINK);
      UpdateButtons();
      RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      break;
    case STATE_DONE:
      KillTimer(TIMER_BLINK);
      GetMotortesterDevice()->m_bAutoPolarity.store(0);
      EndDialog(IDOK);
      break;
    default:
      break;
  }
}

void CVNProbeSetupDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  switch (data->id) {
    case ID_NEXT:
      GetMotortesterDevice()->m_bAutoPolarity.store(1);
      EndDialog(IDOK);
      break;
    case ID_EXIT:
      EndDialog(IDCANCEL);
      break;
    case ID_REPEAT:
      StartWorker();
      SetTimer(TIMER_BLINK, BLINK_MS);
      UpdateButtons();
      Invalidate();
      break;
    default:
      break;
  }
}

void CVNProbeSetupDlg::Layout(const CRect& client) {
  m_rcLayout = client;
  const int w = client.Width(), h = client.Height();
  const int bw = static_cast<int>(w / 3.8);
  const int bh = h / 6;
  const int top = h - h / 12 - bh;
  const int gap = w / 20;
  // "Next" and "Repeat" never show together: they share the left place, "Exit" the right.
  m_Btn[ID_NEXT].MoveWindow(w / 2 - gap / 2 - bw, top, bw, bh);
  m_Btn[ID_REPEAT].MoveWindow(w / 2 - gap / 2 - bw, top, bw, bh);
  m_Btn[ID_EXIT].MoveWindow(w / 2 + gap / 2, top, bw, bh);
  MakeArial(m_fntButton, static_cast<int>(static_cast<int>(h / -6) * 0.6), FW_NORMAL);
  MakeArial(m_fntBody, h / 13, FW_BOLD);
  MakeArial(m_fntTitle, h / 10, FW_BOLD);
}

BOOL CVNProbeSetupDlg::OnEraseBkgnd(CDC*) { return TRUE; }

void CVNProbeSetupDlg::OnPaint() {
  CPaintDC paint(this);
  CRect client;
  GetClientRect(&client);
  if (client != m_rcLayout) Layout(client);
  CMemDC dc(&paint);
  dc.FillSolidRect(&client, m_crBack);
  const int state = GetState();
  if (state == STATE_DONE) return;
  const int oldMode = dc.SetBkMode(TRANSPARENT);
  const GlobalProps& props = GetGlobalProps();
  const int h = client.Height();
  const int titleHeight = h / 10;
  CRect title(client.left, client.top + h / 10, client.right, client.top + h / 10 + titleHeight * 2);
  CFont* oldFont = dc.SelectObject(&m_fntTitle);
  if (state == STATE_TAKING) {
    // The title with its shadow, and the blinking progress text under it.
    CRect shadow(title);
    shadow.OffsetRect(2, 2);
    dc.SetTextColor(RGB(128, 128, 128));
    dc.DrawText(props.GetText(kTextHvProbePolarityTitle), -1, &shadow, DT_CENTER | DT_TOP | DT_SINGLELINE);
    dc.SetTextColor(GetSchemeColor(kSchemeText));
    dc.DrawText(props.GetText(kTextHvProbePolarityTitle), -1, &title, DT_CENTER | DT_TOP | DT_SINGLELINE);
    if (m_nBlink) {
      dc.SelectObject(&m_fntBody);
      CRect line(client.left, title.top + 2 * titleHeight, client.right, title.top + 4 * titleHeight);
      dc.DrawText(props.GetText(kTextTakingPolarity), -1, &line, DT_CENTER | DT_TOP | DT_SINGLELINE);
    }
  } else {
    const bool failed = state == STATE_FAILED;
    dc.SetTextColor(RGB(255, 0, 0));
    dc.DrawText(props.GetText(failed ? 10117 : 10121), -1, &title, DT_CENTER | DT_TOP | DT_SINGLELINE);
    dc.SelectObject(&m_fntBody);
    dc.SetTextColor(GetSchemeColor(kSchemeText));
    const int step = static_cast<int>(1.2 * titleHeight);
    int y = title.top + 2 * titleHeight;
    const int failedLines[] = {10118, 10119, 10120};
    const int manualLines[] = {10122};
    const int* lines = failed ? failedLines : manualLines;
    const int count = failed ? 3 : 1;
    for (int i = 0; i < count; ++i) {
      CRect line(client.left + 20, y, client.right, y + step);
      dc.DrawText(props.GetText(lines[i]), -1, &line, DT_LEFT | DT_TOP | DT_SINGLELINE);
      y += step;
    }
  }
  dc.SelectObject(oldFont);
  DrawProbes(&dc, client);
  dc.SetBkMode(oldMode);
}

// Four high-voltage probes beside the buttons, two in each lower corner: a clip (ellipse) on a
// tapered plug (polygon).
void CVNProbeSetupDlg::DrawProbes(CDC* dc, const CRect& client) {
  const int h = client.Height();
  const int size = h / 9;
  if (size < 4) return;
  CPen pen(PS_SOLID, 1, RGB(40, 40, 40));
  CBrush clip(RGB(200, 30, 30));
  CBrush plug(RGB(60, 60, 60));
  kvp::DcSelect selectPen(dc, &pen);
  kvp::DcSelect selectBrush(dc, &clip);
  const int top = client.bottom - h / 12 - h / 6;
  const int pitch = size * 3 / 2;
  for (int i = 0; i < 4; ++i) {
    const int x = i < 2 ? client.left + 10 + i * pitch : client.right - 10 - size - (3 - i) * pitch;
    dc->SelectObject(&clip);
    dc->Ellipse(x, top, x + size, top + size);
    dc->SelectObject(&plug);
    const POINT body[] = {{x + size / 4, top + size}, {x + 3 * size / 4, top + size},
                          {x + size / 2 + 1, top + 3 * size / 2}, {x + size / 2 - 1, top + 3 * size / 2}};
    dc->Polygon(body, 4);
  }
}

void CVNProbeSetupDlg::OnDestroy() {
  m_pShared->ended.store(true);
  KillTimer(TIMER_BLINK);
  CDialog::OnDestroy();
  m_brBack.DeleteObject();
}

void CVNProbeSetupDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const GlobalProps& props = GetGlobalProps();
  const char* caption = data->id == ID_NEXT ? "OK" : props.GetText(data->id == ID_EXIT ? 10038 : 10114);
  DrawFace(dc, content, caption, &m_fntButton, TextColor());
}
