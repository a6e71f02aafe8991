// Fixtures shared by the trace tests: a capture of the debugger output, an in-memory viewer, and
// the virtual clock that drives the viewer rescans.
#pragma once

#include "ViewerTransport.h"

#include <platform/clock.h>
#include <platform/debug.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Collects every line written to the debugger output while it lives.
class DebugCapture {
 public:
  DebugCapture() {
    m_previous = kvp::SetDebugSink([this](const std::string& text) {
      std::lock_guard<std::mutex> guard(m_lock);
      m_lines.push_back(text);
    });
  }
  ~DebugCapture() { kvp::SetDebugSink(m_previous); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
  }

 private:
  kvp::DebugSink m_previous;
  std::mutex m_lock;
  std::vector<std::string> m_lines;
};

// Keeps the process on the virtual clock while it lives.
struct VirtualClock {
  VirtualClock() { kvp::ClockUseVirtual(true); }
  ~VirtualClock() { kvp::ClockUseVirtual(false); }
};

// A viewer in memory: present or not, answering or hung, recording each line it takes.
class RecordingTransport : public logwisp::ViewerTransport {
 public:
  struct Record {
    uint32_t filter;
    std::string line;  // without the NUL
    bool countMatches;  // lenWithNul was the line's length plus its NUL
  };

  std::atomic<bool> viewerThere{true};
  std::atomic<bool> answers{true};
  std::atomic<int> finds{0};
  std::atomic<int> sends{0};

  bool Find() override {
    ++finds;
    // A real scan takes a moment (a connect): give other tracing threads the chance to meet it.
    for (int i = 0; i < 50; ++i) std::this_thread::yield();
    return viewerThere;
  }
  bool Send(uint32_t filter, const char* line, size_t lenWithNul) override {
    ++sends;
    if (!answers) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_records.push_back({filter, line, lenWithNul == std::strlen(line) + 1});
    return true;
  }
  std::vector<Record> Records() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_records;
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const Record& r : Records()) lines.push_back(r.line);
    return lines;
  }

 private:
  std::mutex m_lock;
  std::vector<Record> m_records;
};
