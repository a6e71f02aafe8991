// The scope's files on disk: settings files, signal files chosen by extension, and the custom
// slots in their compound file, with every failure's message and the slot file's exclusive lock.
#include <scope/ScopeFiles.h>

#include <platform/afxfile.h>
#include <platform/storage.h>
#include <platform/wholefile.h>

#include <kvtest/PlatformGlobals.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using scope::FileOutcome;
using scope::SettingsSnapshot;

class ScopeFilesTest : public kvtest::PlatformTest {
 protected:
  void SetUp() override {
    kvtest::PlatformTest::SetUp();
    const char* home = std::getenv("HOME");
    m_dir = fs::path(home ? home : "/tmp") / ("scope_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  void WriteRaw(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }
  fs::path m_dir;
};

SettingsSnapshot UserSettings() {
  SettingsSnapshot s = scope::GetMeasureTypePreset(13).m_Snapshot;
  s.m_nLevel = 200;
  s.m_nInversion = 2;
  s.m_Board.m_Words[0] = 7;
  return s;
}

TEST_F(ScopeFilesTest, SettingsFileRoundTripsAndRefusesShortFiles) {
  const SettingsSnapshot s = UserSettings();
  ASSERT_TRUE(scope::WriteSettingsFile(Path("a.oss").c_str(), s).m_bOk);
  EXPECT_EQ(fs::file_size(Path("a.oss")), 225u);
  SettingsSnapshot read;
  ASSERT_TRUE(scope::ReadSettingsFile(Path("a.oss").c_str(), read).m_bOk);
  EXPECT_EQ(read, s);

  // A 224-byte file fails with the read message and leaves the settings as they were.
  const scope::SettingsFileBytes full = scope::EncodeSettingsFile(s);
  WriteRaw("short.oss", std::vector<uint8_t>(full.begin(), full.end() - 1));
  SettingsSnapshot untouched = scope::GetMeasureTypePreset(0).m_Snapshot;
  const FileOutcome shortRead = scope::ReadSettingsFile(Path("short.oss").c_str(), untouched);
  EXPECT_FALSE(shortRead.m_bOk);
  EXPECT_EQ(shortRead.m_strMessage, "Cannot read data from file!");
  EXPECT_EQ(shortRead.m_nIcon, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(untouched, scope::GetMeasureTypePreset(0).m_Snapshot);

  // Another tag loads like a good file.
  std::vector<uint8_t> tagged(full.begin(), full.end());
  tagged[0] = 0x42;
  WriteRaw("tag.oss", tagged);
  ASSERT_TRUE(scope::ReadSettingsFile(Path("tag.oss").c_str(), read).m_bOk);
  EXPECT_EQ(read, s);

  const FileOutcome missing = scope::ReadSettingsFile(Path("missing.oss").c_str(), read);
  EXPECT_FALSE(missing.m_bOk);
  EXPECT_EQ(missing.m_strMessage.rfind("Couldn't open file: ", 0), 0u) << missing.m_strMessage;
  EXPECT_GT(missing.m_strMessage.size(), std::string("Couldn't open file: ").size());
  EXPECT_EQ(missing.m_strMessage.find('\n'), std::string::npos);

  const FileOutcome noFolder = scope::WriteSettingsFile(Path("no/such/folder.oss").c_str(), s);
  EXPECT_FALSE(noFolder.m_bOk);
  EXPECT_EQ(noFolder.m_strMessage.rfind("Couldn't open file: ", 0), 0u);
}

// A save that fails (the disk full halfway, another open denying writers) keeps the old file
// whole and leaves no temporary file; the message says which step failed.
TEST_F(ScopeFilesTest, AFailedSaveKeepsTheOldFile) {
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  struct Case {
    const char* name;
    bool diskFull;
    bool targetHeld;
    const char* messageStart;
  };
  const Case cases[] = {
      {"disk full", true, false, "Cannot write data to file!"},
      {"held by a reader", false, true, "Couldn't open file: "},
  };
  const std::function<FileOutcome(const std::string&)> savers[] = {
      [](const std::string& path) { return scope::WriteSettingsFile(path.c_str(), UserSettings()); },
      [](const std::string& path) { return scope::WriteOsgFile(path.c_str(), scope::SignalFile{}); },
  };
  for (const Case& c : cases) {
    for (const auto& save : savers) {
      SCOPED_TRACE(c.name);
      WriteRaw("old.bin", old);
      kvp::testing::FailReplaceFileWritesAfter(c.diskFull ? 1 : -1);
      CFile reader;
      if (c.targetHeld) {
        ASSERT_TRUE(reader.Open(Path("old.bin").c_str(), CFile::modeRead | CFile::shareDenyWrite));
      }
      const FileOutcome saved = save(Path("old.bin"));
      reader.Abort();
      EXPECT_FALSE(saved.m_bOk);
      EXPECT_EQ(saved.m_strMessage.rfind(c.messageStart, 0), 0u) << saved.m_strMessage;
      EXPECT_EQ(saved.m_nIcon, static_cast<UINT>(MB_ICONEXCLAMATION));
      std::ifstream in(Path("old.bin"), std::ios::binary);
      EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), old);
      EXPECT_FALSE(fs::exists(Path("old.bin.part")));
    }
  }
}

TEST_F(ScopeFilesTest, SignalFilesAreChosenByTheirExtension) {
  scope::SignalFile screen;
  screen.m_Channels[0].m_bPresent = true;
  screen.m_Channels[0].m_nUnit = 0;
  screen.m_Channels[0].m_Points.assign(1000, scope::SignalPoint{0.5, 0x80});
  ASSERT_TRUE(scope::WriteOsgFile(Path("s.OSG").c_str(), screen).m_bOk);
  scope::SignalFile read;
  ASSERT_TRUE(scope::ReadSignalFile(Path("s.OSG").c_str(), read).m_bOk);
  EXPECT_EQ(read.m_nChannelsStored, 1);
  EXPECT_EQ(read.m_Channels[0].m_Points, screen.m_Channels[0].m_Points);

  fs::copy_file(Path("s.OSG"), Path("s.txt"));
  const FileOutcome other = scope::ReadSignalFile(Path("s.txt").c_str(), read);
  EXPECT_FALSE(other.m_bOk);
  EXPECT_TRUE(other.m_strMessage.empty());

  // The extension decides the reader: the same bytes as an older file hold no channel count
  // where that format keeps it, and a cut one fails with the read message.
  fs::copy_file(Path("s.OSG"), Path("s.osc"));
  ASSERT_TRUE(scope::ReadSignalFile(Path("s.osc").c_str(), read).m_bOk);
  EXPECT_EQ(read.m_nChannelsStored, 0);
  WriteRaw("cut.osg", std::vector<uint8_t>(100, 0));
  const FileOutcome cut = scope::ReadSignalFile(Path("cut.osg").c_str(), read);
  EXPECT_FALSE(cut.m_bOk);
  EXPECT_EQ(cut.m_strMessage, "Cannot read data from file!");

  const FileOutcome missing = scope::ReadSignalFile(Path("none.osg").c_str(), read);
  EXPECT_EQ(missing.m_strMessage.rfind("Couldn't open source file: ", 0), 0u) << missing.m_strMessage;
}

TEST_F(ScopeFilesTest, CustomSlots) {
  const std::string file = Path("Folder/Sub/CustomSet.dat");
  SettingsSnapshot read;
  FileOutcome noFile = scope::LoadCustomSlot(file.c_str(), 2, read);
  EXPECT_EQ(noFile.m_strMessage, scope::kMsgSlotNoFile);
  EXPECT_EQ(noFile.m_nIcon, static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST));

  const SettingsSnapshot s = UserSettings();
  ASSERT_TRUE(scope::SaveCustomSlot(file.c_str(), 2, s).m_bOk);  // creates the missing folders
  ASSERT_TRUE(scope::LoadCustomSlot(file.c_str(), 2, read).m_bOk);
  EXPECT_EQ(read, s);
  EXPECT_EQ(scope::LoadCustomSlot(file.c_str(), 3, read).m_strMessage, scope::kMsgSlotNotSaved);

  SettingsSnapshot second = s;
  second.m_nLevel = 77;
  ASSERT_TRUE(scope::SaveCustomSlot(file.c_str(), 7, second).m_bOk);
  ASSERT_TRUE(scope::LoadCustomSlot(file.c_str(), 2, read).m_bOk);
  EXPECT_EQ(read.m_nLevel, 200);
  ASSERT_TRUE(scope::LoadCustomSlot(file.c_str(), 7, read).m_bOk);
  EXPECT_EQ(read.m_nLevel, 77);

  // A slot in the older 220-byte layout loads with inversion 0; other lengths are refused.
  const scope::SettingsFileBytes bytes = scope::EncodeSettingsFile(s);
  std::vector<uint8_t> older(220);
  std::copy(bytes.begin() + 1, bytes.begin() + 93, older.begin());
  std::copy(bytes.begin() + 97, bytes.end(), older.begin() + 92);
  {
    std::basic_string<OLECHAR> name(file.begin(), file.end());
    IStorage* storage = nullptr;
    ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage), S_OK);
    const auto put = [&](const char* stream, const std::vector<uint8_t>& content) {
      std::basic_string<OLECHAR> streamName(stream, stream + std::char_traits<char>::length(stream));
      IStream* out = nullptr;
      ASSERT_EQ(storage->CreateStream(streamName.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &out), S_OK);
      ULONG written = 0;
      out->Write(content.data(), static_cast<ULONG>(content.size()), &written);
      out->Release();
    };
    put("CustomSet_4", older);
    put("CustomSet_5", std::vector<uint8_t>(100, 1));

    // While the file is held, both operations fail with their open messages.
    EXPECT_EQ(scope::SaveCustomSlot(file.c_str(), 1, s).m_strMessage, scope::kMsgSlotCannotOpenFile);
    EXPECT_EQ(scope::LoadCustomSlot(file.c_str(), 2, read).m_strMessage, scope::kMsgSlotNoFile);
    storage->Release();
  }
  SettingsSnapshot expected = s;
  expected.m_nInversion = 0;
  ASSERT_TRUE(scope::LoadCustomSlot(file.c_str(), 4, read).m_bOk);
  EXPECT_EQ(read, expected);
  SettingsSnapshot kept = s;
  const FileOutcome bad = scope::LoadCustomSlot(file.c_str(), 5, kept);
  EXPECT_EQ(bad.m_strMessage, "Cannot load custom settings.");
  EXPECT_EQ(kept, s);
  ASSERT_TRUE(scope::LoadCustomSlot(file.c_str(), 7, read).m_bOk);  // untouched by the others
  EXPECT_EQ(read.m_nLevel, 77);
}

TEST(CustomSlotTypes, EngineTesterTypesHaveNoSlots) {
  for (int t = 0; t < scope::kMeasureTypeCount; ++t)
    EXPECT_EQ(scope::IsCustomSetRefused(t), t == 3 || (t >= 6 && t <= 10)) << t;
  EXPECT_NE(scope::CustomSetPath().find("\\NORVIK\\Dravix\\KV310\\CustomSet.dat"), std::string::npos);
}

TEST(ToWide, ConvertsOrGivesNull) {
  OLECHAR buffer[16];
  ASSERT_NE(scope::ToWide(buffer, "CustomSet_1", 16, CP_ACP), nullptr);
  EXPECT_EQ(buffer[0], 'C');
  EXPECT_EQ(buffer[10], '1');
  EXPECT_EQ(buffer[11], 0);
  EXPECT_EQ(scope::ToWide(nullptr, "x", 16, CP_ACP), nullptr);
  EXPECT_EQ(scope::ToWide(buffer, nullptr, 16, CP_ACP), nullptr);
  EXPECT_EQ(scope::ToWide(buffer, "far too long for the buffer", 4, CP_ACP), nullptr);
}

}  // namespace
