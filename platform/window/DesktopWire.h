// The wire of the per-process window server (window/Desktop.cpp): the requests another process
// sends, the answers it gets, and which messages may cross at all. Everything read from the wire
// is bounded and checked here, so a malformed frame is refused before any of it is used.
//
// A frame is a 4-byte length (at most kMaxFrame) and that many payload bytes; numbers are
// little-endian. A connection carries one request frame and one answer frame.
//   request: op u32, window u32, message u32, wParam u64, lParam u64, time-out ms u32, data (u32 length, bytes)
//   answer:  ok u32, result i64, error u32, data (u32 length, bytes)
//   list:    count u32, then per window: window u32, thread u32, flags u32, class and title (u32 length, bytes)
#pragma once

#include <platform/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvp::desktop::wire {

constexpr uint32_t kMaxFrame = 1u << 20;  // payload bytes of one frame
constexpr uint32_t kMaxText = 32768;      // window text carried by WM_SETTEXT and WM_GETTEXT, and a title
constexpr uint32_t kMaxClassName = 256;
constexpr uint32_t kMaxWindows = 4096;    // windows in one list

enum class Op : uint32_t { List = 1, Show, Foreground, Post, Send };

struct Request {
  Op op = Op::List;
  uint32_t hwnd = 0;
  uint32_t msg = 0;
  uint64_t wParam = 0;
  uint64_t lParam = 0;
  uint32_t timeoutMs = 0;
  std::string data;  // WM_SETTEXT: the text; WM_COPYDATA: the bytes (dwData travels in lParam)
};

struct Answer {
  uint32_t ok = 0;
  int64_t result = 0;
  uint32_t error = 0;  // the receiver's GetLastError when ok is 0
  std::string data;    // WM_GETTEXT: the text
};

struct WindowRecord {
  uint32_t hwnd = 0;
  uint32_t threadId = 0;
  uint32_t flags = 0;  // 1 visible, 2 iconic
  std::string cls, title;
};

// How a message crosses to another process. Below WM_USER the system's messages carry pointers
// in many places: only those known to carry numbers pass as numbers; WM_SETTEXT, WM_GETTEXT and
// WM_COPYDATA are sent by value (never posted); every other one is refused.
enum class Carriage { Numbers, SetText, GetText, CopyData, Refused };
Carriage CarriageOf(uint32_t msg, uint64_t wParam, uint64_t lParam, bool post);

// Payloads (without the length word). Decoders return false for anything malformed: a short
// payload, bytes left over, an unknown op, a count or length beyond its bound.
std::string EncodeRequest(const Request& request);
bool DecodeRequest(const std::string& payload, Request* request);
std::string EncodeAnswer(const Answer& answer);
bool DecodeAnswer(const std::string& payload, Answer* answer);
std::string EncodeList(const std::vector<WindowRecord>& windows);
bool DecodeList(const std::string& payload, std::vector<WindowRecord>* windows);

// The length word and the payload.
std::string Frame(const std::string& payload);

}  // namespace kvp::desktop::wire
