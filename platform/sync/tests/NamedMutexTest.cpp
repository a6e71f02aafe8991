// Named mutexes seen from a second process (a small helper program started with posix_spawn).
#include "SyncTestUtil.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

extern char** environ;

namespace {

using namespace synctest;

std::string ProbePath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self(buf, n > 0 ? static_cast<size_t>(n) : 0);
  return self.substr(0, self.rfind('/') + 1) + "platform_mutex_probe";
}

// A running probe: its pid, its stdin (closing it lets a holder end) and its first line.
struct Probe {
  pid_t pid = -1;
  int in = -1;
  std::string line;

  static Probe Start(const char* cmd, const std::string& name) {
    int toChild[2], fromChild[2];
    EXPECT_EQ(pipe(toChild), 0);
    EXPECT_EQ(pipe(fromChild), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&fa, fromChild[1], 1);
    posix_spawn_file_actions_addclose(&fa, toChild[1]);
    posix_spawn_file_actions_addclose(&fa, fromChild[0]);
    std::string path = ProbePath();
    char* argv[] = {path.data(), const_cast<char*>(cmd), const_cast<char*>(name.c_str()), nullptr};
    Probe p;
    EXPECT_EQ(posix_spawn(&p.pid, path.c_str(), &fa, nullptr, argv, environ), 0) << path;
    posix_spawn_file_actions_destroy(&fa);
    close(toChild[0]);
    close(fromChild[1]);
    p.in = toChild[1];
    char c;
    while (read(fromChild[0], &c, 1) == 1 && c != '\n') p.line += c;
    close(fromChild[0]);
    return p;
  }
  void Kill() { kill(pid, SIGKILL); }
  int Finish() {
    close(in);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
};

std::string RunProbe(const char* cmd, const std::string& name) {
  Probe p = Probe::Start(cmd, name);
  EXPECT_EQ(p.Finish(), 0) << cmd;
  return p.line;
}

class NamedMutex : public VirtualClockTest {};

TEST_F(NamedMutex, OtherProcessesSeeItExistAndOwnedUntilReleasedAndClosed) {
  const std::string name = "DravixScope";
  HANDLE h = CreateMutex(nullptr, TRUE, name.c_str());
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(RunProbe("create", name), "exists=1 owned=0");
  EXPECT_EQ(RunProbe("open", name), "open=1");
  ASSERT_TRUE(ReleaseMutex(h));
  EXPECT_EQ(RunProbe("create", name), "exists=1 owned=1");
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(RunProbe("open", name), "open=0 error=2");
  EXPECT_EQ(RunProbe("create", name), "exists=0 owned=1");
}

TEST_F(NamedMutex, AHolderThatDiesReleasesIt) {
  const std::string name = "holder-dies";
  Probe holder = Probe::Start("hold", name);
  ASSERT_EQ(holder.line, "exists=0 owned=1");
  HANDLE h = CreateMutex(nullptr, TRUE, name.c_str());
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT) << "creating an existing name does not take it";
  DWORD result = 0;
  std::thread waiter([&] {
    result = WaitForSingleObject(h, kLong);
    if (result == WAIT_OBJECT_0) ReleaseMutex(h);
  });
  ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
  holder.Kill();
  holder.Finish();
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);
  CloseHandle(h);
  EXPECT_EQ(RunProbe("open", name), "open=0 error=2");
}

TEST_F(NamedMutex, NamesWithinTheProcess) {
  HANDLE first = CreateMutex(nullptr, TRUE, "Local\\odd/name");
  ASSERT_NE(first, 0u);
  HANDLE second = CreateMutex(nullptr, TRUE, "Local\\odd/name");
  ASSERT_NE(second, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(first, second);
  HANDLE opened = OpenMutex(MUTEX_ALL_ACCESS, FALSE, "Local\\odd/name");
  EXPECT_NE(opened, 0u);
  // One mutex behind all three handles, owned once by this thread.
  EXPECT_TRUE(ReleaseMutex(second));
  EXPECT_FALSE(ReleaseMutex(opened));
  EXPECT_EQ(RunProbe("open", "Local\\odd/name"), "open=1");
  EXPECT_EQ(RunProbe("open", "Local_odd_name"), "open=0 error=2") << "names map to distinct files";
  SetLastError(0);
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, FALSE, "never-created"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  for (HANDLE h : {first, second, opened}) CloseHandle(h);
}

}  // namespace
