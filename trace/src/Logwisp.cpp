#include <trace/Logwisp.h>

#include "SocketViewerTransport.h"
#include "ViewerLink.h"

#include <platform/debug.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace {

// A formatted text keeps at most this many characters; a longer one is replaced whole.
constexpr int kMaxText = 511;
constexpr const char* kOverflowText = "CLogwisp -> nBuf < 0\n";

// Indentation beyond this many steps is cut, so that a wild tab value cannot exhaust memory.
constexpr unsigned long kMaxTabSteps = 256;

DWORD ClampTab(unsigned long tab) { return static_cast<DWORD>(std::min(tab, kMaxTabSteps)); }

std::string FormatText(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0 || needed > kMaxText) return kOverflowText;
  std::string text(static_cast<size_t>(needed), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  // The line travels as a C string: a NUL from the arguments ends it.
  text.resize(std::strlen(text.c_str()));
  return text;
}

}  // namespace

struct CLogwisp::LineSettings {
  DWORD tabSteps;
  DWORD filter;
  std::string prefix;
};

CLogwisp::CLogwisp() : CLogwisp(std::make_shared<logwisp::SocketViewerTransport>()) {}

CLogwisp::CLogwisp(std::shared_ptr<logwisp::ViewerTransport> transport)
    : m_pViewer(std::make_shared<logwisp::ViewerLink>(std::move(transport))) {}

CLogwisp::CLogwisp(const CLogwisp& other) {
  std::lock_guard<std::mutex> guard(other.m_lock);
  m_dwModuleTab = other.m_dwModuleTab;
  m_dwOneShotTab = other.m_dwOneShotTab;
  m_dwModuleFilter = other.m_dwModuleFilter;
  std::memcpy(m_szModulePrefix, other.m_szModulePrefix, sizeof(m_szModulePrefix));
  m_pViewer = other.m_pViewer;
}

CLogwisp& CLogwisp::operator=(const CLogwisp& other) {
  if (this == &other) return *this;
  std::scoped_lock guard(m_lock, other.m_lock);
  m_dwModuleTab = other.m_dwModuleTab;
  m_dwOneShotTab = other.m_dwOneShotTab;
  m_dwModuleFilter = other.m_dwModuleFilter;
  std::memcpy(m_szModulePrefix, other.m_szModulePrefix, sizeof(m_szModulePrefix));
  m_pViewer = other.m_pViewer;
  return *this;
}

CLogwisp::~CLogwisp() = default;

void CLogwisp::SetModuleTab(unsigned long tab) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_dwModuleTab = ClampTab(tab);
}

void CLogwisp::SetOneShotTab(unsigned long tab) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_dwOneShotTab = ClampTab(tab);
}

void CLogwisp::SetModuleFilter(unsigned long filter) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_dwModuleFilter = static_cast<DWORD>(filter);
}

void CLogwisp::SetModulePrefix(const char* prefix) {
  std::lock_guard<std::mutex> guard(m_lock);
  std::memset(m_szModulePrefix, 0, sizeof(m_szModulePrefix));
  if (prefix != nullptr) std::strncpy(m_szModulePrefix, prefix, kMaxPrefix);
}

// The settings one line is built with; the one-shot tab is used up by taking them.
CLogwisp::LineSettings CLogwisp::TakeLineSettings() {
  std::lock_guard<std::mutex> guard(m_lock);
  LineSettings settings{m_dwOneShotTab != 0 ? m_dwOneShotTab : m_dwModuleTab, m_dwModuleFilter, m_szModulePrefix};
  m_dwOneShotTab = 0;
  return settings;
}

void CLogwisp::TraceIt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);

  const LineSettings settings = TakeLineSettings();
  const logwisp::ViewerLink::Presence viewer = m_pViewer->LookForViewer();
  if (viewer.present) {
    std::string line(2 * static_cast<size_t>(settings.tabSteps), ' ');
    line += settings.prefix;
    line += text;
    if (m_pViewer->Send(viewer, settings.filter, line)) return;
    // The viewer failed this line: the debugger gets it instead of losing it.
  }
  OutputDebugString((settings.prefix + text).c_str());
}
