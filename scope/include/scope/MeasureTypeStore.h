// The control panel's per-measure-type snapshots: what the scope showed when it was last left in
// each measure type, so returning to the type restores the user's settings instead of the preset.
#pragma once

#include <scope/Snapshot.h>

#include <array>

namespace scope {

class CMeasureTypeStore {
 public:
  // Keeps the snapshot as measure type t's (types outside 0..27 are not kept).
  void Store(int measureType, const SettingsSnapshot& s);
  bool IsStored(int measureType) const;
  // The stored snapshot of t, else the built-in preset of t.
  const SettingsSnapshot& SnapshotFor(int measureType) const;
  // Whether the snapshot SnapshotFor gives carries device blocks for the board / engine-tester path.
  bool BoardBlockGiven(int measureType) const;
  bool EngineTesterBlockGiven(int measureType) const;

 private:
  std::array<SettingsSnapshot, kMeasureTypeCount> m_Snapshots{};
  std::array<bool, kMeasureTypeCount> m_bStored{};
};

}  // namespace scope
