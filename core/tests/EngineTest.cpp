// The acquisition engine against the fake measurement library: the binding, the opening of the
// device, the settings sender, the data readers, the thread with its stop, and the meter services.
#include "FakeControl.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/Reg.h>
#include <core/Texts.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/files.h>
#include <platform/module.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <kvtest/Pump.h>

namespace {

using fake::FakeControl;

constexpr unsigned kComm = kv310::kCommunication;
constexpr unsigned kOsc = kv310::kOscilloscope;
constexpr unsigned kMTOsc = kv310::kMTOscilloscope;

template <typename Pred>
bool WaitUntil(Pred done, int seconds = 10) {
  return kvtest::PumpUntil(done, seconds);
}

std::vector<std::string> Lines(const CStringArray& list) {
  std::vector<std::string> out;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) out.emplace_back((LPCSTR)list[i]);
  return out;
}

// A scope record's settings: 1000 samples, 50000 S/s, both channels on with a test lead on the
// 2 V range, every change bit set.
CMeasureProps ScopeSettings() {
  CMeasureProps s;
  s.m_nRecordLength = 1000;
  for (double rate : {500.0, 5000.0, 50000.0, 500000.0}) s.m_TimeBase.m_Rates.Add(rate);
  s.m_TimeBase.m_nSelected = 2;
  s.m_TimeBase.m_nFlags = TB_INDEX_CHANGED;
  s.m_dTriggerPosition = 30.0;
  for (CChannelProps& c : s.m_Channels) {
    ApplyProbeInfo(c.m_Ranges, fake::Probe(3));
    for (double r : {0.2, 2.0, 20.0}) c.m_Ranges.Add(r);
    c.m_nRangeIndex = 1;
    c.m_nModeEnable = 1;
    c.m_nChangeFlags = CHN_RANGE;
  }
  s.m_nChangeFlags = CHG_ALL;
  return s;
}

// The scope pane's side of the callbacks, recorded.
class RecordingScope : public IOscClbck {
 public:
  int OnOscError(MeterResult& result) override {
    std::lock_guard<std::mutex> lock(m);
    errors.push_back(Lines(result.m_Lines));
    statuses.push_back(result.m_nStatus);
    return 0;
  }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    std::lock_guard<std::mutex> lock(m);
    ++queries;
    settings = this->settings;
    return queryAnswer;
  }
  int OnOscData(AcquisitionRecord& record) override {
    if (sendTo) SendMessage(sendTo, WM_OSCMEASURE, 28, 0);
    if (onData) onData();
    std::lock_guard<std::mutex> lock(m);
    counts.push_back(record.m_Signal[0].GetCount());
    countsB.push_back(record.m_Signal[1].GetCount());
    triggerIndex.push_back(record.m_nTriggerIndex);
    last = record.m_Signal[0];
    return static_cast<int>(counts.size()) < recordsWanted ? 1 : 0;
  }
  size_t Records() {
    std::lock_guard<std::mutex> lock(m);
    return counts.size();
  }
  size_t Errors() {
    std::lock_guard<std::mutex> lock(m);
    return errors.size();
  }
  int Queries() {
    std::lock_guard<std::mutex> lock(m);
    return queries;
  }

  std::mutex m;
  std::function<void()> onData;  // runs on the thread while the record is handed over
  CMeasureProps settings = ScopeSettings();
  int queryAnswer = 1;
  int recordsWanted = 1;
  HWND sendTo = 0;
  int queries = 0;
  std::vector<std::vector<std::string>> errors;
  std::vector<int> statuses;
  std::vector<int> counts, countsB, triggerIndex;
  CSignalData last;
};

// Headless windows that record the private messages they receive.
std::vector<std::pair<UINT, WPARAM>>* g_received = nullptr;
LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_APP && g_received) g_received->push_back({msg, wParam});
  return DefWindowProc(hwnd, msg, wParam, lParam);
}
HWND RecordingWindow() {
  WNDCLASS wc{};
  wc.lpfnWndProc = &RecordingProc;
  wc.lpszClassName = "EngineTestWindow";
  RegisterClass(&wc);
  return CreateWindowEx(0, "EngineTestWindow", "", 0, 0, 0, 100, 100, 0, 0, 0, nullptr);
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("FAKE_KV310_MISSING");
    world_ = std::make_unique<kvp::HeadlessWorld>();
    module_ = LoadLibrary(fake::kModule);
    ASSERT_TRUE(module_ != 0);
    auto control = reinterpret_cast<fake::ControlProc>(reinterpret_cast<void (*)()>(GetProcAddress(module_, fake::kControlExport)));
    ASSERT_NE(control, nullptr);
    fake_ = control();
    fake_->Reset();
    MeasureType& preset = GetMeasureType();
    preset.m_nAngleMode = 0;
    preset.m_nMeasureType = 0;
    preset.m_bStartRetry = 0;
    CMotortesterData* tester = GetMotortesterDevice();
    tester->SetInterfaces(nullptr, nullptr, nullptr);
    tester->m_nSparkCoilType = -1;
    engine_ = std::make_unique<CMeasureEngine>();
    engine_->GetBinding().m_strModuleName = fake::kModule;
    received_.clear();
    g_received = &received_;
  }

  void TearDown() override {
    if (engine_) engine_->CoreShutdown();
    engine_.reset();
    g_received = nullptr;
    if (module_) FreeLibrary(module_);
    world_.reset();
  }

  // The engine opened on the fake with the link started and the board present.
  void Open() {
    ASSERT_EQ(engine_->OpenMeasuringDevice(0), 1);
    fake_->ClearLog();
  }
  void OpenAndRun(RecordingScope& scope) {
    Open();
    engine_->SetOscCallback(&scope);
    ASSERT_EQ(engine_->StartAcquisitionThread(), 1);
    engine_->Run(1);
  }
  // Applies the settings and starts one measurement as the thread would, then reads the record.
  BOOL ReadOnce(AcquisitionRecord& record, CStringArrayEx& lines) {
    CStringArrayEx startLines;
    engine_->StartMeasurementCmd(record.m_Settings, startLines);
    return engine_->ReadBoardSignals(record, lines);
  }

  std::unique_ptr<kvp::HeadlessWorld> world_;
  HMODULE module_ = 0;
  FakeControl* fake_ = nullptr;
  std::unique_ptr<CMeasureEngine> engine_;
  std::vector<std::pair<UINT, WPARAM>> received_;
};

// ---- the binding -------------------------------------------------------------------------------

std::string ModulePath(const char* name) {
  HMODULE m = LoadLibrary(name);
  char path[MAX_PATH] = "";
  GetModuleFileName(m, path, sizeof path);
  FreeLibrary(m);
  return path;
}

TEST(KeloDllTest, RequiredAndOptionalInterfaces) {
  const std::string path = ModulePath(fake::kModule);
  // A thread abandoned earlier in this process keeps the module mapped for good.
  const bool pinned = kvp::ModuleIsMappedAt(path.c_str());
  struct Case {
    const char* missing;
    int loaded;
  } cases[] = {{"", 1}, {"7,8,9,10", 1}, {"14", 0}, {"0", 0}, {"6", 0}, {"15", 0}};
  for (const Case& c : cases) {
    setenv("FAKE_KV310_MISSING", c.missing, 1);
    CKelo_DLL binding;
    binding.m_strModuleName = fake::kModule;
    EXPECT_EQ(binding.Load(), c.loaded) << c.missing;
    EXPECT_EQ(binding.IsLoaded(), c.loaded == 1) << c.missing;
    if (c.loaded) {
      EXPECT_NE(binding.Communication(), nullptr);
      EXPECT_EQ(binding.MTOscilloscope() == nullptr, std::string(c.missing).find('7') != std::string::npos);
    } else {
      // Refused: every pointer zero and the module really unmapped.
      for (unsigned id = 0; id < kv310::kInterfaceCount; ++id) EXPECT_EQ(binding.GetInterface(id), nullptr);
      EXPECT_TRUE(pinned || !kvp::ModuleIsMappedAt(path.c_str())) << c.missing;
    }
    binding.Unload();
    EXPECT_TRUE(pinned || !kvp::ModuleIsMappedAt(path.c_str()));
  }
  unsetenv("FAKE_KV310_MISSING");
  CKelo_DLL absent;
  absent.m_strModuleName = "NoSuchLibrary.dll";
  EXPECT_EQ(absent.Load(), 0);
  EXPECT_EQ(absent.Unload(), 0);
}

TEST_F(EngineTest, UnloadStopsAndClosesOnlyAfterAGoodStop) {
  for (int stopCode : {0, 4}) {
    CKelo_DLL binding;
    binding.m_strModuleName = fake::kModule;
    ASSERT_EQ(binding.Load(), 1);
    fake_->ClearLog();
    if (stopCode) fake_->Answer(kComm, 5, stopCode);
    binding.Unload();
    EXPECT_EQ(fake_->Count(kComm, 5), 1);
    EXPECT_EQ(fake_->Count(kComm, 3), stopCode == 0 ? 1 : 0) << stopCode;
  }
}

// ---- opening -----------------------------------------------------------------------------------

TEST_F(EngineTest, OpeningReadsIdentityAndBoardStatus) {
  struct Case {
    int statusCall;  // non-zero: GetBoardStatus fails
    uint8_t status;
    int present, reduced, boxes;
  } cases[] = {{0, 1, 1, 0, 0}, {0, 2, 1, 1, 0}, {0, 0, 0, 0, 1}, {0, 3, 0, 0, 1}, {13, 1, 0, 0, 1}};
  for (const Case& c : cases) {
    fake_->Reset();
    engine_ = std::make_unique<CMeasureEngine>();
    engine_->GetBinding().m_strModuleName = fake::kModule;
    fake_->boardStatus = c.status;
    if (c.statusCall) fake_->Answer(0, 3, c.statusCall);
    const size_t boxesBefore = kvp::MessageBoxLog().size();
    EXPECT_EQ(engine_->OpenMeasuringDevice(0), c.present) << int(c.status);
    EXPECT_EQ(engine_->IsDevicePresent(), c.present);
    EXPECT_EQ(GetGlobalProps().m_bDevicePresent, c.present);
    EXPECT_EQ(engine_->IsReducedVariant(), c.reduced);
    EXPECT_EQ(engine_->GetBoardName(), "FakeBoard");
    EXPECT_EQ(engine_->GetMotortesterName(), "FakeTester");
    EXPECT_EQ(engine_->GetVersionText(), "1 Build 2.3");
    const auto boxes = kvp::MessageBoxLog();
    ASSERT_EQ(boxes.size() - boxesBefore, static_cast<size_t>(c.boxes));
    if (c.boxes) {
      EXPECT_EQ(boxes.back().text, GetDefaultLanguageText(10058));
      EXPECT_EQ(boxes.back().caption, "Dravix Scope");
      EXPECT_EQ(boxes.back().type & 0xF0, static_cast<UINT>(MB_ICONINFORMATION));
    }
    EXPECT_FALSE(engine_->IsStartupFatal());
    // The engine-tester data object got its three pointers.
    EXPECT_NE(GetMotortesterDevice()->GetMotortester(), nullptr);
    engine_->CoreShutdown();
  }
}

TEST_F(EngineTest, LinkThatDoesNotOpenOrStart) {
  for (int slot : {2, 4}) {
    fake_->Reset();
    engine_ = std::make_unique<CMeasureEngine>();
    engine_->GetBinding().m_strModuleName = fake::kModule;
    fake_->Answer(kComm, slot, slot == 2 ? 1 : 3);
    const size_t boxesBefore = kvp::MessageBoxLog().size();
    EXPECT_EQ(engine_->OpenMeasuringDevice(0), 0);
    EXPECT_EQ(engine_->GetBoardName(), "No information");
    EXPECT_EQ(engine_->GetMotortesterName(), "No information");
    EXPECT_EQ(engine_->GetVersionText(), "No information");
    EXPECT_EQ(kvp::MessageBoxLog().size() - boxesBefore, 1u);
    EXPECT_EQ(fake_->Count(kComm, 4), slot == 2 ? 0 : 1);  // no Start after a failed Open
    // Without a device no thread starts.
    EXPECT_EQ(engine_->StartAcquisitionThread(), 0);
    engine_->CoreShutdown();
  }
}

TEST_F(EngineTest, LibraryThatCannotBeBoundIsFatal) {
  engine_->GetBinding().m_strModuleName = "NoSuchLibrary.dll";
  EXPECT_EQ(engine_->OpenMeasuringDevice(0), 0);
  EXPECT_TRUE(engine_->IsStartupFatal());
  const auto boxes = kvp::MessageBoxLog();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, GetDefaultLanguageText(10059));
  EXPECT_EQ(boxes.back().caption, "Dravix Scope");
}

// The first run's copy takes "CustomSet.dat" from the program's folder (a temporary one here) and
// spends its one chance only when a file was there to copy.
TEST_F(EngineTest, FirstRunCopiesCustomSettingsFromTheProgramsFolder) {
  const char* key = "SOFTWARE\\KELO\\KV310\\Behaviour";
  char folder[MAX_PATH] = "";
  ASSERT_TRUE(SHGetSpecialFolderPath(0, folder, CSIDL_APPDATA, TRUE));
  const std::string target = std::string(folder) + "\\NORVIK\\Dravix\\KV310\\CustomSet.dat";
  const std::string program = std::filesystem::absolute("program").string() + "/";
  std::filesystem::create_directories(program);
  auto setValue = [&](int value) {
    HKEY k = 0;
    RegCreateKeyEx(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (value < 0) {
      RegDeleteValue(k, "Copy_settings");
    } else {
      CReg().WriteDword(HKEY_CURRENT_USER, key, "Copy_settings", static_cast<DWORD>(value));
    }
    RegCloseKey(k);
  };
  auto value = [&] {
    DWORD read = 99;
    return CReg().ReadDword(HKEY_CURRENT_USER, key, "Copy_settings", read) == CReg::OK ? static_cast<int>(read) : -1;
  };
  struct Case {
    int before;  // -1: absent
    bool shipped;  // a CustomSet.dat lies in the program's folder
    int after;
    bool copied;
  } cases[] = {
      {0, true, 0, false},   {-1, true, 0, true},  {1, true, 0, true},  {5, true, 5, false},
      // Nothing to copy: the chance is kept for a later start.
      {-1, false, -1, false}, {1, false, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before) + (c.shipped ? " shipped" : " not shipped"));
    DeleteFile(target.c_str());
    std::filesystem::remove(program + "CustomSet.dat");
    if (c.shipped) std::ofstream(program + "CustomSet.dat") << "slots";
    setValue(c.before);
    CMeasureEngine::CopyCustomSettings(program.c_str());
    EXPECT_EQ(value(), c.after);
    EXPECT_EQ(GetFileAttributes(target.c_str()) != INVALID_FILE_ATTRIBUTES, c.copied);
  }

  // An existing file is not overwritten.
  std::ofstream(std::string(folder) + "/NORVIK/Dravix/KV310/CustomSet.dat") << "slots";
  std::ofstream(program + "CustomSet.dat") << "newer";
  setValue(1);
  CMeasureEngine::CopyCustomSettings(program.c_str());
  std::string text;
  std::ifstream(std::string(folder) + "/NORVIK/Dravix/KV310/CustomSet.dat") >> text;
  EXPECT_EQ(text, "slots");

  // The engine's start-up looks beside the test program, not in the current folder.
  DeleteFile(target.c_str());
  std::ofstream("CustomSet.dat") << "slots";
  setValue(1);
  {
    CMeasureEngine engine;
    engine.GetBinding().m_strModuleName = fake::kModule;
    engine.OpenMeasuringDevice(0);
  }
  EXPECT_EQ(value(), 1);
  EXPECT_EQ(GetFileAttributes(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- the settings sender -----------------------------------------------------------------------

TEST_F(EngineTest, OnlyFlaggedSettingsAreSent) {
  Open();
  struct Case {
    const char* name;
    int flags, channelFlags, timeBase;
    std::vector<int> slots;
  } cases[] = {
      {"nothing", 0, 0, 0, {}},
      {"range", 0, CHN_RANGE, 0, {11, 11}},  // sent twice with bit 0x04
      {"on", 0, CHN_ON, 0, {13, 11}},
      {"coupling", 0, CHN_COUPLING, 0, {13}},
      {"time base", 0, 0, TB_INDEX_CHANGED, {5}},
      {"source", CHG_TRIGGER_SOURCE, 0, 0, {25}},
      {"edge", CHG_TRIGGER_EDGE, 0, 0, {23}},
      {"mode", CHG_TRIGGER_MODE, 0, 0, {21}},
      {"sensitivity", CHG_TRIGGER_SENSITIVITY, 0, 0, {29}},
      {"filter", CHG_TRIGGER_FILTER, 0, 0, {27}},
      {"position", CHG_TRIGGER_POSITION, 0, 0, {17}},
      {"level", CHG_TRIGGER_LEVEL, 0, 0, {19}},
  };
  for (const Case& c : cases) {
    CMeasureProps s = ScopeSettings();
    s.m_nChangeFlags = c.flags;
    s.m_TimeBase.m_nFlags = c.timeBase;
    s.m_Channels[0].m_nChangeFlags = c.channelFlags;
    s.m_Channels[1].m_nChangeFlags = 0;
    fake_->ClearLog();
    CStringArrayEx lines;
    EXPECT_TRUE(engine_->ApplyDeviceSettings(s, lines)) << c.name;
    EXPECT_EQ(fake_->SlotsOf(kOsc), c.slots) << c.name;
  }
}

TEST_F(EngineTest, SettingsValuesSent) {
  Open();
  struct Sent {
    double position;
    int expected;
  } positions[] = {{30.0, 300}, {33.33, 333}, {0.0, 0}};
  for (const Sent& p : positions) {
    CMeasureProps s = ScopeSettings();
    s.m_nChangeFlags = CHG_TRIGGER_POSITION;
    s.m_dTriggerPosition = p.position;
    s.m_TimeBase.m_nFlags = 0;
    for (CChannelProps& c : s.m_Channels) c.m_nChangeFlags = 0;
    fake_->Answer(kOsc, 17, 12);
    CStringArrayEx lines;
    EXPECT_FALSE(engine_->ApplyDeviceSettings(s, lines));
    ASSERT_EQ(lines.GetSize(), 1);
    EXPECT_EQ(std::string(lines[0]), "Error - cannot set TRIGGER POSITION:" + std::to_string(p.expected) + " [err code:12]");
  }
  // Engine-tester measure types send neither position nor level on the engine-tester path and
  // only the position on the board path.
  for (bool engineTester : {false, true}) {
    fake_->engineTesterReady = engineTester;
    for (int type = 7; type <= 10; ++type) {
      GetMeasureType().m_nMeasureType = type;
      CMeasureProps s = ScopeSettings();
      s.m_nChangeFlags = CHG_TRIGGER_POSITION | CHG_TRIGGER_LEVEL;
      s.m_TimeBase.m_nFlags = 0;
      for (CChannelProps& c : s.m_Channels) c.m_nChangeFlags = 0;
      fake_->ClearLog();
      CStringArrayEx lines;
      EXPECT_TRUE(engine_->ApplyDeviceSettings(s, lines));
      EXPECT_EQ(fake_->SlotsOf(kOsc), engineTester ? std::vector<int>{} : std::vector<int>{17}) << type;
      EXPECT_TRUE(fake_->SlotsOf(kMTOsc).empty()) << type;
    }
  }
  // Angle mode on the board path cannot set a rate: code 28.
  fake_->engineTesterReady = false;
  GetMeasureType().m_nMeasureType = 0;
  GetMeasureType().m_nAngleMode = 1;
  CMeasureProps s = ScopeSettings();
  s.m_nChangeFlags = 0;
  for (CChannelProps& c : s.m_Channels) c.m_nChangeFlags = 0;
  CStringArrayEx lines;
  EXPECT_FALSE(engine_->ApplyDeviceSettings(s, lines));
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Error - cannot set SAMPLE RATE:50000.000000(2) [err code:28]"});
}

TEST_F(EngineTest, TriggerModeAndEdgeValues) {
  Open();
  struct Case {
    int modifier, base, expected;
  } modes[] = {{1, 0, 3}, {2, 0, 4}, {0, -1, 0}, {0, 1, 2}, {0, 0, 1}, {0, 2, 1}};
  for (const Case& c : modes) {
    CMeasureProps s = ScopeSettings();
    s.m_nChangeFlags = CHG_TRIGGER_MODE;
    s.m_nSlowRateModifier = c.modifier;
    s.m_nTriggerMode = c.base;
    fake_->Answer(kOsc, 21, 12);
    CStringArrayEx lines;
    engine_->ApplyDeviceSettings(s, lines);
    EXPECT_EQ(std::string(lines[lines.GetSize() - 1]), "Error - cannot set TRIGGER MODE:" + std::to_string(c.expected) + " [err code:12]");
  }
  for (int edge : {0, 1}) {
    CMeasureProps s = ScopeSettings();
    s.m_nChangeFlags = CHG_TRIGGER_EDGE;
    s.m_nTriggerEdge = edge;
    fake_->Answer(kOsc, 23, 12);
    CStringArrayEx lines;
    engine_->ApplyDeviceSettings(s, lines);
    EXPECT_EQ(std::string(lines[lines.GetSize() - 1]), "Error - cannot set TRIGGER EDGE:" + std::to_string(edge == 0 ? 1 : 0) + " [err code:12]");
  }
}

TEST_F(EngineTest, EveryFailureGivesItsLineAndRecovers) {
  Open();
  struct Case {
    unsigned id;
    int slot;
    const char* line;
  } cases[] = {
      {kOsc, 11, "Error Channel A - cannot set channel range:2.000000(1) [err code:12]"},
      {kOsc, 13, "Error Channel A - cannot set channel mode:1 [err code:12]"},
      {kOsc, 5, "Error - cannot set SAMPLE RATE:50000.000000(2) [err code:12]"},
      {kOsc, 25, "Error - cannot set TRIGGER SOURCE OR MODE:0 [err code:12]"},
      {kOsc, 27, "Error - cannot set TRIGGER FILTER:0 [err code:12]"},
      {kOsc, 17, "Error - cannot set TRIGGER POSITION:300 [err code:12]"},
      {kOsc, 19, "Error - cannot set TRIGGER LEVEL:0.00000 (0.00000) [0; 0] [err code:12]"},
  };
  for (int recover : {0, 7}) {
    for (const Case& c : cases) {
      CMeasureProps s = ScopeSettings();
      s.m_Channels[0].m_nChangeFlags = CHN_ON;
      s.m_Channels[1].m_nChangeFlags = 0;
      fake_->Answer(c.id, c.slot, 12);
      fake_->recoverResult = recover;
      fake_->ClearLog();
      CStringArrayEx lines;
      EXPECT_FALSE(engine_->ApplyDeviceSettings(s, lines)) << c.line;
      std::vector<std::string> want{c.line};
      if (recover) want.push_back("!!!SYSTEM ERROR!!! - ClearError:7");
      EXPECT_EQ(Lines(lines), want);
      EXPECT_EQ(fake_->Count(kComm, 6), 1) << c.line;
    }
  }
  // Without a device nothing is sent and no Recover is made.
  fake_->recoverResult = 0;
  CMeasureEngine closed;
  CMeasureProps s = ScopeSettings();
  CStringArrayEx lines;
  EXPECT_FALSE(closed.ApplyDeviceSettings(s, lines));
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Oscilloscope dll Error"});
}

TEST_F(EngineTest, StartRetriesAndRefusals) {
  Open();
  CMeasureProps s = ScopeSettings();
  // The retry flag: 10 calls in all, then cleared; without it one call.
  for (int retry : {1, 0}) {
    GetMeasureType().m_bStartRetry = retry;
    fake_->ClearLog();
    fake_->Answer(kOsc, 35, 13, 11);
    CStringArrayEx lines;
    EXPECT_EQ(engine_->StartMeasurementCmd(s, lines), 0);
    EXPECT_EQ(fake_->Count(kOsc, 35), retry ? 10 : 1);
    EXPECT_EQ(GetMeasureType().m_bStartRetry.load(), 0);
    EXPECT_EQ(Lines(lines), std::vector<std::string>{"Error - cannot START MEASUREMENT [err code:13]"});
    fake_->Reset();
  }
  // 18: silent while the recorder is fed.
  struct NoRings : IRecordRings {
    int GetRecordCount() const override { return 0; }
    CNxRoundShortIntArray* GetSampleRing(int) override { return nullptr; }
  } rings;
  for (bool fed : {true, false}) {
    if (fed) engine_->StartRecorderFeed(&rings);
    fake_->Answer(kOsc, 35, 18);
    CStringArrayEx lines;
    EXPECT_EQ(engine_->StartMeasurementCmd(s, lines), 0);
    EXPECT_EQ(lines.GetSize(), fed ? 0 : 1);
    engine_->StopRecorderFeed();
  }
  // A good start: measuring, the record length + 1 asked.
  CStringArrayEx lines;
  EXPECT_EQ(engine_->StartMeasurementCmd(s, lines), 1);
  EXPECT_TRUE(engine_->IsMeasuring());
  // Measuring already: no second start.
  fake_->ClearLog();
  EXPECT_EQ(engine_->StartMeasurementCmd(s, lines), 1);
  EXPECT_EQ(fake_->Count(kOsc, 35), 0);
}

TEST_F(EngineTest, RefusalThirtyFourOnTheThread) {
  HWND mainWnd = RecordingWindow();
  HWND testerWnd = RecordingWindow();
  engine_->SetMainWindow(mainWnd);
  engine_->SetEngineTesterWindow(testerWnd);
  RecordingScope scope;
  fake_->Answer(kOsc, 35, 34);
  const size_t boxesBefore = kvp::MessageBoxLog().size();
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return received_.size() >= 2; }))
      << received_.size() << " boxes " << kvp::MessageBoxLog().size() - boxesBefore << " starts " << fake_->Count(kOsc, 35)
      << " windows " << mainWnd << " " << testerWnd;
  const auto boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size() - boxesBefore, 1u);
  EXPECT_EQ(boxes.back().text, GetDefaultLanguageText(10097));
  EXPECT_EQ(boxes.back().type & 0xF0, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_NE(boxes.back().callerThreadId, boxes.back().shownOnThreadId);  // carried to the GUI thread
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0], (std::pair<UINT, WPARAM>{WM_KVREFUSED, 0}));
  EXPECT_EQ(received_[1], (std::pair<UINT, WPARAM>{WM_SELECTTAB, 4}));
  engine_->StopAcquisitionThread();
  EXPECT_EQ(scope.Errors(), 0u);  // no line
  DestroyWindow(mainWnd);
  DestroyWindow(testerWnd);
}

// ---- the data readers --------------------------------------------------------------------------

TEST_F(EngineTest, BoardSignalsClampedAndFlagged) {
  Open();
  fake_->partCount = 1200;  // more than a record holds: cut to 1000
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();
  CStringArrayEx lines;
  ASSERT_TRUE(ReadOnce(record, lines)) << (lines.GetSize() ? (LPCSTR)lines[0] : "");
  EXPECT_FALSE(engine_->IsMeasuring());
  for (const CSignalData& signal : record.m_Signal) {
    ASSERT_EQ(signal.GetCount(), 1000);
    EXPECT_TRUE(signal.m_bValid);
    EXPECT_EQ(signal.m_nUpperRaw, 30000);
    int upper = 0, lower = 0;
    for (int i = 0; i < 1000; ++i) {
      const int16_t raw = fake::SampleAt(static_cast<uint32_t>(i));
      const int16_t clamped = raw > 30000 ? 30000 : (raw < -30000 ? -30000 : raw);
      ASSERT_EQ(signal.m_Raw[i], clamped) << i;
      const BYTE flag = signal.m_SaturationFlags[i];
      ASSERT_EQ(flag, clamped >= 30000 ? 1 : (clamped <= -30000 ? 2 : 0)) << i;
      upper += flag == 1;
      lower += flag == 2;
      // Raw -32768..32767 onto -2..2 V.
      ASSERT_NEAR(signal.m_Values[i], (clamped + 32768.0) * 4.0 / 65535.0 - 2.0, 1e-9);
    }
    EXPECT_GT(upper, 0);
    EXPECT_GT(lower, 0);
  }
  EXPECT_EQ(record.m_bTriggered, 1);
  EXPECT_EQ(record.m_nTriggerIndex, 300);
  EXPECT_DOUBLE_EQ(record.m_Signal[0].m_dMeasuredValue, 50.0);  // the trigger channel's value
  // Untriggered: flag 0, index -1.
  fake_->triggerState = 1;
  ASSERT_TRUE(ReadOnce(record, lines));
  EXPECT_EQ(record.m_bTriggered, 0);
  EXPECT_EQ(record.m_nTriggerIndex, -1);
}

// A settings copy whose record is shorter than the samples the board reports: the reader takes
// no more than the record holds (its buffer is sized to the record).
TEST_F(EngineTest, BoardSignalsNeverExceedTheRecordLength) {
  Open();
  fake_->partCount = 1000;
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();
  record.m_Settings.m_nRecordLength = 100;
  CStringArrayEx lines;
  ASSERT_TRUE(ReadOnce(record, lines)) << (lines.GetSize() ? (LPCSTR)lines[0] : "");
  for (const CSignalData& signal : record.m_Signal) {
    ASSERT_EQ(signal.GetCount(), 100);
    for (int i = 0; i < 100; ++i) {
      const int16_t raw = fake::SampleAt(static_cast<uint32_t>(i));
      ASSERT_EQ(signal.m_Raw[i], raw > 30000 ? 30000 : (raw < -30000 ? -30000 : raw)) << i;
    }
  }
}

// Each of a signal's four arrays is sized to the samples read, whatever length the record left it
// at, and every element is written: values by the range, raw samples, point and saturation flags.
TEST_F(EngineTest, EverySampleArrayTakesTheRecordsCount) {
  struct Case {
    const char* name;
    int recordLength;
    std::function<void(CSignalData&)> before;  // what the record held before the read
  } cases[] = {
      {"an empty record", 1000, [](CSignalData&) {}},
      {"a record of the same count", 1000, [](CSignalData& s) { s.SetSize(1000); }},
      {"a longer record before", 100, [](CSignalData& s) { s.SetSize(1000); }},
      {"arrays of different lengths", 1000,
       [](CSignalData& s) {
         s.SetSize(1000);
         s.m_Raw.SetSize(2000);
         s.m_PointFlags.RemoveAll();
         s.m_SaturationFlags.SetSize(10);
       }},
  };
  Open();
  for (const Case& c : cases) {
    AcquisitionRecord record;
    record.m_Settings = ScopeSettings();
    record.m_Settings.m_nRecordLength = c.recordLength;
    for (CSignalData& signal : record.m_Signal) c.before(signal);
    CStringArrayEx lines;
    ASSERT_TRUE(ReadOnce(record, lines)) << c.name;
    for (const CSignalData& signal : record.m_Signal) {
      const int n = c.recordLength;
      ASSERT_EQ(signal.m_Values.GetSize(), n) << c.name;
      ASSERT_EQ(signal.m_Raw.GetSize(), n) << c.name;
      ASSERT_EQ(signal.m_PointFlags.GetSize(), n) << c.name;
      ASSERT_EQ(signal.m_SaturationFlags.GetSize(), n) << c.name;
      EXPECT_TRUE(signal.m_bValid) << c.name;
      for (int i = 0; i < n; ++i) {
        const int16_t raw = fake::SampleAt(static_cast<uint32_t>(i));
        const int16_t clamped = raw > 30000 ? 30000 : (raw < -30000 ? -30000 : raw);
        ASSERT_EQ(signal.m_Raw[i], clamped) << c.name << " " << i;
        ASSERT_EQ(signal.m_PointFlags[i], 1) << c.name << " " << i;
        ASSERT_EQ(signal.m_SaturationFlags[i], clamped >= 30000 ? 1 : (clamped <= -30000 ? 2 : 0)) << c.name << " " << i;
        ASSERT_NEAR(signal.m_Values[i], (clamped + 32768.0) * 4.0 / 65535.0 - 2.0, 1e-9) << c.name << " " << i;
      }
    }
  }
}

// A probe changed between two records is taken up by the next record whichever part of its
// description changed: the description and the ranges are read again and the range-changed mark
// is set. The probe described already changes nothing.
TEST_F(EngineTest, ProbeChangedBetweenRecordsIsTakenUp) {
  struct Step {
    const char* name;
    ProbeDescriptor probe;
    bool changed;
    int kind;
    const char* label;
  } steps[] = {
      {"the probe described already", fake::Probe(3), false, 3, "20V"},
      {"another kind", fake::Probe(2, 1, 50), true, 2, "50A"},
      {"the same probe again", fake::Probe(2, 1, 50), false, 2, "50A"},
      {"only the full scale differs", fake::Probe(2, 1, 500), true, 2, "500A"},
      {"the first probe back", fake::Probe(3), true, 3, "20V"},
  };
  Open();
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();  // channel A described as fake::Probe(3)
  CStringArrayEx lines;
  for (const Step& s : steps) {
    fake_->probes[0] = s.probe;
    CNxDoubleArray& ranges = record.m_Settings.m_Channels[0].m_Ranges;
    ranges.m_nChangeMark = 0;
    ASSERT_TRUE(ReadOnce(record, lines)) << s.name;
    EXPECT_EQ(ranges.m_nChangeMark, s.changed ? 1 : 0) << s.name;
    EXPECT_EQ(ranges.m_nKind, s.kind) << s.name;
    EXPECT_EQ(std::string(ranges.m_strLabel), s.label) << s.name;
    EXPECT_EQ(ranges.GetSize(), 3) << s.name;
    EXPECT_EQ(record.m_Signal[0].GetCount(), 1000) << s.name;
  }
}

TEST_F(EngineTest, ChannelOffAndFailedCalls) {
  Open();
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();
  record.m_Settings.m_Channels[1].m_nModeEnable = 0;
  CStringArrayEx lines;
  ASSERT_TRUE(ReadOnce(record, lines));
  EXPECT_EQ(record.m_Signal[0].GetCount(), 1000);
  EXPECT_EQ(record.m_Signal[1].GetCount(), 0);  // emptied

  // A failed saturation read names that call's code; the samples call's failure likewise.
  fake_->Answer(kOsc, 44, 11);
  EXPECT_FALSE(ReadOnce(record, lines));
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Error Channel A - Probe:20V - cannot READ SATURATION DATA [err code:11]"});
  record.m_Settings.m_Channels[1].m_nModeEnable = 1;
  fake_->Answer(kOsc, 39, 14);
  EXPECT_FALSE(ReadOnce(record, lines));
  // Channel B is emptied after A's line.
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Error Channel A - Probe:20V - cannot STORE DATA [err code:14]"});
  EXPECT_EQ(record.m_Signal[1].GetCount(), 0);
  for (int code : {15, 13}) {
    fake_->Answer(kOsc, 36, code);
    EXPECT_FALSE(ReadOnce(record, lines));
    EXPECT_EQ(std::string(lines[0]), code == 15 ? "Error - GET DATA [err code: ERR_DATASYNC]" : "Error - GET DATA [err code:13]");
  }
}

struct Rings : IRecordRings {
  explicit Rings(int records) : rings(records) {
    for (CNxRoundShortIntArray& r : rings) r.SetCapacity(5000);
  }
  int GetRecordCount() const override { return static_cast<int>(rings.size()); }
  CNxRoundShortIntArray* GetSampleRing(int k) override { return k < GetRecordCount() ? &rings[k] : nullptr; }
  std::vector<CNxRoundShortIntArray> rings;
};

TEST_F(EngineTest, RecorderFeed) {
  Open();
  fake_->partCount = 10;
  // Channel A off, B on: B feeds record 0, with the gap markers above 50000 S/s.
  Rings rings(1);
  engine_->StartRecorderFeed(&rings);
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();
  record.m_Settings.m_Channels[0].m_nModeEnable = 0;
  record.m_Settings.m_Channels[1].m_bInverted = 1;
  record.m_Settings.m_TimeBase.m_nSelected = 3;
  CStringArrayEx lines;
  ASSERT_TRUE(ReadOnce(record, lines));
  CNxRoundShortIntArray& ring = rings.rings[0];
  ASSERT_EQ(ring.GetCount(), 12);
  for (int i = 0; i < 10; ++i) {
    const int raw = std::max(-30000, std::min(30000, static_cast<int>(fake::SampleAt(static_cast<uint32_t>(i)))));
    EXPECT_EQ(ring.GetAt(i), -raw) << i;  // inverted
  }
  EXPECT_EQ(ring.GetAt(10), -32768);
  EXPECT_EQ(ring.GetAt(11), 32767);
  // At 50000 S/s nothing is fed; both channels on with one record: B's record is missing, skipped.
  record.m_Settings.m_TimeBase.m_nSelected = 2;
  ASSERT_TRUE(ReadOnce(record, lines));
  EXPECT_EQ(ring.GetCount(), 12);
  record.m_Settings.m_Channels[0].m_nModeEnable = 1;
  record.m_Settings.m_TimeBase.m_nSelected = 3;
  ASSERT_TRUE(ReadOnce(record, lines));
  EXPECT_EQ(ring.GetCount(), 24);  // A only
  engine_->StopRecorderFeed();
  ASSERT_TRUE(ReadOnce(record, lines));
  EXPECT_EQ(ring.GetCount(), 24);
}

TEST_F(EngineTest, ChannelInfoReadTwiceKeepsOneRateTable) {
  Open();
  CMeasureProps s;
  CStringArrayEx lines;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(engine_->ReadChannelInfo(s, lines));
    EXPECT_EQ(s.m_TimeBase.m_Rates.GetSize(), 4);
  }
  EXPECT_EQ(s.m_TimeBase.m_nSelected, 2);
  for (const CChannelProps& c : s.m_Channels) {
    EXPECT_EQ(c.m_Ranges.m_nKind, 3);
    EXPECT_EQ(c.m_Ranges.GetSize(), 3);
    EXPECT_EQ(c.m_nRangeIndex, 1);
    EXPECT_DOUBLE_EQ(c.m_Ranges.m_dScale, 1.25);
  }
  // Channel states: 0 off, 1 AC, 2 DC.
  fake_->channelState = {0, 2};
  CMeasureProps t;
  t.m_Channels[0].m_nModeEnable = 1;
  ASSERT_TRUE(engine_->ReadChannelInfo(t, lines));
  EXPECT_EQ(t.m_Channels[0].m_nModeEnable, 0);
  EXPECT_EQ(t.m_Channels[1].m_nCoupling, 1);
  // A failure of an early step ends the read after its line.
  fake_->Answer(kOsc, 6, 13);
  EXPECT_FALSE(engine_->ReadChannelInfo(t, lines));
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Cannot get number of channels [err code:13]"});
}

TEST_F(EngineTest, EngineTesterProbeRecords) {
  Open();
  fake_->engineTesterReady = true;
  // The first record with a probe is selected.
  CMeasureProps s;
  CStringArrayEx lines;
  ASSERT_TRUE(engine_->ReadChannelInfo(s, lines));
  EXPECT_EQ(s.m_Channels[0].m_Ranges.m_nKind, 11);
  EXPECT_EQ(s.m_Channels[0].m_Ranges.m_nDecimals, 8);
  EXPECT_EQ(fake_->Count(kMTOsc, 22), 1);
  // A channel without probe inputs gets the no-probe description.
  EXPECT_EQ(s.m_Channels[1].m_Ranges.m_nKind, 0);
  EXPECT_EQ(std::string(s.m_Channels[1].m_Ranges.m_strLabel), "No probe");
  // SetProbe busy (8) eleven times: ten tries, then the probe-info line.
  fake_->Answer(kMTOsc, 20, 8, 11);
  fake_->ClearLog();
  EXPECT_FALSE(engine_->ReadChannelInfo(s, lines));
  EXPECT_EQ(fake_->Count(kMTOsc, 20), 10);
  EXPECT_EQ(Lines(lines), std::vector<std::string>{"Error Channel A - cannot get probe info [err code:8]"});
}

TEST_F(EngineTest, RearmCheckWithCoilTypeOne) {
  Open();
  fake_->engineTesterReady = true;
  GetMotortesterDevice()->m_nSparkCoilType = 1;
  GetMeasureType().m_nMeasureType = 10;
  AcquisitionRecord record;
  record.m_Settings = ScopeSettings();
  ApplyProbeInfo(record.m_Settings.m_Channels[0].m_Ranges, fake::Probe(3));
  // Peaks 100, 100, 50, 50: rearm at step 1 and, the first average being larger, at step 3.
  const int16_t peaks[] = {100, 100, 50, 50, 10};
  std::vector<int> rearms;
  for (int16_t peak : peaks) {
    fake_->enginePeak = peak;
    CStringArrayEx lines;
    engine_->StartMeasurementCmd(record.m_Settings, lines);
    ASSERT_TRUE(engine_->ReadEngineCylinderSignals(record, lines)) << (lines.GetSize() ? (LPCSTR)lines[0] : "");
    rearms.push_back(fake_->Count(kMTOsc, 38));
  }
  EXPECT_EQ(rearms, (std::vector<int>{0, 1, 1, 2, 2}));
  EXPECT_EQ(engine_->GetRearmRecord().m_nStep, 5);
  EXPECT_EQ(engine_->GetCylinderCount(), 2);  // type 10
  EXPECT_EQ(record.m_Signal[0].GetCount(), 1000);
  engine_->ResetRearmCheck();
  EXPECT_EQ(engine_->GetRearmRecord().m_nStep, 0);
}

// ---- the thread --------------------------------------------------------------------------------

TEST_F(EngineTest, RunDeliversRecords) {
  RecordingScope scope;
  scope.recordsWanted = 3;
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Records() >= 3; }));
  engine_->StopAcquisitionThread();
  EXPECT_EQ(scope.Records(), 3u);  // the third answer 0 ended the run
  EXPECT_EQ(scope.Queries(), 1);
  EXPECT_EQ(scope.counts[0], 1000);
  EXPECT_EQ(scope.countsB[0], 1000);
  EXPECT_EQ(scope.triggerIndex[0], 300);
  EXPECT_EQ(scope.Errors(), 0u);
  EXPECT_FALSE(engine_->IsThreadRunning());
}

TEST_F(EngineTest, PartialRecordsAreAssembled) {
  struct Case {
    int roll, part;
    std::vector<int> counts;
  } cases[] = {{50, 20, {60}}, {0, 20, {20, 20}}};
  for (const Case& c : cases) {
    fake_->Reset();
    engine_ = std::make_unique<CMeasureEngine>();
    engine_->GetBinding().m_strModuleName = fake::kModule;
    fake_->partCount = static_cast<uint32_t>(c.part);
    fake_->triggerState = 1;
    RecordingScope scope;
    scope.settings.m_nRollSampleCount = c.roll;
    scope.recordsWanted = static_cast<int>(c.counts.size());
    OpenAndRun(scope);
    ASSERT_TRUE(WaitUntil([&] { return scope.Records() >= c.counts.size(); }));
    engine_->StopAcquisitionThread();
    EXPECT_EQ(scope.counts, c.counts) << c.roll;
    EXPECT_EQ(scope.countsB, c.counts) << c.roll;
    engine_->CoreShutdown();
  }
}

TEST_F(EngineTest, QuerySettingsRefusedLeavesTheEngineIdle) {
  RecordingScope scope;
  scope.queryAnswer = 0;
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Queries() == 1; }));
  engine_->StopAcquisitionThread();
  EXPECT_EQ(fake_->Count(kOsc, 35), 0);
  EXPECT_EQ(scope.Errors(), 0u);
  EXPECT_EQ(scope.Records(), 0u);
}

TEST_F(EngineTest, OneErrorCallbackPerWakeUp) {
  RecordingScope scope;
  fake_->Answer(kOsc, 25, 12);
  fake_->Answer(kOsc, 23, 12);
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Errors() >= 1; }));
  engine_->StopAcquisitionThread();
  ASSERT_EQ(scope.Errors(), 1u);
  EXPECT_EQ(scope.errors[0].size(), 2u);
  EXPECT_EQ(scope.statuses[0], RESULT_SETTINGS_FAILED);
  EXPECT_EQ(fake_->Count(kOsc, 35), 0);  // no start after failed settings
}

TEST_F(EngineTest, StopWhileMeasuringAbortsTheRead) {
  fake_->autoComplete = false;
  RecordingScope scope;
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return fake_->State() == kv310::kLinkPending; }));
  EXPECT_EQ(fake_->Count(kOsc, 35), 1);
  engine_->Stop();
  ASSERT_TRUE(WaitUntil([&] { return fake_->Count(kComm, 7) >= 1; }));
  ASSERT_TRUE(WaitUntil([&] { return fake_->State() == kv310::kLinkIdle; }));
  engine_->StopAcquisitionThread();
  EXPECT_EQ(scope.Records(), 0u);
  EXPECT_EQ(fake_->Count(kOsc, 36), 0);  // the data was never read
}

// The scope stopped while it took a record (and still answered "more"): no next measurement is
// started, so the board is free for whoever stopped the scope.
TEST_F(EngineTest, StopDuringTheHandOverStartsNoNextMeasurement) {
  RecordingScope scope;
  scope.recordsWanted = 1000000;
  scope.onData = [&] { engine_->Stop(); };
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Records() >= 1; }));
  engine_->StopAcquisitionThread();
  EXPECT_EQ(scope.Records(), 1u);
  EXPECT_EQ(fake_->Count(kOsc, 35), 1);
  EXPECT_EQ(scope.Errors(), 0u);
}

TEST_F(EngineTest, StopServesTheThreadsSend) {
  HWND pane = RecordingWindow();
  RecordingScope scope;
  scope.sendTo = pane;
  scope.recordsWanted = 1000000;
  OpenAndRun(scope);
  // Let the thread sit in its send to this (GUI) thread, which does not pump.
  ASSERT_TRUE(WaitUntil([&] { return !received_.empty(); }));
  const uint64_t before = kvp::ClockNowMs();
  engine_->StopAcquisitionThread();
  EXPECT_LT(kvp::ClockNowMs() - before, 5000u);
  EXPECT_FALSE(engine_->IsThreadAbandoned());
  EXPECT_FALSE(engine_->IsThreadInside());
  DestroyWindow(pane);
}

TEST_F(EngineTest, StuckLibraryIsAbandoned) {
  const std::string path = ModulePath(fake::kModule);
  RecordingScope scope;
  scope.recordsWanted = 1000000;
  fake_->Stick(kOsc, 36);
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return fake_->Count(kOsc, 36) == 1; }));
  auto stopped = std::async(std::launch::async, [&] { return engine_->StopAcquisitionThread(); });
  while (stopped.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(100);
  }
  EXPECT_TRUE(engine_->IsThreadAbandoned());
  EXPECT_FALSE(engine_->IsThreadRunning());
  const size_t records = scope.Records();
  engine_->CoreShutdown();
  FreeLibrary(module_);
  module_ = 0;
  EXPECT_TRUE(kvp::ModuleIsMappedAt(path.c_str()));  // the engine let go of it without freeing
  fake_->Release();
  ASSERT_TRUE(WaitUntil([&] { return !engine_->IsThreadInside(); }));
  EXPECT_EQ(scope.Records(), records);  // no callback after the stop
  EXPECT_EQ(scope.Errors(), 0u);
}

TEST_F(EngineTest, RunAndStopWithoutThreadAreHarmless) {
  engine_->Run(1);
  engine_->Stop();
  EXPECT_EQ(engine_->StopAcquisitionThread(), 1);
  RecordingScope scope;
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Records() == 1; }));
  engine_->StopAcquisitionThread();
  engine_->Run(1);
  engine_->Stop();
  EXPECT_EQ(engine_->StopAcquisitionThread(), 1);
  // Unloading after a failed Open leaves no link thread behind (the library ends it).
  engine_->CoreShutdown();
  engine_->CoreShutdown();  // idempotent
}

TEST_F(EngineTest, ClearCallbackDuringAcquisition) {
  RecordingScope scope;
  scope.recordsWanted = 1000000;
  OpenAndRun(scope);
  ASSERT_TRUE(WaitUntil([&] { return scope.Records() >= 5; }));
  RecordingScope other;
  engine_->ClearOscCallback(&other);  // not the registered one: nothing changes
  EXPECT_EQ(engine_->GetOscCallback(), &scope);
  engine_->ClearOscCallback(&scope);
  const size_t after = scope.Records();
  EXPECT_EQ(engine_->GetOscCallback(), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(scope.Records(), after);  // nothing reached it once cleared
  engine_->StopAcquisitionThread();
}

TEST_F(EngineTest, RunAndStopEntryPointsNotify) {
  struct Sink : ISystemNotify {
    void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
      calls.push_back({notify::ToInt(sender), notify::ToInt(code), value});
    }
    std::vector<std::vector<int>> calls;
  } sink;
  StopMeasurement();  // no sink: skipped
  SetSystemNotify(&sink);
  GetGlobalProps().m_nChangeFlags = 0;
  StartMeasurement();
  EXPECT_EQ(GetGlobalProps().m_nChangeFlags & CHG_TRIGGER_POSITION, CHG_TRIGGER_POSITION);
  EXPECT_EQ(GetGlobalProps().m_bRunning, 1);
  StopMeasurement();
  EXPECT_EQ(GetGlobalProps().m_bRunning, 0);
  EXPECT_EQ(sink.calls, (std::vector<std::vector<int>>{{5, 24, 0}, {0, 25, 0}}));
  UnregisterSystemNotify(&sink);
  CMeasureEngine engine;
  EXPECT_EQ(engine.GetMeasureTitle(), "Oscilloscope");
  engine.SetMeasureTitle("Injector");
  EXPECT_EQ(engine.GetMeasureTitle(), "Injector");
}

// ---- meter services ----------------------------------------------------------------------------

TEST_F(EngineTest, VoltmeterStatuses) {
  Open();
  EXPECT_EQ(engine_->ReadVoltmeterProbes().m_nStatus, RESULT_OK);
  MeterReading& a = engine_->GetMeterReading(0);
  EXPECT_EQ(a.GetDisplayMode(), 3);
  EXPECT_EQ(a.m_Ranges.GetSize(), 3);
  EXPECT_TRUE(a.IsNewProbe());
  EXPECT_EQ(engine_->GetMeterReading(1).GetProbeKind(), 1);  // the clamp
  struct Case {
    int code, status;
  } cases[] = {{10, RESULT_TIMEOUT}, {16, RESULT_WRONG_PROBE}, {17, RESULT_OTHER_ERROR}, {12, RESULT_OTHER_ERROR}};
  for (const Case& c : cases) {
    fake_->Answer(kv310::kVoltmeter, 10, c.code);
    fake_->ClearLog();
    const MeterResult& r = engine_->MeasureVoltage();
    EXPECT_EQ(r.m_nStatus, c.status) << c.code;
    EXPECT_EQ(fake_->Count(kComm, 6), 2) << c.code;  // before the measurement and after the failure
  }
  // A good reading: half of full scale on the 2 V range is 1 V.
  a.ClearNewProbe();
  const MeterResult& r = engine_->MeasureVoltage();
  EXPECT_EQ(r.m_nStatus, RESULT_OK);
  EXPECT_NEAR(a.m_dRawValue, 1.0, 1e-3);
  EXPECT_NEAR(a.m_dMin, a.m_dValue, 1e-12);
  EXPECT_DOUBLE_EQ(a.GetFullScaleValue(), 2.0);
  // A probe change re-reads the ranges and clears offset and min/max.
  a.m_dOffset = 0.5;
  fake_->voltReading.probe = fake::Probe(1);
  fake_->ClearLog();
  engine_->MeasureVoltage();
  EXPECT_TRUE(a.IsNewProbe());
  EXPECT_EQ(a.m_dOffset, 0.0);
  EXPECT_EQ(fake_->Count(kv310::kVoltmeter, 2), 1);
  // The RMS call with the AC flag.
  a.m_bAC = 1;
  fake_->ClearLog();
  engine_->MeasureVoltage();
  EXPECT_EQ(fake_->Count(kv310::kVoltmeter, 11), 1);
  // No probe description: status 2.
  fake_->voltReading.probe = fake::Probe(0);
  EXPECT_EQ(engine_->MeasureVoltage().m_nStatus, RESULT_NO_PROBE);
  // A failing probe read: 8.
  fake_->Answer(kv310::kVoltmeter, 0, 13);
  EXPECT_EQ(engine_->ReadVoltmeterProbes().m_nStatus, RESULT_LIBRARY_FAILED);
}

TEST_F(EngineTest, OhmmeterStatuses) {
  Open();
  EXPECT_EQ(engine_->ReadOhmmeterRanges().m_nStatus, RESULT_OK);
  EXPECT_EQ(engine_->m_nFixedRangeIndex, 2);
  COhmReading& ohm = engine_->GetOhmReading();
  EXPECT_EQ(ohm.m_Ranges.GetSize(), 3);
  // Fixed range: a value of 16 is over range, 15 is not.
  engine_->m_nOhmMode = CMeasureEngine::OHM_FIXED;
  fake_->ohmRanges = {fake::Scaled(100, 0)};
  engine_->ReadOhmmeterRanges();
  // Raw r maps onto (r + 32768) * 200 / 65535 - 100 ohms on the 100 ohm range.
  struct Over {
    double ohms;
    int over;
  } overs[] = {{16.2, 1}, {14.9, 0}};
  for (const Over& o : overs) {
    fake_->ohmReading.rangeIndex = 0;
    fake_->ohmReading.value = static_cast<int16_t>((o.ohms + 100.0) * 65535.0 / 200.0 - 32768.0);
    EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_OK);
    EXPECT_NEAR(ohm.m_dValue, o.ohms, 0.01);
    EXPECT_EQ(ohm.IsOpenCircuit(), o.over) << ohm.m_dValue;
  }
  // An invalid reading is an open circuit; another probe kind clears the offset.
  fake_->ohmReading.valid = 0;
  engine_->MeasureResistance();
  EXPECT_EQ(ohm.IsOpenCircuit(), 1);
  EXPECT_EQ(ohm.m_dValue, 0.0);
  fake_->ohmReading.valid = 1;
  ohm.m_dOffset = 3.0;
  ohm.m_Ranges.m_nChangeMark = 0;
  fake_->ohmReading.probeKind = 9;
  engine_->MeasureResistance();
  EXPECT_EQ(ohm.m_Ranges.m_nChangeMark, 1);
  EXPECT_EQ(ohm.m_dOffset, 0.0);
  struct Case {
    int code, status;
  } cases[] = {{10, RESULT_TIMEOUT}, {16, RESULT_WRONG_PROBE}, {17, RESULT_NOT_READY}, {12, RESULT_OTHER_ERROR}};
  for (const Case& c : cases) {
    fake_->Answer(kv310::kOhmmeter, 6, c.code);
    const MeterResult& r = engine_->MeasureResistance();
    EXPECT_EQ(r.m_nStatus, c.status) << c.code;
    EXPECT_EQ(r.m_nValue, c.code);
  }
  // The diode by the diode range.
  engine_->m_nOhmMode = CMeasureEngine::OHM_DIODE;
  EXPECT_EQ(engine_->ConfigureOhmmeter().m_nStatus, RESULT_OK);
  EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_OK);
  EXPECT_NEAR(ohm.m_dValue, 4260.0 * 2 * 5 / 65535 + (32768.0 * 10 / 65535 - 5), 0.01);
  // A failing range-values call leaves the table empty, the fixed index count - 1.
  fake_->Answer(kv310::kOhmmeter, 1, 13);
  fake_->ohmRanges = {fake::Scaled(1, 2), fake::Scaled(1, 3)};
  EXPECT_EQ(engine_->ReadOhmmeterRanges().m_nStatus, RESULT_OK);
  EXPECT_EQ(ohm.m_Ranges.GetSize(), 0);
  EXPECT_EQ(engine_->m_nFixedRangeIndex, 1);
  // Failures: the range count 8, a missing interface -1.
  fake_->Answer(kv310::kOhmmeter, 0, 13);
  EXPECT_EQ(engine_->ReadOhmmeterRanges().m_nStatus, RESULT_LIBRARY_FAILED);
  // With the engine tester ready only ids 9 and 10 are used.
  fake_->engineTesterReady = true;
  fake_->ClearLog();
  engine_->m_nOhmMode = CMeasureEngine::OHM_AUTO;
  engine_->ReadOhmmeterRanges();
  engine_->MeasureResistance();
  EXPECT_TRUE(fake_->SlotsOf(kv310::kOhmmeter).empty());
  EXPECT_TRUE(fake_->SlotsOf(kv310::kDiodeTest).empty());
  EXPECT_FALSE(fake_->SlotsOf(kv310::kMTOhmmeter).empty());
}

TEST_F(EngineTest, ProbeKindTable) {
  struct Case {
    int kind, unit, codeA, codeB;
    double scale;
    int decimals;
    const char* label;
  } cases[] = {
      {0, 0, 0, 0, 1.0, -1, "No probe"}, {1, 0, 20, 0, 1.0, 3, "20V"},   {3, 0, 20, 0, 1.25, 3, "20V"},
      {2, 1, 50, 0, 1.25, 3, "50A"},     {11, 0, 4, 4, 1.0, 8, "40kV"},   {14, 0, 1, 0, 1.0, 3, "SSCN"},
      {15, 0, 5, 2, 1.25, 7, "500V"},    {16, 0, 1, 0, 1.25, 3, "HV/C"}, {9, 0, 1, 0, 1.0, -1, ""},
  };
  for (const Case& c : cases) {
    CNxDoubleArray target;
    target.Add(1.0);
    ApplyProbeInfo(target, fake::Probe(c.kind, c.unit, c.codeA, c.codeB));
    EXPECT_EQ(target.GetSize(), 0);
    EXPECT_EQ(target.m_nKind, c.kind);
    EXPECT_DOUBLE_EQ(target.m_dScale, c.scale) << c.kind;
    EXPECT_EQ(target.m_nDecimals, c.decimals) << c.kind;
    EXPECT_EQ(std::string(target.m_strLabel), c.label) << c.kind;
  }
  // A current clamp's volts (amperes) per division carry its 1.25 scale.
  CMeasureProps s;
  CChannelProps& a = s.m_Channels[0];
  ApplyProbeInfo(a.m_Ranges, fake::Probe(2, 1, 50, 0));
  a.m_Ranges.Add(50.0);
  a.m_nRangeIndex = 0;
  EXPECT_DOUBLE_EQ(a.PerDivision(50.0), 5.0);
  EXPECT_EQ(std::string(s.FormatVoltsPerDiv(0)), "5A");
}

}  // namespace

namespace {

// A board that already reports the 1 ms/div rate at start-up: the trigger-position marker still
// follows the time base (30 % of a 20 ms record).
TEST_F(EngineTest, StartUpOnTheDefaultRateMovesTheTriggerMarker) {
  SetDeviceStartup(engine_.get());
  GlobalProps& props = GetGlobalProps();
  props.m_bInitialized = 0;
  ASSERT_EQ(fake_->rates[fake_->rateIndex], 50000);
  EXPECT_TRUE(RunDeviceStartup(props, 0));
  EXPECT_EQ(props.m_TimeBase.m_nSelected, 2);
  EXPECT_NEAR(props.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_dValue, 0.006, 1e-12);
  EXPECT_TRUE(engine_->IsThreadRunning());
  EXPECT_EQ(fake_->Count(kOsc, 31), 1);  // acquisition mode 1 on the board path
  SetDeviceStartup(&GetMeasureEngine());
  props.m_bInitialized = 0;
}

}  // namespace

namespace {

// The engine speed counts only when the sensor that reported it fits the measurement or the
// engine's speed-sensor type.
TEST_F(EngineTest, EngineSpeedBySensorKind) {
  Open();
  CMotortesterData* tester = GetMotortesterDevice();
  struct Case {
    int measureType, engine, sensorType, kind;
    double expected;
  } cases[] = {
      {7, 0, 0, 5, 800},  {7, 0, 0, 12, 800}, {7, 0, 0, 7, -1},  {3, 0, 0, 13, 800},
      {0, 0, 0, 5, 800},  {0, 0, 0, 13, 800}, {0, 0, 1, 7, 800}, {0, 0, 3, 10, 800}, {0, 0, 1, 5, -1},
      {0, 0, 2, 0, 800},  {0, 0, 2, 5, -1},   {0, 1, 1, 7, 800}, {0, 1, 2, 6, 800},  {0, 1, 3, 10, 800},
      {0, 1, 0, 0, 800},  {0, 1, 2, 7, -1},
  };
  for (const Case& c : cases) {
    GetMeasureType().m_nMeasureType = c.measureType;
    tester->m_nEngineType = c.engine;
    tester->m_nSparkSpeedSensorType = c.sensorType;
    tester->m_nDieselSpeedSensorType = c.sensorType;
    fake_->speed.probe.kind = c.kind;
    double value = 0;
    EXPECT_EQ(engine_->ReadEngineSpeed(value), 1);
    EXPECT_EQ(value, c.expected) << c.measureType << " " << c.engine << " " << c.sensorType << " " << c.kind;
  }
  fake_->speed.valid = 0;
  double value = 0;
  EXPECT_EQ(engine_->ReadEngineSpeed(value), 1);
  EXPECT_EQ(value, -1.0);
  fake_->Answer(kMTOsc, 53, 13);
  EXPECT_EQ(engine_->ReadEngineSpeed(value), 0);
  EXPECT_EQ(value, -1.0);
  tester->m_nEngineType = 0;
  tester->m_nSparkSpeedSensorType = 0;
  tester->m_nDieselSpeedSensorType = 0;
}

}  // namespace

namespace {

// A link that stays busy: each of the waiting loops ends at its bound with one Recover; a link
// that stays in error is reset once.
TEST_F(EngineTest, WaitLinkIdleIsBounded) {
  Open();
  fake_->autoComplete = false;
  fake_->abortResult = 9;
  CMeasureProps s = ScopeSettings();
  CStringArrayEx lines;
  ASSERT_EQ(engine_->StartMeasurementCmd(s, lines), 1);
  ASSERT_EQ(fake_->State(), kv310::kLinkPending);
  fake_->ClearLog();
  const uint64_t begin = kvp::ClockNowMs();
  auto done = std::async(std::launch::async, [&] { engine_->WaitLinkIdle(); });
  while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(10);
  }
  EXPECT_GE(kvp::ClockNowMs() - begin, 3000u);
  EXPECT_LT(kvp::ClockNowMs() - begin, 3200u);
  EXPECT_FALSE(engine_->IsMeasuring());
  EXPECT_EQ(fake_->Count(kComm, 6), 1);
  EXPECT_GT(fake_->Count(kComm, 7), 2);

  fake_->Complete();
  fake_->Fail();
  fake_->recoverResult = 7;
  fake_->ClearLog();
  engine_->WaitLinkIdle();
  EXPECT_EQ(fake_->Count(kComm, 6), 1);
  EXPECT_EQ(fake_->Count(kComm, 7), 0);
}

// A request in two halves reserves the link: the idle wait of another user waits for the release
// instead of ending the pending read, and gives up at the reservation's bound without touching
// the link; a release with a stale token releases nothing.
TEST_F(EngineTest, WaitLinkIdleWaitsForAReservationAndNeverAbortsIt) {
  struct Case {
    const char* name;
    int64_t releaseAfterMs;  // -1: never released
    uint64_t returnsAfterMs;
  };
  const Case cases[] = {
      {"released once its reply was read", 1200, 1200},
      {"still reserved at its bound", -1, 4000},
  };
  Open();
  fake_->autoComplete = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMeasureProps s = ScopeSettings();
    CStringArrayEx lines;
    const unsigned token = engine_->ReserveLink(4000);
    ASSERT_EQ(engine_->StartMeasurementCmd(s, lines), 1);  // the reserved request, pending
    ASSERT_EQ(fake_->State(), kv310::kLinkPending);
    engine_->ReleaseLink(token + 1);
    ASSERT_TRUE(engine_->IsLinkReserved()) << "a stale token releases nothing";
    fake_->ClearLog();
    const uint64_t begin = kvp::ClockNowMs();
    std::atomic<bool> released{false};
    auto done = std::async(std::launch::async, [&] { engine_->WaitLinkIdle(); });
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
      if (c.releaseAfterMs >= 0 && !released && kvp::ClockNowMs() - begin >= static_cast<uint64_t>(c.releaseAfterMs)) {
        fake_->Complete();
        engine_->ReleaseLink(token);
        released = true;
      }
      if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(10);
    }
    EXPECT_GE(kvp::ClockNowMs() - begin, c.returnsAfterMs);
    EXPECT_LT(kvp::ClockNowMs() - begin, c.returnsAfterMs + 100);
    EXPECT_EQ(fake_->Count(kComm, 7), 0) << "the pending read was not aborted";
    EXPECT_EQ(fake_->Count(kComm, 6), 0) << "nor the link reset";
    EXPECT_FALSE(engine_->IsMeasuring());
    engine_->ReleaseLink(token);
    EXPECT_FALSE(engine_->IsLinkReserved());
    fake_->Complete();
  }
}

}  // namespace
