// Bit rates on a tty through termios2, which takes any rate (BOTHER). Kept apart from the
// <termios.h> users: the kernel's termios structures clash with the C library's.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kvp::serial {

bool SetTtySpeed(int fd, unsigned baud) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~CBAUD;
  t.c_cflag |= BOTHER;
  t.c_ispeed = baud;
  t.c_ospeed = baud;
  t.c_cflag &= ~(CBAUD << IBSHIFT);
  t.c_cflag |= BOTHER << IBSHIFT;
  return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace kvp::serial
