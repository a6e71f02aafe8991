// Settings files (.oss) and custom slot streams: golden bytes, the tag, short and bad files and
// the older slot layout.
#include <scope/SettingsFile.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using scope::SettingsSnapshot;

std::vector<uint8_t> FileOf(const SettingsSnapshot& s) {
  const scope::SettingsFileBytes bytes = scope::EncodeSettingsFile(s);
  return {bytes.begin(), bytes.end()};
}

TEST(SettingsFile, IsTheTagThenTheRecord) {
  const SettingsSnapshot& s = scope::GetMeasureTypePreset(11).m_Snapshot;
  const std::vector<uint8_t> file = FileOf(s);
  ASSERT_EQ(file.size(), 225u);
  EXPECT_EQ(file[0], 0xA1);
  const scope::SnapshotBytes record = scope::EncodeSnapshot(s);
  EXPECT_EQ(std::memcmp(file.data() + 1, record.data(), record.size()), 0);
  // Trigger position 10.0 and level 147, byte for byte.
  const uint8_t head[13] = {0xA1, 0, 0, 0, 0, 0, 0, 0x24, 0x40, 147, 0, 0, 0};
  EXPECT_EQ(std::memcmp(file.data(), head, sizeof head), 0);
  EXPECT_EQ(scope::ParseSettingsFile(file), s);
}

TEST(SettingsFile, BadFilesLoadNothing) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    bool loads;
  };
  const Case cases[] = {
      {"good", [](auto&) {}, true},
      {"other tag", [](auto& f) { f[0] = 0x00; }, true},
      {"trailing bytes", [](auto& f) { f.push_back(7); }, true},
      {"224 bytes", [](auto& f) { f.pop_back(); }, false},
      {"only the record", [](auto& f) { f.erase(f.begin()); }, false},
      {"empty", [](auto& f) { f.clear(); }, false},
      {"source 7", [](auto& f) { f[1 + 24] = 7; }, false},
      {"trigger position NaN", [](auto& f) { std::memset(f.data() + 1, 0xFF, 8); }, false},
      {"position A 200", [](auto& f) { f[1 + 40] = 200; }, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = FileOf(scope::GetMeasureTypePreset(0).m_Snapshot);
    c.change(file);
    EXPECT_EQ(scope::ParseSettingsFile(file).has_value(), c.loads) << c.name;
  }
}

TEST(CustomSlot, LengthTellsTheLayout) {
  SettingsSnapshot s = scope::GetMeasureTypePreset(24).m_Snapshot;
  s.m_nInversion = 2;
  const std::vector<uint8_t> current = FileOf(s);
  EXPECT_EQ(scope::ParseCustomSlot(current), s);

  std::vector<uint8_t> untagged = current;
  untagged[0] = 0x11;
  EXPECT_EQ(scope::ParseCustomSlot(untagged), s);

  // Older: snapshot bytes 0..91 then 96..223, no tag; the inversion state comes back 0.
  std::vector<uint8_t> older(current.begin() + 1, current.begin() + 1 + 92);
  older.insert(older.end(), current.begin() + 1 + 96, current.end());
  ASSERT_EQ(older.size(), 220u);
  SettingsSnapshot expected = s;
  expected.m_nInversion = 0;
  EXPECT_EQ(scope::ParseCustomSlot(older), expected);

  // The length decides, even when the older layout starts with the tag's value.
  std::vector<uint8_t> olderTagLike = older;
  olderTagLike[0] = 0xA1;
  const auto parsed = scope::ParseCustomSlot(olderTagLike);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->m_Board, expected.m_Board);
  EXPECT_EQ(parsed->m_nInversion, 0);

  for (size_t size : {0u, 1u, 219u, 221u, 224u, 226u}) {
    std::vector<uint8_t> other(current.begin(), current.begin() + std::min<size_t>(size, current.size()));
    other.resize(size, 0);
    EXPECT_FALSE(scope::ParseCustomSlot(other).has_value()) << size;
  }
  std::vector<uint8_t> invalid = current;
  invalid[1 + 84] = 9;  // zoom 9
  EXPECT_FALSE(scope::ParseCustomSlot(invalid).has_value());
}

}  // namespace
