#include <ui/WndStartScreen.h>

#include <core/Messages.h>

namespace {

struct StartButton {
  const char* name;
  const char* face;
  int tab;
};
constexpr StartButton kStartButtons[CWndStartScreen::kButtons] = {
    {"Oscilloscope", "Osciloskop", 0},
    {"Motortester", "Motortester", 4},
    {"Special tests", "Special tests", 5},
};

}  // namespace

int CWndStartScreen::TabOf(int button) {
  return button >= 0 && button < kButtons ? kStartButtons[button].tab : -1;
}

BOOL CWndStartScreen::CreateChildren() {
  for (int i = 0; i < kButtons; ++i) {
    CXPCtrlBtn& button = m_Buttons[i];
    button.data.min = 1;
    button.data.max = 1;
    button.data.value = i;
    button.drawClbck = this;
    button.btnClbck = this;
    if (!button.Create(kStartButtons[i].name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, static_cast<UINT>(i))) {
      return FALSE;
    }
  }
  return TRUE;
}

void CWndStartScreen::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const int cx = (m_rcWork.left + m_rcWork.right) / 2;
  const int cy = (m_rcWork.top + m_rcWork.bottom) / 2;
  for (int i = 0; i < kButtons; ++i) {
    if (!m_Buttons[i].GetSafeHwnd()) continue;
    m_Buttons[i].MoveWindow(cx - 350 + i * kButtonStep, cy - 100, kButtonSize, kButtonSize, TRUE);
  }
}

void CWndStartScreen::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  // The control id is the button's index: its value is stepped by every click.
  const int index = data ? data->id : -1;
  if (index < 0 || index >= kButtons) return;
  dc->SetBkMode(TRANSPARENT);
  CRect r = *content;
  dc->DrawText(kStartButtons[index].face, -1, &r, DT_SINGLELINE | DT_VCENTER);
}

void CWndStartScreen::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int tab = TabOf(data ? data->id : -1);
  if (tab < 0) return;
  if (CWnd* parent = CWnd::FromHandle(::GetParent(m_hWnd))) parent->SendMessage(WM_SELECTTAB, static_cast<WPARAM>(tab), 0);
}

PaneEntry StartScreenEntry() {
  PaneEntry entry;
  entry.tab = -1;
  entry.name = "StartScreen";
  entry.childId = 1032;
  entry.make = [] { return std::unique_ptr<CWnd>(new CWndStartScreen); };
  entry.create = [](CWnd& pane, const char* name, CWnd* parent, UINT id) {
    return static_cast<CWndStartScreen&>(pane).Create(name, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}
