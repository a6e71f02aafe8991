#include <enginetester/WndMotortester_Params.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <platform/dcscope.h>

namespace {

// One repeat control. Its minimum and maximum lie one step outside the valid values; a value that
// reaches one of them wraps to `atMin` or `atMax`.
struct ControlDef {
  int id;
  const char* name;
  int label;
  double step, bigStep, min, max;
  int repeat;
  int atMin, atMax;
};

constexpr int kSpark = CMotortesterData::ENGINE_SPARK;
constexpr int kDiesel = CMotortesterData::ENGINE_DIESEL;

const ControlDef kControlDefs[CWndMotortester_Params::CONTROLS] = {
    {CWndMotortester_Params::ID_CYLINDERS, "CylinderCount", 10042, 1, 1, 0, 9, 20, 8, 1},
    {CWndMotortester_Params::ID_MARKS, "NumberOfMark", 10043, 1, 5, 0, 62, 10, 61, 1},
    {CWndMotortester_Params::ID_MARK_SHIFT, "MarkShift", 10044, 1, 5, -360, 360, 10, 359, -359},
    {CWndMotortester_Params::ID_STROKE, "Stroke", 10045, 2, 1, 1, 5, 20, 4, 2},
    {CWndMotortester_Params::ID_SENSITIVITY, "Sensitivity", 10046, 1, 2, 0, 8, 20, 7, 1},
    {CWndMotortester_Params::ID_COMPARATIVE, "ComparativeLevel", 10047, 4, 2, 10, 19, 20, 15, 11},
    // The speed sensor's range is the spark one here; the diesel range is set on load.
    {CWndMotortester_Params::ID_SPEED_SENSOR, "SpeedSensorType", 10048, 1, 1, 0, 4, 20, 3, 1},
    {CWndMotortester_Params::ID_PRESSURE_SENSOR, "PressureSensorType", 10049, 1, 2, 0, 3, 20, 2, 1},
    {CWndMotortester_Params::ID_COIL_TYPE, "ComparativeLevel", 10172, 1, 1, -1, 2, 20, 1, 0},
    {CWndMotortester_Params::ID_CONFIGURE_PROBES, "ConfigureVNProbe", 10113, 1, 1, -1, 2, 20, 1, 0},
};

// The speed sensor's range and wrap differ per engine type.
void SpeedSensorRange(int engineType, double& min, double& max, int& atMin, int& atMax) {
  if (engineType == kDiesel) {
    min = 1, max = 5, atMin = 4, atMax = 2;
  } else {
    min = 0, max = 4, atMin = 3, atMax = 1;
  }
}

CMotortesterData& Data() { return *GetMotortesterDevice(); }

void MakeArial(CFont& font, int height) {
  font.DeleteObject();
  font.CreateFont(-(height > 1 ? height : 1), 0, 0, 0, FW_BOLD, 0, 0, 0, GetGlobalProps().GetCharSet(),
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

}  // namespace

CWndMotortester_Params::CWndMotortester_Params() {
  m_Pen.CreatePen(PS_SOLID, 1, GetSchemeColor(17));
  m_brFace.CreateSolidBrush(GetSchemeColor(16));
  m_brControl.CreateSolidBrush(GetSchemeColor(14));
  m_brDark.CreateSolidBrush(AdjustColor(GetSchemeColor(16), -50));
  MakeArial(m_fntLarge, 30);
  MakeArial(m_fntTitle, 30);
  MakeArial(m_fntSmall, 14);
  MakeArial(m_fntMedium, 20);
}

CWndMotortester_Params::~CWndMotortester_Params() = default;

int CWndMotortester_Params::IndexOf(int id) const {
  for (int i = 0; i < CONTROLS; ++i)
    if (kControlDefs[i].id == id) return i;
  return -1;
}

CRepeatCtrl* CWndMotortester_Params::Control(int id) {
  const int i = IndexOf(id);
  return i < 0 ? nullptr : &m_Ctrl[i];
}

BOOL CWndMotortester_Params::CreateChildren() {
  const CRect none(0, 0, 0, 0);
  for (int i = 0; i < CONTROLS; ++i) {
    const ControlDef& s = kControlDefs[i];
    CRepeatCtrl& c = m_Ctrl[i];
    NumericOptionRecord r;
    InitRepeatData(&r);
    r.enabled = 1;
    r.step = s.step;
    r.bigStep = s.bigStep;
    r.min = s.min;
    r.max = s.max;
    r.value = s.min + s.step;
    r.reversed = 0;
    r.accelAfter = s.repeat;
    r.decimals = 0;
    c.InitOptionFromRecord(&r);
    c.scrollClbck = this;
    c.drawClbck = this;
    c.back = m_crBack;
    if (!c.Create(s.name, WS_CHILD | WS_VISIBLE, none, this, s.id)) return FALSE;
  }
  const COLORREF face = GetSchemeColor(6);
  for (CXPCtrlBtn* b : {&m_Title, &m_SubTitle}) {
    b->drawClbck = this;
    b->btnClbck = this;
    b->SetColors(face, 0x10000, m_crBack, RGB(80, 80, 80));
  }
  if (!m_Title.Create("Title", WS_CHILD | WS_VISIBLE, none, this, ID_TITLE)) return FALSE;
  if (!m_SubTitle.Create("SubTitle", WS_CHILD | WS_VISIBLE, none, this, ID_SUBTITLE)) return FALSE;
  for (int i = 0; i < SWITCHES; ++i) {
    CXPCtrlBtn& b = m_Switch[i];
    b.drawClbck = this;
    b.btnClbck = this;
    b.SetColors(GetSchemeColor(14), 0x10000, m_crBack, RGB(80, 80, 80));
    CString name;
    name.Format("Switch%d", i + 1);
    if (!b.Create(name, WS_CHILD, none, this, ID_SWITCH1 + i)) return FALSE;
  }
  UpdateVisibility();
  return TRUE;
}

void CWndMotortester_Params::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!m_Title.GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  const double u = c.Height() / 8.05;
  const int iu = static_cast<int>(u);
  MakeArial(m_fntLarge, static_cast<int>(u / 2));
  MakeArial(m_fntSmall, static_cast<int>(u / 4));
  MakeArial(m_fntMedium, static_cast<int>(u / 3));
  const int colWidth = static_cast<int>(c.Width() / 2.5);
  const int gap = (c.Width() - 2 * colWidth) / 3;
  const int col1 = c.left + gap;
  const int col2 = col1 + colWidth + gap;
  const int mid = c.top + c.Height() / 2;

  // The titles stay over the first column: the second one starts higher.
  const int titleHeight = static_cast<int>(0.6 * u);
  m_Title.MoveWindow(col1, c.top + 20, colWidth, titleHeight);
  {
    // The title in the large font as long as it fits the button's face (6 pixels inside its edges),
    // with a pixel to spare around it.
    CClientDC dc(this);
    const int fitting = et::FittingFontHeight(&dc, GetGlobalProps().GetText(kTextTesterSetupTitle), static_cast<int>(u / 2),
                                              CSize(colWidth - 14, titleHeight - 14));
    MakeArial(m_fntTitle, fitting);
  }
  m_SubTitle.MoveWindow(col1, c.top + 20 + static_cast<int>(0.6 * u), colWidth, static_cast<int>(u / 1.5));

  // Each row: its label on the left half of the column, the control on the right half.
  const int controlWidth = colWidth * 2 / 5;
  const int controlHeight = static_cast<int>(u * 0.7);
  auto place = [&](int id, int left, int top) {
    Control(id)->MoveWindow(left + colWidth - controlWidth, top + (iu - controlHeight) / 2, controlWidth, controlHeight);
  };
  int y = mid - (iu * 2 + 15);
  for (int id : {ID_CYLINDERS, ID_MARKS, ID_MARK_SHIFT, ID_STROKE, ID_SENSITIVITY}) {
    place(id, col1, y);
    y += iu + 10;
  }
  y = mid - (3 * iu + 25);
  place(ID_SPEED_SENSOR, col2, y);
  y += iu + 10;
  place(ID_COMPARATIVE, col2, y);
  place(ID_COIL_TYPE, col2, y);
  y += iu + 10;
  place(ID_PRESSURE_SENSOR, col2, y);
  place(ID_CONFIGURE_PROBES, col2, y);
  y += iu + 10;

  // The polarity switches in a row under a line of text, inside a rounded box.
  const int sw = colWidth / 8;
  const int pitch = static_cast<int>(sw * 1.4);
  const int textHeight = iu / 2;
  const int rowWidth = 3 * pitch + sw;
  const int left = col2 + (colWidth - rowWidth) / 2;
  const int top = y + textHeight + 10;
  for (int i = 0; i < SWITCHES; ++i) m_Switch[i].MoveWindow(left + i * pitch, top, sw, sw);
  m_rcPolarity.SetRect(col2, y, col2 + colWidth, top + sw + 12);
}

bool CWndMotortester_Params::PolarityBoxShown() const {
  const CMotortesterData& d = Data();
  return d.GetEngineType() == kSpark && d.GetCoilType() == 1 && d.m_bProbeSetupDone.load() == 1;
}

void CWndMotortester_Params::UpdateVisibility() {
  if (!m_Title.GetSafeHwnd()) return;
  const bool spark = Data().GetEngineType() != kDiesel;
  auto show = [this](int id, bool on) { Control(id)->ShowWindow(on ? SW_SHOW : SW_HIDE); };
  show(ID_SENSITIVITY, spark);
  show(ID_COIL_TYPE, spark);
  show(ID_COMPARATIVE, !spark);
  show(ID_PRESSURE_SENSOR, !spark);
  show(ID_CONFIGURE_PROBES, spark && Data().GetCoilType() == 1);
  const bool box = PolarityBoxShown();
  for (CXPCtrlBtn& b : m_Switch) b.ShowWindow(box ? SW_SHOW : SW_HIDE);
}

void CWndMotortester_Params::PaintContent(CDC* dc) {
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColor = dc->SetTextColor(GetSchemeColor(8));
  kvp::DcSelect selectFont(dc, &m_fntSmall);
  const GlobalProps& props = GetGlobalProps();
  // Each visible control's label, left of it in its column.
  for (int i = 0; i < CONTROLS; ++i) {
    CRepeatCtrl& c = m_Ctrl[i];
    if (!c.GetSafeHwnd() || !c.IsWindowVisible()) continue;
    CRect r;
    c.GetWindowRect(&r);
    ScreenToClient(&r);
    const int colWidth = static_cast<int>(m_rcClient.Width() / 2.5);
    CRect label(r.right - colWidth, r.top, r.left - 8, r.bottom);
    dc->DrawText(props.GetText(kControlDefs[i].label), -1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  if (PolarityBoxShown()) {
    {
      kvp::DcSelect selectPen(dc, &m_Pen);
      kvp::DcSelect selectBrush(dc->GetSafeHdc(), GetStockObject(NULL_BRUSH));
      dc->RoundRect(m_rcPolarity.left, m_rcPolarity.top, m_rcPolarity.right, m_rcPolarity.bottom, 16, 16);
    }
    CString text;
    text.Format("%s(1., 2., 3., 4.)", props.GetText(kTextHvSensorPolarity));
    dc->SelectObject(&m_fntSmall);
    CRect line(m_rcPolarity.left + 8, m_rcPolarity.top + 4, m_rcPolarity.right - 8, m_rcPolarity.bottom);
    dc->DrawText(text, &line, DT_CENTER | DT_TOP | DT_SINGLELINE);
  }
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

void CWndMotortester_Params::OnShowWindow(BOOL show, UINT status) {
  CXPWndBaseColor::OnShowWindow(show, status);
  if (show) LoadFromLibrary();
}

void CWndMotortester_Params::LoadRecord(int id, int value) {
  CRepeatCtrl* c = Control(id);
  const int i = IndexOf(id);
  c->record.min = kControlDefs[i].min;
  c->record.max = kControlDefs[i].max;
  if (id == ID_SPEED_SENSOR) {
    int atMin = 0, atMax = 0;
    SpeedSensorRange(Data().GetEngineType(), c->record.min, c->record.max, atMin, atMax);
  }
  // A set the library never filled (engine type unset) reads -1: the control keeps its value.
  if (value > c->record.min && value < c->record.max) c->record.value = value;
  if (c->GetSafeHwnd()) c->Redraw();
}

void CWndMotortester_Params::LoadFromLibrary() {
  CMotortesterData& d = Data();
  if (IMotortester_6* tester = d.GetMotortester()) {
    EngineParameterBlock block = d.GetParamBlock();
    if (tester->GetAllParams(&block) == 0) d.SetParamBlock(block);
  }
  const int kind = d.GetEngineType();
  LoadRecord(ID_CYLINDERS, d.GetNumberCylinders(kind));
  LoadRecord(ID_MARKS, d.GetNumberMarks(kind));
  LoadRecord(ID_MARK_SHIFT, d.GetMarkOffset(kind));
  LoadRecord(ID_STROKE, d.GetStroke(kind));
  LoadRecord(ID_SPEED_SENSOR, d.GetSpeedSensorType(kind));
  const EngineParameterBlock block = d.GetParamBlock();
  if (kind == kDiesel) {
    LoadRecord(ID_COMPARATIVE, block.dieselComparativeLevel);
    LoadRecord(ID_PRESSURE_SENSOR, d.GetPressureSensorType(kind));
  } else {
    LoadRecord(ID_SENSITIVITY, block.sparkSensitivity);
    LoadRecord(ID_COIL_TYPE, d.GetCoilType());
    if (d.GetCoilType() == 1) {
      const int done = d.m_bProbeSetupDone.load() == 1 ? 1 : 0;
      if (done) d.ReadPolarities();
      LoadRecord(ID_CONFIGURE_PROBES, done);
    } else {
      LoadRecord(ID_CONFIGURE_PROBES, d.m_bProbeSetupDone.load());
    }
  }
  RedrawNow(&m_SubTitle);
  UpdateVisibility();
  for (CXPCtrlBtn& b : m_Switch) RedrawNow(&b);
  Invalidate();
}

void CWndMotortester_Params::Reload() {
  CMotortesterData& d = Data();
  const int kind = d.GetEngineType();
  const EngineParameterBlock block = d.GetParamBlock();
  Invalidate();
  for (int i = 0; i < CONTROLS; ++i) {
    const int id = kControlDefs[i].id;
    int value = 0;
    switch (id) {
      case ID_CYLINDERS: value = d.GetNumberCylinders(kind); break;
      case ID_MARKS: value = d.GetNumberMarks(kind); break;
      case ID_MARK_SHIFT: value = d.GetMarkOffset(kind); break;
      case ID_STROKE: value = d.GetStroke(kind); break;
      case ID_SENSITIVITY: value = block.sparkSensitivity; break;
      case ID_COMPARATIVE: value = block.dieselComparativeLevel; break;
      case ID_SPEED_SENSOR: value = d.GetSpeedSensorType(kind); break;
      case ID_PRESSURE_SENSOR: value = d.GetPressureSensorType(kind); break;
      case ID_COIL_TYPE: value = d.GetCoilType(); break;
      default: value = d.m_bProbeSetupDone.load(); break;
    }
    // The ends of a range are the wrap marks, not values.
    NumericOptionRecord& r = m_Ctrl[i].record;
    if (value > r.min && value < r.max && value != r.value) r.value = value;
    if (m_Ctrl[i].GetSafeHwnd()) m_Ctrl[i].Redraw();
  }
  UpdateVisibility();
  for (CXPCtrlBtn& b : m_Switch) RedrawNow(&b);
}

void CWndMotortester_Params::Store(int id, int value) {
  CMotortesterData& d = Data();
  const int kind = d.GetEngineType();
  switch (id) {
    case ID_CYLINDERS: d.SetNumberCylinders(kind, value); break;
    case ID_MARKS: d.SetNumberMarks(kind, value); break;
    case ID_MARK_SHIFT: d.SetMarkOffset(kind, value); break;
    case ID_STROKE: d.SetStroke(kind, value); break;
    case ID_SENSITIVITY:
      if (kind == kSpark) {
        EngineParameterBlock b = d.GetParamBlock();
        b.sparkSensitivity = static_cast<uint8_t>(value);
        d.SetParamBlock(b);
      }
      break;
    case ID_COMPARATIVE:
      if (kind == kDiesel) {
        EngineParameterBlock b = d.GetParamBlock();
        b.dieselComparativeLevel = static_cast<uint8_t>(value);
        d.SetParamBlock(b);
      }
      break;
    case ID_SPEED_SENSOR: d.SetSpeedSensorType(kind, value); break;
    case ID_PRESSURE_SENSOR: d.SetPressureSensorType(kind, value); break;
    case ID_COIL_TYPE: d.SetCoilType(kind, value); break;
    case ID_CONFIGURE_PROBES:
      d.m_bProbeSetupDone.store(value);
      if (value == 1) d.ReadPolarities();
      break;
    default: break;
  }
}

void CWndMotortester_Params::OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) {
  const int i = static_cast<int>(control - m_Ctrl);
  if (i < 0 || i >= CONTROLS) return;
  const ControlDef& s = kControlDefs[i];
  int atMin = s.atMin, atMax = s.atMax;
  if (s.id == ID_SPEED_SENSOR) {
    double min = 0, max = 0;
    SpeedSensorRange(Data().GetEngineType(), min, max, atMin, atMax);
  }
  int value = static_cast<int>(record->value);
  if (record->value <= record->min)
    value = atMin;
  else if (record->value >= record->max)
    value = atMax;
  record->value = value;
  Store(s.id, value);
  if (s.id == ID_COIL_TYPE || s.id == ID_CONFIGURE_PROBES) UpdateVisibility();
  control->Redraw();
  Invalidate();
}

CString CWndMotortester_Params::ValueText(int id, int value) const {
  CString s;
  switch (id) {
    case ID_STROKE: return GetStrokeText(value);
    case ID_COMPARATIVE: return GetPercentLevelText(value);
    case ID_SPEED_SENSOR: return GetSpeedSensorText(value);
    case ID_PRESSURE_SENSOR: return GetPressureSensorText(value);
    case ID_COIL_TYPE: return GetCoilTypeText(value);
    case ID_CONFIGURE_PROBES: return GetAutoManualText(value);
    default:
      s.Format("%d", value);
      return s;
  }
}

void CWndMotortester_Params::Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) {
  const int i = static_cast<int>(control - m_Ctrl);
  if (i < 0 || i >= CONTROLS) return;
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColor = dc->SetTextColor(GetSchemeColor(8));
  kvp::DcSelect selectFont(dc, &m_fntMedium);
  const CString text = ValueText(kControlDefs[i].id, static_cast<int>(record->value));
  // Centred in the field left of the arrows.
  CRect field(*client);
  field.right -= field.Height();
  dc->DrawText(text, &field, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

void CWndMotortester_Params::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  const GlobalProps& props = GetGlobalProps();
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColor = dc->SetTextColor(GetSchemeColor(8));
  kvp::DcSelect selectFont(dc, nullptr);
  CRect rc(*content);
  if (data->id == ID_TITLE) {
    selectFont.Select(&m_fntTitle);
    dc->DrawText(props.GetText(kTextTesterSetupTitle), -1, &rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  } else if (data->id == ID_SUBTITLE) {
    selectFont.Select(&m_fntMedium);
    const int kind = Data().GetEngineType();
    dc->DrawText(props.GetText(kind == kDiesel ? kTextDieselEngine : kTextSparkIgnitionEngine), -1, &rc,
                 DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  } else if (data->id >= ID_SWITCH1 && data->id < ID_SWITCH1 + SWITCHES) {
    selectFont.Select(&m_fntLarge);
    const int polarity = Data().GetPolarity(data->id - ID_SWITCH1 + 1);
    dc->DrawText(polarity > 0 ? "+" : "-", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

void CWndMotortester_Params::OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) {
  if (data->id < ID_SWITCH1 || data->id >= ID_SWITCH1 + SWITCHES) return;
  Data().TogglePolarity(data->id - ID_SWITCH1 + 1);
  RedrawNow(button);
}
