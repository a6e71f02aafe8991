#include <enginetester/SpecialTests.h>

#include <ui/print/PrintItemType.h>

#include <ui/dialogs/MessageDlg.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/TextIds.h>
#include <core/ValueArrays.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace {

struct ButtonInfo {
  int id;
  const char* name;
  int text;  // language text of the caption
};

constexpr ButtonInfo kButtons[30] = {
    {0, "Title", 10110},
    {1, "Petrol", 10022},
    {2, "Diesel", 10023},
    {3, "Start_current", 10016},
    {4, "Lambda_sonda", 10006},
    {5, "Vstrikovaci ventil", 10000},
    {6, "Ventil odvetravani", 10001},
    {7, "Halluv sensor", 10002},
    {8, "Induktivni snimac", 10003},
    {9, "Induktivni a Halluv snimac", 10004},
    {10, "Skrtici klapka", 10007},
    {11, "Pot. skrtici klapky 1", 10008},
    {12, "Pot. skrtici klapky 2", 10009},
    {13, "Snimac tlaku sani", 10010},
    {14, "Snimac mn. vzduchu", 10011},
    {15, "Signal generatoru zapalovani", 10012},
    {16, "Proud prim. vinuti", 10014},
    {17, "Dobijeci proud a napeti", 10015},
    {18, "Zvlneni alternatoru", 10017},
    {19, "Zdvih jehly", 10109},
    {20, "Test tesnosti", 10134},
    {21, "Osciloskop - benzin", 10030},
    {22, "Osciloskop s otackami - benzin", 10069},
    {23, "Osciloskop - diesel", 10030},
    {24, "Osciloskop s otackami - diesel", 10069},
    {25, "Pouze osciloskop", 10030},
    {26, "Next", 10111},
    {27, "Prev", 10112},
    {28, "Back", 10038},
    {30, "Print", 10091},
};

int IndexOf(int id) { return id == 30 ? 29 : (id >= 0 && id < 29 ? id : -1); }

struct PageInfo {
  int page;
  std::vector<int> buttons;
  int layout;
};

const std::vector<PageInfo>& Pages() {
  static const std::vector<PageInfo> pages = {
      {0, {1, 2}, 0},
      {1, {5, 6, 8, 7, 9, 4, 10, 11, 12}, 4160},
      {2, {19, 17, 15, 18, 3, 20, 13, 14, 16}, 12352},
      {3, {21, 22}, 8256},
      {4, {19, 17, 8, 18, 3, 20, 23, 24}, 64},
      {6, {5, 6, 8, 7, 9, 4, 10, 11, 12}, 4096},
      {7, {19, 17, 15, 18, 3, 20, 13, 14, 16}, 12288},
      {8, {25}, 8192},
      {9, {}, 2112},
  };
  return pages;
}

const PageInfo* FindPage(int page) {
  for (const auto& p : Pages())
    if (p.page == page) return &p;
  return nullptr;
}

int LayoutOf(int page) {
  const PageInfo* p = FindPage(page);
  return p ? p->layout : 0;
}

// The row of the centred column each test button sits in.
int RowOf(int id) {
  static const std::vector<std::vector<int>> rows = {{5, 25, 21, 19}, {6, 17, 22}, {8, 15}, {7, 18}, {9, 3},
                                                     {4, 20},         {10, 23, 13}, {11, 14, 24}, {12, 16}};
  for (size_t r = 0; r < rows.size(); ++r)
    if (std::find(rows[r].begin(), rows[r].end(), id) != rows[r].end()) return static_cast<int>(r);
  return -1;
}

bool IsNavigation(int id) {
  return id == CWndSpecialTests::kNext || id == CWndSpecialTests::kPrev || id == CWndSpecialTests::kBack ||
         id == CWndSpecialTests::kPrint;
}

bool InLayout(int id, int layout) {
  switch (id) {
    case CWndSpecialTests::kBack:
      return layout & CWndSpecialTests::kLayoutBack;
    case CWndSpecialTests::kPrint:
      return layout & CWndSpecialTests::kLayoutPrint;
    case CWndSpecialTests::kNext:
      return layout & CWndSpecialTests::kLayoutNext;
    case CWndSpecialTests::kPrev:
      return layout & CWndSpecialTests::kLayoutPrev;
    default:
      return false;
  }
}

}  // namespace

CWndSpecialTests::CWndSpecialTests() : m_nKeptEngineType(GetMotortesterDevice()->GetEngineType()) {}

CWndSpecialTests::~CWndSpecialTests() = default;

CXPCtrlBtn* CWndSpecialTests::ButtonById(int id) {
  const int i = IndexOf(id);
  return i < 0 ? nullptr : &m_buttons[i];
}

BOOL CWndSpecialTests::CreateChildren() {
  if (!m_leakCheck.Create("WndLeakCheck", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), this, kLeakPanel))
    return FALSE;
  for (int i = 0; i < 30; ++i) {
    const ButtonInfo& b = kButtons[i];
    CXPCtrlBtn& button = m_buttons[i];
    button.Create(b.name, b.id == kTitle ? (WS_CHILD | WS_VISIBLE) : WS_CHILD, CRect(0, 0, 0, 0), this, b.id);
    button.drawClbck = this;
    button.btnClbck = this;
    if (b.id == kTitle) {
      SetOption(button, CXPCtrlBtn::kFlat | CXPCtrlBtn::kFlatNoEdge, TRUE);
      const COLORREF face = GetSchemeColor(6);
      button.SetColors(face, face, face, face);
    }
  }
  return TRUE;
}

void CWndSpecialTests::Init() {
  m_bEngineTester = GetMotortesterDevice()->IsReady() ? 1 : 0;
  if (m_bEngineTester)
    SetPage(0, 0);
  else
    SetPage(6, kLayoutNext);
}

void CWndSpecialTests::Activate(int) {
  m_bEngineTester = GetMotortesterDevice()->IsReady() ? 1 : 0;
  GetMotortesterDevice()->ApplyMotortesterParams(m_nKeptEngineType);
  ShowPage();
  ShowWindow(SW_SHOW);
}

BOOL CWndSpecialTests::Deactivate() {
  m_nKeptEngineType = GetMotortesterDevice()->GetEngineType();
  ShowWindow(SW_HIDE);  // a running leak check goes on: only its own page change stops it
  return TRUE;
}

void CWndSpecialTests::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CWndSpecialTests::SetPage(int page, int layout) {
  m_nPage = page;
  m_nLayout = layout;
}

bool CWndSpecialTests::OnPage(int id) const {
  if (id == kLeakPanel) return m_nPage == 9;
  if (id == kTitle) return m_nPage != 9;
  if (IsNavigation(id)) return InLayout(id, m_nLayout);
  const PageInfo* p = FindPage(m_nPage);
  return p && std::find(p->buttons.begin(), p->buttons.end(), id) != p->buttons.end();
}

void CWndSpecialTests::ShowPage() {
  // Only what the new page does not show is hidden: hiding the leak panel stops its test, and a
  // return to this tab must not do that.
  if (!OnPage(kLeakPanel) && m_leakCheck.GetSafeHwnd()) m_leakCheck.ShowWindow(SW_HIDE);
  for (const ButtonInfo& b : kButtons)
    if (!OnPage(b.id) && ButtonById(b.id)->GetSafeHwnd()) ButtonById(b.id)->ShowWindow(SW_HIDE);
  RecalcLayout();
  if (OnPage(kLeakPanel)) m_leakCheck.ShowWindow(SW_SHOW);
  for (const ButtonInfo& b : kButtons)
    if (OnPage(b.id) && ButtonById(b.id)->GetSafeHwnd()) ButtonById(b.id)->ShowWindow(SW_SHOW);
}

void CWndSpecialTests::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!GetSafeHwnd()) return;
  CRect client;
  GetClientRect(&client);
  const int W = client.Width();
  const int H = client.Height();
  const BYTE charSet = GetGlobalProps().GetCharSet();
  for (CFont* f : {&m_largeFont, &m_smallFont, &m_boldFont}) f->DeleteObject();
  CreateFontOnce(m_largeFont, "Arial", -static_cast<int>(0.05 * H), charSet, FALSE, FALSE, FALSE, 0);
  CreateFontOnce(m_smallFont, "Arial", -static_cast<int>(0.04 * H), charSet, FALSE, FALSE, FALSE, 0);
  CreateFontOnce(m_boldFont, "Arial", -static_cast<int>(H / 8.25 / 2), charSet, TRUE, FALSE, FALSE, 0);

  const int g = static_cast<int>(0.0875 * H);
  if (m_leakCheck.GetSafeHwnd()) m_leakCheck.MoveWindow(0, 0, W, H - (g + 10));

  const int titleHeight = static_cast<int>(H / 8.25);
  const int twoFifths = 2 * (W * 2 / 5);
  const int margin = (W - twoFifths) / 3;
  ButtonById(kTitle)->MoveWindow(margin, 0, margin + twoFifths, titleHeight);

  const int engineWidth = static_cast<int>(W / 1.7933);
  const int petrolBottom = H / 2 - titleHeight;
  ButtonById(kPetrol)->MoveWindow((W - engineWidth) / 2, petrolBottom - g, engineWidth, g);
  ButtonById(kDiesel)->MoveWindow((W - engineWidth) / 2, petrolBottom + titleHeight + g, engineWidth, g);

  const int columnWidth = static_cast<int>(0.6 * W);
  const int b = static_cast<int>(0.07 * H);
  const double firstTop = (H - g) / 2.0 - 3.0 * g - (H / 8.25) / 2.0;
  for (const ButtonInfo& info : kButtons) {
    const int row = RowOf(info.id);
    if (row < 0) continue;
    const int top = static_cast<int>(firstTop + row * 1.2 * b);
    ButtonById(info.id)->MoveWindow((W - columnWidth) / 2, top, columnWidth, b);
  }

  // Navigation: "Prev", "Back", "Next", or "Back", "Print", of the layout code.
  std::vector<int> nav;
  for (int id : {static_cast<int>(kPrev), static_cast<int>(kBack), static_cast<int>(kNext), static_cast<int>(kPrint)})
    if (InLayout(id, m_nLayout)) nav.push_back(id);
  const double n = 0.12 * W;
  const int navTop = H - 10 - b;
  const double centre = W / 2.0;
  double x = nav.size() == 1 ? centre - n / 2 : nav.size() == 2 ? centre - 1.1 * n : centre - 1.7 * n;
  for (int id : nav) {
    ButtonById(id)->MoveWindow(static_cast<int>(x), navTop, static_cast<int>(n), b);
    x += 1.2 * n;
  }
}

void CWndSpecialTests::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int i = IndexOf(data->id);
  if (i < 0 || !content) return;
  dc->SetBkMode(TRANSPARENT);
  const char* caption = GetGlobalProps().GetText(kButtons[i].text);
  kvp::DcSelect selectFont(dc, nullptr);
  if (data->id == kTitle) {
    selectFont.Select(&m_boldFont);
    dc->SetTextColor(GetSchemeColor(8));
    dc->DrawText(caption, -1, content, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  } else {
    selectFont.Select(data->id == kPetrol || data->id == kDiesel ? &m_largeFont : &m_smallFont);
    dc->SetTextColor(GetSchemeColor(13));
    dc->DrawText(caption, -1, content, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

void CWndSpecialTests::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) { OnButtonClicked(data->id); }

bool CWndSpecialTests::ProbesReady(int measurementId) {
  if (m_probeCheck) return m_probeCheck(measurementId);
  if (GetMotortesterDevice()->WaitMotortesterReady(measurementId)) return true;
  CMessageDlg instruction;
  return instruction.DoModal() == IDOK;
}

void CWndSpecialTests::LeaveAngleMode() {
  MeasureType& type = GetMeasureType();
  if (!type.m_nAngleMode.load()) return;
  type.m_nAngleMode = 0;
  CStringArrayEx lines;
  if (!GetMeasureEngine().ReadSampleRateTable(GetGlobalProps(), lines))
    AfxMessageBox(JoinStrings(lines, "\n"), MB_OK | MB_ICONEXCLAMATION);
}

void CWndSpecialTests::SwitchToScope(bool notify) {
  if (notify)
    NotifySystem(notify::kFromEngineTester, notify::kMeasureTypeChanged);
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_SELECTTAB, 0, 0);
}

void CWndSpecialTests::ComponentTest(int id) {
  CMotortesterData* data = GetMotortesterDevice();
  CMeasureEngine& engine = GetMeasureEngine();
  data->SetHelpMode(23 + id);
  if (id >= 5) {
    if (m_bEngineTester) engine.SetMTOscAcquisitionMode(id == 11 || id == 12 || id == 13 ? 1 : 2);
    if (id == 11)
      data->SetEngineModeFlag(0);
    else if (id != 12)
      data->SetEngineModeFlag(m_bEngineTester ? 1 : 0);
  }
  if (!ProbesReady(23 + id)) return;  // what the steps above changed stays
  if (id == 12) data->SetEngineModeFlag(0);
  if ((id == 3 || id == 4) && m_bEngineTester) engine.SetMTOscAcquisitionMode(2);
  data->m_bPressure = 0;
  engine.SetMeasureTitle(GetGlobalProps().GetText(kButtons[IndexOf(id)].text));
  LeaveAngleMode();
  GetMeasureType().m_nMeasureType = 8 + id;
  if (id == 3 || id == 4) data->SetEngineModeFlag(0);
  SwitchToScope(true);
}

void CWndSpecialTests::ScopePreset(int id) {
  struct Preset {
    int measurementId, acquisitionMode, title, measureType, synchronised, plain;
  };
  static const Preset presets[4] = {{10, 1, kTextOscilloscope, 1, 0, 1}, {25, 2, kTextOscilloscopeWithTurn, 2, 1, 0},
                                    {21, 1, kTextOscilloscope, 4, 0, 1}, {25, 2, kTextOscilloscopeWithTurn, 5, 1, 0}};
  const Preset& p = presets[id - kScopePetrol];
  CMotortesterData* data = GetMotortesterDevice();
  data->SetHelpMode(p.measurementId);
  if (!ProbesReady(p.measurementId)) return;
  CMeasureEngine& engine = GetMeasureEngine();
  if (m_bEngineTester) engine.SetMTOscAcquisitionMode(p.acquisitionMode);
  engine.SetMeasureTitle(GetGlobalProps().GetText(p.title));
  GetMeasureType().m_nMeasureType = p.measureType;
  data->SetEngineModeFlag(p.synchronised);
  GetMeasureType().m_nSubmode = p.plain;
  data->m_bPressure = 0;
  LeaveAngleMode();
  SwitchToScope(true);
}

void CWndSpecialTests::PlainScope() {
  GetMotortesterDevice()->SetHelpMode(10);
  if (!ProbesReady(10)) return;
  GetMeasureEngine().SetMeasureTitle(GetGlobalProps().GetText(kTextOscilloscope));
  GetMeasureType().SetType(measure::MeasureType::kPlainScope);
  SwitchToScope(false);
}

void CWndSpecialTests::OpenLeakCheck() {
  GetMotortesterDevice()->SetHelpMode(43);
  if (!ProbesReady(43)) return;
  m_nSavedPage = m_nPage;
  SetPage(9, kLayoutLeakCheck);
  ShowPage();
  if (m_bEngineTester)
    GetMeasureEngine().SetMTOscAcquisitionMode(1);
  else
    GetMeasureEngine().SetOscAcquisitionMode(1);
}

void CWndSpecialTests::Print() {
  int index = -1;
  CPrintItemData* item = GetPrintQueue()->AddItem(kPrintItemLeakCheck, &index);
  if (!item) return;
  int count = 0;
  float r[6] = {};
  m_leakCheck.GetLeakResults(&count, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  item->SetCountValues6(count, r[0], r[1], r[2], r[3], r[4], r[5], "");
  CPrintDlg dialog(AfxGetMainWnd());
  dialog.DoModal();
}

void CWndSpecialTests::OnButtonClicked(int id) {
  if (id >= 3 && id <= 19) {
    ComponentTest(id);
    return;
  }
  switch (id) {
    case kPetrol:
      GetMotortesterDevice()->ApplyMotortesterParams(0);
      SetPage(1, kLayoutFirstTestPage);
      ShowPage();
      break;
    case kDiesel:
      GetMotortesterDevice()->ApplyMotortesterParams(1);
      SetPage(4, kLayoutBack);
      ShowPage();
      break;
    case kLeakCheck:
      OpenLeakCheck();
      break;
    case kScopePetrol:
    case kScopeTurnPetrol:
    case kScopeDiesel:
    case kScopeTurnDiesel:
      ScopePreset(id);
      break;
    case kPlainScope:
      PlainScope();
      break;
    case kNext: {
      static const int next[][2] = {{1, 2}, {2, 3}, {6, 7}, {7, 8}};
      for (const auto& n : next)
        if (m_nPage == n[0]) {
          SetPage(n[1], LayoutOf(n[1]));
          break;
        }
      ShowPage();
      break;
    }
    case kPrev: {
      static const int prev[][2] = {{2, 1}, {3, 2}, {7, 6}, {8, 7}};
      for (const auto& p : prev)
        if (m_nPage == p[0]) {
          SetPage(p[1], LayoutOf(p[1]));
          break;
        }
      ShowPage();
      break;
    }
    case kBack:
      if (m_nPage == 9)
        SetPage(m_nSavedPage, LayoutOf(m_nSavedPage));
      else
        SetPage(0, 0);
      ShowPage();
      break;
    case kPrint:
      if (m_nPage == 9) Print();
      break;
    default:
      break;
  }
}
