// The window server's wire: encoding, bounded decoding and the rule of which messages cross.
#include "window/DesktopWire.h"

#include <platform/controls.h>
#include <platform/window.h>

#include <cstring>

namespace kvp::desktop::wire {
namespace {

class Writer {
 public:
  template <class T>
  void Put(T v) {
    bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  void PutString(const std::string& s, size_t limit) {
    const size_t n = s.size() < limit ? s.size() : limit;
    Put(static_cast<uint32_t>(n));
    bytes.append(s, 0, n);
  }
  std::string bytes;
};

class Reader {
 public:
  explicit Reader(const std::string& b) : bytes_(b) {}
  template <class T>
  bool Get(T* v) {
    if (sizeof(T) > bytes_.size() - at_) return false;
    memcpy(v, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  bool GetString(std::string* s, uint32_t limit) {
    uint32_t n = 0;
    if (!Get(&n) || n > limit || n > bytes_.size() - at_) return false;
    s->assign(bytes_, at_, n);
    at_ += n;
    return true;
  }
  size_t Left() const { return bytes_.size() - at_; }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

// Messages below WM_USER whose parameters are numbers (or handles, which are numbers here): they
// may cross as they are. WM_TIMER only without a procedure address in lParam.
bool CarriesNumbers(uint32_t msg, uint64_t lParam) {
  switch (msg) {
    case WM_NULL:
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_GETTEXTLENGTH:
    case WM_CLOSE:
    case WM_QUIT:
    case WM_SHOWWINDOW:
    case WM_ACTIVATEAPP:
    case WM_CANCELMODE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CAPTURECHANGED:
    case BM_GETCHECK:
    case BM_SETCHECK:
    case BM_GETSTATE:
    case BM_SETSTATE:
    case BM_CLICK:
      return true;
    case WM_TIMER: return lParam == 0;
    default: return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
  }
}

}  // namespace

Carriage CarriageOf(uint32_t msg, uint64_t wParam, uint64_t lParam, bool post) {
  (void)wParam;
  if (msg >= WM_USER) return Carriage::Numbers;  // the program's own messages: its own contract
  if (CarriesNumbers(msg, lParam)) return Carriage::Numbers;
  if (post) return Carriage::Refused;  // data must outlive a posted message: never by address
  switch (msg) {
    case WM_SETTEXT: return Carriage::SetText;
    case WM_GETTEXT: return Carriage::GetText;
    case WM_COPYDATA: return Carriage::CopyData;
    default: return Carriage::Refused;
  }
}

std::string EncodeRequest(const Request& request) {
  Writer w;
  w.Put(static_cast<uint32_t>(request.op));
  w.Put(request.hwnd);
  w.Put(request.msg);
  w.Put(request.wParam);
  w.Put(request.lParam);
  w.Put(request.timeoutMs);
  w.PutString(request.data, kMaxFrame);
  return w.bytes;
}

bool DecodeRequest(const std::string& payload, Request* request) {
  Reader r(payload);
  uint32_t op = 0;
  if (!r.Get(&op) || op < static_cast<uint32_t>(Op::List) || op > static_cast<uint32_t>(Op::Send)) return false;
  request->op = static_cast<Op>(op);
  if (!r.Get(&request->hwnd) || !r.Get(&request->msg) || !r.Get(&request->wParam) || !r.Get(&request->lParam) ||
      !r.Get(&request->timeoutMs) || !r.GetString(&request->data, kMaxFrame) || r.Left() != 0) {
    return false;
  }
  // Only a send carries data, and a text no more than a window text.
  if (request->op != Op::Send && !request->data.empty()) return false;
  if (request->op == Op::Send && request->msg == WM_SETTEXT && request->data.size() > kMaxText) return false;
  return true;
}

std::string EncodeAnswer(const Answer& answer) {
  Writer w;
  w.Put(answer.ok);
  w.Put(answer.result);
  w.Put(answer.error);
  w.PutString(answer.data, kMaxText);
  return w.bytes;
}

bool DecodeAnswer(const std::string& payload, Answer* answer) {
  Reader r(payload);
  return r.Get(&answer->ok) && r.Get(&answer->result) && r.Get(&answer->error) &&
         r.GetString(&answer->data, kMaxText) && r.Left() == 0;
}

std::string EncodeList(const std::vector<WindowRecord>& windows) {
  Writer w;
  const size_t n = windows.size() < kMaxWindows ? windows.size() : kMaxWindows;
  w.Put(static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    const WindowRecord& rec = windows[i];
    w.Put(rec.hwnd);
    w.Put(rec.threadId);
    w.Put(rec.flags);
    w.PutString(rec.cls, kMaxClassName);
    w.PutString(rec.title, kMaxText);
  }
  return w.bytes;
}

bool DecodeList(const std::string& payload, std::vector<WindowRecord>* windows) {
  Reader r(payload);
  uint32_t n = 0;
  constexpr size_t kSmallestRecord = 5 * sizeof(uint32_t);
  if (!r.Get(&n) || n > kMaxWindows || n > r.Left() / kSmallestRecord) return false;
  windows->clear();
  windows->reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    WindowRecord rec;
    if (!r.Get(&rec.hwnd) || !r.Get(&rec.threadId) || !r.Get(&rec.flags) || !r.GetString(&rec.cls, kMaxClassName) ||
        !r.GetString(&rec.title, kMaxText)) {
      return false;
    }
    windows->push_back(std::move(rec));
  }
  return r.Left() == 0;
}

std::string Frame(const std::string& payload) {
  Writer w;
  w.Put(static_cast<uint32_t>(payload.size()));
  w.bytes += payload;
  return w.bytes;
}

}  // namespace kvp::desktop::wire
