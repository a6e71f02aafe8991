// Compound files: files the API writes are read by libgsf's own tool and the other way round;
// sharing across handles and processes, also while two processes save one file at once; a lock
// lost to a file put in its place; the error results; old contents kept until the file is written
// whole; stream reads, writes and seeks.
#include <platform/debug.h>
#include <platform/storage.h>

#include <kvtest/Shell.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::u16string W(const std::string& s) {
  std::u16string out;
  for (unsigned char c : s) out += static_cast<char16_t>(c);
  return out;
}

std::string Peer() {
  const char* bin = getenv("KV_BIN_DIR");
  return std::string(bin ? bin : "bin") + "/tests/platform_file_peer";
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The streams of the artifact file other tools read.
std::vector<std::pair<std::string, std::string>> ArtifactStreams() {
  std::string a(1, '\xA1'), b(1, '\xA1'), large;
  for (int i = 0; i < 224; ++i) a += static_cast<char>(i % 256);
  for (int i = 0; i < 224; ++i) b += static_cast<char>((7 * i) % 256);
  for (int i = 0; i < 5000; ++i) large += static_cast<char>(i % 251);
  return {{"CustomSet_1", a}, {"CustomSet_10", b}, {"Large", large}};
}

HRESULT WriteStreams(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& streams,
                     DWORD createMode = STGM_CREATE) {
  IStorage* stg = nullptr;
  HRESULT hr = StgCreateDocfile(W(path.string()).c_str(), createMode | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg);
  if (FAILED(hr)) return hr;
  for (const auto& [name, bytes] : streams) {
    IStream* s = nullptr;
    hr = stg->CreateStream(W(name).c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s);
    if (FAILED(hr)) break;
    ULONG written = 0;
    hr = s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    s->Release();
    if (FAILED(hr) || written != bytes.size()) break;
  }
  EXPECT_EQ(stg->Release(), 0u);
  return hr;
}

std::string ReadStream(IStorage* stg, const std::string& name, HRESULT* hr = nullptr) {
  IStream* s = nullptr;
  HRESULT r = stg->OpenStream(W(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s);
  if (hr) *hr = r;
  if (FAILED(r)) return {};
  std::string out;
  char buf[333];
  ULONG n = 0;
  while (SUCCEEDED(s->Read(buf, sizeof buf, &n)) && n > 0) out.append(buf, n);
  s->Release();
  return out;
}

class Storage : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::current_path() / "stg";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  fs::path dir_;
};

TEST_F(Storage, WrittenFileIsReadByGsfAndLandsInTheArtifacts) {
  const fs::path file = dir_ / "written-by-platform.cfb";
  ASSERT_EQ(WriteStreams(file, ArtifactStreams()), S_OK);
  const char* artifacts = getenv("KV_ARTIFACT_DIR");
  fs::path out = fs::path(artifacts && artifacts[0] ? artifacts : "artifacts") / "storage";
  fs::create_directories(out);
  fs::copy_file(file, out / "written-by-platform.cfb", fs::copy_options::overwrite_existing);

  // Read back through the API.
  IStorage* stg = nullptr;
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  for (const auto& [name, bytes] : ArtifactStreams()) EXPECT_EQ(ReadStream(stg, name), bytes) << name;
  stg->Release();

  if (!kvtest::HaveTool("gsf")) GTEST_SKIP() << "libgsf-bin not installed";
  const std::string list = kvtest::CommandOutput("gsf list '" + file.string() + "'");
  EXPECT_NE(list.find("225 CustomSet_1\n"), std::string::npos) << list;
  EXPECT_NE(list.find("225 CustomSet_10\n"), std::string::npos) << list;
  EXPECT_NE(list.find("5000 Large\n"), std::string::npos) << list;
  for (const auto& [name, bytes] : ArtifactStreams()) {
    EXPECT_EQ(kvtest::CommandOutput("gsf cat '" + file.string() + "' " + name), bytes) << name;
  }
}

TEST_F(Storage, FileWrittenByGsfIsReadThroughTheApi) {
  if (!kvtest::HaveTool("gsf")) GTEST_SKIP() << "libgsf-bin not installed";
  std::string big;
  for (int i = 0; i < 9000; ++i) big += static_cast<char>(i * 13 % 256);
  WriteFileBytes(dir_ / "Small", "\xA1 small stream");
  WriteFileBytes(dir_ / "Big", big);
  const fs::path file = dir_ / "by-gsf.cfb";
  kvtest::CommandOutput("cd '" + dir_.string() + "' && gsf createole by-gsf.cfb Small Big 2>&1");
  ASSERT_TRUE(fs::exists(file));
  IStorage* stg = nullptr;
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  EXPECT_EQ(ReadStream(stg, "Small"), "\xA1 small stream");
  EXPECT_EQ(ReadStream(stg, "big"), big);  // names compare without regard to case
  HRESULT hr;
  ReadStream(stg, "Missing", &hr);
  EXPECT_EQ(hr, STG_E_FILENOTFOUND);
  stg->Release();
}

TEST_F(Storage, ShareExclusiveHoldsAgainstThisAndOtherProcesses) {
  const fs::path file = dir_ / "CustomSet.dat";
  ASSERT_EQ(WriteStreams(file, {{"CustomSet_1", "x"}}), S_OK);
  const std::u16string name = W(file.string());
  IStorage* first = nullptr;
  ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &first), S_OK);
  IStorage* second = nullptr;
  for (DWORD mode : {STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STGM_READ | STGM_SHARE_EXCLUSIVE,
                     STGM_READ | STGM_SHARE_DENY_WRITE}) {
    EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, mode, nullptr, 0, &second), STG_E_SHAREVIOLATION) << mode;
    EXPECT_EQ(second, nullptr);
  }
  EXPECT_EQ(StgCreateDocfile(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &second),
            STG_E_SHAREVIOLATION);
  EXPECT_EQ(kvtest::CommandOutput(Peer() + " stg-open '" + file.string() + "' 12"), "80030020\n");  // another process
  first->Release();
  EXPECT_EQ(kvtest::CommandOutput(Peer() + " stg-open '" + file.string() + "' 12"), "00000000\n");

  // The other process holds it: this one is refused until it lets go.
  FILE* holder = popen((Peer() + " stg-hold '" + file.string() + "' 400").c_str(), "r");
  ASSERT_NE(holder, nullptr);
  char line[16] = {};
  ASSERT_NE(fgets(line, sizeof line, holder), nullptr);
  EXPECT_STREQ(line, "held\n");
  EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &second),
            STG_E_SHAREVIOLATION);
  pclose(holder);
  ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &second), S_OK);
  second->Release();
}

TEST_F(Storage, OpenFailuresAreToldApart) {
  std::string valid;
  {
    const fs::path good = dir_ / "good.cfb";
    ASSERT_EQ(WriteStreams(good, ArtifactStreams()), S_OK);
    valid = ReadFile(good);
  }
  std::string damaged = valid;
  for (size_t i = 0x30; i < 0x50; ++i) damaged[i] = '\xFF';  // directory and FAT sector numbers
  struct Case {
    const char* name;
    const char* content;  // null: no file
    std::string bytes;
    HRESULT expected;
  };
  const std::vector<Case> cases = {
      {"missing.cfb", nullptr, "", STG_E_FILENOTFOUND},
      {"no-such-folder/x.cfb", nullptr, "", STG_E_PATHNOTFOUND},
      {"empty.cfb", "", "", STG_E_INVALIDHEADER},
      {"text.cfb", "", "just some text, not a compound file at all", STG_E_INVALIDHEADER},
      {"truncated.cfb", "", valid.substr(0, 700), STG_E_DOCFILECORRUPT},
      {"damaged.cfb", "", damaged, STG_E_DOCFILECORRUPT},
  };
  for (const Case& c : cases) {
    const fs::path file = dir_ / c.name;
    if (c.content) WriteFileBytes(file, c.bytes);
    for (DWORD mode : {STGM_READ | STGM_SHARE_EXCLUSIVE, STGM_READWRITE | STGM_SHARE_EXCLUSIVE}) {
      IStorage* stg = reinterpret_cast<IStorage*>(1);
      EXPECT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, mode, nullptr, 0, &stg), c.expected) << c.name;
      EXPECT_EQ(stg, nullptr);
    }
    if (c.content) {
      EXPECT_EQ(ReadFile(file), c.bytes) << c.name << " was changed";
    }
  }
  IStorage* stg = nullptr;
  EXPECT_EQ(StgOpenStorage(W(dir_.string()).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            STG_E_ACCESSDENIED);  // a folder
  EXPECT_EQ(StgCreateDocfile(W((dir_ / "good.cfb").string()).c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgCreateDocfile(W((dir_ / "nope" / "x.cfb").string()).c_str(),
                             STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg),
            STG_E_PATHNOTFOUND);
}

TEST_F(Storage, TheOldFileStaysWholeUntilTheLastRelease) {
  const fs::path file = dir_ / "CustomSet.dat";
  ASSERT_EQ(WriteStreams(file, {{"CustomSet_1", "old"}}), S_OK);
  const std::string before = ReadFile(file);
  IStorage* stg = nullptr;
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(stg->OpenStream(u"CustomSet_1", nullptr, STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &s), S_OK);
  ASSERT_EQ(s->Write("new!", 4, nullptr), S_OK);
  EXPECT_EQ(stg->Release(), 0u);  // the open stream keeps the file open
  EXPECT_EQ(ReadFile(file), before);
  s->Release();
  EXPECT_NE(ReadFile(file), before);
  // No temporary file is left beside it.
  size_t count = 0;
  for (const auto& e : fs::directory_iterator(dir_)) count += e.is_regular_file();
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  EXPECT_EQ(ReadStream(stg, "CustomSet_1"), "new!");
  stg->Release();
}

TEST_F(Storage, StreamsReadWriteAndSeekAsTheSettingsCodeUsesThem) {
  const fs::path file = dir_ / "CustomSet.dat";
  const std::u16string name = W(file.string());
  IStorage* stg = nullptr;
  // Save: open read-write; not there yet, so create it.
  ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            STG_E_FILENOTFOUND);
  ASSERT_EQ(StgCreateDocfile(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg), S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(stg->OpenStream(u"CustomSet_3", nullptr, STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &s), STG_E_FILENOTFOUND);
  ASSERT_EQ(stg->CreateStream(u"CustomSet_3", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s), S_OK);
  IStream* again = nullptr;
  EXPECT_EQ(stg->OpenStream(u"CustomSet_3", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &again),
            STG_E_ACCESSDENIED);  // open once at a time
  EXPECT_EQ(stg->CreateStream(u"CustomSet_3", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &again),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(stg->OpenStream(u"CustomSet_3", nullptr, STGM_READ, 0, &again), STG_E_INVALIDFLAG);
  EXPECT_EQ(stg->CreateStream(u"a name longer than thirty-one chars", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &again),
            STG_E_INVALIDNAME);
  LARGE_INTEGER to{};
  to.QuadPart = 10;
  ULARGE_INTEGER at{};
  ASSERT_EQ(s->Seek(to, STREAM_SEEK_SET, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 10u);
  ASSERT_EQ(s->Write("ab", 2, nullptr), S_OK);  // past the end: zeros before
  to.QuadPart = -3;
  ASSERT_EQ(s->Seek(to, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 9u);
  to.QuadPart = -100;
  EXPECT_EQ(s->Seek(to, STREAM_SEEK_CUR, &at), STG_E_INVALIDFUNCTION);
  s->Release();
  stg->Release();

  // Load: read-only; a write is refused, a short read says how much it got.
  ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg), S_OK);
  EXPECT_EQ(stg->OpenStream(u"CustomSet_3", nullptr, STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &s), STG_E_ACCESSDENIED);
  EXPECT_EQ(stg->CreateStream(u"CustomSet_4", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s), STG_E_ACCESSDENIED);
  ASSERT_EQ(stg->OpenStream(u"customset_3", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s), S_OK);
  char buf[32];
  ULONG n = 0;
  ASSERT_EQ(s->Read(buf, sizeof buf, &n), S_OK);
  EXPECT_EQ(std::string(buf, n), std::string(10, '\0') + "ab");
  ASSERT_EQ(s->Read(buf, sizeof buf, &n), S_OK);
  EXPECT_EQ(n, 0u);
  ULONG written = 7;
  EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
  EXPECT_EQ(written, 0u);
  s->Release();
  stg->Release();
}

uint32_t SlotValue(IStorage* stg, const std::string& name) {
  const std::string bytes = ReadStream(stg, name);
  uint32_t value = 0;
  if (bytes.size() == sizeof value) memcpy(&value, bytes.data(), sizeof value);
  return value;
}

TEST_F(Storage, TwoProcessesSavingAtOnceLoseNothingAndNeverHoldItTogether) {
  const fs::path file = dir_ / "CustomSet.dat";
  ASSERT_EQ(WriteStreams(file, {}), S_OK);
  constexpr int kSaves = 150;
  // Each saves its slot, commits, and writes once more before it lets go, again and again.
  FILE* first = popen((Peer() + " stg-save '" + file.string() + "' 1 " + std::to_string(kSaves)).c_str(), "r");
  FILE* second = popen((Peer() + " stg-save '" + file.string() + "' 2 " + std::to_string(kSaves)).c_str(), "r");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  int refusedInAll = 0;
  for (FILE* peer : {first, second}) {
    int saved = -1, refused = -1, lost = -1, twice = -1, failed = -1;
    char line[128] = {};
    ASSERT_NE(fgets(line, sizeof line, peer), nullptr);
    pclose(peer);
    ASSERT_EQ(sscanf(line, "saved %d refused %d lost %d twice %d failed %d", &saved, &refused, &lost, &twice, &failed),
              5)
        << line;
    EXPECT_EQ(saved, kSaves) << line;
    EXPECT_EQ(lost, 0) << line;    // no slot write of the other process undone
    EXPECT_EQ(twice, 0) << line;   // never two owners
    EXPECT_EQ(failed, 0) << line;  // no Commit refused while the lock was held
    refusedInAll += refused;
  }
  EXPECT_GT(refusedInAll, 0);  // the one that came second was told
  IStorage* stg = nullptr;
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  EXPECT_EQ(SlotValue(stg, "Slot_1"), static_cast<uint32_t>(kSaves));
  EXPECT_EQ(SlotValue(stg, "Slot_2"), static_cast<uint32_t>(kSaves));
  stg->Release();
}

TEST_F(Storage, ALockLostToAFilePutInItsPlaceFailsTheCommitAndTheLastReleaseSaysSo) {
  const fs::path file = dir_ / "CustomSet.dat";
  ASSERT_EQ(WriteStreams(file, {{"CustomSet_1", "ours"}}), S_OK);
  const fs::path other = dir_ / "other.cfb";
  ASSERT_EQ(WriteStreams(other, {{"CustomSet_1", "theirs"}}), S_OK);
  const std::string theirs = ReadFile(other);
  std::string debugOutput;
  const kvp::DebugSink previous = kvp::SetDebugSink([&](const std::string& text) { debugOutput += text; });

  IStorage* stg = nullptr;
  ASSERT_EQ(StgOpenStorage(W(file.string()).c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
            S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(stg->CreateStream(u"CustomSet_2", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s), S_OK);
  ASSERT_EQ(s->Write("mine", 4, nullptr), S_OK);
  s->Release();
  // A tool that ignores the lock puts another file in its place: the lock no longer guards the name.
  fs::rename(other, file);
  EXPECT_EQ(stg->Commit(STGC_DEFAULT), STG_E_SHAREVIOLATION);
  EXPECT_TRUE(ReadFile(file) == theirs);
  EXPECT_EQ(stg->Release(), 0u);  // the last release cannot write it back either, and says so
  EXPECT_TRUE(ReadFile(file) == theirs);
  kvp::SetDebugSink(previous);
  EXPECT_NE(debugOutput.find(file.string()), std::string::npos) << debugOutput;
  EXPECT_NE(debugOutput.find("80030020"), std::string::npos) << debugOutput;
}

TEST_F(Storage, AFileMadeAnewBesideASavingProcessIsRefusedUntouchedOrMadeWhole) {
  const fs::path file = dir_ / "CustomSet.dat";
  ASSERT_EQ(WriteStreams(file, {}), S_OK);
  constexpr int kRounds = 150;
  FILE* saver = popen((Peer() + " stg-save '" + file.string() + "' 1 " + std::to_string(kRounds)).c_str(), "r");
  FILE* maker = popen((Peer() + " stg-create '" + file.string() + "' " + std::to_string(kRounds)).c_str(), "r");
  ASSERT_NE(saver, nullptr);
  ASSERT_NE(maker, nullptr);
  char line[128] = {};
  ASSERT_NE(fgets(line, sizeof line, saver), nullptr);
  pclose(saver);
  int saved = -1, refused = -1, lost = -1, twice = -1, failed = -1;
  ASSERT_EQ(sscanf(line, "saved %d refused %d lost %d twice %d failed %d", &saved, &refused, &lost, &twice, &failed), 5)
      << line;
  // A make that was refused replaced nothing: the slot always held what was saved last, unless a
  // make succeeded and said so.
  EXPECT_EQ(saved, kRounds) << line;
  EXPECT_EQ(lost, 0) << line;
  EXPECT_EQ(twice, 0) << line;
  EXPECT_EQ(failed, 0) << line;
  ASSERT_NE(fgets(line, sizeof line, maker), nullptr);
  pclose(maker);
  int made = -1, makerRefused = -1, makerTwice = -1, makerFailed = -1;
  ASSERT_EQ(sscanf(line, "made %d refused %d twice %d failed %d", &made, &makerRefused, &makerTwice, &makerFailed), 4)
      << line;
  EXPECT_EQ(makerTwice, 0) << line;
  EXPECT_EQ(makerFailed, 0) << line;
}

}  // namespace
