// The bridge library from a C host: each test starts bin/tests/tallyx_host (written in C, loading
// bin/Tallyx.so by path) as a process of its own and drives it line by line, while this test
// plays the other side: the installation's registry values, the program's single-instance lock,
// and the simulated board the host's Kv310 talks to through "zlinksim.dll".
#include <platform/registry.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string BinDir() {
  const char* dir = std::getenv("KV_BIN_DIR");
  return dir ? dir : "bin";
}

// ---- the host process ------------------------------------------------------------------------

class Host {
 public:
  Host() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = BinDir() + "/tests/tallyx_host";
    const std::string bridge = BinDir() + "/Tallyx.so";
    const std::string sim = BinDir() + "/zlinksim.so";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(bridge.c_str()), const_cast<char*>(sim.c_str()),
                    nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) throw std::runtime_error("spawn");
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
    started_ = ReadLine() == "ready";
  }
  ~Host() {
    if (pid_ > 0) {
      Send("quit");
      Wait();
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  bool Started() const { return started_; }
  pid_t Pid() const { return pid_; }

  // One command, its one answer line ("" when the host ended or did not answer within a minute).
  std::string Ask(const std::string& command) {
    Send(command);
    return ReadLine();
  }
  int AskInt(const std::string& command) {
    const std::string answer = Ask(command);
    return answer.empty() ? -99 : std::atoi(answer.c_str());
  }
  std::vector<double> AskNumbers(const std::string& command) {
    std::istringstream in(Ask(command));
    std::vector<double> v;
    for (double d; in >> d;) v.push_back(d);
    return v;
  }
  void Knob(const std::string& name, double value) {
    std::ostringstream command;
    command << "knob " << name << " " << value;
    ASSERT_EQ(AskInt(command.str()), 0) << name;
  }
  // The exit status once the host has ended (-1 when it ended by a signal). A host that has not
  // ended within half a minute is killed.
  int Wait() {
    int status = 0;
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      usleep(10000);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill() {
    kill(pid_, SIGKILL);
    Wait();
  }

 private:
  void Send(const std::string& command) {
    const std::string line = command + "\n";
    if (write(to_, line.data(), line.size()) < 0) return;
  }
  std::string ReadLine() {
    std::string line;
    for (;;) {
      pollfd p{from_, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) return line;
      char c;
      if (read(from_, &c, 1) != 1) return line;
      if (c == '\n') return line;
      line += c;
    }
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  bool started_ = false;
};

// ---- the installation ------------------------------------------------------------------------

void SetMachineString(const char* key, const char* name, const std::string& value) {
  HKEY k = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

void SetMachineDword(const char* key, const char* name, DWORD value) {
  HKEY k = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueEx(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(k);
}

void DeleteMachineValue(const char* key, const char* name) {
  HKEY k = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  RegDeleteValue(k, name);
  RegCloseKey(k);
}

constexpr const char* kInstallKey = "SOFTWARE\\KELO\\KV310";
constexpr const char* kLinkKey = "Software\\KELO\\Kv310";
constexpr const char* kParameterKey = "Software\\KELO\\Kv310\\Parameter";

// Whether another holder has the program's lock: a create here reports it as existing.
bool LockHeldElsewhere() {
  HANDLE h = CreateMutex(nullptr, TRUE, "DravixScope");
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (h) {
    if (!existed) ReleaseMutex(h);
    CloseHandle(h);
  }
  return existed;
}

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override {
    // The installation folder without its trailing separator: the bridge adds it.
    SetMachineString(kInstallKey, "Path", BinDir());
    SetMachineString(kLinkKey, "DLL name", "zlinksim.dll");
    // The engine tester's firmware file names the version the simulated module already runs.
    char* cwd = get_current_dir_name();
    const std::string firmware = std::string(cwd) + "/motortester.hex";
    std::free(cwd);
    std::ofstream(firmware) << ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\nVersion 1.00\n";
    SetMachineString(kParameterKey, "FirmwareMotortester", firmware);
  }

  // A host with the engine tester attached, the default probes and the engine at 3000 rpm.
  static void Attach(Host& host) {
    host.Knob("engineTester", 1);
    host.Knob("rpm", 3000);
  }
};

// ---- the exports -----------------------------------------------------------------------------

TEST(BridgeModule, ExportsExactlyTheTenFunctions) {
  const std::string command = "nm -D --defined-only " + BinDir() + "/Tallyx.so";
  FILE* nm = popen(command.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> code;
  char line[512];
  while (std::fgets(line, sizeof line, nm)) {
    char address[64], type[8], name[256];
    // Code symbols only: the linker's own markers (_edata, _end, __bss_start) are data.
    if (std::sscanf(line, "%63s %7s %255s", address, type, name) == 3 && (type[0] == 'T' || type[0] == 'W' || type[0] == 'i')) {
      code.insert(name);
    }
  }
  pclose(nm);
  const std::set<std::string> expected = {"InitKV310DLL",    "CloseKV310DLL",   "SetAllParams",        "GetAllParams",
                                          "SetAdvanceProbe", "GetProbeAdvance", "GetSpeedAndTempProbe", "GetAdvanceData",
                                          "GetSpeedAndTemp", "GetDwellAngleData"};
  EXPECT_EQ(code, expected);
}

TEST_F(Bridge, InitResults) {
  struct Case {
    const char* what;
    void (*prepare)();
    std::vector<std::pair<const char*, double>> knobs;
    int expected;
  } cases[] = {
      {"Path missing", [] { DeleteMachineValue(kInstallKey, "Path"); }, {{"engineTester", 1}}, 2},
      {"Path as a DWORD", [] { SetMachineDword(kInstallKey, "Path", 1); }, {{"engineTester", 1}}, 2},
      {"a folder without Kv310", [] { SetMachineString(kInstallKey, "Path", "/tmp/"); }, {{"engineTester", 1}}, 2},
      {"no link library", [] { SetMachineString(kLinkKey, "DLL name", "nolink.dll"); }, {{"engineTester", 1}}, 4},
      {"no engine tester", [] {}, {{"engineTester", 0}}, 3},
      {"Detect unanswered", [] {}, {{"engineTester", 1}, {"silent", 1}}, 4},
      {"ready", [] {}, {{"engineTester", 1}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.prepare();
    Host host;
    ASSERT_TRUE(host.Started());
    for (auto [name, value] : c.knobs) host.Knob(name, value);
    EXPECT_EQ(host.AskInt("init"), c.expected);
    EXPECT_EQ(host.AskInt("mapped"), c.expected == 0 ? 1 : 0);
    EXPECT_EQ(LockHeldElsewhere(), c.expected == 0);
    EXPECT_EQ(host.AskInt("close"), 0);
    EXPECT_FALSE(LockHeldElsewhere());
  }
}

TEST_F(Bridge, InitAndCloseTwiceAndAReload) {
  Host host;
  Attach(host);
  EXPECT_EQ(host.AskInt("init"), 0);
  EXPECT_EQ(host.AskInt("init"), 0);
  EXPECT_EQ(host.AskInt("mapped"), 1);
  EXPECT_EQ(host.AskInt("close"), 0);
  EXPECT_EQ(host.AskInt("mapped"), 0);
  EXPECT_FALSE(LockHeldElsewhere());
  EXPECT_EQ(host.AskInt("close"), 0);
  EXPECT_EQ(host.AskInt("init"), 0);
  EXPECT_EQ(host.AskInt("mapped"), 1);
  EXPECT_EQ(host.AskInt("close"), 0);
}

TEST_F(Bridge, AdvanceAfterSelectingTheProbe) {
  Host host;
  Attach(host);
  host.Knob("advance", 12);
  host.Knob("temperature", 85);
  ASSERT_EQ(host.AskInt("init"), 0);
  std::vector<double> r = host.AskNumbers("advance");
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0], 0);
  EXPECT_NEAR(r[1], 3000, 30);
  EXPECT_EQ(r[2], -2000.0);
  EXPECT_EQ(r[3], 85);
  EXPECT_EQ(r[4], 0);
  EXPECT_EQ(host.AskInt("advprobe 8"), 2);  // not an advance probe
  EXPECT_EQ(host.AskInt("advprobe 9"), 0);
  r = host.AskNumbers("advance");
  ASSERT_EQ(r.size(), 5u);
  EXPECT_NEAR(r[2], 12.0, 0.5);
  host.Knob("probeButton", 1);
  r = host.AskNumbers("advance");
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[4], 1);
  EXPECT_EQ(host.AskNumbers("probeadv"), (std::vector<double>{0, 1, 1, 1}));
  host.AskInt("close");
}

// The library learns the probes when a meter starts, so each case plugs its probes before Init.
// The speed sensor of the spark engine sits on input 9; the temperature meter reports a missing
// temperature sensor as a value not yet valid.
TEST_F(Bridge, MarkersByProbe) {
  struct Case {
    const char* what;
    int speedCode;        // probe code on input 9: 69 the ignition pick-up, 68 a temperature sensor
    int temperatureCode;  // on input 6: 68 the temperature sensor
    double rpm;
    int speed, temperature;
  } cases[] = {
      {"all there", 69, 68, 3000, 3000, 85},
      {"no speed sensor", 0, 68, 3000, -3000, 85},
      {"a temperature sensor on the speed input", 68, 68, 3000, -2000, 85},
      {"no temperature sensor", 69, 0, 3000, 3000, -1000},
      {"the engine stands: no speed yet", 69, 68, 0, -1000, 85},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    Attach(host);
    host.Knob("temperature", 85);
    host.Knob("probe9", c.speedCode);
    host.Knob("probe6", c.temperatureCode);
    host.Knob("rpm", c.rpm);
    ASSERT_EQ(host.AskInt("init"), 0);
    const std::vector<double> st = host.AskNumbers("speedtemp");
    ASSERT_EQ(st.size(), 3u);
    EXPECT_NEAR(st[1], c.speed, 30);
    EXPECT_EQ(st[2], c.temperature);
    host.AskInt("close");
  }
}

TEST_F(Bridge, SpeedAndTemperatureFollowTheEngine) {
  Host host;
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  for (double rpm : {900.0, 3000.0, 6000.0}) {
    for (double celsius : {20.0, 95.0}) {
      host.Knob("rpm", rpm);
      host.Knob("temperature", celsius);
      const std::vector<double> st = host.AskNumbers("speedtemp");
      ASSERT_EQ(st.size(), 3u);
      EXPECT_EQ(st[0], 0);
      EXPECT_NEAR(st[1], rpm, rpm * 0.01);
      EXPECT_EQ(st[2], celsius);
    }
  }
  host.Knob("silent", 1);
  EXPECT_EQ(host.AskNumbers("speedtemp").at(0), 2);
  host.Knob("silent", 0);
  host.AskInt("close");
}

TEST_F(Bridge, DwellAndProbes) {
  Host host;
  Attach(host);
  host.Knob("dwell", 40);
  ASSERT_EQ(host.AskInt("init"), 0);
  const std::vector<double> d = host.AskNumbers("dwell");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0], 0);
  EXPECT_NEAR(d[1], 40.0, 1.0);
  EXPECT_NEAR(d[2], 3000, 30);
  const std::vector<double> p = host.AskNumbers("stprobe");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[2], 8);
  host.AskInt("close");
}

TEST_F(Bridge, NullOutputsAndUninitialisedCallsFail) {
  Host host;
  EXPECT_EQ(host.AskNumbers("nulls"), std::vector<double>(8, 2));
  EXPECT_EQ(host.AskNumbers("getall 0").at(0), 2);
  EXPECT_EQ(host.AskNumbers("getall 0"), (std::vector<double>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(host.AskInt("setall 0 4 4 0 1 0 0 3 0 11"), 2);
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  EXPECT_EQ(host.AskNumbers("nulls"), std::vector<double>(8, 2));
  host.AskInt("close");
}

TEST_F(Bridge, DieselSetInSparkModeReadsBack) {
  Host host;
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  // The library starts in spark mode with its defaults.
  EXPECT_EQ(host.AskNumbers("getall 0"), (std::vector<double>{0, 0, 4, 4, 0, 1, 0, -9, 3, 0, 99}));
  // set cylinders stroke speed marks offset pressure sensitivity coil level
  EXPECT_EQ(host.AskInt("setall 1 6 2 3 60 -30 0 7 1 15"), 0);
  // Type 1 now; the coil type is not written for the diesel set.
  EXPECT_EQ(host.AskNumbers("getall 1"), (std::vector<double>{0, 1, 6, 2, 3, 60, -30, 0, 7, -9, 15}));
  // The spark set was left alone, and reading it reports the current type.
  EXPECT_EQ(host.AskNumbers("getall 0"), (std::vector<double>{0, 1, 4, 4, 0, 1, 0, -9, 3, 0, 99}));
  EXPECT_EQ(host.AskInt("setall 0 9 4 0 1 0 0 3 0 11"), 2);   // 9 cylinders: the library's 12
  EXPECT_EQ(host.AskInt("setall 2 4 4 0 1 0 0 3 0 11"), 2);   // no such set
  EXPECT_EQ(host.AskInt("setall 0 5 4 1 1 10 0 3 1 11"), 0);
  EXPECT_EQ(host.AskNumbers("getall 0"), (std::vector<double>{0, 0, 5, 4, 1, 1, 10, -9, 3, 1, 99}));
  host.AskInt("close");
}

// A set the library refuses part-way (it stores the fields in table order up to the refused one)
// leaves both engine sets and the engine type as the host found them.
TEST_F(Bridge, ARefusedSetChangesNothing) {
  struct Case {
    const char* name;
    const char* before;  // a set accepted first, or null
    const char* refused;
  };
  // set cylinders stroke speed marks offset pressure sensitivity coil level
  const Case cases[] = {
      {"diesel, its comparative level refused", nullptr, "setall 1 6 2 3 60 -30 0 7 1 12"},
      {"spark, its sensitivity refused", nullptr, "setall 0 6 2 0 60 -30 0 11 0 11"},
      {"spark refused while diesel is the engine type", "setall 1 5 4 2 1 0 1 3 0 11", "setall 0 6 2 0 60 -30 0 11 0 11"},
  };
  Host host;
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.before) {
      ASSERT_EQ(host.AskInt(c.before), 0);
    }
    const std::vector<double> spark = host.AskNumbers("getall 0");
    const std::vector<double> diesel = host.AskNumbers("getall 1");
    ASSERT_EQ(spark.at(0), 0);
    ASSERT_EQ(diesel.at(0), 0);
    EXPECT_EQ(host.AskInt(c.refused), 2);
    EXPECT_EQ(host.AskNumbers("getall 0"), spark);
    EXPECT_EQ(host.AskNumbers("getall 1"), diesel);
  }
  host.AskInt("close");
}

// ---- leaving without Close -------------------------------------------------------------------

TEST_F(Bridge, ExitWithoutCloseEndsWithCodeZero) {
  Host host;
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  host.Ask("exit");
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_FALSE(LockHeldElsewhere());
}

// The close sequence runs inside the host's dlclose, with the loader lock held: Kv310's link
// threads end there without ever needing that lock.
TEST_F(Bridge, UnloadingTheBridgeClosesEverything) {
  Host host;
  Attach(host);
  ASSERT_EQ(host.AskInt("init"), 0);
  EXPECT_EQ(host.Ask("unload"), "0 0");
  EXPECT_FALSE(LockHeldElsewhere());
}

// ---- across processes ------------------------------------------------------------------------

TEST_F(Bridge, TheProgramHoldingTheLockKeepsHostsOut) {
  HANDLE program = CreateMutex(nullptr, TRUE, "DravixScope");
  ASSERT_NE(program, 0u);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  {
    Host host;
    Attach(host);
    EXPECT_EQ(host.AskInt("init"), 1);
    EXPECT_EQ(host.AskInt("mapped"), 0);
  }
  ReleaseMutex(program);
  CloseHandle(program);
}

TEST_F(Bridge, AHostHoldingTheBridgeKeepsOthersOut) {
  Host first;
  Attach(first);
  ASSERT_EQ(first.AskInt("init"), 0);
  EXPECT_TRUE(LockHeldElsewhere());
  {
    Host second;
    Attach(second);
    EXPECT_EQ(second.AskInt("init"), 1);
    EXPECT_EQ(second.AskInt("mapped"), 0);
  }
  first.Kill();  // the holder dies: its lock goes with it
  Host next;
  Attach(next);
  EXPECT_EQ(next.AskInt("init"), 0);
  next.AskInt("close");
}

// Loading Kv310, failing to open the link and unloading again, many times in one process: a link
// thread that makes its first wait while Kv310 is being unloaded must not wait for the loader.
TEST_F(Bridge, RepeatedFailedOpensUnloadCleanly) {
  SetMachineString(kLinkKey, "DLL name", "nolink.dll");
  Host host;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(host.AskInt("init"), 4) << i;
  }
  EXPECT_EQ(host.AskInt("mapped"), 0);
  EXPECT_FALSE(LockHeldElsewhere());
}

}  // namespace
