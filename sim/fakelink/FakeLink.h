// The in-process link: one board model, a receive queue and the data event, the way a link
// library presents the board to the measurement library. Replies are queued at once or, when
// the scenario delays them, by a delivery thread at their due time on the platform clock.
#pragma once

#include <sim/BoardModel.h>

#include <link/LinkExports.h>
#include <platform/unique.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace sim {

class FakeLink {
 public:
  FakeLink() = default;
  ~FakeLink();
  FakeLink(const FakeLink&) = delete;
  FakeLink& operator=(const FakeLink&) = delete;

  BoardModel& Board() { return board_; }

  int Init(const char* key, const char* port);
  int Deinit();
  int Write(const void* frame, int length);
  int Read(void* buffer, int length);
  HANDLE GetEvent();
  void GetHwSwInfo(HwSwInfo* out);
  int SetSerialBlocksize(int size);

 private:
  struct DueReply {
    uint64_t dueMs = 0;
    Bytes frame;  // empty: the event fires with nothing to read
  };

  void Deliver(const Bytes& frame);  // mutex_ held
  void Stop();
  void DeliveryLoop();

  BoardModel board_;
  std::mutex mutex_;
  bool started_ = false;
  kvp::UniqueHandle dataEvent_;  // auto-reset, set once per complete reply
  std::deque<uint8_t> received_;
  std::deque<DueReply> due_;
  kvp::UniqueHandle wake_;       // wakes the delivery thread
  int clockListener_ = -1;  // wakes it after every virtual clock advance
  bool quit_ = false;
  std::thread delivery_;
};

}  // namespace sim
