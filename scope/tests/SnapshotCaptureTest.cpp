// Capturing the settings as a snapshot: settings fields, on flags and probes per path, the window
// offset of a floating panel, and the device areas after a good and a failed GetAll.
#include <scope/SettingsFile.h>
#include <scope/SnapshotCapture.h>

#include <gtest/gtest.h>

namespace {

CMeasureProps Settings() {
  CMeasureProps p;
  for (int i = 0; i < 18; ++i) p.m_TimeBase.m_Rates.Add(20.0 * (i + 1));
  p.m_TimeBase.m_nSelected = 9;
  p.m_dTriggerPosition = 42.0;
  p.m_nTriggerLevel = 200;
  p.m_nTriggerEdge = 1;
  p.m_nTriggerMode = 0;
  p.m_nSlowRateModifier = 0;
  p.m_nTriggerSourceKind = 1;
  p.m_dTriggerSensitivity = 12.5;  // derived from the time base: never stored
  p.m_nTriggerFilter = 1;
  p.m_Channels[0].m_nRangeIndex = 3;
  p.m_Channels[0].m_nPosition = 60;
  p.m_Channels[0].m_nCoupling = 1;
  p.m_Channels[1].m_nRangeIndex = 5;
  p.m_Channels[1].m_nPosition = 30;
  p.m_Channels[1].m_nCoupling = 0;
  return p;
}

TEST(SnapshotCapture, BoardPathScene) {
  scope::CapturePanelState panel;
  panel.m_nOn = {1, 1};
  panel.m_nProbeKind = {1, 6};
  panel.m_nTimeAxisOffset = 3;
  panel.m_nZoom = 1;
  panel.m_nInversion = 2;
  panel.m_nCursorsOn = 1;
  const scope::DeviceBlock read{{1, 0x0003000A, 300, 2, 625, 253, 1, 0, 0, 0, 1, 255}, {1, 3, 1, 5}};
  const scope::SettingsSnapshot s = scope::CaptureSettingsSnapshot(Settings(), panel, &read);
  EXPECT_EQ(s.m_dTriggerPosition, 42.0);
  EXPECT_EQ(s.m_nLevel, 200);
  EXPECT_EQ(s.m_nEdge, 1);
  EXPECT_EQ(s.m_nSource, 1);
  EXPECT_EQ(s.m_nSensitivity, 1);
  EXPECT_EQ(s.m_nRange, (std::array<int32_t, 2>{3, 5}));
  EXPECT_EQ(s.m_nPosition, (std::array<int32_t, 2>{60, 30}));
  EXPECT_EQ(s.m_nCoupling, (std::array<int32_t, 2>{1, 0}));
  EXPECT_EQ(s.m_nOn, (std::array<int32_t, 2>{1, 1}));
  EXPECT_EQ(s.m_nProbeWanted, (std::array<int32_t, 2>{1, 6}));
  EXPECT_EQ(s.m_nTimeBaseIndex, 9);
  EXPECT_EQ(s.m_nWindowOffset, 3);
  EXPECT_EQ(s.m_nZoom, 1);
  EXPECT_EQ(s.m_nInversion, 2);
  EXPECT_EQ(s.m_nRunning, 0);
  EXPECT_EQ(s.m_nCursorsOn, 1);
  EXPECT_EQ(s.m_Board, read);
  EXPECT_EQ(s.m_EngineTester.m_Words[0], 1);
  EXPECT_EQ(s.m_EngineTester.m_Words[1], 0x000A);
  EXPECT_EQ(s.m_EngineTester.m_Channels, read.m_Channels);
  // What is captured is what a settings file loads back.
  EXPECT_EQ(scope::ParseSettingsFile(scope::EncodeSettingsFile(s)), s);
}

TEST(SnapshotCapture, EngineTesterPathAndFloatingPanel) {
  scope::CapturePanelState panel;
  panel.m_bBoardPath = false;
  panel.m_nProbeKind = {6, 11};
  panel.m_bProbeOff = {false, true};
  panel.m_nTimeAxisOffset = 7;
  panel.m_bDocked = false;
  const scope::SettingsSnapshot s = scope::CaptureSettingsSnapshot(Settings(), panel, nullptr);
  EXPECT_EQ(s.m_nOn, (std::array<int32_t, 2>{1, 0}));
  EXPECT_EQ(s.m_nProbeWanted, (std::array<int32_t, 2>{6, 0}));
  EXPECT_EQ(s.m_nWindowOffset, 3);
  // A failed GetAll leaves both areas zero.
  EXPECT_EQ(s.m_Board, scope::DeviceBlock{});
  EXPECT_EQ(s.m_EngineTester, scope::DeviceBlock{});

  const scope::DeviceBlock read{{4, 327690, 0, 1, 100, 0, 1, 0, 0, 0, 1, 255}, {1, 1, 0, 3}};
  const int recordingMode = 2;
  const scope::SettingsSnapshot r = scope::CaptureSettingsSnapshot(Settings(), panel, &read, &recordingMode);
  EXPECT_EQ(r.m_EngineTester.m_Words[0], 2);
  EXPECT_EQ(r.m_Board.m_Words[0], 1);
  EXPECT_EQ(r.m_Board.m_Words[1], 327690);  // the full word: only the board path cuts it
}

}  // namespace
