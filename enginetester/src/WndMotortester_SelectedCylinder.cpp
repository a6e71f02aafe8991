#include <enginetester/WndMotortester_SelectedCylinder.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/TextIds.h>

namespace {

const char* const kButtonNames[CWndMotortester_SelectedCylinder::CHANNELS] = {"BtnFirst", "BtnSecond", "BtnThird",
                                                                             "BtnFourth"};
// "first".."fourth".
const char* ChannelWord(int channel) { return GetGlobalProps().GetText(kTextOrdinalFirst + channel - 1); }

}  // namespace

CWndMotortester_SelectedCylinder::CWndMotortester_SelectedCylinder(CMeasureEngine* engine)
    : CWndMotortester_HiVoltage(HiVoltageBatchState::SELECTED_CYLINDER, 10035, engine) {}

BOOL CWndMotortester_SelectedCylinder::CreateChildren() {
  if (!CWndMotortester_HiVoltage::CreateChildren()) return FALSE;
  for (int i = 0; i < CHANNELS; ++i) {
    if (!et::CreatePanelButton(m_Channel[i], this, kButtonNames[i], ID_FIRST + i, et::Face::Title, TRUE, this, this))
      return FALSE;
  }
  m_Channel[0].data.state = 1;
  return TRUE;
}

void CWndMotortester_SelectedCylinder::RecalcLayout() {
  CWndMotortester_HiVoltage::RecalcLayout();
  const int w = m_rcClient.Width();
  const int h = m_rcClient.Height();
  et::MakePanelFont(m_fntSmall, h / -30);
  MeasureScaleLabels();
  et::MakePanelFont(m_fntChannel, h / -32);
  const int bw = (w - 400) / 5;
  const int bh = h / 15;
  const int bottom = m_rcClient.bottom - 25;
  for (int i = 0; i < CHANNELS; ++i) {
    if (!m_Channel[i].GetSafeHwnd()) continue;
    const int left = m_rcClient.left + 200 + i * bw * 4 / 3;
    m_Channel[i].MoveWindow(left, bottom - bh, bw, bh);
  }
}

void CWndMotortester_SelectedCylinder::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  if (data->id >= ID_FIRST && data->id <= ID_FOURTH) {
    et::DrawFaceText(dc, *content, ChannelWord(data->id), &m_fntChannel, GetSchemeColor(et::kCaptionTextScheme),
                     DT_CENTER | DT_VCENTER);
    return;
  }
  CWndMotortester_HiVoltage::Draw(dc, content, data, button);
}

void CWndMotortester_SelectedCylinder::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) { SelectChannel(data->id); }

void CWndMotortester_SelectedCylinder::SelectChannel(int channel) {
  if (channel < ID_FIRST || channel > ID_FOURTH) return;
  m_pState->polarityCounter.store(0, std::memory_order_relaxed);
  m_pState->engine->SetSelectedChannel(static_cast<SHORT>(channel));
  RefreshButtons();
}

void CWndMotortester_SelectedCylinder::RefreshButtons() {
  const int selected = m_pState->engine->GetCurrentChannelMode();
  if (selected < ID_FIRST || selected > ID_FOURTH) return;
  for (int i = 0; i < CHANNELS; ++i) {
    CXPCtrlBtn& b = m_Channel[i];
    const bool chosen = i + 1 == selected;
    b.data.state = chosen ? 1 : 0;
    b.data.enabled = chosen ? 0 : 1;
    if (b.GetSafeHwnd()) {
      b.EnableWindow(chosen ? FALSE : TRUE);
      b.Redraw();
    }
  }
}

void CWndMotortester_SelectedCylinder::ShowButtons() {
  const int shown = m_pState->shownCount.load(std::memory_order_relaxed);
  if (shown > CHANNELS) return;
  const int visible = shown >= 2 ? shown : 0;
  for (int i = 0; i < CHANNELS; ++i)
    if (m_Channel[i].GetSafeHwnd()) m_Channel[i].ShowWindow(i < visible ? SW_SHOW : SW_HIDE);
}

void CWndMotortester_SelectedCylinder::OnShown() {
  RefreshButtons();
  ShowButtons();
}

CString CWndMotortester_SelectedCylinder::BarLabel(int) const {
  const int channel = m_pState->engine->GetCurrentChannelMode();
  return channel >= ID_FIRST && channel <= ID_FOURTH ? CString(ChannelWord(channel)) : CString();
}
