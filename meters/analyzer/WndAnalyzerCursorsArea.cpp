#include <meters/analyzer/WndAnalyzerCursorsArea.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ChartHelpers.h>
#include <core/ColorScheme.h>
#include <core/GlobalProps.h>

#include <platform/dcscope.h>

#include <cstring>

using namespace analyzer;

namespace {

constexpr COLORREF kPanelColor = 0xDADADA;
constexpr COLORREF kTransparent = 255;

NumericOptionRecord CursorRecordFor(double value) {
  NumericOptionRecord r;
  InitRepeatData(&r);
  r.step = 1.0;
  r.bigStep = 20.0;
  r.value = value;
  r.min = 1.0;
  r.max = 300.0;
  r.decimals = 1;
  r.accelAfter = 10;
  return r;
}

// The "SetVisible" face: a small picture of a cursor line with a thumb, red where it is empty.
// 11 x 11 pixels, '.' empty (red, left out), 'k' black, 'y' the thumb.
const char* const kFace[] = {"..kkkkkkk..", "..kyyyyyk..", "...kyyyk...", "....kyk....", ".....k.....",
                             ".....k.....", ".....k.....", ".....k.....", ".....k.....", ".....k.....",
                             "kkkkkkkkkkk"};

}  // namespace

CWndAnalyzer_CursorsArea::CWndAnalyzer_CursorsArea(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()) {
  SetColor(kPanelColor);
}

CWndAnalyzer_CursorsArea::~CWndAnalyzer_CursorsArea() = default;

BOOL CWndAnalyzer_CursorsArea::CreateChildren() {
  const CRect none(0, 0, 0, 0);
  const char* names[2] = {"CtrlCursorLeft", "CtrlCursorRight"};
  const double values[2] = {300.0, 500.0};
  for (int i = 0; i < 2; ++i) {
    CRepeatCtrl& c = m_Ctrl[i];
    c.flags |= CRepeatCtrl::kFlat | CRepeatCtrl::kGrouped;
    c.orientation = 1;
    c.face = 12500670;
    c.back = kPanelColor;
    c.scrollClbck = this;
    c.drawClbck = this;
    const NumericOptionRecord r = CursorRecordFor(values[i]);
    c.InitOptionFromRecord(&r);
    c.SetArrowLayout();
    if (!c.Create(names[i], WS_CHILD | WS_VISIBLE, none, this, i)) return FALSE;
  }
  const char* buttons[2] = {"SetVisibleL", "SetVisibleR"};
  for (int i = 0; i < 2; ++i) {
    CXPCtrlBtn& b = m_SetVisible[i];
    b.drawClbck = this;
    b.btnClbck = this;
    b.SetColors(0xBEBEBE, 0x10000, 0xDADADA, 0x505050);
    if (!b.Create(buttons[i], WS_CHILD | WS_VISIBLE, none, this, kSetVisibleL + i)) return FALSE;
  }
  return TRUE;
}

void CWndAnalyzer_CursorsArea::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect& cl = m_rcClient;
  const int H = cl.Height(), W = cl.Width();
  const int c = H / 8;
  const BYTE charSet = GetGlobalProps().GetCharSet();
  m_fntCaption.DeleteObject();
  m_fntCaption.CreateFont(-(c / 2), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntValue.DeleteObject();
  m_fntValue.CreateFont(-(c / 2), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntLabel.DeleteObject();
  m_fntLabel.CreateFont(-static_cast<int>(c * 0.6), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  const int ch = static_cast<int>(H * 0.126);
  const int bottom = cl.bottom - static_cast<int>(H * 0.015);
  const int width = 3 * W / 8;
  for (int i = 0; i < 2; ++i) {
    const int x = 2 * (W / 24) + i * 12 * (W / 24);
    if (m_Ctrl[i].GetSafeHwnd()) m_Ctrl[i].MoveWindow(x, bottom - ch, width, ch);
    const int top = cl.top + static_cast<int>(H * 0.7);
    const int side = bottom - ch - top > 4 ? bottom - ch - top : ch;
    if (m_SetVisible[i].GetSafeHwnd()) m_SetVisible[i].MoveWindow(x - side - 2 > 0 ? x - side - 2 : 0, top, side, side);
  }
}

void CWndAnalyzer_CursorsArea::SetValueInRange(CRepeatCtrl& control, double value) {
  if (::SetValueInRange(&control.record, value) && control.GetSafeHwnd()) control.Redraw();
}

void CWndAnalyzer_CursorsArea::OnAnalyzerNotify(int sender, int code, int value) {
  if (sender == kFromCursorsArea) return;
  switch (code) {
    case kTimeLineMoved:
    case kHZoomChanged:
    case kAZoomAChanged:
    case kAZoomBChanged:
    case kStepNext:
    case kStepBack:
    case kToStart:
    case kToEnd:
    case kPlayTick:
    case kDataReplaced:
      Redraw();
      break;
    case kNewData: {
      const double last = m_pRecorder->GetRecordLastIndex();
      for (CRepeatCtrl& c : m_Ctrl) {
        NumericOptionRecord r = c.record;
        r.min = 0.0;
        r.max = last;
        r.bigStep = 20.0;
        c.InitOptionFromRecord(&r);
        if (c.GetSafeHwnd()) c.Redraw();
      }
      Redraw();
      break;
    }
    case kCursorL:
    case kCursorR:
      SetValueInRange(m_Ctrl[code == kCursorL ? 0 : 1], value);
      Redraw();
      break;
    default:
      break;
  }
}

void CWndAnalyzer_CursorsArea::OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) {
  const int i = control == &m_Ctrl[0] ? 0 : 1;
  const double v = record->reversed ? record->max - (record->value - record->min) : record->value;
  m_pRecorder->m_Cursors[i].m_dValue = v;
  Notify(kFromCursorsArea, i == 0 ? kCursorL : kCursorR);
  Redraw();
}

void CWndAnalyzer_CursorsArea::Draw(CDC*, RECT*, NumericOptionRecord*, CRepeatCtrl*) {
  // The controls show only their arrows; the positions are read in the rows.
}

void CWndAnalyzer_CursorsArea::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int i = data->id == kSetVisibleL ? 0 : 1;
  const int p = m_pRecorder->m_View.m_nPosition;
  m_pRecorder->m_Cursors[i].m_dValue = p;
  SetValueInRange(m_Ctrl[i], p);
  Notify(kFromCursorsArea, i == 0 ? kCursorL : kCursorR);
  Redraw();
}

void CWndAnalyzer_CursorsArea::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const int rows = static_cast<int>(sizeof(kFace) / sizeof(kFace[0]));
  const int cols = static_cast<int>(std::strlen(kFace[0]));
  const CRect r(*content);
  const int x0 = r.left + (r.Width() - cols) / 2;
  const int y0 = r.top + (r.Height() - rows) / 2;
  const COLORREF thumb = data->enabled ? GetSchemeColor(data->id == kSetVisibleL ? 10 : 11) : 0xC0C0C0;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const char k = kFace[y][x];
      const COLORREF color = k == 'k' ? 0x000000 : k == 'y' ? thumb : kTransparent;
      if (color == kTransparent) continue;
      dc->FillSolidRect(x0 + x, y0 + y, 1, 1, color);
    }
  }
}

void CWndAnalyzer_CursorsArea::PaintContent(CDC* dc) {
  if (!m_penA.GetSafeHandle()) m_penA.CreatePen(PS_SOLID, 1, GetSchemeColor(4));
  if (!m_penB.GetSafeHandle()) m_penB.CreatePen(PS_SOLID, 1, GetSchemeColor(5));
  CRect area = m_rcClient;
  area.DeflateRect(4, 4);
  dc->SetBkMode(TRANSPARENT);
  kvp::DcSelect font(dc, &m_fntLabel);
  kvp::DcSelect pen(dc, nullptr);
  const double l = m_pRecorder->m_Cursors[0].m_dValue;
  const double rpos = m_pRecorder->m_Cursors[1].m_dValue;
  const int rowH = (area.Height() * 6 / 10) / 5;
  for (int column = 0; column < 2; ++column) {
    const COLORREF color = GetSchemeColor(column == 0 ? 4 : 5);
    CRect col(area.left + column * area.Width() / 2, area.top, area.left + (column + 1) * area.Width() / 2, area.bottom);
    CRect head(col.left, col.top, col.right, col.top + rowH);
    font.Select(&m_fntLabel);
    dc->SetTextColor(color);
    dc->DrawText(column == 0 ? "Signal A" : "Signal B", -1, &head, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const CursorRows rows = CursorRowTexts(column, l, rpos);
    const char* labels[4] = {"C:", "A:", "L:", "R:"};
    const CString* values[4] = {&rows.timeDiff, &rows.ampDiff, &rows.atL, &rows.atR};
    pen.Select(column == 0 ? &m_penA : &m_penB);
    for (int row = 0; row < 4; ++row) {
      CRect cell(col.left + 2, col.top + (row + 1) * rowH, col.right, col.top + (row + 2) * rowH);
      int x = cell.left;
      if (row < 2) {
        const int s = rowH / 2;
        const CRect tri(x, cell.top + (rowH - s) / 2, x + s, cell.top + (rowH - s) / 2 + s);
        DrawTriangleOutline(dc, tri);
        x += s + 2;
      }
      font.Select(&m_fntLabel);
      dc->SetTextColor(color);
      CRect lab(x, cell.top, cell.right, cell.bottom);
      dc->DrawText(labels[row], -1, &lab, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      const CSize ext = dc->GetTextExtent(labels[row], 2);
      CRect value(x + ext.cx, cell.top, cell.right, cell.bottom);
      font.Select(&m_fntValue);
      dc->SetTextColor(kValueColor);
      dc->DrawText(*values[row], &value, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  }
  // The names above the controls.
  font.Select(&m_fntCaption);
  for (int i = 0; i < 2; ++i) {
    if (!m_Ctrl[i].GetSafeHwnd()) continue;
    CRect cr;
    m_Ctrl[i].GetWindowRect(&cr);
    ScreenToClient(&cr);
    CRect name(cr.left, cr.top - rowH, cr.right, cr.top);
    dc->SetTextColor(GetSchemeColor(i == 0 ? 10 : 11));
    font.Select(&m_fntLabel);
    dc->DrawText(i == 0 ? "L" : "R", -1, &name, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  CRect caption(area.left, area.top + area.Height() * 6 / 10, area.right, area.top + area.Height() * 7 / 10);
  font.Select(&m_fntCaption);
  dc->SetTextColor(GetSchemeColor(13));
  dc->DrawText("Cursors", -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
