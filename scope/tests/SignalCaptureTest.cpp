// The live screen captured as a signal file, on the fixture scene that other tools read: both
// channels with their settings and probes (a test lead on A, a 500 A clamp on B), channel B
// inverted, clipped and invalid points. The scene's .osg file is written under
// build/<preset>/scope-files. A channel's volts per division are stored as the screen shows them,
// whatever the probe.
#include <scope/SignalCapture.h>

#include "ScopeFiles.h"

#include <core/MeasureEngine.h>
#include <core/NumberFormat.h>
#include <core/Texts.h>

#include <kvtest/ScopeTables.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace {

// Probe descriptors as the library reports them: kind, class, full scale, scale, range window.
constexpr int32_t Window(int lowest, int highest) { return highest | (lowest << 16); }
constexpr ProbeDescriptor kTestLead{1, 0, 4, 2, 1, 0, Window(0, 9)};
constexpr ProbeDescriptor kClamp500A{3, 1, 5, 2, 125, -1, Window(2, 6)};
constexpr ProbeDescriptor kClamp5A{15, 1, 5, 0, 125, -3, Window(2, 5)};
constexpr ProbeDescriptor kHighVoltage25kV{11, 0, 25, 3, 1, 4, Window(6, 9)};
constexpr ProbeDescriptor kHighVoltageCoil{16, 0, 25, 3, 25, 2, Window(4, 7)};

// The channel's probe and its range table as the engine reads them: the library's ranges times
// the probe's multiplier.
void FitProbe(CChannelProps& c, const ProbeDescriptor& probe) {
  ApplyProbeInfo(c.m_Ranges, probe);
  for (double r : {400.0, 200.0, 80.0, 40.0, 20.0, 8.0, 4.0, 2.0, 0.8, 0.4}) c.m_Ranges.Add(r * c.m_Ranges.m_dMultiplier);
}

void SceneSettings(CMeasureProps& p) {
  kvtest::AddScopeRates(p);
  p.m_TimeBase.m_nSelected = 9;
  p.m_dTriggerPosition = 42.0;
  p.m_nTriggerLevel = 200;
  p.m_nTriggerEdge = 1;
  p.m_nTriggerMode = 0;
  p.m_nSlowRateModifier = 0;
  p.m_nTriggerSourceKind = 1;
  p.m_dTriggerSensitivity = 1;
  p.m_TriggerLevelMap.Set(-10.0, 10.0, 0.0, 256.0);
  const int rangeIndex[2] = {3, 5}, position[2] = {60, 30}, coupling[2] = {1, 0};
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = p.m_Channels[ch];
    FitProbe(c, ch == 0 ? kTestLead : kClamp500A);
    c.m_nRangeIndex = rangeIndex[ch];
    c.m_nPosition = position[ch];
    c.m_nCoupling = coupling[ch];
    c.m_nModeEnable = 1;
    c.m_bEnabled = 1;
  }
}

void SceneTraces(CSignalData& a, CSignalData& b) {
  a.SetSize(1000);
  b.SetSize(1000);
  for (int k = 0; k < 1000; ++k) {
    a.SetPoint(k, 12.5 * std::sin(2 * std::numbers::pi * k / 200.0), 0);
    a.m_SaturationFlags[k] = k == 50 ? 1 : k == 150 ? 2 : 0;
    if (k >= 400 && k <= 409) continue;
    b.SetPoint(k, k % 100 < 50 ? 2.0 : -1.0, 0);
    b.m_SaturationFlags[k] = k == 0 ? 1 : k == 50 ? 2 : 0;
  }
  b.m_nMultiplier = -1;
}

TEST(SignalCapture, TheSceneAsAnOsgFile) {
  CMeasureProps props;
  SceneSettings(props);
  CSignalData a, b;
  SceneTraces(a, b);
  const CSignalData* traces[2] = {&a, &b};
  const scope::SignalFile file = scope::CaptureSignalFile(props, traces, 0);

  EXPECT_EQ(file.m_nChannelsStored, 2);
  EXPECT_EQ(file.m_nSampleRate, 20000);
  EXPECT_EQ(file.m_nTriggerSource, 1);
  EXPECT_EQ(file.m_nTriggerEdge, 1);
  EXPECT_EQ(file.m_nSweep, 0);
  EXPECT_EQ(file.m_nModeSelector, 0);
  EXPECT_EQ(file.m_bModeSelectorFlag, 0);
  EXPECT_DOUBLE_EQ(file.m_dTriggerLevel, props.m_TriggerLevelMap.ToValue(200));

  const scope::SignalChannel& ca = file.m_Channels[0];
  EXPECT_EQ(ca.m_dPerDivision, 5.0);  // range 40 V × 2 / 16 / scale 1
  EXPECT_EQ(ca.m_dFullScale, 50.0);
  EXPECT_EQ(ca.m_nPosition, 60);
  EXPECT_EQ(ca.m_nCoupling, 1);
  EXPECT_EQ(ca.m_nUnit, 0);
  EXPECT_DOUBLE_EQ(ca.m_dMax, 12.5);
  EXPECT_DOUBLE_EQ(ca.m_dMin, -12.5);
  EXPECT_EQ(ca.m_Points[50].m_nFlag, 0x81);
  EXPECT_EQ(ca.m_Points[150].m_nFlag, 0x82);
  EXPECT_EQ(ca.m_Points[0].m_nFlag, 0x80);

  // B inverted: values negated, extremes swapped and negated, clip codes 1 and 2 swapped.
  const scope::SignalChannel& cb = file.m_Channels[1];
  EXPECT_EQ(cb.m_dPerDivision, 10.0);  // range 8 × 12.5 = 100 A × 2 / 16 / scale 1.25
  EXPECT_EQ(cb.m_dFullScale, 100.0);
  EXPECT_EQ(cb.m_nUnit, 1);
  EXPECT_EQ(cb.m_dMin, -2.0);
  EXPECT_EQ(cb.m_dMax, 1.0);
  EXPECT_EQ(cb.m_Points[0], (scope::SignalPoint{-2.0, 0x82}));
  EXPECT_EQ(cb.m_Points[50], (scope::SignalPoint{1.0, 0x81}));
  EXPECT_EQ(cb.m_Points[405], (scope::SignalPoint{0.0, 0x00}));

  const std::vector<uint8_t> bytes = scope::EncodeOsgFile(file);
  EXPECT_EQ(bytes.size(), 11000u + 9000u);
  auto read = scope::ParseOsgFile(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, file);

  if (const std::filesystem::path dir = scope_test::ScopeFilesDir(); !dir.empty()) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "scene.osg", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
}

// The stored volts per division are the screen's: the "Bottom" strip's text of the channel reads
// the same value, for probes whose multiplier differs from their scale.
TEST(SignalCapture, PerDivisionAsTheScreenShowsIt) {
  struct Case {
    const char* name;
    ProbeDescriptor probe;
    int range;
    double perDivision;
  } cases[] = {
      {"test lead", kTestLead, 3, 5.0},
      {"500 A clamp", kClamp500A, 4, 20.0 * 12.5 * 2 / 16 / 1.25},
      {"5 A clamp", kClamp5A, 3, 40.0 * 0.125 * 2 / 16 / 1.25},
      {"25 kV probe", kHighVoltage25kV, 7, 2.0 * 10000 * 2 / 16},
      {"high-voltage coil probe", kHighVoltageCoil, 5, 8.0 * 2500 * 2 / 16 / 1.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMeasureProps props;
    SceneSettings(props);
    CChannelProps& a = props.m_Channels[0];
    a.m_Ranges.RemoveAll();
    FitProbe(a, c.probe);
    a.m_nRangeIndex = c.range;
    CSignalData trace, none;
    trace.SetSize(1000);
    for (int k = 0; k < 1000; ++k) trace.SetPoint(k, 1.0, 0);
    const CSignalData* traces[2] = {&trace, &none};
    const scope::SignalChannel stored = scope::CaptureSignalFile(props, traces, 0).m_Channels[0];
    EXPECT_DOUBLE_EQ(stored.m_dPerDivision, c.perDivision);
    EXPECT_DOUBLE_EQ(stored.m_dFullScale, 10.0 * c.perDivision);
    EXPECT_EQ(std::string(FormatPerDivision(stored.m_dPerDivision, GetUnitSymbol(stored.m_nUnit))),
              std::string(props.FormatVoltsPerDiv(0)));
  }
}

TEST(SignalCapture, SwitchedOffAndEmptyChannels) {
  CMeasureProps props;
  SceneSettings(props);
  props.m_Channels[0].m_nModeEnable = 0;
  CSignalData empty;
  const CSignalData* traces[2] = {nullptr, &empty};
  const scope::SignalFile file = scope::CaptureSignalFile(props, traces, 1);
  EXPECT_EQ(file.m_nChannelsStored, 0);
  EXPECT_FALSE(file.m_Channels[0].m_bPresent);
  EXPECT_TRUE(file.m_Channels[1].m_bPresent);  // switched on, but nothing to store
  EXPECT_TRUE(file.m_Channels[1].m_Points.empty());
  EXPECT_EQ(file.m_bAngleMode, 1);
  props.m_TimeBase.m_nSelected = -1;
  EXPECT_EQ(scope::CaptureSignalFile(props, traces, 0).m_nSampleRate, 0);
}

}  // namespace
