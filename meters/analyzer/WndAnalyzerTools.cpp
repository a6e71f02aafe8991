#include <meters/analyzer/WndAnalyzerTools.h>

#include <meters/Record.h>
#include <meters/RecordFile.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <platform/dcscope.h>

using namespace analyzer;

namespace {

const char* const kNames[CWndAnalyzer_Tools::kCount] = {"HZoom+", "HZoom-",     "AZoom+",     "AZoom-",      "BZoom+",
                                                        "BZoom-", "OpenRecord", "SaveRecord", "PrintRecord", "Cursors"};
constexpr COLORREF kPanelColor = 0xDADADA;
constexpr COLORREF kFolderFill = 0xA6FFFF;

}  // namespace

CWndAnalyzer_Tools::CWndAnalyzer_Tools(CRecorder* recorder) : m_pRecorder(recorder ? recorder : &GetRecorder()) {
  SetColor(kPanelColor);
}

CWndAnalyzer_Tools::~CWndAnalyzer_Tools() = default;

BOOL CWndAnalyzer_Tools::CreateChildren() {
  const CRect none(0, 0, 0, 0);
  for (int id = 0; id < kCount; ++id) {
    CXPCtrlBtn& b = m_Buttons[id];
    b.drawClbck = this;
    b.btnClbck = this;
    b.SetColors(0xBEBEBE, 0x10000, 0xDADADA, 0x505050);
    if (!b.Create(kNames[id], WS_CHILD | WS_VISIBLE, none, this, id)) return FALSE;
  }
  return TRUE;
}

void CWndAnalyzer_Tools::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect& c = m_rcClient;
  const int H = c.Height(), W = c.Width();
  const int T = c.top, B = c.bottom;
  m_fntButton.DeleteObject();
  m_fntButton.CreateFont(-static_cast<int>(H * 0.042), 0, 0, 0, FW_BOLD, 0, 0, 0, GetGlobalProps().GetCharSet(), 0, 0,
                         0, 0, "Arial");
  const int s = static_cast<int>(H * 0.107);
  const int ampTop = T + H / 6 + 2;
  const int f = (W - 4 * s) / 5;
  const int amp[4] = {kAZoomIn, kAZoomOut, kBZoomIn, kBZoomOut};
  for (int i = 0; i < 4; ++i) m_Buttons[amp[i]].MoveWindow(f + i * (s + f), ampTop, s, s);
  const int hTop = ampTop + s + (H / 20 + static_cast<int>(s * 0.2));
  m_Buttons[kHZoomIn].MoveWindow(s + 2 * f, hTop, s, s);
  m_Buttons[kHZoomOut].MoveWindow(s + 2 * f + s + f, hTop, s, s);
  m_Buttons[kCursors].MoveWindow(W / 12, T + static_cast<int>(H * 0.52), W / 3, static_cast<int>(H * 0.135));
  const int fileTop = B - static_cast<int>(H * 0.129);
  const int fileBottom = B - static_cast<int>(H * 0.02);
  const int fw = W / 4;
  for (int i = 0; i < 3; ++i) {
    const int x = W / 16 + static_cast<int>(i * (fw * 1.2));
    m_Buttons[kOpen + i].MoveWindow(x, fileTop, fw, fileBottom - fileTop);
  }
}

void CWndAnalyzer_Tools::PaintContent(CDC* dc) {
  const CRect& c = m_rcClient;
  const int H = c.Height();
  if (m_rcFonts != c) {
    m_rcFonts = c;
    const BYTE charSet = GetGlobalProps().GetCharSet();
    m_fntHeading.DeleteObject();
    m_fntHeading.CreateFont(-static_cast<int>((H / 10) * 0.8), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
    m_fntSub.DeleteObject();
    m_fntSub.CreateFont(-static_cast<int>((H / 10) * 0.5), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  }
  dc->SetBkMode(TRANSPARENT);
  kvp::DcSelect font(dc, &m_fntHeading);
  CRect band = c;
  band.DeflateRect(4, 2);
  band.bottom = band.top + H / 10;
  dc->SetTextColor(kHeadingColor);
  dc->DrawText("Tools", -1, &band, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  CPen line(PS_SOLID, 1, 0x808080);
  kvp::DcSelect pen(dc, &line);
  dc->MoveTo(c.left + 4, band.bottom);
  dc->LineTo(c.right - 4, band.bottom);
  font.Select(&m_fntSub);
  CRect sub(c.left, band.bottom + 2, c.left + c.Width() / 2, c.top + H / 6);
  dc->SetTextColor(GetSchemeColor(4));
  dc->DrawText("Vert. Zoom", -1, &sub, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  sub.OffsetRect(c.Width() / 2, 0);
  dc->SetTextColor(GetSchemeColor(5));
  dc->DrawText("Vert. Zoom", -1, &sub, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  // "Horizontal Zoom" between two separators, above the horizontal row.
  CRect amp;
  m_Buttons[kAZoomIn].GetWindowRect(&amp);
  ScreenToClient(&amp);
  CRect hz;
  m_Buttons[kHZoomIn].GetWindowRect(&hz);
  ScreenToClient(&hz);
  const int sepTop = amp.bottom + 4;
  const int sepBottom = hz.top - 2;
  dc->MoveTo(c.left + 4, sepTop);
  dc->LineTo(c.right - 4, sepTop);
  dc->SetTextColor(kHeadingColor);
  CRect hzText(c.left, sepTop, c.right, sepBottom);
  dc->DrawText("Horizontal Zoom", -1, &hzText, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->MoveTo(c.left + 4, sepBottom);
  dc->LineTo(c.right - 4, sepBottom);
  const int last = c.bottom - static_cast<int>(H * 0.147);
  dc->MoveTo(c.left + 4, last);
  dc->LineTo(c.right - 4, last);
}

void CWndAnalyzer_Tools::Enable(int id, BOOL enable) {
  CXPCtrlBtn& b = m_Buttons[id];
  b.data.enabled = enable ? 1 : 0;
  if (b.GetSafeHwnd()) {
    b.EnableWindow(enable);
    b.Redraw();
  }
}

void CWndAnalyzer_Tools::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) { Command(data->id); }

void CWndAnalyzer_Tools::Command(int id) {
  CRecorder& rec = *m_pRecorder;
  CRecorder::ViewState& view = rec.m_View;
  switch (id) {
    case kHZoomIn:
    case kHZoomOut: {
      if (id == kHZoomIn)
        rec.ZoomIn();
      else
        rec.ZoomOut();
      // Both buttons of the pair follow the result, so neither can stay wrongly disabled.
      const int z = view.m_nZoom;
      Enable(kHZoomIn, z != 1);
      Enable(kHZoomOut, z != 0 && z != 20);
      rec.UpdateTimeAxis(view.m_nChartWidth);
      Notify(kFromTools, kHZoomChanged);
      break;
    }
    case kAZoomIn:
    case kAZoomOut:
    case kBZoomIn:
    case kBZoomOut: {
      const int channel = (id == kAZoomIn || id == kAZoomOut) ? 0 : 1;
      if (id == kAZoomIn || id == kBZoomIn)
        rec.AmplitudeStepUp(channel);
      else
        rec.AmplitudeStepDown(channel);
      const int a = view.m_nAmplitudeStep[channel];
      const int in = channel == 0 ? kAZoomIn : kBZoomIn;
      Enable(in, a < 5);
      Enable(in + 1, a > 1);
      Notify(kFromTools, channel == 0 ? kAZoomAChanged : kAZoomBChanged);
      break;
    }
    case kOpen: {
      CRecordList& list = GetRecordList();
      if (!list.IsEmpty() && !list[0]->m_bSaved) {
        if (AfxMessageBox(GetGlobalProps().GetText(kTextSaveRecordsQuestion), MB_YESNO | MB_ICONQUESTION) == IDYES) {
          SaveRecordFile();
          Notify(kFromTools, kSaved);
        }
      }
      if (OpenRecordFile()) {
        view.m_nZoom = 1;
        for (int k = 0; k < 4 && k < GetRecordList().GetSize(); ++k) view.m_nAmplitudeStep[k] = 1;
        // The loaded records' level marks start at 0: a level dragged on the old ones no longer
        // moves the traces (or the printout's zero lines).
        for (double& offset : view.m_dLevelOffset) offset = 0.0;
        rec.UpdateTimeAxis(view.m_nChartWidth);
        Notify(kFromTools, kDataReady);
        Notify(kFromTools, kDataReplaced);
        Notify(kFromTools, kNewData);
        Notify(kFromTools, kDataLoaded);
      }
      break;
    }
    case kSave:
      SaveRecordFile();
      Notify(kFromTools, kSaved);
      break;
    case kPrint:
      if (GetRecordList().IsEmpty())
        AfxMessageBox(GetGlobalProps().GetText(kTextNoDataToPrint), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
      else if (view.m_nPlayState != 0)
        AfxMessageBox(GetGlobalProps().GetText(kTextStopPlayingBeforePrint), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
      else
        Notify(kFromTools, analyzer::kPrint);  // the code, not this panel's button id of the same name
      break;
    case kCursors: {
      const bool show = rec.m_bCursorsHidden != 0;
      rec.m_bCursorsHidden = show ? 0 : 1;
      for (CursorRecord& c : rec.m_Cursors) SetFlagBits(c.m_nFlags, 1, show ? TRUE : FALSE);
      m_Buttons[kCursors].Redraw();
      Notify(kFromTools, kCursorsShown, show ? 1 : 0);
      break;
    }
    default:
      break;
  }
}

void CWndAnalyzer_Tools::OnAnalyzerNotify(int, int code, int) {
  switch (code) {
    case kTimeLineMoved:
      Redraw();
      break;
    case kNoRecords:
      for (int id = kHZoomIn; id <= kBZoomOut; ++id) Enable(id, FALSE);
      Enable(kSave, FALSE);
      Enable(kPrint, FALSE);
      Enable(kOpen, TRUE);
      break;
    case kDataReplaced:
      Enable(kHZoomIn, FALSE);
      Enable(kAZoomOut, FALSE);
      Enable(kBZoomOut, FALSE);
      break;
    case kTransferBegins:
      for (int id = kHZoomIn; id <= kPrint; ++id) Enable(id, FALSE);
      break;
    case kDataReady:
      for (int id = kHZoomIn; id <= kPrint; ++id) Enable(id, TRUE);
      break;
    default:
      break;
  }
}

void CWndAnalyzer_Tools::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const CRect r(*content);
  const bool enabled = data->enabled != 0;
  const COLORREF outline = enabled ? 0x000000 : AdjustColor(0x000000, 100);
  const COLORREF grey = enabled ? 0xC0C0C0 : AdjustColor(0xC0C0C0, 100);
  dc->SetBkMode(TRANSPARENT);
  kvp::DcSelect font(dc, &m_fntButton);
  CPen pen(PS_SOLID, 1, outline);
  kvp::DcSelect selectedPen(dc, &pen);
  const int w = r.Width(), h = r.Height();
  // The glyphs sit in a square in the middle of the face.
  const int side = (w < h ? w : h) * 3 / 5;
  const int gl = r.left + (w - side) / 2, gt = r.top + (h - side) / 2;
  switch (data->id) {
    case kHZoomIn:
    case kAZoomIn:
    case kBZoomIn:
    case kHZoomOut:
    case kAZoomOut:
    case kBZoomOut: {
      const bool plus = data->id == kHZoomIn || data->id == kAZoomIn || data->id == kBZoomIn;
      dc->SetTextColor(outline);
      CRect t = r;
      dc->DrawText(plus ? "+" : "-", -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    case kOpen: {
      CBrush fill(enabled ? kFolderFill : AdjustColor(kFolderFill, 100));
      kvp::DcSelect brush(dc, &fill);
      const int tab = side / 3;
      const POINT folder[6] = {{gl, gt + side / 6},          {gl + tab, gt + side / 6},
                               {gl + tab + side / 8, gt + side / 3}, {gl + side, gt + side / 3},
                               {gl + side, gt + side * 5 / 6}, {gl, gt + side * 5 / 6}};
      dc->Polygon(folder, 6);
      break;
    }
    case kSave: {
      CBrush body(grey);
      CBrush label(enabled ? 0xFFFFFF : AdjustColor(0xFFFFFF, 100));
      kvp::DcSelect brush(dc, &body);
      dc->Rectangle(gl, gt, gl + side, gt + side);
      brush.Select(&label);
      dc->Rectangle(gl + side / 5, gt, gl + side * 4 / 5, gt + side * 2 / 5);
      dc->Rectangle(gl + side / 4, gt + side * 3 / 5, gl + side * 3 / 4, gt + side);
      break;
    }
    case kPrint: {
      CBrush body(grey);
      CBrush paper(enabled ? 0xFFFFFF : AdjustColor(0xFFFFFF, 100));
      kvp::DcSelect brush(dc, &paper);
      dc->Rectangle(gl + side / 5, gt, gl + side * 4 / 5, gt + side / 2);
      brush.Select(&body);
      dc->Rectangle(gl, gt + side * 2 / 5, gl + side, gt + side * 4 / 5);
      brush.Select(&paper);
      dc->Rectangle(gl + side / 5, gt + side * 3 / 5, gl + side * 4 / 5, gt + side);
      break;
    }
    case kCursors: {
      dc->SetTextColor(GetSchemeColor(13));
      CRect top = r, bottom = r;
      top.bottom = r.top + h / 2;
      bottom.top = top.bottom;
      dc->DrawText(GetDefaultText(5), -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      dc->DrawText(GetDefaultText(m_pRecorder->m_bCursorsHidden ? 6 : 7), -1, &bottom,
                   DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    default:
      break;
  }
}
