#include <scope/MeasureTypeStore.h>

namespace scope {

namespace {
bool InStore(int t) { return t >= 0 && t < kMeasureTypeCount; }
}  // namespace

void CMeasureTypeStore::Store(int measureType, const SettingsSnapshot& s) {
  if (!InStore(measureType)) return;
  m_Snapshots[static_cast<size_t>(measureType)] = s;
  m_bStored[static_cast<size_t>(measureType)] = true;
}

bool CMeasureTypeStore::IsStored(int measureType) const {
  return InStore(measureType) && m_bStored[static_cast<size_t>(measureType)];
}

const SettingsSnapshot& CMeasureTypeStore::SnapshotFor(int measureType) const {
  if (IsStored(measureType)) return m_Snapshots[static_cast<size_t>(measureType)];
  return GetMeasureTypePreset(measureType).m_Snapshot;
}

// A captured snapshot holds both paths' blocks (the capture fills the other area from the active one).
bool CMeasureTypeStore::BoardBlockGiven(int measureType) const {
  return IsStored(measureType) || GetMeasureTypePreset(measureType).m_bBoardGiven;
}

bool CMeasureTypeStore::EngineTesterBlockGiven(int measureType) const {
  return IsStored(measureType) || GetMeasureTypePreset(measureType).m_bEngineTesterGiven;
}

}  // namespace scope
