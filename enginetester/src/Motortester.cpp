#include <enginetester/Motortester.h>

#include <enginetester/PanelCommon.h>
#include <ui/print/PrintItemType.h>
#include <enginetester/VNProbeSetupDlg.h>

#include <ui/dialogs/MessageDlg.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/TextIds.h>
#include <core/Texts.h>
#include <core/ValueArrays.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <initializer_list>

namespace {

struct ButtonInfo {
  int id;
  const char* name;
  int text;  // language text of the caption; 0: drawn
};

constexpr ButtonInfo kButtons[CWndMotortester::kButtonCount] = {
    {0, "Petrol", 10022},
    {1, "Diesel", 10023},
    {2, "P Leading phase", 10024},
    {3, "P Voltage Current", 10025},
    {4, "P VN Primary", 10026},
    {5, "P VN Secundary", 10027},
    {6, "P Thermometer", 10029},
    {7, "P Oscilloscope", 10030},
    {8, "D Injection advance", 10031},
    {9, "D Voltage Current", 10025},
    {10, "D Signal Pressure Pickup", 10032},
    {11, "D Thermometer", 10029},
    {12, "D Oscilloscope", 10030},
    {13, "D OscilloscopeTurn", 10069},
    {14, "P OscilloscopeTurn", 10069},
    {15, "P One Cylindre", 10033},
    {16, "P All Cylinders", 10034},
    {17, "P Selected Cylinders", 10035},
    {18, "P Voltage Primary Coil", 10036},
    {19, "P Contact Angle", 10037},
    {20, "Diesel", 10038},
    {21, "WndParams", 10039},
    {22, "WndSet", 10041},
    {23, "WndCancel", 10040},
    {24, "WndACDC", 0},
    {25, "WndMinMax", 0},
    {26, "WndZeoring", 0},
    {27, "Zero", 0},
    {28, "WndGraph", 10082},
    {39, "Title", 0},
    {40, "Subtitle", 0},
    {41, "SetParamsTitle", 10062},
    {42, "WndSynchro", 0},
    {43, "WndAverage", 0},
    {44, "WndPrint", 10091},
};

int IndexOf(int id) {
  if (id >= 0 && id <= 28) return id;
  if (id >= 39 && id <= 44) return id - 10;
  return -1;
}

bool IsTitle(int id) {
  return id == CWndMotortester::kTitle || id == CWndMotortester::kSubtitle || id == CWndMotortester::kSetParamsTitle;
}

// The bottom row: each button with its layout bit, left to right.
struct RowButton {
  int id;
  int bit;
};
constexpr RowButton kBottomRow[] = {
    {CWndMotortester::kBack, CWndMotortester::kLayoutBack},
    {CWndMotortester::kParams, CWndMotortester::kLayoutParams},
    {CWndMotortester::kReset, CWndMotortester::kLayoutReset},
    {CWndMotortester::kSet, CWndMotortester::kLayoutSet},
    {CWndMotortester::kACDC, CWndMotortester::kLayoutACDC},
    {CWndMotortester::kMinMax, CWndMotortester::kLayoutMinMax},
    {CWndMotortester::kZeroing, CWndMotortester::kLayoutZeroing},
    {CWndMotortester::kZeroMinMax, CWndMotortester::kLayoutZero},
    {CWndMotortester::kAverage, CWndMotortester::kLayoutAverage},
    {CWndMotortester::kSync, CWndMotortester::kLayoutSync},
    {CWndMotortester::kGraph, CWndMotortester::kLayoutGraph},
    {CWndMotortester::kPrint, CWndMotortester::kLayoutPrint},
};

// The menu columns: the buttons of a menu page top to bottom.
const std::vector<std::vector<int>>& MenuColumns() {
  static const std::vector<std::vector<int>> columns = {
      {2, 3, 4, 5, 6, 7, 14}, {8, 9, 10, 11, 12, 13}, {18, 19}, {15, 16, 17}};
  return columns;
}

// The buttons that need the board's oscilloscope, disabled on the reduced variant, whose main
// window refuses its scope tab: the seven of the menus and "Graph" of the kV pages.
constexpr int kScopeButtons[] = {5, 7, 14, 18, 10, 12, 13, CWndMotortester::kGraph};

const char* Text(int id) { return GetGlobalProps().GetText(id); }

// The four kV pages: one cylinder, all, selected, double coil.
bool IsHiVoltagePage(int page) {
  return page >= CWndMotortester::kPageOneCylinder && page <= CWndMotortester::kPageDoubleCoil;
}

constexpr int kNoPage = -1;
constexpr int kNoPrintItem = -1;

// A page's windows: its buttons and panel in the order they are shown.
struct PageWindowList {
  static constexpr int kCapacity = 10;
  // A longer list does not compile: the page table is constant.
  constexpr PageWindowList(std::initializer_list<int> list) : count(static_cast<int>(list.size())) {
    std::copy(list.begin(), list.end(), ids);
  }
  const int* begin() const { return ids; }
  const int* end() const { return ids + count; }
  int ids[kCapacity] = {};
  int count = 0;
};

// The window's own visible flag (also while the pane itself is hidden).
bool Shown(const CWnd* w) { return w && w->GetSafeHwnd() && (w->GetStyle() & WS_VISIBLE); }

}  // namespace

// A row of the page table. The Sync button of a row (its layout bit and its window) is there only
// with a double coil.
struct CWndMotortester::PageEntry {
  int page;
  int title;       // language text of the title button; 0: none
  int layout;      // the bottom row the page opens with
  int back;        // the page Back leads to; kNoPage: Back does nothing
  // The page Back on the parameters leads to, with Back and Params in its row, when they were
  // opened from this page; kNoPage: the start page.
  int backFromParams;
  int printItem;   // what Print queues (PrintItemType); kNoPrintItem: nothing
  PageWindowList windows;
};

const CWndMotortester::PageEntry* CWndMotortester::PageEntryOf(int page) {
  static constexpr PageEntry kPages[] = {
      // page, title, layout, back, back from the parameters, print item, windows
      {kPageStart, 0, 0, kNoPage, kNoPage, kNoPrintItem, {kPetrol, kDiesel, kTitle}},
      {kPagePetrol, kTextSparkIgnitionEngine, kLayoutBackParams, kPageStart, kPagePetrol, kNoPrintItem,
       {kAdvance, kVoltCurrent, kPrimary, kSecondary, kThermometer, kScopePetrol, kScopeTurnPetrol, kTitle, kBack,
        kParams}},
      {kPageDiesel, kTextDieselEngine, kLayoutBackParams, kPageStart, kPageDiesel, kNoPrintItem,
       {kPreinjection, kDieselVoltCurrent, kPressure, kDieselThermometer, kScopeDiesel, kScopeTurnDiesel, kBack, kParams,
        kTitle}},
      // Back on the parameters goes by the page they were opened from.
      {kPageParams, 0, kLayoutBackResetSet, kNoPage, kNoPage, kNoPrintItem, {kBack, kReset, kSet, kParamsPanel}},
      {kPageAdvance, 0, kLayoutMeter, kPagePetrol, kPageAdvance, kPrintItemAdvance, {kAdvancePanel, kBack, kPrint}},
      {kPageVoltCurrent, 0, kLayoutVoltCurrent, kPagePetrol, kNoPage, kPrintItemVoltCurrent,
       {kVoltCurrentPanel, kBack, kACDC, kMinMax, kZeroing, kZeroMinMax, kPrint}},
      {kPagePrimary, kTextCoilPrimaryWinding, kLayoutBack, kPagePetrol, kNoPage, kNoPrintItem,
       {kPrimaryVoltage, kDwell, kBack, kTitle}},
      {kPageSecondary, kTextCoilSecondaryWinding, kLayoutBackParams, kPagePetrol, kPageSecondary, kNoPrintItem,
       {kOneCylinder, kAllCylinders, kSelectedCylinder, kTitle, kSubtitle, kBack, kParams}},
      {kPageThermometer, 0, kLayoutMeter, kPagePetrol, kPageThermometer, kPrintItemThermometer,
       {kThermometerPanel, kBack, kPrint}},
      {kPageOneCylinder, 0, kLayoutHiVoltage, kPageSecondary, kPageSecondary, kPrintItemOneCylinder,
       {kOneCylinderPanel, kBack, kAverage, kGraph, kPrint}},
      {kPageAllCylinders, 0, kLayoutHiVoltageSync, kPageSecondary, kPageSecondary, kPrintItemAllCylinders,
       {kAllCylindersPanel, kBack, kGraph, kAverage, kSync, kPrint}},
      {kPageSelectedCylinder, 0, kLayoutHiVoltageSync, kPageSecondary, kPageSecondary, kPrintItemSelectedCylinder,
       {kSelectedCylinderPanel, kBack, kGraph, kAverage, kSync, kPrint}},
      {kPageDoubleCoil, 0, kLayoutHiVoltage, kPageSecondary, kPageSecondary, kPrintItemDoubleCoil,
       {kDblCoilPanel, kBack, kAverage, kGraph, kPrint}},
      {kPageDwell, 0, kLayoutMeter, kPagePrimary, kNoPage, kPrintItemDwell, {kDwellPanel, kBack, kPrint}},
      {kPagePreinjection, 0, kLayoutMeter, kPageDiesel, kPagePreinjection, kPrintItemPreinjection,
       {kAdvancePanel, kBack, kPrint}},
      {kPageDieselVoltCurrent, 0, kLayoutVoltCurrent, kPageDiesel, kNoPage, kPrintItemVoltCurrent,
       {kVoltCurrentPanel, kBack, kACDC, kMinMax, kZeroing, kZeroMinMax, kPrint}},
      {kPageDieselThermometer, 0, kLayoutMeter, kPageDiesel, kPageDieselThermometer, kPrintItemThermometer,
       {kThermometerPanel, kBack, kPrint}},
      // Numbers of the system's pages this program never opens: only their way back is kept.
      {10, 0, 0, kPagePetrol, kNoPage, kNoPrintItem, {}},
      {15, 0, 0, kPagePrimary, kNoPage, kNoPrintItem, {}},
      {19, 0, 0, kPageDiesel, kNoPage, kNoPrintItem, {}},
      {21, 0, 0, kPageDiesel, kNoPage, kNoPrintItem, {}},
  };
  for (const PageEntry& entry : kPages)
    if (entry.page == page) return &entry;
  return nullptr;
}

CWndMotortester::CWndMotortester() : m_nKeptEngineType(GetMotortesterDevice()->GetEngineType()) {}

CWndMotortester::~CWndMotortester() {
  // The panels go first: their destruction stops the kV workers while the pane still exists.
  for (int id = kParamsPanel; id <= kThermometerPanel; ++id)
    if (CWnd* panel = PanelById(id); panel && panel->GetSafeHwnd()) panel->DestroyWindow();
}

CXPCtrlBtn* CWndMotortester::ButtonById(int id) {
  const int i = IndexOf(id);
  return i < 0 ? nullptr : &m_Buttons[i];
}

CWnd* CWndMotortester::PanelById(int id) {
  switch (id) {
    case kParamsPanel: return &m_Params;
    case kAdvancePanel: return &m_Advance;
    case kVoltCurrentPanel: return &m_VoltCurrent;
    case kDwellPanel: return &m_Dwell;
    case kOneCylinderPanel: return &m_OneCylinder;
    case kAllCylindersPanel: return &m_AllCylinders;
    case kSelectedCylinderPanel: return &m_SelectedCylinder;
    case kDblCoilPanel: return &m_DblCoil;
    case kThermometerPanel: return &m_Thermometer;
    default: return nullptr;
  }
}

IMTHiVoltage_14* CWndMotortester::Meter() const { return m_pMeter ? m_pMeter : GetKeloDll().MTHiVoltage(); }

IMotortester_6* CWndMotortester::Tester() const { return GetMotortesterDevice()->GetMotortester(); }

BOOL CWndMotortester::ReducedVariant() const { return GetMeasureEngine().IsReducedVariant(); }

int CWndMotortester::CoilType() const { return GetMotortesterDevice()->GetCoilType(); }

CWnd* CWndMotortester::MainWindow() {
  if (CWnd* parent = GetParent()) return parent;
  return AfxGetMainWnd();
}

BOOL CWndMotortester::CreateChildren() {
  struct PanelInfo {
    CWnd* panel;
    const char* name;
    int id;
  };
  const PanelInfo panels[kPanelCount] = {
      {&m_Params, "Params", kParamsPanel},
      {&m_Advance, "Advance Meter", kAdvancePanel},
      {&m_VoltCurrent, "Voltage and Current", kVoltCurrentPanel},
      {&m_Dwell, "Dwell Angle", kDwellPanel},
      {&m_OneCylinder, "One Cylinders", kOneCylinderPanel},
      {&m_AllCylinders, "All Cylinders", kAllCylindersPanel},
      {&m_SelectedCylinder, "Selected Cylinder", kSelectedCylinderPanel},
      {&m_DblCoil, "One Cylinder DblCoil", kDblCoilPanel},
      {&m_Thermometer, "Thermometer", kThermometerPanel},
  };
  for (const PanelInfo& p : panels)
    if (!static_cast<CXPWndBaseColor*>(p.panel)->Create(p.name, WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), this,
                                                          p.id))
      return FALSE;
  const COLORREF titleFace = GetSchemeColor(et::kTitleFaceScheme);
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonInfo& b = kButtons[i];
    CXPCtrlBtn& button = m_Buttons[i];
    button.drawClbck = this;
    button.btnClbck = this;
    if (b.id == kAverage) button.data.max = 1;
    if (IsTitle(b.id)) {
      SetOption(button, CXPCtrlBtn::kFlat | CXPCtrlBtn::kFlatNoEdge, TRUE);
      button.SetColors(titleFace, titleFace, titleFace, titleFace);
    }
    if (!button.Create(b.name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, b.id)) return FALSE;
  }
  // The note of a successful "Set" lies over the parameters panel: it goes on top of its siblings,
  // or the panel (created first, so above it) would cover it.
  ::SetWindowPos(ButtonById(kSetParamsTitle)->GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (ReducedVariant()) {
    for (int id : kScopeButtons) {
      CXPCtrlBtn* button = ButtonById(id);
      button->data.value = 0;
      button->data.enabled = 0;
      button->EnableWindow(FALSE);
      button->Redraw();
    }
  }
  // The buttons are created visible; the first page shows only its own.
  HideAllPanels();
  return TRUE;
}

void CWndMotortester::HideAllPanels() {
  for (CXPCtrlBtn& b : m_Buttons)
    if (b.GetSafeHwnd()) b.ShowWindow(SW_HIDE);
  for (int id = kParamsPanel; id <= kThermometerPanel; ++id)
    if (CWnd* panel = PanelById(id); panel->GetSafeHwnd()) panel->ShowWindow(SW_HIDE);
}

std::vector<int> CWndMotortester::PageWindows() const {
  std::vector<int> ids;
  const PageEntry* page = PageEntryOf(m_nPage);
  if (!page) return ids;
  for (int id : page->windows)
    if (id != kSync || CoilType() == 1) ids.push_back(id);
  return ids;
}

void CWndMotortester::ShowPage() {
  if (!GetSafeHwnd()) return;
  if (m_nPage == kPageSecondary) {
    int32_t code = 0;
    if (IMotortester_6* tester = Tester(); tester && tester->FindReferenceProbe(&code) == 0) m_nReferenceCode = code;
  }
  if (m_nPage == kPageAdvance || m_nPage == kPagePreinjection) m_Advance.SetDieselMode(m_nPage == kPagePreinjection);
  const std::vector<int> shown = PageWindows();
  const auto onPage = [&shown](int id) { return std::find(shown.begin(), shown.end(), id) != shown.end(); };
  // Only what the new page does not show is hidden: hiding a kV panel stops its worker, and a
  // return to this tab must not restart it.
  for (int id : kButtonIds)
    if (!onPage(id) && Shown(ButtonById(id))) ButtonById(id)->ShowWindow(SW_HIDE);
  for (int id = kParamsPanel; id <= kThermometerPanel; ++id)
    if (!onPage(id) && Shown(PanelById(id))) PanelById(id)->ShowWindow(SW_HIDE);
  RecalcLayout();
  for (int id : shown) {
    CWnd* w = id >= kParamsPanel && id <= kThermometerPanel ? PanelById(id) : ButtonById(id);
    if (w && w->GetSafeHwnd() && !Shown(w)) w->ShowWindow(SW_SHOW);
  }
  for (int id : {static_cast<int>(kTitle), static_cast<int>(kSubtitle), static_cast<int>(kAverage)})
    if (onPage(id)) ButtonById(id)->Redraw();
  Invalidate();
}

void CWndMotortester::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!GetSafeHwnd()) return;
  CRect client;
  GetClientRect(&client);
  const int W = client.Width();
  const int H = client.Height();

  const BYTE charSet = GetGlobalProps().GetCharSet();
  const double normal = H / 20.0;
  const double bold = H / 8.25 / 2.0;
  const int heights[5] = {static_cast<int>(normal), static_cast<int>(bold), static_cast<int>(bold / 2.0),
                          static_cast<int>(0.33 * 1.75 * normal), static_cast<int>(0.7 * bold)};
  const BOOL weights[5] = {FALSE, TRUE, TRUE, TRUE, FALSE};
  for (int i = 0; i < 5; ++i) {
    m_Fonts[i].DeleteObject();
    CreateFontOnce(m_Fonts[i], "Arial", -std::max(1, heights[i]), charSet, weights[i], FALSE, FALSE, 0);
  }

  const int b = static_cast<int>(0.07 * H);   // button height
  const int rowTop = H - 10 - b;               // the bottom row
  const int titleHeight = static_cast<int>(H / 8.25);
  ButtonById(kTitle)->MoveWindow(W / 10, 0, W - W / 5, titleHeight);
  ButtonById(kSubtitle)->MoveWindow(W / 10, titleHeight, W - W / 5, titleHeight / 2);
  ButtonById(kSetParamsTitle)->MoveWindow(W / 10, rowTop - titleHeight / 2 - 10, W - W / 5, titleHeight / 2);

  // The panels fill the area above the bottom row.
  for (int id = kParamsPanel; id <= kThermometerPanel; ++id)
    PanelById(id)->MoveWindow(0, 0, W, std::max(0, rowTop - 10));

  // The engine choice: two wide buttons around the middle.
  const int engineWidth = static_cast<int>(W / 1.7933);
  const int g = static_cast<int>(0.0875 * H);
  ButtonById(kPetrol)->MoveWindow((W - engineWidth) / 2, H / 2 - titleHeight - g, engineWidth, g);
  ButtonById(kDiesel)->MoveWindow((W - engineWidth) / 2, H / 2 + g / 2, engineWidth, g);

  // Menu columns, centred under the title (and the subtitle on the secondary menu).
  const int columnWidth = static_cast<int>(0.6 * W);
  for (const auto& column : MenuColumns()) {
    const int n = static_cast<int>(column.size());
    const int firstTop = std::max(titleHeight * 3 / 2, (rowTop - static_cast<int>(n * 1.2 * b)) / 2 + titleHeight / 2);
    for (int r = 0; r < n; ++r)
      ButtonById(column[r])->MoveWindow((W - columnWidth) / 2, firstTop + static_cast<int>(r * 1.2 * b), columnWidth, b);
  }

  // The bottom row: the buttons of the layout code, centred.
  std::vector<int> row;
  for (const RowButton& rb : kBottomRow)
    if (m_nLayout & rb.bit) row.push_back(rb.id);
  const int width = static_cast<int>(0.12 * W);
  const int step = static_cast<int>(1.2 * width);
  int x = row.empty() ? 0 : (W - (static_cast<int>(row.size()) - 1) * step - width) / 2;
  for (int id : row) {
    ButtonById(id)->MoveWindow(x, rowTop, width, b);
    x += step;
  }
}

CString CWndMotortester::Caption(int id) const {
  CString s;
  switch (id) {
    case kTitle: {
      if (m_nPage == kPageStart) return "Motortester";  // the same word in every language
      const PageEntry* page = PageEntryOf(m_nPage);
      return page && page->title ? Text(page->title) : "";
    }
    case kSubtitle: {
      const char* sensors = m_nReferenceCode == 110 ? "4(C4)"
                            : m_nReferenceCode == 111 ? "1(N)"
                            : m_nReferenceCode == 112 ? "4(N4)"
                                                      : "";
      s.Format("%s: %s,  %s: %s", Text(kTextHvCoilType), GetCoilTypeText(CoilType()), Text(kTextHvSensorCount),
               sensors);
      return s;
    }
    case kACDC: return "=/~";
    case kMinMax: return "Min/Max";
    case kZeroMinMax: return "Reset\nMin/Max";
    case kZeroing: return "0";
    case kSync: return "Sync";
    case kAverage: return GetMotortesterDevice()->m_bAveraging.load() ? ": Off" : ": On";
    default: {
      const int i = IndexOf(id);
      return i >= 0 && kButtons[i].text ? Text(kButtons[i].text) : "";
    }
  }
}

void CWndMotortester::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int id = data->id;
  if (IndexOf(id) < 0 || !content) return;
  const CRect r(*content);
  const CString caption = Caption(id);
  const COLORREF textColor = GetSchemeColor(data->enabled ? et::kCaptionTextScheme : 15);
  const COLORREF titleColor = GetSchemeColor(et::kTitleTextScheme);
  const bool bottomRow = std::any_of(std::begin(kBottomRow), std::end(kBottomRow), [id](const RowButton& rb) {
    return rb.id == id;
  });
  dc->SetBkMode(TRANSPARENT);
  if (id == kTitle) {
    et::DrawFaceText(dc, r, caption, &m_Fonts[1], titleColor, DT_CENTER | DT_BOTTOM);
  } else if (id == kSubtitle) {
    et::DrawFaceText(dc, r, caption, &m_Fonts[2], titleColor, DT_CENTER | DT_VCENTER);
  } else if (id == kSetParamsTitle) {
    et::DrawFaceText(dc, r, caption, &m_Fonts[4], titleColor, DT_CENTER | DT_VCENTER);
  } else if (id == kZeroMinMax) {
    kvp::DcSelect selectFont(dc, &m_Fonts[3]);
    dc->SetTextColor(textColor);
    CRect measure = r;
    dc->DrawText(caption, -1, &measure, DT_CENTER | DT_CALCRECT);
    CRect text = r;
    text.top = r.top + (r.Height() - measure.Height()) / 2;
    dc->DrawText(caption, -1, &text, DT_CENTER);
  } else if (id == kZeroing || id == kGraph || id == kAverage) {
    // A small symbol on the left, the text on the right.
    const int side = std::max(4, r.Height() / 2);
    const CRect icon(r.left + 6, r.top + (r.Height() - side) / 2, r.left + 6 + side, r.top + (r.Height() + side) / 2);
    CPen pen(PS_SOLID, 2, textColor);
    kvp::DcSelect selectPen(dc, &pen);
    if (id == kGraph) {
      const int mid = icon.CenterPoint().y;
      dc->MoveTo(icon.left, mid);
      for (int i = 0; i <= 8; ++i) dc->LineTo(icon.left + i * icon.Width() / 8, mid + (i % 2 ? -1 : 1) * icon.Height() / 3);
    } else if (id == kZeroing) {
      dc->MoveTo(icon.left, icon.CenterPoint().y);
      dc->LineTo(icon.right, icon.CenterPoint().y);
      dc->MoveTo(icon.CenterPoint().x, icon.top);
      dc->LineTo(icon.CenterPoint().x, icon.bottom);
    } else {
      dc->MoveTo(icon.left, icon.bottom);
      dc->LineTo(icon.CenterPoint().x, icon.top);
      dc->LineTo(icon.right, icon.bottom);
      dc->MoveTo(icon.left, icon.CenterPoint().y);
      dc->LineTo(icon.right, icon.CenterPoint().y);
    }
    const CRect text(icon.right + 2, r.top, r.right, r.bottom);
    et::DrawFaceText(dc, text, caption, &m_Fonts[3], textColor, DT_CENTER | DT_VCENTER);
  } else {
    CFont* font = bottomRow ? &m_Fonts[3] : &m_Fonts[0];
    et::DrawFaceText(dc, r, caption, font, textColor, DT_CENTER | DT_VCENTER);
  }
}

void CWndMotortester::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) { OnButtonClicked(data->id); }

void CWndMotortester::SetPage(int page, int layout) {
  m_nPage = page;
  m_nPreviousPage = page;
  m_nLayout = layout;
}

void CWndMotortester::OpenPage(int page) {
  const PageEntry* entry = PageEntryOf(page);
  int layout = entry ? entry->layout : 0;
  if ((layout & kLayoutSync) && CoilType() != 1) layout &= ~kLayoutSync;
  SetPage(page, layout);
  ShowPage();
}

void CWndMotortester::ShowParams() {
  m_nPage = kPageParams;
  m_nLayout = PageEntryOf(kPageParams)->layout;
  ShowPage();
}

bool CWndMotortester::ChooseMeasurement(int measurementId) {
  CMotortesterData* data = GetMotortesterDevice();
  data->SetHelpMode(measurementId);
  const BOOL ready = m_probeCheck ? m_probeCheck(measurementId) : data->WaitMotortesterReady(measurementId);
  if (ready || !data->IsReady()) return true;
  INT_PTR result;
  if (m_instructionDialog) {
    result = m_instructionDialog();
  } else {
    CMessageDlg instruction(AfxGetMainWnd());
    result = instruction.DoModal();
  }
  return result == 1;
}

void CWndMotortester::Measurement(int page) {
  if (!ChooseMeasurement(page)) return;
  OpenPage(page);
}

void CWndMotortester::ApplyScopeFlags(int engineMode, int pressure, int plain, int angle) {
  CMotortesterData* data = GetMotortesterDevice();
  MeasureType& type = GetMeasureType();
  data->SetEngineModeFlag(engineMode);
  data->m_bPressure = pressure;
  type.m_nSubmode = plain;
  if (type.m_nAngleMode.load() == angle) return;
  type.m_nAngleMode = angle;
  CStringArrayEx lines;
  if (!GetMeasureEngine().ReadSampleRateTable(GetGlobalProps(), lines))
    AfxMessageBox(JoinStrings(lines, "\n"), MB_OK | MB_ICONEXCLAMATION);
}

void CWndMotortester::RunPreset(const Preset& p) {
  if (!ChooseMeasurement(p.measurementId)) return;
  CMeasureEngine& engine = GetMeasureEngine();
  engine.SetMTOscAcquisitionMode(p.acquisitionMode);
  engine.SetMeasureTitle(Text(p.title));
  GetMeasureType().m_nMeasureType = p.measureType;
  ApplyScopeFlags(p.engineMode, p.pressure, p.plain, p.angle);
  NotifySystem(notify::kFromEngineTester, notify::kMeasureTypeChanged);
  // The main window deactivates this pane inside the send: no page state is touched after it.
  MainWindow()->SendMessage(WM_SELECTTAB, 0, 0);
}

bool CWndMotortester::SetMeterMode(int mode) {
  IMTHiVoltage_14* meter = Meter();
  const int rc = meter ? meter->SetMode(mode) : -1;
  if (rc == 0) return true;
  // A refused mode would leave the meter measuring another mode's values: the parameters first.
  AfxMessageBox(Text(kTextBadEngineParams), MB_OK | MB_ICONEXCLAMATION);
  ShowParams();
  return false;
}

void CWndMotortester::HiVoltageMeasurement(int id) {
  CMotortesterData* data = GetMotortesterDevice();
  const bool doubleCoil = CoilType() == 1;
  if (id == kOneCylinder) {
    const int page = doubleCoil ? kPageDoubleCoil : kPageOneCylinder;
    if (!ChooseMeasurement(page)) return;
    if (!SetMeterMode(doubleCoil ? 2 : 1)) return;
    OpenPage(page);
    return;
  }
  const int page = id == kAllCylinders ? kPageAllCylinders : kPageSelectedCylinder;
  if (!ChooseMeasurement(page)) return;
  if (!doubleCoil) {
    if (!SetMeterMode(0)) return;
    OpenPage(page);
    return;
  }
  if (data->m_bProbeSetupDone.load()) {
    data->m_bAutoPolarity = 1;
    if (!SetMeterMode(0)) return;
    OpenPage(page);
    return;
  }
  INT_PTR result;
  if (m_probeSetupDialog) {
    result = m_probeSetupDialog();
  } else {
    CVNProbeSetupDlg setup(AfxGetMainWnd());
    result = setup.DoModal();
  }
  if (result != 1) return;
  if (!SetMeterMode(0)) return;
  OpenPage(page);
  data->m_bProbeSetupDone = 1;
  data->ReadPolarities();
}

void CWndMotortester::Graph() {
  if (!IsHiVoltagePage(m_nPage)) return;
  CMeasureEngine& engine = GetMeasureEngine();
  MeasureType& type = GetMeasureType();
  if (m_nPage <= kPageSelectedCylinder) engine.ResetRearmCheck();
  switch (m_nPage) {
    case kPageOneCylinder:
      engine.SetMTOscAcquisitionMode(8);
      engine.SetMeasureTitle(Text(kTextMeasureVnSingleCylinder));
      type.SetType(measure::MeasureType::kSecondarySingle);
      break;
    case kPageAllCylinders:
      engine.SetMTOscAcquisitionMode(7);
      engine.SetMeasureTitle(Text(kTextMeasureVnAllCylinders));
      type.SetType(measure::MeasureType::kSecondaryAll);
      break;
    case kPageSelectedCylinder: {
      engine.SetMTOscAcquisitionMode(7);
      engine.SetMeasureTitle(Text(kTextMeasureVnSelectedCylinder));
      CMeasureEngine* panelEngine = m_SelectedCylinder.State().engine;
      engine.SetSelectedChannel((panelEngine ? panelEngine : &engine)->GetCurrentChannelMode());
      type.SetType(measure::MeasureType::kSecondarySelected);
      NotifySystem(notify::kFromEngineTester, notify::kCylinderChanged);
      break;
    }
    default:
      engine.SetMTOscAcquisitionMode(9);
      engine.SetMeasureTitle(Text(kTextMeasureVnSingleCylinder));
      type.SetType(measure::MeasureType::kSecondaryDoubleCoil);
      break;
  }
  NotifySystem(notify::kFromEngineTester, notify::kMeasureTypeChanged);
  ApplyScopeFlags(1, 0, 0, 0);
  MainWindow()->PostMessage(WM_SELECTTAB, 0, 0);
}

void CWndMotortester::Back() {
  if (m_nPage == kPageParams) {
    const PageEntry* from = PageEntryOf(m_nPreviousPage);
    if (from && from->backFromParams != kNoPage)
      SetPage(from->backFromParams, kLayoutBackParams);
    else
      SetPage(kPageStart, 0);
    ShowPage();
    return;
  }
  const PageEntry* page = PageEntryOf(m_nPage);
  if (!page || page->back == kNoPage) return;
  if (IsHiVoltagePage(m_nPage))
    if (IMotortester_6* tester = Tester()) tester->WaitReady();
  OpenPage(page->back);
}

void CWndMotortester::Print() {
  const PageEntry* page = PageEntryOf(m_nPage);
  if (!page || page->printItem == kNoPrintItem) return;
  const int type = page->printItem;
  int index = -1;
  CPrintItemData* item = GetPrintQueue()->AddItem(type, &index);
  if (!item) return;
  // The kV panels hold volts, and the report prints volts with their prefix ("12.5kV").
  switch (type) {
    case kPrintItemAdvance:
    case kPrintItemDwell:
    case kPrintItemPreinjection: {
      const PolledPanelValues& v = type == kPrintItemDwell ? m_Dwell.GetValues() : m_Advance.GetValues();
      item->SetValues3(v.value, v.temperature, v.speed, "");
      break;
    }
    case kPrintItemVoltCurrent: {
      const auto v = m_VoltCurrent.GetPrintValues();
      const int ac = GetMotortesterDevice()->GetChannel(CMotortesterData::CHANNEL_VOLTAGE).m_Reading.m_bAC;
      item->SetValues6(v.voltage, v.voltageMin, v.voltageMax, v.current, v.currentMin, v.currentMax, ac, v.minMax, "");
      break;
    }
    case kPrintItemThermometer: {
      const PolledPanelValues& v = m_Thermometer.GetValues();
      item->SetValues2(v.temperature, v.speed, "");
      break;
    }
    // A kV panel showing its state instead of bars prints no values but that state.
    case kPrintItemOneCylinder:
    case kPrintItemSelectedCylinder: {
      const CWndMotortester_HiVoltage& panel =
          type == kPrintItemOneCylinder ? static_cast<const CWndMotortester_HiVoltage&>(m_OneCylinder)
                                        : static_cast<const CWndMotortester_HiVoltage&>(m_SelectedCylinder);
      const auto v = panel.GetPrintValues();
      item->SetValues2(v.values[0], v.speed, "");
      item->SetState(panel.StateText());
      break;
    }
    case kPrintItemDoubleCoil: {
      const auto v = m_DblCoil.GetPrintValues();
      item->SetValues3(v.values[0], v.values[1], v.speed, "");
      item->SetState(m_DblCoil.StateText());
      break;
    }
    case kPrintItemAllCylinders: {
      const auto v = m_AllCylinders.GetPrintValues();
      item->SetValues6(v.values[0], v.values[1], v.values[2], v.values[3], v.speed, 0, 0, 0, "");
      item->SetState(m_AllCylinders.StateText());
      break;
    }
    default:
      break;
  }
  CPrintDlg dialog(AfxGetMainWnd());
  dialog.DoModal();
}

void CWndMotortester::OnButtonClicked(int id) {
  CMotortesterData* data = GetMotortesterDevice();
  static const Preset presets[] = {
      {10, 1, kTextOscilloscope, 1, 0, 0, 1, 0},           // 7 petrol oscilloscope
      {19, 6, kTextMeasurePressureSignal, 6, 1, 1, 0, 1},  // 10 pressure sensor
      {21, 1, kTextOscilloscope, 4, 0, 0, 1, 0},           // 12 diesel oscilloscope
      {25, 2, kTextOscilloscopeWithTurn, 5, 1, 0, 0, 0},   // 13 diesel with turn
      {25, 2, kTextOscilloscopeWithTurn, 2, 1, 0, 0, 0},   // 14 petrol with turn
      {15, 4, kTextMeasurePrimaryVoltage, 3, 1, 0, 0, 1},  // 18 primary winding voltage
  };
  const bool voltagePage = m_nPage == kPageVoltCurrent || m_nPage == kPageDieselVoltCurrent;
  switch (id) {
    case kPetrol:
    case kDiesel:
      data->ApplyMotortesterParams(id == kPetrol ? 0 : 1);
      OpenPage(id == kPetrol ? kPagePetrol : kPageDiesel);
      break;
    case kAdvance: Measurement(kPageAdvance); break;
    case kVoltCurrent: Measurement(kPageVoltCurrent); break;
    case kPrimary: OpenPage(kPagePrimary); break;
    case kSecondary: OpenPage(kPageSecondary); break;
    case kThermometer: Measurement(kPageThermometer); break;
    case kPreinjection: Measurement(kPagePreinjection); break;
    case kDieselVoltCurrent: Measurement(kPageDieselVoltCurrent); break;
    case kDieselThermometer: Measurement(kPageDieselThermometer); break;
    case kDwell: Measurement(kPageDwell); break;
    case kScopePetrol: RunPreset(presets[0]); break;
    case kPressure: RunPreset(presets[1]); break;
    case kScopeDiesel: RunPreset(presets[2]); break;
    case kScopeTurnDiesel: RunPreset(presets[3]); break;
    case kScopeTurnPetrol: RunPreset(presets[4]); break;
    case kPrimaryVoltage: RunPreset(presets[5]); break;
    case kOneCylinder:
    case kAllCylinders:
    case kSelectedCylinder: HiVoltageMeasurement(id); break;
    case kBack: Back(); break;
    case kParams: ShowParams(); break;
    case kSet:
      if (data->ApplyMotortesterParams(data->GetEngineType()) == 0) {
        ButtonById(kSetParamsTitle)->ShowWindow(SW_SHOW);
        ButtonById(kSetParamsTitle)->Redraw();
        SetTimer(TIMER_SET_TITLE, SET_TITLE_MS, nullptr);
      }
      data->SaveMotortesterParams();
      break;
    case kReset:
      if (data->ReloadDefaults() != PARAMS_REFUSED) m_Params.Reload();
      break;
    case kACDC:
      if (!voltagePage) break;
      data->SetACMode(data->GetChannel(CMotortesterData::CHANNEL_VOLTAGE).m_Reading.m_bAC ? 0 : 1);
      m_VoltCurrent.Invalidate();
      break;
    case kMinMax:
      if (!voltagePage) break;
      m_VoltCurrent.m_bMinMax = m_VoltCurrent.m_bMinMax ? 0 : 1;
      m_VoltCurrent.Invalidate();
      break;
    case kZeroing:
      if (voltagePage) m_VoltCurrent.m_nZeroCount = 4;
      break;
    case kZeroMinMax:
      for (int channel : {CMotortesterData::CHANNEL_VOLTAGE, CMotortesterData::CHANNEL_CURRENT}) {
        MeterReading& r = data->GetChannel(channel).m_Reading;
        r.m_dMin = r.m_dMax = 0.0;
        r.m_bMinMaxSet = 0;
      }
      m_VoltCurrent.m_nResetCount = 4;
      break;
    case kGraph: Graph(); break;
    case kSync:
      if (IMTHiVoltage_14* meter = Meter()) {
        if (m_nPage == kPageDoubleCoil)
          meter->TogglePolarity();
        else
          meter->Rearm();
      }
      break;
    case kAverage:
      data->m_bAveraging = data->m_bAveraging.load() ? 0 : 1;
      ButtonById(kAverage)->Redraw();
      for (CWnd* panel : {static_cast<CWnd*>(&m_OneCylinder), static_cast<CWnd*>(&m_AllCylinders),
                          static_cast<CWnd*>(&m_SelectedCylinder), static_cast<CWnd*>(&m_DblCoil)})
        if (Shown(panel)) panel->Invalidate();
      break;
    case kPrint: Print(); break;
    default: break;  // the titles do nothing
  }
}

void CWndMotortester::Activate(int previousTab) {
  CMotortesterData* data = GetMotortesterDevice();
  if (!data->IsReady() && previousTab != 9)
    AfxMessageBox(Text(kTextTesterNotConnected), MB_ICONINFORMATION | MB_TOPMOST);
  ShowWindow(SW_SHOW);
  ShowPage();
  data->ApplyMotortesterParams(m_nKeptEngineType);
}

BOOL CWndMotortester::Deactivate() {
  HideAllPanels();
  m_nKeptEngineType = GetMotortesterDevice()->GetEngineType();
  ShowWindow(SW_HIDE);
  return TRUE;
}

void CWndMotortester::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CWndMotortester::OnTimer(UINT_PTR id) {
  if (id != TIMER_SET_TITLE) {
    CXPWndBaseColor::OnTimer(id);
    return;
  }
  ButtonById(kSetParamsTitle)->ShowWindow(SW_HIDE);
  KillTimer(TIMER_SET_TITLE);
  Invalidate();
}

LRESULT CWndMotortester::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KVREFUSED) {
    ShowParams();
    return 1;
  }
  return CXPWndBaseColor::WindowProc(message, wParam, lParam);
}
