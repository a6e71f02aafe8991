#include "ViewerLink.h"

#include "ViewerTransport.h"

#include <platform/clock.h>

#include <utility>

namespace logwisp {

ViewerLink::ViewerLink(std::shared_ptr<ViewerTransport> transport) : m_transport(std::move(transport)) {}

bool ViewerLink::ScanDue(uint64_t now) const {
  return !m_present && (!m_scanned || now - m_lastScanMs >= kScanIntervalMs);
}

ViewerLink::Presence ViewerLink::LookForViewer() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_present) return {true, m_generation};
  }
  // Absent: wait for a scan under way, then scan when one is due.
  std::lock_guard<std::mutex> scanning(m_scanLock);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    const uint64_t now = kvp::ClockNowMs();
    if (!ScanDue(now)) return {m_present, m_generation};
    m_scanned = true;
    m_lastScanMs = now;
  }
  const bool found = m_transport->Find();
  std::lock_guard<std::mutex> guard(m_lock);
  m_present = found;
  ++m_generation;
  return {found, m_generation};
}

bool ViewerLink::Send(const Presence& presence, uint32_t filter, const std::string& line) {
  if (m_transport->Send(filter, line.c_str(), line.size() + 1)) return true;
  std::lock_guard<std::mutex> guard(m_lock);
  // A scan after this send began may have found the viewer again; that finding stands.
  if (m_generation == presence.generation) {
    m_present = false;
    m_lastScanMs = kvp::ClockNowMs();
  }
  return false;
}

}  // namespace logwisp
