#include <meters/Recorder.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/TextIds.h>

#include <platform/sync.h>

#include <cmath>

CRecorder::CRecorder() {
  // Both cursors start hidden: bit 0 of their flags clear.
  for (CursorRecord& c : m_Cursors) c.m_nFlags &= ~1;
}

CRecorder::~CRecorder() {
  // The program ends: a transfer still running is only told to stop and left alone.
  if (m_pJob) m_pJob->cancelled.store(1);
  m_worker.Release();
}

// ---- cursors, zoom, amplitude ------------------------------------------------------------------

int CRecorder::InitCursors() {
  struct Init {
    const char* name;
    double position;
    int color;
    int kind;
  } const table[2] = {{"L", 300.0, 10, CURSOR_KIND_L}, {"R", 500.0, 11, CURSOR_KIND_R}};
  for (int i = 0; i < 2; ++i) {
    CursorRecord& c = m_Cursors[i];
    c.m_strName = table[i].name;
    c.m_dValue = table[i].position;
    c.m_crColor = GetSchemeColor(table[i].color);
    c.Kind() = table[i].kind;
  }
  return 1;
}

int CRecorder::ZoomOut() {
  int& z = m_View.m_nZoom;
  switch (z) {
    case 0: break;
    case 1: z = 2; break;
    case 2: z = 5; break;
    case 5: z = 10; break;
    default: z = 20; break;
  }
  if (static_cast<long long>(z) * SCREEN_COLUMNS >= GetRecordLastIndex()) z = 0;
  return z != 20 && z != 0 ? 1 : 0;
}

int CRecorder::ZoomIn() {
  int& z = m_View.m_nZoom;
  auto stepIn = [](int zoom) {
    switch (zoom) {
      case 0: return 20;
      case 1:
      case 2: return 1;
      case 5: return 2;
      case 10: return 5;
      default: return 10;
    }
  };
  z = stepIn(z);
  const int last = GetRecordLastIndex();
  while (last > 0 && last <= static_cast<long long>(z) * SCREEN_COLUMNS && z > 1) z = stepIn(z);
  return z != 1 ? 1 : 0;
}

int CRecorder::AmplitudeStepUp(int record) {
  if (record < 0 || record > 3) return 1;
  int& a = m_View.m_nAmplitudeStep[record];
  if (a >= 1 && a <= 3) {
    ++a;
    return 1;
  }
  if (a == 4 || a == 5) {
    a = 5;
    return 0;
  }
  a = 1;
  return 1;
}

int CRecorder::AmplitudeStepDown(int record) {
  if (record < 0 || record > 3) return 1;
  int& a = m_View.m_nAmplitudeStep[record];
  if (a >= 2 && a <= 5) {
    --a;
    return 1;
  }
  a = 1;
  return 0;
}

// ---- lengths and texts -------------------------------------------------------------------------

double CRecorder::GetLength() const {
  const CRecordList& list = GetRecordList();
  if (list.IsEmpty()) return 0.0;
  const CRecord* r = list[0];
  if (!(r->m_dSampleRate > 0.0)) return 0.0;
  const double count = r->GetPointCount();
  return r->m_bAngle ? count / r->m_dSampleRate : count / r->m_dSampleRate * 1000.0;
}

int CRecorder::GetRecordLastIndex() const {
  const CRecordList& list = GetRecordList();
  if (list.IsEmpty() || list[0]->GetPointCount() <= 0) return 0;
  return list[0]->GetPointCount() - 1;
}

void CRecorder::SetPosition(int p) { m_View.m_nPosition = p < 0 ? 0 : p; }

long long CRecorder::GetPositionTime() const {
  const int last = GetRecordLastIndex();
  if (last == 0) return 0;
  return std::llround(GetLength() * m_View.m_nPosition / last);
}

CString CRecorder::FormatTime(long long value) const {
  CString text;
  const CRecordList& list = GetRecordList();
  if (!list.IsEmpty() && list[0]->m_bAngle) {
    text.Format("%d\xB0", static_cast<int>(value));
    return text;
  }
  const long long ms = value < 0 ? 0 : value;
  text.Format("%d:%02d.%03d'", static_cast<int>(ms / 60000), static_cast<int>(ms / 1000 % 60),
              static_cast<int>(ms % 1000));
  return text;
}

CString CRecorder::GetLengthText() const {
  if (GetRecordList().IsEmpty()) return CString("0:00.000'");
  return FormatTime(std::llround(GetLength()));
}

CString CRecorder::GetPositionText() const {
  if (GetRecordList().IsEmpty()) return CString("0:00.000'");
  return FormatTime(GetPositionTime());
}

CString CRecorder::GetLastIndexText() const {
  CString text;
  text.Format("%d", GetRecordList().IsEmpty() ? 0 : GetRecordLastIndex());
  return text;
}

// ---- the view ----------------------------------------------------------------------------------

RecorderViewWindow CRecorder::GetViewWindow() const {
  RecorderViewWindow w;
  const int last = GetRecordLastIndex();
  const int z = m_View.m_nZoom;
  if (z != 0) {
    w.n = z * SCREEN_COLUMNS;
    w.start = m_View.m_nPosition - w.n / 2;
    w.end = w.start + w.n - 1;
    if (w.end > last) {
      w.end = last;
      w.start = last - w.n;
    }
  } else {
    w.start = 0;
    w.end = last;
    w.n = last;
  }
  w.slope = m_View.m_nChartWidth == 0 ? 1.0 : static_cast<double>(w.n) / m_View.m_nChartWidth;
  return w;
}

void CRecorder::UpdateTimeAxis(int chartWidth) {
  m_View.m_nChartWidth = chartWidth;
  const RecorderViewWindow w = GetViewWindow();
  m_View.m_TimeAxis.Set(0.0, w.n, 0.0, chartWidth);
  m_View.m_TimeAxis.m_dSlope = w.slope;
}

RecordWindowStats CRecorder::GetWindowStats(int k) const {
  RecordWindowStats stats;
  const CRecordList& list = GetRecordList();
  if (k < 0 || k >= list.GetSize()) return stats;
  const CRecord& r = *list[k];
  const RecorderViewWindow w = GetViewWindow();
  const StatsKey key{&r,       GetRecordListGeneration(), w.start,          w.end,         r.m_Ring.GetCount(),
                     r.m_Ring.GetWriteIndex(), r.GetPointCount(), r.m_nRawUpper, r.m_nRawLower, r.m_bContinuous,
                     r.m_dFullScale};
  const int slot = k & 3;
  if (m_bStatsValid[slot] && m_StatsKey[slot] == key) return m_Stats[slot];
  stats = ComputeWindowStats(r, w);
  m_StatsKey[slot] = key;
  m_Stats[slot] = stats;
  m_bStatsValid[slot] = true;
  return stats;
}

RecordWindowStats CRecorder::ComputeWindowStats(const CRecord& r, const RecorderViewWindow& w) {
  RecordWindowStats stats;
  // Logical sample i sits in slot write + i, wrapped at the count (oldest first).
  const SHORT* slots = r.m_Ring.GetSlots();
  const int samples = r.m_Ring.GetCount();
  const int write = r.m_Ring.GetWriteIndex();
  auto ring = [&](long long i) {
    long long slot = write + i;
    if (slot >= samples) slot -= samples;
    return static_cast<int>(slots[slot]);
  };
  const long long valid = r.GetPointCount() < samples ? r.GetPointCount() : samples;
  const long long end = w.end < valid - 1 ? w.end : valid - 1;
  long long i = w.start < 0 ? 0 : w.start;
  if (i > end) return stats;
  // Extremes over the raw samples (the value is monotonic in the raw sample for either sign of
  // the full scale); a gap marker's samples read as raw 0.
  int hi = -32769, lo = 32768;
  int prevRaw = i > 0 ? ring(i - 1) : 0;
  int raw = ring(i);
  for (; i <= end; ++i) {
    const int s = static_cast<int>(i);
    const int next = s + 1 < samples ? ring(s + 1) : 0;
    const bool gapStart = s + 1 < samples && CRecord::IsGapAt(raw, next);
    if (gapStart && !r.m_bContinuous) {
      ++i;
      prevRaw = next;
      raw = s + 2 < samples ? ring(s + 2) : 0;
      continue;
    }
    const bool gapEnd = s > 0 && CRecord::IsGapAt(prevRaw, raw);
    const int effective = gapStart || gapEnd ? 0 : raw;
    if (effective > hi) hi = effective;
    if (effective < lo) lo = effective;
    if (effective >= r.m_nRawUpper) stats.over = true;
    if (effective <= r.m_nRawLower) stats.under = true;
    prevRaw = raw;
    raw = next;
  }
  if (hi < lo) return stats;
  stats.any = true;
  const double a = r.m_dFullScale * hi / 32767.0;
  const double b = r.m_dFullScale * lo / 32767.0;
  stats.max = a > b ? a : b;
  stats.min = a > b ? b : a;
  return stats;
}

int CRecorder::CursorPixel(double position) const {
  const double pixel = m_View.m_TimeAxis.ToStep(position);
  if (!std::isfinite(pixel) || pixel >= 2147483647.0 || pixel <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(pixel);
}

// ---- the feed ----------------------------------------------------------------------------------

int CRecorder::SetRingFeed(int on) {
  CMeasureEngine& engine = m_pFeedEngine ? *m_pFeedEngine : GetMeasureEngine();
  if (on) {
    if (GetRecordList().IsEmpty()) return 0;
    engine.StartRecorderFeed(this);
  } else {
    engine.StopRecorderFeed();
  }
  return 1;
}

int CRecorder::GetRecordCount() const { return static_cast<int>(GetRecordList().GetSize()); }

CNxRoundShortIntArray* CRecorder::GetSampleRing(int k) {
  CRecordList& list = GetRecordList();
  if (k < 0 || k >= list.GetSize()) return nullptr;
  return &list[k]->m_Ring;
}

// ---- the transfer ------------------------------------------------------------------------------

void CRecorder::SetLibrary(const RecorderLibrary* library) {
  m_bOwnLibrary = library != nullptr;
  m_Library = library ? *library : RecorderLibrary{};
}

RecorderLibrary CRecorder::CurrentLibrary() const {
  if (m_bOwnLibrary) return m_Library;
  const CKelo_DLL& binding = GetKeloDll();
  return {binding.Motortester(), binding.MTOscilloscope(), binding.Oscilloscope()};
}

int CRecorder::Start() {
  if (m_pJob && m_pJob->running.load()) return 0;
  m_worker.Release();  // the last job's thread has done its work
  m_pJob.reset();

  auto job = std::make_shared<RecorderJob>();
  job->library = CurrentLibrary();
  job->engineTester = job->library.motortester && job->library.mtOscilloscope && job->library.motortester->IsReady();
  job->window = m_hAnalyzerWnd;
  job->generation = GetRecordListGeneration();
  const GlobalProps& settings = GetGlobalProps();
  CRecordList& list = GetRecordList();
  job->records.resize(static_cast<size_t>(list.GetSize()));
  for (INT_PTR k = 0; k < list.GetSize(); ++k) {
    CRecord* r = list[k];
    RecorderJobRecord& j = job->records[static_cast<size_t>(k)];
    j.channel = r->m_nChannel;
    j.fullScale = r->m_dFullScale;
    j.inverted = r->m_nChannel >= 0 && r->m_nChannel < CMeasureProps::CHANNEL_COUNT ? settings.m_Channels[r->m_nChannel].m_bInverted : 0;
    j.roll = r->m_bRoll;
    j.direct = r->m_bDirect;
    j.pointCount = r->m_nPointCount;
    j.ring = std::move(r->m_Ring);
    r->m_Ring = CNxRoundShortIntArray();
  }

  // The thread holds its job alive on its own: an abandoned thread outlives the recorder's hold.
  const bool started = m_worker.Start([job](HANDLE stop) {
    job->Run(stop);
    return kvp::WorkerDone{};  // the job posts its own progress and end
  });
  if (!started) {
    // Nothing ran: the rings go back to their records.
    for (INT_PTR k = 0; k < list.GetSize(); ++k) list[k]->m_Ring = std::move(job->records[static_cast<size_t>(k)].ring);
    return 0;
  }
  m_pJob = std::move(job);
  return 1;
}

void CRecorder::DropJob() {
  m_pJob.reset();
  m_worker.Release();
}

int CRecorder::Stop() {
  if (!m_pJob) return 1;
  std::shared_ptr<RecorderJob> job = m_pJob;
  if (job->outcome.load() == RecorderJob::FINISHED) return 1;  // left to FinishTransfer
  const bool abandoned = !m_worker.Stop(STOP_WAIT_MS, [&job] { job->cancelled.store(1); });
  if (!abandoned && job->outcome.load() == RecorderJob::FINISHED) return 1;  // ended on its own meanwhile
  job->cancelled.store(1);
  DropJob();
  ClearRecordList();
  return 1;
}

BOOL CRecorder::FinishTransfer() {
  if (!m_pJob) return FALSE;
  std::shared_ptr<RecorderJob> job = m_pJob;
  if (job->outcome.load() != RecorderJob::FINISHED) return FALSE;
  // The job's thread has ended its work; its handle goes with the job.
  DropJob();
  CRecordList& list = GetRecordList();
  if (job->generation != GetRecordListGeneration() || static_cast<size_t>(list.GetSize()) != job->records.size())
    return FALSE;
  if (job->readErrors) AfxMessageBox(GetGlobalProps().GetText(kTextRecordReadError), MB_OK | MB_ICONEXCLAMATION);
  const int height = GetRecordChartHeight();
  for (INT_PTR k = 0; k < list.GetSize(); ++k) {
    CRecord* r = list[k];
    RecorderJobRecord& j = job->records[static_cast<size_t>(k)];
    r->m_Ring = std::move(j.ring);
    r->m_nPointCount = j.pointCount;
    r->m_nRawUpper = j.rawUpper;
    r->m_nRawLower = j.rawLower;
    r->m_dUpperValue = j.upperValue;
    r->m_dLowerValue = j.lowerValue;
    r->m_bTransferPending = 0;
    r->FinishLook(static_cast<int>(k), height);
    if (k < 4) m_bChannelChanged[k] = 1;
  }
  m_bNewData = 1;
  m_strFileName.Empty();
  return TRUE;
}

CRecorder& GetRecorder() {
  static CRecorder recorder;
  return recorder;
}
