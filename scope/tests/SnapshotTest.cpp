// The settings snapshot: field offsets of the record, round trips, range codes, the validation
// applied to snapshots from files and slots, and the built-in presets.
#include <scope/Snapshot.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

namespace {

using scope::SettingsSnapshot;

int32_t IntAt(const scope::SnapshotBytes& bytes, size_t offset) {
  int32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

TEST(Snapshot, FieldsLieAtTheirOffsets) {
  struct Case {
    size_t offset;
    std::function<void(SettingsSnapshot&, int)> set;
  };
  const Case cases[] = {
      {8, [](auto& s, int v) { s.m_nLevel = v; }},
      {12, [](auto& s, int v) { s.m_nEdge = v; }},
      {16, [](auto& s, int v) { s.m_nTriggerMode = v; }},
      {20, [](auto& s, int v) { s.m_nRollMode = v; }},
      {24, [](auto& s, int v) { s.m_nSource = v; }},
      {28, [](auto& s, int v) { s.m_nSensitivity = v; }},
      {32, [](auto& s, int v) { s.m_nRange[0] = v; }},
      {36, [](auto& s, int v) { s.m_nRange[1] = v; }},
      {40, [](auto& s, int v) { s.m_nPosition[0] = v; }},
      {44, [](auto& s, int v) { s.m_nPosition[1] = v; }},
      {48, [](auto& s, int v) { s.m_nCoupling[0] = v; }},
      {52, [](auto& s, int v) { s.m_nCoupling[1] = v; }},
      {56, [](auto& s, int v) { s.m_nOn[0] = v; }},
      {60, [](auto& s, int v) { s.m_nOn[1] = v; }},
      {64, [](auto& s, int v) { s.m_nProbeWanted[0] = v; }},
      {68, [](auto& s, int v) { s.m_nProbeWanted[1] = v; }},
      {72, [](auto& s, int v) { s.m_nTimeBaseIndex = v; }},
      {76, [](auto& s, int v) { s.m_nWindowOffset = v; }},
      {80, [](auto& s, int v) { s.m_nRunning = v; }},
      {84, [](auto& s, int v) { s.m_nZoom = v; }},
      {88, [](auto& s, int v) { s.m_nCursorsOn = v; }},
      {92, [](auto& s, int v) { s.m_nInversion = v; }},
      {96, [](auto& s, int v) { s.m_Board.m_Words[0] = v; }},
      {140, [](auto& s, int v) { s.m_Board.m_Words[11] = v; }},
      {144, [](auto& s, int v) { s.m_Board.m_Channels[0] = v; }},
      {156, [](auto& s, int v) { s.m_Board.m_Channels[3] = v; }},
      {160, [](auto& s, int v) { s.m_EngineTester.m_Words[0] = v; }},
      {204, [](auto& s, int v) { s.m_EngineTester.m_Words[11] = v; }},
      {208, [](auto& s, int v) { s.m_EngineTester.m_Channels[0] = v; }},
      {220, [](auto& s, int v) { s.m_EngineTester.m_Channels[3] = v; }},
  };
  for (const Case& c : cases) {
    SettingsSnapshot s;
    c.set(s, -0x12345678);
    const scope::SnapshotBytes bytes = scope::EncodeSnapshot(s);
    EXPECT_EQ(IntAt(bytes, c.offset), -0x12345678) << "offset " << c.offset;
    // Every other byte stays zero: the field covers exactly its four bytes.
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i < c.offset || i >= c.offset + 4) {
        ASSERT_EQ(bytes[i], 0) << "offset " << c.offset << " byte " << i;
      }
    }
    EXPECT_EQ(scope::DecodeSnapshot(bytes), s) << "offset " << c.offset;
  }
  SettingsSnapshot s;
  s.m_dTriggerPosition = 42.5;
  const scope::SnapshotBytes bytes = scope::EncodeSnapshot(s);
  const uint8_t golden[8] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x45, 0x40};  // 42.5, little-endian
  EXPECT_EQ(std::memcmp(bytes.data(), golden, 8), 0);
}

TEST(Snapshot, EveryPresetRoundTripsThroughItsBytes) {
  for (int t = 0; t < scope::kMeasureTypeCount; ++t) {
    const SettingsSnapshot& s = scope::GetMeasureTypePreset(t).m_Snapshot;
    const scope::SnapshotBytes bytes = scope::EncodeSnapshot(s);
    EXPECT_EQ(scope::DecodeSnapshot(bytes), s) << "type " << t;
    EXPECT_EQ(scope::EncodeSnapshot(scope::DecodeSnapshot(bytes)), bytes) << "type " << t;
    EXPECT_TRUE(scope::IsValidSnapshot(s)) << "type " << t;
    EXPECT_EQ(s.m_nRunning, 1);
    EXPECT_EQ(s.m_nCursorsOn, 1);
    EXPECT_EQ(s.m_nInversion, 0);
  }
}

TEST(Snapshot, RangeCodesPickTheIndexByProbeKind) {
  struct Case {
    int field, wanted, kind, index;
  };
  const Case cases[] = {
      {602, 255, 2, 2}, {602, 255, 3, 2}, {602, 255, 1, 6}, {602, 254, 0, 6},
      {905, 254, 2, 5}, {905, 254, 3, 5}, {905, 254, 1, 9},
      {804, 254, 2, 4}, {804, 254, 3, 4}, {804, 254, 6, 8},
      {7, 11, 2, 7},  // a plain probe wanted keeps the index as it stands
  };
  for (const Case& c : cases)
    EXPECT_EQ(scope::DecodeRangeField(c.field, c.wanted, c.kind), c.index) << c.field << " kind " << c.kind;
}

TEST(Snapshot, ProbeMatching) {
  EXPECT_TRUE(scope::ProbeMatches(254, 2));
  EXPECT_FALSE(scope::ProbeMatches(254, 3));
  EXPECT_TRUE(scope::ProbeMatches(255, 3));
  EXPECT_FALSE(scope::ProbeMatches(255, 2));
  EXPECT_TRUE(scope::ProbeMatches(6, 6));
  EXPECT_FALSE(scope::ProbeMatches(6, 1));
}

TEST(Snapshot, ValidationRejectsFieldsOutsideTheirDomains) {
  struct Case {
    const char* name;
    std::function<void(SettingsSnapshot&)> change;
    bool valid;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"preset as is", [](auto&) {}, true},
      {"trigger position NaN", [&](auto& s) { s.m_dTriggerPosition = nan; }, false},
      {"trigger position infinite", [&](auto& s) { s.m_dTriggerPosition = inf; }, false},
      {"trigger position -0.5", [](auto& s) { s.m_dTriggerPosition = -0.5; }, false},
      {"trigger position 100.5", [](auto& s) { s.m_dTriggerPosition = 100.5; }, false},
      {"trigger position 100", [](auto& s) { s.m_dTriggerPosition = 100.0; }, true},
      {"edge 2", [](auto& s) { s.m_nEdge = 2; }, false},
      {"sensitivity -1", [](auto& s) { s.m_nSensitivity = -1; }, false},
      {"trigger mode -1", [](auto& s) { s.m_nTriggerMode = -1; }, true},
      {"trigger mode 3", [](auto& s) { s.m_nTriggerMode = 3; }, false},
      {"trigger mode -2", [](auto& s) { s.m_nTriggerMode = -2; }, false},
      {"roll 2", [](auto& s) { s.m_nRollMode = 2; }, true},
      {"roll 3", [](auto& s) { s.m_nRollMode = 3; }, false},
      {"source 3", [](auto& s) { s.m_nSource = 3; }, true},
      {"source 4", [](auto& s) { s.m_nSource = 4; }, false},
      {"zoom 4", [](auto& s) { s.m_nZoom = 4; }, false},
      {"coupling B 2", [](auto& s) { s.m_nCoupling[1] = 2; }, false},
      {"on A 5", [](auto& s) { s.m_nOn[0] = 5; }, false},
      {"running 2", [](auto& s) { s.m_nRunning = 2; }, false},
      {"cursors -1", [](auto& s) { s.m_nCursorsOn = -1; }, false},
      {"position A 101", [](auto& s) { s.m_nPosition[0] = 101; }, false},
      {"position B -1", [](auto& s) { s.m_nPosition[1] = -1; }, false},
      // Mended on apply rather than refused:
      {"level 300", [](auto& s) { s.m_nLevel = 300; }, true},
      {"inversion 9", [](auto& s) { s.m_nInversion = 9; }, true},
      {"time base 99", [](auto& s) { s.m_nTimeBaseIndex = 99; }, true},
      {"trigger position 95", [](auto& s) { s.m_dTriggerPosition = 95.0; }, true},
  };
  for (const Case& c : cases) {
    SettingsSnapshot s = scope::GetMeasureTypePreset(0).m_Snapshot;
    c.change(s);
    EXPECT_EQ(scope::IsValidSnapshot(s), c.valid) << c.name;
  }
}

TEST(Snapshot, LevelAndInversionAreMended) {
  EXPECT_EQ(scope::ClampLevel(300), 256);
  EXPECT_EQ(scope::ClampLevel(-5), 0);
  EXPECT_EQ(scope::ClampLevel(147), 147);
  EXPECT_EQ(scope::NormalizeInversion(3), 3);
  EXPECT_EQ(scope::NormalizeInversion(4), 0);
  EXPECT_EQ(scope::NormalizeInversion(-1), 0);
}

TEST(Snapshot, CaptureFillsTheOtherDeviceArea) {
  const scope::DeviceBlock read{{4, 0x0005000A, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 7, 0, 3}};
  struct Case {
    const char* name;
    bool boardPath;
    std::optional<int> recordingMode;
    scope::DeviceBlock board, engineTester;
  };
  const Case cases[] = {
      {"engine-tester path", false, std::nullopt,
       {{1, 0x0005000A, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 7, 0, 3}}, read},
      {"board path", true, std::nullopt, read, {{1, 0x000A, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 7, 0, 3}}},
      {"board path while recording", true, 2, {{2, 0x0005000A, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 7, 0, 3}},
       {{1, 0x000A, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 7, 0, 3}}},
  };
  for (const Case& c : cases) {
    SettingsSnapshot s;
    (c.boardPath ? s.m_Board : s.m_EngineTester) = read;
    scope::CompleteDeviceAreas(s, c.boardPath, c.recordingMode ? &*c.recordingMode : nullptr);
    EXPECT_EQ(s.m_Board, c.board) << c.name;
    EXPECT_EQ(s.m_EngineTester, c.engineTester) << c.name;
  }
}

TEST(Snapshot, PresetsCarryTheirDeviceBlocks) {
  const auto& p0 = scope::GetMeasureTypePreset(0);
  EXPECT_TRUE(p0.m_bBoardGiven);
  EXPECT_TRUE(p0.m_bEngineTesterGiven);
  EXPECT_EQ(p0.m_Snapshot.m_Board.m_Words, (std::array<int32_t, 12>{1, 10, 300, 2, 625, 253, 1, 0, 0, 0, 1, 255}));
  EXPECT_EQ(p0.m_Snapshot.m_EngineTester.m_Words,
            (std::array<int32_t, 12>{1, 196618, 300, 2, 175, 255, 1, 0, 0, 0, 1, 255}));
  EXPECT_EQ(p0.m_Snapshot.m_EngineTester.m_Channels, (std::array<int32_t, 4>{1, 3, 0, 3}));

  const auto& p11 = scope::GetMeasureTypePreset(11);
  EXPECT_TRUE(p11.m_bBoardGiven);
  EXPECT_FALSE(p11.m_bEngineTesterGiven);
  EXPECT_EQ(p11.m_Snapshot.m_Board.m_Words[4], 1484375);
  EXPECT_EQ(p11.m_Snapshot.m_Board.m_Channels, (std::array<int32_t, 4>{1, 3, 1, 2}));
  EXPECT_EQ(p11.m_Snapshot.m_nRange[1], 602);
  EXPECT_EQ(p11.m_Snapshot.m_nProbeWanted[1], 255);
  EXPECT_EQ(p11.m_Snapshot.m_nRollMode, 2);

  const auto& p3 = scope::GetMeasureTypePreset(3);
  EXPECT_TRUE(p3.m_bEngineTesterGiven);
  EXPECT_EQ(p3.m_Snapshot.m_EngineTester.m_Words[1], 327690);
  EXPECT_EQ(p3.m_Snapshot.m_EngineTester.m_Channels, (std::array<int32_t, 4>{1, 1, 0, 3}));

  for (int t : {3, 6, 7, 8, 9, 10}) {
    EXPECT_TRUE(scope::GetMeasureTypePreset(t).m_bBoardGiven) << t;
    EXPECT_EQ(scope::GetMeasureTypePreset(t).m_Snapshot.m_Board, p0.m_Snapshot.m_Board) << t;
  }
  for (int t : {1, 2, 4, 5, 12, 20, 27}) {
    EXPECT_FALSE(scope::GetMeasureTypePreset(t).m_bBoardGiven) << t;
    EXPECT_FALSE(scope::GetMeasureTypePreset(t).m_bEngineTesterGiven) << t;
  }
  // Outside 0..27 the first preset stands in.
  EXPECT_EQ(&scope::GetMeasureTypePreset(28), &p0);
  EXPECT_EQ(&scope::GetMeasureTypePreset(-1), &p0);
}

}  // namespace
