#include <meters/analyzer/WndAnalyzerStatusArea.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>

using namespace analyzer;

namespace {
const char* const kLabels[CWndAnalyzer_StatusArea::kRows] = {"signal scale:", "time scale:", "Max:",
                                                             "Min:",          "V Zoom:",     "H Zoom:"};
}

CWndAnalyzer_StatusArea::CWndAnalyzer_StatusArea(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()) {
  SetColor(0xDADADA);
}

CWndAnalyzer_StatusArea::~CWndAnalyzer_StatusArea() = default;

void CWndAnalyzer_StatusArea::OnAnalyzerNotify(int, int code, int) {
  switch (code) {
    case kTimeLineMoved:
    case kNewData:
    case kDataLoaded:
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
    default:
      break;
  }
}

void CWndAnalyzer_StatusArea::ColumnValues(int column, CString out[kRows]) const {
  const CRecordList& list = GetRecordList();
  if (column >= list.GetSize()) {
    for (int i = 0; i < kRows; ++i) out[i] = "---";
    return;
  }
  const CRecord& r = *list[column];
  const CRecorder::ViewState& view = m_pRecorder->m_View;
  const int a = view.m_nAmplitudeStep[column];
  out[0] = SignalScaleText(r, a);
  out[1] = TimeScaleText(r, view.m_nZoom, m_pRecorder->GetRecordLastIndex());
  const RecordWindowStats stats = m_pRecorder->GetWindowStats(column);
  if (stats.any) {
    out[2] = CString(stats.over ? ">" : "") + FormatUnitValue(stats.max, RecordUnit(r), 1);
    out[3] = CString(stats.under ? "<" : "") + FormatUnitValue(stats.min, RecordUnit(r), 1);
  } else {
    out[2] = out[3] = "---";
  }
  out[4].Format("%dx", a);
  if (view.m_nZoom == 0)
    out[5] = "Full";
  else
    out[5].Format("%dx", view.m_nZoom);
}

void CWndAnalyzer_StatusArea::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const int c = m_rcClient.Height() / 8;
  const BYTE charSet = GetGlobalProps().GetCharSet();
  m_fntCaption.DeleteObject();
  m_fntCaption.CreateFont(-static_cast<int>(c * 0.45), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntHeading.DeleteObject();
  m_fntHeading.CreateFont(-static_cast<int>(c * 0.55), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntValue.DeleteObject();
  m_fntValue.CreateFont(-static_cast<int>(c * 0.4), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
}

void CWndAnalyzer_StatusArea::PaintContent(CDC* dc) {
  CRect area = m_rcClient;
  area.DeflateRect(4, 4);
  dc->SetBkMode(TRANSPARENT);
  CFont* oldFont = dc->SelectObject(&m_fntHeading);
  const int rowH = area.Height() / (kRows + 1);
  for (int column = 0; column < 2; ++column) {
    const COLORREF color = GetSchemeColor(column == 0 ? 4 : 5);
    CRect col(area.left + column * area.Width() / 2, area.top, area.left + (column + 1) * area.Width() / 2, area.bottom);
    CRect head(col.left, col.top, col.right, col.top + rowH);
    dc->SelectObject(&m_fntHeading);
    dc->SetTextColor(color);
    dc->DrawText(column == 0 ? "Signal A" : "Signal B", -1, &head, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    CString values[kRows];
    ColumnValues(column, values);
    for (int row = 0; row < kRows; ++row) {
      CRect cell(col.left + 2, col.top + (row + 1) * rowH, col.right, col.top + (row + 2) * rowH);
      dc->SelectObject(&m_fntCaption);
      dc->SetTextColor(color);
      const CSize label = dc->GetTextExtent(kLabels[row], static_cast<int>(strlen(kLabels[row])));
      dc->DrawText(kLabels[row], -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      CRect value(cell.left + label.cx, cell.top, cell.right, cell.bottom);
      dc->SelectObject(&m_fntValue);
      dc->SetTextColor(kValueColor);
      // A value wider than its cell is written smaller rather than cut.
      CFont smaller;
      const int wide = dc->GetTextExtent(values[row]).cx;
      if (wide > value.Width() && value.Width() > 0) {
        LOGFONT lf{};
        m_fntValue.GetLogFont(&lf);
        lf.lfHeight = static_cast<LONG>(static_cast<long long>(lf.lfHeight) * value.Width() / wide);
        if (lf.lfHeight == 0) lf.lfHeight = -1;
        if (smaller.CreateFontIndirect(&lf)) dc->SelectObject(&smaller);
      }
      dc->DrawText(values[row], &value, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      dc->SelectObject(&m_fntValue);
    }
  }
  dc->SelectObject(oldFont);
}
