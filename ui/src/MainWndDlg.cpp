// The main window: pane creation, the tab strip and the tab rules, layout, the shape rule, the
// quit question and the switch target at the end.
#include <ui/MainWndDlg.h>
#include <ui/dialogs/AboutDlg.h>

#include <core/ColorScheme.h>
#include <core/Messages.h>
#include <core/Notify.h>
#include <core/ResourceHolder.h>
#include <core/TextIds.h>
#include <core/VersionInfo.h>

#include <platform/dcscope.h>
#include <platform/dialogtemplate.h>
#include <platform/registry.h>
#include <platform/resources.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr UINT_PTR kShownTimer = 0x4B56;
constexpr COLORREF kMagenta = RGB(255, 0, 255);
// The darkest grey of a disabled tab's icon (its black).
constexpr int kGreyedDarkest = 170;

COLORREF Lighten(COLORREF c, int by) {
  auto ch = [by](int v) { return std::min(255, v + by); };
  return RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

// A greyed copy of a strip of tab icons, for the disabled tabs: every pixel but the transparent
// magenta becomes a light grey of its own brightness, so the icon stays recognisable but reads as
// out of reach. 0 when the strip cannot be read.
HBITMAP GreyedCopy(HBITMAP strip) {
  BITMAP info{};
  if (!strip || !GetObject(strip, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return 0;
  HDC dc = CreateCompatibleDC(0);
  std::vector<BYTE> bits(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
  {
    kvp::DcSelect select(dc, strip);
    BYTE* pixel = bits.data();
    for (int y = 0; y < info.bmHeight; ++y) {
      for (int x = 0; x < info.bmWidth; ++x, pixel += 4) {
        COLORREF c = GetPixel(dc, x, y);
        if (c == kMagenta) {
          pixel[0] = 255, pixel[1] = 0, pixel[2] = 255;
          continue;
        }
        int brightness = (30 * GetRValue(c) + 59 * GetGValue(c) + 11 * GetBValue(c)) / 100;
        BYTE grey = static_cast<BYTE>(kGreyedDarkest + brightness * (255 - kGreyedDarkest) / 255);
        pixel[0] = pixel[1] = pixel[2] = grey;
      }
    }
  }
  DeleteDC(dc);
  return CreateBitmap(info.bmWidth, info.bmHeight, 1, 32, bits.data());
}

// The switch target's machine-wide value; empty when missing.
std::string ReadNameChangeApp() {
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310\\Parameter", 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char buffer[512] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueEx(key, "NameChangeApp", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
  buffer[std::min<DWORD>(size, sizeof buffer - 1)] = 0;
  return buffer;
}

}  // namespace

BOOL RegisterMainWindowClass() {
  WNDCLASS existing{};
  if (GetClassInfo(AfxGetInstanceHandle(), kMainWindowClass, &existing)) return TRUE;
  WNDCLASS wc{};
  if (!GetClassInfo(AfxGetInstanceHandle(), WC_DIALOG, &wc)) return FALSE;
  wc.lpszClassName = kMainWindowClass;
  return AfxRegisterClass(&wc);
}

void RegisterMainWindowTemplate() {
  static const kvp::DialogTemplate kTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN | DS_SETFONT,
      0, 0, 0, 533, 366, "Dravix Scope", kMainWindowClass, "MS Shell Dlg", 8, {}};
  static const bool registered = [] {
    kvp::RegisterDialogTemplate(0, IDD_MAINWND, &kTemplate);
    kvp::RegisterStringResource(0, IDS_ABOUTBOX, "About Dravix Scope...");
    return true;
  }();
  (void)registered;
}

void ApplyShapeRule(POINT& maxSize) {
  if (maxSize.x <= 0) return;
  double ratio = static_cast<double>(maxSize.y) / maxSize.x;
  if (ratio > 0.81) {
    maxSize.y = static_cast<LONG>(maxSize.x * 0.75);
  } else if (ratio < 0.69) {
    maxSize.x = static_cast<LONG>(maxSize.y * 4.0 / 3.0);
  }
}

int ChooseFirstTab(const std::vector<std::string>& args, BOOL reduced, BOOL engineTesterReady) {
  int tab = engineTesterReady ? 4 : 0;
  if (args.size() == 1) {
    if (args[0] == "osc") tab = 0;
    if (args[0] == "mt") tab = 4;
  }
  // The reduced variant has no scope tab: the program never starts on a tab the user cannot come
  // back to, whatever the command line asked for.
  return reduced && tab == 0 ? 1 : tab;
}

CMainWndDlg::CMainWndDlg(PaneTable table, MainWndEnvironment environment, GlobalProps& settings)
    : CDialog(IDD_MAINWND), table_(std::move(table)), env_(std::move(environment)), settings_(settings), strip_(this) {
  RegisterMainWindowTemplate();
  if (!env_.about) {
    env_.about = [](CWnd* owner) {
      CAboutDlg about(owner);
      about.DoModal();
    };
  }
}

CMainWndDlg::~CMainWndDlg() {
  // Panes go in reverse creation order.
  while (!panes_.empty()) panes_.pop_back();
  if (tabsSelected_) DeleteObject(tabsSelected_);
  if (tabsNormal_) DeleteObject(tabsNormal_);
  if (tabsDisabled_) DeleteObject(tabsDisabled_);
}

CWnd* CMainWndDlg::Pane(int tab) const {
  for (size_t i = 0; i < table_.size() && i < panes_.size(); ++i) {
    if (table_[i].tab == tab) return panes_[i].get();
  }
  return nullptr;
}

int CMainWndDlg::OnCreate(LPCREATESTRUCT cs) {
  if (CDialog::OnCreate(cs) == -1) return -1;
  CRect empty(0, 0, 0, 0);
  for (size_t i = 0; i < table_.size(); ++i) {
    const PaneEntry& entry = table_[i];
    std::unique_ptr<CWnd> pane = entry.make ? entry.make() : nullptr;
    if (!pane || !entry.create || !entry.create(*pane, entry.name, this, entry.childId)) return -1;
    IPaneWnd* face = PaneInterface(pane.get());
    if (entry.tab >= 0 && entry.tab < kTabCount) {
      if (!face) return -1;
      byTab_[entry.tab] = face;
    } else {
      startScreen_ = pane.get();
    }
    if (entry.hotKeys) scopeEntry_ = static_cast<int>(i);
    panes_.push_back(std::move(pane));
  }
  return 0;
}

BOOL CMainWndDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  CVersionInfo version;
  version.ReadModule(0, "040904b0", "ProductVersion");
  GetResourceHolder().m_strText1 = version.m_strFileVersion;
  GetResourceHolder().m_strText2 = version.m_strProductVersion;

  char about[256] = {};
  if (LoadString(AfxGetResourceHandle(), IDS_ABOUTBOX, about, sizeof about) > 0 && about[0]) {
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    if (menu) {
      AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenu(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  bigIcon_ = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
  smallIcon_ = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME_SMALL));
  if (bigIcon_) SendMessage(WM_SETICON, ICON_BIG, static_cast<LPARAM>(bigIcon_));
  if (smallIcon_) SendMessage(WM_SETICON, ICON_SMALL, static_cast<LPARAM>(smallIcon_));
  ::SetWindowText(m_hWnd, version.m_strProductName.IsEmpty() ? "Dravix Scope" : static_cast<LPCSTR>(version.m_strProductName));

  tabsSelected_ = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(IDB_TABS_SELECTED));
  tabsNormal_ = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(IDB_TABS_NORMAL));
  tabsDisabled_ = GreyedCopy(tabsNormal_);

  BYTE charSet = settings_.GetCharSet();
  fontNormal_.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  fontBold_.CreateFont(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");

  strip_.owner = this;
  COLORREF scheme = GetSchemeColor(6);
  strip_.SetColors(Lighten(scheme, 100), scheme, Lighten(scheme, 70), RGB(128, 128, 128));

  {
    CClientDC dc(this);
    for (int tab = 0; tab < kTabCount; ++tab) {
      auto* item = new CXPCtrlTabItem;
      item->id = tab;
      RECT measure{};
      DrawItem(&dc, &measure, item, 0x2);
      item->width = measure.right - measure.left;
      item->painter = this;
      strip_.AddItem(item);
    }
  }

  BOOL reduced = env_.reduced();
  if (env_.devicePresent() && reduced) {
    for (int tab : {0, 5, 6}) strip_.GetItem(tab)->enabled = FALSE;
    ::SetWindowText(m_hWnd, "Corvane");
  }

  int first = ChooseFirstTab(env_.args, reduced, env_.engineTesterReady());
  int old = strip_.selected;
  if (MayChange(first, old)) {
    strip_.selected = first;
    strip_.layoutDirty = TRUE;
    Changed(first, old);
  }

  for (int tab = 0; tab < kTabCount; ++tab) {
    if (byTab_[tab]) byTab_[tab]->Init();
  }

  if (HWND one = ::GetDlgItem(m_hWnd, 1)) ::ShowWindow(one, SW_HIDE);

  if (env_.registerWindows) {
    HWND tester = 0;
    for (size_t i = 0; i < table_.size() && i < panes_.size(); ++i) {
      if (table_[i].engineTester) tester = panes_[i]->GetSafeHwnd();
    }
    env_.registerWindows(m_hWnd, tester);
  }

  // Posted rather than a timer: a timer message comes only when the queue is empty, which a running
  // scope may not leave it for a long while on a slow machine.
  if (env_.onShown) PostMessage(WM_TIMER, kShownTimer, 0);
  MoveWindow(0, 0, 800, 599);
  ShowWindow(SW_SHOWMAXIMIZED);
  ::SetForegroundWindow(m_hWnd);
  return TRUE;
}

BOOL CMainWndDlg::MayChange(int newTab, int oldTab) {
  (void)newTab;
  if (oldTab >= 0 && oldTab < kTabCount && byTab_[oldTab]) return byTab_[oldTab]->Deactivate();
  return TRUE;
}

void CMainWndDlg::Changed(int newTab, int oldTab) {
  if (newTab < 0 || newTab >= kTabCount || !byTab_[newTab]) return;
  if (startScreen_) startScreen_->ShowWindow(SW_HIDE);
  // The first selection records the first tab as both current and previous.
  settings_.m_nPreviousTab = oldTab >= 0 ? oldTab : newTab;
  settings_.m_nCurrentTab = newTab;
  byTab_[newTab]->Activate(oldTab);
}

LRESULT CMainWndDlg::OnSelectTab(int tab) {
  if (tab < 0 || tab >= kTabCount || tab == strip_.selected) return 1;
  CXPCtrlTabItem* item = strip_.GetItem(tab);
  if (!item || !item->enabled || !strip_.owner) return 1;
  int old = strip_.selected;
  if (!MayChange(tab, old)) return 1;
  strip_.selected = tab;
  strip_.layoutDirty = TRUE;
  strip_.Redraw(TRUE);
  Changed(tab, old);
  return 1;
}

BOOL CMainWndDlg::DrawItem(CDC* dc, RECT* rect, CXPCtrlTabItem* item, int flags) {
  if (!item || item->id < 0 || item->id >= kTabCount) return FALSE;
  if (flags & 0x2) {
    *rect = RECT{0, 0, dc ? kTabWidth : 100, 0};
    return TRUE;
  }
  if (!dc) return FALSE;
  dc->SetBkMode(TRANSPARENT);
  int width = rect->right - rect->left;
  int height = rect->bottom - rect->top;
  int x = rect->left + (width - 24) / 2;
  int y = rect->top + (height - 24) / 2 + 1;
  // A disabled tab (the reduced variant's) shows its icon greyed; it can never be the selected one.
  HBITMAP strip = (flags & 0x1) ? tabsSelected_ : item->enabled ? tabsNormal_ : tabsDisabled_;
  if (strip) {
    CDC source;
    source.CreateCompatibleDC(dc);
    kvp::DcSelect select(source.m_hDC, strip);
    dc->TransparentBlt(x, y, 24, 24, &source, item->id * 24, 0, 24, 24, kMagenta);
  }
  return TRUE;
}

void CMainWndDlg::OnOK() {}

void CMainWndDlg::OnCancel() {
  bool ask = !(env_.quitWithoutAsking && env_.quitWithoutAsking());
  const char* text = settings_.GetText(kTextQuitQuestion);
  if (ask && ::MessageBox(m_hWnd, text ? text : "Do you really want to quit the application?", "Dravix Scope",
                          MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  NotifyQuit();
  EndDialog(IDCANCEL);
}

HWND CMainWndDlg::FindSwitchTarget() {
  HWND target = 0;
  std::string value = ReadNameChangeApp();
  if (!value.empty()) {
    static const std::string kToken = "%class_name%";
    size_t at = value.find(kToken);
    if (at != std::string::npos) {
      value.erase(at, kToken.size());
      target = ::FindWindow(value.c_str(), nullptr);
    } else {
      target = ::FindWindow(nullptr, value.c_str());
    }
  }
  if (!target) {
    for (HWND w = ::FindWindow("MozillaWindowClass", nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
      if (!::IsWindow(w)) continue;
      char cls[256] = {};
      ::GetClassName(w, cls, sizeof cls);
      if (std::strcmp(cls, "MozillaWindowClass") != 0) continue;
      char title[101] = {};
      ::GetWindowText(w, title, sizeof title);
      if (std::strstr(title, "Dravix")) {
        target = w;
        break;
      }
    }
  }
  return target;
}

void CMainWndDlg::OnDestroy() {
  if (HWND target = FindSwitchTarget()) {
    if (::IsIconic(target) || !::IsWindowVisible(target)) {
      ::ShowWindow(target, SW_RESTORE);
      ::ShowWindow(target, SW_SHOW);
    }
    ::SetForegroundWindow(target);
  }
  CDialog::OnDestroy();
}

void CMainWndDlg::LayoutPanes() {
  CRect client;
  GetClientRect(&client);
  CResourceHolder& holder = GetResourceHolder();
  holder.m_rcClient = client;
  RECT stripRect = client;
  holder.LayoutScreenArea(ScreenArea::TabStrip, stripRect);
  strip_.rect = stripRect;
  strip_.layoutDirty = TRUE;
  RECT paneRect = client;
  holder.LayoutScreenArea(ScreenArea::PaneArea, paneRect);
  for (auto& pane : panes_) {
    if (pane->GetSafeHwnd()) pane->MoveWindow(&paneRect, TRUE);
  }
}

void CMainWndDlg::OnWindowPosChanged(WINDOWPOS* pos) {
  CDialog::OnWindowPosChanged(pos);
  LayoutPanes();
}

void CMainWndDlg::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, static_cast<WPARAM>(dc.m_hDC), 0);
    CRect client;
    GetClientRect(&client);
    int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    if (bigIcon_) DrawIcon(dc.m_hDC, (client.Width() - cx + 1) / 2, (client.Height() - cy + 1) / 2, bigIcon_);
    return;
  }
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  dc.FillSolidRect(&client, GetSchemeColor(6));
  strip_.Paint(&dc, TRUE);
}

void CMainWndDlg::OnTimer(UINT_PTR id) {
  if (id != kShownTimer) {
    CDialog::OnTimer(id);
    return;
  }
  KillTimer(kShownTimer);
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (env_.onShown) env_.onShown(m_hWnd);
}

BOOL CMainWndDlg::OnEraseBkgnd(CDC*) { return TRUE; }

void CMainWndDlg::OnLButtonDown(UINT flags, CPoint point) {
  strip_.OnLButtonDown(point);
  CDialog::OnLButtonDown(flags, point);
}

LRESULT CMainWndDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SELECTTAB:
      return OnSelectTab(static_cast<int>(wParam));
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      ApplyShapeRule(info->ptMaxSize);
      // The maximised window starts at the screen's corner. Placed a frame's width outside it, as
      // on a desktop that frames its windows, it would lose the top of the tab strip and leave a
      // bare band right and bottom here, where the display draws no frame.
      info->ptMaxPosition = POINT{0, 0};
      return 0;
    }
    case WM_ACTIVATEAPP: {
      LRESULT r = CDialog::WindowProc(message, wParam, lParam);
      if (scopeEntry_ >= 0 && scopeEntry_ < static_cast<int>(panes_.size())) {
        table_[scopeEntry_].hotKeys(*panes_[scopeEntry_], wParam ? TRUE : FALSE);
      }
      return r;
    }
    case WM_HELP:
      return TRUE;
    case WM_QUERYDRAGICON:
      return static_cast<LRESULT>(bigIcon_);
    case WM_DRAWITEM: {
      CRect client;
      GetClientRect(&client);
      HDC dc = ::GetDC(m_hWnd);
      HBRUSH brush = CreateSolidBrush(GetSchemeColor(6));
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      ::ReleaseDC(m_hWnd, dc);
      Invalidate(TRUE);
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if (wParam >= 16 && wParam <= 31) {
        if (env_.about) env_.about(this);
        return 0;
      }
      break;
    default:
      break;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}
