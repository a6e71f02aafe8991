// A private Xvfb for the tests of the X11 back end. The server picks a free display number itself
// and reports it once it accepts clients (-displayfd), so tests running side by side never share
// a server. Not Ready() when Xvfb could not be started.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kvtest {

class Xvfb {
 public:
  explicit Xvfb(const char* screen = "800x600x24") {
    int fds[2];
    if (pipe(fds) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    close(fds[1]);
    pid_ = pid > 0 ? pid : 0;
    std::string number;
    char c;
    while (pid_ && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~Xvfb() {
    if (!pid_) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
  }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  bool Ready() const { return !name_.empty(); }
  // The display name (":N").
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  pid_t pid_ = 0;
};

}  // namespace kvtest
