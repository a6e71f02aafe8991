// Entry point of every test program. Under CTest each test already runs in its own folders
// (HOME, XDG_*, the working folder); a test program started by hand gets fresh folders of its
// own, so no test ever writes into the developer's registry stores, runtime folder, home or
// checkout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/'));
}

void IsolateWhenStartedByHand() {
  if (std::getenv("KV_BIN_DIR")) return;  // started by CTest, already isolated
  char root[] = "/tmp/kvtest-XXXXXX";
  if (!mkdtemp(root)) return;
  const std::string base = root;
  for (const char* sub : {"/home", "/data", "/config", "/run"}) mkdir((base + sub).c_str(), 0700);
  setenv("HOME", (base + "/home").c_str(), 1);
  setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (base + "/run").c_str(), 1);
  unsetenv("KV_REGISTRY_MACHINE");
  unsetenv("KV_REGISTRY_USER");
  // Test programs live in bin/tests; the modules they load sit one folder up.
  const std::string folder = ExecutableFolder();
  setenv("KV_BIN_DIR", folder.substr(0, folder.rfind('/')).c_str(), 1);
  // Tests write their scratch files into the current folder, as they do under CTest.
  if (chdir(root) != 0) std::perror("chdir");
  std::fprintf(stderr, "test folders: %s\n", root);
}

}  // namespace

int main(int argc, char** argv) {
  IsolateWhenStartedByHand();
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
