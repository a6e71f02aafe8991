#include "SocketViewerTransport.h"

#include <platform/files.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace logwisp {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kReplyBytes = 4;

void PutLe32(std::vector<char>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

using SteadyClock = std::chrono::steady_clock;

// Waits until the socket is ready for `events` or the deadline has passed.
bool WaitReady(int fd, short events, SteadyClock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    // Readable also covers a hang-up with a pending answer; the read decides.
    return (p.revents & (events | POLLHUP | POLLERR)) != 0;
  }
}

}  // namespace

// An open connection; closed when the last sender using it lets go.
struct SocketViewerTransport::Connection {
  explicit Connection(int fd) : fd(fd) {}
  ~Connection() { close(fd); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  const int fd;
};

SocketViewerTransport::SocketViewerTransport(std::string path, int timeoutMs)
    : m_path(std::move(path)), m_timeoutMs(timeoutMs) {}

bool SocketViewerTransport::Find() {
  const std::string path = m_path.empty() ? kvp::RuntimeDir() + "/" + kViewerName : m_path;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  // Non-blocking: a viewer whose queue of waiting connections is full does not stall the caller.
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  auto connection = std::make_shared<Connection>(fd);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return false;

  std::lock_guard<std::mutex> guard(m_lock);
  m_connection = std::move(connection);
  return true;
}

bool SocketViewerTransport::Send(uint32_t filter, const char* line, size_t lenWithNul) {
  std::shared_ptr<Connection> connection;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    connection = m_connection;
  }
  if (!connection) return false;
  if (line == nullptr || lenWithNul == 0 || lenWithNul > UINT32_MAX - kHeaderBytes) return false;

  std::vector<char> message(kHeaderBytes + lenWithNul);
  PutLe32(message, 0, filter);
  PutLe32(message, 4, static_cast<uint32_t>(lenWithNul));
  std::memcpy(message.data() + kHeaderBytes, line, lenWithNul - 1);
  message.back() = '\0';

  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(m_timeoutMs);
  const int fd = connection->fd;
  bool sent = false;
  while (!sent) {
    const ssize_t n = send(fd, message.data(), message.size(), MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(message.size())) {
      sent = true;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitReady(fd, POLLOUT, deadline)) {
      continue;
    } else {
      Drop(connection);
      return false;
    }
  }

  // Each sender takes one answer. With several senders on the connection an answer may belong
  // to another sender's line; every answer stands for "handled", so that does not matter.
  for (;;) {
    unsigned char reply[kReplyBytes];
    const ssize_t n = recv(fd, reply, sizeof(reply), MSG_TRUNC);
    if (n == static_cast<ssize_t>(kReplyBytes)) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitReady(fd, POLLIN, deadline)) continue;
    // Closed (0), an answer of the wrong size, an error, or no answer in time.
    Drop(connection);
    return false;
  }
}

void SocketViewerTransport::Drop(const std::shared_ptr<Connection>& failed) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_connection == failed) m_connection.reset();
}

}  // namespace logwisp
