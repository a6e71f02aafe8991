// A stand-in for the outside viewer "LogwispWnd": a thread that listens on the viewer's socket,
// records every message and answers as told.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestViewer {
 public:
  enum class Answer {
    Result,      // the 4-byte result, as a working viewer does
    Never,       // takes the message and never answers (a hung viewer)
    ShortReply,  // a 2-byte answer
    Hangup,      // closes the connection instead of answering
  };

  struct Message {
    uint32_t filter = 0;
    uint32_t byteCount = 0;  // as the header says
    std::string bytes;       // what followed the header, NUL included
  };

  explicit TestViewer(std::string path, Answer answer = Answer::Result);
  ~TestViewer();
  TestViewer(const TestViewer&) = delete;
  TestViewer& operator=(const TestViewer&) = delete;

  // Waits until at least `count` messages have come (a generous safety limit keeps a broken
  // build from hanging) and returns all received so far.
  std::vector<Message> WaitFor(size_t count);
  std::vector<Message> Received();

 private:
  void Run();

  const std::string m_path;
  const Answer m_answer;
  int m_listenFd = -1;
  int m_stopFd = -1;
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<Message> m_messages;
  std::thread m_thread;
};
