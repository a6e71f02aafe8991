// CreateFile dispatch, plain files and the overlapped contract.
#include "io/FileObject.h"
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

// A device whose reads stay pending until the test completes them.
class PendingDevice : public kvp::FileObject {
 public:
  using FileObject::FileObject;
  DWORD Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) override {
    std::lock_guard lock(mu);
    pending.push_back({ov, static_cast<char*>(buffer), size});
    return ERROR_IO_PENDING;
  }
  DWORD Cancel(OVERLAPPED* ov) override {
    std::vector<Request> ended;
    {
      std::lock_guard lock(mu);
      for (auto it = pending.begin(); it != pending.end();) {
        if (!ov || it->ov == ov) {
          ended.push_back(*it);
          it = pending.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (auto& r : ended) Complete(r.ov, ERROR_OPERATION_ABORTED, 0);
    return ended.empty() ? ERROR_NOT_FOUND : ERROR_SUCCESS;
  }
  // Delivers `text` to the oldest pending read.
  void Deliver(const char* text) {
    Request r;
    {
      std::lock_guard lock(mu);
      ASSERT_FALSE(pending.empty());
      r = pending.front();
      pending.erase(pending.begin());
    }
    const DWORD n = std::min<DWORD>(r.size, static_cast<DWORD>(strlen(text)));
    memcpy(r.buffer, text, n);
    Complete(r.ov, ERROR_SUCCESS, n);
  }
  struct Request {
    OVERLAPPED* ov;
    char* buffer;
    DWORD size;
  };
  std::mutex mu;
  std::vector<Request> pending;
};

std::shared_ptr<PendingDevice> g_device;

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::RegisterFileNamespace("\\\\.\\PENDING", [](const std::string&, DWORD, DWORD, DWORD, DWORD flags, DWORD*) {
      g_device = std::make_shared<PendingDevice>(flags);
      return g_device;
    });
  }
  void TearDown() override {
    kvp::UnregisterFileNamespace("\\\\.\\PENDING");
    g_device.reset();
  }
};

TEST_F(FileIoTest, PlainFileRoundTripAndOpenDispositions) {
  HANDLE h = CreateFile("plain.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "abcdef", 6, &n, nullptr));
  EXPECT_EQ(n, 6u);
  ASSERT_TRUE(CloseHandle(h));

  h = CreateFile("plain.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "abcdef");
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // end of file: success, 0 bytes
  EXPECT_EQ(n, 0u);
  CloseHandle(h);

  struct Case {
    const char* path;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {"plain.bin", CREATE_NEW, ERROR_FILE_EXISTS},
      {"missing.bin", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {"nofolder/missing.bin", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {"\\\\.\\NOSUCHDEVICE", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CreateFile(c.path, GENERIC_READ, 0, nullptr, c.disposition, 0, 0), INVALID_HANDLE_VALUE) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(FileIoTest, OverlappedReadPendsThenCompletesThroughEvent) {
  HANDLE h = CreateFile("\\\\.\\pending7", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  HANDLE ev = CreateEvent(nullptr, TRUE, TRUE, nullptr);  // set: the call must reset it
  OVERLAPPED ov{};
  ov.hEvent = ev;
  char buf[8] = {};
  DWORD n = 99;
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, &ov));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

  // Without an OVERLAPPED an overlapped handle refuses the call.
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  g_device->Deliver("xyz");
  EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(std::string(buf, n), "xyz");
  CloseHandle(ev);
  CloseHandle(h);
}

TEST_F(FileIoTest, CancelAndCloseAbortOutstandingRequests) {
  HANDLE h = CreateFile("\\\\.\\PENDING", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  OVERLAPPED a{}, b{};
  char buf[4];
  ReadFile(h, buf, 4, nullptr, &a);
  ReadFile(h, buf, 4, nullptr, &b);
  ASSERT_TRUE(CancelIoEx(h, &a));
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(h, &a, &n, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_FALSE(HasOverlappedIoCompleted(&b));
  EXPECT_FALSE(CancelIoEx(h, &a));  // nothing of `a` is outstanding any more
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));

  auto device = g_device;
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_TRUE(HasOverlappedIoCompleted(&b));
  EXPECT_EQ(b.Internal, static_cast<ULONG_PTR>(ERROR_OPERATION_ABORTED));
  EXPECT_FALSE(ReadFile(h, buf, 4, nullptr, &a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileIoTest, SynchronousHandleWaitsForCompletion) {
  HANDLE h = CreateFile("\\\\.\\PENDING", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  auto device = g_device;
  std::thread completer([device] {
    for (;;) {
      {
        std::lock_guard lock(device->mu);
        if (!device->pending.empty()) break;
      }
      std::this_thread::yield();
    }
    device->Deliver("hello");
  });
  char buf[8] = {};
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "hello");
  completer.join();
  CloseHandle(h);
}

}  // namespace
