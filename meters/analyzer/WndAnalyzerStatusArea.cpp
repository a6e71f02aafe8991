#include <meters/analyzer/WndAnalyzerStatusArea.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cstring>

using namespace analyzer;

namespace {
const char* const kLabels[CWndAnalyzer_StatusArea::kRows] = {"signal scale:", "time scale:", "Max:",
                                                             "Min:",          "V Zoom:",     "H Zoom:"};
const char* const kWidestValue = ">-888.8mV";
constexpr int kCellInset = 2;  // the labels' distance from the column's left edge
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
  // Values are written in bold at the labels' height, never smaller: a value that does not fit
  // beside its label goes on a line of its own below it.
  const int text = -static_cast<int>(c * 0.45);
  m_fntCaption.DeleteObject();
  m_fntCaption.CreateFont(text, 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntHeading.DeleteObject();
  m_fntHeading.CreateFont(-static_cast<int>(c * 0.55), 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  m_fntValue.DeleteObject();
  m_fntValue.CreateFont(text, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
}

bool CWndAnalyzer_StatusArea::ValuesBesideLabels(CDC* dc, int columnWidth) {
  // The room a value needs: its widest form (a prefix, a sign, four digits, a sub-unit and a
  // unit), so the layout does not change with the values while a record plays.
  kvp::DcSelect font(dc, &m_fntValue);
  const int value = dc->GetTextExtent(kWidestValue, static_cast<int>(strlen(kWidestValue))).cx;
  font.Select(&m_fntCaption);
  int label = 0;
  for (const char* text : kLabels) label = std::max<int>(label, dc->GetTextExtent(text, static_cast<int>(strlen(text))).cx);
  return kCellInset + label + value <= columnWidth;
}

void CWndAnalyzer_StatusArea::PaintContent(CDC* dc) {
  CRect area = m_rcClient;
  area.DeflateRect(4, 4);
  dc->SetBkMode(TRANSPARENT);
  kvp::DcSelect font(dc, &m_fntHeading);
  const int rowH = area.Height() / (kRows + 1);
  const bool beside = ValuesBesideLabels(dc, area.Width() / 2);
  for (int column = 0; column < 2; ++column) {
    const COLORREF color = GetSchemeColor(column == 0 ? 4 : 5);
    CRect col(area.left + column * area.Width() / 2, area.top, area.left + (column + 1) * area.Width() / 2, area.bottom);
    CRect head(col.left, col.top, col.right, col.top + rowH);
    font.Select(&m_fntHeading);
    dc->SetTextColor(color);
    dc->DrawText(column == 0 ? "Signal A" : "Signal B", -1, &head, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    CString values[kRows];
    ColumnValues(column, values);
    for (int row = 0; row < kRows; ++row) {
      CRect cell(col.left + kCellInset, col.top + (row + 1) * rowH, col.right, col.top + (row + 2) * rowH);
      CRect labelBox = cell;
      CRect valueBox = cell;
      font.Select(&m_fntCaption);
      if (beside) {
        // The value cell starts where the label ends.
        const CSize label = dc->GetTextExtent(kLabels[row], static_cast<int>(strlen(kLabels[row])));
        valueBox.left = cell.left + label.cx;
      } else {
        // Label on the upper line, the value centred in the column on the line below.
        labelBox.bottom = cell.top + cell.Height() / 2;
        valueBox.top = labelBox.bottom;
        valueBox.left = col.left;
      }
      dc->SetTextColor(color);
      dc->DrawText(kLabels[row], -1, &labelBox, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      font.Select(&m_fntValue);
      dc->SetTextColor(kValueColor);
      dc->DrawText(values[row], &valueBox, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  }
}
