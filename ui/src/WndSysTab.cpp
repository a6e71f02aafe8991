// The system tab: other programs of the family, by browser window or by icon.
#include <ui/WndSysTab.h>

#include <core/ColorScheme.h>
#include <core/ExtAppList.h>
#include <core/GlobalProps.h>
#include <core/Messages.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>
#include <platform/process.h>
#include <platform/unique.h>

#include <cstring>

CWndSysTab::CWndSysTab() {
  CExtAppList list;
  if (list.LoadExternalApps() == CExtAppList::OK) SetPrograms(list);
  m_nSelected = 0;
}

CWndSysTab::~CWndSysTab() { ClearPrograms(); }

void CWndSysTab::ClearPrograms() {
  for (apps& app : m_Apps) {
    if (app.icon) DestroyIcon(app.icon);
  }
  m_Apps.clear();
}

void CWndSysTab::SetPrograms(const CExtAppList& list) {
  ClearPrograms();
  for (int i = 0; i < list.GetCount(); ++i) {
    apps app;
    app.path = list.GetPath(i) ? list.GetPath(i) : "";
    HICON icon = 0;
    if (ExtractIconEx(app.path.c_str(), 0, &icon, nullptr, 1) == 1) app.icon = icon;
    app.description = list.GetDescription(i) ? list.GetDescription(i) : "";
    m_Apps.push_back(std::move(app));
  }
  m_nSelected = 0;
}

int CWndSysTab::OnCreate(LPCREATESTRUCT cs) {
  if (CXPWndBaseColor::OnCreate(cs) == -1) return -1;
  const COLORREF face = GetSchemeColor(14);
  const COLORREF lighter = AdjustColor(face, 40);
  struct Button {
    CXPCtrlBtn* button;
    const char* name;
    UINT id;
  } buttons[] = {{&m_btnNext, "Btn Next", BTN_NEXT}, {&m_btnPrevious, "Btn Previous", BTN_PREVIOUS}, {&m_btnTitle, "Title", BTN_TITLE}};
  for (const Button& b : buttons) {
    b.button->drawClbck = this;
    b.button->btnClbck = this;
    if (b.id == BTN_TITLE) {
      SetOption(*b.button, CXPCtrlBtn::kFlat, TRUE);
      b.button->SetColors(lighter, 0x10000, 0x10000, 0x505050);
    } else {
      b.button->SetColors(face, lighter, kPanelColor, 0x505050);
    }
    if (!b.button->Create(b.name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, b.id)) return -1;
  }
  if (!m_brPanel.GetSafeHandle()) m_brPanel.CreateSolidBrush(kPanelColor);
  return 0;
}

void CWndSysTab::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  CRect area = m_rcClient;
  if (HWND parent = ::GetParent(m_hWnd)) ::GetClientRect(parent, &area);
  const int cx = area.Width() / 2;
  const int cy = area.Height() / 2;
  m_rcPanel = CRect(cx - 215, cy - 110, cx + 215, cy + 10);
  if (m_btnNext.GetSafeHwnd()) m_btnNext.MoveWindow(m_rcPanel.right - 40, m_rcPanel.top + 10, 30, 49, TRUE);
  if (m_btnPrevious.GetSafeHwnd()) m_btnPrevious.MoveWindow(m_rcPanel.left + 10, m_rcPanel.top + 10, 30, 49, TRUE);
  if (m_btnTitle.GetSafeHwnd()) {
    m_btnTitle.MoveWindow(m_rcPanel.left + 10, m_rcPanel.bottom - 40, m_rcPanel.Width() - 20, 30, TRUE);
  }
  Redraw();
}

int CWndSysTab::FirstIconX(int width, int count) {
  if (count % 2 == 0) return width / 2 - (count / 2) * kIconStep + 5;
  return width / 2 - ((count - 1) / 2) * kIconStep - 16;
}

void CWndSysTab::PaintContent(CDC* dc) {
  if (!m_brPanel.GetSafeHandle()) m_brPanel.CreateSolidBrush(kPanelColor);
  dc->FillRect(&m_rcPanel, &m_brPanel);
  CRect edge = m_rcPanel;
  dc->DrawEdge(&edge, EDGE_BUMP, BF_RECT);

  const int count = static_cast<int>(m_Apps.size());
  if (count == 0) {
    m_strTitle = GetGlobalProps().GetText(kTextNoChangeOverApp);
    m_btnTitle.Redraw();
    return;
  }
  int x = FirstIconX(m_rcClient.Width(), count);
  const int y = m_rcPanel.top + 20;
  for (int i = 0; i < count; ++i, x += kIconStep) {
    apps& app = m_Apps[i];
    app.x = x;
    app.y = y;
    if (i == m_nSelected) {
      {
        CPen red(PS_SOLID, 2, RGB(255, 0, 0));
        kvp::DcSelect pen(dc, &red);
        kvp::DcSelect brush(dc->m_hDC, GetStockObject(NULL_BRUSH));
        dc->Rectangle(x - 4, m_rcPanel.top + 16, x + 37, m_rcPanel.top + 57);
      }
      m_strTitle = app.description.c_str();
      m_btnTitle.Redraw();
    }
    if (app.icon) dc->DrawIcon(x, y, app.icon);
  }
}

void CWndSysTab::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  if (!dc || !content || !data) return;
  dc->SetBkMode(TRANSPARENT);
  const CRect r = *content;
  if (button == &m_btnTitle) {
    CRect text = r;
    dc->DrawText(m_strTitle, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    return;
  }
  if (button != &m_btnNext && button != &m_btnPrevious) return;
  const int middle = r.top + (r.Height() - 4) / 2;
  POINT points[3];
  if (button == &m_btnNext) {
    points[0] = {r.left + 2, r.top + 2};
    points[1] = {r.left + 2, r.bottom - 2};
    points[2] = {r.right - 2, middle};
  } else {
    points[0] = {r.right - 2, r.top + 2};
    points[1] = {r.right - 2, r.bottom - 2};
    points[2] = {r.left + 2, middle};
  }
  CBrush fill(GetSchemeColor(15));
  CPen edge(PS_SOLID, 1, GetSchemeColor(15));
  kvp::DcSelect brush(dc, &fill);
  kvp::DcSelect pen(dc, &edge);
  dc->Polygon(points, 3);
}

void CWndSysTab::OnClick(XPCtrlBtnData*, CXPCtrlBtn* button) {
  const int count = static_cast<int>(m_Apps.size());
  if (count == 0) return;
  if (button == &m_btnNext) {
    m_nSelected = m_nSelected + 1 >= count ? 0 : m_nSelected + 1;
  } else if (button == &m_btnPrevious) {
    m_nSelected = m_nSelected <= 0 ? count - 1 : m_nSelected - 1;
  } else {
    return;
  }
  Redraw();
}

int CWndSysTab::ProgramAt(CPoint point) const {
  for (size_t i = 0; i < m_Apps.size(); ++i) {
    const apps& app = m_Apps[i];
    if (point.x >= app.x && point.x <= app.x + kIconSize && point.y >= app.y && point.y <= app.y + kIconSize) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void CWndSysTab::OnMouseMove(UINT flags, CPoint point) {
  CXPWndBaseColor::OnMouseMove(flags, point);
  const int hit = ProgramAt(point);
  if (hit < 0 || hit == m_nSelected) return;
  m_nSelected = hit;
  m_strTitle = m_Apps[hit].description.c_str();
  Redraw();
}

BOOL CWndSysTab::StartProgram(const std::string& path) {
  // The full path names the program itself: no shell, no length cut, blanks in it are safe.
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFO startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcess(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                     nullptr, &startup, &process)) {
    return FALSE;
  }
  // Started without waiting: the handles are only closed.
  kvp::UniqueHandle thread(process.hThread), program(process.hProcess);
  return TRUE;
}

void CWndSysTab::OnLButtonDown(UINT flags, CPoint point) {
  CXPWndBaseColor::OnLButtonDown(flags, point);
  const int hit = ProgramAt(point);
  if (hit < 0) return;
  StartProgram(m_Apps[hit].path);  // a failed start stays silent; the tab returns all the same
  SelectTabOfMain(GetGlobalProps().m_nPreviousTab, false);
}

void CWndSysTab::SelectTabOfMain(int tab, bool post) {
  HWND main = ::GetParent(m_hWnd);
  if (!main) return;
  if (post) {
    ::PostMessage(main, WM_SELECTTAB, static_cast<WPARAM>(tab), 0);
  } else {
    ::SendMessage(main, WM_SELECTTAB, static_cast<WPARAM>(tab), 0);
  }
}

HWND CWndSysTab::FindFamilyBrowser() {
  for (HWND w = ::FindWindow(kBrowserClass, nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (!::IsWindow(w)) continue;
    char cls[256] = {};
    ::GetClassName(w, cls, sizeof cls);
    if (std::strcmp(cls, kBrowserClass) != 0) continue;
    char title[101] = {};
    ::GetWindowText(w, title, sizeof title);
    if (std::strstr(title, "Dravix")) return w;
  }
  return 0;
}

void CWndSysTab::Activate(int previousTab) {
  if (HWND browser = FindFamilyBrowser()) {
    if (::IsIconic(browser) || !::IsWindowVisible(browser)) ::ShowWindow(browser, SW_SHOWNORMAL);
    ::SetForegroundWindow(browser);
    SelectTabOfMain(previousTab, true);
    return;
  }
  Show(TRUE);
}

BOOL CWndSysTab::Deactivate() {
  Show(FALSE);
  return TRUE;
}

void CWndSysTab::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

PaneEntry SysTabEntry() {
  PaneEntry entry;
  entry.tab = 9;
  entry.name = "SysTab";
  entry.childId = 1017;
  entry.make = [] { return std::unique_ptr<CWnd>(new CWndSysTab); };
  entry.create = [](CWnd& pane, const char* name, CWnd* parent, UINT id) {
    auto& sysTab = static_cast<CWndSysTab&>(pane);
    sysTab.SetColor(GetSchemeColor(6));
    return sysTab.Create(name, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}
