// The whole serial path: the measurement library Kv310 loads ZLINKSER by its "DLL name", starts
// the link over the virtual COM port to the serial board, reads the board's identity and has its
// requests answered.
#include "SerialTestSupport.h"

#include <kv310/Kv310.h>
#include <link/LinkBinding.h>

#include <platform/module.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace serialtest;
using S = sim::SerialBoardState;

constexpr const char* kMeasurementKey = "Software\\KELO\\Kv310";

void SetDllName(const char* name) {
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, kMeasurementKey, &k);
  RegSetValueEx(k, "DLL name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), static_cast<DWORD>(strlen(name) + 1));
  RegCloseKey(k);
}

class Kv310Library {
 public:
  Kv310Library() {
    const char* bin = std::getenv("KV_BIN_DIR");
    module_ = LoadLibrary((std::string(bin ? bin : ".") + "/Kv310.dll").c_str());
    query_ = kvlink::BindExport<Kv310QueryInterfaceProc>(module_, "QueryInterface");
  }
  ~Kv310Library() {
    if (module_) FreeLibrary(module_);
  }
  template <class T>
  T* Get(unsigned id) {
    void* p = nullptr;
    return query_ && query_(id, &p) ? static_cast<T*>(p) : nullptr;
  }

 private:
  HMODULE module_ = 0;
  Kv310QueryInterfaceProc query_ = nullptr;
};

TEST(Kv310OverSerial, StartsAndAnswers) {
  struct Case {
    const char* name;
    bool flashHasApp;
    std::map<std::string, uint32_t> dwords;
    bool loaded;
  } cases[] = {
      {"equal firmware", true, {}, false},
      {"empty flash", false, {}, true},
      {"empty flash into flash", false, {{"UseFlash", 1}}, true},
      {"ReloadFirmware", true, {{"ReloadFirmware", 1}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RigOptions options;
    options.key = kMeasurementKey;
    options.board.flashHasApp = c.flashHasApp;
    options.board.eraseMs = 400;
    options.dwords = c.dwords;
    SerialRig rig(options);
    SetDllName("ZLINKSER.dll");

    Kv310Library kv310;
    auto* comm = kv310.Get<ICommunication_1>(kv310::kCommunication);
    auto* info = kv310.Get<IInfo_0>(kv310::kInfo);
    ASSERT_NE(comm, nullptr);
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(comm->Open(), 0);
    ASSERT_EQ(comm->Start(), 0) << ::testing::PrintToString(rig.trace.Lines());
    EXPECT_EQ(comm->GetState(), kv310::kLinkIdle);
    const auto history = rig.board->StateHistory();
    EXPECT_EQ(std::find(history.begin(), history.end(), S::Stage3) != history.end(), c.loaded);
    EXPECT_STREQ(info->GetBoardName(), "Measurement board KV310 version 3.10 (K310)");
    // A request through the block protocol, answered by the board model.
    const size_t before = rig.model.CountRequests(0x02);
    uint8_t hardware = 0;
    EXPECT_EQ(info->GetBoardStatus(&hardware), 0);
    EXPECT_EQ(rig.model.CountRequests(0x02), before + 1);
    EXPECT_EQ(rig.board->BlockSize(), 64);
    comm->Stop();
    comm->Close();
  }
}

}  // namespace
