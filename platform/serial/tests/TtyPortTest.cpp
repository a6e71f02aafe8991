// The data path of a real tty, on a pseudo-terminal pair (a pty has no modem lines; those are
// tested on the virtual port).
#include "../TtySpeed.h"

#include <platform/fileio.h>
#include <platform/registry.h>
#include <platform/serial.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

// Where termios2 is refused, a standard rate still reaches the tty and any other rate fails: the
// rate a port reports is the rate it runs.
TEST(TtyPort, BitRateFallbackAppliesOrFails) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminals here";
  const int tty = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(tty, 0);
  const auto refused = [](int, unsigned) { return false; };
  struct Case {
    unsigned baud;
    bool applied;
    speed_t speed;  // what the tty then runs
  } cases[] = {{9600, true, B9600}, {57600, true, B57600}, {12345, false, B57600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    EXPECT_EQ(kvp::serial::ApplyTtySpeed(tty, c.baud, refused), c.applied);
    termios t{};
    ASSERT_EQ(tcgetattr(tty, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), c.speed);
  }
  close(tty);
  close(master);
}

TEST(TtyPort, DataPathThroughAPseudoTerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminals here";
  const std::string slave = ptsname(master);
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, kvp::kPortsKey, &key), ERROR_SUCCESS);
  RegSetValueEx(key, "COM9", 0, REG_SZ, reinterpret_cast<const BYTE*>(slave.c_str()),
                static_cast<DWORD>(slave.size() + 1));
  RegCloseKey(key);

  HANDLE port = CreateFile("\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, 0);
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.BaudRate = 115200;
  ASSERT_TRUE(SetCommState(port, &dcb));
  COMMTIMEOUTS t{20, 1, 1000, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port, &t));

  // Host to device.
  OVERLAPPED wov{};
  wov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  DWORD n = 0;
  const uint8_t out[] = {0x00, 0x05, 0xFF, 0x0A, 0x0D};
  if (!WriteFile(port, out, sizeof out, &n, &wov)) {
    ASSERT_TRUE(GetOverlappedResult(port, &wov, &n, TRUE));
  }
  EXPECT_EQ(n, sizeof out);
  uint8_t got[16] = {};
  size_t have = 0;
  while (have < sizeof out) {
    pollfd p{master, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    const ssize_t r = read(master, got + have, sizeof got - have);
    ASSERT_GT(r, 0);
    have += static_cast<size_t>(r);
  }
  EXPECT_EQ(std::vector<uint8_t>(got, got + have), std::vector<uint8_t>(out, out + sizeof out));  // raw: no CR/LF mapping

  // Device to host: the read completes by its count.
  const uint8_t in[] = {0x06, 0x02, 0x40, 0x42};
  ASSERT_EQ(write(master, in, sizeof in), static_cast<ssize_t>(sizeof in));
  OVERLAPPED rov{};
  rov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  uint8_t buf[4] = {};
  if (!ReadFile(port, buf, 4, &n, &rov)) {
    ASSERT_TRUE(GetOverlappedResult(port, &rov, &n, TRUE));
  }
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), std::vector<uint8_t>(in, in + 4));

  CloseHandle(rov.hEvent);
  CloseHandle(wov.hEvent);
  CloseHandle(port);
  close(master);
}

}  // namespace
