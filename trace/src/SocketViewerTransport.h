// The viewer "LogwispWnd" reached through a Unix-domain SOCK_SEQPACKET socket in the per-user
// runtime folder.
//
// One message per line: uint32 LE filter, uint32 LE byte count, then the bytes with their NUL.
// The viewer answers each message with a 4-byte LE result, which keeps the "send and wait until
// the viewer has handled it" meaning of the window message it stands for. Sending and waiting
// together are bounded by a time-out so that a hung viewer cannot stall the tracing thread.
#pragma once

#include "ViewerTransport.h"

#include <memory>
#include <mutex>
#include <string>

namespace logwisp {

class SocketViewerTransport : public ViewerTransport {
 public:
  static constexpr const char* kViewerName = "LogwispWnd";
  static constexpr int kDefaultTimeoutMs = 1000;

  // An empty path means <runtime folder>/LogwispWnd, resolved when the viewer is looked for.
  explicit SocketViewerTransport(std::string path = {}, int timeoutMs = kDefaultTimeoutMs);

  bool Find() override;
  bool Send(uint32_t filter, const char* line, size_t lenWithNul) override;

 private:
  struct Connection;
  void Drop(const std::shared_ptr<Connection>& failed);

  const std::string m_path;
  const int m_timeoutMs;
  std::mutex m_lock;  // guards m_connection only; never held while connecting or sending
  std::shared_ptr<Connection> m_connection;
};

}  // namespace logwisp
