// Setting a tty's bit rate. termios2 takes any rate; where it is refused, a standard rate is set
// through termios; a rate that neither takes fails, so a port never reports a rate it does not run.
#pragma once

#include <termios.h>

namespace kvp::serial {

// Any rate through termios2 (TtySpeed.cpp, kept apart from <termios.h>).
bool SetTtySpeed(int fd, unsigned baud);

inline bool ApplyTtySpeed(int fd, unsigned baud, bool (*anyRate)(int fd, unsigned baud) = SetTtySpeed) {
  if (anyRate(fd, baud)) return true;
  termios t{};
  return tcgetattr(fd, &t) == 0 && cfsetspeed(&t, baud) == 0 && tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace kvp::serial
