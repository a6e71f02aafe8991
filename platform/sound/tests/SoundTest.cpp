#include <platform/sound.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

const HMODULE kModule = 77;

std::vector<uint8_t> Tone(size_t n = 200) { return kvp::MakeWave(std::vector<int16_t>(n, 1000), 8000); }

TEST(Wave, ParseChecksEveryLength) {
  const std::vector<uint8_t> good = Tone(10);
  kvp::WaveFormat w;
  ASSERT_TRUE(kvp::ParseWave(good.data(), good.size(), w));
  EXPECT_EQ(w.sampleRate, 8000u);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bitsPerSample, 16);
  EXPECT_EQ(w.dataBytes, 20u);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> bad;
  bad.push_back({"cut inside the data", std::vector<uint8_t>(good.begin(), good.end() - 4)});
  bad.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 12)});
  std::vector<uint8_t> notPcm = good;
  notPcm[20] = 3;  // IEEE float
  bad.push_back({"not PCM", notPcm});
  std::vector<uint8_t> hugeChunk = good;
  hugeChunk[16] = 0xFF, hugeChunk[17] = 0xFF, hugeChunk[18] = 0xFF, hugeChunk[19] = 0x7F;
  bad.push_back({"fmt length past the end", hugeChunk});
  std::vector<uint8_t> noWave = good;
  std::memcpy(noWave.data() + 8, "AVI ", 4);
  bad.push_back({"not WAVE", noWave});
  for (const Case& c : bad) EXPECT_FALSE(kvp::ParseWave(c.bytes.data(), c.bytes.size(), w)) << c.name;
}

TEST(PlaySound, ResourcesDefaultsAndStop) {
  const std::vector<uint8_t> tone = Tone();
  kvp::RegisterSoundResource(kModule, 148, tone.data(), tone.size());
  kvp::SoundRecording rec;

  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(148), kModule, SND_RESOURCE | SND_NODEFAULT));
  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(148), kModule, SND_RESOURCE | SND_ASYNC | SND_LOOP));
  // Looping needs an asynchronous sound: synchronous plays once.
  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(148), kModule, SND_RESOURCE | SND_LOOP));
  // A resource the module does not hold: the default sound, unless refused.
  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(155), kModule, SND_RESOURCE | SND_ASYNC));
  EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(155), kModule, SND_RESOURCE | SND_NODEFAULT));
  EXPECT_TRUE(PlaySound(nullptr, 0, 0));

  const auto events = rec.Events();
  ASSERT_EQ(events.size(), 5u);
  struct Want {
    kvp::SoundEvent::Kind kind;
    const char* source;
    bool async, loop;
  } want[] = {
      {kvp::SoundEvent::Kind::Play, "resource:148", false, false},
      {kvp::SoundEvent::Kind::Play, "resource:148", true, true},
      {kvp::SoundEvent::Kind::Play, "resource:148", false, false},
      {kvp::SoundEvent::Kind::Play, "default", true, false},
      {kvp::SoundEvent::Kind::Stop, "", false, false},
  };
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].kind, want[i].kind) << i;
    EXPECT_EQ(events[i].source, want[i].source) << i;
    EXPECT_EQ(events[i].async, want[i].async) << i;
    EXPECT_EQ(events[i].loop, want[i].loop) << i;
  }
  EXPECT_EQ(events[0].dataBytes, 400u);
  kvp::UnregisterSoundResource(kModule, 148);
}

// Without a sink the device plays; a machine without one stays silent and nothing hangs.
TEST(PlaySound, DeviceOutputStartsAndStops) {
  const std::vector<uint8_t> tone = Tone(800);
  kvp::RegisterSoundResource(kModule, 149, tone.data(), tone.size());
  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(149), kModule, SND_RESOURCE | SND_ASYNC | SND_LOOP));
  EXPECT_TRUE(PlaySound(nullptr, 0, 0));
  EXPECT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(149), kModule, SND_RESOURCE | SND_ASYNC));
  EXPECT_TRUE(PlaySound(nullptr, 0, 0));
  kvp::UnregisterSoundResource(kModule, 149);
}

}  // namespace
