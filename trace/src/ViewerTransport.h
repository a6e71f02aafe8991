// The one seam between Logwisp and the outside viewer "LogwispWnd".
#pragma once

#include <cstddef>
#include <cstdint>

namespace logwisp {

// Implementations must allow Send from several threads at once, also while Find runs.
class ViewerTransport {
 public:
  virtual ~ViewerTransport() = default;

  // Looks for the viewer (and connects to it); true when it is there.
  virtual bool Find() = 0;

  // Hands one line to the viewer and waits, for a bounded time, until it has taken it.
  // lenWithNul counts the line's bytes and its terminating NUL. False when the viewer is gone,
  // hung or answered nonsense; the transport then drops its connection.
  virtual bool Send(uint32_t filter, const char* line, size_t lenWithNul) = 0;
};

}  // namespace logwisp
