#include <core/Measure.h>

#include <new>

namespace {

// Owns the traces; the list empties itself at the end of the run.
struct TraceList {
  CMeasureList traces;
  ~TraceList() { Free(); }
  void Free() {
    for (INT_PTR i = 0; i < traces.GetSize(); ++i) delete traces[i];
    traces.RemoveAll();
  }
};

TraceList& Traces() {
  static TraceList list;
  return list;
}

}  // namespace

CPen* CMeasure::GetTracePen() {
  if (!m_penTrace.GetSafeHandle()) m_penTrace.CreatePen(PS_SOLID, m_nWidth, m_crColor);
  return &m_penTrace;
}

CPen* CMeasure::GetLimitPen() {
  if (!m_penLimit.GetSafeHandle()) m_penLimit.CreatePen(PS_SOLID, 1, m_crHighlight);
  return &m_penLimit;
}

CMeasure* AddTrace(int* index) {
  CMeasure* trace = new (std::nothrow) CMeasure;
  if (!trace) return nullptr;
  try {
    const INT_PTR i = Traces().traces.Add(trace);
    if (index) *index = static_cast<int>(i);
  } catch (const std::bad_alloc&) {
    delete trace;
    return nullptr;
  }
  return trace;
}

CMeasureList& GetTraceList() { return Traces().traces; }

void FreeTraceList() { Traces().Free(); }
