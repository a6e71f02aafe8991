// The drawn-text log behind platform/textlog.h.
#include <platform/textlog.h>

#include <atomic>
#include <mutex>

#include "DeviceContext.h"
#include "TextLog.h"

namespace kvp::gdi {
namespace {

struct Log {
  std::atomic<bool> on{false};
  std::mutex mu;
  std::vector<DrawnText> entries;
};

Log& TheLog() {
  static Log* log = new Log;  // never destroyed: DCs may draw during static destruction
  return *log;
}

}  // namespace

bool TextLogOn() { return TheLog().on.load(std::memory_order_relaxed); }

void LogDrawnText(const Dc& dc, const char* text, int count, const RECT& rect, UINT flags) {
  Log& log = TheLog();
  if (!log.on.load(std::memory_order_relaxed) || !text) return;
  DrawnText entry;
  entry.window = dc.window;
  entry.text = count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
  entry.rect = rect;
  entry.color = dc.st.textColor;
  entry.flags = flags;
  std::lock_guard<std::mutex> lock(log.mu);
  log.entries.push_back(std::move(entry));
}

}  // namespace kvp::gdi

namespace kvp {

void StartTextLog() {
  auto& log = gdi::TheLog();
  std::lock_guard<std::mutex> lock(log.mu);
  log.entries.clear();
  log.on = true;
}

void StopTextLog() { gdi::TheLog().on = false; }

void ClearTextLog() {
  auto& log = gdi::TheLog();
  std::lock_guard<std::mutex> lock(log.mu);
  log.entries.clear();
}

std::vector<DrawnText> DrawnTexts(HWND window) {
  auto& log = gdi::TheLog();
  std::lock_guard<std::mutex> lock(log.mu);
  if (!window) return log.entries;
  std::vector<DrawnText> out;
  for (const auto& e : log.entries)
    if (e.window == window) out.push_back(e);
  return out;
}

void SetDCWindow(HDC h, HWND window) {
  if (auto dc = gdi::LookupDc(h)) dc->window = window;
}

}  // namespace kvp
