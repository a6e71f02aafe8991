#include <scope/pane/SavedScopePopup.h>

#include <scope/SavedScopeFill.h>
#include <scope/ScopeNotify.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/Notify.h>
#include <core/SavedScope.h>

#include <platform/controls.h>
#include <platform/dcscope.h>

#include <cstring>

namespace {

constexpr const char* kButtonNames[4] = {"ButtonCD", "ButtonEF", "ButtonAll", "ButtonCancel"};

}  // namespace

CDialogs::CDialogs() = default;
CDialogs::~CDialogs() = default;

CString CDialogs::FaceText(int id) const {
  switch (id) {
    case kButtonCD:
      return scope::SavedScopeTitle(&GetSavedScopes()[0]);
    case kButtonEF:
      return scope::SavedScopeTitle(&GetSavedScopes()[1]);
    case kButtonAll:
      return "All";
    case kButtonCancel:
      return "Back";
    default:
      return "";
  }
}

BOOL CDialogs::CreateChildren() {
  for (int i = 0; i < 4; ++i) {
    if (!m_buttons[i].Create(kButtonNames[i], WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kButtonCD + i))
      return FALSE;
    m_buttons[i].drawClbck = this;
    m_buttons[i].btnClbck = this;
  }
  EnableToolTips(TRUE);
  return TRUE;
}

void CDialogs::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect& r = m_rcClient;
  const int width = r.Width();
  m_fonts[0].DeleteObject();
  CreateFontOnce(m_fonts[0], "Arial", static_cast<int>((r.left - r.right) / 20.5), GetGlobalProps().GetCharSet(),
                 FALSE, FALSE, FALSE, 0);
  const int e = static_cast<int>((width - width * 0.08) * 0.25);
  const int x[4] = {r.left, r.left + static_cast<int>(width * 0.487) - e, r.right - static_cast<int>(width * 0.487),
                    r.right - e};
  for (int i = 0; i < 4; ++i)
    if (m_buttons[i].GetSafeHwnd()) m_buttons[i].MoveWindow(x[i], r.top, e, r.Height());
}

BOOL CDialogs::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr && hdr->code == TTN_NEEDTEXTA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
    if (info->uFlags & TTF_IDISHWND) {
      const int id = ::GetDlgCtrlID(static_cast<HWND>(hdr->idFrom));
      const CSavedScope* scopes = GetSavedScopes();
      const CSavedScope* named = id == kButtonCD ? &scopes[0] : id == kButtonEF ? &scopes[1] : nullptr;
      if (named && !named->m_bEmpty) {
        // At most 79 bytes and the terminator.
        std::strncpy(info->szText, named->m_strName.GetString(), sizeof(info->szText) - 1);
        info->szText[sizeof(info->szText) - 1] = '\0';
        info->lpszText = info->szText;
      }
      if (result) *result = 0;
      return TRUE;
    }
  }
  return CXPWndBaseColor::OnNotify(wParam, lParam, result);
}

void CDialogs::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id < kButtonCD || data->id > kButtonCancel || !content) return;
  kvp::DcSelect font(dc, &m_fonts[0]);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(GetSchemeColor(13));
  const CString text = FaceText(data->id);
  dc->DrawText(text, content, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CDialogs::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int id = data->id;
  switch (id) {
    case kButtonCD:
      scope::ClearSavedScope(0);
      break;
    case kButtonEF:
      scope::ClearSavedScope(1);
      break;
    case kButtonAll:
      scope::ClearAllSavedScopes();
      break;
    case kButtonCancel:
      break;
    default:
      return;
  }
  if (id != kButtonCancel) {
    if (m_pOwner) m_pOwner->ReopenSavedScopeButton();
    NotifySystem(notify::kFromControlPanel, notify::kSavedScopesCleared);
  }
  ShowWindow(SW_HIDE);
  if (m_pOwner) m_pOwner->ShowSavedScopeButtons();
}
