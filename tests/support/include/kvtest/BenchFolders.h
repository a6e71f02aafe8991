// Private folders for a benchmark program: a fresh folder under /tmp holding the registry stores
// (XDG_DATA_HOME, XDG_CONFIG_HOME), the runtime folder and HOME, so a run never writes into the
// developer's own. The folder is removed when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace kvtest {

class BenchFolders {
 public:
  // `pattern` is a mkdtemp pattern, e.g. "/tmp/bench_recorder.XXXXXX".
  explicit BenchFolders(std::string pattern) : m_root(std::move(pattern)) {
    if (!mkdtemp(m_root.data())) {
      m_root.clear();
      return;
    }
    for (const char* sub : {"/data", "/config", "/run", "/home"}) std::filesystem::create_directories(m_root + sub);
    std::filesystem::permissions(m_root + "/run", std::filesystem::perms::owner_all);
    setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_root + "/run").c_str(), 1);
    setenv("HOME", (m_root + "/home").c_str(), 1);
  }
  ~BenchFolders() {
    if (m_root.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  BenchFolders(const BenchFolders&) = delete;
  BenchFolders& operator=(const BenchFolders&) = delete;

  // False when the folder could not be made; the environment is then untouched.
  bool Ok() const { return !m_root.empty(); }
  const std::string& Root() const { return m_root; }

 private:
  std::string m_root;
};

}  // namespace kvtest
