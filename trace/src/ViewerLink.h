// Whether the viewer is there, shared by a CLogwisp and its copies.
//
// The library is loaded by threads that pump no messages, so instead of a timer the trace call
// itself looks for an absent viewer again, at most once per scan interval of the platform clock.
// A viewer that fails a send (gone, hung, nonsense answer) counts as absent until the next scan,
// so a hung viewer costs one bounded send per interval, not one per line.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace logwisp {

class ViewerTransport;

class ViewerLink {
 public:
  static constexpr uint64_t kScanIntervalMs = 3000;

  explicit ViewerLink(std::shared_ptr<ViewerTransport> transport);

  // What a trace call learns about the viewer before it builds its line.
  struct Presence {
    bool present = false;
    uint64_t generation = 0;  // which scan found the viewer
  };
  // Present, or absent; looks again first when absent and a scan is due.
  Presence LookForViewer();

  // Sends one line (without its NUL) to the viewer found by `presence`. On failure the viewer
  // counts as absent and the scan interval starts again.
  bool Send(const Presence& presence, uint32_t filter, const std::string& line);

 private:
  std::shared_ptr<ViewerTransport> m_transport;
  bool ScanDue(uint64_t now) const;

  // Callers that find the viewer absent wait for a scan under way, so that its result counts for
  // their lines too; a scan only connects, without blocking, so the wait is short.
  std::mutex m_scanLock;
  std::mutex m_lock;  // guards the state below; never held while finding or sending
  bool m_present = false;
  bool m_scanned = false;  // no scan yet: the first trace call scans at once
  uint64_t m_lastScanMs = 0;
  uint64_t m_generation = 0;
};

}  // namespace logwisp
