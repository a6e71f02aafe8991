#include <meters/Record.h>

#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/Notify.h>
#include <core/NumberFormat.h>

#include <atomic>
#include <new>

CRecord::CRecord() { m_Level.m_pScale = &m_Scale; }

CRecord::~CRecord() {
  for (HGDIOBJ h : {m_hPen, m_hPen2, m_hBrush})
    if (h) DeleteObject(h);
}

bool CRecord::IsGap(int i) const {
  const int n = m_Ring.GetCount();
  if (i < 0 || i >= n) return false;
  const SHORT raw = m_Ring.get(i);
  if (raw == kGapEnd) return i > 0 && IsGapAt(m_Ring.get(i - 1), raw);
  if (raw == kGapStart) return i + 1 < n && IsGapAt(raw, m_Ring.get(i + 1));
  return false;
}

bool CRecord::HasGap() const {
  const int n = m_Ring.GetCount();
  for (int i = 1; i < n; ++i)
    if (IsGapAt(m_Ring.get(i - 1), m_Ring.get(i))) return true;
  return false;
}

double CRecord::GetPointValue(int i) const {
  if (!IsPointValid(i) || IsGap(i)) return 0.0;
  return m_dFullScale * m_Ring.get(i) / 32767.0;
}

int CRecord::ClipOf(int raw) const {
  if (raw >= m_nRawUpper) return CLIP_UPPER;
  if (raw <= m_nRawLower) return CLIP_LOWER;
  return CLIP_NONE;
}

int CRecord::GetClipCode(int i) const {
  if (!IsPointValid(i)) return CLIP_NONE;
  return ClipOf(IsGap(i) ? 0 : m_Ring.get(i));
}

int CRecord::SetPoint(int position, SHORT raw) {
  if (position < 0 || position >= m_nPointCount || position != m_Ring.GetCount()) return -1;
  return m_Ring.append(raw) < 0 ? -1 : position;
}

void CRecord::SetScale(int pixelHeight) {
  // The axis starts 5 divisions above its origin 0 and runs down over 10 divisions.
  const double perDivision = m_dPerDivision;
  m_Scale.m_dPerDivision = perDivision;
  m_Scale.m_nDivisions = 10;
  m_Scale.m_dSpan = 10.0 * perDivision;
  m_Scale.m_dOrigin = 0.0;
  m_Scale.m_dEnd = -5.0 * perDivision;
  m_Scale.m_dDirection = -1.0;
  m_Scale.m_dStart = -5.0 * perDivision;
  m_Scale.SetPixels(0, pixelHeight);
  m_Scale.Recompute();
}

void CRecord::SetStyle(const CRecordStyle& style) { m_Style = style; }

void CRecord::SetLevelRecord() {
  m_Level.m_nFlags |= 1;
  m_Level.m_dValue = 0.0;
  m_Level.m_pScale = &m_Scale;
  m_Level.m_crColor = m_crColor2;
}

void CRecord::SetLimitValues() {
  m_dUpperValue = m_dFullScale * m_nRawUpper / 32767.0;
  m_dLowerValue = m_dFullScale * m_nRawLower / 32767.0;
}

void CRecord::FinishLook(int index, int chartHeight) {
  SetScale(chartHeight);
  m_crColor = GetSchemeColor(index);
  m_crColor2 = AdjustColor(m_crColor, 170);
  CRecordStyle style;
  style.m_crColor = m_crColor;
  style.m_nWidth = GetDefaultDecimals(index);
  style.m_nStyle = m_nPenStyle;
  style.m_nFlags = CRecordStyle::VALID;
  style.m_strName.Format("%d", index + 1);
  SetStyle(style);
  SetLevelRecord();
  UpdateContinuous();
}

// ---- the list ----------------------------------------------------------------------------------

namespace {
CRecordList g_records;
std::atomic<uint64_t> g_generation{0};
std::atomic<int> g_chartHeight{0};
}  // namespace

CRecordList& GetRecordList() { return g_records; }

CRecord* AddNewRecord(int* index) {
  CRecord* record = new (std::nothrow) CRecord;
  if (!record) return nullptr;
  try {
    const INT_PTR at = g_records.Add(record);
    if (index) *index = static_cast<int>(at);
  } catch (const std::bad_alloc&) {
    delete record;
    return nullptr;
  }
  g_generation.fetch_add(1);
  return record;
}

void ClearRecordList() {
  for (INT_PTR i = 0; i < g_records.GetSize(); ++i) delete g_records[i];
  g_records.RemoveAll();
  g_generation.fetch_add(1);
  analyzer::Notify(analyzer::kFromRecordList, analyzer::kRecordsDeleted);
}

uint64_t GetRecordListGeneration() { return g_generation.load(); }

void SetRecordChartHeight(int height) { g_chartHeight.store(height); }
int GetRecordChartHeight() { return g_chartHeight.load(); }
