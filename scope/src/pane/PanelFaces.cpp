#include <scope/pane/PanelFaces.h>

#include <scope/ScopeState.h>
#include <scope/pane/PanelControlIds.h>
#include <scope/pane/EdgeSymbol.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MeasureType.h>
#include <core/NumberFormat.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace scope {
namespace {

using Ids = PanelControlIds;

int Trunc(double x) { return static_cast<int>(x); }

}  // namespace

COLORREF CPanelFaces::TriggerColour() {
  const int source = GetGlobalProps().m_nTriggerSourceKind;
  return GetSchemeColor(source == 1 || source == 3 ? 5 : 4);
}

CString CPanelFaces::FaceText(int id) const {
  static const char* const kModes[3] = {"Trig", "Auto", "Single"};
  static const char* const kSources[4] = {"Ch A", "Ch B", "Ch A-B", "Ch B-A"};
  static const char* const kZoom[4] = {"1x", "2.5x", "5x", "0.5x"};
  static const char* const kInvert[4] = {"Inv A", "Inv B", "Inv AB", "NoInv"};
  static const char* const kCyl[4] = {"1st", "2nd", "3rd", "4th"};
  const int v = m_Owner.ButtonValue(id);
  const GlobalProps& p = GetGlobalProps();
  const measure::MeasureType type = GetMeasureType().Type();
  switch (id) {
    case Ids::kTriggerMode:
      if (measure::IsExternallyTriggered(type)) return "Mode\nEXT";
      return v >= 0 && v <= 2 ? CString("Mode\n") + kModes[v] : CString("Mode\n");
    case Ids::kRollMode:
      return v == 1 ? "Mode\nNO Trig" : "Mode\nTrig";
    case Ids::kTriggerSource:
      return CString("Source\n") + kSources[std::clamp(v, 0, 3)];
    case Ids::kTriggerSensitiv:
      return v == 1 ? "Noise" : "Full";
    case Ids::kChAMode:
    case Ids::kChBMode:
      return CString(id == Ids::kChAMode ? "Ch A " : "Ch B ") + (v == 1 ? "=" : "~");
    case Ids::kChAOnOff:
    case Ids::kChBOnOff: {
      const int ch = id == Ids::kChAOnOff ? 0 : 1;
      const CString name = ch == 0 ? "Ch A\n" : "Ch B\n";
      if (m_Owner.EngineTesterPath()) return name + m_Owner.GetProbeName(ch);
      return name + (v == 1 ? "On" : "Off");
    }
    case Ids::kBtnRun:
      return p.m_bRunning ? "Stop" : "Run";
    case Ids::kBtnZoom:
      return CString("Zoom\n") + kZoom[std::clamp(v, 0, 3)];
    case Ids::kBtnCursor:
      return p.m_bCursorsOn ? "Cursor\nOn" : "Cursor\nOff";
    case Ids::kBtnAutoSet:
      return "AutoSet";
    case Ids::kBtnCylFirst:
    case Ids::kBtnCylSecond:
    case Ids::kBtnCylThird:
    case Ids::kBtnCylFourth:
      return kCyl[id - Ids::kBtnCylFirst];
    case Ids::kBtnSynchro:
      return "Sync";
    case Ids::kBtnCSave:
      return "Save";
    case Ids::kBtnCLoad:
      return "Load";
    case Ids::kBtnRecord:
      return "Rec";
    case Ids::kBtnInvert:
      return kInvert[std::clamp(static_cast<int>(scope::GetScopeState().InvertState), 0, 3)];
    default:
      return "";
  }
}

const char* CPanelFaces::SpinnerCaption(int id) {
  switch (id) {
    case Ids::kTriggerPos:
      return "Trigger pos.";
    case Ids::kTriggerLevel:
      return "Trigger level";
    case Ids::kChAScale:
      return "Ch A Scale/div";
    case Ids::kChBScale:
      return "Ch B Scale/div";
    case Ids::kTimeScale:
      return "Time scale/div";
    case Ids::kTimePos:
      return "Window pos.";
    default:
      return "";
  }
}

CString CPanelFaces::SpinnerText(int id) const {
  const NumericOptionRecord* record = m_Owner.SpinnerRecord(id);
  if (!record) return "";
  const NumericOptionRecord& r = *record;
  const int index = Trunc(r.reversed ? r.max - (r.value - r.min) : r.value);
  char format[32];
  CString text;
  auto fromList = [&](const CStringArray& list) {
    return index >= 0 && index < list.GetSize() ? list[index] : CString();
  };
  switch (id) {
    case Ids::kTriggerPos:
      std::snprintf(format, sizeof(format), "%%.%df%%%%", std::clamp(r.decimals, 0, 9));
      text.Format(format, r.value);
      return text;
    case Ids::kTriggerLevel:
      return GetGlobalProps().FormatTriggerLevel(Trunc(r.value));
    case Ids::kChAScale:
      return fromList(m_Owner.RangeTexts(0));
    case Ids::kChBScale:
      return fromList(m_Owner.RangeTexts(1));
    case Ids::kTimeScale:
      return fromList(m_Owner.TimeTexts());
    case Ids::kTimePos:
      std::snprintf(format, sizeof(format), "%%.%dfdiv", std::clamp(r.decimals, 0, 9));
      text.Format(format, r.value);
      return text;
    default:
      return "";
  }
}

void CPanelFaces::Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) {
  if (!dc || !client || !control) return;
  const int id = control->GetDlgCtrlID();
  const CRect area(*client);
  const bool enabled = record->enabled != 0;
  dc->SetBkMode(TRANSPARENT);
  if (id == Ids::kChAPos || id == Ids::kChBPos) {
    // "Pos." and the channel name in the left half of the middle three fifths.
    const COLORREF colour = GetSchemeColor(id == Ids::kChAPos ? 4 : 5);
    dc->SetTextColor(enabled ? colour : AdjustColor(colour, 100));
    kvp::DcSelect font(dc, &m_Owner.Font(3));
    const int band = area.Height() / 5;
    CRect top(area.left, area.top + band, area.left + area.Width() / 2, area.top + 2 * band + band / 2);
    CRect bottom(top.left, top.bottom, top.right, area.top + 4 * band);
    dc->DrawText("Pos.", &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->DrawText(id == Ids::kChAPos ? "Ch A" : "Ch B", &bottom, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  const bool wide = id == Ids::kTriggerPos || id == Ids::kTimeScale || id == Ids::kTimePos;
  const double from = wide ? 0.25 : 0.05;
  const double to = wide ? 0.75 : 0.65;
  CRect box(area.left + Trunc(area.Width() * from), area.top + Trunc(area.Height() * 0.40),
            area.left + Trunc(area.Width() * to), 0);
  box.bottom = box.top + Trunc(area.Height() * 0.48);
  if (!m_boxPen.GetSafeHandle()) m_boxPen.CreatePen(PS_SOLID, 1, GetSchemeColor(17));
  if (!m_boxBrush.GetSafeHandle()) m_boxBrush.CreateSolidBrush(GetSchemeColor(16));
  if (!m_boxDisabledBrush.GetSafeHandle()) m_boxDisabledBrush.CreateSolidBrush(AdjustColor(GetSchemeColor(16), -50));
  {
    kvp::DcSelect pen(dc, &m_boxPen);
    kvp::DcSelect brush(dc, enabled ? &m_boxBrush : &m_boxDisabledBrush);
    dc->Rectangle(&box);
  }

  kvp::DcSelect font(dc, &m_Owner.Font(4));
  dc->SetTextColor(enabled ? RGB(0, 0, 0) : RGB(0x80, 0x80, 0x80));
  CRect valueRect = box;
  valueRect.right -= 10;
  dc->DrawText(SpinnerText(id), &valueRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);

  COLORREF captionColour = GetSchemeColor(18);
  if (id == Ids::kChAScale) captionColour = GetSchemeColor(4);
  if (id == Ids::kChBScale) captionColour = GetSchemeColor(5);
  dc->SetTextColor(enabled ? captionColour : AdjustColor(captionColour, 100));
  font.Select(&m_Owner.Font(1));
  CRect caption(area.left + Trunc(area.Width() * from), area.top, area.right, box.top);
  if (wide) caption = CRect(area.left, area.top, area.right, box.top);
  dc->DrawText(SpinnerCaption(id), &caption, (wide ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
}

namespace {

void DrawLines(CDC* dc, const CString& text, const CRect& area) {
  std::vector<CString> lines;
  int start = 0;
  for (int i = 0; i <= text.GetLength(); ++i) {
    if (i == text.GetLength() || text[i] == '\n') {
      lines.push_back(text.Mid(start, i - start));
      start = i + 1;
    }
  }
  const int n = static_cast<int>(lines.size());
  for (int i = 0; i < n; ++i) {
    CRect band(area.left, area.top + area.Height() * i / n, area.right, area.top + area.Height() * (i + 1) / n);
    dc->DrawText(lines[i], &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

// The open, save, delete and print symbols and the dock arrow, inside the face.
void DrawSymbol(CDC* dc, int id, const CRect& face, COLORREF colour) {
  const int s = std::max(4, std::min(face.Width(), face.Height()) * 3 / 5);
  const CPoint c = face.CenterPoint();
  const CRect box(c.x - s / 2, c.y - s / 2, c.x + s / 2, c.y + s / 2);
  CPen pen;
  pen.CreatePen(PS_SOLID, 1, colour);
  CBrush brush;
  brush.CreateSolidBrush(colour);
  kvp::DcSelect selPen(dc, &pen);
  kvp::DcSelect selBrush(dc, &brush);
  switch (id) {
    case Ids::kBtnOpen: {  // an opening folder
      const POINT folder[6] = {{box.left, box.top + s / 4}, {box.left + s / 3, box.top + s / 4},
                               {box.left + s / 2, box.top + s / 3}, {box.right, box.top + s / 3},
                               {box.right, box.bottom}, {box.left, box.bottom}};
      dc->Polygon(folder, 6);
      break;
    }
    case Ids::kBtnSave: {  // a disk with its label
      dc->Rectangle(&box);
      dc->FillSolidRect(box.left + s / 5, box.top + s / 8, s * 3 / 5, s / 3, RGB(255, 255, 255));
      break;
    }
    case Ids::kBtnDelete: {  // a cross
      const int w = std::max(1, s / 6);
      const POINT a[4] = {{box.left, box.top + w}, {box.left + w, box.top}, {box.right, box.bottom - w},
                          {box.right - w, box.bottom}};
      const POINT b[4] = {{box.right - w, box.top}, {box.right, box.top + w}, {box.left + w, box.bottom},
                          {box.left, box.bottom - w}};
      dc->Polygon(a, 4);
      dc->Polygon(b, 4);
      break;
    }
    case Ids::kBtnPrint: {  // a printer with its sheet
      dc->Rectangle(box.left, box.top + s / 3, box.right, box.bottom - s / 6);
      dc->FillSolidRect(box.left + s / 5, box.top, s * 3 / 5, s / 3, colour);
      dc->FillSolidRect(box.left + s / 5, box.bottom - s / 4, s * 3 / 5, s / 4, colour);
      break;
    }
    case Ids::kBtnDock: {  // a four-point arrow
      const int q = s / 2;
      const int t = std::max(1, s / 8);
      const POINT arrow[12] = {{c.x, c.y - q},     {c.x + t * 2, c.y - q / 2}, {c.x + t, c.y - t},
                               {c.x + q, c.y},     {c.x + t, c.y + t},         {c.x + t * 2, c.y + q / 2},
                               {c.x, c.y + q},     {c.x - t * 2, c.y + q / 2}, {c.x - t, c.y + t},
                               {c.x - q, c.y},     {c.x - t, c.y - t},         {c.x - t * 2, c.y - q / 2}};
      dc->Polygon(arrow, 12);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void CPanelFaces::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (!dc || !content || !data) return;
  const int id = data->id;
  const CRect face(*content);
  const bool enabled = data->enabled != 0;
  auto shade = [enabled](COLORREF c) { return enabled ? c : AdjustColor(c, 100); };
  dc->SetBkMode(TRANSPARENT);
  COLORREF colour = GetSchemeColor(13);
  switch (id) {
    case Ids::kTriggerUpDown: {
      const int source = GetGlobalProps().m_nTriggerSourceKind;
      scope::DrawEdgeSymbol(dc, face, data->value, source, shade(source == 1 || source == 3 ? GetSchemeColor(5)
                                                                                           : GetSchemeColor(4)),
                            shade(GetSchemeColor(5)));
      return;
    }
    case Ids::kBtnOpen:
    case Ids::kBtnSave:
    case Ids::kBtnDelete:
    case Ids::kBtnPrint:
    case Ids::kBtnDock:
      DrawSymbol(dc, id, face, shade(colour));
      return;
    case Ids::kTriggerSource:
      colour = TriggerColour();
      break;
    case Ids::kChAMode:
    case Ids::kChAOnOff:
      colour = GetSchemeColor(4);
      break;
    case Ids::kChBMode:
    case Ids::kChBOnOff:
      colour = GetSchemeColor(5);
      break;
    case Ids::kBtnCylFirst:
    case Ids::kBtnCylSecond:
    case Ids::kBtnCylThird:
    case Ids::kBtnCylFourth:
      if (data->value == 1) colour = 0x0033FF;
      break;
    default:
      break;
  }
  const bool small = id >= Ids::kBtnCylFirst && id <= Ids::kBtnInvert;
  kvp::DcSelect font(dc, &m_Owner.Font(small ? 2 : 1));
  if (id == Ids::kBtnRecord) {
    // The red dot in a square at the left; while recording the text is red and the dot blinks.
    const bool recording = scope::GetScopeState().ScopeRecording != 0;
    const int side = std::max(4, face.Height() * 3 / 5);
    const CRect square(face.left + 3, face.top + (face.Height() - side) / 2, face.left + 3 + side,
                       face.top + (face.Height() - side) / 2 + side);
    if (!recording || m_Owner.GetBlinkPhase() == 0) {
      CBrush red;
      red.CreateSolidBrush(0x0000FF);
      CPen pen;
      pen.CreatePen(PS_SOLID, 1, 0x0000FF);
      kvp::DcSelect selRed(dc, &red);
      kvp::DcSelect selPen(dc, &pen);
      dc->Ellipse(square.left + 1, square.top + 1, square.right - 1, square.bottom - 1);
    }
    dc->SetTextColor(recording ? 0x0000FF : shade(colour));
    CRect text(square.right, face.top, face.right, face.bottom);
    dc->DrawText("Rec", &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  dc->SetTextColor(shade(colour));
  DrawLines(dc, FaceText(id), face);
}

}  // namespace scope
