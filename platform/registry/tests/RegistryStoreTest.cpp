// The stores as files: their locations, sharing between processes, damaged files.
#include <platform/registry.h>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kKey = "SOFTWARE\\KELO\\KV310";

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

LONG WriteDword(HKEY root, const std::string& key, const std::string& name, DWORD v) {
  HKEY k = 0;
  LONG r = RegCreateKey(root, key.c_str(), &k);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueEx(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  RegCloseKey(k);
  return r;
}

LONG ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD& v) {
  HKEY k = 0;
  LONG r = RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &k);
  if (r != ERROR_SUCCESS) return r;
  DWORD size = sizeof v;
  r = RegQueryValueEx(k, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(k);
  return r;
}

TEST(RegistryStoreTest, StoresLiveInTheXdgFoldersAndAreMadeByTheFirstWrite) {
  unsetenv("KV_REGISTRY_MACHINE");
  unsetenv("KV_REGISTRY_USER");
  const std::string machine = std::string(getenv("XDG_DATA_HOME")) + "/kv310/registry/machine.db";
  const std::string user = std::string(getenv("XDG_CONFIG_HOME")) + "/kv310/registry/user.db";
  for (const std::string& f : {machine, user}) unlink(f.c_str());

  DWORD v = 0;
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "SerialBlockSize", v), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists(machine));  // reading does not make a store

  ASSERT_EQ(WriteDword(HKEY_LOCAL_MACHINE, kKey, "SerialBlockSize", 64), ERROR_SUCCESS);
  ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, kKey, "Copy_settings", 0), ERROR_SUCCESS);
  EXPECT_TRUE(Exists(machine));
  EXPECT_TRUE(Exists(user));
}

TEST(RegistryStoreTest, AValueWrittenByOneProcessIsSeenByAnother) {
  setenv("KV_REGISTRY_MACHINE", "shared.machine.db", 1);
  unlink("shared.machine.db");
  ASSERT_EQ(WriteDword(HKEY_LOCAL_MACHINE, kKey, "FromParent", 1), ERROR_SUCCESS);

  // Both processes write at once into the same store; nothing is lost.
  constexpr int kWrites = 50;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DWORD v = 0;
    bool ok = ReadDword(HKEY_LOCAL_MACHINE, kKey, "FromParent", v) == ERROR_SUCCESS && v == 1;
    for (int i = 0; i < kWrites; ++i)
      ok = WriteDword(HKEY_LOCAL_MACHINE, std::string(kKey) + "\\Child", "v" + std::to_string(i), i) == ERROR_SUCCESS && ok;
    _exit(ok ? 0 : 1);
  }
  for (int i = 0; i < kWrites; ++i)
    EXPECT_EQ(WriteDword(HKEY_LOCAL_MACHINE, std::string(kKey) + "\\Parent", "v" + std::to_string(i), i), ERROR_SUCCESS);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  for (const char* side : {"\\Child", "\\Parent"}) {
    for (int i = 0; i < kWrites; ++i) {
      DWORD v = 0xFFFF;
      EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, std::string(kKey) + side, "V" + std::to_string(i), v), ERROR_SUCCESS);
      EXPECT_EQ(v, DWORD(i));
    }
  }
}

TEST(RegistryStoreTest, AProcessKilledWhileWritingLeavesAReadableStore) {
  setenv("KV_REGISTRY_MACHINE", "killed.machine.db", 1);
  for (const char* f : {"killed.machine.db", "killed.machine.db-wal", "killed.machine.db-shm"}) unlink(f);
  const std::string deep = std::string(kKey) + "\\Deep";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    for (int i = 0;; ++i) {
      WriteDword(HKEY_LOCAL_MACHINE, deep + "\\k" + std::to_string(i), "n", i);
      if (i == 20 && write(ready[1], "x", 1) != 1) _exit(1);
    }
  }
  close(ready[1]);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  kill(child, SIGKILL);  // somewhere in the middle of a write
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);

  // Everything written before the kill is there, and the store still takes writes.
  for (int i = 0; i <= 20; ++i) {
    DWORD v = 0xFFFF;
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, deep + "\\k" + std::to_string(i), "n", v), ERROR_SUCCESS);
    EXPECT_EQ(v, DWORD(i));
  }
  EXPECT_EQ(WriteDword(HKEY_LOCAL_MACHINE, kKey, "After", 1), ERROR_SUCCESS);
}

std::string ForeignDatabase() {
  const char* path = "foreign.db";
  unlink(path);
  sqlite3* db = nullptr;
  sqlite3_open(path, &db);
  sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return Slurp(path);
}

TEST(RegistryStoreTest, ADamagedStoreGivesAnErrorAndIsKeptAsItIs) {
  std::string header(100, '\x7f');
  memcpy(header.data(), "SQLite format 3", 16);
  const std::pair<const char*, std::string> cases[] = {
      {"text", "this is not a registry store, just text\n"},
      {"bad header", header + std::string(4000, '\x55')},
      {"someone else's database", ForeignDatabase()},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    const std::string path = std::string("damaged-") + what + ".db";
    std::ofstream(path, std::ios::binary) << bytes;
    setenv("KV_REGISTRY_MACHINE", path.c_str(), 1);

    DWORD v = 0;
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, "SerialBlockSize", v), ERROR_BADDB);
    EXPECT_EQ(WriteDword(HKEY_LOCAL_MACHINE, kKey, "SerialBlockSize", 64), ERROR_BADDB);
    EXPECT_EQ(Slurp(path), bytes);
  }
}

// Threads of one process share the stores and the key table (after the fork tests: no thread is
// alive when they fork).
TEST(RegistryStoreTest, ThreadsWriteAndReadAtOnce) {
  setenv("KV_REGISTRY_USER", "threads.user.db", 1);
  for (const char* f : {"threads.user.db", "threads.user.db-wal", "threads.user.db-shm"}) unlink(f);
  constexpr int kThreads = 4, kWrites = 25;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      const std::string key = std::string(kKey) + "\\T" + std::to_string(t);
      for (int i = 0; i < kWrites; ++i) {
        DWORD v = 0;
        if (WriteDword(HKEY_CURRENT_USER, key, "v" + std::to_string(i), i) != ERROR_SUCCESS ||
            ReadDword(HKEY_CURRENT_USER, key, "v" + std::to_string(i), v) != ERROR_SUCCESS || v != DWORD(i))
          ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
