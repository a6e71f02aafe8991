#include <ui/dialogs/MessageDlg.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DialogPlacement.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

using namespace ui_dialogs;

CMessageDlg::CMessageDlg(CWnd* parent)
    : COwnerDrawnDlg((RegisterDialogTemplates(), IDD_MESSAGE), parent),
      m_BkColor(AdjustColor(GetSchemeColor(kSchemeBackground), 70)),
      m_ProbeCheck([] {
        CMotortesterData* data = GetMotortesterDevice();
        return data->WaitMotortesterReady(data->GetHelpMode());
      }) {}

CMessageDlg::~CMessageDlg() = default;

BOOL CMessageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_BkBrush.DeleteObject();
  m_BkBrush.CreateSolidBrush(m_BkColor);
  const COLORREF face = GetSchemeColor(kSchemeButton);
  m_BtnOK.SetColors(face, AdjustColor(face, 40), m_BkColor, RGB(80, 80, 80));
  CreateButton(m_BtnOK, "OK", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), 0);

  // Half the parent's width, 1/2.5 of its height, a little above its centre.
  const CRect parent = PlacementRect(m_pParentWnd);
  const int w = parent.Width(), h = parent.Height();
  MoveWindow(parent.left + w / 2 - w / 4, parent.top + h / 2 - h / 5, w / 2, static_cast<int>(h / 2.5));
  CRect client;
  GetClientRect(&client);
  Layout(client);
  return TRUE;
}

void CMessageDlg::Layout(const CRect& client) {
  m_rcLayout = client;
  const int w = client.Width(), h = client.Height();
  const int bw = static_cast<int>(w / 3.8);
  m_BtnOK.MoveWindow(w / 2 - bw / 2, h - h / 12 - h / 6, bw, h / 6);
  MakeArial(m_BtnFont, static_cast<int>(static_cast<int>(h / -6) * 0.6), FW_NORMAL);
  MakeArial(m_BodyFont, h / 13, FW_BOLD);
  MakeArial(m_TitleFont, h / 10, FW_BOLD);
  m_BtnOK.Redraw();
}

BOOL CMessageDlg::OnEraseBkgnd(CDC*) { return TRUE; }

void CMessageDlg::OnPaint() {
  CPaintDC paint(this);
  CRect client;
  GetClientRect(&client);
  if (client != m_rcLayout) Layout(client);
  CMemDC dc(&paint);
  dc.FillSolidRect(&client, m_BkColor);
  const int oldMode = dc.SetBkMode(TRANSPARENT);
  const int h = client.Height();
  const GlobalProps& props = GetGlobalProps();

  // The title: red, centred, its top a tenth of the height down.
  kvp::DcSelect selectFont(&dc, &m_TitleFont);
  const int titleHeight = h / 10;
  CRect title(client.left, client.top + h / 10, client.right, client.top + h / 10 + titleHeight * 2);
  dc.SetTextColor(RGB(255, 0, 0));
  dc.DrawText(props.GetText(kTextCannotStartMeasure), &title, DT_CENTER | DT_TOP | DT_SINGLELINE);

  // The three lines, 20 pixels in: two title heights below the title, then 1.2 title heights apart.
  dc.SelectObject(&m_BodyFont);
  dc.SetTextColor(GetSchemeColor(kSchemeText));
  const int step = static_cast<int>(1.2 * titleHeight);
  int y = title.top + 2 * titleHeight;
  for (int id : {10124, 10126, 10125}) {
    CRect line(client.left + 20, y, client.right, y + step);
    dc.DrawText(props.GetText(id), &line, DT_LEFT | DT_TOP | DT_SINGLELINE);
    y += step;
  }
  dc.SetBkMode(oldMode);
}

void CMessageDlg::OnDestroy() {
  CDialog::OnDestroy();
  m_BkBrush.DeleteObject();
}

void CMessageDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != 0) return;
  DrawFace(dc, content, "OK", &m_BtnFont, TextColor(), DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
}

void CMessageDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != 0) return;
  EndDialog(m_ProbeCheck() ? IDOK : IDCANCEL);
}
