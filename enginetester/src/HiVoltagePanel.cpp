#include <enginetester/HiVoltagePanel.h>

#include <enginetester/PanelCommon.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/ProbeKind.h>
#include <core/TextIds.h>
#include <core/ValueText.h>

#include <kv310/ResultCodes.h>
#include <platform/dcscope.h>

#include <platform/window.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr COLORREF kGridColor = RGB(192, 192, 192);
constexpr COLORREF kBarColor = RGB(0, 0, 187);
constexpr COLORREF kDetectingColor = RGB(205, 205, 205);
// The kV labels' strip: 2 pixels from the area's left edge, 3 from the scale.
constexpr int kScaleLabelMargin = 5;

int Volts(const ScaledValue& v) { return static_cast<int>(ScaledValueToDouble(v)); }

int SparkCylinders() { return GetMotortesterDevice()->GetNumberCylinders(CMotortesterData::ENGINE_SPARK) & 0xFF; }

// Engine speed (slot 9): valid only from a speed sensor's reading.
int ReadSpeed(IMTHiVoltage_14* meter) {
  MeasuredValue m{};
  if (meter->GetEngineSpeed(&m) != 0) return -1;
  if (!probekind::IsHighVoltageSpeedSource(m.probe.kind) || !m.valid) return -1;
  return Volts(m.value);
}

// The first record's probe decides the status: no probe is no sensor, another kind than the
// high-voltage reference probe a bad probe.
bool ProbeIsHighVoltage(HiVoltageBatchState& s, const CylinderValue& first) {
  if (first.probe.kind == probekind::kHighVoltageReference) return true;
  s.status.store(first.probe.kind == probekind::kNone ? HiVoltageBatchState::STATUS_NO_SENSOR : HiVoltageBatchState::STATUS_BAD_PROBE,
                 std::memory_order_relaxed);
  return false;
}

// Reads the values of the variant (steps 8 of the batch); false: go straight to the report.
bool ReadValues(HiVoltageBatchState& s, IMTHiVoltage_14* meter) {
  using S = HiVoltageBatchState;
  constexpr auto relaxed = std::memory_order_relaxed;
  // Every read gets room for the most records the library writes, whatever it was asked for.
  CylinderValue records[S::MAX_VALUES] = {};
  switch (s.variant) {
    case S::ALL_CYLINDERS: {
      uint16_t count = 0;
      meter->GetCylinderRecordCount(&count);
      const int shown = std::min({SparkCylinders(), static_cast<int>(count), static_cast<int>(S::MAX_VALUES)});
      s.shownCount.store(shown, relaxed);
      s.reportedCount.store(count, relaxed);
      if (count == 0) {
        s.status.store(S::STATUS_ERROR, relaxed);
        return false;
      }
      if (meter->GetCylinderValues(0, records) != 0) {
        s.status.store(S::STATUS_ERROR, relaxed);
        return true;
      }
      if (!ProbeIsHighVoltage(s, records[0])) return true;
      for (int i = 0; i < shown; ++i) {
        const CylinderValue& r = records[i];
        if (!r.valid || r.cylinder >= s.valueCount) continue;
        const int v = Volts(r.value);
        s.values[r.cylinder].store(v, relaxed);
        s.HistoryPush(v, i);
        if (i == 0) s.PolarityStep();
      }
      s.status.store(S::STATUS_OK, relaxed);
      return true;
    }
    case S::ONE_CYLINDER:
    case S::SELECTED_CYLINDER: {
      uint16_t count = 4;
      meter->GetCylinderRecordCount(&count);
      uint16_t index = 1;
      if (s.variant == S::SELECTED_CYLINDER) {
        s.shownCount.store(std::min(SparkCylinders(), static_cast<int>(count)), relaxed);
        s.reportedCount.store(count, relaxed);
        index = static_cast<uint16_t>(s.engine->GetCurrentChannelMode());
      }
      if (meter->GetCylinderValues(index, records) != 0) {
        s.status.store(S::STATUS_ERROR, relaxed);
        return true;
      }
      if (!ProbeIsHighVoltage(s, records[0])) return true;
      if (records[0].valid) {
        const int v = Volts(records[0].value);
        s.status.store(v, relaxed);
        s.HistoryPush(v, 0);
        if (s.variant == S::SELECTED_CYLINDER) s.PolarityStep();
      }
      return true;
    }
    case S::DOUBLE_COIL: {
      s.shownCount.store(2, relaxed);
      s.reportedCount.store(2, relaxed);
      if (meter->GetCylinderValues(0, records) != 0) {
        s.status.store(S::STATUS_ERROR, relaxed);
        return true;
      }
      if (!ProbeIsHighVoltage(s, records[0])) return true;
      for (int i = 0; i < 2; ++i) {
        const CylinderValue& r = records[i];
        if (!r.valid || r.cylinder >= s.valueCount) continue;
        const int v = Volts(r.value);
        s.values[r.cylinder].store(v, relaxed);
        s.HistoryPush(v, i);
      }
      s.status.store(S::STATUS_OK, relaxed);
      return true;
    }
  }
  return true;
}

}  // namespace

// ---- the shared state ----------------------------------------------------------------------------

HiVoltageBatchState::HiVoltageBatchState(Variant v, CMeasureEngine* e)
    : variant(v),
      engine(e ? e : &GetMeasureEngine()),
      valueCount(v == ALL_CYLINDERS ? 4 : v == DOUBLE_COIL ? 2 : 0),
      rowCount(v == ALL_CYLINDERS ? 4 : v == DOUBLE_COIL ? 2 : 1) {
  if (v == SELECTED_CYLINDER) reportedCount.store(4);
}

HiVoltageBatchState::~HiVoltageBatchState() = default;

void HiVoltageBatchState::HistoryPush(int value, int row) {
  if (row < 0 || row >= rowCount) return;
  std::atomic<int>* h = history[row];
  for (int i = 0; i < DEPTH - 1; ++i) h[i].store(h[i + 1].load(std::memory_order_relaxed), std::memory_order_relaxed);
  h[DEPTH - 1].store(value, std::memory_order_relaxed);
}

int HiVoltageBatchState::HistoryMean(int row) const {
  if (row < 0 || row >= rowCount) return 0;
  long long sum = 0;
  int n = 0;
  for (int i = 0; i < DEPTH; ++i) {
    const int v = history[row][i].load(std::memory_order_relaxed);
    if (v > 0) {
      sum += v;
      ++n;
    }
  }
  return n ? static_cast<int>(sum / n) : 0;
}

void HiVoltageBatchState::ClearHistory() {
  for (auto& row : history)
    for (auto& v : row) v.store(0, std::memory_order_relaxed);
}

bool HiVoltageBatchState::DetectionRunning() const {
  CMotortesterData* data = GetMotortesterDevice();
  return polarityCounter.load(std::memory_order_relaxed) < 10 && data->GetCoilType() == 1 &&
         data->m_bAutoPolarity.load() == 1;
}

void HiVoltageBatchState::PolarityStep() {
  CMotortesterData* data = GetMotortesterDevice();
  if (data->GetCoilType() != 1 || data->m_bAutoPolarity.load() != 1) return;
  int counter = polarityCounter.load(std::memory_order_relaxed);
  if (counter >= 10) return;
  polarityCounter.store(++counter, std::memory_order_relaxed);
  IMTHiVoltage_14* m = meter.load();
  if (counter == 5) {
    meanBefore.store(HistoryMean(0), std::memory_order_relaxed);
    if (m) m->Rearm();
  } else if (counter == 10) {
    const int after = HistoryMean(0);
    meanAfter.store(after, std::memory_order_relaxed);
    polarityCounter.store(11, std::memory_order_relaxed);
    if (meanBefore.load(std::memory_order_relaxed) > after && m) m->Rearm();
  }
}

kvp::WorkerDone RunHiVoltageBatch(HiVoltageBatchState& s, WPARAM generation, HANDLE stop) {
  using S = HiVoltageBatchState;
  s.running.store(1);
  s.status.store(S::STATUS_OK, std::memory_order_relaxed);
  IMTHiVoltage_14* meter = s.meter.load();
  ICommunication_1* link = s.link.load();
  LPARAM result = BATCH_DONE;
  bool stopped = false;
  [&] {
    if (!meter || !link) return;
    link->Recover();
    HANDLE idle = link->GetIdleEvent();
    if (!idle) {
      s.status.store(S::STATUS_ERROR, std::memory_order_relaxed);
      return;
    }
    const int armed = meter->Arm();
    if (armed == kv310::kProbeVariantRefused) {
      // The board refused the measurement: the panel tells the user and stops measuring.
      result = BATCH_REFUSED;
      return;
    }
    if (armed != 0) return;
    const HANDLE handles[2] = {idle, stop};
    const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (waited == WAIT_OBJECT_0 + 1) {
      stopped = true;
      return;
    }
    if (waited != WAIT_OBJECT_0) return;
    const bool oneValue = s.variant == S::ONE_CYLINDER || s.variant == S::SELECTED_CYLINDER;
    if (meter->ReadFrame() != 0) {
      s.status.store(S::STATUS_ERROR, std::memory_order_relaxed);
      if (!oneValue) return;
    } else if (!ReadValues(s, meter)) {
      return;
    }
    s.speed.store(ReadSpeed(meter), std::memory_order_relaxed);
  }();
  s.running.store(0);
  if (stopped || s.dropped.load()) return {};
  return {s.window.load(), WM_KVBATCH, generation, result};
}

// ---- the panel -------------------------------------------------------------------------------------

CWndMotortester_HiVoltage::CWndMotortester_HiVoltage(HiVoltageBatchState::Variant variant, int titleText,
                                                     CMeasureEngine* engine)
    : m_pState(std::make_shared<HiVoltageBatchState>(variant, engine)), m_nTitleText(titleText) {}

CWndMotortester_HiVoltage::~CWndMotortester_HiVoltage() {
  m_pState->dropped.store(true);
  m_worker.Stop(DESTROY_WAIT_MS);
}

void CWndMotortester_HiVoltage::OnDestroy() {
  m_pState->window.store(0);
  CXPWndBaseColor::OnDestroy();
}

void CWndMotortester_HiVoltage::SetInterfaces(IMTHiVoltage_14* meter, ICommunication_1* link) {
  m_pMeterOverride = meter;
  m_pLinkOverride = link;
}

BOOL CWndMotortester_HiVoltage::CreateChildren() {
  m_pState->window.store(GetSafeHwnd());
  return et::CreatePanelButton(m_Title, this, "Title", ID_TITLE, et::Face::Title, TRUE, this, this);
}

void CWndMotortester_HiVoltage::OnClick(XPCtrlBtnData*, CXPCtrlBtn*) {}

LRESULT CWndMotortester_HiVoltage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KVBATCH) {
    OnDataBatch(wParam, lParam);
    return 0;
  }
  return CXPWndBaseColor::WindowProc(message, wParam, lParam);
}

BOOL CWndMotortester_HiVoltage::StartWorker() {
  const WPARAM generation = ++m_nGeneration;
  // The worker holds its own reference to the state, so it may outlive the panel.
  std::shared_ptr<HiVoltageBatchState> state = m_pState;
  const bool started = m_worker.Start(
      [state, generation](HANDLE stop) { return RunHiVoltageBatch(*state, generation, stop); }, THREAD_PRIORITY_LOWEST);
  return started ? TRUE : FALSE;
}

void CWndMotortester_HiVoltage::StopWorker() { m_worker.Stop(STOP_WAIT_MS); }

void CWndMotortester_HiVoltage::OnShowWindow(BOOL show, UINT status) {
  CXPWndBaseColor::OnShowWindow(show, status);
  HiVoltageBatchState& s = *m_pState;
  if (!show) {
    StopWorker();
    return;
  }
  s.meter.store(m_pMeterOverride ? m_pMeterOverride : GetKeloDll().MTHiVoltage());
  s.link.store(m_pLinkOverride ? m_pLinkOverride : GetKeloDll().Communication());
  s.status.store(HiVoltageBatchState::STATUS_OK, std::memory_order_relaxed);
  // No speed until this visit's first batch has read one: the engine may have stopped since.
  s.speed.store(-1, std::memory_order_relaxed);
  if (s.variant != HiVoltageBatchState::ONE_CYLINDER) {
    const int reported = s.reportedCount.load(std::memory_order_relaxed);
    s.shownCount.store(std::min(SparkCylinders(), reported), std::memory_order_relaxed);
  }
  if (s.variant == HiVoltageBatchState::DOUBLE_COIL) s.shownCount.store(2, std::memory_order_relaxed);
  if (s.variant == HiVoltageBatchState::ALL_CYLINDERS || s.variant == HiVoltageBatchState::SELECTED_CYLINDER)
    s.polarityCounter.store(0, std::memory_order_relaxed);
  if (s.variant == HiVoltageBatchState::ALL_CYLINDERS)
    for (auto& v : s.values) v.store(0, std::memory_order_relaxed);
  s.ClearHistory();
  OnShown();
  if (!s.meter.load() || !s.link.load()) {
    // Without the library there is nothing to arm: a batch would end at once and the next start
    // at once, a thread after thread for as long as the panel shows.
    s.status.store(HiVoltageBatchState::STATUS_ERROR, std::memory_order_relaxed);
    Redraw();
    return;
  }
  Redraw();
  if (m_worker.Held()) return;
  StartWorker();
}

void CWndMotortester_HiVoltage::OnDataBatch(WPARAM generation, LPARAM result) {
  // Only the running worker's report counts: a report still queued from a worker joined by a hide
  // belongs to an earlier generation.
  if (!m_worker.Held() || generation != m_nGeneration) return;
  if (result == BATCH_REFUSED) {
    // The worker has ended; its handle stays so nothing more starts until the panel is shown again.
    MessageBox(GetGlobalProps().GetText(kTextBadEngineParams), nullptr, MB_ICONEXCLAMATION);
    if (CWnd* parent = GetParent()) ::PostMessage(parent->GetSafeHwnd(), WM_KVREFUSED, 0, 0);
    return;
  }
  Redraw();
  // The worker posted as its last act: the join ends at once.
  if (!m_worker.Join(STOP_WAIT_MS)) return;
  StartWorker();
}

// ---- values and geometry ----------------------------------------------------------------------------

int CWndMotortester_HiVoltage::BarCount() const {
  const HiVoltageBatchState& s = *m_pState;
  if (s.variant == HiVoltageBatchState::ALL_CYLINDERS)
    return std::clamp(s.shownCount.load(std::memory_order_relaxed), 0, static_cast<int>(HiVoltageBatchState::MAX_VALUES));
  if (s.variant == HiVoltageBatchState::DOUBLE_COIL) return 2;
  return 1;
}

int CWndMotortester_HiVoltage::BarValue(int bar) const {
  const HiVoltageBatchState& s = *m_pState;
  int v = 0;
  if (GetMotortesterDevice()->m_bAveraging.load()) {
    v = s.HistoryMean(bar);
  } else if (s.valueCount > 0) {
    v = bar >= 0 && bar < s.valueCount ? s.values[bar].load(std::memory_order_relaxed) : 0;
  } else {
    v = std::max(0, s.status.load(std::memory_order_relaxed));
  }
  if (v > kBarMax) return kBarMax;
  if (v < kBarMin) return 0;
  return v;
}

CWndMotortester_HiVoltage::PrintValues CWndMotortester_HiVoltage::GetPrintValues() const {
  PrintValues p;
  p.count = BarCount();
  p.status = m_pState->status.load(std::memory_order_relaxed);
  // A state drawn instead of the bars: the values an earlier batch left are not shown.
  if (p.status >= 0)
    for (int i = 0; i < p.count; ++i) p.values[i] = BarValue(i);
  p.speed = m_pState->speed.load(std::memory_order_relaxed);
  return p;
}

LPCSTR CWndMotortester_HiVoltage::StateText() const {
  const int status = m_pState->status.load(std::memory_order_relaxed);
  switch (status) {
    case HiVoltageBatchState::STATUS_NO_SENSOR: return et::StatusText(2);
    case HiVoltageBatchState::STATUS_BAD_PROBE: return et::StatusText(3);
    default: return status < 0 ? et::StatusText(0) : nullptr;
  }
}

CRect CWndMotortester_HiVoltage::MeasuringArea() const {
  const CRect& c = m_rcClient;
  return CRect(c.left + 150, c.top + c.Height() / 6, c.right - 150, c.bottom - 20);
}

CRect CWndMotortester_HiVoltage::ScaleRect() const {
  const CRect a = MeasuringArea();
  const int strip = a.Height() / 15;
  // Room left for the kV labels (50 pixels, more when the font needs it), above for the speed and
  // the value texts, below for the bar labels and "[sensor]".
  const int labels = std::max(50, m_nScaleLabelWidth + kScaleLabelMargin);
  return CRect(a.left + labels, a.top + a.Height() / 6, a.right, a.bottom - CoveredBottom() - 5 - 2 * strip);
}

CRect CWndMotortester_HiVoltage::BarRect(int bar, int value) const {
  const CRect scale = ScaleRect();
  const CRect a = MeasuringArea();
  const int height = static_cast<int>(static_cast<long long>(value) * scale.Height() / kFullScale);
  int left = 0, right = 0;
  const int n = BarCount();
  if (m_pState->variant == HiVoltageBatchState::ONE_CYLINDER ||
      m_pState->variant == HiVoltageBatchState::SELECTED_CYLINDER) {
    const int w = (a.Width() - 45) / 4;
    left = a.left + (a.Width() - w) / 2;
    right = left + w;
  } else {
    // One slot per bar plus one, spread over the area; each bar half a slot wide.
    const int slot = a.Width() / (n + 1);
    const int centre = a.left + slot * (bar + 1);
    left = centre - slot / 4;
    right = centre + slot / 4;
  }
  return CRect(left, scale.bottom - height, right, scale.bottom);
}

CString CWndMotortester_HiVoltage::BarLabel(int bar) const {
  CString s;
  s.Format("%d", bar + 1);
  return s;
}

// ---- painting -------------------------------------------------------------------------------------

void CWndMotortester_HiVoltage::MeasureScaleLabels() {
  m_nScaleLabelWidth = 0;
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  kvp::DcSelect selectFont(&dc, &m_fntSmall);
  for (int k = 0; k <= 5; ++k) {
    CString label;
    label.Format("%dkV", k * 5);
    m_nScaleLabelWidth = std::max(m_nScaleLabelWidth, static_cast<int>(dc.GetTextExtent(label).cx));
  }
}

void CWndMotortester_HiVoltage::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const int w = m_rcClient.Width();
  const int h = m_rcClient.Height();
  const int titleHeight = static_cast<int>(h / 8.25);
  et::MakePanelFont(m_fntLarge, -(titleHeight / 2));
  et::MakePanelFont(m_fntSmall, h / -32);
  MeasureScaleLabels();
  const int b = 2 * static_cast<int>(w / 2.5);
  const int m = (w - b) / 3;
  if (m_Title.GetSafeHwnd()) m_Title.MoveWindow(m_rcClient.left + m, m_rcClient.top + TitleTop(), b + m, titleHeight);
}

void CWndMotortester_HiVoltage::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != ID_TITLE) return;
  et::DrawFaceText(dc, *content, GetGlobalProps().GetText(m_nTitleText), &m_fntLarge,
                   GetSchemeColor(et::kTitleTextScheme), DT_CENTER | DT_BOTTOM);
}

void CWndMotortester_HiVoltage::PaintContent(CDC* dc) {
  const HiVoltageBatchState& s = *m_pState;
  const CRect area = MeasuringArea();
  if (area.Width() <= 0 || area.Height() <= 0) return;
  dc->FillSolidRect(&area, GetSchemeColor(24));
  CRect edge = area;
  dc->DrawEdge(&edge, EDGE_SUNKEN, BF_RECT);
  kvp::DcText text(dc, RGB(0, 0, 0), TRANSPARENT);
  kvp::DcSelect selectFont(dc, &m_fntSmall);

  CString averaging;
  averaging.Format("%s: %s", GetGlobalProps().GetText(kTextAveraging), GetMotortesterDevice()->m_bAveraging.load() ? "On" : "Off");
  CRect avg(area.left + 10, area.top + 10, area.right, area.top + 10 + area.Height() / 10);
  dc->DrawText(averaging, &avg, DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOCLIP);

  const int speed = s.speed.load(std::memory_order_relaxed);
  CString speedText = "---";
  if (speed != -1) speedText.Format("%d", speed);
  DrawValueWithUnit(speedText, GetGlobalProps().GetText(kTextRpm), area.left, area.top, area.right - 5,
                    area.top + area.Height() / 10, dc);
  dc->SelectObject(&m_fntSmall);

  // The kV grid: a dashed line and its label every 5 kV.
  const CRect scale = ScaleRect();
  CPen grid(PS_DASH, 1, kGridColor);
  kvp::DcSelect selectPen(dc, &grid);
  for (int k = 0; k <= 5; ++k) {
    const int y = scale.bottom - k * scale.Height() / 6;
    CString label;
    label.Format("%dkV", k * 5);
    CRect lr(area.left + kScaleLabelMargin - 3, y - 10, scale.left - 3, y + 10);
    dc->DrawText(label, &lr, DT_SINGLELINE | DT_RIGHT | DT_VCENTER | DT_NOCLIP);
    dc->MoveTo(scale.left, y);
    dc->LineTo(area.right, y);
  }

  const int strip = area.Height() / 15;
  const int sensorBottom = area.bottom - CoveredBottom() - 5;
  CRect sensor(area.left, sensorBottom - strip, area.right, sensorBottom);
  dc->DrawText(GetGlobalProps().GetText(kTextSensorPlaceholder), -1, &sensor, DT_SINGLELINE | DT_CENTER | DT_VCENTER);

  if (const LPCSTR state = StateText()) {
    CRect band(area.left, area.top, area.right, area.top + 50);
    dc->DrawText(state, -1, &band, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  } else {
    const bool grey = (s.variant == HiVoltageBatchState::ALL_CYLINDERS ||
                       s.variant == HiVoltageBatchState::SELECTED_CYLINDER) &&
                      s.DetectionRunning();
    const int n = BarCount();
    for (int i = 0; i < n; ++i) {
      const int value = BarValue(i);
      m_nDisplayValues[i] = value;
      const CRect bar = BarRect(i, value);
      const int h = bar.Height();
      for (int y = 0; y < h; ++y) {
        // From black at the bar's foot to blue at its top.
        const int blue = GetBValue(kBarColor);
        const COLORREF c = grey ? kDetectingColor : RGB(0, 0, h > 1 ? blue * y / (h - 1) : blue);
        dc->FillSolidRect(bar.left, bar.bottom - 1 - y, bar.Width(), 1, c);
      }
      CString valueText = "0kV";
      if (value != 0) {
        CString number;
        FormatScaledValue(number, value, GetEngineeringExponent(value), 1);
        valueText.Format("%sV", (LPCSTR)number);
      }
      CRect vr(bar.left - 40, bar.top - 4 - strip, bar.right + 40, bar.top - 4);
      dc->DrawText(valueText, &vr, DT_SINGLELINE | DT_CENTER | DT_BOTTOM | DT_NOCLIP);
      const CString label = BarLabel(i);
      if (!label.IsEmpty()) {
        CRect lr(bar.left - 40, scale.bottom + 2, bar.right + 40, scale.bottom + 2 + strip);
        dc->DrawText(label, &lr, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOCLIP);
      }
    }
  }
}
