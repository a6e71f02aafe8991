#include "TtyPort.h"
#include "TtySpeed.h"

#include "files/FileErrors.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kvp::serial {

std::shared_ptr<TtyPort> TtyPort::Open(const std::string& devicePath, DWORD flags, DWORD* error) {
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = files::ErrorFromErrno(errno);
    return nullptr;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    close(fd);
    *error = ERROR_GEN_FAILURE;
    return nullptr;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CRTSCTS | HUPCL | CSTOPB | PARENB | CSIZE);
  t.c_cflag |= CS8;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
  // Opening raised DTR and RTS; the port starts with both low, as its DCB says.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);  // fails on a pseudo-terminal, which has no modem lines
  const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) {
    close(fd);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  auto port = std::make_shared<TtyPort>(flags, fd, wakeFd);
  port->Start();
  return port;
}

TtyPort::TtyPort(DWORD flags, int fd, int wakeFd) : SerialPort(flags), fd_(fd), wakeFd_(wakeFd) {}

TtyPort::~TtyPort() {
  StopThread();
  CloseTransport();
}

size_t TtyPort::Transmit(std::span<const uint8_t> bytes, uint64_t) {
  if (fd_ < 0) return 0;
  const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  const size_t taken = n > 0 ? static_cast<size_t>(n) : 0;
  wantWrite_ = taken < bytes.size();
  return taken;
}

bool TtyPort::ApplyLines(bool dtr, bool rts, uint64_t) {
  int set = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
  int clear = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
  bool ok = true;
  if (set) ok = ioctl(fd_, TIOCMBIS, &set) == 0 && ok;
  if (clear) ok = ioctl(fd_, TIOCMBIC, &clear) == 0 && ok;
  return ok;
}

bool TtyPort::ApplyConfig(const DCB& dcb) {
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return false;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CLOCAL | CREAD;
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  if (dcb.Parity == ODDPARITY) t.c_cflag |= PARENB | PARODD;
  if (dcb.Parity == EVENPARITY) t.c_cflag |= PARENB;
  if (dcb.StopBits == TWOSTOPBITS) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) return false;
  return ApplyTtySpeed(fd_, dcb.BaudRate);
}

void TtyPort::PurgeTransport(DWORD flags, uint64_t) {
  if (flags & PURGE_RXCLEAR) tcflush(fd_, TCIFLUSH);
  if (flags & (PURGE_TXCLEAR | PURGE_TXABORT)) tcflush(fd_, TCOFLUSH);
}

void TtyPort::WaitForWork(DWORD timeoutMs) {
  pollfd fds[2] = {{fd_, static_cast<short>(POLLIN | (wantWrite_ ? POLLOUT : 0)), 0}, {wakeFd_, POLLIN, 0}};
  ::poll(fds, 2, timeoutMs == INFINITE ? -1 : static_cast<int>(timeoutMs));
  uint64_t drain = 0;
  if (fds[1].revents & POLLIN) (void)!::read(wakeFd_, &drain, sizeof drain);
  // A pseudo-terminal whose other side is closed reports POLLHUP at once; do not spin on it.
  if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN)) ::poll(nullptr, 0, 10);
}

void TtyPort::Wake() {
  const uint64_t one = 1;
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

void TtyPort::Poll() {
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n <= 0) break;
    Received(std::span(chunk, static_cast<size_t>(n)));
  }
}

void TtyPort::CloseTransport() {
  if (fd_ >= 0) ::close(fd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  fd_ = wakeFd_ = -1;
}

}  // namespace kvp::serial
