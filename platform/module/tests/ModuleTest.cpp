#include <platform/module.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

const std::string kTestDir = KV_TEST_DIR;

using IntFn = int (*)();

int Call(HMODULE m, const char* name) {
  FARPROC f = GetProcAddress(m, name);
  return f ? reinterpret_cast<IntFn>(f)() : -1;
}

std::string FileName(HMODULE m) {
  char buf[MAX_PATH];
  const DWORD n = GetModuleFileName(m, buf, sizeof buf);
  return std::string(buf, n);
}

TEST(ModuleTest, DllNamesFindTheSharedObject) {
  setenv("KV_DRIVE_C", "/", 1);
  std::string windowsDir = "C:" + kTestDir;
  for (char& c : windowsDir)
    if (c == '/') c = '\\';
  struct Case {
    std::string name;
    int place;  // which copy of the probe answers
  };
  const Case cases[] = {
      {"Probe.dll", 1},                            // bare name: the caller's (program's) folder
      {"PROBE.DLL", 1},                            // the name matches without regard to case
      {"probe", 1},                                // no extension means ".dll"
      {kTestDir + "/modsub/Probe.so", 2},          // Linux path
      {windowsDir + "\\modsub\\probe.dll", 2},     // Windows path on the mapped drive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HMODULE m = LoadLibrary(c.name.c_str());
    ASSERT_NE(m, 0u);
    EXPECT_EQ(Call(m, "ProbePlace"), c.place);
    EXPECT_EQ(FileName(m), c.place == 1 ? kTestDir + "/Probe.so" : kTestDir + "/modsub/Probe.so");
    EXPECT_TRUE(FreeLibrary(m));
  }
}

TEST(ModuleTest, BareNamesSearchTheCallersFolderFirst) {
  HMODULE loader = LoadLibrary((kTestDir + "/modsub/Loader.dll").c_str());
  ASSERT_NE(loader, 0u);
  auto loadNear = reinterpret_cast<HMODULE (*)(const char*)>(reinterpret_cast<void*>(GetProcAddress(loader, "LoadNear")));
  ASSERT_NE(loadNear, nullptr);
  HMODULE near = loadNear("Probe.dll");
  HMODULE own = LoadLibrary("Probe.dll");
  EXPECT_EQ(Call(near, "ProbePlace"), 2);  // beside the loader
  EXPECT_EQ(Call(own, "ProbePlace"), 1);   // beside the program
  EXPECT_NE(near, own);
  EXPECT_EQ(GetModuleHandle("loader.dll"), loader);
  for (HMODULE m : {near, own, loader}) EXPECT_TRUE(FreeLibrary(m));
}

TEST(ModuleTest, TheLastFreeLibraryReallyUnloads) {
  const std::string path = kTestDir + "/Probe.so";
  ASSERT_FALSE(kvp::ModuleIsMappedAt(path.c_str()));
  HMODULE first = LoadLibrary("Probe.dll");
  HMODULE second = LoadLibrary("Probe.dll");
  ASSERT_NE(first, 0u);
  EXPECT_EQ(first, second);  // one module, two references
  EXPECT_EQ(Call(first, "ProbeCount"), 1);
  EXPECT_EQ(Call(first, "ProbeCount"), 2);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(kvp::ModuleIsMappedAt(path.c_str()));
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_FALSE(kvp::ModuleIsMappedAt(path.c_str()));

  // The freed handle is dead; a fresh load starts with fresh static data.
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(first, "ProbeCount"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(first));
  HMODULE again = LoadLibrary("Probe.dll");
  EXPECT_EQ(Call(again, "ProbeCount"), 1);
  EXPECT_TRUE(FreeLibrary(again));
}

// Runs `step` and reports whether it ended within the limit. A step that hangs leaves the process
// stuck in the loader, so the failure ends the process at once instead of hanging the suite.
template <class Step>
void EndsOrFailNow(Step step, const char* what) {
  std::packaged_task<void()> task(step);
  std::future<void> done = task.get_future();
  std::thread(std::move(task)).detach();
  if (done.wait_for(std::chrono::seconds(30)) == std::future_status::ready) return;
  ADD_FAILURE() << what << " did not end: a deadlock";
  std::fprintf(stderr, "%s did not end: a deadlock\n", what);
  _exit(1);
}

TEST(ModuleTest, UnloadJoinsAThreadMakingItsFirstWaits) {
  EndsOrFailNow(
      [] {
        for (int round = 0; round < 20; ++round) {
          HMODULE m = LoadLibrary("Joiner.dll");
          ASSERT_NE(m, 0u);
          ASSERT_EQ(Call(m, "StartWorker"), 1);
          ASSERT_TRUE(FreeLibrary(m));
        }
      },
      "unloading a module that joins its thread");
}

TEST(ModuleTest, FailuresReturnNullWithTheErrorCode) {
  SetLastError(0);
  EXPECT_EQ(LoadLibrary("NoSuchModule.dll"), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibrary((kTestDir + "/nowhere/Probe.dll").c_str()), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

  HMODULE m = LoadLibrary("Probe.dll");
  ASSERT_NE(m, 0u);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(m, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetModuleHandle("Probe.dll"), 0u);
}

TEST(ModuleTest, ModuleFileNameIsCutLikeWindows) {
  const std::string program = FileName(GetModuleHandle(nullptr));
  EXPECT_EQ(program, kTestDir + "/platform_module_tests");
  char small[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileName(0, small, sizeof small), DWORD(sizeof small));
  EXPECT_EQ(std::string(small), program.substr(0, 7));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
