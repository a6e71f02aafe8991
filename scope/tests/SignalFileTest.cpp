// Signal files: the .osg header and sample blocks against bytes built here, inverted channels,
// empty and truncated files, and the older .osc format with and without its signature.
#include <scope/SignalFile.h>

#include "ScopeFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using scope::SignalChannel;
using scope::SignalFile;
using scope_test::ByteBuilder;

template <typename T>
T At(const std::vector<uint8_t>& bytes, size_t offset) {
  T value{};
  EXPECT_LE(offset + sizeof(T), bytes.size());
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

SignalChannel Channel(uint8_t coupling, int unit, uint16_t position, double perDiv, size_t points) {
  SignalChannel c;
  c.m_bPresent = true;
  c.m_nCoupling = coupling;
  c.m_nUnit = unit;
  c.m_nPosition = position;
  c.m_dPerDivision = perDiv;
  c.m_dFullScale = 10 * perDiv;
  for (size_t k = 0; k < points; ++k)
    c.m_Points.push_back({0.25 * static_cast<double>(k), static_cast<uint8_t>(0x80 | (k == 1 ? 2 : 0))});
  c.m_dMin = 0.0;
  c.m_dMax = 0.25 * static_cast<double>(points - 1);
  c.m_bClipNote2 = points > 1;
  return c;
}

SignalFile Screen() {
  SignalFile f;
  f.m_nSampleRate = 5000;
  f.m_bAngleMode = 1;
  f.m_bModeSelectorFlag = 1;
  f.m_nModeSelector = 2;
  f.m_nTriggerSource = 1;
  f.m_nTriggerEdge = 1;
  f.m_nSweep = -1;
  f.m_nTriggerFilter = 3;
  f.m_dTriggerLevel = 1.25;
  f.m_nTriggerUnit = 1;
  f.m_Channels[0] = Channel(1, 0, 60, 0.5, 3);
  f.m_Channels[1] = Channel(0, 1, 30, 2.0, 2);
  return f;
}

TEST(OsgFile, HeaderAndBlocksMatchTheGoldenLayout) {
  const SignalFile screen = Screen();
  ByteBuilder g;
  g.Put<uint16_t>(0, 0xFFCA);
  g.Put<uint8_t>(5, 16);
  g.Put<uint8_t>(10, 2);
  g.Put<uint8_t>(12, 1);
  g.Put<uint8_t>(14, 1);
  g.Put<int32_t>(20, 5000);
  g.Put<uint8_t>(30, 1);
  g.Put<uint8_t>(32, 1);
  g.Put<double>(40, 0.5);
  g.Put<double>(50, 2.0);
  g.Put<uint8_t>(48, 1);
  g.Put<uint8_t>(58, 0);
  g.Put<int32_t>(60, 0);
  g.Put<int32_t>(70, 1);
  g.Put<double>(80, 0.0);
  g.Put<double>(90, 0.5);
  g.Put<double>(100, 0.0);
  g.Put<double>(110, 0.25);
  g.Put<double>(120, 5.0);
  g.Put<double>(130, 20.0);
  g.Put<uint16_t>(140, 3);
  g.Put<uint16_t>(150, 2);
  g.Put<uint16_t>(160, 60);
  g.Put<uint16_t>(170, 30);
  g.Put<int32_t>(180, 1);
  g.Put<int32_t>(190, 1);
  g.Put<int32_t>(200, -1);
  g.Put<int32_t>(210, 3);
  g.Put<double>(220, 1.25);
  g.Put<int32_t>(230, 1);
  g.Put<int32_t>(240, 2);
  for (size_t k = 0; k < 3; ++k) {
    g.Put<double>(1000 + 9 * k, 0.25 * static_cast<double>(k));
    g.Put<uint8_t>(1008 + 9 * k, static_cast<uint8_t>(0x80 | (k == 1 ? 2 : 0)));
  }
  for (size_t k = 0; k < 2; ++k) {
    g.Put<double>(11000 + 9 * k, 0.25 * static_cast<double>(k));
    g.Put<uint8_t>(11008 + 9 * k, static_cast<uint8_t>(0x80 | (k == 1 ? 2 : 0)));
  }
  const std::vector<uint8_t> bytes = scope::EncodeOsgFile(screen);
  EXPECT_EQ(bytes, g.Bytes());

  SignalFile expected = screen;
  expected.m_nChannelsStored = 2;
  EXPECT_EQ(scope::ParseOsgFile(bytes), expected);
}

TEST(OsgFile, ChannelBAloneLiesAtElevenThousand) {
  SignalFile screen = Screen();
  screen.m_Channels[0] = SignalChannel{};
  const std::vector<uint8_t> bytes = scope::EncodeOsgFile(screen);
  EXPECT_EQ(At<uint8_t>(bytes, 10), 1);
  EXPECT_EQ(At<uint8_t>(bytes, 12), 0);
  EXPECT_EQ(At<uint8_t>(bytes, 14), 1);
  EXPECT_EQ(At<int32_t>(bytes, 60), -1);
  EXPECT_EQ(At<uint16_t>(bytes, 140), 0);
  EXPECT_EQ(At<uint16_t>(bytes, 160), 50);
  EXPECT_EQ(bytes.size(), 11000u + 2 * 9);
  EXPECT_EQ(At<double>(bytes, 11009), 0.25);
  EXPECT_EQ(At<uint8_t>(bytes, 11017), 0x82);
  const auto read = scope::ParseOsgFile(bytes);
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->m_Channels[0].m_bPresent);
  EXPECT_EQ(read->m_Channels[1], screen.m_Channels[1]);
  EXPECT_FALSE(read->TriggerChannelMissing());
}

TEST(OsgFile, InvertedTraceIsStoredAsShown) {
  const std::vector<double> values{1.0, -2.0, 3.0, 4.0};
  const std::vector<uint8_t> valid{1, 1, 0, 1};
  const std::vector<uint8_t> clip{1, 2, 1, 5};
  SignalChannel c;
  scope::StoreTrace(c, values, valid, clip, -1, -2.0, 4.0);
  ASSERT_EQ(c.m_Points.size(), 1000u);  // a short trace keeps the full count, the rest invalid
  EXPECT_EQ(c.m_Points[0], (scope::SignalPoint{-1.0, 0x82}));
  EXPECT_EQ(c.m_Points[1], (scope::SignalPoint{2.0, 0x81}));
  EXPECT_EQ(c.m_Points[2], (scope::SignalPoint{0.0, 0x00}));
  EXPECT_EQ(c.m_Points[3], (scope::SignalPoint{-4.0, 0x80}));
  EXPECT_EQ(c.m_Points[999], (scope::SignalPoint{0.0, 0x00}));
  EXPECT_EQ(c.m_dMin, -4.0);
  EXPECT_EQ(c.m_dMax, 2.0);
  EXPECT_TRUE(c.m_bClipNote1);
  EXPECT_TRUE(c.m_bClipNote2);

  SignalChannel plain;
  scope::StoreTrace(plain, values, valid, clip, 1, -2.0, 4.0);
  EXPECT_EQ(plain.m_Points[0], (scope::SignalPoint{1.0, 0x81}));
  EXPECT_EQ(plain.m_Points[3], (scope::SignalPoint{4.0, 0x85}));
  EXPECT_EQ(plain.m_dMin, -2.0);
  EXPECT_EQ(plain.m_dMax, 4.0);
}

TEST(OsgFile, NoChannelStoredLoadsNothingAndSucceeds) {
  std::vector<uint8_t> bytes = scope::EncodeOsgFile(Screen());
  bytes[10] = 0;
  const auto read = scope::ParseOsgFile(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->m_nChannelsStored, 0);
  EXPECT_TRUE(read->m_Channels[0].m_Points.empty());
  EXPECT_FALSE(read->m_Channels[1].m_bPresent);
}

// Channel B switched on without a trace to store: its present flag is written, its block is not,
// and the file (which ends after channel A's block) reads back whole.
TEST(OsgFile, AChannelOnWithoutDataReadsBack) {
  SignalFile screen = Screen();
  screen.m_Channels[1].m_Points.clear();
  const std::vector<uint8_t> bytes = scope::EncodeOsgFile(screen);
  ASSERT_EQ(bytes.size(), scope::kOsgSamplesOffset + 3 * scope::kOsgItemSize);
  const auto read = scope::ParseOsgFile(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->m_nChannelsStored, 1);
  EXPECT_EQ(read->m_Channels[0].m_Points, screen.m_Channels[0].m_Points);
  EXPECT_TRUE(read->m_Channels[1].m_bPresent);
  EXPECT_TRUE(read->m_Channels[1].m_Points.empty());
}

TEST(OsgFile, BadFilesFailWhole) {
  const std::vector<uint8_t> good = scope::EncodeOsgFile(Screen());
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> cutHeader(good.begin(), good.begin() + 243);
  std::vector<uint8_t> cutSamples(good.begin(), good.end() - 1);
  std::vector<uint8_t> tooMany = good;
  tooMany[140] = 0x58;  // 1112 items in channel A
  tooMany[141] = 0x04;
  std::vector<uint8_t> pastEnd = good;
  pastEnd[150] = 3;  // channel B says three items, the file holds two
  const Case cases[] = {{"empty", {}},
                        {"header cut", cutHeader},
                        {"samples cut", cutSamples},
                        {"count above 1111", tooMany},
                        {"count past the end", pastEnd}};
  for (const Case& c : cases) EXPECT_FALSE(scope::ParseOsgFile(c.bytes).has_value()) << c.name;
}

TEST(OscFile, ReadsWithAndWithoutTheSignature) {
  for (bool signature : {true, false}) {
    scope_test::OscSpec spec;
    spec.signature = signature;
    spec.channels = 2;
    spec.source = 1;
    const auto read = scope::ParseOscFile(scope_test::BuildOsc(spec));
    ASSERT_TRUE(read) << signature;
    EXPECT_TRUE(read->m_bOlderFormat);
    EXPECT_EQ(read->m_nChannelsStored, 2);
    EXPECT_EQ(read->m_nSampleRate, 10000);  // index 9; four samples leave it as it is
    EXPECT_EQ(read->m_bAngleMode, signature ? 1 : 0);
    EXPECT_EQ(read->m_nModeSelector, 2);
    EXPECT_EQ(read->m_bModeSelectorFlag, 1);
    EXPECT_EQ(read->m_nTriggerEdge, 1);
    EXPECT_EQ(read->m_nSweep, -1);
    EXPECT_EQ(read->m_nTriggerFilter, 3);
    EXPECT_DOUBLE_EQ(read->m_dTriggerLevel, 5.0);
    EXPECT_EQ(read->m_nTriggerUnit, 1);  // source 1: channel B's unit

    const SignalChannel& a = read->m_Channels[0];
    EXPECT_TRUE(a.m_bPresent);
    EXPECT_EQ(a.m_nPosition, 60);
    EXPECT_EQ(a.m_nCoupling, 1);
    EXPECT_EQ(a.m_dPerDivision, 0.5);
    ASSERT_EQ(a.m_Points.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
      EXPECT_DOUBLE_EQ(a.m_Points[k].m_dValue, 2.5 - static_cast<double>(k) / 20) << k;
      EXPECT_EQ(a.m_Points[k].m_nFlag, 0x80);
    }
    EXPECT_DOUBLE_EQ(a.m_dMax, 2.5);
    EXPECT_DOUBLE_EQ(a.m_dMin, 2.35);

    // B: bounds −100..100 at 2 V/div: x1 −200, x2 200, slope −10; zero raw 0 → 0 V; raw −k → k/10.
    const SignalChannel& b = read->m_Channels[1];
    EXPECT_EQ(b.m_nPosition, 30);
    EXPECT_EQ(b.m_nUnit, 1);
    ASSERT_EQ(b.m_Points.size(), 4u);
    EXPECT_NEAR(b.m_Points[3].m_dValue, 0.3, 1e-12);
  }
}

TEST(OscFile, TimeBaseFollowsTheSampleCount) {
  struct Case {
    uint16_t count;
    int32_t timeBase;
  };
  const Case cases[] = {{89, 10000}, {90, 50000}, {110, 50000}, {111, 10000}, {190, 25000},
                        {210, 25000}, {989, 10000}, {990, 5000}, {1000, 5000}};
  for (const Case& c : cases) {
    scope_test::OscSpec spec;
    spec.countA = c.count;
    const auto read = scope::ParseOscFile(scope_test::BuildOsc(spec));
    ASSERT_TRUE(read) << c.count;
    EXPECT_EQ(read->m_nSampleRate, c.timeBase) << c.count;
  }
}

TEST(OscFile, BadFilesFailWhole) {
  struct Case {
    const char* name;
    scope_test::OscSpec spec;
    size_t cut;  // bytes taken off the end
  };
  const Case cases[] = {
      {"count above 1000", {.countA = 1001}, 0},
      {"time base index 18", {.timeBaseIndex = 18}, 0},
      {"time base index -1", {.timeBaseIndex = -1}, 0},
      {"truncated A", {}, 1},
      {"truncated B", {.channels = 2}, 1},
      {"truncated without signature", {.signature = false}, 1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = scope_test::BuildOsc(c.spec);
    bytes.resize(bytes.size() - c.cut);
    EXPECT_FALSE(scope::ParseOscFile(bytes).has_value()) << c.name;
  }
  EXPECT_FALSE(scope::ParseOscFile({}).has_value());
  // A signature that runs on is no signature: the file is then read 216 bytes further on, where
  // this one holds a zero channel count (the low byte of a time-base value).
  std::vector<uint8_t> runOn = scope_test::BuildOsc({});
  runOn[6] = 'X';
  const auto shifted = scope::ParseOscFile(runOn);
  ASSERT_TRUE(shifted);
  EXPECT_EQ(shifted->m_nChannelsStored, 0);
  // No channels: nothing to load, and that is a success.
  const auto none = scope::ParseOscFile(scope_test::BuildOsc({.channels = 0}));
  ASSERT_TRUE(none);
  EXPECT_EQ(none->m_nChannelsStored, 0);
}

}  // namespace
