#include <core/SavedScope.h>

CPen* CSavedSignal::GetPen() {
  if (!m_pen.GetSafeHandle()) m_pen.CreatePen(PS_SOLID, m_nPenWidth, m_crColor);
  return &m_pen;
}

CPen* CSavedSignal::GetLevelPen() {
  if (!m_levelPen.GetSafeHandle()) m_levelPen.CreatePen(PS_SOLID, 1, m_crColor);
  return &m_levelPen;
}

CBrush* CSavedSignal::GetBrush() {
  if (!m_brush.GetSafeHandle()) m_brush.CreateSolidBrush(m_crColor);
  return &m_brush;
}

void CSavedScope::RemoveAllSignals() {
  for (INT_PTR i = 0; i < m_Signals.GetSize(); ++i) delete m_Signals[i];
  m_Signals.RemoveAll();
  m_bEmpty = 1;
}

CSavedSignal* CSavedScope::FindSignal(int kind) const {
  if (m_bEmpty) return nullptr;
  for (INT_PTR i = 0; i < m_Signals.GetSize(); ++i)
    if (m_Signals[i] && m_Signals[i]->m_nKind == kind) return m_Signals[i];
  return nullptr;
}

CSavedScope* GetSavedScopes() {
  static CSavedScope slots[kSavedScopeSlots];
  static const bool numbered = [] {
    for (int i = 0; i < kSavedScopeSlots; ++i) slots[i].m_nSlot = i;
    return true;
  }();
  (void)numbered;
  return slots;
}

int GetSavedScopeCount() {
  int count = 0;
  for (int i = 0; i < kSavedScopeSlots; ++i)
    if (!GetSavedScopes()[i].m_bEmpty) ++count;
  return count;
}
