// A peer program of the cross-process window tests (platform_desktop_peer) run as a child: started
// through a pipe that carries its "ready <pid>" line, stopped and continued by signal, waited for.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kvtest {

class PeerProcess {
 public:
  // Arguments as desktop_peer takes them: MODE [TITLE] [COUNT].
  explicit PeerProcess(const std::string& args) {
    const char* bin = getenv("KV_BIN_DIR");
    const std::string cmd = std::string(bin ? bin : "bin") + "/tests/platform_desktop_peer " + args;
    pipe_ = popen(cmd.c_str(), "r");
    char line[64] = {};
    if (pipe_ && fgets(line, sizeof line, pipe_)) sscanf(line, "ready %d", &pid_);
  }
  ~PeerProcess() {
    if (pipe_ && pid_ > 0) {
      kill(pid_, SIGCONT);
      kill(pid_, SIGKILL);
    }
    Finish();
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  int pid() const { return pid_; }
  void Stop() const { kill(pid_, SIGSTOP); }
  void Continue() const { kill(pid_, SIGCONT); }
  // Whether it still runs (not ended, not a zombie).
  bool Alive() const {
    if (pid_ <= 0) return false;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", pid_);
    FILE* f = fopen(path, "r");
    if (!f) return false;
    char buffer[256] = {};
    const size_t n = fread(buffer, 1, sizeof buffer - 1, f);
    fclose(f);
    const std::string stat(buffer, n);
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
  }
  // Its thread count (0 when unknown).
  int Threads() const {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", pid_);
    FILE* f = fopen(path, "r");
    if (!f) return 0;
    int threads = 0;
    char line[256];
    while (fgets(line, sizeof line, f)) {
      if (sscanf(line, "Threads: %d", &threads) == 1) break;
    }
    fclose(f);
    return threads;
  }
  // Waits for the peer to end; its exit status.
  int Finish() {
    if (!pipe_) return status_;
    status_ = pclose(pipe_);
    pipe_ = nullptr;
    return status_;
  }

 private:
  FILE* pipe_ = nullptr;
  int pid_ = 0;
  int status_ = -1;
};

}  // namespace kvtest
