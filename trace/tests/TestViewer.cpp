#include "TestViewer.h"

#include <chrono>
#include <cstring>
#include <stdexcept>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
uint32_t Le32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
}  // namespace

TestViewer::TestViewer(std::string path, Answer answer) : m_path(std::move(path)), m_answer(answer) {
  unlink(m_path.c_str());
  m_listenFd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (m_listenFd < 0 || m_path.size() >= sizeof(address.sun_path)) throw std::runtime_error("viewer socket");
  std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
  if (bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(m_listenFd, 16) != 0)
    throw std::runtime_error("viewer bind " + m_path);
  m_stopFd = eventfd(0, EFD_CLOEXEC);
  m_thread = std::thread([this] { Run(); });
}

TestViewer::~TestViewer() {
  const uint64_t one = 1;
  (void)!write(m_stopFd, &one, sizeof(one));
  m_thread.join();
  close(m_listenFd);
  close(m_stopFd);
  unlink(m_path.c_str());
}

void TestViewer::Run() {
  std::vector<int> clients;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    std::vector<pollfd> fds{{m_stopFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
    for (int c : clients) fds.push_back({c, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int c = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) clients.push_back(c);
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      const int c = fds[i].fd;
      if (!fds[i].revents) continue;
      const ssize_t n = recv(c, buffer.data(), buffer.size(), 0);
      if (n <= 0) {
        close(c);
        std::erase(clients, c);
        continue;
      }
      Message m;
      if (n >= 8) {
        m.filter = Le32(buffer.data());
        m.byteCount = Le32(buffer.data() + 4);
        m.bytes.assign(buffer.data() + 8, static_cast<size_t>(n) - 8);
      }
      {
        std::lock_guard<std::mutex> guard(m_lock);
        m_messages.push_back(std::move(m));
      }
      m_changed.notify_all();
      const char result[4] = {1, 0, 0, 0};
      switch (m_answer) {
        case Answer::Result: send(c, result, 4, MSG_NOSIGNAL); break;
        case Answer::ShortReply: send(c, result, 2, MSG_NOSIGNAL); break;
        case Answer::Hangup:
          close(c);
          std::erase(clients, c);
          break;
        case Answer::Never: break;
      }
    }
  }
  for (int c : clients) close(c);
}

std::vector<TestViewer::Message> TestViewer::WaitFor(size_t count) {
  std::unique_lock<std::mutex> guard(m_lock);
  m_changed.wait_for(guard, std::chrono::seconds(20), [&] { return m_messages.size() >= count; });
  return m_messages;
}

std::vector<TestViewer::Message> TestViewer::Received() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_messages;
}
