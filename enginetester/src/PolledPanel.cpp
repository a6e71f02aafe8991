#include <enginetester/MotortesterPolledPanel.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/TextIds.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

namespace {

constexpr COLORREF kDisplayFrame = RGB(80, 80, 80);
// The toolkit's "face lightened by 30" hot colour. The corners take the panel's background.
constexpr COLORREF kAutoHot = 0x10000;

void MakeArial(CFont& font, int height, bool bold) {
  font.DeleteObject();
  font.CreateFont(-(height > 1 ? height : 1), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0,
                  GetGlobalProps().GetCharSet(), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

}  // namespace

CMotortesterPolledPanel::CMotortesterPolledPanel() {
  MakeArial(m_fntTitle, 30, true);
  MakeArial(m_fntLabel, 14, true);
  MakeArial(m_fntValue, 40, true);
  MakeArial(m_fntError, 24, true);
}

CMotortesterPolledPanel::~CMotortesterPolledPanel() = default;

BOOL CMotortesterPolledPanel::CreateFields(const FieldDef* fields, int count) {
  const CRect none(0, 0, 0, 0);
  m_nFields = count;
  for (int i = 0; i < count; ++i) {
    m_Defs[i] = fields[i];
    CXPCtrlBtn& b = m_Fields[i];
    b.drawClbck = this;
    b.btnClbck = this;
    if (fields[i].text < 0) {
      b.SetColors(GetSchemeColor(6), kAutoHot, m_crBack, kDisplayFrame);
    } else {
      b.flags |= CXPCtrlBtn::kFlat;
      b.SetColors(GetSchemeColor(29), kAutoHot, m_crBack, kDisplayFrame);
    }
    if (!b.Create(fields[i].name, WS_CHILD | WS_VISIBLE, none, this, fields[i].id)) return FALSE;
  }
  return TRUE;
}

CXPCtrlBtn* CMotortesterPolledPanel::Field(int id) {
  for (int i = 0; i < m_nFields; ++i)
    if (m_Defs[i].id == id) return &m_Fields[i];
  return nullptr;
}

void CMotortesterPolledPanel::ShowTemperature() {
  if (m_nStatus[TEXT_TEMPERATURE] != CMotortesterData::STATUS_OK) {
    SetText(TEXT_TEMPERATURE, et::StatusText(m_nStatus[TEXT_TEMPERATURE]), 1);
  } else if (m_Values.temperature == -1.0) {
    SetText(TEXT_TEMPERATURE, "--- \260C");
  } else {
    CString s;
    s.Format("%d\260C", static_cast<int>(m_Values.temperature));
    SetText(TEXT_TEMPERATURE, s);
  }
}

void CMotortesterPolledPanel::ShowSpeed(const char* dash) {
  if (m_nStatus[TEXT_SPEED] != CMotortesterData::STATUS_OK) {
    SetText(TEXT_SPEED, et::StatusText(m_nStatus[TEXT_SPEED]), 1);
  } else if (m_Values.speed == -1) {
    SetText(TEXT_SPEED, dash);
  } else {
    CString s;
    s.Format("%d", m_Values.speed);
    SetText(TEXT_SPEED, s);
  }
}

void CMotortesterPolledPanel::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (m_nFields == 0 || !m_Fields[0].GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  const int margin = 30;
  const int titleHeight = c.Height() / 8;
  m_Fields[0].MoveWindow(c.left + margin, c.top + 10, c.Width() - 2 * margin, titleHeight);
  const int top = c.top + 20 + titleHeight;
  const int bottom = c.bottom - 10 - ReservedBottom();
  const int displays = m_nFields - 1;
  const int gap = 12;
  const int h = displays > 0 ? (bottom - top - gap * (displays - 1)) / displays : 0;
  for (int i = 1; i < m_nFields; ++i) {
    m_Fields[i].MoveWindow(c.left + margin + 60, top + (i - 1) * (h + gap), c.Width() - 2 * margin - 120, h > 0 ? h : 0);
  }
  MakeArial(m_fntTitle, titleHeight * 2 / 3, true);
  MakeArial(m_fntLabel, h / 7, true);
  MakeArial(m_fntValue, h / 2, true);
  MakeArial(m_fntError, h / 3, true);
}

void CMotortesterPolledPanel::OnSize(UINT type, int cx, int cy) {
  CXPWndBaseColor::OnSize(type, cx, cy);
  Invalidate();
}

void CMotortesterPolledPanel::OnShowWindow(BOOL show, UINT status) {
  CXPWndBaseColor::OnShowWindow(show, status);
  if (show)
    StartPolling();
  else
    StopPolling();
}

void CMotortesterPolledPanel::OnTimer(UINT_PTR id) { OnReadTimer(id); }

void CMotortesterPolledPanel::ClearErrors() {
  for (int& e : m_bError) e = 0;
}

void CMotortesterPolledPanel::RepaintFields() {
  for (int i = 1; i < m_nFields; ++i) RedrawNow(&m_Fields[i]);
}

ICommunication_1* CMotortesterPolledPanel::Communication() const {
  return m_bInterfacesGiven ? m_pCommunication : GetKeloDll().Communication();
}

BOOL CMotortesterPolledPanel::BoardReady() const { return GetMotortesterDevice()->IsReady(); }

void CMotortesterPolledPanel::DrawSpeed(CDC* dc, const CRect& rc, LPCSTR text) {
  CRect value(rc);
  value.right -= 10;
  DrawValueWithUnit(text, GetGlobalProps().GetText(kTextRpm), value.left, value.top, value.right, value.bottom, dc);
}

void CMotortesterPolledPanel::DrawValue(CDC* dc, const CRect& rc, int text) {
  kvp::DcSelect selectFont(dc, &m_fntValue);
  CRect value(rc);
  value.right -= 10;
  dc->DrawText(m_strText[text], &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
}

void CMotortesterPolledPanel::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const FieldDef* def = nullptr;
  for (int i = 0; i < m_nFields; ++i)
    if (m_Defs[i].id == data->id) def = &m_Defs[i];
  if (!def) return;
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColor = dc->GetTextColor();
  CRect rc(*content);
  kvp::DcSelect selectFont(dc, nullptr);
  if (def->text < 0) {
    selectFont.Select(&m_fntTitle);
    dc->SetTextColor(GetSchemeColor(8));
    const CString title = TitleText();
    dc->DrawText(title, &rc, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
  } else {
    dc->SetTextColor(RGB(0, 0, 0));
    selectFont.Select(&m_fntLabel);
    CRect label(rc.left + 6, rc.top + 4, rc.right, rc.bottom);
    const CString caption = LabelText(def->id);
    dc->DrawText(caption, &label, DT_LEFT | DT_TOP | DT_SINGLELINE);
    dc->SetTextColor(ValueColor());
    const CRect body(rc.left, rc.top + rc.Height() / 5, rc.right, rc.bottom);
    if (m_bError[def->text]) {
      dc->SelectObject(&m_fntError);
      CRect centre(body);
      dc->DrawText(m_strText[def->text], &centre, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else if (def->text == TEXT_SPEED) {
      // The unit follows after one blank: a dashed speed ("--- ") brings its own.
      CString speed = m_strText[TEXT_SPEED];
      speed.TrimRight();
      DrawSpeed(dc, body, speed);
    } else {
      DrawValue(dc, body, def->text);
    }
  }
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}
