// The link worker against raw reply bytes that the board model never sends: trailing bytes, a
// busy reply too short to say whether it may be aborted, a write that does not take the frame.
#include "ComPort.h"
#include "Library.h"
#include "LinkTestSupport.h"
#include "fixtures/ScriptedLink.h"

#include <gtest/gtest.h>
#include <link/LinkBinding.h>

#include <platform/clock.h>
#include <platform/module.h>
#include <vector>

namespace kv310::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class ScriptedLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::ClockUseVirtual(true);
    SetLinkLibrary("scriptedlink.dll");
    m_module = LoadLibrary("scriptedlink.dll");
    ASSERT_NE(m_module, 0u);
    auto control = kvlink::BindExport<ScriptedLinkControlProc>(m_module, "ScriptedLinkControlOf");
    ASSERT_NE(control, nullptr);
    m_script = control();
    m_script->Reset();
    Script({0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02});  // the block size at start
    m_link = std::make_unique<CComPort>();
    ASSERT_EQ(m_link->Start(), kStateIdle);
    std::lock_guard<std::mutex> hold(m_script->lock);
    m_script->written.clear();
  }

  void TearDown() override {
    m_link.reset();
    FreeLibrary(m_module);
    kvp::ClockUseVirtual(false);
  }

  void Script(Bytes reply) {
    std::lock_guard<std::mutex> hold(m_script->lock);
    m_script->replies.push_back(std::move(reply));
  }

  std::vector<Bytes> Written() {
    std::lock_guard<std::mutex> hold(m_script->lock);
    return m_script->written;
  }

  int Exchange(const Bytes& payload, Bytes* reply) {
    if (m_link->Send(payload.data(), static_cast<int>(payload.size()), 0) == 0) return -1;
    m_link->WaitIdle();
    reply->assign(64, 0);
    reply->resize(static_cast<size_t>(m_link->Receive(reply->data(), 64, 0)));
    return m_link->GetState();
  }

  HMODULE m_module = 0;
  ScriptedLinkControl* m_script = nullptr;
  std::unique_ptr<CComPort> m_link;
};

TEST_F(ScriptedLinkTest, A4096BytePayloadGoesOutAsA4101ByteFrame) {
  Script({0x01, 0x00, 0x00, 0x00, 0x33, 0x02});
  Bytes payload(4096, 0x33);
  Bytes reply;
  EXPECT_EQ(Exchange(payload, &reply), kStateIdle);
  const auto written = Written();
  ASSERT_EQ(written.size(), 1u);
  ASSERT_EQ(written[0].size(), 4101u);
  EXPECT_EQ((Bytes(written[0].begin(), written[0].begin() + 4)), (Bytes{0x01, 0x00, 0xFF, 0x0F}));
  EXPECT_EQ(written[0].back(), 0x02);
}

TEST_F(ScriptedLinkTest, RepliesAreCheckedByStartEndAndDeclaredLength) {
  struct Case {
    const char* what;
    Bytes received;
    int state;
    int linkError;
    Bytes payload;
  } cases[] = {
      {"well formed", {0x01, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02}, kStateIdle, 0, {0xC1, 0x00}},
      {"trailing bytes, last one 02", {0x01, 0x07, 0x01, 0x00, 0xC1, 0x00, 0x02, 0x44, 0x02}, kStateIdle, 0, {0xC1, 0x00}},
      {"trailing bytes, last one not 02", {0x01, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02, 0x44}, kStateError, kErrorFormat, {}},
      {"declared length too large", {0x01, 0x00, 0x03, 0x00, 0xC1, 0x00, 0x02}, kStateError, kErrorFormat, {}},
      {"bad start", {0x7E, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02}, kStateError, kErrorFormat, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Script(c.received);
    Bytes reply;
    EXPECT_EQ(Exchange({0xC1, 0x00}, &reply), c.state);
    EXPECT_EQ(m_link->GetLastError(), c.linkError);
    EXPECT_EQ(reply, c.payload);
    if (c.state == kStateError) {
      Script({0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02});
      ASSERT_EQ(m_link->Recover(), kStateIdle);
    }
  }
}

TEST_F(ScriptedLinkTest, BusyReplyWithoutItsAbortByteCannotBeAborted) {
  Script({0x01, 0x00, 0x01, 0x00, 0xFD, 0x07, 0x02});  // FD 07: no third byte
  Script({0x01, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02});
  const Bytes request = {0xC1, 0x00};
  ASSERT_EQ(m_link->Send(request.data(), 2, 0), 2);
  AdvanceWhenWaiting(0);  // the worker pauses before its poll
  EXPECT_FALSE(m_link->AbortRead());
  AdvanceWhenWaiting(100);
  m_link->WaitIdle();
  const auto written = Written();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], (Bytes{0x01, 0x00, 0x01, 0x00, 0xFD, 0x07, 0x02})) << "the poll carries the token";
  EXPECT_EQ(m_link->GetState(), kStateIdle);
}

TEST_F(ScriptedLinkTest, AFrameTheLinkLibraryDoesNotTakeIsAWriteError) {
  {
    std::lock_guard<std::mutex> hold(m_script->lock);
    m_script->shortWrites = 1;
  }
  Script({0x01, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02});
  Bytes reply;
  EXPECT_EQ(Exchange({0xC1, 0x00}, &reply), kStateError);
  EXPECT_EQ(m_link->GetLastError(), kErrorWrite);
}

}  // namespace
}  // namespace kv310::testing
