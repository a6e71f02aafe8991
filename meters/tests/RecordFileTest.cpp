// Record files: golden bytes built field by field, reading back, the version-16 and other-version
// rules, an empty file, a table of damaged files that change nothing, the open and write failure
// messages, and the scene file kept for other tools.
#include "RecordFileSupport.h"

#include <meters/RecordFile.h>
#include <meters/Recorder.h>

#include <core/Notify.h>

#include <kvtest/CoreGlobals.h>

#include <platform/afxfile.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using meterstest::Bytes;

struct SinkLog : IAnalyzerNotify {
  void OnAnalyzerNotify(int sender, int code, int value) override { calls.push_back({sender, code, value}); }
  std::vector<std::vector<int>> calls;
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
std::string SystemText(DWORD code) {
  char buffer[512] = {};
  FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, sizeof buffer, nullptr);
  return buffer;
}

SHORT SceneA(int i) {
  if (i == 700 || i == 701) return 24000;
  if (i == 1200) return -24000;
  if (i == 2000) return -32768;
  if (i == 2001) return 32767;
  return static_cast<SHORT>(80 * std::abs(i % 500 - 250) - 10000);
}
SHORT SceneB(int i) { return i % 100 < 50 ? 12000 : -12000; }

// The two records of the scene file, in the list.
void MakeScene() {
  CRecord* a = AddNewRecord(nullptr);
  a->m_nChannel = 0;
  a->m_nUnit = 0;
  a->m_nCoupling = 1;
  a->m_dPerDivision = 2.5;
  a->m_dFullScale = 16.0;
  a->m_dSampleRate = 1000.0;
  a->m_bDirect = 1;
  a->m_nRawUpper = 24000;
  a->m_nRawLower = -24000;
  a->m_nPointCount = 3000;
  a->m_Ring.init(3000);
  for (int i = 0; i < 3000; ++i) a->m_Ring.append(SceneA(i));
  CRecord* b = AddNewRecord(nullptr);
  b->m_nChannel = 1;
  b->m_nUnit = 1;
  b->m_nCoupling = 0;
  b->m_dPerDivision = 0.5;
  b->m_dFullScale = 8.0;
  b->m_dSampleRate = 1000.7;
  b->m_bRoll = 1;
  b->m_nRawUpper = 30000;
  b->m_nRawLower = -30000;
  b->m_nPointCount = 3000;
  b->m_Ring.init(2500);
  for (int i = 0; i < 2500; ++i) b->m_Ring.append(SceneB(i));
}

// The scene file's bytes, field by field.
std::vector<uint8_t> SceneBytes() {
  Bytes f(1000 + 2 * 2 * 3000);
  f.Put<uint8_t>(0, 32);
  f.Put<uint8_t>(10, 2);
  f.Put<int32_t>(20, 0);
  f.Put<int32_t>(30, 1);
  f.Put<int32_t>(40, 1000);
  f.Put<int32_t>(50, 0);
  f.Put<double>(60, 2.5);
  f.Put<uint8_t>(68, 1);
  f.Put<int32_t>(110, 0);
  f.Put<int16_t>(150, 24000);
  f.Put<int16_t>(155, -24000);
  f.Put<double>(210, 16.0);
  f.Put<double>(70, 0.5);
  f.Put<uint8_t>(78, 0);
  f.Put<int32_t>(120, 1);
  f.Put<int16_t>(160, 30000);
  f.Put<int16_t>(165, -30000);
  f.Put<double>(220, 8.0);
  for (int k = 2; k < 4; ++k) {
    f.Put<int32_t>(110 + 10 * k, 10);
    f.Put<int16_t>(150 + 10 * k, 0x7FFF);
    f.Put<int16_t>(155 + 10 * k, -0x8000);
  }
  f.Put<int32_t>(200, 3000);
  for (int i = 0; i < 3000; ++i) {
    f.Put<int16_t>(1000 + 4 * i, SceneA(i));
    f.Put<int16_t>(1002 + 4 * i, i < 2500 ? SceneB(i) : 0);
  }
  return f.b;
}

// A valid small file of n channels and m samples (channel k's sample i = 100 k + i).
Bytes SmallFile(int n, int m, int version = 32) {
  Bytes f(1000 + 2 * n * m);
  f.Put<uint8_t>(0, static_cast<uint8_t>(version));
  f.Put<uint8_t>(10, static_cast<uint8_t>(n));
  f.Put<int32_t>(40, 500);
  f.Put<int32_t>(200, m);
  for (int k = 0; k < 4; ++k) {
    f.Put<double>(60 + 10 * k, 1.0);
    f.Put<int32_t>(110 + 10 * k, k < n ? 0 : 10);
    f.Put<int16_t>(150 + 10 * k, 0x7FFF);
    f.Put<int16_t>(155 + 10 * k, -0x8000);
    f.Put<double>(210 + 10 * k, 8.0);
  }
  for (int i = 0; i < m; ++i)
    for (int k = 0; k < n; ++k) f.Put<int16_t>(1000 + 2 * (i * n + k), static_cast<int16_t>(100 * k + i));
  return f;
}

class RecordFileTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    world_ = std::make_unique<kvp::HeadlessWorld>();
    dir_ = std::filesystem::current_path() / "recfiles";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ClearRecordList();
    SetAnalyzerNotify(&sink_);
    GetRecorder().SetFileName("");
    SetRecordPathAsker([this](const RecordPathRequest& request, CString& path) {
      requests_.push_back(request);
      if (answer_.empty()) return false;
      path = answer_.c_str();
      return true;
    });
  }
  void TearDown() override {
    meters::testing::FailRecordWritesAfter(-1);
    SetRecordPathAsker(nullptr);
    UnregisterAnalyzerNotify(&sink_);
    ClearRecordList();
    world_.reset();
    kvtest::CoreTest::TearDown();
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const kvp::MessageBoxCall& c : kvp::MessageBoxLog()) texts.push_back(c.text);
    return texts;
  }

  std::unique_ptr<kvp::HeadlessWorld> world_;
  std::filesystem::path dir_;
  SinkLog sink_;
  std::vector<RecordPathRequest> requests_;
  std::string answer_;
};

TEST_F(RecordFileTest, WriterGivesTheGoldenBytesAndKeepsTheSceneFile) {
  MakeScene();
  const std::string path = Path("scene.rec");
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
  const std::vector<uint8_t> bytes = ReadBytes(path);
  const std::vector<uint8_t> golden = SceneBytes();
  ASSERT_EQ(bytes.size(), golden.size());
  for (size_t i = 0; i < golden.size(); ++i) ASSERT_EQ(bytes[i], golden[i]) << "byte " << i;
  EXPECT_EQ(GetRecordList()[0]->m_bSaved, 1);
  EXPECT_EQ(GetRecordList()[1]->m_bSaved, 1);
  EXPECT_EQ(std::string(GetRecorder().m_strFileName), path);
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));

  const std::string kept = meterstest::RecordFilesDir() + "/scene.rec";
  ASSERT_EQ(WriteRecordFile(kept.c_str()).result, RecordFileResult::Ok);
  EXPECT_EQ(ReadBytes(kept), golden);
}

TEST_F(RecordFileTest, ReadingBackGivesTheSameRecordsAndTheSameBytes) {
  MakeScene();
  const std::string path = Path("scene.rec");
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
  ClearRecordList();
  sink_.calls.clear();
  SetRecordChartHeight(300);
  ASSERT_EQ(ReadRecordFile(path.c_str()).result, RecordFileResult::Ok);
  EXPECT_EQ(sink_.calls, (std::vector<std::vector<int>>{{16, 76, 0}}));
  CRecordList& list = GetRecordList();
  ASSERT_EQ(list.GetSize(), 2);
  const CRecord* a = list[0];
  const CRecord* b = list[1];
  for (const CRecord* r : {a, b}) {
    EXPECT_EQ(r->m_bDirect, 0);
    EXPECT_EQ(r->m_bRoll, 1);
    EXPECT_EQ(r->m_dSampleRate, 1000.0);
    EXPECT_EQ(r->GetPointCount(), 3000);
    EXPECT_EQ(r->m_Ring.GetCapacity(), 3000);
    EXPECT_EQ(r->GetSampleCount(), 3000);
    EXPECT_EQ(r->m_bSaved, 1);
    EXPECT_EQ(r->m_bTransferPending, 0);
    EXPECT_EQ(r->m_nPenStyle, 2);
    EXPECT_EQ(r->m_Scale.m_nPixelTo, 300);
    EXPECT_EQ(r->m_bContinuous, r == a ? 0 : 1);
  }
  EXPECT_EQ(a->m_nCoupling, 1);
  EXPECT_EQ(a->m_nUnit, 0);
  EXPECT_EQ(b->m_nUnit, 1);
  EXPECT_EQ(a->m_dPerDivision, 2.5);
  EXPECT_EQ(b->m_dFullScale, 8.0);
  EXPECT_EQ(a->m_nRawUpper, 24000);
  EXPECT_EQ(b->m_nRawLower, -30000);
  EXPECT_DOUBLE_EQ(a->m_dUpperValue, 16.0 * 24000 / 32767);
  EXPECT_EQ(std::string(b->m_Style.m_strName), "2");
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(a->GetRaw(i), SceneA(i)) << i;
    ASSERT_EQ(b->GetRaw(i), i < 2500 ? SceneB(i) : 0) << i;
  }
  EXPECT_EQ(a->GetPointValue(2000), 0.0) << "gap marker";
  EXPECT_EQ(a->GetClipCode(700), CRecord::CLIP_UPPER);
  EXPECT_EQ(a->GetClipCode(1200), CRecord::CLIP_LOWER);
  EXPECT_EQ(std::string(GetRecorder().m_strFileName), path);

  const std::string again = Path("again.rec");
  ASSERT_EQ(WriteRecordFile(again.c_str()).result, RecordFileResult::Ok);
  EXPECT_EQ(ReadBytes(again), ReadBytes(path));
}

TEST_F(RecordFileTest, VersionRules) {
  struct Case {
    const char* what;
    int version;
    double full, perDivision;
    SHORT upper, lower;
    int coupling;
  } cases[] = {
      {"version 16 stores the full scale", 16, 2.0, 0.25, 0x7FFF, -0x8000, 0},
      {"version 32", 32, 99.0, 2.0, 100, -100, 1},
      {"other versions", 7, 0.0, 2.0, 0x7FFF, -0x8000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes f = SmallFile(1, 2, c.version);
    f.Put<double>(60, 2.0);
    f.Put<uint8_t>(68, 1);
    f.Put<int16_t>(150, 100);
    f.Put<int16_t>(155, -100);
    f.Put<double>(210, 99.0);
    f.Put<int16_t>(1000, 32767);
    f.Put<int16_t>(1002, -32768);
    const std::string path = Path("version.rec");
    WriteBytes(path, f.b);
    ASSERT_EQ(ReadRecordFile(path.c_str()).result, RecordFileResult::Ok);
    ASSERT_EQ(GetRecordList().GetSize(), 1);
    const CRecord* r = GetRecordList()[0];
    EXPECT_EQ(r->m_dFullScale, c.full);
    EXPECT_EQ(r->m_dPerDivision, c.perDivision);
    EXPECT_EQ(r->m_nRawUpper, c.upper);
    EXPECT_EQ(r->m_nRawLower, c.lower);
    EXPECT_EQ(r->m_nCoupling, c.coupling);
    EXPECT_DOUBLE_EQ(r->m_dUpperValue, c.full * c.upper / 32767);
    EXPECT_DOUBLE_EQ(r->GetPointValue(0), c.full);
    EXPECT_FALSE(r->IsGap(1));
  }
}

TEST_F(RecordFileTest, AFileWithoutChannelsEmptiesTheList) {
  MakeScene();
  Bytes f = SmallFile(0, 0);
  f.Put<int32_t>(200, -7);  // no channel: the count means nothing
  const std::string path = Path("empty.rec");
  WriteBytes(path, f.b);
  ASSERT_EQ(ReadRecordFile(path.c_str()).result, RecordFileResult::Ok);
  EXPECT_EQ(GetRecordList().GetSize(), 0);
  EXPECT_EQ(sink_.calls.size(), 1u);
}

TEST_F(RecordFileTest, DamagedFilesAreRefusedAndChangeNothing) {
  struct Case {
    const char* what;
    void (*damage)(std::vector<uint8_t>& bytes);
  } cases[] = {
      {"truncated header", [](std::vector<uint8_t>& b) { b.resize(999); }},
      {"truncated data", [](std::vector<uint8_t>& b) { b.pop_back(); }},
      {"five channels", [](std::vector<uint8_t>& b) { b[10] = 5; }},
      {"negative sample count", [](std::vector<uint8_t>& b) { std::memcpy(&b[200], "\xFF\xFF\xFF\xFF", 4); }},
      {"sample count past the file", [](std::vector<uint8_t>& b) { b[200] = 5; }},
      {"sample count past the bound", [](std::vector<uint8_t>& b) { std::memcpy(&b[200], "\x01\x00\x00\x04", 4); }},
      {"NaN full scale", [](std::vector<uint8_t>& b) {
         const double nan = std::numeric_limits<double>::quiet_NaN();
         std::memcpy(&b[220], &nan, 8);
       }},
      {"infinite per-division value", [](std::vector<uint8_t>& b) {
         const double inf = std::numeric_limits<double>::infinity();
         std::memcpy(&b[60], &inf, 8);
       }},
      {"rate -1", [](std::vector<uint8_t>& b) { std::memcpy(&b[40], "\xFF\xFF\xFF\xFF", 4); }},
  };
  MakeScene();
  const CRecord* first = GetRecordList()[0];
  const std::string path = Path("bad.rec");
  answer_ = path;
  int boxes = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = SmallFile(2, 4).b;
    c.damage(bytes);
    WriteBytes(path, bytes);
    EXPECT_EQ(ReadRecordFile(path.c_str()).result, RecordFileResult::ReadFailed);
    EXPECT_EQ(OpenRecordFile(), 0);
    ++boxes;
    ASSERT_EQ(Boxes().size(), static_cast<size_t>(boxes));
    EXPECT_EQ(Boxes().back(), "Couldn't read from record file!");
    EXPECT_EQ(kvp::MessageBoxLog().back().type & MB_ICONEXCLAMATION, static_cast<UINT>(MB_ICONEXCLAMATION));
    ASSERT_EQ(GetRecordList().GetSize(), 2);
    EXPECT_EQ(GetRecordList()[0], first);
    EXPECT_EQ(first->GetRaw(5), SceneA(5));
    EXPECT_TRUE(sink_.calls.empty());
    EXPECT_TRUE(GetRecorder().m_strFileName.IsEmpty());
  }
}

TEST_F(RecordFileTest, OpenAndSaveCommandsAskForAPathAndShowTheSystemText) {
  // Cancelled: nothing happens.
  EXPECT_EQ(OpenRecordFile(), 0);
  EXPECT_EQ(SaveRecordFile(), 0);
  ASSERT_EQ(requests_.size(), 2u);
  EXPECT_FALSE(requests_[0].save);
  EXPECT_EQ(requests_[0].flags, static_cast<DWORD>(kOfnFileMustExist));
  EXPECT_TRUE(requests_[1].save);
  EXPECT_EQ(requests_[1].flags, static_cast<DWORD>(kOfnHideReadOnly | kOfnOverwritePrompt));
  for (const RecordPathRequest& r : requests_) {
    EXPECT_EQ(std::string(r.defaultExtension), "rec");
    EXPECT_EQ(std::string(r.filter), "Record files (*.rec)|*.rec|All files (*.*)|*.*||");
  }
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString expected;
  expected.Format("Record_%d-%d_%dh%2dm", now.wDay, now.wMonth, now.wHour, now.wMinute);
  EXPECT_EQ(std::string(DefaultRecordFileName()), std::string(expected));
  EXPECT_TRUE(Boxes().empty());

  answer_ = Path("missing.rec");
  EXPECT_EQ(OpenRecordFile(), 0);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "Couldn't open source file: " + SystemText(ERROR_FILE_NOT_FOUND));

  MakeScene();
  answer_ = Path("no-such-folder/x.rec");
  EXPECT_EQ(SaveRecordFile(), 0);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], "Couldn't open file: " + SystemText(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetRecordList()[0]->m_bSaved, 0);

  answer_ = Path("ok.rec");
  EXPECT_EQ(SaveRecordFile(), 1);
  EXPECT_EQ(GetRecordList()[0]->m_bSaved, 1);
  ClearRecordList();
  EXPECT_EQ(OpenRecordFile(), 1);
  EXPECT_EQ(GetRecordList().GetSize(), 2);
  EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(RecordFileTest, AFailedWriteKeepsTheOldFileAndTheRecordsUnsaved) {
  const std::string path = Path("old.rec");
  WriteBytes(path, {'O', 'L', 'D'});
  MakeScene();
  answer_ = path;
  meters::testing::FailRecordWritesAfter(1500);
  EXPECT_EQ(SaveRecordFile(), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Cannot write data to file!"});
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'O', 'L', 'D'}));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  EXPECT_EQ(GetRecordList()[0]->m_bSaved, 0);
  EXPECT_EQ(GetRecordList()[1]->m_bSaved, 0);
  EXPECT_TRUE(GetRecorder().m_strFileName.IsEmpty());
}

}  // namespace
