#include "SerialPort.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kvp::serial {

SerialPort::SerialPort(DWORD flags) : FileObject(flags) {
  dcb_.DCBlength = sizeof(DCB);
  dcb_.BaudRate = CBR_9600;
  dcb_.fBinary = 1;
  dcb_.fTXContinueOnXoff = 1;
  dcb_.fDtrControl = DTR_CONTROL_DISABLE;
  dcb_.fRtsControl = RTS_CONTROL_DISABLE;
  dcb_.ByteSize = 8;
  dcb_.Parity = NOPARITY;
  dcb_.StopBits = ONESTOPBIT;
  dcb_.XonChar = 0x11;
  dcb_.XoffChar = 0x13;
}

SerialPort::~SerialPort() = default;  // subclasses stop the thread while their transport exists

void SerialPort::StopThread() {
  if (clockListener_) {
    ClockUnsubscribe(clockListener_);
    clockListener_ = 0;
  }
  stopping_ = true;
  Wake();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void SerialPort::Start() {
  thread_ = std::thread([this] { Run(); });
  // A virtual clock moved by a test wakes the thread, which then measures its time-outs again: a
  // wait that began just after an advance must not run on from the new time.
  clockListener_ = ClockSubscribe([this] { Wake(); });
}

uint64_t SerialPort::LineTimeUs(uint64_t count) const {
  // Start bit, data bits, parity bit, stop bits.
  const uint64_t bits = 1u + dcb_.ByteSize + (dcb_.Parity != NOPARITY ? 1 : 0) + (dcb_.StopBits == TWOSTOPBITS ? 2 : 1);
  return dcb_.BaudRate ? (count * bits * 1000000u + dcb_.BaudRate - 1) / dcb_.BaudRate : 0;
}

namespace {
constexpr uint64_t Us(uint64_t ms) { return ms * 1000u; }
// The first whole millisecond at or after a time in microseconds.
constexpr uint64_t CeilMs(uint64_t us) { return (us + 999u) / 1000u; }
}  // namespace

DWORD SerialPort::Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) {
  *bytes = 0;
  if (stopping_) return ERROR_OPERATION_ABORTED;
  std::vector<Completion> done;
  std::vector<Delivery> deliver;
  {
    std::lock_guard lock(mu_);
    const uint64_t now = ClockNowMs();
    // Satisfied from what is waiting: completes at once.
    if (reads_.empty()) {
      size_t ready = 0;
      while (ready < rx_.size() && rx_[ready].arrivalUs <= Us(now)) ++ready;
      if (ready >= size || ImmediateReads()) {
        const DWORD n = static_cast<DWORD>(std::min<size_t>(size, ready));
        for (DWORD i = 0; i < n; ++i) {
          static_cast<uint8_t*>(buffer)[i] = rx_.front().value;
          rx_.pop_front();
        }
        *bytes = n;
        return ERROR_SUCCESS;
      }
    }
    reads_.push_back(ReadRequest{ov, static_cast<uint8_t*>(buffer), size});
    ServiceLocked(now, done, deliver);
  }
  Finish(done, deliver);
  Wake();
  return ERROR_IO_PENDING;
}

DWORD SerialPort::Write(const void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) {
  *bytes = 0;
  if (stopping_) return ERROR_OPERATION_ABORTED;
  if (size == 0) return ERROR_SUCCESS;
  {
    std::unique_lock lock(mu_);
    if (writes_.empty() && !Paced() && TransmitsAtOnce()) {
      lock.unlock();
      Transmit(std::span(static_cast<const uint8_t*>(buffer), size), ClockNowMs());
      *bytes = size;
      return ERROR_SUCCESS;
    }
    WriteRequest w{ov, static_cast<const uint8_t*>(buffer), size};
    if (Paced()) {
      const uint64_t start = std::max(Us(ClockNowMs()), txLineFreeUs_);
      w.doneUs = start + LineTimeUs(size);
      txLineFreeUs_ = w.doneUs;
    }
    writes_.push_back(w);
  }
  Wake();
  return ERROR_IO_PENDING;
}

void SerialPort::Received(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  std::vector<Completion> done;
  std::vector<Delivery> deliver;
  {
    std::lock_guard lock(mu_);
    const uint64_t now = ClockNowMs();
    const uint64_t start = Paced() ? std::max(Us(now), rxLineFreeUs_) : Us(now);
    for (size_t i = 0; i < bytes.size(); ++i)
      rx_.push_back(RxByte{bytes[i], Paced() ? start + LineTimeUs(i + 1) : Us(now)});
    if (Paced()) rxLineFreeUs_ = start + LineTimeUs(bytes.size());
    ServiceLocked(now, done, deliver);
  }
  Finish(done, deliver);
  Wake();
}

bool SerialPort::ServiceHeadRead(uint64_t now, std::vector<Completion>& done, uint64_t& deadline) {
  ReadRequest& r = reads_.front();
  if (!r.started) {
    r.started = true;
    r.startMs = now;
  }
  const COMMTIMEOUTS& t = timeouts_;
  const bool hasTotal = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
  const uint64_t totalEnd =
      r.startMs + static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * r.size + t.ReadTotalTimeoutConstant;
  const bool hasInterval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD;

  bool ended = false;
  while (r.got < r.size && !rx_.empty()) {
    const RxByte& b = rx_.front();
    if (b.arrivalUs > Us(now)) break;
    // A byte that came after the read's time had run out belongs to the next read.
    if (hasTotal && b.arrivalUs > Us(totalEnd)) {
      ended = true;
      break;
    }
    // (Bytes that were waiting when the read started count from its start.)
    if (hasInterval && r.got > 0 && b.arrivalUs > r.lastByteUs + Us(t.ReadIntervalTimeout)) {
      ended = true;
      break;
    }
    r.buffer[r.got++] = b.value;
    r.lastByteUs = std::max(b.arrivalUs, Us(r.startMs));
    rx_.pop_front();
  }
  if (!ended) {
    ended = r.got == r.size || ImmediateReads() || (hasTotal && now >= totalEnd) ||
            (hasInterval && r.got > 0 && Us(now) > r.lastByteUs + Us(t.ReadIntervalTimeout));
  }
  if (ended) {
    done.push_back(Completion{r.ov, ERROR_SUCCESS, r.got});
    reads_.pop_front();
    return true;
  }
  if (hasTotal) deadline = std::min(deadline, totalEnd);
  if (hasInterval && r.got > 0)
    deadline = std::min(deadline, r.lastByteUs / 1000u + t.ReadIntervalTimeout + 1);
  return false;
}

DWORD SerialPort::ServiceLocked(uint64_t now, std::vector<Completion>& done, std::vector<Delivery>& deliver) {
  uint64_t deadline = UINT64_MAX;
  while (!reads_.empty() && ServiceHeadRead(now, done, deadline)) {
  }
  if (!reads_.empty()) {
    // Paced bytes still on the line wake the port when they arrive.
    for (const RxByte& b : rx_) {
      if (b.arrivalUs > Us(now)) {
        deadline = std::min(deadline, CeilMs(b.arrivalUs));
        break;
      }
    }
  }
  while (!writes_.empty()) {
    WriteRequest& w = writes_.front();
    if (Paced()) {
      if (w.doneUs > Us(now)) {
        deadline = std::min(deadline, CeilMs(w.doneUs));
        break;
      }
      deliver.push_back(Delivery{std::vector<uint8_t>(w.buffer, w.buffer + w.size), now});
      w.sent = w.size;
    } else if (TransmitsAtOnce()) {
      deliver.push_back(Delivery{std::vector<uint8_t>(w.buffer, w.buffer + w.size), now});
      w.sent = w.size;
    } else {
      w.sent += static_cast<DWORD>(Transmit(std::span(w.buffer + w.sent, w.size - w.sent), now));
      if (w.sent < w.size) break;  // the transport takes the rest when it can
    }
    done.push_back(Completion{w.ov, ERROR_SUCCESS, w.sent});
    writes_.pop_front();
  }
  if (deadline == UINT64_MAX) return INFINITE;
  return deadline <= now ? 0 : static_cast<DWORD>(std::min<uint64_t>(deadline - now, 0x7FFFFFFF));
}

void SerialPort::Finish(std::vector<Completion>& done, std::vector<Delivery>& deliver) {
  for (auto& d : deliver) Transmit(d.bytes, d.timeMs);
  for (auto& c : done) Complete(c.ov, c.error, c.bytes);
}

void SerialPort::Run() {
  while (!stopping_) {
    Poll();
    std::vector<Completion> done;
    std::vector<Delivery> deliver;
    DWORD timeout = INFINITE;
    {
      std::lock_guard lock(mu_);
      timeout = ServiceLocked(ClockNowMs(), done, deliver);
    }
    Finish(done, deliver);
    if (!done.empty() || !deliver.empty()) continue;
    WaitForWork(timeout);
  }
}

DWORD SerialPort::Cancel(OVERLAPPED* ov) {
  std::vector<Completion> done;
  {
    std::lock_guard lock(mu_);
    for (auto it = reads_.begin(); it != reads_.end();) {
      if (!ov || it->ov == ov) {
        done.push_back(Completion{it->ov, ERROR_OPERATION_ABORTED, it->got});
        it = reads_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = writes_.begin(); it != writes_.end();) {
      if (!ov || it->ov == ov) {
        done.push_back(Completion{it->ov, ERROR_OPERATION_ABORTED, it->sent});
        it = writes_.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::vector<Delivery> none;
  Finish(done, none);
  return done.empty() ? ERROR_NOT_FOUND : ERROR_SUCCESS;
}

void SerialPort::OnClose() {
  StopThread();
  Cancel(nullptr);
  CloseTransport();
  if (closeHook_) closeHook_();
}

COMMTIMEOUTS SerialPort::GetTimeouts() {
  std::lock_guard lock(mu_);
  return timeouts_;
}

void SerialPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  {
    std::lock_guard lock(mu_);
    timeouts_ = timeouts;
  }
  Wake();
}

DCB SerialPort::GetState() {
  std::lock_guard lock(mu_);
  return dcb_;
}

bool SerialPort::SetState(const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  bool dtr = false, rts = false, changed = false;
  {
    std::lock_guard lock(mu_);
    dcb_ = dcb;
    dcb_.DCBlength = sizeof(DCB);
    dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    changed = dtr != dtr_ || rts != rts_;
    dtr_ = dtr;
    rts_ = rts;
  }
  if (!ApplyConfig(dcb)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (changed && !ApplyLines(dtr, rts, ClockNowMs())) {
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  return true;
}

bool SerialPort::Escape(DWORD function) {
  bool dtr = false, rts = false;
  {
    std::lock_guard lock(mu_);
    switch (function) {
      case SETDTR: dtr_ = true; break;
      case CLRDTR: dtr_ = false; break;
      case SETRTS: rts_ = true; break;
      case CLRRTS: rts_ = false; break;
      case SETXOFF:
      case SETXON:
      case SETBREAK:
      case CLRBREAK: return true;  // flow control and break are not used on these ports
      default: SetLastError(ERROR_INVALID_PARAMETER); return false;
    }
    dtr = dtr_;
    rts = rts_;
  }
  if (!ApplyLines(dtr, rts, ClockNowMs())) {
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  return true;
}

void SerialPort::Purge(DWORD flags) {
  std::vector<Completion> done;
  const uint64_t now = ClockNowMs();
  {
    std::lock_guard lock(mu_);
    if (flags & PURGE_RXCLEAR) {
      rx_.clear();
      rxLineFreeUs_ = Us(now);
    }
    if (flags & PURGE_RXABORT) {
      for (auto& r : reads_) done.push_back(Completion{r.ov, ERROR_OPERATION_ABORTED, r.got});
      reads_.clear();
    }
    // Pending writes are the port's output buffer: clearing it ends them too.
    if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) {
      for (auto& w : writes_) done.push_back(Completion{w.ov, ERROR_OPERATION_ABORTED, w.sent});
      writes_.clear();
      txLineFreeUs_ = Us(now);
    }
  }
  std::vector<Delivery> none;
  Finish(done, none);
  PurgeTransport(flags, now);
  Wake();
}

}  // namespace kvp::serial
