// The per-measure-type store (leaving and returning restores the user's settings, not the
// preset), the recording state's start values and the signed limits of a trace.
#include <scope/MeasureTypeStore.h>
#include <scope/ScopeState.h>

#include <core/SignalData.h>

#include <gtest/gtest.h>

namespace {

TEST(MeasureTypeStore, LeaveAndReturnRestoresTheUsersSettings) {
  scope::CMeasureTypeStore store;
  for (int t = 0; t < scope::kMeasureTypeCount; ++t) {
    EXPECT_FALSE(store.IsStored(t));
    EXPECT_EQ(store.SnapshotFor(t), scope::GetMeasureTypePreset(t).m_Snapshot);
  }
  scope::SettingsSnapshot user = scope::GetMeasureTypePreset(13).m_Snapshot;
  user.m_nLevel = 99;
  user.m_nTimeBaseIndex = 4;
  store.Store(13, user);
  EXPECT_TRUE(store.IsStored(13));
  EXPECT_EQ(store.SnapshotFor(13), user);
  EXPECT_TRUE(store.BoardBlockGiven(13));
  EXPECT_FALSE(store.IsStored(14));
  EXPECT_FALSE(store.BoardBlockGiven(14));  // preset 14 has no device block
  EXPECT_TRUE(store.BoardBlockGiven(11));
  EXPECT_FALSE(store.EngineTesterBlockGiven(11));
  store.Store(28, user);  // outside the store: not kept
  EXPECT_FALSE(store.IsStored(28));
  EXPECT_EQ(store.SnapshotFor(28), scope::GetMeasureTypePreset(0).m_Snapshot);
}

TEST(ScopeState, StartsCleared) {
  scope::ScopeState& s = scope::GetScopeState();
  EXPECT_EQ(s.ScopeRecording, 0);
  EXPECT_EQ(s.RecordingThroughRecorder, 0);
  EXPECT_EQ(s.DeviceSettingsSaved, 0);
  EXPECT_EQ(s.InvertState, 0);
  EXPECT_EQ(s.ChannelSwitchPending, 0);
  EXPECT_EQ(&s, &scope::GetScopeState());
}

TEST(ScopeState, SignedLimitsFollowTheMultiplier) {
  CSignalData trace;
  trace.m_dUpperLimit = 8.0;
  trace.m_dLowerLimit = -2.0;
  EXPECT_EQ(scope::GetSignedMaximum(trace), 8.0);
  EXPECT_EQ(scope::GetSignedMinimum(trace), -2.0);
  trace.m_nMultiplier = -1;
  EXPECT_EQ(scope::GetSignedMaximum(trace), 2.0);
  EXPECT_EQ(scope::GetSignedMinimum(trace), -8.0);
}

}  // namespace
