#include <platform/module.h>
#include <platform/sync.h>

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

// ---- thread notices -----------------------------------------------------------------------------

using NoticesOfFn = int (*)(DWORD);
using HoldFn = void (*)(int);

template <class Proc>
Proc Export(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct NoticeModule {
  HMODULE module = LoadLibrary("Notice.dll");
  NoticesOfFn noticesOf = Export<NoticesOfFn>(module, "NoticesOf");
  HoldFn hold = Export<HoldFn>(module, "HoldDetach");
  IntFn held = Export<IntFn>(module, "DetachHeld");
};

struct Started {
  NoticesOfFn noticesOf = nullptr;
  HANDLE go = 0;  // the thread waits for it before it ends (0: it ends at once)
  int seenAtStart = -1;
  bool exitThread = false;
};

DWORD WINAPI Body(LPVOID param) {
  auto* s = static_cast<Started*>(param);
  s->seenAtStart = s->noticesOf(GetCurrentThreadId());
  if (s->go) WaitForSingleObject(s->go, INFINITE);
  if (s->exitThread) ExitThread(0);
  return 0;
}

// Every thread the platform starts tells the modules with a DllMain that it attaches, before its
// start routine, and that it detaches, before its handle is signalled; a thread started before
// the module was loaded tells only its end, and threads the platform did not start tell nothing.
TEST(ModuleTest, PlatformThreadsTellTheirStartAndEndToModulesWithDllMain) {
  // Running (past its start) before the module is loaded.
  struct Early {
    HANDLE running = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  } before;
  DWORD earlyId = 0;
  HANDLE early = CreateThread(
      nullptr, 0,
      [](LPVOID param) -> DWORD {
        auto* e = static_cast<Early*>(param);
        SetEvent(e->running);
        WaitForSingleObject(e->go, INFINITE);
        return 0;
      },
      &before, 0, &earlyId);
  ASSERT_EQ(WaitForSingleObject(before.running, 10000), WAIT_OBJECT_0);
  NoticeModule notice;
  ASSERT_NE(notice.noticesOf, nullptr);

  struct Case {
    const char* name;
    bool exitThread;
  } cases[] = {{"returns", false}, {"ExitThread", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Started started;
    started.noticesOf = notice.noticesOf;
    started.exitThread = c.exitThread;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Body, &started, 0, &id);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(started.seenAtStart, DLL_THREAD_ATTACH);
    EXPECT_EQ(notice.noticesOf(id), DLL_THREAD_ATTACH * 10 + DLL_THREAD_DETACH);
  }

  SetEvent(before.go);
  ASSERT_EQ(WaitForSingleObject(early, 10000), WAIT_OBJECT_0);
  CloseHandle(early);
  CloseHandle(before.go);
  CloseHandle(before.running);
  EXPECT_EQ(notice.noticesOf(earlyId), DLL_THREAD_DETACH);

  DWORD plainId = 0;
  std::thread([&] { plainId = GetCurrentThreadId(); }).join();
  EXPECT_EQ(notice.noticesOf(plainId), 0);
  EXPECT_TRUE(FreeLibrary(notice.module));
}

// A module freed while a thread's end notice runs in its DllMain: the FreeLibrary does not wait
// for the notice, the module stays loaded until the notice has returned and is unloaded then.
TEST(ModuleTest, AModuleFreedDuringANoticeIsUnloadedOnceItReturns) {
  const std::string path = kTestDir + "/Notice.so";
  NoticeModule notice;
  ASSERT_NE(notice.hold, nullptr);
  notice.hold(1);
  Started started;
  started.noticesOf = notice.noticesOf;
  HANDLE thread = CreateThread(nullptr, 0, Body, &started, 0, nullptr);
  for (int i = 0; i < 10000 && !notice.held(); ++i) usleep(1000);
  ASSERT_TRUE(notice.held());
  EXPECT_TRUE(FreeLibrary(notice.module));
  EXPECT_TRUE(kvp::ModuleIsMappedAt(path.c_str()));
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  notice.hold(0);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  bool unloaded = false;
  for (int i = 0; i < 10000 && !unloaded; ++i) {
    unloaded = !kvp::ModuleIsMappedAt(path.c_str());
    if (!unloaded) usleep(1000);
  }
  EXPECT_TRUE(unloaded);
}

// A module that joins its thread while it is unloaded (under the dynamic loader's lock), with a
// module loaded that is told of that thread's end: the notice needs no lock the unload holds.
TEST(ModuleTest, UnloadJoinsAThreadWhoseEndIsNoticed) {
  NoticeModule notice;
  ASSERT_NE(notice.module, 0u);
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
  EXPECT_TRUE(FreeLibrary(notice.module));
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
